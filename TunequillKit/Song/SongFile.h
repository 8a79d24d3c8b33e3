#pragma once

// Song files: decoding their bytes, telling ChordPro from chords-over-lyrics
// text, and turning either into the ChordPro source the library stores.

#include "Platform/Text.h"
#include "TunequillKit/Song/Enums.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace TunequillKit {

enum class SongFormat { chordPro, plainText };

std::string_view toString(SongFormat format);
template <>
std::optional<SongFormat> fromString<SongFormat>(std::string_view text);
template <>
inline constexpr std::array<SongFormat, 2> allCases<SongFormat> = {SongFormat::chordPro, SongFormat::plainText};

// The lower-case extensions (without the dot) of song files, in this order.
inline constexpr std::array<std::string_view, 7> songFileExtensions = {"cho", "chopro", "chordpro", "crd",
                                                                       "pro", "txt",    "text"};

// ChordPro as soon as one line is a directive or a lyric line whose bracketed
// texts are all chords; chords-over-lyrics text otherwise. A bracketed
// heading ("[Chorus]") or word never makes a file ChordPro.
SongFormat detectSongFormat(std::string_view text);

namespace SongFile {

// UTF-16 when the bytes begin with a byte-order mark, else UTF-8, else
// Windows-1252; none when the chosen decoding fails. A UTF-8 byte-order mark
// is kept (chordPro drops it).
std::optional<std::string> decode(const Platform::Bytes& bytes);

// ChordPro source from decoded file text: chords-over-lyrics text is
// converted; ChordPro without a title gains "{title: fallbackTitle}" as its
// first line unless the fallback is empty.
std::string chordPro(std::string_view from, std::string_view fallbackTitle);

} // namespace SongFile
} // namespace TunequillKit
