// Scoring documents made here: the early results, the word checks end to end,
// and the page checks on the rendered copy and on PDFs drawn by hand.

#include "FolmiraKit/Quality/Gate.h"
#include "FolmiraKit/Quality/GateChecks.h"
#include "tests/Platform/PdfFixtures.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace FolmiraKit;

namespace {

class GateScore : public ::testing::Test {
protected:
    std::filesystem::path folder;

    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("gate-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return folder / name;
    }
    std::filesystem::path write(const std::string& name, const Platform::Bytes& bytes)
    {
        return write(name, std::string(bytes.begin(), bytes.end()));
    }
};

GateExpectation expecting(std::string text, std::vector<std::string> headings = {},
                          std::vector<std::string> order = {})
{
    return GateExpectation{"doc", "a made document", false, std::move(headings), std::move(order),
                           std::move(text), 0, 0};
}

const std::string story = "# Harbour Walk\n\nThe tide was out when we set off along the quay, and the gulls were "
                          "loud above the boats.\n\n## The lighthouse\n\nAt the end of the pier the old "
                          "lighthouse stood white against a grey sky, its door painted blue.\n";
const std::string storyText = "Harbour Walk The tide was out when we set off along the quay, and the gulls were "
                              "loud above the boats. The lighthouse At the end of the pier the old lighthouse stood "
                              "white against a grey sky, its door painted blue.";

} // namespace

TEST_F(GateScore, AnExpectedRefusalPassesWithNothingMeasured)
{
    PdfFixtures::Builder blank;
    blank.page("", {});
    auto scan = write("scan.pdf", blank.write());
    GateExpectation e{"scan.pdf", "a scan", true, {}, {}, "", 0, 0};
    GateResult result = Gate::score(scan, e, {});
    EXPECT_TRUE(result.pass());
    EXPECT_EQ(result.coverage, 0);
    EXPECT_EQ(result.pages, 0);
    ASSERT_EQ(result.detail.size(), 1u);
    EXPECT_TRUE(result.detail[0].starts_with("Refused: “")) << result.detail[0];
    EXPECT_EQ(result.file, "scan.pdf");
}

TEST_F(GateScore, OtherRefusalsAndUnexpectedReadsFail)
{
    PdfFixtures::Builder locked;
    locked.page("", {});
    GateExpectation refuse{"x", "x", true, {}, {}, "", 0, 0};
    auto lockedResult = Gate::score(write("locked.pdf", locked.write(PdfFixtures::Builder::Lock::password)), refuse, {});
    ASSERT_EQ(lockedResult.detail.size(), 1u);
    EXPECT_TRUE(lockedResult.detail[0].starts_with("Read failed: This PDF is locked")) << lockedResult.detail[0];
    EXPECT_FALSE(lockedResult.order || lockedResult.nothingLost || lockedResult.headings || lockedResult.layout);

    auto read = Gate::score(write("story.md", story), refuse, {});
    EXPECT_EQ(read.detail, std::vector<std::string>{"Should have been refused (no text layer) but was read."});
    EXPECT_FALSE(read.pass());

    auto missing = Gate::score(folder / "absent.txt", expecting(""), {});
    ASSERT_EQ(missing.detail.size(), 1u);
    EXPECT_TRUE(missing.detail[0].starts_with("Read failed: ")) << missing.detail[0];
    EXPECT_FALSE(missing.pass());
}

TEST_F(GateScore, AFaithfulCopyPassesEveryCheck)
{
    auto result = Gate::score(write("story.md", story),
                              expecting(storyText, {"Harbour Walk", "The lighthouse"},
                                        {"The tide was out", "The lighthouse", "At the end of the pier"}),
                              {});
    EXPECT_TRUE(result.pass()) << Gate::markdown({result});
    EXPECT_DOUBLE_EQ(result.coverage, 1.0);
    EXPECT_EQ(result.pages, 1);
    EXPECT_TRUE(result.detail.empty());
}

TEST_F(GateScore, LostWordsOrderAndHeadingsEachGetTheirLine)
{
    auto result = Gate::score(write("story.md", story),
                              expecting(storyText + " and a heron", {"Harbour Walk", "At the end of the pier"},
                                        {"At the end", "The tide was out"}),
                              {});
    EXPECT_FALSE(result.nothingLost);
    EXPECT_FALSE(result.order);
    EXPECT_FALSE(result.headings);
    EXPECT_TRUE(result.layout) << Gate::markdown({result});
    EXPECT_EQ(result.detail, (std::vector<std::string>{"Missing words (3): and a heron",
                                                       "Out of order: “The tide was out”",
                                                       "Not read as headings: “At the end of the pier”"}));
}

TEST_F(GateScore, TheLargestTypeOnTheSmallestPaperStaysInsideItsMargins)
{
    LargePrintSettings settings;
    settings.fontSize = 40; // held to 32
    settings.paper = LargePrintSettings::Paper::halfLetter;
    settings.margin = 0.2; // held to 0.4 in
    std::string text;
    for (int i = 0; i < 12; ++i) text += "Paragraph " + std::to_string(i) + " walks along the narrow page.\n\n";
    auto result = Gate::score(write("long.txt", text), expecting(text), settings);
    EXPECT_TRUE(result.pass()) << Gate::markdown({result});
    EXPECT_GT(result.pages, 1);
}

TEST(GateLayout, LimitsComeFromTheClampedSettings)
{
    LargePrintSettings settings;
    settings.fontSize = 40;
    settings.margin = 0.2;
    settings.paper = LargePrintSettings::Paper::halfLetter;
    auto limits = Gate::Checks::limits(settings);
    EXPECT_DOUBLE_EQ(limits.left, 28.8 - 1.5);
    EXPECT_DOUBLE_EQ(limits.right, 396 - 28.8 + 1.5);
    EXPECT_DOUBLE_EQ(limits.top, 612 - 28.8 + 3.0);
    EXPECT_DOUBLE_EQ(limits.bottom, 0.4 * 28.8);
    EXPECT_DOUBLE_EQ(limits.smallest, 0.85 * 32);
}

TEST(GateLayout, FindsCharactersOutsideTheMarginsSmallTypeAndNearlyEmptyPages)
{
    // Letter paper, 0.75 in margins: the text frame is 54…558 across, 54…738 up.
    auto pdf = PdfFixtures::cairoPdf(2, [](cairo_t* cr, int page) {
        if (page == 0) {
            PdfFixtures::showText(cr, 72, 100, "Inside the frame at a good size", 18);
            PdfFixtures::showText(cr, 20, 200, "X", 18);          // one character left of the margin
            PdfFixtures::showText(cr, 72, 300, "tiny print", 10); // nine small characters
        } else {
            PdfFixtures::showText(cr, 72, 100, "Only three words", 18);
        }
    });
    auto opened = Platform::PdfDocument::open(pdf);
    ASSERT_TRUE(opened.document);
    std::vector<std::optional<Platform::PdfPageText>> pages{opened.document->page(0)->text(), std::nullopt,
                                                            opened.document->page(1)->text()};
    auto findings = Gate::Checks::inspectPages(pages, Gate::Checks::limits(LargePrintSettings{}));
    EXPECT_EQ(findings.outside, 1);
    EXPECT_EQ(findings.small, 9);
    EXPECT_EQ(findings.problems, std::vector<std::string>{"page 3 is nearly empty"});
}

TEST(GateLayout, CellsThatShareALineStayApartInTheCopyText)
{
    auto pdf = PdfFixtures::cairoPdf(1, [](cairo_t* cr, int) {
        PdfFixtures::showText(cr, 72, 100, "Stop", 18);
        PdfFixtures::showText(cr, 200, 100, "First bus", 18);
        PdfFixtures::showText(cr, 72, 140, "Harbour", 18);
        PdfFixtures::showText(cr, 200, 140, "6:45", 18);
    });
    auto opened = Platform::PdfDocument::open(pdf);
    ASSERT_TRUE(opened.document);
    std::string text = Platform::separatedText(opened.document->page(0)->text());
    EXPECT_EQ(Gate::tokens(text), (std::vector<std::string>{"stop", "first", "bus", "harbour", "6", "45"})) << text;
}
