#include "FolmiraApp/Views/ToolBarFocus.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolBar>
#include <QToolButton>

namespace FolmiraApp {

void FocusRingStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const
{
    if (element != PE_FrameFocusRect) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Like the styles beneath: a ring for focus that came from the keyboard.
    if (!(option->state & State_KeyboardFocusChange)) return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(option->palette.color(QPalette::Highlight), ringWidth));
    painter->setBrush(Qt::NoBrush);
    // A tool button's ring runs along its edge, clear of the icon and label
    // that are drawn over it.
    const QRect around = qobject_cast<const QToolButton*>(widget) ? widget->rect() : option->rect;
    const double inset = ringWidth / 2.0 + (around == option->rect ? 0 : 1);
    painter->drawRoundedRect(QRectF(around).adjusted(inset, inset, -inset, -inset), 4, 4);
    painter->restore();
}

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
    auto* style = toolBar->findChild<FocusRingStyle*>(QString(), Qt::FindDirectChildrenOnly);
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
            button->setFocusPolicy(Qt::TabFocus);
            button->setStyle(style);
            if (button->accessibleName().isEmpty()) button->setAccessibleName(nameFor(button));
            if (previous) QWidget::setTabOrder(previous, button);
            previous = button;
        }
    }
}

} // namespace FolmiraApp
