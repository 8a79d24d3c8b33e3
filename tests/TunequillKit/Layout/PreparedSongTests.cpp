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

// Every chord of a song as the typesetter prints it, joined with blanks.
std::string printed(const PreparedSong& p)
{
    std::string out;
    for (const std::string& chord : p.song.chordTokens()) out += (out.empty() ? "" : " ") + p.style.render(chord);
    return out;
}

TEST(PreparedSong, ChordsAsWrittenUnmovedAndInTheTargetKeysSpellingMoved)
{
    struct Case {
        const char* source;
        std::int64_t transpose;
        Accidentals accidentals;
        const char* chords;
    };
    const Case cases[] = {
        // Nothing moves them: as their writer spelled them, whatever the key.
        {"{key: Eb}\n[Eb]a [A/G#]b [Ab]c", 0, Accidentals::automatic, "Eb A/G# Ab"},
        {"{key: F}\n[F]a [F#m]b [Bb]c", 0, Accidentals::automatic, "F F#m Bb"},
        {"{key: G}\n[G]a [Bb]b", 12, Accidentals::automatic, "G Bb"},
        // Unless the book asks for sharps or flats.
        {"{key: F}\n[F]a [F#m]b [Bb]c", 0, Accidentals::flats, "F Gbm Bb"},
        // Moved: the target key's spelling, one name for each note in the song.
        {"{key: Eb}\n[Eb]a [Db/F]b [Ab]c", -3, Accidentals::automatic, "C Bb/D F"},
        {"{key: E}\n[E]a [A/G#]b [C#m]c [Db]d", -3, Accidentals::automatic, "Db Gb/F Bbm Bb"},
        {"{key: A}\n[A]a [C]b [G#dim]c [Ab]d", 3, Accidentals::automatic, "C Eb Bdim B"},
        {"{key: D}\n[D]a [C]b [C#dim]c [Db]d [F#m]e", -2, Accidentals::automatic, "C Bb Bdim B Em"},
        {"{key: G}\n[G]a [C#dim]b [Db]c [C#m]d", -7, Accidentals::automatic, "C F#dim F# F#m"},
        {"{key: F#}\n[F#]a [Bb]b [A#m]c", 5, Accidentals::automatic, "B D# D#m"},
        // Czech and German names: Es and As move with the rest, B is B♭ and H is B.
        {"{key: Ami}\n[Ami]a [Es]b [As]c [B]d [H7]e [C/H]f", 2, Accidentals::automatic, "Hmi F B C C#7 D/C#"},
        {"{key: Es}\n[Es]a [As]b [B7]c [Cm]d", 2, Accidentals::automatic, "F B C7 Dm"},
        {"[Es]a [B7]b", -1, Accidentals::automatic, "D A7"},
        {"[Fis]a [Cis7]b [H]c", 1, Accidentals::automatic, "G D7 C"},
        // B in a flat key with no B♭ beside it is the Czech B♭; beside a B♭, or in a sharp key, it is B.
        {"{key: Dmi}\n[Dmi]a [B]b [C/B]c", 2, Accidentals::automatic, "Emi C D/C"},
        {"{key: F}\n[F]a [Bb]b [B]c", 2, Accidentals::automatic, "G C C#"},
        {"{key: F}\n[F]a [A#]b [B]c", 2, Accidentals::automatic, "G C C#"},
        {"{key: G}\n[G]a [B]b [C]c", 2, Accidentals::automatic, "A C# D"},
        {"{key: Db}\n[Db]a [Cb]b", 2, Accidentals::automatic, "Eb Db"},
        {"[H7]a [Bb]b [B]c", 1, Accidentals::automatic, "C7 H H"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(printed(prepare(c.source, c.transpose, std::nullopt, c.accidentals)), c.chords);
    }
    // A German song's first chord gives its key the German way.
    EXPECT_EQ(prepare("[B]a [H7]b").soundingKey, key(10));
    EXPECT_EQ(prepare("[B]a [Es]b").soundingKey, key(10));
    EXPECT_EQ(prepare("[B]a [C/H]b").soundingKey, key(10));
    EXPECT_EQ(prepare("[B]a [E]b").soundingKey, key(11));
    // So does its {key: B}, unless the song writes H for B.
    EXPECT_EQ(prepare("{key: B}\n[B]a [Es]b", 2).keyLine, "Key of C");
    EXPECT_EQ(prepare("{key: B}\n[H]a [Fis]b [B]c").soundingKey, key(11));
    EXPECT_EQ(prepare("{key: B}\n[B]a [E]b").soundingKey, key(11));
}

// A chord that cannot be read must not stay behind silently while the rest move.
TEST(PreparedSong, ChordsThatCannotBeReadAreNamedWhenTheSongMoves)
{
    const char* source = "[A7-9/unk]a [Es]b [Chorus]c [(Cx)]d [N.C.]e [Riff here]f [Bass solo]g";
    const std::vector<std::string> named = {
        "The chord “A7-9/unk” couldn’t be read, so it is printed as written, not transposed.",
        "The chord “(Cx)” couldn’t be read, so it is printed as written, not transposed."};
    EXPECT_EQ(prepare(source, 2).chordWarnings(), named);
    EXPECT_EQ(prepare(source, -12).chordWarnings(), std::vector<std::string>{});
    EXPECT_EQ(prepare("{key: C}\n[Cx]a", 0, std::nullopt, Accidentals::automatic, true).chordWarnings(),
              std::vector<std::string>{"The chord “Cx” couldn’t be read, so it is printed as written, not as a number."});
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
