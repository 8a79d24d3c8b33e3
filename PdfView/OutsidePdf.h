#pragma once

// A PDF from outside (the user's own file) as the window shows it. Such a
// file may be made to take the window's memory or a core for long, so this
// process never parses it: a worker process (Platform's PDF worker) opens
// it under its limits and tells its pages' sizes, and its pages are drawn
// in workers too (PdfPagesView::setOutsideDocument). Our own PDFs, made in
// memory, are Poppler documents (Pdf.h).

#include "Platform/Cancel.h"
#include "Platform/PdfHelper/PdfWorkerPool.h"

#include <QSizeF>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace PdfView {

struct OutsidePdf {
    // The file's bytes as read once, for every worker that draws its pages.
    std::shared_ptr<const Platform::PdfWorkerInput> input;
    // Each page's size in points as laid out (crop box, rotation applied);
    // empty for a page that cannot be fetched.
    std::vector<QSizeF> sizes;

    // The file's workers, shared with the reader while the file is shown:
    // the one that opened it to tell the sizes stays opened, so that the
    // pane's tiles cost no second opening of the file.
    std::shared_ptr<Platform::PdfWorkerPool> pool;
};

using OutsidePdfPtr = std::shared_ptr<const OutsidePdf>;

// The largest file opened: as large as the reader reads.
constexpr std::uintmax_t largestOutsideFile = std::uintmax_t{1} << 30;

// Has a worker under `limits` open the file (or bytes) and tell its pages'
// sizes; null when the worker could not open it within its limits, when no
// worker can be started, when `cancel` (may be null) is set, or when the
// worker's answer makes no sense. Waits for the worker: never call it on the
// main thread.
OutsidePdfPtr openOutside(const std::filesystem::path& file, const Platform::PdfWorkerLimits& limits,
                          const Platform::CancelFlag* cancel);
OutsidePdfPtr openOutside(const Platform::Bytes& bytes, const Platform::PdfWorkerLimits& limits,
                          const Platform::CancelFlag* cancel);

} // namespace PdfView
