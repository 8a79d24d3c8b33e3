#pragma once

// What a render spends on pictures. A picture is decoded once per render
// however often the document shows it, at no more pixels than it is drawn at,
// and its pixels go once the last page that shows it is written. Two budgets
// keep a small file that shows huge pictures from costing unbounded time and
// memory; pictures past them are left out and counted for the render's note.

#include "FolmiraKit/Model/Block.h"
#include "FolmiraKit/Render/RenderOp.h"
#include "Platform/Images.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Platform {
class PdfWriter;
}

namespace FolmiraKit::Renderer {

namespace PictureLimits {
// Print needs no more detail than this; pictures are decoded down to it.
inline constexpr double dotsPerInch = 300;
// The pixels of every distinct picture one render decodes, at their own size
// (decoding reads them all, however small the result): about 2 s of work.
inline constexpr std::int64_t decodedPixels = 400'000'000;
// Decoded pixels held at once while the PDF is written: 256 MB.
inline constexpr std::int64_t heldPixels = 64'000'000;
} // namespace PictureLimits

// The blocks a render lays out, in order: those whose pictures fit the decode
// budget. Distinct pictures are charged their own pixel count once, in order
// of first appearance; a picture past the budget is left out at every use.
// Pictures that cannot be sized pass through (the layout skips them).
struct PictureChoice {
    std::vector<const Block*> blocks;
    int leftOut = 0;             // image blocks left out
    std::int64_t chargedPixels = 0;
};
PictureChoice affordablePictures(const Blocks& blocks,
                                 std::int64_t budget = PictureLimits::decodedPixels);

// The decoded pictures of one PDF being written. Built from the finished
// pages, so it knows for each distinct picture the largest rectangle it is
// drawn in and the last page that draws it.
class PictureCache {
public:
    explicit PictureCache(const std::vector<Page>& pages, std::int64_t heldBudget = PictureLimits::heldPixels);

    // The picture of `op`, decoded on its first use at 300 dpi of the largest
    // rectangle it is drawn in (never above its own size). None when it cannot
    // be decoded, or it would overrun the held budget (counted in leftOut).
    std::optional<Platform::Image> image(const Op::Image& op);
    // Lets go of the pictures that page `index` was the last to draw.
    void pageDone(std::size_t index, Platform::PdfWriter& writer);

    int decodes() const { return decodes_; }
    int leftOut() const { return leftOut_; }
    std::int64_t peakHeldPixels() const { return peakHeld_; }

    // The pixel size a picture of `own` pixels is decoded at for a rectangle of
    // `drawn` points: 300 dpi of it, each side within 1 and the picture's own.
    static Platform::ImageInfo decodedSize(Platform::ImageInfo own, Platform::Size drawn);

private:
    struct Entry {
        const Platform::Bytes* data;
        Platform::Size drawn; // the largest width and height it is drawn at
        std::size_t lastPage = 0;
        std::optional<Platform::Image> image;
        bool failed = false;
        bool counted = false; // left out by the budget
        std::int64_t pixels = 0;
    };

    std::vector<Entry> entries_;
    std::unordered_map<const Platform::Bytes*, std::size_t> byData_;
    std::int64_t heldBudget_;
    std::int64_t held_ = 0;
    std::int64_t peakHeld_ = 0;
    int decodes_ = 0;
    int leftOut_ = 0;
};

// Groups equal byte strings: the index of the first equal one seen, or a new
// index for bytes not seen before.
class DistinctBytes {
public:
    // The index of `data`'s content and whether it was new.
    std::pair<std::size_t, bool> add(const Platform::Bytes& data);

private:
    std::unordered_multimap<std::size_t, std::pair<const Platform::Bytes*, std::size_t>> seen_;
    std::size_t count_ = 0;
};

} // namespace FolmiraKit::Renderer
