// The cost of a large-print render per page, beside the bare cost of the same
// text broken into lines by Pango and written by Cairo with no layout rules
// (the floor, on one thread). Both ratios are printed, named: the render on the
// threads it uses here against the floor ("floor_ratio_N_threads"), and on one
// thread against it ("floor_ratio_1_thread"), the honest one on one core.
//
// And re-rendering a long copy at another type size, as a settings change in
// the document window does: the text shaped on four threads and the pages cut
// on one, timed beside the same render on one thread in the same run (renders
// taken in turn). The target is 150 ms for a 300-page copy ("of_target" at
// most 1).

#include "FolmiraKit/Render/Renderer.h"
#include "bench/Support/BenchText.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

using namespace FolmiraKit;

namespace {

// Chapters of a heading, three paragraphs of `words` words, a second heading
// and a list of four items; with `extras`, a bold sentence closes every
// paragraph and every fifth chapter ends with a small table.
BigDocument book(const char* title, int chapters, int words, bool extras)
{
    BigDocument doc;
    doc.title = title;
    for (int chapter = 0; chapter < chapters; ++chapter) {
        doc.blocks.push_back(Block::heading(1, {Run("Chapter " + std::to_string(chapter + 1))}));
        for (int p = 0; p < 3; ++p) {
            Runs runs{Run(BenchText::sentence(chapter + p, words))};
            if (extras) runs.emplace_back(" " + BenchText::sentence(p, 8), true);
            doc.blocks.push_back(Block::paragraph(runs));
        }
        doc.blocks.push_back(Block::heading(2, {Run("Things to bring")}));
        for (int i = 0; i < 4; ++i) doc.blocks.push_back(Block::listItem("•", i % 2, {Run(BenchText::sentence(chapter + i, 12))}));
        if (extras && chapter % 5 == 0) {
            std::vector<Block::Row> rows{{Block::Cell{Run("Item")}, Block::Cell{Run("When")}}};
            for (int r = 0; r < 4; ++r)
                rows.push_back({Block::Cell{Run(BenchText::sentence(r, 3))}, Block::Cell{Run(BenchText::sentence(r + chapter, 5))}});
            doc.blocks.push_back(Block::table(rows, true));
        }
    }
    return doc;
}

// About 100 pages (102 at the defaults) at 18 pt.
const BigDocument& bookOf100Pages()
{
    static const BigDocument document = book("Benchmark", 70, 70, false);
    return document;
}

template <class Work> double secondsOf(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The render on `threads` shaping threads (0: as many as it takes here).
int renderPages(const BigDocument& doc, int threads)
{
    Renderer::setShapingThreads(threads);
    auto result = Renderer::render(doc, LargePrintSettings());
    Renderer::setShapingThreads(0);
    benchmark::DoNotOptimize(result.pdf.data());
    return result.pageCount;
}

// Timed on the threads it uses here; on one thread and the floor in turn in
// the same run.
void BM_Render(benchmark::State& state)
{
    const auto& doc = bookOf100Pages();
    const int threads = Renderer::shapingThreads();
    int pages = 0;
    double used = 0, one = 0, floor = 0;
    for (auto _ : state) {
        const double t = secondsOf([&] { pages = renderPages(doc, 0); });
        used += t;
        one += secondsOf([&] { renderPages(doc, 1); });
        floor += secondsOf([&] { BenchText::barePangoCairo(doc); });
        state.SetIterationTime(t);
    }
    const auto n = static_cast<double>(state.iterations());
    const std::string many = std::to_string(threads) + (threads == 1 ? "_thread" : "_threads");
    state.counters["pages"] = pages;
    state.counters["threads"] = threads;
    state.counters["time/page"] =
        benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["ms_" + many] = used / n * 1000;
    state.counters["ms_1_thread"] = one / n * 1000;
    state.counters["floor_ms_1_thread"] = floor / n * 1000;
    state.counters["floor_ratio_" + many] = floor > 0 ? used / floor : 0;
    state.counters["floor_ratio_1_thread"] = floor > 0 ? one / floor : 0;
}
BENCHMARK(BM_Render)->UseManualTime()->Unit(benchmark::kMillisecond);

// About 300 pages at 20 pt.
const BigDocument& longCopy()
{
    static const BigDocument document = book("Long copy", 165, 60, true);
    return document;
}

double renderSeconds(const LargePrintSettings& settings, int threads, int& pages)
{
    Renderer::setShapingThreads(threads);
    auto start = std::chrono::steady_clock::now();
    auto result = Renderer::render(longCopy(), settings);
    auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(result.pdf.data());
    pages = result.pageCount;
    return std::chrono::duration<double>(end - start).count();
}

// The layout alone (shaping and cutting pages), without drawing the PDF.
double layoutSeconds(const LargePrintSettings& settings, int threads)
{
    auto start = std::chrono::steady_clock::now();
    Renderer::Layout layout(settings.clamped());
    const auto& blocks = longCopy().blocks;
    layout.shapeAhead(blocks, threads);
    for (std::size_t i = 0; i < blocks.size(); ++i) layout.add(blocks[i], i + 1 < blocks.size() ? &blocks[i + 1] : nullptr);
    auto pages = layout.finish();
    auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(pages.data());
    return std::chrono::duration<double>(end - start).count();
}

void BM_RerenderLongCopy(benchmark::State& state)
{
    LargePrintSettings settings;
    settings.fontSize = 20;
    double four = 0, one = 0, layoutFour = 0, layoutOne = 0;
    int pages = 0;
    for (auto _ : state) {
        double t = renderSeconds(settings, 4, pages);
        four += t;
        one += renderSeconds(settings, 1, pages);
        layoutFour += layoutSeconds(settings, 4);
        layoutOne += layoutSeconds(settings, 1);
        state.SetIterationTime(t);
    }
    Renderer::setShapingThreads(0);
    const auto n = static_cast<double>(state.iterations());
    state.counters["pages"] = pages;
    state.counters["ms_4_threads"] = four / n * 1000;
    state.counters["ms_1_thread"] = one / n * 1000;
    state.counters["layout_ms_4"] = layoutFour / n * 1000;
    state.counters["layout_ms_1"] = layoutOne / n * 1000;
    state.counters["speedup"] = four > 0 ? one / four : 0;
    state.counters["of_target"] = four / n * 1000 / 150;
}
BENCHMARK(BM_RerenderLongCopy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Every block's text in one face, broken at the column width and drawn line
// under line, a new page when the column is full: the floor under any layout.
void BM_BarePangoCairo(benchmark::State& state)
{
    const auto& doc = bookOf100Pages();
    int pages = 0;
    for (auto _ : state) pages = BenchText::barePangoCairo(doc);
    state.counters["pages"] = pages;
    state.counters["time/page"] =
        benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BarePangoCairo)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
