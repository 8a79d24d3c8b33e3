#include "Lyricade/Views/ScreenFit.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace Lyricade {

void fitOnScreen(QWidget& window, const QWidget* over)
{
    const QScreen* screen = over && over->screen() ? over->screen() : window.screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // Before the window manager frames it, a title bar and thin borders are a fair guess.
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    QSize border = frame;
    if (!window.isVisible() || frame.isEmpty())
        border = frame.expandedTo(QSize(8, window.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4));
    const QSize room = (area.size() - border).expandedTo(QSize(1, 1));
    window.setMinimumSize(window.minimumSize().boundedTo(room));
    window.resize(window.size().boundedTo(room));

    QRect placed(QPoint(0, 0), window.size() + frame);
    if (over) placed.moveCenter(over->window()->frameGeometry().center());
    else placed.moveTopLeft(window.frameGeometry().topLeft());
    // Clamped as framed: a frame still to come must not push it off the screen.
    placed.setSize(window.size() + border);
    placed.moveLeft(std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() + 1 - placed.width())));
    placed.moveTop(std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() + 1 - placed.height())));
    window.move(placed.topLeft());
}

} // namespace Lyricade
