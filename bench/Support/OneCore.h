#pragma once

// Pins this process, every thread it has, and every process below it to one
// CPU while it lives: threads and helper processes started meanwhile inherit
// the pin from the thread that starts them, so a reader and its PDF workers
// share that one core, as on a slow machine. Programs run beside them to be
// compared (pdftotext) are started from the pinned process and share it too.

#include <sched.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace BenchSupport {

class OneCore {
public:
    explicit OneCore(int cpu = 0)
    {
        CPU_ZERO(&one_);
        CPU_SET(cpu, &one_);
        pinTree(getpid(), true);
    }
    ~OneCore()
    {
        for (auto& [tid, mask] : saved_) sched_setaffinity(tid, sizeof mask, &mask);
    }
    OneCore(const OneCore&) = delete;
    OneCore& operator=(const OneCore&) = delete;

private:
    // The threads of `pid` and, below them, their child processes.
    void pinTree(int pid, bool own)
    {
        std::error_code error;
        for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
            const int tid = std::stoi(task.path().filename().string());
            cpu_set_t before;
            if (own && sched_getaffinity(tid, sizeof before, &before) == 0) saved_.emplace_back(tid, before);
            sched_setaffinity(tid, sizeof one_, &one_);
            std::ifstream children(task.path() / "children");
            for (int child; children >> child;) pinTree(child, false);
        }
    }

    cpu_set_t one_;
    std::vector<std::pair<int, cpu_set_t>> saved_; // this process's own threads, to be set free again
};

} // namespace BenchSupport
