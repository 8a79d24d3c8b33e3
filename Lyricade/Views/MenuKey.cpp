#include "Lyricade/Views/MenuKey.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace Lyricade {

namespace {

class CurrentItemFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* menu = qobject_cast<QMenu*>(watched);
        if (event->type() != QEvent::Show || !menu || menu->activeAction()) return false;
        QAction* first = nullptr;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator() || !item->isEnabled() || !item->isVisible()) continue;
            if (item->isChecked()) {
                first = item;
                break;
            }
            if (!first) first = item;
        }
        if (first) menu->setActiveAction(first);
        return false;
    }
};

class MenuKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F10 || (key->modifiers() & ~Qt::KeypadModifier) != Qt::ShiftModifier) return false;
        // The first widget to see the key is the one with the focus; taking the
        // key there keeps it from travelling up to its parents.
        if (!watched->isWidgetType()) return false;
        auto* focus = static_cast<QWidget*>(watched);
        // As the Menu key: item views take the event on their viewport, at the current item.
        QWidget* target = focus;
        QPoint at = focus->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        if (auto* view = qobject_cast<QAbstractItemView*>(focus)) {
            target = view->viewport();
            const QRect current = view->visualRect(view->currentIndex());
            at = current.isValid() ? current.center() : QPoint(4, 4);
        }
        if (!target->rect().contains(at)) at = target->rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at), key->modifiers());
        QCoreApplication::sendEvent(target, &menu);
        return true;
    }
};

} // namespace

void installMenuKey()
{
    static MenuKeyFilter* filter = nullptr;
    if (filter || !qApp) return;
    filter = new MenuKeyFilter(qApp);
    qApp->installEventFilter(filter);
}

void openOnCurrentItem(QMenu& menu)
{
    menu.installEventFilter(new CurrentItemFilter(&menu));
}

} // namespace Lyricade
