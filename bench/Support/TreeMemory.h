#pragma once

// The memory of this process and its PDF workers while something runs: each
// process's proportional share (Pss), so the document every worker maps
// counts once, sampled every `every` until the work is done.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace BenchSupport {

// The proportional set size of `pid` and every process below it, in bytes.
inline std::int64_t treeBytes(int pid)
{
    std::int64_t total = 0;
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string key; rollup >> key;) {
        std::int64_t kilobytes = 0;
        if (key == "Pss:" && rollup >> kilobytes) total += kilobytes * 1024;
        rollup.ignore(1 << 10, '\n');
    }
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream children(task.path() / "children");
        for (int child; children >> child;) total += treeBytes(child);
    }
    return total;
}

// The most this process's tree held while `work` ran, in bytes.
template <typename Work>
std::int64_t treePeakBytes(Work&& work, std::chrono::milliseconds every = std::chrono::milliseconds(100))
{
    std::atomic<bool> running{true};
    std::atomic<std::int64_t> peak{treeBytes(getpid())};
    std::thread sampler([&] {
        while (running) {
            peak = std::max(peak.load(), treeBytes(getpid()));
            std::this_thread::sleep_for(every);
        }
    });
    try {
        work();
    } catch (...) {
        running = false;
        sampler.join();
        throw;
    }
    running = false;
    sampler.join();
    return peak;
}

} // namespace BenchSupport
