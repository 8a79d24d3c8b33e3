#include "FolmiraApp/Views/FocusKeeper.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace FolmiraApp {

namespace {

// Where the focus went when a kept control went off. One record serves every
// kept control: when the control that took the focus goes off too (Print
// after Export), the focus moves on again and still belongs to the first.
struct Displaced {
    QPointer<QWidget> owner; // the control the focus is to come back to
    QPointer<QWidget> now;   // where it was sent; none when it was cleared
    bool active = false;
};

Displaced& displaced()
{
    static Displaced record;
    return record;
}

class FocusKeeper final : public QObject {
public:
    explicit FocusKeeper(QWidget* control) : QObject(control), control_(control) { control->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != control_) return false;
        if (event->type() == QEvent::FocusOut && !control_->isEnabled()) lostFocus();
        else if (event->type() == QEvent::EnabledChange && control_->isEnabled()) cameOn();
        return false;
    }

private:
    void lostFocus()
    {
        // Qt has already handed the focus on when the old holder hears of it.
        Displaced& record = displaced();
        if (!record.active || record.now != control_) record.owner = control_;
        record.now = QApplication::focusWidget();
        record.active = true;
    }

    void cameOn()
    {
        Displaced& record = displaced();
        if (!record.active || record.owner != control_) return;
        record.active = false;
        if (QApplication::focusWidget() == record.now && control_->isVisible() &&
            control_->focusPolicy() != Qt::NoFocus)
            control_->setFocus(Qt::OtherFocusReason);
    }

    QWidget* control_;
};

} // namespace

void keepFocusWhileOff(QWidget* control)
{
    if (control) new FocusKeeper(control);
}

} // namespace FolmiraApp
