// Tables are found line by line: a line of two or more segments (cut at wide
// gaps) is a row when each segment falls in a column of its own; a line of one
// segment under a column other than the first continues the last row's cell.
// Columns grow as rows are added, and the table ends at the first line that
// does not fit: a wide gap, another size, two segments in one column, more
// than one new column, or columns that would overlap.
//
// Cells set close (padded, their text filling them) leave gaps narrower than
// the type between columns, so once a table has two rows a line is also cut
// where a word starts at a column's left edge after a clearly wider gap. A
// row's last segment lying across columns that earlier rows filled is a
// merged cell: it goes to the leftmost of them, the others left empty, as in
// a Word table. Where rows stand apart, a line standing close under a row
// continues its cells where they had no room left (the first cell too), and
// a word that a cell's edge cut in two is joined again.

#include "FolmiraKit/PDF/FlowItems.h"

#include "FolmiraKit/PDF/LineTools.h"
#include "FolmiraKit/PDF/Paragraphs.h"
#include "Platform/Text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace FolmiraKit::PDFReader {

namespace Text = Platform::Text;

namespace {

struct Column {
    double low = 0;
    double high = 0;
    int cells = 0; // rows that put a segment of their own in it
};

bool overlaps(const Rect& rect, const Column& column)
{
    return rect.minX() <= column.high + 2 && rect.maxX() >= column.low - 2;
}

bool overlaps(const Line& segment, const Column& column) { return overlaps(segment.rect, column); }

std::optional<std::size_t> firstOverlapping(const Line& segment, const std::vector<Column>& columns)
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (overlaps(segment, columns[i])) return i;
    return std::nullopt;
}

std::vector<Column> byLowX(std::vector<Column> columns)
{
    std::stable_sort(columns.begin(), columns.end(), [](const Column& a, const Column& b) { return a.low < b.low; });
    return columns;
}

// The columns, of the first `count`, that `segment` lies across: two or more
// that it overlaps, each holding cells of two rows already, the rightmost of
// the table among them, standing within the table (at most a type size past
// its outer columns; `labelled`, after a cell of its row, it may run on to
// the right, as a merged cell's text is not held to the short words of the
// columns it spans); none otherwise.
std::vector<std::size_t> spanned(const Line& segment, const std::vector<Column>& columns, std::size_t count,
                                 bool labelled)
{
    std::vector<std::size_t> found;
    double low = 0, high = 0, reached = 0;
    for (std::size_t i = 0; i < count; ++i) {
        low = i == 0 ? columns[i].low : std::min(low, columns[i].low);
        high = i == 0 ? columns[i].high : std::max(high, columns[i].high);
        if (overlaps(segment, columns[i])) {
            if (columns[i].cells < 2) return {};
            found.push_back(i);
            reached = std::max(reached, columns[i].high);
        }
    }
    double size = bodySize(segment);
    if (found.size() < 2 || reached < high || segment.rect.minX() < low - size ||
        (!labelled && segment.rect.maxX() > high + size))
        return {};
    return found;
}

// The segments cut further where a word starts at the left edge of a column
// (or the word before it ends at the right edge of its own) right of every
// column the word before it touches, at a gap wider than a
// word space and half as wide again as any gap left inside the pieces (so a
// justified line crossing the table is not cut); as they are otherwise.
PDFReader::Lines cutAtColumns(const PDFReader::Lines& segments, const std::vector<Column>& columns)
{
    if (columns.size() < 2) return segments;
    std::vector<Column> sorted = byLowX(columns);
    auto touched = [&](const Word& w, bool last) -> std::optional<std::size_t> {
        std::optional<std::size_t> found;
        for (std::size_t i = 0; i < sorted.size(); ++i)
            if (overlaps(w.rect, sorted[i]) && (last || !found)) found = i;
        return found;
    };
    PDFReader::Lines out;
    double narrowestCut = std::numeric_limits<double>::infinity(), widestKept = 0;
    for (const Line& segment : segments) {
        std::vector<Word> words;
        for (const Word& w : segment.words) {
            if (!words.empty()) {
                const Word& p = words.back();
                double gap = w.rect.minX() - p.rect.maxX();
                auto left = touched(p, true), right = touched(w, false);
                // Or the word before the gap ends at its column's right edge:
                // cells set flush right (right-to-left text, figures).
                bool aligned = std::abs(w.rect.minX() - sorted[*right].low) <= 2 ||
                               (left && std::abs(p.rect.maxX() - sorted[*left].high) <= 2);
                if (gap > 0.35 * std::max(p.size, w.size) && left && right && *left < *right && aligned) {
                    narrowestCut = std::min(narrowestCut, gap);
                    out.push_back(makeLine(std::exchange(words, {})));
                } else {
                    widestKept = std::max(widestKept, gap);
                }
            }
            words.push_back(w);
        }
        out.push_back(makeLine(std::move(words)));
    }
    if (out.size() == segments.size() || narrowestCut <= 1.5 * widestKept) return segments;
    return out;
}

// The columns after placing a row's segments, or none when the row does not
// fit (or would need a new column when `newColumns` is false).
std::optional<std::vector<Column>> placeRow(const PDFReader::Lines& segments, std::vector<Column> columns,
                                            bool newColumns = true)
{
    std::size_t before = columns.size();
    std::vector<bool> used;
    for (const Line& segment : segments) {
        if (auto across = &segment == &segments.back() ? spanned(segment, columns, before, segments.size() > 1)
                                                        : std::vector<std::size_t>{};
            !across.empty()) {
            used.resize(columns.size(), false);
            for (std::size_t i : across) {
                if (used[i]) return std::nullopt;
                used[i] = true;
            }
            continue;
        }
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
        ++columns[index].cells;
    }
    if (before > 0 && columns.size() - before > (newColumns ? 1 : 0)) return std::nullopt;
    std::vector<Column> sorted = byLowX(columns);
    for (std::size_t i = 0; i + 1 < sorted.size(); ++i)
        if (sorted[i].high >= sorted[i + 1].low) return std::nullopt;
    return columns;
}

// Whether a line `gap` under the one above stands much closer than the
// table's rows stand apart (`rowGaps`, the gaps above its rows).
bool closeUnder(double gap, const std::vector<double>& rowGaps, double base)
{
    if (rowGaps.empty()) return false;
    double usual = median(rowGaps);
    return gap < 0.4 * usual && usual - gap >= 0.5 * base;
}

// Whether a line `gap` under the row above, further than lines of text
// stand apart, is a row of a table whose cells are padded wide: the second
// row (a line of cells) up to two and a half type sizes below the first, a
// later one (a row of one cell too) as far below as the rows stand apart.
bool spacedRow(double gap, const std::vector<double>& rowGaps, double base)
{
    if (gap > 2.5 * base) return false;
    if (rowGaps.empty()) return true;
    double usual = median(rowGaps);
    return gap <= 1.25 * usual && gap >= 0.75 * usual;
}

// Whether a line `gap` under the one above stands as far below it as the
// table's rows stand apart, where they stand clearly apart (cells padded):
// it begins a row of its own, not the next line of a cell.
bool standsAsRow(double gap, const std::vector<double>& rowGaps, double base)
{
    if (rowGaps.empty()) return false;
    double usual = median(rowGaps);
    return usual >= 0.5 * base && gap >= 0.6 * usual;
}

// Whether a segment under `column` continues a word that the line above cut
// at the cell's edge: that line held the one word, reaching the column's
// right edge from where this line starts, and this one goes on with the rest
// of a number cut beside one of its "," or "." separators, or is a lower-case
// spill of at most three letters, shorter than the piece above (as where a
// column is a little too narrow for a label; a longer rest may be a word of
// its own).
bool continuesWord(const Line& above, const Line& segment, const Column& column)
{
    if (above.words.size() != 1 || segment.words.empty()) return false;
    const Word& cut = above.words.front();
    const std::string& rest = segment.words.front().text;
    std::string_view first = Text::firstCharacter(rest);
    std::string_view last = Text::lastCharacter(cut.text);
    auto separator = [](std::string_view c) { return c == "," || c == "."; };
    int restLength = countCharacters(rest);
    bool inWord = segment.words.size() == 1 && restLength <= 3 && restLength < countCharacters(cut.text) &&
                  Text::isAlphanumeric(last) && Text::isLowercase(first);
    bool inNumber = cut.text.find_first_not_of("0123456789,.") == std::string::npos &&
                    (separator(last) ? Text::isNumber(first) : separator(first));
    return (inWord || inNumber) && std::abs(cut.rect.minX() - segment.rect.minX()) <= 2 &&
           cut.rect.maxX() >= column.high - 0.5 * cut.size && cut.rect.maxX() <= column.high + 2;
}

// The lowest line of `row` under the one column that `piece` lies under, or
// none (with that column's index).
std::pair<const Line*, std::size_t> cellAbove(const PDFReader::Lines& row, const Line& piece,
                                              const std::vector<Column>& columns)
{
    auto column = firstOverlapping(piece, columns);
    if (!column || std::count_if(columns.begin(), columns.end(), [&](const Column& c) { return overlaps(piece, c); }) != 1)
        return {nullptr, 0};
    const Line* above = nullptr;
    for (const Line& segment : row)
        if (firstOverlapping(segment, columns) == column && (!above || segment.rect.maxY() < above->rect.maxY()))
            above = &segment;
    return {above, *column};
}

// Whether `piece` can be the rest of a cell of `row` that wrapped: the cell's
// lowest line had no room left, before the column's right edge, for the
// piece's first word.
bool wrapsFrom(const PDFReader::Lines& row, const Line& piece, const std::vector<Column>& columns)
{
    auto [above, column] = cellAbove(row, piece, columns);
    if (!above || piece.words.empty()) return false;
    const Word& next = piece.words.front();
    return above->rect.maxX() + 0.2 * next.size + next.rect.width > columns[column].high - 1;
}

// Whether a line of several pieces continues the cells of `row`: each wraps
// from a cell, and one goes on with a word a cell's edge cut.
bool continuesCells(const PDFReader::Lines& row, const PDFReader::Lines& pieces, const std::vector<Column>& columns)
{
    auto cutWord = [&](const Line& piece) {
        auto [above, column] = cellAbove(row, piece, columns);
        return above && continuesWord(*above, piece, columns[column]);
    };
    return std::all_of(pieces.begin(), pieces.end(), [&](const Line& piece) { return wrapsFrom(row, piece, columns); }) &&
           std::any_of(pieces.begin(), pieces.end(), cutWord);
}

Block::Row cellsOf(PDFReader::Lines& row, const std::vector<Column>& columns)
{
    std::vector<Runs> cells(columns.size());
    std::vector<const Line*> above(columns.size(), nullptr);
    std::stable_sort(row.begin(), row.end(), [](const Line& a, const Line& b) { return a.rect.maxY() > b.rect.maxY(); });
    for (const Line& segment : row) {
        auto column = firstOverlapping(segment, columns);
        if (!column) continue;
        Runs runs = lineRuns(segment.words);
        if (above[*column] && continuesWord(*above[*column], segment, columns[*column]))
            cells[*column].insert(cells[*column].end(), runs.begin(), runs.end());
        else
            joinLine(cells[*column], std::move(runs));
        above[*column] = &segment;
    }
    Block::Row cellsOfRow;
    for (Runs& cell : cells) cellsOfRow.push_back(tidied(std::move(cell)));
    return cellsOfRow;
}

} // namespace

std::optional<DetectedTable> detectTables(std::size_t start, const PDFReader::Lines& lines)
{
    // Looked for at every line: most are one segment, told without cutting them.
    if (start >= lines.size() || lines[start].picture || segmentCount(lines[start]) < 2) return std::nullopt;
    PDFReader::Lines firstSegments = splitAtGaps(lines[start]);

    double base = bodySize(lines[start]);
    std::vector<Column> columns;
    std::vector<PDFReader::Lines> rows;
    std::vector<double> rowGaps; // above each row but the first
    std::size_t j = start;
    for (; j < lines.size(); ++j) {
        const Line& line = lines[j];
        if (line.picture) break;
        double gap = 0;
        PDFReader::Lines segments = j == start ? firstSegments : splitAtGaps(line);
        if (j > start) {
            gap = lines[j - 1].rect.minY() - line.rect.maxY();
            double size = bodySize(line);
            if (std::abs(size - base) > 1.5) break;
            if (gap > 1.6 * std::max(base, size) && !((segments.size() > 1 || !rowGaps.empty()) && spacedRow(gap, rowGaps, base))) break;
        }
        if (rows.size() >= 2) {
            PDFReader::Lines cut = cutAtColumns(segments, columns);
            if (cut.size() > segments.size() && placeRow(cut, columns, false)) segments = std::move(cut);
        }
        bool close = closeUnder(gap, rowGaps, base);
        if (segments.size() > 1 && close && !rows.empty() && continuesCells(rows.back(), segments, columns)) {
            rows.back().insert(rows.back().end(), segments.begin(), segments.end());
        } else if (segments.size() == 1) {
            if (rows.empty() || columns.empty()) break;
            auto column = firstOverlapping(segments.front(), columns);
            // Under the leftmost column, whichever row began it: a first row may leave its first cell empty.
            const Column& leftmost = *std::min_element(columns.begin(), columns.end(),
                                                       [](const Column& a, const Column& b) { return a.low < b.low; });
            bool first = overlaps(segments.front(), leftmost);
            if (!column || (first && !(close && wrapsFrom(rows.back(), segments.front(), columns)))) break;
            if (standsAsRow(gap, rowGaps, base)) {
                // A row of one cell (a dash under a figure, the others empty,
                // or a cell merged across them), not the rest of a cell above.
                auto placed = placeRow(segments, columns, false);
                if (!placed) break;
                columns = std::move(*placed);
                rows.push_back(std::move(segments));
                rowGaps.push_back(gap);
            } else {
                rows.back().push_back(std::move(segments.front()));
            }
        } else {
            auto placed = placeRow(segments, columns);
            if (!placed) break;
            columns = std::move(*placed);
            rows.push_back(std::move(segments));
            if (j > start) rowGaps.push_back(gap);
        }
    }
    if (rows.size() < 2 || columns.size() < 2) return std::nullopt;

    columns = byLowX(std::move(columns));
    DetectedTable table;
    // The first row's segments in their line order, continuation lines included.
    const PDFReader::Lines& first = rows.front();
    table.header = std::all_of(first.begin(), first.end(), [](const Line& segment) {
        return !segment.words.empty() &&
               std::all_of(segment.words.begin(), segment.words.end(), [](const Word& w) { return w.bold; });
    });
    for (PDFReader::Lines& row : rows) table.rows.push_back(cellsOf(row, columns));
    // Cells are met left to right; a right-to-left table's first is its rightmost.
    if (Block::Table::rowsReadRightToLeft(table.rows))
        for (Block::Row& row : table.rows) std::reverse(row.begin(), row.end());
    table.taken = static_cast<int>(j - start);
    return table;
}

std::vector<FlowItem> flowItems(const PDFReader::Lines& lines, bool tables)
{
    return flowItems(PDFReader::Lines(lines), tables);
}

std::vector<FlowItem> flowItems(PDFReader::Lines&& lines, bool tables)
{
    // A line is moved on once it is passed: a table is looked for only from
    // the line it starts at onwards.
    std::vector<FlowItem> items;
    PDFReader::Lines pending;
    auto flush = [&] {
        if (pending.empty()) return;
        items.emplace_back().value.emplace<FlowItem::Lines>(FlowItem::Lines{std::exchange(pending, {})});
    };
    for (std::size_t i = 0; i < lines.size();) {
        if (lines[i].picture) {
            flush();
            items.emplace_back().value.emplace<FlowItem::Picture>(FlowItem::Picture{std::move(*lines[i].picture)});
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
        pending.push_back(std::move(lines[i]));
        ++i;
    }
    flush();
    return items;
}

} // namespace FolmiraKit::PDFReader
