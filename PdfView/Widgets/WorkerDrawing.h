#pragma once

// Tiles of a document from outside (OutsidePdf) drawn in worker processes, so
// that no page can take the window's memory or a core for long: each tile is
// drawn under the worker's limits of CPU time and memory, and a worker past
// them is ended, giving its memory back, the page reported over its limits. A
// tile nobody waits for any more ends its worker at once. Tiles are asked for
// on the threads of processDrawingWorkers, one a worker at most. The workers
// are the document's pool's, shared with the reader, so the document is
// opened once for both; they end with the last that uses the pool (another
// document, or the view gone, after the last tile under way). Where no
// worker can be started, a tile is not drawn: the user's file is never drawn
// in this process.
//
// A tile's reply is checked as any input from outside: pixels of exactly the
// size asked for, or no tile.

#include "PdfView/OutsidePdf.h"
#include "PdfView/Widgets/PageRenderer.h"
#include "Platform/PdfHelper/PdfWorkerPool.h"

#include <memory>

namespace PdfView {

class WorkerDrawing final : public TileDrawing {
public:
    // Draws with the workers of `document`'s pool under `limits` (the one
    // that opened it to tell its sizes, when under the same limits).
    WorkerDrawing(const OutsidePdf& document, Platform::PdfWorkerLimits limits);
    ~WorkerDrawing() override;

    // Throws DrawingOverLimit when the worker went past its limits or crashed.
    QImage draw(const TileRequest& request, const Platform::CancelFlag& stop) override;

private:
    std::shared_ptr<Platform::PdfWorkerPool> pool_;
};

} // namespace PdfView
