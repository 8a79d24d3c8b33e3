#include "Platform/PdfImposer.h"
#include "tests/Platform/PdfFixtures.h"
#include "tests/Platform/PdfWriterReadBack.h"

#include <gtest/gtest.h>

#include <qpdf/QPDFPageObjectHelper.hh>

using namespace Platform;

namespace {

// Two letter pages, each saying "Page N" near its top-left corner.
Bytes twoPages()
{
    return PdfFixtures::cairoPdf(2, [](cairo_t* cr, int page) {
        PdfFixtures::showText(cr, 100, 92, "Page " + std::to_string(page + 1), 20);
    });
}

// Both pages side by side on one tabloid sheet.
Bytes sideBySide(const Bytes& source)
{
    using PdfImposer::Placement;
    return PdfImposer::impose(source, {1224, 792},
                              {{Placement{0, {0, 0}, 1, {612, 792}}, Placement{1, {612, 0}, 1, {612, 792}}}}, "Test");
}

struct Form {
    std::string raw;      // the stream's bytes as stored
    std::string filter;
    bool hasMatrix = false;
};

// The form XObjects drawn on the first page of `pdf`, by name.
std::map<std::string, Form> formsOf(const Bytes& pdf)
{
    QPDF q;
    q.processMemoryFile("t.pdf", reinterpret_cast<const char*>(pdf.data()), pdf.size());
    std::map<std::string, Form> out;
    auto page = QPDFPageDocumentHelper(q).getAllPages().at(0);
    for (auto& [name, form] : page.getFormXObjects()) {
        auto dict = form.getDict();
        auto data = form.getRawStreamData();
        out[name] = {std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()),
                     dict.getKey("/Filter").isName() ? dict.getKey("/Filter").getName() : "",
                     dict.hasKey("/Matrix")};
    }
    return out;
}

std::string rawContents(const Bytes& pdf, int index)
{
    QPDF q;
    q.processMemoryFile("t.pdf", reinterpret_cast<const char*>(pdf.data()), pdf.size());
    auto page = QPDFPageDocumentHelper(q).getAllPages().at(static_cast<std::size_t>(index));
    auto data = page.getObjectHandle().getKey("/Contents").getRawStreamData();
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

// Where "Page N" begins on the first sheet.
std::optional<Rect> marker(const Bytes& sheet, int n)
{
    auto doc = ReadBack::read(sheet);
    if (doc.pages.empty()) return std::nullopt;
    const auto* glyph = doc.find(0, "Page " + std::to_string(n));
    return glyph ? std::optional<Rect>(glyph->box) : std::nullopt;
}

} // namespace

TEST(PdfImposer, APageDrawnByOneStreamIsPlacedWithItsCompressedBytesAsTheyAre)
{
    Bytes source = twoPages();
    Bytes sheet = sideBySide(source);
    auto forms = formsOf(sheet);
    ASSERT_EQ(forms.size(), 2u);
    EXPECT_EQ(forms["/P0"].raw, rawContents(source, 0));
    EXPECT_EQ(forms["/P1"].raw, rawContents(source, 1));
    EXPECT_EQ(forms["/P0"].filter, "/FlateDecode");
    EXPECT_FALSE(forms["/P0"].hasMatrix);
    auto first = marker(sheet, 1), second = marker(sheet, 2);
    ASSERT_TRUE(first && second);
    EXPECT_NEAR(first->minX(), 100, 1);
    EXPECT_NEAR(second->minX(), 712, 1);
    EXPECT_NEAR(second->minY(), first->minY(), 0.01);
}

TEST(PdfImposer, PagesOfSeveralStreamsOrTurnedAreStillPlaced)
{
    // Page 1 split over three content streams; then the whole source turned.
    Bytes source = twoPages();
    QPDF q;
    q.processMemoryFile("in.pdf", reinterpret_cast<const char*>(source.data()), source.size());
    auto page = QPDFPageDocumentHelper(q).getAllPages().at(0);
    page.addPageContents(QPDFObjectHandle::newStream(&q, "q\n"), true);
    page.addPageContents(QPDFObjectHandle::newStream(&q, "\nQ\n"), false);
    QPDFWriter writer(q);
    writer.setOutputMemory();
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    Bytes split(buffer->getBuffer(), buffer->getBuffer() + buffer->getSize());

    Bytes sheet = sideBySide(split);
    auto first = marker(sheet, 1), second = marker(sheet, 2);
    ASSERT_TRUE(first && second);
    EXPECT_NEAR(first->minX(), 100, 1);
    EXPECT_NEAR(second->minX(), 712, 1);

    // A turned page keeps its turn: qpdf's form carries it as a matrix.
    Bytes turned = sideBySide(PdfFixtures::rotated(source, 90));
    auto forms = formsOf(turned);
    ASSERT_EQ(forms.size(), 2u);
    EXPECT_TRUE(forms["/P0"].hasMatrix);
    auto doc = ReadBack::read(turned);
    ASSERT_EQ(doc.pages.size(), 1u);
    EXPECT_NE(doc.pages[0].text.find("Page"), std::string::npos) << doc.pages[0].text;
}

TEST(PdfImposer, TwoPagesSharingOneStreamAreBothPlaced)
{
    Bytes source = twoPages();
    QPDF q;
    q.processMemoryFile("in.pdf", reinterpret_cast<const char*>(source.data()), source.size());
    auto pages = QPDFPageDocumentHelper(q).getAllPages();
    pages.at(1).getObjectHandle().replaceKey("/Contents", pages.at(0).getObjectHandle().getKey("/Contents"));
    QPDFWriter writer(q);
    writer.setOutputMemory();
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    Bytes sheet = sideBySide(Bytes(buffer->getBuffer(), buffer->getBuffer() + buffer->getSize()));
    auto doc = ReadBack::read(sheet);
    ASSERT_EQ(doc.pages.size(), 1u);
    std::vector<double> starts;
    for (const auto& g : doc.pages[0].glyphs)
        if (g.text == "P") starts.push_back(g.box.minX());
    ASSERT_EQ(starts.size(), 2u); // "Page 1" on both halves
    EXPECT_NEAR(std::min(starts[0], starts[1]), 100, 1);
    EXPECT_NEAR(std::max(starts[0], starts[1]), 712, 1);
}
