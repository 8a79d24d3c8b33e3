// Importing 500 generated ChordPro song files (a folder of them) through the
// songbook model: walk, read, decode, convert, store. Compared in the same run
// with chordii (Debian's ChordPro typesetter, an optional peer) reading and
// typesetting the same files into PostScript, when it is installed ("x
// chordii", aim at most 1); always also with reading and decoding the same
// bytes alone ("x read").

#include "bench/Support/IdleScheduler.h"
#include "Lyricade/AppModel.h"
#include "SongbookSample.h"
#include "TunequillKit/Song/SongFile.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int fileCount = 500;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The folder of song files, made once for the whole run.
struct Folder {
    QTemporaryDir dir;
    std::vector<fs::path> files;

    Folder()
    {
        for (int i = 0; i < fileCount; ++i) {
            fs::path file = fs::path(dir.path().toStdString()) / ("song " + std::to_string(i) + ".cho");
            std::ofstream(file, std::ios::binary) << SongbookSample::song(i);
            files.push_back(file);
        }
    }
    fs::path path() const { return dir.path().toStdString(); }
};

const Folder& folder()
{
    static const Folder made;
    return made;
}

class Silent final : public Lyricade::Announcer {
    void announce(const QString&) override {}
};

double importSeconds()
{
    Lyricade::ModelServices services;
    services.scheduler = std::make_shared<IdleScheduler>(); // no preview, no save: the import alone
    services.announcer = std::make_shared<Silent>();
    services.dataFolder = folder().path() / "data";
    Lyricade::AppModel model(Lyricade::SongHost::silent(), false, TunequillKit::Library{}, services);
    const auto start = Clock::now();
    const int imported = model.importFiles({folder().path()});
    const double spent = seconds(Clock::now() - start);
    if (imported != fileCount) std::fprintf(stderr, "imported %d of %d files\n", imported, fileCount);
    return spent;
}

// Reading each file whole and decoding it, nothing more.
double readSeconds()
{
    const auto start = Clock::now();
    std::size_t characters = 0;
    for (const fs::path& file : folder().files) {
        std::ifstream in(file, std::ios::binary);
        Platform::Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (auto text = TunequillKit::SongFile::decode(bytes)) characters += text->size();
    }
    benchmark::DoNotOptimize(characters);
    return seconds(Clock::now() - start);
}

std::optional<std::string> chordii()
{
    for (const char* dir : {"/usr/bin", "/usr/local/bin"})
        if (fs::path program = fs::path(dir) / "chordii"; access(program.c_str(), X_OK) == 0) return program.string();
    return std::nullopt;
}

// chordii typesetting all the files into one PostScript file.
std::optional<double> chordiiSeconds(const std::string& program)
{
    const std::string output = (folder().path() / "out.ps").string();
    std::vector<std::string> args{program, "-o", output};
    for (const fs::path& file : folder().files) args.push_back(file.string());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t child = 0;
    const int failed = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return std::nullopt;
    int status = 0;
    waitpid(child, &status, 0);
    const double spent = seconds(Clock::now() - start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return spent;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_Import500Files(benchmark::State& state)
{
    folder();
    importSeconds(); // the file system's caches warm, for every side alike
    std::vector<double> read, peer;
    const auto program = chordii();
    for (int i = 0; i < 5; ++i) {
        read.push_back(readSeconds());
        if (program)
            if (auto s = chordiiSeconds(*program)) peer.push_back(*s);
    }
    double spent = 0;
    for (auto _ : state) spent += importSeconds();
    const double mean = spent / static_cast<double>(state.iterations());
    state.counters["x read"] = mean / median(read);
    if (!peer.empty()) state.counters["x chordii"] = mean / median(peer);
    else state.SetLabel("chordii not installed");
}

} // namespace

BENCHMARK(BM_Import500Files)->Unit(benchmark::kMillisecond)->Iterations(5);

#include "bench/Support/QtBenchmarkMain.h"
