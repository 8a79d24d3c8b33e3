// Text that Cairo refuses, and a PDF writer that fails: a render always ends
// in a PDF or in a note that says why there is none.

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Render/Renderer.h"
#include "Platform/PdfDocument.h"
#include "Platform/PdfWriter.h"
#include "tests/FolmiraKit/Word/DocxBuilder.h"

#include <gtest/gtest.h>

using namespace FolmiraKit;

namespace {

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

// The text of every page of a PDF, one after the other.
std::string pdfText(const std::vector<std::uint8_t>& pdf)
{
    auto opened = Platform::PdfDocument::open(pdf);
    if (!opened.document) return "";
    std::string text;
    for (int i = 0; i < opened.document->pageCount(); ++i)
        if (auto page = opened.document->page(i)) text += page->text().text + "\n";
    return text;
}

} // namespace

TEST(RenderBadText, NoncharactersInEveryFormatStillGiveAPdf)
{
    // U+FDD0, U+FFFE, U+FFFF and U+10FFFF: valid UTF-8 that Cairo will not write.
    const std::string bad = "\xEF\xB7\x90 \xEF\xBF\xBE \xEF\xBF\xBF \xF4\x8F\xBF\xBF";
    struct Case {
        const char* extension;
        std::vector<std::uint8_t> data;
    };
    const Case cases[] = {
        {"txt", bytes("Title\n\nBefore " + bad + " after.\n")},
        {"md", bytes("# Title\n\nBefore " + bad + " after.\n")},
        {"rtf", bytes(R"({\rtf1\ansi Before \u-560? \u-2? \u-1? after.\par})")},
        // XML allows these two of them (U+FFFE and U+FFFF are no XML characters).
        {"docx", DocxTest::Package(DocxTest::p("Before \xEF\xB7\x90 \xF4\x8F\xBF\xBF after.")).build()},
    };
    for (const Case& c : cases) {
        BigDocument document = Folmira::readBytes(c.data, c.extension, "Bad \xEF\xBF\xBE title", std::nullopt, false);
        RenderResult result = Folmira::render(document, LargePrintSettings{});
        ASSERT_FALSE(result.pdf.empty()) << c.extension;
        std::string text = pdfText(result.pdf);
        EXPECT_NE(text.find("Before"), std::string::npos) << c.extension << ": " << text;
        EXPECT_NE(text.find("after."), std::string::npos) << c.extension << ": " << text;
        EXPECT_NE(text.find("\uFFFD"), std::string::npos) << c.extension << ": " << text;
        for (const auto& note : result.notes) EXPECT_NE(note.kind, ConversionNote::Kind::warning) << note.message;
    }
}

TEST(RenderBadText, AWriterThatFailsIsReportedNotAnEmptySuccess)
{
    BigDocument document{"Report", BigDocument::Source::text, {Block::paragraph({FolmiraKit::Run("Some text.")}, false)}, {}};
    Platform::PdfWriter::ForcedFailure forced("out of memory");
    RenderResult result = Folmira::render(document, LargePrintSettings{});
    EXPECT_TRUE(result.pdf.empty());
    ASSERT_FALSE(result.notes.empty());
    EXPECT_EQ(result.notes.back().kind, ConversionNote::Kind::warning);
    EXPECT_EQ(result.notes.back().message, "The large-print PDF could not be written (out of memory), so there is "
                                           "nothing to show, save or print.");
}
