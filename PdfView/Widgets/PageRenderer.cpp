#include "PdfView/Widgets/PageRenderer.h"

#include "PdfView/Drawing.h"

#include <QThreadPool>
#include <QVariant>

#include <poppler-qt6.h>

#include <mutex>
#include <vector>

namespace PdfView {

namespace {

bool shouldStop(const QVariant& payload)
{
    return drawingStopped() || reinterpret_cast<const std::atomic<bool>*>(payload.value<quintptr>())->load();
}

QImage popplerDraw(Poppler::Document& document, const TileRequest& request, const std::atomic<bool>& stop)
{
    const auto page = document.page(request.index);
    if (!page) return {};
    const QRect& area = request.area;
    return page->renderToImage(request.dpi, request.dpi, area.x(), area.y(), area.width(), area.height(),
                               Poppler::Page::Rotate0, nullptr, nullptr, shouldStop,
                               QVariant::fromValue(reinterpret_cast<quintptr>(&stop)));
}

} // namespace

// The copies of one document that no worker is drawing with.
class PageRenderer::Copies {
public:
    explicit Copies(std::shared_ptr<const PdfSource> source) : source_(std::move(source)) {}

    // One no other worker uses: an idle one, else a new one (null when the
    // source no longer opens).
    std::unique_ptr<Poppler::Document> take()
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

    void giveBack(std::unique_ptr<Poppler::Document> copy)
    {
        if (!copy) return;
        std::lock_guard lock(mutex_);
        idle_.push_back(std::move(copy));
    }

private:
    std::shared_ptr<const PdfSource> source_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Poppler::Document>> idle_; // at most one a worker
};

// What the workers hold of the renderer: it may be gone when a tile is done.
struct PageRenderer::Channel {
    std::mutex mutex;
    PageRenderer* owner = nullptr;
};

PageRenderer::PageRenderer(QObject* parent)
    : QObject(parent), channel_(std::make_shared<Channel>()), stop_(std::make_shared<std::atomic<bool>>(false)),
      draw_(popplerDraw)
{
    channel_->owner = this;
}

PageRenderer::~PageRenderer()
{
    stop_->store(true);
    // Once this returns no worker posts to this object any more; what was
    // posted before goes with the object.
    std::lock_guard lock(channel_->mutex);
    channel_->owner = nullptr;
}

void PageRenderer::setDocument(const PdfDocumentPtr& document)
{
    forgetRequests();
    failed_.clear();
    overLimit_.clear();
    auto source = sourceOf(document);
    copies_ = source ? std::make_shared<Copies>(std::move(source)) : nullptr;
}

void PageRenderer::forgetRequests()
{
    stop_->store(true);
    stop_ = std::make_shared<std::atomic<bool>>(false);
    waiting_.clear();
}

void PageRenderer::setDraw(Draw draw)
{
    draw_ = std::move(draw);
}

bool PageRenderer::request(const TileRequest& request)
{
    if (!copies_ || waiting_.count(request.key()) || failed_.count(request.key()) || isOverLimit(request.index))
        return false;
    waiting_.insert(request.key());
    drawingWorkers().start([channel = channel_, stop = stop_, copies = copies_, draw = draw_, request] {
        if (stop->load() || drawingStopped()) return; // forgotten while queued
        QImage image;
        bool overLimit = false;
        auto document = copies->take();
        try {
            if (document) image = draw(*document, request, *stop);
        } catch (const DrawingOverLimit&) {
            overLimit = true;
        } catch (...) {
            // A page that cannot be drawn stays blank: the null image says so.
        }
        copies->giveBack(std::move(document));
        if (stop->load()) return;
        std::lock_guard lock(channel->mutex);
        if (!channel->owner) return;
        QMetaObject::invokeMethod(
            channel->owner,
            [owner = channel->owner, stop, request, image, overLimit] {
                // Forgotten after it was sent: the view has moved on.
                if (!stop->load()) owner->deliver(request, image, overLimit);
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
