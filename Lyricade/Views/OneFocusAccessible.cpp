#include "Lyricade/Views/OneFocusAccessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QHash>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeView>

namespace Lyricade {

namespace {

// Set while Qt's own interface for a view is made: this factory then stands aside.
bool makingQtsOwn = false;

// A menu popped up over the focus, with an item current: that item is focused.
bool menuHoldsTheFocus()
{
    const auto* menu = qobject_cast<const QMenu*>(QApplication::activePopupWidget());
    return menu && menu->activeAction();
}

// Takes `inner`'s word for everything, by its id, so a row Qt has let go of
// (after a model change) reads as invalid rather than as freed memory.
class Forwarding : public QAccessibleInterface {
public:
    explicit Forwarding(QAccessible::Id inner) : inner_(inner) {}

    QAccessibleInterface* inner() const { return QAccessible::accessibleInterface(inner_); }
    QAccessible::Id innerId() const { return inner_; }

    bool isValid() const override { return inner() && inner()->isValid(); }
    QWindow* window() const override { return inner() ? inner()->window() : nullptr; }
    QString text(QAccessible::Text kind) const override { return inner() ? inner()->text(kind) : QString(); }
    void setText(QAccessible::Text kind, const QString& text) override
    {
        if (inner()) inner()->setText(kind, text);
    }
    QRect rect() const override { return inner() ? inner()->rect() : QRect(); }
    QAccessible::Role role() const override { return inner() ? inner()->role() : QAccessible::NoRole; }
    QAccessible::State state() const override { return inner() ? inner()->state() : QAccessible::State(); }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return inner() ? inner()->interface_cast(type) : nullptr;
    }

private:
    QAccessible::Id inner_;
};

// A child of a view or menu whose interface wraps Qt's: Qt's own child read
// through (its children too: a menu item's menu), its parent the wrapper.
class ChildAccessible : public Forwarding {
public:
    ChildAccessible(QWidget* holder, QAccessible::Id inner) : Forwarding(inner), holder_(holder) {}

    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override
    {
        return holder_ ? QAccessible::queryAccessibleInterface(holder_.data()) : nullptr;
    }
    QAccessibleInterface* child(int index) const override { return inner() ? inner()->child(index) : nullptr; }
    int childCount() const override { return inner() ? inner()->childCount() : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return inner() ? inner()->indexOfChild(child) : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override { return inner() ? inner()->childAt(x, y) : nullptr; }

protected:
    QWidget* holder() const { return holder_; }

private:
    QPointer<QWidget> holder_;
};

// One row (or cell) of a view, focused only while the view holds the focus.
class RowAccessible : public ChildAccessible {
public:
    using ChildAccessible::ChildAccessible;

    QAccessible::State state() const override
    {
        QAccessible::State state = Forwarding::state();
        const auto* view = qobject_cast<const QAbstractItemView*>(holder());
        state.focused = state.focused && viewHoldsTheFocus(view);
        // Qt reads a row as shown by its place in the view, even while the view is hidden.
        if (!view || !view->isVisible()) state.invisible = true;
        return state;
    }
};

// A widget read by Qt's own interface for it, which it owns: its children as
// Qt's (through `wrap`), its state for a subclass to mend.
class Wrapping : public Forwarding {
public:
    Wrapping(QObject* object, QAccessible::Id inner) : Forwarding(inner), object_(object) {}

    ~Wrapping() override
    {
        for (QAccessible::Id child : std::as_const(children_))
            if (QAccessible::accessibleInterface(child)) QAccessible::deleteAccessibleInterface(child);
        if (QAccessible::accessibleInterface(innerId())) QAccessible::deleteAccessibleInterface(innerId());
    }

    QObject* object() const override { return object_; }
    QAccessibleInterface* parent() const override { return inner() ? inner()->parent() : nullptr; }
    int childCount() const override { return inner() ? inner()->childCount() : 0; }
    QAccessibleInterface* child(int index) const override { return wrap(inner() ? inner()->child(index) : nullptr); }
    QAccessibleInterface* childAt(int x, int y) const override { return wrap(inner() ? inner()->childAt(x, y) : nullptr); }
    QAccessibleInterface* focusChild() const override { return wrap(inner() ? inner()->focusChild() : nullptr); }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return inner() && child ? inner()->indexOfChild(child) : -1;
    }

    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation match) const override
    {
        return inner() ? inner()->relations(match) : QAccessibleInterface::relations(match);
    }

protected:
    virtual QAccessibleInterface* wrap(QAccessibleInterface* child) const { return child; }

    // The one wrapper of Qt's `child`, made by `make` from its id the first time.
    template <typename Make>
    QAccessibleInterface* wrapOnce(QAccessibleInterface* child, Make make) const
    {
        if (!child) return child;
        const QAccessible::Id childId = QAccessible::uniqueId(child);
        if (const auto made = children_.constFind(childId); made != children_.constEnd())
            if (QAccessibleInterface* wrapper = QAccessible::accessibleInterface(made.value())) return wrapper;
        forgetReleasedChildren();
        QAccessibleInterface* wrapper = make(childId);
        children_.insert(childId, QAccessible::registerAccessibleInterface(wrapper));
        return wrapper;
    }

private:
    // Qt lets go of its children when a model changes; their wrappers go too,
    // now and then, so the table grows with the children read, not with time.
    void forgetReleasedChildren() const
    {
        if (children_.size() < 2 * keptAfterLastSweep_ + 64) return;
        for (auto child = children_.begin(); child != children_.end();) {
            if (QAccessible::accessibleInterface(child.key())) {
                ++child;
                continue;
            }
            if (QAccessible::accessibleInterface(child.value())) QAccessible::deleteAccessibleInterface(child.value());
            child = children_.erase(child);
        }
        keptAfterLastSweep_ = children_.size();
    }

    QPointer<QObject> object_;
    mutable QHash<QAccessible::Id, QAccessible::Id> children_; // Qt's child → its wrapper
    mutable qsizetype keptAfterLastSweep_ = 0;
};

// Whether `item` drops a menu that is open with an item of its own current.
bool opensCurrentMenu(const QAction* item)
{
    const QMenu* menu = item ? item->menu() : nullptr;
    return menu && menu->isVisible() && menu->activeAction();
}

// An item of a menu or menu bar: the item whose menu is open leaves the focus to that menu's current item.
class MenuItemAccessible : public ChildAccessible {
public:
    using ChildAccessible::ChildAccessible;

    QAccessible::State state() const override
    {
        QAccessible::State state = Forwarding::state();
        if (state.focused && opensCurrentMenu(qobject_cast<QAction*>(inner() ? inner()->object() : nullptr)))
            state.focused = false;
        return state;
    }
};

// An open menu leaves the focus to its current item, and a menu bar to the
// current item of the menu it opened.
class MenuAccessible : public Wrapping {
public:
    MenuAccessible(QWidget* menu, QAccessible::Id inner) : Wrapping(menu, inner) {}

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        // Qt's own menu knows its own items only.
        if (const auto* item = dynamic_cast<const MenuItemAccessible*>(child)) child = item->inner();
        return Wrapping::indexOfChild(child);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = Wrapping::state();
        const auto* holder = static_cast<const QWidget*>(object());
        if (const auto* menu = qobject_cast<const QMenu*>(holder); menu && menu->activeAction()) state.focused = false;
        if (holder && qobject_cast<const QMenuBar*>(holder))
            for (const QAction* item : holder->actions())
                if (opensCurrentMenu(item)) state.focused = false;
        return state;
    }

protected:
    QAccessibleInterface* wrap(QAccessibleInterface* item) const override
    {
        auto* holder = static_cast<QWidget*>(object());
        if (!holder) return item;
        return wrapOnce(item, [holder](QAccessible::Id id) { return new MenuItemAccessible(holder, id); });
    }
};

// The view's table (which the desktop bridge also asks for the selection)
// hands out the same row wrappers as its children do.
// A tool button lets go of the focus to the current item of its open menu.
// Its tip, read as its description where it has none, is not read when it
// only repeats the name (an icon's button is named and tipped alike).
class ToolButtonAccessible : public Wrapping {
public:
    ToolButtonAccessible(QToolButton* button, QAccessible::Id inner) : Wrapping(button, inner) {}

    QString text(QAccessible::Text kind) const override
    {
        const QString text = Wrapping::text(kind);
        return kind == QAccessible::Description && text == Wrapping::text(QAccessible::Name) ? QString() : text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = Wrapping::state();
        const auto* button = static_cast<const QToolButton*>(object());
        if (button && button->menu() && opensCurrentMenu(button->menu()->menuAction())) state.focused = false;
        return state;
    }
};

class ViewAccessible : public Wrapping, public QAccessibleTableInterface {
public:
    ViewAccessible(QAbstractItemView* view, QAccessible::Id inner) : Wrapping(view, inner), view_(view) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return table() ? static_cast<QAccessibleTableInterface*>(this) : nullptr;
        return Wrapping::interface_cast(type);
    }

    QAccessibleInterface* caption() const override { return table() ? table()->caption() : nullptr; }
    QAccessibleInterface* summary() const override { return table() ? table()->summary() : nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        return wrap(table() ? table()->cellAt(row, column) : nullptr);
    }
    int selectedCellCount() const override { return table() ? table()->selectedCellCount() : 0; }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells = table() ? table()->selectedCells() : QList<QAccessibleInterface*>();
        for (QAccessibleInterface*& cell : cells) cell = wrap(cell);
        return cells;
    }
    QString columnDescription(int column) const override { return table() ? table()->columnDescription(column) : QString(); }
    QString rowDescription(int row) const override { return table() ? table()->rowDescription(row) : QString(); }
    int selectedColumnCount() const override { return table() ? table()->selectedColumnCount() : 0; }
    int selectedRowCount() const override { return table() ? table()->selectedRowCount() : 0; }
    int columnCount() const override { return table() ? table()->columnCount() : 0; }
    int rowCount() const override { return table() ? table()->rowCount() : 0; }
    QList<int> selectedColumns() const override { return table() ? table()->selectedColumns() : QList<int>(); }
    QList<int> selectedRows() const override { return table() ? table()->selectedRows() : QList<int>(); }
    bool isColumnSelected(int column) const override { return table() && table()->isColumnSelected(column); }
    bool isRowSelected(int row) const override { return table() && table()->isRowSelected(row); }
    bool selectRow(int row) override { return table() && table()->selectRow(row); }
    bool selectColumn(int column) override { return table() && table()->selectColumn(column); }
    bool unselectRow(int row) override { return table() && table()->unselectRow(row); }
    bool unselectColumn(int column) override { return table() && table()->unselectColumn(column); }
    void modelChange(QAccessibleTableModelChangeEvent* event) override
    {
        if (table()) table()->modelChange(event);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        // Qt's own view knows its own rows only.
        if (const auto* row = dynamic_cast<const RowAccessible*>(child)) child = row->inner();
        return Wrapping::indexOfChild(child);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = Wrapping::state();
        // The current row holds the focus, not the view around it too.
        if ((viewHoldsTheFocus(view_) && view_->currentIndex().isValid()) || menuHoldsTheFocus()) state.focused = false;
        return state;
    }

protected:
    QAccessibleTableInterface* table() const { return inner() ? inner()->tableInterface() : nullptr; }

    QAccessibleInterface* wrap(QAccessibleInterface* row) const override
    {
        if (!view_) return row;
        QAbstractItemView* view = view_;
        return wrapOnce(row, [view](QAccessible::Id id) { return new RowAccessible(view, id); });
    }

    QPointer<QAbstractItemView> view_;
};

// A tab of a tab bar, focused only while its bar holds the focus: Qt reads
// the current tab as focused at all times, even in a closed window.
class TabAccessible : public ChildAccessible {
public:
    using ChildAccessible::ChildAccessible;

    QAccessible::State state() const override
    {
        QAccessible::State state = Forwarding::state();
        const QWidget* bar = holder();
        state.focused = state.focused && bar && bar->hasFocus() && bar->isVisible();
        return state;
    }
};

// A tab bar leaves the focus to its current tab; a tab widget or a dialog's
// button box, which only pass the focus on (to the bar, to a button), hold
// none themselves.
class TabsAccessible : public Wrapping {
public:
    TabsAccessible(QWidget* tabs, QAccessible::Id inner) : Wrapping(tabs, inner) {}

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (const auto* tab = dynamic_cast<const TabAccessible*>(child)) child = tab->inner();
        return Wrapping::indexOfChild(child);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = Wrapping::state();
        const auto* bar = qobject_cast<const QTabBar*>(object());
        if (!bar || bar->currentIndex() >= 0) state.focused = false;
        return state;
    }

protected:
    QAccessibleInterface* wrap(QAccessibleInterface* tab) const override
    {
        auto* bar = qobject_cast<QTabBar*>(object());
        if (!bar) return tab;
        return wrapOnce(tab, [bar](QAccessible::Id id) { return new TabAccessible(bar, id); });
    }
};

bool isItemView(QObject* object)
{
    // A book's entry list reads through rows of its own.
    if (object->inherits("Lyricade::BookEntryList")) return false;
    return qobject_cast<QListView*>(object) || qobject_cast<QTreeView*>(object) || qobject_cast<QTableView*>(object);
}

QAccessibleInterface* oneFocusFactory(const QString& className, QObject* object)
{
    // Asked once per object, for its own class, the first in line.
    if (makingQtsOwn || !object || className != QLatin1String(object->metaObject()->className())) return nullptr;
    const bool view = isItemView(object), menu = qobject_cast<QMenu*>(object) || qobject_cast<QMenuBar*>(object);
    const bool button = className == QLatin1String("QToolButton");
    const bool tabs = className == QLatin1String("QTabBar") || className == QLatin1String("QTabWidget") ||
                      className == QLatin1String("QDialogButtonBox");
    if (!view && !menu && !button && !tabs) return nullptr;
    makingQtsOwn = true;
    QAccessibleInterface* own = QAccessible::queryAccessibleInterface(object);
    makingQtsOwn = false;
    if (!own) return nullptr;
    const QAccessible::Id ownId = QAccessible::uniqueId(own);
    if (menu) return new MenuAccessible(static_cast<QWidget*>(object), ownId);
    if (button) return new ToolButtonAccessible(static_cast<QToolButton*>(object), ownId);
    if (tabs) return new TabsAccessible(static_cast<QWidget*>(object), ownId);
    return new ViewAccessible(static_cast<QAbstractItemView*>(object), ownId);
}

} // namespace

bool viewHoldsTheFocus(const QAbstractItemView* view)
{
    return view && view->hasFocus() && view->isVisible() && !menuHoldsTheFocus();
}

void installOneFocusAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(oneFocusFactory);
        return true;
    }();
    (void)installed;
}

} // namespace Lyricade
