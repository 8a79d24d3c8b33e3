#include "FolmiraKit/PDF/LineTools.h"
#include "FolmiraKit/PDF/Paragraphs.h"
#include "tests/FolmiraKit/PDF/PdfTestLines.h"

#include <gtest/gtest.h>

using namespace FolmiraKit;
using namespace FolmiraKit::PDFReader;
using namespace PdfTestLines;

namespace {

// Sixty characters of 12-point text from x 72: a line that fills the measure (72–432).
const std::string full = "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff";

std::vector<std::string> texts(const std::vector<StyledParagraph>& paragraphs)
{
    std::vector<std::string> out;
    for (const auto& p : paragraphs) out.push_back(plain(p.runs));
    return out;
}

// Lines from top to bottom, `pitch` apart, starting at y 700.
Lines stack(const std::vector<std::string>& lines, double pitch = 14, double x = 72)
{
    Lines out;
    double y = 700;
    for (const auto& text : lines) {
        out.push_back(line(text, x, y));
        y -= pitch;
    }
    return out;
}

std::size_t count(const std::string& text, char c)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

} // namespace

TEST(PdfParagraphs, BreaksAtABigGapAndAtAShortLineEndingASentence)
{
    Lines gapped = stack(std::vector<std::string>(10, full));
    for (std::size_t i = 5; i < gapped.size(); ++i) {
        gapped[i].rect.y -= 16;
        for (Word& w : gapped[i].words) w.rect.y -= 16;
    }
    auto two = buildParagraphs(gapped);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(count(plain(two[0].runs), ' '), 5u * 6 - 1);

    std::vector<std::string> text(10, full);
    text[4] = "the end of it.";
    EXPECT_EQ(buildParagraphs(stack(text)).size(), 2u);

    text[4] = full + ".";
    EXPECT_EQ(buildParagraphs(stack(text)).size(), 1u) << "a full line ending a sentence runs on";
}

TEST(PdfParagraphs, StartsListItemsAtBulletsAndAtNumbersAfterAnEndedLine)
{
    auto bullet = buildParagraphs(stack({full, "\u2022 " + full, full}));
    ASSERT_EQ(bullet.size(), 2u);
    ASSERT_TRUE(bullet[1].list);
    EXPECT_EQ(bullet[1].list->marker, "\u2022");
    EXPECT_EQ(bullet[1].list->level, 0);
    EXPECT_EQ(plain(bullet[1].runs).substr(0, 9), "aaaaaaaaa");

    EXPECT_EQ(buildParagraphs(stack({full, "2. " + full})).size(), 1u) << "a number after a running line";
    auto numbered = buildParagraphs(stack({full + ";", "2. " + full}));
    ASSERT_EQ(numbered.size(), 2u);
    EXPECT_EQ(numbered[1].list->marker, "2.");
}

TEST(PdfParagraphs, BreaksAtAFirstLineIndentButNotInsideAHangingListItem)
{
    Lines indented = stack({full, full, full});
    indented[1] = line(full.substr(0, 50), 90, indented[1].rect.y);
    EXPECT_EQ(buildParagraphs(indented).size(), 2u);

    // "1. Buy milk and …" with "Buy" at 90: the continuation at 90 joins it;
    // after its short last line, a line back at 72 starts a new paragraph.
    Lines item{makeLine({word("1.", 72, 700), word("Buy", 90, 700), word("milk", 114, 700),
                         word(full.substr(0, 49), 144, 700)}),
               line("cheese from the shop", 90, 686), line(full, 72, 672)};
    auto paragraphs = buildParagraphs(item);
    ASSERT_EQ(paragraphs.size(), 2u);
    EXPECT_EQ(paragraphs[0].list->marker, "1.");
    EXPECT_EQ(plain(paragraphs[0].runs).substr(0, 8), "Buy milk");
    EXPECT_NE(plain(paragraphs[0].runs).find("cheese from the shop"), std::string::npos);
}

TEST(PdfParagraphs, SetsOffBoldLines)
{
    Lines shortBold{line("Introduction", 72, 700, 12, true), line("Background", 72, 686, 12, true),
                    line(full, 72, 672)};
    EXPECT_EQ(texts(buildParagraphs(shortBold)), (std::vector<std::string>{"Introduction", "Background", full}));

    Lines fullBold{line(full, 72, 700, 12, true), line(full, 72, 686, 12, true), line(full, 72, 672)};
    auto paragraphs = buildParagraphs(fullBold);
    ASSERT_EQ(paragraphs.size(), 2u) << "two full bold lines stay together; the weight change splits";
    for (const FolmiraKit::Run& run : paragraphs[0].runs) EXPECT_TRUE(run.bold || run.text == " ");
}

TEST(PdfParagraphs, BreaksAtSizeChangesAndHardBreaks)
{
    Lines sized{line("Big title here", 72, 700, 18), line(full, 72, 680), line(full, 72, 666)};
    auto paragraphs = buildParagraphs(sized);
    ASSERT_EQ(paragraphs.size(), 2u);
    EXPECT_EQ(paragraphs[0].size, 18);
    EXPECT_EQ(paragraphs[1].size, 12);

    Lines hard = stack({full, full, full});
    for (Line& l : hard) l.hardBreak = true;
    EXPECT_EQ(buildParagraphs(hard).size(), 3u);
    EXPECT_TRUE(buildParagraphs({}).empty());
}

TEST(PdfParagraphs, MendsWordsBrokenAtTheLineEnd)
{
    struct Case {
        std::string first, second, joined;
    };
    for (const Case& c : {Case{"some infor-", "mation here", "some information here"},
                          Case{"a well-", "Known name", "a well- Known name"}, Case{"in 1990-", "95", "in 1990- 95"},
                          Case{"(-", "next", "(- next"}, Case{"x \u00E9-", "t\u00E9", "x \u00E9t\u00E9"},
                          Case{"THE PRO-", "GRAM", "THE PROGRAM"}, Case{"OF REPRO-", "DUCTION.", "OF REPRODUCTION."},
                          Case{"a DNA-", "binding site", "a DNA-binding site"}, Case{"the COVID-", "19 wave", "the COVID-19 wave"},
                          Case{"THE PRO-", "Gram", "THE PRO- Gram"},
                          // Chinese and Japanese set no space between lines; Korean does.
                          Case{"相待。", "人人生而自由", "相待。人人生而自由"}, Case{"and", "東京", "and東京"},
                          Case{"すべての", "人間は", "すべての人間は"}, Case{"모든", "인간은", "모든 인간은"}}) {
        StyledParagraph p = makeParagraph({line(c.first, 72, 700), line(c.second, 72, 686)}, 1);
        EXPECT_EQ(plain(p.runs), c.joined) << c.first;
        EXPECT_FALSE(p.lineBreaks);
    }
    // A long word in capitals, in letters of two bytes.
    std::string capitals;
    for (int i = 0; i < 70; ++i) capitals += "\u00C9";
    StyledParagraph p = makeParagraph({line(capitals + "-", 72, 700), line("\u00C9CRIT", 72, 686)}, 1);
    EXPECT_EQ(plain(p.runs), capitals + "\u00C9CRIT");
}

TEST(PdfParagraphs, KeepsTheLineBreaksOfAnAddressSetApart)
{
    Lines lines = stack({full, full, full.substr(0, 59) + "."});
    for (const char* text : {"12 High Street", "Springfield", "IL 62704"})
        lines.push_back(line(text, 72, lines.back().rect.y - (lines.size() == 3 ? 30 : 14)));
    lines.push_back(line(full, 72, lines.back().rect.y - 30));
    auto paragraphs = buildParagraphs(lines);
    ASSERT_EQ(paragraphs.size(), 3u);
    EXPECT_TRUE(paragraphs[1].lineBreaks);
    EXPECT_EQ(plain(paragraphs[1].runs), "12 High Street\nSpringfield\nIL 62704");
    EXPECT_FALSE(paragraphs[0].lineBreaks);

    // As a list item after an ended sentence, its lines hang under the text after the marker.
    lines[3] = line("1. High Street", 72, lines[3].rect.y);
    lines[4] = line("Springfield", 90, lines[4].rect.y);
    lines[5] = line("IL 62704", 90, lines[5].rect.y);
    auto listed = buildParagraphs(lines);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_FALSE(listed[1].lineBreaks);
    EXPECT_EQ(listed[1].list->marker, "1.");
}

TEST(PdfParagraphs, TakesABoldBulletOffTheFront)
{
    Line bulleted = makeLine({word("\u2022", 72, 700, 12, true), word("Milk", 90, 700)});
    auto paragraphs = buildParagraphs({bulleted});
    ASSERT_EQ(paragraphs.size(), 1u);
    EXPECT_EQ(paragraphs[0].list, (StyledParagraph::ListLabel{"\u2022", 0}));
    EXPECT_EQ(paragraphs[0].runs, (Runs{FolmiraKit::Run("Milk")}));
}

TEST(PdfParagraphs, SharesRunAndMeasureHelpers)
{
    EXPECT_EQ(lineRuns({word("a", 0, 0, 12, true), word("b", 10, 0, 12, true), word("c", 20, 0, 12, false, true)}),
              (Runs{FolmiraKit::Run("a b", true), FolmiraKit::Run(" c", false, true)}));
    EXPECT_TRUE(lineRuns({}).empty());
    EXPECT_EQ(dropLeadingCharacters({FolmiraKit::Run("ab", true), FolmiraKit::Run("cd")}, 3), (Runs{FolmiraKit::Run("d")}));
    EXPECT_EQ(dropLeadingCharacters({FolmiraKit::Run("  ab")}, 0), (Runs{FolmiraKit::Run("ab")}));
    EXPECT_TRUE(dropLeadingCharacters({FolmiraKit::Run("ab")}, 10).empty());
    EXPECT_EQ(median({}), 0);
    EXPECT_EQ(median({3, 1, 2}), 2);
    EXPECT_EQ(median({4, 1, 3, 2}), 3);
}

TEST(PdfParagraphs, ReadsALineOfAsManyWordsEachWayAsItsPlaceShows)
{
    // Hebrew letters are two bytes: 12 points wide here. Right-to-left lines
    // end at 432; a line of two Hebrew and two English words set against the
    // right edge reads right to left, set against the left edge left to right.
    const std::string hebrew = "\u05D0\u05D1\u05D2\u05D3\u05D4 \u05D5\u05D6\u05D7\u05D8\u05D9 \u05DB\u05DC\u05DE\u05E0\u05E1 "
                               "\u05E2\u05E4\u05E6\u05E7\u05E8 \u05E9\u05EA\u05D0\u05D1\u05D2";
    const std::string shalom = "\u05E9\u05DC\u05D5\u05DD", olam = "\u05E2\u05D5\u05DC\u05DD";
    Lines rtl{line(hebrew, 108, 700), line("world " + olam + " hello " + shalom, 258, 686), line(hebrew, 108, 672)};
    EXPECT_NE(texts(buildParagraphs(rtl)).front().find(shalom + " hello " + olam + " world"), std::string::npos);
    // So it does above more English lines than Hebrew ones.
    for (double y : {640.0, 626.0, 612.0}) rtl.push_back(line(full, 72, y));
    EXPECT_NE(texts(buildParagraphs(rtl)).front().find(shalom + " hello " + olam + " world"), std::string::npos);
    Lines ltr{line(full, 72, 700), line("hello " + shalom + " world " + olam, 72, 686), line(full, 72, 672)};
    EXPECT_NE(texts(buildParagraphs(ltr)).front().find("hello " + shalom + " world " + olam), std::string::npos);
    // Flush with both edges, it reads as most of the stretch's lines.
    Lines both{line(hebrew, 108, 700), line("world " + olam + " hello " + shalom, 108, 686), line(hebrew, 108, 672),
               line(hebrew, 108, 658)};
    both[1].words.back().rect.x = 432 - 48;
    both[1] = makeLine(both[1].words);
    EXPECT_NE(texts(buildParagraphs(both)).front().find(shalom + " hello " + olam + " world"), std::string::npos);
}
