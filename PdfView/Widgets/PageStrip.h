#pragma once

// Where the pages of a PDF go in PdfPagesView: one column (or facing pairs,
// the first page alone on the right), scaled so the widest page or pair fills
// the viewport's width, or at a zoomed scale wider than that. Plain geometry
// in device-independent pixels, with the content's top-left corner as origin.

#include <QRectF>
#include <QSizeF>

#include <vector>

namespace PdfView {

struct PageStrip {
    static constexpr double gap = 12;    // between pages and around them
    static constexpr double minScale = 0.05;

    double scale = 1;           // pixels per point
    std::vector<QRectF> pages;  // one per page, in page order
    QSizeF content;             // the whole strip, gaps included

    // A spot on a page, in points from the page's top-left corner: what stays
    // under the pointer while the scale changes.
    struct Anchor {
        int page = -1;
        QPointF point;
    };

    // The scale at which the widest page or pair fills `width` (pixels).
    static double fitScale(const std::vector<QSizeF>& sizes, double width, bool facing);

    // `sizes` in points; `width` is the viewport's width in pixels. `scale`
    // (pixels per point) is the fit-to-width scale when 0 or below it.
    static PageStrip make(const std::vector<QSizeF>& sizes, double width, bool facing, double scale = 0);
    // The pages at `scale` itself, centred in `width` when narrower.
    static PageStrip place(const std::vector<QSizeF>& sizes, double width, bool facing, double scale);

    // The page at content height `y`: the last page whose top is at or above
    // it (the first page above the first top); -1 without pages.
    int pageAt(double y) const;

    // The spot at content point `at`, on the nearest page; and where a spot
    // lies in this strip (the origin without pages).
    Anchor anchorAt(QPointF at) const;
    QPointF contentPoint(const Anchor& anchor) const;
};

} // namespace PdfView
