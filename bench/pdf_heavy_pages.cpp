// Long PDFs whose every page holds something heavy beside its text, read as
// the app reads them, with the memory of the whole process tree (this
// process and its PDF workers) sampled as it runs:
// - a photo report: pages of a caption above a JPEG photo (2,400 × 1,800 or
//   1,600 × 1,200) and a note line below it;
// - plots: pages of a heading, a drawing of a million line segments and a footer.
// Prints what was kept of each page (pictures, headings), the seconds and the
// tree's peak memory (and what the bench held before reading, the PDF it
// made among it). The time is set beside pdftotext's on the same file
// (which reads only the text, not the pictures).

#include "FolmiraKit/Model/Folmira.h"
#include "bench/Support/Photos.h"
#include "bench/Support/TreeMemory.h"
#include "tests/Platform/PdfFixtures.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using PdfFixtures::Builder;
namespace fs = std::filesystem;

QPDFObjectHandle fonts()
{
    return QPDFObjectHandle::parse("<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>");
}

std::string line(const std::string& words, int y, int size = 12)
{
    return "BT /F1 " + std::to_string(size) + " Tf 72 " + std::to_string(y) + " Td (" + words + ") Tj ET\n";
}

Platform::Bytes photoReport(int pages, int width)
{
    const int height = width * 3 / 4;
    Builder builder;
    for (int p = 0; p < pages; ++p) {
        static std::vector<Platform::Bytes> photos;
        if (photos.empty())
            for (int seed = 0; seed < 8; ++seed) photos.push_back(BenchSupport::photoJpeg(seed, width, height));
        const Platform::Bytes& jpeg = photos[static_cast<std::size_t>(p % 8)];
        QPDFObjectHandle photo = builder.qpdf().newStream();
        photo.replaceStreamData(std::string(jpeg.begin(), jpeg.end()), QPDFObjectHandle::newName("/DCTDecode"),
                                QPDFObjectHandle::newNull());
        auto dict = photo.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
        dict.replaceKey("/Width", QPDFObjectHandle::newInteger(width));
        dict.replaceKey("/Height", QPDFObjectHandle::newInteger(height));
        dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceRGB"));
        dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        QPDFObjectHandle resources = fonts();
        resources.replaceKey("/XObject", QPDFObjectHandle::parse("<< >>"));
        resources.getKey("/XObject").replaceKey("/Photo", photo);
        builder.page(line("Photo " + std::to_string(p + 1) + ": the harbour at dawn, seen from the old pier.", 740) +
                         "q 540 0 0 405 36 300 cm /Photo Do Q\n" +
                         line("Taken at six in the morning, looking east along the quay.", 270, 10),
                     resources);
    }
    return builder.write();
}

// One stroked polyline of `segments` pieces a page, a plot's dense line.
Platform::Bytes plots(int pages, int segments)
{
    Builder builder;
    std::string drawing = "q 0.1 w 72 100 m\n";
    for (int i = 0; i < segments; ++i) {
        drawing += std::to_string(72 + (i * 7) % 460) + "." + std::to_string(i % 10) + " " +
                   std::to_string(100 + (i * 13) % 560) + " l\n";
        if (i % 10'000 == 9'999) drawing += "S 72 100 m\n";
    }
    drawing += "S Q\n";
    for (int p = 0; p < pages; ++p)
        builder.page(line("Section " + std::to_string(p + 1) + " plot", 740, 18) + drawing +
                         line("Measured on the coast; page " + std::to_string(p + 1) + ".", 60),
                     fonts());
    return builder.write();
}

struct Reading {
    double seconds = 0, pdftotextSeconds = 0;
    long peakMegabytes = 0;
    long beforeMegabytes = 0; // the bench's own, holding the PDF it made
    FolmiraKit::BigDocument document;
    std::string refusal;
};

Reading readSampled(const fs::path& path)
{
    Reading reading;
    const std::int64_t before = BenchSupport::treeBytes(getpid());
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t peak = BenchSupport::treePeakBytes([&] {
        try {
            reading.document = FolmiraKit::Folmira::read(path, false);
        } catch (const FolmiraKit::ConversionError& error) {
            reading.refusal = error.what();
        }
    });
    reading.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    reading.peakMegabytes = static_cast<long>(peak >> 20);
    reading.beforeMegabytes = static_cast<long>(before >> 20);
    const auto started = std::chrono::steady_clock::now();
    std::string command = "pdftotext -q '" + path.string() + "' /dev/null";
    if (std::system(command.c_str()) == 0)
        reading.pdftotextSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return reading;
}

// The PDF `make` returns, written to `name` by a child process, so that
// what making it took is not counted among what reading it holds.
template <typename Make>
fs::path written(const std::string& name, Make make)
{
    fs::path path = fs::temp_directory_path() / name;
    pid_t child = fork();
    if (child == 0) {
        const Platform::Bytes pdf = make();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(pdf.data()),
                                                    static_cast<std::streamsize>(pdf.size()));
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return path;
}

void report(benchmark::State& state, const Reading& reading, const char* kept, double count, double of)
{
    if (!reading.refusal.empty()) state.SkipWithError(reading.refusal.c_str());
    state.counters[kept] = count;
    state.counters["of"] = of;
    state.counters["seconds"] = reading.seconds;
    state.counters["pdftotext_s"] = reading.pdftotextSeconds;
    state.counters["tree_peak_MB"] = static_cast<double>(reading.peakMegabytes);
    state.counters["bench_MB"] = static_cast<double>(reading.beforeMegabytes);
}

void BM_PhotoReport(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    const fs::path path = written("folmira-bench-photos.pdf", [&] { return photoReport(pages, width); });
    Reading reading;
    for (auto _ : state) {
        reading = readSampled(path);
        state.SetIterationTime(reading.seconds);
    }
    const auto& blocks = reading.document.blocks;
    auto pictures = std::count_if(blocks.begin(), blocks.end(), [](const FolmiraKit::Block& b) { return b.as<FolmiraKit::Block::Image>() != nullptr; });
    report(state, reading, "pictures", static_cast<double>(pictures), pages);
    double held = 0;
    for (const auto& block : blocks)
        if (const auto* image = block.as<FolmiraKit::Block::Image>()) held += static_cast<double>(image->picture.data.size());
    state.counters["pictures_MB"] = held / (1 << 20);
    state.counters["pdf_MB"] = static_cast<double>(fs::file_size(path)) / (1 << 20);
    fs::remove(path);
}

void BM_Plots(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    const fs::path path = written("folmira-bench-plots.pdf", [&] { return plots(pages, 1'000'000); });
    Reading reading;
    for (auto _ : state) {
        reading = readSampled(path);
        state.SetIterationTime(reading.seconds);
    }
    const std::string text = reading.document.plainText();
    int headings = 0;
    for (int p = 1; p <= pages; ++p)
        headings += text.find("Section " + std::to_string(p) + " plot") != std::string::npos;
    report(state, reading, "headings", headings, pages);
    fs::remove(path);
}

} // namespace

BENCHMARK(BM_PhotoReport)->Args({200, 2400})->Args({1000, 1600})->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_Plots)->Arg(40)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

BENCHMARK_MAIN();
