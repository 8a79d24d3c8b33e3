#pragma once

// Placing the pages of one PDF onto the pages of a new one, as form XObjects
// through qpdf: the placed pages stay vector, with their fonts and text.
// Coordinates are PDF space (points, origin bottom-left, y up).

#include "Platform/Geometry.h"
#include "Platform/Text.h" // Bytes

#include <optional>
#include <string>
#include <vector>

namespace Platform::PdfImposer {

struct SourceInfo {
    int pageCount = 0;
    std::optional<Size> firstPageSize; // page 1's media box, when it can be read
};

// What the source holds; none when the bytes are no readable PDF.
std::optional<SourceInfo> inspect(const Bytes& source);

// One source page on an output page: its media box's lower-left corner goes
// to `origin`, it is scaled by `scale`, and clipped to `clip` (a rectangle in
// the source page's own units, from its media box's corner).
struct Placement {
    int page = 0; // zero-based; pages the source lacks are left out
    Point origin;
    double scale = 1;
    Size clip;
};

// One output page of `size` per entry of `pages`, each with its placements in
// order; the document's creator is `creator`. Empty bytes when the source is
// unreadable or writing fails.
Bytes impose(const Bytes& source, Size size, const std::vector<std::vector<Placement>>& pages,
             const std::string& creator);

} // namespace Platform::PdfImposer
