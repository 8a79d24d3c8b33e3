#pragma once

// One focus on the accessibility bus. Qt reports a view's current item as
// focused whether or not the view has the keyboard focus, even while the view
// is not shown, and an open menu as focused beside its current item, so a
// reader that follows states rather than events finds two or three focused
// objects at once (the sidebar's chosen row at every Tab stop). Here a view's
// current item is focused only while its view has the focus and is shown, the
// view then leaving the focused state to that item, and an open menu leaves
// it to its current item: the menu bar, or the menu, and the item whose menu
// it is let go of it.
//
// Qt's own interfaces stay underneath (their rows, items, model changes and
// table queries): the view's or menu's interface wraps Qt's, and hands out one
// wrapper per row or item, each reading as its own does but for that state,
// from its children and from its table (a view's cells and selected cells).

class QAbstractItemView;

namespace Lyricade {

// Whether `view`'s current item is the one focused object: the view has the
// keyboard focus and shows, and no menu popped up over it has an item current.
bool viewHoldsTheFocus(const QAbstractItemView* view);

// Installed by installDesktopAccessible, before the first view is read.
void installOneFocusAccessible();

} // namespace Lyricade
