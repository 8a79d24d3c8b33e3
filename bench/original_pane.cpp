// Opening the user's PDF in the original pane: every tile of the pages in view
// drawn as the pane asks for them (pages 800 device pixels wide, in the pane's
// tiles, queued on its drawing threads and delivered to the main thread),
// drawn in worker processes under their limits (one a core up to four, each
// waited for by a thread of its own), timed against the same tiles drawn with Poppler-Qt
// in this process on the pane's threads, one a core, as the pane drew them
// before (the peer, taken in turn in the same run). The workers draw with
// Poppler's Cairo backend and the peer with its Splash one, so the ratio holds
// the two renderers' costs as well as the processes'. Three stages, each its
// own row: "cold", the first three pages of a document just set (the first
// tiles start the workers and hand them the document); "jump", a page in the
// middle of the document once the workers run; "warm", the first three pages
// again. "ratio" is the workers' time over the peer's. Two samples: bash's
// manual page set by groff, and a manual drawn with Cairo. The aim: a ratio
// of at most 1.5 at every stage ("of_target" at most 1), the isolation costing
// the reader no more than half again the wait. The pane lays the pages out
// from their sizes as a worker's opening tells them, before any tile is asked
// for: that opening is untimed in the stages, as the peer's own opening with
// Poppler-Qt is, and timed in rows of its own ("opening").

#include "PdfView/Drawing.h"
#include "PdfView/OutsidePdf.h"
#include "PdfView/Widgets/PageImageCache.h"
#include "PdfView/Widgets/PageRenderer.h"
#include "Platform/PdfHelper/PdfWorker.h"
#include "bench/Support/ManualPdfs.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

using namespace PdfView;

namespace {

constexpr int pixelWidth = 800;
constexpr int firstPages = 3;
constexpr int giveUpMs = 120'000; // a hang stops the benchmark rather than the machine

enum class Stage { cold, jump, warm };

struct Pane {
    PageRenderer renderer;
    PageImageCache cache;
};

// Asks for every tile of `pages` and waits for them all; the number drawn, or
// -1 when they did not all come.
int drawPages(Pane& pane, const std::vector<int>& pages)
{
    QEventLoop loop;
    int waiting = 0;
    int drawn = 0;
    const auto connection = QObject::connect(&pane.renderer, &PageRenderer::tileReady,
                                             [&](const TileRequest&, const QImage& image) {
                                                 drawn += image.isNull() ? 0 : 1;
                                                 if (--waiting == 0) loop.quit();
                                             });
    for (int index : pages) {
        const QSize pixels = pane.cache.pagePixels(index, pixelWidth);
        const int tile = PageImageCache::tileSize;
        for (int row = 0; row * tile < pixels.height(); ++row)
            for (int column = 0; column * tile < pixels.width(); ++column) {
                const QPoint at(column, row);
                const TileRequest request{index, pixelWidth, at, pane.cache.tileArea(index, pixelWidth, at),
                                          pane.cache.dotsPerInch(index, pixelWidth)};
                waiting += pane.renderer.request(request) ? 1 : 0;
            }
    }
    if (waiting > 0) {
        QTimer::singleShot(giveUpMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(connection);
    return waiting == 0 ? drawn : -1;
}

// Lets a worker just ended be replaced by an idle one (a few tens of
// milliseconds of starting a program), so that no start runs in a timing.
void settle()
{
    QThread::msleep(100);
}

template <class Work> double secondsOf(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Timed {
    double seconds = 0;
    int tiles = 0;
};

// A sample as each side opens it: for the workers as a worker told its
// sizes, for the peer with Poppler-Qt here.
struct Sample {
    OutsidePdfPtr outside;
    PdfDocumentPtr poppler;
};

// A new pane opening the sample, drawing in workers or in this process, with
// `stage` timed after the stages before it.
Timed openInPane(const Sample& sample, bool inWorkers, Stage stage)
{
    const std::vector<QSizeF>& sizes = sample.outside->sizes;
    std::vector<int> first;
    for (int index = 0; index < std::min(firstPages, static_cast<int>(sizes.size())); ++index) first.push_back(index);
    const std::vector<int> middle{static_cast<int>(sizes.size()) / 2};

    Timed timed;
    {
        Pane pane;
        pane.cache.reset(sizes);
        const auto cold = [&] {
            if (inWorkers) pane.renderer.setOutsideDocument(sample.outside);
            else pane.renderer.setDocument(sample.poppler);
            timed.tiles = drawPages(pane, first);
        };
        if (stage == Stage::cold) {
            timed.seconds = secondsOf(cold);
        } else {
            cold();
            const auto& pages = stage == Stage::jump ? middle : first;
            timed.seconds = secondsOf([&] { timed.tiles = drawPages(pane, pages); });
        }
    }
    // The workers of this pane are gone before the next one opens.
    processDrawingWorkers().waitForDone();
    drawingWorkers().waitForDone();
    return timed;
}

void BM_OriginalPane(benchmark::State& state, std::filesystem::path (*sample)(), Stage stage)
{
    const auto path = sample();
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("no sample PDF (is groff installed?)");
        return;
    }
    if (!std::filesystem::exists(Platform::PdfWorker::location())) {
        state.SkipWithError("no folmira-pdf-worker to draw in");
        return;
    }
    Sample opened{openOutside(path, {}, nullptr), pdfFromFile(path)};
    if (!opened.outside || !opened.poppler || opened.outside->sizes.size() != std::size_t(pageCount(opened.poppler))) {
        state.SkipWithError("the sample does not open alike in a worker and here");
        return;
    }
    // The worker that opened it is replaced by an idle one before the timing starts.
    settle();
    double workers = 0, inProcess = 0;
    int tiles = 0;
    bool workersFirst = true;
    for (auto _ : state) {
        // In turn, so that neither always finds the caches warmed by the other.
        Timed worker, peer;
        if (workersFirst) worker = openInPane(opened, true, stage);
        peer = openInPane(opened, false, stage);
        if (!workersFirst) worker = openInPane(opened, true, stage);
        workersFirst = !workersFirst;
        if (worker.tiles <= 0 || worker.tiles != peer.tiles) {
            state.SkipWithError("tiles missing from a drawing");
            return;
        }
        tiles = worker.tiles;
        workers += worker.seconds;
        inProcess += peer.seconds;
        state.SetIterationTime(worker.seconds);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["workers_ms"] = workers / n * 1000;
    state.counters["in_process_ms"] = inProcess / n * 1000;
    state.counters["ratio"] = inProcess > 0 ? workers / inProcess : 0;
    state.counters["of_target"] = inProcess > 0 ? workers / inProcess / 1.5 : 0;
    state.counters["tiles"] = tiles;
}

// A worker's opening of the sample, its pages' sizes told.
void BM_OriginalPaneOpening(benchmark::State& state, std::filesystem::path (*sample)())
{
    const auto path = sample();
    if (!std::filesystem::exists(path) || !std::filesystem::exists(Platform::PdfWorker::location())) {
        state.SkipWithError("no sample PDF, or no folmira-pdf-worker");
        return;
    }
    std::size_t pages = 0;
    for (auto _ : state) {
        OutsidePdfPtr opened;
        state.SetIterationTime(secondsOf([&] { opened = openOutside(path, {}, nullptr); }));
        if (!opened) {
            state.SkipWithError("a worker could not open the sample");
            return;
        }
        pages = opened->sizes.size();
        settle();
    }
    state.counters["pages"] = static_cast<double>(pages);
}

} // namespace

BENCHMARK_CAPTURE(BM_OriginalPaneOpening, groff, ManualPdfs::groffManual)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_OriginalPaneOpening, cairo, ManualPdfs::cairoManual)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_OriginalPane, groff_cold, ManualPdfs::groffManual, Stage::cold)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_OriginalPane, groff_jump, ManualPdfs::groffManual, Stage::jump)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_OriginalPane, groff_warm, ManualPdfs::groffManual, Stage::warm)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_OriginalPane, cairo_cold, ManualPdfs::cairoManual, Stage::cold)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_OriginalPane, cairo_jump, ManualPdfs::cairoManual, Stage::jump)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_OriginalPane, cairo_warm, ManualPdfs::cairoManual, Stage::warm)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

#include "bench/Support/QtBenchmarkMain.h"
