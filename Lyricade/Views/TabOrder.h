#pragma once

// Tab order by regions of a window. Qt orders Tab stops as their widgets were
// made, so a part made later (a document's panes, a detail view made for the
// selection) is reached after everything else rather than where it stands.

#include <QList>

class QWidget;

namespace Lyricade {

// The controls inside `region` that Tab stops at, in the window's Tab order.
QList<QWidget*> tabStopsIn(QWidget* region);

// Puts the stops of `regions` one region after another, in the order given
// (each region's own order kept), where the first region's first stop stands.
void orderTabs(const QList<QWidget*>& regions);

} // namespace Lyricade
