#pragma once

// A toolbar at large desktop fonts on a narrow screen: rather than hide its
// last actions behind Qt's "»" menu, it draws its labels smaller, step by
// step down to a floor, until every action shows. Past the floor the "»"
// menu takes what is left.

class QToolBar;

namespace Lyricade {

// The smallest share of the window's font the labels are drawn at.
inline constexpr double leastLabelScale = 0.6;

// Keeps `bar`'s labels as large as the bar's width lets every item show,
// measured again whenever the bar is resized or the window's font changes.
void fitLabelsToWidth(QToolBar& bar);

} // namespace Lyricade
