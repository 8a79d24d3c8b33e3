#pragma once

// A PDF drawn in colour into memory with Cairo: text lines, lines with caps,
// rectangles and circles. For the songbook pages, which need colours, round
// caps and dots that PdfWriter's grey drawing does not offer.
//
// Coordinates are PDF page space: points, origin at the bottom-left corner of
// the page, y growing upwards. A canvas is used by one thread, the one that
// made the TextLayouts it draws.

#include "Platform/Geometry.h"
#include "Platform/Text.h" // Bytes

#include <memory>
#include <string>

namespace Platform {

class TextLayout;

// sRGB components in 0…1, opaque.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    bool operator==(const Color&) const = default;
};

class PdfCanvas {
public:
    enum class LineCap { butt, round };

    // A document whose information dictionary carries `title` and `creator`.
    PdfCanvas(const std::string& title, const std::string& creator);
    ~PdfCanvas();
    PdfCanvas(const PdfCanvas&) = delete;
    PdfCanvas& operator=(const PdfCanvas&) = delete;

    // False once Cairo has failed; later calls do nothing and finish() gives empty bytes.
    bool ok() const;

    // Starts a page of `size` points (ending the page before, if any).
    void beginPage(Size size);
    void endPage();

    // Line `line` of `text` with the layout's left edge at x and its baseline at y.
    void drawTextLine(const TextLayout& text, int line, Point baselineOrigin, Color color);
    void strokeLine(Point from, Point to, double width, Color color, LineCap cap = LineCap::butt);
    void strokeRect(Rect rect, double width, Color color);
    void fillCircle(Point centre, double radius, Color color);
    void strokeCircle(Point centre, double radius, double width, Color color);

    // Ends the document and returns its bytes; empty when writing failed. A
    // document in which no page was begun has no pages at all (Cairo would
    // write one empty page, so that document is written another way).
    Bytes finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace Platform
