#include "Platform/RichText/Tables.h"

#include "Platform/RichText/Limits.h"

#include <algorithm>
#include <climits>
#include <map>

namespace Platform::RichText {

void TableBuilder::defineRow()
{
    rowDef_.clear();
    pending_ = {};
}

void TableBuilder::addCell(int rightEdge)
{
    pending_.right = rightEdge;
    rowDef_.push_back(pending_);
    pending_ = {};
}

void TableBuilder::addParagraph(std::size_t index)
{
    if (!open_) {
        open_ = true;
        rows_.clear();
        current_ = {};
        cellIndex_ = 0;
    }
    if (current_.cells.size() <= cellIndex_) current_.cells.resize(cellIndex_ + 1);
    current_.cells[cellIndex_].push_back(index);
}

void TableBuilder::endCell() { ++cellIndex_; }

void TableBuilder::closeRow()
{
    if (!current_.cells.empty()) {
        // Only the definitions of cells present: one long definition shared by
        // many short rows must not be copied whole into each of them.
        current_.defs.assign(rowDef_.begin(), rowDef_.begin() + static_cast<std::ptrdiff_t>(
                                                                     std::min(rowDef_.size(), current_.cells.size())));
        rows_.push_back(std::move(current_));
    }
    current_ = {};
    cellIndex_ = 0;
}

void TableBuilder::endRow()
{
    if (open_) closeRow();
}

void TableBuilder::finish(std::vector<Paragraph>& paragraphs)
{
    if (!open_) return;
    closeRow();
    open_ = false;
    const int table = nextTable_++;

    // Each cell's left and right edge, strictly increasing along the row.
    std::vector<std::vector<std::pair<long long, long long>>> edges(rows_.size());
    std::vector<long long> grid;
    std::size_t cellCount = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        long long left = LLONG_MIN;
        long long previous = LLONG_MIN / 2;
        for (std::size_t k = 0; k < rows_[r].cells.size(); ++k) {
            long long right = k < rows_[r].defs.size() ? rows_[r].defs[k].right : previous + 1;
            if (right <= previous) right = previous + 1;
            edges[r].emplace_back(left, right);
            grid.push_back(right);
            left = previous = right;
        }
        cellCount += rows_[r].cells.size();
    }
    std::sort(grid.begin(), grid.end());
    grid.erase(std::unique(grid.begin(), grid.end()), grid.end());

    auto columnOf = [&](long long left) {
        return static_cast<int>(std::upper_bound(grid.begin(), grid.end(), left) - grid.begin());
    };
    // Crafted edges can make every row reach a far column, so that the empty
    // cells before it would dwarf the table: then place cells by order.
    std::size_t filled = 0;
    for (const auto& row : edges)
        if (!row.empty()) filled += static_cast<std::size_t>(columnOf(row.back().first)) + 1;
    const bool byOrder = filled > cellCount * (Limits::maxSpanFillersPerCell + 1);

    std::map<int, int> startRowOfColumn;  // in the previous row
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        std::map<int, int> thisRow;
        int previousColumn = -1;
        for (std::size_t k = 0; k < rows_[r].cells.size(); ++k) {
            const bool hasDef = k < rows_[r].defs.size();
            int column = byOrder ? static_cast<int>(k) : columnOf(edges[r][k].first);
            if (hasDef && rows_[r].defs[k].mergeWithPrevious && previousColumn >= 0) column = previousColumn;
            int row = static_cast<int>(r);
            if (hasDef && rows_[r].defs[k].mergeWithAbove) {
                auto above = startRowOfColumn.find(column);
                if (above != startRowOfColumn.end()) row = above->second;
            }
            thisRow[column] = row;
            previousColumn = column;
            for (std::size_t index : rows_[r].cells[k])
                if (index < paragraphs.size()) paragraphs[index].cell = TableCell{table, row, column};
        }
        startRowOfColumn = std::move(thisRow);
    }
    rows_.clear();
}

} // namespace Platform::RichText
