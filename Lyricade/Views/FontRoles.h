#pragma once

// The text roles the songbook lists use (title, headline, callout, caption),
// as sizes relative to the desktop's font so the user's choice still counts,
// and the dimmed colour of secondary text.

#include <QColor>
#include <QFont>
#include <QPalette>

#include <vector>

class QWidget;

namespace Lyricade::FontRole {

inline constexpr double title2 = 1.35;
inline constexpr double headline = 1.0; // the body size, bold
inline constexpr double callout = 0.95;
inline constexpr double caption = 0.85;

// The widget's font scaled by `factor`, with the given weight.
QFont font(const QWidget* widget, double factor, QFont::Weight weight = QFont::Normal);

// Text colours of small texts keep this ratio to their background (4.5 : 1
// is the least; thin glyphs at caption sizes render lighter than their pen).
inline constexpr double smallText = 6.0;

// The widget's text colour, dimmed, for secondary text: halfway toward the
// background, but never under `least` against it.
QColor secondary(const QWidget* widget, double least = smallText);

// The colours of warnings, errors and accented text (the highlight used as
// ink), taken deep or light enough to read at `smallText` on the widget's
// window colour (accent: its base colour, as lists and fields use).
QColor warning(const QWidget* widget);
QColor error(const QWidget* widget);
QColor accent(const QWidget* widget);

// Gives a label (or any widget drawing WindowText/Text) the secondary colour.
void makeSecondary(QWidget* widget, double least = smallText);

// The contrast ratio of two colours, 1 to 21 (WCAG's measure).
double contrast(const QColor& a, const QColor& b);

// `ink` moved toward black or white (away from the first background first)
// until it reaches `least` against each of them; as it is when it already
// does; the mix that comes nearest when none does.
QColor standOut(QColor ink, const std::vector<QColor>& backgrounds, double least);

// `fill` shaded away from `text` (deeper under light text, lighter under
// dark text) by `factor` per cent, then on in small steps until `text` reads
// on it at `least` : 1: a shade of a surface that keeps its text readable.
QColor shadeUnder(const QColor& text, QColor fill, int factor, double least);

// The palette with every text role readable on the surface it is drawn on
// (window and base texts, buttons, placeholders, links, tooltips and the
// selection), in the active and inactive groups; disabled texts are left.
QPalette readablePalette(QPalette palette);

// The palette with its selection colour deepened where needed, so the
// highlighted text on it reads at 4.5 : 1 at least (5 : 1 on the flat
// colour, for styles that shade it), in the active and inactive groups.
QPalette readableSelection(QPalette palette);

// Gives a list's selected rows readable text (see readableSelection).
void makeSelectionReadable(QWidget* list);

} // namespace Lyricade::FontRole
