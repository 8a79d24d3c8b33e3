#pragma once

// A window or sheet kept within the screen's free area: at large desktop fonts
// on a small screen its own size can be taller or wider than the screen, and a
// window manager then leaves its bottom and its buttons off the screen.

class QSize;
class QWidget;

namespace Lyricade {

// The most room `window` can take on the screen it shows on (that of `over`
// when given): the screen's free area less the window's frame, or less a
// title bar and thin borders while the window manager has not framed it yet.
QSize roomOnScreen(const QWidget& window, const QWidget* over = nullptr);

// Bounds `window`'s size and minimum to the free area of the screen it shows
// on (that of `over` when given) less its frame, and moves it within that
// area, over the middle of `over` when given, else as near where it is. Content that cannot fit must
// scroll inside the window.
void fitOnScreen(QWidget& window, const QWidget* over = nullptr);

} // namespace Lyricade
