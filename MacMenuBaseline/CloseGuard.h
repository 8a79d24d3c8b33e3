#pragma once

// A guard that lets an application veto the closing of one window, whether by
// the window manager's close button or by Close Window, and two small readers:
// which window a widget lives in, and which undo stack is current. The guard
// watches the window's close events (an event filter), so installing it needs
// no change to the window's own class.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QUndoGroup;
class QUndoStack;

namespace MacMenuBaseline {

class CloseGuard : public QObject {
    Q_OBJECT

public:
    CloseGuard() = default;

    // The process's one shared guard, made on first use.
    static CloseGuard& shared();

    // Asked before the guarded window closes; answers true until set.
    std::function<bool()> shouldClose = [] { return true; };

    // The guarded window; empty once it has been destroyed.
    QWidget* guarded() const { return main_; }

    // Guards `window`: its close events are judged by shouldClose from now on.
    // Installing again on the same window changes nothing; installing on
    // another one moves the guard, while the first window's closes are still
    // judged by the same shouldClose.
    void install(QWidget* window);

    // The close button's action: the sender's window when the sender is a
    // widget in a window, else the guarded window; closed when shouldClose
    // agrees, without running the window's own closeEvent.
    void closeClicked(QObject* sender = nullptr);

    // Asks shouldClose and, on yes, closes `window` directly. Returns the answer.
    bool request(QWidget* window);

    // Close Window for a guarded application: the active window (else the
    // first visible main window); the guarded one is judged by shouldClose,
    // any other gets its ordinary close.
    void closeKeyWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void closeDirectly(QWidget* window);

    QPointer<QWidget> main_;
    QPointer<QWidget> closing_; // the window this guard is closing itself
};

// Reports the window a probe widget is in: when the probe is put into a
// window or shown there, and at once on update() while it is in one. The
// callback may run several times for the same window.
class WindowReader : public QObject {
    Q_OBJECT

public:
    using Found = std::function<void(QWidget* window)>;

    // Watches `probe` for the probe's lifetime (the reader is its child).
    WindowReader(QWidget* probe, Found found);

    // Replaces the callback and calls it now when the probe is in a window.
    void update(Found found);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report();

    QWidget* probe_;
    Found found_;
};

// Puts a reader on `view` that installs the shared guard on its window.
WindowReader* guardsWindowClose(QWidget* view);

// Reports the undo stack of a window's undo group: the current one at once,
// then each new one when the group's active stack changes (possibly none).
class WindowUndoManagerReader : public QObject {
    Q_OBJECT

public:
    using Found = std::function<void(QUndoStack* stack)>;

    WindowUndoManagerReader(QUndoGroup& group, Found found);

private:
    Found found_;
};

} // namespace MacMenuBaseline
