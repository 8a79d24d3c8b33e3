#pragma once

// The rows the print-settings inspector is made of: titled sections, a
// caption over a picker, a check box whose caption wraps in the narrow
// column, a segmented choice, a link, and a slider that moves in whole points
// but can stand between them. In a column narrower than a row, its texts wrap
// and its parts stack rather than being cut.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

class QButtonGroup;
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

// Buttons side by side, one checked, ids 0, 1, …: a segmented control,
// under its caption where the column is too narrow for both side by side.
QButtonGroup* segments(const QString& caption, const QStringList& options, QGroupBox* section);

// A flat button drawn as a link, a row of `section`, its text wrapping in a
// narrow column.
QPushButton* link(const QString& text, QGroupBox* section);

} // namespace Lyricade::InspectorParts

namespace Lyricade {

// A picker as wide as its longest choice where there is room, whose shown
// choice wraps at its spaces in a narrower column, the box growing taller:
// no choice is cut, and the column needs no more than the choices' longest
// word or bracketed measure.
class WrappingPicker : public QComboBox {
    Q_OBJECT

public:
    explicit WrappingPicker(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void initStyleOption(QStyleOptionComboBox* option) const override;

private:
    // The room the shown choice has in a box `width` pixels wide.
    int textRoom(int width) const;
    // A choice as drawn: what stands in brackets (a measure, 8.5 × 11 in) is
    // not split across lines.
    static QString shown(QString choice);
    // The size of `choice` shown wrapped in `room` pixels.
    QSize wrapped(const QString& choice, int room) const;
};

// A push button as wide as its text where there is room, whose words wrap
// in a narrower column, the button growing taller: its column needs no more
// than its icon and longest word.
class WrappingButton : public QPushButton {
public:
    WrappingButton(const QIcon& icon, const QString& text, QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // What the button needs beside its text (frame, padding, icon).
    int aroundText() const;
    QSize wrapped(int room) const;
};

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
