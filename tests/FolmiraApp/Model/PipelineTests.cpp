// The road of a document: kind checks, originals, reads and renders on worker
// threads, the debounce, and the stale checks (the fake engine holds reads and
// renders back to force the orders).

#include "../Fakes.h"
#include "../WorkerProgram.h"
#include "tests/HangGuardQt.h"

#include <QSignalSpy>

namespace FolmiraAppTest {
namespace {

using PipelineTest = ModelTest;

const QString refusalOfPng =
    "Folmira reads text (.txt), Markdown (.md), RTF, Word (.docx) and PDFs with text in them. “Photo.png” isn’t "
    "one of those.";

TEST_F(PipelineTest, AFolderOrAMissingFileIsRefusedForWhatItIs)
{
    auto& m = make();
    openAndSettle(file("Letter.txt"));
    std::filesystem::create_directories(path("Letters"));
    std::filesystem::create_directories(path("Notes.txt"));
    const std::pair<std::filesystem::path, QString> cases[] = {
        {path("nothere"), "“nothere” couldn’t be opened: there’s no such file."},
        {path("Old.doc"), "“Old.doc” couldn’t be opened: there’s no such file."},
        {path("missing.docx"), "“missing.docx” couldn’t be opened: there’s no such file."},
        {path("missing.pdf"), "“missing.pdf” couldn’t be opened: there’s no such file."},
        {path("missing.md"), "“missing.md” couldn’t be opened: there’s no such file."},
        {path("missing.txt"), "“missing.txt” couldn’t be opened: there’s no such file."},
        {path("missing.rtf"), "“missing.rtf” couldn’t be opened: there’s no such file."},
        {path("Letters"), "“Letters” couldn’t be opened: it’s a folder, not a file."},
        {path("Letters") / "", "“Letters” couldn’t be opened: it’s a folder, not a file."},
        {path("Notes.txt"), "“Notes.txt” couldn’t be opened: it’s a folder, not a file."},
    };
    for (const auto& [url, refusal] : cases) {
        m.open(url);
        EXPECT_EQ(m.error(), refusal) << url;
        EXPECT_EQ(m.fileName(), "Letter.txt") << "the open document stays";
        EXPECT_TRUE(m.preview());
    }
    EXPECT_EQ(engine->reads(), 1);
}

TEST_F(PipelineTest, OpeningReadsThenRendersAtOnce)
{
    auto& m = make();
    const auto url = file("Minutes.txt");
    m.open(url);
    EXPECT_EQ(m.fileURL(), url);
    EXPECT_EQ(m.fileName(), "Minutes.txt");
    EXPECT_TRUE(m.reading());
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.preview() != nullptr; }));
    EXPECT_FALSE(m.reading());
    EXPECT_FALSE(m.rendering());
    EXPECT_FALSE(m.renderPending());
    ASSERT_TRUE(m.document());
    EXPECT_EQ(m.document()->title, "Minutes.txt joined");
    EXPECT_EQ(m.result()->pageCount, 18);
    EXPECT_EQ(PdfView::pageCount(m.preview()), 1);
    EXPECT_EQ(engine->reads(), 1);
    EXPECT_EQ(engine->renders(), 1);
    ASSERT_EQ(m.notes().size(), 1u);
    EXPECT_EQ(m.notes()[0].message, "Read by the fake.");
}

TEST_F(PipelineTest, KindsAreCheckedByExtensionWithoutCase)
{
    auto& m = make();
    openAndSettle(file("Letter.txt"));
    const auto preview = m.preview();

    m.open(file("Photo.png"));
    EXPECT_EQ(m.error(), refusalOfPng);
    EXPECT_EQ(m.fileName(), "Letter.txt");
    EXPECT_EQ(m.preview(), preview);
    EXPECT_TRUE(m.document());
    EXPECT_EQ(engine->reads(), 1);

    m.open(file("X.DOCX"));
    EXPECT_FALSE(m.error());
    EXPECT_EQ(m.fileName(), "X.DOCX");
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->reads() == 2; }));
    EXPECT_EQ(engine->readCalls.back().first.filename(), "X.DOCX");
}

TEST_F(PipelineTest, AnOldWordFileIsOpenedAndRefusedByTheEngine)
{
    auto& m = make();
    openAndSettle(file("Before.txt"));
    m.open(file("old.doc"));
    EXPECT_EQ(m.fileName(), "old.doc");
    EXPECT_FALSE(m.originalText());
    EXPECT_FALSE(m.originalPDF());
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.error().has_value(); }));
    EXPECT_EQ(*m.error(), "Old Word files (.doc) can’t be read.");
    EXPECT_FALSE(m.document());
    EXPECT_FALSE(m.result());
    EXPECT_FALSE(m.preview());
    EXPECT_FALSE(m.reading());
}

TEST_F(PipelineTest, AnyOtherReadFailureBecomesARefusalWithItsDescription)
{
    auto& m = make();
    openAndSettle(file("Notes.txt"));
    m.open(file("Crash.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return !m.reading(); }));
    EXPECT_EQ(m.error(), QString("The disk went away."));
    EXPECT_FALSE(m.document());
    EXPECT_FALSE(m.preview());
}

TEST_F(PipelineTest, AnOriginalPdfIsSizedByAWorkerAndNeverOpenedHere)
{
    auto& m = make();
    const auto bytes = [](const std::vector<std::uint8_t>& pdf) {
        return std::string(reinterpret_cast<const char*>(pdf.data()), pdf.size());
    };
    // Reads held back: no large-print copy is opened meanwhile either.
    const std::vector<QSizeF> sizes{{612, 792}, {595, 842}, {792, 612}};
    auto held = engine->holdRead("Sizes.pdf", false);
    const auto openedHere = PdfView::popplerDocumentsOpened();
    m.open(file("Sizes.pdf", bytes(makePdf(sizes))));
    ASSERT_TRUE(HangGuard::waitFor([&] { return !m.openingOriginalPDF(); }));
    ASSERT_TRUE(m.originalPDF());
    EXPECT_EQ(m.originalPDF()->sizes, sizes);
    EXPECT_EQ(PdfView::popplerDocumentsOpened(), openedHere);

    // A text opened while a PDF is being opened: the PDF's opening is dropped.
    auto late = engine->holdRead("Late.pdf", false);
    m.open(file("Late.pdf", bytes(letterPdf(2))));
    m.open(file("Plain.txt", "Plain"));
    EXPECT_FALSE(m.openingOriginalPDF());
    // (Its copy is made and opened here: our own PDF.)
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.preview() && !m.reading() && !m.rendering(); }));
    EXPECT_FALSE(m.originalPDF());
    EXPECT_TRUE(m.originalText());

    // No helper to open it: no original, and no Poppler here instead.
    WorkerProgram missing("/nonexistent/folmira-pdf-worker");
    const auto openedBefore = PdfView::popplerDocumentsOpened();
    auto unread = engine->holdRead("Unhelped.pdf", false);
    m.open(file("Unhelped.pdf", bytes(letterPdf(2))));
    ASSERT_TRUE(HangGuard::waitFor([&] { return !m.openingOriginalPDF(); }));
    EXPECT_FALSE(m.originalPDF());
    EXPECT_EQ(PdfView::popplerDocumentsOpened(), openedBefore);
    engine->releaseAll();
}

TEST_F(PipelineTest, OriginalsByKind)
{
    auto& m = make();
    // Windows-1252 quotes around a word: not UTF-8, so decoded as 1252.
    m.open(file("Quote.txt", "\x93Hi\x94"));
    ASSERT_TRUE(m.originalText());
    EXPECT_EQ(m.originalText()->content, QString("“Hi”"));
    EXPECT_EQ(m.originalText()->format, StyledText::Format::plain);

    m.open(file("Notes.md", "# Caf\xc3\xa9"));
    EXPECT_EQ(m.originalText()->content, QString("# Café"));

    // Undefined in Windows-1252 and not UTF-8: what the copy reads, a replacement character.
    m.open(file("Odd.txt", "\x81"));
    ASSERT_TRUE(m.originalText());
    EXPECT_EQ(m.originalText()->content, QString(QChar::ReplacementCharacter));

    m.open(file("Letter.rtf", "{\\rtf1 Hi}"));
    ASSERT_TRUE(m.originalText());
    EXPECT_EQ(m.originalText()->format, StyledText::Format::html);

    // A PDF is opened by a worker, off this thread.
    const auto pdf = letterPdf(2);
    m.open(file("Flyer.pdf", std::string_view(reinterpret_cast<const char*>(pdf.data()), pdf.size())));
    EXPECT_FALSE(m.originalText());
    EXPECT_TRUE(m.openingOriginalPDF());
    ASSERT_TRUE(HangGuard::waitFor([&] { return !m.openingOriginalPDF(); }));
    ASSERT_TRUE(m.originalPDF());
    EXPECT_EQ(m.originalPDF()->sizes.size(), 2u);

    m.open(file("Broken.pdf", "%PDF-1.4 nothing more"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return !m.openingOriginalPDF(); }));
    EXPECT_FALSE(m.originalPDF());
    EXPECT_FALSE(m.originalText());

    // Too big to show: no original, but still read.
    for (const char* name : {"Huge.txt", "Huge.rtf"}) {
        const auto huge = file(name);
        std::filesystem::resize_file(huge, maxOriginalBytes + 1);
        m.open(huge);
        EXPECT_FALSE(m.originalText()) << name;
        EXPECT_TRUE(m.reading()) << name;
    }

    // One paragraph too long to lay out: no original, still read.
    m.open(file("OneLine.txt", std::string(maxOriginalParagraph + 1, 'w')));
    EXPECT_FALSE(m.originalText());
    EXPECT_TRUE(m.reading());

    // A missing text file: no original, the read goes on and is refused there.
    m.open(path("Missing.txt"));
    EXPECT_FALSE(m.originalText());
    EXPECT_TRUE(m.reading());
}

TEST_F(PipelineTest, FiveQuickSettingsChangesRenderOnceAfterTheLast)
{
    auto& m = make();
    openAndSettle(file("a.txt"));
    Clock::time_point last;
    for (int i = 1; i <= 5; ++i) {
        auto s = m.settings();
        s.fontSize = 18 + i;
        m.setSettings(s);
        last = Clock::now();
        EXPECT_TRUE(m.renderPending());
        if (i < 5) QTest::qWait(20);
    }
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->renders() == 2; }));
    QTest::qWait(300);
    EXPECT_EQ(engine->renders(), 2);
    EXPECT_GE(engine->renderTimes.back() - last, std::chrono::milliseconds(AppModel::renderDelayMs));
    ASSERT_TRUE(HangGuard::waitFor([&] { return !m.rendering(); }));
    EXPECT_EQ(m.result()->pageCount, 23);
    EXPECT_FALSE(m.renderPending());
}

TEST_F(PipelineTest, KeepingLineBreaksReadsAgainAndRendersAtOnce)
{
    auto& m = make();
    openAndSettle(file("Hymn.txt"));
    auto s = m.settings();
    s.keepLineBreaks = true;
    m.setSettings(s);
    EXPECT_FALSE(m.renderPending());
    EXPECT_TRUE(m.reading());
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.document()->title == "Hymn.txt kept" && !m.rendering(); }));
    QTest::qWait(AppModel::renderDelayMs + 150);
    EXPECT_EQ(engine->reads(), 2);
    EXPECT_TRUE(engine->readCalls.back().second);
    EXPECT_EQ(engine->renders(), 2);
}

TEST_F(PipelineTest, LineBreaksTurnedAfterTheFileWentKeepTheCopyAndSayWhy)
{
    auto& m = make();
    const auto url = file("Gone.txt");
    openAndSettle(url);
    const auto shown = m.document();
    const auto made = m.result();
    std::filesystem::remove(url);
    auto s = m.settings();
    s.keepLineBreaks = true;
    m.setSettings(s);
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->readsDone == 2 && !m.reading(); }));
    EXPECT_EQ(m.document(), shown);
    EXPECT_EQ(m.result(), made);
    EXPECT_FALSE(m.error().has_value());
    EXPECT_FALSE(m.settings().keepLineBreaks) << "the switch says what the copy shown was made with";
    EXPECT_EQ(panels->alerts, QStringList{"The line breaks couldn’t be changed. | “Gone.txt” couldn’t be opened: "
                                          "there’s no such file. The copy shown is the one made before."});
}

TEST_F(PipelineTest, AnOlderReadWithTheOtherFlagNeverShows)
{
    auto& m = make();
    openAndSettle(file("Poem.txt"));
    auto held = engine->holdRead("Poem.txt", true);
    auto s = m.settings();
    s.keepLineBreaks = true;
    m.setSettings(s); // held
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->reads() == 2; }));
    s.keepLineBreaks = false;
    m.setSettings(s); // finishes first
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->readsDone == 2 && !m.reading() && !m.rendering(); }));
    // The replaced read was cancelled rather than left to finish.
    EXPECT_EQ(engine->readsCancelled, 1);
    held->release();
    QTest::qWait(100);
    EXPECT_EQ(engine->readsDone, 2);
    EXPECT_EQ(m.document()->title, "Poem.txt joined");
    EXPECT_FALSE(m.reading());
}

TEST_F(PipelineTest, OpeningBWhileAIsReadDropsA)
{
    auto& m = make();
    auto holdA = engine->holdRead("A.txt", false);
    auto holdB = engine->holdRead("B.txt", false);
    m.open(file("A.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->reads() == 1; }));
    m.open(file("B.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->readsCancelled == 1; }));
    holdA->release();
    QTest::qWait(50);
    EXPECT_EQ(engine->readsDone, 0);
    EXPECT_FALSE(m.document());
    EXPECT_TRUE(m.reading());
    holdB->release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.preview() != nullptr; }));
    EXPECT_EQ(m.document()->title, "B.txt joined");
    EXPECT_FALSE(m.reading());
    EXPECT_EQ(engine->renders(), 1);
}

TEST_F(PipelineTest, ClosingDropsLateReadsAndRenders)
{
    auto& m = make();
    auto read = engine->holdRead("A.txt", false);
    m.open(file("A.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->reads() == 1; }));
    m.closeDocument();
    // Closing cancels the read: it stops instead of running on.
    ASSERT_TRUE(HangGuard::waitFor([&] { return !m.hasRunningWork(); }, 200));
    EXPECT_EQ(engine->readsCancelled, 1);
    read->release();
    QTest::qWait(50);
    EXPECT_FALSE(m.document());
    EXPECT_FALSE(m.fileURL());
    EXPECT_EQ(engine->renders(), 0);

    auto render = engine->holdRenders();
    m.open(file("B.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->renders() == 1; }));
    m.closeDocument();
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->rendersCancelled == 1; }, 200));
    render->release();
    QTest::qWait(50);
    EXPECT_EQ(engine->rendersDone, 0);
    EXPECT_FALSE(m.result());
    EXPECT_FALSE(m.preview());
    EXPECT_FALSE(m.rendering());
    EXPECT_FALSE(m.reading());
    EXPECT_EQ(m.fileName(), "");
    EXPECT_TRUE(HangGuard::waitFor([&] { return !m.hasRunningWork(); }));
}

TEST_F(PipelineTest, ASettingsChangeDuringARenderDropsItsResult)
{
    auto& m = make();
    auto render = engine->holdRenders();
    m.open(file("A.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->renders() == 1; }));
    auto s = m.settings();
    s.fontSize = 26;
    m.setSettings(s);
    // The running render is cancelled at once; the debounced one starts on
    // the same render thread once it has stopped.
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->rendersCancelled == 1; }, 200));
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->renders() == 2; }));
    QSignalSpy results(&m, &AppModel::resultChanged);
    render->release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->rendersDone == 1 && !m.rendering(); }));
    QTest::qWait(50);
    EXPECT_EQ(results.count(), 1);
    EXPECT_EQ(m.result()->pageCount, 26);
    EXPECT_EQ(engine->maxRendersRunning, 1);
}

TEST_F(PipelineTest, RenderBytesThatAreNotAPdfGiveAResultWithoutPreview)
{
    auto& m = make();
    engine->notPdf = true;
    m.open(file("A.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.result() != nullptr; }));
    EXPECT_FALSE(m.preview());
    EXPECT_FALSE(m.rendering());
}

TEST_F(PipelineTest, ARenderWithNoPdfIsAnErrorUntilARenderMakesOne)
{
    auto& m = make();
    engine->noPdf = true;
    m.open(file("A.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.error().has_value(); }));
    EXPECT_EQ(*m.error(), "The PDF could not be written.");
    EXPECT_FALSE(m.result());
    EXPECT_FALSE(m.preview());
    EXPECT_FALSE(m.rendering());

    engine->noPdf = false;
    auto settings = m.settings();
    settings.fontSize = 20;
    m.setSettings(settings);
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.preview() != nullptr; }));
    EXPECT_FALSE(m.error().has_value());
    EXPECT_EQ(m.result()->pageCount, 20);
}

TEST_F(PipelineTest, ARefusalShownOverAnOpenDocumentStaysThroughItsReRender)
{
    auto& m = make();
    openAndSettle(file("Letter.txt"));
    m.open(file("Photo.png"));
    ASSERT_EQ(m.error(), refusalOfPng);
    const int renders = engine->renders();
    auto settings = m.settings();
    settings.fontSize = 22;
    m.setSettings(settings);
    ASSERT_TRUE(HangGuard::waitFor([&] { return m.result() && m.result()->pageCount == 22 && !m.rendering(); }));
    EXPECT_EQ(engine->renders(), renders + 1);
    EXPECT_EQ(m.error(), refusalOfPng);
}

TEST_F(PipelineTest, ReopeningTheSameFileReadsAgain)
{
    auto& m = make();
    const auto url = file("A.txt");
    openAndSettle(url);
    QSignalSpy urls(&m, &AppModel::fileURLChanged);
    m.open(url);
    EXPECT_EQ(urls.count(), 0);
    ASSERT_TRUE(HangGuard::waitFor([&] { return engine->reads() == 2; }));
}

TEST_F(PipelineTest, SampleNamesAreSortedPlainlyWithoutHiddenFiles)
{
    auto& m = make();
    EXPECT_TRUE(m.sampleNames().isEmpty()); // no folder yet
    std::filesystem::create_directory(path("Samples"));
    for (const char* name : {".h", "apple.txt", "Zebra.md"}) writeFile(path("Samples") / name, "x");
    EXPECT_EQ(m.sampleNames(), QStringList({"Zebra.md", "apple.txt"}));

    m.openSample("apple.txt");
    EXPECT_EQ(m.fileName(), "apple.txt");
    m.openSample("missing.txt");
    m.openSample("../Samples/Zebra.md");
    EXPECT_EQ(m.fileName(), "apple.txt");
}

TEST_F(PipelineTest, ChoosingADocumentOpensWhatThePanelGives)
{
    auto& m = make();
    m.chooseDocument();
    EXPECT_FALSE(m.fileURL());
    ASSERT_EQ(panels->openMessages.size(), 1);
    EXPECT_EQ(panels->openMessages[0], "Choose a text, Markdown, RTF, Word (.docx) or PDF file to make large.");
    panels->openAnswer = file("Chosen.md");
    m.chooseDocument();
    EXPECT_EQ(m.fileName(), "Chosen.md");
}

} // namespace
} // namespace FolmiraAppTest
