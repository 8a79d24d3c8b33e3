// A PDF worker that misbehaves on purpose, for the tests of the reader's side
// of the worker boundary. Started in place of folmira-pdf-worker (named by
// FOLMIRA_PDF_WORKER) through a link named for how it misbehaves, so that idle
// workers started for one way are never taken for another:
//   segv, abort, killed  dies so at start, before its hello
//   other-version  says hello as a worker of another build
//   unknown-request  exits as a worker does on a request it doesn't know
//   wrong-id   answers its opening as if it were another request
//   early      answers its opening, and the next request ahead of it
//   page-id    answers its opening (one page), and every page as if it were another request
//   oversized  every reply's header claims 2 GiB, and nothing follows
//   garbage    every reply is a megabyte of random bytes under a sound header
//   nan        the opening is sound (one page); a page's word is NaN wide
//   infinite   the opening is sound; a page's word has an infinite font size
//   count      the opening claims more pages than its reply holds
//   cut        every reply stops a few bytes into what its header claims
//   sleep      waits, using no CPU time, instead of answering
//   write      tries to change the document (write, shrink, grow, map for
//              writing) and answers with one byte per try: 1 when it worked
//   confine    confined as the real worker is, tries what it must not do
//              (open, connect, trace, run, leave its group, reach another
//              process or a file's metadata) and answers with the errno of
//              each (see confinedTries)
//   confine-terminal  the same, but it tries typing into the terminal the
//              app was started from (see typedTries)
//   spent      the opening is sound; a page with a picture comes back
//              saying it took a minute of CPU time (fresh: a millisecond)
//   amplify    the opening is sound (20 pages); each page's reading is as many
//              empty lines as a reply may carry: a 32 MB reply that decodes
//              to 3.4 times its size
//   fitting    the same with as many empty lines as a reading may decode to
//              (PDFLimits::readingBytes); no worker sends a line without words
//   copy-app, copy-child  the opening and pages are sound; asked for a
//              copy of itself, it answers with a socket whose hello carries
//              the sender's credentials, and the id of its own parent (the
//              app; the hello is its own), or of a child it forked itself
//              (which says the hello)
//   copy-other the same, but the copy named is another child of the app's
//              (the pid in FOLMIRA_FAKE_OTHER_CHILD), the hello its own
//   no-copy    the same, but it can make no copy, as a worker out of processes
//   pool       the opening is sound (20 pages), and so are its pages; asked
//              for a copy, it makes one as the worker does (a child of the
//              app's, with a socket of its own)
//   late-copy  the same, but the copy says hello after 3 s
//   silent-copy  the same, but the copy never says hello
//   half-hello the same, but the copy sends 3 bytes of its hello, and no more
//   copy-self  as copy-app, but the copy named is the worker itself
//   long-pool  the same, but opening keeps 100 MB written, as a long
//              document's page tree does, shared with its copies
//   two-fds    the same, but the copy's socket comes with a second descriptor
//   claim      the opening claims as many pages as a document may have
//              (PDFLimits::documentPages), and each page is read as a sound
//              paragraph of words of its own
//   stall, spin  the opening is sound (20 pages); a page is never answered:
//              it waits using no CPU time, or spins; it makes no copy
//   half, trickle  the same, but a page's reply is sent in part and no more,
//              or a byte every half second
//   echo       (or any other name) answers with the document's first 64
//              bytes as it sees them
// It never closes what it inherited, so that the tests see what the app lets
// through to a worker.

#include "FolmiraKit/PDF/Limits.h"
#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/PdfHelper/PdfWorkerSocket.h"
#include "Platform/PdfHelper/WireFormat.h"
#include "Platform/PdfHelper/WorkerConfine.h"

#include <fcntl.h>
#include <linux/keyctl.h>
#include <linux/sched.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <sys/ptrace.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <csignal>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

using namespace Platform;
namespace Reader = FolmiraKit::PDFReader;

namespace {

constexpr int socketFd = 3;

bool readAll(void* into, std::size_t size)
{
    auto* p = static_cast<std::uint8_t*>(into);
    while (size > 0) {
        ssize_t n = read(socketFd, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int receiveDocument()
{
    std::uint8_t limits[16];
    PdfWorkerSocket::OneFdMessage message(limits, sizeof limits);
    if (recvmsg(socketFd, &message.header, 0) <= 0) return -1;
    int fd = -1;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message.header); c; c = CMSG_NXTHDR(&message.header, c))
        if (c->cmsg_type == SCM_RIGHTS) std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
    return fd;
}

std::uint32_t requestId = 0; // of the request being answered

void send(const Bytes& payload, std::uint32_t claimed, std::uint32_t cpuMilliseconds = 1, std::uint32_t id = requestId,
          PdfWorkerSocket::Outcome outcome = PdfWorkerSocket::Outcome::ok)
{
    WireWriter header;
    header.u32(claimed);
    header.u32(id);
    header.u8(static_cast<std::uint8_t>(outcome));
    header.u32(cpuMilliseconds);
    header.u32(1); // its one "child": itself
    PdfWorkerSocket::sendWhole(socketFd, header.data());
    PdfWorkerSocket::sendWhole(socketFd, payload);
}

Bytes tries(int fd)
{
    Bytes worked;
    worked.push_back(pwrite(fd, "%XXX", 4, 0) == 4);
    worked.push_back(ftruncate(fd, 4) == 0);
    worked.push_back(ftruncate(fd, 1 << 20) == 0);
    void* map = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    worked.push_back(map != MAP_FAILED);
    if (map != MAP_FAILED) std::memcpy(map, "%YYY", 4);
    return worked;
}

// What `attempt`, made in a child of this process, got: 0 when it worked,
// else its errno (the child's exit status).
std::uint8_t inAChild(const std::function<int()>& attempt)
{
    const pid_t child = fork();
    if (child == 0) _exit(attempt() == 0 ? 0 : std::clamp(errno, 1, 255));
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 255;
    return static_cast<std::uint8_t>(WEXITSTATUS(status));
}

// 0 when `result` says the call worked, else its errno.
std::uint8_t refusal(long result)
{
    return result >= 0 ? 0 : static_cast<std::uint8_t>(std::clamp(errno, 1, 255));
}

// Confined as the real worker is, what it still may do, one byte each (0
// when it worked, else the errno it got), in the order of the test's table:
// files, sockets, other processes, programs, sessions, its own memory, the
// limits, scheduling and signals of others, metadata, keys, namespaces, the
// terminal. Then what it reads of its own readability (PR_GET_DUMPABLE).
// Another process of the user's is named in FOLMIRA_FAKE_OTHER_PROCESS, a
// file of the user's in FOLMIRA_FAKE_USER_FILE.
Bytes confinedTries()
{
    Bytes got;
    auto opens = [](const std::string& path, int flags) {
        const int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
        if (fd >= 0) close(fd);
        return refusal(fd);
    };
    const std::string created = std::filesystem::temp_directory_path() / ("folmira-confined-" + std::to_string(getpid()));
    const char* otherText = std::getenv("FOLMIRA_FAKE_OTHER_PROCESS");
    const pid_t other = otherText ? std::atoi(otherText) : 0;
    const char* userFileText = std::getenv("FOLMIRA_FAKE_USER_FILE");
    const std::string userFile = userFileText ? userFileText : "/nonexistent";
    got.push_back(opens("/usr/share", O_RDONLY | O_DIRECTORY));
    got.push_back(opens("/etc/passwd", O_RDONLY));
    got.push_back(opens(created, O_CREAT | O_RDWR));
    unlink(created.c_str());
    got.push_back(opens("/proc/self/comm", O_WRONLY));
    const int internet = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    got.push_back(refusal(internet));
    if (internet >= 0) close(internet);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path + 1, "folmira-confined"); // abstract: no file
    got.push_back(refusal(connect(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address)));
    const pid_t app = getppid();
    got.push_back(inAChild([app] { return ptrace(PTRACE_SEIZE, app, nullptr, nullptr); }));
    got.push_back(opens("/proc/" + std::to_string(app) + "/mem", O_RDONLY));
    got.push_back(inAChild([app] {
        char byte = 0, own = 1;
        iovec local{&byte, 1}, remote{&own, 1}; // any address of the app's: one byte of this copy's stack
        return static_cast<int>(process_vm_readv(app, &local, 1, &remote, 1, 0));
    }));
    got.push_back(inAChild([] {
        char* argv[] = {const_cast<char*>("true"), nullptr};
        return execve("/bin/true", argv, environ);
    }));
    got.push_back(inAChild([] { return static_cast<int>(setsid()); }));
    got.push_back(inAChild([] { return setpgid(0, 0); }));
    got.push_back(inAChild([] { return prctl(PR_SET_DUMPABLE, 1, 0, 0, 0); }));
    got.push_back(inAChild([] { return prctl(PR_SET_PDEATHSIG, 0, 0, 0, 0); }));
    // Another process's limits and scheduling (read or set to what they are: harmless where they pass).
    got.push_back(refusal(fcntl(socketFd, F_SETOWN, other)));
    got.push_back(refusal(prlimit(other, RLIMIT_CPU, nullptr, nullptr) == 0 ? 0 : -1));
    // Another process that holds no more than it does (the app may hold root's capabilities, which the
    // kernel itself keeps from a process that holds none).
    got.push_back(inAChild([other] { return ptrace(PTRACE_SEIZE, other, nullptr, nullptr); }));
    got.push_back(inAChild([other] {
        char byte = 0, own = 1;
        iovec local{&byte, 1}, remote{&own, 1};
        return static_cast<int>(process_vm_readv(other, &local, 1, &remote, 1, 0));
    }));
    got.push_back(refusal(setpriority(PRIO_PROCESS, static_cast<id_t>(other), 0)));
    cpu_set_t cpus;
    sched_getaffinity(0, sizeof cpus, &cpus);
    got.push_back(refusal(sched_setaffinity(other, sizeof cpus, &cpus)));
    // Signals to it (none sent: 0 only asks whether it could be).
    got.push_back(refusal(kill(other, 0)));
    got.push_back(refusal(syscall(SYS_tgkill, other, other, 0)));
    // A file of the user's: its mode, times, attributes, length.
    got.push_back(refusal(chmod(userFile.c_str(), 0600)));
    got.push_back(refusal(utimensat(AT_FDCWD, userFile.c_str(), nullptr, 0)));
    got.push_back(refusal(setxattr(userFile.c_str(), "user.folmira", "x", 1, 0)));
    got.push_back(refusal(truncate(userFile.c_str(), 0)));
    // The user's keys.
    got.push_back(refusal(syscall(SYS_keyctl, KEYCTL_GET_KEYRING_ID, KEY_SPEC_USER_KEYRING, 0)));
    got.push_back(refusal(syscall(SYS_add_key, "user", "folmira", "x", 1, KEY_SPEC_PROCESS_KEYRING)));
    // New namespaces, a child of the app's; clone3's flags can't be checked, so it is missing.
    auto clone3 = [](std::uint64_t flags) {
        return [flags] {
            clone_args args{};
            args.flags = flags;
            args.exit_signal = SIGCHLD;
            const long made = syscall(SYS_clone3, &args, sizeof args);
            if (made == 0) _exit(0);
            return made < 0 ? -1 : 0;
        };
    };
    got.push_back(inAChild(clone3(CLONE_NEWUSER)));
    got.push_back(inAChild(clone3(CLONE_PARENT)));
    got.push_back(inAChild([] { return unshare(CLONE_NEWUSER | CLONE_NEWNET); }));
    got.push_back(inAChild([] {
        const long made = syscall(SYS_clone, CLONE_NEWUSER | SIGCHLD, nullptr, nullptr, nullptr, 0);
        if (made == 0) _exit(0);
        return made < 0 ? -1 : 0;
    }));
    // A request's child makes no child of the app's, as a worker's copy is.
    got.push_back(inAChild([] {
        WorkerConfine::forkNothing();
        const long made = syscall(SYS_clone, CLONE_PARENT | SIGCHLD, nullptr, nullptr, nullptr, 0);
        if (made == 0) _exit(0);
        return made < 0 ? -1 : 0;
    }));
    // Its own hard caps, lifted.
    got.push_back(inAChild([] {
        rlimit now{};
        getrlimit(RLIMIT_AS, &now);
        if (!WorkerConfine::capHard(std::int64_t{1} << 40, 1000)) return -1;
        const rlimit lifted{RLIM_INFINITY, RLIM_INFINITY};
        return setrlimit(RLIMIT_AS, &lifted);
    }));
    // Typing into a terminal (its stdin is /dev/null: the filter answers before the terminal would).
    char typed = 'x';
    got.push_back(refusal(ioctl(0, TIOCSTI, &typed)));
    got.push_back(refusal(sigqueue(other, 0, sigval{})));
    // A copy, its signals kept in its own group: neither the worker it was made from nor that one's group,
    // whom the worker's own filter lets it signal (Landlock's scoping would not tell them apart).
    const pid_t worker = getpid();
    got.push_back(inAChild([worker] {
        WorkerConfine::keepSignalsInOwnGroup();
        return kill(worker, 0);
    }));
    got.push_back(inAChild([worker] {
        WorkerConfine::keepSignalsInOwnGroup();
        return kill(-getpgrp(), 0);
    }));
    got.push_back(inAChild([worker] {
        WorkerConfine::keepSignalsInOwnGroup();
        return static_cast<int>(syscall(SYS_tgkill, worker, worker, 0));
    }));
    got.push_back(inAChild([] {
        WorkerConfine::keepSignalsInOwnGroup();
        return kill(0, 0);
    }));
    // A capability still held (root's): 0 when one is, EPERM when none.
    char status[4096];
    const char* effective = PdfWorkerSocket::readSmallFile("/proc/self/status", status, sizeof status)
                                ? std::strstr(status, "CapEff:")
                                : nullptr;
    got.push_back(effective && std::strtoull(effective + 7, nullptr, 16) == 0 ? EPERM : 0);
    got.push_back(static_cast<std::uint8_t>(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0)));
    return got;
}

// Confined as the real worker is, started by an app that holds a terminal:
// typing into it (TIOCSTI) through each standard stream and through the
// terminal the process would control, one byte each (0 when typed, else the
// errno).
Bytes typedTries()
{
    Bytes got;
    const char typed = 'x';
    for (int stream : {0, 1, 2}) got.push_back(refusal(ioctl(stream, TIOCSTI, &typed)));
    const int terminal = open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    got.push_back(terminal < 0 ? refusal(terminal) : refusal(ioctl(terminal, TIOCSTI, &typed)));
    if (terminal >= 0) close(terminal);
    return got;
}

Bytes reading(bool nan, bool infinite)
{
    Reader::Word word{"Apples", {72, 700, nan ? std::nan("") : 40.0, 12}, infinite ? INFINITY : 12.0};
    Reader::PageReading page;
    page.fetched = true;
    page.text.words.words = {word};
    page.text.lines = {Reader::makeLine({word})};
    return Reader::encode(page);
}

Bytes pictured()
{
    Reader::PageReading page;
    page.fetched = true;
    for (const char* text : {"A", "page", "with", "a", "picture", "below."}) {
        Reader::Word word{text, {72, 700, 30, 12}, 12};
        page.text.words.words.push_back(word);
    }
    page.text.lines = {Reader::makeLine(page.text.words.words)};
    page.pictures = {{72, 300, 200, 200}};
    page.drawn = page.pictures;
    return Reader::encode(page);
}

// Page `index` as a sound paragraph of four lines, its words spelled from
// the index so that no line repeats from page to page.
Bytes ownWords(std::int32_t index)
{
    Reader::PageReading page;
    page.fetched = true;
    std::string name;
    for (auto rest = static_cast<std::uint32_t>(index);; rest /= 26) {
        name += static_cast<char>('a' + rest % 26);
        if (rest < 26) break;
    }
    for (int line = 0; line < 4; ++line) {
        std::vector<Reader::Word> words;
        for (const std::string& text : {std::string("The"), name, std::string("pages"), std::string("run")})
            words.push_back({text, {72.0 + 40 * static_cast<double>(words.size()), 700.0 - 14 * line, 36, 12}, 12});
        page.text.words.words.insert(page.text.words.words.end(), words.begin(), words.end());
        page.text.lines.push_back(Reader::makeLine(words));
    }
    return Reader::encode(page);
}

// A page's reading of empty lines: `wire` bytes of them, or those that decode to `decoded` bytes.
Bytes emptyLines(std::size_t wire, std::size_t decoded)
{
    Reader::PageReading page;
    page.fetched = true;
    const std::size_t lineBytes = 8 + 32 + 2; // no words, a rectangle, no picture, no break
    page.text.lines.assign(std::min((wire - 64) / lineBytes, decoded / sizeof(Reader::Line)),
                           Reader::Line{{}, {72, 700, 10, 10}, std::nullopt, false});
    return Reader::encode(page);
}

// The reply to a copy request that names `pid` as the copy.
Bytes copyReply(pid_t pid)
{
    WireWriter message;
    message.u32(4);
    message.u32(requestId);
    message.u8(0);
    message.u32(1);
    message.u32(1);
    message.u32(static_cast<std::uint32_t>(pid));
    return message.take();
}

// Answers a copy request with `socket` and `pid` as the copy's.
void falseCopy(pid_t pid, int socket)
{
    PdfWorkerSocket::sendWithFd(socketFd, copyReply(pid), socket);
}

// Asked for a copy of itself: one made as the worker makes it, a child of
// the app's with a socket of its own that says hello after `delay`. Returns
// in both: the copy goes on serving as a copy.
void copyOfItself(std::chrono::milliseconds delay, bool twoFds, bool halfHello = false)
{
    int pair[2];
    socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
    const int yes = 1;
    setsockopt(pair[0], SOL_SOCKET, SO_PASSCRED, &yes, sizeof yes);
    const pid_t client = getppid();
    const auto copy = static_cast<pid_t>(syscall(SYS_clone, CLONE_PARENT | SIGCHLD, nullptr, nullptr, nullptr, 0));
    if (copy == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != client) _exit(0);
        setpgid(0, 0);
        close(pair[0]);
        dup2(pair[1], socketFd);
        close(pair[1]);
        // One that won't say hello in an hour goes by a name the test can find it by.
        if (delay >= std::chrono::hours(1)) prctl(PR_SET_NAME, "unproven-copy");
        std::this_thread::sleep_for(delay);
        if (halfHello) {
            PdfWorkerSocket::sendWhole(socketFd, PdfWorkerSocket::hello().data(), 3);
            pause();
        }
        PdfWorkerSocket::sendWhole(socketFd, PdfWorkerSocket::hello());
        return;
    }
    close(pair[1]);
    if (!twoFds) {
        falseCopy(copy, pair[0]);
    } else {
        Bytes message = copyReply(copy);
        const int fds[2] = {pair[0], dup(pair[0])};
        iovec part{message.data(), message.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof fds)] = {};
        msghdr header{};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&header);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof fds);
        std::memcpy(CMSG_DATA(c), fds, sizeof fds);
        sendmsg(socketFd, &header, MSG_NOSIGNAL);
        close(fds[1]);
    }
    close(pair[0]);
}

Bytes opening(int pages)
{
    Reader::DocumentOpening open;
    open.state = Reader::DocumentOpening::State::opened;
    open.allowsCopying = true;
    open.cropBoxes.assign(static_cast<std::size_t>(pages), Rect{0, 0, 612, 792});
    return Reader::encode(open);
}

} // namespace

int main(int, char** argv)
{
    const std::string mode = std::filesystem::path(argv[0]).filename().string();
    // Dying at start, before its hello: a broken installation, not the document.
    if (mode == "segv") raise(SIGSEGV);
    if (mode == "abort") abort();
    if (mode == "killed") raise(SIGKILL);
    if (mode.rfind("confine", 0) == 0) { // "confine2": under Landlock 2, as the test asks
        Platform::WorkerConfine::leaveTerminal();
        if (!Platform::WorkerConfine::confine()) return PdfWorkerSocket::failed;
    }
    Bytes hello = PdfWorkerSocket::hello();
    if (mode == "other-version") hello.back() ^= 0x7F;
    PdfWorkerSocket::sendWhole(socketFd, hello);
    const int document = receiveDocument();
    if (document < 0) return 0;
    std::mt19937 random(7);
    while (true) {
        std::uint8_t length[4];
        if (!readAll(length, 4)) return 0;
        Bytes request(WireReader(length, 4).u32());
        if (!readAll(request.data(), request.size())) return 0;
        requestId = WireReader(request).u32();
        request.erase(request.begin(), request.begin() + 4);
        const bool open = request[0] == static_cast<std::uint8_t>(Reader::WorkerRequest::open);
        if (mode == "unknown-request") {
            return PdfWorkerSocket::unknownRequest; // as a worker of another build would
        } else if (mode == "wrong-id" || mode == "early") {
            // "wrong-id" answers every request as if it were another; "early"
            // answers its opening, then the next request's page ahead of it,
            // guessing its id as the one after.
            // In one write: the page ahead is there once the opening's reply is read.
            auto add = [](const Bytes& payload, std::uint32_t id) {
                WireWriter replies;
                replies.u32(static_cast<std::uint32_t>(payload.size()));
                replies.u32(id);
                replies.u8(0);
                replies.u32(1);
                replies.u32(1);
                Bytes framed = replies.take();
                framed.insert(framed.end(), payload.begin(), payload.end());
                return framed;
            };
            Bytes both = add(opening(1), mode == "wrong-id" ? requestId + 1 : requestId);
            if (mode == "early") {
                const Bytes page = add(pictured(), requestId + 1);
                both.insert(both.end(), page.begin(), page.end());
            }
            PdfWorkerSocket::sendWhole(socketFd, both);
        } else if (mode == "page-id") {
            Bytes reply = open ? opening(1) : reading(false, false);
            send(reply, static_cast<std::uint32_t>(reply.size()), 1, open ? requestId : requestId + 1);
        } else if (mode == "oversized") {
            send({}, 0x7FFFFFFF);
            pause();
        } else if (mode == "garbage") {
            Bytes junk(1 << 20);
            for (auto& b : junk) b = static_cast<std::uint8_t>(random());
            send(junk, static_cast<std::uint32_t>(junk.size()));
        } else if (mode == "no-copy" && request[0] == PdfWorkerSocket::copyTag) {
            send({}, 0, 1, requestId, PdfWorkerSocket::Outcome::crashed); // as a worker out of processes
        } else if (mode == "copy-other" && request[0] == PdfWorkerSocket::copyTag) {
            int pair[2];
            socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
            const int yes = 1;
            setsockopt(pair[0], SOL_SOCKET, SO_PASSCRED, &yes, sizeof yes);
            PdfWorkerSocket::sendWhole(pair[1], PdfWorkerSocket::hello());
            const char* other = std::getenv("FOLMIRA_FAKE_OTHER_CHILD");
            falseCopy(static_cast<pid_t>(other ? std::atoi(other) : 0), pair[0]);
            close(pair[0]);
            close(pair[1]);
        } else if ((mode == "copy-app" || mode == "copy-child" || mode == "copy-self") &&
                   request[0] == PdfWorkerSocket::copyTag) {
            // Its hello carries who sent it: only the checks of who that is refuse it.
            int pair[2];
            socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
            const int yes = 1;
            setsockopt(pair[0], SOL_SOCKET, SO_PASSCRED, &yes, sizeof yes);
            const pid_t pid = mode == "copy-app" ? getppid() : mode == "copy-self" ? getpid() : fork();
            if (pid == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);
                PdfWorkerSocket::sendWhole(pair[1], PdfWorkerSocket::hello());
                pause();
            }
            if (mode != "copy-child") PdfWorkerSocket::sendWhole(pair[1], PdfWorkerSocket::hello());
            falseCopy(pid, pair[0]);
            close(pair[0]);
            close(pair[1]);
        } else if ((mode == "pool" || mode == "late-copy" || mode == "silent-copy" || mode == "two-fds" ||
                    mode == "long-pool" || mode == "half-hello") &&
                   request[0] == PdfWorkerSocket::copyTag) {
            const auto delay = mode == "late-copy" ? std::chrono::milliseconds(3000)
                               : mode == "silent-copy" ? std::chrono::milliseconds(std::chrono::hours(1))
                                                       : std::chrono::milliseconds(0);
            copyOfItself(delay, mode == "two-fds", mode == "half-hello");
        } else if (mode == "pool" || mode == "late-copy" || mode == "silent-copy" || mode == "two-fds" ||
                   mode == "long-pool" || mode == "half-hello") {
            static Bytes pageTree;
            if (open && mode == "long-pool") pageTree.assign(std::size_t{100} << 20, 1);
            Bytes reply = open ? opening(20) : reading(false, false);
            send(reply, static_cast<std::uint32_t>(reply.size()));
        } else if (mode == "claim") {
            Bytes reply = open ? opening(static_cast<int>(FolmiraKit::PDFLimits::documentPages))
                               : ownWords(WireReader(request.data() + PdfWorkerSocket::requestHeader - 4, 4).i32());
            send(reply, static_cast<std::uint32_t>(reply.size()));
        } else if (mode == "stall" || mode == "spin" || mode == "half" || mode == "trickle") {
            if (open) {
                Bytes reply = opening(20);
                send(reply, static_cast<std::uint32_t>(reply.size()));
            } else if (request[0] == PdfWorkerSocket::copyTag) {
                send({}, 0, 1, requestId, PdfWorkerSocket::Outcome::crashed);
            } else if (mode == "half") {
                send(Bytes(10, 0), 1000);
                pause();
            } else if (mode == "trickle") {
                WireWriter reply;
                reply.u32(1000);
                reply.u32(requestId);
                reply.u8(0);
                reply.u32(1);
                reply.u32(1);
                Bytes bytes = reply.take();
                bytes.resize(bytes.size() + 1000);
                for (std::uint8_t byte : bytes) {
                    PdfWorkerSocket::sendWhole(socketFd, &byte, 1);
                    std::this_thread::sleep_for(std::chrono::milliseconds(500));
                }
            } else {
                for (volatile bool spinning = mode == "spin"; spinning;) {
                }
                pause();
            }
        } else if (mode == "nan" || mode == "infinite" || mode == "copy-app" || mode == "copy-child" ||
                   mode == "copy-self" || mode == "copy-other" || mode == "no-copy") {
            Bytes reply = open ? opening(1) : reading(mode == "nan", mode == "infinite");
            send(reply, static_cast<std::uint32_t>(reply.size()));
        } else if (mode == "spent" || mode == "fresh") {
            const bool reading = request[0] == static_cast<std::uint8_t>(Reader::WorkerRequest::readPage);
            Bytes reply = open ? opening(1) : reading ? pictured() : Reader::encode(std::vector<std::optional<Bytes>>(1));
            send(reply, static_cast<std::uint32_t>(reply.size()), reading && mode == "spent" ? 60'000 : 1);
        } else if (mode == "amplify" || mode == "fitting") {
            const std::size_t wire = std::size_t{32} << 20;
            Bytes reply = open ? opening(20) : emptyLines(wire, mode == "amplify" ? SIZE_MAX : FolmiraKit::PDFLimits::readingBytes);
            send(reply, static_cast<std::uint32_t>(reply.size()));
        } else if (mode == "count") {
            Bytes reply = opening(3);
            reply.resize(reply.size() - 33); // one crop box short of the count
            send(reply, static_cast<std::uint32_t>(reply.size()));
        } else if (mode == "cut") {
            send(Bytes(10, 0), 1000);
            return 0;
        } else if (mode == "sleep") {
            pause();
        } else if (mode.rfind("confine", 0) == 0) {
            Bytes reply = mode == "confine-terminal" ? typedTries() : confinedTries();
            send(reply, static_cast<std::uint32_t>(reply.size()));
        } else if (mode == "write") {
            Bytes reply = tries(document);
            send(reply, static_cast<std::uint32_t>(reply.size()));
        } else {
            Bytes first(64);
            first.resize(static_cast<std::size_t>(std::max<ssize_t>(0, pread(document, first.data(), 64, 0))));
            send(first, static_cast<std::uint32_t>(first.size()));
        }
    }
}
