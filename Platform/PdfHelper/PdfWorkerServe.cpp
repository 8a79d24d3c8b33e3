// The worker's side. Once started, the worker says hello (its version); then
// it maps the document's sealed memory file read only (its bytes are shared
// by every worker, not copied into each) and opens it once, at its first
// request, under the opening's limits, loading there what every page needs
// (the page tree). Each request is then answered by a child forked from the
// opened worker: before every request the child caps its address space at
// what it maps plus the request's share, and its CPU time with ITIMER_PROF,
// whose signal's default action ends it wherever Poppler is at. A child that
// dies of a limit, or crashes, leaves the opened worker as it was: the worker
// says so in the request's reply and forks a fresh child, so a page left out
// costs no second opening of a long document. A child that owns much memory
// of its own (Poppler's caches) is replaced likewise. Every reply carries the
// id of the request it answers. A batch of requests is answered by the child
// in turn under the limits of one; a child that dies at one of them says
// which, so the client can ask that one again alone. Asked for a copy of itself, the opened worker
// makes one that shares what it loaded, so that more workers read a document
// without opening it again.

#include "Platform/PdfHelper/PdfWorker.h"

#include "Platform/PdfHelper/PdfWorkerSocket.h"
#include "Platform/PdfHelper/ProcStat.h"
#include "Platform/PdfHelper/WorkerConfine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>

namespace Platform {

namespace {

using PdfWorkerSocket::Outcome;
using namespace PdfWorkerSocket; // Exit

constexpr int socketFd = 3;
// A child that owns this much more memory than when it was forked (Poppler's
// caches, pages of the worker it wrote to) is replaced after its reply.
constexpr std::int64_t grownBytes = std::int64_t{32} << 20;

void armCpu(long milliseconds)
{
    itimerval timer{};
    timer.it_value.tv_sec = milliseconds / 1000;
    timer.it_value.tv_usec = (milliseconds % 1000) * 1000;
    setitimer(ITIMER_PROF, &timer, nullptr);
}

long cpuMillisecondsNow()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<long>(now.tv_sec * 1000 + now.tv_nsec / 1'000'000);
}

// The process's virtual size now, in bytes; 0 when it can't be told. Read
// before every request: one short read, no allocation. (Unused where the
// address space is not capped: under AddressSanitizer.)
[[maybe_unused]] std::int64_t virtualSize()
{
    char text[64];
    if (!PdfWorkerSocket::readSmallFile("/proc/self/statm", text, sizeof text)) return 0;
    return std::atoll(text) * static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
}

// The memory this process owns alone, in bytes: what it wrote since it was
// forked, not what it shares with the worker it was forked from, nor the
// address space it maps. -1 when it can't be told.
std::int64_t ownedSize()
{
    char text[1024];
    if (!PdfWorkerSocket::readSmallFile("/proc/self/smaps_rollup", text, sizeof text)) return -1;
    const char* line = std::strstr(text, "Private_Dirty:");
    return line ? std::atoll(line + 14) * std::int64_t{1024} : -1;
}

// Whether a child has grown past `grownBytes` of memory of its own. Telling
// that (ownedSize) costs a walk of the child's pages, some milliseconds in a
// long document's worker, so it is told only once the child has faulted in
// that many pages since the last time: a page it makes its own, new or
// copied from the worker on writing, is one fault at least.
class Growth {
public:
    bool grown()
    {
        const long faults = pageFaults();
        if ((faults - faultsChecked_) * pageSize_ <= grownBytes) return false;
        faultsChecked_ = faults;
        const std::int64_t owned = ownedSize();
        return forked_ >= 0 && owned > forked_ + grownBytes;
    }

private:
    static long pageFaults()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_minflt + usage.ru_majflt;
    }
    std::int64_t forked_ = ownedSize();
    long faultsChecked_ = pageFaults();
    std::int64_t pageSize_ = sysconf(_SC_PAGESIZE);
};

// Caps the worker's address space, before it opens the document, at what is
// mapped now plus `bytes` (0: no cap) for the opening and `requestBytes`, the
// most one request of it may ask, for the child answering it: hard limits
// equal to the soft ones, so that a document that takes the worker over
// while it is opened can't lift them, nor anything its children and copies
// run. The two together are held to what they were held to apart.
void capOpening(std::int64_t bytes, std::int64_t requestBytes)
{
#if defined(__SANITIZE_ADDRESS__)
    (void)bytes; // the sanitizer reserves terabytes of address space up front
    (void)requestBytes;
#else
    const std::int64_t base = virtualSize();
    if (base > 0 && bytes > 0) WorkerConfine::capHard(base + bytes + std::max(bytes, requestBytes), 0);
#endif
}

// How far a child's cap of address space may fall short of what a request
// asks (what it maps now plus its share) before a fresh child answers it: a
// child's caps only come down, and what it maps creeps up by a few pages a
// request. As much as it may grow before it is replaced anyway; a request
// cut short by it is tried again alone, in a fresh child, with its whole limit.
constexpr std::int64_t capSlackBytes = grownBytes;
// A child's CPU cap ends it this long after its request's timer should have.
constexpr std::int64_t cpuSlackMilliseconds = 1000;
constexpr std::int64_t cpuRoomMilliseconds = 3000;

// Caps this child for a request of `memoryBytes` beyond what it maps now (0:
// no cap) and `cpuMilliseconds`, hard limits equal to the soft ones, so that
// nothing the request runs can lift them: its address space, and its CPU
// time a second past the request's timer (should the timer be disarmed).
// False when the request needs more than the caps this child holds: a fresh
// child, forked with the worker's caps (which hold the most any of its
// requests asks beside what opening kept), then answers it.
bool capRequest(std::int64_t memoryBytes, long cpuMilliseconds)
{
    rlimit address{}, cpu{};
    if (getrlimit(RLIMIT_AS, &address) != 0 || getrlimit(RLIMIT_CPU, &cpu) != 0) return false;
    std::int64_t addressCap = 0;
#if !defined(__SANITIZE_ADDRESS__)
    const std::int64_t base = virtualSize();
    const bool capped = address.rlim_max != RLIM_INFINITY;
    if (memoryBytes <= 0 || base <= 0) {
        if (capped) return false;
    } else if (!capped || base + memoryBytes <= static_cast<std::int64_t>(address.rlim_max)) {
        addressCap = base + memoryBytes;
    } else if (base + memoryBytes - static_cast<std::int64_t>(address.rlim_max) > capSlackBytes) {
        return false;
    }
#else
    (void)memoryBytes;
#endif
    // The CPU cap counts in whole seconds: set with room for a few seconds of
    // requests, so that a child is replaced for it only now and then.
    const std::int64_t cpuNeeded = cpuMillisecondsNow() + cpuMilliseconds + cpuSlackMilliseconds;
    if (cpu.rlim_max != RLIM_INFINITY && cpuNeeded > static_cast<std::int64_t>(cpu.rlim_max) * 1000) return false;
    const std::int64_t cpuCap = (cpuNeeded + cpuRoomMilliseconds + 999) / 1000;
    return WorkerConfine::capHard(addressCap, cpu.rlim_max == RLIM_INFINITY ? cpuCap : 0);
}

// A page of text read while the worker waits idle: Poppler's and qpdf's
// one-time set-up (tables of glyph names and encodings, the built-in font
// metrics) is then done before a document arrives, not while it is read.
void warmUp()
{
    static const char pdf[] = "%PDF-1.4\n"
                              "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                              "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
                              "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
                              "/Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >> "
                              "endobj\n"
                              "4 0 obj << /Length 36 >> stream\nBT /F1 12 Tf 20 100 Td (Warm) Tj ET\nendstream endobj\n"
                              "trailer << /Root 1 0 R >>\n%%EOF\n";
    auto opened = PdfDocument::open(Bytes(pdf, pdf + sizeof pdf - 1));
    if (!opened.document) return;
    if (auto page = opened.document->page(0)) page->text();
}

// The document's memory file mapped read only: sealed by the client, so no
// worker can change the bytes another reads.
struct Mapping {
    void* at = MAP_FAILED;
    std::size_t size = 0;
    ~Mapping()
    {
        if (at != MAP_FAILED) munmap(at, size);
    }
};

std::shared_ptr<const Mapping> mapInput(int fd)
{
    struct stat info{};
    if (fstat(fd, &info) != 0 || info.st_size <= 0) return nullptr;
    auto mapping = std::make_shared<Mapping>();
    mapping->size = static_cast<std::size_t>(info.st_size);
    mapping->at = mmap(nullptr, mapping->size, PROT_READ, MAP_SHARED, fd, 0);
    if (mapping->at == MAP_FAILED) return nullptr;
    return mapping;
}

// The first message: the CPU time of opening and the most memory one request
// may ask, with the document's memory file attached.
struct Document {
    int fd = -1;
    long cpuMilliseconds = 0;
    std::int64_t requestBytes = 0;
};

bool readAll(void* into, std::size_t size)
{
    auto* p = static_cast<std::uint8_t*>(into);
    while (size > 0) {
        ssize_t n = read(socketFd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<Document> receiveDocument()
{
    std::uint8_t limits[16];
    PdfWorkerSocket::OneFdMessage message(limits, sizeof limits);
    msghdr& header = message.header;
    ssize_t n;
    do n = recvmsg(socketFd, &header, MSG_CMSG_CLOEXEC);
    while (n < 0 && errno == EINTR);
    if (n <= 0) return std::nullopt;
    Document document;
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) std::memcpy(&document.fd, CMSG_DATA(c), sizeof(int));
    if (static_cast<std::size_t>(n) < sizeof limits && !readAll(limits + n, sizeof limits - static_cast<std::size_t>(n)))
        return std::nullopt;
    WireReader reader(limits, sizeof limits);
    document.cpuMilliseconds = static_cast<long>(reader.i64());
    document.requestBytes = reader.i64();
    if (document.fd < 0) return std::nullopt;
    return document;
}

// Where a child is in its request, in memory shared with the worker: a child
// that dies while handling gets its reply from the worker, tied to the
// request it was at and told past its CPU time only when it spent it; one
// that dies while sending has left the socket mid-frame, and the worker can
// only end.
enum Phase : int { waiting = 0, handling = 1, sending = 2, copyAsked = 3 };
struct Shared {
    std::atomic<int> phase{waiting};
    std::atomic<std::uint32_t> id{0};
    std::atomic<long> cpuMilliseconds{0};
    std::atomic<std::uint32_t> children{0}; // forked so far
    std::atomic<bool> batch{false};          // the request is a batch
    std::atomic<std::uint32_t> item{0};      // which of the batch's requests the child is at
};

bool sendReply(const Shared& shared, Outcome outcome, long cpuMilliseconds, const Bytes& sent)
{
    WireWriter header;
    header.u32(static_cast<std::uint32_t>(sent.size()));
    header.u32(shared.id);
    header.u8(static_cast<std::uint8_t>(outcome));
    header.u32(static_cast<std::uint32_t>(std::max(0L, cpuMilliseconds)));
    header.u32(shared.children);
    Bytes frame = header.take();
    // One frame, one write: the client wakes once for it.
    frame.insert(frame.end(), sent.begin(), sent.end());
    return PdfWorkerSocket::sendWhole(socketFd, frame);
}

// The reply to a request whose child died at it; a batch's says which of
// its requests that was (the answers before it went with the child).
bool sendEnded(const Shared& shared, Outcome outcome)
{
    WireWriter at;
    if (shared.batch) at.u32(shared.item);
    return sendReply(shared, outcome, 0, at.data());
}

// A batch's requests answered one after another under the one timer armed
// for them all, from the first on: the reply is cut short once it holds as
// many bytes as one reply may (so a batch costs the client no more memory
// than two requests), or once the CPU time spent reaches `spareBy` (half the
// batch's), so that a batch that has spent little of its time is rarely ended
// by the sum of its requests rather than by one of them; the client asks the
// rest again. A damaged batch is a request no client of this build sends.
Bytes answerBatch(const PdfDocument::Opened& document, const PdfWorkerRequest& handler, WireReader& batch,
                  Shared& shared, long spareBy)
{
    const std::uint64_t fullBytes = batch.u64();
    const std::size_t count = batch.count(8);
    if (count == 0) throw WireReader::Short();
    WireWriter out;
    out.u64(0); // how many were answered, set below
    std::size_t answered = 0;
    long before = cpuMillisecondsNow();
    while (answered < count) {
        shared.item = static_cast<std::uint32_t>(answered);
        const std::span<const std::uint8_t> item = batch.view();
        WireReader request(item.data(), item.size());
        const Bytes reply = handler.handle(document, request);
        const long now = cpuMillisecondsNow();
        out.u32(static_cast<std::uint32_t>(std::max(0L, now - before)));
        out.blob(reply);
        before = now;
        ++answered;
        if (out.data().size() >= fullBytes || now >= spareBy) break;
    }
    Bytes reply = out.take();
    for (std::size_t i = 0; i < 8; ++i) reply[i] = static_cast<std::uint8_t>(std::uint64_t{answered} >> (8 * i));
    return reply;
}

// The child's loop: requests until the client goes away or the child has grown.
int serveChild(const PdfDocument::Opened& document, std::span<const PdfWorkerRequest> handlers, Shared& shared,
               pid_t worker)
{
    Growth growth;
    while (true) {
        // The request's limits first, left in the socket: a request this
        // child's caps can't hold is left to a fresh child.
        std::uint8_t head[requestHeader];
        ssize_t peeked;
        do peeked = recv(socketFd, head, sizeof head, MSG_PEEK | MSG_WAITALL);
        while (peeked < 0 && errno == EINTR);
        if (peeked != static_cast<ssize_t>(sizeof head)) return done; // the client went away
        WireReader limits(head + 8, sizeof head - 8);
        const std::uint8_t peekedTag = limits.u8();
        const long peekedCpu = limits.u32();
        if (peekedTag != copyTag && peekedCpu > 0 && !capRequest(limits.i64(), peekedCpu)) return grown;
        std::uint8_t length[4];
        if (!readAll(length, 4)) return done; // the client went away
        const std::uint32_t size = WireReader(length, 4).u32();
        if (size < requestHeader - 4) return usage;
        Bytes message(size);
        if (!readAll(message.data(), size)) return done;
        WireReader request(message);
        const std::uint32_t id = request.u32();
        const std::uint8_t tag = request.u8();
        const long cpuMilliseconds = request.u32();
        request.i64(); // its memory, capped above
        if (tag == copyTag) {
            // Made by the worker, from its state as opened, not from this child's.
            shared.id = id;
            shared.phase = copyAsked;
            return Exit::copying;
        }
        WireReader payload(message.data() + (requestHeader - 4), size - (requestHeader - 4));
        const bool batch = tag == batchTag;
        const std::uint8_t handled = batch ? payload.u8() : tag;
        const PdfWorkerRequest* handler = nullptr;
        for (const PdfWorkerRequest& h : handlers)
            if (h.tag == handled) handler = &h;
        if (!handler || !handler->handle || cpuMilliseconds <= 0) return unknownRequest;

        shared.id = id;
        shared.cpuMilliseconds = cpuMilliseconds;
        shared.batch = batch;
        shared.item = 0;
        shared.phase = handling;
        const long start = cpuMillisecondsNow();
        armCpu(cpuMilliseconds);
        Bytes reply = batch ? answerBatch(document, *handler, payload, shared, start + cpuMilliseconds / 2)
                            : handler->handle(document, payload);
        armCpu(0);
        // A worker ended while this child was at it (a wall-clock bound, a
        // cancel) ends its request too, though its death signal may still be on its way.
        if (getppid() != worker) return done;
        shared.phase = sending;
        if (!sendReply(shared, Outcome::ok, cpuMillisecondsNow() - start, reply)) return done;
        shared.phase = waiting;
        if (growth.grown()) return grown;
    }
}

int childMain(const PdfDocument::Opened& document, std::span<const PdfWorkerRequest> handlers, Shared& shared,
              pid_t worker)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != worker) return done; // the worker died as this child was made
    WorkerConfine::forkNothing();
    try {
        return serveChild(document, handlers, shared, worker);
    } catch (const std::bad_alloc&) {
        return outOfMemory;
    } catch (...) {
        return failed;
    }
}

// The CPU time a process reaped with `usage` spent, in milliseconds.
long cpuMillisecondsOf(const rusage& usage)
{
    return static_cast<long>((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
                             (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000);
}

int serve(const PdfDocument::Opened& document, std::span<const PdfWorkerRequest> handlers);

// Whether this process runs on one thread alone, as the system tells.
bool oneThread()
{
#if defined(__SANITIZE_THREAD__)
    return false; // ThreadSanitizer's runtime can't follow a process made without fork()
#endif
    const std::optional<ProcStat> stat = ProcStat::of(0);
    return stat && stat->threads == 1;
}

// A copy of this worker for the client: made as fork() makes a child, so
// that what opening loaded is shared, not loaded again, but as a child of
// the client (CLONE_PARENT), which reaps it and tells how it ended as it
// does for any worker, and which it dies with. It has a process group of its
// own (the client ends it and the child answering its request together) and
// a socket of its own, whose other end goes to the client with the reply,
// where it says hello first. Made without fork()'s care for other threads,
// it is made only while this worker has none (no lock then is held that the
// copy would find taken); else the client is told no copy was made, and
// opens the document in a worker of its own. False when the client is gone.
bool sendCopy(const PdfDocument::Opened& document, std::span<const PdfWorkerRequest> handlers,
              const Shared& shared)
{
    int pair[2];
    if (!oneThread() || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return sendReply(shared, Outcome::crashed, 0, {});
    // The copy's hello then carries its process id as the kernel tells it.
    const int yes = 1;
    setsockopt(pair[0], SOL_SOCKET, SO_PASSCRED, &yes, sizeof yes);
    const pid_t client = getppid();
    const auto copy = static_cast<pid_t>(syscall(SYS_clone, CLONE_PARENT | SIGCHLD, nullptr, nullptr, nullptr, 0));
    if (copy == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != client) _exit(done);
        WorkerConfine::keepSignalsInOwnGroup();
        close(pair[0]);
        if (dup2(pair[1], socketFd) != socketFd) _exit(failed); // without close-on-exec, as fd 3 was
        close(pair[1]);
        if (!PdfWorkerSocket::sendWhole(socketFd, PdfWorkerSocket::hello())) _exit(done);
        // The client gives the copy a process group of its own (no worker may
        // make one) before its first request: its children are forked in it.
        pollfd asked{socketFd, POLLIN, 0};
        while (poll(&asked, 1, -1) < 0 && errno == EINTR) {
        }
        _exit(serve(document, handlers));
    }
    close(pair[1]);
    if (copy < 0) {
        close(pair[0]);
        return sendReply(shared, Outcome::crashed, 0, {});
    }
    WireWriter message;
    message.u32(4);
    message.u32(shared.id);
    message.u8(static_cast<std::uint8_t>(Outcome::ok));
    message.u32(0);
    message.u32(shared.children);
    message.u32(static_cast<std::uint32_t>(copy));
    const bool sent = PdfWorkerSocket::sendWithFd(socketFd, message.data(), pair[0]);
    close(pair[0]);
    return sent;
}

// Forks children to answer requests, one at a time, until the client goes away.
int serve(const PdfDocument::Opened& document, std::span<const PdfWorkerRequest> handlers)
{
    void* memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return failed;
    auto& shared = *new (memory) Shared;
    const pid_t worker = getpid();
    while (true) {
        shared.phase = waiting;
        ++shared.children;
        pid_t child = fork();
        if (child < 0) return failed;
        if (child == 0) _exit(childMain(document, handlers, shared, worker));
        int status = 0;
        rusage usage{};
        while (wait4(child, &status, 0, &usage) < 0)
            if (errno != EINTR) return failed;
        if (WIFEXITED(status) && WEXITSTATUS(status) == grown) continue;
        if (WIFEXITED(status) && WEXITSTATUS(status) == Exit::copying && shared.phase == copyAsked) {
            if (!sendCopy(document, handlers, shared)) return done;
            continue;
        }
        if (shared.phase == handling) {
            // The request the child was at gets its answer here; the next, a fresh child.
            const bool spent = cpuMillisecondsOf(usage) >= shared.cpuMilliseconds;
            if (!sendEnded(shared, PdfWorkerSocket::outcomeOf(status, spent))) return done;
            continue;
        }
        if (shared.phase == sending) return failed;
        return WIFEXITED(status) ? WEXITSTATUS(status) : failed;
    }
}

} // namespace

int servePdfWorker(std::span<const PdfWorkerRequest> handlers)
{
    // Only the standard streams (/dev/null) and the socket: nothing the app held open, no terminal.
    close_range(socketFd + 1, ~0U, 0);
    WorkerConfine::hideMemory();
    WorkerConfine::leaveTerminal();
    // A worker dies with the app, also when the app was gone before this line.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (const char* parent = std::getenv("FOLMIRA_PDF_WORKER_PARENT"); parent && std::atoll(parent) != getppid())
        return done;
    try {
        warmUp();
        // Before a byte of the document is read: it holds its socket, and the
        // document comes over it already open.
        if (!WorkerConfine::confine()) return failed;
        // Started: the client may now tell this worker from one that died at start.
        if (!PdfWorkerSocket::sendWhole(socketFd, PdfWorkerSocket::hello())) return done;
        // Waiting here, idle, until a read needs a worker.
        auto received = receiveDocument();
        if (!received) return done;
        if (received->cpuMilliseconds <= 0) return usage;
        auto mapping = mapInput(received->fd);
        close(received->fd);
        if (!mapping) return noInput;
        // The document is opened when the first request comes, under the
        // opening's CPU time and that request's memory (which the client sized
        // for the opening too): a worker started ahead that is never asked
        // never opens it at all.
        std::uint8_t first[requestHeader];
        ssize_t peeked;
        do peeked = recv(socketFd, first, sizeof first, MSG_PEEK | MSG_WAITALL);
        while (peeked < 0 && errno == EINTR);
        if (peeked != static_cast<ssize_t>(sizeof first)) return done;
        WireReader limits(first + 13, sizeof first - 13);
        capOpening(limits.i64(), received->requestBytes);
        armCpu(received->cpuMilliseconds);
        PdfDocument::Opened document =
            PdfDocument::openMapped(mapping, static_cast<const std::uint8_t*>(mapping->at), mapping->size);
        // What every page needs (the page tree down to the last page, the
        // cross-reference entries on the way) is loaded here, once, so that
        // every child forked from now on shares it rather than loading it again.
        if (document.document && document.document->pageCount() > 0) {
            document.document->page(document.document->pageCount() - 1);
            // And the fonts the pages mostly share, those of the first: held
            // parsed by each child, they were parsed again by every child
            // forked, with all their object stream packs beside them (a long
            // document's page tree, some 25 ms for 100,000 pages).
            if (auto first = document.document->page(0)) first->holdFonts();
        }
        armCpu(0);
        return serve(document, handlers);
    } catch (const std::bad_alloc&) {
        return outOfMemory;
    } catch (...) {
        return failed;
    }
}

namespace PdfWorkerSocket {

Bytes hello()
{
    WireWriter out;
    out.u32(helloMagic);
    out.u32(version);
    return out.take();
}

Outcome outcomeOf(int status, bool spentItsCpu)
{
    if (WIFSIGNALED(status)) {
        switch (WTERMSIG(status)) {
        case SIGPROF:
        case SIGXCPU: return Outcome::pastCpu;
        case SIGKILL: return spentItsCpu ? Outcome::pastCpu : Outcome::crashed;
        case SIGABRT: return Outcome::pastMemory;
        default: return Outcome::crashed;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == outOfMemory) return Outcome::pastMemory;
    if (WIFEXITED(status) && (WEXITSTATUS(status) == 1 || WEXITSTATUS(status) == usage ||
                              WEXITSTATUS(status) == unknownRequest || WEXITSTATUS(status) > grown))
        return Outcome::notAWorker;
    return Outcome::crashed;
}

} // namespace PdfWorkerSocket

} // namespace Platform
