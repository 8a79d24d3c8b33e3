#pragma once

// The text styles of the help, Settings and welcome windows, as sizes
// relative to the desktop's own font so that the user's choice still counts.

#include <QFont>
#include <QString>

class QLabel;
class QWidget;

namespace FolmiraApp::TextStyle {

inline constexpr double largeTitle = 2.2;
inline constexpr double title = 1.9;
inline constexpr double title3 = 1.45;
inline constexpr double headline = 1.1;
inline constexpr double callout = 1.0;
inline constexpr double caption = 0.85;

// The widget's font scaled by `factor`, with the given weight.
QFont font(const QWidget* widget, double factor, QFont::Weight weight = QFont::Normal);

// A plain-text label that wraps at word boundaries.
QLabel* wrapping(const QString& text, QWidget* parent = nullptr);

// Draws the label's text in the secondary colour (dimmer, still readable).
void makeSecondary(QLabel* label);

} // namespace FolmiraApp::TextStyle
