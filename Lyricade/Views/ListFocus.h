#pragma once

// What the songbook's lists do as desktop lists do when the focus comes to
// them from the keyboard (Tab, Shift+Tab, a label's shortcut) with nothing
// selected: the row shown focused is selected too, so that the menus'
// commands act on the row the user sees. Focus that comes by the mouse, or
// that the application moves on its own, leaves the selection alone.

#include <Qt>

class QAbstractItemView;
class QFocusEvent;

namespace Lyricade {

// Called from a list's focusInEvent after its base class's: selects the
// current row, or the first selectable row when no selectable row is current.
void selectFocusedRow(QAbstractItemView& list, const QFocusEvent& event);

} // namespace Lyricade
