// SIGTERM, SIGINT and SIGHUP end the program through its event loop: in this process
// with a quit of the test's own, and in a running Folmira, whose changed
// songbook library must be on disk when it has gone.

#include "FolmiraApp/Model/QuitSignals.h"
#include "tests/HangGuardQt.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <string>

namespace FolmiraAppTest {
namespace {

using FolmiraApp::QuitSignals;

// A test run started under nohup ignores SIGHUP, and so would a program it
// starts; the catcher rightly leaves an ignored SIGHUP alone.
void hangUpByDefault()
{
    std::signal(SIGHUP, SIG_DFL);
}

TEST(QuitSignalsTest, EachSignalQuitsOnTheEventLoop)
{
    hangUpByDefault();
    int quits = 0;
    QuitSignals catcher([&] { ++quits; });
    // Without the handler the signal would end this test program.
    ASSERT_TRUE(catcher.active());
    EXPECT_FALSE(QuitSignals([] {}).active()) << "one at a time";

    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_EQ(quits, 0) << "nothing runs inside the handler";
    EXPECT_TRUE(HangGuard::waitFor([&] { return quits == 1; }));
    ASSERT_EQ(::raise(SIGINT), 0);
    EXPECT_TRUE(HangGuard::waitFor([&] { return quits == 2; }));
    ASSERT_EQ(::raise(SIGHUP), 0);
    EXPECT_TRUE(HangGuard::waitFor([&] { return quits == 3; }));
}

TEST(QuitSignalsTest, AnIgnoredHangUpStaysIgnored)
{
    std::signal(SIGHUP, SIG_IGN);
    {
        QuitSignals catcher([] {});
        ASSERT_TRUE(catcher.active());
        struct sigaction action {};
        sigaction(SIGHUP, nullptr, &action);
        EXPECT_EQ(action.sa_handler, SIG_IGN) << "started with nohup";
    }
    struct sigaction action {};
    sigaction(SIGHUP, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_IGN);
    hangUpByDefault();
}

std::string readAll(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Folmira started on a song file: the import changes the library at once,
// and its own save would come only 0.6 s later.
TEST(QuitSignalsTest, ARunningFolmiraWritesItsLibraryWhenSignalled)
{
    hangUpByDefault();
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        QDir(home.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(home.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString song = home.filePath("Signal.cho");
        {
            std::ofstream out(song.toStdString());
            out << "{title: Signalled Away}\n[G]Gone [C]home\n";
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("HOME", home.path());
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home.filePath("run"));
        QProcess folmira;
        folmira.setProcessEnvironment(environment);
        folmira.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        folmira.start(QStringLiteral(FOLMIRA_PROGRAM), {song});
        ASSERT_TRUE(folmira.waitForStarted(HangGuard::scaled(10000)));

        // The library file appears when the songbook side starts, before the import.
        const QString library = home.filePath("data/Folmira/Songbooks/library.json");
        ASSERT_TRUE(HangGuard::waitFor([&] { return QFile::exists(library); }, 20000));
        if (signal == SIGTERM) folmira.terminate();
        else ::kill(static_cast<pid_t>(folmira.processId()), signal);
        ASSERT_TRUE(folmira.waitForFinished(HangGuard::scaled(20000)));
        EXPECT_EQ(folmira.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(folmira.exitCode(), 0);
        const std::string written = readAll(library);
        EXPECT_NE(written.find("Signalled Away"), std::string::npos);
        EXPECT_NE(written.find("\"books\""), std::string::npos) << "the whole library, not the song alone";
    }
}

} // namespace
} // namespace FolmiraAppTest
