// The copy's name, saving it, and printing it.

#include "../Fakes.h"

#include "FolmiraApp/Model/Output.h"
#include "tests/FileSizeLimit.h"
#include "tests/HangGuardQt.h"

#include <QPageRanges>

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

TEST(SuggestedNameTest, HostileTitlesBecomePlainFileNames)
{
    const QString e = QStringLiteral("\u00E9");  // two bytes of UTF-8
    const QString jp = QStringLiteral("\u65E5"); // three
    const std::pair<QString, QString> cases[] = {
        {"He said \"hi\" today (large print).pdf", "He said 'hi' today (large print).pdf"},
        {"Songs for \"Grace\" 2024", "Songs for 'Grace' 2024.pdf"},
        {"../../escape", "escape.pdf"},
        {"AC/DC", "AC-DC.pdf"},
        {"/etc/passwd", "etc-passwd.pdf"},
        {"", "Untitled.pdf"},
        {".pdf", "Untitled.pdf"},
        {"..", "Untitled.pdf"},
        {" / ", "Untitled.pdf"},
        {".hidden", "hidden.pdf"},
        {"~root", "root.pdf"},
        {"Tab\there\nand a line", "Tab here and a line.pdf"},
        {"Hymns \u2013 booklet", "Hymns \u2013 booklet.pdf"},
        {QString(300, u'a'), QString(251, u'a') + ".pdf"},
        // Cut on a character boundary, within 255 bytes with the extension.
        {e.repeated(150), e.repeated(125) + ".pdf"},
        {QString(250, u'a') + e + "b", QString(250, u'a') + ".pdf"},
        // A name that is all extension keeps its label.
        {suggestedNameFor("..txt"), "Untitled (large print).pdf"},
        {suggestedNameFor("~.md"), "Untitled (large print).pdf"},
        // Bidirectional controls would show the name reversed.
        {"evil\u202Egpj (large print).pdf", "evilgpj (large print).pdf"},
        {"\u202A\u202B\u202C\u202D\u2066a\u2067\u2068\u2069b", "ab.pdf"},
        {"\u202E", "Untitled.pdf"},
        // So would other format characters and separators, or hide in a name
        // that looks like another: marks, line breaks, zero widths, tags.
        {suggestedNameFor("a\u200Fb\u2028c\u200Bd\u061Ce\uFEFFf.txt"), "abcdef (large print).pdf"},
        {"\u2029x\u00AD\u200D\U000E0041y\U0001D173", "xy.pdf"},
        {"\u200B\uFEFF.hidden", "hidden.pdf"},
        // The joiners shape Persian, Indic and emoji words: kept within one, dropped elsewhere.
        {"\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645", "\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645.pdf"},
        {"\u0915\u094D\u200D\u0937", "\u0915\u094D\u200D\u0937.pdf"},
        {"\U0001F469\u200D\U0001F4BB", "\U0001F469\u200D\U0001F4BB.pdf"},
        {"a \u200C b\u200D", "a  b.pdf"},
        // A long title is cut; the label and the extension stay whole.
        {e.repeated(200) + " (large print).pdf", e.repeated(118) + " (large print).pdf"},
        {suggestedNameFor(e.repeated(200) + "x.txt"), e.repeated(118) + " (large print).pdf"},
        {jp.repeated(100) + " \u2013 booklet", jp.repeated(79) + " \u2013 booklet.pdf"},
        {QString(300, u'a') + " (large print)", QString(237, u'a') + " (large print).pdf"},
    };
    for (const auto& [title, expected] : cases) {
        const QString name = pdfFileName(title);
        EXPECT_EQ(name, expected) << title.toStdString();
        EXPECT_LE(name.toUtf8().size(), maxFileNameBytes) << title.toStdString();
        EXPECT_FALSE(name.contains(u'/') || name.contains(u'"') || name.startsWith(u'.')) << name.toStdString();
    }
}

class SaveTest : public ModelTest {};

std::string bytesOf(const std::vector<std::uint8_t>& bytes)
{
    return {bytes.begin(), bytes.end()};
}

std::string fileOrNothing(const std::filesystem::path& path)
{
    return std::filesystem::exists(path) ? readFile(path) : std::string();
}

TEST_F(SaveTest, ExportAndPrintActOnlyOnTheCopyTheWindowNames)
{
    auto& m = make();
    const auto first = letterPdf(1), second = letterPdf(2), bigger = letterPdf(3);
    engine->setPdf(first);
    openAndSettle(file("first.txt"));
    engine->setPdf(second);
    auto read = engine->holdRead("second.txt", false);
    std::shared_ptr<Gate> render;
    int prints0 = 0; // the print panels shown before a step
    const auto settled = [&] { return HangGuard::waitFor([&] { return !m.makingCopy(); }); };
    struct Step {
        const char* what;
        std::function<void()> reach;
        bool on;             // the commands offered
        std::string written; // at once: nothing while a new copy is being made
        int waited;          // saves and prints asked for earlier that land here
    };
    const Step steps[] = {
        {"the read started", [&] { m.open(file("second.txt")); }, false, {}, 0},
        {"the read going on", [&] { QCoreApplication::processEvents(); }, false, {}, 0},
        {"the read done, the copy being made",
         [&] {
             render = engine->holdRenders();
             read->release();
             EXPECT_TRUE(HangGuard::waitFor([&] { return !m.reading(); }));
         },
         false, {}, 0},
        {"the new copy made", [&] { render->release(); EXPECT_TRUE(settled()); }, true, bytesOf(second), 0},
        // New settings for the same file: still offered, the asks wait for the newer copy.
        {"right after Bigger",
         [&] {
             engine->setPdf(bigger);
             render = engine->holdRenders();
             m.biggerText();
         },
         true, {}, 0},
        {"the bigger copy being made",
         [&] { EXPECT_TRUE(HangGuard::waitFor([&] { return m.rendering() && !m.renderPending(); })); }, true, {}, 0},
        {"the bigger copy made",
         [&] {
             render->release();
             EXPECT_TRUE(settled());
             EXPECT_TRUE(HangGuard::waitFor([&] { return panels->printPanels > prints0; }));
         },
         true, bytesOf(bigger), 1},
    };
    panels->saveAnswer = path("out.pdf");
    panels->printTo = path("printed.pdf");
    for (const Step& step : steps) {
        prints0 = panels->printPanels;
        std::filesystem::remove(path("out.pdf"));
        std::filesystem::remove(path("printed.pdf"));
        const auto saves = panels->saveNames.size();
        const int prints = panels->printPanels;
        step.reach();
        const bool ready = !step.written.empty();
        EXPECT_EQ(m.hasOutput(), step.on) << step.what;
        EXPECT_EQ(m.hasPrintableOutput(), step.on) << step.what;
        m.exportPDF();
        m.printCopy();
        EXPECT_EQ(panels->saveNames.size() - saves, (ready ? 1 : 0) + step.waited) << step.what;
        EXPECT_EQ(panels->printPanels - prints, (ready ? 1 : 0) + step.waited) << step.what;
        // Compared whole, reported by size: the bytes themselves would flood the log.
        const auto saved = fileOrNothing(path("out.pdf")), printed = fileOrNothing(path("printed.pdf"));
        EXPECT_TRUE(saved == step.written) << step.what << ": " << saved.size() << " bytes saved";
        EXPECT_TRUE(printed == step.written) << step.what << ": " << printed.size() << " bytes printed";
        if (ready) {
            EXPECT_EQ(panels->saveNames.back(), "second (large print).pdf") << step.what;
        }
    }
    EXPECT_TRUE(panels->alerts.isEmpty()) << panels->alerts.join('\n').toStdString();
}

TEST_F(SaveTest, AnExportOrPrintWaitingForACopyThatFailsSaysWhyNothingCame)
{
    auto& m = make();
    openAndSettle(file("Minutes.txt"));
    const auto render = engine->holdRenders();
    engine->noPdf = true;
    m.biggerText();
    m.exportPDF();
    m.printCopy();
    render->release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return panels->alerts.size() >= 2; })) << "the asks dropped without a word";
    EXPECT_EQ(panels->alerts, (QStringList{
                                  "The document “Minutes (large print).pdf” couldn’t be saved. | The PDF could not be written.",
                                  "The document “Minutes (large print).pdf” couldn’t be printed. | The PDF could not be written.",
                              }));
    EXPECT_TRUE(panels->saveNames.isEmpty() && panels->printPanels == 0);
    // Closed while it waits, the document asks for nothing.
    engine->noPdf = false;
    openAndSettle(file("Minutes.txt"));
    engine->holdRenders();
    m.biggerText();
    m.exportPDF();
    m.closeDocument();
    QTest::qWait(50);
    EXPECT_EQ(panels->alerts.size(), 2);
}

TEST_F(SaveTest, ACopyLandingWhileAPanelIsOpenLeavesWhatItWritesAlone)
{
    // The panels run event loops: a file handed over by a second start, or a
    // settings change, lands a new copy meanwhile and lets the old one go.
    auto& m = make();
    const auto first = letterPdf(1), landed = letterPdf(2);
    struct Case {
        const char* what;
        std::function<void()> change;
    };
    const Case cases[] = {{"another file opened", [&] { m.open(file("other.txt")); }},
                          {"Bigger", [&] { m.biggerText(); }}};
    for (const Case& c : cases) {
        for (const bool print : {false, true}) {
            engine->setPdf(first);
            openAndSettle(file("first.txt"));
            std::filesystem::remove(path("out.pdf"));
            const auto land = [&] {
                engine->setPdf(landed);
                c.change();
                EXPECT_TRUE(HangGuard::waitFor(
                    [&] { return !m.makingCopy() && m.result() && m.result()->pdf == landed; }))
                    << c.what;
            };
            if (print) {
                panels->printTo = path("out.pdf");
                panels->choose = [&](QPrinter&) { land(); };
                m.printCopy();
                panels->choose = nullptr;
            } else {
                panels->saveAnswer = path("out.pdf");
                panels->whileSaving = land;
                m.exportPDF();
                panels->whileSaving = nullptr;
                EXPECT_EQ(panels->saveNames.back(), "first (large print).pdf") << c.what;
            }
            const auto written = fileOrNothing(path("out.pdf"));
            EXPECT_TRUE(written == bytesOf(first))
                << c.what << (print ? ", printed: " : ", saved: ") << written.size() << " bytes";
        }
    }
    EXPECT_TRUE(panels->alerts.isEmpty()) << panels->alerts.join('\n').toStdString();
}

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
    savePDF(fake, shareBytes(letterPdf(1)), "x.pdf", "m");
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
        savePDF(fake, shareBytes(letterPdf(1)), "copy.pdf", "m");
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
        savePDF(fake, shareBytes(pdf), "copy.pdf", "m");
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
        savePDF(fake, shareBytes(bytes), "copy.pdf", "m");
        EXPECT_EQ(fake.alerts.size(), 1);
        EXPECT_TRUE(fake.saveNames.isEmpty());
        EXPECT_FALSE(std::filesystem::exists(path("copy.pdf")));
    }
    auto& m = make();
    engine->notPdf = true;
    m.open(file("a.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.result() != nullptr; }));
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

class PrintTest : public ModelTest {};

TEST_F(PrintTest, ALandscapeCopyPrintedToAFileIsThePdfItself)
{
    const auto pdf = makePdf({{792, 612}, {792, 612}, {792, 612}});
    auto document = PdfView::pdfFromData(pdf);
    panels->printTo = path("printed.pdf");
    printPDF(*panels, defaults.get(), document, shareBytes(pdf), "Minutes (large print).pdf", false);
    ASSERT_EQ(panels->printPanels, 1);
    // The panel opens on the copy's own paper, turned, without margins.
    const auto& layout = panels->printedLayout;
    EXPECT_EQ(layout.pageSize().size(QPageSize::Point), QSizeF(612, 792));
    EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(layout.margins(QPageLayout::Point), QMarginsF(0, 0, 0, 0));
    EXPECT_EQ(panels->printedDuplex, QPrinter::DuplexNone);
    EXPECT_EQ(panels->printedTitle, "Minutes (large print).pdf");
    EXPECT_EQ(readFile(path("printed.pdf")), std::string(pdf.begin(), pdf.end()));
    EXPECT_TRUE(panels->alerts.isEmpty());
    // A file is no printer to come back to.
    EXPECT_FALSE(defaults->contains(lastPrinterKey));
}

TEST_F(PrintTest, AFailedWriteToAFileAlerts)
{
    const auto pdf = letterPdf(2);
    std::filesystem::create_directories(path("folder.pdf"));
    panels->printTo = path("folder.pdf");
    printPDF(*panels, defaults.get(), PdfView::pdfFromData(pdf), shareBytes(pdf), "Two", false);
    ASSERT_EQ(panels->alerts.size(), 1);
    EXPECT_TRUE(panels->alerts[0].startsWith("The document “folder.pdf” couldn’t be saved.")) << panels->alerts[0].toStdString();
    EXPECT_TRUE(std::filesystem::is_directory(path("folder.pdf")));
}

TEST_F(PrintTest, TheFallbackFitsAndTurnsBookletPages)
{
    // Where the print system can't take the PDF, Qt draws it: booklet pages
    // are fitted and turned onto the paper.
    auto document = PdfView::pdfFromData(makePdf({{792, 612}, {300, 400}}));
    const auto plan = planPrint(PdfView::pageSize(document, 0), true);
    QPrinter printer(QPrinter::HighResolution);
    applyPlan(printer, plan, "Book");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path("booklet.pdf").string()));
    ASSERT_TRUE(drawPages(printer, *document, plan));
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
    printPDF(*panels, defaults.get(), nullptr, nullptr, "x", false);
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

TEST_F(PrintTest, EveryPrintStartsFromThePrintersOwnSettings)
{
    const auto pdf = letterPdf(2);
    auto document = PdfView::pdfFromData(pdf);
    panels->printTo = path("first.pdf");
    panels->choose = [](QPrinter& printer) {
        printer.setCopyCount(3);
        printer.setCollateCopies(false);
        printer.setColorMode(QPrinter::GrayScale);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setPageRanges(QPageRanges());
        printer.setFromTo(2, 2);
    };
    printPDF(*panels, defaults.get(), document, shareBytes(pdf), "One", false);
    ASSERT_EQ(panels->printPanels, 1);
    const int firstCopies = panels->printedCopies;
    const auto firstColor = panels->printedColor;

    panels->choose = nullptr;
    printPDF(*panels, defaults.get(), document, shareBytes(pdf), "Two", true);
    EXPECT_EQ(panels->printedCopies, firstCopies);
    EXPECT_EQ(panels->printedCopies, 1);
    EXPECT_TRUE(panels->printedCollate);
    EXPECT_EQ(panels->printedColor, firstColor);
    EXPECT_EQ(panels->printedTitle, "Two");
}

TEST(JobChoicesTest, WhatThePanelHoldsIsWhatTheJobAsks)
{
    QPrinter printer;
    printer.setCopyCount(2);
    printer.setCollateCopies(false);
    printer.setPrintRange(QPrinter::PageRange);
    QPageRanges ranges;
    ranges.addRange(3, 5);
    ranges.addRange(8, 8);
    printer.setPageRanges(ranges);
    printer.setColorMode(QPrinter::GrayScale);
    const auto choices = jobChoices(printer, planPrint({792, 612}, true), {792, 612});
    EXPECT_EQ(choices.copies, 2);
    EXPECT_FALSE(choices.collate);
    EXPECT_EQ(choices.pages, (std::vector<Platform::PrintJob::PageRange>{{3, 5}, {8, 8}}));
    EXPECT_TRUE(choices.grey);
    EXPECT_TRUE(choices.booklet);
    EXPECT_EQ(choices.firstPage, (Platform::Size{792, 612}));

    // "All pages" sends no range, whatever range the panel held before.
    printer.setPrintRange(QPrinter::AllPages);
    printer.setColorMode(QPrinter::Color);
    const auto all = jobChoices(printer, planPrint({612, 792}, false), {612, 792});
    EXPECT_TRUE(all.pages.empty());
    EXPECT_FALSE(all.grey);
    EXPECT_FALSE(all.booklet);
}

TEST(JobChoicesTest, SidesFromTheDuplexMode)
{
    using Platform::PrintJob::Sides;
    struct Case {
        QPrinter::DuplexMode duplex;
        QPageLayout::Orientation orientation;
        Sides sides;
    };
    const Case cases[] = {{QPrinter::DuplexNone, QPageLayout::Portrait, Sides::oneSided},
                          {QPrinter::DuplexLongSide, QPageLayout::Landscape, Sides::twoSidedLongEdge},
                          {QPrinter::DuplexShortSide, QPageLayout::Portrait, Sides::twoSidedShortEdge},
                          {QPrinter::DuplexAuto, QPageLayout::Portrait, Sides::twoSidedLongEdge},
                          {QPrinter::DuplexAuto, QPageLayout::Landscape, Sides::twoSidedShortEdge}};
    for (const auto& c : cases) EXPECT_EQ(sidesFor(c.duplex, c.orientation), c.sides) << int(c.duplex);
}

} // namespace
} // namespace FolmiraAppTest
