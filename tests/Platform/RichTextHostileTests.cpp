// Bytes an attacker or a broken writer might hand the importer: each must give
// a model or an ImportError, quickly, without exhausting memory.

#include "Platform/RichText.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

using namespace Platform;
using namespace Platform::RichText;

namespace {

Document parseText(const std::string& rtf)
{
    return parse(reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size());
}

// Parses and reports whether the importer refused; fails the test when it
// took longer than a second.
bool refuses(const std::string& rtf)
{
    auto start = std::chrono::steady_clock::now();
    bool refused = false;
    try {
        parseText(rtf);
    } catch (const ImportError&) {
        refused = true;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(20)));
    return refused;
}

} // namespace

TEST(RichTextHostile, BytesThatAreNotRtfAreRefused)
{
    for (const std::string bytes : {"", "hello", "{\\rtx1 a}", "\\rtf1 a", "%PDF-1.4", "{rtf1}", "{\\"})
        EXPECT_TRUE(refuses(bytes)) << bytes;
    EXPECT_FALSE(refuses("  \r\n{\\rtf1 leading blank lines are fine}"));
}

TEST(RichTextHostile, DeepNestingHitsTheLimit)
{
    EXPECT_TRUE(refuses("{\\rtf1 " + std::string(100'000, '{') + "x"));
    // Nesting inside a skipped destination costs nothing and is accepted.
    Document skipped = parseText("{\\rtf1 {\\*\\junk " + std::string(100'000, '{') + std::string(100'000, '}') + "} ok}");
    ASSERT_EQ(skipped.paragraphs.size(), 1u);
    EXPECT_EQ(skipped.paragraphs[0].text(), " ok");
}

TEST(RichTextHostile, BinaryLengthsBeyondTheFileAreRefused)
{
    EXPECT_TRUE(refuses("{\\rtf1 {\\pict\\pngblip\\bin4294967296 abc}}"));
    EXPECT_TRUE(refuses("{\\rtf1 {\\*\\objdata\\bin99999999999999999999 abc}}"));
    // A negative or exact length is harmless.
    EXPECT_FALSE(refuses("{\\rtf1 {\\pict\\pngblip\\bin-5 }x\\bin3 abc y}"));
}

TEST(RichTextHostile, UnterminatedInputEndsTheDocument)
{
    Document document = parseText("{\\rtf1 {\\b open {\\i more text");
    ASSERT_EQ(document.paragraphs.size(), 1u);
    EXPECT_EQ(document.paragraphs[0].text(), "open more text");
    EXPECT_FALSE(refuses("{\\rtf1 {\\pict\\pngblip 89504"));
    EXPECT_FALSE(refuses("{\\rtf1 \\trowd\\cellx100\\pard\\intbl cell"));
    EXPECT_FALSE(refuses("{\\rtf1 \\'"));
    EXPECT_FALSE(refuses("{\\rtf1 \\u"));
}

TEST(RichTextHostile, TextAfterTheLastBraceIsIgnored)
{
    Document document = parseText("{\\rtf1 inside}outside{more}");
    ASSERT_EQ(document.paragraphs.size(), 1u);
    EXPECT_EQ(document.paragraphs[0].text(), "inside");
}

TEST(RichTextHostile, CraftedCellEdgesCannotBlowUpTheTable)
{
    // Every row has a narrow cell and one whose edge no other row shares, so
    // columns by edge would leave thousands of empty cells per row.
    std::string rtf = "{\\rtf1 ";
    for (int row = 0; row < 2000; ++row)
        rtf += "\\trowd\\cellx1\\cellx" + std::to_string(1000 + row) + "\\pard\\intbl a\\cell b\\cell\\row";
    rtf += "}";
    Document document = parseText(rtf);
    int widest = 0;
    for (const Paragraph& paragraph : document.paragraphs)
        if (paragraph.cell) widest = std::max(widest, paragraph.cell->startingColumn);
    EXPECT_LT(widest, 100);

    // One row definition of 20 000 cells used by 20 000 one-cell rows.
    std::string shared = "{\\rtf1 \\trowd";
    for (int cell = 0; cell < 20'000; ++cell) shared += "\\cellx1";
    for (int row = 0; row < 20'000; ++row) shared += "\\intbl x\\cell\\row";
    EXPECT_FALSE(refuses(shared + "}"));
}

TEST(RichTextHostile, HugeParametersAreClamped)
{
    Document document = parseText("{\\rtf1 \\fs99999999999 \\uc99999999 \\u99999999999 abc\\ls1\\ilvl-99999 \\f-3 d\\par}");
    ASSERT_EQ(document.paragraphs.size(), 1u);
    ASSERT_FALSE(document.paragraphs[0].spans.empty());
    EXPECT_LE(document.paragraphs[0].spans.back().font->pointSize, 1638);
}

TEST(RichTextHostile, RandomBytesAfterTheHeaderNeverCrash)
{
    std::mt19937 random(20240607);
    const std::string alphabet = "{}\\\\\\'abcdefuxbinparcelltrowdintblpictls0123456789- ;\n\x80\xff";
    for (int round = 0; round < 300; ++round) {
        std::string rtf = "{\\rtf1";
        int length = 1 + static_cast<int>(random() % 4000);
        for (int i = 0; i < length; ++i)
            rtf += (random() % 3 == 0) ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        refuses(rtf);
    }
}
