#pragma once

// Shift+F10 opens the context menu of the focused control, as the Menu key
// does: many keyboards have no Menu key. Installed once for the application.

namespace Lyricade {

void installMenuKey();

} // namespace Lyricade
