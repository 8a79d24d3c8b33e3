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
#include <span>
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

// Groups equal byte strings: the index of the first equal one seen, or a new
// index for bytes not seen before. The bytes added must outlive it.
class DistinctBytes {
public:
    // The index of `data`'s content and whether it was new.
    std::pair<std::size_t, bool> add(std::span<const std::uint8_t> data);

private:
    std::unordered_multimap<std::size_t, std::pair<std::span<const std::uint8_t>, std::size_t>> seen_;
    std::size_t count_ = 0;
};

// The decoded pictures of one PDF being written. Told beforehand of every use
// (plan), so it knows for each distinct picture the largest rectangle it is
// drawn in and when it is drawn for the last time; pages may then be written
// as they are laid out.
class PictureCache {
public:
    explicit PictureCache(std::int64_t heldBudget = PictureLimits::heldPixels);
    // Planned from finished pages.
    explicit PictureCache(const std::vector<Page>& pages, std::int64_t heldBudget = PictureLimits::heldPixels);

    // One use of `data` drawn at `drawn` points.
    void plan(const PictureData& data, Platform::Size drawn);

    // The picture of `op`, decoded on its first use at 300 dpi of the largest
    // rectangle it is drawn in (never above its own size). None when it cannot
    // be decoded, or it would overrun the held budget (counted in leftOut).
    // Counts as one of the planned uses.
    std::optional<Platform::Image> image(const Op::Image& op);
    // Lets go of the pictures whose last planned use is drawn (call once the
    // page that drew them is ended).
    void pageDone(Platform::PdfWriter& writer);
    void pageDone(std::size_t index, Platform::PdfWriter& writer) { (void)index, pageDone(writer); }

    int decodes() const { return decodes_; }
    int leftOut() const { return leftOut_; }
    std::int64_t peakHeldPixels() const { return peakHeld_; }

    // The pixel size a picture of `own` pixels is decoded at for a rectangle of
    // `drawn` points: 300 dpi of it, each side within 1 and the picture's own.
    static Platform::ImageInfo decodedSize(Platform::ImageInfo own, Platform::Size drawn);

private:
    struct Entry {
        PictureData data;
        Platform::Size drawn; // the largest width and height it is drawn at
        int uses = 0;         // planned uses not drawn yet
        std::optional<Platform::Image> image;
        bool failed = false;
        bool counted = false; // left out by the budget
        std::int64_t pixels = 0;
    };
    std::size_t entryOf(const PictureData& data, Platform::Size drawn);

    DistinctBytes distinct_;
    std::vector<Entry> entries_;
    std::unordered_map<const std::uint8_t*, std::size_t> byData_; // by where the bytes are
    std::vector<std::size_t> heldEntries_; // entries whose image is decoded
    std::int64_t heldBudget_;
    std::int64_t held_ = 0;
    std::int64_t peakHeld_ = 0;
    int decodes_ = 0;
    int leftOut_ = 0;
};

} // namespace FolmiraKit::Renderer
