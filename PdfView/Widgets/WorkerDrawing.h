#pragma once

// Tiles of a document from outside drawn in worker processes, so that no
// page can take the window's memory or a core for long: each tile is drawn
// under the worker's limits of CPU time and memory, and a worker past them
// is ended, giving its memory back, the page reported over its limits. A tile
// nobody waits for any more ends its worker at once. Tiles are asked for on
// the threads of processDrawingWorkers, one a worker at most; the workers end
// with the drawing (another document, or the view gone), after the last tile
// under way. Where no worker can be started
// (the program missing from the installation) tiles are drawn by `fallback`,
// as they were before workers, rather than left blank.

#include "PdfView/Widgets/PageRenderer.h"
#include "Platform/PdfWorker.h"

#include <memory>
#include <mutex>
#include <vector>

namespace PdfView {

class WorkerDrawing final : public TileDrawing {
public:
    WorkerDrawing(std::shared_ptr<const PdfSource> source, Platform::PdfWorkerLimits limits,
                  std::shared_ptr<TileDrawing> fallback);
    ~WorkerDrawing() override;

    // Throws DrawingOverLimit when the worker went past its limits or crashed.
    QImage draw(const TileRequest& request, const Platform::CancelFlag& stop) override;

private:
    using Worker = std::unique_ptr<Platform::PdfWorker>;
    // A worker no other thread uses: an idle one, else a new one.
    Worker take();
    void giveBack(Worker worker);
    // The document's bytes for the workers; null when they cannot be had.
    std::shared_ptr<const Platform::PdfWorkerInput> input();

    std::shared_ptr<const PdfSource> source_;
    Platform::PdfWorkerLimits limits_;
    std::shared_ptr<TileDrawing> fallback_;
    std::mutex mutex_;
    std::shared_ptr<const Platform::PdfWorkerInput> input_;
    bool noInput_ = false;
    std::vector<Worker> idle_; // at most one a thread
};

} // namespace PdfView
