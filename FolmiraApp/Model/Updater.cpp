#include "FolmiraApp/Model/Updater.h"

#include "FolmiraApp/Model/Appcast.h"
#include "FolmiraApp/Model/CheckedSettings.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraKit/FolmiraKit.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>

#include <algorithm>

namespace FolmiraApp {

namespace {

QString builtInVersion()
{
    const QString set = QCoreApplication::applicationVersion();
    return set.isEmpty() ? QStringLiteral(FOLMIRA_VERSION) : set;
}

} // namespace

Updater::Updater(Config config, std::shared_ptr<UpdaterUi> ui, QObject* parent)
    : QObject(parent), config_(std::move(config)), ui_(std::move(ui)), network_(new QNetworkAccessManager(this))
{
    schedule_.setSingleShot(true);
    connect(&schedule_, &QTimer::timeout, this, &Updater::runScheduledCheck);
}

Updater::~Updater() = default;

Updater& Updater::shared()
{
    static Updater* updater = [] {
        Config config;
        config.feedURL = QUrl(QStringLiteral(FOLMIRA_UPDATE_FEED));
        config.appName = qstr(FolmiraKit::Brand::name);
        config.appVersion = builtInVersion();
        // Checked like the application's own: a cut-short write would lose every setting in the file.
        config.defaults = std::make_shared<CheckedSettings>();
        return new Updater(std::move(config), nullptr); // kept for the life of the process
    }();
    return *updater;
}

Updater::Probe Updater::probeOutcome(int status)
{
    if ((status >= 200 && status <= 299) || status == 405 || status == 501) return Probe::reachable;
    if (status == 404 || status == 410) return Probe::noFeed;
    return Probe::failed;
}

QString Updater::appName() const
{
    return config_.appName.isEmpty() ? QStringLiteral("This app") : config_.appName;
}

QString Updater::upToDateText() const
{
    return QStringLiteral("%1 %2 is the newest version. %1 checks for updates on its own and will let you know when "
                          "there’s a new one.")
        .arg(appName(), config_.appVersion);
}

QString Updater::failedText() const
{
    return QStringLiteral("Check your internet connection and try again. %1 also checks on its own about once a day.")
        .arg(appName());
}

void Updater::alert(const QString& title, const QString& text)
{
    if (ui_) ui_->presentAlert(title, text);
}

QNetworkReply* Updater::send(Request kind)
{
    QNetworkRequest request(config_.feedURL);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(static_cast<int>(config_.timeout.count()));
    if (kind == Request::head) return network_->head(request);
    QNetworkReply* reply = network_->get(request);
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
            if (received > Appcast::maximumBytes) reply->abort();
        });
    return reply;
}

void Updater::checkForUpdates()
{
    if (checking_) return;
    if (config_.feedURL.isEmpty()) {
        alert(QStringLiteral("No update address"),
              QStringLiteral("This copy of %1 has no update address. Your system’s package manager keeps it up to "
                             "date.")
                  .arg(appName()));
        emit checkFinished();
        return;
    }
    checking_ = true;
    QNetworkReply* reply = send(Request::head);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { probeFinished(reply); });
}

void Updater::probeFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // No status: no answer at all (refused, timed out, not HTTP).
    const Probe outcome = status.isValid() ? probeOutcome(status.toInt()) : Probe::failed;
    switch (outcome) {
    case Probe::reachable: readFeed(false); return;
    case Probe::noFeed:
        finish();
        alert(QStringLiteral("You’re up to date"), upToDateText());
        break;
    case Probe::failed:
        finish();
        alert(QStringLiteral("Couldn’t check for updates"), failedText());
        break;
    }
    emit checkFinished();
}

void Updater::readFeed(bool quiet)
{
    QNetworkReply* reply = send(Request::feed);
    connect(reply, &QNetworkReply::finished, this, [this, reply, quiet] { feedFinished(reply, quiet); });
}

void Updater::feedFinished(QNetworkReply* reply, bool quiet)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    std::optional<std::vector<Appcast::Item>> items;
    if (reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299)
        items = Appcast::read(reply->read(Appcast::maximumBytes + 1));
    finish();

    const auto newer = items ? Appcast::newerThan(*items, config_.appVersion) : std::nullopt;
    if (newer) {
        const QString title = QStringLiteral("%1 %2 is available").arg(appName(), newer->version);
        const QString text = QStringLiteral("You have %1 %2. Open the download page to get the new version.")
                                 .arg(appName(), config_.appVersion);
        if (ui_ && ui_->offerUpdate(title, text)) QDesktopServices::openUrl(newer->page);
    } else if (!quiet) {
        if (items)
            alert(QStringLiteral("You’re up to date"), upToDateText());
        else
            alert(QStringLiteral("Couldn’t check for updates"), failedText());
    }
    emit checkFinished();
}

void Updater::finish()
{
    checking_ = false;
}

void Updater::startSchedule()
{
    if (config_.feedURL.isEmpty() || !config_.defaults) return;
    const QDateTime last = config_.defaults->value(lastCheckKey).toDateTime();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::chrono::milliseconds wait{0};
    // A last check in the future means the clock was changed: check now.
    if (last.isValid() && last <= now)
        wait = std::max(std::chrono::milliseconds(0), config_.interval - std::chrono::milliseconds(last.msecsTo(now)));
    scheduleNext(wait);
}

void Updater::scheduleNext(std::chrono::milliseconds delay)
{
    schedule_.start(delay);
}

void Updater::runScheduledCheck()
{
    scheduleNext(config_.interval);
    if (checking_) return; // the user's own check is under way
    config_.defaults->setValue(lastCheckKey, QDateTime::currentDateTimeUtc());
    checking_ = true;
    readFeed(true);
}

} // namespace FolmiraApp
