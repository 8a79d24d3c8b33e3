// This process's children as the system lists them, zombies included: for
// tests and probes that check what became of the workers they started.

#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace ChildProcesses {

struct Child {
    pid_t pid = 0;
    char state = 0; // as /proc/PID/stat tells it: 'Z' for a zombie
};

inline std::vector<Child> ofThisProcess()
{
    std::vector<Child> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        // The name may hold anything but ends at the last ')'.
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
        Child child;
        pid_t parent = 0;
        if (std::sscanf(line.c_str() + line.rfind(')') + 1, " %c %d", &child.state, &parent) != 2 ||
            parent != getpid())
            continue;
        child.pid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
        found.push_back(child);
    }
    return found;
}

} // namespace ChildProcesses
