#include "PdfView/Drawing.h"

#include <QDeadlineTimer>
#include <QThread>
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

int drawingProcesses()
{
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

QThreadPool& processDrawingWorkers()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(drawingProcesses());
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
    QDeadlineTimer deadline(milliseconds);
    bool stopped = true;
    for (QThreadPool* pool : {&drawingWorkers(), &processDrawingWorkers()}) {
        pool->clear();
        stopped = pool->waitForDone(static_cast<int>(deadline.remainingTime())) && stopped;
    }
    if (stopped) stopping.store(false);
    return stopped;
}

} // namespace PdfView
