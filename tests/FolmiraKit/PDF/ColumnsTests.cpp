#include "FolmiraKit/PDF/Columns.h"
#include "FolmiraKit/PDF/LineTools.h"
#include "tests/FolmiraKit/PDF/PdfTestLines.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <tuple>

using namespace FolmiraKit;
using namespace FolmiraKit::PDFReader;
using namespace PdfTestLines;

namespace {

const Rect letter{0, 0, 612, 792};

// A page with `header` in its top band, body lines in the middle and `footer` in its bottom band.
Lines page(const std::string& header, const std::string& footer = "")
{
    Lines lines;
    if (!header.empty()) lines.push_back(line(header, 72, 760));
    for (int i = 0; i < 4; ++i) lines.push_back(line("Body text of the page number " + std::to_string(i), 72, 600 - 40.0 * i));
    if (!footer.empty()) lines.push_back(line(footer, 72, 30));
    return lines;
}

// Forty characters of 12-point text: 240 points wide.
std::string half(char c)
{
    std::string s;
    for (int i = 0; i < 5; ++i) s += std::string(7, c) + " ";
    return s.substr(0, 39);
}

// A line with a left column segment from 72 and a right one from 332 (a 20-point gutter).
Line twoColumns(double y, char left, char right)
{
    std::vector<Word> words = line(half(left), 72, y).words;
    auto more = line(half(right), 332, y).words;
    words.insert(words.end(), more.begin(), more.end());
    return makeLine(std::move(words));
}

std::vector<std::string> flowTexts(const Flow& flow)
{
    std::vector<std::string> out;
    for (const auto& item : flow.items)
        if (auto* lines = std::get_if<FlowItem::Lines>(&item.value))
            for (const Line& l : lines->lines) out.push_back(lineText(l));
    return out;
}

} // namespace

TEST(PdfRepeatedLines, RemovesARunningTitleOnEnoughPages)
{
    std::vector<Lines> pages(10);
    for (int i = 0; i < 10; ++i) pages[static_cast<std::size_t>(i)] = page("Annual report 2024");
    std::vector<std::optional<Rect>> crops(10, letter);
    EXPECT_EQ(removeRepeatedLines(pages, crops), 10);
    for (const Lines& p : pages) EXPECT_EQ(p.size(), 4u);

    for (int i = 0; i < 10; ++i) pages[static_cast<std::size_t>(i)] = page(i < 4 ? "Annual report 2024" : "");
    EXPECT_EQ(removeRepeatedLines(pages, crops), 0) << "4 of 10 pages is below the threshold of 5";

    // A page of a chapter heading and two short paragraphs (one of one line):
    // the title over the heading stands further off than the lines of a
    // paragraph, if less than a paragraph break and its own height beyond.
    for (int i = 0; i < 10; ++i)
        pages[static_cast<std::size_t>(i)] = {line("Das lange Buch", 72, 762, 9),
                                              line("Kapitel " + std::to_string(3 * i + 1), 72, 730, 16),
                                              line("One line alone", 72, 705), line("Then a paragraph", 72, 680),
                                              line("of two lines", 72, 666), line("- " + std::to_string(i + 1) + " -", 300, 30)};
    EXPECT_EQ(removeRepeatedLines(pages, crops), 20);
    for (const Lines& p : pages) EXPECT_EQ(lineText(p[0]).substr(0, 7), "Kapitel");
}

TEST(PdfRepeatedLines, TakesANumberedLineForARunningOneOnlyWhereItsNumberFollowsThePages)
{
    std::vector<std::optional<Rect>> crops(6, letter);
    auto pages = [](std::vector<int> numbers, double size = 12) {
        std::vector<Lines> out;
        for (int n : numbers) {
            Lines p = page("");
            p.insert(p.begin(), line("Chapter " + std::to_string(n), 72, 760, size));
            out.push_back(p);
        }
        return out;
    };
    struct Case {
        std::vector<int> numbers;
        double size;
        int removed;
        const char* why;
    };
    for (const Case& c : {Case{{3, 4, 5, 6, 7, 8}, 12, 6, "the number goes up with the pages"},
                          Case{{9, 9, 9, 9, 9, 9}, 12, 6, "the number stays"},
                          Case{{1, 4, 6, 9, 12, 15}, 12, 0, "chapters that start pages"},
                          Case{{3, 4, 5, 6, 7, 8}, 18, 0, "a heading over the text"},
                          Case{{3, 4, 5}, 12, 0, "three pages are too few to tell"}}) {
        std::vector<Lines> p = pages(c.numbers, c.size);
        EXPECT_EQ(repeatKey(p[0][0]), "chapter #");
        EXPECT_EQ(removeRepeatedLines(p, crops), c.removed) << c.why;
    }

    // In the middle of the pages the same lines stay.
    std::vector<Lines> middle(6, page(""));
    for (Lines& p : middle) p.insert(p.begin() + 2, line("Chapter 3", 72, 500));
    EXPECT_EQ(removeRepeatedLines(middle, crops), 0);
}

TEST(PdfRepeatedLines, KeepsALineOfTheBodyWhereverItStands)
{
    // The same line at the top of six pages, set apart from the body or at
    // its line spacing, as the first line of a paragraph.
    std::vector<std::optional<Rect>> crops(6, letter);
    // 14 points is the body's line spacing, 20 a paragraph break.
    for (double gap : {40.0, 14.0, 20.0}) {
        std::vector<Lines> pages;
        for (int i = 0; i < 6; ++i) {
            Lines p{line("The terms of the estimate are these", 72, 700)};
            for (int k = 0; k < 4; ++k) p.push_back(line("Body text line " + std::to_string(i * 4 + k), 72, 700 - gap - 14.0 * k));
            pages.push_back(p);
        }
        EXPECT_EQ(removeRepeatedLines(pages, crops), gap == 40 ? 6 : 0) << gap;
    }
    // Below a header of its own, the first line of a paragraph that runs on
    // past the band, with white further down the page.
    std::vector<Lines> second;
    for (int i = 0; i < 6; ++i)
        second.push_back({line("Section " + std::string(1, static_cast<char>('A' + i)), 72, 760),
                          line("The terms of the estimate are these", 72, 700),
                          line("and they hold for every part sent", 72, 686), line("Body text", 72, 600),
                          line("Body text", 72, 586)});
    EXPECT_EQ(removeRepeatedLines(second, crops), 0);
    // A bold line over regular text heads it, at the top of a page or not.
    std::vector<Lines> bold(6, page(""));
    for (Lines& p : bold) p.insert(p.begin(), line("Terms and conditions", 72, 760, 12, true));
    EXPECT_EQ(removeRepeatedLines(bold, crops), 0);
    // Nor is a line set larger than the page's text at its foot a footer.
    std::vector<Lines> large(6, page(""));
    for (Lines& p : large) p.push_back(line("Further reading", 72, 40, 16));
    EXPECT_EQ(removeRepeatedLines(large, crops), 0);
}

TEST(PdfRepeatedLines, RemovesPageNumbersEvenOnASinglePage)
{
    struct Case {
        std::string footer;
        bool removed;
    };
    for (const Case& c : {Case{"Page 1 of 1", true}, Case{"- 1 -", true}, Case{"\u2014 12 \u2014", true},
                          Case{"3/10", true}, Case{"Smith \u00B7 Page 7", true}, Case{"Report, page 2 of 9", true},
                          Case{"Homepage 7", false}, Case{"iv", false}, Case{"Annual report", false}}) {
        std::vector<Lines> pages{page("", c.footer)};
        std::vector<std::optional<Rect>> crops{letter};
        EXPECT_EQ(removeRepeatedLines(pages, crops), c.removed ? 1 : 0) << c.footer;
    }
    std::vector<Lines> none{page("Annual report")};
    std::vector<std::optional<Rect>> noCrop{std::nullopt};
    EXPECT_EQ(removeRepeatedLines(none, noCrop), 0) << "a page that could not be fetched has no bands";
}

TEST(PdfColumns, ReadsTheLeftColumnFirstBetweenFullWidthLines)
{
    Lines lines{line("A heading that runs over both of the columns of the page", 72, 740)};
    for (int i = 0; i < 10; ++i) lines.push_back(twoColumns(700 - 14.0 * i, 'l', 'r'));
    lines.push_back(line("A footnote that also runs right across the page from side to", 72, 60));
    std::vector<Flow> flows = detectColumns(lines);
    ASSERT_EQ(flows.size(), 4u);
    EXPECT_FALSE(flows[0].column);
    EXPECT_TRUE(flows[1].column);
    EXPECT_TRUE(flows[2].column);
    EXPECT_FALSE(flows[3].column);
    EXPECT_EQ(flowTexts(flows[1]), std::vector<std::string>(10, half('l')));
    EXPECT_EQ(flowTexts(flows[2]), std::vector<std::string>(10, half('r')));
    EXPECT_EQ(flowTexts(flows[3]).front().substr(0, 10), "A footnote");
    EXPECT_EQ(detectColumns(Lines(lines)), flows) << "lines handed over read as copied ones";
    EXPECT_TRUE(detectColumns({}).empty());
}

TEST(PdfColumns, FindsNoGutterWithoutEnoughSideBySideText)
{
    Lines few{twoColumns(700, 'a', 'b'), twoColumns(686, 'a', 'b')};
    EXPECT_FALSE(findGutter(few, 72, 500)) << "fewer than 6 segments";

    Lines stacked;
    for (int i = 0; i < 4; ++i) stacked.push_back(line(half('l'), 72, 700 - 14.0 * i));
    for (int i = 0; i < 4; ++i) stacked.push_back(line(half('r'), 332, 400 - 14.0 * i));
    EXPECT_FALSE(findGutter(stacked, 72, 500)) << "the right column stands below the left one";

    Lines labels;
    for (int i = 0; i < 6; ++i)
        labels.push_back(makeLine({word("Label number " + std::to_string(i) + " here ok", 72, 700 - 14.0 * i),
                                   word("value", 450, 700 - 14.0 * i)}));
    std::vector<Flow> flows = detectColumns(labels);
    ASSERT_EQ(flows.size(), 1u);
    EXPECT_FALSE(flows[0].column);
    EXPECT_TRUE(std::holds_alternative<FlowItem::Table>(flows[0].items[0].value)) << "label-value lines are a table";
}

TEST(PdfColumns, MakesAOneSidedColumnStretchOneFullWidthFlow)
{
    Lines lines;
    for (int i = 0; i < 4; ++i) lines.push_back(twoColumns(700 - 14.0 * i, 'l', 'r'));
    lines.push_back(line("A line across the whole width of the page from one side to the other", 72, 600));
    lines.push_back(line(half('x'), 72, 580));
    lines.push_back(line(half('y'), 72, 566));
    std::vector<Flow> flows = detectColumns(lines);
    ASSERT_EQ(flows.size(), 4u);
    EXPECT_FALSE(flows[3].column);
    EXPECT_EQ(flowTexts(flows[3]), (std::vector<std::string>{half('x'), half('y')}));
}

TEST(PdfColumns, ReadsATableUnderTheColumnsRowByRow)
{
    Lines lines;
    for (int i = 0; i < 8; ++i) lines.push_back(twoColumns(700 - 14.0 * i, 'l', 'r'));
    lines.push_back(line("The table below gives the harvest of the crops that did best this year", 72, 560));
    // Three cells a row, none reaching across the gutter (near x 322).
    for (auto [y, crop, kilos, month] : {std::tuple{540.0, "Crop", "Harvest", "Month"},
                                         std::tuple{526.0, "Beans", "64 kg", "August"},
                                         std::tuple{512.0, "Apples", "88 kg", "September"}})
        lines.push_back(makeLine({word(crop, 72, y), word(kilos, 200, y), word(month, 400, y)}));
    std::vector<Flow> flows = detectColumns(lines);
    EXPECT_EQ(detectColumns(Lines(lines)), flows) << "lines handed over read as copied ones";
    ASSERT_EQ(flows.size(), 4u);
    EXPECT_TRUE(flows[1].column);
    EXPECT_FALSE(flows[3].column);
    ASSERT_EQ(flows[3].items.size(), 1u);
    auto* table = std::get_if<FlowItem::Table>(&flows[3].items[0].value);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rows.size(), 3u);
    EXPECT_EQ(table->rows[1].size(), 3u);
}

TEST(PdfColumns, KeepsTheWordsOfASegmentThatReachesAcrossTheGutter)
{
    Lines lines;
    for (int i = 0; i < 6; ++i) lines.push_back(twoColumns(700 - 14.0 * i, 'l', 'r'));
    std::optional<double> gutter = findGutter(lines, 72, 500);
    ASSERT_TRUE(gutter);
    // Starts half a point left of the gutter: a column line, but in neither side by its edges.
    lines.push_back(makeLine({word("left", 72, 600), word("straddling", *gutter - 0.5, 600)}));
    std::vector<Flow> flows = detectColumns(lines);
    ASSERT_EQ(flows.size(), 2u);
    std::vector<std::string> left = flowTexts(flows[0]), right = flowTexts(flows[1]);
    // Each word whole, in the column that holds its centre.
    EXPECT_NE(std::find(right.begin(), right.end(), "straddling"), right.end());
    EXPECT_NE(std::find(left.begin(), left.end(), "left"), left.end());

    // Across a gutter given: a word reaching less than a point past it, and
    // one starting less than a point before it, each with its centre's side.
    const double g = *gutter;
    Lines stretch{twoColumns(700, 'l', 'r'), twoColumns(686, 'l', 'r'),
                  makeLine({word("left", 72, 600), word("reaching", g + 0.8 - 48, 600)}),
                  makeLine({word("over", g - 0.8, 586), word("right", 450, 586)})};
    std::vector<Flow> given;
    flushStretch(stretch, true, g, given);
    ASSERT_EQ(given.size(), 2u);
    EXPECT_EQ(flowTexts(given[0]).back(), "left reaching");
    EXPECT_EQ(flowTexts(given[1]).back(), "over right");
    EXPECT_TRUE(stretch.empty());
}

// A justified line of two 230-point columns of 10-point type with a 10-point
// gutter, as a two-column article sets them: word spaces of 3.4 points.
Line narrowGutterLine(double y, const std::string& left, const std::string& right)
{
    std::vector<Word> words;
    for (auto [x, text] : {std::pair{72.0, left}, std::pair{312.0, right}})
        for (int i = 0; i < 6; ++i)
            words.push_back(Word{text + std::to_string(i), Rect{x + i * (35.5 + 3.4), y, 35.5, 10}, 10});
    return makeLine(std::move(words));
}

TEST(PdfColumns, FindsAGutterAsNarrowAsTheType)
{
    Lines lines{line("A title over both columns", 200, 740, 14)};
    for (int i = 0; i < 12; ++i)
        lines.push_back(narrowGutterLine(700 - 12.0 * i, "l" + std::to_string(i) + "w", "r" + std::to_string(i) + "w"));
    std::vector<Flow> flows = detectColumns(lines);
    ASSERT_EQ(flows.size(), 3u);
    EXPECT_FALSE(flows[0].column);
    ASSERT_TRUE(flows[1].column && flows[2].column);
    std::vector<std::string> left = flowTexts(flows[1]), right = flowTexts(flows[2]);
    ASSERT_EQ(left.size(), 12u);
    ASSERT_EQ(right.size(), 12u);
    EXPECT_EQ(left[3], "l3w0 l3w1 l3w2 l3w3 l3w4 l3w5");
    EXPECT_EQ(right[11], "r11w0 r11w1 r11w2 r11w3 r11w4 r11w5");

    // Five lines open are too few for a gutter, six enough; two lines across
    // it of six open are too many, one is not.
    struct Case {
        int open, across;
        bool gutter;
    };
    for (const Case& c : {Case{5, 0, false}, Case{6, 0, true}, Case{6, 2, false}, Case{6, 1, true}}) {
        Lines few;
        for (int i = 0; i < c.across; ++i)
            few.push_back(makeLine({word("Title", 72, 760 - 14.0 * i, 10),
                                    word("runningrightacrossthegutter", 200, 760 - 14.0 * i, 10),
                                    word("end", 500, 760 - 14.0 * i, 10)}));
        for (int i = 0; i < c.open; ++i)
            few.push_back(narrowGutterLine(700 - 12.0 * i, "l" + std::to_string(i) + "w", "r" + std::to_string(i) + "w"));
        std::vector<Flow> flows = detectColumns(few);
        EXPECT_EQ(std::count_if(flows.begin(), flows.end(), [](const Flow& f) { return f.column; }), c.gutter ? 2 : 0)
            << c.open << " open, " << c.across << " across";
    }

    // Inside a column, a band that only half the lines across it leave open
    // (the others 3 points apart there, a space too narrow to count) is no
    // gutter, though it lines up and nothing crosses it.
    Lines half;
    for (int i = 0; i < 12; ++i) {
        const double y = 700 - 12.0 * i, gap = i % 2 == 0 ? 6 : 3;
        half.push_back(makeLine({Word{"a", Rect{72, y, 55, 10}, 10}, Word{"b", Rect{132, y, 54, 10}, 10},
                                 Word{"c", Rect{186 + gap, y, 60, 10}, 10},
                                 Word{"d", Rect{251 + gap, y, 61 - gap, 10}, 10},
                                 Word{"e", Rect{332, y, 70, 10}, 10}, Word{"f", Rect{407, y, 70, 10}, 10},
                                 Word{"g", Rect{482, y, 70, 10}, 10}}));
    }
    std::vector<Flow> halfFlows = detectColumns(half);
    ASSERT_EQ(halfFlows.size(), 2u);
    EXPECT_EQ(halfFlows[0].columns, 2);

    // The same words evenly spaced across the page leave no band open: one flow.
    Lines even;
    for (int i = 0; i < 12; ++i) {
        std::vector<Word> words;
        for (int k = 0; k < 12; ++k) words.push_back(Word{"w", Rect{72 + k * 38.9 + (i % 3) * 9, 700 - 12.0 * i, 35.5, 10}, 10});
        even.push_back(makeLine(std::move(words)));
    }
    EXPECT_EQ(detectColumns(even).size(), 1u);
}

TEST(PdfColumns, EndsTheGutterSearchWhateverTheWidth)
{
    Lines lines;
    for (int i = 0; i < 6; ++i) lines.push_back(twoColumns(700 - 14.0 * i, 'l', 'r'));
    lines.push_back(line("far", 1e12, 500));
    auto start = std::chrono::steady_clock::now();
    std::vector<Flow> flows = detectColumns(lines);
    EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(10)));
    EXPECT_FALSE(flows.empty());
}

TEST(PdfColumns, ReadsEveryColumnOfThreeOrFourLeftToRight)
{
    // Three columns of four 10-point words, under a title across them: gaps
    // between the columns of 16 points (wider than the type, so lines split
    // there) and of 9 or 8 (narrower: found as white bands), the columns
    // justified with word spaces of 4, 7 (nearly as far apart as the gutter)
    // or 10 (farther: once one gutter is found, the other is told by its
    // lining up). Both gutters leave as many lines on either side, so the
    // search must not take the span between them for one. A band only 1.2
    // times the word space is no gutter. Four columns leave each less than a
    // quarter of the text's width.
    struct Case {
        double gap;
        std::array<double, 4> spaces;
        bool columns;
        int count = 3;
    };
    for (const Case& c : {Case{16, {4, 4, 4}, true}, Case{9, {4, 4, 4}, true}, Case{8, {4, 7, 4}, true},
                          Case{8, {4, 10, 10}, true}, Case{6, {5, 5, 5}, false}, Case{16, {4, 4, 4, 4}, true, 4}}) {
        Lines lines{c.count == 3 ? line("A title across the three columns of the page", 72, 740, 14)
                                 : line("A title across the four columns of the page that runs on from its left edge "
                                        "to its right edge, all the way",
                                        72, 740)};
        for (int i = 0; i < 12; ++i) {
            std::vector<Word> words;
            double x = 72;
            for (int col = 0; col < c.count; ++col) {
                // A justified column's words differ in width from line to line, and its spaces with them.
                double widths[4], sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum += widths[k] = 35.5 + (c.spaces[static_cast<std::size_t>(col)] > 5 ? ((i + k) % 3 - 1) * 6.0 : 0);
                double space = (4 * 35.5 + 3 * c.spaces[static_cast<std::size_t>(col)] - sum) / 3;
                for (int k = 0; k < 4; ++k) {
                    words.push_back(Word{std::string(1, static_cast<char>('a' + col)) + std::to_string(i) + "w" +
                                             std::to_string(k),
                                         Rect{x, 700 - 12.0 * i, widths[k], 10}, 10});
                    x += widths[k] + (k < 3 ? space : c.gap);
                }
            }
            lines.push_back(makeLine(std::move(words)));
        }
        std::vector<Flow> flows = detectColumns(lines);
        if (!c.columns) {
            EXPECT_EQ(flows.size(), 1u) << c.gap;
            continue;
        }
        ASSERT_EQ(flows.size(), static_cast<std::size_t>(c.count) + 1) << c.gap << " " << c.spaces[1];
        EXPECT_FALSE(flows[0].column);
        for (int col = 0; col < c.count; ++col) {
            const Flow& f = flows[static_cast<std::size_t>(col) + 1];
            EXPECT_TRUE(f.column);
            EXPECT_EQ(f.columns, c.count);
            std::vector<std::string> texts = flowTexts(f);
            ASSERT_EQ(texts.size(), 12u) << c.gap << " " << c.spaces[1];
            std::string p(1, static_cast<char>('a' + col));
            EXPECT_EQ(texts[5], p + "5w0 " + p + "5w1 " + p + "5w2 " + p + "5w3");
        }
    }
}
