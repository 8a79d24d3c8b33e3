#include "FolmiraKit/PDF/PictureScan.h"
#include "FolmiraKit/PDF/PDFReader.h"
#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/Images.h"
#include "tests/Platform/ImagesSamples.h"
#include "tests/Platform/PdfFixtures.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

using namespace FolmiraKit;
using PdfFixtures::Builder;
using Platform::PdfDocument;
using Platform::Rect;

namespace {

// The image rectangles of the first page of `builder`'s document.
std::vector<Rect> scan(Builder& builder)
{
    auto document = PdfDocument::open(builder.write()).document.value();
    return PictureScan::scanPage(document.page(0).value());
}

std::vector<PictureScan::Found> find(Builder& builder)
{
    auto document = PdfDocument::open(builder.write()).document.value();
    return PictureScan::find(document.page(0).value());
}

// A page that draws the image "Im" with each matrix in turn.
Builder pageDrawing(std::initializer_list<std::string> matrices, Rect media = {0, 0, 612, 792},
                    std::optional<Rect> crop = std::nullopt)
{
    Builder builder;
    std::string content;
    for (const auto& m : matrices) content += "q " + m + " cm /Im Do Q\n";
    builder.page(content, Builder::xobjects({{"Im", builder.image()}}), media, crop);
    return builder;
}

// A chain of `depth` forms, each drawing the next; the last draws the image.
Builder nestedForms(int depth)
{
    Builder builder;
    QPDFObjectHandle image = builder.image();
    QPDFObjectHandle inner = builder.form("q 40 0 0 40 0 0 cm /Im Do Q", Builder::xobjects({{"Im", image}}));
    for (int i = 1; i < depth; ++i) inner = builder.form("/F Do", Builder::xobjects({{"F", inner}}));
    builder.page("/F Do", Builder::xobjects({{"F", inner}}));
    return builder;
}

// `jpeg` as an image XObject stored with DCTDecode; `extra` is added to its dictionary.
QPDFObjectHandle storedJpeg(Builder& builder, const Platform::Bytes& jpeg, const std::string& colorSpace,
                            const std::string& extra = "")
{
    QPDFObjectHandle stream = builder.qpdf().newStream();
    stream.replaceStreamData(std::string(jpeg.begin(), jpeg.end()), QPDFObjectHandle::newName("/DCTDecode"),
                             QPDFObjectHandle::newNull());
    auto info = Platform::jpegFrameSize(jpeg).value();
    auto dict = stream.getDict();
    auto more = QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Image /BitsPerComponent 8 /ColorSpace " +
                                        colorSpace + " " + extra + " >>");
    for (const auto& key : more.getKeys()) dict.replaceKey(key, more.getKey(key));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(static_cast<int>(info.width)));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(static_cast<int>(info.height)));
    return stream;
}

// The JPEG sample with its frame header saying `width` × `height`.
Platform::Bytes jpegSaying(int width, int height)
{
    Platform::Bytes jpeg = ImagesSamples::smallJpeg();
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8), jpeg[i + 6] = static_cast<std::uint8_t>(height);
            jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8), jpeg[i + 8] = static_cast<std::uint8_t>(width);
            break;
        }
    return jpeg;
}

} // namespace

TEST(PictureScan, RecordsTheRectangleOfEachImageDrawn)
{
    struct Case {
        std::string matrix;
        Rect rect;
    };
    for (const Case& c : {Case{"200 0 0 100 50 300", {50, 300, 200, 100}},
                          Case{"0 50 -30 0 100 100", {70, 100, 30, 50}},  // turned a quarter
                          Case{"40 0 20 30 10 10", {10, 10, 60, 30}},     // skewed
                          Case{"-50 0 0 -50 100 100", {50, 50, 50, 50}}}) // mirrored
    {
        Builder builder = pageDrawing({c.matrix});
        EXPECT_EQ(scan(builder), (std::vector<Rect>{c.rect})) << c.matrix;
    }
}

TEST(PictureScan, CutsOutThePictureAsAPngAtTwicePointSize)
{
    Builder builder = pageDrawing({"200 0 0 100 50 300"});
    auto found = find(builder);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].rect, (Rect{50, 300, 200, 100}));
    EXPECT_EQ(found[0].picture.width, 200);
    EXPECT_EQ(found[0].picture.height, 100);
    EXPECT_EQ(found[0].picture.alt, "");
    auto info = Platform::imageInfo(*found[0].picture.data.bytes());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 400);
    EXPECT_EQ(info->height, 200);
}

TEST(PictureScan, TakesAJpegAsStoredWhereItShowsTheRegionWholeAndUpright)
{
    const auto& rgb = ImagesSamples::smallJpeg();
    struct Case {
        std::string name;
        Platform::Bytes jpeg;
        std::string colorSpace, extra, content;
        std::optional<Rect> crop;
        bool stored;
    };
    const std::string upright = "q 60 0 0 25 50 300 cm /Im Do Q";
    for (const Case& c : {
             Case{"upright RGB", rgb, "/DeviceRGB", "", upright, {}, true},
             Case{"upright grey", rgb, "/DeviceGray", "", upright, {}, true},
             Case{"mirrored", rgb, "/DeviceRGB", "", "q -60 0 0 25 110 300 cm /Im Do Q", {}, false},
             Case{"turned", rgb, "/DeviceRGB", "", "q 0 60 -25 0 110 300 cm /Im Do Q", {}, false},
             Case{"CMYK", ImagesSamples::smallCmykJpeg(), "/DeviceCMYK", "", upright, {}, false},
             Case{"masked", rgb, "/DeviceRGB", "/Mask [0 10 0 10 0 10]", upright, {}, false},
             Case{"decode array", rgb, "/DeviceRGB", "/Decode [1 0 1 0 1 0]", upright, {}, false},
             Case{"cut by the crop box", rgb, "/DeviceRGB", "", upright, Rect{0, 0, 100, 792}, false},
             Case{"another picture over it", rgb, "/DeviceRGB", "", upright + "\nq 30 0 0 30 90 310 cm /Im Do Q", {},
                  false},
             Case{"another picture under it", rgb, "/DeviceRGB", "", "q 20 0 0 20 60 302 cm /Small Do Q\n" + upright,
                  {}, false},
             Case{"4 pixels a point", jpegSaying(240, 100), "/DeviceRGB", "", upright, {}, true},
             Case{"denser than 4 pixels a point", jpegSaying(241, 100), "/DeviceRGB", "", upright, {}, false},
         }) {
        Builder builder;
        builder.page(c.content,
                     Builder::xobjects({{"Im", storedJpeg(builder, c.jpeg, c.colorSpace, c.extra)}, {"Small", builder.image()}}),
                     {0, 0, 612, 792}, c.crop);
        auto document = PdfDocument::open(builder.write()).document.value();
        auto page = document.page(0).value();
        auto regions = PictureScan::regions(page);
        ASSERT_FALSE(regions.empty()) << c.name;
        auto cut = PictureScan::cutRegions(page, regions);
        ASSERT_EQ(cut.size(), regions.size()) << c.name;
        if (c.stored) {
            EXPECT_EQ(cut[0], c.jpeg) << c.name;
        } else {
            // Rendered instead: a PNG of the region at two pixels a point.
            ASSERT_TRUE(cut[0]) << c.name;
            EXPECT_NE(cut[0], c.jpeg) << c.name;
            EXPECT_EQ(Platform::imageInfo(*cut[0])->width, std::floor(2 * regions[0].width)) << c.name;
        }
    }
}

TEST(PictureScan, KeepsPicturesOfAtLeast24PointsInsideTheCropBox)
{
    struct Case {
        std::string matrix;
        std::vector<Rect> found;
    };
    Rect crop{0, 0, 400, 400};
    for (const Case& c : {Case{"100 0 0 23.9 10 10", {}}, Case{"24 0 0 24 10 10", {{10, 10, 24, 24}}},
                          Case{"100 0 0 100 350 10", {{350, 10, 50, 100}}}, Case{"100 0 0 100 500 10", {}},
                          Case{"100 0 0 100 380 10", {}}}) {
        Builder builder = pageDrawing({c.matrix}, {0, 0, 612, 792}, crop);
        std::vector<Rect> rects;
        for (const auto& f : find(builder)) rects.push_back(f.rect);
        EXPECT_EQ(rects, c.found) << c.matrix;
    }
}

TEST(PictureScan, SkipsAPictureWithinAnEarlierOneButNotAroundIt)
{
    Builder inside = pageDrawing({"100 0 0 100 100 100", "50 0 0 50 120 120", "103 0 0 103 98 98"});
    EXPECT_EQ(find(inside).size(), 1u);
    Builder around = pageDrawing({"50 0 0 50 120 120", "100 0 0 100 100 100"});
    EXPECT_EQ(find(around).size(), 2u);
    Builder overlapping = pageDrawing({"100 0 0 100 100 100", "100 0 0 100 150 150"});
    EXPECT_EQ(find(overlapping).size(), 2u);
}

TEST(PictureScan, PlacesImagesInFormsThroughTheFormMatrix)
{
    Builder builder;
    QPDFObjectHandle form =
        builder.form("q 30 0 0 30 5 5 cm /Im Do Q", Builder::xobjects({{"Im", builder.image()}}), "[2 0 0 2 0 0]");
    builder.page("q 1 0 0 1 100 100 cm /Fm Do Q", Builder::xobjects({{"Fm", form}}));
    EXPECT_EQ(scan(builder), (std::vector<Rect>{{110, 110, 60, 60}}));
}

TEST(PictureScan, FollowsFormsFourDeepButNotFive)
{
    Builder four = nestedForms(4);
    EXPECT_EQ(scan(four).size(), 1u);
    Builder five = nestedForms(5);
    EXPECT_TRUE(scan(five).empty());
}

TEST(PictureScan, KeepsTheBaseTransformAgainstUnbalancedRestores)
{
    Builder builder = pageDrawing({});
    builder.page("Q Q q 1 0 0 1 10 10 cm Q Q 50 0 0 50 100 100 cm /Im Do",
                 Builder::xobjects({{"Im", builder.image()}}));
    auto document = PdfDocument::open(builder.write()).document.value();
    EXPECT_EQ(PictureScan::scanPage(document.page(1).value()), (std::vector<Rect>{{100, 100, 50, 50}}));
}

TEST(PictureScan, AFormCannotChangeTheTransformOfTheStreamThatDrewIt)
{
    for (std::string formContent : {"q q 2 0 0 2 0 0 cm", "Q Q Q 1 0 0 1 500 500 cm", "Q 3 0 0 3 0 0 cm q"}) {
        Builder builder;
        QPDFObjectHandle image = builder.image();
        QPDFObjectHandle form = builder.form(formContent, QPDFObjectHandle::newNull());
        builder.page("q 1 0 0 1 100 0 cm /Fm Do 50 0 0 50 0 0 cm /Im Do Q 40 0 0 40 0 0 cm /Im Do",
                     Builder::xobjects({{"Fm", form}, {"Im", image}}));
        EXPECT_EQ(scan(builder), (std::vector<Rect>{{100, 0, 50, 50}, {0, 0, 40, 40}})) << formContent;
    }
}

TEST(PictureScan, BoundsTheWorkOfFormsThatDrawEachOtherOverAndOver)
{
    Builder builder;
    QPDFObjectHandle image = builder.image();
    std::string many;
    for (int i = 0; i < 100; ++i) many += "/G Do ";
    QPDFObjectHandle g = builder.form("/Im Do", Builder::xobjects({{"Im", image}}));
    QPDFObjectHandle f = builder.form(many, Builder::xobjects({{"G", g}}));
    QPDFObjectHandle e = builder.form(many, Builder::xobjects({{"F", f}, {"G", f}}));
    builder.page(many, Builder::xobjects({{"G", e}}));
    std::vector<Rect> rects = scan(builder);
    EXPECT_LE(rects.size(), 10'000u);
    EXPECT_GT(rects.size(), 1'000u);
    // About the work of a page that draws the picture 10,000 times itself.
    Builder plain;
    QPDFObjectHandle picture = plain.image();
    std::string direct;
    for (int i = 0; i < 10'000; ++i) direct += "/Im Do ";
    plain.page(direct, Builder::xobjects({{"Im", picture}}));
    const double seen = HangGuard::threadSeconds([&] { scan(builder); });
    const double drawn = HangGuard::threadSeconds([&] { scan(plain); });
    EXPECT_LT(seen, HangGuard::ratio(4) * drawn) << seen << " s of CPU, " << drawn << " s drawn directly";
}

TEST(PictureScan, RendersAtMost200PicturesOfAPage)
{
    Builder builder;
    std::string content;
    for (int i = 0; i < 250; ++i)
        content += "q 24 0 0 24 " + std::to_string(30 * (i % 20)) + " " + std::to_string(30 * (i / 20)) + " cm /Im Do Q ";
    builder.page(content, Builder::xobjects({{"Im", builder.image()}}));
    EXPECT_EQ(scan(builder).size(), 250u);
    EXPECT_EQ(find(builder).size(), 200u);
}

TEST(PictureScan, LimitsTheRegionToFortyMillionPixels)
{
    Builder builder;
    builder.page("", {}, {0, 0, 6000, 3000});
    auto page = PdfDocument::open(builder.write()).document.value().page(0).value();
    EXPECT_FALSE(PictureScan::renderRegion({0, 0, 5000, 2000}, page));
    auto bitmap = page.render({0, 0, 4999, 2000}, 2, 40'000'000);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width, 9998);
    EXPECT_EQ(bitmap->height, 4000);
}

TEST(PictureScan, FindsNothingOnAPageOfTextAndVectorArt)
{
    auto pdf = PdfFixtures::cairoPdf(1, [](cairo_t* cr, int) {
        PdfFixtures::showText(cr, 72, 72, "Words only");
        cairo_rectangle(cr, 100, 100, 300, 300);
        cairo_fill(cr);
    });
    auto document = PdfDocument::open(pdf).document.value();
    EXPECT_TRUE(PictureScan::find(document.page(0).value()).empty());
}

namespace {

// Whether `address` lies in this process's mapping of a file.
bool inFileMapping(const void* address)
{
    std::ifstream maps("/proc/self/maps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    for (std::string line; std::getline(maps, line);) {
        std::istringstream fields(line);
        std::string range, perms, offset, device;
        unsigned long inode = 0;
        fields >> range >> perms >> offset >> device >> inode;
        const auto dash = range.find('-');
        const auto start = std::stoull(range.substr(0, dash), nullptr, 16);
        const auto end = std::stoull(range.substr(dash + 1), nullptr, 16);
        if (at >= start && at < end) return inode != 0;
    }
    return false;
}

} // namespace

TEST(PictureScan, RegionsComeFromTheContentStreamAlone)
{
    auto builder = pageDrawing({"200 0 0 100 50 300", "20 0 0 20 0 0", "5000 0 0 2000 0 0", "100 0 0 50 60 310"},
                               {0, 0, 6000, 3000});
    auto document = PdfDocument::open(builder.write()).document.value();
    // Too small, too many pixels to render, and inside the first: only the first is a region.
    auto found = PictureScan::regions(document.page(0).value());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], (Rect{50, 300, 200, 100}));
}

TEST(PictureScan, ARegionCostsItsPixelsAndThoseDrawnIntoIt)
{
    const Rect region{0, 0, 100, 50};
    struct Case {
        std::vector<Rect> drawn;
        std::int64_t cost;
    };
    const Case cases[] = {
        {{}, 20'000},
        {{region}, 40'000},
        {{{50, 0, 500, 500}, {200, 200, 10, 10}}, 30'000}, // half of one, none of the other
        {std::vector<Rect>(200, region), 201 * 20'000},
    };
    for (const Case& c : cases) EXPECT_EQ(PictureScan::renderCost(region, c.drawn), c.cost);

    PictureScan::RenderBudget budget(50'000);
    EXPECT_TRUE(budget.spend(40'000));
    EXPECT_FALSE(budget.spend(20'000));
    EXPECT_TRUE(budget.spend(10'000));
    EXPECT_EQ(budget.spent(), 50'000);
}

TEST(PictureScan, OnlyWaitingPicturesAreRenderedWithinTheBudget)
{
    Builder builder;
    for (int p = 0; p < 3; ++p) builder.page("q 100 0 0 100 50 50 cm /Im Do Q", Builder::xobjects({{"Im", builder.image()}}));
    auto document = PdfDocument::open(builder.write()).document.value();
    const Rect r{50, 50, 100, 100};
    std::vector<PDFReader::Lines> pages(3);
    for (auto& lines : pages) lines.push_back(PDFReader::Line{{}, r, PictureScan::unrendered(r), false});
    pages[2].front().picture->data = {1, 2, 3}; // already has its bytes
    // Each region costs 2 × 200 × 200 pixels: one fits, the second does not.
    PictureScan::RenderBudget budget(100'000);
    std::vector<std::vector<Rect>> drawn;
    for (int p = 0; p < 3; ++p) drawn.push_back(PictureScan::scanPage(document.page(p).value()));
    auto failedPages = pages;
    auto rendered = PictureScan::renderPictures(pages, drawn, budget, [&](int, int index, const std::vector<Rect>& regions) {
        return std::optional(PDFReader::renderRegions(document, index, regions));
    });
    EXPECT_EQ(rendered.overBudget, 1);
    EXPECT_TRUE(rendered.failedPages.empty());
    ASSERT_EQ(pages[0].size(), 1u);
    EXPECT_EQ(Platform::imageInfo(*pages[0][0].picture->data.bytes()), (Platform::ImageInfo{200, 200}));
    EXPECT_TRUE(pages[1].empty());
    EXPECT_EQ(pages[2][0].picture->data, (std::vector<std::uint8_t>{1, 2, 3}));

    // A page whose rendering failed as a whole is named, its pictures kept unrendered.
    PictureScan::RenderBudget ample(1'000'000);
    auto failed = PictureScan::renderPictures(failedPages, drawn, ample, [](int, int, const std::vector<Rect>&) {
        return std::optional<std::vector<std::optional<std::vector<std::uint8_t>>>>{};
    });
    EXPECT_EQ(failed.failedPages, (std::vector<int>{0, 1}));
    EXPECT_TRUE(failedPages[0][0].picture->data.empty());
}

TEST(PictureScan, PicturesOnPaperAreKeptAcrossManyPagesWithinTheBytesHeld)
{
    // Thirty pages, each one picture of 100 × 100 points: a region that costs
    // 2 × 200 × 200 pixels, and a PNG of 1,000 bytes.
    const Rect r{50, 50, 100, 100};
    const std::int64_t cost = 80'000;
    struct Case {
        const char* name;
        std::int64_t pixels, paperPixels;
        std::size_t heldBytes;
        int kept;
        std::int64_t spent;
    };
    const Case cases[] = {
        {"pictures on paper spend no pixels", 1, cost, SIZE_MAX, 30, 0},
        {"larger than paper, they share the pixels", 10 * cost, cost - 1, SIZE_MAX, 10, 10 * cost},
        {"their PNGs within the bytes held", 1, cost, 12'500, 12, 0},
        {"both at once", 10 * cost, cost - 1, 5'000, 5, 10 * cost},
    };
    // Rendered by one worker or by three at once, the same pictures are kept.
    for (const Case& c : cases)
        for (int workers : {1, 3}) {
            std::vector<PDFReader::Lines> pages(30);
            for (auto& lines : pages) lines.push_back(PDFReader::Line{{}, r, PictureScan::unrendered(r), false});
            std::vector<std::vector<Rect>> drawn(30, {r});
            PictureScan::RenderBudget budget(c.pixels, c.heldBytes);
            std::atomic<int> outside{0};
            auto result = PictureScan::renderPictures(
                pages, drawn, budget,
                [&](int worker, int, const std::vector<Rect>& regions) {
                    if (worker < 0 || worker >= workers) ++outside;
                    return std::optional(std::vector<std::optional<std::vector<std::uint8_t>>>(
                        regions.size(), std::vector<std::uint8_t>(1000, 7)));
                },
                c.paperPixels, workers);
            const int kept = static_cast<int>(std::count_if(pages.begin(), pages.end(), [](const auto& lines) {
                return lines.size() == 1 && lines[0].picture->data.size() == 1000;
            }));
            EXPECT_EQ(kept, c.kept) << c.name << ", " << workers;
            EXPECT_EQ(result.overBudget, 30 - c.kept) << c.name << ", " << workers;
            EXPECT_EQ(budget.spent(), c.spent) << c.name << ", " << workers;
            EXPECT_EQ(outside, 0) << c.name << ", " << workers;
            // The pictures kept are the first pages'.
            for (int p = 0; p < 30; ++p) EXPECT_EQ(pages[static_cast<std::size_t>(p)].size(), p < c.kept ? 1u : 0u);
        }
}

TEST(PictureScan, ALongDocumentKeepsThePictureOfEveryPage)
{
    // Seventy pages of a caption above a photo 540 × 405 points: cutting them
    // out paints some 120 million pixels in all, each page's well within its own limits.
    const int pages = 70;
    Builder builder;
    QPDFObjectHandle resources = Builder::xobjects({{"Photo", builder.image(24, 18)}});
    resources.replaceKey("/Font", QPDFObjectHandle::parse("<< /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >>"));
    for (int p = 1; p <= pages; ++p)
        builder.page("BT /F1 12 Tf 72 740 Td (Photo " + std::to_string(p) + " of the harbour at dawn.) Tj ET\n" +
                         "q 540 0 0 405 36 300 cm /Photo Do Q\n",
                     resources);
    BigDocument document = PDFReader::read(builder.write(), "Photos", 2);
    const auto& blocks = document.blocks;
    const long pictures = std::count_if(blocks.begin(), blocks.end(), [](const Block& b) {
        const auto* image = b.as<Block::Image>();
        return image && Platform::imageInfo(*image->picture.data.bytes()) == Platform::ImageInfo{1080, 810};
    });
    EXPECT_EQ(pictures, pages);
    EXPECT_TRUE(document.notes.empty()) << document.notes.front().message;
    // Their bytes are mapped from a file, none held in the app's memory.
    std::size_t inMemory = 0;
    for (const Block& block : blocks)
        if (const auto* image = block.as<Block::Image>(); image && !inFileMapping(image->picture.data.data()))
            inMemory += image->picture.data.size();
    EXPECT_EQ(inMemory, 0u);
}

TEST(PictureScan, StoredPhotosComeThroughTheReaderAsStored)
{
    // Through the workers and the app's check of what they send: a JPEG
    // shown whole is kept byte for byte, on every page that shows it.
    Builder builder;
    const auto& jpeg = ImagesSamples::smallJpeg();
    QPDFObjectHandle resources = Builder::xobjects({{"Photo", storedJpeg(builder, jpeg, "/DeviceRGB")}});
    resources.replaceKey("/Font", QPDFObjectHandle::parse("<< /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >>"));
    for (const std::string size : {"480 0 0 200", "240 0 0 100"})
        builder.page("BT /F1 12 Tf 72 740 Td (The harbour at dawn.) Tj ET\nq " + size + " 36 300 cm /Photo Do Q\n", resources);
    BigDocument document = PDFReader::read(builder.write(), "Photos", 2);
    std::vector<Platform::Bytes> pictures;
    for (const Block& block : document.blocks)
        if (const auto* image = block.as<Block::Image>()) pictures.push_back(*image->picture.data.bytes());
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0], jpeg);
    EXPECT_EQ(pictures[1], jpeg);
}
