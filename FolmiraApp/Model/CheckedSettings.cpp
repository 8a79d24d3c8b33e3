#include "FolmiraApp/Model/CheckedSettings.h"

#include <QEvent>
#include <QFile>
#include <QFileDevice>
#include <QMutex>
#include <QSet>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>

namespace FolmiraApp {

namespace {

// The file stays in QSettings' own INI text, through a format of our own
// that checks its write. QSettings' INI writer never hears that the last
// buffered bytes did not reach the disk (a full disk, a size limit): the
// temporary file, cut short, then replaces the whole old one. Here the write
// is flushed and checked before QSettings may put it in place. Qt offers its
// INI reader and writer only on files, so they run on a scratch copy.

// The keys of INI text, read by Qt's own INI reader, which skips a line it
// can't make out (a hand-edited line without "=") and keeps every other key.
// None when the scratch copy can't be made or read (a full or missing TMPDIR):
// then nothing at all is known of the file. `clean` tells whether no line
// was skipped.
std::optional<QSettings::SettingsMap> iniMap(const QByteArray& bytes, bool* clean = nullptr)
{
    QTemporaryDir scratch;
    QFile file(scratch.filePath(QStringLiteral("settings.ini")));
    const bool written = scratch.isValid() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                         file.flush();
    file.close();
    if (!written) return std::nullopt;
    const QSettings ini(file.fileName(), QSettings::IniFormat);
    if (ini.status() == QSettings::AccessError) return std::nullopt;
    QSettings::SettingsMap map;
    for (const QString& key : ini.allKeys()) map.insert(key, ini.value(key));
    if (clean) *clean = ini.status() == QSettings::NoError;
    return map;
}

// The files whose reading failed in this session. QSettings then knows none
// of their keys, so a write would put only this session's keys in their
// place: they are not written again until the program starts anew.
struct UnreadFiles {
    QMutex mutex;
    QSet<QString> paths;
};

UnreadFiles& unreadFiles()
{
    static UnreadFiles files;
    return files;
}

QString fileNameOf(const QIODevice& device)
{
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    return file ? file->fileName() : QString();
}

void markUnread(const QString& path)
{
    UnreadFiles& files = unreadFiles();
    const QMutexLocker lock(&files.mutex);
    files.paths.insert(path);
}

bool wasUnread(const QString& path)
{
    UnreadFiles& files = unreadFiles();
    const QMutexLocker lock(&files.mutex);
    return files.paths.contains(path);
}

// A value read back from INI text is the one written when it reads the same:
// a Boolean comes back as the text "true".
bool sameValue(const QVariant& written, const QVariant& read)
{
    return written == read || written.toString() == read.toString();
}

// The settings in INI text, or none when the scratch copy can't be written.
std::optional<QByteArray> iniBytes(const QSettings::SettingsMap& map)
{
    QTemporaryDir scratch;
    if (!scratch.isValid()) return std::nullopt;
    const QString path = scratch.filePath(QStringLiteral("settings.ini"));
    {
        QSettings ini(path, QSettings::IniFormat);
        for (auto item = map.begin(); item != map.end(); ++item) ini.setValue(item.key(), item.value());
        ini.sync();
        if (ini.status() != QSettings::NoError) return std::nullopt;
    }
    QFile file(path);
    if (!map.isEmpty() && !file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.readAll();
    // The scratch copy is written the same unchecked way: read it back.
    bool clean = false;
    const auto back = iniMap(bytes, &clean);
    if (!back || !clean || back->keys() != map.keys()) return std::nullopt;
    for (auto item = map.begin(); item != map.end(); ++item)
        if (!sameValue(item.value(), back->value(item.key()))) return std::nullopt;
    return bytes;
}

bool readSettings(QIODevice& device, QSettings::SettingsMap& map)
{
    const QByteArray bytes = device.readAll();
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    auto read = file && file->error() != QFileDevice::NoError ? std::nullopt : iniMap(bytes);
    if (!read) markUnread(fileNameOf(device));
    map = read ? std::move(*read) : QSettings::SettingsMap();
    return read.has_value();
}

bool writeSettings(QIODevice& device, const QSettings::SettingsMap& map)
{
    if (wasUnread(fileNameOf(device))) return false;
    const auto bytes = iniBytes(map);
    if (!bytes || device.write(*bytes) != bytes->size()) return false;
    auto* file = qobject_cast<QFileDevice*>(&device);
    return !file || file->flush();
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
    if (unread)
        std::fprintf(stderr, "folmira: the settings could not be read from %s; it is left as it is\n", local.constData());
    else
        std::fprintf(stderr, "folmira: the settings could not be written to %s\n", local.constData());
    if (!tell || !report_) return false;
    if (unread)
        report_(QStringLiteral("Your settings couldn’t be read."),
                QStringLiteral("The file “%1” couldn’t be read, so it is left as it is. Settings you change now are "
                               "lost when you quit.")
                    .arg(path));
    else
        report_(QStringLiteral("Your settings couldn’t be saved."),
                QStringLiteral("The file “%1” couldn’t be written: the disk may be full, or its folder may not let "
                               "you write. Settings you change now are lost when you quit.")
                    .arg(path));
    return false;
}

} // namespace FolmiraApp
