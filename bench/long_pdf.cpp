// Reading a very long PDF (one line of text a page) as the window reads it,
// timed against pdftotext on the same file in the same run, with the peak
// memory of the whole process tree (this program and its PDF workers, by
// their proportional share, so that what they share counts once). The time
// should grow with the pages, not faster: `ms_per_kpage` stays level across
// the sizes. `memory_ratio` is the tree's peak to pdftotext's on the same
// file: both hold the document's page tree, the tree once however many
// workers share it, and the workers' pages beside it.
// `workers` counts the worker processes that read pages: four, however long
// the document, as its own page tree is shared by them all.
//
// And long documents of real text: manual pages set by groff (`man -Tpdf`),
// joined with qpdf until the document has the pages asked for, with the peak
// of this program (the app's side) and of the tree beside the text kept. The
// app should hold far less than ten times the text (`app_MB` under 300 and
// `tree_MB` under 500 for 10,000 pages), and keep every page.
//
// Either kind is also read packed in object streams (`qpdf
// --object-streams=generate`, as qpdf and many writers save): half the bytes
// or less, as many objects to parse, and a time close to the unpacked file's.

#include "FolmiraKit/FolmiraKit.h"
#include "FolmiraKit/PDF/PDFReader.h"
#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/PdfHelper/PdfWorker.h"
#include "bench/Support/TreeMemory.h"
#include "tests/PlainPdf.h"

#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// A PDF of `pages` pages, each one line of text, written directly: one font
// shared by every page, the pages under one flat page tree.
std::vector<std::uint8_t> longPdf(int pages)
{
    const std::string pdf =
        PlainPdf::oneLinePages(pages, [](int p) { return "This is line " + std::to_string(p + 1) + " of a long document."; });
    return {pdf.begin(), pdf.end()};
}

double seconds(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

struct Totals {
    double reader = 0;    // seconds, every iteration's
    double pdftotext = 0; // seconds, pdftotext on the same file after each
    double pdftotextPeak = 0; // bytes, the most pdftotext held resident
};

// Runs pdftotext on `file`: its peak resident bytes, or -1 when it failed.
double pdftotextPeak(const std::filesystem::path& file)
{
    std::string program = "pdftotext", quiet = "-q", path = file.string(), out = "/dev/null";
    char* argv[] = {program.data(), quiet.data(), path.data(), out.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "pdftotext", nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return static_cast<double>(usage.ru_maxrss) * 1024;
}

// Each iteration runs `read`, then pdftotext on `file`; the iteration's time is the reader's.
Totals readBesidePdftotext(benchmark::State& state, const std::filesystem::path& file, const std::function<void()>& read)
{
    Totals totals;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        read();
        const auto readDone = std::chrono::steady_clock::now();
        const double peak = pdftotextPeak(file);
        if (peak < 0) state.SkipWithError("pdftotext failed");
        totals.pdftotextPeak = std::max(totals.pdftotextPeak, peak);
        const auto done = std::chrono::steady_clock::now();
        totals.reader += seconds(start, readDone);
        totals.pdftotext += seconds(readDone, done);
        state.SetIterationTime(seconds(start, readDone));
    }
    return totals;
}

// `file` packed in object streams in its place; false when qpdf can't.
bool pack(const std::filesystem::path& file)
{
    const auto loose = file.string() + ".loose";
    std::filesystem::rename(file, loose);
    const bool packed =
        std::system(("qpdf --object-streams=generate '" + loose + "' '" + file.string() + "'").c_str()) == 0;
    std::filesystem::remove(loose);
    return packed;
}

// The worker processes sent a page to read while it lives.
class ReadingWorkers {
public:
    ReadingWorkers()
    {
        Platform::PdfWorker::setBeforeSend([this](pid_t pid, std::uint8_t tag) {
            std::lock_guard lock(mutex_);
            if (tag == static_cast<std::uint8_t>(FolmiraKit::PDFReader::WorkerRequest::readPage)) pids_.insert(pid);
        });
    }
    ~ReadingWorkers() { Platform::PdfWorker::setBeforeSend({}); }
    double count()
    {
        std::lock_guard lock(mutex_);
        return static_cast<double>(pids_.size());
    }

private:
    std::mutex mutex_;
    std::set<pid_t> pids_;
};

// The file at `path`, whole.
std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Range 0: the pages; range 1: 1 when the pages are packed in object streams
// (as qpdf and many writers save them), which the workers unpack to read.
void BM_ReadLongPdf(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    const bool packed = state.range(1) != 0;
    auto pdf = longPdf(pages);
    const auto file = std::filesystem::temp_directory_path() /
                      ("folmira-bench-long-" + std::to_string(pages) + (packed ? "-packed" : "") + ".pdf");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(pdf.data()),
                                                static_cast<std::streamsize>(pdf.size()));
    if (packed) {
        if (!pack(file)) {
            state.SkipWithError("qpdf failed");
            return;
        }
        pdf = fileBytes(file);
    }
    std::int64_t peak = 0;
    ReadingWorkers workers;
    std::size_t blocks = 0;
    bool refused = false;
    malloc_trim(0); // what an earlier case freed is not counted in this one
    const auto [reader, pdftotext, pdftotextBytes] = readBesidePdftotext(state, file, [&] {
        peak = std::max(peak, BenchSupport::treePeakBytes(
                                  [&] {
                                      try {
                                          blocks = FolmiraKit::PDFReader::read(pdf, "Long").blocks.size();
                                      } catch (const FolmiraKit::ConversionError& error) {
                                          refused = true;
                                          state.SetLabel(error.what());
                                      }
                                  },
                                  std::chrono::milliseconds(250)));
    });
    std::filesystem::remove(file);
    const auto n = static_cast<double>(state.iterations());
    state.counters["reader_ms"] = reader / n * 1000;
    state.counters["pdftotext_ms"] = pdftotext / n * 1000;
    state.counters["ratio"] = pdftotext > 0 ? reader / pdftotext : 0;
    state.counters["ms_per_kpage"] = reader / n * 1000 / (pages / 1000.0);
    state.counters["tree_MB"] = static_cast<double>(peak) / (1 << 20);
    state.counters["memory_ratio"] = pdftotextBytes > 0 ? static_cast<double>(peak) / pdftotextBytes : 0;
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["workers"] = workers.count();
    state.counters["file_MB"] = static_cast<double>(pdf.size()) / (1 << 20);
    state.counters["refused"] = refused;
}

// This process's own proportional share, in bytes: the app's side of the tree.
std::int64_t ownBytes()
{
    std::int64_t total = 0;
    std::ifstream rollup("/proc/self/smaps_rollup");
    for (std::string key; rollup >> key;) {
        std::int64_t kilobytes = 0;
        if (key == "Pss:" && rollup >> kilobytes) total += kilobytes * 1024;
        rollup.ignore(1 << 10, '\n');
    }
    return total;
}

struct Peaks {
    std::int64_t app = 0;
    std::int64_t tree = 0;
};

// The most this process and its tree held while `work` ran.
template <typename Work>
Peaks peaksWhile(Work&& work)
{
    std::atomic<bool> running{true};
    Peaks peaks{ownBytes(), BenchSupport::treeBytes(getpid())};
    std::thread sampler([&] {
        while (running) {
            peaks.app = std::max(peaks.app, ownBytes());
            peaks.tree = std::max(peaks.tree, BenchSupport::treeBytes(getpid()));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    work();
    running = false;
    sampler.join();
    return peaks;
}

// Manual pages set by groff and joined by qpdf into a document of at least
// `pages` pages, written to `file`; false when the tools can't make it here.
bool manualPages(int pages, const std::filesystem::path& file)
{
    const auto dir = std::filesystem::temp_directory_path() / ("folmira-bench-man-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::vector<std::pair<std::filesystem::path, int>> sources; // a manual page's PDF and its pages
    int each = 0;
    for (const char* name : {"bash", "find", "grep", "ls", "tar", "sed", "ssh", "gzip"}) {
        const auto pdf = dir / (std::string(name) + ".pdf");
        const std::string set = "man -Tpdf " + std::string(name) + " > '" + pdf.string() + "' 2>/dev/null";
        if (std::system(set.c_str()) != 0 || std::filesystem::file_size(pdf) == 0) continue;
        const std::string count = "qpdf --show-npages '" + pdf.string() + "'";
        FILE* out = popen(count.c_str(), "r");
        int n = 0;
        if (out && std::fscanf(out, "%d", &n) == 1 && n > 0) sources.emplace_back(pdf, n), each += n;
        if (out) pclose(out);
    }
    bool made = false;
    if (each > 0) {
        std::ostringstream join;
        join << "qpdf --empty --pages";
        for (int have = 0; have < pages; have += each)
            for (const auto& source : sources) join << " '" << source.first.string() << "'";
        join << " -- '" << file.string() << "'";
        made = std::system(join.str().c_str()) == 0;
    }
    std::filesystem::remove_all(dir);
    return made;
}

// Range 0: the pages (at least; whole manual pages are joined); range 1: 1
// when they are packed in object streams.
void BM_ReadManualPages(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    const bool packed = state.range(1) != 0;
    const auto file = std::filesystem::temp_directory_path() /
                      ("folmira-bench-manuals-" + std::to_string(pages) + (packed ? "-packed" : "") + ".pdf");
    if (!manualPages(pages, file) || (packed && !pack(file))) {
        state.SkipWithError("man, groff or qpdf can't make manual pages here");
        return;
    }
    const auto pdf = fileBytes(file);
    Peaks peaks;
    FolmiraKit::BigDocument document;
    malloc_trim(0); // what an earlier case freed is not counted in this one
    const auto [reader, pdftotext, pdftotextBytes] = readBesidePdftotext(state, file, [&] {
        peaks = peaksWhile([&] {
            try {
                document = FolmiraKit::PDFReader::read(pdf, "Manuals");
            } catch (const FolmiraKit::ConversionError& error) {
                state.SkipWithError(error.what());
            }
        });
    });
    std::filesystem::remove(file);
    const auto n = static_cast<double>(state.iterations());
    state.counters["reader_ms"] = reader / n * 1000;
    state.counters["ratio"] = pdftotext > 0 ? reader / pdftotext : 0;
    state.counters["file_MB"] = static_cast<double>(pdf.size()) / (1 << 20);
    state.counters["text_MB"] = static_cast<double>(document.plainText().size()) / (1 << 20);
    state.counters["app_MB"] = static_cast<double>(peaks.app) / (1 << 20);
    state.counters["tree_MB"] = static_cast<double>(peaks.tree) / (1 << 20);
    state.counters["memory_ratio"] = pdftotextBytes > 0 ? static_cast<double>(peaks.tree) / pdftotextBytes : 0;
    state.counters["pages_left_out"] = static_cast<double>(document.leftOutPages.size());
}

// The large-print copy of the manual pages, as the window makes it once they
// are read: its time beside the reading's (`ratio`, the same run), and what
// the app holds while it is made beyond the document itself. The copy is
// written as it is laid out, so that grows with the copy's own bytes, once
// (`held_ratio`, its peak over the PDF's size, near 1), not with the pages
// held or the document again.
void BM_CopyOfManualPages(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    const auto file = std::filesystem::temp_directory_path() / ("folmira-bench-copy-" + std::to_string(pages) + ".pdf");
    if (!manualPages(pages, file)) {
        state.SkipWithError("man, groff or qpdf can't make manual pages here");
        return;
    }
    malloc_trim(0);
    const auto readStart = std::chrono::steady_clock::now();
    FolmiraKit::BigDocument document;
    try {
        document = FolmiraKit::Folmira::read(file, false);
    } catch (const FolmiraKit::ConversionError& error) {
        state.SkipWithError(error.what());
        return;
    }
    const double reading = seconds(readStart, std::chrono::steady_clock::now());
    std::filesystem::remove(file);
    FolmiraKit::RenderResult copy;
    Peaks peaks;
    std::int64_t before = 0;
    double copying = 0;
    for (auto _ : state) {
        copy = {};
        malloc_trim(0);
        before = ownBytes();
        const auto start = std::chrono::steady_clock::now();
        peaks = peaksWhile([&] { copy = FolmiraKit::Folmira::render(document, FolmiraKit::LargePrintSettings{}); });
        copying = seconds(start, std::chrono::steady_clock::now());
        state.SetIterationTime(copying);
    }
    const double megabyte = 1 << 20;
    state.counters["read_ms"] = reading * 1000;
    state.counters["copy_ms"] = copying * 1000;
    state.counters["ratio"] = reading > 0 ? copying / reading : 0;
    state.counters["copy_pages"] = copy.pageCount;
    state.counters["pdf_MB"] = static_cast<double>(copy.pdf.size()) / megabyte;
    state.counters["app_MB"] = static_cast<double>(peaks.app) / megabyte;
    state.counters["held_ratio"] =
        copy.pdf.empty() ? 0 : static_cast<double>(peaks.app - before) / static_cast<double>(copy.pdf.size());
}

} // namespace

BENCHMARK(BM_ReadLongPdf)
    ->Args({20'000, 0})
    ->Args({60'000, 0})
    ->Args({60'000, 1})
    ->Args({120'000, 0})
    ->Args({120'000, 1})
    ->Args({200'000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Last: what a long read leaves in this process's heap would count in the
// one-line documents' peaks.
BENCHMARK(BM_ReadManualPages)
    ->Args({10'000, 0})
    ->Args({10'000, 1})
    ->Args({30'000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK(BM_CopyOfManualPages)->Arg(10'000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
