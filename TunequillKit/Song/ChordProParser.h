#pragma once

// The ChordPro reader: one forward pass over the lines of a song, without
// look-ahead. Parsing never fails; what cannot be used is dropped, and what
// the user should hear about becomes a sentence in Song::warnings.

#include "TunequillKit/Song/Song.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TunequillKit::ChordProParser {

// The whole song; a leading byte-order mark is skipped. Thread-safe; keeps no
// state between calls.
Song parse(std::string_view text);

// One lyric line split at its chord brackets: "One [G]two" gives
// (none, "One "), ("G", "two"). "\[" and friends escape a bracket or brace,
// "[*Riff]" is the annotation "Riff"; trailing white space of the last
// segment is dropped.
std::vector<Segment> segments(std::string_view line);

struct Directive {
    std::string name;  // lower case, a "-suffix" cut off unless it begins "x_"
    std::string value; // trimmed, empty when there is none
};
// "{name: value}", "{name value}" or "{name}" on a line (spaces and tabs
// around it allowed); none when the line is no directive.
std::optional<Directive> directive(std::string_view line);

// The caption of a start directive: the text of label="…" when there is one,
// else the whole value.
std::string label(std::string_view value);

// The body of {define} or {chord}: "name base-fret N frets … fingers …", or
// the short form "name base-fret frets…" of six strings ("D 1 x x 0 2 3 2");
// none without frets.
std::optional<ChordDefinition> definition(std::string_view value);
// A name followed by fret values only, without keywords: the short form some
// programs write. One that does not fit six strings is skipped, not refused.
bool isShortDefinition(std::string_view value);

} // namespace TunequillKit::ChordProParser
