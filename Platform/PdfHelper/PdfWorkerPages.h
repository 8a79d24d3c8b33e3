#pragma once

// The worker's request that tells how many pages a document has and the size
// of each as a viewer lays it out, for the window's page view: the window
// never parses the user's PDF itself, so even its page count comes from a
// worker's opening, under the worker's limits.
//
// The reply comes from a process that may have been subverted by the file, so
// decoding trusts nothing in it: the reply is no longer than the largest
// count allows, and every size is checked.

#include "Platform/Geometry.h"
#include "Platform/PdfHelper/PdfWorker.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace Platform::PdfWorkerPages {

// Distinct from the reader's request tags and the tile's.
constexpr std::uint8_t tag = 17;

// The most pages a reply may list: more than any book, and few enough that
// their sizes and places stay a few tens of megabytes in the window.
constexpr std::size_t largestCount = std::size_t{1} << 20;

// The longest side a page may have, in points. PDF's own limit is 14 400
// units, which some drawing programs pass with a larger user unit; a side
// past this is not believed.
constexpr double largestSide = 200'000;
// The shortest, in points: PDF's own limit is 3 units.
constexpr double smallestSide = 1;

// The longest reply the request can get: a flag, a count and two numbers a page.
constexpr std::size_t largestReply = 1 + 8 + largestCount * 16;

// Each page's size in points as a viewer lays it out: its crop box, turned
// for a /Rotate of 90 or 270. A page that cannot be fetched is 0 × 0.
using Sizes = std::vector<Size>;

// The worker's reply for `sizes`, or for a document it could not open.
Bytes encode(const std::optional<Sizes>& sizes);
// The sizes in a reply; none when the document could not be opened, or the
// reply is damaged, too long, or holds a side that is not finite, or is
// outside smallestSide to largestSide (but for a page that is 0 × 0).
std::optional<Sizes> decode(const Bytes& reply);

// The worker's handler for `tag`; the request carries nothing.
extern const PdfWorkerRequest handler;

} // namespace Platform::PdfWorkerPages
