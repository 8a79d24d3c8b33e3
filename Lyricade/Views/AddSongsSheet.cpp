#include "Lyricade/Views/AddSongsSheet.h"

#include "Lyricade/Views/ScreenFit.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/SongWording.h"
#include "Lyricade/Views/TitleLines.h"
#include "Platform/Collation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace Lyricade {

using namespace TunequillKit;

namespace {

// A checkbox row: the title, wrapped onto as many lines as it needs, then
// "already in this book"; the tick's place at the right. Nothing scrolls
// across and no title is cut in the middle.
class PickDelegate : public QStyledItemDelegate {
public:
    explicit PickDelegate(QListWidget* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem row = option;
        initStyleOption(&row, index);
        const Parts parts = partsOf(row, index);
        row.text.clear();
        list_->style()->drawControl(QStyle::CE_ItemViewItem, &row, painter, list_);

        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const int step = QFontMetrics(row.font).lineSpacing();
        const int captionStep = QFontMetrics(parts.captionFont).lineSpacing();
        const int captions = static_cast<int>(parts.captions.size()) * captionStep;
        const int tall = static_cast<int>(parts.lines.size()) * step + captions;
        const QRect area = parts.text;
        const int top = area.top() + (area.height() - tall) / 2;
        drawLines(*painter, QRect(area.left(), top, parts.titleWidth, tall), parts.lines, row.font);
        if (!parts.captions.isEmpty()) {
            painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : FontRole::secondary(list_));
            drawLines(*painter, QRect(area.left(), top + tall - captions, parts.titleWidth, captions), parts.captions,
                      parts.captionFont);
        }
        if (!parts.place.isEmpty()) {
            painter->setFont(row.font);
            painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : FontRole::accent(list_));
            painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter, parts.place);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        QStyleOptionViewItem row = option;
        initStyleOption(&row, index);
        row.rect = QRect(0, 0, list_->viewport()->width(), size.height());
        const Parts parts = partsOf(row, index);
        const int step = QFontMetrics(row.font).lineSpacing();
        const int tall = static_cast<int>(parts.lines.size()) * step +
                         static_cast<int>(parts.captions.size()) * QFontMetrics(parts.captionFont).lineSpacing();
        // One line is what the style measured; more lines add to it.
        size.setHeight(size.height() + 6 + std::max(0, tall - step));
        size.setWidth(row.rect.width());
        return size;
    }

private:
    struct Parts {
        QRect text;          // the style's room for the text
        int titleWidth = 0;  // less the place's
        QStringList lines;    // the title's
        QStringList captions; // under it, smaller: what tells it apart, each shortened at its end; "already in this book"
        QFont captionFont;
        QString place;
    };

    Parts partsOf(const QStyleOptionViewItem& row, const QModelIndex& index) const
    {
        Parts parts;
        parts.text = list_->style()->subElementRect(QStyle::SE_ItemViewItemText, &row, list_);
        const int place = index.data(AddSongsSheet::placeRole).toInt();
        // The widest place a tick can show keeps the title's lines from moving as ticks come and go.
        parts.place = place > 0 ? QString::number(place) : QString();
        const int placeWidth = QFontMetrics(row.font).horizontalAdvance(QString::number(list_->count())) + 12;
        parts.titleWidth = std::max(1, parts.text.width() - placeWidth);
        parts.lines = titleLines(index.data(Qt::DisplayRole).toString(), row.font, parts.titleWidth, 0);
        parts.captionFont = FontRole::font(list_, FontRole::caption);
        if (const QString apart = index.data(AddSongsSheet::apartRole).toString(); !apart.isEmpty())
            parts.captions << titleLines(apart, parts.captionFont, parts.titleWidth, 1);
        if (index.data(AddSongsSheet::inBookRole).toBool()) parts.captions << QStringLiteral("already in this book");
        return parts;
    }

    QListWidget* list_;
};

} // namespace

AddSongsSheet::AddSongsSheet(AppModel& model, QWidget* parent) : QDialog(parent), model_(model)
{
    setWindowModality(Qt::WindowModal);
    setFixedSize(460, 460);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(10);

    title_ = new QLabel(this);
    title_->setTextFormat(Qt::PlainText); // names the book
    title_->setFont(FontRole::font(this, FontRole::headline, QFont::Bold));
    title_->setWordWrap(true); // a long book name goes onto more lines, never off the sheet
    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("Search"));
    search_->setAccessibleName(QStringLiteral("Search"));
    addNamedClearButton(*search_);
    list_ = new QListWidget(this);
    list_->setWordWrap(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Rows are measured again as the list's width changes their lines.
    list_->setResizeMode(QListView::Adjust);
    list_->setMinimumHeight(list_->fontMetrics().height() * 4); // the sheet gives it the rest
    list_->setItemDelegate(new PickDelegate(list_));
    list_->setAccessibleName(QStringLiteral("Songs"));
    column->addWidget(title_);
    column->addWidget(search_);
    column->addWidget(list_, 1);

    auto* footer = new QHBoxLayout;
    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    FontRole::makeSecondary(hint_);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setAutoDefault(false);
    add_ = new QPushButton(QStringLiteral("Add"), this);
    add_->setDefault(true);
    footer->addWidget(hint_);
    footer->addStretch(1);
    footer->addWidget(cancel_);
    footer->addWidget(add_);
    column->addLayout(footer);

    // QDialog already closes on Escape (reject) and presses the default button on Return.
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(add_, &QPushButton::clicked, this, &AddSongsSheet::add);
    connect(search_, &QLineEdit::textChanged, this, &AddSongsSheet::rebuild);
    connect(list_, &QListWidget::itemChanged, this, &AddSongsSheet::toggled);
    connect(&model_, &AppModel::libraryChanged, this, &AddSongsSheet::rebuild);
    connect(&model_, &AppModel::selectionChanged, this, &AddSongsSheet::rebuild);
    search_->setFocus();
    rebuild();
}

void AddSongsSheet::rebuild()
{
    rebuilding_ = true;
    const auto book = model_.selectedBook();
    title_->setText(QStringLiteral("Add songs to “%1”").arg(book ? QString::fromStdString(book->name) : QString()));
    setAccessibleName(title_->text()); // the sheet is read by its title
    std::set<Uuid> inBook;
    if (book)
        for (const SongEntry& entry : book->entries) inBook.insert(entry.songID);

    struct Shown {
        QString sortTitle;
        QString title;
        Uuid id;
        QString artist, file; // what may tell it from a song of the same title
    };
    const QString query = search_->text();
    std::vector<Shown> shown;
    for (const StoredSong& stored : model_.library().songs) {
        const auto song = model_.song(stored.id);
        const QString title = songTitle(song.get());
        if (!query.isEmpty() && (!song || !title.contains(query, Qt::CaseInsensitive))) continue;
        shown.push_back({song ? title : QString(), title, stored.id, song ? artistOrSubtitle(*song).value_or(QString()) : QString(),
                         stored.fileName ? QString::fromStdString(*stored.fileName) : QString()});
    }
    // Where titles repeat, each row tells its own apart: by its artist where
    // no other of that title has the same, else by its file.
    const auto apartOf = [&](const Shown& s) {
        bool repeated = false, sameArtist = false;
        for (const Shown& other : shown) {
            if (&other == &s || other.title != s.title) continue;
            repeated = true;
            sameArtist = sameArtist || other.artist == s.artist;
        }
        if (!repeated) return QString();
        return !s.artist.isEmpty() && !sameArtist ? s.artist : s.file;
    };
    std::stable_sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) {
        return Platform::Collation::standardCompare(a.sortTitle.toStdString(), b.sortTitle.toStdString()) < 0;
    });

    const int current = list_->currentRow();
    list_->clear();
    for (const Shown& s : shown) {
        auto* item = new QListWidgetItem(s.title, list_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setData(idRole, QString::fromStdString(s.id.toString()));
        item->setData(inBookRole, inBook.count(s.id) > 0);
        item->setData(apartRole, apartOf(s));
    }
    if (list_->count() > 0) list_->setCurrentRow(std::clamp(current, 0, list_->count() - 1));
    rebuilding_ = false;
    toggled(nullptr);
}

void AddSongsSheet::toggled(QListWidgetItem* item)
{
    if (rebuilding_) return;
    QListWidgetItem* told = nullptr; // ticked or unticked by the user
    if (item) {
        const auto id = Uuid::fromString(item->data(idRole).toString().toStdString());
        if (!id) return;
        const bool ticked = item->checkState() == Qt::Checked;
        const bool held = std::find(picked_.begin(), picked_.end(), *id) != picked_.end();
        if (ticked && !held) picked_.push_back(*id);
        if (!ticked) std::erase(picked_, *id);
        if (ticked != held) told = item;
    }
    // Every row shows its place anew: unticking one moves those after it up.
    rebuilding_ = true;
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* row = list_->item(i);
        const auto id = Uuid::fromString(row->data(idRole).toString().toStdString());
        const auto at = std::find(picked_.begin(), picked_.end(), *id);
        const bool ticked = at != picked_.end();
        row->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
        row->setData(placeRole, ticked ? static_cast<int>(at - picked_.begin()) + 1 : 0);
        QStringList spoken{row->text()};
        if (const QString apart = row->data(apartRole).toString(); !apart.isEmpty()) spoken << apart;
        if (row->data(inBookRole).toBool()) spoken << QStringLiteral("already in this book");
        if (ticked) spoken << QString::number(at - picked_.begin() + 1);
        row->setData(Qt::AccessibleTextRole, spoken.join(QStringLiteral(", ")));
    }
    rebuilding_ = false;
    // Told once the row reads its new place, so that a reader says both.
    if (told) announceChecked(*list_, list_->indexFromItem(told));
    hint_->setText(picked_.empty() ? QStringLiteral("Tick songs in the order you want them.")
                                   : QStringLiteral("%1 to add").arg(picked_.size()));
    add_->setEnabled(!picked_.empty());
}

void AddSongsSheet::add()
{
    if (picked_.empty()) return;
    if (auto book = model_.selectedBook()) model_.addSongs(picked_, book->id);
    accept();
}

void AddSongsSheet::showEvent(QShowEvent* event)
{
    fitOnScreen(*this, parentWidget());
    QDialog::showEvent(event);
}

void AddSongsSheet::done(int result)
{
    QDialog::done(result);
    model_.setAddSongsShown(false);
}

} // namespace Lyricade
