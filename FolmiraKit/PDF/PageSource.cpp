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

PdfWorker::Reply PageSource::ask(Slot& slot, WorkerRequest request, const Bytes& payload, std::size_t largestReply,
                                 double cpuSeconds, bool everyPage)
{
    // A view waiting for one of the document's workers (the original's
    // tiles) gets this one between two pages, not once every page is read.
    if (slot.lease && pool_->wanted()) slot.lease = {};
    if (!slot.lease) slot.lease = pool_->take(&reading_);
    if (!slot.lease) {
        if (cancel_ && cancel_->cancelled()) throw Cancelled();
        PdfWorker::Reply none; // no worker to be had: the pool's are held and never given back
        none.silent = true;
        return none;
    }
    const auto tag = static_cast<std::uint8_t>(request);
    auto reply = everyPage ? slot.lease.worker().requestForEveryPage(tag, payload, largestReply, &reading_)
                           : slot.lease.worker().request(tag, payload, largestReply, &reading_, cpuSeconds);
    if (reply.status == Status::cancelled) {
        if (cancel_ && cancel_->cancelled()) throw Cancelled();
        throw brokenHelper(fault_); // stopped by another thread that found the helper failing
    }
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

PageReading PageSource::readOne(Slot& slot, int index)
{
    Platform::WireWriter request;
    request.i32(index);
    auto reply = ask(slot, WorkerRequest::readPage, request.data(), largestReading);
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

    auto work = [&](Slot& slot, std::exception_ptr& error) {
        try {
            for (int i = next++; i < pageCount && !failed; i = next++) {
                if (cancel_ && cancel_->cancelled()) throw Cancelled();
                take(i, readOne(slot, i));
            }
        } catch (...) {
            error = std::current_exception();
            failed = true;
        }
        // No more pages to ask for: the worker goes back for the other threads and views.
        slot.lease = {};
    };

    // As many workers as the budget holds beside the other documents kept
    // open (a long one's page tree takes hundreds of megabytes).
    const int fitting = pool_->fitting(static_cast<int>(slots_.size()));
    const int helpers = std::clamp(std::min(fitting, pageCount) - 1, 0, 3);
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
