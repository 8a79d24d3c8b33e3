#pragma once

// Tables of an RTF file. A row is defined by \trowd and one \cellx per cell
// (the cell's right edge in twips), with merge flags before each \cellx; its
// cells' paragraphs follow, each cell ended by \cell and the row by \row.
//
// Columns come from the edges of all rows together: a cell starts at the
// column whose left edge is its own, so a cell whose edge matches no edge of
// another row spans several columns and a later cell of its row starts after
// them. Because a row's edges may be restated after its cells, columns are
// resolved when the table ends.

#include "Platform/RichText.h"

#include <cstddef>
#include <vector>

namespace Platform::RichText {

class TableBuilder {
public:
    // Row definition (\trowd, \clmgf, \clmrg, \clvmgf, \clvmrg, \cellx).
    void defineRow();
    void mergeWithPrevious() { pending_.mergeWithPrevious = true; }
    void mergeWithAbove() { pending_.mergeWithAbove = true; }
    void addCell(int rightEdge);

    // Records paragraph `index` of the document as part of the current cell,
    // starting a table when none is open.
    void addParagraph(std::size_t index);
    void endCell();  // \cell
    void endRow();   // \row
    bool isOpen() const { return open_; }
    // Ends the open table: gives each of its paragraphs its TableCell.
    void finish(std::vector<Paragraph>& paragraphs);

private:
    struct CellDef {
        int right = 0;
        bool mergeWithPrevious = false;
        bool mergeWithAbove = false;
    };
    struct Row {
        std::vector<CellDef> defs;
        std::vector<std::vector<std::size_t>> cells;  // paragraph indices per cell, in order
    };
    void closeRow();

    std::vector<CellDef> rowDef_;
    CellDef pending_;

    bool open_ = false;
    int nextTable_ = 0;
    std::size_t cellIndex_ = 0;
    std::vector<Row> rows_;
    Row current_;
};

} // namespace Platform::RichText
