#pragma once

// A focus no one can see is no focus: whenever a control gets the keyboard
// focus, each scroll area around it scrolls until the whole control (its
// focus ring included) is in view, whether the focus came by Tab from
// outside the area, by a shortcut or from the application itself. Qt does
// this only for Tab within one scroll area. A click is left alone (what it
// pressed stays under the pointer until the release), and so is the focus a
// window, popup or menu gives back on closing or on being activated.

class QWidget;

namespace Lyricade {

// Installed once for the application; later calls do nothing.
void keepFocusInView();

// Scrolls every scroll area around `control`, innermost first, just enough
// to show it whole; one larger than the view shows its top-left part.
void scrollIntoView(QWidget& control);

} // namespace Lyricade
