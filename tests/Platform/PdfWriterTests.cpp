#include "Platform/PdfWriter.h"
#include "Platform/TextLayout.h"
#include "tests/Platform/ImagesSamples.h"
#include "tests/Platform/PdfWriterReadBack.h"

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(PdfWriter, LinesDrawnTogetherLandWhereEachWasAsked)
{
    auto first = layoutOf("Amazing grace");
    auto second = layoutOf("how sweet");
    // One glyph run for all three lines, each glyph placed as Pango placed it.
    PdfWriter writer("t", "c");
    writer.beginPage({612, 792});
    writer.drawTextLines({{first.get(), 0, {72, 700}}, {second.get(), 0, {300, 700}}, {nullptr, 0, {0, 0}},
                          {first.get(), 0, {72, 400}}},
                         Color::grey(0.2));
    auto doc = ReadBack::read(writer.finish());
    ASSERT_EQ(doc.pages.size(), 1u);
    AttributedText how;
    how.append("how ", *Fonts::named("AtkinsonHyperlegible-Regular", 18));
    // Each line's first glyph, and a glyph inside a line, where they were put.
    struct Place {
        const char* glyph;
        double x, baseline;
    };
    const Place places[] = {{"A", 72, 400}, {"A", 72, 700}, {"h", 300, 700}, {"s", 300 + TextLayout::lineWidth(how), 700}};
    std::vector<const ReadBack::Glyph*> found;
    for (const char* letter : {"A", "h", "s"}) {
        std::vector<const ReadBack::Glyph*> these;
        for (const auto& g : doc.pages[0].glyphs)
            if (g.text == letter) these.push_back(&g);
        std::sort(these.begin(), these.end(), [](auto* a, auto* b) { return a->box.y < b->box.y; });
        found.insert(found.end(), these.begin(), these.end());
    }
    ASSERT_EQ(found.size(), std::size(places));
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i]->text, places[i].glyph);
        EXPECT_NEAR(found[i]->box.x, places[i].x, 0.3) << i;
        EXPECT_LT(found[i]->box.minY(), places[i].baseline) << i;
        EXPECT_GT(found[i]->box.maxY(), places[i].baseline + 8) << i;
    }
}

TEST(PdfWriter, LinesOnlyPangoCanDrawAreDrawnByPango)
{
    // Right-to-left text (drawn run by run) and a character no face has
    // (drawn by Pango as a hex box) are not gathered with the rest; they still
    // come out.
    auto hebrew = layoutOf("\u05E9\u05DC\u05D5\u05DD");
    auto unknown = layoutOf("x\U000F0000y");
    auto plain = layoutOf("plain");
    PdfWriter writer("t", "c");
    writer.beginPage({612, 792});
    writer.drawTextLines({{hebrew.get(), 0, {72, 600}}, {unknown.get(), 0, {72, 500}}, {plain.get(), 0, {72, 400}}},
                         Color::grey(0.2));
    auto doc = ReadBack::read(writer.finish());
    ASSERT_EQ(doc.pages.size(), 1u);
    for (const char* expected : {"\u05E9", "\u05DD", "x", "y", "plain"})
        EXPECT_NE(doc.pages[0].text.find(expected), std::string::npos) << expected;
}

TEST(PdfWriter, RightToLeftTextReadsBackInLogicalOrder)
{
    // What copy and paste and a screen reader get: ligatures (lam-alef with
    // and without hamza or madda), pointed Hebrew, vowelled Arabic and Latin
    // words and numbers inside a right-to-left line, each in the order it is
    // written.
    const std::vector<std::string> lines{"\u0627\u0644\u0623\u062F\u0627\u0629",
                                         "\u0644\u0627 \u0625\u0644\u0647 \u0625\u0644\u0627 \u0627\u0644\u0644\u0647",
                                         "\u0627\u0644\u0622\u0646 \u0622\u0644\u0627\u0641",
                                         "\u0642\u0627\u0644 habibi \u0625\u0646 15 \u0645\u0631\u0629",
                                         "\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD \u05DC\u05B8\u05DA\u05B0 "
                                         "\u05D1\u05B0\u05BC\u05E8\u05B5\u05D0\u05E9\u05B4\u05C1\u05D9\u05EA",
                                         "\u05D0\u05DE\u05E8 John 42 \u05E4\u05E2\u05DE\u05D9\u05DD",
                                         // Persian's half space (a non-joiner), which has no glyph
                                         "\u0645\u06CC\u200C\u0622\u06CC\u0646\u062F \u0628\u06CC\u200C\u0647\u06CC\u0686",
                                         "\u0628\u0650\u0633\u0652\u0645\u0650 \u0627\u0644\u0644\u0651\u064E\u0647\u0650 "
                                         "\u0643\u064E\u062A\u064E\u0628\u064E \u0627\u0644\u0652\u0648\u064E\u0644\u064E\u062F\u064F"};
    std::vector<std::shared_ptr<TextLayout>> layouts;
    std::vector<PdfWriter::PlacedLine> placed;
    ParagraphFormat format;
    format.followDirection = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        AttributedText text;
        text.append(lines[i], *Fonts::named("AtkinsonHyperlegible-Regular", 18));
        layouts.push_back(std::make_shared<TextLayout>(text, 400, format));
        EXPECT_FALSE(layouts.back()->needsPango(0)) << lines[i];
        placed.push_back({layouts.back().get(), 0, {72, 700 - 60.0 * static_cast<double>(i)}});
    }
    PdfWriter writer("t", "c");
    writer.beginPage({612, 792});
    writer.drawTextLines(placed, Color::grey(0));
    std::string text = ReadBack::pdftotext(writer.finish());
    for (const std::string& line : lines) EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
}

TEST(PdfWriter, ZeroLengthRoundDashesMakeDots)
{
    PdfWriter writer("t", "c");
    writer.beginPage({200, 100});
    // Dots 4 points across every 10 points, from x 20; the line's end at 75 is not a dot.
    writer.strokeDashes({20, 50}, {75, 50}, 4, 0, 10, {}, PdfWriter::LineCap::round);
    writer.strokeDashes({20, 20}, {80, 20}, 4, 0, 0, {}); // no period: nothing
    auto pdf = writer.finish();
    for (double x : {20.0, 30.0, 40.0, 50.0, 60.0, 70.0}) EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {x, 50}), 0, 0.1) << x;
    for (double x : {25.0, 35.0, 65.0, 76.0}) EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {x, 50}), 1, 0.02) << x;
    EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {20, 53.5}), 1, 0.02); // round: 2 points tall each way
    EXPECT_NEAR(ReadBack::greyAt(pdf, 0, {40, 20}), 1, 0.02);
}

TEST(PdfWriter, HoldsAboutWhatItHasWrittenHoweverLong)
{
    // Pixels that don't compress: some 360 KB of PDF a page.
    std::vector<std::uint32_t> noise(300 * 300);
    std::uint32_t state = 1;
    for (auto& pixel : noise) pixel = 0xFF000000 | (state = state * 1664525 + 1013904223) >> 8;
    PdfWriter writer("t", "c");
    for (int page = 0; page < 12; ++page) {
        noise[0] = 0xFF000000 | static_cast<std::uint32_t>(page); // a picture of its own each page
        writer.beginPage({300, 300});
        writer.drawImage(*Image::make(Bitmap{300, 300, noise}), {0, 0, 300, 300});
        writer.endPage();
        SCOPED_TRACE(page);
        EXPECT_LE(writer.heldBytes(), writer.writtenBytes() + (std::size_t{1} << 20));
    }
    const std::size_t written = writer.writtenBytes();
    EXPECT_GT(written, std::size_t{3} << 20);
    EXPECT_GE(writer.finish().size(), written);
}
