#pragma once

// The product's one PDF viewer: the pages one under the other (or facing
// pairs, the first page alone on the right), scaled to the width of the view
// (less a vertical scroll bar's, unless they fit the view's height at the
// whole width), so showing the bar never changes the fit.
// A new document keeps the reader on the same page number, clamped to its
// last page, unless it is another file (expectAnotherFile): that one opens
// at its first page, fitted to the width. The same document object changes
// nothing. Pages are drawn off the main thread (PageRenderer): a page shows
// blank until its drawing arrives (a new copy of the same file shows the
// last copy's drawing meanwhile), and the window never waits for one. The
// user's own file (setOutsideDocument) is never parsed here: it is laid out
// from the page sizes a worker told, and drawn in workers.
//
// Ctrl + wheel and a pinch zoom between fit-to-width and 400 %, keeping the
// spot under the pointer in place; the zoom stays when a new copy of the same
// file replaces the document, until resetZoom(). From the keyboard, "+" (or
// "=") zooms in and "-" out, keeping the left edge of the text in view, and
// "0" fits the width again. Home and End go to the first and last page;
// Page Up/Down and the arrows scroll. The focus shows as a ring inside the
// view.
//
// A page left out (setLeftOutPages), or whose drawing went past its limits,
// is not drawn: it keeps its size and shows the note saying so, in the
// palette's colours.
//
// To a screen reader the view is a document whose text is the page in view
// (PagesAccessible.h): our own copy's from Poppler, the file from outside's
// as the given reader tells it, read off the main thread as the page comes
// into view.

#include "PdfView/OutsidePdf.h"
#include "PdfView/Pdf.h"
#include "PdfView/Widgets/PageImageCache.h"
#include "PdfView/Widgets/PageRenderer.h"
#include "PdfView/Widgets/PageStrip.h"

#include <QAbstractScrollArea>
#include <QPixmap>

#include <functional>
#include <map>
#include <memory>
#include <set>

class QScrollBar;

namespace PdfView {

class PdfPagesView : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr double maxScale = 4.0;  // pixels per point: 400 %
    static constexpr double wheelStep = 1.25; // zoom per wheel notch

    explicit PdfPagesView(const QString& label, QWidget* parent = nullptr);
    ~PdfPagesView() override;

    // Our own document (the large-print copy), drawn with Poppler here.
    const PdfDocumentPtr& document() const { return document_; }
    void setDocument(const PdfDocumentPtr& document);
    // A document from outside (the user's file): laid out from the sizes a
    // worker told and drawn in worker processes. Either document replaces
    // the other.
    const OutsidePdfPtr& outsideDocument() const { return outside_; }
    void setOutsideDocument(const OutsidePdfPtr& document);

    bool facingPages() const { return facing_; }
    void setFacingPages(bool facing);

    // The pages (0-based) shown as left out rather than drawn, whatever the
    // document; drawings of them under way are stopped.
    const std::set<int>& leftOutPages() const { return leftOut_; }
    void setLeftOutPages(std::set<int> pages);

    // The page the reader is on (0-based); 0 without pages.
    int currentPage() const { return current_; }
    void goToPage(int index);

    // Pixels per point now; fit-to-width until the reader zooms.
    double scale() const { return strip_.scale; }
    bool fitsWidth() const { return zoom_ == 0; }
    // Multiplies the scale by `factor` within its bounds, keeping the spot at
    // `at` (viewport coordinates) where it is.
    void zoomBy(double factor, QPointF at);
    // Back to fit-to-width, as for a newly opened file.
    void resetZoom();
    // The next document shown is another file, not a new copy of this one:
    // it opens at its first page, fitted to the width.
    void expectAnotherFile();

    // How a page's text of a document from outside is read, on a thread of
    // its own (waiting for the document's workers); empty when it can't be.
    using OutsideTextReader =
        std::function<QString(const OutsidePdf& document, int index, const Platform::CancelFlag& cancel)>;
    void setOutsideTextReader(OutsideTextReader reader);
    // The text of page `index` as a screen reader gets it; empty for a page
    // the document lacks, one left out, and a page from outside until its
    // reader has told it (asked for now, when it is not yet).
    QString pageText(int index);

    const PageStrip& strip() const { return strip_; }
    const PageImageCache& cache() const { return cache_; }
    PageRenderer& renderer() { return renderer_; }

protected:
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Shows the document that `swap` puts in place, with pages of `sizes`;
    // `any` when it is a document and not none.
    void replaceDocument(bool any, std::vector<QSizeF> sizes, const std::function<void()>& swap);
    void relayout();
    // The width the pages fit when not zoomed (pixels), and their scale there.
    double fitWidth() const;
    double fitScale() const;
    // The room a scroll bar takes from the viewport.
    static int barExtent(const QScrollBar& bar);
    // Where a zoom from the keyboard holds still: the left edge of the page in
    // view (or of the view, when scrolled past it), half way down.
    QPointF keyboardAnchor() const;
    QPointF scrollOffset() const;
    // Paints a page with the tiles drawn so far and asks for the others;
    // gives the number still on their way.
    int paintPage(QPainter& painter, int index, double ratio);
    void tileDrawn(const TileRequest& request, const QImage& image);
    // Has the outside reader read page `index`, unless it was asked already.
    void readOutsideText(int index);

    PdfDocumentPtr document_;
    OutsidePdfPtr outside_;
    bool facing_ = false;
    int current_ = 0;
    bool scrollingToPage_ = false;
    double zoom_ = 0; // pixels per point chosen by the reader; 0 fits the width
    bool anotherFile_ = false; // the next document starts at its first page
    std::vector<QSizeF> sizes_; // points
    PageStrip strip_;
    PageImageCache cache_;
    PageRenderer renderer_;
    QPixmap held_; // the last copy's drawing, shown until the new one's tiles arrive
    std::set<int> leftOut_;
    OutsideTextReader outsideReader_;
    std::map<int, QString> texts_; // of this document's pages read so far
    std::set<int> textsAsked_;     // of the outside document's, read or on their way
    // Set when the document whose texts are on their way is replaced.
    std::shared_ptr<Platform::CancelFlag> textsCancel_ = std::make_shared<Platform::CancelFlag>();
};

} // namespace PdfView
