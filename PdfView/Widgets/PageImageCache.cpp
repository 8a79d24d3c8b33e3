#include "PdfView/Widgets/PageImageCache.h"

#include <algorithm>
#include <cmath>

namespace PdfView {

void PageImageCache::reset(std::vector<QSizeF> sizes)
{
    sizes_ = std::move(sizes);
    entries_.clear();
    bytes_ = 0;
}

QSizeF PageImageCache::pageSize(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < sizes_.size() ? sizes_[static_cast<std::size_t>(index)]
                                                                           : QSizeF();
}

QSize PageImageCache::pagePixels(int index, int pixelWidth) const
{
    const QSizeF points = pageSize(index);
    if (points.isEmpty() || pixelWidth <= 0) return {};
    // A page far taller than wide is cut where pixel counts would overflow.
    const double height = std::clamp(points.height() * pixelWidth / points.width(), 1.0, double{1 << 30});
    return {pixelWidth, static_cast<int>(std::lround(height))};
}

QRect PageImageCache::tileArea(int index, int pixelWidth, QPoint tile) const
{
    const QSize whole = pagePixels(index, pixelWidth);
    return QRect(tile * tileSize, QSize(tileSize, tileSize)).intersected(QRect(QPoint(), whole));
}

double PageImageCache::dotsPerInch(int index, int pixelWidth) const
{
    const QSizeF points = pageSize(index);
    return points.isEmpty() ? 72.0 : 72.0 * pixelWidth / points.width();
}

QImage PageImageCache::find(int index, int pixelWidth, QPoint tile, double pixelRatio)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->index != index || it->pixelWidth != pixelWidth || it->tile != tile) continue;
        entries_.splice(entries_.begin(), entries_, it);
        entries_.front().image.setDevicePixelRatio(pixelRatio);
        return entries_.front().image;
    }
    return {};
}

void PageImageCache::insert(int index, int pixelWidth, QPoint tile, const QImage& image)
{
    if (image.isNull()) return;
    entries_.push_front({index, pixelWidth, tile, image});
    bytes_ += image.sizeInBytes();
    // The newest tile always stays, whatever its size.
    while (bytes_ > budget_ && entries_.size() > 1) {
        bytes_ -= entries_.back().image.sizeInBytes();
        entries_.pop_back();
    }
}

} // namespace PdfView
