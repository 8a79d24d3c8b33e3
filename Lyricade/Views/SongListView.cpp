#include "Lyricade/Views/SongListView.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/ColumnFit.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/EmptyStateOverlay.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/MenuKey.h"
#include "Lyricade/Views/SongListRows.h"
#include "Lyricade/Views/SongWording.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <set>

namespace Lyricade {

using namespace TunequillKit;

namespace {

// The detail line: first artist, else first subtitle, else first line, else file name.
QString detailOf(const StoredSong& stored, const Song* song)
{
    if (song) {
        if (auto named = artistOrSubtitle(*song)) return *named;
        if (auto line = song->firstLine()) return QString::fromStdString(*line);
    }
    return stored.fileName ? QString::fromStdString(*stored.fileName) : QString();
}

QString keyOf(const Song* song)
{
    if (!song) return {};
    auto key = song->effectiveKey();
    return key ? prettyName(key->name(Accidentals::automatic)) : QString();
}

} // namespace

SongListView::SongListView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    installMenuKey();
    setWindowTitle(QStringLiteral("All Songs"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("Title, artist or first line"));
    search_->setAccessibleName(QStringLiteral("Search"));
    addNamedClearButton(*search_);
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(10, 8, 10, 8);
    searchRow->addWidget(search_);
    column->addLayout(searchRow);

    list_ = new SongListWidget(model_, this);
    column->addWidget(list_, 1);
    empty_ = new EmptyStateOverlay(list_);

    auto* bar = new QWidget(this);
    bar->setAutoFillBackground(true);
    bar->setBackgroundRole(QPalette::Window);
    // The count over the buttons in a narrow column.
    auto* barRow = new QBoxLayout(QBoxLayout::LeftToRight, bar);
    barRow->setContentsMargins(10, 10, 10, 10);
    count_ = new QLabel(bar);
    FontRole::makeSecondary(count_);
    // The buttons one over the other where they don't fit side by side,
    // rather than cut off their words.
    auto* buttonsBox = new QWidget(bar);
    auto* buttons = new QBoxLayout(QBoxLayout::LeftToRight, buttonsBox);
    buttons->setContentsMargins(0, 0, 0, 0);
    newSong_ = new QPushButton(QStringLiteral("New Song"), buttonsBox);
    import_ = new QPushButton(QStringLiteral("Import…"), buttonsBox);
    buttons->addStretch(1);
    buttons->addWidget(newSong_);
    buttons->addWidget(import_);
    new RowFit(buttonsBox, buttons);
    barRow->addWidget(count_);
    barRow->addWidget(buttonsBox, 1);
    new RowFit(bar, barRow);
    column->addWidget(bar);

    connect(search_, &QLineEdit::textChanged, &model_, [this](const QString& text) { model_.setSearch(text); });
    connect(newSong_, &QPushButton::clicked, &model_, [this] { model_.newSong(); });
    connect(import_, &QPushButton::clicked, &model_, [this] { model_.chooseSongFiles(); });
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, &SongListView::openMenu);
    connect(list_, &QListWidget::itemSelectionChanged, this, &SongListView::selectedByUser);
    connect(&model_, &AppModel::libraryChanged, this, &SongListView::rebuild);
    connect(&model_, &AppModel::searchChanged, this, &SongListView::rebuild);
    connect(&model_, &AppModel::selectedSongIDChanged, this, &SongListView::showSelection);
    rebuild();
}

void SongListView::rebuild()
{
    rebuilding_ = true;
    if (search_->text() != model_.search()) search_->setText(model_.search());
    // Row by row, not all anew: the rows that stay keep their place for
    // screen readers holding them, and a removal reads as one.
    const std::vector<StoredSong> songs = model_.filteredSongs();
    std::set<QString> wanted;
    for (const StoredSong& stored : songs) wanted.insert(QString::fromStdString(stored.id.toString()));
    // The chosen song deleted: the focus goes straight to the first song,
    // which the model chooses in its place, not through the row after it.
    const auto kept = [&](int row) {
        return wanted.count(list_->item(row)->data(SongListWidget::idRole).toString()) > 0;
    };
    if (const int current = list_->currentRow(); current >= 0 && !kept(current))
        for (int row = 0; row < list_->count(); ++row)
            if (kept(row)) {
                list_->setCurrentRow(row, QItemSelectionModel::NoUpdate);
                break;
            }
    for (int row = list_->count() - 1; row >= 0; --row)
        if (!kept(row)) delete list_->takeItem(row);
    for (int row = 0; row < int(songs.size()); ++row) {
        const QString id = QString::fromStdString(songs[row].id.toString());
        QListWidgetItem* item = list_->item(row);
        if (!item || item->data(SongListWidget::idRole).toString() != id) {
            // Moved (a new title), or new.
            item = nullptr;
            for (int later = row + 1; later < list_->count() && !item; ++later)
                if (list_->item(later)->data(SongListWidget::idRole).toString() == id) item = list_->takeItem(later);
            if (!item) item = new QListWidgetItem;
            list_->insertItem(row, item);
        }
        fill(*item, songs[row]);
    }
    count_->setText(songCountText(static_cast<int>(model_.library().songs.size())));
    // The raw text decides, so a search of spaces over an empty library reads "No matches".
    if (model_.search().isEmpty())
        empty_->setContent(Symbol::musicNote, QStringLiteral("No songs yet"),
                           QStringLiteral("Import ChordPro or text song files, or drop them here."));
    else
        empty_->setContent(Symbol::musicNote, QStringLiteral("No matches"), QStringLiteral("Try another word."));
    empty_->setVisible(list_->count() == 0);
    rebuilding_ = false;
    showSelection();
}

void SongListView::fill(QListWidgetItem& item, const StoredSong& stored) const
{
    // Setting what a row holds already changes nothing, and announces nothing.
    const auto song = model_.song(stored.id);
    const QString title = songTitle(song.get());
    const QString key = keyOf(song.get());
    const QString detail = detailOf(stored, song.get());
    item.setData(Qt::DisplayRole, title);
    item.setData(SongListWidget::idRole, QString::fromStdString(stored.id.toString()));
    item.setData(SongListWidget::keyRole, key);
    item.setData(SongListWidget::detailRole, detail);
    QStringList spoken{title};
    for (const QString& part : {spokenKeys(key), detail})
        if (!part.isEmpty()) spoken << part;
    item.setData(Qt::AccessibleTextRole, spoken.join(QStringLiteral(", ")));
}

void SongListView::showSelection()
{
    rebuilding_ = true;
    const auto& selected = model_.selectedSongID();
    const QString id = selected ? QString::fromStdString(selected->toString()) : QString();
    QListWidgetItem* row = nullptr;
    for (int i = 0; i < list_->count() && !id.isEmpty(); ++i)
        if (list_->item(i)->data(SongListWidget::idRole).toString() == id) row = list_->item(i);
    if (row) {
        list_->setCurrentItem(row);
        list_->scrollToItem(row);
    } else {
        list_->clearSelection();
    }
    rebuilding_ = false;
}

void SongListView::selectedByUser()
{
    if (rebuilding_) return;
    const auto selected = list_->selectedItems();
    model_.setSelectedSongID(selected.isEmpty() ? std::nullopt
                                                : Uuid::fromString(selected.front()->data(SongListWidget::idRole)
                                                                       .toString()
                                                                       .toStdString()));
}

std::unique_ptr<QMenu> SongListView::songMenu(const StoredSong& song)
{
    auto menu = std::make_unique<QMenu>();
    // Read by the song's title when it opens.
    menu->setAccessibleName(songTitle(model_.song(song.id).get()));
    QMenu* addTo = menu->addMenu(QStringLiteral("Add to"));
    const Uuid songID = song.id;
    for (const Songbook& book : model_.library().books) {
        const Uuid bookID = book.id;
        // "&&": an ampersand in a book's name is shown, not taken for a shortcut key.
        addTo->addAction(QString::fromStdString(book.name).replace(u'&', QStringLiteral("&&")), &model_,
                         [this, songID, bookID] { model_.addSongs({songID}, bookID); });
    }
    addTo->setEnabled(!model_.library().books.empty());
    menu->addSeparator();
    menu->addAction(QStringLiteral("Delete Song…"), &model_, [this, song] { model_.setPendingDelete(song); });
    return menu;
}

void SongListView::openMenu(const QPoint& pos)
{
    QListWidgetItem* at = list_->itemAt(pos);
    const QPoint where = at ? pos : (list_->currentItem() ? list_->visualItemRect(list_->currentItem()).center() : pos);
    if (!at) at = list_->currentItem();
    if (!at) return;
    const QString id = at->data(SongListWidget::idRole).toString();
    for (const StoredSong& stored : model_.library().songs)
        if (QString::fromStdString(stored.id.toString()) == id) {
            const auto menu = songMenu(stored);
            openOnCurrentItem(*menu);
            return void(menu->exec(list_->viewport()->mapToGlobal(where)));
        }
}

} // namespace Lyricade
