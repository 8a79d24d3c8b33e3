#include "tests/FolmiraKit/Render/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace RenderTest;
using Settings = LargePrintSettings;

namespace {

Block::Cell cell(const std::string& text) { return text.empty() ? Block::Cell{} : Block::Cell{FolmiraKit::Run(text)}; }

Block::Row row(std::initializer_list<const char*> texts)
{
    Block::Row out;
    for (const char* t : texts) out.push_back(cell(t));
    return out;
}

double measured(const std::string& text, bool bold = false)
{
    Platform::AttributedText line;
    line.append(text, LargePrintFont(LargePrintFont::atkinson).font(18, bold, false));
    return Platform::TextLayout::lineWidth(line);
}

template <typename Case>
std::vector<Case> opsOf(const Page& page)
{
    std::vector<Case> out;
    for (const Op& op : page)
        if (auto* value = op.as<Case>()) out.push_back(*value);
    return out;
}

// Paragraphs that bring the cursor down by about n lines.
void fill(Layout& layout, int n)
{
    for (int i = 0; i < n; ++i) layout.add(para("Line."), nullptr);
}

} // namespace

TEST(LayoutTableGrid, WidensColumnsToFillTheTextColumn)
{
    Layout layout{Settings()};
    layout.add(Block::table({row({"Item", "Price"}), row({"Seeds", "2.50"})}, true), nullptr);
    EXPECT_EQ(layout.listedTables(), 0);
    auto boxes = opsOf<Op::Box>(layout.ops());
    ASSERT_EQ(boxes.size(), 4u);
    // Each column's maximum is its widest whole text plus 2 × 6.3 + 1; the slack
    // is shared in proportion to those maximums.
    double a = std::max({measured("Item", true), measured("Seeds")}) + 13.6;
    double b = std::max({measured("Price", true), measured("2.50")}) + 13.6;
    EXPECT_NEAR(boxes[0].rect.width, a + a / (a + b) * (504 - a - b), 1e-6);
    EXPECT_NEAR(boxes[0].rect.width + boxes[1].rect.width, 504, 1e-9);
    EXPECT_DOUBLE_EQ(boxes[1].rect.x, 54 + boxes[0].rect.width);
    // Rows are one line high plus the padding, the header on a grey ground.
    EXPECT_NEAR(boxes[0].rect.height, 25.2 + 12.6, 1e-9);
    auto fills = opsOf<Op::Fill>(layout.ops());
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0], (Op::Fill{{54, 738 - 37.8, 504, 37.8}, 0.9}));
    EXPECT_NEAR(layout.cursor(), 738 - 2 * 37.8 - 10.8, 1e-9);
    // Cell text sits inside the padding.
    auto frames = texts(layout.ops());
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0]->layout->text(), "Item");
    EXPECT_DOUBLE_EQ(frames[0]->origins[0].x, 54 + 6.3);
    EXPECT_DOUBLE_EQ(frames[0]->rect.maxY(), 738 - 6.3);

    // A right-to-left table (most cells begin right to left, figures count
    // for neither) has its first column at the right, as wide as before.
    Layout rtl{Settings()};
    rtl.add(Block::table({row({"\u05E2\u05D9\u05E8", "\u05EA\u05D5\u05E9\u05D1\u05D9\u05DD"}),
                          row({"\u05D7\u05D9\u05E4\u05D4", "285000"}), row({"Eilat", "52000"})},
                         false),
            nullptr);
    auto mirrored = opsOf<Op::Box>(rtl.ops());
    ASSERT_EQ(mirrored.size(), 6u);
    EXPECT_NEAR(mirrored[0].rect.maxX(), 558, 1e-9);
    EXPECT_NEAR(mirrored[1].rect.maxX(), mirrored[0].rect.minX(), 1e-9);
    EXPECT_NEAR(mirrored[1].rect.minX(), 54, 1e-9);
    // As many cells each way: a left-to-right table.
    Layout tie{Settings()};
    tie.add(Block::table({row({"Eilat", "\u05E2\u05D9\u05E8"}), row({"52000", "1951"})}, false), nullptr);
    EXPECT_NEAR(opsOf<Op::Box>(tie.ops()).at(0).rect.minX(), 54, 1e-9);
}

TEST(LayoutTableGrid, SharesOutWhatIsLeftBetweenMinimumAndMaximum)
{
    // Too long for whole texts side by side, but every word fits.
    std::string longText = words(60);
    Layout layout{Settings()};
    layout.add(Block::table({row({"", longText.c_str(), "tiny"})}, false), nullptr);
    EXPECT_EQ(layout.listedTables(), 0);
    auto boxes = opsOf<Op::Box>(layout.ops());
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_NEAR(boxes[0].rect.width, 13.6, 1e-9);                   // an empty column keeps its minimum
    EXPECT_NEAR(boxes[2].rect.width, measured("tiny") + 13.6, 1e-9); // no difference, no share
    EXPECT_NEAR(boxes[0].rect.width + boxes[1].rect.width + boxes[2].rect.width, 504, 1e-9);
    EXPECT_GT(boxes[1].rect.height, 3 * 25.2); // the long text wrapped
}

TEST(LayoutTableGrid, GivesUpWhenTheGridCannotFit)
{
    std::string word(40, 'W');
    std::string manyLines = words(600);
    struct Case {
        const char* name;
        Block table;
    } cases[] = {
        {"the longest words are too wide", Block::table({row({word.c_str(), word.c_str(), word.c_str()})}, false)},
        {"a row needs most of a page", Block::table({row({manyLines.c_str()})}, false)},
        // Each row alone fits, but the header repeated above the tall row would not.
        {"header and tallest row exceed a page",
         Block::table({row({words(95).c_str()}), row({words(200).c_str()}), row({"short"})}, true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Layout layout{Settings()};
        layout.add(c.table, nullptr);
        EXPECT_EQ(layout.listedTables(), 1);
        EXPECT_TRUE(opsOf<Op::Box>(layout.ops()).empty());
        EXPECT_FALSE(texts(layout.ops()).empty());
    }
    // The same tall rows without a header to repeat fit as a grid.
    Layout layout{Settings()};
    layout.add(Block::table({row({words(95).c_str()}), row({words(200).c_str()}), row({"short"})}, false), nullptr);
    EXPECT_EQ(layout.listedTables(), 0);
}

TEST(LayoutTableGrid, RepeatsTheHeaderOnEveryNewPage)
{
    std::vector<Block::Row> rows = {row({"Name", "Age"})};
    for (int i = 0; i < 30; ++i) rows.push_back(row({"Someone", "42"}));
    Layout layout{Settings()};
    layout.add(Block::table(rows, true), nullptr);
    auto pages = layout.finish();
    ASSERT_EQ(pages.size(), 2u);
    for (const auto& page : pages) {
        auto fills = opsOf<Op::Fill>(page);
        ASSERT_EQ(fills.size(), 1u);
        EXPECT_DOUBLE_EQ(fills[0].rect.maxY(), 738); // the header opens the page
        EXPECT_EQ(texts(page)[0]->layout->text(), "Name");
    }
    // No row crosses the bottom of the text area.
    for (const auto& box : opsOf<Op::Box>(pages[0])) EXPECT_GE(box.rect.minY(), 82.8 - 1e-9);
}

TEST(LayoutTableGrid, KeepsTheHeaderWithTheFirstRow)
{
    int moved = 0, stayed = 0;
    for (int n = 14; n < 18; ++n) {
        Layout layout{Settings()};
        fill(layout, n);
        double room = layout.cursor() - layout.bottom;
        layout.add(Block::table({row({"Name"}), row({"Ann"})}, true), nullptr);
        auto pages = layout.finish();
        bool onNewPage = opsOf<Op::Fill>(pages[0]).empty();
        EXPECT_EQ(onNewPage, room < 2 * 37.8) << room;
        if (room >= 37.8) (onNewPage ? moved : stayed)++;
    }
    EXPECT_GT(moved, 0);
    EXPECT_GT(stayed, 0);
}

TEST(LayoutTableGrid, DrawsHeavyBordersWithoutFillInHighContrast)
{
    Settings s;
    s.highContrast = true;
    Layout layout(s);
    layout.add(Block::table({row({"Name", "Age"}), row({"Ann", "7"})}, true), nullptr);
    EXPECT_TRUE(opsOf<Op::Fill>(layout.ops()).empty());
    auto boxes = opsOf<Op::Box>(layout.ops());
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].width, 3.0);
    EXPECT_EQ(boxes[1].width, 3.0);
    EXPECT_EQ(boxes[2].width, 2.5);
    EXPECT_EQ(boxes[3].width, 2.5);
}

TEST(LayoutTableGrid, ATableWithoutCellsDrawsNothing)
{
    Layout layout{Settings()};
    layout.add(Block::table({{}, {}}, true), nullptr);
    EXPECT_TRUE(layout.ops().empty());
    EXPECT_EQ(layout.listedTables(), 0);
    EXPECT_DOUBLE_EQ(layout.cursor(), 738 - 10.8);
}

TEST(LayoutTableList, ListRowsWithTheirColumnNames)
{
    Settings s;
    s.tables = Settings::TableMode::list;
    Layout layout(s);
    
    layout.add(Block::table({{cell("Name"), cell("Age")}, {cell("Ann"), cell("7")}, {cell("Bo"), {}}}, true), nullptr);
    auto frames = texts(layout.ops());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0]->layout->text(), "Name: Ann\u2028Age: 7");
    EXPECT_EQ(frames[1]->layout->text(), "Name: Bo");
    // One short separator between the rows, none after the last.
    std::vector<Op::Line> rules;
    for (const Op& op : layout.ops())
        if (auto* line = op.as<Op::Line>()) rules.push_back(*line);
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_DOUBLE_EQ(rules[0].from.y, frameBottom(*frames[0], 25.2) - 7.2);
    EXPECT_DOUBLE_EQ(rules[0].to.x - rules[0].from.x, 0.4 * 504);
    EXPECT_DOUBLE_EQ(frames[1]->rect.maxY(), rules[0].from.y - 9);
    EXPECT_EQ(layout.listedTables(), 1);

    Layout plain(s);
    plain.add(Block::table({{cell("Ann"), cell("7")}}, false), nullptr);
    EXPECT_EQ(texts(plain.ops())[0]->layout->text(), "Ann\u20287");
}

TEST(LayoutTableList, CountListedTablesEvenWhenNothingShows)
{
    Settings s;
    s.tables = Settings::TableMode::list;
    Layout layout(s);
    layout.add(Block::table({}, true), nullptr); // no rows: nothing at all
    EXPECT_DOUBLE_EQ(layout.cursor(), 738);
    EXPECT_EQ(layout.listedTables(), 0);
    layout.add(Block::table({{Block::Cell{FolmiraKit::Run("Only a header")}}}, true), nullptr);
    layout.add(Block::table({{{}, {}}}, false), nullptr);
    EXPECT_TRUE(layout.ops().empty());
    EXPECT_EQ(layout.listedTables(), 2);
    EXPECT_DOUBLE_EQ(layout.cursor(), 738 - 2 * 10.8);
}

