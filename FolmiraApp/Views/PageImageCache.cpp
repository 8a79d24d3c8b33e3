#include "FolmiraApp/Views/PageImageCache.h"

#include <poppler-qt6.h>

#include <cmath>

namespace FolmiraApp {

void PageImageCache::reset(const PdfDocumentPtr& document)
{
    document_ = document;
    entries_.clear();
}

QImage PageImageCache::image(int index, int pixelWidth, double pixelRatio)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->index != index || it->pixelWidth != pixelWidth) continue;
        entries_.splice(entries_.begin(), entries_, it);
        return entries_.front().image;
    }
    if (!document_ || pixelWidth <= 0 || index < 0 || index >= document_->numPages()) return {};
    auto page = document_->page(index);
    if (!page) return {};
    const QSizeF points = page->pageSizeF();
    if (points.width() <= 0) return {};
    double dpi = 72.0 * pixelWidth / points.width();
    // A freakishly tall page would otherwise ask for an image of gigabytes:
    // draw it coarser instead, scaled up when painted.
    const double pixels = points.width() * points.height() * (dpi / 72) * (dpi / 72);
    if (pixels > maxPixels) dpi *= std::sqrt(maxPixels / pixels);
    QImage image = page->renderToImage(dpi, dpi);
    if (image.isNull()) return {};
    image.setDevicePixelRatio(pixelRatio);
    entries_.push_front({index, pixelWidth, image});
    if (entries_.size() > capacity) entries_.pop_back();
    return image;
}

} // namespace FolmiraApp
