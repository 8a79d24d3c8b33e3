// Tables: a ruled grid when it fits, otherwise one paragraph per row.
//
// The grid is planned in full while the table is shaped (column widths from
// the widest word and the whole text of each column, row heights from the cell
// text laid out at those widths), before anything is placed, so that a table
// that does not fit is listed instead from the same cursor. Cell text is laid
// out once, while planning, and the same lines are drawn.

#include "FolmiraKit/Render/LayoutShaper.h"

#include "Platform/Text.h"

#include <algorithm>
#include <numeric>

namespace FolmiraKit::Renderer {
namespace {

// The pieces of `text` between white space, empty pieces dropped.
std::vector<std::string> wordsOf(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    for (char32_t c : Platform::Text::scalars(text)) {
        if (Platform::Text::isWhitespaceScalar(c)) {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            Platform::Text::appendScalar(word, c);
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

} // namespace

std::optional<Layout::Grid> Layout::Shaper::tableGrid(const std::vector<Block::Row>& rows, bool header)
{
    std::size_t n = 0;
    for (const auto& row : rows) n = std::max(n, row.size());
    Grid grid;
    if (n < 1) return grid;
    const double size = layout_.size, width = layout_.width;
    const double p = 0.35 * size;
    const double lh = settings_.lineSpacing * size;
    grid.header = header && !rows.empty();

    // Column widths: at least the widest word, at most the widest whole text.
    std::vector<double> least(n, 2 * p), most(n, 2 * p);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        bool bold = grid.header && r == 0;
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            std::string text = cleanText(plain(rows[r][c]), false);
            double longest = 0;
            for (const auto& word : wordsOf(text)) longest = std::max(longest, measureLine(size, word, bold));
            least[c] = std::max(least[c], longest + 2 * p + 1);
            most[c] = std::max(most[c], measureLine(size, text, bold) + 2 * p + 1);
        }
    }
    double leastSum = std::accumulate(least.begin(), least.end(), 0.0);
    if (leastSum > width) return std::nullopt;
    double mostSum = std::accumulate(most.begin(), most.end(), 0.0);
    grid.columns.resize(n);
    if (mostSum <= width) {
        for (std::size_t c = 0; c < n; ++c) grid.columns[c] = most[c] + most[c] / mostSum * (width - mostSum);
    } else {
        double spread = 0;
        for (std::size_t c = 0; c < n; ++c) spread += most[c] - least[c];
        for (std::size_t c = 0; c < n; ++c)
            grid.columns[c] = least[c] + (most[c] - least[c]) * (width - leastSum) / std::max(1.0, spread);
    }

    // Cell text at those widths, and the row heights it needs.
    grid.rows.resize(rows.size());
    const double area = layout_.top - layout_.bottom;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        bool headerRow = grid.header && r == 0;
        double tallest = lh;
        grid.rows[r].cells.resize(n);
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            if (rows[r][c].empty()) continue;
            Paragraph text = paragraphStyle(size, 0, 0);
            appendRuns(text, rows[r][c], size, headerRow || settings_.highContrast, settings_.keepLineBreaks);
            if (text.text.empty()) continue;
            auto cell = std::make_shared<const Platform::TextLayout>(text.text, grid.columns[c] - 2 * p, text.format);
            tallest = std::max(tallest, static_cast<double>(cell->lines().size()) * lh);
            grid.rows[r].cells[c] = std::move(cell);
        }
        grid.rows[r].height = tallest + 2 * p;
        // No row may need most of a page.
        if (grid.rows[r].height >= 0.9 * area) return std::nullopt;
    }
    // A header repeated above a body row must fit a page together with it.
    if (grid.header) {
        for (std::size_t r = 1; r < rows.size(); ++r)
            if (grid.rows[0].height + grid.rows[r].height > area) return std::nullopt;
    }
    return grid;
}

void Layout::tableGrid(const Grid& grid)
{
    const std::size_t n = grid.columns.size();
    const std::size_t count = grid.rows.size();
    if (n < 1) return;
    const double p = 0.35 * size;
    const double lh = settings.lineSpacing * size;

    auto drawRow = [&](std::size_t r) {
        bool headerRow = grid.header && r == 0;
        double rh = grid.rows[r].height;
        double rowBottom = cursor_ - rh;
        if (headerRow && !settings.highContrast) ops_.emplace_back(Op::Fill{{left, rowBottom, width, rh}, 0.9});
        double border = settings.highContrast ? (headerRow ? 3.0 : 2.5) : 1.0;
        double x = left;
        for (std::size_t c = 0; c < n; ++c) {
            const double column = grid.columns[c];
            ops_.emplace_back(Op::Box{{x, rowBottom, column, rh}, border});
            if (const auto& layout = grid.rows[r].cells[c]) {
                Op::Text frame{layout, 0, static_cast<int>(layout->lines().size()),
                               {x + p, rowBottom + p, column - 2 * p, rh - 2 * p}, {}};
                for (std::size_t k = 0; k < layout->lines().size(); ++k)
                    frame.origins.push_back({x + p, cursor_ - p - static_cast<double>(k + 1) * lh + layout->lines()[k].descent});
                ops_.emplace_back(std::move(frame));
            }
            x += column;
        }
        cursor_ = rowBottom;
        fresh_ = false;
    };

    for (std::size_t r = 0; r < count; ++r) {
        double rh = grid.rows[r].height;
        if (cursor_ - rh < bottom) {
            newPage();
            if (grid.header && r > 0) drawRow(0);
            drawRow(r);
            continue;
        }
        // A header row does not end a page alone, unless the page is fresh.
        if (grid.header && r == 0 && count >= 2 && cursor_ - (rh + grid.rows[1].height) < bottom && !fresh_) {
            newPage();
        }
        drawRow(r);
    }
}

std::vector<Layout::Flow> Layout::Shaper::tableAsList(const std::vector<Block::Row>& rows, bool header)
{
    std::vector<Flow> flows;
    std::vector<std::string> names;
    std::size_t first = 0;
    if (header) {
        for (const auto& cell : rows.front()) names.push_back(plain(cell));
        first = 1;
    }
    for (std::size_t r = first; r < rows.size(); ++r) {
        Runs runs;
        const auto& row = rows[r];
        for (std::size_t c = 0; c < row.size(); ++c) {
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
        flows.push_back(flow(0, text));
        flows.back().separated = r + 1 < rows.size();
    }
    return flows;
}

void Layout::tableAsList(const std::vector<Flow>& rows)
{
    for (const Flow& row : rows) {
        flowText(0, row);
        if (row.separated) {
            cursor_ -= 0.4 * size;
            if (cursor_ - bottom > size)
                ops_.emplace_back(Op::Line{{left, cursor_}, {left + 0.4 * width, cursor_}, settings.highContrast ? 2.5 : 1.0});
            cursor_ -= 0.5 * size;
        }
    }
}

} // namespace FolmiraKit::Renderer
