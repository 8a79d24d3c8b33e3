// The application object: the menu bar on the main window, the windows the
// model and the menus ask for (one of each), files routed by the first one's
// kind, files handed over by a later folmira (in process, and between two
// real processes), and the song library written on the way out.

#include "../Fakes.h"

#include "FolmiraApp/Model/SingleInstance.h"
#include "FolmiraApp/Views/Application.h"
#include "FolmiraApp/Views/DocumentView.h"
#include "FolmiraApp/Views/HelpWindow.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/MenuBar.h"
#include "FolmiraApp/Views/SettingsWindow.h"
#include "FolmiraApp/Views/WelcomeView.h"
#include "Lyricade/Views/AddSongsSheet.h"
#include "Lyricade/Views/LicensingSheet.h"
#include "Lyricade/Views/SidebarList.h"
#include "tests/HangGuard.h"
#include "tests/HangGuardQt.h"

#include <QLabel>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTimer>

#include <algorithm>

namespace FolmiraAppTest {
namespace {

constexpr std::string_view sparrow = "{title: Sparrow Hymn}\n[G]His eye is on the [C]sparrow\n";
constexpr std::string_view chorusText = "Morning Has Broken\n\nC       G\nMorning has broken\n";

class ApplicationTest : public ModelTest {
protected:
    Application& launch(const QStringList& files = {})
    {
        app = std::make_unique<Application>(services());
        app->start(files);
        return *app;
    }

    // Not a first launch: no welcome sheet.
    Application& relaunch(const QStringList& files = {})
    {
        defaults->setValue("welcomeSeen", true);
        return launch(files);
    }

    QAction* item(const QString& menu, const QString& text)
    {
        for (QAction* action : app->menuBar().menuTitled(menu)->actions())
            if (action->text() == text) return action;
        return nullptr;
    }

    QString filePath(const QString& name, std::string_view bytes = "Hello")
    {
        return QString::fromStdString(file(name, bytes).string());
    }

    // Songs of the library whose text holds `words`.
    long songsHolding(std::string_view words)
    {
        const auto songs = app->model().songs().library().songs;
        return std::count_if(songs.begin(), songs.end(),
                             [&](const auto& song) { return song.source.find(words) != std::string::npos; });
    }

    void TearDown() override
    {
        engine->releaseAll();
        app.reset();
        ModelTest::TearDown();
    }

    std::unique_ptr<Application> app;
};

TEST_F(ApplicationTest, TheMainWindowCarriesTheMenusAndTheSongbookSideRunsFromLaunch)
{
    launch();
    EXPECT_EQ(app->window().menuBar(), &app->menuBar());
    // In Document mode too, though only once the window has painted.
    ASSERT_EQ(app->model().kind(), DocKind::document);
    EXPECT_TRUE(HangGuard::waitFor([&] { return app->model().songsStarted(); }));
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
    relaunch();
    EXPECT_FALSE(app->helpWindow().isVisible());
    item("Help", "Keyboard Shortcuts")->trigger();
    EXPECT_TRUE(app->helpWindow().isVisible());
    EXPECT_EQ(app->model().helpPage(), HelpTopic::keys);
    app->helpWindow().close();
    item("Help", "Folmira Help")->trigger();
    EXPECT_TRUE(app->helpWindow().isVisible());
    EXPECT_EQ(app->model().helpPage(), HelpTopic::start);
}

TEST_F(ApplicationTest, TheShortcutsAnswerInEveryWindowAndCloseWindowClosesTheOneInFront)
{
    relaunch();
    ASSERT_TRUE(HangGuard::windowActive(&app->window()));
    const auto typeInto = [](QWidget* window, QKeyCombination keys) {
        EXPECT_TRUE(HangGuard::windowActive(window));
        QWidget* target = window->focusWidget() ? window->focusWidget() : window;
        QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
    };
    SettingsWindow& settings = app->settingsWindow();
    HelpWindow& help = app->helpWindow();

    typeInto(&app->window(), Qt::CTRL | Qt::Key_Comma);
    ASSERT_TRUE(settings.isVisible());
    typeInto(&settings, Qt::CTRL | Qt::Key_Question);
    ASSERT_TRUE(help.isVisible()) << "Help from the Settings window";
    typeInto(&help, Qt::ALT | Qt::Key_2);
    EXPECT_EQ(app->model().kind(), DocKind::songbook) << "the mode switch from the help window";
    typeInto(&help, Qt::CTRL | Qt::Key_W);
    EXPECT_FALSE(help.isVisible());
    EXPECT_TRUE(settings.isVisible());
    EXPECT_TRUE(app->window().isVisible());

    app->model().requestHelp(HelpTopic::keys);
    ASSERT_TRUE(help.isVisible());
    // Help says, on the screen and to a screen reader, which key closes it.
    auto* closing = help.findChild<QLabel*>("closingHint");
    ASSERT_NE(closing, nullptr);
    EXPECT_TRUE(closing->isVisible());
    EXPECT_EQ(closing->text(), "Press Esc to close Help.");
    EXPECT_EQ(help.accessibleDescription(), closing->text());
    typeInto(&help, Qt::Key_Escape);
    EXPECT_FALSE(help.isVisible());

    settings.present();
    typeInto(&settings, Qt::CTRL | Qt::Key_W);
    EXPECT_FALSE(settings.isVisible());
    settings.present();
    typeInto(&settings, Qt::Key_Escape);
    EXPECT_FALSE(settings.isVisible());
    EXPECT_TRUE(app->window().isVisible());
}

TEST_F(ApplicationTest, HelpRequestsRaiseOneHelpWindow)
{
    relaunch();
    HelpWindow* help = &app->helpWindow();
    EXPECT_FALSE(help->isVisible()) << "no help window at launch";
    app->model().requestHelp(HelpTopic::transpose);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), "Folmira Help");
    EXPECT_EQ(help->pageTitle(), "Keys, capo and Nashville numbers");

    help->close();
    app->model().requestHelp(HelpTopic::transpose); // the same page again still opens it
    EXPECT_TRUE(help->isVisible());

    // The Settings window's help button: the same window, on the first page.
    app->settingsWindow().present();
    app->settingsWindow().helpButton()->click();
    EXPECT_EQ(&app->helpWindow(), help);
    EXPECT_EQ(help->pageTitle(), "Getting started");
}

TEST_F(ApplicationTest, TheHelpKeysOpenHelpOverEverySheetAndHelpTakesKeysWhileTheSheetStays)
{
    launch(); // a first launch: the welcome sheet is up
    HelpWindow& help = app->helpWindow();
    auto* welcome = app->window().findChild<WelcomeView*>();
    ASSERT_NE(welcome, nullptr);
    const auto helpFrom = [&](QDialog* sheet, QKeyCombination keys) {
        help.close();
        sheet->activateWindow(); // as a click on it would
        ASSERT_TRUE(HangGuard::windowActive(sheet));
        app->model().setHelpPage(HelpTopic::keys);
        QTest::keyClick(sheet->focusWidget() ? sheet->focusWidget() : sheet, keys.key(), keys.keyboardModifiers());
        ASSERT_TRUE(help.isVisible());
        EXPECT_TRUE(HangGuard::windowActive(&help));
        EXPECT_EQ(app->model().helpPage(), HelpTopic::start);
        // The help window is not blocked by the sheet, which stays open.
        help.sidebar()->setFocus();
        QTest::keyClick(help.sidebar(), Qt::Key_End);
        EXPECT_NE(app->model().helpPage(), HelpTopic::start) << "the help window took the key";
        EXPECT_TRUE(sheet->isVisible());
    };

    helpFrom(welcome, QKeyCombination(Qt::Key_F1));
    welcome->closeButton()->click();

    auto& songs = app->model().songs();
    app->model().setKind(DocKind::songbook);
    songs.selectBookKind(false);
    songs.addSongs();
    auto* addSongs = app->window().findChild<Lyricade::AddSongsSheet*>();
    ASSERT_NE(addSongs, nullptr);
    helpFrom(addSongs, QKeyCombination(Qt::Key_F1));
    helpFrom(addSongs, Qt::CTRL | Qt::Key_Question);
    addSongs->reject();

    songs.showLicensing();
    auto* licensing = app->window().findChild<Lyricade::LicensingSheet*>();
    ASSERT_NE(licensing, nullptr);
    helpFrom(licensing, Qt::CTRL | Qt::SHIFT | Qt::Key_Question);
}

TEST_F(ApplicationTest, StartedInSongbookModeTheFocusIsOnTheSidebarsSelectedRow)
{
    defaults->setValue("docKind", "songbook");
    for (bool firstLaunch : {false, true}) {
        SCOPED_TRACE(firstLaunch ? "after the welcome sheet" : "no welcome sheet");
        app.reset();
        defaults->setValue("welcomeSeen", !firstLaunch);
        launch();
        if (firstLaunch) {
            WelcomeView* welcome = app->window().welcomeSheet();
            ASSERT_NE(welcome, nullptr);
            welcome->closeButton()->click();
            app->window().activateWindow();
        }
        ASSERT_TRUE(HangGuard::windowActive(&app->window()));
        auto* sidebar = app->window().findChild<Lyricade::SidebarList*>();
        ASSERT_NE(sidebar, nullptr);
        ASSERT_TRUE(HangGuard::waitFor([&] { return sidebar->hasFocus(); })) << app->window().focusWidget();
        ASSERT_NE(sidebar->currentItem(), nullptr);
        EXPECT_TRUE(sidebar->currentItem()->isSelected()) << "the ring is on the selected row";
        EXPECT_EQ(Lyricade::SidebarList::itemOf(sidebar->currentItem()), app->model().songs().model().selection());
        // The first key a keyboard user presses leaves the mode alone.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_EQ(app->model().kind(), DocKind::songbook);
    }
}

TEST_F(ApplicationTest, SettingsOpensTheSettingsWindowWhoseImportIsTheModels)
{
    relaunch();
    item("Folmira", "Settings…")->trigger();
    EXPECT_TRUE(app->settingsWindow().isVisible());
    app->settingsWindow().importButton()->click();
    EXPECT_EQ(panels->openFolders.size(), 1u) << "the library import's panel";
}

TEST_F(ApplicationTest, OneSettingsWindowThatKeepsItsTab)
{
    relaunch();
    SettingsWindow* settings = &app->settingsWindow();
    settings->present();
    EXPECT_EQ(settings->tabs()->currentIndex(), 0);
    settings->tabs()->setCurrentIndex(1);
    settings->close();
    item("Folmira", "Settings…")->trigger();
    EXPECT_EQ(&app->settingsWindow(), settings);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->tabs()->currentIndex(), 1);

    // After a restart.
    app.reset();
    relaunch();
    EXPECT_EQ(app->settingsWindow().tabs()->currentIndex(), 1);
    EXPECT_EQ(defaults->value("settingsTab").toString(), "privacy");

    // "Show the Welcome Screen" puts the sheet over the main window.
    app->settingsWindow().showWelcomeButton()->click();
    EXPECT_NE(app->window().welcomeSheet(), nullptr);
}

TEST_F(ApplicationTest, TheFirstFileDecidesTheMode)
{
    const struct Case {
        const char* name;
        DocKind startsIn;
        QStringList files;
        DocKind expected;
        QString opened;       // the document open afterwards, if any
        long sparrows = 0;    // songs imported from Hymn.cho / HYMN.CHO
        long mornings = 0;    // songs imported from Morning.txt
        bool refused = false; // the document was refused at once
        QString why = {};     // and the words of the refusal, when they matter here
        enum { file, folder, nothing } made = file; // what stands at the paths given
    } cases[] = {
        {"capital extension", DocKind::document, {"HYMN.CHO"}, DocKind::songbook, "", 1},
        {"song then PDF", DocKind::document, {"Hymn.cho", "Menu.pdf"}, DocKind::songbook, "", 1},
        {"song then text", DocKind::document, {"Hymn.cho", "Morning.txt"}, DocKind::songbook, "", 1, 1},
        // A song in a plain-text file is a document to the system.
        {"text holding a song", DocKind::songbook, {"Morning.txt"}, DocKind::document, "Morning.txt"},
        {"PDF then song", DocKind::songbook, {"Menu.pdf", "Hymn.cho"}, DocKind::document, "Menu.pdf"},
        {"unknown kind", DocKind::songbook, {"Photo.png"}, DocKind::document, "", 0, 0, true},
        {"nothing", DocKind::songbook, {}, DocKind::songbook, ""},
        {"a missing file", DocKind::songbook, {"nothere"}, DocKind::document, "", 0, 0, true,
         "“nothere” couldn’t be opened: there’s no such file.", Case::nothing},
        {"a folder", DocKind::document, {"Letters"}, DocKind::document, "", 0, 0, true,
         "“Letters” couldn’t be opened: it’s a folder, not a file.", Case::folder},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(path("data"));
        defaults->setValue("docKind", QString::fromUtf8(toString(c.startsIn)));
        QStringList paths;
        for (const auto& name : c.files) {
            if (c.made == Case::file) paths << filePath(name, name.endsWith(".txt") ? chorusText : sparrow);
            else paths << folder.filePath(name);
            if (c.made == Case::folder) QDir(folder.path()).mkpath(name);
        }
        auto& a = relaunch(paths);
        EXPECT_EQ(a.model().kind(), c.expected) << c.name;
        EXPECT_EQ(a.model().fileName(), c.opened) << c.name;
        EXPECT_EQ(a.model().error().has_value(), c.refused) << c.name;
        if (!c.why.isEmpty()) {
            EXPECT_EQ(a.model().error(), c.why) << c.name;
        }
        EXPECT_EQ(songsHolding("Sparrow Hymn"), c.sparrows) << c.name;
        EXPECT_EQ(songsHolding("Morning Has Broken"), c.mornings) << c.name;
        EXPECT_EQ(a.window().currentContent(), c.expected == DocKind::document
                                                   ? static_cast<QWidget*>(a.window().documentView())
                                                   : a.window().songbookPane())
            << c.name;
        app.reset();
    }
}

TEST_F(ApplicationTest, RelativePathsAreTakenFromTheCurrentFolder)
{
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    file("Notes.md");
    auto& a = relaunch({"Notes.md"});
    QDir::setCurrent(before);
    ASSERT_TRUE(a.model().fileURL());
    EXPECT_EQ(*a.model().fileURL(), path("Notes.md"));
}

// A running application listening for later processes, minimized, and a
// later one handing it Bulletin.pdf.
class HandOverTest : public ApplicationTest {
protected:
    void handOverFrom(Application& a)
    {
        running = std::make_unique<SingleInstance>(folder.filePath("folmira.socket"));
        ASSERT_EQ(running->claim({}), SingleInstance::Role::first);
        a.acceptHandOvers(*running);
        a.window().showMinimized();
        handOver({filePath("Bulletin.pdf")});
        ASSERT_TRUE(HangGuard::waitFor([&] { return a.model().fileName() == "Bulletin.pdf"; }, 5000));
    }
    void handOver(const QStringList& files)
    {
        SingleInstance later(folder.filePath("folmira.socket"));
        ASSERT_EQ(later.claim(files), SingleInstance::Role::handedOver);
    }
    std::unique_ptr<SingleInstance> running;
};

TEST_F(HandOverTest, TheWindowComesForwardAndOpensTheFiles)
{
    auto& a = relaunch();
    handOverFrom(a);
    EXPECT_TRUE(a.window().isVisible());
    EXPECT_FALSE(a.window().windowState() & Qt::WindowMinimized);

    // A song file for the other mode switches the mode first.
    handOver({filePath("Hymn.chopro", sparrow)});
    ASSERT_TRUE(HangGuard::waitFor([&] { return songsHolding("Sparrow Hymn") == 1; }, 5000));
    EXPECT_EQ(a.model().kind(), DocKind::songbook);
    EXPECT_EQ(a.window().currentContent(), a.window().songbookPane());
}

TEST_F(HandOverTest, TheWelcomeSheetStaysOnTop)
{
    auto& a = launch();
    ASSERT_NE(a.window().welcomeSheet(), nullptr);
    handOverFrom(a);
    ASSERT_NE(a.window().welcomeSheet(), nullptr);
    EXPECT_TRUE(HangGuard::waitFor([&] { return QApplication::activeWindow() == a.window().welcomeSheet(); }, 2000));
}

TEST_F(ApplicationTest, ClosingTheWindowWritesAChangedLibrary)
{
    auto& a = relaunch();
    const auto library = path("data") / "Songbooks" / "library.json";
    a.route({file("Hymn.cho", sparrow)});
    ASSERT_EQ(songsHolding("Sparrow Hymn"), 1);
    ASSERT_EQ(readFile(library).find("Sparrow Hymn"), std::string::npos) << "the debounced save is still pending";

    // The last window closes, the application quits and writes the library
    // at once, well before the debounced save would have.
    QTimer::singleShot(0, &a.window(), [&a] { a.window().close(); });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, qApp, &QCoreApplication::quit);
    safety.start(static_cast<int>(HangGuard::limit(std::chrono::milliseconds(500)).count()));
    QApplication::exec();
    EXPECT_TRUE(safety.isActive()) << "the quit came from the closed window, not the safety timer";
    EXPECT_NE(readFile(library).find("Sparrow Hymn"), std::string::npos);
}

// Two real processes: the second hands its files to the first and ends with
// status 0; the first opens them in the mode they ask for.
class TwoProcessesTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        for (const char* sub : {"run", "config/Folmira", "data"}) ASSERT_TRUE(QDir(root.path()).mkpath(sub));
        QFile::setPermissions(root.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSettings seen(config(), QSettings::IniFormat);
        seen.setValue("welcomeSeen", true);
        seen.setValue("docKind", "document");
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", root.filePath("run"));
        environment.insert("XDG_CONFIG_HOME", root.filePath("config"));
        environment.insert("XDG_DATA_HOME", root.filePath("data"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
    }
    void TearDown() override
    {
        if (first.state() != QProcess::NotRunning) {
            first.kill();
            first.waitForFinished(HangGuard::scaled(5000));
        }
    }

    QString config() const { return root.filePath("config/Folmira/Folmira.conf"); }
    QString storedKind() const { return QSettings(config(), QSettings::IniFormat).value("docKind").toString(); }
    std::string library() const { return readFile(root.filePath("data/Folmira/Songbooks/library.json").toStdString()); }

    // Runs a later folmira to its end; its exit code.
    int runSecond(const QStringList& files)
    {
        QProcess second;
        second.setProcessEnvironment(environment);
        second.setWorkingDirectory(root.path());
        second.start(FOLMIRA_PROGRAM, files);
        if (!second.waitForFinished(HangGuard::scaled(10000))) {
            second.kill();
            second.waitForFinished(HangGuard::scaled(30000));
            return -1;
        }
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -2;
    }

    QTemporaryDir root;
    QProcessEnvironment environment;
    QProcess first;
};

TEST_F(TwoProcessesTest, ALaterFolmiraHandsItsFilesToTheRunningOne)
{
    first.setProcessEnvironment(environment);
    first.start(FOLMIRA_PROGRAM, {});
    ASSERT_TRUE(first.waitForStarted(HangGuard::scaled(10000)));
    ASSERT_TRUE(HangGuard::waitFor([&] { return QFile::exists(root.filePath("run/folmira.socket")); }, 10000))
        << first.readAllStandardError().toStdString();

    writeFile(root.filePath("Hymn.CHO").toStdString(), sparrow);
    EXPECT_EQ(runSecond({"Hymn.CHO"}), 0);
    EXPECT_TRUE(HangGuard::waitFor([&] { return storedKind() == "songbook"; }, 10000));
    // Imported into the running one's library, saved after its usual delay.
    EXPECT_TRUE(HangGuard::waitFor([&] { return library().find("Sparrow Hymn") != std::string::npos; }, 10000));

    writeFile(root.filePath("Notes.txt").toStdString(), "Bring chairs.\n");
    EXPECT_EQ(runSecond({"Notes.txt"}), 0);
    EXPECT_TRUE(HangGuard::waitFor([&] { return storedKind() == "document"; }, 10000));
    EXPECT_EQ(first.state(), QProcess::Running) << "the first one keeps running";

    // Quitting as the desktop asks, the one Folmira ends cleanly.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(HangGuard::scaled(10000)));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
}

} // namespace
} // namespace FolmiraAppTest
