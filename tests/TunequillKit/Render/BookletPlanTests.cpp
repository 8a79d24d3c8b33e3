#include "TunequillKit/Render/BookletPlan.h"

#include <gtest/gtest.h>

using namespace TunequillKit;
using namespace TunequillKit::BookletPlan;

namespace {

constexpr Slot none = std::nullopt;

BookletOptions options(CoverMode cover = CoverMode::selfCover, BlankPlacement blanks = BlankPlacement::end,
                       int sheetsPerSignature = 0, double creep = 0, bool rightToLeft = false)
{
    return BookletOptions{creep, sheetsPerSignature, cover, blanks, rightToLeft};
}

std::vector<Slot> slots(std::initializer_list<Slot> list) { return list; }

} // namespace

TEST(BookletPlan, SignatureFoldsEightPagesInSaddleStitchOrder)
{
    std::vector<Slot> pages;
    for (int i = 0; i < 8; ++i) pages.push_back(i);
    auto sheets = signature(pages, false);
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0], (Sides{{7, 0}, {1, 6}}));
    EXPECT_EQ(sheets[1], (Sides{{5, 2}, {3, 4}}));
    auto rtl = signature(pages, true);
    EXPECT_EQ(rtl[0], (Sides{{0, 7}, {6, 1}}));
    EXPECT_EQ(rtl[1], (Sides{{2, 5}, {4, 3}}));
    EXPECT_TRUE(signature({}, false).empty());
}

TEST(BookletPlan, PaddingFillsWholeSheets)
{
    EXPECT_TRUE(padded({}, BlankPlacement::end).empty());
    EXPECT_EQ(padded(slots({0, 1, 2, 3, 4}), BlankPlacement::end), slots({0, 1, 2, 3, 4, none, none, none}));
    EXPECT_EQ(padded(slots({0, 1, 2, 3, 4}), BlankPlacement::beforeBackCover),
              slots({0, 1, 2, 3, none, none, none, 4}));
    EXPECT_EQ(padded(slots({0, 1, 2, 3}), BlankPlacement::beforeBackCover), slots({0, 1, 2, 3}));
    // A single page has no back cover to keep last.
    EXPECT_EQ(padded(slots({0}), BlankPlacement::beforeBackCover), slots({0, none, none, none}));
}

TEST(BookletPlan, SelfCoverPlans)
{
    EXPECT_TRUE(sheets(0, options()).sheets.empty());
    EXPECT_TRUE(sheets(-3, options()).sheets.empty());

    Plan one = sheets(1, options());
    ASSERT_EQ(one.sheets.size(), 1u);
    EXPECT_EQ(one.sheets[0].front, (SlotPair{none, 0}));
    EXPECT_EQ(one.sheets[0].back, (SlotPair{none, none}));
    EXPECT_EQ(one.blanksAdded, 3);
    EXPECT_TRUE(one.warnings.empty());

    Plan five = sheets(5, options());
    ASSERT_EQ(five.sheets.size(), 2u);
    EXPECT_EQ(five.sheets[0].front, (SlotPair{none, 0}));
    EXPECT_EQ(five.sheets[0].back, (SlotPair{1, none}));
    EXPECT_EQ(five.sheets[1].front, (SlotPair{none, 2}));
    EXPECT_EQ(five.sheets[1].back, (SlotPair{3, 4}));
    EXPECT_EQ(five.blanksAdded, 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(five.sheets[i].signature, 0);
        EXPECT_EQ(five.sheets[i].sheetInSignature, i);
        EXPECT_EQ(five.sheets[i].sheetsInSignature, 2);
        EXPECT_FALSE(five.sheets[i].isCover);
    }
}

TEST(BookletPlan, SeparateCovers)
{
    struct Case {
        int pages;
        CoverMode cover;
        std::size_t sheetCount;
        bool firstIsCover;
        SlotPair front, back;
        int blanks;
        const char* warning;
    };
    const Case cases[] = {
        {3, CoverMode::separate, 1, false, {2, 0}, {1, none}, 1,
         "A separate cover needs at least 4 pages; printed as a self cover."},
        {1, CoverMode::separateBlankInside, 1, false, {none, 0}, {none, none}, 3,
         "A separate cover needs at least 2 pages; printed as a self cover."},
        {4, CoverMode::separate, 1, true, {3, 0}, {1, 2}, 0, nullptr},
        {2, CoverMode::separateBlankInside, 1, true, {1, 0}, {none, none}, 2, nullptr},
        {6, CoverMode::separate, 2, true, {5, 0}, {1, 4}, 2, nullptr},
    };
    for (const Case& c : cases) {
        Plan plan = sheets(c.pages, options(c.cover, BlankPlacement::beforeBackCover));
        SCOPED_TRACE(c.pages);
        ASSERT_EQ(plan.sheets.size(), c.sheetCount);
        EXPECT_EQ(plan.sheets[0].isCover, c.firstIsCover);
        EXPECT_EQ(plan.sheets[0].front, c.front);
        EXPECT_EQ(plan.sheets[0].back, c.back);
        EXPECT_EQ(plan.blanksAdded, c.blanks);
        if (c.warning)
            EXPECT_EQ(plan.warnings, std::vector<std::string>{c.warning});
        else
            EXPECT_TRUE(plan.warnings.empty());
        if (c.firstIsCover) {
            EXPECT_EQ(plan.sheets[0].signature, -1);
            EXPECT_EQ(plan.sheets[0].sheetsInSignature, 1);
        }
    }
    // The interior of a separate cover takes its blanks at the end whatever the options say.
    Plan six = sheets(6, options(CoverMode::separate, BlankPlacement::beforeBackCover));
    EXPECT_EQ(six.sheets[1].front, (SlotPair{none, 2}));
    EXPECT_EQ(six.sheets[1].back, (SlotPair{3, none}));
}

TEST(BookletPlan, SignaturesAndCreep)
{
    // A separate cover leaves 24 interior pages: three signatures of two sheets.
    Plan plan = sheets(28, options(CoverMode::separate, BlankPlacement::end, 2, 1));
    ASSERT_EQ(plan.sheets.size(), 7u);
    EXPECT_TRUE(plan.sheets[0].isCover);
    for (int s = 0; s < 3; ++s) {
        const BookletSheet& outer = plan.sheets[1 + 2 * s];
        const BookletSheet& inner = plan.sheets[2 + 2 * s];
        EXPECT_EQ(outer.signature, s);
        EXPECT_EQ(inner.signature, s);
        EXPECT_EQ(outer.sheetsInSignature, 2);
        EXPECT_EQ(outer.creep, 0);
        EXPECT_EQ(inner.creep, 1);
    }
    // Signature 1 holds pages 10 to 17: its outer sheet has 17|10 on the front.
    EXPECT_EQ(plan.sheets[3].front, (SlotPair{17, 10}));

    // A short last signature; creep is spread over the largest one.
    Plan ragged = sheets(20, options(CoverMode::selfCover, BlankPlacement::end, 3, 2));
    ASSERT_EQ(ragged.sheets.size(), 5u);
    EXPECT_EQ(ragged.sheets[3].signature, 1);
    EXPECT_EQ(ragged.sheets[3].sheetsInSignature, 2);
    EXPECT_EQ(ragged.sheets[2].creep, 2);
    EXPECT_EQ(ragged.sheets[4].creep, 1);

    // One sheet: no creep step at all.
    EXPECT_EQ(sheets(4, options(CoverMode::selfCover, BlankPlacement::end, 0, 5)).sheets[0].creep, 0);
}

TEST(BookletPlan, RightToLeftSwapsEveryHalfTheCoversToo)
{
    Plan ltr = sheets(10, options(CoverMode::separate));
    Plan rtl = sheets(10, options(CoverMode::separate, BlankPlacement::end, 0, 0, true));
    ASSERT_EQ(ltr.sheets.size(), rtl.sheets.size());
    for (std::size_t i = 0; i < ltr.sheets.size(); ++i) {
        EXPECT_EQ(rtl.sheets[i].front, (SlotPair{ltr.sheets[i].front[1], ltr.sheets[i].front[0]}));
        EXPECT_EQ(rtl.sheets[i].back, (SlotPair{ltr.sheets[i].back[1], ltr.sheets[i].back[0]}));
    }
}

TEST(BookletPlan, EveryPageAppearsExactlyOnce)
{
    for (CoverMode cover : allCases<CoverMode>)
        for (int n = 1; n <= 23; ++n)
            for (int perSignature : {0, 1, 3}) {
                Plan plan = sheets(n, options(cover, BlankPlacement::beforeBackCover, perSignature));
                std::vector<int> seen(n, 0);
                int blanks = 0;
                for (const BookletSheet& s : plan.sheets)
                    for (const Slot& slot : {s.front[0], s.front[1], s.back[0], s.back[1]})
                        slot ? ++seen[*slot] : ++blanks;
                EXPECT_EQ(seen, std::vector<int>(n, 1)) << n;
                EXPECT_EQ(blanks, plan.blanksAdded) << n;
            }
}

TEST(BookletCoding, RoundTripsAndNeedsEveryKey)
{
    BookletOptions o{1.5, 2, CoverMode::separateBlankInside, BlankPlacement::beforeBackCover, true};
    EXPECT_EQ(BookletOptions::decode(o.encode()), o);
    EXPECT_EQ(BookletOptions::decode(BookletOptions().encode()), BookletOptions());
    EXPECT_FALSE(BookletOptions::decode(R"({"creep":0,"sheetsPerSignature":0,"cover":"selfCover","blanks":"end"})"));
    EXPECT_FALSE(BookletOptions::decode(
        R"({"creep":0,"sheetsPerSignature":0,"cover":"front","blanks":"end","rightToLeft":false})"));
    EXPECT_FALSE(BookletOptions::decode("not json"));

    BookletSheet sheet{-1, 0, 1, true, {3, none}, {none, 2}, 0.25};
    EXPECT_EQ(BookletSheet::decode(sheet.encode()), sheet);
    EXPECT_FALSE(BookletSheet::decode(R"({"signature":0})"));

    // Hashable member by member: equal values hash alike, and every member counts.
    std::hash<BookletSheet> hashSheet;
    EXPECT_EQ(hashSheet(*BookletSheet::decode(sheet.encode())), hashSheet(sheet));
    const BookletSheet sheetVariants[] = {{0, 0, 1, true, {3, none}, {none, 2}, 0.25},
                                          {-1, 1, 1, true, {3, none}, {none, 2}, 0.25},
                                          {-1, 0, 2, true, {3, none}, {none, 2}, 0.25},
                                          {-1, 0, 1, false, {3, none}, {none, 2}, 0.25},
                                          {-1, 0, 1, true, {none, 3}, {none, 2}, 0.25},
                                          {-1, 0, 1, true, {3, none}, {2, none}, 0.25},
                                          {-1, 0, 1, true, {3, none}, {none, 2}, 0.5}};
    for (const BookletSheet& v : sheetVariants) EXPECT_NE(hashSheet(v), hashSheet(sheet)) << v.encode();
    std::hash<BookletOptions> hashOptions;
    EXPECT_EQ(hashOptions(BookletOptions{-0.0, 0, CoverMode::selfCover, BlankPlacement::end, false}),
              hashOptions(BookletOptions()));
    const BookletOptions optionVariants[] = {{1.5, 2, CoverMode::separateBlankInside, BlankPlacement::beforeBackCover, true},
                                             {0, 2, CoverMode::selfCover, BlankPlacement::end, false},
                                             {0, 0, CoverMode::separate, BlankPlacement::end, false},
                                             {0, 0, CoverMode::selfCover, BlankPlacement::beforeBackCover, false},
                                             {0, 0, CoverMode::selfCover, BlankPlacement::end, true}};
    for (const BookletOptions& v : optionVariants) EXPECT_NE(hashOptions(v), hashOptions(BookletOptions())) << v.encode();
    for (CoverMode m : allCases<CoverMode>) EXPECT_EQ(fromString<CoverMode>(toString(m)), m);
    for (BlankPlacement b : allCases<BlankPlacement>) EXPECT_EQ(fromString<BlankPlacement>(toString(b)), b);
}
