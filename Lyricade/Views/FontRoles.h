#pragma once

// The text roles the songbook lists use (title, headline, callout, caption),
// as sizes relative to the desktop's font so the user's choice still counts,
// and the dimmed colour of secondary text.

#include <QColor>
#include <QFont>
#include <QPalette>

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

// The contrast ratio of two colours, 1 to 21 (WCAG's measure).
double contrast(const QColor& a, const QColor& b);

// The palette with its selection colour deepened where needed, so the
// highlighted text on it reads at 4.5 : 1 at least (5 : 1 on the flat
// colour, for styles that shade it), in the active and inactive groups.
QPalette readableSelection(QPalette palette);

// Gives a list's selected rows readable text (see readableSelection).
void makeSelectionReadable(QWidget* list);

} // namespace Lyricade::FontRole
