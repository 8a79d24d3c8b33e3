#pragma once

// The product's one PDF viewer: the pages one under the other (or facing
// pairs, the first page alone on the right), scaled to the width of the view.
// A new document keeps the reader on the same page number, clamped to its
// last page; the same document object changes nothing.

#include "FolmiraApp/Model/Pdf.h"
#include "FolmiraApp/Views/PageImageCache.h"
#include "FolmiraApp/Views/PageStrip.h"

#include <QAbstractScrollArea>

namespace FolmiraApp {

class PdfPagesView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit PdfPagesView(const QString& label, QWidget* parent = nullptr);

    const PdfDocumentPtr& document() const { return document_; }
    void setDocument(const PdfDocumentPtr& document);

    bool facingPages() const { return facing_; }
    void setFacingPages(bool facing);

    // The page the reader is on (0-based); 0 without pages.
    int currentPage() const { return current_; }
    void goToPage(int index);

    const PageStrip& strip() const { return strip_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void relayout();
    QRectF visibleRect() const;

    PdfDocumentPtr document_;
    bool facing_ = false;
    int current_ = 0;
    bool scrollingToPage_ = false;
    std::vector<QSizeF> sizes_; // points
    PageStrip strip_;
    PageImageCache cache_;
};

} // namespace FolmiraApp
