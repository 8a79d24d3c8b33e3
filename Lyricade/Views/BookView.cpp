#include "Lyricade/Views/BookView.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/BookEntryList.h"
#include "Lyricade/Views/BookEntryRow.h"
#include "Lyricade/Views/ColumnFit.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/EmptyStateOverlay.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/SongWording.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <set>

namespace Lyricade {

using namespace TunequillKit;

namespace {

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

// A field drawn as plain text on the window's background until it is edited;
// a name too long for the column is cut at its end until then.
QLineEdit* plainField(QWidget* parent)
{
    auto* field = new ElidingField(parent);
    field->setFrame(false);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(palette);
    return field;
}

// Sets the text only when it differs, so typing keeps its cursor.
void showText(QLineEdit* field, const QString& text)
{
    if (field->text() == text) return;
    field->setText(text);
    // A long name shows from its start, not its end.
    field->setCursorPosition(0);
}

} // namespace

BookView::BookView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    content_ = new QWidget(this);
    outer->addWidget(content_);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QVBoxLayout;
    header->setContentsMargins(14, 14, 14, 14);
    header->setSpacing(6);
    name_ = plainField(content_);
    name_->setPlaceholderText(QStringLiteral("Name"));
    name_->setFont(FontRole::font(this, FontRole::title2, QFont::DemiBold));
    subtitle_ = plainField(content_);
    FontRole::makeSecondary(subtitle_);
    header->addWidget(name_);
    header->addWidget(subtitle_);
    column->addLayout(header);
    column->addWidget(divider(content_));

    list_ = new BookEntryList(model_, content_);
    column->addWidget(list_, 1);
    empty_ = new EmptyStateOverlay(list_);
    connect(empty_->addButton(QStringLiteral("Add Songs…")), &QPushButton::clicked, this, &BookView::openAddSongs);
    column->addWidget(divider(content_));

    // The count under the button in a narrow column.
    auto* footerBar = new QWidget(content_);
    auto* footer = new QBoxLayout(QBoxLayout::LeftToRight, footerBar);
    footer->setContentsMargins(10, 10, 10, 10);
    addSongs_ = new QPushButton(QStringLiteral("Add Songs…"), footerBar);
    footer_ = new QLabel(footerBar);
    FontRole::makeSecondary(footer_);
    footer->addWidget(addSongs_, 0, Qt::AlignLeft);
    footer->addStretch(1);
    footer->addWidget(footer_, 0, Qt::AlignLeft);
    new RowFit(footerBar, footer);
    column->addWidget(footerBar);

    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) { edit(true, text); });
    connect(subtitle_, &QLineEdit::textEdited, this, [this](const QString& text) { edit(false, text); });
    connect(addSongs_, &QPushButton::clicked, this, &BookView::openAddSongs);
    connect(list_, &QListWidget::itemSelectionChanged, this, &BookView::selectedByUser);
    connect(list_, &QListWidget::currentItemChanged, this, &BookView::followCurrentRow);
    connect(&model_, &AppModel::libraryChanged, this, &BookView::refresh);
    connect(&model_, &AppModel::selectionChanged, this, &BookView::refresh);
    connect(&model_, &AppModel::selectedEntryIDsChanged, this, &BookView::showSelection);
    connect(&model_, &AppModel::previewPagesChanged, this, &BookView::refreshFooter);
    connect(&model_, &AppModel::previewModeChanged, this, &BookView::refreshFooter);
    refresh();
}

QString BookView::footerText(int entries, int previewPages, bool booklet)
{
    QString text = songCountText(entries);
    if (previewPages <= 0) return text;
    text += QStringLiteral(" · ");
    if (booklet)
        text += previewPages == 1 ? QStringLiteral("1 printed side") : QStringLiteral("%1 printed sides").arg(previewPages);
    else
        text += previewPages == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(previewPages);
    return text;
}

int BookView::leastWidth() const
{
    int rows = 0;
    for (int i = 0; i < list_->count(); ++i)
        if (EntryRow* each = row(i)) rows = std::max(rows, each->leastWidth());
    return rows + 2 * list_->frameWidth() + list_->verticalScrollBar()->sizeHint().width();
}

EntryRow* BookView::row(int index) const
{
    QListWidgetItem* item = list_->item(index);
    return item ? qobject_cast<EntryRow*>(list_->itemWidget(item)) : nullptr;
}

void BookView::refresh()
{
    const auto book = model_.selectedBook();
    content_->setVisible(book.has_value());
    // With no book the rows stay, hidden: the next book shown is told in them.
    if (!book) return;
    const bool isBook = book->kind == BookKind::book;
    showText(name_, QString::fromStdString(book->name));
    showText(subtitle_, QString::fromStdString(book->subtitle));
    setSpokenName(*name_, isBook ? QStringLiteral("Songbook name") : QStringLiteral("Set list name"));
    subtitle_->setPlaceholderText(isBook ? QStringLiteral("Subtitle (optional)")
                                         : QStringLiteral("Date or occasion (optional)"));
    setSpokenName(*subtitle_, isBook ? QStringLiteral("Subtitle") : QStringLiteral("Date or occasion"));
    refreshRows(*book);
    // Worded only while shown: a hidden overlay would still be heard.
    if (book->entries.empty())
        empty_->setContent(isBook ? Symbol::bookClosed : Symbol::listNumber, QStringLiteral("No songs yet"),
                           QStringLiteral("Add songs from your library, drag them here from All Songs, or drop song "
                                          "files here."));
    empty_->setVisible(book->entries.empty());
    refreshFooter();
}

void BookView::refreshRows(const Songbook& book)
{
    RowsState state{book.entries, {}, book.settings.accidentals};
    for (const SongEntry& entry : book.entries) {
        const auto song = std::find_if(model_.library().songs.begin(), model_.library().songs.end(),
                                       [&](const StoredSong& s) { return s.id == entry.songID; });
        state.sources.push_back(song == model_.library().songs.end() ? std::string() : song->source);
    }
    // Typing in the header changes the library too; the rows stay unless what they show changed.
    if (rows_ == state) return;
    placeRows(state.entries);
    rows_ = std::move(state);
}

void BookView::placeRows(const std::vector<SongEntry>& entries)
{
    // A row follows its entry wherever it moves; the rows whose entries left
    // show the entries that came (another book's, when one is opened), and
    // only what is left over is taken out or made. The widgets stay, so a
    // reader hears of the texts that changed alone, not of a whole new list,
    // and a focus inside a row stays there.
    std::set<Uuid> staying, shown;
    for (const SongEntry& entry : entries) staying.insert(entry.id);
    for (int i = 0; i < list_->count(); ++i) shown.insert(entryAt(i));
    const auto stays = [&](int index) { return staying.count(entryAt(index)) > 0; };
    std::vector<bool> goes(std::size_t(list_->count()), false);
    for (int i = list_->count() - 1, extra = list_->count() - int(entries.size()); i >= 0 && extra > 0; --i)
        if (!stays(i)) {
            goes[std::size_t(i)] = true;
            --extra;
        }
    // A current row taken out hands its place to the row after it (the one
    // before, at the end) before it goes, so the focus moves once, and there.
    const bool hadFocus = list_->hasFocus();
    const QListWidgetItem* wasCurrent = list_->currentItem();
    const int wasAt = list_->currentRow();
    if (const int current = list_->currentRow(); current >= 0 && goes[std::size_t(current)]) {
        int next = current;
        while (next < list_->count() && goes[std::size_t(next)]) ++next;
        if (next == list_->count())
            for (next = current; next >= 0 && goes[std::size_t(next)];) --next;
        if (next >= 0) list_->setCurrentRow(next, QItemSelectionModel::NoUpdate);
    }
    rebuilding_ = true;
    const bool removed = std::find(goes.begin(), goes.end(), true) != goes.end();
    for (int i = list_->count() - 1; i >= 0; --i)
        if (goes[std::size_t(i)]) delete list_->takeItem(i);
    for (int i = 0; i < int(entries.size()); ++i) {
        const SongEntry& entry = entries[std::size_t(i)];
        const bool own = shown.count(entry.id) > 0;
        // Its own row, else the first row whose entry left.
        int from = i;
        while (from < list_->count() && (own ? entryAt(from) != entry.id : stays(from))) ++from;
        if (from == list_->count()) {
            addRow(i, entry);
            continue;
        }
        if (from != i) list_->model()->moveRow(QModelIndex(), from, QModelIndex(), i);
        QListWidgetItem* item = list_->item(i);
        item->setData(BookEntryList::entryRole, QString::fromStdString(entry.id.toString()));
        EntryRow* each = row(i);
        each->showEntry(i + 1, entry);
        item->setData(Qt::AccessibleTextRole, each->spokenText());
    }
    rebuilding_ = false;
    showSelection();
    followCurrentRow();
    // The current row moved with its song: Qt tells of no move of the
    // current row, yet the user is now on another place in the book.
    if (hadFocus && wasCurrent && list_->currentItem() == wasCurrent && list_->currentRow() != wasAt)
        announceFocus(*list_);
    // With the removed rows' selection gone, the row in their place is chosen, so the commands act on it
    // (once the model has taken the removed rows out of its selection too).
    if (hadFocus && removed)
        QTimer::singleShot(0, list_, [list = list_] {
            if (list->hasFocus() && list->currentIndex().isValid() && list->selectedItems().isEmpty())
                list->selectionModel()->select(list->currentIndex(), QItemSelectionModel::ClearAndSelect);
        });
}

void BookView::addRow(int at, const SongEntry& entry)
{
    auto* item = new QListWidgetItem;
    item->setData(BookEntryList::entryRole, QString::fromStdString(entry.id.toString()));
    list_->insertItem(at, item);
    auto* row = new EntryRow(model_, at + 1, entry);
    // Only a height: the row spans the list, its title wrapping where it is narrow.
    item->setSizeHint(QSize(0, row->sizeHint().height()));
    // Taller where its menus stand under its texts or its title takes two
    // lines; the list lays its rows out again once the row has changed.
    connect(row, &EntryRow::heightChanged, list_, [this, item, row] {
        row->layout()->activate(); // its parts' new heights reach its own size now
        item->setSizeHint(QSize(0, row->sizeHint().height()));
        QMetaObject::invokeMethod(list_, &QAbstractItemView::doItemsLayout, Qt::QueuedConnection);
    });
    item->setData(Qt::AccessibleTextRole, row->spokenText());
    list_->setItemWidget(item, row);
}

Uuid BookView::entryAt(int index) const
{
    const auto id = Uuid::fromString(list_->item(index)->data(BookEntryList::entryRole).toString().toStdString());
    return id ? *id : Uuid();
}

void BookView::followCurrentRow()
{
    QListWidgetItem* current = list_->currentItem();
    for (int i = 0; i < list_->count(); ++i)
        if (EntryRow* each = row(i)) each->setTabStops(list_->item(i) == current);
    // Rows are made after the footer; in the Tab order their menus follow the list.
    EntryRow* now = current ? row(list_->row(current)) : nullptr;
    if (!now) return;
    QWidget* last = list_;
    for (QWidget* button : {static_cast<QWidget*>(now->keyButton()), static_cast<QWidget*>(now->capoButton())})
        if (button) {
            QWidget::setTabOrder(last, button);
            last = button;
        }
}

void BookView::refreshFooter()
{
    const auto book = model_.selectedBook();
    // Hidden with no book, where a new count would still be announced; shown again, it is brought up to date.
    if (!book) return;
    const int entries = static_cast<int>(book->entries.size());
    footer_->setText(footerText(entries, model_.previewPages(), model_.previewMode() == PreviewMode::booklet));
}

void BookView::showSelection()
{
    rebuilding_ = true;
    const auto& selected = model_.selectedEntryIDs();
    QItemSelection selection;
    for (int i = 0; i < list_->count(); ++i) {
        auto id = Uuid::fromString(list_->item(i)->data(BookEntryList::entryRole).toString().toStdString());
        if (id && selected.count(*id)) {
            const QModelIndex index = list_->model()->index(i, 0);
            selection.select(index, index);
        }
    }
    list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!selection.isEmpty() && !list_->selectionModel()->isSelected(list_->currentIndex()))
        list_->selectionModel()->setCurrentIndex(selection.indexes().front(), QItemSelectionModel::NoUpdate);
    rebuilding_ = false;
}

void BookView::selectedByUser()
{
    if (!rebuilding_) model_.setSelectedEntryIDs(list_->selectedEntries());
}

void BookView::openAddSongs()
{
    if (!model_.addSongsShown()) model_.setAddSongsShown(true);
}

void BookView::edit(bool name, const QString& text)
{
    const auto index = model_.selectedBookIndex();
    if (!index) return;
    const std::string value = text.toStdString();
    model_.changeLibrary([&](Library& library) { (name ? library.books[*index].name : library.books[*index].subtitle) = value; });
}

} // namespace Lyricade
