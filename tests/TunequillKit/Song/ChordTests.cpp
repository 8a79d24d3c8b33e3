#include "TunequillKit/Song/Chord.h"

#include "Platform/Regex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

using namespace TunequillKit;

TEST(Note, WrapsAnyIntegerIntoAPitchClass)
{
    EXPECT_EQ(Note(-1).pitch, 11);
    EXPECT_EQ(Note(25).pitch, 1);
    EXPECT_EQ(Note(-24).pitch, 0);
    // Shifts read from files may be anything: nothing may overflow.
    constexpr auto big = std::numeric_limits<std::int64_t>::max();
    constexpr auto small = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(Note(big).pitch, static_cast<int>(big % 12));
    EXPECT_EQ(Note(11).transposed(big).pitch, (11 + big % 12) % 12);
    EXPECT_EQ(Note(0).transposed(small).pitch, Note(small).pitch);
    EXPECT_EQ((Key{Note(9), true}.transposed(small + 1).tonic), Note(9).transposed(small + 1));
}

TEST(Note, ReadsLetterAndUpToTwoAccidentals)
{
    struct Case {
        const char* text;
        int pitch;
        std::size_t length;
    };
    const Case cases[] = {
        {"C", 0, 1}, {"H", 11, 1}, {"Cb", 11, 2}, {"E#", 5, 2}, {"B##", 1, 3}, {"C#b", 0, 3},
        {"C###", 2, 3}, {"Bbm7", 10, 2}, {"F♯", 6, 4}, {"E♭♭x", 2, 7},
    };
    for (const auto& c : cases) {
        auto read = Note::parse(c.text);
        ASSERT_TRUE(read) << c.text;
        EXPECT_EQ(read->note.pitch, c.pitch) << c.text;
        EXPECT_EQ(read->length, c.length) << c.text;
    }
    for (const char* text : {"", "c", "X", " C", "C\u0301"}) EXPECT_FALSE(Note::parse(text)) << text;
    // German and Czech names: B is B♭ where the song says so, H always B.
    EXPECT_EQ(Note::parse("B", true)->note.pitch, 10);
    EXPECT_EQ(Note::parse("Bb", true)->note.pitch, 10);
    EXPECT_EQ(Note::parse("B#", true)->note.pitch, 0);
    EXPECT_EQ(Note::parse("H", true)->note.pitch, 11);
    EXPECT_EQ(Note::parseGerman("Fismi")->length, 3u);
    EXPECT_EQ(Note::parseGerman("As")->note.pitch, 8);
    EXPECT_FALSE(Note::parseGerman("A"));
}

TEST(Key, ParsesKeyTexts)
{
    struct Case {
        const char* text;
        int tonic;
        bool minor;
    };
    const Case keys[] = {
        {"H", 11, false},      {"Bbm", 10, true},   {" F# minor ", 6, true}, {"\tC Major", 0, false},
        {"C MOLL", 0, true},   {"CM", 0, true},     {"D-", 2, true},         {"Eb dur", 3, false},
        {"A min", 9, true},    {"G maj", 7, false},
        {"Ami", 9, true},      {"Es", 3, false},    {"As dur", 8, false},    {"Fis moll", 6, true},
        {"Cis mi", 1, true},
    };
    for (const auto& k : keys) {
        auto key = Key::parse(k.text);
        ASSERT_TRUE(key) << k.text;
        EXPECT_EQ(*key, (Key{Note(k.tonic), k.minor})) << k.text;
    }
    for (const char* text : {"Fm7", "", "f", "Am7", "C minor key", "\nC"}) EXPECT_FALSE(Key::parse(text)) << text;
}

TEST(Key, NamesFollowTheSpellingPreference)
{
    struct Case {
        int tonic;
        bool minor;
        Accidentals accidentals;
        const char* name;
    };
    const Case cases[] = {
        {3, true, Accidentals::automatic, "D#m"},  {2, true, Accidentals::automatic, "Dm"},
        {10, false, Accidentals::automatic, "Bb"}, {10, false, Accidentals::sharps, "A#"},
        {6, false, Accidentals::flats, "Gb"},      {6, false, Accidentals::automatic, "F#"},
        {7, true, Accidentals::automatic, "Gm"},   {1, false, Accidentals::automatic, "Db"},
        {9, true, Accidentals::sharps, "Am"},
    };
    for (const auto& c : cases)
        EXPECT_EQ((Key{Note(c.tonic), c.minor}.name(c.accidentals)), c.name) << c.tonic << c.minor;
    EXPECT_EQ((Key{Note(9), true}.relativeMajor()), Note(0));
    EXPECT_FALSE((Key{Note(3), true}.prefersFlats())); // E♭ minor sits on G♭
    EXPECT_TRUE((Key{Note(5), true}.prefersFlats()));  // F minor sits on A♭
}

TEST(Chord, ParsesTheChordGrammar)
{
    struct Case {
        const char* text;
        int root;
        const char* quality;
        int bass; // -1 for none
    };
    const Case chords[] = {
        {"C", 0, "", -1},          {"F#m7b5", 6, "m7b5", -1}, {"Bbmaj7", 10, "maj7", -1}, {"Dsus4", 2, "sus4", -1},
        {"A7(b9)", 9, "7(b9)", -1}, {"C6/9", 0, "6/9", -1},   {"G/B", 7, "", 11},         {"Am/G", 9, "m", 7},
        {"C/Bb", 0, "", 10},       {"C###", 2, "#", -1},      {" Em7 ", 4, "m7", -1},     {"Cø7", 0, "ø7", -1},
        {"Cm7/add2", 0, "m7/add2", -1}, {"C-7-5", 0, "-7-5", -1},
        // German names read where the English reading leaves no chord.
        {"Es", 3, "", -1},         {"As7", 8, "7", -1},       {"Fismi", 6, "mi", -1},     {"C/As", 0, "", 8},
        {"Asus4", 9, "sus4", -1},  {"Esus", 4, "sus", -1},    {"Es/G", 3, "", 7},         {"Gesmaj7/Des", 6, "maj7", 1},
        {"Hmi7", 11, "mi7", -1},
    };
    for (const auto& c : chords) {
        auto chord = Chord::parse(c.text);
        ASSERT_TRUE(chord) << c.text;
        EXPECT_EQ(chord->root.pitch, c.root) << c.text;
        EXPECT_EQ(chord->quality, c.quality) << c.text;
        EXPECT_EQ(chord->bass.has_value(), c.bass >= 0) << c.text;
        if (c.bass >= 0 && chord->bass) {
            EXPECT_EQ(chord->bass->pitch, c.bass) << c.text;
        }
    }
    for (const char* text : {"C/G7", "N.C.", "x", "C/H2", "C / G", "c", "", "Cx", "Chorus", "G/",
                             "C/E/G" /* the last slash decides, and "/E" is no quality */,
                             "E-----", "B--5--5-5-5--5-8", "G-5-7-5" /* tablature, no minus chords */,
                             "Ess", "Eis", "Cisus" /* no German name takes these endings */})
        EXPECT_FALSE(Chord::parse(text)) << text;
}

// Qualities are read by a walk over their pieces; the grammar itself is the
// regular expression below, so generated strings must get the same answer.
TEST(Chord, QualityWalkAgreesWithTheGrammar)
{
    const Platform::Regex grammar(
        "^(maj|min|mi|ma|m|M|dim|aug|sus|add|no|omit|alt|ø|°|\\+|-|Δ|[0-9]|\\(|\\)|#|b|♯|♭|,|/(?=[0-9]|add|sus|maj))*$");
    // Pieces, their fragments and near misses, so that cut-off and run-on pieces occur.
    const std::string_view parts[] = {"maj", "min", "mi", "ma", "m", "M", "dim", "di", "aug", "au", "sus", "su",
                                      "add", "ad", "no", "omit", "om", "alt", "al", "ø", "°", "+", "-", "Δ",
                                      "7", "13", "(", ")", "#", "b", "♯", "♭", ",", "/", "/9", "x", "j", " ",
                                      "\xCC\x81", "ª"};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(parts) - 1), length(0, 6);
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string quality;
        for (std::size_t n = length(random); n > 0; --n) quality += parts[pick(random)];
        const bool expected = grammar.wholeMatch(quality).has_value();
        accepted += expected;
        ASSERT_EQ(Chord::isQuality(quality), expected) << quality;
    }
    EXPECT_GT(accepted, 1000); // both answers were exercised
    EXPECT_TRUE(Chord::isQuality(std::string(200, '7') + "sus"));
    EXPECT_FALSE(Chord::isQuality(std::string(200, '7') + "/"));
}

TEST(Chord, KnowsMinorQualities)
{
    for (const char* q : {"m", "m7", "min", "mi", "-7", "m7b5"}) EXPECT_TRUE((Chord{Note(0), q, {}}.isMinor())) << q;
    for (const char* q : {"", "maj7", "M7", "dim", "sus4", "7"}) EXPECT_FALSE((Chord{Note(0), q, {}}.isMinor())) << q;
}

TEST(ChordStyle, RendersTransposedRespelledOrNashville)
{
    struct Case {
        const char* text;
        ChordStyle style;
        const char* expected;
    };
    const Key g{Note(7), false}, eMinor{Note(4), true}, c{Note(0), false}, aMinor{Note(9), true};
    const Case cases[] = {
        {"(Am)", {2, false, {}}, "(Bm)"},
        {"((Am))", {2, false, {}}, "((Bm))"},
        {"E", {-5, false, {}}, "B"},
        {"E", {7, false, {}}, "B"},
        {"E", {12, false, {}}, "E"},
        // The book's own choice of sharps or flats re-spells every chord.
        {"Bb7", {0, false, {}, 0, true}, "A#7"},
        {"H7", {0, false, {}, 0, true}, "B7"},
        {"Db/F", {0, false, {}, 0, true}, "C#/F"},
        {"C#/F", {0, true, {}, 0, true}, "Db/F"},
        {" G ", {0, false, {}}, "G"},
        // A chord that nothing moves stays as written.
        {"A/G#", {0, true, {}}, "A/G#"},
        {"F#m", {0, true, {}}, "F#m"},
        {"H7", {0, false, {}}, "H7"},
        {" (Bb/Ab) ", {12, false, {}}, "(Bb/Ab)"},
        // Moved, a chord takes the target key's spelling; pitches flipped from it take the other.
        {"Db/F", {-3, false, {}}, "A#/D"},
        {"Db/F", {-3, false, {}, 1 << 10}, "Bb/D"},
        {"Eb7/Bb", {2, true, {}, 1 << 5}, "F7/C"},
        {"Eb7/Db", {2, false, {}, 1 << 3}, "F7/Eb"},
        // German names: Es and As move, B is B♭ and H is B, and they are named so again.
        {"Es", {2, false, {}, 0, false, true}, "F"},
        {"As", {2, true, {}, 0, false, true}, "B"},
        {"B7", {2, false, {}, 0, false, true}, "C7"},
        {"H", {-1, true, {}, 0, false, true}, "B"},
        {"Ami/G", {-2, true, {}, 0, false, true}, "Gmi/F"},
        {"C", {3, true, {}, 0, false, true}, "Es"},
        {"C/E", {-1, true, {}, 0, false, true}, "H/Es"},
        {"Fis", {2, false, {}}, "G#"},
        {"Asus4", {2, false, {}}, "Bsus4"},
        {"C", {0, false, g}, "4"},
        {"Em7", {0, false, g}, "6m7"},
        {"D/F#", {0, false, g}, "5/7"},
        {"Em", {0, false, eMinor}, "6m"},
        {"Am", {0, false, c}, "6m"},
        {"Am", {0, false, aMinor}, "6m"},
        {"Eb", {0, false, c}, "b3"},
        {"N.C.", {3, false, {}}, "N.C."},
        {"()", {3, false, {}}, "()"},
        {"(())", {3, false, {}}, "(())"},
        {"|", {3, false, {}}, "|"},
        {"Riff", {3, false, {}}, "Riff"},
    };
    for (const auto& k : cases) EXPECT_EQ(k.style.render(k.text), k.expected) << k.text;
}

TEST(ChordStyle, DeeplyNestedParenthesesDoNotExhaustTheStack)
{
    constexpr std::size_t depth = 100000;
    std::string text = std::string(depth, '(') + "Am" + std::string(depth, ')');
    std::string out = ChordStyle{2, false, {}}.render(text);
    EXPECT_EQ(out, std::string(depth, '(') + "Bm" + std::string(depth, ')'));
}

TEST(Accidental, PrettyTurnsAccidentalsIntoSigns)
{
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"Bb", "B♭"},         {"Ebm7", "E♭m7"},     {"C7b9", "C7♭9"}, {"Am7b5", "Am7♭5"}, {"A7(b9)", "A7(♭9)"},
        {"C/Bb", "C/B♭"},     {"F#", "F♯"},         {"b5", "♭5"},     {"Cmb5", "Cmb5"},   {"sub", "sub"},
        {"b", "b"},           {"", ""},             {"#4", "♯4"},     {"b3", "♭3"},       {"Key: Bb", "Key: B♭"},
        {"7b9b13", "7♭9♭13"},
    };
    for (const auto& c : cases) EXPECT_EQ(Accidental::pretty(c.text), c.expected) << c.text;
}

TEST(Accidentals, StringFormsAndTitles)
{
    ASSERT_EQ(allCases<Accidentals>.size(), 3u);
    const char* names[] = {"auto", "sharps", "flats"};
    const char* titles[] = {"By key", "Sharps (♯)", "Flats (♭)"};
    for (std::size_t i = 0; i < 3; ++i) {
        Accidentals a = allCases<Accidentals>[i];
        EXPECT_EQ(toString(a), names[i]);
        EXPECT_EQ(title(a), titles[i]);
        EXPECT_EQ(fromString<Accidentals>(names[i]), a);
    }
    EXPECT_FALSE(fromString<Accidentals>("Auto"));
}
