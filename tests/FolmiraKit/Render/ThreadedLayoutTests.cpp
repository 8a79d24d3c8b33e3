// Shaping text on several threads must not change a single byte of the PDF
// (apart from its creation date), whatever the document and the settings.

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Readers/PlainText.h"
#include "FolmiraKit/Render/Renderer.h"
#include "Platform/Resources.h"
#include "Platform/TextLayout.h"
#include "tests/FolmiraKit/Render/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <thread>

using namespace RenderTest;
using Settings = LargePrintSettings;

namespace {

// The thread count for one scope; the default again afterwards.
class Threads {
public:
    explicit Threads(int n) { Renderer::setShapingThreads(n); }
    ~Threads() { Renderer::setShapingThreads(0); }
};

std::string withoutDate(const std::vector<std::uint8_t>& pdf)
{
    std::string bytes(pdf.begin(), pdf.end());
    const std::string key = "/CreationDate (";
    if (auto at = bytes.find(key); at != std::string::npos) {
        auto end = bytes.find(')', at);
        bytes.erase(at, end - at + 1);
    }
    return bytes;
}

struct Rendered {
    std::string pdf;
    int pages = 0;
};

Rendered renderOn(int threads, const BigDocument& document, const Settings& settings)
{
    Threads scope(threads);
    auto result = Renderer::render(document, settings);
    return {withoutDate(result.pdf), result.pageCount};
}

// The same document at the defaults, in high contrast with listed tables and
// kept line breaks at a large size, and on small paper with pictures off.
std::vector<std::pair<const char*, Settings>> settingsToTry()
{
    Settings bold;
    bold.highContrast = true;
    bold.tables = Settings::TableMode::list;
    bold.keepLineBreaks = true;
    bold.fontSize = 28;
    Settings small;
    small.paper = Settings::Paper::halfLetter;
    small.keepImages = false;
    small.fontSize = 14;
    return {{"defaults", Settings()}, {"high contrast", bold}, {"half letter", small}};
}

void expectSameOnAnyThreadCount(const BigDocument& document)
{
    for (const auto& [name, settings] : settingsToTry()) {
        SCOPED_TRACE(name);
        Rendered one = renderOn(1, document, settings);
        ASSERT_FALSE(one.pdf.empty());
        EXPECT_EQ(one.pdf.find("/CreationDate"), std::string::npos);
        for (int threads : {2, 4}) {
            SCOPED_TRACE(threads);
            Rendered many = renderOn(threads, document, settings);
            EXPECT_EQ(many.pages, one.pages);
            EXPECT_TRUE(many.pdf == one.pdf) << "the PDFs differ";
        }
    }
}

// Some twenty pages of everything the layout knows: headings of every level,
// paragraphs with bold, italic and kept line breaks, nested lists, grid and
// listed tables (one long enough to repeat its header), pictures and rules.
BigDocument madeDocument()
{
    Blocks blocks;
    for (int chapter = 0; chapter < 12; ++chapter) {
        blocks.push_back(heading(1 + chapter % 4, "Chapter " + std::to_string(chapter + 1) + ": " + words(chapter % 5 + 2)));
        blocks.push_back(Block::paragraph({Run(words(60 + chapter * 7)), Run(" bold words", true),
                                           Run(" and italic ones", false, true), Run("\tafter a tab.")}));
        blocks.push_back(Block::paragraph({Run("A verse\nkept line\nby line.")}, true));
        for (int i = 0; i < 5; ++i) blocks.push_back(item(i % 2 ? "–" : std::to_string(i + 1) + ".", i % 3, words(8 + i * 9)));
        if (chapter % 3 == 0) {
            Block::Table grid;
            grid.header = true;
            grid.rows.push_back({Block::Cell{Run("Day")}, Block::Cell{Run("Task")}, Block::Cell{Run("Who")}});
            for (int r = 0; r < 6 + chapter * 2; ++r)
                grid.rows.push_back({Block::Cell{Run(std::to_string(r + 1))}, Block::Cell{Run(words(3 + r % 7))},
                                     r % 4 ? Block::Cell{Run("Ann")} : Block::Cell{}});
            blocks.push_back(Block(grid));
        } else if (chapter % 3 == 1) {
            std::string wide(30, 'W');
            blocks.push_back(Block::table({{Block::Cell{Run(wide)}, Block::Cell{Run(wide)}},
                                           {Block::Cell{}, Block::Cell{Run(words(12))}}},
                                          chapter % 2 == 0));
        }
        blocks.push_back(picture(40 + chapter * 10, 30 + chapter * 5));
        if (chapter % 2) blocks.push_back(Block::rule());
        blocks.push_back(heading(3, "")); // a heading without text
    }
    return BigDocument{"Made", BigDocument::Source::text, std::move(blocks), {}};
}

// A binary file's bytes, as a text file that is not one gives them.
std::vector<std::uint8_t> randomBytes(unsigned seed, std::size_t count)
{
    std::mt19937 engine(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(engine());
    return bytes;
}

// UTF-8 text whose lines mix words of twelve scripts: Cyrillic, Hebrew,
// Arabic, Devanagari, Thai, CJK, Hangul, emoji, Greek, Georgian, Ethiopic
// and Tibetan, each drawn from a font file of its own.
std::vector<std::uint8_t> manyScripts(unsigned seed, std::size_t count)
{
    static const char* const words[] = {
        "привет", "книга", "שלום", "ספר", "مرحبا", "كتاب", "नमस्ते", "किताब", "สวัสดี", "หนังสือ", "你好",
        "汉字", "안녕하세요", "단어", "😀", "📚", "👍🏽", "γειά", "βιβλίο", "გამარჯობა", "წიგნი", "ሰላም",
        "መጽሐፍ", "བཀྲ་ཤིས་", "དཔེ་ཆ"};
    std::mt19937 engine(seed);
    std::string text;
    while (text.size() < count) {
        text += words[engine() % std::size(words)];
        text += engine() % 12 ? " " : "\n\n";
    }
    return {text.begin(), text.end()};
}

} // namespace

TEST(ThreadedLayout, ShapesOnOneThreadWhereFontsShareTheirFaces)
{
    Threads chosen(4);
    EXPECT_EQ(Renderer::shapingThreads(), 4);
    Platform::assumeLayoutMayUseThreads(false);
    EXPECT_EQ(Renderer::shapingThreads(), 1);
    Platform::assumeLayoutMayUseThreads(std::nullopt);
}

TEST(ThreadedLayout, GivesTheSamePdfOnAMadeDocument)
{
    BigDocument document = madeDocument();
    EXPECT_GT(Renderer::render(document, Settings()).pageCount, 20);
    expectSameOnAnyThreadCount(document);
}

TEST(ThreadedLayout, GivesTheSamePdfOnRealDocuments)
{
    const std::set<std::string> readable = {".docx", ".pdf", ".rtf", ".md", ".txt"};
    std::vector<std::filesystem::path> files;
    // The regression inputs are hostile on purpose: many are refused.
    const std::filesystem::path regress = std::filesystem::path(FOLMIRA_TEST_DATA) / "regress";
    for (const auto& folder : {std::filesystem::path(FOLMIRA_TEST_DATA), *Platform::Resources::path("Samples")})
        for (auto entry = std::filesystem::recursive_directory_iterator(folder); entry != decltype(entry)(); ++entry) {
            if (entry->path() == regress) entry.disable_recursion_pending();
            else if (entry->is_regular_file() && readable.count(entry->path().extension().string()))
                files.push_back(entry->path());
        }
    ASSERT_GE(files.size(), 15u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        BigDocument document = Folmira::read(file, false);
        ASSERT_FALSE(document.blocks.empty());
        expectSameOnAnyThreadCount(document);
    }
}

TEST(ThreadedLayout, WritesALongDocumentAsItGoesAlikeOnAnyThreadCount)
{
    // Too many pages to hold, so they are written while later text is shaped,
    // with lines only Pango draws (right to left, a character no face has)
    // here and there among them.
    Blocks blocks;
    for (int i = 0; i < 2000; ++i) {
        if (i % 50 == 7) blocks.push_back(para("שלום עולם, " + words(20)));
        else if (i % 50 == 31) blocks.push_back(para("A sign no face has: \uE000 " + words(10)));
        else blocks.push_back(para(words(40 + i % 30)));
    }
    const BigDocument document{"Long", BigDocument::Source::text, std::move(blocks), {}};
    const Rendered one = renderOn(1, document, Settings());
    ASSERT_GT(one.pages, 400);
    const Rendered many = renderOn(4, document, Settings());
    EXPECT_EQ(many.pages, one.pages);
    EXPECT_TRUE(many.pdf == one.pdf) << "the PDFs differ";
}

TEST(ThreadedLayout, GivesTheSamePagesAsShapingInPlace)
{
    BigDocument document = madeDocument();
    Settings settings;
    Layout inPlace(settings);
    addAll(inPlace, document.blocks);
    const auto expected = inPlace.finish();

    for (int threads : {1, 3, 4}) {
        SCOPED_TRACE(threads);
        Layout ahead(settings);
        ahead.shapeAhead(document.blocks, threads);
        addAll(ahead, document.blocks);
        EXPECT_EQ(ahead.finish(), expected);
        EXPECT_EQ(ahead.listedTables(), inPlace.listedTables());
    }
    // Blocks other than the ones shaped ahead (here a copy) are shaped in place.
    Layout other(settings);
    other.shapeAhead(document.blocks, 4);
    Blocks copy = document.blocks;
    addAll(other, copy);
    EXPECT_EQ(other.finish(), expected);
}

TEST(ThreadedLayout, StopsItsHelpersWhenLeftUnfinished)
{
    // A layout dropped after its first block (a render given up) ends its
    // helpers without waiting for every block to be shaped.
    Blocks blocks;
    for (int i = 0; i < 400; ++i) blocks.push_back(para(words(200)));
    {
        Layout layout{Settings()};
        layout.shapeAhead(blocks, 4);
        layout.add(blocks[0], &blocks[1]);
        EXPECT_EQ(texts(layout.ops()).size(), 1u);
    }
    Layout again{Settings()};
    again.shapeAhead(blocks, 4);
    auto pages = again.finish(); // nothing placed
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].empty());
}

TEST(ThreadedLayout, LaysOutAVeryLongParagraphAmongOthersAlike)
{
    // Over 200,000 characters in one paragraph, laid out in slices, between
    // ordinary blocks: the same PDF on one thread and on four, its last words
    // on the last page.
    std::string longText = words(40000) + " the very end.";
    ASSERT_GT(longText.size(), 200'000u);
    BigDocument document{"Long", BigDocument::Source::text, {heading(1, "Before")}, {}};
    for (int i = 0; i < 30; ++i) document.blocks.push_back(para(words(50 + i)));
    document.blocks.push_back(para(longText));
    document.blocks.push_back(item("•", 0, "After it."));
    Rendered one = renderOn(1, document, Settings());
    Rendered four = renderOn(4, document, Settings());
    EXPECT_GT(one.pages, 100);
    EXPECT_EQ(four.pages, one.pages);
    EXPECT_TRUE(four.pdf == one.pdf) << "the PDFs differ";

    Layout layout{Settings()};
    layout.shapeAhead(document.blocks, 4);
    addAll(layout, document.blocks);
    auto pages = layout.finish();
    std::string lastPage;
    for (const Page& page : {pages[pages.size() - 2], pages.back()})
        for (const auto* frame : texts(page)) lastPage += frameText(*frame) + "\n";
    EXPECT_NE(lastPage.find("the very end."), std::string::npos) << lastPage;
    EXPECT_NE(lastPage.find("After it."), std::string::npos) << lastPage;
}

TEST(ThreadedLayout, LaysOutManyScriptsInSeveralRendersAtOnceAlike)
{
    // Text needing many font files at once (far more than the ten files
    // Cairo keeps open), shaped by the helpers of three renders at the same
    // time, round after round: every render ends with the PDF it makes on
    // one thread.
    const std::vector<BigDocument> documents = {readPlainText(randomBytes(1, 48 * 1024), "Random"),
                                                readPlainText(manyScripts(2, 48 * 1024), "Scripts"),
                                                readPlainText(randomBytes(3, 48 * 1024), "Random again")};
    std::vector<Rendered> one;
    for (const BigDocument& document : documents) one.push_back(renderOn(1, document, Settings()));
    Threads helpers(4);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        std::vector<Rendered> many(documents.size());
        {
            std::vector<std::thread> renders;
            for (std::size_t i = 0; i < documents.size(); ++i)
                renders.emplace_back([&, i] {
                    auto result = Renderer::render(documents[i], Settings());
                    many[i] = {withoutDate(result.pdf), result.pageCount};
                });
            for (std::thread& render : renders) render.join();
        }
        for (std::size_t i = 0; i < documents.size(); ++i) {
            SCOPED_TRACE(documents[i].title);
            EXPECT_GT(many[i].pages, 5);
            EXPECT_EQ(many[i].pages, one[i].pages);
            EXPECT_TRUE(many[i].pdf == one[i].pdf) << "the PDFs differ";
        }
    }
}
