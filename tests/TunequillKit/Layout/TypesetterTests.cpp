#include "FakeMeasurer.h"
#include "Platform/Text.h"
#include "TunequillKit/Layout/Typesetter.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace TunequillKit;
using TunequillKit::Testing::fakeMeasurer;

namespace {

PreparedSong prepare(const char* source, std::int64_t transpose = 0, bool nashville = false)
{
    return PreparedSong(ChordProParser::parse(source), transpose, std::nullopt, Accidentals::automatic, nashville);
}

Typesetter setter(double width = 400, BookSettings settings = {}) { return Typesetter(settings, fakeMeasurer(), width); }

std::vector<Row> lyrics(const Typesetter& t, const char* line, double width = 400)
{
    Song song = ChordProParser::parse(line);
    return t.lyricRows(song.sections.at(0).lines.at(0).as<Line::Lyrics>()->segments, ChordStyle{}, false, width);
}

std::vector<BlockKind> kinds(const std::vector<Block>& blocks)
{
    std::vector<BlockKind> out;
    for (const Block& b : blocks) out.push_back(b.kind);
    return out;
}

} // namespace

TEST(Typesetter, SizesFollowTheFontSize)
{
    Typesetter::Sizes at18 = Typesetter::sizesFor(18);
    EXPECT_EQ(at18, (Typesetter::Sizes{18, 26, 13, 12, 15, 7, 15, 18, 16, 5, 22, 50, 16, 14}));
    Typesetter::Sizes at16 = Typesetter::sizesFor(16);
    EXPECT_EQ(at16.subtitle, 12);
    EXPECT_EQ(at16.label, 11);
    EXPECT_EQ(at16.tab, 16);
    // The floors only bind below the book's range.
    Typesetter::Sizes at10 = Typesetter::sizesFor(10);
    EXPECT_EQ(at10.subtitle, 11);
    EXPECT_EQ(at10.label, 10);
    EXPECT_EQ(at10.tab, 10);
    EXPECT_EQ(Typesetter::sizesFor(8).tab, 9);
    EXPECT_EQ(at10.diagramNameSize, 10);
}

TEST(Typesetter, LyricRowHeightsAndBaselines)
{
    Typesetter t = setter();
    struct Case {
        const char* line;
        double height;
        std::optional<double> lyricBaseline, chordBaseline;
    };
    const Case cases[] = {
        {"[G]Amazing grace", 39, 34, 14},
        {"Amazing grace", 22, 17, std::nullopt},
        {"[G] [C]  [D]", 22, std::nullopt, 14},
        {"[]", 22, std::nullopt, std::nullopt},
        // A line of chords and marks is a grid: its bars and counts stand among the chords.
        {"[|] [G] [/] [C] [|] [x2]", 22, std::nullopt, 14},
        {"[G] | [C] / / |  %", 22, std::nullopt, 14},
        {"[G]la | lo", 39, 34, 14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<Row> rows = lyrics(t, c.line);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].height, c.height);
        for (const TunequillKit::Run& run : rows[0].runs) {
            bool chord = run.font.size == 15;
            EXPECT_EQ(run.baseline, chord ? c.chordBaseline : c.lyricBaseline) << run.text;
        }
    }
    EXPECT_TRUE(lyrics(t, "[]")[0].runs.empty());
}

TEST(Typesetter, ChordsPushLaterChordsAndTheirSyllables)
{
    // Chord letters are 7.5 wide at 15 pt, lyric letters 9 at 18 pt; the chord gap is 7.
    std::vector<Row> rows = lyrics(setter(), "[Am]a[Cmaj7]b c");
    ASSERT_EQ(rows.size(), 1u);
    const std::vector<TunequillKit::Run>& runs = rows[0].runs;
    ASSERT_EQ(runs.size(), 6u);
    EXPECT_EQ(runs[0].text, "Am");
    EXPECT_EQ(runs[0].x, 0);
    EXPECT_EQ(runs[0].ink, Ink::chord);
    EXPECT_EQ(runs[1].text, "a");
    EXPECT_EQ(runs[2].text, "-"); // joins the syllables pushed apart
    EXPECT_EQ(runs[3].text, "Cmaj7");
    EXPECT_EQ(runs[3].x, 15 + 7);
    EXPECT_EQ(runs[4].text, "b");
    EXPECT_EQ(runs[4].x, 22); // moved right with its chord, leaving a gap after "a"
    EXPECT_EQ(runs[5].text, "c");
    EXPECT_EQ(runs[5].x, 22 + 18); // "b " advanced the pen by two letters

    BookSettings plain;
    plain.chordsInColor = false;
    EXPECT_EQ(lyrics(setter(400, plain), "[Bb]la")[0].runs[0].ink, Ink::text);
    // As written when nothing moves it, printed with the signs.
    EXPECT_EQ(lyrics(setter(), "[Bb]la")[0].runs[0].text, "B\u266D");

    // Marks in a chord's brackets are printed as written, in the lyrics' ink, after the chord
    // (a gap on) or where it would stand; only the chord is moved. Up 2, or numbered in D.
    struct Case {
        const char* line;
        bool nashville;
        std::vector<std::pair<std::string, double>> chords, marks; // text and x of each
    };
    const Case cases[] = {
        {"[F#|]la", false, {{"G\u266F", 0}}, {{"|", 15 + 7}}},
        {"[F#|]la", true, {{"3", 0}}, {{"|", 7.5 + 7}}},
        {"[Es|]la", false, {{"F", 0}}, {{"|", 7.5 + 7}}},
        {"[|: G]la [x2]", false, {{"A", 15 + 7}}, {{"|:", 0}, {"x2", 22 + 27}}},
        {"[C x32010]la", false, {{"D", 0}}, {{"x32010", 7.5 + 7}}},
        {"[X32010] [0003] [%] [/] [:||]", false, {}, {{"X32010", 0}, {"0003", 45 + 7}, {"%", 52 + 30 + 7}, {"/", 103.5}, {":||", 118}}},
        {"[N.C.]la [Am G |]lo", false, {{"N.C.", 0}, {"Am G |", 37}}, {}},
        {"[G]| [C] /", false, {{"A", 0}, {"D", 29}}, {{"|", 14.5}, {"/", 43.5}}}, // bars written as text in a grid
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ChordStyle style{2, false, std::nullopt};
        if (c.nashville) style = ChordStyle{0, false, Key{Note(2), false}};
        Song song = ChordProParser::parse(c.line);
        std::vector<Row> rows =
            setter().lyricRows(song.sections.at(0).lines.at(0).as<Line::Lyrics>()->segments, style, false, 400);
        ASSERT_EQ(rows.size(), 1u);
        std::vector<std::pair<std::string, double>> chords, marks;
        for (const TunequillKit::Run& run : rows[0].runs) {
            if (run.baseline != 14) continue;
            (run.ink == Ink::chord ? chords : marks).emplace_back(run.text, run.x);
        }
        EXPECT_EQ(chords, c.chords);
        EXPECT_EQ(marks, c.marks);
        for (const TunequillKit::Run& run : rows[0].runs)
            if (run.text == "la") EXPECT_EQ(run.x, c.chords.empty() ? 0 : c.chords[0].second); // under its chord
    }
}

TEST(Typesetter, WrappedWordsStartAtTheWrapIndentWhole)
{
    // 9 points a letter: "one two " fills 72; "thr[D]ee" does not fit in 90.
    std::vector<Row> rows = lyrics(setter(), "one two thr[D]ee", 90);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text(), "one two");
    ASSERT_EQ(rows[1].runs.size(), 3u);
    EXPECT_EQ(rows[1].runs[0].text, "thr");
    EXPECT_EQ(rows[1].runs[0].x, 22);
    EXPECT_EQ(rows[1].runs[1].text, "D");
    EXPECT_EQ(rows[1].runs[1].x, 22 + 27); // still over its syllable
    EXPECT_EQ(rows[1].runs[2].x, 22 + 27);

}

// A chord that pushes the syllables of one word apart leaves a hyphen between
// them, with room for it; a gap too narrow to read as a space gets none.
TEST(Typesetter, SyllablesPushedApartAreJoinedByAHyphen)
{
    struct Case {
        const char* line;
        std::optional<double> hyphenX;
        double lastX; // of the last syllable
    };
    const Case cases[] = {
        {"[Am]a[Cmaj7]b", 11, 22},        {"[Gm]ab[C]c", 18, 27}, // a 4-point gap widened to the hyphen's 9
        {"[Am7]abc[C]d", {}, 29.5},       {"[Cmaj7]a [G]b", {}, 44.5}, // two words
        // Cmaj7 and its gap take 44.5, pushing what follows it there.
        {"[Cmaj7]ž[Ami]ít", 22.25, 44.5}, {"[D]lo[G][Cmaj7]ve", 20.75, 32.5}, // past a chord without a syllable
        // Never before punctuation, nor beside a hyphen the writer put in the word.
        {"[Gmaj7]řádi[Ami],", {}, 44.5},  {"[Cmaj7]lov-[G7]in", {}, 44.5},  {"[Cmaj7]lov[G7]-in", {}, 44.5},
        {"[Dmaj7]I-y[A]i-yi-[E]yi'm", {}, 89.5}, {"[Fmaj7]a\u2011b[C]c", {}, 44.5},
        {"[Fmaj7]ú\u2010b[C]c", {}, 44.5},
        {"[Emaj7]¿[Am]Dónde", {}, 44.5},  {"[Gmaj7]l\u2019[C]amour", {}, 44.5}, {"[Cmaj7]«[F]Adieu»", {}, 44.5},
        {"[Cmaj7]Hal[G7]lo!", 31.25, 44.5}, {"[Amaj7]noc[D]y", 31.25, 44.5}, {"[Dmaj7]Grü[A]ße", 31.25, 44.5},
        {"[Emaj7]¡[Am]Ven", {}, 44.5},
        // Syllables the writer parted with a spaced hyphen keep it alone; none is added beside it.
        {"[Fmaj7]You a - [G7]lone", 54, 72}, {"You [Fmaj7]a - [G7]lone", 54, 80.5},
    };
    for (const Case& c : cases) {
        const std::vector<TunequillKit::Run> runs = lyrics(setter(), c.line).at(0).runs;
        auto hyphen = std::find_if(runs.begin(), runs.end(), [](const auto& r) { return r.text == "-"; });
        EXPECT_EQ(hyphen == runs.end() ? std::nullopt : std::optional<double>(hyphen->x), c.hyphenX) << c.line;
        EXPECT_EQ(runs.back().x, c.lastX) << c.line;
        EXPECT_LE(std::count_if(runs.begin(), runs.end(), [](const auto& r) { return r.text == "-"; }), 1) << c.line;
    }
}

// Blanks at a wrap are dropped: the next word starts at the wrap indent, and
// nothing is drawn past the column.
TEST(Typesetter, RunsOfBlanksWrapLikeOneBlank)
{
    for (const char* line : {"one  two  six", "    ab  cd  ef"}) {
        std::vector<Row> rows = lyrics(setter(), line, 60);
        ASSERT_EQ(rows.size(), 3u) << line;
        for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i].runs.at(0).x, 22) << line;
    }
}

// Text past the column's edge would be cut off the page: a word wider than the
// whole line is broken, at a chord first, else between characters.
TEST(Typesetter, AWordWiderThanTheLineBreaksOverAsManyLinesAsItNeeds)
{
    // 38 points from the wrap indent to the edge hold four letters.
    std::vector<Row> wide = lyrics(setter(), "a supercalifragilistic b", 60);
    std::vector<std::string> texts;
    for (const Row& row : wide) texts.push_back(row.text());
    EXPECT_EQ(texts, (std::vector<std::string>{"a", "supe", "rcal", "ifra", "gili", "stic", "b"}));
    for (std::size_t i = 1; i < wide.size(); ++i) EXPECT_EQ(wide[i].runs.at(0).x, 22) << i;

    // The atom after the chord starts the next line, its chord over it.
    std::vector<Row> chorded = lyrics(setter(), "[C]abc[G]defghijk", 60);
    ASSERT_EQ(chorded.size(), 3u);
    EXPECT_EQ(chorded[0].text(), "C abc");
    ASSERT_EQ(chorded[1].runs.size(), 2u);
    EXPECT_EQ(chorded[1].runs[0].text, "G");
    EXPECT_EQ(chorded[1].runs[1].text, "defg");
    EXPECT_EQ(chorded[1].runs[0].x, 22);
    EXPECT_EQ(chorded[1].runs[1].x, 22);
    EXPECT_EQ(chorded[2].text(), "hijk");
    EXPECT_EQ(chorded[2].runs[0].x, 22);
    for (const auto& rows : {wide, chorded})
        for (const Row& row : rows)
            for (const TunequillKit::Run& run : row.runs)
                EXPECT_LE(run.x + 0.5 * run.font.size * Platform::Text::characterCount(run.text), 60) << run.text;

    // Where not even one letter fits beside the wrap indent, nothing is cut.
    EXPECT_EQ(lyrics(setter(), "a supercalifragilistic", 30).at(1).text(), "supercalifragilistic");
}

TEST(Typesetter, HeaderRows)
{
    std::vector<Block> blocks = setter().blocks(
        prepare("{title: Hymn}\n{subtitle: Old tune}\n{artist: A}\n{artist: B}\n{composer: B}\n{composer: C}\n"
                "{lyricist: C}\n{lyricist: D}\n{key: Bb}\n{tempo: 96}\nla"));
    const Block& header = blocks.at(0);
    EXPECT_EQ(header.kind, BlockKind::header);
    EXPECT_TRUE(header.keepWithNext);
    EXPECT_EQ(header.spaceAfter, 5);
    ASSERT_EQ(header.rows.size(), 5u);
    EXPECT_EQ(header.rows[0].text(), "Hymn");
    EXPECT_EQ(header.rows[0].height, 31);
    EXPECT_EQ(header.rows[0].runs[0].baseline, 25);
    EXPECT_EQ(header.rows[1].text(), "Old tune");
    EXPECT_EQ(header.rows[2].text(), "A, B, C, D");
    EXPECT_EQ(header.rows[2].runs[0].ink, Ink::muted);
    EXPECT_EQ(header.rows[3].text(), "Key of B\u266D \u00B7 96 bpm");
    EXPECT_EQ(header.rows[3].runs[0].ink, Ink::accent);
    EXPECT_EQ(header.rows[3].height, 18);
    EXPECT_EQ(header.rows[4].height, 9);
    EXPECT_EQ(header.rows[4].marks, std::vector<Mark>{Mark::rule({0, 4}, {400, 4})});

    std::vector<Block> untitled = setter().blocks(prepare("la"));
    ASSERT_EQ(untitled[0].rows.size(), 2u);
    EXPECT_EQ(untitled[0].rows[0].text(), "Untitled song");

    // A long title wraps at the column width.
    EXPECT_EQ(setter(100).blocks(prepare("{title: One two three four}"))[0].rows.size(), 4u);
}

TEST(Typesetter, SectionsLabelsAndChoruses)
{
    std::vector<Block> blocks =
        setter().blocks(prepare("{start_of_verse: Verse 1}\nla\n\nlo\n{end_of_verse}\n{soc}\n[G]sing\n{eoc}"));
    ASSERT_EQ(kinds(blocks), (std::vector<BlockKind>{BlockKind::header, BlockKind::section, BlockKind::chorus}));
    const Block& verse = blocks[1];
    EXPECT_EQ(verse.rows[0].text(), "VERSE 1");
    EXPECT_EQ(verse.rows[0].height, 16);
    EXPECT_EQ(verse.rows[2].height, 9); // the blank line
    EXPECT_FALSE(verse.barX);
    EXPECT_EQ(verse.spaceAfter, 14);
    const Block& chorus = blocks[2];
    EXPECT_EQ(chorus.barX, 5);
    EXPECT_EQ(chorus.rows[0].indent, 16);
    EXPECT_TRUE(chorus.rows[0].runs[1].font.bold);

    BookSettings light;
    light.boldChorus = false;
    EXPECT_FALSE(setter(400, light).blocks(prepare("{soc}\nsing\n{eoc}"))[1].rows[0].runs[0].font.bold);
}

TEST(Typesetter, CommentRows)
{
    std::vector<Block> blocks = setter(120).blocks(prepare("{c: one two}\n{ci: one two}\n{cb: aa bb cc dd ee ff}"));
    const Block& comments = blocks.at(1);
    EXPECT_EQ(comments.kind, BlockKind::comment);
    EXPECT_TRUE(comments.keepWithNext);
    // Normal and italic print alike; the boxed one wraps at 120 − 8 and is upright.
    ASSERT_EQ(comments.rows.size(), 4u);
    EXPECT_EQ(comments.rows[0].runs, comments.rows[1].runs);
    EXPECT_TRUE(comments.rows[0].runs[0].font.italic);
    EXPECT_EQ(comments.rows[0].height, 20);
    const Row& boxed = comments.rows[2];
    EXPECT_FALSE(boxed.runs[0].font.italic);
    EXPECT_EQ(boxed.runs[0].x, 4);
    EXPECT_EQ(boxed.text(), "aa bb cc dd ee");
    EXPECT_EQ(boxed.marks, std::vector<Mark>{Mark::box({0, 1, 14 * 7.5 + 8, 1.3 * 15 - 2})});
    EXPECT_EQ(comments.rows[3].marks.size(), 1u);
}

// A remark of chords moves with the song's chords; a remark of words stays.
TEST(Typesetter, CommentsOfChordsMoveWithTheChords)
{
    struct Case {
        const char* text;
        ChordStyle style;
        const char* expected;
    };
    const ChordStyle up2{2, false, {}}, down1Flats{-1, true, {}}, germanUp2{2, true, {}, 0, false, true};
    const Case cases[] = {
        {"Intro: G#m7 | E | B", down1Flats, "Intro: Gm7 | E\u266D | B\u266D"},
        {"Am G (x2)", up2, "Bm A (x2)"},
        {"Verse two chords: C  F/A", up2, "Verse two chords: D  G/B"},
        {"|: (Em) D :| x3", up2, "|: (F\u266Fm) E :| x3"},
        {"Es As B", germanUp2, "F B C"},
        {"Play A softly", up2, "Play A softly"},
        {"A cappella", up2, "A cappella"},
        {"Intro:", up2, "Intro:"},
        {"x2", up2, "x2"},
        {"Capo two then G", up2, "Capo two then G"},
        {"Sing it slowly, then: G", up2, "Sing it slowly, then: G"}, // a sentence, no label
        {"G#m7 E", ChordStyle{}, "G#m7 E"},
        {"G#m7 E", ChordStyle{12, true, {}}, "G#m7 E"},
    };
    for (const Case& c : cases) EXPECT_EQ(Typesetter::chordLine(c.text, c.style), c.expected) << c.text;
    // A grid's line keeps its columns: a longer name takes blanks (one stays), a shorter one is padded.
    const Case grids[] = {
        {"| Bb . . | Eb  . | F7 |", up2, "| C  . . | F   . | G7 |"},
        {"| C . | D . |", down1Flats, "| B . | D\u266D . |"},
        {"|: Am  G :| x2", ChordStyle{1, false, {}}, "|: A\u266Fm G\u266F :| x2"},
        {"|:Bb . F7:|", up2, "|:C  . G7:|"},
        {"   A5      D5", up2, "   B5      E5"},
        {"| Bb . . |", ChordStyle{}, "| B\u266D . . |"}, // unmoved, spelled for print
        {"e|--3--5--|  ", up2, "e|--3--5--|  "},
        {"1   2   3", up2, "1   2   3"},         {"|------|------|  ", up2, "|------|------|  "},
        {"| D . | let ring", up2, "| D . | let ring"},
    };
    for (const Case& c : grids) EXPECT_EQ(Typesetter::chordLine(c.text, c.style, true), c.expected) << c.text;
    // Grid blocks, chord names over strings and bars written as text in a verse all move.
    std::vector<Block> grid = setter().blocks(
        prepare("{key: G}\n{sog}\n| G . | D7 . |\n{eog}\n{sov}\n| G . . | C . . |\n{sot}\n  Em\n{eot}\n{eov}\n"
                "{sov}\nA - A\n{eov}",
                2));
    EXPECT_EQ(grid.at(1).rows.at(0).text(), "| A . | E7 . |");
    EXPECT_EQ(grid.at(2).rows.at(0).text(), "| A . . | D . . |");
    EXPECT_EQ(grid.at(3).rows.at(0).text(), "  F\u266Fm");
    EXPECT_EQ(grid.at(4).rows.at(0).text(), "A - A"); // a sung line, no bars
    // Both ways a remark is printed: on its own and inside a verse.
    std::vector<Block> blocks = setter().blocks(prepare("{key: C}\n{c: Intro: C G}\n{sov}\n[C]la\n{c: Tag: F}\n{eov}", 2));
    EXPECT_EQ(blocks.at(1).rows.at(0).text(), "Intro: D A");
    EXPECT_EQ(blocks.at(2).rows.back().text(), "Tag: G");
}

TEST(Typesetter, TabsShrinkToFitInTenths)
{
    // 40 characters at 18 pt are 360 wide; in 100 points the size becomes 5 → floor 6.
    std::string tab(40, '-');
    std::vector<Block> narrow = setter(100).blocks(prepare(("{sot}\n" + tab + "\n\n" + tab + "\n{eot}").c_str()));
    const Block& block = narrow.at(1);
    EXPECT_EQ(block.kind, BlockKind::tab);
    ASSERT_EQ(block.rows.size(), 3u);
    EXPECT_EQ(block.rows[0].runs[0].font.size, 6);
    EXPECT_EQ(block.rows[0].height, 8);
    EXPECT_TRUE(block.rows[1].runs.empty());

    // In 200 points: 18 × 200 / 360 = 10, height exactly 12.
    std::vector<Block> wider = setter(200).blocks(prepare(("{sot}\n" + tab + "\n{eot}").c_str()));
    EXPECT_EQ(wider[1].rows[0].runs[0].font.size, 10);
    EXPECT_EQ(wider[1].rows[0].height, 12);
    // 18 × 210 / 360 = 10.5
    EXPECT_EQ(setter(210).blocks(prepare(("{sot}\n" + tab + "\n{eot}").c_str()))[1].rows[0].runs[0].font.size, 10.5);
    // A staff that fits is set at the lyric size, whatever another staff of the song needs.
    std::vector<Block> two = setter(200).blocks(prepare(("{sot}\ne|--0--|\n{eot}\n{sot}\n" + tab + "\n{eot}").c_str()));
    EXPECT_EQ(two.at(1).rows[0].runs[0].font.size, 18);
    EXPECT_EQ(two.at(1).rows[0].height, 22);
    EXPECT_EQ(two.at(2).rows[0].runs[0].font.size, 10);

    // A staff with bars is parted into systems at the bars all its strings share, led by the
    // strings' names, and keeps the lyric size; 20 characters fit in 180 points.
    const char* staff = "{sot}\n  G     C\ne|--0--|--3--|--5--|--7--| ring\nB|--1--|--1--|--1--|--1--|\n\n"
                        "e|--0--|\n{eot}";
    std::vector<std::string> texts;
    const std::vector<Block> parted = setter(180).blocks(prepare(staff));
    for (const Row& row : parted.at(1).rows) {
        texts.push_back(row.text());
        if (!row.runs.empty()) EXPECT_EQ(row.runs[0].font.size, 18) << row.text();
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"  G     C", "e|--0--|--3--|--5--|", "B|--1--|--1--|--1--|", "",
                                                "e|--7--| ring", "B|--1--|", "", "e|--0--|"}));
    // A grid's rows part where both have a bar.
    const std::vector<Block> grid = setter(180).blocks(
        prepare("{sog}\n| Am . . | % . . | Dm . . | E7 . . |\n| Am . . | A7 . . | Dm E7 . | Am . . |\n{eog}"));
    texts.clear();
    for (const Row& row : grid.at(1).rows) texts.push_back(row.text());
    EXPECT_EQ(texts, (std::vector<std::string>{"| Am . . |", "| Am . . |", "", "| % . . | Dm . . | E7 . . |",
                                                "| A7 . . | Dm E7 . | Am . . |"}));
    // Seventeen lines in a row are no staff: kept whole, shrunk to fit.
    std::string run = "{sot}\n";
    for (int i = 0; i < 17; ++i) run += "e|--0--|--3--|--5--|--7--|\n";
    const std::vector<Block> whole = setter(180).blocks(prepare((run + "{eot}").c_str()));
    EXPECT_EQ(whole.at(1).rows.size(), 17u);
    EXPECT_LT(whole.at(1).rows[0].runs[0].font.size, 18);
}

TEST(Typesetter, ChorusRecalls)
{
    const char* laterChorus = "{title: T}\n{chorus}\n{start_of_chorus: Refrain}\n[G]sing\n{end_of_chorus}";
    std::vector<Block> cue = setter().blocks(prepare(laterChorus));
    ASSERT_EQ(cue.at(1).kind, BlockKind::cue);
    EXPECT_EQ(cue[1].rows[0].text(), "Refrain");
    EXPECT_EQ(cue[1].rows[0].indent, 16);
    EXPECT_EQ(cue[1].barX, 5);

    BookSettings repeat;
    repeat.repeatChorus = true;
    std::vector<Block> again = setter(400, repeat).blocks(prepare(laterChorus));
    EXPECT_EQ(again[1], again[2]);

    std::vector<Block> none = setter(400, repeat).blocks(prepare("la\n{chorus}"));
    EXPECT_EQ(none.back().kind, BlockKind::cue);
    EXPECT_EQ(none.back().rows[0].text(), "Chorus");
    EXPECT_EQ(none.back().barX, 5);
}

TEST(Typesetter, DiagramsOnlyForChordsAsWritten)
{
    const char* source = "{define: G base-fret 1 frets 3 2 0 0 0 3}\n{define: C base-fret 1 frets x 3 2 0 1 0}\n"
                         "{define: D base-fret 1 frets x x 0 2 3 2}\n[G]la";
    std::vector<Block> blocks = setter(150).blocks(prepare(source));
    const Block& diagrams = blocks.back();
    ASSERT_EQ(diagrams.kind, BlockKind::diagrams);
    // (150 + 16) / 66 → two a row.
    ASSERT_EQ(diagrams.rows.size(), 2u);
    EXPECT_EQ(diagrams.rows[0].height, nearest(1.25 * 50 + 1.6 * 14));
    ASSERT_EQ(diagrams.rows[0].marks.size(), 2u);
    const auto* second = diagrams.rows[0].marks[1].as<Mark::Diagram>();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->origin, (Platform::Point{66 + 6, 0}));
    EXPECT_EQ(second->definition.name, "C");

    EXPECT_NE(setter().blocks(prepare(source, 2)).back().kind, BlockKind::diagrams);
    EXPECT_NE(setter().blocks(prepare(source, 0, true)).back().kind, BlockKind::diagrams);
    BookSettings off;
    off.diagrams = false;
    EXPECT_NE(setter(400, off).blocks(prepare(source)).back().kind, BlockKind::diagrams);
}

TEST(Typesetter, BreaksAndWrap)
{
    std::vector<Block> blocks = setter().blocks(prepare("la\n{new_page}\nlo\n{column_break}\nli"));
    EXPECT_EQ(kinds(blocks), (std::vector<BlockKind>{BlockKind::header, BlockKind::section, BlockKind::pageBreak,
                                                     BlockKind::section, BlockKind::columnBreak, BlockKind::section}));
    EXPECT_TRUE(blocks[2].rows.empty());

    Typesetter t = setter();
    FontSpec f{10, false, false, false, false};
    EXPECT_TRUE(t.wrap("", f, 100).empty());
    EXPECT_TRUE(t.wrap("    ", f, 100).empty());
    EXPECT_EQ(t.wrap("  aa   bb cc ", f, 35), (std::vector<std::string>{"aa bb", "cc"}));
    // A word wider than the width breaks between characters (clusters kept
    // whole), its last piece going on with the next words; where not even its
    // first character fits, it stays whole.
    EXPECT_EQ(t.wrap("a verylongword b", f, 20), (std::vector<std::string>{"a", "very", "long", "word", "b"}));
    EXPECT_EQ(t.wrap("abcdefg hi", f, 25), (std::vector<std::string>{"abcde", "fg hi"}));
    EXPECT_EQ(t.wrap("e\u0301e\u0301e\u0301e\u0301e\u0301", f, 10),
              (std::vector<std::string>{"e\u0301e\u0301", "e\u0301e\u0301", "e\u0301"}));
    EXPECT_EQ(t.wrap("ab cdef", f, 4), (std::vector<std::string>{"ab", "cdef"}));

    // The same lines as trying word by word, and cutting a word that cannot
    // fit a line alone, at every width.
    const std::string text = "a bb ccc dddd e ff ggggggggg hh i jjjj kk l mmmmmm n oo ppp q";
    for (double width = 0; width <= 200; width += 2.5) {
        std::vector<std::string> expected;
        std::string line;
        for (std::string_view word : {"a", "bb", "ccc", "dddd", "e", "ff", "ggggggggg", "hh", "i", "jjjj", "kk", "l",
                                      "mmmmmm", "n", "oo", "ppp", "q"}) {
            if (line.empty()) {
                line = word;
            } else if (5.0 * static_cast<double>(line.size() + 1 + word.size()) <= width) { // ASCII
                line += ' ';
                line += word;
                continue;
            } else {
                expected.push_back(line);
                line = word;
            }
            const std::size_t perLine = static_cast<std::size_t>(width / 5);
            while (perLine > 0 && 5.0 * static_cast<double>(line.size()) > width) {
                expected.push_back(line.substr(0, perLine));
                line.erase(0, perLine);
            }
        }
        expected.push_back(line);
        EXPECT_EQ(t.wrap(text, f, width), expected) << width;
    }

    // A long text on a very wide frame is not measured once per word over a growing line.
    struct Counting : TextMeasurer {
        mutable std::size_t characters = 0;
        double width(std::string_view s, const FontSpec& font) const override
        {
            characters += s.size();
            return 0.5 * font.size * static_cast<double>(s.size());
        }
    };
    auto counting = std::make_shared<Counting>();
    std::string many;
    for (int i = 0; i < 4000; ++i) many += "word ";
    EXPECT_EQ(Typesetter(BookSettings(), counting, 1e9).wrap(many, f, 1e9).size(), 1u);
    EXPECT_LT(counting->characters, 40 * many.size());
    // Nor is a very long word measured over its whole rest once per line.
    counting->characters = 0;
    const std::string word(20000, 'w');
    EXPECT_EQ(Typesetter(BookSettings(), counting, 100).wrap(word, f, 100).size(), 1000u);
    EXPECT_LT(counting->characters, 20 * word.size());
}
