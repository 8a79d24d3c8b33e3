#pragma once

// A dialog run modally over a window that may go while it runs. Its parent
// (Help, a sheet, the active window) can be closed and deleted from the
// dialog's own event loop, and Qt then deletes the dialog with it: a dialog
// on the stack would be destroyed a second time on return. Here it lives on
// the heap behind a guarded pointer, and whoever deletes it first is the
// only one.

#include <QDialog>
#include <QPointer>

#include <utility>

namespace Lyricade {

// Gives `window` the keyboard back after a panel over it has closed, on a
// control that is showing. The window manager's answer to the panel's
// closing may come after work it set off (a document opened, hiding the
// control that had the focus) or be taken by Qt for the panel's, leaving no
// window active in Qt's eyes while the desktop has this one focused: Tab and
// every other key would then go nowhere. For a moment after the panel, the
// window is activated again whenever Qt finds itself without an active one.
void giveFocusBack(QWidget* window);

// Opens `sheet` modally over its window (QDialog::open, which returns at
// once); each time it closes, its window has the keyboard back as after a
// panel run with exec, the focus where it was.
void openSheet(QDialog& sheet);

template <typename Dialog>
class ModalDialog {
public:
    // Makes the dialog as `new Dialog(args…)`.
    template <typename... Args>
    explicit ModalDialog(Args&&... args) : dialog_(new Dialog(std::forward<Args>(args)...))
    {
    }
    ~ModalDialog() { delete dialog_.data(); }
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    // Runs the dialog; Rejected when it went with its parent meanwhile. The
    // window it was over has the keyboard again once it has closed.
    int exec()
    {
        if (!dialog_) return QDialog::Rejected;
        QPointer<QWidget> over = dialog_->parentWidget() ? dialog_->parentWidget()->window() : nullptr;
        const int result = dialog_->exec();
        giveFocusBack(over);
        return result;
    }
    // False once the dialog is gone: then nothing more may be asked of it.
    explicit operator bool() const { return !dialog_.isNull(); }
    Dialog* operator->() const { return dialog_.data(); }
    Dialog& operator*() const { return *dialog_; }
    Dialog* get() const { return dialog_.data(); }

private:
    QPointer<Dialog> dialog_;
};

} // namespace Lyricade
