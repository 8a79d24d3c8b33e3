#include "FolmiraKit/Readers/Inference.h"

#include "tests/FolmiraKit/ModelPrinters.h"

#include <gtest/gtest.h>

using namespace FolmiraKit;
using Inference::Piece;

namespace {

StyledParagraph para(std::string text, double size, bool bold = false)
{
    StyledParagraph p;
    p.runs = {FolmiraKit::Run(std::move(text), bold)};
    p.size = size;
    return p;
}

std::string body(int n) { return std::string(static_cast<std::size_t>(n), 'x'); }

int levelOf(const Block& b)
{
    const auto* h = b.as<Block::Heading>();
    return h ? h->level : 0;
}

} // namespace

TEST(InferenceSizes, BodySizeAndRounding)
{
    EXPECT_EQ(Inference::halfPoint(10.2), 10.0);
    EXPECT_EQ(Inference::halfPoint(10.25), 10.5);
    EXPECT_EQ(Inference::halfPoint(10.75), 11.0);
    EXPECT_EQ(Inference::bodySize({para(body(40), 12), para(body(10), 18)}), 12);
    EXPECT_EQ(Inference::bodySize({para(body(10), 14), para(body(10), 12)}), 12);
    EXPECT_EQ(Inference::bodySize({para(body(10), 11.9), para(body(5), 12.1), para(body(12), 14)}), 12);
    EXPECT_EQ(Inference::bodySize({para(body(10), 0)}), 0);
    // A paragraph of several runs counts the characters of all of them.
    StyledParagraph styled = para(body(10), 14);
    styled.runs.push_back(FolmiraKit::Run(body(20), true));
    EXPECT_EQ(Inference::bodySize({styled, para(body(25), 12)}), 14);
}

TEST(InferenceSizes, HeadingLevelsFromSizes)
{
    auto levels = [](std::vector<double> sizes) {
        std::vector<StyledParagraph> ps{para(body(500), 12)};
        for (double s : sizes) ps.push_back(para("Heading", s));
        Blocks blocks = Inference::classify(ps);
        std::vector<int> out;
        for (std::size_t i = 1; i < blocks.size(); ++i) out.push_back(levelOf(blocks[i]));
        return out;
    };
    EXPECT_EQ(levels({13.8}), std::vector<int>{1});
    EXPECT_EQ(levels({13.7}), std::vector<int>{0});
    EXPECT_EQ(levels({24, 18, 14}), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(levels({24, 18, 16, 14}), (std::vector<int>{1, 2, 3, 3}));

    std::vector<StyledParagraph> ps{para(body(500), 12), para(body(141), 18), para("Ends with,", 18),
                                    para("12345", 18), para("Two\nlines", 18)};
    for (const auto& b : Inference::classify(ps)) EXPECT_FALSE(b.isHeading());
}

TEST(InferenceBold, MinorityRuleAndLevels)
{
    auto make = [](int boldCount) {
        std::vector<StyledParagraph> ps;
        for (int i = 0; i < 10; ++i)
            ps.push_back(i < boldCount ? para("Bold line", 12, true) : para("Plain sentence here.", 12));
        return Inference::classify(ps);
    };
    EXPECT_EQ(levelOf(make(4)[0]), 1);
    EXPECT_FALSE(make(5)[0].isHeading());

    std::vector<StyledParagraph> ps{para(body(300), 12), para(body(300), 12), para(body(300), 12),
                                    para("Introduction.", 12, true), para(std::string(29, 'w') + ".", 12, true),
                                    para("Big", 20)};
    Blocks blocks = Inference::classify(ps);
    EXPECT_EQ(levelOf(blocks[3]), 2); // one heading size puts bold headings at level 2
    EXPECT_FALSE(blocks[4].isHeading());
    EXPECT_FALSE(blocks[3].as<Block::Heading>()->runs[0].bold);
}

TEST(InferenceStyles, StyleLevelsListsAndPieces)
{
    StyledParagraph deep = para("Deep", 12, true);
    deep.headingLevel = 5;
    deep.list = StyledParagraph::ListLabel{"1.", 0};
    StyledParagraph zero = para("Zero", 12);
    zero.headingLevel = 0;
    StyledParagraph item = para("Bold item", 12, true);
    item.list = StyledParagraph::ListLabel{"\u2022", 1};
    StyledParagraph blank = para(" \n ", 12);

    Block table = Block::table({{{FolmiraKit::Run("a")}}}, false);
    Blocks blocks = Inference::blocks({Piece::paragraph(deep), Piece::paragraph(blank), Piece::block(table),
                                       Piece::paragraph(zero), Piece::paragraph(item)});
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0], Block::heading(3, {FolmiraKit::Run("Deep")}));
    EXPECT_EQ(blocks[1], table);
    EXPECT_EQ(blocks[2], Block::heading(1, {FolmiraKit::Run("Zero")}));
    EXPECT_EQ(blocks[3], Block::listItem("\u2022", 1, {FolmiraKit::Run("Bold item", true)}));
    EXPECT_TRUE(Inference::blocks({}).empty());

    // A long document is held once: its paragraphs' text is moved into the
    // blocks, not copied, whatever the paragraph becomes.
    std::vector<Piece> pieces{Piece::paragraph(para("A heading that stands alone", 20)),
                              Piece::paragraph(para(body(200), 12)), Piece::paragraph(item)};
    std::get<StyledParagraph>(pieces[2].value).runs[0].text = "A list item long enough to be held apart";
    std::vector<const char*> texts;
    for (const Piece& piece : pieces) texts.push_back(std::get<StyledParagraph>(piece.value).runs[0].text.data());
    blocks = Inference::blocks(std::move(pieces));
    ASSERT_EQ(blocks.size(), 3u);
    auto firstText = [](const Block& b) {
        if (const auto* h = b.as<Block::Heading>()) return h->runs[0].text.data();
        if (const auto* l = b.as<Block::ListItem>()) return l->runs[0].text.data();
        return b.as<Block::Paragraph>()->runs[0].text.data();
    };
    for (std::size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(firstText(blocks[i]), texts[i]) << i;
}
