// Tables: a ruled grid when it fits, otherwise one paragraph per row.
//
// A table is planned whole before any of it is placed (LayoutTablePlan.cpp),
// so that a table that does not fit is listed instead from the same cursor.
// The plan holds numbers only: the cell text itself is laid out a piece of
// rows at a time, on any shaping thread, and each piece is let go once
// placed, so that a long table holds no more text at once than the same
// cells as paragraphs would.

#include "FolmiraKit/Render/LayoutShaper.h"

#include <algorithm>
#include <numeric>

namespace FolmiraKit::Renderer {
namespace {

// A table is cut into pieces of at most this many rows or, once reached,
// this much text.
constexpr std::size_t pieceRows = 256;
constexpr std::size_t pieceBytes = 16 * 1024;

std::size_t cellBytes(const Block::Cell& cell)
{
    std::size_t bytes = 0;
    for (const Run& run : cell) bytes += run.text.size();
    return bytes;
}

// The text of a table's cells as a listed row shows it, in bytes: each cell
// with its column's name (a grid shows less).
class TableBytes {
public:
    explicit TableBytes(const Block::Table& table) : table_(table)
    {
        if (table.header && !table.rows.empty())
            for (const Block::Cell& cell : table.rows[0]) names_.push_back(cellBytes(cell) + 2);
    }
    std::size_t cell(std::size_t r, std::size_t c) const
    {
        std::size_t bytes = cellBytes(table_.rows[r][c]);
        return bytes + (r > 0 && bytes > 0 && c < names_.size() ? names_[c] : 0);
    }
    std::size_t cells(std::size_t r, std::size_t from, std::size_t to) const
    {
        std::size_t bytes = 0;
        for (std::size_t c = from; c < std::min(to, table_.rows[r].size()); ++c) bytes += cell(r, c);
        return bytes;
    }

private:
    const Block::Table& table_;
    std::vector<std::size_t> names_;
};

} // namespace

std::vector<Layout::Piece> Layout::piecesOf(const Block& block)
{
    const auto* table = block.as<Block::Table>();
    if (!table) return {Piece{&block, 0, 0}};
    const TableBytes bytesOf(*table);
    const auto& rows = table->rows;
    std::vector<Piece> pieces;
    std::size_t first = 0, bytes = 0;
    auto close = [&](std::size_t end) {
        if (end > first) pieces.push_back(Piece{&block, first, end});
        first = end;
        bytes = 0;
    };
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::size_t row = bytesOf.cells(r, 0, rows[r].size());
        if (row > pieceBytes) {
            // A row of much text comes in parts of some cells each.
            close(r);
            std::size_t from = 0, part = 0;
            for (std::size_t c = 0; c < rows[r].size(); ++c) {
                part += bytesOf.cell(r, c);
                if (part < pieceBytes && c + 1 < rows[r].size()) continue;
                pieces.push_back(Piece{&block, r, r + 1, from, c + 1});
                from = c + 1;
                part = 0;
            }
            first = r + 1;
            continue;
        }
        bytes += row;
        if (r + 1 - first >= pieceRows || bytes >= pieceBytes) close(r + 1);
    }
    close(rows.size());
    return pieces;
}

std::size_t Layout::textBytes(const Piece& piece)
{
    const auto* table = piece.block->as<Block::Table>();
    if (!table) return piece.block->plainText().size();
    const TableBytes bytesOf(*table);
    std::size_t bytes = 0;
    for (std::size_t r = piece.first; r < piece.end; ++r) bytes += bytesOf.cells(r, piece.from, piece.to);
    return bytes;
}

void Layout::setTablePlans(std::shared_ptr<TablePlans> plans)
{
    if (plans) plans_ = std::move(plans);
}

Layout::Shaped Layout::Shaper::table(const Block::Table& table, const Piece& piece)
{
    Shaped shaped;
    auto plan = layout_.plans_->get(table, [&] { return planTable(table.rows, table.header); });
    if (plan->listed) {
        shaped.flows = tableAsList(table.rows, table.header, piece);
        shaped.listed = true;
        return shaped;
    }
    // A grid row comes whole with its first part.
    const std::size_t first = piece.first, end = piece.from > 0 ? first : piece.end;
    Grid grid{plan, first, {}, {}};
    auto cellsOf = [&](const Block::Row& row, bool headerRow) {
        Grid::Cells cells(plan->columns.size());
        if (layout_.counting_) return cells;
        for (std::size_t c = 0; c < row.size() && c < cells.size(); ++c) cells[c] = cellText(row[c], headerRow, plan->columns[c]);
        return cells;
    };
    for (std::size_t r = first; r < end && !plan->columns.empty(); ++r)
        grid.rows.push_back(cellsOf(table.rows[r], plan->header && r == 0));
    if (plan->header && !grid.rows.empty()) grid.header = first == 0 ? grid.rows.front() : cellsOf(table.rows[0], true);
    shaped.grid = std::move(grid);
    return shaped;
}

std::shared_ptr<const Platform::TextLayout> Layout::Shaper::cellText(const Block::Cell& cell, bool headerRow, double column)
{
    if (cell.empty()) return nullptr;
    const double size = layout_.size;
    Paragraph text = paragraphStyle(size, 0, 0);
    appendRuns(text, cell, size, headerRow || settings_.highContrast, settings_.keepLineBreaks);
    if (text.text.empty()) return nullptr;
    return std::make_shared<const Platform::TextLayout>(text.text, column - 2 * 0.35 * size, text.format);
}

void Layout::tableGrid(const Grid& grid)
{
    const TablePlan& plan = *grid.plan;
    const std::size_t n = plan.columns.size();
    const std::size_t count = plan.heights.size();
    if (n < 1) return;
    const double p = 0.35 * size;
    const double lh = settings.lineSpacing * size;

    auto drawRow = [&](std::size_t r, const Grid::Cells& cells) {
        bool headerRow = plan.header && r == 0;
        double rh = plan.heights[r];
        double rowBottom = cursor_ - rh;
        if (headerRow && !settings.highContrast) ops_.emplace_back(Op::Fill{{left, rowBottom, width, rh}, 0.9});
        double border = settings.highContrast ? (headerRow ? 3.0 : 2.5) : 1.0;
        // A right-to-left table's columns run from the right edge of its width.
        double x = plan.rightToLeft ? left + std::accumulate(plan.columns.begin(), plan.columns.end(), 0.0) : left;
        for (std::size_t c = 0; c < n; ++c) {
            const double column = plan.columns[c];
            if (plan.rightToLeft) x -= column;
            ops_.emplace_back(Op::Box{{x, rowBottom, column, rh}, border});
            if (const auto& layout = cells[c]) {
                Op::Text frame{layout, 0, static_cast<int>(layout->lines().size()),
                               {x + p, rowBottom + p, column - 2 * p, rh - 2 * p}, {}};
                for (std::size_t k = 0; k < layout->lines().size(); ++k)
                    frame.origins.push_back({x + p, cursor_ - p - static_cast<double>(k + 1) * lh + layout->lines()[k].descent});
                ops_.emplace_back(std::move(frame));
            }
            if (!plan.rightToLeft) x += column;
        }
        cursor_ = rowBottom;
        fresh_ = false;
    };

    for (std::size_t i = 0; i < grid.rows.size(); ++i) {
        const std::size_t r = grid.first + i;
        double rh = plan.heights[r];
        if (cursor_ - rh < bottom) {
            newPage();
            if (plan.header && r > 0) drawRow(0, grid.header);
            drawRow(r, grid.rows[i]);
            continue;
        }
        // A header row does not end a page alone, unless the page is fresh.
        if (plan.header && r == 0 && count >= 2 && cursor_ - (rh + plan.heights[1]) < bottom && !fresh_) newPage();
        drawRow(r, grid.rows[i]);
    }
}

std::vector<Layout::Flow> Layout::Shaper::tableAsList(const std::vector<Block::Row>& rows, bool header,
                                                      const Piece& piece)
{
    std::vector<Flow> flows;
    std::vector<std::string> names;
    std::size_t first = piece.first;
    if (header) {
        for (const auto& cell : rows.front()) names.push_back(plain(cell));
        first = std::max<std::size_t>(first, 1);
    }
    auto anyText = [](auto from, auto to) { return std::any_of(from, to, [](const auto& cell) { return !cell.empty(); }); };
    for (std::size_t r = first; r < piece.end; ++r) {
        Runs runs;
        const auto& row = rows[r];
        const std::size_t from = std::min(piece.from, row.size()), to = std::min(piece.to, row.size());
        for (std::size_t c = from; c < to; ++c) {
            const Block::Cell& cell = row[c];
            if (cell.empty()) continue; // names still go by position
            if (!runs.empty()) runs.emplace_back("\n");
            const std::string* name = c < names.size() ? &names[c] : nullptr;
            if (name && !name->empty()) {
                runs.emplace_back(*name + ": ", true);
                runs.insert(runs.end(), cell.begin(), cell.end());
            } else if (c == 0 && !header) {
                for (const Run& run : cell) runs.emplace_back(run.text, true, run.italic);
            } else {
                runs.insert(runs.end(), cell.begin(), cell.end());
            }
        }
        if (runs.empty()) continue;
        Paragraph text = paragraphStyle(layout_.size, 0, 0);
        appendRuns(text, runs, layout_.size, settings_.highContrast, true);
        Flow& made = flows.emplace_back(layout_.counting_ ? countedFlow(text) : flow(0, text));
        // A part of a row: the line break between two parts is where one ends
        // and the next goes on.
        made.continuing = anyText(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(from));
        made.continued = anyText(row.begin() + static_cast<std::ptrdiff_t>(to), row.end());
        made.separated = !made.continued && r + 1 < rows.size();
    }
    return flows;
}

void Layout::tableAsList(const std::vector<Flow>& rows)
{
    for (const Flow& row : rows) {
        flowText(0, row, row.continuing);
        if (row.separated) {
            cursor_ -= 0.4 * size;
            if (cursor_ - bottom > size)
                ops_.emplace_back(Op::Line{{left, cursor_}, {left + 0.4 * width, cursor_}, settings.highContrast ? 2.5 : 1.0});
            cursor_ -= 0.5 * size;
        }
    }
}

} // namespace FolmiraKit::Renderer
