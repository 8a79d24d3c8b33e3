#pragma once

// Chords-over-lyrics text to ChordPro: a header of title and "Key: G"-style
// lines, headings such as "Chorus:" or "[Verse 2]", chord lines merged into
// the lyric line below them at their columns, and guitar-tab lines kept
// verbatim. Columns and lengths count user-perceived characters.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TunequillKit::PlainTextConverter {

// Words a heading may begin with, tried in this order.
inline constexpr std::array<std::string_view, 21> headingWords = {
    "verse",  "chorus",     "refrain",  "bridge",       "intro", "outro", "pre-chorus",
    "prechorus", "pre chorus", "interlude", "tag",       "ending", "instrumental", "solo",
    "coda",   "hook",       "vamp",     "turnaround",   "breakdown", "middle 8", "post-chorus"};

// Tokens a chord line may hold besides chords (exact, case-sensitive).
bool isNonChordToken(std::string_view token);

// The whole conversion; the title is the file's own or else `fallbackTitle`.
// The result ends with one line feed.
std::string convert(std::string_view text, std::string_view fallbackTitle);

// "Verse 2", "Chorus x2", "Pre-chorus" for a heading line; none otherwise
// (also for lines longer than 40 characters).
std::optional<std::string> headerLabel(std::string_view line);

// A line of chords as a player writes it: chords (bars and parentheses
// around them allowed) with bars, beat slashes and repeat counts between
// them, perhaps a label before them ("Interlude:", "Chorus -") and a note
// after them ("(x2)", "[C7-9-5: x32322]", a few words two spaces on).
struct ChordLine {
    std::string chords; // the chords at their columns, everything else blanked
    std::string marks;  // bars, slashes and other marks at their columns, the rest blanked
    std::string label;  // as written, without a dash that only parts it from the chords
    std::string note;   // repeat counts and the note, as written, in line order
};
std::optional<ChordLine> readChordLine(std::string_view line);

// Whether `readChordLine` reads the line as one. A sentence with one
// chord-like word ("A day in May") and a chord chart's fingerings ("C  x32010")
// are not.
bool isChordLine(std::string_view line);

// The output lines of a chord line placed over `lyric` (merged at the
// columns, its marks left out) or alone (its marks kept as text under the
// chords): the label as a comment before, the note as a comment after.
// With `plainLyric`, the lyric is a plain sheet's text, whose brackets and
// braces are written escaped, so "[B7sus4: x24252]" stays a note.
std::vector<std::string> placeChordLine(const ChordLine& chordLine, std::optional<std::string_view> lyric,
                                        bool plainLyric = false);

// A text with a chord website's marks ("[ch]G[/ch]", "[tab]…[/tab]") taken
// out, so its chords stand at the columns the site shows them at; none when
// the text has no such mark.
std::optional<std::string> unwrapChordMarks(std::string_view text);

// A line that sets how to play rather than what: "Tuning: D A D G B E",
// "Tonart: G", "Tónina: Ami"; its notes are no chords.
bool isSettingLine(std::string_view line);

// A line of bar numbers over a staff of tablature ("   1        2").
bool isBarNumberLine(std::string_view line);
// A line of a player's marks over or under a staff: "PM- - - -|  let ring",
// "h   p   /"; no words but the techniques' own.
bool isStaffNoteLine(std::string_view line);
// A string of tablature with neither name nor leading bar ("--7--5h7---|"):
// tab only in a staff of such strings.
bool isNamelessString(std::string_view line);

// A line that a chord line above it is merged into: not empty, no chord
// line, heading or tab line.
bool isLyricBelowChords(std::string_view line);

// A ChordPro text whose lines of bare chord names (outside tab and notation
// blocks) are placed like a chords-over-lyrics sheet's: merged into the lyric
// line below, or bracketed alone; and whose strings of tablature outside a
// tab block are set in one. None when it has neither, so the text is kept as
// it is.
std::optional<std::string> placeChordLines(std::string_view chordPro);

// A string of tablature: "e|--0--3--|", "|E|-5h7-|", without the bar
// "E-----", "B--5--7-5", with anything written after the string
// ("G|--1--5--|(repeat)", "e|-----| let ring").
bool isTabLine(std::string_view line);

// The lyric with each chord of the chord line inserted in brackets at its
// column; the lyric is padded with spaces when a chord lies beyond its end.
// With `escapeLyric`, the lyric's brackets and braces are escaped as `escape` does.
std::string merge(std::string_view chordLine, std::string_view lyric, bool escapeLyric = false);

struct Metadata {
    std::string name; // a ChordPro directive name: "title", "artist", "key", "capo"…
    std::string value;
};
// A header line such as "Key: G", "Words and Music: …" or "Capo on 2nd fret".
std::optional<Metadata> metadataLine(std::string_view line);

// A backslash before each "[", "]", "{" and "}".
std::string escape(std::string_view line);

} // namespace TunequillKit::PlainTextConverter
