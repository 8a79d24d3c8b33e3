#include "Lyricade/Views/FocusInView.h"

#include "Lyricade/Views/FocusRing.h"

#include <QApplication>
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
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) {
        if (now) scrollIntoView(*now);
    });
}

} // namespace Lyricade
