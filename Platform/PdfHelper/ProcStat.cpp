#include "Platform/PdfHelper/ProcStat.h"

#include "Platform/PdfHelper/PdfWorkerSocket.h"

#include <cstdio>
#include <cstring>

namespace Platform {

std::optional<ProcStat> ProcStat::of(pid_t pid)
{
    char path[48];
    if (pid == 0)
        std::snprintf(path, sizeof path, "/proc/self/stat");
    else
        std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    char text[1024];
    if (!PdfWorkerSocket::readSmallFile(path, text, sizeof text)) return std::nullopt;
    const char* afterName = std::strrchr(text, ')'); // the name may hold anything but ends at the last ')'
    if (!afterName) return std::nullopt;
    ProcStat stat;
    int parent = 0, group = 0, session = 0;
    // After the name: state, parent, group, session, then terminal, its group, flags, four counts of
    // faults, the CPU times, priority, nice, and the count of threads.
    const char* format = " %c %d %d %d %d %*d %*u %*u %*u %*u %*u %lld %lld %lld %lld %*d %*d %ld";
    if (std::sscanf(afterName + 1, format, &stat.state, &parent, &group, &session, &stat.terminal, &stat.userTicks,
                    &stat.systemTicks, &stat.childUserTicks, &stat.childSystemTicks, &stat.threads) != 10)
        return std::nullopt;
    stat.parent = parent;
    stat.group = group;
    stat.session = session;
    return stat;
}

} // namespace Platform
