// The application object: files routed by the first one's kind, files handed
// over by a later folmira (in process, and between two real processes), and
// the help and Settings windows, one of each.

#include "../Fakes.h"

#include "FolmiraApp/Model/SingleInstance.h"
#include "FolmiraApp/Views/Application.h"
#include "FolmiraApp/Views/DocumentView.h"
#include "FolmiraApp/Views/HelpWindow.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/SettingsWindow.h"

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>

namespace FolmiraAppTest {
namespace {

class ApplicationTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        defaults->setValue("welcomeSeen", true);
    }
    void TearDown() override
    {
        engine->releaseAll();
        app.reset();
        ModelTest::TearDown();
    }

    Application& start(const QStringList& files = {})
    {
        AppServices services;
        services.engine = engine;
        services.panels = panels;
        services.defaults = defaults;
        app = std::make_unique<Application>(services);
        app->start(files);
        return *app;
    }

    QString filePath(const QString& name, std::string_view bytes = "Hello")
    {
        return QString::fromStdString(file(name, bytes).string());
    }

    std::unique_ptr<Application> app;
};

TEST_F(ApplicationTest, TheFirstFileDecidesTheMode)
{
    const std::string_view song = "Amazing Grace\n\nG        C\nAmazing grace, how sweet the sound\n";
    const struct {
        const char* name;
        DocKind startsIn;
        QStringList files;
        DocKind expected;
        QString opened; // the document open afterwards, if any
        bool refused = false;
    } cases[] = {
        // A song in a plain-text file is a document to the system.
        {"txt holding a song", DocKind::songbook, {"Chorus.txt"}, DocKind::document, "Chorus.txt"},
        {"PDF then song", DocKind::songbook, {"Menu.pdf", "Hymn.cho"}, DocKind::document, "Menu.pdf"},
        {"Word file", DocKind::document, {"Letter.docx"}, DocKind::document, "Letter.docx"},
        {"unknown kind", DocKind::songbook, {"Photo.png"}, DocKind::document, "", true},
        {"nothing", DocKind::songbook, {}, DocKind::songbook, ""},
    };
    for (const auto& c : cases) {
        defaults->setValue("docKind", QString::fromUtf8(toString(c.startsIn)));
        QStringList paths;
        for (const auto& name : c.files) paths << filePath(name, song);
        auto& a = start(paths);
        EXPECT_EQ(a.model().kind(), c.expected) << c.name;
        EXPECT_EQ(a.model().fileName(), c.opened) << c.name;
        EXPECT_EQ(a.model().error().has_value(), c.refused) << c.name;
        EXPECT_EQ(a.window().currentContent(),
                  c.expected == DocKind::document ? static_cast<QWidget*>(a.window().documentView()) : a.window().songbookPane())
            << c.name;
        app.reset();
    }
}

TEST_F(ApplicationTest, RelativePathsAreTakenFromTheCurrentFolder)
{
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    file("Notes.md");
    auto& a = start({"Notes.md"});
    QDir::setCurrent(before);
    ASSERT_TRUE(a.model().fileURL());
    EXPECT_EQ(*a.model().fileURL(), path("Notes.md"));
}

TEST_F(ApplicationTest, FilesHandedOverBringTheWindowForwardAndOpen)
{
    auto& a = start();
    SingleInstance first(folder.filePath("folmira.socket"));
    ASSERT_EQ(first.claim({}), SingleInstance::Role::first);
    a.acceptHandOvers(first);
    a.window().showMinimized();

    SingleInstance second(folder.filePath("folmira.socket"));
    ASSERT_EQ(second.claim({filePath("Bulletin.pdf")}), SingleInstance::Role::handedOver);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.model().fileName() == "Bulletin.pdf"; }, 5000));
    EXPECT_TRUE(a.window().isVisible());
    EXPECT_FALSE(a.window().windowState() & Qt::WindowMinimized);
}

TEST_F(ApplicationTest, HelpRequestsRaiseOneHelpWindow)
{
    auto& a = start();
    EXPECT_EQ(a.helpWindow(), nullptr) << "no help window at launch";
    a.model().requestHelp(HelpTopic::transpose);
    HelpWindow* help = a.helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), "Folmira Help");
    EXPECT_EQ(help->pageTitle(), "Keys, capo and Nashville numbers");

    help->close();
    a.model().requestHelp(HelpTopic::transpose); // the same page again still opens it
    EXPECT_EQ(a.helpWindow(), help);
    EXPECT_TRUE(help->isVisible());

    // The Settings window's help button: the same window, on the first page.
    a.presentSettings();
    a.settingsWindow()->helpButton()->click();
    EXPECT_EQ(a.helpWindow(), help);
    EXPECT_EQ(help->pageTitle(), "Getting started");
}

TEST_F(ApplicationTest, OneSettingsWindowThatKeepsItsTab)
{
    auto& a = start();
    a.presentSettings();
    SettingsWindow* settings = a.settingsWindow();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->tabs()->currentIndex(), 0);
    settings->tabs()->setCurrentIndex(1);
    settings->close();
    a.presentSettings();
    EXPECT_EQ(a.settingsWindow(), settings);
    EXPECT_EQ(settings->tabs()->currentIndex(), 1);

    // After a restart.
    app.reset();
    start().presentSettings();
    EXPECT_EQ(app->settingsWindow()->tabs()->currentIndex(), 1);
    EXPECT_EQ(defaults->value("settingsTab").toString(), "privacy");

    // "Show the Welcome Screen" puts the sheet over the main window.
    app->settingsWindow()->showWelcomeButton()->click();
    EXPECT_NE(app->window().welcomeSheet(), nullptr);
}

// Two real processes: the second hands its files to the first and ends with
// status 0; the first switches to the mode the files ask for.
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
            first.terminate();
            if (!first.waitForFinished(5000)) first.kill();
            first.waitForFinished(5000);
        }
    }

    QString config() const { return root.filePath("config/Folmira/Folmira.conf"); }
    QString storedKind() const { return QSettings(config(), QSettings::IniFormat).value("docKind").toString(); }

    // Runs a later folmira to its end; its exit code.
    int runSecond(const QStringList& files)
    {
        QProcess second;
        second.setProcessEnvironment(environment);
        second.setWorkingDirectory(root.path());
        second.start(FOLMIRA_BINARY, files);
        if (!second.waitForFinished(10000)) {
            second.kill();
            second.waitForFinished();
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
    first.start(FOLMIRA_BINARY, {});
    ASSERT_TRUE(first.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(root.filePath("run/folmira.socket")); }, 10000))
        << first.readAllStandardError().toStdString();

    writeFile(root.filePath("Hymn.CHO").toStdString(), "{title: Sparrow Hymn}\n[G]His eye is on the [C]sparrow\n");
    EXPECT_EQ(runSecond({"Hymn.CHO"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return storedKind() == "songbook"; }, 10000));

    writeFile(root.filePath("Notes.txt").toStdString(), "Bring chairs.\n");
    EXPECT_EQ(runSecond({"Notes.txt"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return storedKind() == "document"; }, 10000));
    EXPECT_EQ(first.state(), QProcess::Running) << "the first one keeps running";
}

} // namespace
} // namespace FolmiraAppTest
