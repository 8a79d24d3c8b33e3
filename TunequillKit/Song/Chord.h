#pragma once

// Music arithmetic: pitch classes, keys and chord symbols, their parsing,
// transposition, spelling with sharps or flats and Nashville numbers.
// Stored and rendered names use the ASCII "#" and "b"; Accidental::pretty
// turns them into ♯ and ♭ as the very last step of showing or printing.
// Semitone counts may come from files, so every shift is reduced modulo 12
// before any addition: no value of std::int64_t overflows.

#include "TunequillKit/Song/Enums.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>


namespace TunequillKit {

// A book's spelling preference for chords and key names.
enum class Accidentals { automatic, sharps, flats };

std::string_view toString(Accidentals accidentals); // "auto", "sharps", "flats"
template <>
std::optional<Accidentals> fromString<Accidentals>(std::string_view text);
template <>
inline constexpr std::array<Accidentals, 3> allCases<Accidentals> = {Accidentals::automatic, Accidentals::sharps,
                                                                     Accidentals::flats};
// "By key", "Sharps (♯)", "Flats (♭)".
std::string_view title(Accidentals accidentals);

// A pitch class, C = 0 … B = 11.
struct Note {
    int pitch = 0;

    Note() = default;
    // Any integer; stored wrapped into 0…11 (−1 is 11, 25 is 1).
    explicit Note(std::int64_t pitch);

    Note transposed(std::int64_t semitones) const;
    // The name from the flat or the sharp table ("Bb" or "A#").
    std::string_view name(bool flats) const;

    struct Read;
    // Reads a note from the start of `prefix`: one of C D E F G A B H (H is B),
    // then up to two accidentals ("#", "♯" raise, "b", "♭" lower). With
    // `german`, B is B♭ as in German and Czech names.
    static std::optional<Read> parse(std::string_view prefix, bool german = false);
    // The German name at the start of `prefix`: Cis Dis Fis Gis Ais raise,
    // Des Es Ges As lower; none when the prefix starts with no such name.
    static std::optional<Read> parseGerman(std::string_view prefix);

    bool operator==(const Note&) const = default;
};

struct Note::Read {
    Note note;
    std::size_t length = 0; // UTF-8 bytes of `prefix` the note took
    int accidentals = 0;    // as written: +1 a sharp, −1 a flat, each
    bool german = false;    // written with H or a German ending
};

// Wraps any integer into a pitch class 0…11.
int wrapPitch(std::int64_t n);

struct Key {
    Note tonic;
    bool minor = false;

    // Key text such as "Bb", "F# minor", "Am", "C dur"; none for anything else.
    static std::optional<Key> parse(std::string_view text);

    Key transposed(std::int64_t semitones) const;
    // The tonic of a major key, three semitones above it for a minor key.
    Note relativeMajor() const;
    // True when the relative major is F, Bb, Eb, Ab or Db.
    bool prefersFlats() const;
    // "Bb", "F#m", "Dm": spelled with flats under `flats`, or under `automatic`
    // when the key prefers them.
    std::string name(Accidentals accidentals) const;

    bool operator==(const Key&) const = default;
};

struct Chord {
    Note root;
    std::string quality; // as written between the root and a slash bass ("m7b5", "6/9")
    std::optional<Note> bass;

    // A chord symbol such as "F#m7b5" or "G/B" (spaces and tabs around it are
    // dropped); none for "N.C.", "x", "C/G7", "C / G", a lower-case "c"….
    // German names read too ("Es", "Fismi", "C/As"); with `german`, B is B♭.
    static std::optional<Chord> parse(std::string_view text, bool german = false);
    // How the root and the bass were written, as Note::parse read them.
    struct Written {
        Note::Read root;
        std::optional<Note::Read> bass;
    };
    static std::optional<Written> parseWritten(std::string_view text, bool german = false);
    // Whether `text` (the part between the root and a slash bass) is made end
    // to end of the quality pieces: maj min mi ma m M dim aug sus add no omit
    // alt ø ° + - Δ ( ) # b ♯ ♭ , digits, and "/" before a digit. Empty is.
    static bool isQuality(std::string_view text);

    // Quality beginning "m" but not "maj", or beginning "-".
    bool isMinor() const;
    Chord transposed(std::int64_t semitones) const;
    std::string name(bool flats) const;
    // Degrees counted from the key's relative major: C in G is "4", D/F# is "5/7".
    std::string nashville(const Key& in) const;

    bool operator==(const Chord&) const = default;
};

// How chords are printed: shifted, spelled, or as Nashville numbers.
struct ChordStyle {
    std::int64_t shift = 0;
    bool flats = false;
    std::optional<Key> nashvilleKey;
    // Pitch classes (bit n for pitch n) spelled the other way than `flats` says.
    std::uint16_t flipped = 0;
    // Chords that no shift moves are re-spelled too (the book asks for sharps
    // or flats), instead of printed as their writer spelled them.
    bool respell = false;
    // The song names notes the German way: B is B♭, H is B, and moved chords
    // are named so (Es, As, B, H).
    bool german = false;

    // The chord moved and spelled under this style; a chord no shift moves
    // stays as written, text that is no chord comes back unchanged.
    // Parentheses around a chord are kept: "(Am)" shifted 2 is "(Bm)".
    std::string render(std::string_view text) const;
    // Whether this style prints chords other than as written.
    bool moves() const;
    // A note's name under this style's spelling.
    std::string name(Note note) const;

    bool operator==(const ChordStyle&) const = default;
};

namespace Accidental {
// "#" becomes "♯" and a "b" that follows a note letter, or stands before a
// number at the start or after "/", "(" or a number, becomes "♭".
std::string pretty(std::string_view text);
} // namespace Accidental

} // namespace TunequillKit

template <>
struct std::hash<TunequillKit::Note> {
    std::size_t operator()(const TunequillKit::Note& n) const noexcept { return std::hash<int>{}(n.pitch); }
};
template <>
struct std::hash<TunequillKit::Key> {
    std::size_t operator()(const TunequillKit::Key& k) const noexcept;
};
template <>
struct std::hash<TunequillKit::Chord> {
    std::size_t operator()(const TunequillKit::Chord& c) const noexcept;
};
template <>
struct std::hash<TunequillKit::ChordStyle> {
    std::size_t operator()(const TunequillKit::ChordStyle& s) const noexcept;
};
