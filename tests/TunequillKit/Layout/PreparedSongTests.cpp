#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <gtest/gtest.h>

#include <limits>

using namespace TunequillKit;

namespace {

PreparedSong prepare(const char* source, std::int64_t transpose = 0, std::optional<std::int64_t> capo = std::nullopt,
                     Accidentals accidentals = Accidentals::automatic, bool nashville = false)
{
    return PreparedSong(ChordProParser::parse(source), transpose, capo, accidentals, nashville);
}

Key key(int tonic, bool minor = false) { return Key{Note(tonic), minor}; }

} // namespace

TEST(PreparedSong, CapoShiftAndKeyLine)
{
    struct Case {
        const char* source;
        std::int64_t transpose;
        std::optional<std::int64_t> capo;
        std::int64_t shift;
        int printedCapo;
        std::optional<Key> sounding;
        const char* keyLine;
    };
    const Case cases[] = {
        {"{key: G}\n{capo: 2}\n[G]la", 0, std::nullopt, 0, 2, key(9), "Key of A \u00B7 Capo 2 (G shapes)"},
        {"{key: G}\n{capo: 2}\n[G]la", 0, 0, 2, 0, key(9), "Key of A"},
        {"{key: G}\n[G]la", 0, 14, -11, 11, key(7), "Key of G \u00B7 Capo 11 (Ab shapes)"},
        {"{key: G}\n[G]la", 0, -3, 0, 0, key(7), "Key of G"},
        {"{key: G}\n[G]la", 3, std::nullopt, 3, 0, key(10), "Key of Bb"},
        {"[Em7]la [G]lo", 0, std::nullopt, 0, 0, key(4, true), "Key of Em"},
        {"[N.C.]la [x]lo\n{tempo: 96}\n{time: 3/4}", 0, 3, -3, 3, std::nullopt, "Capo 3 \u00B7 96 bpm \u00B7 3/4"},
        {"{tempo: 96 swing}\n[C]la", 0, std::nullopt, 0, 0, key(0), "Key of C \u00B7 96 swing"},
        {"{tempo: Slow}\n{time: }", 0, std::nullopt, 0, 0, std::nullopt, "Slow"},
        {"no key, no capo", 0, std::nullopt, 0, 0, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        PreparedSong p = prepare(c.source, c.transpose, c.capo);
        SCOPED_TRACE(c.source);
        EXPECT_EQ(p.style.shift, c.shift);
        EXPECT_EQ(p.capo, c.printedCapo);
        EXPECT_EQ(p.soundingKey, c.sounding);
        EXPECT_EQ(p.keyLine, c.keyLine);
    }
}

TEST(PreparedSong, SpellingFollowsTheShapesAndNashvilleCountsFromThem)
{
    // Sounding Eb, played as D shapes with capo 1: the key line says Eb, the chords are spelled as in D.
    PreparedSong p = prepare("{key: Eb}\n[Eb]la", 0, 1, Accidentals::automatic, true);
    EXPECT_EQ(p.keyLine, "Key of Eb \u00B7 Capo 1 (D shapes)");
    EXPECT_FALSE(p.style.flats);
    EXPECT_EQ(p.style.nashvilleKey, key(2));
    EXPECT_EQ(p.style.shift, -1);

    EXPECT_TRUE(prepare("{key: F}", 0, std::nullopt, Accidentals::automatic).style.flats);
    EXPECT_FALSE(prepare("{key: F}", 0, std::nullopt, Accidentals::sharps).style.flats);
    EXPECT_TRUE(prepare("{key: E}", 0, std::nullopt, Accidentals::flats).style.flats);
    EXPECT_EQ(prepare("{key: A#}", 0, std::nullopt, Accidentals::sharps).keyLine, "Key of A#");

    // No key: nothing to count from, and no flats by key.
    PreparedSong keyless = prepare("[N.C.]la", 0, std::nullopt, Accidentals::automatic, true);
    EXPECT_FALSE(keyless.style.nashvilleKey);
    EXPECT_FALSE(keyless.style.flats);
}

TEST(PreparedSong, TransposeBetweenKeysTakesTheShortWay)
{
    EXPECT_EQ(PreparedSong::transpose(key(0), key(7)), -5);
    EXPECT_EQ(PreparedSong::transpose(key(0), key(6)), 6);
    EXPECT_EQ(PreparedSong::transpose(key(7), key(0)), 5);
    EXPECT_EQ(PreparedSong::transpose(key(9, true), key(9)), 0);
    EXPECT_EQ(PreparedSong::transpose(key(11), key(0, true)), 1);
}

TEST(PreparedSong, HostileTransposeDoesNotOverflow)
{
    const std::int64_t big = std::numeric_limits<std::int64_t>::max();
    PreparedSong p = prepare("{key: C}\n{capo: 5}\n[C]la", big, 0);
    EXPECT_EQ(wrapPitch(p.style.shift), wrapPitch(wrapPitch(big) + 5));
    EXPECT_EQ(p.soundingKey, key(wrapPitch(wrapPitch(big) + 5)));
}
