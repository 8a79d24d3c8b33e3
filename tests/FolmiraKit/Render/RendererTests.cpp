#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Render/Renderer.h"
#include "Platform/PdfDocument.h"
#include "tests/FolmiraKit/Render/RenderTestSupport.h"
#include "tests/Platform/PdfWriterReadBack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

using namespace RenderTest;
using Settings = LargePrintSettings;

namespace {

BigDocument document(Blocks blocks, std::vector<ConversionNote> notes = {})
{
    return BigDocument{"Report", BigDocument::Source::text, std::move(blocks), std::move(notes)};
}

Block table(int rows)
{
    std::vector<Block::Row> out;
    for (int r = 0; r < rows; ++r) out.push_back({Block::Cell{FolmiraKit::Run("cell")}});
    return Block::table(out, false);
}

// A table whose words cannot stand side by side at any large size.
Block wideTable()
{
    std::string word(40, 'W');
    return Block::table({{Block::Cell{FolmiraKit::Run(word)}, Block::Cell{FolmiraKit::Run(word)}}}, false);
}

std::vector<std::string> messages(const RenderResult& result)
{
    std::vector<std::string> out;
    for (const auto& note : result.notes) out.push_back(note.message);
    return out;
}

} // namespace

TEST(Renderer, AnEmptyDocumentIsOneNumberedPage)
{
    auto result = Renderer::render(document({}), Settings());
    EXPECT_EQ(result.pageCount, 1);
    EXPECT_TRUE(result.notes.empty());
    auto pdf = ReadBack::read(result.pdf);
    ASSERT_TRUE(pdf.opened);
    EXPECT_EQ(pdf.title, "Report (large print)");
    EXPECT_EQ(pdf.creator, "Folmira");
    ASSERT_EQ(pdf.pages.size(), 1u);
    EXPECT_EQ(pdf.pages[0].text, "Page 1 of 1");
    // Centred, with its baseline 40.5 points above the bottom edge, at 18 pt.
    const auto& glyphs = pdf.pages[0].glyphs;
    double left = glyphs.front().box.minX(), right = glyphs.back().box.maxX();
    EXPECT_NEAR((left + right) / 2, 306, 1.0);
    const auto* p = pdf.find(0, "P");
    EXPECT_LT(p->box.minY(), 40.5);
    EXPECT_NEAR(p->box.maxY() - 40.5, 0.95 * 18, 2.5);
    EXPECT_EQ(p->fontSize, 18);
    EXPECT_NE(p->font.find("AtkinsonHyperlegible-Regular"), std::string::npos);

    Settings quiet;
    quiet.pageNumbers = false;
    EXPECT_EQ(ReadBack::read(Renderer::render(document({}), quiet).pdf).pages.at(0).text, "");
}

TEST(Renderer, PrintsOnEveryPaperSize)
{
    struct Case {
        Settings::Paper paper;
        Platform::Size size;
    } cases[] = {
        {Settings::Paper::letter, {612, 792}},
        {Settings::Paper::a4, {595.28, 841.89}},
        {Settings::Paper::legal, {612, 1008}},
        {Settings::Paper::halfLetter, {396, 612}},
    };
    for (const auto& c : cases) {
        Settings s;
        s.paper = c.paper;
        auto pdf = ReadBack::read(Renderer::render(document({para("Hello.")}), s).pdf);
        ASSERT_EQ(pdf.pages.size(), 1u);
        EXPECT_NEAR(pdf.pages[0].size.width, c.size.width, 0.01);
        EXPECT_NEAR(pdf.pages[0].size.height, c.size.height, 0.01);
    }
}

TEST(Renderer, EmbedsTheTypefaceAndNumbersEveryPage)
{
    Blocks blocks = {heading(1, "Chapter one")};
    for (int i = 0; i < 12; ++i) blocks.push_back(para(words(120)));
    auto result = Renderer::render(document(blocks), Settings());
    auto pdf = ReadBack::read(result.pdf);
    ASSERT_GE(result.pageCount, 3);
    ASSERT_EQ(static_cast<int>(pdf.pages.size()), result.pageCount);
    std::string expected = "Page 3 of " + std::to_string(result.pageCount);
    EXPECT_NE(pdf.pages[2].text.find(expected), std::string::npos);
    bool regular = false, bold = false;
    for (const auto& font : pdf.fonts) {
        EXPECT_TRUE(font.embedded) << font.name;
        regular |= font.name.find("AtkinsonHyperlegible-Regular") != std::string::npos;
        bold |= font.name.find("AtkinsonHyperlegible-Bold") != std::string::npos;
    }
    EXPECT_TRUE(regular);
    EXPECT_TRUE(bold);
    const auto* title = pdf.find(0, "Chapter");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->fontSize, 27);
    EXPECT_NE(title->font.find("Bold"), std::string::npos);
}

TEST(Renderer, PutsListTextAtTheTabStop)
{
    auto pdf = ReadBack::read(Renderer::render(document({item("•", 2, "Apples")}), Settings()).pdf);
    const auto* marker = pdf.find(0, "•");
    const auto* text = pdf.find(0, "Apples");
    ASSERT_TRUE(marker && text);
    EXPECT_NEAR(marker->box.x, 104.4, 1.0);
    EXPECT_NEAR(text->box.x, 133.2, 1.0);
    EXPECT_NE(marker->font.find("Bold"), std::string::npos);
}

TEST(Renderer, WritesItsNotesAfterTheDocuments)
{
    struct Case {
        const char* name;
        Settings settings;
        Blocks blocks;
        std::vector<std::string> notes;
    };
    Settings noPictures;
    noPictures.keepImages = false;
    Settings listed;
    listed.tables = Settings::TableMode::list;
    Case cases[] = {
        {"nothing to say", Settings(), {para("x"), picture(4, 4), table(2)}, {}},
        {"one picture", noPictures, {picture(4, 4)}, {"1 picture was left out (Pictures is off)."}},
        {"two pictures", noPictures, {picture(4, 4), picture(4, 4)}, {"2 pictures were left out (Pictures is off)."}},
        {"one listed table", listed, {table(1)}, {"1 table is listed row by row."}},
        {"three listed tables", listed, {table(1), table(2), table(3)}, {"3 tables are listed row by row."}},
        {"one table too wide", Settings(), {wideTable(), table(2)},
         {"1 table was too wide for 18 pt, so its rows are listed one under another."}},
        {"two tables too wide at a clamped size", [] { Settings s; s.fontSize = 40; return s; }(),
         {wideTable(), wideTable()}, {"2 tables were too wide for 32 pt, so their rows are listed one under another."}},
        {"a fraction is cut off", [] { Settings s; s.fontSize = 18.5; return s; }(), {wideTable()},
         {"1 table was too wide for 18 pt, so its rows are listed one under another."}},
        {"pictures before tables", noPictures, {wideTable(), picture(4, 4), picture(4, 4)},
         {"2 pictures were left out (Pictures is off).",
          "1 table was too wide for 18 pt, so its rows are listed one under another."}},
        {"pictures first", [&] { Settings s = listed; s.keepImages = false; return s; }(),
         {table(1), picture(4, 4), picture(4, 4)},
         {"2 pictures were left out (Pictures is off).", "1 table is listed row by row."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(messages(Renderer::render(document(c.blocks), c.settings)), c.notes);
    }
    std::vector<ConversionNote> own = {{ConversionNote::Kind::warning, "First."}, {ConversionNote::Kind::info, "Second."}};
    auto result = Folmira::render(document({picture(4, 4)}, own), noPictures);
    EXPECT_EQ(messages(result),
              (std::vector<std::string>{"First.", "Second.", "1 picture was left out (Pictures is off)."}));
    EXPECT_EQ(result.notes[0].kind, ConversionNote::Kind::warning);
    EXPECT_EQ(result.notes[2].kind, ConversionNote::Kind::info);
}

TEST(Renderer, ClampsItsSettingsFirst)
{
    Settings huge;
    huge.fontSize = 40;
    auto pdf = ReadBack::read(Renderer::render(document({para("Big.")}), huge).pdf);
    EXPECT_EQ(pdf.find(0, "Big")->fontSize, 32);
    EXPECT_EQ(pdf.find(0, "Page")->fontSize, 32);
}

TEST(Renderer, RendersAlikeOnManyThreadsAtOnce)
{
    Blocks blocks;
    for (int i = 0; i < 6; ++i) {
        blocks.push_back(heading(2, "Part " + std::to_string(i)));
        blocks.push_back(para(words(150)));
        blocks.push_back(item("•", 0, words(25)));
    }
    auto doc = document(blocks);
    auto readOut = [&doc] {
        auto result = Renderer::render(doc, Settings());
        auto pdf = ReadBack::read(result.pdf);
        std::string text;
        for (const auto& page : pdf.pages) text += page.text + "\f";
        return std::pair{result.pageCount, text};
    };
    auto alone = readOut();
    EXPECT_GT(alone.first, 2);
    std::vector<std::future<std::pair<int, std::string>>> runs;
    for (int i = 0; i < 4; ++i) runs.push_back(std::async(std::launch::async, readOut));
    for (auto& run : runs) EXPECT_EQ(run.get(), alone);
}

TEST(Renderer, MakesATextFileLarge)
{
    auto path = std::filesystem::temp_directory_path() / "folmira-render-letter.txt";
    {
        std::ofstream out(path);
        out << "Dear friends,\n\nThe garden opens on Saturday at nine.\n\n• Gloves\n• A hat\n";
    }
    auto doc = Folmira::read(path, false);
    std::filesystem::remove(path);
    auto result = Folmira::render(doc, Settings());
    auto pdf = ReadBack::read(result.pdf);
    ASSERT_EQ(pdf.pages.size(), 1u);
    EXPECT_EQ(pdf.title, "folmira-render-letter (large print)");
    for (const char* text : {"Dear friends,", "The garden opens on Saturday at nine.", "Gloves", "Page 1 of 1"})
        EXPECT_NE(pdf.pages[0].text.find(text), std::string::npos) << text;
}

TEST(Renderer, LaysOutEveryLineOfAVeryLongBlock)
{
    // Some 4 MB of text without a blank line is one block of several thousand
    // pages; its last words reach the last page.
    std::string text;
    text.reserve(4u << 20);
    for (int line = 0; text.size() < (4u << 20); ++line) text += "Line " + std::to_string(line) + " of the long log, " + words(6) + ".\n";
    text += "The very last words.\n";
    BigDocument doc = Folmira::readBytes({text.begin(), text.end()}, "txt", "Log", std::nullopt, false);
    ASSERT_EQ(doc.blocks.size(), 1u);

    auto result = Folmira::render(doc, Settings());
    EXPECT_GT(result.pageCount, 2000);
    EXPECT_TRUE(result.notes.empty());
    auto opened = Platform::PdfDocument::open(result.pdf);
    ASSERT_TRUE(opened.document);
    ASSERT_EQ(opened.document->pageCount(), result.pageCount);
    auto last = opened.document->page(result.pageCount - 1);
    ASSERT_TRUE(last);
    const std::string lastText = last->text().text;
    const auto lastWords = lastText.find("The very last");
    ASSERT_NE(lastWords, std::string::npos) << lastText;
    EXPECT_NE(lastText.find("words.", lastWords), std::string::npos) << lastText;
    EXPECT_NE(lastText.find("Page " + std::to_string(result.pageCount) + " of"), std::string::npos);
}
