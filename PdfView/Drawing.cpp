#include "PdfView/Drawing.h"

#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace PdfView {

namespace {
std::atomic<bool> stopping{false};

std::mutex flagsMutex;
std::vector<std::weak_ptr<Platform::CancelFlag>> flags; // of drawings that may still run
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

void stopWithDrawing(const std::shared_ptr<Platform::CancelFlag>& stop)
{
    std::lock_guard lock(flagsMutex);
    std::erase_if(flags, [](const auto& flag) { return flag.expired(); });
    flags.push_back(stop);
}

bool stopDrawing(int milliseconds)
{
    stopping.store(true);
    {
        std::lock_guard lock(flagsMutex);
        for (const auto& flag : flags)
            if (auto live = flag.lock()) live->cancel();
        flags.clear();
    }
    drawingWorkers().clear();
    const bool stopped = drawingWorkers().waitForDone(milliseconds);
    if (stopped) stopping.store(false);
    return stopped;
}

} // namespace PdfView
