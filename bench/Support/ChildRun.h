#pragma once

// Runs this benchmark again as a child process on one case, so that each
// case's peak memory is its own: what the child printed, and its peak
// resident size as the kernel counted it.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace BenchSupport {

struct ChildRun {
    std::string output;       // empty when the child could not start
    double peakMegabytes = 0;
};

inline ChildRun runChild(const char* self, std::vector<std::string> arguments)
{
    ChildRun run;
    const std::string out = "/tmp/bench-child-" + std::to_string(getpid()) + ".txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = self;
    std::vector<char*> argv{program.data()};
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024;
    std::ifstream in(out);
    std::ostringstream text;
    text << in.rdbuf();
    run.output = text.str();
    std::remove(out.c_str());
    return run;
}

} // namespace BenchSupport
