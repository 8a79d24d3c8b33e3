#include "Lyricade/Views/OneFocusAccessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QHash>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QTreeView>

namespace Lyricade {

namespace {

// Set while Qt's own interface for a view is made: this factory then stands aside.
bool makingQtsOwn = false;

bool holdsTheFocus(const QAbstractItemView* view)
{
    return view && view->hasFocus() && view->isVisible();
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

// One row (or cell) of a view, focused only while the view holds the focus.
class RowAccessible : public Forwarding {
public:
    RowAccessible(QAbstractItemView* view, QAccessible::Id inner) : Forwarding(inner), view_(view) {}

    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override
    {
        return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QAccessible::State state() const override
    {
        QAccessible::State state = Forwarding::state();
        state.focused = state.focused && holdsTheFocus(view_);
        return state;
    }

private:
    QPointer<QAbstractItemView> view_;
};

// A widget read by Qt's own interface for it, which it owns: its children as
// Qt's (through `wrap`), its state for a subclass to mend.
class Wrapping : public Forwarding {
public:
    Wrapping(QObject* object, QAccessible::Id inner) : Forwarding(inner), object_(object) {}

    ~Wrapping() override
    {
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

private:
    QPointer<QObject> object_;
};

// An open menu leaves the focus to its current item.
class MenuAccessible : public Wrapping {
public:
    MenuAccessible(QMenu* menu, QAccessible::Id inner) : Wrapping(menu, inner) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = Wrapping::state();
        const auto* menu = static_cast<const QMenu*>(object());
        if (menu && menu->activeAction()) state.focused = false;
        return state;
    }
};

class ViewAccessible : public Wrapping {
public:
    ViewAccessible(QAbstractItemView* view, QAccessible::Id inner) : Wrapping(view, inner), view_(view) {}

    ~ViewAccessible() override
    {
        for (QAccessible::Id row : std::as_const(rows_))
            if (QAccessible::accessibleInterface(row)) QAccessible::deleteAccessibleInterface(row);
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
        if (holdsTheFocus(view_) && view_->currentIndex().isValid()) state.focused = false;
        return state;
    }

protected:
    QAccessibleInterface* wrap(QAccessibleInterface* row) const override
    {
        if (!row || !view_) return row;
        const QAccessible::Id rowId = QAccessible::uniqueId(row);
        if (const auto made = rows_.constFind(rowId); made != rows_.constEnd())
            if (QAccessibleInterface* wrapper = QAccessible::accessibleInterface(made.value())) return wrapper;
        forgetReleasedRows();
        auto* wrapper = new RowAccessible(view_, rowId);
        rows_.insert(rowId, QAccessible::registerAccessibleInterface(wrapper));
        return wrapper;
    }

    // Qt lets go of its rows when the model changes; their wrappers go too,
    // now and then, so the table grows with the rows read, not with time.
    void forgetReleasedRows() const
    {
        if (rows_.size() < 2 * keptAfterLastSweep_ + 64) return;
        for (auto row = rows_.begin(); row != rows_.end();) {
            if (QAccessible::accessibleInterface(row.key())) {
                ++row;
                continue;
            }
            if (QAccessible::accessibleInterface(row.value())) QAccessible::deleteAccessibleInterface(row.value());
            row = rows_.erase(row);
        }
        keptAfterLastSweep_ = rows_.size();
    }

    QPointer<QAbstractItemView> view_;
    mutable QHash<QAccessible::Id, QAccessible::Id> rows_; // Qt's row → its wrapper
    mutable qsizetype keptAfterLastSweep_ = 0;
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
    const bool view = isItemView(object), menu = qobject_cast<QMenu*>(object);
    if (!view && !menu) return nullptr;
    makingQtsOwn = true;
    QAccessibleInterface* own = QAccessible::queryAccessibleInterface(object);
    makingQtsOwn = false;
    if (!own) return nullptr;
    const QAccessible::Id ownId = QAccessible::uniqueId(own);
    if (menu) return new MenuAccessible(static_cast<QMenu*>(object), ownId);
    return new ViewAccessible(static_cast<QAbstractItemView*>(object), ownId);
}

} // namespace

void installOneFocusAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(oneFocusFactory);
        return true;
    }();
    (void)installed;
}

} // namespace Lyricade
