// The layout's geometry, page handling and text flow.
//
// Lines sit at a fixed pitch (lineSpacing × the type size), with the extra
// leading above the glyphs: a line's baseline is one pitch below the top of its
// slot, raised by the line's descent. A paragraph is broken into lines once, at
// the column width, and its lines are then dealt out to frames page by page.

#include "FolmiraKit/Render/Layout.h"

#include "FolmiraKit/Render/LayoutShaper.h"

#include <algorithm>
#include <cmath>

namespace FolmiraKit::Renderer {

Layout::Layout(const LargePrintSettings& clampedSettings)
    : settings(clampedSettings),
      page(FolmiraKit::size(clampedSettings.paper)),
      margin(clampedSettings.margin * 72),
      size(clampedSettings.fontSize),
      left(margin),
      width(page.width - 2 * margin),
      top(page.height - margin),
      bottom(margin + (clampedSettings.pageNumbers ? 1.6 * size : 0)),
      cursor_(top),
      plans_(std::make_shared<TablePlans>()),
      shaper_(std::make_unique<Shaper>(*this))
{
}

void Layout::newPage()
{
    deliver(std::move(ops_));
    ops_.clear();
    cursor_ = top;
    fresh_ = true;
}

void Layout::deliver(Page&& page)
{
    ++pageCount_;
    if (!sink_) pages_.push_back(std::move(page));
    else if (ahead_) pending_.push_back(std::move(page)); // helpers may be shaping
    else sink_(std::move(page));
}

void Layout::handOver(std::size_t count)
{
    count = std::min(count, pending_.size());
    const auto end = pending_.begin() + static_cast<std::ptrdiff_t>(count);
    for (auto page = pending_.begin(); page != end; ++page) sink_(std::move(*page));
    pending_.erase(pending_.begin(), end);
}

std::size_t Layout::upToPangoDrawn() const
{
    auto needsPango = [](const Page& page) {
        for (const Op& op : page)
            if (const auto* text = op.as<Op::Text>())
                for (int k = 0; k < text->lineCount; ++k)
                    if (text->layout->needsPango(text->firstLine + k)) return true;
        return false;
    };
    for (std::size_t n = pending_.size(); n > 0; --n)
        if (needsPango(pending_[n - 1])) return n;
    return 0;
}

std::vector<Page> Layout::finish()
{
    ahead_.reset(); // every helper is done with its Pango before the pages are drawn
    if (sink_) handOver(pending_.size());
    if (!(ops_.empty() && pageCount_ > 0)) deliver(std::move(ops_));
    ops_.clear();
    return std::move(pages_);
}

void Layout::flowText(double keep, const Flow& flow, bool continuing)
{
    if (!flow.layout) return;
    const double lh = flow.lineHeight;
    const double x = left + flow.indent;
    const auto& lines = flow.layout->lines();
    const int total = static_cast<int>(lines.size());

    if (!fresh_ && !continuing) {
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
        Op::Text frame{flow.layout, start, count, {x, bottom, flow.measure, room}, {}};
        frame.origins.reserve(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            double slotTop = cursor_ - k * lh;
            frame.origins.push_back({x, slotTop - lh + lines[static_cast<std::size_t>(start + k)].descent});
        }
        const auto& last = lines[static_cast<std::size_t>(start + count - 1)];
        // A part continued by another ends where its next line would start.
        if (flow.continued) cursor_ -= count * lh;
        else cursor_ = frame.origins.back().y - std::max(last.descent, 0.2 * lh);
        ops_.emplace_back(std::move(frame));
        fresh_ = false;
        start += count;
        if (start < total) newPage();
    }
}

} // namespace FolmiraKit::Renderer
