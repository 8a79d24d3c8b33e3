// A worker per reading thread. Pages are claimed from a shared counter, so the
// threads stay busy whatever each page costs, and every result goes to its
// page's slot; nothing a page's reading depends on which worker reads it.

#include "FolmiraKit/PDF/PageSource.h"

#include "FolmiraKit/Model/Cancel.h"
#include "FolmiraKit/PDF/Limits.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>

namespace FolmiraKit::PDFReader {

using Platform::Bytes;
using Platform::PdfWorker;
using Status = PdfWorker::Status;

struct PageSource::Slot {
    std::unique_ptr<PdfWorker> worker;
    std::optional<Platform::PdfDocument::Opened> local; // only when no worker can be started
};

namespace {

PageReading tooLargeReading()
{
    PageReading reading;
    reading.fetched = true;
    reading.text.tooLarge = true;
    return reading;
}

// The longest reply each request can legitimately get; a longer one ends its worker.
std::size_t largestReply(WorkerRequest request)
{
    switch (request) {
    case WorkerRequest::open: return std::size_t{64} << 20;
    case WorkerRequest::readPage: return std::size_t{256} << 20;
    case WorkerRequest::renderRegions: return std::size_t{512} << 20;
    }
    return 0;
}

std::mutex limitsMutex;
constexpr Platform::PdfWorkerLimits defaultLimits{PDFLimits::pageCpuSeconds, PDFLimits::pageMemoryBytes};
Platform::PdfWorkerLimits chosenLimits = defaultLimits;

} // namespace

PageSource::PageSource(const Bytes& data, int threads, ThreadStarter start)
    : data_(data), start_(std::move(start)), cancel_(Platform::currentCancelFlag())
{
    std::shared_ptr<const Platform::PdfWorkerInput> input;
    try {
        input = std::make_shared<const Platform::PdfWorkerInput>(data);
    } catch (const std::system_error&) {
        // No memory file: no worker can read, so this process does.
    }
    const Platform::PdfWorkerLimits limits = pageLimits();
    for (int i = 0; i < std::clamp(threads, 1, 4); ++i) {
        auto slot = std::make_unique<Slot>();
        slot->worker = std::make_unique<PdfWorker>(input, limits);
        slot->worker->start();
        slots_.push_back(std::move(slot));
    }
}

PageSource::~PageSource() = default;

PdfWorker::Reply PageSource::ask(Slot& slot, WorkerRequest request, const Bytes& payload)
{
    auto reply = slot.worker->request(static_cast<std::uint8_t>(request), payload, largestReply(request), cancel_);
    if (reply.status == Status::cancelled) throw Cancelled();
    return reply;
}

const Platform::PdfDocument::Opened& PageSource::local(Slot& slot)
{
    if (!slot.local) slot.local = Platform::PdfDocument::open(data_);
    return *slot.local;
}

DocumentOpening PageSource::open()
{
    Slot& slot = *slots_.front();
    auto reply = ask(slot, WorkerRequest::open, {});
    if (reply.status == Status::unavailable) return openingOf(local(slot));
    if (reply.status == Status::ok) {
        try {
            return decodeOpening(reply.payload);
        } catch (const Platform::WireReader::Short&) {
        }
    }
    return DocumentOpening{}; // the worker died opening it: damaged
}

PageReading PageSource::readOne(Slot& slot, int index)
{
    Platform::WireWriter request;
    request.i32(index);
    auto reply = ask(slot, WorkerRequest::readPage, request.data());
    if (reply.status == Status::unavailable) {
        const auto& opened = local(slot);
        return opened.document ? readPage(*opened.document, index) : PageReading{};
    }
    if (reply.status == Status::ok) {
        try {
            return decodePageReading(reply.payload);
        } catch (const Platform::WireReader::Short&) {
        }
    }
    return tooLargeReading();
}

std::vector<PageReading> PageSource::readPages(int pageCount)
{
    std::vector<PageReading> pages(static_cast<std::size_t>(std::max(0, pageCount)));
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};

    auto work = [&](Slot& slot, std::exception_ptr& error) {
        try {
            for (int i = next++; i < pageCount && !failed; i = next++) {
                if (cancel_ && cancel_->cancelled()) throw Cancelled();
                pages[static_cast<std::size_t>(i)] = readOne(slot, i);
            }
        } catch (...) {
            error = std::current_exception();
            failed = true;
        }
    };

    const int helpers = std::clamp(std::min(static_cast<int>(slots_.size()), pageCount) - 1, 0, 3);
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(helpers) + 1);
    std::vector<std::thread> running;
    running.reserve(static_cast<std::size_t>(helpers));
    for (int t = 0; t < helpers; ++t) {
        auto helper = [&, t] { work(*slots_[static_cast<std::size_t>(t) + 1], errors[static_cast<std::size_t>(t) + 1]); };
        // Out of threads (a process limit, a busy system): pages are claimed
        // one at a time, so the threads already running, this one at least,
        // read the rest.
        try {
            running.push_back(start_ ? start_(helper) : std::thread(helper));
        } catch (...) { // std::system_error, or no memory for the thread's state
            break;
        }
    }
    // Workers no thread will use are ended now rather than at the end.
    for (std::size_t s = running.size() + 1; s < slots_.size(); ++s) slots_[s]->worker->end();
    work(*slots_.front(), errors[0]);
    for (std::thread& t : running) t.join();
    for (const std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);
    return pages;
}

std::optional<std::vector<std::optional<Bytes>>> PageSource::render(int index, const std::vector<Rect>& regions)
{
    Slot& slot = *slots_.front();
    auto reply = ask(slot, WorkerRequest::renderRegions, encodeRegionsRequest(index, regions));
    if (reply.status == Status::unavailable) {
        const auto& opened = local(slot);
        if (!opened.document) return std::nullopt;
        return renderRegions(*opened.document, index, regions);
    }
    if (reply.status == Status::ok) {
        try {
            return decodeRendered(reply.payload);
        } catch (const Platform::WireReader::Short&) {
        }
    }
    return std::nullopt;
}

namespace {
std::atomic<int> chosenReadingThreads{0};
}

int readingThreads()
{
    if (int chosen = chosenReadingThreads.load(); chosen > 0) return chosen;
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, 4u));
}

void setReadingThreads(int threads) { chosenReadingThreads.store(std::clamp(threads, 0, 4)); }

Platform::PdfWorkerLimits pageLimits()
{
    std::lock_guard lock(limitsMutex);
    return chosenLimits;
}

void setPageLimits(double cpuSeconds, std::int64_t memoryBytes)
{
    std::lock_guard lock(limitsMutex);
    chosenLimits.cpuSeconds = cpuSeconds > 0 ? cpuSeconds : defaultLimits.cpuSeconds;
    chosenLimits.memoryBytes = memoryBytes > 0 ? memoryBytes : defaultLimits.memoryBytes;
}

} // namespace FolmiraKit::PDFReader
