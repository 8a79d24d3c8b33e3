#pragma once

// How the application reads on the desktop's accessibility bus where Qt's
// own accessibility falls short of what screen readers expect on Linux:
// - a menu popped up on its own (a context menu, a button's menu, a text
//   field's menu) is a child of the application while it is shown, as the
//   desktop's popups are, so a screen reader finds it and its items;
// - a window made of a plain widget (Help, Settings, the quick reference) is
//   a window named by its title, not a filler;
// - a combo box is named by its accessible name or its label (Qt names it
//   by its choice), and its current choice is its value, its text and the
//   selected item of its list, so readers say both.
// Installed once for the application, before its first window shows.

class QLineEdit;

namespace Lyricade {

void installDesktopAccessible();

// Gives `field` its clear button, named for screen readers: Qt's own is an
// unnamed button.
void addNamedClearButton(QLineEdit& field);

} // namespace Lyricade
