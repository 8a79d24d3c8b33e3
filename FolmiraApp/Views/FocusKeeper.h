#pragma once

// Controls that are off while something is under way (Export and Print while
// a new copy is made) would send the keyboard focus elsewhere each time they
// go off, and leave it there: Qt moves the focus of a control it disables to
// the next one. A kept control takes the focus back when it comes on again,
// provided the focus is still where its going off sent it (the user has not
// moved on meanwhile).

class QWidget;

namespace FolmiraApp {

// `control` takes back the focus it lost by going off; main thread only.
void keepFocusWhileOff(QWidget* control);

} // namespace FolmiraApp
