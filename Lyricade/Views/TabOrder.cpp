#include "Lyricade/Views/TabOrder.h"

#include <QWidget>

namespace Lyricade {

QList<QWidget*> tabStopsIn(QWidget* region)
{
    QList<QWidget*> stops;
    for (QWidget* at = region->nextInFocusChain(); at && at != region; at = at->nextInFocusChain())
        if ((at->focusPolicy() & Qt::TabFocus) && !at->focusProxy() && region->isAncestorOf(at)) stops << at;
    return stops;
}

void orderTabs(const QList<QWidget*>& regions)
{
    QList<QWidget*> stops;
    for (QWidget* region : regions) stops += tabStopsIn(region);
    for (qsizetype i = 1; i < stops.size(); ++i) QWidget::setTabOrder(stops[i - 1], stops[i]);
}

} // namespace Lyricade
