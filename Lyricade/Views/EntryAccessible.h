#pragma once

// How a book's entry list reads to assistive technologies. Its rows are
// widgets standing on the list, which a list's own accessible cells know
// nothing of: here the list's children are the rows themselves, each a list
// item named by its place, title, key and capo, holding its key and capo
// menus, which read as choice buttons.

#include "Lyricade/Views/ChoiceButton.h"

namespace Lyricade {

void installEntryAccessibility();

// A row's key or capo menu button.
class EntryPopUp : public ChoiceButton {
    Q_OBJECT

public:
    using ChoiceButton::ChoiceButton;

protected:
    // A ring in the colour of its text, seen on a selected row as on a plain one.
    void paintEvent(QPaintEvent* event) override;
};

} // namespace Lyricade
