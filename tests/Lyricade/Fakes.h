#pragma once

// Test doubles for the songbook model: a manual clock for its timers, a host
// that records what reaches it, and a fixture that makes models over a data
// folder of their own.

#include "Lyricade/AppModel.h"
#include "TunequillKit/Library/Samples.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace LyricadeTest {

using namespace Lyricade;
using namespace TunequillKit;

// A clock that moves only when told; work runs in order of its due time.
class ManualScheduler final : public Scheduler {
public:
    struct Entry {
        Milliseconds due;
        std::function<void()> work;
        bool cancelled = false;
        bool ran = false;
    };

    TaskHandle after(Milliseconds delay, std::function<void()> work) override
    {
        auto entry = std::make_shared<Entry>(Entry{now + delay, std::move(work)});
        entries.push_back(entry);
        return std::make_unique<Handle>(entry);
    }

    // Moves the clock by `step`, running every task that falls due on the way.
    void advance(Milliseconds step)
    {
        const Milliseconds target = now + step;
        while (auto next = nextDue(target)) {
            now = std::max(now, next->due);
            next->ran = true;
            const auto work = next->work;
            work();
        }
        now = target;
    }
    void runDue() { advance(Milliseconds(0)); }

    int pending() const
    {
        return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                              [](const auto& e) { return !e->cancelled && !e->ran; }));
    }

    Milliseconds now{0};
    std::vector<std::shared_ptr<Entry>> entries;

private:
    class Handle final : public PendingTask {
    public:
        explicit Handle(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
        ~Handle() override { cancel(); }
        void cancel() override { entry_->cancelled = true; }
        bool pending() const override { return !entry_->cancelled && !entry_->ran; }

    private:
        std::shared_ptr<Entry> entry_;
    };

    std::shared_ptr<Entry> nextDue(Milliseconds target) const
    {
        std::shared_ptr<Entry> best;
        for (const auto& e : entries)
            if (!e->cancelled && !e->ran && e->due <= target && (!best || e->due < best->due)) best = e;
        return best;
    }
};

// A worker that does each job in place, at once: the model's previews then
// arrive inside the scheduler's task, as if rendering were instantaneous.
class InlineWorker final : public Worker {
public:
    void post(Job job) override
    {
        if (Finish finish = job()) finish();
    }
    void wait(std::function<void()> work) override { work(); }
};

// A worker held at a gate: jobs wait until the test runs them, and their
// results until it delivers them, so "while a preview is being made" is a
// state a test can stand in.
class GatedWorker final : public Worker {
public:
    void post(Job job) override { jobs.push_back(std::move(job)); }
    void wait(std::function<void()> work) override { work(); }

    // Runs the oldest job not yet run, keeping what it hands back.
    void runNext()
    {
        ASSERT_LT(ran, jobs.size());
        results.push_back(jobs[ran++]());
    }
    // Hands the result of job `index` to the main thread.
    void deliver(std::size_t index)
    {
        ASSERT_LT(index, results.size());
        if (results[index]) results[index]();
    }

    std::vector<Job> jobs;
    std::vector<Finish> results;
    std::size_t ran = 0;
};

// A book maker that throws what it is told to, as a fault deep in the engine
// would, and renders as usual otherwise.
struct FailingMaker final : BookMaker {
    BookRender render(const BookRequest& request) override
    {
        if (failure) std::rethrow_exception(failure);
        return BookMaker::render(request);
    }
    std::exception_ptr failure;
};

// An open panel that answers as told and remembers what it was asked.
struct FakePanels final : SongPanels {
    std::optional<std::vector<std::filesystem::path>> chooseSongFiles(const QString& message, const QString& prompt,
                                                                      const QStringList& nameFilters) override
    {
        asked.push_back({message, prompt, nameFilters});
        return answer;
    }
    struct Asked {
        QString message, prompt;
        QStringList filters;
    };
    std::vector<Asked> asked;
    std::optional<std::vector<std::filesystem::path>> answer;
};

struct FakeAnnouncer final : Announcer {
    void announce(const QString& text) override { said << text; }
    QStringList said;
};

// A host that remembers every call.
struct RecordingHost {
    struct Saved {
        Platform::Bytes pdf;
        QString name;
        QString message;
    };
    std::vector<Saved> saved;
    std::vector<SongPrintJob> printed;
    std::vector<bool> contrast;

    SongHost host()
    {
        return SongHost{
            [this](const Platform::Bytes& pdf, const QString& name, const QString& message) {
                saved.push_back({pdf, name, message});
            },
            [this](const SongPrintJob& job) { printed.push_back(job); },
            [] { return std::vector<SongHost::Preset>{{"Large Print", 18}, {"Extra Large", 24}}; },
            [this](bool on) { contrast.push_back(on); },
        };
    }
};

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A song whose title and body are given.
inline StoredSong storedSong(const std::string& title, const std::string& body = "[G]Hello [C]world\n")
{
    return StoredSong{Uuid::random(), (title.empty() ? "" : "{title: " + title + "}\n") + body, std::nullopt,
                      Date{0}};
}

inline SongEntry entryFor(const StoredSong& song, std::int64_t transpose = 0)
{
    return SongEntry{Uuid::random(), song.id, transpose, std::nullopt};
}

// `count` short songs and one book holding them, one song a page with no
// contents, index or spreads, so pages equal songs.
inline Library bookLibrary(int count, PageSize page = PageSize::letter, BookKind kind = BookKind::book)
{
    Library library;
    Songbook book(Uuid::random(), kind == BookKind::book ? "Camp" : "Sunday", kind);
    book.settings.spreads = false;
    book.settings.tableOfContents = false;
    book.settings.index = false;
    book.settings.setListPage = false;
    book.settings.pageSize = page;
    for (int i = 1; i <= count; ++i) {
        library.songs.push_back(storedSong("Song " + std::to_string(i)));
        book.entries.push_back(entryFor(library.songs.back()));
    }
    library.books.push_back(book);
    return library;
}

class ModelTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    AppModel& make(bool persist = true, std::optional<Library> library = std::nullopt)
    {
        model.reset();
        model = std::make_unique<AppModel>(recorder.host(), persist, std::move(library), services());
        return *model;
    }

    ModelServices services() const
    {
        return ModelServices{clock, dataFolder(), panels, announcer, worker, maker};
    }

    std::filesystem::path dataFolder() const { return std::filesystem::path(folder.path().toStdString()) / "data"; }
    std::filesystem::path libraryPath() const { return dataFolder() / "Songbooks" / "library.json"; }

    QTemporaryDir folder;
    std::shared_ptr<ManualScheduler> clock = std::make_shared<ManualScheduler>();
    std::shared_ptr<FakePanels> panels = std::make_shared<FakePanels>();
    std::shared_ptr<FakeAnnouncer> announcer = std::make_shared<FakeAnnouncer>();
    std::shared_ptr<Worker> worker = std::make_shared<InlineWorker>();
    std::shared_ptr<BookMaker> maker; // none: a real one
    RecordingHost recorder;
    std::unique_ptr<AppModel> model;
};

} // namespace LyricadeTest
