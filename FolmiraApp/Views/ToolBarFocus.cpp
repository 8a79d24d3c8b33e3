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

// Drawn above the control, seen through, hidden from pointer and screen reader alike.
class RingOverlay : public QWidget {
public:
    explicit RingOverlay(QWidget* control) : QWidget(control)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* control = static_cast<QWidget*>(watched);
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::Resize:
            setGeometry(control->rect());
            setVisible(control->hasFocus());
            raise();
            break;
        case QEvent::FocusOut: hide(); break;
        default: break;
        }
        return false;
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), FocusRingStyle::ringWidth));
        const double inset = FocusRingStyle::ringWidth / 2.0;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 4, 4);
    }
};

QString nameFor(QToolButton* button)
{
    if (const QAction* action = button->defaultAction()) {
        if (!action->text().isEmpty()) return action->text();
        return action->toolTip();
    }
    return button->text().isEmpty() ? button->toolTip() : button->text();
}

} // namespace

void ringWhenFocused(QWidget* widget)
{
    new RingOverlay(widget);
}

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
