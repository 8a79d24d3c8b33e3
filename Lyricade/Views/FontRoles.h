#pragma once

// The text roles the songbook lists use (title, headline, callout, caption),
// as sizes relative to the desktop's font so the user's choice still counts,
// and the dimmed colour of secondary text.

#include <QColor>
#include <QFont>

class QWidget;

namespace Lyricade::FontRole {

inline constexpr double title2 = 1.35;
inline constexpr double headline = 1.0; // the body size, bold
inline constexpr double callout = 0.95;
inline constexpr double caption = 0.85;

// The widget's font scaled by `factor`, with the given weight.
QFont font(const QWidget* widget, double factor, QFont::Weight weight = QFont::Normal);

// The widget's text colour, dimmed, for secondary text.
QColor secondary(const QWidget* widget);

// Gives a label (or any widget drawing WindowText/Text) the secondary colour.
void makeSecondary(QWidget* widget);

} // namespace Lyricade::FontRole
