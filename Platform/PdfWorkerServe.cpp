// The worker's side. Limits: the address space is capped once, before the
// document is opened, at what the process already maps plus the page budget,
// so Poppler's allocations past it fail (glib and Poppler then abort, C++
// throws bad_alloc: either way the worker ends). CPU time is capped per
// request with ITIMER_PROF, re-armed before each one: its signal's default
// action ends the process, wherever Poppler is at, word merging included.

#include "Platform/PdfWorker.h"

#include "Platform/PdfWorkerSocket.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <string>

namespace Platform {

namespace {

constexpr int socketFd = 3;

enum Exit { done = 0, usage = 2, noInput = 3, outOfMemory = 4, failed = 5, unknownRequest = 6 };

void armCpu(long milliseconds)
{
    itimerval timer{};
    timer.it_value.tv_sec = milliseconds / 1000;
    timer.it_value.tv_usec = (milliseconds % 1000) * 1000;
    setitimer(ITIMER_PROF, &timer, nullptr);
}

// The process's virtual size now, in bytes; 0 when it can't be told.
std::int64_t virtualSize()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::atoll(line.c_str() + 7) * 1024;
    return 0;
}

void capAddressSpace(std::int64_t pageBytes)
{
#if defined(__SANITIZE_ADDRESS__)
    (void)pageBytes; // the sanitizer reserves terabytes of address space up front
#else
    std::int64_t base = virtualSize();
    if (base <= 0 || pageBytes <= 0) return;
    rlimit limit{static_cast<rlim_t>(base + pageBytes), static_cast<rlim_t>(base + pageBytes)};
    setrlimit(RLIMIT_AS, &limit);
#endif
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

std::shared_ptr<const Bytes> readInput(int fd)
{
    struct stat info{};
    if (fstat(fd, &info) != 0 || info.st_size <= 0) return nullptr;
    auto bytes = std::make_shared<Bytes>(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes->size()) {
        ssize_t n = pread(fd, bytes->data() + done, bytes->size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return nullptr;
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

// The first message: the limits, with the document's memory file attached.
struct Document {
    int fd = -1;
    long cpuMilliseconds = 0;
    std::int64_t memoryBytes = 0;
};

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
    std::size_t got = static_cast<std::size_t>(n);
    while (got < sizeof limits) {
        ssize_t more = read(socketFd, limits + got, sizeof limits - got);
        if (more < 0 && errno == EINTR) continue;
        if (more <= 0) return std::nullopt;
        got += static_cast<std::size_t>(more);
    }
    WireReader reader(limits, sizeof limits);
    document.cpuMilliseconds = static_cast<long>(reader.i64());
    document.memoryBytes = reader.i64();
    if (document.fd < 0) return std::nullopt;
    return document;
}

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

int serve(const PdfDocument::Opened& document, std::span<const PdfWorkerRequest> handlers, long cpuMilliseconds)
{
    while (true) {
        std::uint8_t header[4];
        if (!readAll(header, 4)) return done; // the client went away
        std::uint32_t length = WireReader(header, 4).u32();
        if (length == 0) return usage;
        Bytes message(length);
        if (!readAll(message.data(), length)) return done;
        const PdfWorkerRequest* handler = nullptr;
        for (const PdfWorkerRequest& h : handlers)
            if (h.tag == message[0]) handler = &h;
        if (!handler || !handler->handle) return unknownRequest;

        WireReader request(message.data() + 1, message.size() - 1);
        armCpu(cpuMilliseconds);
        Bytes reply = handler->handle(document, request);
        armCpu(0);
        WireWriter frame;
        frame.u32(static_cast<std::uint32_t>(reply.size()));
        Bytes out = frame.take();
        out.insert(out.end(), reply.begin(), reply.end());
        if (!PdfWorkerSocket::sendWhole(socketFd, out)) return done;
    }
}

} // namespace

int servePdfWorker(std::span<const PdfWorkerRequest> handlers)
{
    try {
        warmUp();
        // Waiting here, idle, until a read needs a worker.
        auto received = receiveDocument();
        if (!received) return done;
        if (received->cpuMilliseconds <= 0) return usage;
        auto bytes = readInput(received->fd);
        close(received->fd);
        if (!bytes) return noInput;
        capAddressSpace(received->memoryBytes);
        armCpu(received->cpuMilliseconds);
        PdfDocument::Opened document = PdfDocument::openShared(std::move(bytes));
        armCpu(0);
        return serve(document, handlers, received->cpuMilliseconds);
    } catch (const std::bad_alloc&) {
        return outOfMemory;
    } catch (...) {
        return failed;
    }
}

} // namespace Platform
