// Each kind of block on the page: headings, paragraphs, list items, tables,
// pictures and rules. Spacing is in multiples of the body size and is taken
// off the cursor.

#include "FolmiraKit/Render/Layout.h"

#include <algorithm>

namespace FolmiraKit::Renderer {

void Layout::add(const Block& block, const Block* next)
{
    std::visit(
        [&](const auto& value) {
            using Case = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Case, Block::Heading>) heading(value, next);
            else if constexpr (std::is_same_v<Case, Block::Paragraph>) paragraph(value);
            else if constexpr (std::is_same_v<Case, Block::ListItem>) listItem(value, next);
            else if constexpr (std::is_same_v<Case, Block::Table>) table(value);
            else if constexpr (std::is_same_v<Case, Block::Image>) {
                if (!settings.keepImages) {
                    ++droppedImages_;
                    return;
                }
                picture(value.picture);
                cursor_ -= 0.6 * size;
            } else rule();
        },
        block.value());
}

void Layout::heading(const Block::Heading& heading, const Block* next)
{
    double hs = heading.level <= 1 ? 1.5 * size : heading.level == 2 ? 1.3 * size : 1.15 * size;
    if (!fresh_) cursor_ -= (heading.level <= 1 ? 1.0 : 0.85) * size;
    Paragraph text = paragraphStyle(hs, 0, 0);
    appendRuns(text, heading.runs, hs, true, settings.keepLineBreaks);
    // A heading travels with the start of what follows it.
    double keep = 0;
    if (next) keep = next->as<Block::Image>() ? 3.0 * size : 2 * settings.lineSpacing * size;
    flowText(0, keep, text);
    if (settings.highContrast && heading.level < 3) {
        cursor_ -= 0.2 * size;
        ops_.emplace_back(Op::Line{{left, cursor_}, {left + width, cursor_}, 2.0});
    }
    cursor_ -= 0.35 * size;
}

void Layout::paragraph(const Block::Paragraph& paragraph)
{
    Paragraph text = paragraphStyle(size, 0, 0);
    appendRuns(text, paragraph.runs, size, settings.highContrast, paragraph.lineBreaks || settings.keepLineBreaks);
    flowText(0, 0, text);
    cursor_ -= 0.6 * size;
}

void Layout::listItem(const Block::ListItem& item, const Block* next)
{
    double gap = std::max(1.6 * size, 0.4 * size + measureLine(size, item.marker + " ", false));
    // Deep nesting in a narrow column would leave the text no room at all: the
    // indent gives way so that at least one em stays beside the marker column.
    double firstIndent = std::max(0, item.level) * 1.4 * size;
    firstIndent = std::max(0.0, std::min(firstIndent, width - gap - size));
    Paragraph text = paragraphStyle(size, firstIndent, firstIndent + gap);
    // The marker in the bold face, then a tab to the text's own edge.
    appendRuns(text, {Run(item.marker + "\t", true)}, size, true, false);
    appendRuns(text, item.runs, size, settings.highContrast, settings.keepLineBreaks);
    flowText(0, 0, text);
    cursor_ -= (next && next->as<Block::ListItem>() ? settings.listSpacing : 0.6) * size;
}

void Layout::table(const Block::Table& table)
{
    if (table.rows.empty()) return;
    if (settings.tables == LargePrintSettings::TableMode::list || !tableGrid(table.rows, table.header)) {
        tableAsList(table.rows, table.header);
        ++listedTables_;
    }
    cursor_ -= 0.6 * size;
}

void Layout::picture(const Picture& picture)
{
    // The header decides; the pixels are decoded only when the page is drawn.
    auto pixels = Platform::imageInfo(picture.data);
    if (!pixels) return; // undecodable pictures are skipped without a word
    double w = picture.width > 0 ? picture.width : pixels->width * 0.5;
    double h = picture.height > 0 ? picture.height : pixels->height * 0.5;
    // Pictures grow with the type, by its ratio to 11 points, within the column.
    double dw = std::min(width, std::max(1.0, size / 11) * w);
    double dh = h * dw / std::max(1.0, w);
    double most = 0.85 * (top - bottom);
    if (dh > most) {
        dw = w * most / std::max(1.0, h);
        dh = most;
    }
    if (!fresh_ && cursor_ - bottom < dh) newPage();
    Platform::Rect rect{left, cursor_ - dh, dw, dh};
    ops_.emplace_back(Op::Image{std::make_shared<const Platform::Bytes>(picture.data), rect});
    if (settings.highContrast) ops_.emplace_back(Op::Box{rect, 1.5});
    fresh_ = false;
    cursor_ -= dh;
}

void Layout::rule()
{
    double y = cursor_;
    if (!fresh_) {
        y = cursor_ - 0.3 * size;
        cursor_ = y;
    }
    // A rule never sits at the foot of a page: too close, and the next block
    // starts a new page instead.
    if (y - bottom < size) {
        newPage();
        return;
    }
    ops_.emplace_back(Op::Line{{left, y}, {left + width, y}, settings.highContrast ? 2.5 : 1.0});
    cursor_ = y - 0.9 * size;
    fresh_ = false;
}

} // namespace FolmiraKit::Renderer
