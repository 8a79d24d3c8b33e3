#include "Lyricade/Panels/ModalDialog.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

namespace Lyricade {

namespace {

bool takesTabFocus(const QWidget* widget)
{
    return widget && widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
           !widget->focusProxy();
}

// The window's focus on a control that shows: a hidden one hands it to the
// first control that Tab reaches.
void focusShowingControl(QWidget& window)
{
    QWidget* focus = window.focusWidget();
    if (focus && focus->isVisible()) return;
    for (QWidget* next = window.nextInFocusChain(); next && next != &window; next = next->nextInFocusChain())
        if (takesTabFocus(next) && next->window() == &window) {
            next->setFocus(Qt::OtherFocusReason);
            return;
        }
}

class FocusReturn final : public QObject {
public:
    explicit FocusReturn(QWidget* window) : QObject(window), window_(window)
    {
        connect(qApp, &QGuiApplication::focusWindowChanged, this, &FocusReturn::check);
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &FocusReturn::check);
        poll->start(100);
        QTimer::singleShot(0, this, &FocusReturn::check);
        // Long enough for a window manager's answer; the watch then ends.
        QTimer::singleShot(watchTime, this, [this] { deleteLater(); });
    }

private:
    static constexpr int watchTime = 1500;

    void check()
    {
        if (!window_->isVisible()) return;
        focusShowingControl(*window_);
        // Another window, a panel or a menu taking the keyboard is the user's doing.
        if (QApplication::activeWindow() || QApplication::activeModalWidget() || QApplication::activePopupWidget())
            return;
        // The desktop gave the window the keyboard, and Qt's widgets missed it.
        if (QGuiApplication::focusWindow() == window_->windowHandle())
            QApplication::setActiveWindow(window_);
        else
            window_->activateWindow();
    }

    QWidget* window_;
};

// Watches a sheet opened with open(): once it has hidden, however it was
// closed (a sheet that ends itself may do so without finishing as a dialog),
// its window gets the keyboard back. One per sheet, however often it opens.
class SheetReturn final : public QObject {
public:
    explicit SheetReturn(QDialog& sheet) : QObject(&sheet), sheet_(sheet) { sheet.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &sheet_ && event->type() == QEvent::Hide && !event->spontaneous())
            if (QWidget* over = sheet_.parentWidget()) giveFocusBack(over->window());
        return false;
    }

private:
    QDialog& sheet_;
};

} // namespace

void giveFocusBack(QWidget* window)
{
    if (window) new FocusReturn(window);
}

void openSheet(QDialog& sheet)
{
    static constexpr const char* watched = "folmiraSheetReturn";
    if (!sheet.property(watched).toBool()) {
        sheet.setProperty(watched, true);
        new SheetReturn(sheet);
    }
    sheet.open();
}

} // namespace Lyricade
