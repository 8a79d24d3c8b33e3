#pragma once

// What the reader asks of a PDF's pages, as requests a worker process answers
// (PdfWorker): opening the document, reading one page (its text, words and
// lines, and where it draws pictures) and rendering picture regions of one
// page. Each request has a function that does it in this process, a tag, and
// a wire form for its answer; the worker program's table of handlers
// (workerRequests) runs the same functions, so a page reads the same in a
// worker as here.
//
// A new request is one tag, one handler and one row of the table.

#include "FolmiraKit/PDF/PageWords.h"
#include "Platform/PdfDocument.h"
#include "Platform/PdfHelper/PdfWorker.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace FolmiraKit::PDFReader {

enum class WorkerRequest : std::uint8_t { open = 1, readPage = 2, renderRegions = 3 };

// The document as opened: what the reader refuses it for, its pages' crop
// boxes (none for a page that can't be fetched). A worker tells the first
// four (too large: more pages than PDFLimits::documentPages); the reader's
// side adds a document whose opening passed its worker's limits, and one no
// worker could be started for.
struct DocumentOpening {
    enum class State : std::uint8_t { opened, damaged, locked, tooLarge, noHelper };
    State state = State::damaged;
    bool allowsCopying = false;
    std::vector<std::optional<Rect>> cropBoxes; // one per page
    bool operator==(const DocumentOpening&) const = default;
};

// What the first pass reads of one page before deciding on it.
struct PageReading {
    bool fetched = false;
    PageText text;               // tooLarge when past a bound of reading
    std::vector<Rect> pictures;  // PictureScan::regions; none on a page too large
    std::vector<Rect> drawn;     // the page's image rectangles, when it has picture regions
    // Quarter turns of the frame its text reads in (PdfPageText::quarterTurns):
    // its words and lines stand in that frame, its pictures in the page's own.
    int quarterTurns = 0;
};

// What the readings of one document may hold in the app, taken page by page
// by any of the reading threads: the reader counts what it keeps of each page.
class HeldReadings {
public:
    explicit HeldReadings(std::size_t bytes);
    // Takes `bytes` when they are left; false (and nothing taken) otherwise.
    bool take(std::size_t bytes);

private:
    std::atomic<std::size_t> left_;
};

DocumentOpening openingOf(const Platform::PdfDocument::Opened& opened);
// Page `index` read here: its text (unless the content counter finds it past
// PDFLimits) and its picture regions.
PageReading readPage(const Platform::PdfDocument& document, int index);
// PNGs of `regions` of page `index`, one each, none for a region that can't be rendered.
std::vector<std::optional<Platform::Bytes>> renderRegions(const Platform::PdfDocument& document, int index,
                                                          const std::vector<Rect>& regions);

// Wire forms of the answers (and of the render request's regions).
Platform::Bytes encode(const DocumentOpening& opening);
DocumentOpening decodeOpening(const Platform::Bytes& data);
Platform::Bytes encode(const PageReading& reading);
// A reading that would take more than PDFLimits::readingBytes once decoded is
// damaged; one that fits its page but not what is left of `held`, when given,
// comes back too large, its page left out.
PageReading decodePageReading(const Platform::Bytes& data, HeldReadings* held = nullptr);
Platform::Bytes encodeRegionsRequest(int index, const std::vector<Rect>& regions);
Platform::Bytes encode(const std::vector<std::optional<Platform::Bytes>>& rendered);
std::vector<std::optional<Platform::Bytes>> decodeRendered(const Platform::Bytes& data);

// The worker program's table of handlers.
std::span<const Platform::PdfWorkerRequest> workerRequests();

} // namespace FolmiraKit::PDFReader
