#include "FolmiraApp/Views/ToolBarFocus.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QStyleFactory>
#include <QToolBar>
#include <QToolButton>

namespace FolmiraApp {

namespace {

QString nameFor(QToolButton* button)
{
    if (const QAction* action = button->defaultAction()) {
        if (!action->text().isEmpty()) return action->text();
        return action->toolTip();
    }
    return button->text().isEmpty() ? button->toolTip() : button->text();
}

} // namespace

void makeKeyboardReachable(QToolBar* toolBar)
{
    auto* style = qobject_cast<FocusRingStyle*>(QApplication::style());
    if (!style) style = toolBar->findChild<FocusRingStyle*>(QString(), Qt::FindDirectChildrenOnly);
    if (!style) {
        style = new FocusRingStyle(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(toolBar);
    }
    QWidget* previous = nullptr;
    for (QAction* action : toolBar->actions()) {
        QWidget* widget = toolBar->widgetForAction(action);
        // A control made of several buttons (the mode picker) joins with each of them.
        QList<QToolButton*> buttons;
        if (auto* button = qobject_cast<QToolButton*>(widget)) buttons << button;
        else if (widget) buttons = widget->findChildren<QToolButton*>();
        for (QToolButton* button : buttons) {
            // One choice of several (the picker's segments) is one Tab stop, which its owner keeps.
            const bool oneChoice = button->group() && button->group()->exclusive();
            if (!oneChoice) button->setFocusPolicy(Qt::TabFocus);
            if (style != QApplication::style()) button->setStyle(style);
            if (button->accessibleName().isEmpty()) button->setAccessibleName(nameFor(button));
            if (previous) QWidget::setTabOrder(previous, button);
            previous = button;
        }
    }
}

} // namespace FolmiraApp
