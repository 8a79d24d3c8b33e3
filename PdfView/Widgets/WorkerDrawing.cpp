#include "PdfView/Widgets/WorkerDrawing.h"

#include "Platform/PdfWorkerTile.h"

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
    : input_(document.input), limits_(limits)
{
    if (Worker opened = document.takeOpenedWorker(limits)) {
        // It has opened the document: how many more the budget holds is known.
        fitting_ = opened->workersLikeThisFitting(fitting_);
        opened_ = true;
        made_ = 1;
        idle_.push_back(std::move(opened));
    }
}

WorkerDrawing::~WorkerDrawing() = default; // each worker is ended and reaped with its object

QImage WorkerDrawing::draw(const TileRequest& request, const Platform::CancelFlag& stop)
{
    const QRect& area = request.area;
    if (!input_ || area.isEmpty() || area.width() > Platform::PdfWorkerTile::largestSide ||
        area.height() > Platform::PdfWorkerTile::largestSide)
        return {};
    Worker worker = take(stop);
    const Platform::PdfWorkerTile::Request tile{request.index, request.dpi / 72.0, area.x(), area.y(), area.width(),
                                                 area.height()};
    const auto reply = worker->request(Platform::PdfWorkerTile::tag, Platform::PdfWorkerTile::encode(tile),
                                       Platform::PdfWorkerTile::largestReply, &stop);
    giveBack(std::move(worker));
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

WorkerDrawing::Worker WorkerDrawing::take(const Platform::CancelFlag& stop)
{
    std::unique_lock lock(mutex_);
    // A document that takes each worker much memory to keep open is drawn
    // by as many workers as the budget holds: the others wait their turn, and
    // until the first worker has opened it, how many that is is not known.
    while (idle_.empty() && made_ >= (opened_ ? fitting_ : 1) && !stop.cancelled())
        givenBack_.wait_for(lock, std::chrono::milliseconds(10));
    if (idle_.empty()) { // a worker that is never started when `stop` is set
        ++made_;
        return std::make_unique<Platform::PdfWorker>(input_, limits_);
    }
    Worker worker = std::move(idle_.back());
    idle_.pop_back();
    return worker;
}

void WorkerDrawing::giveBack(Worker worker)
{
    std::lock_guard lock(mutex_);
    fitting_ = std::min(fitting_, worker->workersLikeThisFitting(fitting_));
    opened_ = true;
    idle_.push_back(std::move(worker));
    givenBack_.notify_one();
}

} // namespace PdfView
