// Layout speed of a 200-song book with contents and index, measured with the
// real (Pango) text measurer; the aim is at most 0.5 s for the layout alone.
// A second case uses the fixed-width measurer to show the layouter's own share.

#include "TunequillKit/Layout/BookLayouter.h"
#include "bench/SongbookSample.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace TunequillKit;

class FixedMeasurer : public TextMeasurer {
public:
    double width(std::string_view text, const FontSpec& font) const override
    {
        return 0.5 * font.size * static_cast<double>(text.size());
    }
};

void layoutWith(benchmark::State& state, std::shared_ptr<const TextMeasurer> measurer)
{
    const std::vector<PreparedSong> songs = SongbookSample::book();
    BookSettings settings; // contents and index on
    BookLayouter layouter(settings, std::move(measurer), "Campfire", "Two hundred songs");
    for (auto _ : state) {
        BookLayout layout = layouter.layout(songs);
        benchmark::DoNotOptimize(layout);
        state.counters["pages"] = static_cast<double>(layout.pages.size());
    }
}

void BM_LayoutBook200(benchmark::State& state) { layoutWith(state, systemMeasurer()); }
void BM_LayoutBook200FixedWidths(benchmark::State& state) { layoutWith(state, std::make_shared<FixedMeasurer>()); }

} // namespace

BENCHMARK(BM_LayoutBook200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayoutBook200FixedWidths)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
