// Preview refresh of a 200-song book (contents and index on), as pages and as
// booklet sheets, through the songbook model. Each case also times the bare
// engine (layout and PDF of already parsed songs) in the same run and reports
// the model's time as a multiple of it ("x engine"): the model's own share
// (parse cache, preparing, opening the preview document) is the excess.

#include "Lyricade/AppModel.h"
#include "SongbookSample.h"
#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Render/BookletMaker.h"
#include "TunequillKit/Render/Renderer.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace TunequillKit;
using Clock = std::chrono::steady_clock;

Library library200()
{
    Library library;
    Songbook book(Uuid::random(), "Campfire", BookKind::book, {}, "Two hundred songs"); // contents and index on
    for (int i = 0; i < 200; ++i) {
        library.songs.push_back(StoredSong{Uuid::random(), SongbookSample::song(i), std::nullopt, Date{0}});
        book.entries.push_back(SongEntry{Uuid::random(), library.songs.back().id, i % 5 - 2, std::nullopt});
    }
    library.books.push_back(book);
    return library;
}

// A scheduler whose work never runs: the benchmark refreshes by hand.
class Idle final : public Lyricade::Scheduler {
    class Never final : public Lyricade::PendingTask {
        void cancel() override {}
        bool pending() const override { return false; }
    };

public:
    Lyricade::TaskHandle after(Lyricade::Milliseconds, std::function<void()>) override
    {
        return std::make_unique<Never>();
    }
};

// Seconds per book for the engine alone: layout, PDF and (for booklets) imposition.
double engineSeconds(const Library& library, bool booklet)
{
    const Songbook& book = library.books.front();
    std::vector<PreparedSong> songs;
    for (std::size_t i = 0; i < library.songs.size(); ++i)
        songs.emplace_back(ChordProParser::parse(library.songs[i].source), book.entries[i].transpose, std::nullopt,
                           book.settings.accidentals, false);
    const int rounds = 3;
    const auto start = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        BookLayout layout = BookLayouter(book.settings, systemMeasurer(), book.name, book.subtitle).layout(songs);
        Platform::Bytes pdf = Renderer::pdf(layout, book.settings, book.name);
        if (booklet) pdf = BookletMaker::pdf(pdf, BookletMaker::size(BookletMaker::Sheet::natural, book.settings.pageSize));
        benchmark::DoNotOptimize(pdf);
    }
    return std::chrono::duration<double>(Clock::now() - start).count() / rounds;
}

void refresh(benchmark::State& state, bool booklet)
{
    const Library library = library200();
    Lyricade::ModelServices services;
    services.scheduler = std::make_shared<Idle>();
    Lyricade::AppModel model(Lyricade::SongHost::silent(), false, library, services);
    model.setSelection(Lyricade::SidebarItem::book(library.books.front().id));
    model.setPreviewMode(booklet ? Lyricade::PreviewMode::booklet : Lyricade::PreviewMode::pages);
    model.refreshPreview(); // fills the parse cache, as the first refresh of a session does

    const double floor = engineSeconds(library, booklet);
    double spent = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        model.refreshPreview();
        spent += std::chrono::duration<double>(Clock::now() - start).count();
        benchmark::DoNotOptimize(model.previewPDF());
    }
    state.counters["pages"] = model.previewPages();
    state.counters["x engine"] = spent / static_cast<double>(state.iterations()) / floor;
}

void BM_PreviewBook200Pages(benchmark::State& state) { refresh(state, false); }
void BM_PreviewBook200Booklet(benchmark::State& state) { refresh(state, true); }

} // namespace

BENCHMARK(BM_PreviewBook200Pages)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PreviewBook200Booklet)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
