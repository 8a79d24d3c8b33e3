#pragma once

// Shift+F10 opens the context menu of the focused control, as the Menu key
// does: many keyboards have no Menu key. Installed once for the application.

class QMenu;

namespace Lyricade {

void installMenuKey();

// Opens `menu` with an item current, as a combo box's list or a menu bar's
// menu opens: its checked item, else its first enabled one. A screen reader
// then hears that item rather than the button the menu drops from.
void openOnCurrentItem(QMenu& menu);

} // namespace Lyricade
