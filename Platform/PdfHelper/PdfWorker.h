#pragma once

// Reading a PDF page in a process of its own, under hard limits. Poppler's
// cost on a hostile page can't be foreseen from the page's content, so it is
// bounded where it is paid: a worker process (folmira-pdf-worker) opens the
// document once and answers requests about its pages, each in a child forked
// from it under a limit of CPU time, of memory and of wall-clock time. A
// request past a limit, or whose child crashes, reports `ended`, and the next
// request is answered by a fresh child of the same opened worker; a worker
// that dies as a whole, or sends a damaged reply, is replaced by a new one.
// Cheap requests may go several to a batch, under the limits of one, so that
// a page of one line costs no round trip of its own.
//
// Messages are a tag (which request) and a payload in WireFormat; every reply
// carries the id of the request it answers, and a worker says hello with its
// version once started. The client knows nothing of the requests
// themselves; the worker's table of handlers (PdfWorkerRequest) says what
// each tag does.

#include "Platform/Cancel.h"
#include "Platform/PdfDocument.h"
#include "Platform/PdfHelper/WireFormat.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace Platform {

struct PdfWorkerLimits {
    double cpuSeconds = 2;                              // CPU time of one request
    std::int64_t memoryBytes = std::int64_t{500} << 20; // address space of one request beyond what its worker maps
    bool operator==(const PdfWorkerLimits&) const = default;
};

// A document's bytes in a memory file handed to every worker: written once and
// sealed against writing, shrinking and growing, then mapped read only by each
// worker, so the bytes are in memory once however many workers read them.
class PdfWorkerInput {
public:
    // Throws std::system_error when the system gives no sealed memory file.
    explicit PdfWorkerInput(const Bytes& data);
    ~PdfWorkerInput();
    PdfWorkerInput(const PdfWorkerInput&) = delete;
    PdfWorkerInput& operator=(const PdfWorkerInput&) = delete;
    int fd() const { return fd_; }
    std::size_t size() const { return size_; }
    // The objects the document claims to have (PdfTrailer), bounded by what
    // its bytes could hold; 0 when it claims none.
    std::int64_t objects() const { return objects_; }

    // The input of `data`: the one still in use that holds the same bytes
    // (the window's original and the reader open one file at once), else a
    // new one; so a document is in memory once for all its workers. Throws as
    // the constructor does.
    static std::shared_ptr<const PdfWorkerInput> of(const Bytes& data);
    // The same for the file at `path`, copied into the memory file a block
    // at a time, so that a long document's bytes are never held in this
    // process as well. Throws std::system_error when the file can't be read.
    static std::shared_ptr<const PdfWorkerInput> ofFile(const std::filesystem::path& path);

private:
    // The memory file, to be filled by `fill` with `size` bytes, then sealed.
    PdfWorkerInput(std::size_t size, const std::function<void(int fd)>& fill);

    int fd_ = -1;
    std::size_t size_ = 0;
    std::int64_t objects_ = 0;
};

class PdfWorker {
public:
    enum class Status {
        ok,          // the reply is in `payload`
        ended,       // the worker went past a limit or crashed while at it
        cancelled,   // the cancel flag was set; the worker was ended at once
        unavailable, // no working worker: none could be started (no program, no processes left),
                     // or it died before its hello, is of another build, did not understand a request,
                     // or spent CPU time itself past what its request lets it
    };
    struct Reply {
        Status status = Status::unavailable;
        Bytes payload;
        // When `ended`: the worker went past a limit (CPU time, memory, the
        // wall-clock bound), rather than crashing or sending a damaged reply.
        bool pastLimit = false;
        // When `ended`: the worker sent nothing, and neither it nor its
        // child ran for a second, or it went past the wall-clock bound, or
        // a reply it began did not come whole within its transfer's bound.
        // When `unavailable`: the worker spun itself past what its request
        // lets it. Either way it stopped answering.
        bool silent = false;
        // When `ended`: the worker broke the protocol (a reply to another
        // request, past its length, cut short, sent unasked), which no worker
        // of this build does whatever the document: the helper's fault.
        bool broken = false;
        // When `ok`: the CPU time the request took in the worker, and which
        // of the worker's children answered it (1 for the first it forked).
        double cpuSeconds = 0;
        std::uint32_t child = 0;
        // When `ended` answering a batch past a limit or crashed: which of
        // its requests the worker was at (the answers before it are lost).
        std::optional<std::size_t> endedAt = std::nullopt;
    };
    // A batch's reply: when `reply` is ok, the answers of its first requests
    // in order, one at least, as many as fitted; else how the batch ended.
    struct BatchReply {
        Reply reply;
        std::vector<Reply> answers;
    };

    PdfWorker(std::shared_ptr<const PdfWorkerInput> input, PdfWorkerLimits limits);
    ~PdfWorker(); // ends the worker and waits for it
    PdfWorker(const PdfWorker&) = delete;
    PdfWorker& operator=(const PdfWorker&) = delete;

    // Starts the worker now, when none runs, without waiting for it to open
    // the document; false when it can't be started.
    bool start();
    // Sends a request and waits for its reply, polling `cancel` (may be null)
    // every few milliseconds. A reply longer than `largestReply` bytes is not
    // one the request can legitimately get: the worker is ended and the reply
    // is `ended`. Memory for the reply grows as its bytes arrive, never from
    // what the worker claims it will send. The request may take `cpuSeconds`
    // of CPU time (the limits' when 0 or less) and a few times that of wall
    // time, but a worker that sleeps on it, or spins itself, is ended within
    // a second or two (see PdfWorkerWatch); its memory is its share of one
    // budget for all workers of this process, and a request that runs out of
    // its share is tried once more with the whole of its limit, alone.
    Reply request(std::uint8_t tag, const Bytes& payload, std::size_t largestReply, const CancelFlag* cancel,
                  double cpuSeconds = 0);
    // Several requests of one tag asked at once, in one round trip under the
    // limits of one request (as `request` without `cpuSeconds`, whose
    // bounds, the watch's included, hold for the batch as a whole): each
    // answered in turn until the batch's reply holds `largestReply` bytes or
    // it spent half its CPU time; the rest are asked again. A batch that
    // goes past a limit, or whose worker crashes, ends as one request would,
    // saying which request it was at: that one may be asked alone, where its
    // limits are its own.
    BatchReply requestBatch(std::uint8_t tag, const std::vector<Bytes>& payloads, std::size_t largestReply,
                            const CancelFlag* cancel);
    // A request that answers for every page of the document (their sizes):
    // under the limits of opening it, which grow with the document, not a page's.
    Reply requestForEveryPage(std::uint8_t tag, const Bytes& payload, std::size_t largestReply,
                              const CancelFlag* cancel);
    // A copy of this worker, its document opened: a process forked from it
    // once it has opened the document, so what opening loaded is shared, not
    // loaded again, but a child of this process as any worker is. Null when
    // this worker has not opened the document, or can't make one; a worker
    // whose answer makes no sense is ended. The process it names is taken,
    // signalled or reaped only once its hello proves it the copy.
    std::unique_ptr<PdfWorker> copy(const CancelFlag* cancel);
    // Whether the worker runs with its document opened (answered a request).
    bool opened() const { return pid_ != 0 && greeted_ && !opening_; }
    // What opening the document took in this worker, shared by its copies.
    std::int64_t openedBytes() const { return opened_; }
    // Kills the worker now, if one runs, and reaps it.
    void end();
    // The running worker's process id, or 0.
    pid_t pid() const { return pid_; }
    // The limits of opening the document: a request's, and more for the
    // objects that opening parses (the page tree, the cross-reference).
    PdfWorkerLimits openingLimits() const;
    // The longest one request may keep this worker, in seconds, beside its
    // wait for the memory budget: an opening tried twice (its share of
    // memory, then the whole), each with its worker's hello, and a copy made.
    double longestRequestSeconds() const;

    // Where the worker program is: $FOLMIRA_PDF_WORKER when set, else beside
    // this program, else in the installation's libexec folder; the build
    // tree's only for a program that runs from the build tree. Empty when
    // there is none.
    static std::filesystem::path location();

    // A test's hook, called with the worker's id just before each request is
    // sent (to end the worker there and then), a batch's with the tag of the
    // requests it holds; none by default.
    using BeforeSend = std::function<void(pid_t pid, std::uint8_t tag)>;
    static void setBeforeSend(BeforeSend hook);

private:
    struct Attempt;
    // An attempt, and one more alone with the whole of the limit when its share may have been too little.
    Reply requestWithin(const Attempt& what, const CancelFlag* cancel);
    Reply attempt(const Attempt& what, const CancelFlag* cancel);
    // `ownCpuSeconds`: what the worker itself may spend on the request (its
    // opening), beside its child answering it.
    // `batch`: the request is a batch, whose ending says where it was.
    Reply receive(std::size_t largestReply, double wallSeconds, double ownCpuSeconds, bool batch,
                  const CancelFlag* cancel);
    // Waits for a started worker's hello; none when it came, as this build's.
    std::optional<Reply> awaitHello(double wallSeconds, const CancelFlag* cancel);
    Reply ended(bool damaged);
    // Reads `size` bytes into `into` by the deadline, keeping the one
    // descriptor that may come with them in `fd`, closing any other and
    // setting `extra` then; false when the worker closed or was silent, or
    // `cancel` (may be null) was set.
    bool receiveWithFd(std::uint8_t* into, std::size_t size, std::chrono::steady_clock::time_point deadline,
                       const CancelFlag* cancel, int& fd, bool& extra);
    std::shared_ptr<const PdfWorkerInput> input_;
    PdfWorkerLimits limits_;
    pid_t pid_ = 0;
    int socket_ = -1;
    bool opening_ = false;    // the worker is opening the document: its first request waits for that too
    bool greeted_ = false;    // the worker said hello, as a worker of this build
    std::uint32_t lastId_ = 0; // the id of the last request sent (random)
    bool mayNeedMore_ = false; // the last request ended past its memory, or crashed
    std::int64_t opened_ = 0;  // what opening the document took in the worker (held in the budget's ledger)
    void forgetOpened();
};

// The worker's side: what one request tag does. The handler gets the document
// as the worker opened it (it may have failed to open) and the request's
// payload; it returns the reply's payload.
struct PdfWorkerRequest {
    std::uint8_t tag = 0;
    Bytes (*handle)(const PdfDocument::Opened& document, WireReader& request) = nullptr;
};

// The worker program's main: closes every descriptor but the standard streams
// and its socket (fd 3), ends with the process that started it, waits for the
// document's memory file and its limits on fd 3, opens the document under them
// and answers requests with `handlers`, each under its own limits, until the
// client goes away. Returns the exit status.
int servePdfWorker(std::span<const PdfWorkerRequest> handlers);

} // namespace Platform
