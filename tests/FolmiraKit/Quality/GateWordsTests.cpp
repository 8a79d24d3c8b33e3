// The word rule and the word checks of the quality report.

#include "FolmiraKit/Quality/Gate.h"
#include "FolmiraKit/Quality/GateChecks.h"

#include <gtest/gtest.h>

using namespace FolmiraKit;
using namespace FolmiraKit::Gate::Checks;
using Words = std::vector<std::string>;

namespace {

BigDocument documentOf(Blocks blocks)
{
    BigDocument document;
    document.blocks = std::move(blocks);
    return document;
}

Runs runs(const std::string& text) { return {Run(text)}; }

} // namespace

TEST(GateTokens, FollowTheWordRule)
{
    struct Case {
        std::string text;
        Words words;
    };
    for (const auto& [text, words] : std::vector<Case>{
             {"Don’t stop", {"dont", "stop"}},
             {"Don't stop", {"dont", "stop"}},
             {"DON’T, dont!", {"dont", "dont"}},
             {"Café Zoë 42nd", {"café", "zoë", "42nd"}},
             {"e\u0301t\u00E9", {"e\u0301t\u00E9"}},
             {"6:45 — ½ cup", {"6", "45", "½", "cup"}},
             {"ÉCOLE Straße", {"école", "straße"}},
             {"  --  ", {}},
         })
        EXPECT_EQ(Gate::tokens(text), words) << text;
}

TEST(GateFind, NeverReachesOutsideTheHaystack)
{
    Words haystack{"a", "b", "c", "b", "c"};
    EXPECT_EQ(Gate::find({"b", "c"}, haystack, 0), 1u);
    EXPECT_EQ(Gate::find({"b", "c"}, haystack, 2), 3u);
    EXPECT_EQ(Gate::find({"b", "c"}, haystack, 3), 3u);
    EXPECT_FALSE(Gate::find({"b", "c"}, haystack, 4));
    EXPECT_FALSE(Gate::find({}, haystack, 0));
    EXPECT_FALSE(Gate::find({"a"}, {}, 0));
    EXPECT_FALSE(Gate::find({"a", "b", "c", "b", "c", "d"}, haystack, 0));
    EXPECT_FALSE(Gate::find({"a"}, haystack, 99));
    EXPECT_FALSE(Gate::find({"d"}, haystack, 0));
}

TEST(GateCoverage, EachExpectedWordUsesUpOneCopyWord)
{
    auto twice = coverage({"the"}, {"the", "the"});
    EXPECT_DOUBLE_EQ(twice.share, 0.5);
    EXPECT_FALSE(twice.nothingLost);
    EXPECT_EQ(twice.line, "Missing words (1): the");

    auto none = coverage({"stray"}, {});
    EXPECT_DOUBLE_EQ(none.share, 1.0);
    EXPECT_TRUE(none.nothingLost);
    EXPECT_FALSE(none.line);

    Words expected;
    for (int i = 1; i <= 13; ++i) expected.push_back("w" + std::to_string(i));
    auto thirteen = coverage({}, expected);
    EXPECT_EQ(thirteen.line, "Missing words (13): w1 w2 w3 w4 w5 w6 w7 w8 w9 w10 w11 w12");

    Words many(200, "word");
    Words copy(198, "word");
    EXPECT_TRUE(coverage(copy, many).nothingLost); // exactly 0.99
    copy.pop_back();
    EXPECT_FALSE(coverage(copy, many).nothingLost);
}

TEST(GateStrayWords, HeaderRowWordsAreNeverStray)
{
    auto document = documentOf({Block::table({{runs("Plant"), runs("Water")}, {runs("Fern"), runs("Weekly")}}, true)});
    auto result = coverage({"plant", "water", "plant", "water", "fern", "weekly", "extra"}, {"fern", "weekly"});
    EXPECT_EQ(strayWords(result.left, document), 1);
    EXPECT_EQ(strayProblem(1, result.left, 2), "1 stray words (extra)");
    EXPECT_FALSE(strayProblem(1, result.left, 200)); // 0.5 % is tolerated
    EXPECT_FALSE(strayProblem(5, result.left, 0));

    auto noHeader = documentOf({Block::table({{runs("Plant")}}, false)});
    auto plain = coverage({"plant"}, {});
    EXPECT_EQ(strayWords(plain.left, noHeader), 1);
}

TEST(GateOrder, ReportsOnlyTheFirstSnippetOutOfPlace)
{
    Words copy = Gate::tokens("Alpha beta gamma. Delta epsilon.");
    EXPECT_FALSE(orderLine({"Alpha", "...", "gamma", "Delta epsilon"}, copy));
    EXPECT_EQ(orderLine({"Delta", "beta gamma", "zeta"}, copy), "Out of order: “beta gamma”");
    EXPECT_EQ(orderLine({"alpha", "Zeta!", "beta"}, copy), "Not found: “Zeta!”");
}

TEST(GateHeadings, CompareByWordsAndListEveryMissingOne)
{
    auto document = documentOf({Block::heading(1, runs("Don't Panic!")), Block::paragraph(runs("Read as text"))});
    EXPECT_FALSE(headingsLine({"don’t panic"}, document));
    EXPECT_EQ(headingsLine({"Don’t panic", "Read as text", "Gone"}, document),
              "Not read as headings: “Read as text”, “Gone”");
}

TEST(GateBlockStarts, FlagMoreThanOneSnippetInTwenty)
{
    Blocks blocks{Block::paragraph(runs("Intro text here and then merged words")),
                  Block::table({{runs("Cell one"), runs("Cell two")}}, false)};
    for (int i = 0; i < 25; ++i) blocks.push_back(Block::paragraph(runs("Start " + std::to_string(i))));
    auto document = documentOf(blocks);

    std::vector<std::string> snippets{"merged words", "Cell two", "Intro text"};
    EXPECT_EQ(blockStartProblem(snippets, document), "run into the block before: “merged words”");
    EXPECT_EQ(blockStartProblem({"merged words"}, document), "run into the block before: “merged words”");

    std::vector<std::string> ten{"merged words"};
    for (int i = 0; i < 9; ++i) ten.push_back("Start " + std::to_string(i));
    EXPECT_TRUE(blockStartProblem(ten, document)); // 20 > 10
    std::vector<std::string> twentyOne = ten;
    for (int i = 9; i < 20; ++i) twentyOne.push_back("Start " + std::to_string(i));
    EXPECT_FALSE(blockStartProblem(twentyOne, document)); // 20 is not above 21

    // Punctuation-only snippets count toward the share but are never flagged.
    std::vector<std::string> padded{"merged words"};
    for (int i = 0; i < 20; ++i) padded.push_back("—");
    EXPECT_FALSE(blockStartProblem(padded, document));
    EXPECT_EQ(blockStartProblem({"a", "b", "c", "d", "e"}, document),
              "run into the block before: “a”, “b”, “c”, “d”");
}

TEST(GateCounts, TooFewOrTooManyTablesAndTooFewPictures)
{
    auto oneTable = documentOf({Block::table({{runs("x")}}, false), Block::image({}), Block::image({})});
    GateExpectation e{"f", "w", false, {}, {}, "", 2, 1};
    EXPECT_EQ(countProblems(oneTable, e), (Words{"found 1 of 2 tables"}));
    e.tables = 0;
    e.images = 3;
    EXPECT_EQ(countProblems(oneTable, e), (Words{"found 1 tables, expected 0", "found 2 of 3 pictures"}));
    e.tables = 1;
    e.images = 1;
    EXPECT_TRUE(countProblems(oneTable, e).empty());
}
