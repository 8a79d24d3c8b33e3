#pragma once

// The worker's request that draws a tile of a page as a viewer shows it, for
// the window's page view: the page is drawn in the worker, under its limits,
// so that no page can take the window's memory or a core for long.

#include "Platform/Images.h"
#include "Platform/PdfHelper/PdfWorker.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace Platform::PdfWorkerTile {

// Distinct from the reader's request tags.
constexpr std::uint8_t tag = 16;

// The largest tile side asked for, in pixels: the view asks for 512.
constexpr int largestSide = 4096;

// The longest reply a tile can get: its pixels and a small header.
constexpr std::size_t largestReply = std::size_t{largestSide} * largestSide * 4 + 64;

struct Request {
    int page = 0;     // 0-based
    double scale = 1; // pixels per point
    int x = 0, y = 0; // the tile's top-left pixel within the whole page so drawn
    int width = 0, height = 0;
};

Bytes encode(const Request& request);
// The tile's pixels (premultiplied ARGB, native order, opaque white under the
// page); none when the page or the tile could not be drawn, or the reply is
// damaged.
std::optional<Bitmap> decode(const Bytes& reply);

// The worker's handler for `tag`.
extern const PdfWorkerRequest handler;

} // namespace Platform::PdfWorkerTile
