#include "Platform/Text.h"

#include <gtest/gtest.h>

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <memory>
#include <string>
#include <vector>

using namespace Platform;

TEST(TextCharacters, CountsGraphemeClustersNotBytes)
{
    EXPECT_EQ(Text::characterCount("e\u0301"), 1);
    EXPECT_EQ(Text::characterCount("\U0001F1EB\U0001F1F7"), 1);                 // a flag
    EXPECT_EQ(Text::characterCount("\U0001F468\u200D\U0001F469\u200D\U0001F467"), 1); // a family
    EXPECT_EQ(Text::characterCount("a\r\nb"), 3);
    EXPECT_EQ(Text::characterCount(""), 0);
    auto parts = Text::characters("ae\u0301\U0001F1EB\U0001F1F7");
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1], "e\u0301");
    EXPECT_EQ(Text::lastCharacter("xe\u0301"), "e\u0301");
    EXPECT_EQ(Text::firstCharacter("e\u0301x"), "e\u0301");
    EXPECT_EQ(Text::dropFirst("e\u0301xy", 1), "xy");
    EXPECT_EQ(Text::dropFirst("ab", 3), "");
    EXPECT_EQ(Text::dropLast("xye\u0301", 1), "xy");
    EXPECT_EQ(Text::prefix("e\u0301xy", 2), "e\u0301x");
}

namespace {

// ICU's own clusters of `text`, byte ranges as views: the reference.
std::vector<std::string_view> icuClusters(std::string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText* ut = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    it->setText(ut, status);
    std::vector<std::string_view> out;
    for (std::int32_t from = it->first(), to = it->next(); to != icu::BreakIterator::DONE; from = to, to = it->next())
        out.push_back(text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
    utext_close(ut);
    return out;
}

} // namespace

TEST(TextCharacters, LatinTextIsCutAsTheBreakIteratorCutsIt)
{
    // Every scalar up to U+02FF between letters, after CR LF and before a
    // combining mark; broken and longer sequences beside them.
    std::vector<std::string> texts;
    for (char32_t c = 0x80; c < 0x300; ++c) {
        std::string one;
        Text::appendScalar(one, c);
        texts.push_back("a" + one + "b");
        texts.push_back("\r\n" + one + "\r\n");
        texts.push_back(one + "\u0301" + one);
        texts.push_back(one + "\xC3" + one);
        texts.push_back(one + one + "\u0915\u094D\u0937" + one);
    }
    texts.push_back("Caf\xC3\xA9 cr\xC3\xA8me\r\n\xC2\xAD\xC3");
    texts.push_back("\xC2 \xBF\xC2\xC2\x80\xCB\xBF\xCC\x80");
    texts.push_back("x\xC3y z\xC3\xA9\xC3");
    texts.push_back("a\xC0\x80\xC1\xBF");
    for (const std::string& text : texts) {
        EXPECT_EQ(Text::characters(text), icuClusters(text)) << text;
        EXPECT_EQ(Text::characterCount(text), static_cast<int>(icuClusters(text).size())) << text;
        EXPECT_EQ(Text::lastCharacter(text), icuClusters(text).back()) << text;
    }
    for (std::string_view tail : {"ab", "\r\n", "a\n", "\xC3\xA9a", "a\xC3\xA9", "b\r"})
        EXPECT_EQ(Text::lastCharacter(tail), icuClusters(tail).back()) << tail;
    // A view that ends inside a letter: nothing past its end is looked at.
    const std::string_view cut("a\xC3\xA9", 2);
    EXPECT_EQ(Text::characters(cut), icuClusters(cut));
}

TEST(TextEquality, CanonicalEquivalence)
{
    EXPECT_TRUE(Text::canonicallyEqual("\u00E9", "e\u0301"));
    EXPECT_EQ(Text::canonicalHash("\u00E9"), Text::canonicalHash("e\u0301"));
    EXPECT_FALSE(Text::canonicallyEqual("e", "e\u0301"));
    EXPECT_FALSE(Text::canonicallyEqual("abc", "abd"));
    EXPECT_EQ(Text::nfc("A\u030A"), "\u00C5");
}

TEST(TextTrimming, WhiteSpaceSets)
{
    EXPECT_EQ(Text::trimSpacesTabs(" \t a\u00A0 \t"), "a\u00A0");
    EXPECT_EQ(Text::trimWhitespace("\u00A0\u2003 a \n"), "a \n");
    EXPECT_EQ(Text::trimWhitespaceAndNewlines("\u2028\r\n a b\u3000\n"), "a b");
    EXPECT_EQ(Text::trimWhitespaceAndNewlines(" \n "), "");
    EXPECT_EQ(Text::splitOmittingEmpty("  a  b ", U' '), (std::vector<std::string_view>{"a", "b"}));
}

TEST(TextClasses, LettersAndCase)
{
    EXPECT_TRUE(Text::isLetter("\u00E9"));
    EXPECT_TRUE(Text::isLetter("\u05D0")); // Hebrew alef: a letter with no case
    EXPECT_FALSE(Text::isLetter("1"));
    EXPECT_TRUE(Text::isUppercase("\u00C9"));
    EXPECT_TRUE(Text::isUppercase("E\u0301"));
    EXPECT_FALSE(Text::isUppercase("\u05D0"));
    EXPECT_TRUE(Text::isLowercase("e\u0301"));
    EXPECT_FALSE(Text::isLowercase("1"));
    EXPECT_TRUE(Text::isAlphanumeric("7"));
    EXPECT_FALSE(Text::isAlphanumeric("-"));
    EXPECT_TRUE(Text::containsLetter("12 \u00E9"));
    EXPECT_FALSE(Text::containsLetter("12 -- 3"));
    EXPECT_EQ(Text::lowercased("\u00C9COLE"), "\u00E9cole");
    EXPECT_EQ(Text::uppercased("stra\u00DFe"), "STRASSE");
}

TEST(TextClasses, LinesOfCJKJoinWithoutASpace)
{
    struct Case {
        const char* last;
        const char* first;
        bool joins;
    };
    for (const Case& c : {Case{"。", "人", true}, Case{"a", "東", true}, Case{"の", "b", true}, Case{"カ", "ナ", true},
                          Case{"Ａ", "x", true}, Case{"\U00020000", "x", true}, Case{"a", "b", false},
                          Case{"모", "인", false}, Case{"é", "", false}, Case{"", "", false}})
        EXPECT_EQ(Platform::Text::joinsWithoutSpace(c.last, c.first), c.joins) << c.last << "|" << c.first;
}

TEST(TextDecoding, StrictAndLenient)
{
    EXPECT_EQ(Text::decodeUtf8(Bytes{'a', 0xC3, 0xA9}), "a\u00E9");
    EXPECT_FALSE(Text::decodeUtf8(Bytes{'a', 0xC3}));
    EXPECT_FALSE(Text::decodeUtf8(Bytes{0xED, 0xA0, 0x80})); // an encoded surrogate
    // Told without a copy, as decoding tells it.
    for (const Bytes& b : {Bytes{'a', 0xC3, 0xA9}, Bytes{'a', 0xC3}, Bytes{0xED, 0xA0, 0x80}, Bytes{0xC0, 0xAF},
                           Bytes{0xF4, 0x90, 0x80, 0x80}, Bytes{0xF0, 0x9F, 0x8D, 0x8E}, Bytes{0xFF}, Bytes{}})
        EXPECT_EQ(Text::isUtf8(b.data(), b.size()), Text::decodeUtf8(b).has_value()) << b.size();
    EXPECT_EQ(Text::decodeUtf8Lossy(Bytes{'a', 0xFF, 'b', 0xC3}), "a\uFFFDb\uFFFD");
    EXPECT_EQ(Text::decodeUtf16(Bytes{0xFF, 0xFE, 'h', 0}), "h");
    EXPECT_EQ(Text::decodeUtf16(Bytes{0xFE, 0xFF, 0, 'h'}), "h");
    EXPECT_FALSE(Text::decodeUtf16(Bytes{0xFF, 0xFE, 0x00, 0xD8})); // unpaired high surrogate
    EXPECT_FALSE(Text::decodeUtf16(Bytes{0xFF, 0xFE, 'h'}));
    EXPECT_EQ(Text::decodeWindows1252(Bytes{0x80, 0x93, 0x94, 0xE9}), "\u20AC\u201C\u201D\u00E9");
    for (std::uint8_t undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_FALSE(Text::decodeWindows1252(Bytes{'a', undefined})) << int(undefined);
    EXPECT_EQ(Text::decodeLatin1(reinterpret_cast<const std::uint8_t*>("\xC3\xA9"), 2), "\u00C3\u00A9");
    const std::uint8_t mac[] = {0x8E};
    EXPECT_EQ(Text::decodeNamed(mac, 1, "macintosh"), "\u00E9");
    EXPECT_FALSE(Text::decodeNamed(mac, 1, "no-such-encoding"));
}
