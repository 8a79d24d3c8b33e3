#pragma once

// Where the reader's pages come from: the document's worker processes
// (PdfWorkerPool, shared with the window's original) that open it once and
// read its pages under limits of CPU time and memory per page, several at
// once. A page whose worker passes a limit, crashes or sends
// a damaged reply comes back too large to read; the next page is read as if
// nothing happened. Pages are never read in this process: when no worker can
// be started, the document can't be read.

#include "FolmiraKit/Model/Conversion.h"
#include "FolmiraKit/PDF/Limits.h"
#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/Cancel.h"
#include "Platform/PdfHelper/PdfWorker.h"
#include "Platform/PdfHelper/PdfWorkerPool.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace FolmiraKit::PDFReader {

// Starts a thread running the given work, as std::thread's constructor does;
// throws std::system_error when the system won't start one.
using ThreadStarter = std::function<std::thread(std::function<void()>)>;

// How a helper failed a reading: none could be started (missing, of
// another build), it stopped answering (slept, spun outside its limits, or
// left a reply half sent), or it broke its protocol (a reply to another
// request, sent unasked, cut short, or that decodes to nothing).
enum class HelperFault { missing, silent, broken };

class PageSource {
public:
    // Reads with `threads` workers (1 to 4) of the pool of `data`, whose
    // first worker is started at once (it opens the document at its first
    // request, under that request's limits). Cancels with the calling
    // thread's cancel flag.
    PageSource(const Platform::Bytes& data, int threads, ThreadStarter start = {});
    // The same for a document already in its workers' memory file (none:
    // no worker can read, and open() says so).
    PageSource(std::shared_ptr<const Platform::PdfWorkerInput> input, int threads, ThreadStarter start = {});
    ~PageSource();
    PageSource(const PageSource&) = delete;
    PageSource& operator=(const PageSource&) = delete;

    // The document as opened: damaged when its worker crashed opening it,
    // too large when it went past a limit, no helper when no worker could be
    // started. Throws Cancelled, or brokenHelper() when its worker stopped
    // answering or broke its protocol.
    DocumentOpening open();
    // Every page, taken from a shared counter a few at a time (as many as a
    // request of about 20 ms of the worker's CPU time holds, by what the
    // pages before took, one request for them all) by as many threads as there are
    // workers (helpers are started with `start`, std::thread when empty; when
    // one can't be started the others read its share), each handed to `take`
    // on the thread that read it as soon as it is read: pages in no set
    // order, several at once. A page whose worker ended comes back fetched
    // and too large. Each thread gives its worker back once it has no more
    // pages to ask for. Throws Cancelled, or what `take` throws; throws
    // brokenHelper() when workers stall on page after page, one spins outside
    // its limits or breaks its protocol, or none can be had.
    using PageTaker = std::function<void(int index, PageReading reading)>;
    void readPages(int pageCount, const PageTaker& take);
    // PNGs of `regions` of page `index` drawn by worker `worker` (0 to
    // renderers() - 1; calls for different workers may run at once), within
    // what is left of the page's CPU time after its reading; none when its
    // worker ended or sent a picture larger than its region. Throws Cancelled.
    std::optional<std::vector<std::optional<Platform::Bytes>>> render(int index, const std::vector<Rect>& regions,
                                                                      int worker = 0);
    // The workers that read the pages, and so may render their pictures.
    int renderers() const { return renderers_; }

private:
    struct Slot;
    // A request of the slot's worker; one that answers for every page (the
    // opening) gets the time of opening the document, not a page's.
    Platform::PdfWorker::Reply ask(Slot& slot, WorkerRequest request, const Platform::Bytes& payload,
                                   std::size_t largestReply, double cpuSeconds = 0, bool everyPage = false);
    // The slot's worker, taken from the pool when it holds none; null when none is to be had.
    Platform::PdfWorker* worker(Slot& slot);
    // Throws Cancelled, or brokenHelper() when another thread stopped the reading, for a cancelled reply.
    void throwIfCancelled(const Platform::PdfWorker::Reply& reply);
    PageReading readOne(Slot& slot, int index);
    // Pages `first` to `end` - 1 handed to `take`, read several to a request.
    void readRange(Slot& slot, int first, int end, const PageTaker& take);
    // Page `index` as `reply` tells it.
    PageReading readingOf(Slot& slot, int index, Platform::PdfWorker::Reply reply);
    // Counts a page's reply towards the stalls in a row; throws brokenHelper() past a few.
    void countStall(const Platform::PdfWorker::Reply& reply);
    // Stops the requests under way on the other threads, and throws brokenHelper(fault).
    [[noreturn]] void brokenNow(HelperFault fault);

    ThreadStarter start_;
    const Platform::CancelFlag* cancel_;
    // Set with cancel_, or once the helper proves broken: the requests still
    // under way on other threads end then, not at their own bounds.
    Platform::CancelFlag reading_{cancel_};
    Platform::PdfWorkerLimits limits_;
    std::shared_ptr<Platform::PdfWorkerPool> pool_;
    std::vector<std::unique_ptr<Slot>> slots_; // a worker taken from the pool at a slot's first request
    std::vector<double> cpuSpent_; // by page: what its reading took of its CPU time
    int renderers_ = 1;
    std::atomic<int> stalls_{0}; // page requests in a row whose worker sent nothing within their bound
    std::atomic<HelperFault> fault_{HelperFault::missing}; // what stopped the reading, once the helper failed
};

// The refusal of a document whose helper failed it: the helper named, not the document.
ConversionError brokenHelper(HelperFault fault = HelperFault::missing);

// The threads (and workers) a document is read with: min(cores it may run on, 4), unless
// set to a number of its own (1 to 4); setting 0 goes back to the default.
int readingThreads();
void setReadingThreads(int threads);

// The limits of one page's reading in a worker: PDFLimits' 2 s of CPU and
// 500 MB, unless set otherwise (tests make them small); zero or less in a
// field goes back to its default.
Platform::PdfWorkerLimits pageLimits();
void setPageLimits(double cpuSeconds, std::int64_t memoryBytes);

} // namespace FolmiraKit::PDFReader
