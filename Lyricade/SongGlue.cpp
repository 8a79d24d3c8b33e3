#include "Lyricade/SongGlue.h"

#include "Lyricade/LibraryFile.h"

#include <cmath>
#include <map>
#include <set>
#include <string_view>

namespace Lyricade::SongGlue {

using namespace TunequillKit;

namespace {

const char* message(ImportError::Kind kind)
{
    return kind == ImportError::Kind::unreadable ? "That file couldn’t be read."
                                                 : "That file isn’t a Tunequill library (library.json).";
}

} // namespace

ImportError::ImportError(Kind kind) : std::runtime_error(message(kind)), kind_(kind) {}

std::filesystem::path tunequillLibraryFolder()
{
    return LibraryFile::userDataHome() / "Tunequill";
}

Library decodeLibrary(const Platform::Bytes& bytes)
{
    try {
        return Library::decode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (const std::exception&) {
        throw ImportError(ImportError::Kind::notALibrary);
    }
}

Merged merge(const Library& incoming, const Library& into)
{
    // Texts are compared canonically: the same song typed on two systems may
    // be composed differently.
    std::map<std::string, Uuid> byText;
    std::set<Uuid> known;
    for (const StoredSong& song : into.songs) {
        byText.emplace(Platform::Text::nfc(song.source), song.id);
        known.insert(song.id);
    }

    Merged out{into, 0, 0};
    std::map<Uuid, Uuid> songMap;
    for (const StoredSong& song : incoming.songs) {
        // An id already added counts as known: a file that uses one id for
        // two texts must not leave two songs with one id.
        if (known.count(song.id)) {
            songMap.emplace(song.id, song.id);
            continue;
        }
        const std::string text = Platform::Text::nfc(song.source);
        if (auto found = byText.find(text); found != byText.end()) {
            songMap.emplace(song.id, found->second);
            continue;
        }
        out.library.songs.push_back(song);
        byText.emplace(text, song.id);
        known.insert(song.id);
        songMap.emplace(song.id, song.id);
        ++out.songsAdded;
    }

    std::set<Uuid> knownBooks;
    for (const Songbook& book : into.books) knownBooks.insert(book.id);
    for (const Songbook& book : incoming.books) {
        if (knownBooks.count(book.id)) continue;
        Songbook added = book;
        added.entries.clear();
        for (const SongEntry& entry : book.entries)
            if (auto mapped = songMap.find(entry.songID); mapped != songMap.end())
                added.entries.push_back(SongEntry{entry.id, mapped->second, entry.transpose, entry.capo});
        out.library.books.push_back(std::move(added));
        knownBooks.insert(book.id); // one id used twice in the file adds one book
        ++out.booksAdded;
    }
    return out;
}

std::optional<std::vector<std::string>> faces(const std::vector<std::string>& names, bool highContrast)
{
    if (names.size() != 4) return std::nullopt;
    if (!highContrast) return names;
    return std::vector<std::string>{names[1], names[1], names[3], names[3]};
}

double lyricSize(double forPreset)
{
    return BookSettings::fontSizes.clamped(std::round(forPreset));
}

BookSettings effective(BookSettings settings, bool highContrast)
{
    if (highContrast) {
        settings.boldChorus = true;
        settings.chordsInColor = false;
    }
    return settings;
}

PageSize pageSize(std::string_view forPaper)
{
    if (forPaper == "a4") return PageSize::a4;
    if (forPaper == "halfLetter") return PageSize::halfLetter;
    return PageSize::letter;
}

} // namespace Lyricade::SongGlue
