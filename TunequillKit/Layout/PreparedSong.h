#pragma once

// A song made ready for its place in a book: the chord style every chord is
// printed with, the key that sounds, the capo printed, and the key line shown
// under the title.

#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/Song.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace TunequillKit {

struct PreparedSong {
    Song song;                    // as parsed, unchanged
    ChordStyle style;             // shift, flats, Nashville key
    std::optional<Key> soundingKey; // none when the song has no key and no chord that reads
    int capo = 0;                 // printed capo, 0…11
    std::string keyLine;          // e.g. "Key of A · Capo 2 (G shapes) · 96 bpm"; empty when nothing is known

    PreparedSong() = default;
    // `transpose` in semitones (any sign); `capo` overrides the song's own
    // {capo} when given and is clamped to 0…11; `accidentals` and `nashville`
    // are the book's.
    PreparedSong(Song song, std::int64_t transpose, std::optional<std::int64_t> capo, Accidentals accidentals,
                 bool nashville);

    // A sentence for each chord text that looks like a chord but cannot be
    // read while the song is transposed or numbered, so the player knows it
    // stays as written; none when the chords print as written anyway.
    std::vector<std::string> chordWarnings() const;

    // The shortest shift from one key's tonic to the other's, in −5…+6 (modes ignored).
    static int transpose(const Key& from, const Key& to);

    bool operator==(const PreparedSong&) const = default;
};

} // namespace TunequillKit

template <>
struct std::hash<TunequillKit::PreparedSong> {
    std::size_t operator()(const TunequillKit::PreparedSong& s) const noexcept;
};
