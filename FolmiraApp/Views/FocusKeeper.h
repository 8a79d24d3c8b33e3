#pragma once

// Controls that are off while something is under way (Export and Print while
// a new copy is made) would send the keyboard focus elsewhere each time they
// go off, and leave it there: Qt moves the focus of a control it disables to
// the next one. A kept control takes the focus back when it comes on again,
// provided the focus is still where its going off sent it (the user has not
// moved on meanwhile).
//
// Screen readers hear of a focus move once the focus has settled. A view
// switch hands the focus on through controls that are about to hide (Qt
// gives it to the next control in the chain when the one holding it hides,
// a stacked widget to its new page's first control, and tells of a control
// whose focus is cleared as of one taking it) before it lands: of those
// moves only the last, to the control that then holds the focus and shows,
// is told, once the event that caused them is handled.

class QWidget;

namespace FolmiraApp {

// `control` takes back the focus it lost by going off; main thread only.
void keepFocusWhileOff(QWidget* control);

// Focus moves told to screen readers once settled, from now on; nothing
// of hidden objects, and of a container shown or hidden only the container.
void tellFocusOnceSettled();

// `standIn` holds the focus only for a moment as a rule (a progress
// indicator that gives way to what it waits for): its focus is told only
// when it still holds it after that moment.
void tellFocusAfterAMoment(QWidget* standIn);

} // namespace FolmiraApp
