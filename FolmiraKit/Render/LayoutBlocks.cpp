// Each kind of block on the page: headings, paragraphs, list items, tables,
// pictures and rules. Spacing is in multiples of the body size and is taken
// off the cursor.

#include "FolmiraKit/Render/Layout.h"

#include "FolmiraKit/Model/Cancel.h"

#include <algorithm>
#include <functional>
#include <string_view>

namespace FolmiraKit::Renderer {

void Layout::add(const Block& block, const Block* next)
{
    if (block.as<Block::Table>()) return table(block);
    Shaped text = shaped(Piece{&block, 0, 0});
    std::visit(
        [&](const auto& value) {
            using Case = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Case, Block::Heading>) heading(value, text, next);
            else if constexpr (std::is_same_v<Case, Block::Paragraph>)
                paragraph(text, continuations_.count(&block) > 0, next && continuations_.count(next) > 0);
            else if constexpr (std::is_same_v<Case, Block::ListItem>) listItem(text, next);
            else if constexpr (std::is_same_v<Case, Block::Image>) {
                if (!settings.keepImages) {
                    ++droppedImages_;
                    return;
                }
                picture(value.picture);
                cursor_ -= 0.6 * size;
            } else if constexpr (std::is_same_v<Case, Block::Rule>) rule();
        },
        block.value());
    spend(std::move(text));
}

void Layout::heading(const Block::Heading& heading, const Shaped& shaped, const Block* next)
{
    if (!fresh_) cursor_ -= (heading.level <= 1 ? 1.0 : 0.85) * size;
    // A heading travels with the start of what follows it.
    double keep = 0;
    if (next) keep = next->as<Block::Image>() ? 3.0 * size : 2 * settings.lineSpacing * size;
    flowText(keep, shaped.flows.front());
    if (settings.highContrast && heading.level < 3) {
        cursor_ -= 0.2 * size;
        ops_.emplace_back(Op::Line{{left, cursor_}, {left + width, cursor_}, 2.0});
    }
    cursor_ -= 0.35 * size;
}

void Layout::paragraph(const Shaped& shaped, bool continuing, bool continued)
{
    flowText(0, shaped.flows.front(), continuing);
    if (!continued) cursor_ -= 0.6 * size;
}

void Layout::listItem(const Shaped& shaped, const Block* next)
{
    flowText(0, shaped.flows.front());
    cursor_ -= (next && next->as<Block::ListItem>() ? settings.listSpacing : 0.6) * size;
}

void Layout::table(const Block& block)
{
    if (block.as<Block::Table>()->rows.empty()) return;
    bool listed = false;
    for (const Piece& piece : piecesOf(block)) {
        checkCancelled(); // a table may be most of a long document
        Shaped rows = shaped(piece);
        listed = rows.listed;
        if (rows.grid) tableGrid(*rows.grid);
        else tableAsList(rows.flows);
        spend(std::move(rows));
    }
    if (listed) ++listedTables_;
    cursor_ -= 0.6 * size;
}

Platform::Size Layout::pictureSize(const Picture& picture, Platform::ImageInfo pixels) const
{
    double w = picture.width > 0 ? picture.width : pixels.width * 0.5;
    double h = picture.height > 0 ? picture.height : pixels.height * 0.5;
    // Pictures grow with the type, by its ratio to 11 points, within the column.
    double dw = std::min(width, std::max(1.0, size / 11) * w);
    double dh = h * dw / std::max(1.0, w);
    double most = 0.85 * (top - bottom);
    if (dh > most) {
        dw = w * most / std::max(1.0, h);
        dh = most;
    }
    return {dw, dh};
}

void Layout::picture(const Picture& picture)
{
    // The header decides; the pixels are decoded only when the page is drawn.
    // A picture shown many times is sized, and its bytes held, once.
    const auto hash = std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(picture.data.data()), picture.data.size()));
    auto [first, last] = pictures_.equal_range(hash);
    auto known = std::find_if(first, last, [&](const auto& entry) { return entry.second.data == picture.data; });
    if (known == last)
        known = pictures_.emplace(hash, KnownPicture{picture.data, Platform::imageInfo(*picture.data.bytes())});
    const auto& pixels = known->second.pixels;
    if (!pixels) return; // undecodable pictures are skipped without a word
    auto [dw, dh] = pictureSize(picture, *pixels);
    if (!fresh_ && cursor_ - bottom < dh) newPage();
    Platform::Rect rect{left, cursor_ - dh, dw, dh};
    ops_.emplace_back(Op::Image{known->second.data, rect});
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
