// A worker per reading thread. Pages are claimed from a shared counter, so the
// threads stay busy whatever each page costs, and every result goes to its
// page's slot; nothing a page's reading depends on which worker reads it.

#include "FolmiraKit/PDF/PageSource.h"

#include "FolmiraKit/Model/Cancel.h"
#include "FolmiraKit/PDF/Limits.h"
#include "Platform/Images.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>
#include <atomic>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>

#include <sched.h>

namespace FolmiraKit::PDFReader {

using Platform::Bytes;
using Platform::PdfWorker;
using Status = PdfWorker::Status;

struct PageSource::Slot {
    Platform::PdfWorkerPool::Lease lease;
};

namespace {

PageReading tooLargeReading()
{
    PageReading reading;
    reading.fetched = true;
    reading.text.tooLarge = true;
    return reading;
}

// The longest reply each request can legitimately get; a longer one ends its
// worker. Opening: a crop box of 33 bytes a page, for two million pages. A
// page's reading: its words twice (alone and in its lines), some 50 bytes and
// the text of each, for the 200,000 bytes of text a page may show, and its
// picture rectangles; a page past that is too large whatever the counter saw.
constexpr std::size_t largestOpening = 10 + std::size_t{33} * 2'000'000;
constexpr std::size_t largestReading = std::size_t{32} << 20;
// Page requests in a row, on any thread, whose worker sent nothing and slept
// or went past its bound, past which the helper is broken: no page of a
// working helper's stalls (a page past its CPU time is ended by the worker,
// which says so), but a machine stalled under load, or a child's rare
// deadlock, costs a page, not the document. A sleep is told in a second, so
// a few in a row still end the reading within seconds.
constexpr int stallsInARow = 3;

// The helper's fault that a reply shows, if any.
std::optional<HelperFault> faultOf(const PdfWorker::Reply& reply)
{
    if (reply.status == Status::unavailable) return reply.silent ? HelperFault::silent : HelperFault::missing;
    if (reply.status == Status::ended && reply.broken) return HelperFault::broken;
    return std::nullopt;
}

// What a request gets when no worker is to be had: the pool's are held and never given back.
PdfWorker::Reply noWorker()
{
    PdfWorker::Reply none;
    none.silent = true;
    return none;
}

// Pages asked in one request at most, and the CPU time a request of several
// pages is sized to take, by what the pages before took: cheap pages (one
// line each) cost one round trip together, while a view waiting for a
// worker, or a thread that has run out of pages, waits no longer for it.
constexpr int mostBatched = 64;
constexpr double batchSeconds = 0.02;

// Rendering: each region's PNG, at most 4 bytes a pixel and a filter byte a
// row, plus zlib's and PNG's overhead.
std::size_t largestRendering(const std::vector<Rect>& regions)
{
    double bytes = 8;
    for (const Rect& r : regions) {
        double w = std::floor(2 * r.width), h = std::floor(2 * r.height);
        if (w > 0 && h > 0 && w * h < static_cast<double>(PDFLimits::regionPixels))
            bytes += 1.01 * (4 * w * h + h) + 4096;
        bytes += 9;
    }
    return static_cast<std::size_t>(std::min(bytes, 2e9));
}

// Whether `png` is a PNG no larger than the region it was rendered from
// (two pixels a point), or a JPEG taken as the page stores it of at most
// four pixels a point, read from its header before anything decodes it.
bool fitsRegion(const Bytes& png, const Rect& region)
{
    if (auto jpeg = Platform::jpegFrameSize(png))
        return jpeg->width <= PDFLimits::storedPixelsPerPoint * region.width &&
               jpeg->height <= PDFLimits::storedPixelsPerPoint * region.height &&
               static_cast<double>(png.size()) <= 4 * std::floor(2 * region.width) * std::floor(2 * region.height);
    static constexpr std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 33 || !std::equal(std::begin(signature), std::end(signature), png.begin())) return false;
    if (std::string_view(reinterpret_cast<const char*>(png.data()) + 12, 4) != "IHDR") return false;
    auto big = [&](std::size_t at) {
        return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 | std::uint32_t{png[at + 2]} << 8 |
               std::uint32_t{png[at + 3]};
    };
    const double width = big(16), height = big(20);
    return width >= 1 && height >= 1 && width <= std::floor(2 * region.width) &&
           height <= std::floor(2 * region.height) && width * height < static_cast<double>(PDFLimits::regionPixels);
}

std::mutex limitsMutex;
constexpr Platform::PdfWorkerLimits defaultLimits{PDFLimits::pageCpuSeconds, PDFLimits::pageMemoryBytes};
Platform::PdfWorkerLimits chosenLimits = defaultLimits;

} // namespace

namespace {

std::shared_ptr<const Platform::PdfWorkerInput> inputOf(const Bytes& data)
{
    try {
        return Platform::PdfWorkerInput::of(data);
    } catch (const std::system_error&) {
        return nullptr; // no memory file: no worker can read, and open() says so
    }
}

} // namespace

PageSource::PageSource(const Bytes& data, int threads, ThreadStarter start)
    : PageSource(inputOf(data), threads, std::move(start))
{
}

PageSource::PageSource(std::shared_ptr<const Platform::PdfWorkerInput> input, int threads, ThreadStarter start)
    : start_(std::move(start)), cancel_(Platform::currentCancelFlag()), limits_(pageLimits())
{
    pool_ = Platform::PdfWorkerPool::of(std::move(input), limits_);
    for (int i = 0; i < std::clamp(threads, 1, 4); ++i) slots_.push_back(std::make_unique<Slot>());
}

PageSource::~PageSource() = default;

PdfWorker* PageSource::worker(Slot& slot)
{
    // A view waiting for one of the document's workers (the original's
    // tiles) gets this one between two requests, not once every page is read.
    if (slot.lease && pool_->wanted()) slot.lease = {};
    if (!slot.lease) slot.lease = pool_->take(&reading_);
    if (!slot.lease) {
        if (cancel_ && cancel_->cancelled()) throw Cancelled();
        return nullptr; // no worker to be had: the pool's are held and never given back
    }
    return &slot.lease.worker();
}

void PageSource::throwIfCancelled(const PdfWorker::Reply& reply)
{
    if (reply.status != Status::cancelled) return;
    if (cancel_ && cancel_->cancelled()) throw Cancelled();
    throw brokenHelper(fault_); // stopped by another thread that found the helper failing
}

PdfWorker::Reply PageSource::ask(Slot& slot, WorkerRequest request, const Bytes& payload, std::size_t largestReply,
                                 double cpuSeconds, bool everyPage)
{
    PdfWorker* leased = worker(slot);
    if (!leased) return noWorker();
    const auto tag = static_cast<std::uint8_t>(request);
    auto reply = everyPage ? leased->requestForEveryPage(tag, payload, largestReply, &reading_)
                           : leased->request(tag, payload, largestReply, &reading_, cpuSeconds);
    throwIfCancelled(reply);
    return reply;
}

DocumentOpening PageSource::open()
{
    // The document's first worker, when it is not opened yet; given back
    // before the pages are read, so that copies can be made of it.
    Slot slot;
    auto reply = ask(slot, WorkerRequest::open, {}, largestOpening, 0, true);
    DocumentOpening opening;
    // A worker of this build answers any document with an outcome: a reply
    // that breaks the protocol or decodes to nothing is the helper's fault.
    if (const auto fault = faultOf(reply)) {
        if (*fault != HelperFault::missing) throw brokenHelper(*fault);
        opening.state = DocumentOpening::State::noHelper;
    } else if (reply.status == Status::ended && reply.pastLimit) {
        opening.state = DocumentOpening::State::tooLarge;
    }
    if (reply.status == Status::ok) {
        try {
            opening = decodeOpening(reply.payload);
        } catch (const Platform::WireReader::Short&) {
            slot.lease.worker().end();
            throw brokenHelper(HelperFault::broken);
        }
    }
    cpuSpent_.assign(opening.cropBoxes.size(), 0);
    return opening;
}

namespace {

Bytes pageRequest(int index)
{
    Platform::WireWriter request;
    request.i32(index);
    return request.take();
}

} // namespace

PageReading PageSource::readOne(Slot& slot, int index)
{
    return readingOf(slot, index, ask(slot, WorkerRequest::readPage, pageRequest(index), largestReading));
}

void PageSource::readRange(Slot& slot, int first, int end, const PageTaker& take)
{
    while (first < end) {
        if (end - first == 1) {
            take(first, readOne(slot, first));
            return;
        }
        std::vector<Bytes> payloads;
        payloads.reserve(static_cast<std::size_t>(end - first));
        for (int i = first; i < end; ++i) payloads.push_back(pageRequest(i));
        PdfWorker* leased = worker(slot);
        PdfWorker::BatchReply batch;
        if (leased)
            batch = leased->requestBatch(static_cast<std::uint8_t>(WorkerRequest::readPage), payloads, largestReading,
                                         &reading_);
        else
            batch.reply = noWorker();
        throwIfCancelled(batch.reply);
        if (const auto fault = faultOf(batch.reply)) brokenNow(*fault);
        countStall(batch.reply);
        if (batch.reply.status == Status::ok) {
            for (PdfWorker::Reply& answer : batch.answers) {
                take(first, readingOf(slot, first, std::move(answer)));
                ++first;
            }
            continue;
        }
        // A batch that ended without saying where (silent) is read again a page at a time.
        if (!batch.reply.endedAt) {
            for (; first < end; ++first) take(first, readOne(slot, first));
            return;
        }
        // Ended at one page, past the batch's limits or crashed: the pages
        // before it are read again together, and that page alone, under
        // limits of its own, so that only a page that fails alone is left out.
        const int at = first + static_cast<int>(*batch.reply.endedAt);
        readRange(slot, first, at, take);
        take(at, readOne(slot, at));
        first = at + 1;
    }
}

PageReading PageSource::readingOf(Slot& slot, int index, PdfWorker::Reply reply)
{
    // No worker of this build breaks its protocol, whatever the page: the helper is named, not the page.
    if (const auto fault = faultOf(reply)) brokenNow(*fault);
    countStall(reply);
    if (reply.status != Status::ok) return tooLargeReading(); // past a limit, or crashed on the page
    try {
        PageReading reading = decodePageReading(reply.payload);
        if (static_cast<std::size_t>(index) < cpuSpent_.size())
            cpuSpent_[static_cast<std::size_t>(index)] = reply.cpuSeconds;
        return reading;
    } catch (const Platform::WireReader::Short&) {
        slot.lease.worker().end();
        brokenNow(HelperFault::broken);
    }
}

void PageSource::countStall(const PdfWorker::Reply& reply)
{
    if (!reply.silent) {
        stalls_ = 0;
        return;
    }
    // Its worker is ended already; the next request is asked of another.
    if (++stalls_ < stallsInARow) return;
    brokenNow(HelperFault::silent);
}

void PageSource::brokenNow(HelperFault fault)
{
    fault_ = fault;
    reading_.cancel();
    throw brokenHelper(fault);
}

void PageSource::readPages(int pageCount, const PageTaker& take)
{
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    // As many workers as the budget holds beside the other documents kept
    // open (a long one's page tree takes hundreds of megabytes).
    const int fitting = pool_->fitting(static_cast<int>(slots_.size()));
    const int helpers = std::clamp(std::min(fitting, pageCount) - 1, 0, 3);

    auto work = [&](Slot& slot, std::exception_ptr& error) {
        try {
            int batch = 1; // the first page alone: its cost sizes the next request
            while (!failed) {
                if (cancel_ && cancel_->cancelled()) throw Cancelled();
                // The last pages shared out between the threads, not left to one.
                const int left = pageCount - next.load();
                const int asked = std::clamp(std::min(batch, left / (2 * (helpers + 1))), 1, mostBatched);
                const int first = next.fetch_add(asked);
                if (first >= pageCount) break;
                const int end = std::min(pageCount, first + asked);
                readRange(slot, first, end, take);
                double spent = 0;
                for (int i = first; i < end; ++i)
                    if (static_cast<std::size_t>(i) < cpuSpent_.size()) spent += cpuSpent_[static_cast<std::size_t>(i)];
                const double perPage = std::max(spent / (end - first), batchSeconds / mostBatched);
                batch = std::clamp(static_cast<int>(batchSeconds / perPage), 1, mostBatched);
            }
        } catch (...) {
            error = std::current_exception();
            failed = true;
        }
        // No more pages to ask for: the worker goes back for the other threads and views.
        slot.lease = {};
    };

    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(helpers) + 1);
    std::vector<std::thread> running;
    running.reserve(static_cast<std::size_t>(helpers));
    for (int t = 0; t < helpers; ++t) {
        auto helper = [&, t] { work(*slots_[static_cast<std::size_t>(t) + 1], errors[static_cast<std::size_t>(t) + 1]); };
        // Out of threads (a process limit, a busy system): pages are claimed
        // a few at a time, so the threads already running, this one at least,
        // read the rest.
        try {
            running.push_back(start_ ? start_(helper) : std::thread(helper));
        } catch (...) { // std::system_error, or no memory for the thread's state
            break;
        }
    }
    renderers_ = static_cast<int>(running.size()) + 1;
    work(*slots_.front(), errors[0]);
    for (std::thread& t : running) t.join();
    for (const std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);
}

std::optional<std::vector<std::optional<Bytes>>> PageSource::render(int index, const std::vector<Rect>& regions,
                                                                      int worker)
{
    // A page's pictures share its CPU time with its reading.
    const double spent = static_cast<std::size_t>(index) < cpuSpent_.size() ? cpuSpent_[static_cast<std::size_t>(index)] : 0;
    const double left = limits_.cpuSeconds - spent;
    if (left < 0.001) return std::nullopt;
    Slot& slot = *slots_[static_cast<std::size_t>(std::clamp(worker, 0, renderers_ - 1))];
    auto reply = ask(slot, WorkerRequest::renderRegions, encodeRegionsRequest(index, regions),
                     largestRendering(regions), left);
    if (reply.status != Status::ok) return std::nullopt;
    try {
        auto rendered = decodeRendered(reply.payload);
        if (rendered.size() != regions.size()) throw Platform::WireReader::Short();
        for (std::size_t i = 0; i < regions.size(); ++i)
            if (rendered[i] && !fitsRegion(*rendered[i], regions[i])) throw Platform::WireReader::Short();
        return rendered;
    } catch (const Platform::WireReader::Short&) {
        slot.lease.worker().end();
        return std::nullopt;
    }
}

ConversionError brokenHelper(HelperFault fault)
{
    const std::string helper = "its PDF helper program (folmira-pdf-worker)";
    switch (fault) {
    case HelperFault::silent:
        return ConversionError(ConversionError::Reason::unsupported,
                               "Folmira can’t read this PDF: " + helper +
                                   " stopped answering. Try again; if it stops again, reinstalling Folmira should "
                                   "mend it.");
    case HelperFault::broken:
        return ConversionError(ConversionError::Reason::unsupported,
                               "Folmira can’t read this PDF: " + helper +
                                   " sent answers that make no sense. Reinstalling Folmira should mend it.");
    case HelperFault::missing:
        break;
    }
    return ConversionError(ConversionError::Reason::unsupported,
                           "Folmira can’t read PDFs: " + helper +
                               " is missing or couldn’t be started. Reinstalling Folmira should bring it back.");
}

namespace {
std::atomic<int> chosenReadingThreads{0};
}

int readingThreads()
{
    if (int chosen = chosenReadingThreads.load(); chosen > 0) return chosen;
    // The cores this process may run on, not the machine's: pinned to one
    // (taskset, a container's share), more threads only share it, each with
    // a worker of its own to fork, feed and keep in memory.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    const int cores = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                          ? CPU_COUNT(&allowed)
                          : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, 4);
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
