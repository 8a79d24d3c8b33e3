// A document that shows one picture of 100 million pixels twenty times: the
// render against its floor, one decode of that picture at the size it is
// drawn. A ratio near 1 means each picture is decoded once and the rest of the
// render costs little beside it.

#include "FolmiraKit/Render/Renderer.h"
#include "tests/FolmiraKit/HostileFiles.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace FolmiraKit;

namespace {

const Platform::Bytes& hugePicture()
{
    static const Platform::Bytes png = HostileFiles::solidPng(10'000, 10'000, {30, 60, 90});
    return png;
}

double secondsOf(const auto& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_RenderOnePictureTwentyTimes(benchmark::State& state)
{
    BigDocument doc{"Pictures", BigDocument::Source::markdown, {}, {}};
    for (int i = 0; i < 20; ++i) doc.blocks.push_back(Block::image(Picture{hugePicture(), 0, 0, ""}));
    // A column-wide square on Letter at 18 pt is drawn 504 points wide: 2,100 pixels at 300 dpi.
    double floor = secondsOf([] { benchmark::DoNotOptimize(Platform::Image::decodeAt(hugePicture(), 2100, 2100)); });
    double total = 0;
    for (auto _ : state) {
        total += secondsOf([&] { benchmark::DoNotOptimize(Renderer::render(doc, LargePrintSettings())); });
    }
    state.counters["decode floor (s)"] = floor;
    state.counters["ratio to floor"] = total / static_cast<double>(state.iterations()) / floor;
}
BENCHMARK(BM_RenderOnePictureTwentyTimes)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
