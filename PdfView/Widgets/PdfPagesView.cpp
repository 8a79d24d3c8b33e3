#include "PdfView/Widgets/PdfPagesView.h"

#include "PdfView/Widgets/LeftOutPage.h"
#include "PdfView/Widgets/PagesAccessible.h"

#include <poppler-qt6.h>

#include <QCoreApplication>
#include <QGestureEvent>
#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPinchGesture>
#include <QPointer>
#include <QThreadPool>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace PdfView {

namespace {

// Whole pixels for a length of the strip. Rounding can leave a fitted strip
// a hair wider than the view: no scroll bar for that.
// A scroll position or length in whole pixels: a strip of a great many pages
// is cut where the scroll bars' range ends.
int clamped(double pixels)
{
    constexpr double most = std::numeric_limits<int>::max() / 2;
    return static_cast<int>(std::clamp(pixels, -most, most));
}

int pixels(double length)
{
    return clamped(std::ceil(length - 0.01));
}

// One thread reads pages' texts from outside: each waits for one of the
// document's workers, which the drawing needs more. It ends with the
// application, once the view's cancelling has stopped what it was reading.
QThreadPool& textReaders()
{
    static QThreadPool* pool = [] {
        auto* threads = new QThreadPool(QCoreApplication::instance());
        threads->setMaxThreadCount(1);
        return threads;
    }();
    return *pool;
}

} // namespace

PdfPagesView::PdfPagesView(const QString& label, QWidget* parent) : QAbstractScrollArea(parent)
{
    // Qt announces a name given, an empty one too.
    installPagesAccessible(); // before the name, which makes the view's interface
    if (!label.isEmpty()) setAccessibleName(label);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    // The colour behind the pages, as a reader application shows it.
    viewport()->setBackgroundRole(QPalette::Mid);
    viewport()->setAutoFillBackground(true);
    // Touch screens pinch through Qt's gestures; touchpads send native ones.
    viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
    viewport()->grabGesture(Qt::PinchGesture);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(24);
    horizontalScrollBar()->setSingleStep(24);
    connect(&renderer_, &PageRenderer::tileReady, this, &PdfPagesView::tileDrawn);
    connect(&renderer_, &PageRenderer::pageOverLimit, viewport(), qOverload<>(&QWidget::update));
}

PdfPagesView::~PdfPagesView()
{
    textsCancel_->cancel();
}

void PdfPagesView::setOutsideTextReader(OutsideTextReader reader)
{
    outsideReader_ = std::move(reader);
}

QString PdfPagesView::pageText(int index)
{
    if (index < 0 || index >= static_cast<int>(sizes_.size()) || leftOut_.count(index)) return {};
    if (const auto known = texts_.find(index); known != texts_.end()) return known->second;
    if (outside_) {
        readOutsideText(index);
        return {};
    }
    if (!document_) return {};
    // Our own copy: a page's text is found in a moment, here.
    const std::unique_ptr<Poppler::Page> page(document_->page(index));
    return texts_[index] = page ? page->text(QRectF()) : QString();
}

void PdfPagesView::readOutsideText(int index)
{
    if (!outside_ || !outsideReader_ || !textsAsked_.insert(index).second) return;
    const OutsidePdfPtr document = outside_;
    const OutsideTextReader reader = outsideReader_;
    const std::shared_ptr<Platform::CancelFlag> cancel = textsCancel_;
    const QPointer<PdfPagesView> view(this);
    textReaders().start([=] {
        if (cancel->cancelled()) return;
        QString text = reader(*document, index, *cancel);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [=, text = std::move(text)] {
                if (view && !cancel->cancelled()) view->texts_[index] = text;
            },
            Qt::QueuedConnection);
    });
}

void PdfPagesView::setDocument(const PdfDocumentPtr& document)
{
    if (document == document_ && !outside_) return;
    std::vector<QSizeF> sizes(static_cast<std::size_t>(pageCount(document)));
    for (std::size_t index = 0; index < sizes.size(); ++index) sizes[index] = pageSize(document, static_cast<int>(index));
    replaceDocument(document != nullptr, std::move(sizes), [&] {
        document_ = document;
        outside_ = nullptr;
        renderer_.setDocument(document_);
    });
}

void PdfPagesView::setOutsideDocument(const OutsidePdfPtr& document)
{
    if (document == outside_ && !document_) return;
    replaceDocument(document != nullptr, document ? document->sizes : std::vector<QSizeF>(), [&] {
        outside_ = document;
        document_ = nullptr;
        renderer_.setOutsideDocument(outside_);
    });
}

void PdfPagesView::replaceDocument(bool any, std::vector<QSizeF> sizes, const std::function<void()>& swap)
{
    int keep = current_;
    const bool sameFile = !anotherFile_ && (document_ || outside_) && any;
    if (anotherFile_ && any) {
        anotherFile_ = false;
        keep = 0;
        zoom_ = 0;
    }
    // A new copy of the same file: its last drawing stays up until the new
    // copy's pages in view have all arrived, rather than a blink of blank paper.
    QPixmap shownBefore = sameFile ? viewport()->grab() : QPixmap();
    swap();
    // The last document's texts, and those on their way, are another's.
    textsCancel_->cancel();
    textsCancel_ = std::make_shared<Platform::CancelFlag>();
    texts_.clear();
    textsAsked_.clear();
    sizes_ = std::move(sizes);
    cache_.reset(sizes_);
    relayout();
    current_ = 0;
    const int count = static_cast<int>(sizes_.size());
    if (count > 0) goToPage(std::min(keep, count - 1));
    // A reader's first question finds the page in view read.
    readOutsideText(current_);
    held_ = std::move(shownBefore);
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

void PdfPagesView::setLeftOutPages(std::set<int> pages)
{
    if (pages == leftOut_) return;
    leftOut_ = std::move(pages);
    // A page now left out may be drawing: stop it; the others are asked for again.
    renderer_.forgetRequests();
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
    verticalScrollBar()->setValue(clamped(std::floor(strip_.pages[index].top() - PageStrip::gap)));
    scrollingToPage_ = false;
    current_ = index;
    readOutsideText(current_);
    viewport()->update();
}

int PdfPagesView::barExtent(const QScrollBar& bar)
{
    // A transient bar is drawn over the pages and takes no room from them.
    if (bar.style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, &bar)) return 0;
    return bar.orientation() == Qt::Vertical ? bar.sizeHint().width() : bar.sizeHint().height();
}

double PdfPagesView::fitWidth() const
{
    // The whole width when the pages fitted to it need no vertical scroll
    // bar, else the width the bar leaves. Both come from the room without
    // bars, never from the viewport's width of the moment: were the fit to
    // follow the bar, a page that needs it only at the wider fit would show
    // and hide it for ever.
    const QSize room = maximumViewportSize();
    const double whole = std::max(1, room.width());
    const int bar = barExtent(*verticalScrollBar());
    if (bar == 0 || sizes_.empty()) return whole;
    const PageStrip wide = PageStrip::make(sizes_, whole, facing_);
    return pixels(wide.content.height()) <= room.height() ? whole : std::max(1.0, whole - bar);
}

double PdfPagesView::fitScale() const
{
    return PageStrip::fitScale(sizes_, fitWidth(), facing_);
}

QPointF PdfPagesView::scrollOffset() const
{
    return {static_cast<double>(horizontalScrollBar()->value()), static_cast<double>(verticalScrollBar()->value())};
}

void PdfPagesView::zoomBy(double factor, QPointF at)
{
    if (sizes_.empty() || !(factor > 0)) return;
    const auto anchor = strip_.anchorAt(scrollOffset() + at);
    const double fit = fitScale();
    const double wanted = std::clamp(strip_.scale * factor, fit, std::max(fit, maxScale));
    // Back at the width (within rounding), the view fits it again on resizing.
    zoom_ = wanted <= fit * 1.001 ? 0 : wanted;
    relayout();
    const QPointF target = strip_.contentPoint(anchor) - at;
    horizontalScrollBar()->setValue(clamped(std::round(target.x())));
    verticalScrollBar()->setValue(clamped(std::round(target.y())));
    viewport()->update();
}

void PdfPagesView::resetZoom()
{
    if (zoom_ == 0) return;
    zoom_ = 0;
    const int keep = current_;
    relayout();
    if (!sizes_.empty()) goToPage(keep);
    viewport()->update();
}

void PdfPagesView::expectAnotherFile()
{
    anotherFile_ = true;
}

void PdfPagesView::relayout()
{
    const double before = strip_.scale;
    const double scale = std::max(zoom_, fitScale());
    // The bars the pages at this scale need, and so the viewport they will
    // have once Qt has shown or hidden them: the strip is laid out for that
    // viewport at once, and the bars' ranges agree with it.
    const QSize room = maximumViewportSize();
    const PageStrip natural = PageStrip::place(sizes_, 0, facing_, scale);
    const int across = pixels(natural.content.width()), down = pixels(natural.content.height());
    const int acrossBar = barExtent(*horizontalScrollBar()), downBar = barExtent(*verticalScrollBar());
    bool sideways = across > room.width();
    const bool upright = down > room.height() - (sideways ? acrossBar : 0);
    if (upright) sideways = across > room.width() - downBar;
    const QSize view(std::max(1, room.width() - (upright ? downBar : 0)),
                     std::max(1, room.height() - (sideways ? acrossBar : 0)));

    strip_ = PageStrip::place(sizes_, view.width(), facing_, scale);
    held_ = QPixmap(); // it no longer matches what the view shows
    // Tiles asked for at the old scale would come too late to be of use.
    if (strip_.scale != before) renderer_.forgetRequests();
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setRange(0, std::max(0, pixels(strip_.content.height()) - view.height()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setRange(0, std::max(0, pixels(strip_.content.width()) - view.width()));
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
    if (!scrollingToPage_) held_ = QPixmap();
    readOutsideText(current_);
    viewport()->update();
}

void PdfPagesView::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const int delta = event->angleDelta().y();
    if (delta != 0) zoomBy(std::pow(wheelStep, delta / 120.0), event->position());
    event->accept();
}

bool PdfPagesView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            zoomBy(1 + gesture->value(), gesture->position());
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::Gesture) {
        auto* gestures = static_cast<QGestureEvent*>(event);
        if (auto* pinch = static_cast<QPinchGesture*>(gestures->gesture(Qt::PinchGesture))) {
            if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged)
                zoomBy(pinch->scaleFactor(), viewport()->mapFromGlobal(pinch->centerPoint()));
            gestures->accept(pinch);
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

QPointF PdfPagesView::keyboardAnchor() const
{
    const double middle = viewport()->height() / 2.0;
    double left = 0;
    const int page = strip_.pageAt(verticalScrollBar()->value() + middle);
    if (page >= 0) left = strip_.pages[page].left() - horizontalScrollBar()->value();
    return {std::clamp(left, 0.0, static_cast<double>(viewport()->width())), middle};
}

void PdfPagesView::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    // As the desktop's document viewers: no Ctrl here, which belongs to the text size.
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && !sizes_.empty()) {
        if (key == Qt::Key_Plus || key == Qt::Key_Equal || key == Qt::Key_Minus) {
            zoomBy(key == Qt::Key_Minus ? 1 / wheelStep : wheelStep, keyboardAnchor());
            event->accept();
            return;
        }
        if (key == Qt::Key_0) {
            resetZoom();
            event->accept();
            return;
        }
    }
    if ((key == Qt::Key_Home || key == Qt::Key_End) && !strip_.pages.empty()) {
        goToPage(key == Qt::Key_Home ? 0 : static_cast<int>(strip_.pages.size()) - 1);
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void PdfPagesView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void PdfPagesView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void PdfPagesView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QRectF visible(scrollOffset(), QSizeF(viewport()->size()));
    const double ratio = devicePixelRatioF();
    int waiting = 0;
    int first = -1, last = -1;
    for (int index = 0; index < static_cast<int>(strip_.pages.size()); ++index) {
        const QRectF& page = strip_.pages[index];
        if (page.bottom() < visible.top() || page.right() < visible.left() || page.left() > visible.right()) continue;
        if (page.top() > visible.bottom()) break;
        if (first < 0) first = index;
        last = index;
        waiting += paintPage(painter, index, ratio);
    }
    // A page scrolled out of view is no longer drawn for.
    renderer_.forgetPagesOutside(first, last);
    if (waiting == 0) held_ = QPixmap();
    if (!held_.isNull()) painter.drawPixmap(0, 0, held_);
    if (hasFocus()) {
        // The application's style draws the ring, in a colour that stands out on the background.
        QStyleOptionFocusRect ring;
        ring.initFrom(this);
        ring.rect = viewport()->rect();
        ring.backgroundColor = viewport()->palette().color(viewport()->backgroundRole());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &ring, &painter, this);
    }
}

int PdfPagesView::paintPage(QPainter& painter, int index, double ratio)
{
    // The page's corner on a whole device pixel, so tiles meet without seams
    // and are drawn pixel for pixel.
    const QPointF corner = strip_.pages[index].topLeft() - scrollOffset();
    const QPointF origin(std::round(corner.x() * ratio) / ratio, std::round(corner.y() * ratio) / ratio);
    const int pixelWidth = static_cast<int>(std::lround(strip_.pages[index].width() * ratio));
    const QSize pixels = cache_.pagePixels(index, pixelWidth);
    const QRectF page(origin, QSizeF(pixels) / ratio);
    painter.fillRect(page.translated(1, 2), QColor(0, 0, 0, 40)); // a faint shadow parts the pages
    const QRectF shown = QRectF(QPointF(), QSizeF(viewport()->size())).intersected(page);
    if (leftOut_.count(index) || renderer_.isOverLimit(index)) {
        paintLeftOutPage(painter, page, shown, index + 1, palette(), font());
        return 0;
    }
    painter.fillRect(page, Qt::white);

    // The tiles that cross the viewport, in device pixels from the corner.
    if (shown.isEmpty()) return 0;
    const QRectF inPage((shown.topLeft() - origin) * ratio, shown.size() * ratio);
    const int tile = PageImageCache::tileSize;
    const int firstColumn = static_cast<int>(inPage.left()) / tile;
    const int lastColumn = static_cast<int>(std::ceil(inPage.right()) - 1) / tile;
    const int firstRow = static_cast<int>(inPage.top()) / tile;
    const int lastRow = static_cast<int>(std::ceil(inPage.bottom()) - 1) / tile;
    int waiting = 0;
    for (int row = firstRow; row <= lastRow; ++row)
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const QPoint at(column, row);
            const QImage image = cache_.find(index, pixelWidth, at, ratio);
            if (!image.isNull()) {
                painter.drawImage(origin + QPointF(column * tile, row * tile) / ratio, image);
                continue;
            }
            // Blank paper until the drawing arrives.
            const QRect area = cache_.tileArea(index, pixelWidth, at);
            if (area.isEmpty()) continue;
            const TileRequest request{index, pixelWidth, at, area, cache_.dotsPerInch(index, pixelWidth)};
            renderer_.request(request);
            waiting += renderer_.isWaiting(request) ? 1 : 0;
        }
    return waiting;
}

void PdfPagesView::tileDrawn(const TileRequest& request, const QImage& image)
{
    if (image.isNull()) return;
    cache_.insert(request.index, request.pixelWidth, request.tile, image);
    viewport()->update();
}

} // namespace PdfView
