#include "DocxBuilder.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace FolmiraKit;
using DocxTest::Package;

namespace {

std::string level(int ilvl, std::string format, std::string text, std::string start = "")
{
    return "<w:lvl w:ilvl=\"" + std::to_string(ilvl) + "\">" + (start.empty() ? "" : "<w:start w:val=\"" + start + "\"/>") +
           "<w:numFmt w:val=\"" + format + "\"/><w:lvlText w:val=\"" + text + "\"/></w:lvl>";
}

std::string numPr(std::string numId, std::optional<int> ilvl = std::nullopt)
{
    return "<w:numPr>" + (ilvl ? "<w:ilvl w:val=\"" + std::to_string(*ilvl) + "\"/>" : std::string()) + "<w:numId w:val=\"" + numId + "\"/></w:numPr>";
}

// The markers of a body's list items, "-" for a paragraph that is none.
std::vector<std::string> markers(const std::string& numbering, const std::string& body, const std::string& styles = "")
{
    Package package{body};
    package.part("word/numbering.xml", DocxTest::numbering(numbering));
    if (!styles.empty()) package.part("word/styles.xml", DocxTest::styles(styles));
    DocxTest::Walk walk(package);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < walk.pieces().size(); ++i) {
        const auto& list = walk.paragraph(i).list;
        out.push_back(list ? list->marker + "@" + std::to_string(list->level) : "-");
    }
    return out;
}

std::string item(std::string numId, int ilvl, std::string text = "x")
{
    return DocxTest::p(text, numPr(numId, ilvl));
}

const std::string decimal = R"(<w:abstractNum w:abstractNumId="10">)" + level(0, "decimal", "%1.") + level(1, "decimal", "%1.%2.") + "</w:abstractNum>" +
                            R"(<w:num w:numId="1"><w:abstractNumId w:val="10"/></w:num>)" +
                            R"(<w:num w:numId="2"><w:abstractNumId w:val="10"/></w:num>)" +
                            R"(<w:num w:numId="3"><w:abstractNumId w:val="10"/><w:lvlOverride w:ilvl="0"><w:startOverride w:val="5"/></w:lvlOverride></w:num>)";

} // namespace

TEST(DocxNumbering, CountersNestAndRestart)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(markers(decimal, item("1", 0) + item("1", 0) + item("1", 1) + item("1", 0) + item("1", 1) + item("1", 1)),
              (V{"1.@0", "2.@0", "2.1.@1", "3.@0", "3.1.@1", "3.2.@1"}));
    // An empty numbered paragraph still counts.
    EXPECT_EQ(markers(decimal, item("1", 0) + item("1", 0, "") + item("1", 0)), (V{"1.@0", "3.@0"}));
    // Instances over one definition count apart; other paragraphs don't interrupt.
    EXPECT_EQ(markers(decimal, item("1", 0) + item("2", 0) + DocxTest::p("plain") + item("1", 0) + item("2", 0)),
              (V{"1.@0", "1.@0", "-", "2.@0", "2.@0"}));
    EXPECT_EQ(markers(decimal, item("3", 0) + item("3", 0)), (V{"5.@0", "6.@0"}));
    // Numbering switched off, unknown instance, instance without definition.
    std::string orphan = decimal + R"(<w:num w:numId="7"><w:abstractNumId w:val="99"/></w:num>)";
    EXPECT_EQ(markers(orphan, item("0", 0) + item("42", 0) + item("7", 0)), (V{"-", "-", "-"}));
}

TEST(DocxNumbering, Formats)
{
    struct Case {
        std::string format;
        std::string start;
        std::string marker;
    };
    const Case cases[] = {
        {"upperRoman", "4", "IV)"}, {"lowerRoman", "9", "ix)"}, {"upperLetter", "27", "AA)"},
        {"lowerLetter", "28", "bb)"}, {"decimalZero", "7", "7)"}, {"decimal", "-3", "-3)"},
        {"upperRoman", "0", ")"}, {"bullet", "1", "\u2022"}, {"none", "1", "-"},
    };
    for (const Case& c : cases) {
        std::string def = R"(<w:abstractNum w:abstractNumId="1">)" + level(0, c.format, "%1)", c.start) +
                          R"(</w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="1"/></w:num>)";
        auto got = markers(def, item("1", 0));
        EXPECT_EQ(got.front(), c.marker == "-" ? "-" : c.marker + "@0") << c.format << " " << c.start;
    }
    EXPECT_EQ(DocxReader::letters(1), "A");
    EXPECT_EQ(DocxReader::letters(26), "Z");
    EXPECT_EQ(DocxReader::letters(52), "ZZ");
    EXPECT_EQ(DocxReader::letters(53), "AAA");
    EXPECT_EQ(DocxReader::roman(4000), "MMMM");
    EXPECT_EQ(DocxReader::roman(1994), "MCMXCIV");
}

TEST(DocxNumbering, BulletsBlankTextsAndLevels)
{
    std::string def = R"(<w:abstractNum w:abstractNumId="1">)" + level(0, "decimal", "%1.") + level(1, "bullet", "o") +
                      level(2, "decimal", "  ") + level(5, "lowerLetter", "%6)") + "<w:lvl w:ilvl=\"4\"/>" +
                      R"(</w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="1"/></w:num>)";
    using V = std::vector<std::string>;
    // The bullet leaves counters alone; a blank text is a bullet; level 5 shows at 3.
    EXPECT_EQ(markers(def, item("1", 0) + item("1", 1) + item("1", 0) + item("1", 2) + item("1", 5)),
              (V{"1.@0", "\u2022@1", "2.@0", "\u2022@2", "a)@3"}));
    // A level without numFmt or lvlText: decimal, "%5.", with the levels above substituted.
    EXPECT_EQ(markers(def, item("1", 4)), (V{"1.@3"}));
    // Levels outside 0–8 count as the nearest level.
    EXPECT_EQ(markers(def, item("1", -4) + item("1", 12)), (V{"1.@0", "1.@3"})); // level 8 has no definition: "%1."
}

TEST(DocxNumbering, StyleNumberingAndHeadings)
{
    std::string styles = R"(<w:style w:type="paragraph" w:styleId="Base"><w:pPr>)" + numPr("1", 1) +
                         R"(</w:pPr></w:style><w:style w:type="paragraph" w:styleId="Item"><w:basedOn w:val="Base"/></w:style>)" +
                         R"(<w:style w:type="paragraph" w:styleId="H1"><w:name w:val="heading 1"/><w:pPr>)" + numPr("1", 0) + "</w:pPr></w:style>";
    using V = std::vector<std::string>;
    EXPECT_EQ(markers(decimal, DocxTest::p("a", R"(<w:pStyle w:val="Item"/>)") + DocxTest::p("b", R"(<w:pStyle w:val="Item"/>)" + numPr("0")), styles),
              (V{"1.1.@1", "-"}));
    // A paragraph's own numbering id without a level takes the style's level.
    EXPECT_EQ(markers(decimal, DocxTest::p("a", R"(<w:pStyle w:val="Item"/>)" + numPr("2")), styles), (V{"1.1.@1"}));
    // A heading never asks for a marker, so it doesn't count either.
    EXPECT_EQ(markers(decimal, DocxTest::p("h", R"(<w:pStyle w:val="H1"/>)") + item("1", 0), styles), (V{"-", "1.@0"}));
}

TEST(DocxNumbering, HostileStartsStayBounded)
{
    std::string def = R"(<w:abstractNum w:abstractNumId="1">)" + level(0, "upperLetter", "%1.", "1000000000000000000") +
                      level(1, "lowerRoman", "%1.%2", "9223372036854775807") +
                      R"(</w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="1"/></w:num>)";
    auto start = std::chrono::steady_clock::now();
    auto got = markers(def, item("1", 0) + item("1", 1) + item("1", 1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(10)));
    using V = std::vector<std::string>;
    EXPECT_EQ(got, (V{"1000000000000000000.@0", "1000000000000000000.9223372036854775807@1",
                      "1000000000000000000.9223372036854775807@1"}));
    // A level text of 20 000 placeholders, each 3847 letters long: markers are cut.
    std::string many;
    for (int i = 0; i < 20'000; ++i) many += "%1";
    def = R"(<w:abstractNum w:abstractNumId="1">)" + level(0, "upperLetter", many, "100000") +
          R"(</w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="1"/></w:num>)";
    start = std::chrono::steady_clock::now();
    got = markers(def, item("1", 0) + item("1", 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(10)));
    std::string digits; // the second item's number is past the worded range
    while (digits.size() < 256) digits += "100001";
    digits.resize(256);
    EXPECT_EQ(got, (V{std::string(256, 'D') + "@0", digits + "@0"}));
    EXPECT_EQ(DocxReader::letters(100'000).size(), 3847u);
    EXPECT_EQ(DocxReader::letters(100'001), "100001");
}
