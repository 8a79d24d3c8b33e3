#pragma once

// Where the pages of a PDF go in PdfPagesView: one column (or facing pairs,
// the first page alone on the right), scaled so the widest page or pair fills
// the viewport's width. Plain geometry in device-independent pixels, with the
// content's top-left corner as origin.

#include <QRectF>
#include <QSizeF>

#include <vector>

namespace FolmiraApp {

struct PageStrip {
    static constexpr double gap = 12;    // between pages and around them
    static constexpr double minScale = 0.05;

    double scale = 1;           // pixels per point
    std::vector<QRectF> pages;  // one per page, in page order
    QSizeF content;             // the whole strip, gaps included

    // `sizes` in points; `width` is the viewport's width in pixels.
    static PageStrip make(const std::vector<QSizeF>& sizes, double width, bool facing);

    // The page at content height `y`: the last page whose top is at or above
    // it (the first page above the first top); -1 without pages.
    int pageAt(double y) const;
};

} // namespace FolmiraApp
