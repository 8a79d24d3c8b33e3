#pragma once

// Watches a worker while its request waits. A worker of this build is then
// either opening the document itself, under its opening's CPU time, or
// waiting for the child that answers, which computes: so a worker whose own
// CPU time goes past its opening's spins outside every limit (no worker of
// this build can: its opening's timer would have ended it), and a worker
// whose processes neither ran nor could run for a while is asleep. Either
// way no answer will come, and waiting out the wall-clock bound, which is
// meant for a page slowed by a busy machine, would only add to the wait. A
// busy worker is given its whole bound.

#include <sys/types.h>

#include <chrono>

namespace Platform {

class PdfWorkerWatch {
public:
    enum class Verdict { working, asleep, spinning };

    // `ownCpuSeconds`: what the worker itself may spend on the request.
    PdfWorkerWatch(pid_t pid, double ownCpuSeconds);

    // Looks a moment after the request was sent, and every moment after:
    // the system is not asked about the many requests answered at once.
    Verdict look();

private:
    // Forking a child, or a copy, of a worker that holds a long document open takes it a moment.
    static constexpr double ownSlackSeconds = 0.5;
    static constexpr auto lookEvery = std::chrono::milliseconds(100);
    static constexpr auto stillFor = std::chrono::seconds(1);

    pid_t pid_;
    long long ownTicks_;       // the most the worker's own CPU time may reach
    long long totalTicks_ = 0; // its processes' CPU time when last looked at
    bool baseline_ = false;    // looked at once
    std::chrono::steady_clock::time_point looked_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point active_ = looked_;
};

} // namespace Platform
