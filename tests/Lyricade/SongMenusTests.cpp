// The songbook side's "Song" and "Book" menus: the host's switch, the items
// that need a selected book, the toggles on the book's settings and the
// preview label.

#include "Fakes.h"

#include "Lyricade/SongController.h"
#include "Lyricade/Views/SongMenus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace LyricadeTest {
namespace {

class SongMenusTest : public ModelTest {
protected:
    SongMenus& build(bool enabled)
    {
        controller = std::make_unique<SongController>(recorder.host(), false, std::nullopt, services());
        menus = new SongMenus(*controller, enabled, bar);
        return *menus;
    }

    QAction* item(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == text) return action;
        ADD_FAILURE() << "no item " << text.toStdString();
        static QAction none;
        return &none;
    }

    std::vector<QAction*> items() const
    {
        std::vector<QAction*> all;
        for (QMenu* menu : {menus->songMenu(), menus->bookMenu()})
            for (QAction* action : menu->actions())
                if (!action->isSeparator()) all.push_back(action);
        return all;
    }

    std::unique_ptr<SongController> controller;
    QMenuBar bar;
    SongMenus* menus = nullptr;
};

TEST_F(SongMenusTest, TheHostsSwitchGreysOutAllButLicensing)
{
    build(false);
    EXPECT_EQ(bar.actions().size(), 2);
    EXPECT_EQ(bar.actions()[0]->menu(), menus->songMenu());
    EXPECT_EQ(bar.actions()[1]->menu(), menus->bookMenu());
    controller->selectBookKind(false);
    for (QAction* action : items())
        EXPECT_EQ(action->isEnabled(), action->text() == "About Song Licensing…") << action->text().toStdString();

    item(menus->songMenu(), "About Song Licensing…")->trigger();
    EXPECT_TRUE(controller->model().licensingShown());
}

TEST_F(SongMenusTest, WithoutASelectedBookOnlyTransposingIsOfferedAndChangesNothing)
{
    build(true);
    const auto enabled = [this] {
        std::vector<QString> texts;
        for (QAction* action : items())
            if (action->isEnabled()) texts.push_back(action->text());
        return texts;
    };
    const std::vector<QString> transposing{"Transpose Up a Half Step", "Transpose Down a Half Step",
                                           "About Song Licensing…"};
    controller->model().setSelection(SidebarItem::allSongs());
    controller->newSong();
    EXPECT_EQ(enabled(), transposing);
    // With no song open, and with nothing selected in the sidebar, the items
    // stay offered and change nothing.
    controller->model().setSelectedSongID(std::nullopt);
    EXPECT_EQ(enabled(), transposing);
    controller->model().setSelection(std::nullopt);
    EXPECT_EQ(enabled(), transposing);
    const std::string before = controller->library().encode();
    item(menus->songMenu(), "Transpose Up a Half Step")->trigger();
    item(menus->songMenu(), "Transpose Down a Half Step")->trigger();
    EXPECT_EQ(controller->library().encode(), before);
    for (const char* toggle : {"Two Columns", "One Song per Page", "Nashville Numbers"})
        EXPECT_FALSE(item(menus->bookMenu(), toggle)->isChecked()) << toggle;
}

TEST_F(SongMenusTest, MovesAndTransposingStayOfferedInABookAndMoveNothingWhereNoEntryCanGo)
{
    build(true);
    controller->selectBookKind(false);
    const auto entries = controller->selectedBook()->entries;
    ASSERT_GE(entries.size(), 3u);
    const auto order = [this] {
        std::vector<Uuid> ids;
        const auto book = controller->selectedBook();
        for (const auto& entry : book->entries) ids.push_back(entry.id);
        return ids;
    };
    const auto original = order();
    QAction* up = item(menus->songMenu(), "Move Up in Book");
    QAction* down = item(menus->songMenu(), "Move Down in Book");
    QAction* transpose = item(menus->songMenu(), "Transpose Up a Half Step");
    // No entry, the first one moved up, the last one moved down: offered, and nothing moves.
    for (const auto& [selected, move] : {std::pair{std::set<Uuid>{}, up}, std::pair{std::set<Uuid>{}, down},
                                         std::pair{std::set<Uuid>{entries.front().id}, up},
                                         std::pair{std::set<Uuid>{entries.back().id}, down}}) {
        controller->model().setSelectedEntryIDs(selected);
        for (QAction* action : {up, down, transpose}) EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
        move->trigger();
        EXPECT_EQ(order(), original) << move->text().toStdString() << " with " << selected.size() << " selected";
    }
}

TEST_F(SongMenusTest, TheTogglesShowAndSetTheSelectedBooksSettings)
{
    build(true);
    controller->selectBookKind(false);
    controller->updateSelectedBook([](Songbook& book) {
        book.settings.columns = 3;
        book.settings.flow = Flow::songPerPage;
        book.settings.nashville = false;
    });
    QAction* columns = item(menus->bookMenu(), "Two Columns");
    QAction* perPage = item(menus->bookMenu(), "One Song per Page");
    QAction* nashville = item(menus->bookMenu(), "Nashville Numbers");
    EXPECT_TRUE(columns->isEnabled());
    EXPECT_FALSE(columns->isChecked()) << "three columns are not two";
    EXPECT_TRUE(perPage->isChecked());

    columns->trigger();
    EXPECT_EQ(controller->selectedBook()->settings.columns, 2);
    EXPECT_TRUE(columns->isChecked());
    columns->trigger();
    EXPECT_EQ(controller->selectedBook()->settings.columns, 1);

    perPage->trigger();
    EXPECT_EQ(controller->selectedBook()->settings.flow, Flow::flowing);
    EXPECT_FALSE(perPage->isChecked());
    nashville->trigger();
    EXPECT_TRUE(controller->selectedBook()->settings.nashville);
    EXPECT_TRUE(nashville->isChecked());
}

TEST_F(SongMenusTest, ThePreviewItemNamesTheOtherViewAndSwitchesToIt)
{
    build(true);
    controller->selectBookKind(false);
    QAction* preview = item(menus->bookMenu(), "Show Booklet");
    preview->trigger();
    EXPECT_TRUE(controller->showsBooklet());
    EXPECT_EQ(preview->text(), "Show Pages");
    preview->trigger();
    EXPECT_FALSE(controller->showsBooklet());
    EXPECT_EQ(preview->text(), "Show Booklet");
}

TEST_F(SongMenusTest, TheSongItemsMoveEntriesAndAskForTheAddSongsSheet)
{
    build(true);
    controller->selectBookKind(false);
    auto book = *controller->selectedBook();
    ASSERT_GE(book.entries.size(), 2u);
    controller->model().setSelectedEntryIDs({book.entries[1].id});
    item(menus->songMenu(), "Move Up in Book")->trigger();
    EXPECT_EQ(controller->selectedBook()->entries[0].id, book.entries[1].id);
    item(menus->songMenu(), "Move Down in Book")->trigger();
    EXPECT_EQ(controller->selectedBook()->entries[1].id, book.entries[1].id);

    item(menus->songMenu(), "Transpose Up a Half Step")->trigger();
    EXPECT_EQ(controller->selectedBook()->entries[1].transpose, book.entries[1].transpose + 1);

    item(menus->songMenu(), "Add Songs to Book…")->trigger();
    EXPECT_TRUE(controller->model().addSongsShown());

    // Switched off by the host, the same items do nothing.
    menus->setEnabled(false);
    item(menus->songMenu(), "Move Up in Book")->trigger();
    EXPECT_EQ(controller->selectedBook()->entries[1].id, book.entries[1].id);
}

} // namespace
} // namespace LyricadeTest
