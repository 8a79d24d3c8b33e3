#include "Platform/Regex.h"

#include <gtest/gtest.h>

#include <thread>

using Platform::Regex;

TEST(Regex, GroupsAndByteOffsets)
{
    Regex re("^\\(?([0-9]{1,3}|[a-z])([.)])[ \\t]+(\\S.*)$");
    auto m = re.firstMatch("(iv) x");
    EXPECT_FALSE(m);
    m = re.firstMatch("12) Caf\u00E9 au lait");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->text(1), "12");
    EXPECT_EQ(m->text(2), ")");
    EXPECT_EQ(m->text(3), "Caf\u00E9 au lait");
    EXPECT_EQ(m->groups[3]->begin, 4u);

    Regex optional("a(b)?c");
    auto o = optional.firstMatch("\u00E9ac");
    ASSERT_TRUE(o);
    EXPECT_FALSE(o->has(1));
    EXPECT_EQ(o->groups[0]->begin, 2u);
    EXPECT_TRUE(Regex("\\p{L}+").wholeMatch("\u00E9t\u00E9"));
    EXPECT_FALSE(Regex("\\p{L}+").wholeMatch("\u00E9t\u00E9!"));
}

TEST(Regex, ReplaceAndOptions)
{
    Regex spaces("[ \\t\\u00A0]{2,}");
    EXPECT_EQ(spaces.replaceAll("a \u00A0b\t\tc d", " "), "a b c d");
    EXPECT_EQ(Regex("(\\w+)@(\\w+)").replaceAll("x@y and p@q", "$2 at $1 \\$"), "y at x $ and q at p $");
    EXPECT_EQ(Regex("\\d").replaceAll("a1b22", [](const Regex::Match& m) { return "<" + std::string(m.text(0)) + ">"; }),
              "a<1>b<2><2>");
    EXPECT_TRUE(Regex("HELLO", Regex::CaseInsensitive).search("say hello"));
    EXPECT_EQ(Regex("^x", Regex::AnchorsMatchLines).allMatches("x\nx\ny").size(), 2u);
    EXPECT_EQ(Regex("^x").allMatches("x\nx\ny").size(), 1u);
    EXPECT_THROW(Regex("(unclosed"), std::invalid_argument);
}

TEST(Regex, SharedAcrossThreads)
{
    static const Regex word("[A-Za-z]+");
    std::vector<std::thread> threads;
    std::atomic<int> total{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) total += static_cast<int>(word.allMatches("one two three").size());
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(total.load(), 4 * 200 * 3);
}
