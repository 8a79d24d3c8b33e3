#include "TunequillKit/Song/Chord.h"

#include "Platform/Text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace TunequillKit {
namespace {

constexpr std::array<std::string_view, 12> sharpNames = {"C", "C#", "D", "D#", "E", "F",
                                                          "F#", "G", "G#", "A", "A#", "B"};
constexpr std::array<std::string_view, 12> flatNames = {"C", "Db", "D", "Eb", "E", "F",
                                                         "Gb", "G", "Ab", "A", "Bb", "B"};
constexpr std::array<std::string_view, 12> nashvilleDegrees = {"1", "b2", "2", "b3", "3", "4",
                                                                "#4", "5", "b6", "6", "b7", "7"};
// Major tonics whose keys are written with flats: F, Bb, Eb, Ab, Db.
constexpr std::array<int, 5> flatKeys = {5, 10, 3, 8, 1};

// Bytes of the first user-perceived character; ASCII takes a short cut.
std::size_t firstCharacterLength(std::string_view text)
{
    if (text.empty()) return 0;
    auto c0 = static_cast<unsigned char>(text[0]);
    if (c0 < 0x80 && c0 != '\r' && (text.size() == 1 || static_cast<unsigned char>(text[1]) < 0x80)) return 1;
    return Platform::Text::firstCharacter(text).size();
}

// The first character of `text` is exactly `c` (not `c` with a mark on it).
bool startsWithCharacter(std::string_view text, char c)
{
    return !text.empty() && text[0] == c && firstCharacterLength(text) == 1;
}

} // namespace

int wrapPitch(std::int64_t n)
{
    auto r = static_cast<int>(n % 12);
    return r < 0 ? r + 12 : r;
}

// --- Accidentals ---

std::string_view toString(Accidentals a)
{
    switch (a) {
    case Accidentals::automatic: return "auto";
    case Accidentals::sharps: return "sharps";
    case Accidentals::flats: return "flats";
    }
    return "auto";
}

template <>
std::optional<Accidentals> fromString<Accidentals>(std::string_view text)
{
    return detail::caseNamed(allCases<Accidentals>, text, [](Accidentals a) { return toString(a); });
}

std::string_view title(Accidentals a)
{
    switch (a) {
    case Accidentals::automatic: return "By key";
    case Accidentals::sharps: return "Sharps (♯)";
    case Accidentals::flats: return "Flats (♭)";
    }
    return "By key";
}

// --- Note ---

Note::Note(std::int64_t p) : pitch(wrapPitch(p)) {}

Note Note::transposed(std::int64_t semitones) const
{
    // Reduce first so that a huge shift cannot overflow the sum.
    return Note(pitch + wrapPitch(semitones));
}

std::string_view Note::name(bool flats) const
{
    return flats ? flatNames[static_cast<std::size_t>(pitch)] : sharpNames[static_cast<std::size_t>(pitch)];
}

std::optional<Note::Read> Note::parse(std::string_view prefix, bool german)
{
    if (prefix.empty() || firstCharacterLength(prefix) != 1) return std::nullopt;
    int letter = 0;
    switch (prefix[0]) {
    case 'C': letter = 0; break;
    case 'D': letter = 2; break;
    case 'E': letter = 4; break;
    case 'F': letter = 5; break;
    case 'G': letter = 7; break;
    case 'A': letter = 9; break;
    case 'B': letter = 11; break;
    case 'H': letter = 11; break;
    default: return std::nullopt;
    }
    std::size_t at = 1;
    int accidentals = 0;
    for (int read = 0; read < 2 && at < prefix.size(); ++read) {
        std::size_t length = firstCharacterLength(prefix.substr(at));
        std::string_view c = prefix.substr(at, length);
        if (c == "#" || c == "♯") ++accidentals;
        else if (c == "b" || c == "♭") --accidentals;
        else break;
        at += length;
    }
    // A German B is B♭ itself; "Bb" stays B♭ there too, as nobody writes the
    // German name of A that way.
    if (german && prefix[0] == 'B' && accidentals == 0) letter = 10;
    return Read{Note(letter + accidentals), at, accidentals, prefix[0] == 'H'};
}

std::optional<Note::Read> Note::parseGerman(std::string_view prefix)
{
    struct Name {
        std::string_view text;
        int pitch, accidental;
    };
    static constexpr Name names[] = {{"Cis", 1, 1}, {"Des", 1, -1}, {"Dis", 3, 1}, {"Es", 3, -1}, {"Fis", 6, 1},
                                     {"Ges", 6, -1}, {"Gis", 8, 1}, {"As", 8, -1}, {"Ais", 10, 1}};
    for (const Name& n : names)
        if (prefix.starts_with(n.text)) return Read{Note(n.pitch), n.text.size(), n.accidental, true};
    return std::nullopt;
}

// --- Key ---

std::optional<Key> Key::parse(std::string_view text)
{
    std::string_view trimmed = Platform::Text::trimSpacesTabs(text);
    // The English reading first ("As" could be A and a mode "s", which is none),
    // then the German name.
    for (auto read : {Note::parse(trimmed), Note::parseGerman(trimmed)}) {
        if (!read) continue;
        std::string rest = Platform::Text::lowercased(Platform::Text::trimSpacesTabs(trimmed.substr(read->length)));
        if (rest.empty() || rest == "maj" || rest == "major" || rest == "dur") return Key{read->note, false};
        // "mi" is the Czech minor, as in the chord names "Ami" and "Hmi".
        if (rest == "m" || rest == "mi" || rest == "min" || rest == "minor" || rest == "moll" || rest == "-")
            return Key{read->note, true};
    }
    return std::nullopt;
}

Key Key::transposed(std::int64_t semitones) const { return Key{tonic.transposed(semitones), minor}; }

Note Key::relativeMajor() const { return minor ? tonic.transposed(3) : tonic; }

bool Key::prefersFlats() const
{
    int major = relativeMajor().pitch;
    for (int k : flatKeys)
        if (k == major) return true;
    return false;
}

std::string Key::name(Accidentals accidentals) const
{
    bool flats = accidentals == Accidentals::flats || (accidentals == Accidentals::automatic && prefersFlats());
    std::string out(tonic.name(flats));
    if (minor) out += 'm';
    return out;
}

// --- Chord ---

bool Chord::isQuality(std::string_view text)
{
    // The quality must be a run of these pieces, end to end. Chord names are
    // parsed for every chord of every song drawn, so this is a walk over the
    // positions the pieces can reach rather than a regular expression.
    static constexpr std::string_view pieces[] = {"maj", "min", "mi", "ma", "m", "M", "dim", "aug", "sus", "add",
                                                  "no", "omit", "alt", "ø", "°", "+", "-", "Δ", "(", ")", "#",
                                                  "b", "♯", "♭", ","};
    constexpr std::size_t longest = 64; // bytes; longer qualities take the slow path below
    std::array<bool, longest + 1> small{};
    std::vector<bool> large;
    const bool fits = text.size() <= longest;
    if (!fits) large.assign(text.size() + 1, false);
    auto reached = [&](std::size_t i) -> bool { return fits ? small[i] : large[i]; };
    auto reach = [&](std::size_t i) {
        if (fits) small[i] = true;
        else large[i] = true;
    };
    reach(0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!reached(i)) continue;
        const std::string_view rest = text.substr(i);
        const char c = rest[0];
        if (c >= '0' && c <= '9') reach(i + 1);
        // A slash only before a digit or an added tone ("6/9", "m7/add2"); a
        // slash bass is taken off before.
        if (c == '/' && ((rest.size() > 1 && rest[1] >= '0' && rest[1] <= '9') ||
                         rest.substr(1).starts_with("add") || rest.substr(1).starts_with("sus") ||
                         rest.substr(1).starts_with("maj")))
            reach(i + 1);
        for (std::string_view piece : pieces)
            if (rest.starts_with(piece)) reach(i + piece.size());
    }
    return reached(text.size());
}

namespace {

// A string of tablature ("E-----", "B--5--7-5") would pass as a minus chord:
// no chord name holds two dashes in a row or more than two.
bool isTabRun(std::string_view quality)
{
    return quality.find("--") != std::string_view::npos || std::count(quality.begin(), quality.end(), '-') > 2;
}

} // namespace

std::optional<Chord::Written> Chord::parseWritten(std::string_view text, bool german)
{
    std::string_view trimmed = Platform::Text::trimSpacesTabs(text);
    // A German name is read where the English one leaves no chord ("As7",
    // "Es/G", "Fismi"); "Asus4" stays A sus4.
    for (auto root : {Note::parse(trimmed, german), Note::parseGerman(trimmed)}) {
        if (!root) continue;
        std::string_view rest = trimmed.substr(root->length);
        std::string_view quality = rest;
        std::optional<Note::Read> bass;
        if (std::size_t slash = rest.rfind('/'); slash != std::string_view::npos) {
            std::string_view after = rest.substr(slash + 1);
            for (auto read : {Note::parse(after, german), Note::parseGerman(after)})
                if (read && read->length == after.size()) {
                    bass = read;
                    quality = rest.substr(0, slash);
                    break;
                }
        }
        if (isQuality(quality) && !isTabRun(quality)) return Written{*root, bass};
    }
    return std::nullopt;
}

std::optional<Chord> Chord::parse(std::string_view text, bool german)
{
    auto written = parseWritten(text, german);
    if (!written) return std::nullopt;
    std::string_view trimmed = Platform::Text::trimSpacesTabs(text);
    std::size_t end = trimmed.size();
    if (written->bass) end = trimmed.rfind('/');
    std::string quality(trimmed.substr(written->root.length, end - written->root.length));
    std::optional<Note> bass;
    if (written->bass) bass = written->bass->note;
    return Chord{written->root.note, std::move(quality), bass};
}

bool Chord::isMinor() const
{
    return (quality.starts_with('m') && !quality.starts_with("maj")) || quality.starts_with('-');
}

Chord Chord::transposed(std::int64_t semitones) const
{
    Chord out{root.transposed(semitones), quality, std::nullopt};
    if (bass) out.bass = bass->transposed(semitones);
    return out;
}

std::string Chord::name(bool flats) const
{
    std::string out(root.name(flats));
    out += quality;
    if (bass) {
        out += '/';
        out += bass->name(flats);
    }
    return out;
}

std::string Chord::nashville(const Key& in) const
{
    int tonic = in.relativeMajor().pitch;
    auto degree = [tonic](Note n) { return nashvilleDegrees[static_cast<std::size_t>(wrapPitch(n.pitch - tonic))]; };
    std::string out(degree(root));
    out += quality;
    if (bass) {
        out += '/';
        out += degree(*bass);
    }
    return out;
}

// --- ChordStyle ---

bool ChordStyle::moves() const { return nashvilleKey || respell || wrapPitch(shift) != 0; }

std::string ChordStyle::name(Note note) const
{
    const bool flat = flats != ((flipped >> note.pitch) & 1);
    if (!german) return std::string(note.name(flat));
    // German names: B♭ is B and B is H whatever the spelling; the other
    // flats take their German endings.
    static constexpr std::array<std::string_view, 12> germanFlats = {"C", "Des", "D", "Es", "E", "F",
                                                                     "Ges", "G", "As", "A", "B", "H"};
    if (note.pitch == 10 || note.pitch == 11 || flat) return std::string(germanFlats[static_cast<std::size_t>(note.pitch)]);
    return std::string(note.name(false));
}

std::string ChordStyle::render(std::string_view text) const
{
    // Peel the parentheses in a loop rather than by recursion: an imported
    // chord may carry any number of them, and the stack must not grow with it.
    std::size_t pairs = 0;
    while (text.size() >= 3 && startsWithCharacter(text, '(') && text.back() == ')') {
        text = text.substr(1, text.size() - 2);
        ++pairs;
    }
    std::string body;
    if (!moves()) {
        // Unmoved, a chord reads best as its writer spelled it (A/G# in E♭,
        // F#m in F, H7 in a Czech song).
        body = Platform::Text::trimSpacesTabs(text);
    } else if (auto chord = Chord::parse(text, german)) {
        Chord moved = chord->transposed(shift);
        if (nashvilleKey) {
            body = moved.nashville(*nashvilleKey);
        } else {
            body = name(moved.root) + moved.quality;
            if (moved.bass) body += '/' + name(*moved.bass);
        }
    } else {
        body = text;
    }
    if (pairs == 0) return body;
    std::string out;
    out.reserve(body.size() + 2 * pairs);
    out.append(pairs, '(');
    out += body;
    out.append(pairs, ')');
    return out;
}

// --- Accidental ---

std::string Accidental::pretty(std::string_view text)
{
    auto isNoteLetter = [](std::string_view c) { return c.size() == 1 && c[0] >= 'A' && c[0] <= 'G'; };
    auto chars = Platform::Text::characters(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        std::string_view c = chars[i];
        if (c == "#") {
            out += "♯";
            continue;
        }
        if (c == "b") {
            std::string_view prev = i > 0 ? chars[i - 1] : std::string_view{};
            std::string_view next = i + 1 < chars.size() ? chars[i + 1] : std::string_view{};
            bool afterLetter = isNoteLetter(prev);
            bool beforeNumber = !next.empty() && Platform::Text::isNumber(next) &&
                                (prev.empty() || prev == "/" || prev == "(" || Platform::Text::isNumber(prev));
            if (afterLetter || beforeNumber) {
                out += "♭";
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace TunequillKit

std::size_t std::hash<TunequillKit::Key>::operator()(const TunequillKit::Key& k) const noexcept
{
    std::size_t seed = 0;
    TunequillKit::detail::hashCombine(seed, k.tonic);
    TunequillKit::detail::hashCombine(seed, k.minor);
    return seed;
}

std::size_t std::hash<TunequillKit::Chord>::operator()(const TunequillKit::Chord& c) const noexcept
{
    std::size_t seed = 0;
    TunequillKit::detail::hashCombine(seed, c.root);
    TunequillKit::detail::hashCombine(seed, c.quality);
    TunequillKit::detail::hashOptional(seed, c.bass);
    return seed;
}

std::size_t std::hash<TunequillKit::ChordStyle>::operator()(const TunequillKit::ChordStyle& s) const noexcept
{
    std::size_t seed = 0;
    TunequillKit::detail::hashCombine(seed, s.shift);
    TunequillKit::detail::hashCombine(seed, s.flats);
    TunequillKit::detail::hashOptional(seed, s.nashvilleKey);
    TunequillKit::detail::hashCombine(seed, s.flipped);
    TunequillKit::detail::hashCombine(seed, s.respell);
    TunequillKit::detail::hashCombine(seed, s.german);
    return seed;
}
