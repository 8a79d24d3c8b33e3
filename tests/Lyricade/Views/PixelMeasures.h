#pragma once

// What a user sees of a control, measured on its rendered pixels: the
// palettes the contrast tests draw in, the share of a focus ring that shows,
// and the strongest and the typical contrast a part of one shows against its
// background.

#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/FontRoles.h"

#include <QImage>
#include <QPalette>
#include <QRegion>

#include <algorithm>
#include <vector>

namespace PixelMeasures {

// Text in `ink` on `ground` everywhere, as the desktops' high-contrast themes give it.
inline QPalette highContrast(const QColor& ground, const QColor& ink, const QColor& highlight, const QColor& frames)
{
    QPalette p;
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase})
        p.setColor(role, ground);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText})
        p.setColor(role, ink);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, ground);
    p.setColor(QPalette::Light, frames.lighter(150));
    p.setColor(QPalette::Mid, frames);
    p.setColor(QPalette::Dark, frames.darker(133));
    return p;
}

// White text on black.
inline QPalette highContrast()
{
    return highContrast(Qt::black, Qt::white, QColor(0x1a, 0xeb, 0xff), QColor(0x40, 0x40, 0x40));
}

// Black text on white.
inline QPalette highContrastLight()
{
    QPalette p = highContrast(Qt::white, Qt::black, QColor(0x00, 0x00, 0x9c), QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

// A dark desktop theme: light grey text on charcoal.
inline QPalette dark()
{
    QPalette p(QColor(0x31, 0x36, 0x3b), QColor(0x2a, 0x2e, 0x32));
    p.setColor(QPalette::Base, QColor(0x1b, 0x1e, 0x20));
    p.setColor(QPalette::AlternateBase, QColor(0x23, 0x26, 0x29));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, QColor(0xfc, 0xfc, 0xfc));
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, QColor(0xfc, 0xfc, 0xfc));
    return Lyricade::FontRole::readablePalette(p);
}

// How much of a `width`-pixel ring around `box` the focus draws: the pixels
// within `band` of the edge (by default twice the ring's width, as a ring may
// lie a pixel inside a control's own outline) that differ at 3 : 1 or more
// between the two images, as a share of the ring's pixels, capped at 1. Only
// pixels in `seen` count, when given: a control partly covered or scrolled
// away shows its ring only where it shows itself.
inline double ringShare(const QImage& before, const QImage& after, const QRect& box, const QRegion& seen = {},
                        int band = 2 * Lyricade::FocusRing::width)
{
    const int ring = Lyricade::FocusRing::width;
    int inRing = 0, changed = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (!seen.isEmpty() && !seen.contains(QPoint(x, y))) continue;
            const int fromEdge = std::min({x - box.left(), box.right() - x, y - box.top(), box.bottom() - y});
            if (fromEdge >= std::max(band, ring)) continue;
            inRing += fromEdge < ring;
            changed += Lyricade::FontRole::contrast(before.pixelColor(x, y), after.pixelColor(x, y)) >= 3.0;
        }
    }
    return inRing ? std::min(1.0, double(changed) / inRing) : 0;
}

// The strongest contrast of a pixel in `part` with `background`.
inline double strongest(const QImage& shot, const QRect& part, const QColor& background)
{
    double most = 1;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            most = std::max(most, Lyricade::FontRole::contrast(shot.pixelColor(x, y), background));
    return most;
}

// How a thin glyph in `part` reads on `background`: the median contrast of
// its ink, the pixels at 1.5 : 1 or more (1 when it has none). Strokes a
// pixel wide or less seldom reach their pen's colour, so this lies under
// the pen's own ratio.
inline double typical(const QImage& shot, const QRect& part, const QColor& background)
{
    std::vector<double> ink;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            if (const double c = Lyricade::FontRole::contrast(shot.pixelColor(x, y), background); c >= 1.5)
                ink.push_back(c);
    if (ink.empty()) return 1;
    std::nth_element(ink.begin(), ink.begin() + std::ptrdiff_t(ink.size() / 2), ink.end());
    return ink[ink.size() / 2];
}

} // namespace PixelMeasures
