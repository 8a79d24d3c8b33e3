#include "TunequillKit/Layout/PreparedSong.h"

#include "Platform/Text.h"

#include <algorithm>
#include <limits>

namespace TunequillKit {

namespace {

// transpose + songCapo − printed, exactly when it fits; hostile library values
// that would overflow keep only their pitch meaning (the sum modulo 12), which
// is all that chord spelling reads.
std::int64_t chordShift(std::int64_t transpose, std::int64_t songCapo, int printed)
{
    __int128 exact = static_cast<__int128>(transpose) + songCapo - printed;
    if (exact >= std::numeric_limits<std::int64_t>::min() && exact <= std::numeric_limits<std::int64_t>::max())
        return static_cast<std::int64_t>(exact);
    return wrapPitch(transpose) + wrapPitch(songCapo) - printed;
}

bool allNumeric(std::string_view text)
{
    for (std::string_view c : Platform::Text::characters(text))
        if (!Platform::Text::isNumber(c)) return false;
    return true;
}

// A song whose chords use H, or a German name such as Es or Fis, names its
// notes the German way, so its B is B♭. So does a song in a flat key (F, Dm,
// B♭…) that writes B and never B♭ or A♯: there B is the key's own B♭, as
// Czech and German songbooks write it.
bool namesNotesTheGermanWay(const std::vector<std::string>& chords, const std::optional<Key>& key)
{
    bool plainB = false, flatB = false;
    for (const std::string& text : chords)
        if (auto written = Chord::parseWritten(text)) {
            for (const std::optional<Note::Read>& read : {std::optional<Note::Read>(written->root), written->bass}) {
                if (!read) continue;
                if (read->german) return true;
                plainB = plainB || (read->note.pitch == 11 && read->accidentals == 0);
                flatB = flatB || read->note.pitch == 10;
            }
        }
    return plainB && !flatB && key && key->prefersFlats();
}

// Whether the chords write B for B♭: a plain B, and no H, among them.
bool writesBForBFlat(const std::vector<std::string>& chords)
{
    bool plainB = false;
    for (const std::string& text : chords)
        if (auto written = Chord::parseWritten(text)) {
            for (const std::optional<Note::Read>& read : {std::optional<Note::Read>(written->root), written->bass}) {
                if (!read || read->note.pitch != 11) continue;
                if (read->german) return false;
                plainB = plainB || read->accidentals == 0;
            }
        }
    return plainB;
}

// The key of the first chord that reads, as Song::effectiveKey takes it, with
// the song's own way of naming notes.
std::optional<Key> firstChordKey(const std::vector<std::string>& chords, bool german)
{
    for (const std::string& text : chords)
        if (auto chord = Chord::parse(text, german)) return Key{chord->root, chord->isMinor()};
    return std::nullopt;
}

// In C major and A minor no key signature says how a black key is spelled:
// each is spelled as the song's writer spelled the chords that land on it
// (a Db moved to Bb stays a flat), one way for the whole song, and where
// the writer gives no hint as in C: Eb, Ab and Bb, C# and F#.
std::uint16_t flatsInC(const std::vector<std::string>& chords, std::int64_t shift, bool german)
{
    std::array<int, 12> votes{};
    for (const std::string& text : chords) {
        auto written = Chord::parseWritten(text, german);
        if (!written) continue;
        for (const std::optional<Note::Read>& read : {std::optional<Note::Read>(written->root), written->bass})
            if (read && read->accidentals != 0)
                votes[static_cast<std::size_t>(read->note.transposed(shift).pitch)] += read->accidentals < 0 ? -1 : 1;
    }
    std::uint16_t mask = 0;
    for (int pitch : {1, 3, 6, 8, 10}) {
        const int vote = votes[static_cast<std::size_t>(pitch)];
        const bool flat = vote != 0 ? vote < 0 : (pitch == 3 || pitch == 8 || pitch == 10);
        if (flat) mask |= static_cast<std::uint16_t>(1u << pitch);
    }
    return mask;
}

} // namespace

PreparedSong::PreparedSong(Song song_, std::int64_t transpose, std::optional<std::int64_t> capoOverride,
                           Accidentals accidentals, bool nashville)
    : song(std::move(song_))
{
    std::int64_t requested = capoOverride.value_or(song.capo);
    capo = static_cast<int>(std::clamp<std::int64_t>(requested, 0, 11));
    style.shift = chordShift(transpose, song.capo, capo);

    const std::vector<std::string> chords = song.chordTokens();
    style.german = namesNotesTheGermanWay(chords, song.effectiveKey());
    std::optional<Key> written = song.key ? song.key : firstChordKey(chords, style.german);
    // {key: B} in a song that names its notes the German way and plays B♭ as
    // B (never writing H) is the key of B♭.
    if (song.key && style.german && written->tonic.pitch == 11 && writesBForBFlat(chords)) written->tonic = Note(10);
    std::optional<Key> shapes;
    if (written) {
        Note sounding = written->tonic.transposed(transpose).transposed(song.capo);
        soundingKey = Key{sounding, written->minor};
        shapes = Key{sounding.transposed(-capo), written->minor};
    }

    switch (accidentals) {
    case Accidentals::sharps: style.flats = false; break;
    case Accidentals::flats: style.flats = true; break;
    case Accidentals::automatic: style.flats = shapes && shapes->prefersFlats(); break;
    }
    // The book asks for one spelling: every chord follows it, moved or not.
    style.respell = accidentals != Accidentals::automatic;
    if (accidentals == Accidentals::automatic && shapes && shapes->relativeMajor().pitch == 0 && style.moves())
        style.flipped = flatsInC(chords, style.shift, style.german);
    // Numbers are counted from the shapes that are played, not from what sounds.
    if (nashville && shapes) style.nashvilleKey = shapes;

    std::vector<std::string> parts;
    if (soundingKey) parts.push_back("Key of " + soundingKey->name(accidentals));
    if (capo > 0) {
        std::string part = "Capo " + std::to_string(capo);
        if (shapes) part += " (" + shapes->name(accidentals) + " shapes)";
        parts.push_back(std::move(part));
    }
    if (song.tempo && !song.tempo->empty()) parts.push_back(allNumeric(*song.tempo) ? *song.tempo + " bpm" : *song.tempo);
    if (song.time && !song.time->empty()) parts.push_back(*song.time);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) keyLine += " \u00B7 ";
        keyLine += parts[i];
    }
}

namespace {

// Begins with a note letter and is one token that is no plain word ("Chorus",
// "End"): a chord the grammar does not know, such as "A7-9/unk" or "F#|".
bool looksLikeChord(std::string_view text)
{
    while (text.size() >= 2 && text.front() == '(' && text.back() == ')') text = text.substr(1, text.size() - 2);
    if (text.empty() || text.front() < 'A' || text.front() > 'H') return false;
    bool word = text.size() > 2;
    for (std::string_view c : Platform::Text::characters(text.substr(1))) {
        if (Platform::Text::isWhitespace(c)) return false;
        word = word && Platform::Text::isLetter(c);
    }
    return !word;
}

} // namespace

std::vector<std::string> PreparedSong::chordWarnings() const
{
    std::vector<std::string> out;
    const bool numbered = style.nashvilleKey.has_value();
    if (!numbered && wrapPitch(style.shift) == 0) return out;
    for (const std::string& text : song.chordTokens()) {
        std::string_view chord = Platform::Text::trimSpacesTabs(text);
        std::string_view bare = chord;
        while (bare.size() >= 3 && bare.front() == '(' && bare.back() == ')') bare = bare.substr(1, bare.size() - 2);
        if (Chord::parse(bare, style.german) || !looksLikeChord(chord)) continue;
        out.push_back("The chord “" + std::string(chord) + "” couldn’t be read, so it is printed as written, not " +
                      (numbered ? "as a number." : "transposed."));
    }
    return out;
}

int PreparedSong::transpose(const Key& from, const Key& to)
{
    int d = (to.tonic.pitch - from.tonic.pitch + 12) % 12;
    return d >= 7 ? d - 12 : d;
}

} // namespace TunequillKit
