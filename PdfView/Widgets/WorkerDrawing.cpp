#include "PdfView/Widgets/WorkerDrawing.h"

#include "Platform/PdfWorkerTile.h"

#include <fstream>
#include <iterator>

namespace PdfView {

namespace {

Platform::Bytes bytesOf(const PdfSource& source)
{
    if (!source.bytes.isEmpty()) return {source.bytes.begin(), source.bytes.end()};
    std::ifstream file(source.file, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

QImage imageOf(const Platform::Bitmap& bitmap)
{
    QImage image(bitmap.width, bitmap.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    for (int row = 0; row < bitmap.height; ++row)
        std::copy_n(bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(row) * bitmap.width, bitmap.width,
                    reinterpret_cast<std::uint32_t*>(image.scanLine(row)));
    return image;
}

} // namespace

WorkerDrawing::WorkerDrawing(std::shared_ptr<const PdfSource> source, Platform::PdfWorkerLimits limits,
                             std::shared_ptr<TileDrawing> fallback)
    : source_(std::move(source)), limits_(limits), fallback_(std::move(fallback))
{
}

WorkerDrawing::~WorkerDrawing() = default; // each worker is ended and reaped with its object

QImage WorkerDrawing::draw(const TileRequest& request, const Platform::CancelFlag& stop)
{
    if (!input()) return fallback_ ? fallback_->draw(request, stop) : QImage();
    Worker worker = take();
    const Platform::PdfWorkerTile::Request tile{request.index, request.dpi / 72.0, request.area.x(),
                                                 request.area.y(), request.area.width(), request.area.height()};
    const auto reply = worker->request(Platform::PdfWorkerTile::tag, Platform::PdfWorkerTile::encode(tile),
                                       Platform::PdfWorkerTile::largestReply, &stop);
    giveBack(std::move(worker));
    switch (reply.status) {
    case Platform::PdfWorker::Status::ok: {
        const auto bitmap = Platform::PdfWorkerTile::decode(reply.payload);
        return bitmap ? imageOf(*bitmap) : QImage();
    }
    case Platform::PdfWorker::Status::ended:
        throw DrawingOverLimit();
    case Platform::PdfWorker::Status::cancelled:
        return {};
    case Platform::PdfWorker::Status::unavailable:
        break;
    }
    return fallback_ ? fallback_->draw(request, stop) : QImage();
}

WorkerDrawing::Worker WorkerDrawing::take()
{
    auto bytes = input();
    std::lock_guard lock(mutex_);
    if (idle_.empty()) return std::make_unique<Platform::PdfWorker>(std::move(bytes), limits_);
    Worker worker = std::move(idle_.back());
    idle_.pop_back();
    return worker;
}

void WorkerDrawing::giveBack(Worker worker)
{
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(worker));
}

std::shared_ptr<const Platform::PdfWorkerInput> WorkerDrawing::input()
{
    // Read once, on the first tile's thread: a large file is not read on the
    // main thread, nor once per worker.
    std::lock_guard lock(mutex_);
    if (!input_ && !noInput_) {
        try {
            input_ = std::make_shared<const Platform::PdfWorkerInput>(bytesOf(*source_));
        } catch (const std::exception&) {
            noInput_ = true;
        }
    }
    return input_;
}

} // namespace PdfView
