#pragma once

// The worker threads that draw PDF pages for the windows (or wait for worker
// processes drawing them), shared by every page view, and the switch that
// stops them when the program quits.

#include "Platform/Cancel.h"

#include <memory>

class QThreadPool;

namespace PdfView {

QThreadPool& drawingWorkers();

// The threads that wait for tiles drawn in worker processes: one a process,
// so that a document runs at most this many processes (as many as the
// reader's, one a core up to four) and a slow page in one never holds up the
// threads drawing in this process.
int drawingProcesses();
QThreadPool& processDrawingWorkers();

// True while stopDrawing waits: every drawing is to stop where it can.
bool drawingStopped();

// Makes `stop` a flag that stopDrawing sets, for a drawing that waits on
// something Poppler's own checks do not reach (a worker process).
void stopWithDrawing(const std::shared_ptr<Platform::CancelFlag>& stop);

// Drops the drawings not yet started, tells the running ones to stop, and
// waits at most `milliseconds` for them; true when none runs any more (and
// drawing may start again). A drawing that cannot be interrupted is not
// waited for past the limit.
bool stopDrawing(int milliseconds);

} // namespace PdfView
