#pragma once

// The check for updates, the application's only network use. A check asked
// for by the user first probes the feed with a HEAD request (15 s, no cache):
// 2xx, 405 and 501 mean reachable, 404 and 410 mean nothing is published yet
// (up to date), anything else or no answer means the check failed. A
// reachable feed is then read as an RSS appcast and its newest version
// compared with ours; a newer one is offered, and its page opened in the
// browser. A scheduled check reads the feed at most once a day and speaks up
// only when there is something newer. Without a feed address there are no
// checks: the system's package manager keeps this copy up to date.

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QSettings;

namespace FolmiraApp {

// What the updater shows. The application's version uses message boxes.
class UpdaterUi {
public:
    virtual ~UpdaterUi() = default;
    virtual void presentAlert(const QString& title, const QString& text) = 0;
    // Offers a newer version; true when the user wants to see its page.
    virtual bool offerUpdate(const QString& title, const QString& text) = 0;
};

class Updater : public QObject {
    Q_OBJECT

public:
    enum class Probe { reachable, noFeed, failed };

    struct Config {
        QUrl feedURL;       // empty: no update checks
        QString appName;    // empty: "This app"
        QString appVersion; // may be empty
        std::shared_ptr<QSettings> defaults; // when the last scheduled check ran
        std::chrono::milliseconds timeout{15000};
        std::chrono::milliseconds interval{std::chrono::hours(24)};
    };

    static constexpr const char* lastCheckKey = "lastUpdateCheck";

    Updater(Config config, std::shared_ptr<UpdaterUi> ui, QObject* parent = nullptr);
    ~Updater() override;

    // The application's one updater, made on first use: the feed address and
    // version from the build, the product's name, the user's defaults.
    // Without a UI of its own it says nothing until setUi is called.
    static Updater& shared();
    void setUi(std::shared_ptr<UpdaterUi> ui) { ui_ = std::move(ui); }

    // "Check for Updates…". A click while a check runs does nothing.
    void checkForUpdates();
    bool checking() const { return checking_; }

    // Starts the scheduled checks: due now when the last one is a day old or
    // more (or never ran), else when its day is over. Nothing without a feed.
    void startSchedule();
    bool scheduled() const { return schedule_.isActive(); }
    // Time until the next scheduled check (negative when none is scheduled).
    std::chrono::milliseconds nextScheduledCheck() const { return schedule_.remainingTimeAsDuration(); }

    static Probe probeOutcome(int httpStatus);

    // The texts, with the application's name and version.
    QString appName() const;
    QString upToDateText() const;
    QString failedText() const;

signals:
    // A check (asked for or scheduled) has ended and shown what it had to show.
    void checkFinished();

private:
    enum class Request { head, feed };
    QNetworkReply* send(Request kind);
    void probeFinished(QNetworkReply* reply);
    void readFeed(bool quiet);
    void feedFinished(QNetworkReply* reply, bool quiet);
    void runScheduledCheck();
    void scheduleNext(std::chrono::milliseconds delay);
    void finish();
    void alert(const QString& title, const QString& text);

    Config config_;
    std::shared_ptr<UpdaterUi> ui_;
    QNetworkAccessManager* network_;
    bool checking_ = false;
    QTimer schedule_;
};

} // namespace FolmiraApp
