#pragma once

// Tiles of a document from outside drawn in worker processes, so that no
// page can take the window's memory or a core for long: each tile is drawn
// under the worker's limits of CPU time and memory, and a worker past them
// is ended, giving its memory back, the page reported over its limits. A tile
// nobody waits for any more ends its worker at once. At most `maxWorkers`
// run for one document; they end with the drawing (another document, or the
// view gone), after the last tile under way. Where no worker can be started
// (the program missing from the installation) tiles are drawn by `fallback`,
// as they were before workers, rather than left blank.

#include "PdfView/Widgets/PageRenderer.h"
#include "Platform/PdfWorker.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace PdfView {

class WorkerDrawing final : public TileDrawing {
public:
    static constexpr int maxWorkers = 2;

    WorkerDrawing(std::shared_ptr<const PdfSource> source, Platform::PdfWorkerLimits limits,
                  std::shared_ptr<TileDrawing> fallback);
    ~WorkerDrawing() override;

    // Throws DrawingOverLimit when the worker went past its limits or crashed.
    QImage draw(const TileRequest& request, const Platform::CancelFlag& stop) override;

private:
    using Worker = std::unique_ptr<Platform::PdfWorker>;
    // A worker no other thread uses, once one is free; null when `stop` is
    // set meanwhile.
    Worker take(const Platform::CancelFlag& stop);
    void giveBack(Worker worker);
    // The document's bytes for the workers; null when they cannot be had.
    std::shared_ptr<const Platform::PdfWorkerInput> input();

    std::shared_ptr<const PdfSource> source_;
    Platform::PdfWorkerLimits limits_;
    std::shared_ptr<TileDrawing> fallback_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::shared_ptr<const Platform::PdfWorkerInput> input_;
    bool noInput_ = false;
    std::vector<Worker> idle_;
    int started_ = 0; // workers made, idle or drawing
};

} // namespace PdfView
