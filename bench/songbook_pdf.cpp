// A 200-song book with contents and index made into a PDF, and into a booklet
// PDF, from the songs' ChordPro text: parse, prepare, lay out, draw (and
// impose). Each case prints its time over its target on this machine as
// "of_target": 0.4 s for the book, 0.55 s for the booklet; at most 1 is on target.

#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Render/BookletMaker.h"
#include "TunequillKit/Render/Renderer.h"
#include "bench/SongbookSample.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace TunequillKit;

struct Made {
    Platform::Bytes pdf;
    std::size_t pages = 0;
};

Made bookPdf(const std::vector<std::string>& sources, const BookSettings& settings)
{
    std::vector<PreparedSong> songs;
    songs.reserve(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i)
        songs.emplace_back(ChordProParser::parse(sources[i]), static_cast<int>(i % 5) - 2, std::nullopt,
                           Accidentals::automatic, false);
    BookLayout layout = BookLayouter(settings, systemMeasurer(), "Campfire", "Two hundred songs").layout(songs);
    return {Renderer::pdf(layout, settings, "Campfire"), layout.pages.size()};
}

void run(benchmark::State& state, double targetSeconds, bool booklet)
{
    std::vector<std::string> sources;
    for (int i = 0; i < 200; ++i) sources.push_back(SongbookSample::song(i));
    BookSettings settings; // contents and index on
    double total = 0;
    std::size_t pages = 0, bytes = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        Made made = bookPdf(sources, settings);
        if (booklet) made.pdf = BookletMaker::pdf(made.pdf, BookletMaker::size(BookletMaker::Sheet::letter, settings.pageSize));
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (made.pdf.empty()) state.SkipWithError("no PDF");
        pages = made.pages;
        bytes = made.pdf.size();
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["kB"] = static_cast<double>(bytes) / 1000;
    state.counters["of_target"] = mean / targetSeconds;
}

void BM_SongbookPdf(benchmark::State& state) { run(state, 0.4, false); }
void BM_SongbookBooklet(benchmark::State& state) { run(state, 0.55, true); }

} // namespace

BENCHMARK(BM_SongbookPdf)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SongbookBooklet)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_MAIN();
