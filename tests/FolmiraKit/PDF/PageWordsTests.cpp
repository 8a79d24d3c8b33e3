#include "FolmiraKit/PDF/LineTools.h"
#include "FolmiraKit/PDF/PageWords.h"
#include "tests/FolmiraKit/PDF/PdfTestLines.h"
#include "tests/Platform/PdfFixtures.h"
#include "Platform/Text.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace FolmiraKit::PDFReader;
using namespace PdfTestLines;

namespace {

const Rect letter{0, 0, 612, 792};

std::vector<std::string> texts(const std::vector<Word>& words)
{
    std::vector<std::string> out;
    for (const Word& w : words) out.push_back(w.text);
    return out;
}

// `count` ordinary 6 × 12 characters in rows, then `badCount` characters with
// boxes 50 wide and 10 high.
Platform::PdfPageText pageWithBadBoxes(int count, int badCount)
{
    std::vector<Glyph> glyphs;
    for (int i = 0; i < count; ++i)
        glyphs.push_back({"a", Rect{72.0 + (i % 60) * 7, 700.0 - (i / 60) * 14, 6, 12}});
    for (int i = 0; i < badCount; ++i) glyphs.push_back({"b", Rect{72, 100.0 + i * 20, 50, 10}});
    return pageText(glyphs);
}

} // namespace

TEST(PdfPageWords, JoinsCharactersThatStandCloseOnOneBaseline)
{
    struct Case {
        double gap;
        std::vector<std::string> words;
    };
    // 0.22 × 12 = 2.64 points is the widest gap inside a word.
    for (const Case& c : {Case{2, {"ab"}}, Case{2.6, {"ab"}}, Case{3, {"a", "b"}}, Case{-2, {"ab"}}}) {
        auto page = pageText({{"a", Rect{100, 100, 6, 12}}, {"b", Rect{106 + c.gap, 100, 6, 12}}});
        EXPECT_EQ(texts(pageWords(page, letter).words), c.words) << c.gap;
    }
    // A character wholly left of the word's start, or off its band, starts a new word.
    auto back = pageText({{"a", Rect{100, 100, 6, 12}}, {"b", Rect{90, 100, 6, 12}}});
    EXPECT_EQ(texts(pageWords(back, letter).words), (std::vector<std::string>{"a", "b"}));
    auto raised = pageText({{"a", Rect{100, 100, 6, 12}}, {"b", Rect{106, 107, 6, 12}}});
    EXPECT_EQ(texts(pageWords(raised, letter).words), (std::vector<std::string>{"a", "b"}));
}

TEST(PdfPageWords, SplitsAtWhiteSpaceAndSkipsCharactersWithoutBoxes)
{
    auto page = pageText(row("ab cd", 100, 100) + std::vector<Glyph>{{"x", std::nullopt}} + row("e", 130, 100) +
                         std::vector<Glyph>{{"\n", std::nullopt}, {std::string("\0", 1), std::nullopt}});
    PageWords result = pageWords(page, letter);
    EXPECT_EQ(texts(result.words), (std::vector<std::string>{"ab", "cde"}));
    EXPECT_FALSE(result.untrusted);

    auto blank = pageText({{" ", std::nullopt}, {"\n", std::nullopt}, {"\t", Rect{0, 0, 5, 5}}});
    PageWords none = pageWords(blank, letter);
    EXPECT_TRUE(none.words.empty());
    EXPECT_FALSE(none.untrusted);
}

TEST(PdfPageWords, TakesAComposedCharacterWhole)
{
    // "e" and a combining acute accent are one character with one box.
    auto page = pageText({{"e\u0301", Rect{100, 100, 6, 12}}, {"t", Rect{106, 100, 6, 12}}});
    auto words = pageWords(page, letter).words;
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].text, "e\u0301t");
    EXPECT_EQ(words[0].rect, (Rect{100, 100, 12, 12}));
}

TEST(PdfPageWords, JudgesBoxesAndTrust)
{
    struct Case {
        Rect box;
        bool bad;
    };
    for (const Case& c : {Case{{72, 100, 50, 10}, true}, Case{{72, 100, 40, 10}, false}, Case{{72, 100, 45, 20}, false},
                          Case{{-21, 100, 6, 12}, true}, Case{{-19, 100, 6, 12}, false}, Case{{627, 100, 6, 12}, true},
                          Case{{625, 100, 6, 12}, false}}) {
        // One measured character: a single bad box makes the page untrusted.
        EXPECT_EQ(pageWords(pageText({{"a", c.box}}), letter).untrusted, c.bad) << c.box.x << " " << c.box.width;
    }
    struct Trust {
        int good, bad;
        bool untrusted;
    };
    for (const Trust& t : {Trust{5000, 3, true}, Trust{397, 2, true}, Trust{398, 2, false}, Trust{198, 1, true},
                           Trust{199, 1, false}, Trust{0, 0, false}}) {
        EXPECT_EQ(pageWords(pageWithBadBoxes(t.good, t.bad), letter).untrusted, t.untrusted)
            << t.good << " good, " << t.bad << " bad";
    }
}

TEST(PdfPageWords, SkipsEmptyAndTowerBoxesButStillMeasuresThem)
{
    auto page = pageText({{"a", Rect{100, 100, 0, 0}}, {"b", Rect{106, 100, 6, 400}}, {"c", Rect{112, 100, 6, 12}}});
    auto words = pageWords(page, letter).words;
    EXPECT_EQ(texts(words), (std::vector<std::string>{"c"}));
}

TEST(PdfPageWords, DecidesWeightAndSlantByMajorityAndByFontName)
{
    auto word4 = [](int boldCount) {
        std::vector<Glyph> glyphs;
        for (int i = 0; i < 4; ++i)
            glyphs.push_back({"w", Rect{100.0 + 6 * i, 100, 6, 12}, i < boldCount ? "Helvetica-Bold" : "Helvetica"});
        return pageWords(pageText(glyphs), letter).words.at(0);
    };
    EXPECT_FALSE(word4(2).bold);
    EXPECT_TRUE(word4(3).bold);

    struct Case {
        std::string font;
        bool bold, italic;
    };
    for (const Case& c : {Case{"Helvetica-BoldOblique", true, true}, Case{"ABCDEF+Arial-Black", true, false},
                          Case{"Avenir-Heavy", true, false}, Case{"Times-Italic", false, true},
                          Case{"Helvetica", false, false}}) {
        Word w = pageWords(pageText({{"a", Rect{100, 100, 6, 12}, c.font, 11}}), letter).words.at(0);
        EXPECT_EQ(w.bold, c.bold) << c.font;
        EXPECT_EQ(w.italic, c.italic) << c.font;
        EXPECT_EQ(w.size, 11) << c.font;
    }
    // Without a font the size is 0.8 × the box's height; the largest size wins.
    auto page = pageText({{"a", Rect{100, 100, 6, 10}, ""}, {"b", Rect{106, 100, 6, 10}, "Helvetica", 9}});
    EXPECT_DOUBLE_EQ(pageWords(page, letter).words.at(0).size, 9);
    EXPECT_DOUBLE_EQ(pageWords(pageText({{"a", Rect{100, 100, 6, 15}, ""}}), letter).words.at(0).size, 12);
    // Spans that overlap: a character's font is the first span's that holds it.
    auto overlapping = pageText({{"a", Rect{100, 100, 6, 10}}, {"b", Rect{106, 100, 6, 10}}});
    overlapping.fonts = {{1, 2, "Times-Italic", 8}, {0, 2, "Helvetica", 30}, {0, 1, "Courier", 40}};
    const Word w = pageWords(overlapping, letter).words.at(0);
    EXPECT_DOUBLE_EQ(w.size, 30);
    EXPECT_FALSE(w.italic);
    // One after another, with a character of none between: 0.8 × its box's height.
    auto apart = pageText({{"a", Rect{100, 100, 6, 10}, "Helvetica", 5}, {"b", Rect{106, 100, 6, 10}, ""},
                           {"c", Rect{112, 100, 6, 10}, "Helvetica", 7}});
    EXPECT_DOUBLE_EQ(pageWords(apart, letter).words.at(0).size, 8);
    auto late = pageText({{"a", Rect{100, 100, 6, 10}, ""}, {"b", Rect{106, 100, 6, 10}, "Helvetica", 7}});
    EXPECT_DOUBLE_EQ(pageWords(late, letter).words.at(0).size, 8);
}

TEST(PdfPageWords, DropsBoxesThatAreNotNumbers)
{
    auto page = pageText({{"a", Rect{NAN, 100, 6, 12}}, {"b", Rect{100, INFINITY, 6, 12}}, {"c", Rect{100, 100, 6, 12}}});
    EXPECT_EQ(texts(pageWords(page, letter).words), (std::vector<std::string>{"c"}));
    std::vector<Word> words{word("x", NAN, 100), word("y", 100, 100)};
    std::vector<std::uint32_t> places{7};
    Lines lines = linesFromWords(words, &places);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lineText(lines[0]), "y");
    EXPECT_TRUE(places.empty()) << "a word left out of the lines has no place there";
}

TEST(PdfLinesFromWords, GroupsByBaselineTopToBottomAndOrdersLeftToRight)
{
    std::vector<Word> words{word("second", 200, 686), word("first", 72, 686), word("low", 72, 600),
                            word("Big", 300, 684, 16), word("tiny", 400, 689, 6)};
    std::vector<std::uint32_t> places;
    Lines lines = linesFromWords(words, &places);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lineText(lines[0]), "first second Big tiny");
    // Each word's place among the lines' words, read line by line.
    EXPECT_EQ(places, (std::vector<std::uint32_t>{1, 0, 4, 2, 3}));
    EXPECT_EQ(lines[0].rect, lines[0].words.front().rect.united(lines[0].words[2].rect).united(lines[0].words[3].rect));
    EXPECT_EQ(lineText(lines[1]), "low");
    EXPECT_FALSE(lines[0].hardBreak);
    EXPECT_TRUE(linesFromWords({}).empty());
}

TEST(PdfLinesFromText, MakesUpPositionsLineByLine)
{
    Rect media{10, 20, 600, 800};
    auto page = pageText(row("Hello  world", 0, 0) + row("\n\nNext Helvetica-Heavy", 0, 0));
    // The last word's font says "Heavy", which only counts where fonts have traits.
    page.fonts.insert(page.fonts.begin(), {19, 34, "Avenir-Heavy", 12});
    Lines lines = linesFromText(page, media);
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[0].words.size(), 2u);
    EXPECT_DOUBLE_EQ(lines[0].words[0].rect.x, 82);
    EXPECT_DOUBLE_EQ(lines[0].words[1].rect.x, 10 + 104.4);
    EXPECT_DOUBLE_EQ(lines[0].words[0].rect.y, 820 - 72);
    EXPECT_DOUBLE_EQ(lines[1].words[0].rect.y, 820 - 72 - 18) << "an empty text line takes no room";
    EXPECT_TRUE(lines[0].hardBreak);
    EXPECT_TRUE(lines[1].hardBreak);
    EXPECT_FALSE(lines[1].words[1].bold);
    EXPECT_DOUBLE_EQ(lines[1].words[0].rect.width, 4 * 6);
    EXPECT_TRUE(linesFromText(pageText({}), media).empty());
}

TEST(PdfLinesFromText, TakesStylesFromTheFontAtEachWord)
{
    auto page = pageText(row("plain ", 0, 0, 6, "Times-Roman", 10) + row("Bold", 0, 0, 6, "Times-Bold", 14) +
                         row(" slanted", 0, 0, 6, "Times-Oblique", 10));
    Lines lines = linesFromText(page, letter);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].words.size(), 3u);
    EXPECT_EQ(lines[0].words[0].size, 10);
    EXPECT_TRUE(lines[0].words[1].bold);
    EXPECT_EQ(lines[0].words[1].size, 14);
    EXPECT_TRUE(lines[0].words[2].italic);
}

TEST(PdfLineTools, SizesALineByTheSizeCarryingMostCharacters)
{
    EXPECT_EQ(bodySize(makeLine({word("abcdefghij", 0, 0, 10), word("klmnopqrst", 100, 0, 12)})), 12);
    EXPECT_EQ(bodySize(makeLine({word("abcdefghijk", 0, 0, 10), word("klmnopqrst", 100, 0, 12)})), 10);
    EXPECT_EQ(bodySize(makeLine({word("a", 0, 0, 11.76)})), 12);
    EXPECT_EQ(bodySize(makeLine({word("a", 0, 0, 11.74)})), 11.5);
    EXPECT_EQ(bodySize(makeLine({word("abcde", 0, 0, 12), word("fghij", 100, 0, 10)})), 12) << "a tie, either order";
    EXPECT_EQ(bodySize(makeLine({word("abcde", 0, 0, 10), word("fghij", 100, 0, 12)})), 12) << "a tie, either order";
    // Many sizes on one line: the one carrying most is found among all of them.
    std::vector<Word> sizes;
    for (int i = 0; i < 12; ++i) sizes.push_back(word(i == 10 ? "abcd" : "ab", 40.0 * i, 0, 8.0 + i));
    EXPECT_EQ(bodySize(makeLine(sizes)), 18);
    sizes.push_back(word("cd", 500, 0, 18));
    sizes.push_back(word("efgh", 540, 0, 9));
    EXPECT_EQ(bodySize(makeLine(sizes)), 18) << "a size met again past the first eight";
    EXPECT_EQ(bodySize(Line{}), 0);
    EXPECT_EQ(lineText(Line{}), "");
    EXPECT_EQ(lineTexts({{line("a b", 0, 0), line("c", 0, 20)}, {}, {line("d", 0, 0)}}),
              (std::vector<std::string>{"a b", "c", "d"}));
}

TEST(PdfLineTools, SplitsALineAtWideGapsButKeepsAListLabelWithItsText)
{
    auto split = [](std::vector<Word> words) {
        std::vector<std::string> out;
        const Line line = makeLine(std::move(words));
        for (const Line& l : splitAtGaps(line)) out.push_back(lineText(l));
        EXPECT_EQ(segmentCount(line), out.size()) << lineText(line);
        return out;
    };
    using S = std::vector<std::string>;
    EXPECT_EQ(split({word("aa", 0, 0, 10), word("bb", 15, 0, 10), word("cc", 45, 0, 10), word("dd", 60, 0, 10)}),
              (S{"aa bb", "cc dd"}));
    EXPECT_EQ(split({word("1.", 72, 0), word("Milk", 114, 0)}), (S{"1. Milk"}));
    EXPECT_EQ(split({word("\u2022", 72, 0), word("Milk", 108, 0)}), (S{"\u2022 Milk"}));
    EXPECT_EQ(split({word("(a)", 72, 0), word("Milk", 120, 0), word("Eggs", 300, 0)}), (S{"(a) Milk", "Eggs"}));
    EXPECT_EQ(split({word("(12)", 72, 0), word("Milk", 120, 0)}), (S{"(12) Milk"}));
    EXPECT_EQ(split({word("Z)", 72, 0), word("Milk", 120, 0)}), (S{"Z) Milk"}));
    for (const char* notLabel : {"\u00E9.", "a1.", "(.", "()", "ab.", "1.)"})
        EXPECT_EQ(split({word(notLabel, 72, 0), word("Milk", 120, 0)}), (S{notLabel, "Milk"}));
    EXPECT_EQ(split({word("Milk", 72, 0), word("2", 126, 0)}), (S{"Milk", "2"}));
    EXPECT_EQ(split({word("1000.", 72, 0), word("Milk", 132, 0)}), (S{"1000.", "Milk"}));
    // A right-to-left line's marker stands at its right end; in a line read
    // from the left, a marker there is a cell of its own.
    EXPECT_EQ(split({word("\u05D7\u05DC\u05D1", 72, 0), word("\u2022", 130, 0)}), (S{"\u2022 \u05D7\u05DC\u05D1"}));
    EXPECT_EQ(split({word("Milk", 72, 0), word("\u2022", 130, 0)}), (S{"Milk", "\u2022"}));
    Line single = makeLine({word("alone", 0, 0)});
    EXPECT_EQ(splitAtGaps(single), (Lines{single}));
    EXPECT_EQ(segmentCount(single), 1u);
    Line picture{{}, {72, 300, 200, 100}, FolmiraKit::Picture{}, false};
    EXPECT_EQ(segmentCount(picture), 1u);
}

TEST(PdfLineTools, ReadsRightToLeftLinesFromTheirRightEdge)
{
    const std::string shalom = "\u05E9\u05DC\u05D5\u05DD", olam = "\u05E2\u05D5\u05DC\u05DD";
    const std::string qala = "\u0642\u0627\u0644", sadiqi = "\u0635\u062F\u064A\u0642\u064A";
    // Letters of Arabic Extended-A (U+08A0–U+08FF) are right to left too.
    const std::string extendedA = "\u08A0\u08A1\u08A2", extendedB = "\u08A3\u08A4";
    struct Case {
        std::vector<std::string> leftToRight; // the words as they stand, left to right
        std::string read;
    } cases[] = {
        {{"hello", shalom}, "hello " + shalom},                     // one of each: a line read from the left
        {{olam, shalom}, shalom + " " + olam},
        {{extendedB, extendedA}, extendedA + " " + extendedB},
        {{"habibi", sadiqi, qala}, qala + " " + sadiqi + " habibi"}, // a Latin word inside
        {{olam, "one", "two", shalom, qala}, qala + " " + shalom + " one two " + olam},
    };
    for (const Case& c : cases) {
        std::vector<Word> words;
        for (std::size_t i = 0; i < c.leftToRight.size(); ++i) words.push_back(word(c.leftToRight[i], 72 + 80.0 * i, 0));
        EXPECT_EQ(lineText(makeLine(words)), c.read);
    }

    // A full stop the page gave apart, against a right-to-left word's left
    // end, ends that word; one further off, or in a line read from the left,
    // stays a word.
    auto attached = [](std::vector<Word> words) {
        Line line = makeLine(std::move(words));
        mendRightToLeftWords(line);
        std::vector<std::string> out;
        for (const Word& w : line.words) out.push_back(w.text);
        return out;
    };
    using S = std::vector<std::string>;
    EXPECT_EQ(attached({word(".", 100, 0), word(shalom, 106, 0), word(olam, 170, 0)}), (S{shalom + ".", olam}));
    EXPECT_EQ(attached({word(".", 100, 0), word(shalom, 112, 0), word(olam, 170, 0)}), (S{".", shalom, olam}));
    EXPECT_EQ(attached({word(".", 100, 0), word(shalom, 106, 0), word("one", 170, 0), word("two", 200, 0)}),
              (S{".", shalom, "one", "two"}));
    EXPECT_EQ(attached({word(".Letter", 100, 0), word(shalom, 160, 0), word(olam, 220, 0)}), (S{"Letter.", shalom, olam}));
    EXPECT_EQ(attached({word(".", 100, 0), word("Paris", 106, 0), word(shalom, 160, 0), word(olam, 220, 0)}),
              (S{"Paris.", shalom, olam}));
    EXPECT_EQ(attached({word(".Letter", 100, 0), word("Paris", 160, 0), word(olam, 200, 0)}),
              (S{".Letter", "Paris", olam}));
    // Pieces of a right-to-left word that touch are one word, read from the right.
    const std::string sh = "\u05E9\u05DC", om = "\u05D5\u05DD"; // each 24 points wide
    EXPECT_EQ(attached({word(om, 100, 0), word(sh, 124, 0), word("one", 170, 0), word("two", 200, 0)}),
              (S{shalom, "one", "two"}));
    EXPECT_EQ(attached({word(om, 100, 0), word(sh, 127, 0), word("one", 170, 0)}), (S{om, sh, "one"}));

    // Mirrored about the axis, the words come left to right again.
    Line turned = mirrored(makeLine({word("ab", 100, 0), word("cd", 200, 0)}), 612);
    EXPECT_EQ(lineText(turned), "cd ab");
    EXPECT_DOUBLE_EQ(turned.rect.minX(), 612 - 212.0);
    EXPECT_DOUBLE_EQ(turned.rect.maxX(), 612 - 100.0);
}

TEST(PdfLineTools, FindsLinesInTheHeaderAndFooterBands)
{
    std::vector<std::optional<Rect>> crops{letter, letter, std::nullopt};
    // Page 0: ten lines from 760 down to 40; page 1: only two lines.
    Lines ten;
    for (int i = 0; i < 10; ++i) ten.push_back(line("line", 72, 760 - i * 80.0));
    Lines two{line("top", 72, 760), line("bottom", 72, 20)};
    Lines fourth{line("a", 72, 770), line("b", 72, 750), line("c", 72, 730), line("d", 72, 700), line("e", 72, 300),
                 line("f", 72, 100), line("g", 72, 40)};
    std::vector<Lines> pages{ten, two, ten};
    EXPECT_TRUE(isInPageBand(ten[0], 0, crops, pages));
    EXPECT_TRUE(isInPageBand(ten[9], 0, crops, pages));
    EXPECT_FALSE(isInPageBand(ten[5], 0, crops, pages));
    EXPECT_FALSE(isInPageBand(two[0], 1, crops, pages)) << "fewer than 3 text lines";
    EXPECT_FALSE(isInPageBand(ten[0], 2, crops, pages)) << "a page that could not be fetched";
    std::vector<Lines> withFourth{fourth};
    EXPECT_TRUE(isInPageBand(fourth[1], 0, crops, withFourth));
    EXPECT_FALSE(isInPageBand(fourth[3], 0, crops, withFourth)) << "in the top 15 % but the fourth-highest";
    Line picture = ten[0];
    picture.picture = FolmiraKit::Picture{};
    EXPECT_FALSE(isInPageBand(picture, 0, crops, pages));
}

TEST(PdfLineTools, TestsCharacters)
{
    EXPECT_EQ(glyphCheck("A\uE000b\uF8FF\uFFFD\uF900"), U"\uE000\uF8FF\uFFFD");
    EXPECT_EQ(glyphCheck("a\uE000"), U"\uE000");
    EXPECT_TRUE(glyphCheck("plain").empty());
    EXPECT_TRUE(glyphCheck("\u00E9\u05D0").empty());
    // Counted as Unicode counts them, whatever the shortcut taken for plain text.
    for (std::string_view text : {"plain", "a\r\nb", "a\rb", "e\u0301t\u00E9", "", "\U0001F1EB\U0001F1F7"})
        EXPECT_EQ(countCharacters(text), Platform::Text::characterCount(text)) << text;
    const Line lines[] = {
        makeLine({word("plain", 72, 0), word("words", 110, 0)}),
        makeLine({word("caf\u00E9", 72, 0), word("au", 110, 0), word("lait", 130, 0)}),
        makeLine({word("a\r", 72, 0), word("\nb", 90, 0)}),
        makeLine({word("", 72, 0), word("after", 90, 0)}),
        makeLine({word("\u05D7\u05DC\u05D1", 72, 0), word("milk", 110, 0)}),
        makeLine({word("\u0301", 72, 0), word("mark", 90, 0)}),
        Line{},
    };
    for (const Line& l : lines) EXPECT_EQ(lineCharacters(l), countCharacters(lineText(l))) << lineText(l);
    EXPECT_FALSE(hasVisibleCharacter(std::string(" \n\t\u00A0\u2003\0", 10)));
    EXPECT_TRUE(hasVisibleCharacter(" x "));
    EXPECT_TRUE(hasVisibleCharacter("\u0301"));
}

TEST(PdfPageWords, ReadsTheWordsOfACairoPage)
{
    auto pdf = PdfFixtures::cairoPdf(1, [](cairo_t* cr, int) {
        PdfFixtures::showText(cr, 72, 100, "Large print", 18, "Liberation Sans", true);
        PdfFixtures::showText(cr, 72, 130, "for everyone to read.", 11, "Liberation Serif", false, true);
    });
    auto document = Platform::PdfDocument::open(pdf).document.value();
    auto page = document.page(0).value();
    PageWords result = pageWords(page.text(), page.mediaBox());
    ASSERT_FALSE(result.untrusted);
    Lines lines = linesFromWords(result.words);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lineText(lines[0]), "Large print");
    EXPECT_EQ(lineText(lines[1]), "for everyone to read.");
    EXPECT_EQ(bodySize(lines[0]), 18);
    EXPECT_EQ(bodySize(lines[1]), 11);
    EXPECT_TRUE(lines[0].words[0].bold);
    EXPECT_FALSE(lines[0].words[0].italic);
    EXPECT_TRUE(lines[1].words[0].italic);
    EXPECT_NEAR(lines[0].rect.minX(), 72, 1);
    EXPECT_GT(lines[0].rect.minY(), lines[1].rect.maxY());
}

TEST(PdfPageWords, ReadsTextAlongItsOwnDirection)
{
    // Two lines as a landscape page shows them, drawn onto a portrait sheet
    // turned by `turn` degrees (as a sideways table or a printout of two
    // pages on one sheet is), and a page number that stays upright.
    auto sheet = [](int turn, bool label) {
        return PdfFixtures::cairoPdf(1, [=](cairo_t* cr, int) {
            if (label) PdfFixtures::showText(cr, 290, 770, "7", 9);
            if (turn == 90) cairo_translate(cr, 0, 792), cairo_rotate(cr, -M_PI / 2);
            if (turn == 270) cairo_translate(cr, 612, 0), cairo_rotate(cr, M_PI / 2);
            if (turn == 180) cairo_translate(cr, 612, 792), cairo_rotate(cr, M_PI);
            PdfFixtures::showText(cr, 72, 100, "Large print", 18, "Liberation Sans", true);
            PdfFixtures::showText(cr, 72, 130, "for everyone to read.", 11, "Liberation Serif", false, true);
        });
    };
    struct Case {
        std::string name;
        Platform::Bytes pdf;
        int quarterTurns;
    };
    for (const Case& c : {Case{"upright", sheet(0, false), 0}, Case{"reading up", sheet(90, true), 3},
                          Case{"reading down", sheet(270, true), 1}, Case{"upside down", sheet(180, false), 2},
                          Case{"reading up, shown upright by /Rotate", PdfFixtures::rotated(sheet(90, true), 90), 3},
                          Case{"upright, turned by /Rotate", PdfFixtures::rotated(sheet(0, false), 270), 0}}) {
        SCOPED_TRACE(c.name);
        auto document = Platform::PdfDocument::open(c.pdf).document.value();
        auto page = document.page(0).value();
        Platform::PdfPageText text = page.text();
        EXPECT_EQ(text.quarterTurns, c.quarterTurns);
        PageWords result = pageWords(text, Platform::turnedRect(page.mediaBox(), page.cropBox(), text.quarterTurns));
        ASSERT_FALSE(result.untrusted);
        std::vector<std::string> lines;
        for (const Line& line : linesFromWords(result.words)) lines.push_back(lineText(line));
        std::erase(lines, "7"); // the upright page number, wherever it lands
        EXPECT_EQ(lines, (std::vector<std::string>{"Large print", "for everyone to read."}));
    }
    // No direction holds more than half of the characters (2, 7 and 8 of 17):
    // the page is read as it stands.
    auto mixed = PdfFixtures::cairoPdf(1, [](cairo_t* cr, int) {
        PdfFixtures::showText(cr, 72, 100, "ab", 12);
        cairo_save(cr);
        cairo_translate(cr, 300, 700), cairo_rotate(cr, -M_PI / 2);
        PdfFixtures::showText(cr, 0, 0, "reads up", 12);
        cairo_restore(cr);
        cairo_translate(cr, 500, 100), cairo_rotate(cr, M_PI / 2);
        PdfFixtures::showText(cr, 0, 0, "read down", 12);
    });
    EXPECT_EQ(Platform::PdfDocument::open(mixed).document->page(0)->text().quarterTurns, 0);
}
