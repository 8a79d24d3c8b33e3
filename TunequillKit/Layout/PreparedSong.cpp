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

} // namespace

PreparedSong::PreparedSong(Song song_, std::int64_t transpose, std::optional<std::int64_t> capoOverride,
                           Accidentals accidentals, bool nashville)
    : song(std::move(song_))
{
    std::int64_t requested = capoOverride.value_or(song.capo);
    capo = static_cast<int>(std::clamp<std::int64_t>(requested, 0, 11));
    style.shift = chordShift(transpose, song.capo, capo);

    std::optional<Key> written = song.effectiveKey();
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

int PreparedSong::transpose(const Key& from, const Key& to)
{
    int d = (to.tonic.pitch - from.tonic.pitch + 12) % 12;
    return d >= 7 ? d - 12 : d;
}

} // namespace TunequillKit
