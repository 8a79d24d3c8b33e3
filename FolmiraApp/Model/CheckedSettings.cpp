#include "FolmiraApp/Model/CheckedSettings.h"

#include <QEvent>
#include <QFile>
#include <QFileDevice>
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

QSettings::SettingsMap iniMap(const QByteArray& bytes, bool* ok = nullptr)
{
    QSettings::SettingsMap map;
    QTemporaryDir scratch;
    QFile file(scratch.filePath(QStringLiteral("settings.ini")));
    const bool written = scratch.isValid() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                         file.flush();
    file.close();
    if (ok) *ok = written;
    if (!written) return map;
    const QSettings ini(file.fileName(), QSettings::IniFormat);
    for (const QString& key : ini.allKeys()) map.insert(key, ini.value(key));
    if (ok) *ok = ini.status() == QSettings::NoError;
    return map;
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
    bool ok = false;
    const auto back = iniMap(bytes, &ok);
    if (!ok || back.keys() != map.keys()) return std::nullopt;
    for (auto item = map.begin(); item != map.end(); ++item)
        if (!sameValue(item.value(), back.value(item.key()))) return std::nullopt;
    return bytes;
}

bool readSettings(QIODevice& device, QSettings::SettingsMap& map)
{
    bool ok = false;
    map = iniMap(device.readAll(), &ok);
    return ok;
}

bool writeSettings(QIODevice& device, const QSettings::SettingsMap& map)
{
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

bool CheckedSettings::checked(bool tell)
{
    // A status, once an error, stays so: QSettings keeps its first error.
    if (status() != AccessError) return true;
    if (failed_) return false;
    failed_ = true;
    const QString path = fileName();
    std::fprintf(stderr, "folmira: the settings could not be written to %s\n",
                 path.toLocal8Bit().constData());
    if (tell && report_)
        report_(QStringLiteral("Your settings couldn’t be saved."),
                QStringLiteral("The file “%1” couldn’t be written: the disk may be full, or its folder may not let "
                               "you write. Settings you change now are lost when you quit.")
                    .arg(path));
    return false;
}

} // namespace FolmiraApp
