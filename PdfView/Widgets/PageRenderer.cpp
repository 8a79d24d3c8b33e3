#include "PdfView/Widgets/PageRenderer.h"

#include "PdfView/Drawing.h"
#include "PdfView/Widgets/WorkerDrawing.h"

#include <QThreadPool>
#include <QVariant>

#include <poppler-qt6.h>

#include <mutex>
#include <vector>

namespace PdfView {

namespace {

bool shouldStop(const QVariant& payload)
{
    return drawingStopped() || reinterpret_cast<const Platform::CancelFlag*>(payload.value<quintptr>())->cancelled();
}

QImage popplerDraw(Poppler::Document& document, const TileRequest& request, const Platform::CancelFlag& stop)
{
    const auto page = document.page(request.index);
    if (!page) return {};
    const QRect& area = request.area;
    return page->renderToImage(request.dpi, request.dpi, area.x(), area.y(), area.width(), area.height(),
                               Poppler::Page::Rotate0, nullptr, nullptr, shouldStop,
                               QVariant::fromValue(reinterpret_cast<quintptr>(&stop)));
}

// Drawing with Poppler on the calling thread, from copies of one document that
// no other thread is drawing with.
class CopiesDrawing final : public TileDrawing {
public:
    CopiesDrawing(std::shared_ptr<const PdfSource> source, PageRenderer::Draw draw)
        : source_(std::move(source)), draw_(std::move(draw))
    {
    }

    QImage draw(const TileRequest& request, const Platform::CancelFlag& stop) override
    {
        auto document = take();
        if (!document) return {};
        QImage image;
        try {
            image = draw_(*document, request, stop);
        } catch (...) {
            giveBack(std::move(document));
            throw;
        }
        giveBack(std::move(document));
        return image;
    }

private:
    // One no other worker uses: an idle one, else a new one (null when the
    // source no longer opens).
    PdfCopy take()
    {
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                auto copy = std::move(idle_.back());
                idle_.pop_back();
                return copy;
            }
        }
        return openCopy(*source_);
    }

    void giveBack(PdfCopy copy)
    {
        std::lock_guard lock(mutex_);
        idle_.push_back(std::move(copy));
    }

    std::shared_ptr<const PdfSource> source_;
    PageRenderer::Draw draw_;
    std::mutex mutex_;
    std::vector<PdfCopy> idle_; // at most one a worker
};

} // namespace

// What the workers hold of the renderer: it may be gone when a tile is done.
struct PageRenderer::Channel {
    std::mutex mutex;
    PageRenderer* owner = nullptr;
};

PageRenderer::PageRenderer(QObject* parent)
    : QObject(parent), channel_(std::make_shared<Channel>()), draw_(popplerDraw)
{
    channel_->owner = this;
}

PageRenderer::~PageRenderer()
{
    forgetRequests();
    // Once this returns no worker posts to this object any more; what was
    // posted before goes with the object.
    std::lock_guard lock(channel_->mutex);
    channel_->owner = nullptr;
}

void PageRenderer::startOver()
{
    forgetRequests();
    failed_.clear();
    overLimit_.clear();
    drawing_ = nullptr;
    inWorkers_ = false;
}

void PageRenderer::setDocument(const PdfDocumentPtr& document)
{
    startOver();
    if (auto source = sourceOf(document)) drawing_ = std::make_shared<CopiesDrawing>(std::move(source), draw_);
}

void PageRenderer::setOutsideDocument(const OutsidePdfPtr& document)
{
    startOver();
    if (!document || !document->input) return;
    drawing_ = std::make_shared<WorkerDrawing>(*document, workerLimits_);
    inWorkers_ = true;
}

void PageRenderer::forgetRequests()
{
    for (const auto& [key, stop] : waiting_) stop->cancel();
    waiting_.clear();
}

void PageRenderer::forgetPagesOutside(int first, int last)
{
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        const int index = std::get<0>(it->first);
        if (index >= first && index <= last) {
            ++it;
            continue;
        }
        it->second->cancel();
        it = waiting_.erase(it);
    }
}

void PageRenderer::setDraw(Draw draw)
{
    draw_ = std::move(draw);
}

bool PageRenderer::request(const TileRequest& request)
{
    if (!drawing_ || waiting_.count(request.key()) || failed_.count(request.key()) || isOverLimit(request.index))
        return false;
    auto stop = std::make_shared<Platform::CancelFlag>();
    waiting_.emplace(request.key(), stop);
    stopWithDrawing(stop);
    QThreadPool& threads = inWorkers_ ? processDrawingWorkers() : drawingWorkers();
    threads.start([channel = channel_, stop, drawing = drawing_, request] {
        if (stop->cancelled() || drawingStopped()) return; // forgotten while queued
        QImage image;
        bool overLimit = false;
        try {
            image = drawing->draw(request, *stop);
        } catch (const DrawingOverLimit&) {
            overLimit = true;
        } catch (...) {
            // A page that cannot be drawn stays blank: the null image says so.
        }
        if (stop->cancelled()) return;
        std::lock_guard lock(channel->mutex);
        if (!channel->owner) return;
        QMetaObject::invokeMethod(
            channel->owner,
            [owner = channel->owner, stop, request, image, overLimit] {
                // Forgotten after it was sent: the view has moved on.
                if (!stop->cancelled()) owner->deliver(request, image, overLimit);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void PageRenderer::deliver(const TileRequest& request, const QImage& image, bool overLimit)
{
    waiting_.erase(request.key());
    if (overLimit && overLimit_.insert(request.index).second) emit pageOverLimit(request.index);
    if (image.isNull()) failed_.insert(request.key());
    emit tileReady(request, image);
}

} // namespace PdfView
