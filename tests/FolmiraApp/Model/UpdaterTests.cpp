// The update check against a feed served on the loopback interface: how the
// probe's answer is read, the feed read after it, one check at a time, the
// offer of a newer version, and the daily schedule.

#include "../Views/UrlCatcher.h"

#include "FolmiraApp/Model/Appcast.h"
#include "FolmiraApp/Model/Updater.h"
#include "tests/HangGuardQt.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace FolmiraAppTest {
namespace {

using namespace FolmiraApp;
using namespace std::chrono_literals;

QByteArray appcast(const QStringList& versions)
{
    QByteArray items;
    for (const auto& version : versions)
        items += QStringLiteral("<item><title>Folmira %1</title><sparkle:shortVersionString>%1"
                                "</sparkle:shortVersionString><link>https://example.org/folmira/%1</link>"
                                "<enclosure url=\"https://example.org/folmira-%1.tar.gz\" length=\"1\"/></item>")
                     .arg(version)
                     .toUtf8();
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel><title>Folmira</title>" +
           items + "</channel></rss>";
}

// A tiny HTTP server: HEAD answers with `headStatus`, GET with `feedStatus`
// and the feed. With `silent` it accepts connections and never answers.
class FeedServer {
public:
    int headStatus = 200;
    int feedStatus = 200;
    QByteArray feed = appcast({"1.0"});
    bool silent = false;
    int heads = 0;
    int gets = 0;

    FeedServer()
    {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(server_.serverPort())); }

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n") || silent) return;
        const bool head = request.startsWith("HEAD ");
        (head ? heads : gets)++;
        const QByteArray body = head ? QByteArray() : feed;
        const int status = head ? headStatus : feedStatus;
        socket->write("HTTP/1.1 " + QByteArray::number(status) + " Status\r\nContent-Type: application/rss+xml\r\n" +
                      "Content-Length: " + QByteArray::number(head ? 0 : body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        pending_.remove(socket);
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

struct FakeUi final : UpdaterUi {
    struct Shown {
        QString title, text;
    };
    std::vector<Shown> alerts, offers;
    bool wantsPage = false;

    void presentAlert(const QString& title, const QString& text) override { alerts.push_back({title, text}); }
    bool offerUpdate(const QString& title, const QString& text) override
    {
        offers.push_back({title, text});
        return wantsPage;
    }
};

class UpdaterTest : public testing::Test {
protected:
    Updater& make(QUrl feed, QString version = "1.0", std::chrono::milliseconds timeout = 15s)
    {
        Updater::Config config;
        config.feedURL = std::move(feed);
        config.appName = "Folmira";
        config.appVersion = std::move(version);
        config.defaults = std::make_shared<QSettings>(folder.filePath("Folmira.conf"), QSettings::IniFormat);
        config.timeout = timeout;
        updater = std::make_unique<Updater>(config, ui);
        return *updater;
    }
    // Runs one check to its end.
    void check()
    {
        QSignalSpy finished(updater.get(), &Updater::checkFinished);
        updater->checkForUpdates();
        ASSERT_TRUE(finished.size() == 1 || finished.wait(HangGuard::scaled(5000)));
    }
    QString onlyAlert() const { return ui->alerts.size() == 1 ? ui->alerts.front().title : QString("(none)"); }

    QTemporaryDir folder;
    std::shared_ptr<FakeUi> ui = std::make_shared<FakeUi>();
    std::unique_ptr<Updater> updater;
};

TEST_F(UpdaterTest, TheProbesStatusDecidesWhatFollows)
{
    const struct {
        int status;
        const char* alert;
        int feedReads;
    } cases[] = {
        {404, "You’re up to date", 0},         {410, "You’re up to date", 0},
        {403, "Couldn’t check for updates", 0}, {500, "Couldn’t check for updates", 0},
        {401, "Couldn’t check for updates", 0}, {503, "Couldn’t check for updates", 0},
        {200, "You’re up to date", 1},          {204, "You’re up to date", 1},
        {405, "You’re up to date", 1},          {501, "You’re up to date", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        FeedServer server;
        server.headStatus = c.status;
        ui->alerts.clear();
        make(server.url());
        check();
        EXPECT_EQ(server.heads, 1);
        EXPECT_EQ(server.gets, c.feedReads);
        EXPECT_EQ(onlyAlert(), c.alert);
        EXPECT_FALSE(updater->checking());
    }
}

TEST_F(UpdaterTest, NoAnswerIsAFailedCheck)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const auto port = closed.serverPort();
    closed.close();
    make(QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(port)));
    check();
    EXPECT_EQ(onlyAlert(), "Couldn’t check for updates");

    FeedServer mute;
    mute.silent = true;
    ui->alerts.clear();
    make(mute.url(), "1.0", 300ms);
    check();
    EXPECT_EQ(onlyAlert(), "Couldn’t check for updates");
}

TEST_F(UpdaterTest, AnUnreadableFeedAfterAGoodProbeIsAFailedCheck)
{
    for (const auto& [status, feed] : {std::pair{500, appcast({"9.0"})}, std::pair{200, QByteArray("<rss><channel>")}}) {
        FeedServer server;
        server.feedStatus = status;
        server.feed = feed;
        ui->alerts.clear();
        make(server.url());
        check();
        EXPECT_EQ(onlyAlert(), "Couldn’t check for updates");
        EXPECT_TRUE(ui->offers.empty());
    }
}

TEST_F(UpdaterTest, TwoQuickClicksMakeOneProbe)
{
    FeedServer server;
    server.headStatus = 404;
    make(server.url());
    QSignalSpy finished(updater.get(), &Updater::checkFinished);
    updater->checkForUpdates();
    EXPECT_TRUE(updater->checking());
    updater->checkForUpdates();
    ASSERT_TRUE(finished.wait(HangGuard::scaled(5000)));
    QTest::qWait(50);
    EXPECT_EQ(server.heads, 1);
    EXPECT_EQ(ui->alerts.size(), 1u);
    EXPECT_EQ(finished.size(), 1);
}

TEST_F(UpdaterTest, ANewerVersionIsOfferedAndItsPageOpened)
{
    UrlCatcher browser;
    FeedServer server;
    server.feed = appcast({"0.9", "1.2", "1.10", "1.9"});
    make(server.url(), "1.0");
    check();
    ASSERT_EQ(ui->offers.size(), 1u);
    EXPECT_EQ(ui->offers.front().title, "Folmira 1.10 is available");
    EXPECT_EQ(ui->offers.front().text, "You have Folmira 1.0. Open the download page to get the new version.");
    EXPECT_TRUE(ui->alerts.empty());
    EXPECT_TRUE(browser.opened.isEmpty()); // "Not Now"

    ui->wantsPage = true;
    check();
    EXPECT_EQ(browser.opened, QList<QUrl>{QUrl("https://example.org/folmira/1.10")});
}

TEST_F(UpdaterTest, WithoutAFeedTheCheckSaysThePackageManagerKeepsItUpToDate)
{
    make(QUrl());
    updater->checkForUpdates();
    ASSERT_EQ(ui->alerts.size(), 1u);
    EXPECT_EQ(ui->alerts.front().text,
              "This copy of Folmira has no update address. Your system’s package manager keeps it up to date.");
    updater->startSchedule();
    EXPECT_FALSE(updater->scheduled());
}

TEST_F(UpdaterTest, TextsCarryTheNameAndVersion)
{
    make(QUrl(), "2.3");
    EXPECT_EQ(updater->upToDateText(), "Folmira 2.3 is the newest version. Folmira checks for updates on its own and "
                                       "will let you know when there’s a new one.");
    Updater::Config bare;
    Updater anonymous(bare, ui);
    EXPECT_EQ(anonymous.upToDateText(), "This app  is the newest version. This app checks for updates on its own and "
                                        "will let you know when there’s a new one.");
    EXPECT_EQ(anonymous.failedText(),
              "Check your internet connection and try again. This app also checks on its own about once a day.");
}

TEST_F(UpdaterTest, TheScheduleRunsAtMostOnceADayAndSpeaksOnlyOfNewerVersions)
{
    FeedServer server;
    make(server.url());
    QSettings defaults(folder.filePath("Folmira.conf"), QSettings::IniFormat);

    defaults.setValue(Updater::lastCheckKey, QDateTime::currentDateTimeUtc().addSecs(-2 * 3600));
    defaults.sync();
    make(server.url());
    updater->startSchedule();
    EXPECT_GT(updater->nextScheduledCheck(), 21h);
    // The stored time may lose its milliseconds: allow a minute's slack.
    EXPECT_LE(updater->nextScheduledCheck(), 22h + 1min);

    defaults.remove(Updater::lastCheckKey);
    defaults.sync();
    make(server.url());
    QSignalSpy finished(updater.get(), &Updater::checkFinished);
    updater->startSchedule();
    ASSERT_TRUE(finished.wait(HangGuard::scaled(5000)));
    EXPECT_EQ(server.heads, 0);
    EXPECT_EQ(server.gets, 1);
    EXPECT_TRUE(ui->alerts.empty()); // up to date: nothing said
    EXPECT_GT(updater->nextScheduledCheck(), 23h);

    server.feed = appcast({"3.0"});
    make(server.url());
    QSignalSpy again(updater.get(), &Updater::checkFinished);
    updater->startSchedule(); // the check just recorded is less than a day old
    EXPECT_FALSE(again.wait(300));
    EXPECT_TRUE(ui->offers.empty());
}

TEST(Appcast, ReadsItemsWithAVersionAndAnAddress)
{
    const QByteArray feed = R"(<rss xmlns:s="urn:any"><channel>
        <item><s:version>12</s:version><s:shortVersionString>1.2</s:shortVersionString><link> https://a/1.2 </link></item>
        <item><enclosure url="https://a/1.3.tar.gz" s:version="1.3"/></item>
        <item><title>No version</title><link>https://a/x</link></item>
        <item><s:version>1.4</s:version></item>
        <item><s:version>1.5</s:version><s:releaseNotesLink>https://a/notes</s:releaseNotesLink></item>
        </channel></rss>)";
    const auto items = Appcast::read(feed);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 3u);
    EXPECT_EQ((*items)[0].version, "1.2");
    EXPECT_EQ((*items)[0].page, QUrl("https://a/1.2"));
    EXPECT_EQ((*items)[1].version, "1.3");
    EXPECT_EQ((*items)[1].page, QUrl("https://a/1.3.tar.gz"));
    EXPECT_EQ((*items)[2].page, QUrl("https://a/notes"));

    EXPECT_FALSE(Appcast::read("<rss><channel><item>"));
    EXPECT_FALSE(Appcast::read("not xml"));
}

TEST(Appcast, OnlyAStrictlyNewerVersionIsOffered)
{
    const std::vector<Appcast::Item> items{{"1.0", QUrl("https://a/1.0")},
                                           {"1.0.1", QUrl("https://a/1.0.1")},
                                           {"beta", QUrl("https://a/beta")}};
    EXPECT_EQ(Appcast::newerThan(items, "1.0")->version, "1.0.1");
    EXPECT_FALSE(Appcast::newerThan(items, "1.0.1"));
    EXPECT_FALSE(Appcast::newerThan(items, "2"));
    EXPECT_FALSE(Appcast::newerThan({}, "1.0"));
}

} // namespace
} // namespace FolmiraAppTest
