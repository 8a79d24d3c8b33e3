// Preview of a 200-song book (contents and index on) through the songbook
// model, as the window sees it.
//
// First a timing program: one keystroke in one song of the book, with the
// model's own timers and worker thread and the event loop running. It prints
// the longest time the main thread was blocked between the keystroke and the
// new preview (aim: at most 50 ms), found with a 1 ms heartbeat timer on the
// main thread, and the time from the end of the edit's wait to the new preview
// as a ratio to a full render in the same run (aim: at most 0.7): a model
// that has parsed, typeset and shaped nothing yet, rendering on the same
// worker thread (so the thread's own font and measuring caches are warm for
// both, as they are for every edit in a session).
//
// Then Google Benchmark cases: a refresh of an unchanged book, as pages and as
// booklet sheets, made in place, against the bare engine (layout and PDF of
// already parsed songs, no typeset blocks kept) in the same run ("x engine").

#include "bench/Support/IdleScheduler.h"
#include "Lyricade/AppModel.h"
#include "SongbookSample.h"
#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Render/BookletMaker.h"
#include "TunequillKit/Render/Renderer.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace TunequillKit;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

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

// Watches the main thread while the event loop runs: the longest gap between
// two ticks of a 1 ms timer is the longest time the thread did not answer.
class Heartbeat {
public:
    Heartbeat()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        longest_ = 0;
        last_ = Clock::now();
        timer_.start();
    }
    // Counts a stretch the caller spent on the main thread outside the loop.
    void blockedFor(double s) { longest_ = std::max(longest_, s); }
    double stop()
    {
        tick();
        timer_.stop();
        return longest_;
    }

private:
    void tick()
    {
        const auto now = Clock::now();
        longest_ = std::max(longest_, seconds(now - last_) - 0.001);
        last_ = now;
    }
    QTimer timer_;
    Clock::time_point last_;
    double longest_ = 0;
};

// Runs the event loop until the model shows a new preview document.
void waitForPreview(Lyricade::AppModel& model)
{
    QEventLoop loop;
    auto connection = QObject::connect(&model, &Lyricade::AppModel::previewPDFChanged, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit); // a guard against a preview that never comes
    loop.exec();
    QObject::disconnect(connection);
}

struct Measured {
    double toPreview = 0; // seconds from the request to the new preview
    double blocked = 0;   // the longest the main thread did not answer
};

Lyricade::ModelServices on(const std::shared_ptr<Lyricade::Worker>& worker)
{
    Lyricade::ModelServices services;
    services.worker = worker;
    return services;
}

// A model that has parsed and typeset nothing, asked for the book at once.
Measured fromNothing(const Library& library, const std::shared_ptr<Lyricade::Worker>& worker)
{
    Lyricade::AppModel model(Lyricade::SongHost::silent(), false, library, on(worker));
    waitForPreview(model); // the first song of All Songs, as at start
    Heartbeat heart;
    heart.start();
    const auto start = Clock::now();
    model.setSelection(Lyricade::SidebarItem::book(library.books.front().id));
    heart.blockedFor(seconds(Clock::now() - start));
    waitForPreview(model);
    Measured out{seconds(Clock::now() - start), heart.stop()};
    if (model.previewPages() < 200) std::fprintf(stderr, "unexpected preview: %d pages\n", model.previewPages());
    return out;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void editTiming()
{
    const Library library = library200();
    const auto worker = Lyricade::threadWorker();
    fromNothing(library, worker); // the worker thread's fonts and measured widths
    std::vector<double> full, fullBlocked;
    for (int i = 0; i < 3; ++i) {
        Measured m = fromNothing(library, worker);
        full.push_back(m.toPreview);
        fullBlocked.push_back(m.blocked);
    }

    Lyricade::AppModel model(Lyricade::SongHost::silent(), false, library, on(worker));
    waitForPreview(model);
    model.setSelection(Lyricade::SidebarItem::book(library.books.front().id));
    waitForPreview(model);

    const double wait = std::chrono::duration<double>(Lyricade::AppModel::previewDelay).count();
    std::vector<double> edits, blocked;
    std::string source = library.songs[100].source;
    for (int k = 0; k < 7; ++k) {
        source.insert(source.find("{end_of_verse}"), "[Am]one more [D]line\n"); // a keystroke's worth of change
        Heartbeat heart;
        heart.start();
        const auto start = Clock::now();
        model.updateSource(library.songs[100].id, source);
        heart.blockedFor(seconds(Clock::now() - start));
        waitForPreview(model);
        edits.push_back(seconds(Clock::now() - start) - wait);
        blocked.push_back(heart.stop());
    }

    const double fullTime = median(full);
    std::printf("Edit of one song in a 200-song book with contents and index (%d pages):\n", model.previewPages());
    std::printf("  full render:                       %7.1f ms (median of 3; main thread blocked at most %.1f ms)\n",
                fullTime * 1000, *std::max_element(fullBlocked.begin(), fullBlocked.end()) * 1000);
    std::printf("  edit, after the %3.0f ms wait:        %7.1f ms (median of 7)\n", wait * 1000, median(edits) * 1000);
    std::printf("  main thread blocked, keystroke to new preview: longest %.1f ms (median %.1f ms; aim <= 50 ms)\n",
                *std::max_element(blocked.begin(), blocked.end()) * 1000, median(blocked) * 1000);
    std::printf("  time to new preview / full render: %.2f (aim <= 0.7); with the wait: %.2f\n",
                median(edits) / fullTime, (median(edits) + wait) / fullTime);
    std::fflush(stdout);
}

// A worker that does the job in place, so that a refresh can be timed as one call.
class InPlace final : public Lyricade::Worker {
public:
    void post(Job job) override
    {
        if (Finish finish = job()) finish();
    }
    void wait(std::function<void()> work) override { work(); }
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
    return seconds(Clock::now() - start) / rounds;
}

void refresh(benchmark::State& state, bool booklet)
{
    const Library library = library200();
    Lyricade::ModelServices services;
    services.scheduler = std::make_shared<IdleScheduler>();
    services.worker = std::make_shared<InPlace>();
    Lyricade::AppModel model(Lyricade::SongHost::silent(), false, library, services);
    model.setSelection(Lyricade::SidebarItem::book(library.books.front().id));
    model.setPreviewMode(booklet ? Lyricade::PreviewMode::booklet : Lyricade::PreviewMode::pages);
    model.refreshPreview(); // fills the parse cache and the typeset blocks, as the first refresh of a session does

    const double floor = engineSeconds(library, booklet);
    double spent = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        model.refreshPreview();
        spent += seconds(Clock::now() - start);
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

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    editTiming();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
