// PDFs made by a word processor (tests/data/pdf, from the .fodt sources beside
// them): the text read back must be the source's paragraphs, word for word.

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/PDF/PDFReader.h"
#include "FolmiraKit/Render/Renderer.h"
#include "tests/Platform/PdfFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

using namespace FolmiraKit;

namespace {

const std::string folder = std::string(FOLMIRA_TEST_DATA) + "/pdf/";

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// The body paragraphs of an OpenDocument source (headings and table cells left out).
std::vector<std::string> sourceParagraphs(const std::string& name)
{
    std::string body = contents(folder + name + ".fodt");
    body = body.substr(body.find("<office:body>"));
    body = std::regex_replace(body, std::regex("<table:table .*?</table:table>"), "");
    std::vector<std::string> out;
    std::regex paragraph("<text:p>([^<]*)</text:p>");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), paragraph); it != std::sregex_iterator(); ++it)
        out.push_back((*it)[1]);
    return out;
}

std::vector<std::string> texts(const BigDocument& document, bool headings)
{
    std::vector<std::string> out;
    for (const Block& b : document.blocks)
        if (b.isHeading() == headings && !b.as<Block::Table>()) out.push_back(b.plainText());
    return out;
}

std::vector<std::string> messages(const BigDocument& document)
{
    std::vector<std::string> out;
    for (const auto& note : document.notes) out.push_back(note.message);
    return out;
}

// A page of text with a picture between two lines.
std::vector<std::uint8_t> picturePdf()
{
    return PdfFixtures::cairoPdf(1, [](cairo_t* cr, int) {
        PdfFixtures::showText(cr, 72, 100, "The picture below shows the garden in early spring.");
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 120);
        cairo_t* painter = cairo_create(image);
        cairo_set_source_rgb(painter, 0.2, 0.6, 0.3);
        cairo_paint(painter);
        cairo_destroy(painter);
        cairo_save(cr);
        cairo_set_source_surface(cr, image, 72, 150);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_surface_destroy(image);
        PdfFixtures::showText(cr, 72, 320, "After the picture the text goes on.");
    });
}

using Grid = std::vector<std::vector<std::string>>;

const Block::Table* firstTable(const BigDocument& document)
{
    for (const Block& b : document.blocks)
        if (auto table = b.as<Block::Table>()) return table;
    return nullptr;
}

Grid cells(const Block::Table& table)
{
    Grid out;
    for (const auto& row : table.rows) {
        out.emplace_back();
        for (const auto& cell : row) out.back().push_back(plain(cell));
    }
    return out;
}

} // namespace

TEST(SamplePdfs, ReadsTwoColumnsLeftColumnFirst)
{
    BigDocument document = Folmira::read(folder + "two-columns.pdf", false);
    EXPECT_EQ(document.title, "two-columns");
    EXPECT_EQ(document.headings(), (std::vector<std::string>{"Notes from the orchard"}));
    EXPECT_EQ(texts(document, false), sourceParagraphs("two-columns"));
    EXPECT_EQ(messages(document), (std::vector<std::string>{"Read 1 page laid out in two columns left column first."}));
}

TEST(SamplePdfs, DropsTheRunningHeaderAndPageNumbers)
{
    BigDocument document = Folmira::read(folder + "running-header.pdf", false);
    EXPECT_EQ(document.headings(),
              (std::vector<std::string>{"Field guide", "Part 1", "Part 2", "Part 3", "Part 4", "Part 5", "Part 6"}));
    EXPECT_EQ(document.blocks[1].as<Block::Heading>()->level, 2);
    EXPECT_EQ(texts(document, false), sourceParagraphs("running-header"));
    ASSERT_EQ(document.notes.size(), 1u);
    EXPECT_EQ(document.notes[0].message.substr(0, 9), "Left out ");
    EXPECT_EQ(document.plainText().find("Folmira Field Guide"), std::string::npos);
}

TEST(SamplePdfs, RebuildsATableWithItsHeaderRow)
{
    BigDocument document = Folmira::read(folder + "table.pdf", false);
    EXPECT_EQ(texts(document, false), sourceParagraphs("table"));
    EXPECT_EQ(document.tableCount(), 1);
    const Block::Table* table = firstTable(document);
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->header);
    EXPECT_EQ(cells(*table), (Grid{{"Plant", "Water", "Light"},
                                   {"Tomato", "Every day", "Full sun"},
                                   {"Fern", "Twice a week", "Shade"},
                                   {"Basil", "Every other day", "Bright window"}}));
}

TEST(SamplePdfs, KeepsAGoogleDocsTablesRowsWithItsMergedCellAndWordsWhole)
{
    // Cells padded 5 pt leave gaps narrower than the type; "Continent" and
    // "Population" are cut at the first column's edge; one cell spans two columns.
    BigDocument document = Folmira::read(folder + "google-table.pdf", false);
    EXPECT_EQ(document.tableCount(), 1);
    const Block::Table* table = firstTable(document);
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->header);
    EXPECT_EQ(cells(*table), (Grid{{"Country", "Indonesia", "Germany"},
                                   {"Capital", "Jakarta", "Berlin"},
                                   {"Continent", "Asia and Europe, far apart", ""},
                                   {"Currency", "Rupia", "EUR (€)"},
                                   {"Population", "273.879.7501", "83,190,5562"}}));
    EXPECT_EQ(texts(document, false), (std::vector<std::string>{"Two countries compared, side by side, in a small table.",
                                                                "The figures come from the last census of each country."}));
}

TEST(SamplePdfs, MakeLargePrintCopiesThatReadBackWordForWord)
{
    for (const char* name : {"two-columns", "running-header", "table"}) {
        BigDocument document = Folmira::read(folder + name + ".pdf", false);
        RenderResult result = Folmira::render(document, LargePrintSettings{});
        ASSERT_FALSE(result.pdf.empty()) << name;
        // The copy's own page numbers go as page-number lines; the text stays.
        BigDocument copy = PDFReader::read(result.pdf, name);
        EXPECT_EQ(copy.plainText(), document.plainText()) << name;
    }
}

TEST(SamplePdfs, ReadRightToLeftTextBackInLogicalOrderWithTheEnglishAroundIt)
{
    // Large print sets these over several lines: every letter of each script
    // comes back, the Arabic and Hebrew in the order they are written.
    Blocks blocks;
    for (const char* text : {"Plain English paragraph one holds the Arabic word \u062D\u0631\u064A\u0629 and goes on "
                             "to its end three.",
                             "\u0627\u0644\u0644\u063A\u0629 \u0627\u0644\u0639\u0631\u0628\u064A\u0629 "
                             "\u0647\u064A \u0625\u062D\u062F\u0649 \u0627\u0644\u0644\u063A\u0627\u062A.",
                             "\u05D4\u05E2\u05D1\u05E8\u05D9\u05EA \u05D4\u05D9\u05D0 \u05E9\u05E4\u05D4 "
                             "\u05D5\u05E2\u05DC\u05D9\u05D4\u05DD \u05E0\u05DE\u05E0\u05D5\u05EA.",
                             "The Hebrew word \u05E9\u05DC\u05D5\u05DD ends this page of text."})
        blocks.push_back(Block::paragraph({FolmiraKit::Run(text)}));
    BigDocument document{"Scripts", BigDocument::Source::text, blocks, {}};
    RenderResult result = Folmira::render(document, LargePrintSettings{});
    ASSERT_FALSE(result.pdf.empty());
    EXPECT_EQ(PDFReader::read(result.pdf, "Scripts").plainText(), document.plainText());
}

TEST(SamplePdfs, ReadArabicSetLeftToRightByAnotherWriterWithEveryWord)
{
    // LibreOffice sets these Arabic paragraphs from the left and writes its
    // own lam-alef backwards, so words are counted rather than compared: a
    // line left out, or two words run together, makes fewer.
    auto count = [](const std::string& text) {
        std::istringstream in(text);
        return static_cast<long>(std::distance(std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()));
    };
    long source = 0, read = 0;
    for (const std::string& paragraph : sourceParagraphs("arabic-left")) source += count(paragraph);
    for (const std::string& paragraph : texts(Folmira::read(folder + "arabic-left.pdf", false), false)) read += count(paragraph);
    EXPECT_EQ(read, source);
}

TEST(SamplePdfs, ReadOurOwnArabicCopyBackWordForWord)
{
    // Two pages and more of Arabic set from the right margin, opening with a
    // heading, with a list, Latin words, numbers and words ending in a
    // separate alef: the copy read back keeps every block's text. (A number
    // beside a Latin word is drawn the same whichever comes first: such
    // pairs are left out.)
    const std::vector<std::string> words{"\u064A\u0648\u0644\u062F", "\u0627\u0644\u0646\u0627\u0633",
                                         "\u0623\u062D\u0631\u0627\u0631\u0627", "\u0648\u0642\u062F",
                                         "\u0648\u0647\u0628\u0648\u0627", "\u0639\u0642\u0644\u0627",
                                         "\u0648\u0636\u0645\u064A\u0631\u0627", "\u0642\u0627\u0644", "habibi",
                                         "\u0625\u0646", "\u0627\u0644\u0623\u062F\u0627\u0629",
                                         "\u0633\u0647\u0644\u0629", "\u0645\u0631\u0629",
                                         "\u0645\u06CC\u200C\u0622\u06CC\u0646\u062F"};
    Blocks blocks{Block::heading(1, {FolmiraKit::Run("\u062F\u0644\u064A\u0644 \u0627\u0644\u0623\u062F\u0627\u0629")})};
    for (std::size_t i = 0; i < 9; ++i) {
        // Each paragraph its own order of the words, so that no two lines are alike.
        std::string paragraph;
        for (std::size_t k = 0; k < 50; ++k) paragraph += words[(k * (i + 3)) % words.size()] + (k % 12 == 11 ? ". " : " ");
        blocks.push_back(Block::paragraph({FolmiraKit::Run(paragraph + words[i % 7] + ".")}));
        if (i % 3 == 1)
            for (const char* entry : {"\u062A\u0643\u0628\u064A\u0631 \u0627\u0644\u062E\u0637 32 \u0646\u0642\u0637\u0629.",
                                      "\u0627\u0644\u0637\u0628\u0627\u0639\u0629 \u0639\u0644\u0649 \u0648\u0631\u0642 A4 \u0623\u0648 Letter."})
                blocks.push_back(Block::listItem("\u2022", 0, {FolmiraKit::Run(entry)}));
    }
    BigDocument document{"Arabic", BigDocument::Source::text, blocks, {}};
    RenderResult result = Folmira::render(document, LargePrintSettings{});
    ASSERT_GE(result.pageCount, 3);
    BigDocument copy = PDFReader::read(result.pdf, "Arabic");
    EXPECT_EQ(copy.plainText(), document.plainText());
}

TEST(SamplePdfs, CarriesAPictureIntoTheLargePrintCopy)
{
    auto pdf = picturePdf();
    BigDocument document = Folmira::readBytes(pdf, "pdf", "Garden", std::nullopt, false);
    ASSERT_EQ(document.imageCount(), 1);
    const Picture& picture = document.blocks[1].as<Block::Image>()->picture;
    EXPECT_EQ(picture.width, 200);
    EXPECT_EQ(picture.height, 120);

    RenderResult result = Folmira::render(document, LargePrintSettings{});
    BigDocument copy = PDFReader::read(result.pdf, "Garden");
    EXPECT_EQ(copy.imageCount(), 1);
    // Three lines of text on the copy's page: its page number is a band line and goes.
    EXPECT_EQ(copy.plainText(), document.plainText());
}

TEST(SamplePdfs, ReadTheSameOnSeveralThreadsAtOnce)
{
    // The application may run two reads at once; each keeps its documents to itself.
    std::vector<std::vector<std::uint8_t>> inputs{picturePdf(), picturePdf()};
    for (const char* name : {"two-columns", "table"}) {
        std::string bytes = contents(folder + name + ".pdf");
        inputs.emplace_back(bytes.begin(), bytes.end());
    }
    auto read = [](const std::vector<std::uint8_t>& pdf) {
        BigDocument document = PDFReader::read(pdf, "Sample");
        return document.plainText() + std::to_string(document.imageCount());
    };
    std::vector<std::string> alone, together(inputs.size());
    for (const auto& pdf : inputs) alone.push_back(read(pdf));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < inputs.size(); ++i)
        threads.emplace_back([&, i] {
            for (int round = 0; round < 5; ++round)
                if (std::string text = read(inputs[i]); text != alone[i]) together[i] = text;
        });
    for (auto& thread : threads) thread.join();
    for (std::size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(together[i], "") << i;
}

TEST(SamplePdfs, ReadsAPageOfHebrewOverEnglishWholeEachLineInItsParagraphsDirection)
{
    // A browser's print of two Hebrew paragraphs over an English one, each
    // with a line of two Hebrew and two English words. Poppler's selection
    // from the page's top-left corner held the English paragraph's first line alone.
    const std::string text = Folmira::read(folder + "mixed-directions.pdf", false).plainText();
    std::size_t at = 0;
    for (const char* part : {"\u05DB\u05DC \u05D1\u05E0\u05D9 \u05D4\u05D0\u05D3\u05DD",
                             "\u05E9\u05DC\u05D5\u05DD hello \u05E2\u05D5\u05DC\u05DD world",
                             "\u05D4\u05E0\u05EA\u05D5\u05E0\u05D9\u05DD \u05E0\u05D0\u05E1\u05E4\u05D5",
                             "All people are born free", "hello \u05E9\u05DC\u05D5\u05DD world \u05E2\u05D5\u05DC\u05DD",
                             "They are endowed with reason and conscience."}) {
        const std::size_t found = text.find(part, at);
        ASSERT_NE(found, std::string::npos) << part << " in " << text;
        at = found + 1;
    }
}
