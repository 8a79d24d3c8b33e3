// A chord diagram: the chord's name centred above a grid four frets deep,
// with the nut or the base-fret label, and a marker per string (a cross for a
// muted string, a ring for an open one, a dot on frets 1 to 4). Fingers are
// not drawn. Geometry in layout coordinates, flipped to PDF y when drawn.

#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Layout/TextMeasurer.h"
#include "TunequillKit/Render/Renderer.h"

#include <algorithm>

namespace TunequillKit::Renderer {

void drawDiagram(const Mark::Diagram& diagram, Platform::Point topLeft, double H, const Palette& palette,
                 Platform::PdfWriter& canvas, ShapedTexts& shaped)
{
    const ChordDefinition& def = diagram.definition;
    const double width = diagram.width, nameSize = diagram.nameSize;
    const double dx = topLeft.x, dy = topLeft.y;
    const std::size_t n = std::max<std::size_t>(2, def.frets.size());
    if (!fitsAPage(width) || !fitsAPage(nameSize)) return;

    if (!def.name.empty()) {
        const FontSpec nameFont{nameSize, true, false, false, false};
        const double nw = PangoMeasurer().width(def.name, nameFont);
        drawText(def.name, nameFont, {dx + (width - nw) / 2, H - (dy + nameSize)}, palette.chord, canvas, shaped);
    }

    const double s = width / static_cast<double>(n - 1) * 0.86;
    const double gw = s * static_cast<double>(n - 1);
    const double gx = dx + (width - gw) / 2;
    const double f = 1.15 * s;
    const double top = dy + 1.6 * nameSize + 6; // layout y of the top line
    auto Y = [H](double layoutY) { return H - layoutY; };

    for (std::size_t i = 0; i < n; ++i) {
        const double x = gx + static_cast<double>(i) * s;
        canvas.strokeLine({x, Y(top)}, {x, Y(top + 4 * f)}, 0.8, palette.text);
    }
    for (int fret = 0; fret <= 4; ++fret)
        canvas.strokeLine({gx, Y(top + fret * f)}, {gx + gw, Y(top + fret * f)}, 0.8, palette.text);

    if (def.baseFret <= 1) {
        canvas.strokeLine({gx, Y(top)}, {gx + gw, Y(top)}, 3, palette.text);
    } else {
        const FontSpec labelFont{std::max(7.0, 0.6 * nameSize), false, false, false, false};
        drawText(std::to_string(def.baseFret) + "fr", labelFont, {gx + gw + 3, Y(top + 0.7 * f)}, palette.muted, canvas,
                 shaped);
    }

    const double r = 0.32 * s;
    for (std::size_t i = 0; i < def.frets.size(); ++i) {
        const double x = gx + static_cast<double>(i) * s;
        const double above = top - 1.6 * r; // centre of the open and muted markers
        const auto& fret = def.frets[i];
        if (!fret) {
            const double d = 0.8 * r;
            canvas.strokeLine({x - d, Y(above - d)}, {x + d, Y(above + d)}, 1, palette.text);
            canvas.strokeLine({x - d, Y(above + d)}, {x + d, Y(above - d)}, 1, palette.text);
        } else if (*fret == 0) {
            canvas.strokeCircle({x, Y(above)}, 0.8 * r, 1, palette.text);
        } else if (*fret >= 1 && *fret <= 4) {
            canvas.fillCircle({x, Y(top + (static_cast<double>(*fret) - 0.5) * f)}, r, palette.text);
        }
    }
}

} // namespace TunequillKit::Renderer
