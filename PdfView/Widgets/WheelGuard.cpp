#include "PdfView/Widgets/WheelGuard.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QScrollBar>
#include <QWheelEvent>

#include <cstdlib>

namespace PdfView {

WheelGuard::WheelGuard(QAbstractScrollArea* area) : QObject(area), area_(area) {}

WheelGuard* WheelGuard::install(QAbstractScrollArea* area)
{
    auto* guard = new WheelGuard(area);
    for (auto* control : area->viewport()->findChildren<QWidget*>()) {
        // The panel's own scroll bars live outside the viewport; a slider
        // inside it is a control like any other.
        if (qobject_cast<QAbstractSlider*>(control) || qobject_cast<QComboBox*>(control) ||
            qobject_cast<QAbstractSpinBox*>(control))
            guard->guard(control);
    }
    return guard;
}

void WheelGuard::guard(QWidget* control)
{
    // A wheel must not hand focus to a control on its way past.
    if (control->focusPolicy() == Qt::WheelFocus) control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel) return false;
    auto* control = static_cast<QWidget*>(watched);
    if (control->hasFocus()) return false;
    auto* wheel = static_cast<QWheelEvent*>(event);
    // Sideways wheels go to the horizontal bar, as the panel itself would.
    const bool sideways = std::abs(wheel->angleDelta().x()) > std::abs(wheel->angleDelta().y());
    QScrollBar* bar = sideways ? area_->horizontalScrollBar() : area_->verticalScrollBar();
    QWheelEvent forwarded(bar->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(), wheel->pixelDelta(),
                          wheel->angleDelta(), wheel->buttons(), wheel->modifiers(), wheel->phase(),
                          wheel->inverted(), wheel->source());
    QCoreApplication::sendEvent(bar, &forwarded);
    return true;
}

} // namespace PdfView
