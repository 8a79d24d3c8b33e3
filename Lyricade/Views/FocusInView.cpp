#include "Lyricade/Views/FocusInView.h"

#include "Lyricade/Views/FocusRing.h"

#include <QApplication>
#include <QFocusEvent>
#include <QScrollArea>
#include <QScrollBar>

namespace Lyricade {

namespace {

// Room kept beyond the control's edge, so its neighbourhood shows too.
constexpr int margin = FocusRing::width + 4;

// The scroll bar's new value that brings [start, end) into a view `span`
// long showing from `value`: the start first when both cannot show.
int reach(int value, int span, int start, int end)
{
    if (start < value || end - start > span) return start;
    if (end > value + span) return end - span;
    return value;
}

void scrollTo(QScrollArea& area, const QWidget& control)
{
    QWidget* content = area.widget();
    if (!content || !content->isAncestorOf(&control)) return;
    const QRect box =
        QRect(control.mapTo(content, QPoint(0, 0)), control.size()).adjusted(-margin, -margin, margin, margin);
    const QSize view = area.viewport()->size();
    QScrollBar* across = area.horizontalScrollBar();
    QScrollBar* down = area.verticalScrollBar();
    across->setValue(reach(across->value(), view.width(), box.left(), box.right() + 1));
    down->setValue(reach(down->value(), view.height(), box.top(), box.bottom() + 1));
}

// The focus the keyboard or the application moves. Not a mouse press's: the
// control is in view where the press landed, and scrolling before the
// release would move it out from under the pointer. Nor the window's
// activation (often by a click too), a popup's or a menu's closing, which
// give the focus back where the reader left it.
bool movedFocus(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason ||
           reason == Qt::OtherFocusReason;
}

class FocusScroller : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn && movedFocus(static_cast<QFocusEvent*>(event)->reason()))
            if (auto* control = qobject_cast<QWidget*>(watched)) scrollIntoView(*control);
        return false;
    }
};

} // namespace

void scrollIntoView(QWidget& control)
{
    // Inner areas first: an outer one then shows the control where the inner one put it.
    for (QWidget* holder = control.parentWidget(); holder; holder = holder->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(holder)) scrollTo(*area, control);
}

void keepFocusInView()
{
    static bool installed = false;
    if (installed || !qApp) return;
    installed = true;
    qApp->installEventFilter(new FocusScroller(qApp));
}

} // namespace Lyricade
