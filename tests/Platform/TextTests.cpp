#include "Platform/Text.h"

#include <gtest/gtest.h>

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
