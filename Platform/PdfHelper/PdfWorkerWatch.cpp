// What a worker and its processes spend, read from /proc as the worker runs.

#include "Platform/PdfHelper/PdfWorkerWatch.h"

#include "Platform/PdfHelper/ProcStat.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace Platform {

namespace {

// What a worker and its children do while a request waits, as the system tells.
struct Activity {
    bool known = false;       // its children could be listed
    bool runnable = false;    // one of them runs, or waits to, or waits for the disk
    long long ownTicks = 0;   // CPU time of the worker itself, in clock ticks
    long long totalTicks = 0; // with its children's, living and reaped
};

// From /proc/PID/stat: the state, then the worker's own and its reaped children's CPU time.
bool readStat(pid_t pid, char& state, long long& own, long long& reaped)
{
    const std::optional<ProcStat> stat = ProcStat::of(pid);
    if (!stat) return false;
    state = stat->state;
    own = stat->userTicks + stat->systemTicks;
    reaped = stat->childUserTicks + stat->childSystemTicks;
    return true;
}

Activity activityOf(pid_t pid)
{
    Activity activity;
    char state = 0;
    long long reaped = 0;
    if (!readStat(pid, state, activity.ownTicks, reaped)) return activity;
    activity.totalTicks = activity.ownTicks + reaped;
    auto busy = [](char s) { return s == 'R' || s == 'D'; };
    activity.runnable = busy(state);
    // A worker forks the child answering its requests from its main thread.
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    if (!children.is_open()) return activity;
    activity.known = true;
    for (pid_t child; children >> child;) {
        long long childOwn = 0, childReaped = 0;
        if (!readStat(child, state, childOwn, childReaped)) continue;
        activity.totalTicks += childOwn;
        activity.runnable = activity.runnable || busy(state);
    }
    return activity;
}

double ticksPerSecond() { return static_cast<double>(sysconf(_SC_CLK_TCK)); }

} // namespace

PdfWorkerWatch::PdfWorkerWatch(pid_t pid, double ownCpuSeconds)
    : pid_(pid), ownTicks_(static_cast<long long>((ownCpuSeconds + ownSlackSeconds) * ticksPerSecond()) + 1)
{
}

PdfWorkerWatch::Verdict PdfWorkerWatch::look()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - looked_ < lookEvery) return Verdict::working;
    looked_ = now;
    const Activity activity = activityOf(pid_);
    if (!baseline_) {
        // What the worker spent before this look is not counted: a spin is told a moment late, never wrongly.
        baseline_ = true;
        ownTicks_ += activity.ownTicks;
        totalTicks_ = activity.totalTicks;
        active_ = now;
        return Verdict::working;
    }
    if (activity.ownTicks > ownTicks_) return Verdict::spinning;
    if (!activity.known || activity.runnable || activity.totalTicks != totalTicks_) {
        totalTicks_ = activity.totalTicks;
        active_ = now;
        return Verdict::working;
    }
    return now - active_ >= stillFor ? Verdict::asleep : Verdict::working;
}

} // namespace Platform
