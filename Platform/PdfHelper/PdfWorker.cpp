// The client's side of a worker: one process at a time, spoken to over a
// socket pair (a socket, not a pipe, so that writing to a worker that died
// returns EPIPE with MSG_NOSIGNAL instead of raising SIGPIPE in the app).
// The document's sealed memory file and the limits of opening it are a
// worker's first message, the file passed over the socket. A worker that is
// done with is killed and reaped at once.
//
// Everything a worker sends is untrusted: a reply's length is checked against
// the longest its request can get and its memory grows only as bytes arrive;
// a reply that is cut off, or a worker that sends nothing for longer than the
// request's wall-clock bound, ends the worker.
//
// Starting a worker costs some 10 ms of loading libraries, as much as reading
// a short document: so a few started workers wait idle, without a document,
// for the next read, and each worker ended is replaced by an idle one.

#include "Platform/PdfHelper/PdfWorker.h"

#include "Platform/PdfHelper/PdfWorkerProcess.h"
#include "Platform/PdfHelper/PdfWorkerSocket.h"
#include "Platform/PdfHelper/PdfWorkerWatch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace Platform {

namespace {

using PdfWorkerSocket::Outcome;
namespace MemoryBudget = PdfWorkerProcess::MemoryBudget;

// How often a wait for a reply looks at the cancel flag.
constexpr int pollMilliseconds = 10;
// A reply's memory grows by at most this much per read from the socket.
constexpr std::size_t receiveChunk = 1u << 16;
// A request's wall-clock bound: this many times its CPU time, and this much more.
constexpr double wallPerCpu = 3;
constexpr double wallSlackSeconds = 0.5;
// How long a worker may take to make a copy of itself and the copy to say hello.
constexpr double copySeconds = wallSlackSeconds + 2;
// Opening a document costs in proportion to the objects it parses (the
// cross-reference, the page tree of every page): beside a request's limits,
// this much CPU time and memory for each object, some three times what the
// costliest long documents take (manual pages joined by qpdf, 14 µs and 2.3 KB
// an object). Objects are counted as the document claims them: packed in
// object streams, as qpdf and many writers save, they take from half down to
// a fifteenth of the bytes they take unpacked.
constexpr double openingCpuPerObject = 50e-6;
constexpr std::int64_t openingBytesPerObject = 6 << 10;
// And never less than this much for each byte: a document that claims no
// number, or has a damaged cross-reference, which both libraries mend by
// scanning every byte.
constexpr double openingCpuPerByte = 0.15 / (1 << 20);
constexpr std::int64_t openingBytesPerByte = 24;
// How much longer a copy that sent nothing by its deadline is waited for, on
// the reading's own thread and within reach of its cancel: about the stall
// rule's second, so that a loaded machine's copy is still proven (and used)
// while no read from a helper outlasts a few seconds.
constexpr double lateHelloSeconds = 1.5;

std::mutex hookMutex;
PdfWorker::BeforeSend& beforeSendHook()
{
    static PdfWorker::BeforeSend hook;
    return hook;
}

// A request's id: drawn at random, so that a worker can't send the answer to
// a request before it was asked (the id of the last one tells nothing of
// the next); the one after `last` when the system gives no random bytes.
std::uint32_t requestId(std::uint32_t last)
{
    std::uint32_t id = 0;
    if (getrandom(&id, sizeof id, 0) != static_cast<ssize_t>(sizeof id) || id == last) id = last + 1;
    return id;
}

bool executable(const std::filesystem::path& path)
{
    return !path.empty() && access(path.c_str(), X_OK) == 0;
}

// The longest a reply of `bytes` may take to come once its first byte came:
// a second, and more for a long one at a slow pace.
constexpr double transferSlackSeconds = 1;
constexpr double transferBytesPerSecond = 4 << 20;
std::chrono::steady_clock::duration transferBound(std::size_t bytes)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(
        transferSlackSeconds + static_cast<double>(bytes) / transferBytesPerSecond));
}

long milliseconds(double seconds)
{
    return static_cast<long>(std::clamp(seconds, 0.001, 3600.0) * 1000 + 0.5);
}

// The document's memory file, the CPU time of opening it and the most memory
// any one request of the worker may ask (which its caps must hold beside its
// opening's), as the worker's first message.
bool sendDocument(const PdfWorkerProcess::Process& process, int documentFd, const PdfWorkerLimits& limits)
{
    WireWriter limitsMessage;
    limitsMessage.i64(milliseconds(limits.cpuSeconds));
    limitsMessage.i64(limits.memoryBytes);
    return PdfWorkerSocket::sendWithFd(process.socket, limitsMessage.data(), documentFd);
}

// How the worker `pid`, whose socket has closed, ended: it is given a moment
// to finish exiting, then killed.
Outcome reaped(pid_t pid)
{
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd exited{pidfd, POLLIN, 0};
        while (poll(&exited, 1, 100) < 0 && errno == EINTR) {
        }
        close(pidfd);
    }
    int status = 0;
    pid_t done;
    // Its group first, while the worker unreaped keeps the group's number its own.
    PdfWorkerProcess::killGroup(pid);
    while ((done = waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (done == pid) return PdfWorkerSocket::outcomeOf(status);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return Outcome::crashed;
}

// The anonymous memory (heap, not the shared document nor libraries) that
// process `pid` has resident, in bytes; 0 when it can't be told.
std::int64_t anonymousBytes(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    char text[4096];
    if (!PdfWorkerSocket::readSmallFile(path.c_str(), text, sizeof text)) return 0;
    const char* line = std::strstr(text, "RssAnon:");
    long long kilobytes = 0;
    if (!line || std::sscanf(line + 8, "%lld", &kilobytes) != 1) return 0;
    return kilobytes * 1024;
}

// Reaps `pid` (when not 0) and starts an idle worker in its place, on a
// thread of its own: the kernel frees a killed worker's memory as it dies.
void replenishLater(pid_t pid = 0)
{
    auto reap = [pid] {
        if (pid > 0)
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        PdfWorkerProcess::replenishIdle();
    };
    try {
        std::thread(reap).detach();
    } catch (const std::system_error&) {
        reap(); // no thread to be had: here and now
    }
}

} // namespace

PdfWorker::PdfWorker(std::shared_ptr<const PdfWorkerInput> input, PdfWorkerLimits limits)
    : input_(std::move(input)), limits_(limits)
{
}

PdfWorker::~PdfWorker() { end(); }

std::filesystem::path PdfWorker::location()
{
    const char* name = "folmira-pdf-worker";
    if (const char* chosen = std::getenv("FOLMIRA_PDF_WORKER"); chosen && *chosen) return chosen;
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    auto dir = self.parent_path();
    for (const auto& candidate : {dir / name, dir.parent_path() / "libexec" / "folmira" / name})
        if (executable(candidate)) return candidate;
#ifdef FOLMIRA_PDF_WORKER_BUILD_PATH
    // Only a program of the build tree (a test, a benchmark) uses the build tree's worker.
    const std::filesystem::path built = FOLMIRA_PDF_WORKER_BUILD_PATH;
    const std::string tree = built.parent_path().string() + "/";
    if (self.string().rfind(tree, 0) == 0) return built;
#endif
    return {};
}

void PdfWorker::setBeforeSend(BeforeSend hook)
{
    std::lock_guard lock(hookMutex);
    beforeSendHook() = std::move(hook);
}

PdfWorkerLimits PdfWorker::openingLimits() const
{
    const std::int64_t objects = input_ ? input_->objects() : 0;
    const auto bytes = static_cast<std::int64_t>(input_ ? input_->size() : 0);
    const std::int64_t share = std::min(limits_.memoryBytes, MemoryBudget::shareBytes);
    const double cpu = std::max(openingCpuPerObject * static_cast<double>(objects),
                                openingCpuPerByte * static_cast<double>(bytes));
    const std::int64_t memory = std::max(openingBytesPerObject * objects, openingBytesPerByte * bytes);
    return {limits_.cpuSeconds + cpu, std::min({limits_.memoryBytes, MemoryBudget::wholeBytes, share + memory})};
}

double PdfWorker::longestRequestSeconds() const
{
    // Each attempt: a new worker's hello, then its opening and the request
    // (a request for every page takes the opening's time twice). Only the
    // memory budget's wait is left out: its holders are bounded so.
    const double open = openingLimits().cpuSeconds;
    const double attempt = (wallPerCpu * open + wallSlackSeconds) + (wallPerCpu * 2 * open + wallSlackSeconds);
    return 2 * attempt + copySeconds + lateHelloSeconds;
}

bool PdfWorker::start()
{
    if (pid_ != 0) return true;
    if (!input_) return false;
    // An idle worker may have died meanwhile; then a fresh one is started.
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto process = attempt == 0 ? PdfWorkerProcess::takeIdle() : PdfWorkerProcess::spawn();
        if (!process) continue;
        // A request's share, its opening's for every page, or the whole of its limit tried alone.
        const PdfWorkerLimits open = openingLimits();
        const std::int64_t most = std::max(open.memoryBytes, std::min(limits_.memoryBytes, MemoryBudget::wholeBytes));
        if (!sendDocument(*process, input_->fd(), {open.cpuSeconds, most})) {
            PdfWorkerProcess::kill(*process);
            continue;
        }
        pid_ = process->pid;
        socket_ = process->socket;
        opening_ = true;
        greeted_ = false;
        return true;
    }
    return false;
}

void PdfWorker::forgetOpened()
{
    PdfWorkerProcess::MemoryBudget::releaseOpened(opened_);
    opened_ = 0;
}

void PdfWorker::end()
{
    forgetOpened();
    if (pid_ == 0 && socket_ < 0) return;
    if (socket_ >= 0) close(socket_);
    PdfWorkerProcess::killGroup(pid_);
    // The kernel frees the worker's memory as it dies; waiting for that, and
    // starting an idle worker in its place, is left to a thread of its own.
    const pid_t pid = pid_;
    pid_ = 0;
    socket_ = -1;
    replenishLater(pid);
}

struct PdfWorker::Attempt {
    std::uint8_t tag;
    const Bytes& payload;
    std::size_t largestReply;
    double cpuSeconds;
    std::int64_t memoryBytes;
    bool alone;
};

PdfWorker::Reply PdfWorker::request(std::uint8_t tag, const Bytes& payload, std::size_t largestReply,
                                    const CancelFlag* cancel, double cpuSeconds)
{
    const double cpu = cpuSeconds > 0 ? std::min(cpuSeconds, limits_.cpuSeconds) : limits_.cpuSeconds;
    return requestWithin({tag, payload, largestReply, cpu, std::min(limits_.memoryBytes, MemoryBudget::shareBytes), false},
                         cancel);
}

PdfWorker::Reply PdfWorker::requestForEveryPage(std::uint8_t tag, const Bytes& payload, std::size_t largestReply,
                                               const CancelFlag* cancel)
{
    const PdfWorkerLimits open = openingLimits();
    const std::int64_t share = std::min(limits_.memoryBytes, MemoryBudget::shareBytes);
    return requestWithin({tag, payload, largestReply, open.cpuSeconds, std::max(share, open.memoryBytes), false}, cancel);
}

PdfWorker::Reply PdfWorker::requestWithin(const Attempt& what, const CancelFlag* cancel)
{
    Reply reply = attempt(what, cancel);
    if (reply.status == Status::ended && mayNeedMore_ && what.memoryBytes < limits_.memoryBytes) {
        // Its share of the budget may have been too little: the whole of its
        // limit, alone. An allocation that fails may end Poppler as a crash
        // as well as an abort, so only a request past its CPU time is not tried again.
        const std::int64_t whole = std::min(limits_.memoryBytes, MemoryBudget::wholeBytes);
        if (whole > what.memoryBytes)
            reply = attempt({what.tag, what.payload, what.largestReply, what.cpuSeconds, whole, true}, cancel);
    }
    return reply;
}

PdfWorker::Reply PdfWorker::attempt(const Attempt& what, const CancelFlag* cancel)
{
    mayNeedMore_ = false;
    if (cancel && cancel->cancelled()) return {Status::cancelled, {}};
    if (!start()) return {Status::unavailable, {}};
    // A worker's first request waits for it to open the document, under the opening's limits.
    const bool opening = opening_;
    const PdfWorkerLimits open = openingLimits();
    if (!greeted_) {
        if (auto refused = awaitHello(wallPerCpu * open.cpuSeconds + wallSlackSeconds, cancel)) return *refused;
        greeted_ = true;
    }
    const std::int64_t memory = opening ? std::max(what.memoryBytes, open.memoryBytes) : what.memoryBytes;
    if (!MemoryBudget::take(memory, what.alone, cancel)) return {Status::cancelled, {}};
    struct Held {
        std::int64_t bytes;
        ~Held() { MemoryBudget::give(bytes); }
    } held{memory};
    // Nothing may come unasked: a reply sent ahead would be taken for this request's.
    std::uint8_t unasked;
    if (recv(socket_, &unasked, 1, MSG_PEEK | MSG_DONTWAIT) > 0) return ended(true);
    {
        std::lock_guard lock(hookMutex);
        if (beforeSendHook()) beforeSendHook()(pid_, what.tag);
    }
    WireWriter frame;
    frame.u32(static_cast<std::uint32_t>(PdfWorkerSocket::requestHeader - 4 + what.payload.size()));
    lastId_ = requestId(lastId_);
    frame.u32(lastId_);
    frame.u8(what.tag);
    frame.u32(static_cast<std::uint32_t>(milliseconds(what.cpuSeconds)));
    frame.i64(memory);
    Bytes bytes = frame.take();
    bytes.insert(bytes.end(), what.payload.begin(), what.payload.end());
    const std::int64_t before = opening ? anonymousBytes(pid_) : 0;
    if (!PdfWorkerSocket::sendWhole(socket_, bytes)) return ended(false);
    const double cpu = what.cpuSeconds + (opening ? open.cpuSeconds : 0);
    opening_ = false;
    Reply reply =
        receive(what.largestReply, wallPerCpu * cpu + wallSlackSeconds, opening ? open.cpuSeconds : 0, cancel);
    if (opening && pid_ != 0) {
        // What the opened worker keeps, read by the system, not told by the worker.
        opened_ = std::max<std::int64_t>(0, anonymousBytes(pid_) - before);
        MemoryBudget::holdOpened(opened_);
    }
    return reply;
}

PdfWorker::Reply PdfWorker::ended(bool damaged)
{
    forgetOpened();
    const pid_t pid = pid_;
    if (socket_ >= 0) close(socket_);
    socket_ = -1;
    pid_ = 0;
    // A worker whose reply is damaged is alive: how it ends says nothing.
    if (damaged) PdfWorkerProcess::killGroup(pid);
    const Outcome outcome = pid > 0 ? reaped(pid) : Outcome::crashed;
    mayNeedMore_ = !damaged && (outcome == Outcome::pastMemory || outcome == Outcome::crashed);
    replenishLater();
    if (!damaged && outcome == Outcome::notAWorker) return {Status::unavailable, {}};
    Reply reply{Status::ended, {}};
    reply.pastLimit = !damaged && outcome != Outcome::crashed;
    reply.broken = damaged;
    return reply;
}

namespace {

enum class Hello { sound, late, wrong };

// Whether a worker's hello comes on `socket` by the deadline, from process
// `pid` as the kernel tells (the socket passes its sender's credentials with
// each piece it sends). Read as it comes, never waited for whole past the
// deadline nor past `cancel` (may be null). `proven`: bytes came, all from
// `pid`, which is then known to be at the other end, whatever it sent.
Hello helloFrom(int socket, pid_t pid, std::chrono::steady_clock::time_point deadline, const CancelFlag* cancel,
                bool& proven)
{
    std::uint8_t hello[PdfWorkerSocket::helloSize];
    std::size_t have = 0;
    proven = false;
    while (have < sizeof hello) {
        if (cancel && cancel->cancelled()) return Hello::late;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return Hello::late;
        pollfd watched{socket, POLLIN, 0};
        const int ready = poll(&watched, 1, static_cast<int>(std::min<long>(left.count(), pollMilliseconds)));
        if (ready < 0 && errno != EINTR) return Hello::wrong;
        if (ready <= 0) continue;
        iovec part{hello + have, sizeof hello - have};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))] = {};
        msghdr header{};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(socket, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0 || (header.msg_flags & MSG_CTRUNC)) return Hello::wrong;
        const cmsghdr* c = CMSG_FIRSTHDR(&header);
        if (!c || c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_CREDENTIALS ||
            c->cmsg_len != CMSG_LEN(sizeof(ucred)))
            return Hello::wrong;
        ucred sender{};
        std::memcpy(&sender, CMSG_DATA(c), sizeof sender);
        if (sender.pid != pid) {
            proven = false;
            return Hello::wrong;
        }
        proven = true;
        have += static_cast<std::size_t>(n);
    }
    return Bytes(hello, hello + sizeof hello) == PdfWorkerSocket::hello() ? Hello::sound : Hello::wrong;
}

// Whether `pid` is a child of this process, running or not yet reaped: asked
// without reaping it, so a number no one has proven is never freed for reuse.
bool isOwnChild(pid_t pid)
{
    siginfo_t info{};
    return pid > 0 && waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0;
}

// Ends and reaps the copy `pid`, proven at the other end of its socket and a child of this process.
void endProvenCopy(pid_t pid)
{
    if (!isOwnChild(pid)) return;
    PdfWorkerProcess::killGroup(pid);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

std::unique_ptr<PdfWorker> PdfWorker::copy(const CancelFlag* cancel)
{
    if (!opened() || (cancel && cancel->cancelled())) return nullptr;
    std::uint8_t unasked;
    if (recv(socket_, &unasked, 1, MSG_PEEK | MSG_DONTWAIT) > 0) {
        ended(true);
        return nullptr;
    }
    {
        std::lock_guard lock(hookMutex);
        if (beforeSendHook()) beforeSendHook()(pid_, PdfWorkerSocket::copyTag);
    }
    WireWriter frame;
    frame.u32(static_cast<std::uint32_t>(PdfWorkerSocket::requestHeader - 4));
    lastId_ = requestId(lastId_);
    frame.u32(lastId_);
    frame.u8(PdfWorkerSocket::copyTag);
    frame.u32(0);
    frame.i64(0);
    if (!PdfWorkerSocket::sendWhole(socket_, frame.data())) {
        ended(false);
        return nullptr;
    }
    // Forking takes the worker a moment however large it is.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds(copySeconds));
    std::uint8_t header[PdfWorkerSocket::replyHeader + 4];
    int fd = -1;
    auto fail = [&](bool damaged) -> std::unique_ptr<PdfWorker> {
        if (fd >= 0) close(fd);
        if (damaged) ended(true);
        return nullptr;
    };
    bool extra = false; // more descriptors came than the one expected: closed as they came
    // Cancelled while the worker makes its copy: its reply is left unread, so it is ended, as a request's would be.
    auto cancelled = [&]() -> std::unique_ptr<PdfWorker> {
        if (fd >= 0) close(fd);
        end();
        return nullptr;
    };
    if (!receiveWithFd(header, PdfWorkerSocket::replyHeader, deadline, cancel, fd, extra))
        return cancel && cancel->cancelled() ? cancelled() : fail(true);
    WireReader reader(header, PdfWorkerSocket::replyHeader);
    const std::uint32_t claimed = reader.u32();
    const std::uint32_t id = reader.u32();
    const std::uint8_t outcome = reader.u8();
    if (id != lastId_) return fail(true);
    // The worker could make no copy (no processes left): it stays as it was.
    if (outcome == static_cast<std::uint8_t>(PdfWorkerSocket::Outcome::crashed) && claimed == 0 && fd < 0 && !extra)
        return fail(false);
    if (outcome != static_cast<std::uint8_t>(PdfWorkerSocket::Outcome::ok) || claimed != 4)
        return fail(true);
    if (!receiveWithFd(header + PdfWorkerSocket::replyHeader, 4, deadline, cancel, fd, extra))
        return cancel && cancel->cancelled() ? cancelled() : fail(true);
    const auto pid = static_cast<pid_t>(WireReader(header + PdfWorkerSocket::replyHeader, 4).u32());
    // The number is the worker's word: it may name another document's worker,
    // which ending would end. Only a running child of this process whose
    // hello proves it at the other end of the socket (the kernel tells the
    // sender) is signalled, reaped or taken; any other is left alone.
    // Its own number is no copy's; nor is a process not this one's child.
    if (pid <= 0 || pid == pid_ || !isOwnChild(pid) || fd < 0) return fail(true);
    bool proven = false;
    Hello hello = helloFrom(fd, pid, deadline, cancel, proven);
    if (hello == Hello::late && !proven && !(cancel && cancel->cancelled())) {
        const auto more = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(lateHelloSeconds));
        hello = helloFrom(fd, pid, std::chrono::steady_clock::now() + more, cancel, proven);
    }
    if (hello == Hello::late && !proven) {
        // Silent still, or cancelled: nothing proves the number, which is left
        // alone; closing its socket ends a copy of this build. Late (a loaded
        // machine) is no fault of the worker copied, which stays.
        return fail(false);
    }
    if (hello != Hello::sound) {
        // Half a hello, or a wrong one, from the copy proven: a broken helper's, ended here.
        if (proven) endProvenCopy(pid);
        return fail(true);
    }
    int status = 0;
    setpgid(pid, pid); // as the copy does itself: whichever runs first
    if (extra) {
        // More than its socket came with it: the copy, proven this process's child, is ended and reaped here.
        PdfWorkerProcess::killGroup(pid);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return fail(true);
    }
    const int no = 0;
    setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &no, sizeof no);
    auto made = std::make_unique<PdfWorker>(input_, limits_);
    made->pid_ = pid;
    made->socket_ = fd;
    made->greeted_ = true;
    return made;
}

bool PdfWorker::receiveWithFd(std::uint8_t* into, std::size_t size, std::chrono::steady_clock::time_point deadline,
                              const CancelFlag* cancel, int& fd, bool& extra)
{
    std::size_t have = 0;
    while (have < size) {
        if (cancel && cancel->cancelled()) return false;
        pollfd watched{socket_, POLLIN, 0};
        const int ready = poll(&watched, 1, pollMilliseconds);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            continue;
        }
        PdfWorkerSocket::OneFdMessage message(into + have, size - have);
        const ssize_t n = recvmsg(socket_, &message.header, MSG_CMSG_CLOEXEC);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        // Every descriptor that came is closed but the first: the control
        // part has room for two, and a message may carry more than one
        // (those past its room the kernel closes, saying so).
        for (cmsghdr* c = CMSG_FIRSTHDR(&message.header); c; c = CMSG_NXTHDR(&message.header, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS || c->cmsg_len < CMSG_LEN(0)) continue;
            const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int got = -1;
                std::memcpy(&got, CMSG_DATA(c) + i * sizeof(int), sizeof got);
                if (fd < 0) {
                    fd = got; // the copy's socket, or the first of more: what proves the copy either way
                } else {
                    close(got);
                    extra = true;
                }
            }
        }
        if (message.header.msg_flags & MSG_CTRUNC) extra = true;
        have += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<PdfWorker::Reply> PdfWorker::awaitHello(double wallSeconds, const CancelFlag* cancel)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(wallSeconds);
    std::uint8_t hello[PdfWorkerSocket::helloSize];
    std::size_t have = 0;
    while (have < sizeof hello) {
        if (cancel && cancel->cancelled()) {
            end();
            return Reply{Status::cancelled, {}};
        }
        pollfd watched{socket_, POLLIN, 0};
        const int ready = poll(&watched, 1, pollMilliseconds);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0 && std::chrono::steady_clock::now() < deadline) continue;
        const ssize_t n = ready > 0 ? recv(socket_, hello + have, sizeof hello - have, 0) : 0;
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        // Gone, or silent, before it was started: the helper's fault, whatever the document.
        if (n <= 0) {
            end();
            return Reply{Status::unavailable, {}};
        }
        have += static_cast<std::size_t>(n);
    }
    if (Bytes(hello, hello + sizeof hello) != PdfWorkerSocket::hello()) {
        end(); // a helper of another build
        return Reply{Status::unavailable, {}};
    }
    return std::nullopt;
}

PdfWorker::Reply PdfWorker::receive(std::size_t largestReply, double wallSeconds, double ownCpuSeconds,
                                    const CancelFlag* cancel)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(wallSeconds);
    PdfWorkerWatch watch(pid_, ownCpuSeconds);
    std::uint8_t header[PdfWorkerSocket::replyHeader];
    std::size_t headerHave = 0;
    std::optional<std::size_t> length;
    double spent = 0;
    std::uint32_t answeredBy = 0;
    Bytes buffer;
    // A reply is sent once its request is done: once it began, it comes
    // whole within its transfer's bound, however slowly its bytes trickle.
    std::optional<std::chrono::steady_clock::time_point> wholeBy;
    std::chrono::steady_clock::time_point began;
    while (true) {
        if (cancel && cancel->cancelled()) {
            end();
            return {Status::cancelled, {}};
        }
        const PdfWorkerWatch::Verdict verdict = headerHave == 0 ? watch.look() : PdfWorkerWatch::Verdict::working;
        if (verdict == PdfWorkerWatch::Verdict::spinning) {
            end();
            Reply reply{Status::unavailable, {}};
            reply.silent = true;
            return reply;
        }
        const auto now = std::chrono::steady_clock::now();
        if (verdict == PdfWorkerWatch::Verdict::asleep || now >= deadline || (wholeBy && now >= *wholeBy)) {
            // Asleep, past the wall-clock bound without a word, or a reply begun and not finished.
            end();
            Reply reply{Status::ended, {}};
            reply.pastLimit = true;
            reply.silent = true;
            return reply;
        }
        pollfd watched{socket_, POLLIN, 0};
        int ready = poll(&watched, 1, pollMilliseconds);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return ended(true);
        if (ready == 0) continue;
        std::uint8_t* into;
        std::size_t room;
        if (!length) {
            into = header + headerHave;
            room = sizeof header - headerHave;
        } else {
            // The claimed length is only an upper bound: memory follows the bytes that came.
            const std::size_t have = buffer.size();
            const std::size_t step = std::min(receiveChunk, *length - have);
            // Grown by a sixteenth, not doubled: a reply just under its cap
            // costs little more than its own bytes.
            if (have + step > buffer.capacity())
                buffer.reserve(std::min(*length, std::max(have + step, buffer.capacity() + buffer.capacity() / 16)));
            buffer.resize(have + step);
            into = buffer.data() + have;
            room = step;
        }
        ssize_t n = recv(socket_, into, room, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (length) buffer.resize(buffer.size() - room);
            continue;
        }
        // The worker died: of a limit or a crash, before a reply began, or cut its reply off.
        if (n <= 0) return ended(length.has_value() || headerHave > 0);
        if (!wholeBy) {
            began = std::chrono::steady_clock::now();
            wholeBy = began + transferBound(sizeof header);
        }
        if (!length) {
            headerHave += static_cast<std::size_t>(n);
            if (headerHave < sizeof header) continue;
            WireReader reader(header, sizeof header);
            const std::uint32_t claimed = reader.u32();
            const std::uint32_t id = reader.u32();
            const std::uint8_t outcome = reader.u8();
            spent = reader.u32() / 1000.0;
            answeredBy = reader.u32();
            // A reply to another request than the one asked, past its length, or of no outcome: damaged.
            if (id != lastId_ || claimed > largestReply || outcome > static_cast<std::uint8_t>(Outcome::crashed))
                return ended(true);
            if (outcome != static_cast<std::uint8_t>(Outcome::ok)) {
                // The request's child died; the worker, with its document opened, stays.
                if (claimed != 0) return ended(true);
                mayNeedMore_ = outcome == static_cast<std::uint8_t>(Outcome::pastMemory) ||
                               outcome == static_cast<std::uint8_t>(Outcome::crashed);
                Reply reply{Status::ended, {}};
                reply.pastLimit = outcome != static_cast<std::uint8_t>(Outcome::crashed);
                return reply;
            }
            length = claimed;
            wholeBy = began + transferBound(claimed);
            buffer.reserve(std::min<std::size_t>(claimed, receiveChunk));
            if (claimed != 0) continue;
        } else {
            buffer.resize(buffer.size() - room + static_cast<std::size_t>(n));
        }
        if (buffer.size() == *length) {
            Reply reply{Status::ok, std::move(buffer)};
            reply.cpuSeconds = spent;
            reply.child = answeredBy;
            return reply;
        }
    }
}


} // namespace Platform
