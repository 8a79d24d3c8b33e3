// The plain original of text and Markdown files, decoded for the pane.

#include "FolmiraApp/Model/StyledText.h"

#include <gtest/gtest.h>

namespace FolmiraAppTest {
namespace {

using FolmiraApp::decodedOriginal;
using Bytes = std::vector<std::uint8_t>;

Bytes utf16(std::u16string_view text, bool littleEndian)
{
    Bytes out = littleEndian ? Bytes{0xFF, 0xFE} : Bytes{0xFE, 0xFF};
    for (char16_t unit : text) {
        const auto high = static_cast<std::uint8_t>(unit >> 8), low = static_cast<std::uint8_t>(unit & 0xFF);
        out.insert(out.end(), littleEndian ? std::initializer_list<std::uint8_t>{low, high}
                                           : std::initializer_list<std::uint8_t>{high, low});
    }
    return out;
}

TEST(DecodedOriginalTest, ByteOrderMarksAndFallbacks)
{
    struct Case {
        const char* what;
        Bytes bytes;
        QString shown;
    };
    const Case cases[] = {
        {"UTF-16 little-endian", utf16(u"Caf\u00E9 \u263A\nline", true), QStringLiteral("Caf\u00E9 \u263A\nline")},
        {"UTF-16 big-endian", utf16(u"Caf\u00E9", false), QStringLiteral("Caf\u00E9")},
        {"UTF-8 with a mark", {0xEF, 0xBB, 0xBF, 'h', 'i'}, QStringLiteral("hi")},
        {"UTF-8", {'C', 'a', 'f', 0xC3, 0xA9}, QStringLiteral("Caf\u00E9")},
        {"Windows-1252", {'C', 'a', 'f', 0xE9}, QStringLiteral("Caf\u00E9")},
        // Neither UTF-8 nor Windows-1252: UTF-8 with the bad bytes replaced,
        // as the copy reads it, not a blank pane.
        {"undefined in Windows-1252", {'a', 0x81}, QStringLiteral("a\uFFFD")},
        {"binary with a NUL", {0x00, 'a', 0x8D, 0xC3}, QStringLiteral("\uFFFDa\uFFFD\uFFFD")},
        // A mark followed by an odd byte count is not UTF-16: read as UTF-8, repaired.
        {"broken UTF-16", {0xFF, 0xFE, 'a'}, QStringLiteral("\uFFFD\uFFFDa")},
    };
    for (const Case& c : cases) {
        const auto original = decodedOriginal(c.bytes);
        EXPECT_EQ(original.format, FolmiraApp::StyledText::Format::plain) << c.what;
        EXPECT_EQ(original.content, c.shown) << c.what;
    }
}

} // namespace
} // namespace FolmiraAppTest
