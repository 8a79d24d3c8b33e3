// The preview of books and single songs, booklet sheets and their warnings,
// and the PDFs handed to the host for export and print.

#include "Fakes.h"

#include "Lyricade/SongGlue.h"
#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Render/Renderer.h"

#include <poppler-qt6.h>

#include <iostream>
#include <regex>
#include <sstream>

namespace LyricadeTest {
namespace {

std::string longSection(const std::string& title)
{
    std::string body = "{title: " + title + "}\n{start_of_verse}\n";
    for (int i = 0; i < 90; ++i) body += "[G]Line " + std::to_string(i) + " of a very long verse\n";
    return body + "{end_of_verse}\n";
}

// PDF bytes without the dates Cairo stamps into them.
std::string undated(const Platform::Bytes& pdf)
{
    static const std::regex dates(R"(/(CreationDate|ModDate) \([^)]*\))");
    return std::regex_replace(std::string(pdf.begin(), pdf.end()), dates, "");
}

// Without the dates, and without the file identifier the sheet imposer makes
// afresh for every file it writes.
std::string unstamped(const Platform::Bytes& pdf)
{
    static const std::regex identifier(R"(/ID \[<[0-9a-f]*><[0-9a-f]*>\])");
    return std::regex_replace(undated(pdf), identifier, "");
}

class PreviewTest : public ModelTest {
protected:
    AppModel& bookModel(Library library)
    {
        AppModel& m = make(false, std::move(library));
        m.setSelection(SidebarItem::book(m.library().books.front().id));
        clock->runDue();
        return m;
    }
};

TEST_F(PreviewTest, ABookPreviewsAsPagesAndAsBookletSheets)
{
    struct Case {
        int songs;
        int pages;
        int sheetSides;
    };
    for (const Case& c : {Case{9, 9, 6}, Case{4, 4, 2}, Case{1, 1, 2}}) {
        AppModel& m = bookModel(bookLibrary(c.songs));
        ASSERT_TRUE(m.previewPDF()) << c.songs;
        EXPECT_EQ(m.previewPages(), c.pages);
        EXPECT_EQ(m.previewPDF()->numPages(), c.pages);
        m.setPreviewMode(PreviewMode::booklet);
        clock->runDue();
        EXPECT_EQ(m.previewPages(), c.sheetSides) << c.songs;
        EXPECT_EQ(m.previewPDF()->numPages(), c.sheetSides);
    }
}

TEST_F(PreviewTest, BookletSheetsThatShrinkThePagesSaySo)
{
    using Sheet = AppModel::Sheet;
    struct Case {
        PageSize page;
        Sheet sheet;
        int percent; // 0: no warning
    };
    const Case cases[] = {
        {PageSize::letter, Sheet::letter, 65},   {PageSize::a4, Sheet::letter, 67},
        {PageSize::letter, Sheet::a4, 69},       {PageSize::a4, Sheet::a4, 71},
        {PageSize::halfLetter, Sheet::a4, 97},   {PageSize::a5, Sheet::letter, 94},
        {PageSize::letter, Sheet::natural, 0},   {PageSize::a4, Sheet::natural, 0},
        {PageSize::halfLetter, Sheet::letter, 0}, {PageSize::a5, Sheet::a4, 0},
    };
    for (const Case& c : cases) {
        AppModel& m = bookModel(bookLibrary(1, c.page));
        m.setBookletSheet(c.sheet);
        m.setPreviewMode(PreviewMode::booklet);
        clock->runDue();
        const std::string label = std::string(toString(c.page)) + " on " + std::string(BookletMaker::toString(c.sheet));
        if (c.percent == 0) {
            EXPECT_TRUE(m.previewWarnings().isEmpty()) << label;
        } else {
            ASSERT_EQ(m.previewWarnings().size(), 1) << label;
            EXPECT_EQ(m.previewWarnings().front(),
                      QStringLiteral("Pages are shrunk to %1% to fit two on a sheet.").arg(c.percent))
                << label;
        }
    }
}

TEST_F(PreviewTest, LayoutWarningsAreListedOnceSortedWithTheShrinkLast)
{
    Library library = bookLibrary(0);
    for (const char* title : {"Long", "Alpha", "Long"}) {
        library.songs.push_back(StoredSong{Uuid::random(), longSection(title), std::nullopt, Date{0}});
        library.books.front().entries.push_back(entryFor(library.songs.back()));
    }
    AppModel& m = bookModel(library);
    const QStringList pages = m.previewWarnings();
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(pages[0].startsWith("Alpha: ")) << pages[0].toStdString();
    EXPECT_TRUE(pages[1].startsWith("Long: "));

    m.setBookletSheet(AppModel::Sheet::letter);
    m.setPreviewMode(PreviewMode::booklet);
    clock->runDue();
    ASSERT_EQ(m.previewWarnings().size(), 3);
    EXPECT_EQ(m.previewWarnings().mid(0, 2), pages);
    EXPECT_TRUE(m.previewWarnings()[2].startsWith("Pages are shrunk to "));
}

TEST_F(PreviewTest, TheSelectedSongPreviewsAloneOnlyUnderAllSongs)
{
    Library library = bookLibrary(2);
    library.songs.push_back(StoredSong{Uuid::random(), "[G]No title here\n{unknown_thing}\n", std::nullopt, Date{0}});
    AppModel& m = make(false, library);
    m.setSelectedSongID(library.songs.back().id);
    clock->runDue();
    ASSERT_TRUE(m.previewPDF());
    EXPECT_EQ(m.previewPages(), 1);
    EXPECT_EQ(m.previewWarnings().size(), static_cast<qsizetype>(m.song(library.songs.back().id)->warnings.size()));
    EXPECT_FALSE(m.previewWarnings().isEmpty()) << "the parser's warnings are shown";
    EXPECT_TRUE(m.previewPDF()->page(0)->text(QRectF()).contains("Untitled song"));

    m.setSelection(std::nullopt);
    clock->runDue();
    EXPECT_FALSE(m.previewPDF()) << "a song previews only while All Songs is selected";
    EXPECT_EQ(m.previewPages(), 0);

    m.setSelection(SidebarItem::allSongs());
    m.setSelectedSongID(std::nullopt);
    clock->runDue();
    EXPECT_FALSE(m.previewPDF());

    m.setSelectedSongID(library.songs.front().id);
    m.setSelection(SidebarItem::book(Uuid::random()));
    clock->runDue();
    EXPECT_FALSE(m.previewPDF()) << "a selected book that is gone shows nothing";
}

TEST_F(PreviewTest, EditorTranspositionMovesTheSongButNotABook)
{
    Library library = bookLibrary(1);
    library.songs.front().source = "{title: Shift}\n{key: G}\n[G]Hello\n";
    AppModel& m = make(false, library);
    clock->runDue();
    const QString before = m.previewPDF()->page(0)->text(QRectF());
    m.setEditorTranspose(2);
    EXPECT_EQ(m.previewPDF()->page(0)->text(QRectF()), before) << "not before the delay";
    clock->advance(AppModel::previewDelay);
    EXPECT_NE(m.previewPDF()->page(0)->text(QRectF()), before);
    EXPECT_TRUE(m.previewPDF()->page(0)->text(QRectF()).contains("A"));

    m.setSelection(SidebarItem::book(library.books.front().id));
    clock->runDue();
    const QString book = m.previewPDF()->page(0)->text(QRectF());
    m.setEditorTranspose(-3);
    clock->advance(AppModel::previewDelay);
    EXPECT_EQ(m.previewPDF()->page(0)->text(QRectF()), book);
}

TEST_F(PreviewTest, ExportHandsTheHostTheBookWithItsNameAndMessage)
{
    AppModel& m = bookModel(bookLibrary(4));
    m.exportBook(false);
    m.exportBook(true);
    ASSERT_EQ(recorder.saved.size(), 2u);
    EXPECT_EQ(recorder.saved[0].name, "Camp");
    EXPECT_EQ(recorder.saved[0].message, "A PDF of the whole book, ready to print or share.");
    EXPECT_EQ(PdfView::pdfFromData(recorder.saved[0].pdf)->numPages(), 4);
    EXPECT_EQ(recorder.saved[1].name, "Camp – booklet");
    EXPECT_EQ(recorder.saved[1].message,
              "Print two-sided, flipping on the short edge, then fold the stack in half and staple on the fold.");
    EXPECT_EQ(PdfView::pdfFromData(recorder.saved[1].pdf)->numPages(), 2);
}

TEST_F(PreviewTest, PrintTakesBookletSheetsOnlyForABookShownAsBooklet)
{
    AppModel& m = bookModel(bookLibrary(4));
    m.printBook();
    m.setPreviewMode(PreviewMode::booklet);
    m.printBook();
    m.printBook(false);

    Library library = bookLibrary(1);
    AppModel& song = make(false, library);
    song.setPreviewMode(PreviewMode::booklet);
    song.printBook();

    ASSERT_EQ(recorder.printed.size(), 4u);
    const std::pair<bool, int> expected[] = {{false, 4}, {true, 2}, {false, 4}, {false, 1}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(recorder.printed[i].booklet, expected[i].first) << i;
        EXPECT_EQ(PdfView::pdfFromData(recorder.printed[i].pdf)->numPages(), expected[i].second) << i;
    }
    EXPECT_EQ(recorder.printed[0].title, "Camp");
    EXPECT_EQ(recorder.printed[3].title, "Song 1");
}

TEST_F(PreviewTest, AnEmptyBookIsNotOutput)
{
    Library library = bookLibrary(0);
    library.books.front().name = "Empty";
    library.songs.push_back(storedSong("Elsewhere"));
    AppModel& m = bookModel(library);
    EXPECT_FALSE(m.previewPDF());
    EXPECT_FALSE(m.error()) << "the preview clears without a message";
    m.exportBook(false);
    m.printBook();
    EXPECT_TRUE(recorder.saved.empty());
    EXPECT_TRUE(recorder.printed.empty());
    EXPECT_EQ(m.error(), QStringLiteral("Add some songs to “Empty” first."));
}

TEST_F(PreviewTest, EntriesOfDeletedSongsAreSkipped)
{
    Library library = bookLibrary(3);
    library.songs.erase(library.songs.begin());
    AppModel& m = bookModel(library);
    EXPECT_EQ(m.previewPages(), 2);

    library.songs.clear();
    AppModel& none = bookModel(library);
    EXPECT_FALSE(none.previewPDF());
    EXPECT_FALSE(none.bookPDF(false));
}

TEST_F(PreviewTest, HighContrastPrintsBoldChorusesAndBlackChords)
{
    Library library = bookLibrary(0);
    library.songs.push_back(StoredSong{Uuid::random(),
                                       "{title: Loud}\n{start_of_chorus}\n[G]Sing [C]out\n{end_of_chorus}\n",
                                       std::nullopt, Date{0}});
    library.books.front().entries.push_back(entryFor(library.songs.back()));
    library.books.front().settings.boldChorus = false;
    library.books.front().settings.chordsInColor = true;
    AppModel& m = make(false, library);
    const Songbook book = library.books.front();

    auto direct = [&](const BookSettings& settings) {
        PreparedSong prepared(*m.song(library.songs.back().id), 0, std::nullopt, settings.accidentals, false);
        BookLayout layout = BookLayouter(settings, systemMeasurer(), book.name, book.subtitle).layout({prepared});
        return undated(Renderer::pdf(layout, settings, book.name));
    };
    BookSettings contrast = book.settings;
    contrast.boldChorus = true;
    contrast.chordsInColor = false;

    const std::string plain = undated(*m.renderBook(book, false).pdf);
    EXPECT_EQ(plain, direct(book.settings));
    m.applyStyle(SongStyle{std::nullopt, "Helvetica Neue", true, PageSize::letter});
    const std::string strong = undated(*m.renderBook(book, false).pdf);
    EXPECT_NE(strong, plain);
    EXPECT_EQ(strong, direct(contrast));
}

// A preview still being made when the book changes again never replaces the
// newer one: a job cancelled before it ran brings nothing, and one that
// finished after a newer request is dropped. Until the newer preview is
// ready the last finished document stays, with its own page count.
TEST_F(PreviewTest, AChangeWhileAPreviewIsMadeLeavesTheNewerPreview)
{
    auto gate = std::make_shared<GatedWorker>();
    worker = gate;
    AppModel& m = bookModel(bookLibrary(2));
    auto addSong = [&] {
        m.changeLibrary([](Library& library) {
            library.songs.push_back(storedSong("Added " + std::to_string(library.songs.size())));
            library.books.front().entries.push_back(entryFor(library.songs.back()));
        });
        clock->advance(AppModel::previewDelay);
    };
    auto expectShown = [&](int pages, const char* when) {
        ASSERT_TRUE(m.previewPDF()) << when;
        EXPECT_EQ(m.previewPages(), pages) << when;
        EXPECT_EQ(m.previewPDF()->numPages(), pages) << when;
    };

    gate->runNext();
    gate->deliver(gate->ran - 1);
    expectShown(2, "first preview");
    const PdfView::PdfDocumentPtr first = m.previewPDF();

    addSong(); // three songs: being made…
    EXPECT_TRUE(m.previewRendering());
    addSong(); // …four songs asked for before it ran
    gate->runNext();
    EXPECT_FALSE(gate->results.back()) << "the overtaken job stops before it renders";
    gate->deliver(gate->ran - 1);
    EXPECT_EQ(m.previewPDF(), first) << "the last finished preview stays";

    gate->runNext(); // four songs, finished…
    ASSERT_TRUE(gate->results.back());
    addSong(); // …but five asked for before it reached the main thread
    gate->deliver(gate->ran - 1);
    EXPECT_EQ(m.previewPDF(), first);
    expectShown(2, "an overtaken result is dropped");

    gate->runNext();
    gate->deliver(gate->ran - 1);
    expectShown(5, "the newest");
    EXPECT_FALSE(m.previewRendering());
}

// Blocks kept from the preview make the same PDF as a model that never
// rendered, after an edit that moves pages, contents and index.
TEST_F(PreviewTest, ABookFromKeptBlocksIsTheBookMadeFromNothing)
{
    Library library = bookLibrary(12);
    Songbook& book = library.books.front();
    book.settings.tableOfContents = true;
    book.settings.index = true;
    book.settings.flow = Flow::flowing;
    for (std::size_t i = 0; i < library.songs.size(); ++i)
        library.songs[i].source += "{start_of_chorus}\n[Am]Round and [F]round " + std::to_string(i) + "\n{end_of_chorus}\n";
    AppModel& warm = bookModel(library);
    ASSERT_TRUE(warm.previewPDF());
    warm.updateSource(library.songs[4].id, "{title: A Changed Song}\n[C]Longer now,\n[G]much longer\n[D]than it was\n");
    clock->advance(AppModel::previewDelay);

    AppModel cold(recorder.host(), false, warm.library(), services());
    cold.setSelection(SidebarItem::book(book.id));
    for (bool booklet : {false, true}) {
        auto kept = warm.bookPDF(booklet);
        auto fresh = cold.bookPDF(booklet);
        ASSERT_TRUE(kept && fresh);
        EXPECT_EQ(unstamped(kept->pdf), unstamped(fresh->pdf)) << (booklet ? "booklet" : "pages");
    }
}

// A render that throws something other than a cancellation is a fault: the
// preview says why in its warnings, with no document and no rendering state
// left on, export and print report it, and both go on once the fault is gone.
TEST_F(PreviewTest, ARenderThatThrowsSaysWhyAndEndsTheRendering)
{
    auto failing = std::make_shared<FailingMaker>();
    maker = failing;
    auto gate = std::make_shared<GatedWorker>();
    worker = gate;
    AppModel& m = bookModel(bookLibrary(2));
    gate->runNext();
    gate->deliver(gate->ran - 1);
    ASSERT_TRUE(m.previewPDF());

    const struct {
        std::exception_ptr thrown;
        const char* reason;
    } cases[] = {
        {std::make_exception_ptr(std::runtime_error("The font cache is damaged.")), "The font cache is damaged."},
        {std::make_exception_ptr(std::bad_alloc()), "there is not enough memory."},
        {std::make_exception_ptr(42), "an unexpected error."},
    };
    for (const auto& c : cases) {
        failing->failure = c.thrown;
        m.schedulePreview(true);
        clock->runDue();
        ASSERT_TRUE(m.previewRendering()) << c.reason;
        std::ostringstream said;
        std::streambuf* const stderrBuffer = std::cerr.rdbuf(said.rdbuf());
        gate->runNext();
        std::cerr.rdbuf(stderrBuffer);
        gate->deliver(gate->ran - 1);
        const QString expected = QStringLiteral("The preview could not be made: ") + QString::fromUtf8(c.reason);
        EXPECT_EQ(m.previewWarnings(), QStringList{expected});
        EXPECT_NE(said.str().find(expected.toStdString()), std::string::npos) << said.str();
        EXPECT_FALSE(m.previewRendering()) << c.reason;
        EXPECT_FALSE(m.previewPDF());
        EXPECT_EQ(m.previewPages(), 0);

        m.exportBook(false);
        EXPECT_TRUE(recorder.saved.empty());
        ASSERT_TRUE(m.error());
        EXPECT_EQ(*m.error(), QStringLiteral("The PDF could not be made: ") + QString::fromUtf8(c.reason));
        m.setError(std::nullopt);
    }

    failing->failure = nullptr;
    m.schedulePreview(true);
    clock->runDue();
    gate->runNext();
    gate->deliver(gate->ran - 1);
    EXPECT_TRUE(m.previewPDF());
    EXPECT_TRUE(m.previewWarnings().isEmpty());
    m.exportBook(false);
    EXPECT_EQ(recorder.saved.size(), 1u);
}

} // namespace
} // namespace LyricadeTest
