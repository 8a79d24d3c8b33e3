#include "FolmiraKit/Model/BigDocument.h"

#include "tests/FolmiraKit/ModelPrinters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <unordered_set>

using namespace FolmiraKit;

namespace {

FolmiraKit::Run R(std::string text, bool bold = false, bool italic = false) { return FolmiraKit::Run(std::move(text), bold, italic); }

} // namespace

TEST(Tidied, MergesCollapsesAndTrims)
{
    struct Case {
        const char* name;
        Runs in;
        Runs out;
    };
    const Case cases[] = {
        {"empty", {}, {}},
        {"merge across an empty run", {R("word ", true), R("", false, true), R(" second", true)}, {R("word second", true)}},
        {"trim each end", {R("  a"), R("b  ", true)}, {R("a"), R("b", true)}},
        {"one no-break space stays", {R("a\u00A0b")}, {R("a\u00A0b")}},
        {"two no-break spaces collapse", {R("a\u00A0\u00A0b")}, {R("a b")}},
        {"space and tab collapse", {R("a \tb")}, {R("a b")}},
        {"tab and space collapse", {R("a\t b")}, {R("a b")}},
        {"leading no-break space stays", {R("\u00A0a")}, {R("\u00A0a")}},
        {"leading spaces and line feeds go", {R(" \n a")}, {R("a")}},
        {"all blank", {R(" \t"), R("\n", true), R("\u00A0")}, {}},
        {"inner line feed and single tab survive", {R("a\nb\tc")}, {R("a\nb\tc")}},
        {"blank end runs dropped", {R("  ", true), R("x"), R("\n", false, true)}, {R("x")}},
        {"carriage return at the end stays", {R("x\r\n")}, {R("x\r\n")}},
        {"a space carrying a combining mark stays", {R(" \u0301a ")}, {R(" \u0301a")}},
        {"stretch across runs not joined", {R("a "), R(" b", true)}, {R("a "), R(" b", true)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tidied(c.in), c.out) << c.name;
        EXPECT_EQ(hasVisibleText(c.in), !c.out.empty()) << c.name;
        // Tidy runs come back as they are: a reader's paragraph tidied again is not copied.
        Runs again = c.out;
        const FolmiraKit::Run* held = again.data();
        Runs tidy = tidied(std::move(again));
        EXPECT_EQ(tidy, c.out) << c.name;
        if (!tidy.empty()) {
            EXPECT_EQ(tidy.data(), held) << c.name;
        }
    }
}

TEST(Runs, CompareCanonicallyAndByStyle)
{
    EXPECT_EQ(R("caf\u00E9"), R("cafe\u0301"));
    EXPECT_EQ(std::hash<FolmiraKit::Run>{}(R("caf\u00E9")), std::hash<FolmiraKit::Run>{}(R("cafe\u0301")));
    EXPECT_NE(R("a", false, true), R("a"));
    EXPECT_EQ(decodeRun(encodeRun(R("x\"y", true))), R("x\"y", true));
    EXPECT_FALSE(decodeRun(R"({"text":"a","bold":true})"));
    EXPECT_FALSE(decodeRun(R"({"text":"a","bold":1,"italic":false})"));
}

TEST(BlockText, PlainTextOfEveryCase)
{
    Block table = Block::table({{{R("a")}, {R("b")}}, {{R("c")}}}, false);
    EXPECT_EQ(table.plainText(), "a b\nc");
    EXPECT_EQ(Block::listItem("1.", 0, {R("x"), R("y", true)}).plainText(), "xy");
    EXPECT_EQ(Block::image(Picture{{}, 1, 1, "Map"}).plainText(), "Map");

    BigDocument doc{"t", BigDocument::Source::text,
                    {Block::paragraph({R("one")}), Block::rule(), Block::paragraph({R("two")}), Block::heading(2, {R(" H ")}),
                     table, Block::image(Picture{})},
                    {}};
    EXPECT_EQ(doc.plainText(), "one\n\ntwo\n H \na b\nc\n");
    EXPECT_EQ(doc.headings(), std::vector<std::string>{" H "});
    EXPECT_EQ(doc.tableCount(), 1);
    EXPECT_EQ(doc.imageCount(), 1);
    EXPECT_TRUE(doc.blocks[3].isHeading());
    EXPECT_FALSE(doc.blocks[0].isHeading());
}

TEST(Equality, DocumentsNotesAndPictures)
{
    BigDocument a{"t", BigDocument::Source::text, {Block::paragraph({R("x")})}, {}};
    BigDocument b = a;
    EXPECT_EQ(a, b);
    b.blocks[0].as<Block::Paragraph>()->runs[0].italic = true;
    EXPECT_NE(a, b);

    ConversionNote info(ConversionNote::Kind::info, "Same words.");
    ConversionNote warning(ConversionNote::Kind::warning, "Same words.");
    EXPECT_EQ(info.id(), warning.id());
    EXPECT_NE(info, warning);
    std::unordered_set<ConversionNote> set{info, warning, info};
    EXPECT_EQ(set.size(), 2u);

    Picture p{{1, 2}, NAN, 3, ""};
    EXPECT_NE(p, p);
    Picture q{{1, 2}, 2, 3, "e\u0301"};
    Picture r{{1, 2}, 2, 3, "\u00E9"};
    EXPECT_EQ(q, r);
    BigDocument composed{"Caf\u00E9", BigDocument::Source::text, {Block::listItem("\u00E9)", 0, {R("x")})},
                         {ConversionNote(ConversionNote::Kind::info, "\u00C9t\u00E9.")}};
    BigDocument decomposed{"Cafe\u0301", BigDocument::Source::text, {Block::listItem("e\u0301)", 0, {R("x")})},
                           {ConversionNote(ConversionNote::Kind::info, "E\u0301te\u0301.")}};
    EXPECT_EQ(composed, decomposed);
    EXPECT_EQ(std::hash<ConversionNote>{}(composed.notes[0]), std::hash<ConversionNote>{}(decomposed.notes[0]));
    EXPECT_NE(Block::rule(), Block::paragraph({}));
    EXPECT_EQ(Block::rule(), Block::rule());
}

TEST(Equality, PictureBytesInMemoryOrInAFile)
{
    // Copies share their bytes; what is moved from is left empty; bytes
    // compare by content wherever they are held.
    PictureData held(std::vector<std::uint8_t>(5000, 7));
    PictureData copy = held;
    EXPECT_EQ(copy.data(), held.data());
    PictureData moved = std::move(copy);
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(moved.data(), held.data());

    auto file = PictureFile::make();
    ASSERT_TRUE(file) << "no temporary file";
    PictureData first = file->keep({1, 2, 3});
    PictureData second = file->keep(std::vector<std::uint8_t>(5000, 7));
    EXPECT_EQ(first, PictureData({1, 2, 3}));
    EXPECT_EQ(second, held);
    EXPECT_NE(second.data(), held.data());
    EXPECT_EQ(*second.bytes(), std::vector<std::uint8_t>(5000, 7));
    EXPECT_NE(first, second);
    file.reset(); // the pictures outlive the file they were set aside in
    EXPECT_EQ(second, held);
    EXPECT_EQ(first.size(), 3u);
}

TEST(Enums, StringFormsRoundTrip)
{
    EXPECT_EQ(fromString<BigDocument::Source>("word"), BigDocument::Source::word);
    EXPECT_FALSE(fromString<BigDocument::Source>("doc"));
    EXPECT_FALSE(fromString<BigDocument::Source>("Word"));
    for (auto s : BigDocument::allSources) EXPECT_EQ(fromString<BigDocument::Source>(toString(s)), s);
    for (auto r : ConversionError::allReasons) EXPECT_EQ(fromString<ConversionError::Reason>(toString(r)), r);
    EXPECT_EQ(fromString<ConversionNote::Kind>("warning"), ConversionNote::Kind::warning);
    EXPECT_FALSE(fromString<ConversionNote::Kind>("error"));
    EXPECT_EQ(counted(1, "table", "tables"), "1 table");
    EXPECT_EQ(counted(0, "table", "tables"), "0 tables");
}
