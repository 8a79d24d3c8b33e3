// The layout's geometry, page handling and text flow.
//
// Lines sit at a fixed pitch (lineSpacing × the type size), with the extra
// leading above the glyphs: a line's baseline is one pitch below the top of its
// slot, raised by the line's descent. A paragraph is broken into lines once, at
// the column width, and its lines are then dealt out to frames page by page.

#include "FolmiraKit/Render/Layout.h"

#include <algorithm>
#include <cmath>

namespace FolmiraKit::Renderer {

std::string Layout::cleanText(std::string_view text, bool keepBreaks)
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

Layout::Layout(const LargePrintSettings& clampedSettings)
    : settings(clampedSettings),
      page(FolmiraKit::size(clampedSettings.paper)),
      margin(clampedSettings.margin * 72),
      size(clampedSettings.fontSize),
      left(margin),
      width(page.width - 2 * margin),
      top(page.height - margin),
      bottom(margin + (clampedSettings.pageNumbers ? 1.6 * size : 0)),
      cursor_(top)
{
}

void Layout::newPage()
{
    pages_.push_back(std::move(ops_));
    ops_.clear();
    cursor_ = top;
    fresh_ = true;
}

std::vector<Page> Layout::finish()
{
    if (!(ops_.empty() && !pages_.empty())) pages_.push_back(std::move(ops_));
    ops_.clear();
    return std::move(pages_);
}

Layout::Paragraph Layout::paragraphStyle(double base, double firstIndent, double headIndent) const
{
    Paragraph paragraph;
    paragraph.lineHeight = settings.lineSpacing * base;
    paragraph.format.firstIndent = firstIndent;
    paragraph.format.headIndent = headIndent;
    paragraph.format.tabInterval = 2 * base;
    if (headIndent > firstIndent) paragraph.format.tabStops = {headIndent};
    return paragraph;
}

Platform::Font Layout::font(double typeSize, bool bold, bool italic)
{
    auto key = std::make_tuple(typeSize, bold, italic);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) it = fonts_.emplace(key, settings.font.font(typeSize, bold, italic)).first;
    return it->second;
}

void Layout::appendRuns(Paragraph& paragraph, const Runs& runs, double typeSize, bool alwaysBold, bool keepBreaks)
{
    for (const Run& run : runs)
        paragraph.text.append(cleanText(run.text, keepBreaks), font(typeSize, run.bold || alwaysBold, run.italic));
}

double Layout::measureLine(double typeSize, const std::string& text, bool bold)
{
    Platform::AttributedText line;
    line.append(text, font(typeSize, bold || settings.highContrast, false));
    return Platform::TextLayout::lineWidth(line);
}

void Layout::flowText(double indent, double keep, const Paragraph& paragraph)
{
    if (paragraph.text.empty()) return;
    double lh = paragraph.lineHeight > 0 ? paragraph.lineHeight : 1.4 * size;
    // Keep at least one em for the text beside the deepest indent: at a width of
    // zero or less the lines would never wrap and would run off the page.
    double innermost = std::max(paragraph.format.firstIndent, paragraph.format.headIndent);
    double measure = std::max(width - indent, innermost + size);
    auto layout = std::make_shared<const Platform::TextLayout>(paragraph.text, measure, paragraph.format);
    const auto& lines = layout->lines();
    const int total = static_cast<int>(lines.size());

    if (!fresh_) {
        double h = total * lh;
        double room = cursor_ - bottom;
        if ((keep == 0 && room < std::min(h, 2 * lh)) || (keep > 0 && room < keep + h)) newPage();
    }

    // Every pass places at least one line or opens a fresh page, and a fresh
    // page that takes no line ends the block: a block of any length is laid
    // out whole, over as many pages as it needs.
    int start = 0;
    while (start < total) {
        double room = std::max(1.0, cursor_ - bottom);
        int fit = static_cast<int>(std::floor(room / lh + 1e-9));
        if (fit <= 0) {
            if (fresh_) return; // not even an empty page takes a line
            newPage();
            continue;
        }
        int count = std::min(fit, total - start);
        Op::Text frame{layout, start, count, {left + indent, bottom, measure, room}, {}};
        frame.origins.reserve(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            double slotTop = cursor_ - k * lh;
            frame.origins.push_back({left + indent, slotTop - lh + lines[static_cast<std::size_t>(start + k)].descent});
        }
        const auto& last = lines[static_cast<std::size_t>(start + count - 1)];
        cursor_ = frame.origins.back().y - std::max(last.descent, 0.2 * lh);
        ops_.emplace_back(std::move(frame));
        fresh_ = false;
        start += count;
        if (start < total) newPage();
    }
}

} // namespace FolmiraKit::Renderer
