#include "TunequillKit/Song/SongFile.h"

#include <gtest/gtest.h>

using namespace TunequillKit;

TEST(SongFile, DecodesByteOrderMarksUtf8AndWindows1252)
{
    struct Case {
        Platform::Bytes bytes;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {{0xFF, 0xFE, 0x41, 0x00}, "A"},
        {{0xFE, 0xFF, 0x00, 0x41}, "A"},
        {{0x63, 0x61, 0x66, 0xE9}, "café"},
        {{0x63, 0x61, 0x66, 0xC3, 0xA9}, "café"},
        {{0x93, 0x68, 0x69, 0x94}, "“hi”"},
        {{0xEF, 0xBB, 0xBF, 0x41}, "\uFEFFA"},
        {{0xFF, 0xFE, 0x41}, std::nullopt},       // odd UTF-16 length
        {{0xFF, 0xFE, 0x00, 0xD8}, std::nullopt}, // unpaired surrogate
        {{0xE9, 0x81}, std::nullopt},             // undefined in Windows-1252
        {{}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(SongFile::decode(c.bytes), c.text);
}

TEST(SongFile, ChordProGainsAFallbackTitleWhenItHasNone)
{
    EXPECT_EQ(SongFile::chordPro("\uFEFF{title: X}\n[G]la", "Song"), "{title: X}\n[G]la");
    EXPECT_EQ(SongFile::chordPro("{artist: Y}\n[G]la", "Song"), "{title: Song}\n{artist: Y}\n[G]la");
    EXPECT_EQ(SongFile::chordPro("{artist: Y}\n[G]la", ""), "{artist: Y}\n[G]la");
    EXPECT_EQ(SongFile::chordPro("\uFEFFWords only", "Song"), "{title: Words only}\n");
    EXPECT_EQ(SongFile::chordPro("Words\nmore words", "Song"), "{title: Song}\nWords\nmore words\n");
    auto decoded = SongFile::decode({0xEF, 0xBB, 0xBF, '[', 'G', ']', 'x'});
    ASSERT_TRUE(decoded);
    EXPECT_EQ(SongFile::chordPro(*decoded, "T"), "{title: T}\n[G]x");
}

// A ChordPro file may set chord lines over its lyrics as a plain sheet does:
// their chords are placed over the syllables; everything else stays as written.
TEST(SongFile, ChordLinesInAChordProFileAreMergedIntoTheirLyrics)
{
    struct Case {
        const char* text;
        const char* chordPro;
    };
    const Case cases[] = {
        {"{title: R}\n{soc}\nG     C\nCarry me over\n{eoc}\nD  G\n",
         "{title: R}\n{soc}\n[G]Carry [C]me over\n{eoc}\n[D]   [G]\n"},
        {"{title: R}\nG\nE------\n  Am\n{c: soft}\n", "{title: R}\n[G]\nE------\n  [Am]\n{c: soft}\n"},
        {"{title: R}\r\n[G]la\r\nAm I wrong\r\n", "{title: R}\r\n[G]la\r\nAm I wrong\r\n"}, // kept byte for byte
        {"{title: R}\n{sot}\n  G\nE|--0--|\n{eot}\n", "{title: R}\n{sot}\n  G\nE|--0--|\n{eot}\n"},
        {"{title: R}\nG\n[C]la\n", "{title: R}\n[G]\n[C]la\n"},
        // Strings of tablature outside a tab block are set as one; a verse round them goes on after them.
        {"{title: R}\n  G\n 1\ne|--0--| let ring\nB|--1=3--|\nla\n",
         "{title: R}\n  [G]\n{start_of_tab}\n 1\ne|--0--| let ring\nB|--1=3--|\n{end_of_tab}\nla\n"},
        {"{title: R}\nE|--0--|\nA|--2--|\n", "{title: R}\n{start_of_tab}\nE|--0--|\nA|--2--|\n{end_of_tab}\n"},
        {"{title: R}\n 1\n PM- -|\nE|--0--|\nA|--2--|\n  h p\nla\n",
         "{title: R}\n{start_of_tab}\n 1\n PM- -|\nE|--0--|\nA|--2--|\n  h p\n{end_of_tab}\nla\n"},
        {"{title: R}\n{sov: V}\n[G]la\ne|--0--|\nB|--1--|\nla\n{eov}\n",
         "{title: R}\n{sov: V}\n[G]la\n{end_of_verse}\n{start_of_tab}\ne|--0--|\nB|--1--|\n{end_of_tab}\n"
         "{start_of_verse}\nla\n{eov}\n"},
        {"{title: R}\nInterlude: A#m7  D\n", "{title: R}\n{comment: Interlude:}\n[A#m7]      [D]\n"},
        {"{title: R}\nG  C  (x2)\nla la\n", "{title: R}\n[G]la [C]la\n{comment: (x2)}\n"},
        // A chord website's marks are taken out; its chords stand where the site shows them.
        {"[ch]G[/ch]    [ch]Bmaj7[/ch]\nsome words here\n", "{title: F}\n[G]some [Bmaj7]words here\n"},
        {"{title: R}\n[tab][ch]D[/ch]  [ch]A7[/ch]\nla la la[/tab]\n", "{title: R}\n[D]la [A7]la la\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(SongFile::chordPro(c.text, "F"), c.chordPro) << c.text;
}

TEST(SongFile, DetectsTheFormatLineByLine)
{
    struct Case {
        const char* text;
        SongFormat format;
    };
    const Case cases[] = {
        {"[Verse 1]\nla la\n[Chorus]\nlo lo", SongFormat::plainText},
        {"Intro\n[G]Words", SongFormat::chordPro},
        {"I [really] mean it", SongFormat::plainText},
        {"I [G]really [Bb/D]mean it", SongFormat::chordPro},
        {"[G] and [word]", SongFormat::plainText},
        {"words\r  {title: T}  \r", SongFormat::chordPro},
        {"words\u2028{c: x}", SongFormat::chordPro},
        {"{}\n{1 x}", SongFormat::plainText},
        {"G  C\nwords", SongFormat::plainText},
        // Bars and counts in brackets go with the chords, and alone decide nothing.
        {"[|:] [G] [C|] [x2]\nla", SongFormat::chordPro},
        {"[|] [x2]\n[G] [word]", SongFormat::plainText},
        {"", SongFormat::plainText},
    };
    for (const auto& c : cases) EXPECT_EQ(detectSongFormat(c.text), c.format) << c.text;
    EXPECT_EQ(songFileExtensions.front(), "cho");
    EXPECT_EQ(songFileExtensions.back(), "text");
    EXPECT_EQ(fromString<SongFormat>("plainText"), SongFormat::plainText);
    EXPECT_FALSE(fromString<SongFormat>("PlainText"));
}
