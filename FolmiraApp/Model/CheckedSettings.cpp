#include "FolmiraApp/Model/CheckedSettings.h"

#include "FolmiraApp/Model/IniText.h"

#include <QEvent>
#include <QFileDevice>
#include <QHash>
#include <QMutex>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace FolmiraApp {

namespace {

// The file stays in QSettings' own INI text, through a format of our own
// that checks its write. QSettings' INI writer never hears that the last
// buffered bytes did not reach the disk (a full disk, a size limit): the
// temporary file, cut short, then replaces the whole old one. Here the write
// is flushed and checked before QSettings may put it in place. The text is
// read and made in memory, so no scratch file is needed.

// What went wrong with a file in this session. A file whose reading failed
// is not written again until the program starts anew: QSettings then knows
// none of its keys, so a write would put only this session's keys in their
// place. A failed write keeps the system's reason for the report.
struct FileTroubles {
    QMutex mutex;
    QSet<QString> unread;
    QHash<QString, QString> writeFailures;
};

FileTroubles& troubles()
{
    static FileTroubles files;
    return files;
}

QString fileNameOf(const QIODevice& device)
{
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    return file ? file->fileName() : QString();
}

void markUnread(const QString& path)
{
    FileTroubles& files = troubles();
    const QMutexLocker lock(&files.mutex);
    files.unread.insert(path);
}

bool wasUnread(const QString& path)
{
    FileTroubles& files = troubles();
    const QMutexLocker lock(&files.mutex);
    return files.unread.contains(path);
}

// The reason the last write of the file failed; none after one that worked.
void noteWriteFailure(const QString& path, const QString& reason)
{
    FileTroubles& files = troubles();
    const QMutexLocker lock(&files.mutex);
    files.writeFailures.insert(path, reason);
}

QString writeFailure(const QString& path)
{
    FileTroubles& files = troubles();
    const QMutexLocker lock(&files.mutex);
    return files.writeFailures.value(path);
}

bool readSettings(QIODevice& device, QSettings::SettingsMap& map)
{
    const QByteArray bytes = device.readAll();
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    if (file && file->error() != QFileDevice::NoError) {
        markUnread(fileNameOf(device));
        map.clear();
        return false;
    }
    map = IniText::read(bytes);
    return true;
}

bool writeSettings(QIODevice& device, const QSettings::SettingsMap& map)
{
    const QString path = fileNameOf(device);
    if (wasUnread(path)) return false;
    // A hand-edited key that would not read back as itself is left out; every other key is written.
    const QByteArray bytes = IniText::write(map);
    auto* file = qobject_cast<QFileDevice*>(&device);
    errno = 0;
    const bool written = device.write(bytes) == bytes.size() && (!file || file->flush());
    // A write cut short (a size limit, a full disk) leaves Qt without a
    // reason of its own; the system's is the one its last write gave.
    const int error = errno;
    noteWriteFailure(path, written ? QString()
                           : error ? QString::fromLocal8Bit(std::strerror(error))
                                   : device.errorString());
    return written;
}

QSettings::Format checkedFormat()
{
    // "conf": the same file name as QSettings' own format on Linux.
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("conf"), readSettings, writeSettings);
    return format;
}

} // namespace

CheckedSettings::CheckedSettings()
    : QSettings(checkedFormat(), QSettings::UserScope, QStringLiteral("Folmira"), QStringLiteral("Folmira"))
{
}

CheckedSettings::CheckedSettings(const QString& fileName) : QSettings(fileName, checkedFormat()) {}

CheckedSettings::~CheckedSettings()
{
    // No window is left to show an alert in.
    sync();
    checked(false);
}

bool CheckedSettings::save()
{
    sync();
    return checked(true);
}

bool CheckedSettings::event(QEvent* event)
{
    // QSettings writes its pending changes when this event comes.
    const bool handled = QSettings::event(event);
    if (event->type() == QEvent::UpdateRequest) checked(true);
    return handled;
}

void CheckedSettings::onFailure(Report report)
{
    report_ = std::move(report);
    // A read that failed happened as this object was made, before anyone listened.
    checked(true);
}

bool CheckedSettings::checked(bool tell)
{
    // QSettings keeps its first error and drops later ones: a write that
    // fails after a failed read leaves the status a format error. So any
    // error counts, and the file's failed read is asked for by name, since
    // another object of the same file may have been the one to read it.
    const QString path = fileName();
    const bool unread = wasUnread(path);
    if (status() == NoError && !unread) return true;
    if (failed_) return false;
    failed_ = true;
    const QByteArray local = path.toLocal8Bit();
    const QString reason = writeFailure(path);
    if (unread)
        std::fprintf(stderr, "folmira: the settings could not be read from %s; it is left as it is\n", local.constData());
    else
        std::fprintf(stderr, "folmira: the settings could not be written to %s%s%s\n", local.constData(),
                     reason.isEmpty() ? "" : ": ", reason.toLocal8Bit().constData());
    if (!tell || !report_) return false;
    if (unread)
        report_(QStringLiteral("Your settings couldn’t be read."),
                QStringLiteral("The file “%1” couldn’t be read, so it is left as it is. Settings you change now are "
                               "lost when you quit.")
                    .arg(path));
    else if (!reason.isEmpty())
        report_(QStringLiteral("Your settings couldn’t be saved."),
                QStringLiteral("The file “%1” couldn’t be written: %2. Settings you change now are lost when you quit.")
                    .arg(path, reason));
    else
        report_(QStringLiteral("Your settings couldn’t be saved."),
                QStringLiteral("The file “%1” couldn’t be written: the disk may be full, or its folder may not let "
                               "you write. Settings you change now are lost when you quit.")
                    .arg(path));
    return false;
}

} // namespace FolmiraApp
