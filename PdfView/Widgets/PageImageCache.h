#pragma once

// Rendered page images for PdfPagesView, in square tiles: a page is drawn
// (by PageRenderer, off the main thread) at the view's scale times the
// screen's pixel ratio (crisp at every zoom and on high-DPI screens), but only
// the tiles in view are ever drawn, so a page zoomed to 400 % costs no more
// than the window shows. The tiles last used are kept within a fixed memory
// budget and all dropped when the document changes.

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QSizeF>

#include <list>
#include <vector>

namespace PdfView {

class PageImageCache {
public:
    static constexpr int tileSize = 512;                  // device pixels a side
    static constexpr qsizetype defaultBudget = 160 << 20; // bytes of every tile kept

    explicit PageImageCache(qsizetype budgetBytes = defaultBudget) : budget_(budgetBytes) {}

    // Forgets every tile; the next requests draw for a document whose pages
    // have `sizes` (points, as laid out).
    void reset(std::vector<QSizeF> sizes);

    // Page `index` drawn `pixelWidth` device pixels wide: its whole size in
    // device pixels (empty for a page that does not exist).
    QSize pagePixels(int index, int pixelWidth) const;

    // The part of that drawing the tile in column `tile.x()`, row `tile.y()`
    // covers, in device pixels, cut at the page's edge; empty outside it.
    QRect tileArea(int index, int pixelWidth, QPoint tile) const;
    // The resolution that draws page `index` `pixelWidth` pixels wide.
    double dotsPerInch(int index, int pixelWidth) const;

    // The tile kept for that drawing, with `pixelRatio` as its device pixel
    // ratio; a null image when it has not been drawn (yet).
    QImage find(int index, int pixelWidth, QPoint tile, double pixelRatio);
    // Keeps a drawn tile, letting the least recently used go past the budget.
    void insert(int index, int pixelWidth, QPoint tile, const QImage& image);

    qsizetype bytes() const { return bytes_; }
    std::size_t count() const { return entries_.size(); }

private:
    struct Entry {
        int index;
        int pixelWidth;
        QPoint tile;
        QImage image;
    };
    // The size of page `index`; empty outside the document.
    QSizeF pageSize(int index) const;

    std::vector<QSizeF> sizes_;
    std::list<Entry> entries_; // most recently used first
    qsizetype budget_;
    qsizetype bytes_ = 0;
};

} // namespace PdfView
