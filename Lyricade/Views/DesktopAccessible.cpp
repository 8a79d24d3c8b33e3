#include "Lyricade/Views/DesktopAccessible.h"

#include "Lyricade/Views/OneFocusAccessible.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

namespace Lyricade {

namespace {

// Not a menu bar's menu or a submenu: those are reached through their items,
// and closing them leaves the user in the menus.
bool standsAlone(const QMenu& menu)
{
    for (const QObject* holder : menu.menuAction()->associatedObjects())
        if (qobject_cast<const QMenu*>(holder) || qobject_cast<const QMenuBar*>(holder)) return false;
    return true;
}

// Qt lists only the windows that are not popups under the application, so a
// menu that no menu bar or menu leads to is found by nobody walking the tree.
// Here the menus that pop up on their own follow the windows while shown; as
// windows, their own parent is the application already.
class ApplicationAccessible : public QAccessibleApplication {
public:
    int childCount() const override { return QAccessibleApplication::childCount() + int(popups().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows) return QAccessibleApplication::child(index);
        const QList<QMenu*> menus = popups();
        index -= windows;
        return index < menus.size() ? QAccessible::queryAccessibleInterface(menus.at(index)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child) return -1;
        if (const int window = QAccessibleApplication::indexOfChild(child); window >= 0) return window;
        const int menu = int(popups().indexOf(qobject_cast<QMenu*>(child->object())));
        return menu < 0 ? -1 : QAccessibleApplication::childCount() + menu;
    }

private:
    static QList<QMenu*> popups()
    {
        QList<QMenu*> shown;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(window); menu && menu->isVisible() && standsAlone(*menu))
                shown << menu;
        return shown;
    }
};

// A window of a plain widget reads as a window while it is one.
class WindowAccessible : public QAccessibleWidget {
public:
    explicit WindowAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Window) {}

    QAccessible::Role role() const override { return widget()->isWindow() ? QAccessible::Window : QAccessible::Client; }
};

// A scroll area's viewport passes the focus on to its area, which Qt reads
// as the viewport having it too: the area alone holds it.
class ViewportAccessible : public QAccessibleWidget {
public:
    explicit ViewportAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Client) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focused = false;
        return state;
    }
};

bool isViewport(const QWidget* widget)
{
    const auto* area = qobject_cast<const QAbstractScrollArea*>(widget->parentWidget());
    return area && area->viewport() == widget && widget->focusProxy();
}

bool isPlainWindow(const QWidget* widget)
{
    const Qt::WindowType type = widget->windowType();
    return widget->isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool);
}

// The list of a combo box selects its current choice at all times, not only
// while it pops up, so a reader finds the choice there too.
void selectChoice(QComboBox* combo)
{
    QItemSelectionModel* selection = combo->view()->selectionModel();
    if (!selection) return;
    const QModelIndex chosen = combo->model()->index(combo->currentIndex(), combo->modelColumn(), combo->rootModelIndex());
    // Selected only: the list's current item reads as focused, and the box has the focus.
    if (!chosen.isValid())
        selection->clearSelection();
    else if (!selection->isSelected(chosen) || selection->selectedIndexes().size() != 1)
        selection->select(chosen, QItemSelectionModel::ClearAndSelect);
}

// As Qt's own combo box, but named by its name or label: on Linux Qt names it
// by its current text and leaves the label to a relation, so the tree and
// many readers say the value twice and never what is chosen. The choice is
// still said: it is the box's value and its text, as a reader asks for a
// combo box's shown text, and the selected item of its list.
class ComboAccessible : public QAccessibleWidget, public ShownTextAccessible {
public:
    explicit ComboAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) return static_cast<ShownTextAccessible*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override { return combo()->isEditable() ? 2 : 1; }

    QAccessibleInterface* child(int index) const override
    {
        if (index == 0) {
            selectChoice(combo());
            return QAccessible::queryAccessibleInterface(combo()->view());
        }
        if (index == 1 && combo()->isEditable()) return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child) return -1;
        if (child->object() == combo()->view()) return 0;
        if (combo()->isEditable() && child->object() == combo()->lineEdit()) return 1;
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        if (!combo()->isEditable()) return nullptr;
        const QLineEdit* edit = combo()->lineEdit();
        return QRect(edit->mapToGlobal(QPoint()), edit->size()).contains(x, y) ? child(1) : nullptr;
    }

    // An editable combo box is its line edit's focus proxy: the edit is what has the focus.
    QAccessibleInterface* focusChild() const override { return combo()->isEditable() ? child(1) : nullptr; }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) return shown();
        const QString text = QAccessibleWidget::text(kind);
        // Unnamed and unlabelled, it is known by what it shows.
        return kind == QAccessible::Name && text.isEmpty() ? shown() : text;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

    QString localizedActionDescription(const QString& action) const override
    {
        if (action == showMenuAction() || action == pressAction()) return QStringLiteral("Open the list of choices");
        return QString();
    }

    void doAction(const QString& action) override
    {
        if (action != showMenuAction() && action != pressAction()) return;
        if (combo()->view()->isVisible())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
    QString shownText() const override { return shown(); }
    QString shown() const { return combo()->isEditable() ? combo()->lineEdit()->text() : combo()->currentText(); }
};

// A new choice is announced as the list's new selection (Qt announces it as
// the box's new value already). A choice made with the box's signals blocked,
// or a list filled anew, is put right when a reader next asks for the list.
void followChoice(QComboBox* combo)
{
    static const char* const following = "folmiraFollowsChoice";
    if (combo->property(following).toBool()) return;
    combo->setProperty(following, true);
    selectChoice(combo);
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [combo] { selectChoice(combo); });
}

// A menu that closes without moving the focus (Escape, or a choice that
// changes nothing) leaves a reader on its last item: Qt says nothing of the
// control the keyboard is back on, which is then said again, as focused.
class FocusAfterMenus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A window given the keyboard back (a dialog over it closed) tells of
        // its list, where the keyboard is on the current row: that row is said.
        const bool activated = event->type() == QEvent::FocusIn &&
                               static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason;
        if (activated)
            if (auto* view = qobject_cast<QAbstractItemView*>(watched))
                QTimer::singleShot(0, view, [view] {
                    if (view->hasFocus() && view->currentIndex().isValid()) announceFocus(*view);
                });
        const bool shown = event->type() == QEvent::Show, hidden = event->type() == QEvent::Hide;
        auto* menu = shown || hidden ? qobject_cast<QMenu*>(watched) : nullptr;
        if (!menu || !standsAlone(*menu)) return false;
        if (shown) {
            menu->setProperty(focusProperty, QVariant::fromValue(QPointer<QWidget>(QApplication::focusWidget())));
        } else {
            const QPointer<QWidget> before = menu->property(focusProperty).value<QPointer<QWidget>>();
            // Once the menu's choice has run: one that moved the focus was heard already.
            // (The menu may be gone by then: a context menu is deleted once it returns.)
            QTimer::singleShot(0, qApp, [before] {
                // (No focus at all: the platform gave the window no activation back.)
                const QWidget* focus = QApplication::focusWidget();
                if (!before || (focus && focus != before) || before->window()->focusWidget() != before ||
                    !before->isVisible() || QApplication::activePopupWidget() || QApplication::activeModalWidget())
                    return;
                announceFocus(*before);
            });
        }
        return false;
    }

private:
    static constexpr const char* focusProperty = "folmiraFocusBeforeMenu";
};

QAccessibleInterface* desktopFactory(const QString& className, QObject* object)
{
    if (!object) return nullptr;
    if (object == QCoreApplication::instance()) return new ApplicationAccessible;
    if (!object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("QComboBox")) {
        followChoice(static_cast<QComboBox*>(widget));
        return new ComboAccessible(widget);
    }
    // Reached only by classes with no interface of their own nearer to them.
    if ((className == QLatin1String("QWidget") || className == QLatin1String("QFrame")) && isPlainWindow(widget))
        return new WindowAccessible(widget);
    if (className == QLatin1String("QWidget") && isViewport(widget)) return new ViewportAccessible(widget);
    return nullptr;
}

} // namespace

void installDesktopAccessible()
{
    static bool installed = false;
    if (installed || !qApp) return;
    installed = true;
    QAccessible::installFactory(desktopFactory);
    installOneFocusAccessible();
    qApp->installEventFilter(new FocusAfterMenus(qApp));
    // The application's interface may have been made before: it is made
    // again, now through the factory.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(qApp);
    if (made && !dynamic_cast<ApplicationAccessible*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void announceFocus(QWidget& widget)
{
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* reads = QAccessible::queryAccessibleInterface(&widget);
    if (!reads) return;
    // A list's current row, not the list around it.
    QAccessibleInterface* focus = reads->focusChild();
    QAccessibleEvent event(focus && focus != reads ? focus : reads, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
}

void announceChecked(QAbstractItemView& view, const QModelIndex& index)
{
    if (!QAccessible::isActive() || !index.isValid() || index.model() != view.model()) return;
    QAccessibleInterface* reads = QAccessible::queryAccessibleInterface(&view);
    QAccessibleTableInterface* table = reads ? reads->tableInterface() : nullptr;
    QAccessibleInterface* row = table ? table->cellAt(index.row(), index.column()) : nullptr;
    if (!row) return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(row, changed);
    QAccessible::updateAccessibility(&event);
}

void setSpokenName(QWidget& widget, const QString& name)
{
    if (widget.accessibleName() != name) widget.setAccessibleName(name);
}

void setSpokenDescription(QWidget& widget, const QString& description)
{
    if (widget.accessibleDescription() != description) widget.setAccessibleDescription(description);
}

namespace {

// Holds what a widget applies when it is next shown.
class ApplyOnShow : public QObject {
public:
    explicit ApplyOnShow(QWidget& widget) : QObject(&widget) { widget.installEventFilter(this); }

    std::function<void()> apply;

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && apply) std::exchange(apply, {})();
        return false;
    }
};

} // namespace

void whenShown(QWidget& widget, std::function<void()> apply)
{
    ApplyOnShow* pending = nullptr;
    for (QObject* child : widget.children())
        if (auto* each = dynamic_cast<ApplyOnShow*>(child)) pending = each;
    if (widget.isVisible() || !widget.window()->isVisible()) {
        if (pending) pending->apply = {};
        apply();
        return;
    }
    if (!pending) pending = new ApplyOnShow(widget);
    pending->apply = std::move(apply);
}

void addNamedClearButton(QLineEdit& field)
{
    field.setClearButtonEnabled(true);
    // The field's only tool button is the one Qt just made for clearing it.
    for (auto* button : field.findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        button->setAccessibleName(QStringLiteral("Clear"));
}

} // namespace Lyricade
