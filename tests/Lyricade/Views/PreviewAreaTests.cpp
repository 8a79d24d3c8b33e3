// The book preview: facing pages, the page kept across renders, page
// requests, the empty state, booklet sheets and the footer.

#include "DetailFixtures.h"

#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/PreviewArea.h"
#include "Lyricade/Views/PreviewPages.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>

namespace LyricadeTest {
namespace {

class PreviewAreaTest : public DetailViewTest {
protected:
    PreviewArea& area()
    {
        if (!area_) {
            area_ = std::make_unique<PreviewArea>(*model, defaults());
            area_->resize(900, 700);
            area_->show();
        }
        return *area_;
    }
    void TearDown() override
    {
        area_.reset();
        DetailViewTest::TearDown();
    }
    void removeEntries(int keep)
    {
        model->changeLibrary([keep](Library& l) { l.books.front().entries.resize(static_cast<std::size_t>(keep)); });
        clock->advance(AppModel::previewDelay);
    }
    static QStringList items(QComboBox* combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        return texts;
    }
    std::unique_ptr<PreviewArea> area_;
};

TEST_F(PreviewAreaTest, FacingPagesAreOffUntilTurnedOnAndThenPairAfterTheFirstPage)
{
    bookModel(bookLibrary(5));
    auto& a = area();
    EXPECT_FALSE(a.facingToggle()->isChecked());
    EXPECT_FALSE(a.pages()->facingPages());
    const auto document = a.pages()->document();
    ASSERT_TRUE(document);
    a.pages()->goToPage(3);

    a.facingToggle()->click();
    EXPECT_TRUE(defaults()->value("facingPages").toBool());
    EXPECT_TRUE(a.pages()->facingPages());
    EXPECT_EQ(a.pages()->document(), document) << "no new render";
    EXPECT_EQ(a.pages()->currentPage(), 3);
    const auto& pages = a.pages()->strip().pages;
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_LT(pages[0].bottom(), pages[1].top()) << "the first page stands alone";
    EXPECT_GT(pages[0].left(), pages[1].right()) << "on the right";
    EXPECT_EQ(pages[1].top(), pages[2].top());
    EXPECT_LT(pages[1].right(), pages[2].left());

    // The preference outlives the view.
    area_.reset();
    EXPECT_TRUE(area().facingToggle()->isChecked());
    EXPECT_TRUE(area().pages()->facingPages());
}

TEST_F(PreviewAreaTest, ARenderKeepsThePageNumberOrTheLastPage)
{
    bookModel(bookLibrary(9));
    auto& a = area();
    a.pages()->goToPage(6);
    removeEntries(8);
    EXPECT_EQ(a.pages()->currentPage(), 6) << "page 7 of 8";
    removeEntries(4);
    ASSERT_EQ(PdfView::pageCount(a.pages()->document()), 4);
    EXPECT_EQ(a.pages()->currentPage(), 3) << "page 4, the last";

    // Gone to nothing and back: the first page, not the one shown before.
    const auto entries = model->library().books.front().entries;
    removeEntries(0);
    ASSERT_FALSE(model->previewPDF());
    model->changeLibrary([&](Library& l) { l.books.front().entries = entries; });
    clock->advance(AppModel::previewDelay);
    ASSERT_EQ(PdfView::pageCount(a.pages()->document()), 4);
    EXPECT_EQ(a.pages()->currentPage(), 0);
}

TEST_F(PreviewAreaTest, APageRequestOpensTheNextDocumentThereButNeverMovesTheSameOne)
{
    bookModel(bookLibrary(6));
    auto& a = area();
    const auto first = a.pages()->document();
    a.pages()->present(first, false, 4);
    EXPECT_EQ(a.pages()->currentPage(), 0) << "the same document object";

    model->setPreviewPageRequest(4);
    removeEntries(6); // an equal library still renders anew
    EXPECT_NE(a.pages()->document(), first);
    EXPECT_EQ(a.pages()->currentPage(), 4);
    model->setPreviewPageRequest(40);
    removeEntries(6);
    EXPECT_EQ(a.pages()->currentPage(), 5) << "clamped to the last page";
}

TEST_F(PreviewAreaTest, AnEmptyBookShowsNothingToPrintWithTheBarStillThere)
{
    bookModel(bookLibrary(0));
    auto& a = area();
    EXPECT_FALSE(model->previewPDF());
    EXPECT_TRUE(a.emptyState()->isVisible());
    EXPECT_FALSE(a.pages()->isVisible());
    EXPECT_EQ(a.emptyState()->title(), "Nothing to print yet");
    EXPECT_EQ(a.emptyState()->description(), "Add songs to see the pages.");
    EXPECT_TRUE(a.facingToggle()->isVisible());
    EXPECT_FALSE(a.footer()->isVisible()) << "no lines, no padding";
}

TEST_F(PreviewAreaTest, BookletModeShowsSheetsWithTheSheetPickerAndTheInstruction)
{
    const struct {
        PageSize page;
        const char* natural;
    } cases[] = {{PageSize::letter, "Tabloid (no scaling)"},
                 {PageSize::a4, "A3 (no scaling)"},
                 {PageSize::halfLetter, "Letter (no scaling)"},
                 {PageSize::a5, "A4 (no scaling)"}};
    for (const auto& c : cases) {
        area_.reset();
        bookModel(bookLibrary(4, c.page));
        defaults()->setValue("facingPages", true);
        auto& a = area();
        EXPECT_EQ(a.modePicker()->checkedId(), static_cast<int>(PreviewMode::pages));
        EXPECT_FALSE(a.sheetPicker()->isVisible());
        a.modePicker()->button(static_cast<int>(PreviewMode::booklet))->click();
        EXPECT_EQ(model->previewMode(), PreviewMode::booklet);
        settle();
        EXPECT_EQ(items(a.sheetPicker()),
                  QStringList({c.natural, "Letter (pages shrunk to fit)", "A4 (pages shrunk to fit)"}));
        EXPECT_TRUE(a.sheetPicker()->isVisible());
        EXPECT_FALSE(a.facingToggle()->isVisible());
        EXPECT_FALSE(a.pages()->facingPages()) << "sheets show one under another";
        EXPECT_EQ(a.pages()->accessibleName(), "Booklet sheets preview");
        EXPECT_EQ(model->previewPages(), 2) << "four pages on one sheet, two sides";
        ASSERT_FALSE(a.footerLines().isEmpty());
        EXPECT_EQ(a.footerLines().front(), "Print two-sided and flip on the short edge. Stack the sheets in order, "
                                           "fold in half and staple on the fold.");
    }

    // Back to pages: the toggle returns and facing display with it.
    area().modePicker()->button(static_cast<int>(PreviewMode::pages))->click();
    settle();
    EXPECT_TRUE(area().facingToggle()->isVisible());
    EXPECT_TRUE(area().pages()->facingPages());
    EXPECT_EQ(area().pages()->accessibleName(), "Book pages preview");
}

TEST_F(PreviewAreaTest, ChoosingASheetSetsItAndItsWarningJoinsTheFooter)
{
    bookModel(bookLibrary(4));
    model->setPreviewMode(PreviewMode::booklet);
    settle();
    auto& a = area();
    EXPECT_EQ(a.footerLines().size(), 1);
    a.sheetPicker()->setCurrentIndex(1);
    emit a.sheetPicker()->activated(1);
    EXPECT_EQ(model->bookletSheet(), AppModel::Sheet::letter);
    settle();
    ASSERT_EQ(a.footerLines().size(), 2);
    EXPECT_TRUE(a.footerLines()[1].startsWith("Pages are shrunk to ")) << a.footerLines()[1].toStdString();
    EXPECT_EQ(a.sheetPicker()->currentIndex(), 1);
}

TEST_F(PreviewAreaTest, ManyWarningsShowFourLinesAndScrollWhileThePagesKeepHalfTheHeight)
{
    // Every song has a verse longer than a page, so each adds a warning.
    std::string verse = "{start_of_verse}\n";
    for (int i = 0; i < 80; ++i) verse += "[G]Line " + std::to_string(i) + " of a verse that will not end\n";
    verse += "{end_of_verse}\n";
    Library library;
    Songbook book(Uuid::random(), "Long", BookKind::book);
    for (int i = 0; i < 12; ++i) {
        library.songs.push_back(storedSong("Long " + std::to_string(i), verse));
        book.entries.push_back(entryFor(library.songs.back()));
    }
    library.books.push_back(book);
    bookModel(library);
    ASSERT_GE(model->previewWarnings().size(), 12);

    for (const QSize size : {QSize(900, 700), QSize(320, 420)}) {
        auto& a = area();
        a.resize(size);
        QApplication::processEvents();
        LineList* list = a.warningList();
        const int line = QFontMetrics(a.font()).lineSpacing();
        EXPECT_LE(list->height(), PreviewArea::warningLines * line * 1.2) << size.width();
        EXPECT_GT(list->verticalScrollBar()->maximum(), 0) << "the rest scrolls";
        EXPECT_GE(a.pages()->height(), a.height() / 2) << size.width();
        EXPECT_EQ(list->texts(), model->previewWarnings());
    }
}

} // namespace
} // namespace LyricadeTest
