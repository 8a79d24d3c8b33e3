#pragma once

// Marks a player writes among the chords that are no chords: bar lines and
// repeat signs, beat slashes, a bar to play again ("%"), repeat counts and a
// chord's fingering. They are printed as written and in the lyrics' ink,
// never spelled, moved or counted as a chord of the song.

#include <optional>
#include <string_view>

namespace TunequillKit::ChordMarks {

// "|", "||", "|:", ":|", ":||:": bars and repeat signs.
bool isBar(std::string_view token);
// "x2", "(3x)", "×4": two digits at most.
bool isRepeatCount(std::string_view token);
// "x32010", "022100", "0003": four to seven strings, three of them or more
// fretted or open.
bool isFingering(std::string_view token);
// Any of them, beat slashes ("/", "//") and "%".
bool isMark(std::string_view token);

// The text of a chord bracket cut round its one chord: "F#|" is the chord
// F# and a bar after it, "|: G" a repeat sign and G, "| x2" marks alone.
struct Split {
    std::string_view before; // marks before the chord, as written
    std::string_view chord;  // empty when the text is marks only
    std::string_view after;  // marks after the chord, or the marks alone
};
// None when the text holds no mark (a chord, "N.C.", a word) or more than
// one thing that is no mark ("Am G |"): such a text stays as written.
std::optional<Split> split(std::string_view text);

} // namespace TunequillKit::ChordMarks
