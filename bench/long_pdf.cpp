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
// On one core (OneCore: this program, its PDF workers and the programs it is
// set beside all pinned to one CPU, as on a slow machine), three shapes of
// real files, each timed beside its anchor in the same run (`ratio`, with the
// most it should be as `target`): a long manual of real text beside
// pdftotext; 400 pages holding 117 stored JPEGs beside pdftotext and
// `pdfimages -all` (its text, and its pictures as stored); 100,000 one-line
// pages packed in object streams beside pdftotext.
//
// Either kind is also read packed in object streams (`qpdf
// --object-streams=generate`, as qpdf and many writers save): half the bytes
// or less, as many objects to parse, and a time close to the unpacked file's.

#include "FolmiraKit/FolmiraKit.h"
#include "FolmiraKit/PDF/PDFReader.h"
#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/PdfHelper/PdfWorker.h"
#include "bench/Support/OneCore.h"
#include "bench/Support/Photos.h"
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

// `pages` pages of a report's text, `pictures` of them (spread evenly) with
// a photo stored as JPEG under their first lines, drawn at 6 × 4.5 inches.
std::string picturesPdf(int pages, int pictures)
{
    std::vector<Platform::Bytes> photos;
    for (int seed = 0; seed < 12; ++seed) photos.push_back(BenchSupport::photoJpeg(seed, 1200, 900));
    std::vector<std::string> objects{"<< /Type /Catalog /Pages 2 0 R >>", "",
                                     "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    std::string kids;
    int placed = 0;
    for (int p = 0; p < pages; ++p) {
        const bool photo = (p + 1) * pictures / pages > placed;
        std::string content = "BT /F1 10 Tf 13 TL 72 740 Td\n";
        for (int l = 0; l < (photo ? 20 : 50); ++l)
            content += "(Line " + std::to_string(l + 1) + " of page " + std::to_string(p + 1) +
                       ": the survey of the harbour walls, the quay and the old pier.) '\n";
        content += "ET\n";
        std::string resources = "/Font << /F1 3 0 R >>";
        const std::size_t page = objects.size() + 1;
        kids += std::to_string(page) + " 0 R ";
        if (photo) {
            content += "q 432 0 0 324 90 100 cm /Im0 Do Q\n";
            resources += " /XObject << /Im0 " + std::to_string(page + 2) + " 0 R >>";
        }
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << " + resources +
                          " >> /Contents " + std::to_string(page + 1) + " 0 R >>");
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
        if (photo) {
            const auto& jpeg = photos[static_cast<std::size_t>(placed) % photos.size()];
            objects.push_back("<< /Type /XObject /Subtype /Image /Width 1200 /Height 900 /ColorSpace /DeviceRGB "
                              "/BitsPerComponent 8 /Filter /DCTDecode /Length " + std::to_string(jpeg.size()) +
                              " >>\nstream\n" + std::string(jpeg.begin(), jpeg.end()) + "\nendstream");
            ++placed;
        }
    }
    objects[1] = "<< /Type /Pages /Count " + std::to_string(pages) + " /Kids [" + kids + "] >>";
    return PlainPdf::ofObjects(objects);
}

// Reads `file` as the app does, then runs each of `anchors` on it, all on one
// core; `ratio` is the reading's time over the anchors' together.
void oneCoreBesideAnchors(benchmark::State& state, const std::filesystem::path& file,
                          const std::vector<std::string>& anchors, double target)
{
    BenchSupport::OneCore pinned;
    double reader = 0, anchor = 0;
    FolmiraKit::BigDocument document;
    for (auto _ : state) {
        malloc_trim(0);
        const auto start = std::chrono::steady_clock::now();
        try {
            document = FolmiraKit::Folmira::read(file, false);
        } catch (const FolmiraKit::ConversionError& error) {
            state.SkipWithError(error.what());
            return;
        }
        const auto read = std::chrono::steady_clock::now();
        for (const std::string& command : anchors)
            if (std::system(command.c_str()) != 0) state.SkipWithError(("failed: " + command).c_str());
        const auto done = std::chrono::steady_clock::now();
        reader += seconds(start, read);
        anchor += seconds(read, done);
        state.SetIterationTime(seconds(start, read));
    }
    const auto n = static_cast<double>(state.iterations());
    std::size_t pictures = 0;
    for (const auto& block : document.blocks) pictures += block.as<FolmiraKit::Block::Image>() ? 1 : 0;
    state.counters["reader_ms"] = reader / n * 1000;
    state.counters["anchor_ms"] = anchor / n * 1000;
    state.counters["ratio"] = anchor > 0 ? reader / anchor : 0;
    state.counters["target"] = target;
    state.counters["blocks"] = static_cast<double>(document.blocks.size());
    state.counters["pictures"] = static_cast<double>(pictures);
    state.counters["pages_left_out"] = static_cast<double>(document.leftOutPages.size());
}

std::string pdftotextOf(const std::filesystem::path& file) { return "pdftotext -q '" + file.string() + "' /dev/null"; }

// A manual of some 620 pages of real text (groff's manual pages) beside pdftotext.
void BM_OneCoreManual(benchmark::State& state)
{
    const auto file = std::filesystem::temp_directory_path() / "folmira-bench-one-core-manual.pdf";
    if (!manualPages(620, file)) {
        state.SkipWithError("man, groff or qpdf can't make manual pages here");
        return;
    }
    oneCoreBesideAnchors(state, file, {pdftotextOf(file)}, 1.2);
    std::filesystem::remove(file);
}

// 400 pages, 117 photos stored as JPEG, beside pdftotext and pdfimages -all.
void BM_OneCorePictures(benchmark::State& state)
{
    const auto file = std::filesystem::temp_directory_path() / "folmira-bench-one-core-pictures.pdf";
    const auto images = std::filesystem::temp_directory_path() / ("folmira-bench-images-" + std::to_string(getpid()));
    std::filesystem::create_directories(images);
    const std::string pdf = picturesPdf(400, 117);
    std::ofstream(file, std::ios::binary).write(pdf.data(), static_cast<std::streamsize>(pdf.size()));
    oneCoreBesideAnchors(state, file,
                         {pdftotextOf(file), "pdfimages -q -all '" + file.string() + "' '" + (images / "im").string() + "'"},
                         2.0);
    state.counters["file_MB"] = static_cast<double>(pdf.size()) / (1 << 20);
    std::filesystem::remove(file);
    std::filesystem::remove_all(images);
}

// 100,000 one-line pages packed in object streams beside pdftotext.
void BM_OneCorePacked(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    const auto file = std::filesystem::temp_directory_path() / "folmira-bench-one-core-packed.pdf";
    const auto pdf = longPdf(pages);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(pdf.data()),
                                                static_cast<std::streamsize>(pdf.size()));
    if (!pack(file)) {
        state.SkipWithError("qpdf failed");
        return;
    }
    oneCoreBesideAnchors(state, file, {pdftotextOf(file)}, 2.5);
    std::filesystem::remove(file);
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

BENCHMARK(BM_OneCoreManual)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OneCorePictures)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OneCorePacked)->Arg(100'000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK(BM_CopyOfManualPages)->Arg(10'000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
