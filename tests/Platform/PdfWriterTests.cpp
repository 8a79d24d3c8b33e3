#include "Platform/PdfWriter.h"
#include "Platform/TextLayout.h"
#include "tests/Platform/ImagesSamples.h"
#include "tests/Platform/PdfWriterReadBack.h"

#include <gtest/gtest.h>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

using namespace Platform;

namespace {

Bitmap filled(int width, int height, std::uint32_t argb)
{
    return Bitmap{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, argb)};
}

std::shared_ptr<TextLayout> layoutOf(std::string_view text, double size = 18)
{
    AttributedText attributed;
    attributed.append(text, *Fonts::named("AtkinsonHyperlegible-Regular", size));
    return std::make_shared<TextLayout>(attributed, 400, ParagraphFormat{});
}

struct EmbeddedImage {
    long long width = 0;
    std::string filter;
    Bytes raw; // the stream's bytes as stored
};

// The image XObjects of every page, as qpdf sees them.
std::vector<EmbeddedImage> imagesOf(const Bytes& pdf)
{
    QPDF qpdf;
    qpdf.processMemoryFile("test.pdf", reinterpret_cast<const char*>(pdf.data()), pdf.size());
    std::vector<EmbeddedImage> out;
    for (auto& page : QPDFPageDocumentHelper(qpdf).getAllPages()) {
        for (auto& [name, image] : page.getImages()) {
            EmbeddedImage e;
            auto dict = image.getDict();
            e.width = dict.getKey("/Width").getIntValue();
            if (dict.getKey("/Filter").isName()) e.filter = dict.getKey("/Filter").getName();
            auto data = image.getRawStreamData();
            e.raw.assign(data->getBuffer(), data->getBuffer() + data->getSize());
            out.push_back(std::move(e));
        }
    }
    return out;
}

} // namespace

TEST(PdfWriter, WritesPagesOfEachSizeWithInformationAndText)
{
    PdfWriter writer("Report (large print)", "Folmira");
    auto text = layoutOf("Large and clear");
    writer.beginPage({612, 792});
    writer.drawTextLine(*text, 0, {72, 700});
    writer.beginPage({396, 612}); // ends the first page itself
    writer.drawTextLine(*text, 0, {30, 40});
    writer.endPage();
    ASSERT_TRUE(writer.ok());
    auto pdf = writer.finish();

    auto doc = ReadBack::read(pdf);
    ASSERT_TRUE(doc.opened);
    EXPECT_EQ(doc.title, "Report (large print)");
    EXPECT_EQ(doc.creator, "Folmira");
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_EQ(doc.pages[0].size, (Size{612, 792}));
    EXPECT_EQ(doc.pages[1].size, (Size{396, 612}));
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(doc.pages[i].text, "Large and clear") << i;

    // The baseline is where it was asked for, in bottom-up page space.
    const auto* first = doc.find(1, "L");
    ASSERT_NE(first, nullptr);
    EXPECT_NEAR(first->box.x, 30, 0.5);
    EXPECT_LT(first->box.minY(), 40);
    EXPECT_GT(first->box.maxY(), 40 + 10);

    ASSERT_EQ(doc.fonts.size(), 1u);
    EXPECT_NE(doc.fonts[0].name.find("AtkinsonHyperlegible-Regular"), std::string::npos);
    EXPECT_TRUE(doc.fonts[0].embedded);
}

TEST(PdfWriter, PaintsStrokesAndFillsInGrey)
{
    PdfWriter writer("t", "c");
    writer.beginPage({200, 200});
    writer.fillRect({10, 10, 50, 50}, Color::grey(0.5));
    writer.strokeLine({100, 150}, {190, 150}, 4);
    writer.strokeRect({100, 20, 80, 80}, 6);
    auto pdf = writer.finish();
    EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {35, 35}), 0.5, 0.02);
    EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {150, 150}), 0, 0.02);
    EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {150, 160}), 1, 0.02); // above the line
    EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {101, 60}), 0, 0.02);  // the box's left side
    EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {140, 60}), 1, 0.02);  // an outline, not filled
}

TEST(PdfWriter, EmbedsJpegUnchangedAndOtherPicturesAsPixels)
{
    auto black = *Image::make(filled(4, 2, 0xFF000000));
    PdfWriter writer("t", "c");
    writer.beginPage({100, 100});
    writer.drawImage(black, {10, 10, 40, 20});
    auto pdf = writer.finish();
    EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {30, 20}), 0, 0.02);
    EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {30, 35}), 1, 0.02);
    auto images = imagesOf(pdf);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 4);
    EXPECT_NE(images[0].filter, "/DCTDecode");

    // The caller may let go of its image before the page is written.
    PdfWriter second("t", "c");
    second.beginPage({100, 100});
    second.drawImage(*Image::decode(ImagesSamples::smallJpeg()), {0, 0, 60, 25});
    images = imagesOf(second.finish());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].filter, "/DCTDecode");
    EXPECT_EQ(images[0].raw, ImagesSamples::smallJpeg());
}

TEST(PdfWriter, AWriterWithoutPagesWritesADocumentWithoutPages)
{
    PdfWriter writer("t", "c");
    auto pdf = writer.finish();
    auto doc = ReadBack::read(pdf);
    ASSERT_TRUE(doc.opened);
    EXPECT_EQ(doc.pages.size(), 0u);
    EXPECT_TRUE(writer.finish().empty()); // a finished writer writes nothing more
    EXPECT_FALSE(writer.ok());
}
