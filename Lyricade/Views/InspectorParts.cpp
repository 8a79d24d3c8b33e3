#include "Lyricade/Views/InspectorParts.h"

#include "Lyricade/Views/SegmentedChoice.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace Lyricade::InspectorParts {

namespace {

// A caption that passes clicks to its check box.
class ToggleCaption : public QLabel {
public:
    ToggleCaption(const QString& text, QCheckBox* box, QWidget* parent) : QLabel(text, parent), box_(box)
    {
        setWordWrap(true);
        setBuddy(box);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && box_->isEnabled()) box_->click();
    }

private:
    QCheckBox* box_;
};

} // namespace

QGroupBox* section(const QString& title, QWidget* parent, QVBoxLayout* into, int spacing)
{
    auto* box = new QGroupBox(title, parent);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(spacing);
    into->addWidget(box);
    return box;
}

QVBoxLayout* rows(QGroupBox* section)
{
    return static_cast<QVBoxLayout*>(section->layout());
}

QComboBox* picker(const QString& caption, QGroupBox* section, const QString& help)
{
    // The caption stands above the box, which gets the column's whole width:
    // beside it, long choices ("US Letter (8.5 × 11 in)") were cut at large fonts.
    auto* row = new QVBoxLayout;
    row->setSpacing(2);
    auto* label = new QLabel(caption, section);
    auto* combo = new QComboBox(section);
    combo->setAccessibleName(caption);
    combo->setToolTip(help);
    // Never narrower than its longest choice: in a column too narrow for it,
    // the form scrolls across rather than cutting the choice.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label->setBuddy(combo);
    row->addWidget(label);
    row->addWidget(combo);
    rows(section)->addLayout(row);
    return combo;
}

QCheckBox* toggle(const QString& caption, QGroupBox* section, const QString& help)
{
    auto* holder = new QWidget(section);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* box = new QCheckBox(holder);
    box->setAccessibleName(caption);
    box->setToolTip(help);
    auto* label = new ToggleCaption(caption, box, holder);
    label->setToolTip(help);
    row->addWidget(box, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    rows(section)->addWidget(holder);
    return box;
}

QLabel* captionOf(QWidget* control)
{
    for (auto* label : control->parentWidget()->findChildren<QLabel*>())
        if (label->buddy() == control) return label;
    return nullptr;
}

void showChoices(QComboBox* combo, const QStringList& choices, int current)
{
    const QSignalBlocker quiet(combo);
    QStringList now;
    for (int i = 0; i < combo->count(); ++i) now << combo->itemText(i);
    if (now != choices) {
        combo->clear();
        combo->addItems(choices);
    }
    if (combo->currentIndex() != current) combo->setCurrentIndex(current);
}

QButtonGroup* segments(const QString& caption, const QStringList& options, QGroupBox* section)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(caption, section));
    row->addStretch(1);
    auto* choice = new SegmentedChoice(caption, section);
    for (const QString& option : options) choice->addSegment(option);
    row->addWidget(choice);
    rows(section)->addLayout(row);
    return choice->group();
}

} // namespace Lyricade::InspectorParts

namespace Lyricade {

namespace {

// The slider's value in points (18.5, not its position 185), its spoken text
// the wording the view gives it as its description.
class PointSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit PointSliderAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) return slider()->accessibleDescription();
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return slider()->points(); }
    void setCurrentValue(const QVariant& value) override
    {
        slider()->setValue(static_cast<int>(std::lround(value.toDouble())) * PointSlider::steps);
    }
    QVariant maximumValue() const override { return slider()->maximum() / double(PointSlider::steps); }
    QVariant minimumValue() const override { return slider()->minimum() / double(PointSlider::steps); }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    PointSlider* slider() const { return static_cast<PointSlider*>(widget()); }
};

QAccessibleInterface* pointSliderFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("Lyricade::PointSlider") && object && object->isWidgetType())
        return new PointSliderAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

PointSlider::PointSlider(double lowest, double highest, QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    static const bool readable = [] {
        QAccessible::installFactory(pointSliderFactory);
        return true;
    }();
    (void)readable;
    setRange(static_cast<int>(lowest * steps), static_cast<int>(highest * steps));
    setSingleStep(steps);
    setPageStep(steps);
    setTickInterval(steps);
    connect(this, &QSlider::valueChanged, this, [this](int position) {
        if (showing_) return;
        // The user's moves land on whole points.
        const int whole = static_cast<int>(std::lround(position / double(steps))) * steps;
        if (whole != position) {
            setValue(whole);
            return;
        }
        emit pointsChosen(whole / double(steps));
    });
}

void PointSlider::showPoints(double points)
{
    showing_ = true;
    setValue(static_cast<int>(std::lround(points * steps)));
    showing_ = false;
}

} // namespace Lyricade
