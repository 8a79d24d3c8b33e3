// Real .docx files written by a word processor, and hostile packages.

#include "DocxBuilder.h"

#include "FolmiraKit/Model/Folmira.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace FolmiraKit;
using R = FolmiraKit::Run;

namespace {

std::filesystem::path data(const char* name) { return std::filesystem::path(FOLMIRA_TEST_DATA) / "docx" / name; }

} // namespace

TEST(DocxFiles, ReadsHeadingsListsATableAndAPicture)
{
    auto doc = Folmira::read(data("garden-notes.docx"), false);
    EXPECT_EQ(doc.title, "garden-notes");
    EXPECT_EQ(doc.headings(), (std::vector<std::string>{"Garden Notes", "What to plant", "Harvest table"}));
    ASSERT_GE(doc.blocks.size(), 10u);
    EXPECT_EQ(doc.blocks[1], Block::paragraph({R("This is a short report about the garden. It has "), R("bold words", true), R(" and "),
                                               R("italic ones", false, true), R(".")}));
    EXPECT_EQ(doc.blocks[3], Block::listItem("1.", 0, {R("Tomatoes in May")}));
    EXPECT_EQ(doc.blocks[5], Block::listItem("3.", 0, {R("Lettuce every two weeks")}));
    EXPECT_EQ(doc.blocks[6], Block::listItem("\u2022", 0, {R("Water early")}));
    const auto* table = doc.blocks[9].as<Block::Table>();
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->header);
    EXPECT_EQ(doc.blocks[9].plainText(), "Crop Month Yield\nTomatoes August 12 kg\nBeans July 5 kg");
    EXPECT_EQ(doc.blocks[10].plainText(), "A picture of the beds:");
    const auto* image = doc.blocks[11].as<Block::Image>();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->picture.width, 90); // 120 × 60 pixels shown at 96 dpi
    EXPECT_EQ(image->picture.height, 45);
    EXPECT_EQ(doc.blocks.back().plainText(), "Café prices rose by 5 %; “quotes” stay curly.");
    EXPECT_TRUE(doc.notes.empty());
}

TEST(DocxFiles, ReadsPicturesTextBoxesFootnotesAndHeaders)
{
    auto doc = Folmira::read(data("field-trip.docx"), false);
    EXPECT_EQ(doc.plainText(), "Field Trip\nWe left at dawn and came back late.\nA gradient photo\nThe map is boxed.\nInside the box.\n"
                               "Line one\nline two.");
    const auto* image = doc.blocks[2].as<Block::Image>();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->picture.width, 216);
    EXPECT_EQ(image->picture.height, 108);
    EXPECT_EQ(doc.blocks.back(), Block::paragraph({R("Line one\nline two.")}, true));
    ASSERT_EQ(doc.notes.size(), 3u);
    EXPECT_EQ(doc.notes[1].message, "Footnotes (1) aren\u2019t included.");
}

TEST(DocxFiles, HostilePartsGiveARefusalOrADocumentQuickly)
{
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY a \"aaaaaaaaaa\">";
    std::string previous = "a";
    for (int i = 0; i < 9; ++i) {
        std::string name = "e" + std::to_string(i);
        laughs += "<!ENTITY " + name + " \"";
        for (int k = 0; k < 10; ++k) laughs += "&" + previous + ";";
        laughs += "\">";
        previous = name;
    }
    laughs += std::string("]><w:document ") + DocxTest::namespaces + "><w:body><w:p><w:r><w:t>&" + previous +
              ";</w:t></w:r></w:p><w:p><w:r><w:t>ok</w:t></w:r></w:p></w:body></w:document>";
    std::string deep = std::string("<w:document ") + DocxTest::namespaces + "><w:body>";
    for (int i = 0; i < 10000; ++i) deep += "<w:sdt><w:sdtContent>";
    deep += DocxTest::p("deep");
    for (int i = 0; i < 10000; ++i) deep += "</w:sdtContent></w:sdt>";
    deep += "</w:body></w:document>";

    for (const std::string& xml : {laughs, deep}) {
        ZipTest::Archive archive;
        archive.add("word/document.xml", xml, true);
        auto start = std::chrono::steady_clock::now();
        try {
            auto doc = DocxReader::read(archive.build(), "t");
            EXPECT_LT(doc.plainText().size(), 1000u);
        } catch (const ConversionError& error) {
            EXPECT_EQ(error.reason, ConversionError::Reason::damaged);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(1700)));
    }

    // A small package whose main part honestly inflates to 64 MB of markup.
    std::string dense = std::string("<w:document ") + DocxTest::namespaces + "><w:body>";
    dense.reserve(64'000'100);
    while (dense.size() < 64'000'000) dense += "<w:p/><w:p/><w:p/><w:p/>";
    ZipTest::Archive compact;
    compact.add("word/document.xml", dense + "</w:body></w:document>", true);
    auto small = compact.build();
    EXPECT_LT(small.size(), 200'000u);
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(DocxReader::read(small, "t"), ConversionError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(1700)));

    // A lying directory and a bomb: refusals, not crashes.
    ZipTest::Archive liar;
    liar.add("word/document.xml", DocxTest::document(DocxTest::p("x")), true);
    liar.count = 5000;
    EXPECT_THROW(DocxReader::read(liar.build(), "t"), ConversionError);
    ZipTest::Archive bomb;
    bomb.add("word/document.xml", DocxTest::document(DocxTest::p(std::string(20'000'000, 'a'))), true);
    bomb.files[0].size = 100;
    EXPECT_THROW(DocxReader::read(bomb.build(), "t"), ConversionError);

    // A picture part that inflates to 70 MB, shown four times: two uses fit
    // the read's picture budget, the others are left out and counted.
    DocxTest::Bytes padded = DocxTest::png(2, 2);
    padded.resize(70u << 20);
    std::string use = "<w:p><w:r><w:drawing><a:blip r:embed=\"rBig\"/></w:drawing></w:r></w:p>";
    DocxTest::Package pictures(use + use + use + use);
    pictures.part("word/_rels/document.xml.rels", DocxTest::relationships({{"rBig", "media/big.png"}}))
        .part("word/media/big.png", std::move(padded));
    DocxTest::Walk walk(pictures);
    EXPECT_EQ(walk.pieces().size(), 2u);
    EXPECT_EQ(walk.ctx->droppedPictures, 2);

    // Twenty thousand entries and as many references to parts that aren't
    // there: each lookup must not scan the whole directory.
    const int many = 20000;
    std::string uses = DocxTest::p("x") + "<w:p><w:r>";
    std::vector<std::pair<std::string, std::string>> targets;
    for (int i = 0; i < many; ++i) {
        uses += "<w:drawing><a:blip r:embed=\"r" + std::to_string(i) + "\"/></w:drawing>";
        targets.emplace_back("r" + std::to_string(i), "media/gone" + std::to_string(i) + ".png");
    }
    DocxTest::Package crowded(uses + "</w:r></w:p>");
    crowded.part("word/_rels/document.xml.rels", DocxTest::relationships(targets));
    for (int i = 0; i < many; ++i) crowded.part("word/media/other" + std::to_string(i) + ".bin", "");
    auto crowdedBytes = crowded.build();
    start = std::chrono::steady_clock::now();
    auto doc = DocxReader::read(crowdedBytes, "t");
    EXPECT_EQ(doc.notes.front().message.substr(0, 15), "20000 pictures ");
    EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(1700)));
}
