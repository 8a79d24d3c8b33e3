#pragma once

// Texts the songbook lists build from songs and counts: song counts, titles,
// detail lines and key names as the rows show them.

#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/Song.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>

namespace Lyricade {

// "1 song" for one, "N songs" for every other count (0 and negatives too).
QString songCountText(int count);

// The parsed title; "Untitled song" when it is empty or there is no song.
QString songTitle(const TunequillKit::Song* song);

// The first artist, else the first subtitle; none when the song names neither.
std::optional<QString> artistOrSubtitle(const TunequillKit::Song& song);

// A key or chord name with ♯ and ♭ signs.
QString prettyName(const std::string& name);

// A text of key names as shown ("B♭", "Key F♯m (+2)") as a speech synthesiser
// should say it: "B flat", "Key F sharp minor (+2)". For texts of key names
// and plain words only: a title's "Em" would be read "E minor".
QString spokenKeys(const QString& shown);

// The key that sounds: the song's key (else its first chord's) raised by its
// own capo and `transpose` half steps; none without key and chords.
std::optional<TunequillKit::Key> soundingKey(const TunequillKit::Song& song, std::int64_t transpose);

} // namespace Lyricade
