// Pictures in a render: one decode and one embedded image per distinct
// picture, decoded at print size, and the budgets that leave pictures out.

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Render/Pictures.h"
#include "FolmiraKit/Render/Renderer.h"
#include "Platform/PdfWriter.h"
#include "tests/FolmiraKit/HostileFiles.h"
#include "tests/FolmiraKit/Render/RenderTestSupport.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>

#include <thread>

using namespace FolmiraKit;
using Renderer::PictureCache;
using Renderer::PictureChoice;

namespace {

Block image(const Platform::Bytes& png, double width = 0, double height = 0)
{
    return Block::image(Picture{png, width, height, ""});
}

// The image XObjects a PDF holds.
int imageObjects(const Platform::Bytes& pdf)
{
    QPDF qpdf;
    qpdf.processMemoryFile("render.pdf", reinterpret_cast<const char*>(pdf.data()), pdf.size());
    int count = 0;
    for (auto& object : qpdf.getAllObjects())
        if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Image")) ++count;
    return count;
}

Renderer::Page pageOf(std::initializer_list<std::pair<PictureData, Platform::Rect>> uses)
{
    Renderer::Page page;
    for (const auto& [data, rect] : uses) page.emplace_back(Renderer::Op::Image{data, rect});
    return page;
}

} // namespace

TEST(RenderPictures, TwoDistinctPicturesShownTenTimesEachAreEmbeddedTwice)
{
    auto red = HostileFiles::solidPng(40, 30, {200, 0, 0});
    auto blue = HostileFiles::solidPng(30, 40, {0, 0, 200});
    Blocks blocks;
    for (int i = 0; i < 10; ++i) {
        blocks.push_back(image(red));
        blocks.push_back(image(blue));
    }
    RenderResult result = Folmira::render(BigDocument{"Twice", BigDocument::Source::markdown, blocks, {}}, {});
    EXPECT_TRUE(result.notes.empty());
    EXPECT_EQ(imageObjects(result.pdf), 2);
}

TEST(RenderPictures, EachDistinctPictureIsDecodedOnceAtPrintSize)
{
    PictureData big(HostileFiles::solidPng(3000, 2000));
    PictureData copy(Platform::Bytes(big.begin(), big.end())); // equal bytes, another buffer
    PictureData small(HostileFiles::solidPng(20, 20));
    std::vector<Renderer::Page> pages = {pageOf({{big, {0, 0, 72, 36}}, {small, {0, 0, 500, 500}}}),
                                         pageOf({{copy, {0, 0, 144, 96}}})};
    PictureCache cache(pages);
    auto first = cache.image(*pages[0][0].as<Renderer::Op::Image>());
    ASSERT_TRUE(first);
    // The largest rectangle it is drawn in, 144 × 96 points, at 300 dpi.
    EXPECT_EQ(first->width(), 600);
    EXPECT_EQ(first->height(), 400);
    // Never enlarged beyond its own pixels.
    EXPECT_EQ(cache.image(*pages[0][1].as<Renderer::Op::Image>())->width(), 20);
    auto again = cache.image(*pages[1][0].as<Renderer::Op::Image>());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->identity(), first->identity());
    EXPECT_EQ(cache.decodes(), 2);
    EXPECT_EQ(cache.peakHeldPixels(), 600 * 400 + 20 * 20);
}

TEST(RenderPictures, DecodedSizeFollowsTheDrawnSize)
{
    struct Case {
        Platform::ImageInfo own;
        Platform::Size drawn;
        Platform::ImageInfo expected;
    };
    const Case cases[] = {
        {{10000, 10000}, {504, 504}, {2100, 2100}}, // a column-wide square at 300 dpi
        {{100, 50}, {504, 252}, {100, 50}},         // small pictures keep their pixels
        {{1000, 1000}, {0.01, 0.01}, {1, 1}},       // at least one pixel
        {{4000, 3000}, {72, 720}, {300, 3000}},     // each side on its own
    };
    for (const Case& c : cases) EXPECT_EQ(PictureCache::decodedSize(c.own, c.drawn), c.expected);
}

TEST(RenderPictures, TheDecodeBudgetChargesEachDistinctPictureOnce)
{
    auto a = HostileFiles::solidPng(100, 100, {1, 2, 3});
    auto b = HostileFiles::solidPng(100, 50, {4, 5, 6});
    auto c = HostileFiles::solidPng(50, 50, {7, 8, 9});
    Blocks blocks = {image(a), Block::rule(), image(b), image(a), image(c), image(b), image({1, 2, 3})};
    // a (10,000) fits; b (5,000) would pass 12,000 at both its uses; c
    // (2,500) still does not fit; bytes that are no picture cost nothing.
    PictureChoice choice = Renderer::affordablePictures(blocks, 12'000);
    EXPECT_EQ(choice.leftOut, 3);
    EXPECT_EQ(choice.chargedPixels, 10'000);
    ASSERT_EQ(choice.blocks.size(), 4u);
    EXPECT_EQ(choice.blocks[1], &blocks[1]);
    EXPECT_EQ(choice.blocks[2], &blocks[3]);
    EXPECT_EQ(choice.blocks[3], &blocks[6]);
    EXPECT_EQ(Renderer::affordablePictures(blocks, 17'500).leftOut, 0);
}

TEST(RenderPictures, PicturesPastTheHeldBudgetAreLeftOutAtEveryUse)
{
    PictureData a(HostileFiles::solidPng(100, 100, {1, 1, 1}));
    PictureData b(HostileFiles::solidPng(100, 100, {2, 2, 2}));
    std::vector<Renderer::Page> pages = {pageOf({{a, {0, 0, 72, 72}}, {b, {0, 0, 72, 72}}}),
                                         pageOf({{a, {0, 0, 72, 72}}, {b, {0, 0, 72, 72}}})};
    PictureCache cache(pages, 15'000);
    Platform::PdfWriter writer("t", "t");
    for (std::size_t p = 0; p < pages.size(); ++p) {
        writer.beginPage({612, 792});
        EXPECT_TRUE(cache.image(*pages[p][0].as<Renderer::Op::Image>()));
        EXPECT_FALSE(cache.image(*pages[p][1].as<Renderer::Op::Image>()));
        writer.endPage();
        cache.pageDone(p, writer);
    }
    EXPECT_EQ(cache.leftOut(), 2);
    EXPECT_EQ(cache.decodes(), 1);
}

TEST(RenderPictures, PicturesHeldAtOnceStayWithinAQuarterGigabyte)
{
    // Three distinct 5,000-pixel squares, each drawn on both pages, so none can
    // go before the second: all three would hold 300 MB. The cache's own
    // budget keeps what it holds at once (four bytes a pixel) within 256 MB.
    std::vector<PictureData> pictures;
    for (std::uint8_t shade : {10, 20, 30}) pictures.emplace_back(HostileFiles::solidPng(5000, 5000, {shade, 0, 0}));
    const Platform::Rect drawn{0, 0, 1200, 1200}; // 5,000 pixels at 300 dpi
    Renderer::Page page = pageOf({{pictures[0], drawn}, {pictures[1], drawn}, {pictures[2], drawn}});
    std::vector<Renderer::Page> pages = {page, page};
    PictureCache cache(pages);
    for (const auto& op : page) cache.image(*op.as<Renderer::Op::Image>());
    EXPECT_GT(cache.decodes(), 0);
    EXPECT_GT(cache.leftOut(), 0);
    EXPECT_LE(cache.peakHeldPixels() * 4, std::int64_t{256} << 20);
}

TEST(RenderPictures, ARenderStopsSoonAfterItIsCancelled)
{
    auto big = HostileFiles::solidPng(10'000, 10'000);
    Blocks blocks;
    for (int i = 0; i < 20; ++i) blocks.push_back(image(big));
    BigDocument doc{"Big", BigDocument::Source::markdown, blocks, {}};

    CancelFlag set;
    set.cancel();
    EXPECT_THROW(Folmira::render(doc, {}, &set), Cancelled);

    const RenderTest::CancelledRender render = RenderTest::renderCancelledAfter(doc, std::chrono::milliseconds(100));
    EXPECT_TRUE(render.cancelled);
    // Without a flag the same render finishes; cancelled, it went on for a
    // small share of that: at most 4.5 % under a full load of tests.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Folmira::render(doc, {}).pageCount, 20);
    const auto whole = std::chrono::steady_clock::now() - start;
    EXPECT_LT(RenderTest::share(render.lag, whole), HangGuard::ratio(0.045))
        << std::chrono::duration<double>(render.lag).count() << " s after the cancel, "
        << std::chrono::duration<double>(whole).count() << " s for the whole render";
}
