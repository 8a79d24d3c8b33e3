#pragma once

// A stretch of page lines cut into its items: runs of text lines, pictures
// that stood on lines of their own, and tables rebuilt from where the words
// sit (consecutive lines whose segments line up in two or more columns).

#include "FolmiraKit/PDF/PageWords.h"

#include <optional>
#include <variant>
#include <vector>

namespace FolmiraKit::PDFReader {

struct FlowItem {
    struct Lines {
        PDFReader::Lines lines; // consecutive text lines, for paragraph building
        bool operator==(const Lines&) const = default;
    };
    struct Table {
        std::vector<Block::Row> rows; // a cell for each column, left to right
        bool header = false;          // every word of the first row is bold
        bool operator==(const Table&) const = default;
    };
    struct Picture {
        FolmiraKit::Picture picture;
        bool operator==(const Picture&) const = default;
    };

    std::variant<Lines, Table, Picture> value;
    bool operator==(const FlowItem&) const = default;
};

// The items of `lines` (in reading order), in the lines' order; every line
// lands in exactly one item. Tables are looked for only when `tables` is true.
std::vector<FlowItem> flowItems(const PDFReader::Lines& lines, bool tables);
// The same, the lines moved into the items rather than copied.
std::vector<FlowItem> flowItems(PDFReader::Lines&& lines, bool tables);

struct DetectedTable {
    std::vector<Block::Row> rows;
    bool header = false;
    int taken = 0; // lines of the input the table took, 2 or more
};

// A table beginning at lines[start], or none.
std::optional<DetectedTable> detectTables(std::size_t start, const PDFReader::Lines& lines);

} // namespace FolmiraKit::PDFReader
