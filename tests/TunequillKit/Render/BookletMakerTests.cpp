#include "Platform/PdfWriter.h"
#include "Platform/PdfDocument.h"
#include "TunequillKit/Render/BookletMaker.h"
#include "TunequillKit/Render/Renderer.h"

#include <gtest/gtest.h>

using namespace TunequillKit;
using Platform::Size;

namespace {

// `count` pages of `page` points, each saying "Page N" with its baseline's left end at (100, 700).
Platform::Bytes source(int count, Size page = {612, 792})
{
    Platform::PdfWriter canvas("Book", "Test");
    for (int i = 0; i < count; ++i) {
        canvas.beginPage(page);
        Renderer::drawText("Page " + std::to_string(i + 1), FontSpec{20, false, false, false, false}, {100, 700},
                           {0, 0, 0}, canvas);
        canvas.endPage();
    }
    return canvas.finish();
}

Platform::PdfDocument open(const Platform::Bytes& pdf)
{
    auto opened = Platform::PdfDocument::open(pdf);
    if (!opened.document) throw std::runtime_error("not a PDF");
    return *opened.document;
}

// Where the "P" of "Page N" landed on a booklet side, or none.
std::optional<Platform::Rect> marker(const Platform::PdfPage& side, int n)
{
    Platform::PdfPageText text = side.text();
    std::size_t at = text.text.find("Page " + std::to_string(n));
    if (at == std::string::npos) return std::nullopt;
    return text.boxes.at(static_cast<std::size_t>(Platform::Text::characterCount(text.text.substr(0, at))));
}

} // namespace

TEST(BookletMaker, SheetsSizesAndTitles)
{
    using BookletMaker::Sheet;
    struct Case {
        Sheet sheet;
        PageSize page;
        Size size;
        const char* title;
    };
    const Case cases[] = {
        {Sheet::natural, PageSize::letter, {1224, 792}, "Tabloid (no scaling)"},
        {Sheet::natural, PageSize::a4, {1190.55, 841.89}, "A3 (no scaling)"},
        {Sheet::natural, PageSize::halfLetter, {792, 612}, "Letter (no scaling)"},
        {Sheet::natural, PageSize::a5, {841.89, 595.28}, "A4 (no scaling)"},
        {Sheet::letter, PageSize::a5, {792, 612}, "Letter (pages shrunk to fit)"},
        {Sheet::a4, PageSize::letter, {841.89, 595.28}, "A4 (pages shrunk to fit)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BookletMaker::size(c.sheet, c.page), c.size);
        EXPECT_EQ(BookletMaker::title(c.sheet, c.page), c.title);
    }
    for (Sheet s : allCases<Sheet>) EXPECT_EQ(fromString<Sheet>(BookletMaker::toString(s)), s);

    EXPECT_DOUBLE_EQ(BookletMaker::scale({612, 792}, {792, 612}, 0), 396.0 / 612);
    EXPECT_DOUBLE_EQ(BookletMaker::scale({612, 792}, {792, 612}, 18), (396.0 - 18) / 612);
    EXPECT_EQ(BookletMaker::scale({396, 612}, {792, 612}, 0), 1);
    EXPECT_DOUBLE_EQ(BookletMaker::scale({300, 700}, {792, 612}, 10), 592.0 / 700);
}

TEST(BookletMaker, LetterPagesShrinkOntoALetterSheetAgainstTheFold)
{
    Platform::Bytes booklet = BookletMaker::pdf(source(5), {792, 612});
    Platform::PdfDocument doc = open(booklet);
    ASSERT_EQ(doc.pageCount(), 4); // two sheets, front and back
    for (int i = 0; i < 4; ++i) EXPECT_EQ(doc.page(i)->mediaBox(), (Platform::Rect{0, 0, 792, 612}));

    const double s = 396.0 / 612, y = (612 - 792 * s) / 2;
    // Sheet 0 front: blank | page 1; back: page 2 | blank; sheet 1 front: blank | 3; back: 4 | 5.
    struct Where {
        int side, page;
        bool left;
    };
    const Where places[] = {{0, 1, false}, {1, 2, true}, {2, 3, false}, {3, 4, true}, {3, 5, false}};
    Platform::Bytes plain = source(1);
    std::optional<Platform::Rect> original = marker(*open(plain).page(0), 1);
    ASSERT_TRUE(original);
    for (const Where& w : places) {
        std::optional<Platform::Rect> box = marker(*doc.page(w.side), w.page);
        ASSERT_TRUE(box) << "page " << w.page; // still text: the pages are placed as vectors
        const double x0 = w.left ? 396 - 612 * s : 396;
        EXPECT_NEAR(box->minX(), x0 + original->minX() * s, 0.5) << w.page;
        EXPECT_NEAR(box->minY(), y + original->minY() * s, 0.5) << w.page;
        EXPECT_NEAR(box->height, original->height * s, 0.5);
    }
    EXPECT_FALSE(marker(*doc.page(0), 2));
}

TEST(BookletMaker, NaturalSheetsKeepTheSize)
{
    Platform::Bytes booklet = BookletMaker::pdf(source(2), BookletMaker::size(BookletMaker::Sheet::natural, PageSize::letter));
    Platform::PdfDocument doc = open(booklet);
    ASSERT_EQ(doc.pageCount(), 2);
    std::optional<Platform::Rect> original = marker(*open(source(1)).page(0), 1);
    // 2 pages pad to 4: front 4|1 (blank left), back 2|3 (page 2 left).
    std::optional<Platform::Rect> one = marker(*doc.page(0), 1);
    std::optional<Platform::Rect> two = marker(*doc.page(1), 2);
    ASSERT_TRUE(one && two && original);
    EXPECT_NEAR(one->minX(), 612 + original->minX(), 0.5);
    EXPECT_NEAR(two->minX(), original->minX(), 0.5);
    EXPECT_NEAR(two->minY(), original->minY(), 0.5);
}

TEST(BookletMaker, OptionsReachThePlan)
{
    BookletOptions rtl;
    rtl.rightToLeft = true;
    Platform::PdfDocument doc = open(BookletMaker::pdf(source(1), {792, 612}, rtl));
    ASSERT_EQ(doc.pageCount(), 2);
    std::optional<Platform::Rect> one = marker(*doc.page(0), 1);
    ASSERT_TRUE(one);
    EXPECT_LT(one->minX(), 396); // right to left: page 1 on the left half
}

TEST(BookletMaker, NothingToImpose)
{
    Platform::PdfWriter empty("Empty", "Test");
    EXPECT_TRUE(BookletMaker::pdf(empty.finish(), {792, 612}).empty());
    EXPECT_TRUE(BookletMaker::pdf({}, {792, 612}).empty());
    Platform::Bytes junk{'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n', 'x'};
    EXPECT_TRUE(BookletMaker::pdf(junk, {792, 612}).empty());
}
