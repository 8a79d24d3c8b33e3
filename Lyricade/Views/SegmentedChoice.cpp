#include "Lyricade/Views/SegmentedChoice.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QToolButton>

namespace Lyricade {

namespace {

class SegmentAccessible : public QAccessibleWidget {
public:
    explicit SegmentAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::RadioButton)
    {
        addControllingSignal(QStringLiteral("clicked(bool)"));
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        return state;
    }

    // Pressed, or given the focus by an assistive tool.
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QToolButton* button() const { return static_cast<QToolButton*>(widget()); }
};

QAccessibleInterface* segmentsFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("Lyricade::SegmentedChoice"))
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    if (className == QLatin1String("QToolButton") && qobject_cast<SegmentedChoice*>(widget->parentWidget()))
        return new SegmentAccessible(widget);
    return nullptr;
}

} // namespace

SegmentedChoice::SegmentedChoice(const QString& name, QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(segmentsFactory);
        return true;
    }();
    (void)installed;
    setAccessibleName(name);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    connect(group_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) followChoice();
    });
}

QToolButton* SegmentedChoice::addSegment(const QString& text)
{
    auto* segment = new QToolButton(this);
    segment->setText(text);
    segment->setAccessibleName(text);
    segment->setCheckable(true);
    group_->addButton(segment, group_->buttons().size());
    layout()->addWidget(segment);
    segment->installEventFilter(this);
    followChoice();
    return segment;
}

void SegmentedChoice::followChoice()
{
    QAbstractButton* chosen = group_->checkedButton();
    const bool focusHere = isAncestorOf(QApplication::focusWidget());
    // With none chosen yet, the first stands for the choice.
    if (!chosen && !group_->buttons().isEmpty()) chosen = group_->buttons().front();
    for (QAbstractButton* each : group_->buttons()) each->setFocusPolicy(each == chosen ? Qt::StrongFocus : Qt::NoFocus);
    if (focusHere && chosen) chosen->setFocus(Qt::OtherFocusReason);
}

bool SegmentedChoice::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const int step = key == Qt::Key_Left || key == Qt::Key_Up ? -1 : key == Qt::Key_Right || key == Qt::Key_Down ? 1 : 0;
    const QList<QAbstractButton*> segments = group_->buttons();
    const int at = int(segments.indexOf(qobject_cast<QAbstractButton*>(watched)));
    if (step == 0 || at < 0) return QWidget::eventFilter(watched, event);
    // Round from the last segment to the first, as radio buttons go.
    segments.at((at + step + int(segments.size())) % int(segments.size()))->click();
    return true;
}

} // namespace Lyricade
