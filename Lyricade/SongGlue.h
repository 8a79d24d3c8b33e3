#pragma once

// Conversions between the application's document look and the songbook's
// settings. Pure functions, no state.

#include "TunequillKit/Library/BookSettings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Lyricade::SongGlue {

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
