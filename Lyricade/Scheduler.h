#pragma once

// Delayed work on the main thread. The model's save and preview waits go
// through a Scheduler so that tests can drive a manual clock; the product
// uses Qt's single-shot timers.

#include <chrono>
#include <functional>
#include <memory>

namespace Lyricade {

using Milliseconds = std::chrono::milliseconds;

// One pending piece of work. Destroying the handle cancels it; a cancelled
// task never runs.
class PendingTask {
public:
    virtual ~PendingTask() = default;
    virtual void cancel() = 0;
    virtual bool pending() const = 0; // neither run nor cancelled
};

using TaskHandle = std::unique_ptr<PendingTask>;

class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Runs `work` on the main thread once `delay` has passed; a delay of 0 runs
    // it as soon as the main thread is free, never inside this call.
    virtual TaskHandle after(Milliseconds delay, std::function<void()> work) = 0;
};

// Qt single-shot timers on the calling (main) thread.
std::shared_ptr<Scheduler> qtScheduler();

} // namespace Lyricade
