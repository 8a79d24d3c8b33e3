#include "PdfView/Widgets/PageImageCache.h"

#include <poppler-qt6.h>

#include <algorithm>
#include <cmath>

namespace PdfView {

void PageImageCache::reset(const PdfDocumentPtr& document)
{
    document_ = document;
    entries_.clear();
    bytes_ = 0;
}

QSize PageImageCache::pagePixels(int index, int pixelWidth) const
{
    const QSizeF points = pageSize(document_, index);
    if (points.isEmpty() || pixelWidth <= 0) return {};
    return {pixelWidth, std::max(1, static_cast<int>(std::lround(points.height() * pixelWidth / points.width())))};
}

QImage PageImageCache::tile(int index, int pixelWidth, QPoint tile, double pixelRatio)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->index != index || it->pixelWidth != pixelWidth || it->tile != tile) continue;
        entries_.splice(entries_.begin(), entries_, it);
        entries_.front().image.setDevicePixelRatio(pixelRatio);
        return entries_.front().image;
    }
    const QSize whole = pagePixels(index, pixelWidth);
    const QRect area = QRect(tile * tileSize, QSize(tileSize, tileSize)).intersected(QRect(QPoint(), whole));
    if (area.isEmpty()) return {};
    auto page = document_->page(index);
    if (!page) return {};
    const double dpi = 72.0 * pixelWidth / pageSize(document_, index).width();
    QImage image = page->renderToImage(dpi, dpi, area.x(), area.y(), area.width(), area.height());
    if (image.isNull()) return {};
    image.setDevicePixelRatio(pixelRatio);
    entries_.push_front({index, pixelWidth, tile, image});
    bytes_ += image.sizeInBytes();
    // The newest tile always stays, whatever its size.
    while (bytes_ > budget_ && entries_.size() > 1) {
        bytes_ -= entries_.back().image.sizeInBytes();
        entries_.pop_back();
    }
    return image;
}

} // namespace PdfView
