// One Folmira per user: a later instance hands its files to the first and
// ends; a socket left by a crashed run is taken over. The hand-over between
// two processes runs this test program a second time as the later instance.

#include "FolmiraApp/Model/SingleInstance.h"
#include "tests/HangGuardQt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace FolmiraAppTest {
namespace {

using FolmiraApp::SingleInstance;
using Role = SingleInstance::Role;

constexpr const char* childSocketVariable = "FOLMIRA_TEST_SECOND_INSTANCE_SOCKET";

class SingleInstanceTest : public testing::Test {
protected:
    QString socket() const { return runtime.filePath("folmira.socket"); }
    QTemporaryDir runtime;
};

TEST_F(SingleInstanceTest, ALaterInstanceHandsItsFilesToTheFirst)
{
    SingleInstance first(socket());
    ASSERT_EQ(first.claim({}), Role::first);
    EXPECT_TRUE(first.listening());
    QSignalSpy received(&first, &SingleInstance::filesReceived);

    SingleInstance second(socket());
    EXPECT_EQ(second.claim({"Hymns/amazing.cho", "/srv/letters/menu.pdf"}), Role::handedOver);
    EXPECT_FALSE(second.listening());
    ASSERT_TRUE(received.wait(HangGuard::scaled(5000)));
    EXPECT_EQ(received.front().front().toStringList(),
              (QStringList{QDir::current().absoluteFilePath("Hymns/amazing.cho"), "/srv/letters/menu.pdf"}));

    // Started again with no files: the first still hears of it, to come forward.
    SingleInstance third(socket());
    EXPECT_EQ(third.claim({}), Role::handedOver);
    ASSERT_TRUE(received.wait(HangGuard::scaled(5000)));
    EXPECT_TRUE(received.back().front().toStringList().isEmpty());
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashedRunIsTakenOver)
{
    // A bound socket whose process is gone: the file stays, nobody listens.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socket());
    ASSERT_LT(static_cast<std::size_t>(path.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(socket()));

    SingleInstance first(socket());
    EXPECT_EQ(first.claim({"song.cho"}), Role::first);
    EXPECT_TRUE(first.listening());

    SingleInstance second(socket());
    EXPECT_EQ(second.claim({}), Role::handedOver);
}

TEST_F(SingleInstanceTest, AStrayFileAtTheSocketsPlaceIsTakenOver)
{
    QFile stray(socket());
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.write("left over");
    stray.close();
    SingleInstance first(socket());
    EXPECT_EQ(first.claim({}), Role::first);
    EXPECT_TRUE(first.listening());
}

TEST_F(SingleInstanceTest, ASecondProcessHandsOverAndEndsWithStatusZero)
{
    SingleInstance first(socket());
    ASSERT_EQ(first.claim({}), Role::first);
    QSignalSpy received(&first, &SingleInstance::filesReceived);

    QProcess second;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(childSocketVariable, socket());
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(runtime.path());
    second.start(QCoreApplication::applicationFilePath(),
                 {"--gtest_filter=SecondInstance.HandsOverItsArguments", "--", "Songs/a.chopro", "notes.txt"});
    ASSERT_TRUE(received.wait(HangGuard::scaled(10000))) << second.readAllStandardError().toStdString();
    ASSERT_TRUE(second.waitForFinished(HangGuard::scaled(10000)));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardOutput().toStdString();
    EXPECT_EQ(received.front().front().toStringList(),
              (QStringList{runtime.filePath("Songs/a.chopro"), runtime.filePath("notes.txt")}));
}

// The later process of the test above; skipped in an ordinary run.
TEST(SecondInstance, HandsOverItsArguments)
{
    const QString path = qEnvironmentVariable(childSocketVariable);
    if (path.isEmpty()) GTEST_SKIP() << "runs only as the second process of a hand-over test";
    QStringList files = QCoreApplication::arguments();
    files = files.mid(files.indexOf("--") + 1);
    SingleInstance instance(path);
    ASSERT_EQ(instance.claim(files), Role::handedOver);
}

} // namespace
} // namespace FolmiraAppTest
