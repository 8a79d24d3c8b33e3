// The copy's name, saving it, and printing it.

#include "../Fakes.h"

#include "FolmiraApp/Model/Output.h"
#include "tests/FileSizeLimit.h"

#include <poppler-qt6.h>

#include <unistd.h>

namespace FolmiraAppTest {
namespace {

TEST(SuggestedNameTest, BaseOfTheFileNameWithLargePrint)
{
    const std::pair<QString, QString> cases[] = {
        {"Minutes.docx", "Minutes (large print).pdf"}, {"", "Document (large print).pdf"},
        {"README", "README (large print).pdf"},        {"a.b.txt", "a.b (large print).pdf"},
        {".profile", ".profile (large print).pdf"},    {"Flyer.pdf", "Flyer (large print).pdf"}};
    for (const auto& [file, expected] : cases) EXPECT_EQ(suggestedNameFor(file), expected) << file.toStdString();
}

TEST(SuggestedNameTest, SavePanelNameEndsInPdfExactly)
{
    const std::pair<QString, QString> cases[] = {
        {"a.pdf", "a.pdf"}, {"a.PDF", "a.PDF.pdf"}, {"a", "a.pdf"}, {"Minutes (large print).pdf", "Minutes (large print).pdf"}};
    for (const auto& [offered, expected] : cases) EXPECT_EQ(pdfFileName(offered), expected);
}

class SaveTest : public ModelTest {};

TEST_F(SaveTest, ExportWritesTheResultUnderTheSuggestedName)
{
    auto& m = make();
    m.exportPDF(); // nothing to export yet
    EXPECT_TRUE(panels->saveNames.isEmpty());
    openAndSettle(file("Minutes.docx"));
    panels->saveAnswer = path("Out.pdf");
    m.exportPDF();
    ASSERT_EQ(panels->saveNames.size(), 1);
    EXPECT_EQ(panels->saveNames[0], "Minutes (large print).pdf");
    EXPECT_EQ(panels->saveMessages[0], "Save the large-print copy as a PDF.");
    const auto& pdf = m.result()->pdf;
    EXPECT_EQ(readFile(path("Out.pdf")), std::string(pdf.begin(), pdf.end()));
    EXPECT_TRUE(panels->alerts.isEmpty());
}

TEST_F(SaveTest, CancelledPanelWritesNothing)
{
    FakePanels fake;
    savePDF(fake, letterPdf(1), "x.pdf", "m");
    EXPECT_EQ(fake.saveNames.size(), 1);
    EXPECT_TRUE(fake.alerts.isEmpty());
    EXPECT_FALSE(std::filesystem::exists(path("x.pdf")));
}

TEST_F(SaveTest, AFailedWriteAlertsAndLeavesTheOldFile)
{
    struct Case {
        const char* what;
        std::filesystem::path target;
        std::filesystem::path old; // a file that must stay as it was
    };
    std::filesystem::create_directories(path("locked"));
    writeFile(path("locked/copy.pdf"), "old");
    std::filesystem::permissions(path("locked"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::filesystem::create_directories(path("folder.pdf"));
    writeFile(path("folder.pdf/inside.txt"), "old");

    std::vector<Case> cases{{"a folder in the way", path("folder.pdf"), path("folder.pdf/inside.txt")},
                            {"a missing folder", path("missing/copy.pdf"), path("locked/copy.pdf")}};
    // The superuser writes into read-only folders anyway.
    if (geteuid() != 0) cases.push_back({"a read-only folder", path("locked/copy.pdf"), path("locked/copy.pdf")});

    for (const auto& c : cases) {
        FakePanels fake;
        fake.saveAnswer = c.target;
        savePDF(fake, letterPdf(1), "copy.pdf", "m");
        ASSERT_EQ(fake.alerts.size(), 1) << c.what;
        EXPECT_TRUE(fake.alerts[0].startsWith("The document “")) << c.what;
        EXPECT_EQ(readFile(c.old), "old") << c.what;
    }
    std::filesystem::permissions(path("locked"), std::filesystem::perms::owner_all);

    // A write that fails half way (a full disk, a quota) keeps the old copy.
    const auto pdf = letterPdf(3);
    FakePanels fake;
    fake.saveAnswer = path("locked/copy.pdf");
    {
        FileSizeLimit limit(pdf.size() / 2);
        savePDF(fake, pdf, "copy.pdf", "m");
    }
    EXPECT_EQ(fake.alerts, QStringList{"The document “copy.pdf” couldn’t be saved. | File too large"});
    EXPECT_EQ(readFile(path("locked/copy.pdf")), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("locked")), {}), 1) << "no temporary file left";
}

TEST_F(SaveTest, ACopyThatIsNotAPdfIsNeverSaved)
{
    for (const auto& bytes : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{'n', 'o', 'p', 'e'}}) {
        FakePanels fake;
        fake.saveAnswer = path("copy.pdf");
        savePDF(fake, bytes, "copy.pdf", "m");
        EXPECT_EQ(fake.alerts.size(), 1);
        EXPECT_TRUE(fake.saveNames.isEmpty());
        EXPECT_FALSE(std::filesystem::exists(path("copy.pdf")));
    }
    auto& m = make();
    engine->notPdf = true;
    m.open(file("a.txt"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.result() != nullptr; }));
    panels->saveAnswer = path("copy.pdf");
    m.exportPDF();
    m.printCopy();
    EXPECT_EQ(panels->alerts.size(), 1);
    EXPECT_EQ(panels->printPanels, 0);
    EXPECT_FALSE(std::filesystem::exists(path("copy.pdf")));
}

TEST(PrintPlanTest, PaperFromTheFirstPage)
{
    struct Case {
        QSizeF page;
        bool duplex;
        QSizeF paper;
        QPageLayout::Orientation orientation;
    };
    const Case cases[] = {{{792, 612}, false, {612, 792}, QPageLayout::Landscape},
                          {{612, 792}, false, {612, 792}, QPageLayout::Portrait},
                          {{792, 612}, true, {612, 792}, QPageLayout::Landscape},
                          {{500, 500}, false, {500, 500}, QPageLayout::Portrait}};
    for (const auto& c : cases) {
        const auto plan = planPrint(c.page, c.duplex);
        EXPECT_EQ(plan.paper, c.paper);
        EXPECT_EQ(plan.orientation, c.orientation);
        EXPECT_EQ(plan.duplex, c.duplex);
        EXPECT_EQ(plan.fitToPaper, c.duplex);
    }
}

class PrintTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        sessionPrintChoices() = {};
    }
    void TearDown() override
    {
        sessionPrintChoices() = {};
        ModelTest::TearDown();
    }
};

TEST_F(PrintTest, ALandscapePageGoesOnPortraitPaperWithoutMarginsOrDuplex)
{
    auto document = PdfView::pdfFromData(makePdf({{792, 612}, {792, 612}, {792, 612}}));
    panels->printTo = path("printed.pdf");
    printPDF(*panels, document, "Minutes (large print).pdf", false);
    ASSERT_EQ(panels->printPanels, 1);
    const auto& layout = panels->printedLayout;
    EXPECT_EQ(layout.pageSize().size(QPageSize::Point), QSizeF(612, 792));
    EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(layout.margins(QPageLayout::Point), QMarginsF(0, 0, 0, 0));
    EXPECT_EQ(panels->printedDuplex, QPrinter::DuplexNone);
    EXPECT_EQ(panels->printedTitle, "Minutes (large print).pdf");

    auto printed = Poppler::Document::load(QString::fromStdString(path("printed.pdf").string()));
    ASSERT_TRUE(printed);
    EXPECT_EQ(printed->numPages(), 3);
    const QSizeF size = printed->page(0)->pageSizeF();
    EXPECT_NEAR(size.width(), 792, 1);
    EXPECT_NEAR(size.height(), 612, 1);
    // Unscaled and unturned: the ink lands where it was on the page.
    const QRect inked = inkBox(*document->page(2));
    EXPECT_FALSE(inked.isEmpty());
    const QRect printedInk = inkBox(*printed->page(2));
    EXPECT_NEAR(printedInk.left(), inked.left(), 2);
    EXPECT_NEAR(printedInk.top(), inked.top(), 2);
    EXPECT_NEAR(printedInk.width(), inked.width(), 3);
}

TEST_F(PrintTest, DuplexJobsFitAndTurnEachPage)
{
    // Qt keeps a duplex request only for a printer that can print two-sided,
    // so the request itself is the plan's (see PrintPlanTest); here the pages.
    auto document = PdfView::pdfFromData(makePdf({{792, 612}, {300, 400}}));
    panels->printTo = path("booklet.pdf");
    printPDF(*panels, document, "Book", true);
    auto printed = Poppler::Document::load(QString::fromStdString(path("booklet.pdf").string()));
    ASSERT_TRUE(printed);
    ASSERT_EQ(printed->numPages(), 2);
    EXPECT_NEAR(printed->page(1)->pageSizeF().width(), 792, 1);
    // The small portrait page is turned and scaled up nearly twofold: its ink
    // is wider than tall and bigger than before.
    const QRect before = inkBox(*document->page(1));
    const QRect after = inkBox(*printed->page(1));
    ASSERT_FALSE(after.isEmpty());
    EXPECT_GT(after.height(), before.width() * 1.5);
    EXPECT_TRUE(QRect(0, 0, 792, 612).contains(after));
}

TEST_F(PrintTest, NothingToPrintShowsNoPanel)
{
    printPDF(*panels, nullptr, "x", false);
    EXPECT_EQ(panels->printPanels, 0);
    auto& m = make();
    m.printCopy();
    EXPECT_EQ(panels->printPanels, 0);
    openAndSettle(file("a.txt"));
    m.printCopy(); // cancelled: no file
    EXPECT_EQ(panels->printPanels, 1);
    EXPECT_EQ(panels->printedTitle, "a (large print).pdf");
    EXPECT_EQ(panels->printedLayout.orientation(), QPageLayout::Portrait);
}

TEST_F(PrintTest, TheNextPrintStartsFromTheChoicesOfTheLastOne)
{
    auto document = PdfView::pdfFromData(letterPdf(2));
    panels->printTo = path("first.pdf");
    panels->choose = [](QPrinter& printer) {
        printer.setCopyCount(3);
        printer.setCollateCopies(false);
        printer.setColorMode(QPrinter::GrayScale);
    };
    printPDF(*panels, document, "One", false);
    ASSERT_EQ(panels->printPanels, 1);
    EXPECT_EQ(panels->printedCopies, 1);
    EXPECT_EQ(panels->printedColor, QPrinter::Color);

    // A cancelled panel keeps nothing of what was changed in it.
    panels->printTo.reset();
    panels->choose = [](QPrinter& printer) { printer.setCopyCount(7); };
    printPDF(*panels, document, "Two", false);
    EXPECT_EQ(panels->printedCopies, 3);
    EXPECT_FALSE(panels->printedCollate);
    EXPECT_EQ(panels->printedColor, QPrinter::GrayScale);

    panels->choose = nullptr;
    printPDF(*panels, document, "Three", true);
    EXPECT_EQ(panels->printedCopies, 3);
    EXPECT_EQ(panels->printedColor, QPrinter::GrayScale);
    EXPECT_EQ(panels->printedTitle, "Three");
}

TEST(PrintChoicesTest, AJobsOwnDuplexIsNotTheUsersChoice)
{
    QPrinter printer;
    PrintChoices choices;
    choices.duplex = QPrinter::DuplexLongSide;
    choices.printerName = "Office";
    printer.setOutputFormat(QPrinter::PdfFormat);
    choices.keepFrom(printer, true);
    EXPECT_EQ(choices.duplex, QPrinter::DuplexLongSide);
    // Printing to a file is no printer to come back to.
    EXPECT_EQ(choices.printerName, "Office");
    choices.keepFrom(printer, false);
    EXPECT_EQ(choices.duplex, printer.duplex());
}

} // namespace
} // namespace FolmiraAppTest
