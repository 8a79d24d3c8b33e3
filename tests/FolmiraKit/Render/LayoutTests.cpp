#include "tests/FolmiraKit/Render/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

#include <sys/resource.h>

using namespace RenderTest;
using Settings = LargePrintSettings;

namespace {

Settings defaults() { return Settings(); }

} // namespace

TEST(LayoutGeometry, FollowsPaperMarginAndPageNumbers)
{
    Layout layout(defaults());
    EXPECT_EQ(layout.page, (Platform::Size{612, 792}));
    EXPECT_DOUBLE_EQ(layout.margin, 54);
    EXPECT_DOUBLE_EQ(layout.left, 54);
    EXPECT_DOUBLE_EQ(layout.width, 504);
    EXPECT_DOUBLE_EQ(layout.top, 738);
    EXPECT_DOUBLE_EQ(layout.bottom, 82.8);
    EXPECT_DOUBLE_EQ(layout.cursor(), 738);
    EXPECT_TRUE(layout.fresh());

    Settings s;
    s.pageNumbers = false;
    s.paper = Settings::Paper::halfLetter;
    s.margin = 1.5;
    Layout small(s);
    EXPECT_DOUBLE_EQ(small.bottom, 108);
    EXPECT_DOUBLE_EQ(small.width, 180);
    EXPECT_DOUBLE_EQ(small.top, 504);
}

TEST(Layout, AnEmptyDocumentIsOneEmptyPage)
{
    Layout layout(defaults());
    auto pages = layout.finish();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].empty());
}

TEST(LayoutHeadings, SetTheirSizeByLevel)
{
    struct Case {
        int level;
        double pitch; // 1.4 × the heading size
    } cases[] = {{0, 37.8}, {1, 37.8}, {2, 32.76}, {3, 28.98}, {6, 28.98}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        Layout layout(defaults());
        layout.add(heading(c.level, words(40)), nullptr);
        auto frames = texts(layout.ops());
        ASSERT_EQ(frames.size(), 1u);
        ASSERT_GE(frames[0]->lineCount, 2);
        EXPECT_NEAR(frames[0]->origins[0].y - frames[0]->origins[1].y, c.pitch, 1e-9);
        EXPECT_DOUBLE_EQ(frames[0]->rect.maxY(), 738); // the first thing on a page gets no space above
    }
}

TEST(LayoutHeadings, TakeSpaceAboveOnlyBelowOtherContent)
{
    for (auto [level, space] : {std::pair{1, 18.0}, std::pair{2, 15.3}, std::pair{3, 15.3}}) {
        Layout layout(defaults());
        layout.add(para("Before."), nullptr);
        double before = layout.cursor();
        EXPECT_DOUBLE_EQ(before, frameBottom(*texts(layout.ops())[0], 25.2) - 0.6 * 18);
        layout.add(heading(level, "Title"), nullptr);
        auto frames = texts(layout.ops());
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_NEAR(frames[1]->rect.maxY(), before - space, 1e-9) << level;
        EXPECT_NEAR(layout.cursor(), frameBottom(*frames[1], 1.4 * 18 * (level == 1 ? 1.5 : level == 2 ? 1.3 : 1.15)) - 6.3,
                    1e-9);
    }
}

TEST(LayoutHeadings, KeepWithWhatFollows)
{
    // Walk the heading down the page one short paragraph at a time and check
    // each time that it moved to a new page exactly when its own height plus
    // the room for what follows was missing.
    struct Case {
        const char* name;
        Block next;
        bool keepImages;
        double keep;
    } cases[] = {
        {"text", para("Next."), true, 2 * 1.4 * 18},
        {"picture", picture(10, 10, 100, 400), true, 3 * 18},
        {"picture left out", picture(10, 10, 100, 400), false, 3 * 18},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int moved = 0, stayed = 0;
        for (int n = 14; n < 24; ++n) {
            Settings s;
            s.keepImages = c.keepImages;
            Layout layout(s);
            for (int i = 0; i < n; ++i) layout.add(para("Line."), nullptr);
            double room = layout.cursor() - 18 - layout.bottom;
            int pagesBefore = static_cast<int>(layout.finish().size());
            Layout again(s);
            Blocks blocks(static_cast<std::size_t>(n), para("Line."));
            blocks.push_back(heading(1, "Chapter"));
            blocks.push_back(c.next);
            addAll(again, blocks);
            auto pages = again.finish();
            const double headingHeight = 1.4 * 27;
            bool expectMove = room < headingHeight + c.keep;
            bool headingOnNewPage = static_cast<int>(pages.size()) > pagesBefore
                && !texts(pages[static_cast<std::size_t>(pagesBefore)]).empty()
                && frameText(*texts(pages[static_cast<std::size_t>(pagesBefore)])[0]) == "Chapter";
            EXPECT_EQ(headingOnNewPage, expectMove) << n << " paragraphs, room " << room;
            (expectMove ? moved : stayed)++;
        }
        EXPECT_GT(moved, 0);
        EXPECT_GT(stayed, 0);
    }
}

TEST(LayoutHeadings, UnderlineInHighContrastEvenWithoutText)
{
    Settings s;
    s.highContrast = true;
    for (int level : {1, 2, 3}) {
        Layout layout(s);
        layout.add(heading(level, ""), nullptr);
        EXPECT_TRUE(texts(layout.ops()).empty());
        if (level < 3) {
            ASSERT_EQ(layout.ops().size(), 1u);
            auto* line = layout.ops()[0].as<Op::Line>();
            ASSERT_NE(line, nullptr);
            EXPECT_EQ(*line, (Op::Line{{54, 738 - 3.6}, {558, 738 - 3.6}, 2.0}));
            EXPECT_DOUBLE_EQ(layout.cursor(), 738 - 3.6 - 6.3);
        } else {
            EXPECT_TRUE(layout.ops().empty());
            EXPECT_DOUBLE_EQ(layout.cursor(), 738 - 6.3);
        }
        EXPECT_TRUE(layout.fresh()); // an underline alone leaves the page fresh
    }
}

TEST(LayoutParagraphs, KeepTwoLinesTogetherAndSplitTheRest)
{
    const double lh = 25.2;
    int splits = 0, moves = 0;
    for (int n = 12; n < 18; ++n) {
        Layout layout(defaults());
        for (int i = 0; i < n; ++i) layout.add(para("Line."), nullptr);
        double room = layout.cursor() - layout.bottom;
        std::size_t before = 0;
        layout.add(para(words(90)), nullptr); // about seven lines
        auto pages = layout.finish();
        ASSERT_EQ(pages.size(), 2u);
        auto first = texts(pages[0]);
        auto second = texts(pages[1]);
        before = first.size();
        if (room < 2 * lh) {
            EXPECT_EQ(before, static_cast<std::size_t>(n)) << "the paragraph moved whole";
            ASSERT_EQ(second.size(), 1u);
            EXPECT_EQ(second[0]->firstLine, 0);
            ++moves;
        } else {
            ASSERT_EQ(before, static_cast<std::size_t>(n) + 1);
            EXPECT_EQ(first.back()->lineCount, static_cast<int>(std::floor(room / lh)));
            EXPECT_EQ(second[0]->firstLine, first.back()->lineCount);
            EXPECT_DOUBLE_EQ(second[0]->rect.maxY(), 738);
            ++splits;
        }
    }
    EXPECT_GT(splits, 0);
    EXPECT_GT(moves, 0);
}

TEST(LayoutParagraphs, DropControlCharactersAndKeepTabs)
{
    Layout layout(defaults());
    layout.add(para(std::string("a\x01" "b\x1f" "c\td\re\x7f" "f\u0085g\u009f\u00a0h")), nullptr);
    EXPECT_EQ(texts(layout.ops())[0]->layout->text(), "abc\tdefg\u00a0h");
    Layout breaks(defaults());
    breaks.add(Block::paragraph({FolmiraKit::Run("one\ntwo")}, true), nullptr);
    breaks.add(Block::paragraph({FolmiraKit::Run("one\ntwo")}, false), nullptr);
    EXPECT_EQ(texts(breaks.ops())[0]->layout->text(), "one\u2028two");
    EXPECT_EQ(texts(breaks.ops())[0]->lineCount, 2);
    EXPECT_EQ(texts(breaks.ops())[1]->layout->text(), "one two");
}

TEST(LayoutLists, HangTheTextBesideTheMarker)
{
    Layout layout(defaults());
    layout.add(item("•", 2, words(30)), nullptr);
    auto frame = texts(layout.ops()).at(0);
    ASSERT_GE(frame->lineCount, 2);
    const auto& lines = frame->layout->lines();
    EXPECT_NEAR(frame->origins[0].x + lines[0].x, 104.4, 1e-9); // the marker
    EXPECT_NEAR(frame->origins[1].x + lines[1].x, 133.2, 1e-9); // wrapped text under the text
    EXPECT_EQ(frame->layout->text().substr(0, 4), "•\t");
}

TEST(LayoutLists, SetRightToLeftTextFromTheRightMargin)
{
    // A heading, a paragraph and a list item in Hebrew or Arabic start at
    // the right margin (558): every line ends there, or, in the item, at the
    // marker's indent (its first line) and the text's (the lines below).
    std::string hebrew, arabic;
    for (int i = 0; i < 10; ++i) hebrew += "\u05D4\u05DB\u05DC\u05D9 \u05D4\u05D6\u05D4 \u05DE\u05D0\u05E4\u05E9\u05E8 ";
    for (int i = 0; i < 10; ++i) arabic += "\u062A\u062A\u064A\u062D \u0647\u0630\u0647 \u0627\u0644\u0623\u062F\u0627\u0629 ";
    struct Case {
        Block block;
        double first, later; // where lines end, measured in from the right margin
    } cases[] = {{heading(1, arabic), 0, 0}, {para(hebrew), 0, 0}, {item("\u2022", 2, arabic), 50.4, 79.2}};
    for (const Case& c : cases) {
        Layout layout(defaults());
        layout.add(c.block, nullptr);
        auto frame = texts(layout.ops()).at(0);
        ASSERT_GE(frame->lineCount, 2);
        for (int k = 0; k < frame->lineCount; ++k) {
            const auto& line = frame->layout->lines()[static_cast<std::size_t>(k)];
            EXPECT_NEAR(frame->origins[static_cast<std::size_t>(k)].x + line.x + line.width, 558 - (k ? c.later : c.first),
                        1e-6) << frame->layout->text().substr(0, 12) << " line " << k;
        }
    }
}

TEST(LayoutLists, SpaceItemsByTheListSpacing)
{
    for (double spacing : {0.0, 0.35, 1.0}) {
        Settings s;
        s.listSpacing = spacing;
        Layout layout(s);
        addAll(layout, {item("1.", 0, "One"), item("2.", 0, "Two"), item("3.", 0, "Three")});
        auto frames = texts(layout.ops());
        ASSERT_EQ(frames.size(), 3u);
        for (int i = 0; i < 2; ++i)
            EXPECT_NEAR(frames[i + 1]->rect.maxY(), frameBottom(*frames[i], 25.2) - spacing * 18, 1e-9) << spacing;
        EXPECT_NEAR(layout.cursor(), frameBottom(*frames[2], 25.2) - 0.6 * 18, 1e-9);
    }
}

TEST(LayoutLists, KeepTextRoomInANarrowDeepColumn)
{
    // Level 3 at 32 pt on Half Letter with 1.5 in margins leaves no width for the
    // text beside the marker; the text must still wrap inside the page.
    Settings s;
    s.fontSize = 32;
    s.paper = Settings::Paper::halfLetter;
    s.margin = 1.5;
    Layout layout(s);
    layout.add(item("•", 3, words(12)), nullptr);
    auto pages = layout.finish();
    int lines = 0;
    for (const auto& page : pages) {
        for (const auto* frame : texts(page)) {
            for (int k = 0; k < frame->lineCount; ++k) {
                const auto& line = frame->layout->lines()[static_cast<std::size_t>(frame->firstLine + k)];
                double start = frame->origins[static_cast<std::size_t>(k)].x + line.x;
                EXPECT_GE(start, layout.left);
                EXPECT_LE(start + line.width, layout.page.width) << "line " << k << " runs off the page";
                ++lines;
            }
        }
    }
    EXPECT_GE(lines, 6);
}

TEST(LayoutPictures, GrowWithTheTypeWithinTheColumnAndTextArea)
{
    struct Case {
        const char* name;
        double size;
        Block block;
        Platform::Rect rect; // with the cursor at 738
    } cases[] = {
        {"100 pt at 22 pt", 22, picture(50, 25, 100, 50), {54, 638, 200, 100}},
        {"wider than the column", 18, picture(50, 25, 600, 300), {54, 486, 504, 252}},
        {"taller than the text area", 18, picture(10, 100, 100, 1000), {54, 738 - 556.92, 55.692, 556.92}},
        {"no size: half its pixels", 11, picture(40, 20), {54, 728, 20, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settings s;
        s.fontSize = c.size;
        Layout layout(s);
        layout.add(c.block, nullptr);
        ASSERT_EQ(layout.ops().size(), 1u);
        auto* image = layout.ops()[0].as<Op::Image>();
        ASSERT_NE(image, nullptr);
        EXPECT_NEAR(image->rect.x, c.rect.x, 1e-6);
        EXPECT_NEAR(image->rect.y, c.rect.y, 1e-6);
        EXPECT_NEAR(image->rect.width, c.rect.width, 1e-6);
        EXPECT_NEAR(image->rect.height, c.rect.height, 1e-6);
        EXPECT_NEAR(layout.cursor(), c.rect.y - 0.6 * c.size, 1e-6);
    }
}

TEST(LayoutPictures, BoxInHighContrastSkipUndecodableAndCountLeftOut)
{
    Settings contrast;
    contrast.highContrast = true;
    Layout boxed(contrast);
    boxed.add(picture(20, 20, 20, 20), nullptr);
    ASSERT_EQ(boxed.ops().size(), 2u);
    EXPECT_EQ(*boxed.ops()[1].as<Op::Box>(), (Op::Box{boxed.ops()[0].as<Op::Image>()->rect, 1.5}));

    Layout broken(defaults());
    broken.add(Block::image(Picture{{1, 2, 3}, 50, 50, "broken"}), nullptr);
    EXPECT_TRUE(broken.ops().empty());
    EXPECT_DOUBLE_EQ(broken.cursor(), 738 - 10.8);
    EXPECT_EQ(broken.droppedImages(), 0);

    Settings off;
    off.keepImages = false;
    Layout left(off);
    addAll(left, {picture(20, 20), picture(20, 20)});
    EXPECT_TRUE(left.ops().empty());
    EXPECT_DOUBLE_EQ(left.cursor(), 738);
    EXPECT_EQ(left.droppedImages(), 2);
}

TEST(LayoutPictures, StayEncodedWhileThePagesAreLaidOut)
{
    // Forty photographs of four million pixels: decoded up front they would
    // hold some 640 MB until the PDF was written.
    auto peak = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return static_cast<double>(usage.ru_maxrss) / 1024; // MB
    };
    Blocks blocks(40, picture(2000, 2000, 200, 200));
    double before = peak();
    Layout layout(defaults());
    addAll(layout, blocks);
    auto pages = layout.finish();
    EXPECT_LT(peak() - before, 200);
    int images = 0;
    for (const auto& page : pages)
        for (const Op& op : page) images += op.as<Op::Image>() != nullptr;
    EXPECT_EQ(images, 40);
}

TEST(LayoutRules, NeverSitAtTheFootOfAPage)
{
    Layout first(defaults());
    first.add(Block::rule(), nullptr);
    EXPECT_EQ(*first.ops()[0].as<Op::Line>(), (Op::Line{{54, 738}, {558, 738}, 1.0}));
    EXPECT_DOUBLE_EQ(first.cursor(), 738 - 16.2);

    int drawn = 0, skipped = 0;
    for (int n = 16; n < 22; ++n) {
        Layout layout(defaults());
        for (int i = 0; i < n; ++i) layout.add(para("Line."), nullptr);
        double y = layout.cursor() - 5.4;
        std::size_t opsBefore = layout.ops().size();
        layout.add(Block::rule(), nullptr);
        if (y - layout.bottom < 18) {
            EXPECT_TRUE(layout.ops().empty()) << "a new page, and no rule on either";
            EXPECT_DOUBLE_EQ(layout.cursor(), 738);
            ++skipped;
        } else {
            ASSERT_EQ(layout.ops().size(), opsBefore + 1);
            EXPECT_DOUBLE_EQ(layout.ops().back().as<Op::Line>()->from.y, y);
            ++drawn;
        }
    }
    EXPECT_GT(drawn, 0);
    EXPECT_GT(skipped, 0);
}

TEST(Layout, GivesTheSameOpsEveryTime)
{
    Blocks blocks = {heading(1, "Title"), para(words(200)), item("•", 0, words(20)), item("•", 1, words(5)),
                     picture(30, 20, 60, 40), Block::rule(), heading(2, words(8)), para(words(400))};
    Layout a(defaults()), b(defaults());
    addAll(a, blocks);
    addAll(b, blocks);
    auto first = a.finish();
    auto second = b.finish();
    EXPECT_GT(first.size(), 1u);
    EXPECT_EQ(first, second);
}
