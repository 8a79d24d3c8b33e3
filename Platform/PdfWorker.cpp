// The client's side of a worker: one process at a time, spoken to over a
// socket pair (a socket, not a pipe, so that writing to a worker that died
// returns EPIPE with MSG_NOSIGNAL instead of raising SIGPIPE in the app).
// Every descriptor is made close-on-exec, so a worker inherits only its
// socket (as fd 3), whatever other threads open meanwhile; the document's
// memory file and the limits are its first message, the file passed over the
// socket. A worker that is done with is killed and reaped at once.
//
// Starting a worker costs some 10 ms of loading libraries, as much as reading
// a short document: so a few started workers wait idle, without a document,
// for the next read, and each worker ended is replaced by an idle one.

#include "Platform/PdfWorker.h"

#include "Platform/PdfWorkerSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace Platform {

namespace {

// How often a wait for a reply looks at the cancel flag.
constexpr int pollMilliseconds = 10;
// A reply's memory grows by at most this much per read from the socket.
constexpr std::size_t receiveChunk = 1u << 16;

// Descriptors below this could be one of the numbers a worker is given.
constexpr int lowestKept = 10;

int movedHigh(int fd)
{
    if (fd < 0 || fd >= lowestKept) return fd;
    int high = fcntl(fd, F_DUPFD_CLOEXEC, lowestKept);
    close(fd);
    return high;
}

std::mutex hookMutex;
PdfWorker::BeforeSend& beforeSendHook()
{
    static PdfWorker::BeforeSend hook;
    return hook;
}

bool executable(const std::filesystem::path& path)
{
    return !path.empty() && access(path.c_str(), X_OK) == 0;
}

struct Process {
    pid_t pid = 0;
    int socket = -1;
};

void kill(Process& process)
{
    if (process.socket >= 0) close(process.socket);
    if (process.pid > 0) {
        ::kill(process.pid, SIGKILL);
        while (waitpid(process.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    process = {};
}

// A worker process with no document yet; none when it can't be started.
std::optional<Process> spawn()
{
    auto path = PdfWorker::location();
    if (!executable(path)) return std::nullopt;
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
    posix_spawn_file_actions_adddup2(&files, theirs, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The app may ignore SIGPIPE or block signals; the worker must die of its limits.
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGPROF, SIGXCPU, SIGSEGV, SIGTERM}) sigaddset(&defaults, signal);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::string program = path.string();
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    int failed = posix_spawn(&pid, program.c_str(), &files, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    close(theirs);
    if (failed != 0) {
        close(ours);
        return std::nullopt;
    }
    return Process{pid, ours};
}

// Idle workers of this process. A child made by fork() shares the parent's
// sockets to them, so it never touches them: only their owner uses them.
// The pool lives as long as the process (reaper threads may still fill it
// while the process exits); an idle worker ends by itself when the process
// is gone and its socket closes.
class IdleWorkers {
public:
    static constexpr std::size_t kept = 4;

    std::optional<Process> take()
    {
        std::lock_guard lock(mutex_);
        if (getpid() != owner_ || idle_.empty()) return std::nullopt;
        Process p = idle_.back();
        idle_.pop_back();
        return p;
    }

    void replenish()
    {
        std::lock_guard lock(mutex_);
        if (getpid() != owner_ || idle_.size() >= kept) return;
        if (auto p = spawn()) idle_.push_back(*p);
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

// The document's memory file and the limits, as the worker's first message.
bool sendDocument(const Process& process, int documentFd, const PdfWorkerLimits& limits)
{
    WireWriter limitsMessage;
    limitsMessage.i64(static_cast<std::int64_t>(limits.cpuSeconds * 1000 + 0.5));
    limitsMessage.i64(limits.memoryBytes);
    Bytes bytes = limitsMessage.take();
    PdfWorkerSocket::OneFdMessage message(bytes.data(), bytes.size());
    msghdr& header = message.header;
    cmsghdr* fdPart = CMSG_FIRSTHDR(&header);
    fdPart->cmsg_level = SOL_SOCKET;
    fdPart->cmsg_type = SCM_RIGHTS;
    fdPart->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(fdPart), &documentFd, sizeof(int));
    ssize_t sent;
    do sent = sendmsg(process.socket, &header, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(bytes.size());
}

} // namespace

PdfWorkerInput::PdfWorkerInput(const Bytes& data)
{
    fd_ = movedHigh(memfd_create("folmira-pdf", MFD_CLOEXEC));
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "memfd_create");
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd_, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int error = errno;
            close(fd_);
            throw std::system_error(error, std::generic_category(), "write");
        }
        done += static_cast<std::size_t>(n);
    }
}

PdfWorkerInput::~PdfWorkerInput()
{
    if (fd_ >= 0) close(fd_);
}

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
    if (!error) {
        auto dir = self.parent_path();
        for (const auto& candidate : {dir / name, dir.parent_path() / "libexec" / "folmira" / name})
            if (executable(candidate)) return candidate;
    }
#ifdef FOLMIRA_PDF_WORKER_BUILD_PATH
    return FOLMIRA_PDF_WORKER_BUILD_PATH;
#else
    return {};
#endif
}

void PdfWorker::setBeforeSend(BeforeSend hook)
{
    std::lock_guard lock(hookMutex);
    beforeSendHook() = std::move(hook);
}

bool PdfWorker::start()
{
    if (pid_ != 0) return true;
    if (!input_) return false;
    // An idle worker may have died meanwhile; then a fresh one is started.
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto process = attempt == 0 ? idleWorkers().take() : spawn();
        if (!process) continue;
        if (!sendDocument(*process, input_->fd(), limits_)) {
            kill(*process);
            continue;
        }
        pid_ = process->pid;
        socket_ = process->socket;
        return true;
    }
    return false;
}

void PdfWorker::end()
{
    if (pid_ == 0 && socket_ < 0) return;
    if (socket_ >= 0) close(socket_);
    if (pid_ > 0) ::kill(pid_, SIGKILL);
    // The kernel frees the worker's memory as it dies; waiting for that, and
    // starting an idle worker in its place, is left to a thread of its own.
    auto reap = [pid = pid_] {
        if (pid > 0)
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        idleWorkers().replenish();
    };
    pid_ = 0;
    socket_ = -1;
    try {
        std::thread(reap).detach();
    } catch (const std::system_error&) {
        reap(); // no thread to be had: here and now
    }
}

PdfWorker::Reply PdfWorker::request(std::uint8_t tag, const Bytes& payload, std::size_t largestReply,
                                    const CancelFlag* cancel)
{
    if (cancel && cancel->cancelled()) return {Status::cancelled, {}};
    if (!start()) return {Status::unavailable, {}};
    {
        std::lock_guard lock(hookMutex);
        if (beforeSendHook()) beforeSendHook()(pid_, tag);
    }
    WireWriter frame;
    frame.u32(static_cast<std::uint32_t>(payload.size() + 1));
    frame.u8(tag);
    Bytes bytes = frame.take();
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    if (!PdfWorkerSocket::sendWhole(socket_, bytes)) {
        end();
        return {Status::ended, {}};
    }
    return receive(largestReply, cancel);
}

PdfWorker::Reply PdfWorker::receive(std::size_t largestReply, const CancelFlag* cancel)
{
    std::uint8_t header[4];
    std::size_t headerHave = 0;
    std::optional<std::size_t> length;
    Bytes buffer;
    while (true) {
        if (cancel && cancel->cancelled()) {
            end();
            return {Status::cancelled, {}};
        }
        pollfd watched{socket_, POLLIN, 0};
        int ready = poll(&watched, 1, pollMilliseconds);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
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
            buffer.resize(have + step);
            into = buffer.data() + have;
            room = step;
        }
        ssize_t n = recv(socket_, into, room, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (length) buffer.resize(buffer.size() - room);
            continue;
        }
        if (n <= 0) break; // the worker died: a limit, a crash
        if (!length) {
            headerHave += static_cast<std::size_t>(n);
            if (headerHave < sizeof header) continue;
            const std::uint32_t claimed = WireReader(header, sizeof header).u32();
            if (claimed > largestReply) break;
            length = claimed;
            if (claimed == 0) return {Status::ok, {}};
            continue;
        }
        buffer.resize(buffer.size() - room + static_cast<std::size_t>(n));
        if (buffer.size() == *length) return {Status::ok, std::move(buffer)};
    }
    end();
    return {Status::ended, {}};
}

namespace PdfWorkerSocket {

bool sendWhole(int socket, const Bytes& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = send(socket, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

OneFdMessage::OneFdMessage(void* data, std::size_t size) : part{data, size}
{
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
}

} // namespace PdfWorkerSocket

} // namespace Platform
