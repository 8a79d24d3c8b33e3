#pragma once

// A button that shows a choice and offers the others in its menu (a pop-up
// button: the toolbar's presets, a book entry's key and capo). Screen readers
// meet it as a combo box: named by its accessible name, what it says, and
// valued by the choice, in words where the screen shows signs ("B flat" for
// "B♭"), so a reader says "Key, B flat" and never the choice as the name;
// the choices in its menu are read in words too.

#include <QToolButton>

namespace Lyricade {

class ChoiceButton : public QToolButton {
    Q_OBJECT

public:
    explicit ChoiceButton(QWidget* parent = nullptr);

    // Shows `shown`, read as `spoken` (as shown when empty). A new choice is
    // announced once; the same choice again is not.
    void setChoice(const QString& shown, const QString& spoken = QString());
    // The choice as a screen reader says it.
    const QString& spokenChoice() const { return spoken_; }

    // Reads `item`, a choice in a menu, as `spoken` where its text shows signs.
    // Given before the menu is first read.
    static void speak(QAction& item, const QString& spoken);

private:
    QString spoken_;
};

} // namespace Lyricade
