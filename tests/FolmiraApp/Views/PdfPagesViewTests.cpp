// The PDF viewer: where pages go, and which page stays in view.

#include "../Fakes.h"

#include "FolmiraApp/Views/PdfPagesView.h"
#include "FolmiraApp/Views/TextPane.h"

#include <QScrollBar>

namespace FolmiraAppTest {
namespace {

TEST(PageStripTest, OneColumnFitsTheWidth)
{
    const auto strip = PageStrip::make({{612, 792}, {612, 792}}, 636, false);
    EXPECT_DOUBLE_EQ(strip.scale, 1.0);
    ASSERT_EQ(strip.pages.size(), 2u);
    EXPECT_EQ(strip.pages[0], QRectF(12, 12, 612, 792));
    EXPECT_EQ(strip.pages[1], QRectF(12, 12 + 792 + 12, 612, 792));
    EXPECT_DOUBLE_EQ(strip.content.height(), 12 + 2 * (792 + 12));
    EXPECT_EQ(strip.pageAt(0), 0);
    EXPECT_EQ(strip.pageAt(815), 0);
    EXPECT_EQ(strip.pageAt(816), 1);
    EXPECT_EQ(strip.pageAt(1e9), 1);
    EXPECT_EQ(PageStrip::make({}, 500, false).pageAt(10), -1);
}

TEST(PageStripTest, FacingPagesPutTheFirstAloneOnTheRight)
{
    const auto strip = PageStrip::make(std::vector<QSizeF>(4, QSizeF(100, 200)), 236, true);
    EXPECT_DOUBLE_EQ(strip.scale, 1.0);
    const double left = 12, right = 12 + 100 + 12;
    EXPECT_EQ(strip.pages[0].left(), right);
    EXPECT_EQ(strip.pages[1].left(), left);
    EXPECT_EQ(strip.pages[2].left(), right);
    EXPECT_EQ(strip.pages[1].top(), strip.pages[2].top());
    EXPECT_EQ(strip.pages[3].left(), left);
    EXPECT_GT(strip.pages[3].top(), strip.pages[2].top());
    EXPECT_EQ(strip.pageAt(strip.pages[2].top() + 1), 2);
}

class PdfPagesViewTest : public testing::Test {
protected:
    PdfPagesViewTest() : view("Large-print preview")
    {
        view.resize(400, 300);
        view.show();
    }
    PdfPagesView view;
};

TEST_F(PdfPagesViewTest, ANewDocumentKeepsThePageNumberWithinItsPages)
{
    view.setDocument(pdfFromData(letterPdf(6)));
    EXPECT_EQ(view.currentPage(), 0);
    view.goToPage(4);
    EXPECT_EQ(view.currentPage(), 4);
    view.setDocument(pdfFromData(letterPdf(4)));
    EXPECT_EQ(view.currentPage(), 3);
    view.goToPage(1);
    view.setDocument(pdfFromData(letterPdf(10)));
    EXPECT_EQ(view.currentPage(), 1);
    EXPECT_EQ(view.accessibleName(), "Large-print preview");
}

TEST_F(PdfPagesViewTest, TheSameDocumentChangesNothing)
{
    auto document = pdfFromData(letterPdf(6));
    view.setDocument(document);
    view.goToPage(4);
    const int scrolled = view.verticalScrollBar()->value();
    view.setDocument(document);
    EXPECT_EQ(view.currentPage(), 4);
    EXPECT_EQ(view.verticalScrollBar()->value(), scrolled);
}

TEST_F(PdfPagesViewTest, ScrollingMovesTheCurrentPageAndResizingKeepsIt)
{
    view.setDocument(pdfFromData(letterPdf(6)));
    const auto& strip = view.strip();
    view.verticalScrollBar()->setValue(static_cast<int>(strip.pages[2].top()));
    EXPECT_EQ(view.currentPage(), 2);
    view.resize(600, 300);
    EXPECT_EQ(view.currentPage(), 2);
    EXPECT_NEAR(view.verticalScrollBar()->value(), view.strip().pages[2].top() - PageStrip::gap, 1);
}

TEST_F(PdfPagesViewTest, EmptyDocumentsAndNone)
{
    view.setDocument(pdfFromData(letterPdf(3)));
    view.goToPage(2);
    view.setDocument(nullptr);
    EXPECT_EQ(view.currentPage(), 0);
    EXPECT_TRUE(view.strip().pages.empty());
    EXPECT_FALSE(pdfFromData({}));
    EXPECT_FALSE(pdfFromData({'%', 'P', 'D', 'F', '-', '1'}));
}

TEST(TextPaneTest, ReadOnlySelectableAndReplacedOnlyWhenDifferent)
{
    TextPane pane;
    EXPECT_TRUE(pane.isReadOnly());
    EXPECT_TRUE(pane.textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(pane.document()->documentMargin(), 18);
    EXPECT_EQ(pane.accessibleName(), "Original document");

    const StyledText text{StyledText::Format::plain, "Line one\nLine two"};
    pane.setText(text);
    EXPECT_EQ(pane.toPlainText(), "Line one\nLine two");
    EXPECT_EQ(pane.document()->defaultFont().pointSizeF(), 12);
    auto cursor = pane.textCursor();
    cursor.setPosition(0);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    pane.setTextCursor(cursor);
    pane.setText(text);
    EXPECT_EQ(pane.textCursor().selectedText(), "Line");

    pane.setText(StyledText{StyledText::Format::html, "<p><b>Line one</b></p>"});
    EXPECT_EQ(pane.toPlainText(), "Line one");
    EXPECT_FALSE(pane.textCursor().hasSelection());
    EXPECT_EQ(pane.document()->documentMargin(), 18);
}

} // namespace
} // namespace FolmiraAppTest
