// The application object: the menu bar on the main window, the windows the
// model and the menus ask for, and song files handed over at start.

#include "../Fakes.h"

#include "FolmiraApp/Views/Application.h"
#include "FolmiraApp/Views/HelpWindow.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/MenuBar.h"
#include "FolmiraApp/Views/SettingsWindow.h"
#include "FolmiraApp/Views/WelcomeView.h"

#include <QMenu>
#include <QPushButton>

namespace FolmiraAppTest {
namespace {

class ApplicationTest : public ModelTest {
protected:
    Application& launch(const QStringList& files = {})
    {
        AppServices services;
        services.engine = engine;
        services.panels = panels;
        services.defaults = defaults;
        services.samplesFolder = path("Samples");
        services.songServices.dataFolder = path("data");
        services.songServices.panels = songPanels;
        app = std::make_unique<Application>(services);
        app->start(files);
        return *app;
    }

    QAction* item(const QString& menu, const QString& text)
    {
        for (QAction* action : app->menuBar().menuTitled(menu)->actions())
            if (action->text() == text) return action;
        return nullptr;
    }

    void TearDown() override
    {
        app.reset();
        ModelTest::TearDown();
    }

    std::unique_ptr<Application> app;
};

TEST_F(ApplicationTest, TheMainWindowCarriesTheMenusAndTheSongbookSideRunsFromLaunch)
{
    launch();
    EXPECT_EQ(app->window().menuBar(), &app->menuBar());
    EXPECT_TRUE(app->model().songsStarted());
    EXPECT_EQ(Application::sharedModel(), &app->model());
    EXPECT_TRUE(std::filesystem::exists(path("data") / "Songbooks" / "library.json"));
}

TEST_F(ApplicationTest, TheFirstLaunchShowsTheWelcomeAndTheMenuShowsItAgain)
{
    launch();
    auto* welcome = app->window().findChild<WelcomeView*>();
    ASSERT_NE(welcome, nullptr);
    EXPECT_TRUE(welcome->isVisible());
    welcome->closeButton()->click();
    EXPECT_FALSE(welcome->isVisible());
    item("Help", "Show the Welcome Screen")->trigger();
    EXPECT_TRUE(welcome->isVisible());
    EXPECT_EQ(app->window().findChildren<WelcomeView*>().size(), 1);
}

TEST_F(ApplicationTest, HelpItemsOpenTheHelpWindowAtTheirPage)
{
    defaults->setValue("welcomeSeen", true);
    launch();
    EXPECT_FALSE(app->helpWindow().isVisible());
    item("Help", "Keyboard Shortcuts")->trigger();
    EXPECT_TRUE(app->helpWindow().isVisible());
    EXPECT_EQ(app->model().helpPage(), HelpTopic::keys);
    app->helpWindow().close();
    item("Help", "Folmira Help")->trigger();
    EXPECT_TRUE(app->helpWindow().isVisible());
    EXPECT_EQ(app->model().helpPage(), HelpTopic::start);
}

TEST_F(ApplicationTest, SettingsOpensTheSettingsWindowWhoseImportIsTheModels)
{
    defaults->setValue("welcomeSeen", true);
    launch();
    item("Folmira", "Settings…")->trigger();
    EXPECT_TRUE(app->settingsWindow().isVisible());
    app->settingsWindow().importButton()->click();
    EXPECT_EQ(panels->openFolders.size(), 1u) << "the library import's panel";
}

TEST_F(ApplicationTest, ASongFileGivenAtStartIsImportedInSongbookMode)
{
    defaults->setValue("welcomeSeen", true);
    const auto song = file("Road.cho", "{title: Open Road}\n[D]Wheels\n");
    launch({QString::fromStdString(song.string())});
    EXPECT_EQ(app->model().kind(), DocKind::songbook);
    const auto songs = app->model().songs().library().songs;
    EXPECT_TRUE(std::any_of(songs.begin(), songs.end(), [](const auto& stored) {
        return stored.source.find("Open Road") != std::string::npos;
    }));
}

} // namespace
} // namespace FolmiraAppTest
