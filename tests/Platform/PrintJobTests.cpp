// A print job's options, its paper's name, and the pages cut for a file.

#include "Platform/PrintJob.h"

#include "PdfFixtures.h"
#include "PdfWriterReadBack.h"

#include <gtest/gtest.h>

namespace {

using namespace Platform::PrintJob;
using PdfFixtures::cairoPdf;

TEST(PrintOptionsTest, TheChoicesBecomeExactlyTheseOptions)
{
    struct Case {
        const char* what;
        Choices choices;
        std::vector<Option> expected;
    };
    const Case cases[] = {
        {"two copies of pages 3 to 5, two-sided on the short edge, grey, a booklet",
         {2, true, {{3, 5}}, Sides::twoSidedShortEdge, true, {792, 612}, true},
         {{"copies", "2"},
          {"multiple-document-handling", "separate-documents-collated-copies"},
          {"page-ranges", "3-5"},
          {"sides", "two-sided-short-edge"},
          {"print-color-mode", "monochrome"},
          {"media", "na_letter_8.5x11in"},
          {"orientation-requested", "4"},
          {"print-scaling", "fit"}}},
        {"a booklet folds on the short edge whatever the user's sides",
         {1, true, {}, Sides::oneSided, false, {612, 792}, true},
         {{"copies", "1"},
          {"multiple-document-handling", "separate-documents-collated-copies"},
          {"sides", "two-sided-short-edge"},
          {"print-color-mode", "color"},
          {"media", "na_letter_8.5x11in"},
          {"orientation-requested", "3"},
          {"print-scaling", "fit"}}},
        {"an A4 copy, uncollated, two ranges, long edge; a range back to front is dropped",
         {3, false, {{1, 2}, {5, 4}, {7, 7}}, Sides::twoSidedLongEdge, false, {595.28, 841.89}, false},
         {{"copies", "3"},
          {"multiple-document-handling", "separate-documents-uncollated-copies"},
          {"page-ranges", "1-2,7-7"},
          {"sides", "two-sided-long-edge"},
          {"print-color-mode", "color"},
          {"media", "iso_a4_210x297mm"},
          {"orientation-requested", "3"},
          {"print-scaling", "none"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(options(c.choices), c.expected) << c.what;
}

TEST(PrintOptionsTest, MediaIsPortraitPaperOfThePagesSize)
{
    EXPECT_EQ(mediaName({612, 792}), "na_letter_8.5x11in");
    EXPECT_EQ(mediaName({792, 612}), "na_letter_8.5x11in");
    EXPECT_EQ(mediaName({612, 1008}), "na_legal_8.5x14in");
    EXPECT_EQ(mediaName({419.53, 595.28}), "iso_a5_148x210mm");
    // A size no standard has still names itself.
    const std::string custom = mediaName({500, 300});
    EXPECT_TRUE(custom.starts_with("custom_")) << custom;
    EXPECT_EQ(mediaName({0, 0}), "");
    // No paper, no media option: the printer's own stays.
    Choices none;
    for (const auto& [name, value] : options(none)) EXPECT_NE(name, "media");
}

TEST(PagesOfTest, TheChosenPagesKeepTheirText)
{
    const auto pdf = cairoPdf(5, [](cairo_t* cr, int page) {
        PdfFixtures::showText(cr, 72, 100, "Words of page " + std::to_string(page + 1), 24);
    });
    const auto cut = pagesOf(pdf, {{2, 3}, {5, 9}});
    const auto read = ReadBack::read(cut);
    ASSERT_TRUE(read.opened);
    ASSERT_EQ(read.pages.size(), 3u);
    EXPECT_NE(read.pages[0].text.find("Words of page 2"), std::string::npos);
    EXPECT_NE(read.pages[1].text.find("Words of page 3"), std::string::npos);
    EXPECT_NE(read.pages[2].text.find("Words of page 5"), std::string::npos);
    EXPECT_EQ(read.pages[0].size, (Platform::Size{612, 792}));

    EXPECT_TRUE(pagesOf(pdf, {{6, 8}}).empty());
    const Platform::Bytes junk{'%', 'P', 'D', 'F', '-', 'x'};
    EXPECT_TRUE(pagesOf(junk, {{1, 1}}).empty());
}

TEST(PrintSendTest, AQueueThatIsNotThereIsAnError)
{
    // Whether or not a print server runs here, it has no such queue.
    const auto pdf = cairoPdf(1, [](cairo_t*, int) {});
    EXPECT_THROW(send("no-such-queue-for-folmira", "t", pdf, {}), PrintError);
    EXPECT_THROW(send("", "t", pdf, {}), PrintError);
}

} // namespace
