#include "Lyricade/Views/ScreenFit.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace Lyricade {

namespace {

const QScreen* screenOf(const QWidget& window, const QWidget* over)
{
    return over && over->screen() ? over->screen() : window.screen();
}

// The window's frame, or a fair guess of it before the window manager frames it.
QSize borderOf(const QWidget& window)
{
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    if (window.isVisible() && !frame.isEmpty()) return frame;
    return frame.expandedTo(QSize(8, window.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4));
}

} // namespace

QSize roomOnScreen(const QWidget& window, const QWidget* over)
{
    const QScreen* screen = screenOf(window, over);
    if (!screen) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return (screen->availableGeometry().size() - borderOf(window)).expandedTo(QSize(1, 1));
}

void fitOnScreen(QWidget& window, const QWidget* over)
{
    const QScreen* screen = screenOf(window, over);
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    const QSize border = borderOf(window);
    const QSize room = roomOnScreen(window, over);
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
