#include "PdfView/Drawing.h"

#include <QThreadPool>

#include <atomic>

namespace PdfView {

namespace {
std::atomic<bool> stopping{false};
} // namespace

QThreadPool& drawingWorkers()
{
    static QThreadPool pool;
    return pool;
}

bool drawingStopped()
{
    return stopping.load();
}

bool stopDrawing(int milliseconds)
{
    stopping.store(true);
    drawingWorkers().clear();
    const bool stopped = drawingWorkers().waitForDone(milliseconds);
    if (stopped) stopping.store(false);
    return stopped;
}

} // namespace PdfView
