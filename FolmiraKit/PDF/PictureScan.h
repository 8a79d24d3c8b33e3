#pragma once

// Where a PDF page draws its pictures, and each of those regions cut out of
// the page as a PNG. Only image XObjects drawn with "Do" count, also inside
// form XObjects; inline images, shadings and vector art are not found.
//
// Finding regions reads the content stream only; rendering one costs pixels.
// The reader decides scan pages and pictures under text from the regions and
// renders only the pictures it keeps: each page's within its worker's
// limits, and those larger than paper under one budget of painted pixels per
// document, so a small file of huge overlapping pictures stays cheap.

#include "FolmiraKit/Model/Block.h"
#include "FolmiraKit/PDF/PageWords.h"
#include "Platform/Geometry.h"
#include "Platform/PdfContent.h"
#include "Platform/PdfDocument.h"

#include <cstdint>
#include <functional>
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
    // Set to also keep the stored bytes of every plain JPEG drawn upright
    // (storedJpeg), by the index of its rectangle in `rects`.
    bool keepJpegs = false;
    std::vector<std::pair<std::size_t, Platform::Bytes>> jpegs;

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

// The page's picture regions in drawing order: image rectangles clipped to the
// crop box, at least 24 points on each side, small enough to render (under
// 40,000,000 pixels), not within 2 points of an earlier one; at most 200.
std::vector<Rect> regions(const Platform::PdfPage& page);
// The same from the page's image rectangles (scanPage) and its crop box.
std::vector<Rect> regions(const std::vector<Rect>& drawn, const Rect& cropBox);

// The painted pixels that rendering `region` costs: its own, plus those of
// every image of `drawn` (the page's image rectangles) that falls into it.
std::int64_t renderCost(const Rect& region, const std::vector<Rect>& drawn);

// What one document may spend on cutting pictures out of its pages: painted
// pixels, and the bytes of the PNGs it holds.
class RenderBudget {
public:
    explicit RenderBudget(std::int64_t pixels, std::size_t heldBytes = SIZE_MAX);
    // Takes `cost` when it is left; false (and nothing taken) otherwise.
    bool spend(std::int64_t cost);
    // Takes `bytes` of a PNG kept when they are left; false (and nothing taken) otherwise.
    bool hold(std::size_t bytes);
    std::int64_t spent() const { return spent_; }

private:
    std::int64_t left_;
    std::int64_t spent_ = 0;
    std::size_t bytesLeft_;
};

// A picture line's picture before it is rendered: no bytes yet, the region's
// size in points.
Picture unrendered(const Rect& region);

// Renders the regions of page `index` (0-based) on worker `worker`, one PNG
// each, none for a region that can't be rendered; none at all when the page's
// rendering failed as a whole (past a limit of its worker). Called for
// different workers at once.
using RegionRenderer = std::function<std::optional<std::vector<std::optional<std::vector<std::uint8_t>>>>(
    int worker, int index, const std::vector<Rect>& regions)>;

struct RenderedPictures {
    int overBudget = 0;           // pictures left out for the budget
    std::vector<int> failedPages; // 0-based pages whose rendering failed as a whole, ascending
};

// Renders the unrendered pictures among `pages` (one array of lines per page,
// in page order; `drawn` the image rectangles of each, for the cost) within
// `budget`, whose pixels only regions costing more than `paperPixels` spend;
// pictures past it, or whose region cannot be rendered, lose their line. The
// pages are rendered by `workers` workers (0 to workers - 1) at once, and
// what is kept does not depend on their number. A failed page keeps its lines
// unrendered, for the caller to drop. The PNGs kept are set aside in `file`
// as they come, when there is one. Checks for a cancel before every picture.
RenderedPictures renderPictures(std::vector<PDFReader::Lines>& pages, const std::vector<std::vector<Rect>>& drawn,
                                RenderBudget& budget, const RegionRenderer& render, std::int64_t paperPixels = 0,
                                int workers = 1, PictureFile* file = nullptr);

// The page's pictures in drawing order: every region rendered.
std::vector<Found> find(const Platform::PdfPage& page);

// The page's picture regions, each as a JPEG where the page stores it so
// (storedPicture), else as a PNG of the region (renderRegion); none for a
// region that can't be rendered.
std::vector<std::optional<std::vector<std::uint8_t>>> cutRegions(const Platform::PdfPage& page,
                                                                 const std::vector<Rect>& regions);

// The JPEG that shows `region` as the page stores it: where the region is one
// image of `drawn` (the page's image rectangles) whole, drawn upright, that
// no other image overlaps, stored as a plain JPEG (among `jpegs`, by index
// into `drawn`) of no more than 4 pixels a point, whose own header agrees.
// None otherwise: the region is then rendered.
std::optional<Platform::Bytes> storedPicture(const Rect& region, const std::vector<Rect>& drawn,
                                             const std::vector<std::pair<std::size_t, Platform::Bytes>>& jpegs);

// A PNG of `region` of the page at 2 pixels per point on white; none when the
// region is empty or holds 40,000,000 pixels or more, or encoding fails.
std::optional<std::vector<std::uint8_t>> renderRegion(const Rect& region, const Platform::PdfPage& page);

} // namespace FolmiraKit::PictureScan
