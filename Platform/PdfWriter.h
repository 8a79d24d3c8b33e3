#pragma once

// Writing a PDF into memory with Cairo.
//
// Coordinates are PDF page space: points, origin at the bottom-left corner of
// the page, y growing upwards. Colours are grey levels (0 black, 1 white).
// A writer is used by one thread, the one that made the TextLayouts it draws.

#include "Platform/Geometry.h"
#include "Platform/Images.h"
#include "Platform/Text.h" // Bytes

#include <memory>
#include <string>
#include <vector>

namespace Platform {

class TextLayout;

class PdfWriter {
public:
    // A document whose information dictionary carries `title` and `creator`.
    PdfWriter(const std::string& title, const std::string& creator);
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // False once Cairo has failed; every later call then does nothing and
    // finish() gives empty bytes.
    bool ok() const;

    // Starts a page of `size` points (ending the page before, if any).
    void beginPage(Size size);
    void endPage();

    // Line `line` of `text` with the layout's left edge at x and its baseline at y, in grey.
    void drawTextLine(const TextLayout& text, int line, Point baselineOrigin, double grey = 0);
    // `image` scaled into `rect` (not tiled), with high-quality interpolation.
    // A JPEG is embedded as its original bytes.
    void drawImage(const Image& image, Rect rect);
    // A straight line of `width` points.
    void strokeLine(Point from, Point to, double width, double grey = 0);
    // A rectangle's outline, `width` points thick.
    void strokeRect(Rect rect, double width, double grey = 0);
    void fillRect(Rect rect, double grey);

    // Ends the document and returns its bytes; empty when writing failed. Cairo
    // always writes at least one page: a document without pages gets one empty
    // page of 612 × 792. The writer is finished afterwards.
    Bytes finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace Platform
