#include "Lyricade/LibraryFile.h"

#include "Platform/FileWrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

namespace Lyricade::LibraryFile {

namespace fs = std::filesystem;

namespace {

fs::path homeFolder()
{
    // The user database first: $HOME may be changed or missing in a sandboxed
    // or service start, the account's home is not.
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && *entry->pw_dir)
        return fs::path(entry->pw_dir);
    return fs::path(QDir::homePath().toStdString());
}

QString systemMessage(const std::error_code& error)
{
    return QString::fromStdString(error.message());
}

// What stands there, as a sentence says it; none for a regular file.
std::optional<QString> kindName(fs::file_type type)
{
    switch (type) {
    case fs::file_type::regular:
    case fs::file_type::not_found: return std::nullopt;
    case fs::file_type::directory: return QStringLiteral("a folder");
    case fs::file_type::fifo: return QStringLiteral("a named pipe");
    case fs::file_type::block:
    case fs::file_type::character: return QStringLiteral("a device");
    case fs::file_type::socket: return QStringLiteral("a socket");
    default: return QStringLiteral("something other than a file");
    }
}

// The system's reason, with the file it concerns: a reason alone ("No such
// file or directory") says nothing of where, and a link may lead anywhere.
QString reasonAt(const QString& reason, const fs::path& path)
{
    const QString name = QString::fromStdString(path.string());
    fs::path written;
    try {
        written = Platform::writtenPath(path);
    } catch (const Platform::FileWriteError&) {
        written = path;
    }
    if (written == path) return QStringLiteral("%1 (“%2”)").arg(reason, name);
    return QStringLiteral("%1 (“%2”, where the link “%3” leads)").arg(reason, QString::fromStdString(written.string()), name);
}

} // namespace

fs::path userDataHome()
{
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    // The base directory rules ignore a relative value.
    if (!xdg.isEmpty() && xdg.startsWith('/')) return fs::path(xdg.toStdString());
    return homeFolder() / ".local" / "share";
}

fs::path defaultDataFolder()
{
    return userDataHome() / "Folmira";
}

bool exists(const fs::path& path)
{
    std::error_code error;
    return fs::status(path, error).type() != fs::file_type::not_found && !error;
}

std::optional<QString> refusal(const fs::path& path)
{
    std::error_code ignored;
    const bool link = fs::symlink_status(path, ignored).type() == fs::file_type::symlink;
    std::error_code error;
    const fs::file_type type = fs::status(path, error).type();
    // A link that loops or can't be followed is left to the read and the save.
    if (error && type != fs::file_type::not_found) return std::nullopt;
    const auto kind = kindName(type);
    if (!kind) return std::nullopt;
    const QString name = QString::fromStdString(path.string());
    return (link ? QStringLiteral("“%1” is a link to %2, not to a file.") : QStringLiteral("“%1” is %2, not a file."))
        .arg(name, *kind);
}

std::optional<Platform::Bytes> readBytes(const fs::path& path)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Platform::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

std::optional<TunequillKit::Library> read(const fs::path& path)
{
    // Read once per start, before this run saves anything: what a save left
    // then is no save of this run.
    Platform::removeAbandonedTemporaries(path);
    auto bytes = readBytes(path);
    if (!bytes) return std::nullopt;
    try {
        auto library = TunequillKit::Library::decode(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
        library.renewDuplicateIDs();
        return library;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<QString> write(const fs::path& path, const TunequillKit::Library& library)
{
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error) return reasonAt(systemMessage(error), path);

    std::string json;
    try {
        json = library.encode();
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    }

    try {
        Platform::writeFileAtomically(path, json);
    } catch (const Platform::FileWriteError& failure) {
        return reasonAt(QString::fromUtf8(failure.what()), path);
    }
    return std::nullopt;
}

SetAside setAside(const fs::path& library)
{
    // Through a link the file it names goes aside; the link stays for the new one.
    fs::path path;
    try {
        path = Platform::writtenPath(library);
    } catch (const Platform::FileWriteError& failure) {
        return {std::nullopt, QString::fromUtf8(failure.what())};
    }
    // Only a file is ever moved: a folder or a pipe there is the user's own.
    if (auto why = refusal(path)) return {std::nullopt, *why};
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const std::string stem = "library.unreadable-" + stamp.toStdString();
    // Two failed starts within one second must not collide.
    for (int n = 0; n < 100; ++n) {
        fs::path target = path.parent_path() / (stem + (n == 0 ? "" : "-" + std::to_string(n)) + ".json");
        // Not even a dangling link of that name is replaced.
        std::error_code ignored;
        if (fs::symlink_status(target, ignored).type() != fs::file_type::not_found) continue;
        std::error_code error;
        fs::rename(path, target, error);
        if (error) return {std::nullopt, reasonAt(systemMessage(error), path)};
        return {target, {}};
    }
    return {std::nullopt, QStringLiteral("Too many unreadable libraries are kept beside it.")};
}

} // namespace Lyricade::LibraryFile
