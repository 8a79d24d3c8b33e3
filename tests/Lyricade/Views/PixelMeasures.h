#pragma once

// What a user sees of a control, measured on its rendered pixels: the
// palettes the contrast tests draw in, the share of a focus ring that shows,
// and how far a control's edge stands out from what lies around it.

#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/FontRoles.h"

#include <QImage>
#include <QPalette>
#include <QRegion>

#include <algorithm>

namespace PixelMeasures {

// White text on black, as the desktops' high-contrast themes give it.
inline QPalette highContrast()
{
    QPalette p;
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase})
        p.setColor(role, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText})
        p.setColor(role, Qt::white);
    p.setColor(QPalette::Highlight, QColor(0x1a, 0xeb, 0xff));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Light, QColor(0x60, 0x60, 0x60));
    p.setColor(QPalette::Mid, QColor(0x40, 0x40, 0x40));
    p.setColor(QPalette::Dark, QColor(0x30, 0x30, 0x30));
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
// within twice that of the edge that differ at 3 : 1 or more between the two
// images, as a share of the ring's pixels (a ring may lie a pixel inside a
// control's own outline), capped at 1. Only pixels in `seen` count, when
// given: a control partly covered or scrolled away shows its ring only where
// it shows itself.
inline double ringShare(const QImage& before, const QImage& after, const QRect& box, const QRegion& seen = {})
{
    const int ring = Lyricade::FocusRing::width;
    int inRing = 0, changed = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (!seen.isEmpty() && !seen.contains(QPoint(x, y))) continue;
            const int fromEdge = std::min({x - box.left(), box.right() - x, y - box.top(), box.bottom() - y});
            if (fromEdge >= 2 * ring) continue;
            inRing += fromEdge < ring;
            changed += Lyricade::FontRole::contrast(before.pixelColor(x, y), after.pixelColor(x, y)) >= 3.0;
        }
    }
    return inRing ? std::min(1.0, double(changed) / inRing) : 0;
}

// How far the edge of `box` stands out: at the middle of each of the given
// sides, the strongest contrast of a pixel within five of the edge (inside
// or on it, as styles draw a part a little within its box) with the pixel
// three outside it; the weakest side counts.
inline double edgeContrast(const QImage& shot, const QRect& box, Qt::Edges sides = Qt::Edges(0xf))
{
    double weakest = 21;
    const QPoint middle = box.center();
    const struct {
        Qt::Edge side;
        QPoint edge, inward;
    } all[] = {
        {Qt::LeftEdge, {box.left(), middle.y()}, {1, 0}},
        {Qt::RightEdge, {box.right(), middle.y()}, {-1, 0}},
        {Qt::TopEdge, {middle.x(), box.top()}, {0, 1}},
        {Qt::BottomEdge, {middle.x(), box.bottom()}, {0, -1}},
    };
    for (const auto& s : all) {
        if (!(sides & s.side)) continue;
        const QColor outside = shot.pixelColor(s.edge - 3 * s.inward);
        double strongest = 1;
        for (int d = -1; d < 6; ++d)
            strongest = std::max(strongest, Lyricade::FontRole::contrast(shot.pixelColor(s.edge + d * s.inward), outside));
        weakest = std::min(weakest, strongest);
    }
    return weakest;
}

} // namespace PixelMeasures
