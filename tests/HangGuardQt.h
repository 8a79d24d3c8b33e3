#pragma once

// Qt's waits as hang guards: the time a test waits for an event loop to bring
// something about grows as every other time guard does (see HangGuard.h).

#include "tests/HangGuard.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <utility>
#include <vector>

namespace HangGuard {

// `milliseconds` grown by the build's slowdown and FOLMIRA_TEST_TIME_SCALE.
inline int scaled(int milliseconds)
{
    return static_cast<int>(std::ceil(milliseconds * scale()));
}

// QTest::qWaitFor with its timeout (Qt's own default of five seconds) scaled.
template <class Predicate> bool waitFor(Predicate&& done, int milliseconds = 5000)
{
    return QTest::qWaitFor(std::forward<Predicate>(done), scaled(milliseconds));
}

// QTest::qWaitForWindowActive and qWaitForWindowExposed (a QWidget or a
// QWindow) with Qt's five seconds scaled.
template <class Window> bool windowActive(Window* window, int milliseconds = 5000)
{
    return QTest::qWaitForWindowActive(window, scaled(milliseconds));
}
template <class Window> bool windowExposed(Window* window, int milliseconds = 5000)
{
    return QTest::qWaitForWindowExposed(window, scaled(milliseconds));
}

// Waits until a turn of the event loop moves or resizes nothing in `window`:
// layouts and item views lay out on posted events and zero timers after a
// resize, and a row grown by one pass asks for another.
inline bool settled(QWidget* window, int milliseconds = 5000)
{
    const auto places = [window] {
        std::vector<QRect> all{window->geometry()};
        for (const QWidget* each : window->findChildren<QWidget*>()) all.push_back(each->geometry());
        return all;
    };
    auto before = places();
    return waitFor(
        [&] {
            QApplication::processEvents();
            auto now = places();
            const bool still = now == before;
            before = std::move(now);
            return still;
        },
        milliseconds);
}

} // namespace HangGuard
