#include "FolmiraApp/Views/PdfPagesView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <poppler-qt6.h>

#include <algorithm>
#include <cmath>

namespace FolmiraApp {

PdfPagesView::PdfPagesView(const QString& label, QWidget* parent) : QAbstractScrollArea(parent)
{
    setAccessibleName(label);
    setFrameShape(QFrame::NoFrame);
    // The colour behind the pages, as a reader application shows it.
    viewport()->setBackgroundRole(QPalette::Mid);
    viewport()->setAutoFillBackground(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(24);
}

void PdfPagesView::setDocument(const PdfDocumentPtr& document)
{
    if (document == document_) return;
    const int keep = current_;
    document_ = document;
    cache_.reset(document_);
    sizes_.clear();
    const int count = pageCount(document_);
    sizes_.reserve(count);
    for (int index = 0; index < count; ++index) sizes_.push_back(pageSize(document_, index));
    relayout();
    current_ = 0;
    if (count > 0) goToPage(std::min(keep, std::max(count - 1, 0)));
    viewport()->update();
}

void PdfPagesView::setFacingPages(bool facing)
{
    if (facing == facing_) return;
    facing_ = facing;
    const int keep = current_;
    relayout();
    if (!sizes_.empty()) goToPage(keep);
    viewport()->update();
}

void PdfPagesView::goToPage(int index)
{
    if (strip_.pages.empty()) {
        current_ = 0;
        return;
    }
    index = std::clamp(index, 0, static_cast<int>(strip_.pages.size()) - 1);
    scrollingToPage_ = true;
    verticalScrollBar()->setValue(static_cast<int>(std::floor(strip_.pages[index].top() - PageStrip::gap)));
    scrollingToPage_ = false;
    current_ = index;
    viewport()->update();
}

void PdfPagesView::relayout()
{
    const double width = std::max(1, viewport()->width());
    strip_ = PageStrip::make(sizes_, width, facing_);
    const int height = static_cast<int>(std::ceil(strip_.content.height()));
    const int contentWidth = static_cast<int>(std::ceil(strip_.content.width()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth - viewport()->width()));
}

void PdfPagesView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    const int keep = current_;
    relayout();
    if (!sizes_.empty()) goToPage(keep);
}

void PdfPagesView::scrollContentsBy(int, int)
{
    // The reader scrolled: the page at the top of the view is the current one.
    if (!scrollingToPage_ && !strip_.pages.empty())
        current_ = strip_.pageAt(verticalScrollBar()->value() + PageStrip::gap + 1);
    viewport()->update();
}

QRectF PdfPagesView::visibleRect() const
{
    return QRectF(horizontalScrollBar()->value(), verticalScrollBar()->value(), viewport()->width(),
                  viewport()->height());
}

void PdfPagesView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QRectF visible = visibleRect();
    painter.translate(-visible.topLeft());
    const double ratio = devicePixelRatioF();
    for (int index = 0; index < static_cast<int>(strip_.pages.size()); ++index) {
        const QRectF& page = strip_.pages[index];
        if (page.bottom() < visible.top()) continue;
        if (page.top() > visible.bottom()) break;
        painter.fillRect(page.translated(1, 2), QColor(0, 0, 0, 40)); // a faint shadow parts the pages
        const QImage image = cache_.image(index, static_cast<int>(std::round(page.width() * ratio)), ratio);
        if (image.isNull()) painter.fillRect(page, Qt::white);
        else painter.drawImage(page, image);
    }
}

} // namespace FolmiraApp
