#pragma once

// Rendered page images for PdfPagesView: drawn by Poppler at the view's scale
// and the screen's pixel ratio (crisp on high-DPI screens), kept for the few
// pages last shown and dropped when the document or the scale changes.

#include "FolmiraApp/Model/Pdf.h"

#include <QImage>

#include <list>

namespace FolmiraApp {

class PageImageCache {
public:
    static constexpr std::size_t capacity = 12;
    static constexpr double maxPixels = 40e6; // per page image

    // Forgets every image; the next requests draw for `document`.
    void reset(const PdfDocumentPtr& document);

    // Page `index` drawn `pixelWidth` device pixels wide; a null image when the
    // page cannot be drawn.
    QImage image(int index, int pixelWidth, double pixelRatio);

private:
    struct Entry {
        int index;
        int pixelWidth;
        QImage image;
    };
    PdfDocumentPtr document_;
    std::list<Entry> entries_; // most recently used first
};

} // namespace FolmiraApp
