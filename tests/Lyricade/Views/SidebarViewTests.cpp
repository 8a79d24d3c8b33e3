// The sidebar: its sections, counts and menus, and what drops on its rows do.

#include "ViewFixture.h"

#include "tests/HangGuardQt.h"

#include "Lyricade/Views/SidebarList.h"
#include "Lyricade/Views/SidebarView.h"
#include "Lyricade/Views/SongWording.h"

#include <QAccessible>
#include <QScrollBar>
#include <QToolButton>

namespace LyricadeTest {
namespace {

class SidebarTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        song = storedSong("River");
        Songbook camp(Uuid::random(), "Camp", BookKind::book);
        Songbook sunday(Uuid::random(), "Sunday", BookKind::setList);
        Songbook hymns(Uuid::random(), "Hymns", BookKind::book, {entryFor(song)});
        make(false, libraryOf({song}, {camp, sunday, hymns}));
        sidebar = std::make_unique<SidebarView>(*model);
        sidebar->resize(260, 500);
        sidebar->show();
    }

    const Songbook& book(std::size_t i) const { return model->library().books[i]; }
    QTreeWidgetItem* rowOf(const Songbook& b) const { return sidebar->rowFor(SidebarItem::book(b.id)); }
    QPoint centre(QTreeWidgetItem* row) const { return sidebar->list()->visualItemRect(row).center(); }

    StoredSong song;
    std::unique_ptr<SidebarView> sidebar;
};

TEST_F(SidebarTest, SongCountsUseOneForSingular)
{
    EXPECT_EQ(songCountText(1), "1 song");
    EXPECT_EQ(songCountText(0), "0 songs");
    EXPECT_EQ(songCountText(2), "2 songs");
    EXPECT_EQ(songCountText(-1), "-1 songs");
}

TEST_F(SidebarTest, SectionsListBooksByKindInLibraryOrder)
{
    QTreeWidget* list = sidebar->list();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Library");
    EXPECT_EQ(list->topLevelItem(1)->text(0), "Songbooks");
    EXPECT_EQ(list->topLevelItem(2)->text(0), "Set Lists");
    EXPECT_EQ(list->topLevelItem(0)->child(0)->text(0), "All Songs");
    EXPECT_EQ(list->topLevelItem(0)->child(0)->data(0, SidebarList::badgeRole).toInt(), 1);
    ASSERT_EQ(list->topLevelItem(1)->childCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->child(0)->text(0), "Camp");
    EXPECT_EQ(list->topLevelItem(1)->child(1)->text(0), "Hymns");
    EXPECT_EQ(list->topLevelItem(2)->child(0)->text(0), "Sunday");
    EXPECT_EQ(rowOf(book(0))->data(0, Qt::AccessibleTextRole).toString(), "Camp, 0 songs");
    EXPECT_EQ(rowOf(book(2))->data(0, Qt::AccessibleTextRole).toString(), "Hymns, 1 song");
    EXPECT_FALSE(list->topLevelItem(1)->flags() & Qt::ItemIsSelectable) << "headers are not rows";

    model->newBook(BookKind::book);
    EXPECT_EQ(list->topLevelItem(1)->childCount(), 3) << "a new book appears at the end of its section";
    EXPECT_EQ(list->currentItem()->text(0), "New Songbook 3");
    EXPECT_TRUE(list->currentItem()->isSelected());
}

// Narrow, as at large fonts on a small screen: no sideways scrolling, and a
// long name wraps clear of its badge, its row growing for its lines.
TEST_F(SidebarTest, NamesWrapInANarrowSidebarClearOfTheirBadges)
{
    Library library = model->library();
    library.books[2].name = "Hymns for the campfire by the lake"; // with a badge of 1
    model->setLibrary(library);
    QTreeWidget* list = sidebar->list();
    for (int width : {600, 130, 600}) {
        SCOPED_TRACE(width);
        sidebar->resize(width, 500);
        ASSERT_TRUE(HangGuard::settled(sidebar.get()));
        EXPECT_EQ(list->columnWidth(0), list->viewport()->width());
        EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
        const QRect hymns = list->visualItemRect(rowOf(book(2)));
        const QRect camp = list->visualItemRect(rowOf(book(0)));
        EXPECT_LE(hymns.right(), list->viewport()->width());
        EXPECT_EQ(hymns.height() >= camp.height() + list->fontMetrics().lineSpacing(), width < 600) << hymns.height();
    }
}

TEST_F(SidebarTest, RowsAndModelShareTheSelection)
{
    sidebar->list()->setCurrentItem(rowOf(book(1)));
    EXPECT_EQ(model->selection(), SidebarItem::book(book(1).id));
    model->setSelection(SidebarItem::allSongs());
    EXPECT_EQ(sidebar->list()->selectedItems().front()->text(0), "All Songs");

    // The keys pass over section headers from All Songs to the first book.
    sidebar->list()->setFocus();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(sidebar->list(), &down);
    EXPECT_EQ(model->selection(), SidebarItem::book(book(0).id));
}

TEST_F(SidebarTest, AddMenuAndBookMenuOfferTheirCommands)
{
    EXPECT_EQ(texts(*sidebar->addMenu()),
              (QStringList{"New Song", "New Songbook", "New Set List", "-", "Import Songs…"}));
    EXPECT_EQ(sidebar->addButton()->accessibleName(), "Add");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(sidebar->addMenu())->text(QAccessible::Name), "Add")
        << "a popup reads its name as it opens";
    EXPECT_EQ(sidebar->licensingButton()->accessibleName(), "About song licensing");
    sidebar->licensingButton()->click();
    EXPECT_TRUE(model->licensingShown());

    action(*sidebar->addMenu(), "New Set List")->trigger();
    EXPECT_EQ(model->library().books.back().name, "New Set List 2");
    EXPECT_EQ(model->selection(), SidebarItem::book(model->library().books.back().id));

    const Uuid hymns = book(2).id;
    auto menu = sidebar->bookMenu(hymns);
    EXPECT_EQ(texts(*menu), (QStringList{"Duplicate", "-", "Delete “Hymns”"}));
    EXPECT_EQ(menu->accessibleName(), "Hymns");
    action(*menu, "Duplicate")->trigger();
    EXPECT_EQ(model->library().books.back().name, "Hymns copy");
    model->setSelection(SidebarItem::book(hymns));
    action(*sidebar->bookMenu(hymns), "Delete “Hymns”")->trigger();
    EXPECT_EQ(model->library().books.size(), 4u) << "deleted at once, without asking";
    EXPECT_EQ(model->selection(), SidebarItem::allSongs());
    EXPECT_EQ(rowOf(Songbook(hymns, "", BookKind::book)), nullptr);
}

TEST_F(SidebarTest, BookRowsTakeOnlyWellFormedSongIDs)
{
    const QString id = QString::fromStdString(song.id.toString());
    struct Case {
        QString dropped;
        bool accepted;
        std::size_t entries;
    };
    const Case cases[] = {
        {id, true, 1},
        {id.toLower(), true, 1},
        {id.left(35), false, 0},                                       // one character short
        {id.left(8) + id.mid(9, 1) + "-" + id.mid(10), false, 0},      // hyphen out of place
        {"not an id\n" + id + "\n" + id, true, 2},                     // the rest of a mixed drop, repeats kept
        {QString::fromStdString(Uuid::random().toString()), true, 0},  // names no song
    };
    for (const Case& c : cases) {
        const Uuid camp = book(0).id;
        model->changeLibrary([&](Library& l) { l.books[0].entries.clear(); });
        auto data = text(c.dropped);
        EXPECT_EQ(drop(sidebar->list(), centre(rowOf(book(0))), *data), c.accepted) << c.dropped.toStdString();
        EXPECT_EQ(book(0).entries.size(), c.entries) << c.dropped.toStdString();
        EXPECT_EQ(book(0).id, camp);
    }
    EXPECT_EQ(model->selection(), SidebarItem::allSongs()) << "a drop on a book does not select it";

    auto data = text(id);
    EXPECT_FALSE(drop(sidebar->list(), centre(sidebar->rowFor(SidebarItem::allSongs())), *data))
        << "All Songs takes files, not ids";
}

TEST_F(SidebarTest, FilesDroppedOnAllSongsAreImported)
{
    model->setSelection(SidebarItem::book(book(1).id));
    auto data = files({songFile("one.cho", "Dropped")});
    EXPECT_TRUE(drop(sidebar->list(), centre(sidebar->rowFor(SidebarItem::allSongs())), *data));
    EXPECT_EQ(model->library().songs.size(), 2u);
    EXPECT_EQ(model->selection(), SidebarItem::allSongs());
    EXPECT_EQ(sidebar->rowFor(SidebarItem::allSongs())->data(0, SidebarList::badgeRole).toInt(), 2);

    model->setSelection(SidebarItem::book(book(1).id));
    auto nothing = files({std::filesystem::path(folder.path().toStdString()) / "missing.cho"});
    EXPECT_FALSE(drop(sidebar->list(), centre(sidebar->rowFor(SidebarItem::allSongs())), *nothing));
    EXPECT_EQ(model->selection(), SidebarItem::allSongs()) << "selected before the import, even when it fails";
    EXPECT_TRUE(model->error().has_value());

    auto onBook = files({songFile("two.cho", "Other")});
    EXPECT_FALSE(drop(sidebar->list(), centre(rowOf(book(0))), *onBook)) << "book rows take song ids only";
}

} // namespace
} // namespace LyricadeTest
