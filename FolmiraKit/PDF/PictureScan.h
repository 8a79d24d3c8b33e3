#pragma once

// Where a PDF page draws its pictures, and each of those regions cut out of
// the page as a PNG. Only image XObjects drawn with "Do" count, also inside
// form XObjects; inline images, shadings and vector art are not found.

#include "FolmiraKit/Model/Block.h"
#include "Platform/Geometry.h"
#include "Platform/PdfContent.h"
#include "Platform/PdfDocument.h"

#include <optional>
#include <vector>

namespace FolmiraKit::PictureScan {

using Platform::Rect;

// A PDF transform [a b c d e f]: x' = a·x + c·y + e, y' = b·x + d·y + f.
struct Transform {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    // This transform followed by `then` (PDF's M × T).
    Transform followedBy(const Transform& then) const;
    // The smallest upright rectangle holding the unit square transformed.
    Rect unitSquare() const;
    bool operator==(const Transform&) const = default;
};

// The scan's working state for one page: the graphics-state stack of
// transforms and the image rectangles met so far. It is the handler that the
// content scanner calls for "q", "Q", "cm" and "Do".
class State : public Platform::PdfContent::Handler {
public:
    std::vector<Transform> stack{Transform{}};
    std::vector<Rect> rects; // page space, in drawing order
    int depth = 0;           // form XObjects the scan is inside; 0 on the page

    void push() override;
    void pop() override;
    void concat(Platform::PdfContent::Operands& operands) override;
    void drawObject(Platform::PdfContent::Operands& operands, const Platform::PdfContent::ContentStream& stream) override;
    bool stopRequested() const override;

private:
    const Transform& current() const;
    std::size_t floor_ = 1; // "Q" never pops below this: the page's base, or the running form's own transform
    int formsEntered_ = 0;
};

struct Found {
    Rect rect;       // the region shown, clipped to the crop box, page space
    Picture picture; // PNG of the region at 2 pixels per point; width and height in points
};

// The page's image rectangles in drawing order, each with non-negative sides.
std::vector<Rect> scanPage(const Platform::PdfPage& page);

// The page's pictures in drawing order: image rectangles clipped to the crop
// box, at least 24 points on each side, not within 2 points of an earlier one.
std::vector<Found> find(const Platform::PdfPage& page);

// A PNG of `region` of the page at 2 pixels per point on white; none when the
// region is empty or holds 40,000,000 pixels or more, or encoding fails.
std::optional<std::vector<std::uint8_t>> renderRegion(const Rect& region, const Platform::PdfPage& page);

} // namespace FolmiraKit::PictureScan
