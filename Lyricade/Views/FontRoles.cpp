#include "Lyricade/Views/FontRoles.h"

#include <QPalette>
#include <QWidget>

#include <cmath>
#include <vector>

namespace Lyricade::FontRole {

namespace {

double luminance(const QColor& colour)
{
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

// `ink` as it shows over the opaque `background`.
QColor over(const QColor& ink, const QColor& background)
{
    const QColor a = ink.toRgb();
    const QColor b = background.toRgb();
    const double k = a.alphaF();
    return QColor::fromRgbF(a.redF() * k + b.redF() * (1 - k), a.greenF() * k + b.greenF() * (1 - k),
                            a.blueF() * k + b.blueF() * (1 - k));
}

} // namespace

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

QColor secondary(const QWidget* widget, double least)
{
    // Blended rather than transparent, so the colour is the same over any background.
    const QPalette palette = widget ? widget->palette() : QPalette();
    const QColor text = palette.color(QPalette::WindowText);
    const QColor base = palette.color(QPalette::Window);
    const double keep = 0.62;
    const QColor blend = QColor::fromRgbF(text.redF() * keep + base.redF() * (1 - keep),
                                          text.greenF() * keep + base.greenF() * (1 - keep),
                                          text.blueF() * keep + base.blueF() * (1 - keep));
    // Lists draw it on their base colour, labels on the window's; a see-through
    // base (a field drawn as plain text) shows the window.
    return standOut(blend, {base, over(palette.color(QPalette::Base), base)}, least);
}

namespace {

QColor readableInk(const QWidget* widget, const QColor& ink, QPalette::ColorRole surface)
{
    const QPalette palette = widget ? widget->palette() : QPalette();
    return standOut(ink, {palette.color(surface), palette.color(QPalette::Window), palette.color(QPalette::Base)},
                    smallText);
}

} // namespace

QColor warning(const QWidget* widget)
{
    return readableInk(widget, QColor(0xc8, 0x5a, 0x00), QPalette::Window);
}

QColor error(const QWidget* widget)
{
    return readableInk(widget, QColor(0xd0, 0x20, 0x20), QPalette::Window);
}

QColor accent(const QWidget* widget)
{
    const QPalette palette = widget ? widget->palette() : QPalette();
    return readableInk(widget, palette.color(QPalette::Highlight), QPalette::Base);
}

void makeSecondary(QWidget* widget, double least)
{
    QPalette palette = widget->palette();
    const QColor dim = secondary(widget, least);
    palette.setColor(QPalette::WindowText, dim);
    palette.setColor(QPalette::Text, dim);
    widget->setPalette(palette);
}


double contrast(const QColor& a, const QColor& b)
{
    // A see-through colour counts as what it shows over the other.
    const double la = luminance(over(a, b));
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor standOut(QColor ink, const std::vector<QColor>& backgrounds, double least)
{
    // The least contrast with any background.
    auto worst = [&](const QColor& c) {
        double lowest = 21;
        for (const QColor& b : backgrounds) lowest = std::min(lowest, contrast(c, b));
        return lowest;
    };
    if (backgrounds.empty() || worst(ink) >= least) return ink;
    const QColor from = over(ink, backgrounds.front()).toRgb();
    // Dark ink on a light first background, light ink on a dark one (the middle
    // in contrast terms lies at a luminance of about 0.18); the other way when
    // that fails, as between a light selection and a dark window.
    const bool darkFirst = luminance(backgrounds.front()) > 0.18;
    QColor best = from;
    for (const QColor& pole : {QColor(darkFirst ? Qt::black : Qt::white), QColor(darkFirst ? Qt::white : Qt::black)}) {
        for (int step = 1; step <= 25; ++step) {
            const double t = step / 25.0;
            const QColor mixed = QColor::fromRgbF(from.redF() + (pole.redF() - from.redF()) * t,
                                                  from.greenF() + (pole.greenF() - from.greenF()) * t,
                                                  from.blueF() + (pole.blueF() - from.blueF()) * t);
            if (worst(mixed) >= least) return mixed;
            if (worst(mixed) > worst(best)) best = mixed;
        }
    }
    return best;
}

QPalette readableSelection(QPalette palette)
{
    // 4.5 : 1 is the aim; styles shade the selection (Fusion's is a few
    // per cent lighter at its top edge), so the flat colour keeps a margin.
    constexpr double least = 5.0;
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        const QColor text = palette.color(group, QPalette::HighlightedText);
        palette.setColor(group, QPalette::Highlight,
                         shadeUnder(text, palette.color(group, QPalette::Highlight), 100, least));
    }
    return palette;
}

QColor shadeUnder(const QColor& text, QColor fill, int factor, double least)
{
    // Away from the text: darker under light text, lighter under dark text.
    const bool lightText = luminance(text) > 0.5;
    const auto away = [lightText](const QColor& c, int by) { return lightText ? c.darker(by) : c.lighter(by); };
    fill = away(fill, factor);
    for (int step = 0; step < 40 && contrast(text, fill) < least; ++step) fill = away(fill, 106);
    return fill;
}

QPalette readablePalette(QPalette palette)
{
    constexpr double least = 4.5;
    palette = readableSelection(palette);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        auto fit = [&](QPalette::ColorRole text, std::initializer_list<QPalette::ColorRole> surfaces) {
            std::vector<QColor> under;
            for (auto surface : surfaces) under.push_back(palette.color(group, surface));
            palette.setColor(group, text, standOut(palette.color(group, text), under, least));
        };
        fit(QPalette::WindowText, {QPalette::Window});
        fit(QPalette::Text, {QPalette::Base, QPalette::AlternateBase});
        fit(QPalette::ButtonText, {QPalette::Button});
        // Some fields show their placeholder straight on the window.
        fit(QPalette::PlaceholderText, {QPalette::Base, QPalette::Window});
        fit(QPalette::ToolTipText, {QPalette::ToolTipBase});
        fit(QPalette::Link, {QPalette::Base, QPalette::Window});
        fit(QPalette::LinkVisited, {QPalette::Base, QPalette::Window});
    }
    return palette;
}

void makeSelectionReadable(QWidget* list)
{
    list->setPalette(readableSelection(list->palette()));
}

} // namespace Lyricade::FontRole
