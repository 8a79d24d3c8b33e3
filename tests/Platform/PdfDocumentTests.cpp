#include "Platform/PdfDocument.h"
#include "tests/Platform/PdfFixtures.h"
#include "tests/PlainPdf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <malloc.h>

using namespace Platform;
using PdfFixtures::Builder;

namespace {

const char* helvetica = "<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>";

PdfDocument openOrFail(const Bytes& data)
{
    auto opened = PdfDocument::open(data);
    if (!opened.document) throw std::runtime_error("the test PDF did not open");
    return *opened.document;
}

// The union of the boxes of the scalars [begin, end).
Rect boxOf(const PdfPageText& text, std::size_t begin, std::size_t end)
{
    std::optional<Rect> all;
    for (std::size_t i = begin; i < end; ++i)
        if (text.boxes.at(i)) all = all ? all->united(*text.boxes[i]) : *text.boxes[i];
    return all.value_or(Rect{});
}

Bytes helloPage()
{
    return PdfFixtures::cairoPdf(1, [](cairo_t* cr, int) {
        PdfFixtures::showText(cr, 72, 100, "Hello", 12, "Liberation Sans", true);
        PdfFixtures::showText(cr, 300, 400, "world", 20, "Liberation Serif", false, true);
    });
}

std::uint32_t pixel(const Bitmap& bitmap, int x, int y)
{
    return bitmap.pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width) +
                            static_cast<std::size_t>(x));
}

} // namespace

TEST(PdfDocument, RefusesWhatIsNoPdfAsDamagedAndAPasswordAsLocked)
{
    EXPECT_EQ(PdfDocument::open({}).failure, PdfDocument::OpenFailure::damaged);
    Bytes garbage{'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n', 'x', 'y'};
    auto opened = PdfDocument::open(garbage);
    EXPECT_FALSE(opened.document);
    EXPECT_EQ(opened.failure, PdfDocument::OpenFailure::damaged);

    Builder locked;
    locked.page("", {});
    auto lockedOpen = PdfDocument::open(locked.write(Builder::Lock::password));
    EXPECT_FALSE(lockedOpen.document);
    EXPECT_EQ(lockedOpen.failure, PdfDocument::OpenFailure::locked);
}

TEST(PdfDocument, ReportsPageCountAndCopyPermission)
{
    Builder open;
    open.page("", {});
    open.page("", {});
    auto document = openOrFail(open.write());
    EXPECT_EQ(document.pageCount(), 2);
    EXPECT_TRUE(document.allowsCopying());
    EXPECT_FALSE(document.page(2));
    EXPECT_FALSE(document.page(-1));

    Builder noCopy;
    noCopy.page("", {});
    EXPECT_FALSE(openOrFail(noCopy.write(Builder::Lock::noCopying)).allowsCopying());
}

TEST(PdfDocument, ReadsBoxesAndRotation)
{
    Builder builder;
    builder.page("", {}, {100, 50, 500, 700}, Rect{150, 100, 300, 400}, 90);
    builder.page("", {}, {0, 0, 300, 300}, Rect{-50, -50, 1000, 1000}, -270);
    auto document = openOrFail(builder.write());
    auto first = document.page(0).value();
    EXPECT_EQ(first.mediaBox(), (Rect{100, 50, 500, 700}));
    EXPECT_EQ(first.cropBox(), (Rect{150, 100, 300, 400}));
    EXPECT_EQ(first.rotation(), 90);
    auto second = document.page(1).value();
    EXPECT_EQ(second.cropBox(), (Rect{0, 0, 300, 300})) << "the crop box is clipped to the media box";
    EXPECT_EQ(second.rotation(), 90);
}

TEST(PdfDocument, GivesTextBoxesAndFontsOfACairoPage)
{
    auto page = openOrFail(helloPage()).page(0).value();
    PdfPageText text = page.text();
    ASSERT_EQ(text.text, "Hello\nworld");
    ASSERT_EQ(text.boxes.size(), 11u);

    // Cairo's baseline at y 100 from the top is 692 from the bottom.
    Rect hello = boxOf(text, 0, 5);
    EXPECT_NEAR(hello.minX(), 72, 0.5);
    EXPECT_LT(hello.minY(), 692);
    EXPECT_GT(hello.maxY(), 692 + 6);
    EXPECT_LT(hello.height, 20);
    Rect world = boxOf(text, 6, 11);
    EXPECT_NEAR(world.minX(), 300, 0.5);
    EXPECT_GT(world.maxY(), 392 + 10);

    ASSERT_FALSE(text.fonts.empty());
    EXPECT_EQ(text.fonts.front().begin, 0);
    EXPECT_NE(text.fonts.front().name.find("Bold"), std::string::npos);
    EXPECT_DOUBLE_EQ(text.fonts.front().size, 12);
    const PdfFontSpan& last = text.fonts.back();
    EXPECT_EQ(last.end, 11);
    EXPECT_NE(last.name.find("Italic"), std::string::npos);
    EXPECT_DOUBLE_EQ(last.size, 20);
}

TEST(PdfDocument, OneWalkReadsTheCharactersBoxesAndFontsOfPopplerGlibsThreeWalks)
{
    std::vector<std::pair<std::string, Bytes>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(FOLMIRA_TEST_DATA))
        if (entry.path().extension() == ".pdf") {
            std::ifstream in(entry.path(), std::ios::binary);
            files.emplace_back(entry.path().filename(), Bytes{std::istreambuf_iterator<char>(in), {}});
        }
    const Bytes hello = helloPage();
    for (int rotate : {90, 270}) files.emplace_back("turned " + std::to_string(rotate), PdfFixtures::rotated(hello, rotate));
    files.emplace_back("right to left", PdfFixtures::cairoPdf(1, [](cairo_t* cr, int) {
        PdfFixtures::showText(cr, 72, 100, "שלום עולם 123 and English", 14, "DejaVu Sans");
        PdfFixtures::showText(cr, 72, 140, "Text then עברית then text", 12, "DejaVu Sans", true);
    }));
    files.emplace_back("subset fonts of every kind", PdfFixtures::cairoPdf(1, [](cairo_t* cr, int) {
        PdfFixtures::showText(cr, 72, 100, "Plain, ", 12, "Liberation Serif");
        PdfFixtures::showText(cr, 120, 100, "bold, ", 12, "Liberation Serif", true);
        PdfFixtures::showText(cr, 160, 100, "larger", 16, "Liberation Serif");
    }));
    files.emplace_back("pages sharing their fonts", PdfFixtures::cairoPdf(3, [](cairo_t* cr, int page) {
        PdfFixtures::showText(cr, 72, 100, "Page " + std::to_string(page + 1) + " in serif, ", 12, "Liberation Serif");
        PdfFixtures::showText(cr, 72, 130, "and in bold sans.", 14, "DejaVu Sans", true);
    }));
    ASSERT_GE(files.size(), 13u);
    for (const auto& [name, bytes] : files) {
        // The three walks on a document of its own, which holds no font
        // parsed by the one walk over an earlier page.
        auto document = openOrFail(bytes), apart = openOrFail(bytes);
        for (int i = 0; i < document.pageCount(); ++i) {
            SCOPED_TRACE(name + " page " + std::to_string(i + 1));
            auto page = document.page(i).value();
            ASSERT_TRUE(page.readsTextInOneWalk());
            const PdfPageText one = page.text(), three = apart.page(i).value().textFromGlib();
            EXPECT_FALSE(one.text.empty());
            EXPECT_EQ(one.text, three.text);
            EXPECT_EQ(one.boxes, three.boxes);
            EXPECT_EQ(one.fonts, three.fonts);
        }
    }
}

TEST(PdfDocument, HoldsTheFontsItsPagesShareParsedOnceAndNoMore)
{
    // Pages of their own fonts, each a dictionary with an encoding of its own.
    // (Cairo's fonts each have a dictionary and a descriptor.)
    auto pages = [](int count, int widths, bool encodingStream = false) {
        std::vector<std::string> objects{"<< /Type /Catalog /Pages 2 0 R >>", ""};
        std::string kids, width;
        for (int i = 0; i < widths; ++i) width += "500 ";
        for (int i = 0; i < count; ++i) {
            const int at = static_cast<int>(objects.size()) + 1;
            kids += std::to_string(at) + " 0 R ";
            const std::string content = "BT /F 12 Tf 72 700 Td (Page " + std::to_string(i + 1) + ") Tj ET";
            objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F " +
                              std::to_string(at + 2) + " 0 R >> >> /Contents " + std::to_string(at + 1) + " 0 R >>");
            objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
            objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FirstChar 32 /LastChar " +
                              std::to_string(31 + widths) + " /Widths [" + width + "] /Encoding " +
                              std::to_string(at + 3) + " 0 R >>");
            objects.push_back(encodingStream ? "<< /Length 0 >>\nstream\n\nendstream"
                                             : "<< /Type /Encoding /Differences [32 /space] >>");
        }
        objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>";
        const std::string pdf = PlainPdf::ofObjects(objects);
        return Bytes(pdf.begin(), pdf.end());
    };
    struct Case {
        const char* what;
        Bytes pdf;
        std::size_t heldAfterFirst, heldAtEnd;
    };
    const Case cases[] = {
        {"three pages sharing two fonts", PdfFixtures::cairoPdf(3, [](cairo_t* cr, int) {
             PdfFixtures::showText(cr, 72, 100, "Serif, ", 12, "Liberation Serif");
             PdfFixtures::showText(cr, 72, 130, "sans.", 12, "DejaVu Sans");
         }), 4, 4},
        {"pages of fonts of their own, each with its encoding", pages(3, 10), 2, 6},
        {"more of them than are held", pages(300, 10), 2, 512},
        {"a font of more widths than are held", pages(1, 5000), 1, 1},
        // 16 fonts of 4,007 items fill all that is held but 1,360 items: 340 encodings of 4 more.
        {"fonts of more widths in all than are held", pages(40, 4000), 2, 16 + 40},
        {"an encoding in a stream, which is read afresh each time", pages(1, 10, true), 1, 1},
    };
    for (const Case& c : cases) {
        auto document = openOrFail(c.pdf), apart = openOrFail(c.pdf);
        for (int i = 0; i < document.pageCount(); ++i) {
            const PdfPageText text = document.page(i).value().text();
            if (i == 0) {
                EXPECT_EQ(document.fontObjectsHeld(), c.heldAfterFirst) << c.what;
            }
            ASSERT_EQ(text.text, apart.page(i).value().textFromGlib().text) << c.what << " page " << i + 1;
        }
        EXPECT_EQ(document.fontObjectsHeld(), c.heldAtEnd) << c.what;
        EXPECT_EQ(apart.fontObjectsHeld(), 0u) << c.what;
        // Held before any text is read (as a worker does before forking):
        // the same fonts, and every page reads as it did.
        auto early = openOrFail(c.pdf);
        early.page(0).value().holdFonts();
        EXPECT_EQ(early.fontObjectsHeld(), c.heldAfterFirst) << c.what;
        for (int i = 0; i < early.pageCount(); ++i)
            ASSERT_EQ(early.page(i).value().text().text, document.page(i).value().text().text) << c.what << " page " << i + 1;
        EXPECT_EQ(early.fontObjectsHeld(), c.heldAtEnd) << c.what;
    }
}

TEST(PdfDocument, TurnsARectangleWithItsFrame)
{
    const Rect frame{100, 50, 600, 800}, rect{110, 70, 30, 40};
    struct Case {
        int quarterTurns;
        Rect turned;
    };
    for (const Case& c : {Case{0, rect}, Case{1, {100 + 800 - 20 - 40, 50 + 10, 40, 30}},
                          Case{2, {100 + 600 - 10 - 30, 50 + 800 - 20 - 40, 30, 40}},
                          Case{3, {100 + 20, 50 + 600 - 10 - 30, 40, 30}}}) {
        EXPECT_EQ(turnedRect(rect, frame, c.quarterTurns), c.turned) << c.quarterTurns;
        // The frame itself turns into the box the turned rectangles stand in.
        const Rect box = turnedRect(frame, frame, c.quarterTurns);
        EXPECT_EQ(box.minX(), frame.minX());
        EXPECT_EQ(box.minY(), frame.minY());
        EXPECT_EQ(box.width, c.quarterTurns % 2 ? frame.height : frame.width);
    }
}

TEST(PdfDocument, TakesThePageRotationOutOfTheBoxes)
{
    Bytes original = helloPage();
    PdfPageText upright = openOrFail(original).page(0).value().text();
    for (int rotate : {90, 180, 270}) {
        auto page = openOrFail(PdfFixtures::rotated(original, rotate)).page(0).value();
        EXPECT_EQ(page.rotation(), rotate);
        PdfPageText turned = page.text();
        ASSERT_EQ(turned.text, upright.text) << rotate;
        for (auto [begin, end] : {std::pair{0, 5}, std::pair{6, 11}}) {
            Rect a = boxOf(upright, begin, end), b = boxOf(turned, begin, end);
            EXPECT_NEAR(a.minX(), b.minX(), 0.5) << rotate;
            EXPECT_NEAR(a.minY(), b.minY(), 0.5) << rotate;
            EXPECT_NEAR(a.maxX(), b.maxX(), 0.5) << rotate;
            EXPECT_NEAR(a.maxY(), b.maxY(), 0.5) << rotate;
        }
    }
}

TEST(PdfDocument, PlacesTextOnAnOffsetCropBox)
{
    Builder builder;
    builder.page("BT /F1 12 Tf 200 600 Td (Hi) Tj ET", QPDFObjectHandle::parse(helvetica), {100, 100, 612, 792},
                 Rect{150, 150, 400, 600});
    PdfPageText text = openOrFail(builder.write()).page(0).value().text();
    ASSERT_EQ(text.text, "Hi");
    Rect box = boxOf(text, 0, 2);
    EXPECT_NEAR(box.minX(), 200, 0.5);
    EXPECT_LT(box.minY(), 600);
    EXPECT_GT(box.maxY(), 606);
}

TEST(PdfDocument, RendersARegionUnrotatedOnWhite)
{
    // A black square at (100, 100)–(150, 150) in user space.
    for (int rotate : {0, 90}) {
        Builder builder;
        builder.page("0 0 0 rg 100 100 50 50 re f", {}, {0, 0, 612, 792}, std::nullopt, rotate);
        auto page = openOrFail(builder.write()).page(0).value();
        auto bitmap = page.render({100, 100, 100, 100}, 2, 40'000'000);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->width, 200);
        EXPECT_EQ(bitmap->height, 200);
        EXPECT_EQ(pixel(*bitmap, 20, 180), 0xFF000000u) << "bottom-left is the square, rotate " << rotate;
        EXPECT_EQ(pixel(*bitmap, 180, 20), 0xFFFFFFFFu) << "top-right is white paper, rotate " << rotate;
        EXPECT_EQ(pixel(*bitmap, 20, 20), 0xFFFFFFFFu);
    }
}

TEST(PdfDocument, RefusesRendersThatAreEmptyOrTooLarge)
{
    Builder builder;
    builder.page("", {});
    auto page = openOrFail(builder.write()).page(0).value();
    EXPECT_FALSE(page.render({0, 0, 0.4, 100}, 2, 40'000'000)) << "less than one pixel wide";
    EXPECT_FALSE(page.render({0, 0, 5000, 2000}, 2, 40'000'000));
    EXPECT_FALSE(page.render({0, 0, 1e300, 1e300}, 2, 40'000'000)) << "no overflow on a huge region";
    EXPECT_FALSE(page.render({0, 0, NAN, 10}, 2, 40'000'000));
    EXPECT_TRUE(page.render({0, 0, 10, 10}, 2, 40'000'000));
}

TEST(PdfDocument, RendersThePageWithoutItsAnnotations)
{
    Builder builder;
    builder.page("", {});
    QPDFObjectHandle appearance = builder.qpdf().newStream("0 0 0 rg 0 0 100 100 re f");
    appearance.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    appearance.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    appearance.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 100 100]"));
    QPDFObjectHandle annotation = QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Square /Rect [100 100 200 200] /F 4 >>");
    annotation.replaceKey("/AP", QPDFObjectHandle::newDictionary());
    annotation.getKey("/AP").replaceKey("/N", appearance);
    auto pages = QPDFPageDocumentHelper(builder.qpdf()).getAllPages();
    pages[0].getObjectHandle().replaceKey("/Annots", QPDFObjectHandle::newArray({builder.qpdf().makeIndirectObject(annotation)}));
    auto page = openOrFail(builder.write()).page(0).value();
    auto bitmap = page.render({100, 100, 100, 100}, 1, 40'000'000);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(pixel(*bitmap, 50, 50), 0xFFFFFFFFu);
}

TEST(PdfDocument, OpensAPackedPageTreeHoldingNoMoreThanUnpacked)
{
    // Writers pack each page-tree node among the pages it holds, in object
    // streams: an opening that looked at a node through qpdf parsed every
    // page packed beside it, some 3.5 KB each, where the unpacked tree leaves
    // every page unparsed. Counted as the heap bytes the opened document
    // holds, its last page fetched as the PDF helper's opening does.
    constexpr int pages = 3000;
    for (int fanOut : {32, 4, pages}) {
        const std::string text =
            PlainPdf::oneLinePagesInTree(pages, fanOut, [](int p) { return "Line " + std::to_string(p + 1); });
        const Bytes plain(text.begin(), text.end());
        const auto held = [&](const Bytes& pdf) {
            const auto before = static_cast<double>(mallinfo2().uordblks);
            PdfDocument document = openOrFail(pdf);
            EXPECT_EQ(document.pageCount(), pages) << fanOut;
            EXPECT_EQ(document.page(pages - 1).value().mediaBox().width, 612) << fanOut;
            return static_cast<double>(mallinfo2().uordblks) - before;
        };
        const double plainBytes = held(plain);
        const double packedBytes = held(PdfFixtures::packed(plain));
        // A sanitizer's own allocator leaves the C library's count at nothing.
        if (plainBytes > 0) EXPECT_LT(packedBytes, 1.5 * plainBytes) << "fan-out " << fanOut;
    }
}
