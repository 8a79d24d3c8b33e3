#pragma once

// A page's lines as the reader holds them between its two passes: written
// out field by field, and deflated too for the pages of a long document, a
// few kilobytes for a page of dense text where the lines themselves take ten
// times that; read back whole, with every number and text exactly as it was.

#include "FolmiraKit/PDF/PageWords.h"
#include "Platform/Text.h"

#include <cstddef>

namespace FolmiraKit::PDFReader {

class PackedLines {
public:
    PackedLines() = default;
    // Deflating halves what a page holds, at several times the cost of
    // writing it out: worth it when a document has many pages. A page of a
    // line or two is held as written whatever `deflate` says.
    PackedLines(const Lines& lines, bool deflate);
    // The lines packed, in their order.
    Lines unpacked() const;
    // What the packed lines hold in memory.
    std::size_t bytes() const { return data_.capacity(); }

private:
    Platform::Bytes data_;  // empty for no lines
    std::size_t size_ = 0;  // bytes once inflated; 0 when not deflated
};

} // namespace FolmiraKit::PDFReader
