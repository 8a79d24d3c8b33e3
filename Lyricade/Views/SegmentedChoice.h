#pragma once

// Buttons side by side, exactly one checked: Qt's nearest to a segmented
// control. Screen readers meet it as the desktop's segmented controls: a
// group named by its accessible name, of radio buttons named by their texts
// (Qt reads a checkable tool button as a check box); and works as one: one
// Tab stop, the chosen segment, with the arrow keys moving the choice.

#include <QWidget>

class QButtonGroup;
class QToolButton;

namespace Lyricade {

class SegmentedChoice : public QWidget {
    Q_OBJECT

public:
    explicit SegmentedChoice(const QString& name, QWidget* parent = nullptr);

    // A new segment at the end, its id in the group the next one: 0, 1, …
    QToolButton* addSegment(const QString& text);
    QButtonGroup* group() const { return group_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The chosen segment alone takes the focus, and keeps it where a segment had it.
    void followChoice();

    QButtonGroup* group_;
};

} // namespace Lyricade
