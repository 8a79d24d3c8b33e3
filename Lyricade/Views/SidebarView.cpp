#include "Lyricade/Views/SidebarView.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/MenuKey.h"
#include "Lyricade/Views/SidebarList.h"
#include "Lyricade/Views/SongWording.h"
#include "Lyricade/Views/SymbolIcons.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

namespace Lyricade {

using namespace TunequillKit;

namespace {

QTreeWidgetItem* sectionHeader(QTreeWidget* list, const QString& title)
{
    auto* header = new QTreeWidgetItem(list, QStringList{title});
    // Enabled (a disabled item disables its rows) but never selected; the
    // list's keys pass over it.
    header->setFlags(Qt::ItemIsEnabled);
    return header;
}

QTreeWidgetItem* row(QTreeWidgetItem* section, const QString& name, const QIcon& icon, const QString& item, int badge)
{
    auto* r = new QTreeWidgetItem(section, QStringList{name});
    r->setIcon(0, icon);
    r->setData(0, SidebarList::itemRole, item);
    r->setData(0, SidebarList::badgeRole, badge);
    r->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled);
    return r;
}

} // namespace

SidebarView::SidebarView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    installMenuKey();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    list_ = new SidebarList(model_, this);
    column->addWidget(list_, 1);
    buildBar();

    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, &SidebarView::openMenu);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &SidebarView::selectedByUser);
    connect(&model_, &AppModel::libraryChanged, this, &SidebarView::rebuild);
    connect(&model_, &AppModel::selectionChanged, this, &SidebarView::showSelection);
    rebuild();
}

void SidebarView::buildBar()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 8, 12, 8);

    add_ = new QToolButton(bar);
    add_->setIcon(symbolIcon(Symbol::plus, this));
    add_->setAutoRaise(true);
    add_->setPopupMode(QToolButton::InstantPopup);
    add_->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
    add_->setAccessibleName(QStringLiteral("Add"));
    add_->setToolTip(QStringLiteral("New song, songbook or set list, or import songs"));
    addMenu_ = new QMenu(add_);
    // A popup is read by its name when it opens: the button's, given as its
    // title, which a menu not yet shown takes silently.
    addMenu_->setWindowTitle(add_->accessibleName());
    addMenu_->addAction(QStringLiteral("New Song"), &model_, [this] { model_.newSong(); });
    addMenu_->addAction(QStringLiteral("New Songbook"), &model_, [this] { model_.newBook(BookKind::book); });
    addMenu_->addAction(QStringLiteral("New Set List"), &model_, [this] { model_.newBook(BookKind::setList); });
    addMenu_->addSeparator();
    addMenu_->addAction(QStringLiteral("Import Songs…"), &model_, [this] { model_.chooseSongFiles(); });
    add_->setMenu(addMenu_);
    openOnCurrentItem(*addMenu_);

    licensing_ = new QToolButton(bar);
    licensing_->setIcon(symbolIcon(Symbol::cCircle, this));
    licensing_->setAutoRaise(true);
    licensing_->setAccessibleName(QStringLiteral("About song licensing"));
    licensing_->setToolTip(QStringLiteral("About song licensing"));
    connect(licensing_, &QToolButton::clicked, &model_, [this] { model_.setLicensingShown(true); });

    row->addWidget(add_);
    row->addStretch(1);
    row->addWidget(licensing_);
    layout()->addWidget(bar);
}

void SidebarView::rebuild()
{
    // A current row made again is announced as a move of the focus.
    if (refreshRows()) return;
    rebuilding_ = true;
    list_->clear();
    const Library& library = model_.library();
    auto* libraryHeader = sectionHeader(list_, QStringLiteral("Library"));
    row(libraryHeader, QStringLiteral("All Songs"), symbolIcon(Symbol::musicNoteList, this), QString(),
        static_cast<int>(library.songs.size()));
    auto* books = sectionHeader(list_, QStringLiteral("Songbooks"));
    auto* setLists = sectionHeader(list_, QStringLiteral("Set Lists"));
    for (const Songbook& book : library.books) {
        const bool isBook = book.kind == BookKind::book;
        const int count = static_cast<int>(book.entries.size());
        const QString name = QString::fromStdString(book.name);
        auto* r = row(isBook ? books : setLists, name, symbolIcon(isBook ? Symbol::bookClosed : Symbol::listNumber, this),
                      QString::fromStdString(book.id.toString()), count);
        r->setData(0, Qt::AccessibleTextRole, name + QStringLiteral(", ") + songCountText(count));
    }
    list_->expandAll();
    rebuilding_ = false;
    showSelection();
}

bool SidebarView::refreshRows()
{
    if (list_->topLevelItemCount() != 3 || list_->topLevelItem(0)->childCount() != 1) return false;
    const auto& books = model_.library().books;
    std::size_t next = 0;
    for (int section = 1; section <= 2; ++section) {
        const BookKind kind = section == 1 ? BookKind::book : BookKind::setList;
        QTreeWidgetItem* header = list_->topLevelItem(section);
        int i = 0;
        for (const Songbook& book : books) {
            if (book.kind != kind) continue;
            if (i >= header->childCount() ||
                header->child(i++)->data(0, SidebarList::itemRole).toString() != QString::fromStdString(book.id.toString()))
                return false;
            ++next;
        }
        if (i != header->childCount()) return false;
    }
    if (next != books.size()) return false;
    list_->topLevelItem(0)->child(0)->setData(0, SidebarList::badgeRole, static_cast<int>(model_.library().songs.size()));
    for (const Songbook& book : books) {
        QTreeWidgetItem* r = rowFor(SidebarItem::book(book.id));
        const int count = static_cast<int>(book.entries.size());
        const QString name = QString::fromStdString(book.name);
        r->setText(0, name);
        r->setData(0, SidebarList::badgeRole, count);
        r->setData(0, Qt::AccessibleTextRole, name + QStringLiteral(", ") + songCountText(count));
    }
    return true;
}

QTreeWidgetItem* SidebarView::rowFor(const SidebarItem& item) const
{
    for (int s = 0; s < list_->topLevelItemCount(); ++s) {
        QTreeWidgetItem* section = list_->topLevelItem(s);
        for (int i = 0; i < section->childCount(); ++i)
            if (SidebarList::itemOf(section->child(i)) == item) return section->child(i);
    }
    return nullptr;
}

void SidebarView::showSelection()
{
    const auto& selection = model_.selection();
    QTreeWidgetItem* current = selection ? rowFor(*selection) : nullptr;
    rebuilding_ = true;
    if (current) {
        list_->setCurrentItem(current);
    } else {
        list_->clearSelection();
    }
    rebuilding_ = false;
}

void SidebarView::selectedByUser()
{
    if (rebuilding_) return;
    const auto selected = list_->selectedItems();
    // A click on nothing keeps the selection the model has.
    if (selected.isEmpty()) return showSelection();
    if (auto item = SidebarList::itemOf(selected.front())) model_.setSelection(*item);
}

std::unique_ptr<QMenu> SidebarView::bookMenu(const Uuid& book)
{
    auto menu = std::make_unique<QMenu>();
    const auto& books = model_.library().books;
    auto found = std::find_if(books.begin(), books.end(), [&](const Songbook& b) { return b.id == book; });
    const QString name = found == books.end() ? QString() : QString::fromStdString(found->name);
    menu->setAccessibleName(name);
    menu->addAction(QStringLiteral("Duplicate"), &model_, [this, book] { model_.duplicateBook(book); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Delete “%1”").arg(name), &model_, [this, book] { model_.deleteBook(book); });
    return menu;
}

void SidebarView::openMenu(const QPoint& pos)
{
    QTreeWidgetItem* at = list_->itemAt(pos);
    if (!at) at = list_->currentItem();
    const auto item = SidebarList::itemOf(at);
    if (!item || item->isAllSongs()) return;
    const QPoint global = list_->viewport()->mapToGlobal(at == list_->itemAt(pos) ? pos : list_->visualItemRect(at).center());
    const auto menu = bookMenu(*item->bookID());
    openOnCurrentItem(*menu);
    menu->exec(global);
}

} // namespace Lyricade
