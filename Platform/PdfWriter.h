#pragma once

// Writing a PDF into memory with Cairo.
//
// Coordinates are PDF page space: points, origin at the bottom-left corner of
// the page, y growing upwards. A writer is used by one thread, the one that
// made the TextLayouts it draws.

#include "Platform/Geometry.h"
#include "Platform/Images.h"
#include "Platform/Text.h" // Bytes

#include <memory>
#include <string>
#include <vector>

namespace Platform {

class TextLayout;

// sRGB components in 0…1, opaque. The default is black.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    static constexpr Color grey(double level) { return {level, level, level}; } // 0 black, 1 white
    bool operator==(const Color&) const = default;
};

class PdfWriter {
public:
    enum class LineCap { butt, round };

    // A document whose information dictionary carries `title` and `creator`.
    PdfWriter(const std::string& title, const std::string& creator);
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // False once Cairo has failed; every later call then does nothing and
    // finish() gives empty bytes.
    bool ok() const;
    // The PDF written so far (Cairo writes a page's drawing at its end), and
    // what holding it takes: about as much, however long the document.
    std::size_t writtenBytes() const;
    std::size_t heldBytes() const;
    // Why writing failed, in Cairo's words ("out of memory"); empty while it
    // has not.
    std::string failure() const;

    // For tests: while one lives, every writer made on this thread fails from
    // the start with `reason`, as if Cairo had.
    class ForcedFailure {
    public:
        explicit ForcedFailure(std::string reason);
        ~ForcedFailure();
        ForcedFailure(const ForcedFailure&) = delete;
        ForcedFailure& operator=(const ForcedFailure&) = delete;

    private:
        std::string reason_;
        const std::string* outer_;
    };

    // Starts a page of `size` points (ending the page before, if any).
    void beginPage(Size size);
    void endPage();

    // Line `line` of `text` with the layout's left edge at x and its baseline at y.
    void drawTextLine(const TextLayout& text, int line, Point baselineOrigin, Color color = {});

    // Several lines in one colour, drawn together: the PDF gets one text
    // operation per face for all of them instead of one per line.
    struct PlacedLine {
        const TextLayout* text = nullptr;
        int line = 0;
        Point baselineOrigin;
    };
    void drawTextLines(const std::vector<PlacedLine>& lines, Color color);
    // `image` scaled into `rect` (not tiled), with high-quality interpolation.
    // A JPEG is embedded as its original bytes. Copies of one Image are drawn
    // from one surface, so the PDF holds its pixels once however often it is
    // drawn, until `release` lets go of that surface.
    void drawImage(const Image& image, Rect rect);
    // Forgets the surface of `image`; call it once the image is drawn for the
    // last time, so that its pixels can go.
    void release(const Image& image);
    // A straight line of `width` points.
    void strokeLine(Point from, Point to, double width, Color color = {}, LineCap cap = LineCap::butt);
    // A straight line drawn as dashes `on` points long every `period` points,
    // the first starting at `from`. Zero-length dashes with round caps make a
    // row of dots `width` across; the end of the line is not drawn.
    void strokeDashes(Point from, Point to, double width, double on, double period, Color color,
                      LineCap cap = LineCap::butt);
    // A rectangle's outline, `width` points thick.
    void strokeRect(Rect rect, double width, Color color = {});
    void fillRect(Rect rect, Color color);
    void fillCircle(Point centre, double radius, Color color);
    void strokeCircle(Point centre, double radius, double width, Color color);

    // Ends the document and returns its bytes; empty when writing failed. A
    // document in which no page was begun has no pages at all. The writer is
    // finished afterwards.
    Bytes finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace Platform
