#include "FolmiraApp/Views/PageStrip.h"

#include <algorithm>

namespace FolmiraApp {

PageStrip PageStrip::make(const std::vector<QSizeF>& sizes, double width, bool facing)
{
    PageStrip strip;
    if (sizes.empty()) return strip;
    double widest = 1;
    for (const auto& size : sizes) widest = std::max(widest, size.width());
    const double across = facing ? 2 * widest + gap : widest;
    strip.scale = std::max(minScale, (width - 2 * gap) / across);

    // Facing rows: page 0 alone on the right, then 1|2, 3|4, …
    const double columnWidth = widest * strip.scale;
    const double rowWidth = facing ? 2 * columnWidth + gap : columnWidth;
    const double left = std::max(gap, (width - rowWidth) / 2);
    double top = gap;
    strip.pages.resize(sizes.size());
    std::size_t index = 0;
    while (index < sizes.size()) {
        const bool pair = facing && index > 0 && index + 1 < sizes.size();
        const std::size_t count = pair ? 2 : 1;
        double rowHeight = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const QSizeF size = sizes[index + k] * strip.scale;
            const bool rightColumn = facing && (index + k) % 2 == 0;
            // Centred in its column; a lone page without facing is centred in the row.
            const double columnLeft = rightColumn ? left + columnWidth + gap : left;
            const double x = columnLeft + (columnWidth - size.width()) / 2;
            strip.pages[index + k] = QRectF(QPointF(x, top), size);
            rowHeight = std::max(rowHeight, size.height());
        }
        top += rowHeight + gap;
        index += count;
    }
    strip.content = QSizeF(std::max(width, rowWidth + 2 * gap), top);
    return strip;
}

int PageStrip::pageAt(double y) const
{
    if (pages.empty()) return -1;
    // Tops never decrease down the strip (the two pages of a pair share one).
    const auto after = std::upper_bound(pages.begin(), pages.end(), y,
                                        [](double value, const QRectF& page) { return value < page.top(); });
    return after == pages.begin() ? 0 : static_cast<int>(after - pages.begin()) - 1;
}

} // namespace FolmiraApp
