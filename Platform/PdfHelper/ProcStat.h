#pragma once

// A process's line in /proc/PID/stat, read without allocating (the worker
// reads its own between requests): the one place that line is parsed.

#include <sys/types.h>

#include <optional>

namespace Platform {

struct ProcStat {
    char state = 0; // R running, S sleeping, D waiting for the disk, Z unreaped…
    pid_t parent = 0, group = 0, session = 0;
    int terminal = 0; // its controlling terminal's device number, 0 for none
    long long userTicks = 0, systemTicks = 0;           // its own CPU time, in clock ticks
    long long childUserTicks = 0, childSystemTicks = 0; // its reaped children's
    long threads = 0;

    // Of process `pid`, or of this process when 0; none when it can't be read.
    static std::optional<ProcStat> of(pid_t pid);
};

} // namespace Platform
