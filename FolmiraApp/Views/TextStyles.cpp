#include "FolmiraApp/Views/TextStyles.h"

#include "Lyricade/Views/FontRoles.h"

#include <QLabel>

namespace FolmiraApp::TextStyle {

QFont font(const QWidget* widget, double factor, QFont::Weight weight)
{
    QFont scaled = widget->font();
    scaled.setPointSizeF(scaled.pointSizeF() * factor);
    scaled.setWeight(weight);
    return scaled;
}

QLabel* wrapping(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    // Texts from data or with angle brackets must never be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

void makeSecondary(QLabel* label)
{
    Lyricade::FontRole::makeSecondary(label);
}

} // namespace FolmiraApp::TextStyle
