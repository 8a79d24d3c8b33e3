#pragma once

// Delayed work on the main thread, and work off it. The model's save and
// preview waits go through a Scheduler so that tests can drive a manual clock;
// the product uses Qt's single-shot timers. Previews and book PDFs are made by
// a Worker so that the window keeps answering while a big book renders; tests
// run the work in place or hold it at a gate.

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

// Work done one piece at a time, in the order given, away from the main
// thread. Only values cross: a job owns or shares immutably what it reads.
class Worker {
public:
    // What a job hands back to the main thread; empty for nothing.
    using Finish = std::function<void()>;
    using Job = std::function<Finish()>;

    virtual ~Worker() = default;
    // Runs `job` on the worker after the jobs posted before it, then its
    // Finish on the main thread. A job reports its own failures; what one
    // throws all the same is written to standard error.
    virtual void post(Job job) = 0;
    // Runs `work` on the worker after the jobs posted before it and waits for
    // it to end; what it throws is thrown here.
    virtual void wait(std::function<void()> work) = 0;
};

// One thread of a pool of its own; a job's Finish comes back as a queued call
// on the application object. Destroying it waits for the job in hand.
std::shared_ptr<Worker> threadWorker();

} // namespace Lyricade
