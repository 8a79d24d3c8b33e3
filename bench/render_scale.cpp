// Render cost as documents grow: time and peak memory per page at 1, 8 and
// 64 MB of text, beside the bare floor of the same text broken into lines by
// Pango and written by Cairo with no layout rules (on one thread). Two ratios
// to the floor: the render on the threads it uses here ("ratio N thr"), and on
// one thread ("ratio 1 thr"), the honest one on one core. And a paragraph that
// is one 2 MB word beside one of 2 MB of ordinary words (aim: at most 2×). Each
// measurement runs in a child process of its own, so that its peak memory
// (getrusage) is its own. Per page, time and memory should stay flat.
//
//   render_scale            all of it
//   render_scale QUICK      1 and 8 MB only

#include "FolmiraKit/Render/Layout.h"
#include "FolmiraKit/Render/Renderer.h"
#include "bench/Support/BenchText.h"
#include "bench/Support/ChildRun.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace FolmiraKit;

namespace {

// Paragraphs of about 80 ordinary words, `bytes` of text in all.
BigDocument paragraphs(std::size_t bytes, bool oneParagraph = false)
{
    static const char* const pool[] = {"the",    "garden", "opens",  "early", "on",     "Saturday", "bring",
                                       "gloves", "and",    "water",  "for",   "planting", "beans",  "along",
                                       "south",  "fence",  "before", "noon",  "please", "reader"};
    BigDocument doc;
    doc.title = "Scale";
    std::string text;
    std::size_t done = 0; // bytes in finished paragraphs
    for (int i = 0; done + text.size() < bytes; ++i) {
        text += pool[(i * 7 + i / 20) % 20];
        text += ' ';
        if (!oneParagraph && i % 80 == 79) {
            done += text.size();
            doc.blocks.push_back(Block::paragraph({Run(text)}));
            text.clear();
        }
    }
    if (!text.empty()) doc.blocks.push_back(Block::paragraph({Run(text)}));
    return doc;
}

BigDocument oneWord(std::size_t bytes)
{
    std::string word;
    for (std::size_t i = 0; i < bytes; ++i) word += static_cast<char>('a' + i % 26);
    return BigDocument{"Word", BigDocument::Source::text, {Block::paragraph({Run(word)})}, {}};
}

// In the child: makes the document, runs one measurement, prints
// "<pages> <seconds> <pdf bytes>". "render1" renders on one thread.
int child(const std::string& what, std::size_t bytes)
{
    BigDocument doc = what == "word" ? oneWord(bytes) : paragraphs(bytes, what == "words");
    if (what == "render1") Renderer::setShapingThreads(1);
    auto start = std::chrono::steady_clock::now();
    int pages = 0;
    std::size_t pdf = 0;
    if (what == "floor") {
        pages = BenchText::barePangoCairo(doc);
    } else {
        RenderResult result = Renderer::render(doc, LargePrintSettings());
        pages = result.pageCount;
        pdf = result.pdf.size();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d %.3f %zu\n", pages, seconds, pdf);
    return 0;
}

struct Measured {
    int pages = 0;
    double seconds = 0;
    double pdfBytes = 0;
    double peakMegabytes = 0;
};

Measured measure(const char* self, const std::string& what, std::size_t bytes)
{
    Measured m;
    const BenchSupport::ChildRun run = BenchSupport::runChild(self, {"child", what, std::to_string(bytes)});
    m.peakMegabytes = run.peakMegabytes;
    std::istringstream(run.output) >> m.pages >> m.seconds >> m.pdfBytes;
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "child") == 0) return child(argv[2], std::stoul(argv[3]));
    const bool quick = argc > 1 && std::strcmp(argv[1], "QUICK") == 0;

    const int threads = Renderer::shapingThreads();
    std::printf("The render on %d thread%s (as here) and on 1, the floor on 1.\n", threads, threads == 1 ? "" : "s");
    std::printf("%-6s %7s %12s %12s %12s %11s %11s %10s %12s %12s\n", "text", "pages", "ms/page", "1 thr ms/pg",
                "floor ms/pg", "ratio N thr", "ratio 1 thr", "peak MB", "peak KB/pg", "PDF KB/pg");
    for (std::size_t megabytes : {1, 8, 64}) {
        if (quick && megabytes > 8) break;
        const std::size_t bytes = megabytes << 20;
        Measured render = measure(argv[0], "render", bytes);
        Measured one = measure(argv[0], "render1", bytes);
        Measured floor = measure(argv[0], "floor", bytes);
        const double pages = std::max(1, render.pages);
        auto ratio = [&](const Measured& m) { return floor.seconds > 0 ? m.seconds / floor.seconds : 0; };
        std::printf("%3zu MB %7d %12.3f %12.3f %12.3f %11.2f %11.2f %10.1f %12.1f %12.2f\n", megabytes, render.pages,
                    render.seconds * 1000 / pages, one.seconds * 1000 / std::max(1, one.pages),
                    floor.seconds * 1000 / std::max(1, floor.pages), ratio(render), ratio(one), render.peakMegabytes,
                    render.peakMegabytes * 1024 / pages, render.pdfBytes / 1024 / pages);
    }

    Measured word = measure(argv[0], "word", 2u << 20);
    Measured words = measure(argv[0], "words", 2u << 20);
    std::printf("2 MB as one word: %d pages in %.2f s; as ordinary words: %d pages in %.2f s; ratio %.2f (aim <= 2)\n",
                word.pages, word.seconds, words.pages, words.seconds, words.seconds > 0 ? word.seconds / words.seconds : 0);
    return 0;
}
