// Reading a large plain-text file: throughput in MB/s.

#include "FolmiraKit/Readers/PlainText.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::vector<std::uint8_t> generatedText(std::size_t bytes)
{
    const char* pieces[] = {
        "CHAPTER ONE\n\n",
        "A long paragraph of ordinary prose that wraps at the editor's margin and goes on for a while, infor-\n"
        "mation included, as real documents do when they are written by hand.\n\n",
        "Shopping:\n- Milk\n- Eggs with a longer description\n    - nested item\n1. First step\n2) Second step\n\n",
        "Roses are red\nViolets are blue\nSugar is sweet\n\n",
        "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65 and na\xC3\xAFve r\xC3\xA9sum\xC3\xA9s.\n\n",
    };
    std::string text;
    for (std::size_t i = 0; text.size() < bytes; ++i) text += pieces[i % 5];
    return {text.begin(), text.end()};
}

void BM_ReadPlainText(benchmark::State& state)
{
    auto data = generatedText(5 * 1024 * 1024);
    for (auto _ : state) benchmark::DoNotOptimize(FolmiraKit::readPlainText(data, "bench"));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(data.size()));
}

} // namespace

BENCHMARK(BM_ReadPlainText)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
