#include "Lyricade/Views/EntryAccessible.h"

#include "Lyricade/Views/BookEntryList.h"
#include "Lyricade/Views/BookEntryRow.h"
#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/OneFocusAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

namespace Lyricade {

namespace {

class EntryListAccessible : public QAccessibleWidget {
public:
    explicit EntryListAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::List) {}

    int childCount() const override { return list()->count(); }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        // The current row holds the focus, not the list around it too.
        if (list()->currentItem() && list()->itemWidget(list()->currentItem())) state.focused = false;
        return state;
    }

    // The current row while the list holds the focus: what a reader is told of.
    QAccessibleInterface* focusChild() const override
    {
        QWidget* row = list()->currentItem() ? list()->itemWidget(list()->currentItem()) : nullptr;
        return row && viewHoldsTheFocus(list()) ? QAccessible::queryAccessibleInterface(row)
                                                : QAccessibleWidget::focusChild();
    }

    QAccessibleInterface* child(int index) const override
    {
        QWidget* row = list()->itemWidget(list()->item(index));
        return row ? QAccessible::queryAccessibleInterface(row) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int i = 0; child && i < list()->count(); ++i)
            if (list()->itemWidget(list()->item(i)) == child->object()) return i;
        return -1;
    }

private:
    BookEntryList* list() const { return static_cast<BookEntryList*>(widget()); }
};

class EntryRowAccessible : public QAccessibleWidget {
public:
    explicit EntryRowAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::ListItem) {}

    QAccessibleInterface* parent() const override
    {
        return list() ? QAccessible::queryAccessibleInterface(list()) : QAccessibleWidget::parent();
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.selectable = true;
        if (QListWidgetItem* item = this->item()) {
            state.selected = item->isSelected();
            state.focusable = true;
            state.focused = viewHoldsTheFocus(list()) && list()->currentItem() == item;
        }
        return state;
    }

private:
    BookEntryList* list() const
    {
        for (QWidget* up = widget()->parentWidget(); up; up = up->parentWidget())
            if (auto* list = qobject_cast<BookEntryList*>(up)) return list;
        return nullptr;
    }

    QListWidgetItem* item() const
    {
        BookEntryList* list = this->list();
        if (!list) return nullptr;
        for (int i = 0; i < list->count(); ++i)
            if (list->itemWidget(list->item(i)) == widget()) return list->item(i);
        return nullptr;
    }
};

QAccessibleInterface* entryFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("Lyricade::BookEntryList")) return new EntryListAccessible(widget);
    if (className == QLatin1String("Lyricade::EntryRow")) return new EntryRowAccessible(widget);
    return nullptr;
}

} // namespace

void EntryPopUp::paintEvent(QPaintEvent* event)
{
    ChoiceButton::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    // Square, over the style's ring: on so small a button rounded corners
    // leave a tenth of the ring in the style's colour, which a selected row's
    // fill swallows.
    FocusRing::draw(painter, rect(), palette().color(foregroundRole()), 0);
}

void installEntryAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(entryFactory);
        return true;
    }();
    (void)installed;
}

} // namespace Lyricade
