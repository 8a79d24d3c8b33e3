#pragma once

// For start-up samples: once a window has finished its first paint, the
// milliseconds since `start` (taken first thing in main) go to standard output
// as one line and the process ends at once, so the sample stops at the first
// frame and not at the teardown.

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace StartupSample {

class FirstPaint final : public QObject {
public:
    using Clock = std::chrono::steady_clock;

    FirstPaint(QWidget* window, Clock::time_point start) : window_(window), start_(start)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || reported_ || !watched->isWidgetType()) return false;
        if (static_cast<QWidget*>(watched)->window() != window_) return false;
        reported_ = true;
        // The window's children paint in the same pass; the queued call runs
        // once that pass (and its flush) is over.
        QTimer::singleShot(0, [start = start_] {
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            char line[32];
            const int length = std::snprintf(line, sizeof line, "%.3f\n", ms);
            (void)!::write(STDOUT_FILENO, line, static_cast<std::size_t>(length));
            std::_Exit(0);
        });
        return false;
    }

private:
    QWidget* window_;
    Clock::time_point start_;
    bool reported_ = false;
};

} // namespace StartupSample
