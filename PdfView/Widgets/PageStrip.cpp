#include "PdfView/Widgets/PageStrip.h"

#include <algorithm>

namespace PdfView {

namespace {

double widestPage(const std::vector<QSizeF>& sizes)
{
    double widest = 1;
    for (const auto& size : sizes) widest = std::max(widest, size.width());
    return widest;
}

} // namespace

double PageStrip::fitScale(const std::vector<QSizeF>& sizes, double width, bool facing)
{
    // The gaps stay the same number of pixels at every scale: only the pages scale.
    const double widest = widestPage(sizes);
    const double gaps = facing ? 3 * gap : 2 * gap;
    return std::max(minScale, (width - gaps) / (facing ? 2 * widest : widest));
}

PageStrip PageStrip::make(const std::vector<QSizeF>& sizes, double width, bool facing, double scale)
{
    return place(sizes, width, facing, std::max(scale, fitScale(sizes, width, facing)));
}

PageStrip PageStrip::place(const std::vector<QSizeF>& sizes, double width, bool facing, double scale)
{
    PageStrip strip;
    if (sizes.empty()) return strip;
    const double widest = widestPage(sizes);
    strip.scale = std::max(scale, minScale);

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

PageStrip::Anchor PageStrip::anchorAt(QPointF at) const
{
    Anchor anchor;
    double nearest = 0;
    for (int index = 0; index < static_cast<int>(pages.size()); ++index) {
        const QRectF& page = pages[index];
        const double dx = std::max({page.left() - at.x(), 0.0, at.x() - page.right()});
        const double dy = std::max({page.top() - at.y(), 0.0, at.y() - page.bottom()});
        const double distance = dx * dx + dy * dy;
        if (anchor.page < 0 || distance < nearest) {
            anchor.page = index;
            nearest = distance;
        }
    }
    if (anchor.page >= 0) anchor.point = (at - pages[anchor.page].topLeft()) / scale;
    return anchor;
}

QPointF PageStrip::contentPoint(const Anchor& anchor) const
{
    if (anchor.page < 0 || anchor.page >= static_cast<int>(pages.size())) return {};
    return pages[anchor.page].topLeft() + anchor.point * scale;
}

} // namespace PdfView
