// Reading the text formats (plain text, Markdown, RTF) of about 2 MB each,
// beside the least any reader of them does: going over the same bytes once,
// splitting them into lines and decoding their UTF-8 into code points. The
// "x_floor" counter is the reader's time over that floor's, from the same run.

#include "FolmiraKit/Readers/Markdown.h"
#include "FolmiraKit/Readers/PlainText.h"
#include "FolmiraKit/Readers/RichTextReader.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t size = 2 * 1024 * 1024;

// Pieces repeated in turn until the text is `size` bytes long.
Bytes repeated(std::initializer_list<const char*> pieces, std::string prefix = {}, const char* suffix = "")
{
    std::string text = std::move(prefix);
    while (text.size() < size)
        for (const char* piece : pieces) text += piece;
    text += suffix;
    return {text.begin(), text.end()};
}

Bytes plainText()
{
    return repeated({
        "CHAPTER ONE\n\n",
        "A long paragraph of ordinary prose that wraps at the editor's margin and goes on for a while, infor-\n"
        "mation included, as real documents do when they are written by hand.\n\n",
        "Shopping:\n- Milk\n- Eggs with a longer description\n    - nested item\n1. First step\n2) Second step\n\n",
        "Roses are red\nViolets are blue\nSugar is sweet\n\n",
        "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65 and na\xC3\xAFve r\xC3\xA9sum\xC3\xA9s.\n\n",
    });
}

Bytes markdown()
{
    return repeated({
        "## A chapter heading\n\n",
        "Ordinary prose with *emphasis*, **strong words**, `code`, a [link](https://example.org) and an\n"
        "autolink <https://example.org/page>, going on for a second line as paragraphs do.\n\n",
        "- Milk\n- Eggs with a longer description\n  - nested item\n1. First step\n2. Second step\n\n",
        "> A quoted line of text\n> that goes on.\n\n",
        "| Stop | First bus | Last bus |\n|------|-----------|----------|\n| Mill Road | 06:10 | 23:40 |\n"
        "| Station | 06:25 | 23:55 |\n\n",
        "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65 and na\xC3\xAFve r\xC3\xA9sum\xC3\xA9s.<!-- a note -->\n\n",
    });
}

Bytes richText()
{
    return repeated(
        {
            "{\\pard\\s1\\sb240\\sa120\\b\\fs32 A chapter heading\\b0\\par}\n",
            "{\\pard\\fs24 Ordinary prose with {\\i emphasis}, {\\b strong words} and caf\\'e9 cr\\u232?me, going on "
            "for a while as paragraphs written in a word processor do.\\par}\n",
            "{\\pard{\\pntext\\'95\\tab}\\fi-360\\li720 Milk with a longer description\\par}\n",
            "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Mill Road\\cell 06:10\\cell\\row\n",
            "{\\pard Caf\\u233?\\u8217?s menu.\\par}\n",
        },
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\n", "}");
}

// The floor: every byte looked at once, lines split, UTF-8 decoded.
std::size_t decodeLines(const Bytes& data)
{
    std::vector<char32_t> line;
    std::size_t lines = 0, codePoints = 0;
    for (std::size_t i = 0; i < data.size();) {
        const std::uint8_t byte = data[i];
        const int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? byte : byte & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < data.size(); ++k) point = (point << 6) | (data[i + k] & 0x3F);
        i += static_cast<std::size_t>(length);
        if (point == U'\n') {
            ++lines;
            codePoints += line.size();
            line.clear();
        } else {
            line.push_back(point);
        }
    }
    return lines + codePoints + line.size();
}

template <typename Read>
void readBeside(benchmark::State& state, const Bytes& data, Read read)
{
    using Clock = std::chrono::steady_clock;
    double readerSeconds = 0, floorSeconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        benchmark::DoNotOptimize(read(data));
        const auto done = Clock::now();
        benchmark::DoNotOptimize(decodeLines(data));
        const auto end = Clock::now();
        readerSeconds += std::chrono::duration<double>(done - start).count();
        floorSeconds += std::chrono::duration<double>(end - done).count();
        state.SetIterationTime(std::chrono::duration<double>(done - start).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.counters["floor_ms"] = floorSeconds * 1000 / static_cast<double>(state.iterations());
    state.counters["x_floor"] = floorSeconds > 0 ? readerSeconds / floorSeconds : 0;
}

void BM_ReadPlainText(benchmark::State& state)
{
    readBeside(state, plainText(), [](const Bytes& data) { return FolmiraKit::readPlainText(data, "bench"); });
}

void BM_ReadMarkdown(benchmark::State& state)
{
    readBeside(state, markdown(), [](const Bytes& data) { return FolmiraKit::readMarkdown(data, "bench", {}); });
}

void BM_ReadRichText(benchmark::State& state)
{
    readBeside(state, richText(), [](const Bytes& data) { return FolmiraKit::readRichText(data, "bench"); });
}

} // namespace

BENCHMARK(BM_ReadPlainText)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMarkdown)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRichText)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
