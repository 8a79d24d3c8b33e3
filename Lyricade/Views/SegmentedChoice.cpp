#include "Lyricade/Views/SegmentedChoice.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QHBoxLayout>
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
}

QToolButton* SegmentedChoice::addSegment(const QString& text)
{
    auto* segment = new QToolButton(this);
    segment->setText(text);
    segment->setAccessibleName(text);
    segment->setCheckable(true);
    group_->addButton(segment, group_->buttons().size());
    layout()->addWidget(segment);
    return segment;
}

} // namespace Lyricade
