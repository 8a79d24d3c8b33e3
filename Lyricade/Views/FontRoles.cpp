#include "Lyricade/Views/FontRoles.h"

#include <QPalette>
#include <QWidget>

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

} // namespace Lyricade::FontRole
