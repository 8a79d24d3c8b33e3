#pragma once

// Qt's waits as hang guards: the time a test waits for an event loop to bring
// something about grows as every other time guard does (see HangGuard.h).

#include "tests/HangGuard.h"

#include <QTest>

#include <cmath>
#include <utility>

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

} // namespace HangGuard
