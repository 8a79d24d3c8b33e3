// Each kind of block's text: its type size and faces, its paragraph style, and
// its lines at the column width.

#include "FolmiraKit/Render/LayoutShaper.h"

#include <algorithm>

namespace FolmiraKit::Renderer {

Layout::Shaper::Shaper(const Layout& layout) : layout_(layout), settings_(layout.settings) {}

std::string Layout::Shaper::cleanText(std::string_view text, bool keepBreaks)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            out += keepBreaks ? "\u2028" : " ";
        } else if (byte == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80) {
            ++i; // U+0080 to U+009F
        } else if ((byte >= 0x20 && byte != 0x7F) || byte == '\t') {
            out += text[i];
        }
    }
    return out;
}

Layout::Paragraph Layout::Shaper::paragraphStyle(double base, double firstIndent, double headIndent) const
{
    Paragraph paragraph;
    paragraph.lineHeight = settings_.lineSpacing * base;
    paragraph.format.firstIndent = firstIndent;
    paragraph.format.headIndent = headIndent;
    paragraph.format.tabInterval = 2 * base;
    paragraph.format.followDirection = true; // a right-to-left paragraph sits at the right margin
    if (headIndent > firstIndent) paragraph.format.tabStops = {headIndent};
    return paragraph;
}

Platform::Font Layout::Shaper::font(double typeSize, bool bold, bool italic)
{
    auto key = std::make_tuple(typeSize, bold, italic);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) it = fonts_.emplace(key, settings_.font.font(typeSize, bold, italic)).first;
    return it->second;
}

void Layout::Shaper::appendRuns(Paragraph& paragraph, const Runs& runs, double typeSize, bool alwaysBold, bool keepBreaks)
{
    for (const Run& run : runs)
        paragraph.text.append(cleanText(run.text, keepBreaks), font(typeSize, run.bold || alwaysBold, run.italic));
}

double Layout::Shaper::measureLine(double typeSize, const std::string& text, bool bold)
{
    bold = bold || settings_.highContrast;
    auto key = std::make_tuple(typeSize, bold, text);
    auto it = widths_.find(key);
    if (it == widths_.end()) {
        // Repeats are near (markers, a table's words): a table of many
        // different words must not keep them all.
        if (widths_.size() >= 4096) widths_.clear();
        Platform::AttributedText line;
        line.append(text, font(typeSize, bold, false));
        it = widths_.emplace(std::move(key), Platform::TextLayout::lineWidth(line)).first;
    }
    return it->second;
}

Layout::Flow Layout::Shaper::flow(double indent, const Paragraph& paragraph) const
{
    Flow out = frame(indent, paragraph);
    if (!paragraph.text.empty())
        out.layout = std::make_shared<const Platform::TextLayout>(paragraph.text, out.measure, paragraph.format);
    return out;
}

Layout::Flow Layout::Shaper::frame(double indent, const Paragraph& paragraph) const
{
    Flow out;
    out.lineHeight = paragraph.lineHeight > 0 ? paragraph.lineHeight : 1.4 * layout_.size;
    out.indent = indent;
    // Keep at least one em for the text beside the deepest indent: at a width of
    // zero or less the lines would never wrap and would run off the page.
    double innermost = std::max(paragraph.format.firstIndent, paragraph.format.headIndent);
    out.measure = std::max(layout_.width - indent, innermost + layout_.size);
    return out;
}

Layout::Shaped Layout::Shaper::shape(const Piece& piece)
{
    return std::visit(
        [&](const auto& value) {
            using Case = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Case, Block::Heading>) return heading(value);
            else if constexpr (std::is_same_v<Case, Block::Paragraph>) return paragraph(value);
            else if constexpr (std::is_same_v<Case, Block::ListItem>) return listItem(value);
            else if constexpr (std::is_same_v<Case, Block::Table>) return table(value, piece);
            else return Shaped{}; // pictures and rules have no text
        },
        piece.block->value());
}

Layout::Shaped Layout::Shaper::heading(const Block::Heading& heading)
{
    const double size = layout_.size;
    double hs = heading.level <= 1 ? 1.5 * size : heading.level == 2 ? 1.3 * size : 1.15 * size;
    Paragraph text = paragraphStyle(hs, 0, 0);
    appendRuns(text, heading.runs, hs, true, settings_.keepLineBreaks);
    return Shaped{{flow(0, text)}, std::nullopt, false};
}

Layout::Shaped Layout::Shaper::paragraph(const Block::Paragraph& paragraph)
{
    Paragraph text = paragraphStyle(layout_.size, 0, 0);
    appendRuns(text, paragraph.runs, layout_.size, settings_.highContrast,
               paragraph.lineBreaks || settings_.keepLineBreaks);
    return Shaped{{flow(0, text)}, std::nullopt, false};
}

Layout::Shaped Layout::Shaper::listItem(const Block::ListItem& item)
{
    const double size = layout_.size;
    double gap = std::max(1.6 * size, 0.4 * size + measureLine(size, item.marker + " ", false));
    // Deep nesting in a narrow column would leave the text no room at all: the
    // indent gives way so that at least one em stays beside the marker column.
    double firstIndent = std::max(0, item.level) * 1.4 * size;
    firstIndent = std::max(0.0, std::min(firstIndent, layout_.width - gap - size));
    Paragraph text = paragraphStyle(size, firstIndent, firstIndent + gap);
    // The marker in the bold face, then a tab to the text's own edge.
    appendRuns(text, {Run(item.marker + "\t", true)}, size, true, false);
    appendRuns(text, item.runs, size, settings_.highContrast, settings_.keepLineBreaks);
    return Shaped{{flow(0, text)}, std::nullopt, false};
}

} // namespace FolmiraKit::Renderer
