#pragma once

// Where the reader's pages come from: worker processes (PdfWorker) that open
// the document and read its pages under limits of CPU time and memory per
// page, several at once. A page whose worker passes a limit or crashes comes
// back too large to read, and a fresh worker takes the next page. When no
// worker can be started at all (the program is missing, no processes are
// left), the same reading is done in this process.

#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/Cancel.h"
#include "Platform/PdfWorker.h"

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace FolmiraKit::PDFReader {

// Starts a thread running the given work, as std::thread's constructor does;
// throws std::system_error when the system won't start one.
using ThreadStarter = std::function<std::thread(std::function<void()>)>;

class PageSource {
public:
    // Starts `threads` workers (1 to 4) on a copy of `data` at once, so that
    // they open the document while the first is asked about it. Cancels with
    // the calling thread's cancel flag.
    PageSource(const Platform::Bytes& data, int threads, ThreadStarter start = {});
    ~PageSource();
    PageSource(const PageSource&) = delete;
    PageSource& operator=(const PageSource&) = delete;

    // The document as opened; damaged when its worker ended opening it.
    // Throws Cancelled.
    DocumentOpening open();
    // Every page in page order, taken from a shared counter by as many threads
    // as there are workers (helpers are started with `start`, std::thread when
    // empty; when one can't be started the others read its share). A page
    // whose worker ended comes back fetched and too large. Throws Cancelled.
    std::vector<PageReading> readPages(int pageCount);
    // PNGs of `regions` of page `index`; none when its worker ended. Throws Cancelled.
    std::optional<std::vector<std::optional<Platform::Bytes>>> render(int index, const std::vector<Rect>& regions);

private:
    struct Slot;
    Platform::PdfWorker::Reply ask(Slot& slot, WorkerRequest request, const Platform::Bytes& payload);
    const Platform::PdfDocument::Opened& local(Slot& slot);
    PageReading readOne(Slot& slot, int index);

    const Platform::Bytes& data_;
    ThreadStarter start_;
    const Platform::CancelFlag* cancel_;
    std::vector<std::unique_ptr<Slot>> slots_;
};

// The threads (and workers) a document is read with: min(cores, 4), unless
// set to a number of its own (1 to 4); setting 0 goes back to the default.
int readingThreads();
void setReadingThreads(int threads);

// The limits of one page's reading in a worker: PDFLimits' 2 s of CPU and
// 500 MB, unless set otherwise (tests make them small); zero or less in a
// field goes back to its default.
Platform::PdfWorkerLimits pageLimits();
void setPageLimits(double cpuSeconds, std::int64_t memoryBytes);

} // namespace FolmiraKit::PDFReader
