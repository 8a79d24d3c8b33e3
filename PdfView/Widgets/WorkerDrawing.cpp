#include "PdfView/Widgets/WorkerDrawing.h"

#include "Platform/PdfHelper/PdfWorkerTile.h"

#include <chrono>

namespace PdfView {

namespace {

// The tile in a worker's reply; a null image for none, or for pixels of
// another size than were asked for.
QImage imageOf(const Platform::Bytes& reply, QSize asked)
{
    const auto bitmap = Platform::PdfWorkerTile::decode(reply);
    if (!bitmap || QSize(bitmap->width, bitmap->height) != asked) return {};
    QImage image(bitmap->width, bitmap->height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    for (int row = 0; row < bitmap->height; ++row)
        std::copy_n(bitmap->pixels.begin() + static_cast<std::ptrdiff_t>(row) * bitmap->width, bitmap->width,
                    reinterpret_cast<std::uint32_t*>(image.scanLine(row)));
    return image;
}

} // namespace

WorkerDrawing::WorkerDrawing(const OutsidePdf& document, Platform::PdfWorkerLimits limits)
    : pool_(document.input ? Platform::PdfWorkerPool::of(document.input, limits) : nullptr)
{
}

WorkerDrawing::~WorkerDrawing() = default;

QImage WorkerDrawing::draw(const TileRequest& request, const Platform::CancelFlag& stop)
{
    const QRect& area = request.area;
    if (!pool_ || area.isEmpty() || area.width() > Platform::PdfWorkerTile::largestSide ||
        area.height() > Platform::PdfWorkerTile::largestSide)
        return {};
    // A document that keeps much memory open is drawn by as many workers as
    // the budget holds: the others wait their turn.
    auto lease = pool_->take(&stop);
    if (!lease) return {};
    const Platform::PdfWorkerTile::Request tile{request.index, request.dpi / 72.0, area.x(), area.y(), area.width(),
                                                 area.height()};
    const auto reply = lease.worker().request(Platform::PdfWorkerTile::tag, Platform::PdfWorkerTile::encode(tile),
                                       Platform::PdfWorkerTile::largestReply, &stop);
    lease = {};
    switch (reply.status) {
    case Platform::PdfWorker::Status::ok:
        return imageOf(reply.payload, area.size());
    case Platform::PdfWorker::Status::ended:
        throw DrawingOverLimit();
    case Platform::PdfWorker::Status::cancelled:
    case Platform::PdfWorker::Status::unavailable:
        break;
    }
    return {};
}

} // namespace PdfView
