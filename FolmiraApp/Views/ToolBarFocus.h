#pragma once

// A toolbar that keyboard and screen-reader users can work: every control in
// the Tab order (Qt leaves toolbar buttons out of it), a focus ring wide
// enough to see, and each control named for assistive technologies even
// where only its icon shows.

#include "Lyricade/Views/FocusRing.h"

class QToolBar;

namespace FolmiraApp {

using FocusRingStyle = Lyricade::FocusRing::Style;

// Puts every control of `toolBar` into the Tab order in their toolbar order,
// gives them FocusRingStyle where the application's style is not one, and
// names each one by its action's text (or its tooltip) where it has no name.
// Call again after adding controls.
void makeKeyboardReachable(QToolBar* toolBar);

using Lyricade::FocusRing::ringWhenFocused;

} // namespace FolmiraApp
