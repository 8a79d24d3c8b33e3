#pragma once

// The client's process-wide parts of its PDF workers: starting a worker
// process, the idle started workers waiting for a document, and the one
// memory budget that every worker of this process takes its requests' shares
// from. Internal to PdfWorker.

#include "Platform/Cancel.h"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Platform::PdfWorkerProcess {

struct Process {
    pid_t pid = 0;
    int socket = -1;
    std::string program; // the worker program it runs
};

// The malloc settings a worker starts with. It frees each page's text, tens
// of thousands of small objects of a few sizes, before it reads the next:
// glibc's per-thread cache keeps 7 freed blocks of a size, and the rest go
// through its bins, merged and split again page after page (a tenth of a
// page's instructions). A cache of a few thousand hands them straight back.
// It holds only blocks the worker took already: a request's address space
// is capped from what the worker maps, as before.
inline constexpr const char* workerTunables = "glibc.malloc.tcache_count=4096";

// The environment a worker starts with: `from` (this process's) with
// workerTunables before the user's own GLIBC_TUNABLES, and the pid of its
// `parent`, whose end it checks for at start.
std::vector<std::string> workerEnvironment(char** from, pid_t parent);

// A worker with no document yet, started with only its socket (as fd 3) and
// /dev/null as its standard streams; none when it can't be started. Workers are started
// from one thread that lives as long as the process, since a worker ends
// when the thread that started it does (its parent-death signal).
std::optional<Process> spawn();

// An idle worker of the program that PdfWorker::location() names now, when
// one waits; and another started in the place of one taken or ended.
std::optional<Process> takeIdle();
void replenishIdle();

// Kills the worker `pid` and the child answering its request (its process group).
void killGroup(pid_t pid);
// For the app's quit: kills every worker of this process and their copies,
// each with its process group (whatever its own parent-death signal), and
// starts no worker from now on.
void endAll();
// Kills the worker and reaps it now.
void kill(Process& process);

// A test's hooks into the quit's race: called just before a worker is
// started (past the check that no quit has begun), and after each round of
// the quit's sweep (its number, from 0). None by default.
struct TestHooks {
    std::function<void()> beforeStart;
    std::function<void(int round)> afterSweepRound;
};
void setTestHooks(TestHooks hooks);

// The address space that the requests of all workers of this process may
// take at once, beyond what each worker maps: an ordinary request takes a
// share (a quarter), one tried alone takes the whole, waiting until no other
// holds any. The shares and the whole are capped by the request's own limit.
namespace MemoryBudget {
inline constexpr std::int64_t wholeBytes = std::int64_t{448} << 20;
inline constexpr std::int64_t shareBytes = wholeBytes / 4;
// Takes `bytes` (alone: the whole budget free first), waiting as long as it
// takes; false when `cancel` was set meanwhile.
bool take(std::int64_t bytes, bool alone, const CancelFlag* cancel);
void give(std::int64_t bytes);
// What the requests of this process hold now, and how many wait to take theirs.
std::int64_t held();
int waiting();

// What opened documents keep in the workers of this process between their
// requests, each once however many copies of its worker share it. Never
// waited on (a worker keeping its document open would then wait for itself):
// it only says how many workers a document's pool runs.
void holdOpened(std::int64_t bytes);
void releaseOpened(std::int64_t bytes);
// How many workers of a document that keeps `ownOpened` open fit in the
// budget beside what the other opened documents keep, with a share each for
// their requests: at least 1, at most `wanted`. Its own opening is not
// counted: its workers are copies that share it, so it costs the same
// however many read.
int workersFitting(int wanted, std::int64_t ownOpened);
} // namespace MemoryBudget

} // namespace Platform::PdfWorkerProcess
