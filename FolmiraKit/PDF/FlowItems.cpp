// Tables are found line by line: a line of two or more segments (cut at wide
// gaps) is a row when each segment falls in a column of its own; a line of one
// segment under a column other than the first continues the last row's cell.
// Columns grow as rows are added, and the table ends at the first line that
// does not fit: a wide gap, another size, two segments in one column, more
// than one new column, or columns that would overlap.

#include "FolmiraKit/PDF/FlowItems.h"

#include "FolmiraKit/PDF/LineTools.h"
#include "FolmiraKit/PDF/Paragraphs.h"

#include <algorithm>
#include <cmath>

namespace FolmiraKit::PDFReader {

namespace {

struct Column {
    double low = 0;
    double high = 0;
};

bool overlaps(const Line& segment, const Column& column)
{
    return segment.rect.minX() <= column.high + 2 && segment.rect.maxX() >= column.low - 2;
}

std::optional<std::size_t> firstOverlapping(const Line& segment, const std::vector<Column>& columns)
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (overlaps(segment, columns[i])) return i;
    return std::nullopt;
}

// The columns after placing a row's segments, or none when the row does not fit.
std::optional<std::vector<Column>> placeRow(const PDFReader::Lines& segments, std::vector<Column> columns)
{
    std::size_t before = columns.size();
    std::vector<bool> used;
    for (const Line& segment : segments) {
        std::size_t index;
        if (auto found = firstOverlapping(segment, columns)) {
            index = *found;
            columns[index].low = std::min(columns[index].low, segment.rect.minX());
            columns[index].high = std::max(columns[index].high, segment.rect.maxX());
        } else {
            index = columns.size();
            columns.push_back({segment.rect.minX(), segment.rect.maxX()});
        }
        used.resize(columns.size(), false);
        if (used[index]) return std::nullopt;
        used[index] = true;
    }
    if (before > 0 && columns.size() - before > 1) return std::nullopt;
    std::vector<Column> sorted = columns;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Column& a, const Column& b) { return a.low < b.low; });
    for (std::size_t i = 0; i + 1 < sorted.size(); ++i)
        if (sorted[i].high >= sorted[i + 1].low) return std::nullopt;
    return columns;
}

} // namespace

std::optional<DetectedTable> detectTables(std::size_t start, const PDFReader::Lines& lines)
{
    if (start >= lines.size() || lines[start].picture) return std::nullopt;
    PDFReader::Lines firstSegments = splitAtGaps(lines[start]);
    if (firstSegments.size() < 2) return std::nullopt;

    double base = bodySize(lines[start]);
    std::vector<Column> columns;
    std::vector<PDFReader::Lines> rows;
    int rowCount = 0;
    std::size_t j = start;
    for (; j < lines.size(); ++j) {
        const Line& line = lines[j];
        if (line.picture) break;
        if (j > start) {
            double gap = lines[j - 1].rect.minY() - line.rect.maxY();
            double size = bodySize(line);
            if (gap > 1.6 * std::max(base, size) || std::abs(size - base) > 1.5) break;
        }
        PDFReader::Lines segments = j == start ? firstSegments : splitAtGaps(line);
        if (segments.size() == 1) {
            if (rows.empty() || columns.empty()) break;
            auto column = firstOverlapping(segments.front(), columns);
            if (!column || *column == 0) break;
            rows.back().push_back(std::move(segments.front()));
        } else {
            auto placed = placeRow(segments, columns);
            if (!placed) break;
            columns = std::move(*placed);
            rows.push_back(std::move(segments));
            ++rowCount;
        }
    }
    if (rowCount < 2 || columns.size() < 2) return std::nullopt;

    std::stable_sort(columns.begin(), columns.end(), [](const Column& a, const Column& b) { return a.low < b.low; });
    DetectedTable table;
    for (PDFReader::Lines& row : rows) {
        std::vector<Runs> cells(columns.size());
        std::stable_sort(row.begin(), row.end(),
                         [](const Line& a, const Line& b) { return a.rect.maxY() > b.rect.maxY(); });
        for (const Line& segment : row) {
            auto column = firstOverlapping(segment, columns);
            if (!column) continue;
            joinLine(cells[*column], lineRuns(segment.words));
        }
        Block::Row cellsOfRow;
        for (Runs& cell : cells) cellsOfRow.push_back(tidied(std::move(cell)));
        table.rows.push_back(std::move(cellsOfRow));
    }
    // The first row's segments in their line order, continuation lines included.
    const PDFReader::Lines& first = rows.front();
    table.header = std::all_of(first.begin(), first.end(), [](const Line& segment) {
        return !segment.words.empty() &&
               std::all_of(segment.words.begin(), segment.words.end(), [](const Word& w) { return w.bold; });
    });
    table.taken = static_cast<int>(j - start);
    return table;
}

std::vector<FlowItem> flowItems(const PDFReader::Lines& lines, bool tables)
{
    std::vector<FlowItem> items;
    PDFReader::Lines pending;
    auto flush = [&] {
        if (pending.empty()) return;
        items.emplace_back().value.emplace<FlowItem::Lines>(FlowItem::Lines{std::exchange(pending, {})});
    };
    for (std::size_t i = 0; i < lines.size();) {
        if (lines[i].picture) {
            flush();
            items.emplace_back().value.emplace<FlowItem::Picture>(FlowItem::Picture{*lines[i].picture});
            ++i;
            continue;
        }
        if (tables) {
            if (auto table = detectTables(i, lines)) {
                flush();
                items.emplace_back().value.emplace<FlowItem::Table>(
                    FlowItem::Table{std::move(table->rows), table->header});
                i += static_cast<std::size_t>(table->taken);
                continue;
            }
        }
        pending.push_back(lines[i]);
        ++i;
    }
    flush();
    return items;
}

} // namespace FolmiraKit::PDFReader
