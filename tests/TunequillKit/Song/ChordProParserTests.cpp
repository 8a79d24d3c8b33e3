#include "TunequillKit/Song/ChordProParser.h"

#include <gtest/gtest.h>

using namespace TunequillKit;

namespace {

Song parse(std::string_view text) { return ChordProParser::parse(text); }

std::vector<SectionKind> kinds(const Song& song)
{
    std::vector<SectionKind> out;
    for (const auto& s : song.sections) out.push_back(s.kind);
    return out;
}

Line lyric(std::optional<std::string> chord, std::string text) { return Line::lyrics({Segment{std::move(chord), std::move(text)}}); }

} // namespace

TEST(ChordProParser, EmptyTextGivesAnEmptySong)
{
    EXPECT_EQ(parse(""), Song{});
    EXPECT_EQ(parse("\n\n\r\n"), Song{});
}

TEST(ChordProParser, ALeadingByteOrderMarkIsNoPartOfTheFirstLine)
{
    for (std::string_view text : {"{title: Amazing}\nWords", "{soc}\nla\n{eoc}", "# note\nWords", "Words\r\nmore"}) {
        const Song plain = parse(text);
        EXPECT_EQ(parse("\uFEFF" + std::string(text)), plain) << text;
        EXPECT_FALSE(plain.sections.empty() && plain.title.empty()) << text;
    }
}

TEST(ChordProParser, ParagraphsOfPlainLyricsBecomeUnlabelledVerses)
{
    Song song = parse("one\r\ntwo\r\rthree\n\n\nfour\n");
    ASSERT_EQ(kinds(song), (std::vector{SectionKind::verse, SectionKind::verse, SectionKind::verse}));
    EXPECT_EQ(song.sections[0].lines, (std::vector{lyric({}, "one"), lyric({}, "two")}));
    EXPECT_FALSE(song.sections[0].label);
    EXPECT_EQ(song.sections[2].lines, std::vector{lyric({}, "four")});
    EXPECT_TRUE(song.warnings.empty());
}

TEST(ChordProParser, BlocksKeepInnerBlanksAndDropOuterOnes)
{
    Song song = parse("{soc}\n\nla\n\nlo\n\n{eoc}\n{soc}\n{eoc}\n{start_of_chorus: label=\"Refrain\"}\nx\n{soc: Refrain}\ny\n");
    ASSERT_EQ(kinds(song), (std::vector{SectionKind::chorus, SectionKind::chorus, SectionKind::chorus}));
    EXPECT_EQ(song.sections[0].lines, (std::vector{lyric({}, "la"), Line::blank(), lyric({}, "lo")}));
    EXPECT_FALSE(song.sections[0].label);
    EXPECT_EQ(song.sections[1].label, "Refrain");
    EXPECT_EQ(song.sections[2].label, "Refrain");
}

TEST(ChordProParser, MarkersCommentsAndSectionBoundaries)
{
    Song song = parse("{c: Slowly}\n{ci: Softer}\n{gc: Intro:}\nWords\n{chorus: Refrain}\n{np}\n{sov}\na\n{chorus}\nb\n"
                      "{colb}\n{start_of_verse}\n{cb: inside}\n{guitar_comment: Tag}\n");
    ASSERT_EQ(kinds(song), (std::vector{SectionKind::comment, SectionKind::verse, SectionKind::chorusRecall,
                                        SectionKind::pageBreak, SectionKind::verse, SectionKind::chorusRecall,
                                        SectionKind::verse, SectionKind::columnBreak, SectionKind::verse}));
    EXPECT_EQ(song.sections[0].lines, (std::vector{Line::comment("Slowly", CommentStyle::normal),
                                                   Line::comment("Softer", CommentStyle::italic),
                                                   Line::comment("Intro:", CommentStyle::normal)}));
    EXPECT_EQ(song.sections[2].label, "Refrain");
    EXPECT_TRUE(song.sections[2].lines.empty());
    EXPECT_FALSE(song.sections[5].label);
    // After a marker inside a block the block stays open and b opens a fresh verse.
    EXPECT_EQ(song.sections[6].lines, std::vector{lyric({}, "b")});
    EXPECT_EQ(song.sections[8].lines, (std::vector{Line::comment("inside", CommentStyle::boxed),
                                                   Line::comment("Tag", CommentStyle::normal)}));
}

TEST(ChordProParser, TabBlocksKeepLinesVerbatim)
{
    Song song = parse("{sot: Intro}\n\n  e|--0--|\n\tB|-1-|\n\n{key: G}\n{eot}\n# a source comment\n  # sung\n");
    ASSERT_EQ(kinds(song), (std::vector{SectionKind::tab, SectionKind::verse}));
    EXPECT_EQ(song.sections[0].label, "Intro");
    EXPECT_EQ(song.sections[0].lines, (std::vector{Line::blank(), Line::tab("  e|--0--|"), Line::tab("    B|-1-|")}));
    EXPECT_EQ(song.key, (Key{Note(7), false}));
    EXPECT_EQ(song.sections[1].lines, std::vector{lyric({}, "  # sung")});
}

TEST(ChordProParser, MetadataDirectives)
{
    Song song = parse("{Title: X}\n{title-en: Y}\n{st: Sub}\n{subtitle}\n{artist:A}\n{composer C}\n{lyricist :L}\n"
                      "{copyright: 1900}\n{album: Al}\n{year: 1901}\n{tempo: 80}\n{time: 3/4}\n{duration: 3:00}\n"
                      "{sorttitle: Z}\n{meta: Arranger Someone  Else}\n{meta: artist}\n{meta: key Bb}\n{meta: capo 15}\n"
                      "{meta: year 1902}\n{x_custom: 1}\n{textfont: Times}\n{chordcolour: red}\n{columns: 2}\n");
    EXPECT_EQ(song.title, "Y");
    EXPECT_EQ(song.subtitles, std::vector<std::string>{"Sub"});
    EXPECT_EQ(song.artists, (std::vector<std::string>{"A", ""}));
    EXPECT_EQ(song.composers, std::vector<std::string>{"C"});
    EXPECT_EQ(song.lyricists, std::vector<std::string>{"L"});
    EXPECT_EQ(song.copyright, "1900");
    EXPECT_EQ(song.album, "Al");
    EXPECT_EQ(song.year, "1901");
    EXPECT_EQ(song.tempo, "80");
    EXPECT_EQ(song.time, "3/4");
    EXPECT_EQ(song.key, (Key{Note(10), false}));
    EXPECT_EQ(song.capo, 15);
    EXPECT_EQ(song.meta, (std::map<std::string, std::string>{
                             {"duration", "3:00"}, {"sorttitle", "Z"}, {"arranger", "Someone  Else"}, {"year", "1902"}}));
    EXPECT_TRUE(song.warnings.empty()) << song.warnings.front();
    EXPECT_TRUE(song.sections.empty());
}

TEST(ChordProParser, WarningsNameTheLineAndQuoteTheValue)
{
    struct Case {
        const char* text;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"{foo}", {"Line 1: ignored the unknown directive {foo}."}},
        {"\n{key: Q}", {"Line 2: couldn’t read the key “Q”."}},
        {"{capo: 13}", {"Line 1: couldn’t read the capo “13”."}},
        {"{capo: 99999999999999999999999}", {"Line 1: couldn’t read the capo “99999999999999999999999”."}},
        // Frets without keywords that fit no six strings are skipped quietly;
        // words where frets should be are still refused.
        {"{define: G 3 2 0 0 0 3}", {}},
        {"{define: G 3 2 open 0 0 3}", {"Line 1: couldn’t read the chord definition “G 3 2 open 0 0 3”."}},
        {"{define: G}", {"Line 1: couldn’t read the chord definition “G”."}},
        {"{gc: Intro:}\n{guitar_comment: Tag}\n{highlight: Loud}", {}},
        {"{chord: G}", {}},
        {"{key:}\n{capo}", {}},
        {"a\n\n{start_of_abc}\nX:1\n{end_of_abc}\n{foo-bar}",
         {"Line 3: skipped a {start_of_abc} block (not printed).", "Line 6: ignored the unknown directive {foo}."}},
        {"a\n\n{start_of_abc}\n{title: lost}\n", {"Line 3: skipped a {start_of_abc} block (not printed).",
                                                   "A {start_of_abc} block has no end."}},
        {"{}\n{1x}", {}},
        {"{+settings.transcode:nashville}", {"Line 1: ignored the unknown directive {+settings.transcode}."}},
        {"{start_of_textblock}\nShe died\n{end_of_textblock}\n{start_of_svg}\n<svg/>\n{end_of_svg}",
         {"Line 4: skipped a {start_of_svg} block (not printed)."}},
    };
    for (const auto& c : cases) EXPECT_EQ(parse(c.text).warnings, c.warnings) << c.text;
}

TEST(ChordProParser, CapoAndKeyReadingRules)
{
    EXPECT_EQ(parse("{capo: 2}\n{capo: 13}").capo, 2);
    EXPECT_EQ(parse("{capo: Capo 3}").capo, 3);
    EXPECT_EQ(parse("{capo: ③}").capo, 0); // a number, but no decimal digit
    EXPECT_EQ(parse("{meta: capo 99999999999999999999}").capo, 0);
    EXPECT_FALSE(parse("{key: G}\n{key: nonsense}").key);
    EXPECT_EQ(parse("{title: A}\nla\n{start_of_abc}\n{title: B}\n{end_of_abc}\n").title, "A");
    EXPECT_EQ(parse("{skipped}\n").warnings.size(), 1u);
}

TEST(ChordProParser, ChordDefinitions)
{
    Song song = parse("{define: G base-fret 1 frets 3 2 0 0 0 3}\n{define: D7 base-fret 0 frets x x 0 2 1 2}\n"
                      "{define: G base-fret 3 frets 1 3 3 2 1 1 fingers 1 3 4 2 1 1}\n"
                      "{chord: Am frets x 0 2 2 1 0}\n{define: E: frets 0 2 2 1 0 0 keys 1 2}\n"
                      "{define: D 0 x x 0 2 3 2}\n{define Bm: 2 x 1 3 3 2 1 x x 3 4 2 1}\n{define: C 1 - 3 2 0 1 0}\n");
    ASSERT_EQ(song.definitions.size(), 7u);
    using Frets = std::vector<std::optional<std::int64_t>>;
    EXPECT_EQ(song.definitions[0], (ChordDefinition{"D7", 1, Frets{{}, {}, 0, 2, 1, 2}, {}}));
    EXPECT_EQ(song.definitions[1], (ChordDefinition{"G", 3, Frets{1, 3, 3, 2, 1, 1}, Frets{1, 3, 4, 2, 1, 1}}));
    EXPECT_EQ(song.definitions[2].name, "Am");
    EXPECT_EQ(song.definitions[3], (ChordDefinition{"E", 1, Frets{0, 2, 2, 1, 0, 0}, {}}));
    // The short form: base fret, six frets, then six fingers when given.
    EXPECT_EQ(song.definitions[4], (ChordDefinition{"D", 1, Frets{{}, {}, 0, 2, 3, 2}, {}}));
    EXPECT_EQ(song.definitions[5], (ChordDefinition{"Bm", 2, Frets{{}, 1, 3, 3, 2, 1}, Frets{{}, {}, 3, 4, 2, 1}}));
    EXPECT_EQ(song.definitions[6], (ChordDefinition{"C", 1, Frets{{}, 3, 2, 0, 1, 0}, {}}));
    EXPECT_TRUE(song.warnings.empty());

    auto huge = ChordProParser::definition("C base-fret 99999999999999999999 frets 0 N -1 +2");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->baseFret, 1);
    EXPECT_EQ(huge->frets, (Frets{0, {}, {}, 2}));
    EXPECT_FALSE(ChordProParser::definition(""));
    EXPECT_FALSE(ChordProParser::definition("G base-fret 2"));

    // Names compare as text does (composed or not); a file of very many
    // definitions, each later one replacing an earlier, stays linear.
    std::string many = "{define: \u00C9 frets 1}\n";
    for (int i = 0; i < 100000; ++i) many += "{define: C" + std::to_string(i % 50000) + " frets " + std::to_string(i) + "}\n";
    many += "{define: E\u0301 frets 2}\n";
    Song big = parse(many);
    ASSERT_EQ(big.definitions.size(), 50001u);
    EXPECT_EQ(big.definitions.front(), (ChordDefinition{"C0", 1, Frets{50000}, {}}));
    EXPECT_EQ(big.definitions.back(), (ChordDefinition{"E\u0301", 1, Frets{2}, {}}));
}

TEST(ChordProParser, DirectiveReader)
{
    struct Case {
        const char* line;
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"{title: A}", "title", "A"}, {"{title:A}", "title", "A"},       {"{title A}", "title", "A"},
        {"{title :A}", "title", "A"}, {"  {NP}  ", "np", ""},            {"{x_my-thing: 1}", "x_my-thing", "1"},
        {"{title-fr: B }", "title", "B"}, {"{ c :: two}", "c", ": two"}, {"{Étude: a}", "étude", "a"},
    };
    for (const auto& c : cases) {
        auto d = ChordProParser::directive(c.line);
        ASSERT_TRUE(d) << c.line;
        EXPECT_EQ(d->name, c.name) << c.line;
        EXPECT_EQ(d->value, c.value) << c.line;
    }
    for (const char* line : {"{}", "{ }", "{1: a}", "title: A}", "{title", "[G]"}) EXPECT_FALSE(ChordProParser::directive(line)) << line;
}

TEST(ChordProParser, SegmentsSplitAtChords)
{
    using Segs = std::vector<Segment>;
    struct Case {
        const char* line;
        Segs expected;
    };
    const Case cases[] = {
        {"One [G]two three [C]four", {{{}, "One "}, {"G", "two three "}, {"C", "four"}}},
        {"[G][C]", {{"G", ""}, {"C", ""}}},
        {"[G]la  ", {{"G", "la"}}},
        {"\\[G\\] \\{x\\}", {{{}, "[G] {x}"}}},
        {"[*Riff] go", {{"Riff", " go"}}},
        {"a[ ]b", {{{}, "a"}, {{}, "b"}}},
        {"[ ]", {}},
        {"a [b", {{{}, "a [b"}}},
        {"a [G] b]", {{{}, "a "}, {"G", " b]"}}},
        {"back\\slash\\", {{{}, "back\\slash\\"}}},
        {"  lead", {{{}, "  lead"}}},
        {"[ Am7 ]x\u3000", {{"Am7", "x"}}},
        {"[G]x \u00A0\u2029\u0085\v", {{"G", "x"}}},
        {"[G]x \u0301 \u200B ", {{"G", "x \u0301 \u200B"}}}, // a mark and a zero-width space are no white space
    };
    for (const auto& c : cases) EXPECT_EQ(ChordProParser::segments(c.line), c.expected) << c.line;
}

TEST(ChordProParser, LabelReader)
{
    EXPECT_EQ(ChordProParser::label("Verse 1"), "Verse 1");
    EXPECT_EQ(ChordProParser::label("label=\"Verse 1\""), "Verse 1");
    EXPECT_EQ(ChordProParser::label("label = \"\""), "");
    EXPECT_EQ(ChordProParser::label("label=Verse"), "label=Verse");
}

TEST(ChordProParser, LongLinesAndManyBracketsStayLinear)
{
    // One line of 200 000 unmatched brackets and one of 100 000 chords.
    std::string open(200000, '[');
    std::string chords;
    for (int i = 0; i < 100000; ++i) chords += "[G]la ";
    Song song = parse(open + "\n" + chords);
    ASSERT_EQ(song.sections.size(), 1u);
    ASSERT_EQ(song.sections[0].lines.size(), 2u);
    EXPECT_EQ(song.sections[0].lines[1].as<Line::Lyrics>()->segments.size(), 100000u);

    // A long run of spaces before a last character that is no ASCII: the
    // trailing-space trim must not rescan the run from each of its spaces.
    std::string spaced = "x" + std::string(200000, ' ') + "\u00E9 \u3000";
    auto segments = ChordProParser::segments(spaced);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].text, spaced.substr(0, spaced.size() - 4));
}

// Only blocks of notation or pictures are skipped: any other block holds words.
TEST(ChordProParser, UnknownBlocksOfWordsPrintAsVerses)
{
    const char* texts[] = {"{start_of_textblock}\nShe died\n{end_of_textblock}", "{start_of_part: Coda}\nShe died",
                           "{+settings.transcode:nashville}\nShe died"};
    for (const char* text : texts)
        EXPECT_EQ(parse(text).sections.at(0).lines, std::vector<Line>{lyric(std::nullopt, "She died")}) << text;
    EXPECT_EQ(parse(texts[1]).sections[0].label, "Coda");
}
