#include "PdfView/Widgets/PageRenderer.h"

#include "PdfView/Drawing.h"

#include <QThreadPool>
#include <QVariant>

#include <poppler-qt6.h>

#include <mutex>

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

// The calling worker's own copy of the document `source` stands for, opened
// on its first tile and kept while the tiles are of the same document.
Poppler::Document* workerCopy(const std::shared_ptr<const PdfSource>& source)
{
    struct Copy {
        std::weak_ptr<const PdfSource> source;
        std::unique_ptr<Poppler::Document> document;
    };
    thread_local Copy copy;
    const bool same = !copy.source.expired() && !copy.source.owner_before(source) && !source.owner_before(copy.source);
    if (!same) {
        copy.document.reset();
        copy.document = openCopy(*source);
        copy.source = source;
    }
    return copy.document.get();
}

} // namespace

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
    source_ = sourceOf(document);
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
    if (!source_ || waiting_.count(request.key()) || failed_.count(request.key())) return false;
    waiting_.insert(request.key());
    drawingWorkers().start([channel = channel_, stop = stop_, source = source_, draw = draw_, request] {
        if (stop->load() || drawingStopped()) return; // forgotten while queued
        QImage image;
        try {
            if (auto* document = workerCopy(source)) image = draw(*document, request, *stop);
        } catch (...) {
            // A page that cannot be drawn stays blank: the null image says so.
        }
        if (stop->load()) return;
        std::lock_guard lock(channel->mutex);
        if (!channel->owner) return;
        QMetaObject::invokeMethod(
            channel->owner,
            [owner = channel->owner, stop, request, image] {
                // Forgotten after it was sent: the view has moved on.
                if (!stop->load()) owner->deliver(request, image);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void PageRenderer::deliver(const TileRequest& request, const QImage& image)
{
    waiting_.erase(request.key());
    if (image.isNull()) failed_.insert(request.key());
    emit tileReady(request, image);
}

} // namespace PdfView
