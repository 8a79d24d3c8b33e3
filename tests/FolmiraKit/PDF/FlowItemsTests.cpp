#include "FolmiraKit/PDF/FlowItems.h"
#include "FolmiraKit/PDF/LineTools.h"
#include "tests/FolmiraKit/PDF/PdfTestLines.h"

#include <gtest/gtest.h>

using namespace FolmiraKit;
using namespace FolmiraKit::PDFReader;
using namespace PdfTestLines;

namespace {

// A line of cells: each {text, x} is one segment (words a space apart).
Line row(std::initializer_list<std::pair<std::string, double>> cells, double y, double size = 12, bool bold = false)
{
    std::vector<Word> words;
    for (const auto& [text, x] : cells) {
        Line cell = line(text, x, y, size, bold);
        words.insert(words.end(), cell.words.begin(), cell.words.end());
    }
    return makeLine(std::move(words));
}

// The cells' plain texts, row by row.
std::vector<std::vector<std::string>> cells(const std::vector<Block::Row>& rows)
{
    std::vector<std::vector<std::string>> out;
    for (const auto& r : rows) {
        out.emplace_back();
        for (const auto& cell : r) out.back().push_back(plain(cell));
    }
    return out;
}

using Grid = std::vector<std::vector<std::string>>;

std::string kinds(const std::vector<FlowItem>& items)
{
    std::string out;
    for (const auto& item : items)
        out += std::holds_alternative<FlowItem::Lines>(item.value) ? "L" :
               std::holds_alternative<FlowItem::Table>(item.value) ? "T" : "P";
    return out;
}

} // namespace

TEST(PdfTables, FindsRowsOfAlignedSegments)
{
    Lines lines{row({{"Name", 72}, {"Qty", 250}, {"Price", 400}}, 700), row({{"Apples", 72}, {"3", 250}, {"1.20", 400}}, 686)};
    auto table = detectTables(0, lines);
    ASSERT_TRUE(table);
    EXPECT_EQ(cells(table->rows), (Grid{{"Name", "Qty", "Price"}, {"Apples", "3", "1.20"}}));
    EXPECT_EQ(table->taken, 2);
    EXPECT_FALSE(table->header);

    EXPECT_FALSE(detectTables(0, Lines{lines[0]})) << "one row is no table";
    EXPECT_FALSE(detectTables(0, Lines{line("just words", 72, 700), lines[0]}));
}

TEST(PdfTables, JoinsAWrappedCellAndStopsAtAWrapUnderTheFirstColumn)
{
    Lines lines{row({{"Apple", 72}, {"Green and", 250}, {"1.00", 400}}, 700), line("crunchy", 250, 686),
                row({{"Pear", 72}, {"Soft", 250}, {"2.00", 400}}, 672), line("under the first", 72, 658)};
    auto table = detectTables(0, lines);
    ASSERT_TRUE(table);
    EXPECT_EQ(cells(table->rows), (Grid{{"Apple", "Green and crunchy", "1.00"}, {"Pear", "Soft", "2.00"}}));
    EXPECT_EQ(table->taken, 3);

    // Rows set as close as a cell's lines: a wrapped line under a later row continues its cell too.
    Lines close{lines[0], lines[1], lines[2], line("and sweet", 250, 658)};
    table = detectTables(0, close);
    ASSERT_TRUE(table);
    EXPECT_EQ(cells(table->rows), (Grid{{"Apple", "Green and crunchy", "1.00"}, {"Pear", "Soft and sweet", "2.00"}}));
}

TEST(PdfTables, StopsAtAWideGapASizeChangeOrTwoSegmentsInOneColumn)
{
    Line first = row({{"Name", 72}, {"Qty", 250}, {"Price", 400}}, 700);
    Line second = row({{"Apples", 72}, {"3", 250}, {"1.20", 400}}, 686);
    struct Case {
        const char* what;
        Line third;
    };
    for (const Case& c : {Case{"gap", row({{"Pears", 72}, {"4", 250}, {"2.10", 400}}, 686 - 12 - 20)},
                          Case{"size", row({{"Pears", 72}, {"4", 250}, {"2.10", 400}}, 672, 14)},
                          Case{"one column", row({{"a", 72}, {"b", 96}, {"2.10", 400}}, 672)},
                          Case{"two new columns", row({{"x", 72}, {"4", 250}, {"2.10", 400}, {"y", 480}, {"z", 540}}, 672)}}) {
        auto table = detectTables(0, Lines{first, second, c.third});
        ASSERT_TRUE(table) << c.what;
        EXPECT_EQ(table->taken, 2) << c.what;
        EXPECT_EQ(table->rows.size(), 2u) << c.what;
    }
    // A second line of cells three sizes below the first is no row of it.
    EXPECT_FALSE(detectTables(0, Lines{first, row({{"Pears", 72}, {"4", 250}, {"2.10", 400}}, 700 - 12 - 37)}));
    // Nor is a lone line two sizes under one row the rest of its cell.
    EXPECT_FALSE(detectTables(0, Lines{first, line("3", 250, 700 - 12 - 25), row({{"Pears", 72}, {"4", 250}, {"2.10", 400}}, 640)}));
}

TEST(PdfTables, JoinsACellsLinesAsParagraphsDo)
{
    struct Case {
        const char* end;
        const char* next;
        const char* joined;
    };
    for (const Case& c : {Case{"infor-", "mation", "infor" "mation"}, Case{"the com-", "mand line", "the command line"},
                          Case{"well-", "Known", "well- Known"}, Case{"1990-", "95", "1990- 95"},
                          Case{"plain", "words", "plain words"}, Case{"a -", "b", "a - b"}}) {
        Lines lines{row({{"Key", 72}, {c.end, 250}}, 700), line(c.next, 250, 686), row({{"Next", 72}, {"row", 250}}, 672)};
        auto table = detectTables(0, lines);
        ASSERT_TRUE(table) << c.joined;
        EXPECT_EQ(cells(table->rows), (Grid{{"Key", c.joined}, {"Next", "row"}})) << c.joined;
    }
}

TEST(PdfTables, AcceptsOneNewColumnAndLeavesEarlierRowsEmptyThere)
{
    Lines lines{row({{"Name", 72}, {"Qty", 250}, {"Price", 400}}, 700),
                row({{"Apples", 72}, {"3", 250}, {"1.20", 400}, {"new", 500}}, 686)};
    auto table = detectTables(0, lines);
    ASSERT_TRUE(table);
    EXPECT_EQ(cells(table->rows), (Grid{{"Name", "Qty", "Price", ""}, {"Apples", "3", "1.20", "new"}}));
}

TEST(PdfTables, MarksABoldFirstRowAsHeader)
{
    Line body = row({{"Apples", 72}, {"3", 250}}, 686);
    auto bold = detectTables(0, Lines{row({{"Name", 72}, {"Qty", 250}}, 700, 12, true), body});
    ASSERT_TRUE(bold);
    EXPECT_TRUE(bold->header);
    EXPECT_TRUE(bold->rows[0][0].front().bold);

    Line mixed = row({{"Name", 72}, {"Qty", 250}}, 700, 12, true);
    mixed.words.back().bold = false;
    auto notBold = detectTables(0, Lines{mixed, body});
    ASSERT_TRUE(notBold);
    EXPECT_FALSE(notBold->header);
}

TEST(PdfFlowItems, CutsTextTablesAndPicturesInOrder)
{
    Line text = line("Some words before the table", 72, 740);
    Lines lines{text, row({{"Name", 72}, {"Qty", 250}}, 700), row({{"Apples", 72}, {"3", 250}}, 686),
                line("And words after it", 72, 640)};
    auto items = flowItems(lines, true);
    EXPECT_EQ(kinds(items), "LTL");
    EXPECT_EQ(std::get<FlowItem::Lines>(items[0].value).lines, Lines{text});

    EXPECT_EQ(kinds(flowItems(lines, false)), "L") << "no tables inside a column";

    Line picture{{}, Rect{72, 500, 200, 100}, Picture{{1, 2, 3}, 200, 100, ""}, false};
    auto withPicture = flowItems(Lines{text, picture, line("after", 72, 480)}, true);
    EXPECT_EQ(kinds(withPicture), "LPL");
    // Lines handed over are cut as copied ones are: a table looks on from its own first line only.
    Lines mixed{text, row({{"Name", 72}, {"Qty", 250}}, 700), row({{"Apples", 72}, {"3", 250}}, 686), picture,
                row({{"Pears", 72}, {"4", 250}}, 460), row({{"Plums", 72}, {"5", 250}}, 446), line("after", 72, 400)};
    const auto copied = flowItems(mixed, true);
    EXPECT_EQ(kinds(copied), "LTPTL");
    EXPECT_EQ(flowItems(Lines(mixed), true), copied);
    EXPECT_EQ(flowItems(Lines(mixed), false), flowItems(mixed, false));
    EXPECT_EQ(std::get<FlowItem::Picture>(withPicture[1].value).picture.width, 200);
    EXPECT_TRUE(flowItems({}, true).empty());
}

TEST(PdfTables, KeepsRowsOfPaddedCellsWholeWithMergedCellsAndCutWords)
{
    // Rows 24 points apart (cells padded), columns at 72, 140 and 220; the
    // first column is as wide as "Country". Each case adds lines under two rows.
    Lines head{row({{"Country", 72}, {"Indonesia", 140}, {"Germany", 220}}, 700),
               row({{"Capital", 72}, {"Jakarta", 140}, {"Berlin", 220}}, 676)};
    auto within = [](std::initializer_list<Word> words) { return makeLine(words); };
    struct Case {
        const char* what;
        Lines more;
        Grid rows; // after the two head rows
        int taken;
    };
    for (const Case& c : {
             Case{"cells closer than the type",
                  {within({word("Population", 72, 652), word("273.879.7501", 140, 652), word("83,190,5562", 220, 652)})},
                  {{"Population", "273.879.7501", "83,190,5562"}}, 3},
             Case{"a cell merged across the last two columns",
                  {row({{"Continent", 72}, {"Asia and Europe", 140}}, 652)}, {{"Continent", "Asia and Europe", ""}}, 3},
             Case{"a word cut at the first column's edge",
                  {row({{"Continen", 72}, {"Asia", 140}, {"Europe", 220}}, 652), line("t", 72, 640),
                   row({{"Currency", 72}, {"Rupia", 140}, {"Euro", 220}}, 616)},
                  {{"Continent", "Asia", "Europe"}, {"Currency", "Rupia", "Euro"}}, 5},
             Case{"a number cut in a cell",
                  {row({{"People", 72}, {"273", 140}, {"83,190,", 220}}, 652), line("556", 220, 640)},
                  {{"People", "273", "83,190,556"}}, 4},
             Case{"a row wrapping in two cells",
                  {row({{"Populatio", 72}, {"273", 140}, {"83,190,", 220}}, 652),
                   row({{"n", 72}, {"556", 220}}, 640)},
                  {{"Population", "273", "83,190,556"}}, 4},
             Case{"a label wrapped whole stays two words",
                  {row({{"Capital", 72}, {"Jakarta", 140}, {"Berlin", 220}}, 652), line("city", 72, 640),
                   row({{"Currency", 72}, {"Rupia", 140}, {"Euro", 220}}, 616)},
                  {{"Capital city", "Jakarta", "Berlin"}, {"Currency", "Rupia", "Euro"}}, 5},
             Case{"a merged cell running on past the columns' words",
                  {row({{"Continent", 72}, {"Asia and Europe, both far apart from here", 140}}, 652)},
                  {{"Continent", "Asia and Europe, both far apart from here", ""}}, 3},
             Case{"a row of one cell merged across two columns", {line("Asia and Europe", 140, 652)},
                  {{"", "Asia and Europe", ""}}, 3},
             Case{"an indented line running on past the table",
                  {line("A note set in under the table that runs on far past its right edge", 140, 652)}, {}, 2},
             Case{"a dash alone in its row",
                  {line("-", 140, 652), row({{"Population", 72}, {"273", 140}, {"83,190", 220}}, 628)},
                  {{"", "-", ""}, {"Population", "273", "83,190"}}, 4},
             Case{"a line as widely spaced throughout is text",
                  {within({word("Sums", 72, 652), word("both", 106, 652), word("ways", 140, 652), word("meet", 174, 652)})},
                  {}, 2},
         }) {
        Lines lines = head;
        lines.insert(lines.end(), c.more.begin(), c.more.end());
        lines.push_back(line("The figures come from the last census of each country.", 72, 600));
        auto table = detectTables(0, lines);
        ASSERT_TRUE(table) << c.what;
        Grid expected{{"Country", "Indonesia", "Germany"}, {"Capital", "Jakarta", "Berlin"}};
        expected.insert(expected.end(), c.rows.begin(), c.rows.end());
        EXPECT_EQ(cells(table->rows), expected) << c.what;
        EXPECT_EQ(table->taken, c.taken) << c.what;
    }

    // A first row whose first cell is empty, as over a comparison: the
    // leftmost column is the labels', though a later row began it.
    Lines empty{row({{"Indonesia", 140}, {"Germany", 220}}, 700), row({{"Capital", 72}, {"Jakarta", 140}, {"Berlin", 220}}, 676),
                line("-", 140, 652), row({{"Population", 72}, {"273", 140}, {"83,190", 220}}, 628),
                line("The figures come from the last census of each country.", 72, 600)};
    auto table = detectTables(0, empty);
    ASSERT_TRUE(table);
    EXPECT_EQ(cells(table->rows), (Grid{{"", "Indonesia", "Germany"},
                                        {"Capital", "Jakarta", "Berlin"},
                                        {"", "-", ""},
                                        {"Population", "273", "83,190"}}));

    // A right-to-left table's cells set flush right (a figure's too) are cut
    // where a word ends at its column's right edge, though the next starts
    // short of its column's left edge; its first cell is its rightmost.
    // (Hebrew letters are two bytes: 12 points wide here.)
    Lines rtl{row({{"\u05EA\u05D5\u05E9\u05D1\u05D9\u05DD", 68}, {"\u05D0\u05D1", 176}, {"\u05D2\u05D3", 236}}, 700),
              row({{"285000", 104}, {"\u05D4\u05D5", 176}, {"\u05D6\u05D7", 236}}, 676),
              row({{"52000", 110}, {"\u05D8\u05D9", 176}, {"\u05DB\u05DC", 236}}, 652),
              within({word("981000", 104, 628), word("\u05DE\u05E0\u05E1\u05E2", 152, 628), word("\u05E4\u05E6\u05E7\u05E8", 212, 628)})};
    auto right = detectTables(0, rtl);
    ASSERT_TRUE(right);
    EXPECT_EQ(right->taken, 4);
    EXPECT_EQ(cells(right->rows)[1], (std::vector<std::string>{"\u05D6\u05D7", "\u05D4\u05D5", "285000"}));
    EXPECT_EQ(cells(right->rows)[3], (std::vector<std::string>{"\u05E4\u05E6\u05E7\u05E8", "\u05DE\u05E0\u05E1\u05E2", "981000"}));

    // Cells padded wide (rows 22 points apart, further than lines of text
    // stand) and padded close (rows 9 apart, a label wrapped 3 under its
    // first line): each keeps every row, the paragraph after it left out.
    struct Spacing {
        double pitch, wrap;
    };
    for (const Spacing& s : {Spacing{34, 0}, Spacing{21, 15}}) {
        double y = 700;
        Lines spaced{row({{"Country", 72}, {"Norway", 140}, {"Chile", 220}}, y)};
        spaced.push_back(row({{"Official", 72}, {"Norwegian", 140}, {"Spanish", 220}}, y -= s.pitch));
        if (s.wrap > 0) spaced.push_back(line("language", 72, y - s.wrap));
        spaced.push_back(row({{"Currency", 72}, {"Krone", 140}, {"Peso", 220}}, y -= s.pitch + s.wrap));
        spaced.push_back(row({{"Capital", 72}, {"Oslo", 140}, {"Santiago", 220}}, y -= s.pitch));
        spaced.push_back(line("-", 140, y -= s.pitch)); // a row of one cell
        spaced.push_back(line("The figures come from the last census of each country.", 72, y - 40));
        auto padded = detectTables(0, spaced);
        ASSERT_TRUE(padded) << s.pitch;
        EXPECT_EQ(cells(padded->rows), (Grid{{"Country", "Norway", "Chile"},
                                             {s.wrap > 0 ? "Official language" : "Official", "Norwegian", "Spanish"},
                                             {"Currency", "Krone", "Peso"},
                                             {"Capital", "Oslo", "Santiago"},
                                             {"", "-", ""}}))
            << s.pitch;
        EXPECT_EQ(padded->taken, static_cast<int>(spaced.size()) - 1) << s.pitch;
    }
}
