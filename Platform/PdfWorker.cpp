// The client's side of a worker: one process at a time, spoken to over a
// socket pair (a socket, not a pipe, so that writing to a worker that died
// returns EPIPE with MSG_NOSIGNAL instead of raising SIGPIPE in the app).
// Every descriptor is made close-on-exec, so a worker inherits only its
// socket (as fd 3) and the document (fd 4), whatever other threads open
// meanwhile; a worker that is done with is killed and reaped at once.

#include "Platform/PdfWorker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>

extern char** environ;

namespace Platform {

namespace {

// How often a wait for a reply looks at the cancel flag.
constexpr int pollMilliseconds = 10;
// A reply larger than this is not one the worker meant to send.
constexpr std::uint32_t largestReply = 1u << 31;

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
    auto path = location();
    if (!executable(path) || !input_) return false;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return false;
    int theirs = movedHigh(pair[1]);
    if (theirs < 0) {
        close(pair[0]);
        return false;
    }

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, theirs, 3);
    posix_spawn_file_actions_adddup2(&files, input_->fd(), 4);
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
    std::string cpu = std::to_string(static_cast<long long>(limits_.cpuSeconds * 1000 + 0.5));
    std::string memory = std::to_string(limits_.memoryBytes);
    char* argv[] = {program.data(), const_cast<char*>("--cpu-ms"), cpu.data(), const_cast<char*>("--memory"),
                    memory.data(), nullptr};
    pid_t pid = 0;
    int failed = posix_spawn(&pid, program.c_str(), &files, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    close(theirs);
    if (failed != 0) {
        close(pair[0]);
        return false;
    }
    pid_ = pid;
    socket_ = movedHigh(pair[0]);
    return true;
}

void PdfWorker::end()
{
    if (socket_ >= 0) close(socket_);
    socket_ = -1;
    if (pid_ == 0) return;
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
}

bool PdfWorker::sendAll(const Bytes& frame)
{
    std::size_t done = 0;
    while (done < frame.size()) {
        ssize_t n = send(socket_, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

PdfWorker::Reply PdfWorker::request(std::uint8_t tag, const Bytes& payload, const CancelFlag* cancel)
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
    if (!sendAll(bytes)) {
        end();
        return {Status::ended, {}};
    }
    return receive(cancel);
}

PdfWorker::Reply PdfWorker::receive(const CancelFlag* cancel)
{
    Bytes buffer(4);
    std::size_t want = 4, have = 0;
    bool header = true;
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
        ssize_t n = recv(socket_, buffer.data() + have, want - have, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break; // the worker died: a limit, a crash
        have += static_cast<std::size_t>(n);
        if (have < want) continue;
        if (!header) return {Status::ok, std::move(buffer)};
        std::uint32_t length = WireReader(buffer).u32();
        if (length > largestReply) break;
        header = false;
        buffer.assign(length, 0);
        want = length;
        have = 0;
        if (length == 0) return {Status::ok, {}};
    }
    end();
    return {Status::ended, {}};
}

} // namespace Platform
