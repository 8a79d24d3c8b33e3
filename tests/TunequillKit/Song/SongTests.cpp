#include "TunequillKit/Song/ChordProParser.h"
#include "TunequillKit/Song/Song.h"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace TunequillKit;

TEST(Song, EffectiveKeyComesFromTheWrittenKeyOrTheFirstChordThatReads)
{
    struct Case {
        const char* text;
        std::optional<Key> key;
    };
    const Case cases[] = {
        {"[Am7]la [C]lo", Key{Note(9), true}},
        {"[Cmaj7]la", Key{Note(0), false}},
        {"[D-7]la", Key{Note(2), true}},
        {"[G/B]la", Key{Note(7), false}},
        {"[(Am)]la [N.C.]lo\n[Ebsus4]x", Key{Note(3), false}},
        {"{sot}\ne|---[G]---|\n{eot}\n{c: [A]}\n[Bbm]la", Key{Note(10), true}},
        {"{key: D}\n[Am]la", Key{Note(2), false}},
        {"[|:] [x2] [X32010]\n[F#m|]la", Key{Note(6), true}}, // marks are passed over, a bar cut off its chord
        {"no chords at all", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ChordProParser::parse(c.text).effectiveKey(), c.key) << c.text;
}

TEST(Song, FirstLineIsTheFirstLyricLineWithALetter)
{
    struct Case {
        const char* text;
        std::optional<std::string> first;
    };
    const Case cases[] = {
        {"[G][C]\n[D]", std::nullopt},
        {"[G]1 2  3\n[C]  Hello [D]there  ", "Hello there"},
        {"{sot}\nA|--Tab words--|\n{eot}\n{c: A remark}\n{sov}\n   [G]Amazing grace", "Amazing grace"},
        {"{title: Only a title}", std::nullopt},
        {"[G]Ça va", "Ça va"},
    };
    for (const auto& c : cases) EXPECT_EQ(ChordProParser::parse(c.text).firstLine(), c.first) << c.text;
}

TEST(Song, ChordTokensAreDistinctInOrderOfFirstUse)
{
    Song song = ChordProParser::parse("[G]a [C]b [G]c [g]d\n{soc}\n[C]e [Am]f\n[E\u0301]x [\u00C9]y");
    EXPECT_EQ(song.chordTokens(), (std::vector<std::string>{"G", "C", "g", "Am", "E\u0301"}));
    // Bars, counts, beats and fingerings in brackets are no chords; a bar written onto a chord is cut off.
    Song marked = ChordProParser::parse("[|:] [G] [F#|] [:| x2]\n[C]la [X32010] [0003] [2x] [(x3)] [%] [/] [||]\n"
                                        "[|Dm] [N.C.] [Am G |] [G:|] [Intro:] [(x100)] [xxxx] [G|C]\n[:| |:] [x] [x?] [12345678]");
    EXPECT_EQ(marked.chordTokens(), (std::vector<std::string>{"G", "F#", "C", "Dm", "N.C.", "Am G |", "Intro:", "(x100)",
                                                              "xxxx", "G|C", "x", "x?", "12345678"}));
}

TEST(Song, DisplayTitleAndStringForms)
{
    EXPECT_EQ(Song{}.displayTitle(), "Untitled song");
    EXPECT_EQ(ChordProParser::parse("{t: Hymn}").displayTitle(), "Hymn");
    EXPECT_FALSE(fromString<SectionKind>("Chorus"));
    EXPECT_EQ(fromString<SectionKind>("chorusRecall"), SectionKind::chorusRecall);
    for (SectionKind k : allCases<SectionKind>) EXPECT_EQ(fromString<SectionKind>(toString(k)), k);
    for (CommentStyle s : allCases<CommentStyle>) EXPECT_EQ(fromString<CommentStyle>(toString(s)), s);
}

TEST(Song, EqualSongsHashAlikeAndDifferentOnesDiffer)
{
    const char* text = "{title: T}\n{key: G}\n{define: G frets 3 2 0 0 0 3}\n{meta: mood calm}\n{c: x}\n[G]la\n\n{sot}\ne|-|\n";
    Song a = ChordProParser::parse(text), b = ChordProParser::parse(text);
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<Song>{}(a), std::hash<Song>{}(b));
    std::unordered_set<Song> set{a, b, ChordProParser::parse("{title: T}\n[G]lo")};
    EXPECT_EQ(set.size(), 2u);
    // A lyric line and a tab line with the same text are different lines.
    EXPECT_NE(Line::tab("x"), Line::lyrics({Segment{std::nullopt, "x"}}));
    EXPECT_NE((Segment{std::nullopt, "x"}), (Segment{"", "x"}));
}
