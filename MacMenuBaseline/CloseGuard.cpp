#include "MacMenuBaseline/CloseGuard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QUndoGroup>
#include <QUndoStack>

namespace MacMenuBaseline {

namespace {
// Marks the windows whose close events this guard watches for good.
constexpr const char* installedProperty = "closeGuardInstalled";
} // namespace

CloseGuard& CloseGuard::shared()
{
    static CloseGuard* guard = new CloseGuard; // lives for the whole process
    return *guard;
}

void CloseGuard::install(QWidget* window)
{
    main_ = window;
    if (!window) return;
    // Qt keeps one entry per filter object, so a second install is harmless.
    window->installEventFilter(this);
    window->setProperty(installedProperty, true);
}

bool CloseGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Close) return QObject::eventFilter(watched, event);
    // Consuming the event keeps the window's own closeEvent out of it; the
    // event's accepted flag alone decides whether the window closes.
    if (watched == closing_ || shouldClose())
        event->accept();
    else
        event->ignore();
    return true;
}

void CloseGuard::closeDirectly(QWidget* window)
{
    // A window closed on delete-on-close is gone afterwards.
    const QPointer<QWidget> target = window;
    const bool watched = window->property(installedProperty).toBool();
    if (!watched) window->installEventFilter(this); // so that its closeEvent is skipped too
    closing_ = window;
    window->close();
    closing_ = nullptr;
    if (!watched && target) target->removeEventFilter(this);
}

void CloseGuard::closeClicked(QObject* sender)
{
    QWidget* window = nullptr;
    if (auto* widget = qobject_cast<QWidget*>(sender); widget && widget->parentWidget()) window = widget->window();
    if (!window) window = main_;
    if (window) request(window);
}

bool CloseGuard::request(QWidget* window)
{
    const bool answer = shouldClose();
    if (answer && window) closeDirectly(window);
    return answer;
}

void CloseGuard::closeKeyWindow()
{
    QWidget* window = QApplication::activeWindow();
    if (!window)
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<QMainWindow*>(top) && top->isVisible()) {
                window = top;
                break;
            }
    if (!window) return;
    if (main_ && window == main_)
        request(window);
    else
        window->close();
}

WindowReader::WindowReader(QWidget* probe, Found found) : QObject(probe), probe_(probe), found_(std::move(found))
{
    probe_->installEventFilter(this);
}

void WindowReader::update(Found found)
{
    found_ = std::move(found);
    report();
}

void WindowReader::report()
{
    // A widget without a parent is a window of its own, not a view inside one.
    if (found_ && probe_->parentWidget()) found_(probe_->window());
}

bool WindowReader::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == probe_ && (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)) report();
    return QObject::eventFilter(watched, event);
}

WindowReader* guardsWindowClose(QWidget* view)
{
    return new WindowReader(view, [](QWidget* window) { CloseGuard::shared().install(window); });
}

WindowUndoManagerReader::WindowUndoManagerReader(QUndoGroup& group, Found found)
    : QObject(&group), found_(std::move(found))
{
    if (found_) found_(group.activeStack());
    connect(&group, &QUndoGroup::activeStackChanged, this, [this](QUndoStack* stack) {
        if (found_) found_(stack);
    });
}

} // namespace MacMenuBaseline
