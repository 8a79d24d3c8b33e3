#pragma once

// Tiles of a document from outside (OutsidePdf) drawn in worker processes, so
// that no page can take the window's memory or a core for long: each tile is
// drawn under the worker's limits of CPU time and memory, and a worker past
// them is ended, giving its memory back, the page reported over its limits. A
// tile nobody waits for any more ends its worker at once. Tiles are asked for
// on the threads of processDrawingWorkers, one a worker at most; the workers
// end with the drawing (another document, or the view gone), after the last
// tile under way. Where no worker can be started, a tile is not drawn: the
// user's file is never drawn in this process.
//
// A tile's reply is checked as any input from outside: pixels of exactly the
// size asked for, or no tile.

#include "PdfView/OutsidePdf.h"
#include "PdfView/Widgets/PageRenderer.h"
#include "Platform/PdfWorker.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace PdfView {

class WorkerDrawing final : public TileDrawing {
public:
    // Draws with the worker that opened `document` to tell its sizes first,
    // when it was opened under these limits.
    WorkerDrawing(const OutsidePdf& document, Platform::PdfWorkerLimits limits);
    ~WorkerDrawing() override;

    // Throws DrawingOverLimit when the worker went past its limits or crashed.
    QImage draw(const TileRequest& request, const Platform::CancelFlag& stop) override;

private:
    using Worker = std::unique_ptr<Platform::PdfWorker>;
    // A worker no other thread uses: an idle one, else a new one while the
    // memory budget holds another, else the next given back (or none once
    // `stop` is set).
    Worker take(const Platform::CancelFlag& stop);
    void giveBack(Worker worker);

    std::shared_ptr<const Platform::PdfWorkerInput> input_;
    Platform::PdfWorkerLimits limits_;
    std::mutex mutex_;
    std::condition_variable givenBack_;
    std::vector<Worker> idle_; // at most one a thread
    int made_ = 0;             // workers made, idle or at work
    int fitting_ = 4;          // workers the budget holds, as far as the opened ones tell
    bool opened_ = false;      // a worker has answered, so what opening takes is known
};

} // namespace PdfView
