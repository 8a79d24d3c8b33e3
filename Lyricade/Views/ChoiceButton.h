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
    // announced once, as a combo box announces it (a change of value); the
    // same choice again is not.
    void setChoice(const QString& shown, const QString& spoken = QString());
    // The choice as the button shows it, and as a screen reader says it.
    const QString& shownChoice() const { return shown_; }
    const QString& spokenChoice() const { return spoken_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Sets the menu of choices, which opens on the checked one, focused.
    void setChoices(QMenu* menu);

    // Reads `item`, a choice in a menu, as `spoken` where its text shows signs.
    // Given before the menu is first read.
    static void speak(QAction& item, const QString& spoken);

protected:
    // The choice is drawn as the button's text without being its text, which
    // Qt would announce as a new name on each change.
    void initStyleOption(QStyleOptionToolButton* option) const override;
    // Down or Alt+Down opens the menu on its current choice, as a combo box's list opens.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString shown_;
    QString spoken_;
};

} // namespace Lyricade
