#pragma once

// The earlier songbook application's library brought into this one, and the
// conversions between the application's document look and the songbook's
// settings. Pure functions, no state.

#include "Lyricade/LibraryFile.h"
#include "Platform/Text.h" // Bytes
#include "TunequillKit/Library/BookSettings.h"
#include "TunequillKit/Library/Library.h"

#include <filesystem>
#include <stdexcept>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Lyricade::SongGlue {

// A library file of the earlier application that cannot be used; what() is
// the sentence shown to the user.
class ImportError : public std::runtime_error {
public:
    enum class Kind { unreadable, notALibrary };
    explicit ImportError(Kind kind);
    Kind kind() const { return kind_; }
    bool operator==(const ImportError& other) const { return kind_ == other.kind_; }

private:
    Kind kind_;
};

struct Merged {
    TunequillKit::Library library; // the current library with what was added appended
    int songsAdded = 0;
    int booksAdded = 0;
};

// The library file's path relative to a data folder.
inline constexpr const char* libraryPath = LibraryFile::relativePath;

// The earlier application's data folder: $XDG_DATA_HOME/Tunequill
// (~/.local/share/Tunequill when the variable is unset).
std::filesystem::path tunequillLibraryFolder();

// Throws ImportError (notALibrary) for anything that is not a library.json.
TunequillKit::Library decodeLibrary(const Platform::Bytes& bytes);

// The incoming library appended to the current one without duplicating
// songs: a song whose id or (canonically equal) text is already there is not
// added again, and the entries of added books point to the kept songs.
// Books whose id is already there are skipped; entries of songs the incoming
// library lacks are dropped.
Merged merge(const TunequillKit::Library& incoming, const TunequillKit::Library& into);

// The four faces (regular, bold, italic, bold italic) songbook output uses;
// none unless exactly four names are given. High contrast sets regular text
// in the bold face and italic text in the bold italic one.
std::optional<std::vector<std::string>> faces(const std::vector<std::string>& names, bool highContrast);

// A preset's size as a lyric size: the nearest whole point (halves away from
// zero) within the book's 16…28.
double lyricSize(double forPreset);

// A book's settings as printed: high contrast makes choruses bold and chords black.
TunequillKit::BookSettings effective(TunequillKit::BookSettings settings, bool highContrast);

// The songbook page for an application paper name: "a4" and "halfLetter" as
// themselves, anything else (letter, legal) Letter.
TunequillKit::PageSize pageSize(std::string_view forPaper);

} // namespace Lyricade::SongGlue
