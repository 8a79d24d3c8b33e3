#pragma once

// The rows the print-settings inspector is made of: titled sections, a
// caption beside a picker, a check box whose caption wraps in the narrow
// column, a segmented choice, and a slider that moves in whole points but can
// stand between them.

#include <QCheckBox>
#include <QSlider>
#include <QWidget>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QVBoxLayout;

namespace Lyricade::InspectorParts {

// A section under `title` (none: no header), added to `into`, its rows
// `spacing` pixels apart.
QGroupBox* section(const QString& title, QWidget* parent, QVBoxLayout* into, int spacing = 8);
QVBoxLayout* rows(QGroupBox* section);

// A picker row of `section`, its caption as its accessible name.
QComboBox* picker(const QString& caption, QGroupBox* section, const QString& help = {});

// A check box row whose caption wraps; a click on the caption toggles it too.
QCheckBox* toggle(const QString& caption, QGroupBox* section, const QString& help = {});

// Gives `combo` these choices, `current` chosen, with its signals blocked: the
// list is filled anew only when its choices differ, since each refill moves
// the choice, which screen readers hear as a new value every time.
void showChoices(QComboBox* combo, const QStringList& choices, int current);

// The caption a picker or toggle row shows for `control`; null for none.
QLabel* captionOf(QWidget* control);

// Buttons side by side, one checked, ids 0, 1, …: a segmented control.
QButtonGroup* segments(const QString& caption, const QStringList& options, QGroupBox* section);

} // namespace Lyricade::InspectorParts

namespace Lyricade {

// A slider over a range of points that steps in whole points yet shows a
// fractional size where it stands (18.5 sits between 18 and 19).
class PointSlider : public QSlider {
    Q_OBJECT

public:
    static constexpr int steps = 10; // positions per point

    PointSlider(double lowest, double highest, QWidget* parent = nullptr);

    double points() const { return value() / double(steps); }
    // Shows a size without reporting it.
    void showPoints(double points);

signals:
    // A whole size the user moved the slider to.
    void pointsChosen(double points);

private:
    bool showing_ = false;
};

} // namespace Lyricade
