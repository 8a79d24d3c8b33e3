#pragma once

// The songbook library: songs kept as ChordPro source, and the songbooks and
// set lists that arrange them. Stored as one JSON file, library.json:
// pretty-printed with sorted keys, dates as seconds since 2001-01-01 and
// identifiers as upper-case UUID strings.

#include "TunequillKit/Library/BookSettings.h"
#include "TunequillKit/Library/Identity.h"
#include "TunequillKit/Song/Song.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace TunequillKit {

struct StoredSong {
    Uuid id;
    std::string source;                  // ChordPro text
    std::optional<std::string> fileName; // last path component it was imported from
    Date added;

    // The source parsed anew on every call.
    Song song() const;

    bool operator==(const StoredSong&) const = default;
};

// One song's place in a book.
struct SongEntry {
    Uuid id;
    Uuid songID;
    std::int64_t transpose = 0;      // semitones; any integer is read
    std::optional<std::int64_t> capo; // none: the song's own capo

    bool operator==(const SongEntry&) const = default;
};

struct Songbook {
    Uuid id;
    std::string name;
    BookKind kind = BookKind::book;
    std::vector<SongEntry> entries;
    std::string subtitle;
    BookSettings settings;

    Songbook() = default;
    // No settings gives the defaults of a new book or set list of `kind`.
    Songbook(Uuid id, std::string name, BookKind kind, std::vector<SongEntry> entries = {}, std::string subtitle = {},
             std::optional<BookSettings> settings = std::nullopt);

    bool operator==(const Songbook&) const = default;
};

// A library.json that cannot be decoded: what() says why.
class LibraryFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Library {
    std::vector<StoredSong> songs;
    std::vector<Songbook> books;

    // Reads library.json. Strict about songs, entries and books (a missing key,
    // a wrong type, a bad identifier or kind fails the whole file); lenient
    // inside each book's settings, where every key falls back to its default
    // on its own. Throws LibraryFormatError.
    static Library decode(std::string_view json);
    // Pretty-printed UTF-8 with sorted keys; absent file names and capos are left out.
    std::string encode() const;

    // A file edited by hand or merged by another tool can repeat an id, and
    // everything finds songs, books and entries by id. Gives each song and
    // book whose id an earlier one already has a new random id, and each entry
    // whose id repeats within its book; entries keep pointing at the first
    // song with their song id. Returns how many ids were replaced.
    std::size_t renewDuplicateIDs();
};

} // namespace TunequillKit

template <>
struct std::hash<TunequillKit::StoredSong> {
    std::size_t operator()(const TunequillKit::StoredSong& s) const noexcept;
};
template <>
struct std::hash<TunequillKit::SongEntry> {
    std::size_t operator()(const TunequillKit::SongEntry& e) const noexcept;
};
template <>
struct std::hash<TunequillKit::Songbook> {
    std::size_t operator()(const TunequillKit::Songbook& b) const noexcept;
};
