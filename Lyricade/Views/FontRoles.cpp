#include "Lyricade/Views/FontRoles.h"

#include <QPalette>
#include <QWidget>

#include <cmath>

namespace Lyricade::FontRole {

QFont font(const QWidget* widget, double factor, QFont::Weight weight)
{
    QFont f = widget ? widget->font() : QFont();
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * factor);
    else
        f.setPixelSize(std::max(1, static_cast<int>(f.pixelSize() * factor + 0.5)));
    f.setWeight(weight);
    return f;
}

QColor secondary(const QWidget* widget)
{
    // Blended rather than transparent, so the colour is the same over any background.
    const QPalette palette = widget ? widget->palette() : QPalette();
    const QColor text = palette.color(QPalette::WindowText);
    const QColor base = palette.color(QPalette::Window);
    const double keep = 0.62;
    return QColor::fromRgbF(text.redF() * keep + base.redF() * (1 - keep),
                            text.greenF() * keep + base.greenF() * (1 - keep),
                            text.blueF() * keep + base.blueF() * (1 - keep));
}

void makeSecondary(QWidget* widget)
{
    QPalette palette = widget->palette();
    const QColor dim = secondary(widget);
    palette.setColor(QPalette::WindowText, dim);
    palette.setColor(QPalette::Text, dim);
    widget->setPalette(palette);
}

namespace {

double luminance(const QColor& colour)
{
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

} // namespace

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette readableSelection(QPalette palette)
{
    // 4.5 : 1 is the aim; styles shade the selection (Fusion's is a few
    // per cent lighter at its top edge), so the flat colour keeps a margin.
    constexpr double least = 5.0;
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        const QColor text = palette.color(group, QPalette::HighlightedText);
        QColor fill = palette.color(group, QPalette::Highlight);
        // Away from the text: darker under light text, lighter under dark text.
        const bool lightText = luminance(text) > 0.5;
        for (int step = 0; step < 40 && contrast(text, fill) < least; ++step)
            fill = lightText ? fill.darker(106) : fill.lighter(106);
        palette.setColor(group, QPalette::Highlight, fill);
    }
    return palette;
}

void makeSelectionReadable(QWidget* list)
{
    list->setPalette(readableSelection(list->palette()));
}

} // namespace Lyricade::FontRole
