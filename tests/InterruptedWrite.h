#pragma once

// Leaves behind what a write killed half-way leaves: a child process starts
// writing to `target` through the checked writer and is ended part way by
// SIGXFSZ, its file size limit lowered under the bytes it writes. True when
// the child died that way.

#include "Platform/FileWrite.h"

#include <csignal>
#include <filesystem>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

inline bool interruptedWrite(const std::filesystem::path& target)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        rlimit size{};
        ::getrlimit(RLIMIT_FSIZE, &size);
        size.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &size);
        std::signal(SIGXFSZ, SIG_DFL);
        try {
            Platform::writeFileAtomically(target, std::vector<std::uint8_t>(65536, 'x'));
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return false;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
}
