// Reading a long text PDF, timed against poppler's pdftotext on the same file
// in the same run. Both pay for Poppler's text extraction, which the reader
// spreads over several worker processes; its own work (words, lines, columns, tables,
// paragraphs, inference) should stay cheap beside it. pdftotext's figure
// includes starting its process. Two samples: a manual drawn with Cairo, and
// a long manual page set by groff (bash's when installed, else a generated
// one); the target is a ratio of at most 0.8 ("of_target" at most 1).

#include "FolmiraKit/Model/Folmira.h"
#include "bench/Support/ManualPdfs.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

double seconds(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

void readVersusPdftotext(benchmark::State& state, const std::filesystem::path& path)
{
    if (!std::filesystem::exists(path) || std::filesystem::file_size(path) == 0) {
        state.SkipWithError("no sample PDF (is groff installed?)");
        return;
    }
    std::string command = "pdftotext -q '" + path.string() + "' /dev/null";
    double reader = 0, pdftotext = 0;
    std::size_t blocks = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        FolmiraKit::BigDocument document = FolmiraKit::Folmira::read(path, false);
        auto read = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) state.SkipWithError("pdftotext failed");
        auto done = std::chrono::steady_clock::now();
        blocks = document.blocks.size();
        reader += seconds(start, read);
        pdftotext += seconds(read, done);
        state.SetIterationTime(seconds(start, read));
    }
    auto n = static_cast<double>(state.iterations());
    state.counters["reader_ms"] = reader / n * 1000;
    state.counters["pdftotext_ms"] = pdftotext / n * 1000;
    const double ratio = pdftotext > 0 ? reader / pdftotext : 0;
    state.counters["ratio"] = ratio;
    state.counters["of_target"] = ratio / 0.8;
    state.counters["blocks"] = static_cast<double>(blocks);
}

void BM_ReadCairoManual(benchmark::State& state) { readVersusPdftotext(state, ManualPdfs::cairoManual()); }
void BM_ReadGroffManual(benchmark::State& state) { readVersusPdftotext(state, ManualPdfs::groffManual()); }

} // namespace

BENCHMARK(BM_ReadCairoManual)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ReadGroffManual)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

BENCHMARK_MAIN();
