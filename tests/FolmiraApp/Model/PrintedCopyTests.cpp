// A real large-print copy printed: to a file, and through a print server of
// the test's own to a queue, reading back what arrives.

#include "../Fakes.h"
#include "../PrintServer.h"

#include "FolmiraApp/Model/Output.h"
#include "tests/HangGuardQt.h"

#include <QProcess>

#include <poppler-qt6.h>

namespace FolmiraAppTest {
namespace {

// The text pdftotext finds on pages `first` to `last` (0: to the end).
QString pdfText(const std::filesystem::path& pdf, int first = 1, int last = 0)
{
    QStringList arguments{"-f", QString::number(first)};
    if (last > 0) arguments << "-l" << QString::number(last);
    arguments << QString::fromStdString(pdf.string()) << "-";
    QProcess process;
    process.start("pdftotext", arguments);
    if (!process.waitForFinished(HangGuard::scaled(30000)) || process.exitCode() != 0) return "(pdftotext failed)";
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The model over the real engine, its copy made from a text long enough for
// several pages.
class PrintedCopyTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        auto services = ModelTest::services();
        services.engine = nullptr;
        model = std::make_unique<AppModel>(true, services);
        std::string text;
        for (int i = 1; i <= 80; ++i)
            text += "Paragraph " + std::to_string(i) + " of the minutes, in words a reader can find.\n\n";
        model->open(file("Minutes.txt", text));
        ASSERT_TRUE(HangGuard::waitFor([&] { return model->preview() && !model->reading() && !model->rendering(); },
                                    20000));
        exported = path("export.pdf");
        const auto& pdf = model->result()->pdf;
        writeFile(exported, std::string(pdf.begin(), pdf.end()));
    }
    std::filesystem::path exported;
};

TEST_F(PrintedCopyTest, PagesTwoToThreePrintedToAFileAreThoseOfTheExport)
{
    ASSERT_GE(PdfView::pageCount(model->preview()), 4);
    panels->printTo = path("printed.pdf");
    panels->choose = [](QPrinter& printer) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
    };
    model->printCopy();
    ASSERT_EQ(panels->printPanels, 1);
    auto printed = PdfView::pdfFromFile(path("printed.pdf"));
    ASSERT_EQ(PdfView::pageCount(printed), 2);
    const QString text = pdfText(path("printed.pdf"));
    EXPECT_TRUE(text.contains("Paragraph")) << text.toStdString();
    EXPECT_EQ(text, pdfText(exported, 2, 3));
}

class PrintServerTest : public PrintedCopyTest {
protected:
    static void SetUpTestSuite() { server = new PrintServer(); }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override
    {
        if (!server->ready()) GTEST_SKIP() << "no print server of the test's own: " << server->whyNot();
        PrintedCopyTest::SetUp();
        std::filesystem::remove(server->output());
    }
    static PrintServer* server;
    int jobs = 0;
};

PrintServer* PrintServerTest::server = nullptr;

TEST_F(PrintServerTest, ALetterCopyArrivesOnLetterWithItsText)
{
    panels->printOnPrinter = true;
    panels->choose = [](QPrinter& printer) { printer.setPrinterName(PrintServer::queue); };
    model->printCopy();
    ASSERT_TRUE(server->jobCompleted(++jobs));
    // The queue's paper is A4 unless the job asks for another.
    auto printed = PdfView::pdfFromFile(server->output());
    ASSERT_EQ(PdfView::pageCount(printed), PdfView::pageCount(model->preview()));
    EXPECT_EQ(PdfView::pageSize(printed, 0).toSize(), QSize(612, 792));
    EXPECT_EQ(pdfText(server->output()), pdfText(exported));
    EXPECT_LE(std::filesystem::file_size(server->output()), 2 * std::filesystem::file_size(exported));
    EXPECT_TRUE(panels->alerts.isEmpty());
}

TEST_F(PrintServerTest, ThePrinterIsKeptAndItsOwnSettingsComeBack)
{
    panels->printOnPrinter = true;
    panels->choose = [](QPrinter& printer) {
        printer.setPrinterName(PrintServer::queue);
        printer.setCopyCount(2);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
    };
    model->printCopy();
    ASSERT_TRUE(server->jobCompleted(++jobs));
    // Two copies of two pages.
    EXPECT_EQ(PdfView::pageCount(PdfView::pdfFromFile(server->output())), 4);

    // The next run of the program starts on that printer, at its own settings.
    model.reset();
    defaults->sync();
    auto services = ModelTest::services();
    services.engine = nullptr;
    services.defaults = std::make_shared<QSettings>(folder.filePath("Folmira.conf"), QSettings::IniFormat);
    model = std::make_unique<AppModel>(true, services);
    model->open(file("Minutes.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->preview() && !model->reading() && !model->rendering(); }, 20000));
    panels->printOnPrinter = false;
    panels->choose = nullptr;
    model->printCopy();
    EXPECT_EQ(panels->printedPrinter, PrintServer::queue);
    EXPECT_EQ(panels->printedCopies, 1);
    // The panel opens on the copy's paper, not the printer's A4.
    EXPECT_EQ(panels->printedLayout.pageSize().size(QPageSize::Point), QSizeF(612, 792));
}

} // namespace
} // namespace FolmiraAppTest
