// Tables long or wide enough to be laid out in pieces: the pages read as one
// table, whichever thread shaped which piece.

#include "tests/FolmiraKit/Render/RenderTestSupport.h"

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Render/Renderer.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace RenderTest;
using Settings = LargePrintSettings;

namespace {

Block::Cell cell(const std::string& text) { return Block::Cell{FolmiraKit::Run(text)}; }

// Every page of `blocks`, laid out with `threads` shaping threads.
std::vector<Page> pagesOf(const Blocks& blocks, int threads, const Settings& settings = Settings())
{
    Renderer::setShapingThreads(threads);
    Layout layout(settings);
    layout.shapeAhead(blocks, threads);
    addAll(layout, blocks);
    Renderer::setShapingThreads(0);
    return layout.finish();
}

// The lines of every frame, in order.
std::vector<std::string> linesOf(const std::vector<Page>& pages)
{
    std::vector<std::string> out;
    for (const Page& page : pages)
        for (const Op::Text* frame : texts(page))
            for (int k = 0; k < frame->lineCount; ++k) {
                const auto& line = frame->layout->lines()[static_cast<std::size_t>(frame->firstLine + k)];
                std::string text = frame->layout->text().substr(line.start, line.length);
                if (text.size() >= 3 && text.compare(text.size() - 3, 3, "\u2028") == 0) text.resize(text.size() - 3);
                out.push_back(text);
            }
    return out;
}

} // namespace

TEST(LayoutLongTable, ATallGridRepeatsItsHeaderOnEveryPageItReaches)
{
    // Long enough to be planned on several threads, too.
    std::vector<Block::Row> rows = {{cell("Name"), cell("Seat")}};
    for (int i = 0; i < 2500; ++i) rows.push_back({cell("Guest " + std::to_string(i)), cell(std::to_string(i % 40))});
    const Blocks blocks = {para("Before."), Block::table(rows, true), para("After.")};

    const auto pages = pagesOf(blocks, 4);
    EXPECT_EQ(pagesOf(blocks, 1), pages);
    ASSERT_GT(pages.size(), 10u);
    std::vector<std::string> guests;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const auto frames = texts(pages[p]);
        for (const Op::Text* frame : frames)
            if (frame->layout->text().rfind("Guest ", 0) == 0) guests.push_back(frame->layout->text());
        if (p == 0 || p + 1 == pages.size()) continue;
        // Every page the table goes on to opens with the header row on grey.
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames[0]->layout->text(), "Name");
        const Op::Fill* fill = pages[p].front().as<Op::Fill>();
        ASSERT_NE(fill, nullptr);
        EXPECT_DOUBLE_EQ(fill->rect.maxY(), 738);
    }
    ASSERT_EQ(guests.size(), 2500u);
    for (int i = 0; i < 2500; ++i) EXPECT_EQ(guests[static_cast<std::size_t>(i)], "Guest " + std::to_string(i));

    // A word too wide for any column near the end lists the whole table,
    // whichever thread measured it.
    rows.back() = {cell(std::string(60, 'W')), cell("x")};
    const Blocks wide = {Block::table(rows, true)};
    Layout listed{Settings()};
    addAll(listed, wide);
    EXPECT_EQ(listed.listedTables(), 1);
    EXPECT_EQ(pagesOf(wide, 4), pagesOf(wide, 1));

    // Only counted, the same table leaves its cells unshaped and makes as many pages.
    Layout counted{Settings()};
    counted.onlyCount();
    counted.shapeAhead(blocks, 4);
    addAll(counted, blocks);
    const auto counts = counted.finish();
    ASSERT_EQ(counts.size(), pages.size());
    EXPECT_EQ(texts(counts[1]).size(), 0u);
    EXPECT_EQ(counts[1].size(), pages[1].size() - texts(pages[1]).size());
}

TEST(LayoutLongTable, AVeryWideRowIsListedLineUnderLineWithoutABreak)
{
    // Thousands of columns: far too wide for a grid, and each listed row far
    // longer than one piece of text.
    const int columns = 3000;
    std::vector<Block::Row> rows(3);
    for (int c = 0; c < columns; ++c) {
        rows[0].push_back(cell("n" + std::to_string(c)));
        rows[1].push_back(cell("v" + std::to_string(c)));
        rows[2].push_back(cell("w" + std::to_string(c)));
    }
    const Blocks blocks = {Block::table(rows, true)};
    // A wide pitch, so that the room left under a line's descent is not the
    // room to the next line.
    Settings settings;
    settings.lineSpacing = 2.0;
    const auto pages = pagesOf(blocks, 4, settings);
    EXPECT_EQ(pagesOf(blocks, 1, settings), pages);

    const auto lines = linesOf(pages);
    ASSERT_EQ(lines.size(), 2u * columns);
    for (int c = 0; c < columns; ++c) {
        EXPECT_EQ(lines[static_cast<std::size_t>(c)], "n" + std::to_string(c) + ": v" + std::to_string(c));
        EXPECT_EQ(lines[static_cast<std::size_t>(columns + c)], "n" + std::to_string(c) + ": w" + std::to_string(c));
    }
    // Within a row, every line is one pitch below the line before it, page by page.
    const double pitch = 2.0 * 18;
    int separators = 0;
    for (const Page& page : pages) {
        std::vector<double> slots;
        for (const Op& op : page) {
            if (op.as<Op::Line>()) ++separators;
            if (const auto* frame = op.as<Op::Text>())
                for (int k = 0; k < frame->lineCount; ++k) {
                    const auto& line = frame->layout->lines()[static_cast<std::size_t>(frame->firstLine + k)];
                    if (frame->layout->text().compare(line.start, 4, "n0: ") == 0) slots.clear(); // a new row
                    slots.push_back(frame->origins[static_cast<std::size_t>(k)].y - line.descent);
                    if (slots.size() > 1) { EXPECT_NEAR(slots[slots.size() - 2] - slots.back(), pitch, 1e-6); }
                }
        }
    }
    EXPECT_EQ(separators, 1); // between the two rows only
}

TEST(LayoutLongTable, OnlyCountedAListedTableMakesTheSamePagesAsLaidOut)
{
    // Lines that repeat from row to row, and lines that cannot be taken from
    // another row's: other scripts, faces, wrapped values, breaks in a cell,
    // empty cells, a value that ends in a break.
    std::vector<Block::Row> rows = {{cell("Name"), cell("Seat"), cell("Note"), cell("Menu")}};
    const std::vector<std::string> notes = {"none", "Zoë Ångström", "first line\nsecond line", "",
                                            std::string(40, 'w') + " " + std::string(50, 'x'), std::string(150, 'y'),
                                            "ends in a break\n", "tab\there", "a few words that wrap onto a second line"};
    for (int i = 0; i < 400; ++i) {
        Block::Cell menu = i % 5 == 0 ? Block::Cell{FolmiraKit::Run("fish", true), FolmiraKit::Run(" or ", false, true),
                                                    FolmiraKit::Run("meat")}
                                      : cell(i % 3 ? "fish" : "meat");
        rows.push_back({cell("Guest " + std::to_string(i % 7)), cell(std::to_string(i % 4)),
                        cell(notes[static_cast<std::size_t>(i) % notes.size()]), menu});
    }
    const Blocks blocks = {para("Before."), Block::table(rows, true), para("After.")};
    Settings plain;
    plain.tables = Settings::TableMode::list;
    Settings bold = plain;
    bold.highContrast = true;
    bold.lineSpacing = 1.9;
    for (const Settings& settings : {plain, bold}) {
        for (int threads : {1, 4}) {
            const auto pages = pagesOf(blocks, threads, settings);
            ASSERT_GT(pages.size(), 20u);
            Renderer::setShapingThreads(threads);
            Layout counted(settings);
            counted.onlyCount();
            counted.shapeAhead(blocks, threads);
            addAll(counted, blocks);
            Renderer::setShapingThreads(0);
            EXPECT_EQ(counted.finish(), pages) << "high contrast " << settings.highContrast << ", threads " << threads;
        }
    }
}

TEST(LayoutLongTable, ARenderOfOneHugeTableStopsSoonAfterItIsCancelled)
{
    auto guests = [](int count) {
        std::vector<Block::Row> rows = {{cell("Name"), cell("Seat"), cell("Note")}};
        for (int i = 0; i < count; ++i) rows.push_back({cell("Guest " + std::to_string(i)), cell("12"), cell("none")});
        return BigDocument{"Guests", BigDocument::Source::markdown, {Block::table(std::move(rows), true)}, {}};
    };
    const CancelledRender render = renderCancelledAfter(guests(100'000), std::chrono::milliseconds(100));
    EXPECT_TRUE(render.cancelled);
    // It goes on for a small share of the time a tenth of the table takes
    // whole: at most 6 % of it under a full load of tests.
    const auto tenth = renderTime(guests(10'000));
    EXPECT_LT(share(render.lag, tenth), HangGuard::ratio(0.06))
        << std::chrono::duration<double>(render.lag).count() << " s after the cancel, "
        << std::chrono::duration<double>(tenth).count() << " s for a tenth of the table";
}
