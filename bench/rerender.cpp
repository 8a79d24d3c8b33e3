// Re-rendering a long large-print copy at another type size, as a settings
// change in the document window does: the text is shaped on four threads and
// the pages cut on one. Timed beside the same render on one thread in the same
// run (renders taken in turn). The target is 150 ms for a 300-page copy
// ("of_target" at most 1).

#include "FolmiraKit/Render/Renderer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

using namespace FolmiraKit;

namespace {

std::string sentence(int seed, int words)
{
    static const char* const pool[] = {"the",    "garden", "opens",  "early", "on",       "Saturday", "bring",
                                       "gloves", "and",    "water",  "for",   "planting", "beans",    "along",
                                       "south",  "fence",  "before", "noon",  "please",   "reader"};
    std::string out;
    for (int i = 0; i < words; ++i) out += std::string(i ? " " : "") + pool[(seed * 7 + i * 13 + i / 5) % 20];
    return out + ".";
}

// Chapters of headings, paragraphs, a list and now and then a small table:
// about 300 pages at 20 pt.
const BigDocument& longCopy()
{
    static const BigDocument document = [] {
        BigDocument doc;
        doc.title = "Long copy";
        for (int chapter = 0; chapter < 165; ++chapter) {
            doc.blocks.push_back(Block::heading(1, {Run("Chapter " + std::to_string(chapter + 1))}));
            for (int p = 0; p < 3; ++p)
                doc.blocks.push_back(Block::paragraph({Run(sentence(chapter + p, 60)), Run(sentence(p, 8), true)}));
            doc.blocks.push_back(Block::heading(2, {Run("Things to bring")}));
            for (int i = 0; i < 4; ++i)
                doc.blocks.push_back(Block::listItem("•", i % 2, {Run(sentence(chapter + i, 12))}));
            if (chapter % 5 == 0) {
                std::vector<Block::Row> rows{{Block::Cell{Run("Item")}, Block::Cell{Run("When")}}};
                for (int r = 0; r < 4; ++r)
                    rows.push_back({Block::Cell{Run(sentence(r, 3))}, Block::Cell{Run(sentence(r + chapter, 5))}});
                doc.blocks.push_back(Block::table(rows, true));
            }
        }
        return doc;
    }();
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

} // namespace

BENCHMARK_MAIN();
