#include "FolmiraApp/Views/FocusKeeper.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWindow>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

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

// A stand-in's focus is told when it lasts longer than a sample's copy takes
// to come, yet short of a wait a user would sit through in silence.
constexpr int standInWait = 800;
constexpr const char* standInProperty = "folmiraFocusStandIn";

// The focus moves held until the focus settles, oldest first.
struct Settling {
    std::vector<QAccessible::Id> moves;
    QPointer<QTimer> timer;
    // The object last told of, as it read then, and its widget, while the
    // same window has the keyboard and the focus stays on that widget.
    QAccessible::Id told = 0;
    QString toldAs;
    QPointer<QWidget> toldIn;
};

Settling& settling()
{
    static Settling record;
    return record;
}

void tellDesktop(QAccessibleEvent* event)
{
    // Qt hands an event to the desktop's bridge only while no handler is
    // installed. (A table's change, passed on, reaches its table again: the
    // table reads its cells' rows anew from their indexes, to the same end.)
    const QAccessible::UpdateHandler self = QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(self);
}

// The widget an object is part of: a row's view, a menu item's menu.
QWidget* widgetOf(QAccessibleInterface* reads)
{
    for (int depth = 0; reads && depth < 8; ++depth, reads = reads->parent())
        if (QObject* object = reads->object(); object && object->isWidgetType()) return static_cast<QWidget*>(object);
    return nullptr;
}

bool landedOn(QAccessibleInterface* reads)
{
    if (!reads || !reads->isValid()) return false;
    const QWidget* widget = widgetOf(reads);
    if (!widget) return true;
    // The focus of its window, which it keeps while another window is
    // active, or a part of it (a row standing on a list); a popup (a menu, a
    // combo box's list) tells of its own current item while the focus stays
    // in the window below.
    const QWidget* window = widget->window();
    const QWidget* focus = window->focusWidget();
    return widget->isVisible() &&
           ((focus && (focus == widget || focus->isAncestorOf(widget))) || window->windowType() == Qt::Popup);
}

// What a focus move on `reads` tells: a list, table or tree that holds the
// focus on a current row tells of that row, the one its keys act on; Qt
// tells of the view alone as the focus comes to it ("Songs"), and a reader
// then says nothing of the row.
QAccessibleInterface* toldOf(QAccessibleInterface* reads)
{
    auto* view = qobject_cast<QAbstractItemView*>(reads->object());
    if (!view || !view->hasFocus() || !view->currentIndex().isValid()) return reads;
    QAccessibleInterface* row = reads->focusChild();
    return row && row != reads && row->isValid() ? row : reads;
}

void tellSettled()
{
    std::vector<QAccessible::Id> moves;
    moves.swap(settling().moves);
    for (auto move = moves.rbegin(); move != moves.rend(); ++move) {
        QAccessibleInterface* reads = QAccessible::accessibleInterface(*move);
        if (!landedOn(reads)) continue;
        QAccessibleInterface* target = toldOf(reads);
        // The same object reading the same again, its window never having
        // lost the keyboard (a window manager's activation seating the
        // focus twice): a screen reader would say it twice.
        const QAccessible::Id id = QAccessible::uniqueId(target);
        const QString as = target->text(QAccessible::Name);
        if (id == settling().told && as == settling().toldAs) return;
        settling().told = id;
        settling().toldAs = as;
        settling().toldIn = widgetOf(reads);
        QAccessibleEvent event(target, QAccessible::Focus);
        tellDesktop(&event);
        return;
    }
}

// Changes to what an object says or holds (a table's rows among them); of
// a hidden one nobody can hear. A table has read its change before this.
bool describes(QAccessible::Event type)
{
    switch (type) {
    case QAccessible::NameChanged:
    case QAccessible::DescriptionChanged:
    case QAccessible::StateChanged:
    case QAccessible::ValueChanged:
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
    case QAccessible::TextCaretMoved:
    case QAccessible::TextSelectionChanged:
    case QAccessible::Selection:
    case QAccessible::SelectionAdd:
    case QAccessible::SelectionRemove:
    case QAccessible::SelectionWithin:
    case QAccessible::TableModelChanged:
        return true;
    default:
        return false;
    }
}

// The widgets shown while the current event is handled, told once it is.
std::vector<QPointer<QWidget>>& shownLately()
{
    static std::vector<QPointer<QWidget>> widgets;
    return widgets;
}

void tellShown()
{
    std::vector<QPointer<QWidget>> shown;
    shown.swap(shownLately());
    const auto partOfShown = [&](const QWidget* widget) {
        for (const QWidget* up = widget; !up->isWindow() && (up = up->parentWidget());)
            if (std::find(shown.begin(), shown.end(), up) != shown.end()) return true;
        return false;
    };
    for (const QPointer<QWidget>& widget : shown) {
        // A window was told as it showed: the desktop reads it anew.
        if (!widget || widget->isWindow() || !widget->isVisible() || partOfShown(widget)) continue;
        QAccessibleEvent event(widget, QAccessible::ObjectShow);
        tellDesktop(&event);
    }
}

// Qt tells of every child of a container shown or hidden, children first
// when shown; a screen reader needs only the container. Returns whether the
// event is told (or is to be) as it stands.
bool showingTold(QAccessibleEvent* event)
{
    QObject* object = event->object();
    if (!object || !object->isWidgetType()) return true;
    auto* widget = static_cast<QWidget*>(object);
    auto& shown = shownLately();
    if (event->type() == QAccessible::ObjectShow) {
        if (shown.empty()) QTimer::singleShot(0, qApp, tellShown);
        if (std::find(shown.begin(), shown.end(), widget) == shown.end()) shown.emplace_back(widget);
        return widget->isWindow();
    }
    if (widget->isWindow()) return true;
    // Hidden as its container hides, or before its showing was told.
    if (const auto lately = std::find(shown.begin(), shown.end(), widget); lately != shown.end()) {
        shown.erase(lately);
        return false;
    }
    const QWidget* parent = widget->parentWidget();
    return !parent || parent->isVisible();
}

void settleFirst(QAccessibleEvent* event)
{
    const QAccessible::Event type = event->type();
    if (type == QAccessible::ObjectShow || type == QAccessible::ObjectHide) {
        if (showingTold(event)) tellDesktop(event);
        return;
    }
    if (describes(type)) {
        const QWidget* widget = widgetOf(event->accessibleInterface());
        if (widget && !widget->isVisible()) return;
    }
    QAccessibleInterface* reads = type == QAccessible::Focus ? event->accessibleInterface() : nullptr;
    if (!reads) return tellDesktop(event);
    Settling& record = settling();
    if (!record.timer) {
        record.timer = new QTimer(qApp);
        record.timer->setSingleShot(true);
        QObject::connect(record.timer, &QTimer::timeout, tellSettled);
    }
    record.moves.push_back(QAccessible::uniqueId(reads));
    const QWidget* widget = widgetOf(reads);
    record.timer->start(widget && widget->property(standInProperty).toBool() ? standInWait : 0);
}

} // namespace

void tellFocusOnceSettled()
{
    QAccessible::installUpdateHandler(settleFirst);
    static bool watching = false;
    if (std::exchange(watching, true)) return;
    // Another window with the keyboard, or none, or the focus on another
    // widget: coming back, the focus is told again. The keyboard coming to
    // the window of what was just told (Qt seats a window's focus as a panel
    // over it closes, before the desktop hands it the keyboard) is no return.
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, qApp, [](QWindow* now) {
        const QWidget* in = settling().toldIn;
        if (!now || !in || in->window()->windowHandle() != now) settling().told = 0;
    });
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) {
        if (now != settling().toldIn) settling().told = 0;
    });
}

void tellFocusAfterAMoment(QWidget* standIn)
{
    standIn->setProperty(standInProperty, true);
}

void keepFocusWhileOff(QWidget* control)
{
    if (control) new FocusKeeper(control);
}

} // namespace FolmiraApp
