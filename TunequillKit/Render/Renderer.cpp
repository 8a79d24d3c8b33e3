#include "TunequillKit/Render/Renderer.h"

#include "Platform/TextLayout.h"
#include "TunequillKit/Layout/Cancel.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Layout/TextMeasurer.h"

#include <algorithm>
#include <cmath>

namespace TunequillKit::Renderer {

using Platform::Color;
using Platform::Point;

Palette Palette::mono()
{
    Palette p;
    p.chord = p.text;
    p.accent = Color{0.20, 0.20, 0.22};
    return p;
}

Palette Palette::forSettings(const BookSettings& settings) { return settings.chordsInColor ? Palette() : mono(); }

bool fitsAPage(double extent) { return std::isfinite(extent) && std::abs(extent) <= largestPage; }

namespace {

Color inkColor(Ink ink, const Palette& palette)
{
    switch (ink) {
    case Ink::text: return palette.text;
    case Ink::chord: return palette.chord;
    case Ink::muted: return palette.muted;
    case Ink::accent: return palette.accent;
    }
    return palette.text;
}

// The dots as one stroke: zero-length dashes one step apart with round caps
// draw a filled circle of the stroke's width at each dash, a few numbers in
// the PDF instead of four curves per dot. The line runs half a step past the
// last dot so that its end cannot drop it.
void drawLeader(const Mark::Leader& leader, Point origin, double pageHeight, const Palette& palette,
                Platform::PdfWriter& canvas)
{
    const double r = std::max(0.7, 0.055 * leader.size);
    if (!fitsAPage(r)) return;
    const std::vector<double> dots = leaderDots(leader);
    if (dots.empty()) return;
    const double step = std::max(5.0, 0.45 * leader.size);
    const double y = pageHeight - (origin.y + leader.baseline - r);
    canvas.strokeDashes({origin.x + dots.front(), y}, {origin.x + dots.back() + step / 2, y}, 2 * r, 0, step,
                        palette.rule, Platform::PdfWriter::LineCap::round);
}

void drawMark(const Mark& mark, Point origin, double H, const Palette& palette, Platform::PdfWriter& canvas,
              ShapedTexts& shaped)
{
    if (auto box = mark.as<Mark::Box>()) {
        const Platform::Rect& r = box->rect;
        canvas.strokeRect({origin.x + r.minX(), H - (origin.y + r.maxY()), r.maxX() - r.minX(), r.maxY() - r.minY()},
                          0.8, palette.muted);
    } else if (auto rule = mark.as<Mark::Rule>()) {
        canvas.strokeLine({origin.x + rule->from.x, H - (origin.y + rule->from.y)},
                          {origin.x + rule->to.x, H - (origin.y + rule->to.y)}, 0.75, palette.rule);
    } else if (auto leader = mark.as<Mark::Leader>()) {
        drawLeader(*leader, origin, H, palette, canvas);
    } else if (auto diagram = mark.as<Mark::Diagram>()) {
        drawDiagram(*diagram, {origin.x + diagram->origin.x, origin.y + diagram->origin.y}, H, palette, canvas, shaped);
    }
}

} // namespace

std::vector<double> leaderDots(const Mark::Leader& leader)
{
    std::vector<double> dots;
    if (!(leader.x2 > leader.x1 + 8)) return dots;
    const double step = std::max(5.0, 0.45 * leader.size);
    const double first = std::ceil(leader.x1 / step) * step;
    // Counted, not accumulated, so rounding cannot add or drop a dot. A
    // leader across the widest sheet has a few hundred dots; the bound keeps
    // a hostile margin (stored unclamped) from asking for billions.
    constexpr int maxDots = 5000;
    for (int k = 0; k < maxDots; ++k) {
        const double x = first + k * step;
        if (!(x < leader.x2)) break;
        dots.push_back(x);
    }
    return dots;
}

void drawText(std::string_view text, const FontSpec& font, Point baseline, Color color, Platform::PdfWriter& canvas,
              ShapedTexts& shaped)
{
    if (!fitsAPage(font.size)) return;
    if (const Platform::TextLayout* line = shaped.line(text, font)) canvas.drawTextLine(*line, 0, baseline, color);
}

void drawText(std::string_view text, const FontSpec& font, Point baseline, Color color, Platform::PdfWriter& canvas)
{
    ShapedTexts shaped;
    drawText(text, font, baseline, color, canvas, shaped);
}

std::vector<const Run*> drawingOrder(const std::vector<Run>& runs)
{
    std::vector<const Run*> order;
    for (const Run& run : runs)
        if (!run.text.empty()) order.push_back(&run);
    auto sameGroup = [](const Run* a, const Run* b) { return a->ink == b->ink && a->font == b->font; };
    // Rows hold a handful of runs: a stable pass that pulls each run back to
    // the last of its group is cheaper than sorting by a made-up group order.
    for (std::size_t i = 1; i < order.size(); ++i) {
        std::size_t to = i;
        for (std::size_t j = i; j-- > 0;)
            if (sameGroup(order[j], order[i])) {
                to = j + 1;
                break;
            }
        std::rotate(order.begin() + static_cast<std::ptrdiff_t>(to), order.begin() + static_cast<std::ptrdiff_t>(i),
                    order.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    return order;
}

namespace {

void drawRuns(const PlacedRow& placed, double H, const Palette& palette, Platform::PdfWriter& canvas,
              ShapedTexts& shaped)
{
    const std::vector<const Run*> order = drawingOrder(placed.row.runs);
    std::vector<Platform::PdfWriter::PlacedLine> group;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Run& run = *order[i];
        if (!fitsAPage(run.font.size)) continue;
        const Platform::TextLayout* line = shaped.line(run.text, run.font);
        group.push_back({line, 0, {placed.origin.x + run.x, H - (placed.origin.y + run.baseline)}});
        const bool last = i + 1 == order.size() || order[i + 1]->ink != run.ink || !(order[i + 1]->font == run.font);
        if (last) {
            canvas.drawTextLines(group, inkColor(run.ink, palette));
            group.clear();
        }
    }
}

} // namespace

void draw(const LaidPage& page, Platform::Size size, const BookSettings& settings, Platform::PdfWriter& canvas)
{
    ShapedTexts shaped;
    draw(page, size, settings, canvas, shaped);
}

void draw(const LaidPage& page, Platform::Size size, const BookSettings& settings, Platform::PdfWriter& canvas,
          ShapedTexts& shaped)
{
    const double H = size.height;
    const Palette palette = Palette::forSettings(settings);
    for (const PlacedRow& placed : page.rows) {
        drawRuns(placed, H, palette, canvas, shaped);
        for (const Mark& mark : placed.row.marks) drawMark(mark, placed.origin, H, palette, canvas, shaped);
    }

    const double barWidth = std::max(1.5, 0.11 * settings.fontSize);
    for (const Platform::Rect& bar : page.bars)
        canvas.strokeLine({bar.minX(), H - bar.minY()}, {bar.minX(), H - bar.maxY()}, barWidth, palette.accent,
                          Platform::PdfWriter::LineCap::round);

    if (page.showNumber && settings.pageNumbers) {
        const std::string number = std::to_string(page.number);
        const FontSpec font{10, false, false, false, settings.typeface == Typeface::serif};
        const double w = PangoMeasurer().width(number, font);
        drawText(number, font, {(size.width - w) / 2, 0.75 * settings.margin}, palette.muted, canvas, shaped);
    }
}

Platform::Bytes pdf(const BookLayout& layout, const BookSettings& settings, const std::string& title)
{
    // Renders on one thread share their shaped texts, as the preview's do:
    // a book's next render draws the same words again. The shaping key holds
    // the face, so a change of faces shapes afresh; trim() bounds the size.
    thread_local ShapedTexts shaped;
    return pdf(layout, settings, title, shaped);
}

Platform::Bytes pdf(const BookLayout& layout, const BookSettings& settings, const std::string& title,
                    ShapedTexts& shaped)
{
    Platform::PdfWriter canvas(title, KitBrand::name);
    auto failed = [&] {
        std::string reason = canvas.failure();
        return PdfFailure("The songbook’s PDF could not be written (" + (reason.empty() ? "unknown error" : reason) +
                          ").");
    };
    if (!canvas.ok()) throw failed();
    for (const LaidPage& page : layout.pages) {
        checkCancelled();
        canvas.beginPage(layout.pageSize);
        draw(page, layout.pageSize, settings, canvas, shaped);
        shaped.trim();
        canvas.endPage();
    }
    Platform::Bytes bytes = canvas.finish();
    if (bytes.empty()) throw failed();
    return bytes;
}

} // namespace TunequillKit::Renderer
