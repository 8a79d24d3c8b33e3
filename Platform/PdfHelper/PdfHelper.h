#pragma once

// The PDF helper: Poppler reads and draws a user's PDF in processes of their
// own (folmira-pdf-worker), under limits of CPU time, memory and wall-clock
// time, confined to what they need, so that no page can take the app down,
// hang it, or reach anything of the user's. Start here; the files:
//
// The client (in the app)
//   PdfWorker.h/.cpp        one worker: started, sent requests, its replies
//                           checked, copies made; PdfWorkerInput (the
//                           document's sealed memory file) in PdfWorkerInput.cpp
//   PdfWorkerPool.h/.cpp    the workers of one document, shared by its readers
//   PdfWorkerProcess.h/.cpp starting workers (no terminal, no descriptor of the
//                           app's), idle ones, the quit sweep, the memory budget
//   PdfWorkerWatch.h/.cpp   a worker asleep or spinning, told from /proc
//   ProcStat.h/.cpp         a process's /proc/PID/stat, parsed in one place
//
// Both ends
//   PdfWorkerSocket.h/.cpp  the frames, the hello, exit statuses, sending
//   WireFormat.h            how values are written into a frame
//
// The worker (in folmira-pdf-worker, tools/folmira-pdf-worker.cpp)
//   PdfWorkerServe.cpp      its main: confined, the document opened once,
//                           each request answered by a child under hard caps
//   WorkerConfine.h/.cpp    its confinement: no privileges, Landlock, an
//                           allow-list seccomp filter, no terminal
//   PdfWorkerPages.h/.cpp   the request for every page's size
//   PdfWorkerTile.h/.cpp    the request for a tile of a page
// (The reader's own requests live with the reader: FolmiraKit/PDF.)

#include "Platform/PdfHelper/PdfWorker.h"     // IWYU pragma: export
#include "Platform/PdfHelper/PdfWorkerPool.h" // IWYU pragma: export
