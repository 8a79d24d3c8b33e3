// Song files into the library: the open panel, folders walked for song files,
// each file read, decoded and turned into ChordPro, the songs placed in the
// library or the selected book, and one message for what could not be read.
//
// Files and folders come from the user's disk and from drops, so the walk
// never throws, skips what it may not read, does not follow links to folders
// (no loops) and stops after a bounded number of song files or entries,
// saying so; only regular files are read, and only after their size has been
// checked.

#include "Lyricade/AppModel.h"
#include "Platform/Collation.h"
#include "Platform/Text.h"
#include "TunequillKit/Song/SongFile.h"

#include <algorithm>
#include <fstream>

#include <QLocale>

namespace Lyricade {

using namespace TunequillKit;
namespace fs = std::filesystem;

namespace {

bool acceptedExtension(const fs::path& url)
{
    std::string extension = url.extension().string();
    if (extension.empty()) return false;
    extension = Platform::Text::lowercased(extension.substr(1));
    return std::find(songFileExtensions.begin(), songFileExtensions.end(), extension) != songFileExtensions.end();
}

bool hidden(const fs::path& url)
{
    return url.filename().string().starts_with('.');
}

// The song in one file, or why there is none: too large, or no regular file,
// or one that cannot be read or decoded.
struct ReadSong {
    std::optional<StoredSong> song;
    bool tooLarge = false;
};

ReadSong readSong(const fs::path& url)
{
    const ReadSong unreadable;
    const ReadSong tooLarge{std::nullopt, true};
    std::error_code error;
    if (!fs::is_regular_file(url, error)) return unreadable;
    const std::uintmax_t size = fs::file_size(url, error);
    if (error) return unreadable;
    if (size >= AppModel::importSizeLimit) return tooLarge;

    std::ifstream in(url, std::ios::binary);
    if (!in) return unreadable;
    // A buffer of the measured size; a file that grew since it was measured is
    // read on in pieces, up to the limit.
    Platform::Bytes bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return unreadable;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    constexpr std::size_t piece = 64 * 1024;
    while (bytes.size() < AppModel::importSizeLimit && in.peek() != std::ifstream::traits_type::eof()) {
        const std::size_t had = bytes.size();
        bytes.resize(had + piece);
        in.read(reinterpret_cast<char*>(bytes.data() + had), static_cast<std::streamsize>(piece));
        if (in.bad()) return unreadable;
        bytes.resize(had + static_cast<std::size_t>(in.gcount()));
    }
    // A file that grew past the limit while it was read.
    if (bytes.size() >= AppModel::importSizeLimit) return tooLarge;

    auto text = SongFile::decode(bytes);
    if (!text) return unreadable;
    return {StoredSong{Uuid::random(), SongFile::chordPro(*text, url.stem().string()), url.filename().string(),
                       Date::now()}};
}

// The first five names, then how many more.
QString nameList(const std::vector<std::string>& names)
{
    QStringList shown;
    for (std::size_t i = 0; i < names.size() && i < 5; ++i) shown << QString::fromStdString(names[i]);
    QString list = shown.join(QStringLiteral(", "));
    if (names.size() > 5) list += QStringLiteral(" +") + QString::number(names.size() - 5);
    return list;
}

QString failureMessage(const std::vector<std::string>& failures)
{
    return QStringLiteral("Couldn’t read ") + nameList(failures) + QStringLiteral(". ") + brandName() +
           QStringLiteral(" reads text song files.");
}

// Song files of the right kind that are refused for their size alone: saying
// they are not song files would send the user looking for the wrong fault.
QString tooLargeMessage(const std::vector<std::string>& tooLarge)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return QStringLiteral("Too large to import: ") + nameList(tooLarge) + QStringLiteral(". ") + brandName() +
           QStringLiteral(" imports song files smaller than ") +
           english.toString(static_cast<double>(AppModel::importSizeLimit) / 1e6) + QStringLiteral(" MB.");
}

QString folderLimitMessage()
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return QStringLiteral("The folder was too large to import whole: ") + brandName() +
           QStringLiteral(" looks at no more than ") + english.toString(AppModel::folderEntryLimit) +
           QStringLiteral(" items and imports no more than ") + english.toString(AppModel::folderFileLimit) +
           QStringLiteral(" song files from one folder, so some were left out.");
}

} // namespace

QStringList AppModel::importContentTypes()
{
    QStringList patterns;
    for (std::string_view extension : songFileExtensions)
        patterns << QStringLiteral("*.") + QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size()));
    return {QStringLiteral("Song files (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'),
            QStringLiteral("Plain text (*.txt *.text)")};
}

void AppModel::chooseSongFiles()
{
    if (!panels_) return;
    auto chosen = panels_->chooseSongFiles(
        QStringLiteral("Choose song files (ChordPro .cho, .chopro, .crd, .pro, or chords-over-lyrics .txt) or a "
                       "folder of them."),
        QStringLiteral("Import"), importContentTypes());
    if (chosen) importFiles(*chosen);
}

bool AppModel::fileNameOrder(const fs::path& a, const fs::path& b)
{
    return Platform::Collation::standardCompare(a.filename().string(), b.filename().string()) < 0;
}

std::vector<fs::path> AppModel::importFolder(const fs::path& url, bool* stoppedEarly)
{
    if (stoppedEarly) *stoppedEarly = false;
    std::error_code error;
    const fs::file_status status = fs::status(url, error);
    if (error || !fs::exists(status)) return {};
    if (!fs::is_directory(status)) {
        if (acceptedExtension(url)) return {url};
        return {};
    }

    std::vector<fs::path> found;
    fs::recursive_directory_iterator walk(url, fs::directory_options::skip_permission_denied, error);
    if (error) return {};
    // Only song files count toward the file limit, so a folder full of other
    // files still gives up its songs; the entry limit bounds the walk itself.
    int entries = 0;
    for (; walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        if (error) break;
        if (++entries > folderEntryLimit) {
            if (stoppedEarly) *stoppedEarly = true;
            break;
        }
        const fs::directory_entry& item = *walk;
        const bool folder = item.is_directory(error); // links to folders too: they are never entered
        if (hidden(item.path())) {
            if (folder) walk.disable_recursion_pending();
            continue;
        }
        if (folder || !acceptedExtension(item.path())) continue;
        if (found.size() == static_cast<std::size_t>(folderFileLimit)) {
            if (stoppedEarly) *stoppedEarly = true;
            break;
        }
        found.push_back(item.path());
    }
    std::stable_sort(found.begin(), found.end(), fileNameOrder);
    return found;
}

int AppModel::importFiles(const std::vector<fs::path>& urls)
{
    std::vector<StoredSong> imported;
    std::vector<std::string> failures;
    std::vector<std::string> tooLarge;
    bool stoppedEarly = false;
    for (const fs::path& url : urls) {
        bool stopped = false;
        const std::vector<fs::path> files = importFolder(url, &stopped);
        stoppedEarly = stoppedEarly || stopped;
        for (const fs::path& file : files) {
            ReadSong read = readSong(file);
            if (read.song)
                imported.push_back(std::move(*read.song));
            else
                (read.tooLarge ? tooLarge : failures).push_back(file.filename().string());
        }
    }

    if (!imported.empty()) {
        changeLibrary([&](Library& library) { library.songs.insert(library.songs.end(), imported.begin(), imported.end()); });
        if (auto index = selectedBookIndex()) {
            changeLibrary([&](Library& library) {
                for (const StoredSong& song : imported)
                    library.books[*index].entries.push_back(SongEntry{Uuid::random(), song.id, 0, std::nullopt});
            });
        } else {
            setSelection(SidebarItem::allSongs());
            setSelectedSongID(imported.front().id);
        }
        const int count = static_cast<int>(imported.size());
        announce(QStringLiteral("Imported ") + QString::number(count) +
                 (count == 1 ? QStringLiteral(" song") : QStringLiteral(" songs")));
    }

    QString message;
    if (!failures.empty()) message = failureMessage(failures);
    if (!tooLarge.empty()) message += (message.isEmpty() ? QString() : QStringLiteral(" ")) + tooLargeMessage(tooLarge);
    if (message.isEmpty() && imported.empty())
        message = QStringLiteral("No song files there. ") + brandName() +
                  QStringLiteral(" reads ChordPro files (.cho, .chopro, .chordpro, .crd, .pro) and text files (.txt).");
    // A walk cut short must not pass for a whole folder imported.
    if (stoppedEarly) {
        if (message.isEmpty())
            message = QStringLiteral("Imported ") + QString::number(imported.size()) +
                      (imported.size() == 1 ? QStringLiteral(" song.") : QStringLiteral(" songs."));
        message += QLatin1Char(' ') + folderLimitMessage();
    }
    if (!message.isEmpty()) setError(message);
    return static_cast<int>(imported.size());
}

} // namespace Lyricade
