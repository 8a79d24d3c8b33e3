#include "TunequillKit/Render/Renderer.h"

#include "Platform/TextLayout.h"
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

void drawLeader(const Mark::Leader& leader, Point origin, double pageHeight, const Palette& palette,
                Platform::PdfWriter& canvas)
{
    const double r = std::max(0.7, 0.055 * leader.size);
    if (!fitsAPage(r)) return;
    const double y = pageHeight - (origin.y + leader.baseline - r);
    for (double x : leaderDots(leader)) canvas.fillCircle({origin.x + x, y}, r, palette.rule);
}

void drawMark(const Mark& mark, Point origin, double H, const Palette& palette, Platform::PdfWriter& canvas)
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
        drawDiagram(*diagram, {origin.x + diagram->origin.x, origin.y + diagram->origin.y}, H, palette, canvas);
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

void drawText(std::string_view text, const FontSpec& font, Point baseline, Color color, Platform::PdfWriter& canvas)
{
    if (text.empty() || !fitsAPage(font.size)) return;
    Platform::AttributedText attributed;
    attributed.append(text, Fonts::face(font));
    // Wide enough never to wrap: a run is one line.
    Platform::TextLayout layout(attributed, 1e6, {});
    canvas.drawTextLine(layout, 0, baseline, color);
}

void draw(const LaidPage& page, Platform::Size size, const BookSettings& settings, Platform::PdfWriter& canvas)
{
    const double H = size.height;
    const Palette palette = Palette::forSettings(settings);
    for (const PlacedRow& placed : page.rows) {
        const Point o = placed.origin;
        for (const Run& run : placed.row.runs)
            drawText(run.text, run.font, {o.x + run.x, H - (o.y + run.baseline)}, inkColor(run.ink, palette), canvas);
        for (const Mark& mark : placed.row.marks) drawMark(mark, o, H, palette, canvas);
    }

    const double barWidth = std::max(1.5, 0.11 * settings.fontSize);
    for (const Platform::Rect& bar : page.bars)
        canvas.strokeLine({bar.minX(), H - bar.minY()}, {bar.minX(), H - bar.maxY()}, barWidth, palette.accent,
                          Platform::PdfWriter::LineCap::round);

    if (page.showNumber && settings.pageNumbers) {
        const std::string number = std::to_string(page.number);
        const FontSpec font{10, false, false, false, settings.typeface == Typeface::serif};
        const double w = PangoMeasurer().width(number, font);
        drawText(number, font, {(size.width - w) / 2, 0.75 * settings.margin}, palette.muted, canvas);
    }
}

Platform::Bytes pdf(const BookLayout& layout, const BookSettings& settings, const std::string& title)
{
    Platform::PdfWriter canvas(title, KitBrand::name);
    if (!canvas.ok()) return {};
    for (const LaidPage& page : layout.pages) {
        canvas.beginPage(layout.pageSize);
        draw(page, layout.pageSize, settings, canvas);
        canvas.endPage();
    }
    return canvas.finish();
}

} // namespace TunequillKit::Renderer
