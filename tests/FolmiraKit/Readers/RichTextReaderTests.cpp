#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Readers/RichTextReader.h"
#include "FolmiraKit/Render/Renderer.h"
#include "Platform/PdfDocument.h"
#include "Platform/Images.h"
#include "tests/FolmiraKit/ModelPrinters.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace FolmiraKit;
using R = FolmiraKit::Run;  // TEST bodies see testing::Test::Run

namespace {

std::vector<std::uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

BigDocument read(const std::string& rtf, std::string_view type = Platform::RichText::rtfDocumentType)
{
    return readRichText(bytes(rtf), "Doc", type);
}

// A Word-style document: a font table, then `body`.
std::string word(const std::string& body)
{
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1 Arial-BoldMT;}}" + body + "}";
}

std::string hex(const std::vector<std::uint8_t>& data)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : data) out += {digits[b >> 4], digits[b & 15]};
    return out;
}

// A 4 × 2 PNG as a Word picture of 30 × 15 points.
std::string pictureRtf()
{
    Platform::Bitmap bitmap{4, 2, std::vector<std::uint32_t>(8, 0xFF336699)};
    return "{\\*\\shppict{\\pict\\picwgoal600\\pichgoal300\\pngblip " + hex(*Platform::pngData(bitmap)) +
           "}}{\\nonshppict{\\pict\\wmetafile8 0102}}";
}

ConversionError refusal(const std::string& rtf, std::string_view type = Platform::RichText::rtfDocumentType)
{
    try {
        read(rtf, type);
    } catch (const ConversionError& error) {
        return error;
    }
    ADD_FAILURE() << "not refused: " << rtf.substr(0, 60);
    return ConversionError(ConversionError::Reason::locked, "");
}

// A table of plain cells; with `header`, the first row's cells are bold.
Block table(std::vector<std::vector<std::string>> cells, bool header)
{
    std::vector<Block::Row> rows;
    for (const auto& row : cells) {
        Block::Row out;
        for (const auto& text : row) out.push_back(text.empty() ? Runs{} : Runs{R(text, header && rows.empty())});
        rows.push_back(out);
    }
    return Block::table(rows, header);
}

} // namespace

TEST(RichTextReader, RefusesWhatItCannotRead)
{
    ConversionError notRtf = refusal("Just some text");
    EXPECT_EQ(notRtf.reason, ConversionError::Reason::damaged);
    EXPECT_STREQ(notRtf.what(), "This file couldn’t be read as RTF. It may be damaged.");
    EXPECT_STREQ(refusal("Just some text", Platform::RichText::rtfdDocumentType).what(),
                 "This file couldn’t be read as RTFD. It may be damaged.");

    ConversionError blank = refusal("{\\rtf1\\ansi\\par \\par   \\par\\tab\\par}");
    EXPECT_EQ(blank.reason, ConversionError::Reason::empty);
    EXPECT_STREQ(blank.what(), "This file is empty: there’s no text to make large.");
}

TEST(RichTextReader, BoldAndItalicComeFromTraitsAndFontNames)
{
    struct Case {
        const char* font;
        const char* traits;
        bool bold, italic;
    };
    const Case cases[] = {
        {"Helvetica-Black", "", true, false},     {"Avenir-HeavyOblique", "", true, true},
        {"Arial-BoldItalicMT", "", true, true},   {"Helvetica", "\\b", true, false},
        {"Helvetica", "\\i", false, true},        {"Times-Roman", "", false, false},
        {"Georgia-Italic", "\\b", true, true},
    };
    for (const Case& c : cases) {
        BigDocument document = read(std::string("{\\rtf1{\\fonttbl\\f0 ") + c.font + ";}\\f0" + c.traits + " Some words}");
        ASSERT_EQ(document.blocks.size(), 1u) << c.font;
        EXPECT_EQ(document.blocks[0], Block::paragraph({R("Some words", c.bold, c.italic)})) << c.font << c.traits;
    }
}

TEST(RichTextReader, ParagraphSizeIsTheSizeCarryingMostCharacters)
{
    // 40 characters at 12 pt and 10 at 18 pt make a 12-pt paragraph, which on a
    // 12-pt body is no heading; at 18 pt it would be one.
    const std::string body(200, 'x');
    BigDocument document = read(word("\\fs24 " + std::string(40, 'a') + "{\\fs36 " + std::string(10, 'b') +
                                     "}\\par\\fs24 " + body + "\\par\\fs36 Big title\\par"));
    ASSERT_EQ(document.blocks.size(), 3u);
    EXPECT_TRUE(document.blocks[0].as<Block::Paragraph>());
    EXPECT_EQ(document.blocks[2], Block::heading(1, {R("Big title")}));
}

TEST(RichTextReader, CocoaListsBecomeListItems)
{
    BigDocument document = read(
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}"
        "{\\*\\listtable{\\list\\listtemplateid1\\listhybrid"
        "{\\listlevel\\levelnfc23\\levelstartat1{\\*\\levelmarker \\{disc\\}}{\\leveltext\\'01\\uc0\\u8226 ;}{\\levelnumbers;}}"
        "{\\listlevel\\levelnfc23\\levelstartat1{\\*\\levelmarker \\{hyphen\\}}{\\leveltext\\'01\\uc0\\u8259 ;}{\\levelnumbers;}}"
        "\\listid1}"
        "{\\list\\listtemplateid2\\listhybrid{\\listlevel\\levelnfc0\\levelstartat1{\\*\\levelmarker \\{decimal\\}}"
        "{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}\\listid2}"
        "{\\list\\listtemplateid3\\listhybrid{\\listlevel\\levelnfc4\\levelstartat1{\\*\\levelmarker \\{lower-alpha\\})}"
        "{\\leveltext\\'02\\'00);}{\\levelnumbers\\'01;}}\\listid3}}"
        "{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}"
        "{\\listoverride\\listid2\\listoverridecount0\\ls2}{\\listoverride\\listid3\\listoverridecount0\\ls3}}\n"
        "\\pard\\li720\\fi-720\\ls1\\ilvl0\\f0\\fs24 \\cf0 {\\listtext\t\\uc0\\u8226 \t}Milk\\\n"
        "\\ls1\\ilvl1 {\\listtext\t\\uc0\\u8259 \t}Oat milk\\\n"
        "\\pard\\par\\pard\\ls2\\ilvl0 {\\listtext\t1.\t}One\\\n{\\listtext\t2.\t}Two\\\n{\\listtext\t3.\t}Three\\\n"
        "\\pard\\par\\pard\\ls3\\ilvl0 {\\listtext\ta)\t}Alpha\\\n}");
    const Blocks expected = {
        Block::listItem("•", 0, {R("Milk")}),  Block::listItem("•", 1, {R("Oat milk")}),
        Block::listItem("1.", 0, {R("One")}),  Block::listItem("2.", 0, {R("Two")}),
        Block::listItem("3.", 0, {R("Three")}), Block::listItem("a)", 0, {R("Alpha")}),
    };
    EXPECT_EQ(document.blocks, expected);
}

TEST(RichTextReader, WordListsBecomeListItems)
{
    BigDocument document = read(word(
        "{\\*\\listtable{\\list\\listtemplateid5{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext\\'02\\'00.;}"
        "{\\levelnumbers\\'01;}}{\\listlevel\\levelnfc2\\levelstartat1{\\leveltext\\'02\\'01.;}{\\levelnumbers\\'01;}}"
        "\\listid7}}{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}}"
        "{\\listtext\\pard\\plain 1.\\tab}\\pard\\plain\\ls1\\ilvl0 {\\b Step} one\\par"
        "{\\listtext\\pard\\plain i.\\tab}\\pard\\plain\\ls1\\ilvl1 Detail\\par"
        "{\\listtext\\pard\\plain 2.\\tab}\\pard\\plain\\ls1\\ilvl0 Step two\\par"));
    const Blocks expected = {
        Block::listItem("1.", 0, {R("Step", true), R(" one")}),
        Block::listItem("i.", 1, {R("Detail")}),
        Block::listItem("2.", 0, {R("Step two")}),
    };
    EXPECT_EQ(document.blocks, expected);
}

TEST(RichTextReader, OlderListLabelsBecomeMarkers)
{
    // WordPad and Word 95 write each item's label in \pntext, with \pn
    // describing the list; there is no list table.
    const std::string bullet = "{\\pntext\\f2\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf2\\pnindent0{\\pntxtb\\'B7}}";
    BigDocument document = read(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f2\\fcharset2 Symbol;}}"
        "{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}\\fi-360\\li720 First step\\par"
        "{\\pntext\\f0 2.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}Second step\\par"
        "\\pard " + bullet + "Milk\\par" + bullet + "Bread\\par"
        "{\\pntext a)}Label without a tab\\par"
        "\\pard Plain text\\par}");
    const Blocks expected = {
        Block::listItem("1.", 0, {R("First step")}), Block::listItem("2.", 0, {R("Second step")}),
        Block::listItem("\u2022", 0, {R("Milk")}),  Block::listItem("\u2022", 0, {R("Bread")}),
        Block::listItem("a)", 0, {R("Label without a tab")}), Block::paragraph({R("Plain text")}),
    };
    EXPECT_EQ(document.blocks, expected);
}

TEST(RichTextReader, HiddenTextIsNotShown)
{
    struct Case {
        const char* body;
        const char* shown;
    };
    const Case cases[] = {
        {"Seen {\\v hidden }text\\par", "Seen text"},
        {"Seen \\v hidden\\v0  text\\par", "Seen text"},
        {"Seen \\v hidden \\plain text\\par", "Seen text"},
        {"{\\v\\b All hidden\\par}Shown\\par", "Shown"},
    };
    for (const Case& c : cases) EXPECT_EQ(read(word(c.body)).plainText(), c.shown) << c.body;
    // A hidden picture is not a picture of the document.
    EXPECT_EQ(read(word("Text{\\v " + pictureRtf() + "}\\par")).blocks, (Blocks{Block::paragraph({R("Text")})}));
}

TEST(RichTextReader, NotesLeftOutAreSaidAsTheWordReaderSaysThem)
{
    auto doc = read(word("Text.\\chftn {\\footnote {\\up6\\chftn} Foot.}{\\footnote\\ftnalt End.}{\\footnote Again.}\\par"));
    EXPECT_EQ(doc.plainText(), "Text.");
    EXPECT_EQ(doc.notes, (std::vector<ConversionNote>{{ConversionNote::Kind::warning, "Footnotes (2) aren\u2019t included."},
                                                      {ConversionNote::Kind::warning, "Endnotes (1) aren\u2019t included."}}));
    EXPECT_TRUE(read(word("No notes.\\par")).notes.empty());
}

TEST(RichTextReader, LineSeparatorsKeepTheirBreaks)
{
    BigDocument document = read(word("Roses are red,\\line {\\i violets} are blue\\par"));
    ASSERT_EQ(document.blocks.size(), 1u);
    EXPECT_EQ(document.blocks[0],
              Block::paragraph({R("Roses are red,\n"), R("violets", false, true), R(" are blue")}, true));
}

TEST(RichTextReader, TablesWithHeadersAndSpans)
{
    const std::string row2x2 = "\\trowd\\cellx2000\\cellx4000";
    struct Case {
        const char* name;
        std::string body;
        Blocks expected;
    };
    const Case cases[] = {
        {"bold first row",
         row2x2 + "\\pard\\intbl\\b Name\\cell Age\\cell\\b0\\row" + row2x2 + "\\pard\\intbl Ann\\cell 7\\cell\\row\\pard\\par",
         {table({{"Name", "Age"}, {"Ann", "7"}}, true)}},
        {"plain first row",
         row2x2 + "\\pard\\intbl Name\\cell Age\\cell\\row" + row2x2 + "\\pard\\intbl Ann\\cell 7\\cell\\row",
         {table({{"Name", "Age"}, {"Ann", "7"}}, false)}},
        {"spanning cells",
         "\\trowd\\cellx1000\\cellx2000\\cellx3000\\pard\\intbl a\\cell b\\cell c\\cell\\row"
         "\\trowd\\cellx2000\\cellx3000\\pard\\intbl wide\\cell end\\cell\\row"
         "\\trowd\\cellx1000\\cellx3000\\pard\\intbl left\\cell tail\\cell\\row",
         {table({{"a", "b", "c"}, {"wide", "", "end"}, {"left", "tail"}}, false)}},
        {"Word restating each row after its cells",
         "\\trowd\\irow0\\cellx2000\\cellx4000\\pard\\plain\\intbl{\\b Day\\cell}{\\b Task\\cell}"
         "\\pard\\plain\\intbl{\\trowd\\irow0\\cellx2000\\cellx4000\\row}"
         "\\trowd\\irow1\\lastrow\\clvmgf\\cellx2000\\cellx4000\\pard\\plain\\intbl{Mon\\cell}{Dig\\cell}"
         "\\pard\\plain\\intbl{\\trowd\\irow1\\clvmgf\\cellx2000\\cellx4000\\row}"
         "\\trowd\\clvmrg\\cellx2000\\cellx4000\\pard\\plain\\intbl{\\cell}{Sow\\cell}"
         "\\pard\\plain\\intbl{\\trowd\\clvmrg\\cellx2000\\cellx4000\\row}\\pard\\plain After\\par",
         {table({{"Day", "Task"}, {"Mon", "Dig"}, {"", "Sow"}}, true), Block::paragraph({R("After")})}},
        {"two tables and an empty cell",
         row2x2 + "\\pard\\intbl one\\cell\\cell\\row" + row2x2 + "\\pard\\intbl \\cell two\\cell\\row\\pard\\par" + row2x2 +
             "\\pard\\intbl three\\par more\\cell x\\cell\\row",
         {table({{"one", ""}, {"", "two"}}, false), table({{"three more", "x"}}, false)}},
    };
    for (const Case& c : cases) EXPECT_EQ(read(word(c.body)).blocks, c.expected) << c.name;
}

TEST(RichTextReader, PicturesKeepTheirPlace)
{
    const Block picture = read(word(pictureRtf() + "\\par")).blocks.at(0);
    const Picture* image = &picture.as<Block::Image>()->picture;
    EXPECT_DOUBLE_EQ(image->width, 30);
    EXPECT_DOUBLE_EQ(image->height, 15);
    EXPECT_EQ(image->alt, "");

    const Block before = Block::paragraph({R("Text")});
    EXPECT_EQ(read(word(pictureRtf() + " Text\\par")).blocks, (Blocks{picture, before}));
    EXPECT_EQ(read(word("Text " + pictureRtf() + "\\par")).blocks, (Blocks{before, picture}));
    BigDocument inCell = read(word("\\trowd\\cellx2000\\cellx4000\\pard\\intbl In" + pictureRtf() + " cell\\cell " +
                                   pictureRtf() + "\\cell\\row"));
    EXPECT_EQ(inCell.blocks, (Blocks{table({{"In cell", ""}}, false)}));
    // Pictures a cell cannot hold are counted in the note, not dropped unseen,
    // and the note doesn't call a PNG a format that can't be drawn.
    ASSERT_EQ(inCell.notes.size(), 1u);
    EXPECT_EQ(inCell.notes[0].kind, ConversionNote::Kind::warning);
    EXPECT_EQ(inCell.notes[0].message,
              "2 pictures inside tables were left out: Folmira keeps only the text of table cells.");
    // A picture its bytes cannot size is dropped without a note.
    BigDocument broken = read(word("Text{\\pict\\pngblip 00112233}\\par"));
    EXPECT_EQ(broken.blocks, (Blocks{before}));
    EXPECT_TRUE(broken.notes.empty());
}

TEST(RichTextReader, HostileBytesGiveADocumentOrTheDamagedRefusal)
{
    EXPECT_EQ(refusal("{\\rtf1 " + std::string(100'000, '{') + "x").reason, ConversionError::Reason::damaged);
    EXPECT_EQ(refusal("{\\rtf1 {\\pict\\pngblip\\bin4294967296 x}}").reason, ConversionError::Reason::damaged);
    EXPECT_EQ(read("{\\rtf1 {\\b never closed").blocks, (Blocks{Block::paragraph({R("never closed", true)})}));
}

TEST(RichTextReader, EntryReadsRtfFiles)
{
    BigDocument document = Folmira::readBytes(bytes(word("Hello\\par")), "RTF", "Letter", std::nullopt, true);
    EXPECT_EQ(document.title, "Letter");
    EXPECT_EQ(document.source, BigDocument::Source::rtf);
    EXPECT_EQ(document.blocks, (Blocks{Block::paragraph({R("Hello")})}));
}

TEST(RichTextReader, ReadsADocumentSavedByLibreOffice)
{
    // Written by LibreOffice Writer from a small HTML page: heading styles,
    // nested bullets, a numbered list, a table with a heading row, curly
    // quotes as \u with fallbacks, and a PNG with its WMF fallback.
    BigDocument document = Folmira::read(FOLMIRA_TEST_DATA "/rtf/garden-diary.rtf", false);
    EXPECT_EQ(document.title, "garden-diary");
    ASSERT_EQ(document.blocks.size(), 13u);
    const Blocks text = {
        Block::heading(1, {R("Garden Diary")}),
        Block::paragraph({R("The tomatoes came up early this year, and the "), R("basil", true), R(" is doing "),
                          R("very", false, true), R(" well.")}),
        Block::heading(2, {R("To buy")}),
        Block::listItem("•", 0, {R("Compost")}),
        Block::listItem("•", 0, {R("Seed trays")}),
        Block::listItem("•", 1, {R("Small ones")}),
        Block::listItem("1.", 0, {R("Dig the bed")}),
        Block::listItem("2.", 0, {R("Sow the seeds")}),
        Block::listItem("3.", 0, {R("Water daily")}),
        table({{"Plant", "Sown"}, {"Peas", "March"}, {"Beans", "April"}}, true),
        Block::paragraph({R("Café owner’s note: “water” before noon.")}),
    };
    EXPECT_EQ(Blocks(document.blocks.begin(), document.blocks.begin() + 11), text);
    const Picture* picture = &document.blocks[11].as<Block::Image>()->picture;
    EXPECT_DOUBLE_EQ(picture->width, 60);
    EXPECT_DOUBLE_EQ(picture->height, 45);
    EXPECT_EQ(Platform::imageInfo(*picture->data.bytes()), (Platform::ImageInfo{8, 6}));
    EXPECT_EQ(document.blocks[12], Block::paragraph({R("The end.")}));
}

TEST(RichTextReader, ReadsMergedCellsSavedByLibreOffice)
{
    // A cell spanning two columns, one spanning two rows (\clvmgf, \clvmrg),
    // one spanning the last two columns, and a second table with an empty cell.
    BigDocument document = Folmira::read(FOLMIRA_TEST_DATA "/rtf/merged-cells.rtf", false);
    const Blocks expected = {
        Block::paragraph({R("Before")}),
        table({{"Wide", "", "C"}, {"Tall", "B2", "C2"}, {"", "B3", "C3"}, {"A4", "Tail"}}, false),
        Block::paragraph({R("Between")}),
        table({{"X", ""}}, false),
        Block::paragraph({R("After")}),
    };
    EXPECT_EQ(document.blocks, expected);
}

TEST(RichTextReader, ARealFileBecomesALargePrintPdf)
{
    BigDocument document = Folmira::read(FOLMIRA_TEST_DATA "/rtf/garden-diary.rtf", false);
    RenderResult result = Folmira::render(document, LargePrintSettings{});
    ASSERT_FALSE(result.pdf.empty());
    auto opened = Platform::PdfDocument::open(result.pdf);
    ASSERT_TRUE(opened.document);
    EXPECT_EQ(opened.document->pageCount(), result.pageCount);
    std::string text;
    for (int i = 0; i < opened.document->pageCount(); ++i) text += opened.document->page(i)->text().text + "\n";
    for (const char* expected : {"Garden Diary", "basil", "Compost", "Small ones", "Water daily", "Peas", "April",
                                 "Café owner’s note", "The end."})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
}

TEST(RichTextReader, DamagedCopiesOfARealFileNeverCrash)
{
    std::ifstream in(FOLMIRA_TEST_DATA "/rtf/garden-diary.rtf", std::ios::binary);
    const std::vector<std::uint8_t> original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(original.empty());
    std::mt19937 random(7);
    const std::string specials = "{}\\;0123456789-";
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> copy = original;
        // Cut the file short, then change a few bytes, often to RTF's own syntax.
        copy.resize(1 + random() % copy.size());
        for (int edit = 0; edit < 8; ++edit) {
            std::size_t at = random() % copy.size();
            copy[at] = random() % 2 ? static_cast<std::uint8_t>(specials[random() % specials.size()])
                                    : static_cast<std::uint8_t>(random());
        }
        auto start = std::chrono::steady_clock::now();
        try {
            BigDocument document = readRichText(copy, "Copy");
            EXPECT_FALSE(document.blocks.empty());
        } catch (const ConversionError& error) {
            EXPECT_TRUE(error.reason == ConversionError::Reason::damaged || error.reason == ConversionError::Reason::empty);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(20)));
    }
}
