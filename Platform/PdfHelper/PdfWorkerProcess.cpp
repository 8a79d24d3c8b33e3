#include "Platform/PdfHelper/PdfWorkerProcess.h"

#include "Platform/PdfHelper/PdfWorker.h"
#include "Platform/PdfHelper/PdfWorkerSocket.h"
#include "Platform/PdfHelper/ProcStat.h"
#include "Platform/PdfHelper/WorkerConfine.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace Platform::PdfWorkerProcess {

namespace {

// Descriptors below this could be one of the numbers a worker is given.
constexpr int lowestKept = 10;

int movedHigh(int fd)
{
    if (fd < 0 || fd >= lowestKept) return fd;
    int high = fcntl(fd, F_DUPFD_CLOEXEC, lowestKept);
    close(fd);
    return high;
}

bool executable(const std::string& path)
{
    return !path.empty() && access(path.c_str(), X_OK) == 0;
}

// Whether the app quits: no worker is started from then on. A worker whose
// start overlapped the quit's sweep ends itself here (see spawnHere).
std::atomic<bool> quitting{false};

std::optional<Process> startHere();

TestHooks& testHooks()
{
    static auto* hooks = new TestHooks;
    return *hooks;
}

std::optional<Process> spawnHere()
{
    if (quitting) return std::nullopt;
    if (testHooks().beforeStart) testHooks().beforeStart();
    auto process = startHere();
    if (process && quitting) {
        ::kill(-process->pid, SIGKILL);
        close(process->socket);
        while (waitpid(process->pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return std::nullopt;
    }
    return process;
}

} // namespace

std::vector<std::string> workerEnvironment(char** from, pid_t parent)
{
    std::vector<std::string> settings;
    std::string tunables = "GLIBC_TUNABLES=" + std::string(workerTunables);
    for (char** e = from; e && *e; ++e) {
        const std::string_view setting(*e);
        if (setting.starts_with("FOLMIRA_PDF_WORKER_PARENT=")) continue;
        // The user's own tunables come after the worker's: where both set one, the user's holds.
        if (setting.starts_with("GLIBC_TUNABLES=")) tunables += ":" + std::string(setting.substr(15));
        else settings.emplace_back(setting);
    }
    if (tunables.back() == ':') tunables.pop_back(); // an empty GLIBC_TUNABLES of the user's
    settings.push_back(std::move(tunables));
    // The worker ends if this process is gone before it sets its parent-death signal.
    settings.push_back("FOLMIRA_PDF_WORKER_PARENT=" + std::to_string(parent));
    return settings;
}

namespace {

std::optional<Process> startHere()
{
    const std::string program = PdfWorker::location().string();
    if (!executable(program)) return std::nullopt;
    // The workers' own stderr is /dev/null: what of their confinement this kernel lacks is said here, once.
    static const bool said = [] {
        if (const std::string lacks = WorkerConfine::missingLayers(); !lacks.empty())
            std::fprintf(stderr, "Folmira: %s\n", lacks.c_str());
        return true;
    }();
    (void)said;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return std::nullopt;
    int theirs = movedHigh(pair[1]);
    int ours = movedHigh(pair[0]);
    if (theirs < 0 || ours < 0) {
        if (theirs >= 0) close(theirs);
        if (ours >= 0) close(ours);
        return std::nullopt;
    }

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    // No standard stream of the app's: a terminal the app was started from
    // would let a worker type into the user's shell. (It gives up the
    // terminal as its controlling one too, before it is confined.)
    for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        posix_spawn_file_actions_addopen(&files, stream, "/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY,
                                         0);
    posix_spawn_file_actions_adddup2(&files, theirs, 3);
    // Whatever this process holds open without close-on-exec stays here.
    posix_spawn_file_actions_addclosefrom_np(&files, 4);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The app may ignore SIGPIPE or block signals; the worker must die of its limits.
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGPROF, SIGXCPU, SIGSEGV, SIGTERM, SIGABRT}) sigaddset(&defaults, signal);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    // A group of its own: the worker and the child answering its request end together.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    std::vector<std::string> settings = workerEnvironment(environ, getpid());
    std::vector<char*> environment;
    for (std::string& setting : settings) environment.push_back(setting.data());
    environment.push_back(nullptr);

    std::string name = program;
    char* argv[] = {name.data(), nullptr};
    pid_t pid = 0;
    int failed = posix_spawn(&pid, program.c_str(), &files, &attributes, argv, environment.data());
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    close(theirs);
    if (failed != 0) {
        close(ours);
        return std::nullopt;
    }
    return Process{pid, ours, program};
}

// The thread workers are started from. It lives as long as the process, so
// that no worker sees its starter end (a reaper thread, a reading thread).
class Starter {
public:
    std::optional<Process> spawn()
    {
        // A forked child: no starter thread here, and its lock may have been taken when the child was made.
        if (getpid() != owner_) return spawnHere();
        std::unique_lock lock(mutex_);
        if (!running_) {
            try {
                std::thread([this] { run(); }).detach();
                running_ = true;
            } catch (const std::system_error&) {
                return std::nullopt;
            }
        }
        auto job = std::make_shared<Job>();
        jobs_.push_back(job);
        wake_.notify_all();
        done_.wait(lock, [&] { return job->done; });
        return job->process;
    }

private:
    struct Job {
        bool done = false;
        std::optional<Process> process;
    };

    void run()
    {
        std::unique_lock lock(mutex_);
        while (true) {
            wake_.wait(lock, [&] { return !jobs_.empty(); });
            auto job = jobs_.front();
            jobs_.pop_front();
            lock.unlock();
            auto process = spawnHere();
            lock.lock();
            job->process = process;
            job->done = true;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<std::shared_ptr<Job>> jobs_;
    bool running_ = false;
    pid_t owner_ = getpid();
};

Starter& starter()
{
    static Starter* one = new Starter; // never destroyed: its thread may outlive main
    return *one;
}

// Idle workers of this process. A child made by fork() shares the parent's
// sockets to them, so it never touches them: only their owner uses them.
// The set lives as long as the process (reaper threads may still fill it
// while the process exits); an idle worker ends by itself when the process
// is gone and its socket closes.
class IdleWorkers {
public:
    // A document needs one started worker (its pool's first; the others are
    // copies of it), two documents at once two.
    static constexpr std::size_t kept = 2;

    std::optional<Process> take()
    {
        std::lock_guard lock(mutex_);
        if (getpid() != owner_) return std::nullopt;
        const std::string program = PdfWorker::location().string();
        while (!idle_.empty()) {
            Process p = idle_.back();
            idle_.pop_back();
            if (p.program == program) return p;
            PdfWorkerProcess::kill(p); // started before another program was named
        }
        return std::nullopt;
    }

    void replenish()
    {
        std::lock_guard lock(mutex_);
        if (getpid() != owner_ || idle_.size() >= kept) return;
        if (auto p = PdfWorkerProcess::spawn()) idle_.push_back(*p);
    }

private:
    std::mutex mutex_;
    pid_t owner_ = getpid();
    std::vector<Process> idle_;
};

IdleWorkers& idleWorkers()
{
    static IdleWorkers* workers = new IdleWorkers;
    return *workers;
}

struct Budget {
    std::mutex mutex;
    std::condition_variable changed;
    std::int64_t held = 0;
    int aloneWaiting = 0;
    int waiting = 0;
};

Budget& budget()
{
    static Budget* one = new Budget;
    return *one;
}

} // namespace

std::optional<Process> spawn() { return starter().spawn(); }

void killGroup(pid_t pid)
{
    if (pid <= 0) return;
    if (::kill(-pid, SIGKILL) != 0) ::kill(pid, SIGKILL);
}

std::optional<Process> takeIdle() { return idleWorkers().take(); }

namespace {

// The children of this process that lead a process group of their own in its
// session: its workers and their copies (no worker can leave its group nor
// make another, and the client ends a worker's group before it reaps the
// worker). A child not yet reaped keeps its number, and its group's, from
// being given to another process.
std::vector<pid_t> groupsOfChildren(bool& anyRunning)
{
    std::vector<pid_t> leaders;
    anyRunning = false;
    const pid_t self = getpid(), ownGroup = getpgrp(), session = getsid(0);
    DIR* proc = opendir("/proc");
    if (!proc) return leaders;
    while (const dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
        const std::optional<ProcStat> stat = pid > 0 ? ProcStat::of(pid) : std::nullopt;
        if (!stat || stat->parent != self || stat->group != pid || stat->group == ownGroup || stat->session != session)
            continue;
        leaders.push_back(pid);
        anyRunning = anyRunning || stat->state != 'Z';
    }
    closedir(proc);
    return leaders;
}

} // namespace

void endAll()
{
    quitting = true;
    // A copy a worker made a moment ago may have been given its group after
    // the list was read: the groups are listed again until none runs.
    for (int round = 0; round < 10; ++round) {
        bool anyRunning = false;
        for (pid_t leader : groupsOfChildren(anyRunning)) ::kill(-leader, SIGKILL);
        if (testHooks().afterSweepRound) testHooks().afterSweepRound(round);
        if (!anyRunning) return;
    }
}

void replenishIdle() { idleWorkers().replenish(); }

void setTestHooks(TestHooks hooks) { testHooks() = std::move(hooks); }

void kill(Process& process)
{
    if (process.socket >= 0) close(process.socket);
    if (process.pid > 0) {
        killGroup(process.pid);
        while (waitpid(process.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    process = {};
}

namespace MemoryBudget {

bool take(std::int64_t bytes, bool alone, const CancelFlag* cancel)
{
    Budget& b = budget();
    std::unique_lock lock(b.mutex);
    if (alone) ++b.aloneWaiting;
    // A request tried alone goes first: the shares wait for it.
    auto free = [&] { return alone ? b.held == 0 : b.aloneWaiting == 0 && b.held + bytes <= wholeBytes; };
    ++b.waiting;
    while (!free()) {
        if (cancel && cancel->cancelled()) {
            if (alone) --b.aloneWaiting;
            --b.waiting;
            b.changed.notify_all();
            return false;
        }
        b.changed.wait_for(lock, std::chrono::milliseconds(10));
    }
    --b.waiting;
    if (alone) --b.aloneWaiting;
    b.held += bytes;
    return true;
}

void give(std::int64_t bytes)
{
    Budget& b = budget();
    std::lock_guard lock(b.mutex);
    b.held -= bytes;
    b.changed.notify_all();
}

std::int64_t held()
{
    Budget& b = budget();
    std::lock_guard lock(b.mutex);
    return b.held;
}

namespace {

std::atomic<std::int64_t> openedHeld{0};

// What an ordinary document keeps open (a few megabytes) is within what a
// worker's share leaves unused; only a long document's counts.
std::int64_t counted(std::int64_t opened)
{
    constexpr std::int64_t unnoticed = std::int64_t{32} << 20;
    return std::max<std::int64_t>(0, opened - unnoticed);
}

} // namespace

int waiting()
{
    Budget& b = budget();
    std::lock_guard lock(b.mutex);
    return b.waiting;
}

void holdOpened(std::int64_t bytes) { openedHeld += counted(bytes); }

void releaseOpened(std::int64_t bytes) { openedHeld -= counted(bytes); }

int workersFitting(int wanted, std::int64_t ownOpened)
{
    const std::int64_t room = wholeBytes - std::max<std::int64_t>(0, openedHeld.load() - counted(ownOpened));
    return static_cast<int>(std::clamp<std::int64_t>(room / shareBytes, 1, std::max(1, wanted)));
}

} // namespace MemoryBudget

} // namespace Platform::PdfWorkerProcess
