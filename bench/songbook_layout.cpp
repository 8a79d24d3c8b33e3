// Layout speed of a 200-song book with contents and index, measured with the
// real (Pango) text measurer; the aim is at most 0.5 s for the layout alone.
// A second case uses the fixed-width measurer to show the layouter's own share.

#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Song/ChordProParser.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace TunequillKit;

const char* const chords[] = {"G", "C", "D7", "Em", "Am7", "F#m7b5", "Bb/D", "Csus4"};
const char* const words[] = {"morning ", "river ", "light ", "over ", "the ", "valley ", "we ", "gather "};

std::string makeSong(int seed)
{
    std::string text = "{title: Song " + std::to_string(seed) + "}\n{artist: Someone}\n{key: G}\n{capo: 2}\n";
    for (int block = 0; block < 5; ++block) {
        bool chorus = block % 3 == 1;
        text += chorus ? "{start_of_chorus}\n" : "{start_of_verse: Verse " + std::to_string(block + 1) + "}\n";
        for (int l = 0; l < 6; ++l) {
            for (int w = 0; w < 7; ++w) {
                if ((w + l + seed) % 2 == 0) text += "[" + std::string(chords[(w + l + block + seed) % 8]) + "]";
                text += words[(w * 3 + l + seed + block) % 8];
            }
            text += "\n";
        }
        text += chorus ? "{end_of_chorus}\n" : "{end_of_verse}\n";
        if (block == 2) text += "{c: Slower here}\n{chorus}\n";
    }
    text += "{define: G base-fret 1 frets 3 2 0 0 0 3}\n";
    return text;
}

std::vector<PreparedSong> book()
{
    std::vector<PreparedSong> songs;
    for (int i = 0; i < 200; ++i)
        songs.emplace_back(ChordProParser::parse(makeSong(i)), i % 5 - 2, std::nullopt, Accidentals::automatic, false);
    return songs;
}

class FixedMeasurer : public TextMeasurer {
public:
    double width(std::string_view text, const FontSpec& font) const override
    {
        return 0.5 * font.size * static_cast<double>(text.size());
    }
};

void layoutWith(benchmark::State& state, std::shared_ptr<const TextMeasurer> measurer)
{
    const std::vector<PreparedSong> songs = book();
    BookSettings settings; // contents and index on
    BookLayouter layouter(settings, std::move(measurer), "Campfire", "Two hundred songs");
    for (auto _ : state) {
        BookLayout layout = layouter.layout(songs);
        benchmark::DoNotOptimize(layout);
        state.counters["pages"] = static_cast<double>(layout.pages.size());
    }
}

void BM_LayoutBook200(benchmark::State& state) { layoutWith(state, systemMeasurer()); }
void BM_LayoutBook200FixedWidths(benchmark::State& state) { layoutWith(state, std::make_shared<FixedMeasurer>()); }

} // namespace

BENCHMARK(BM_LayoutBook200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayoutBook200FixedWidths)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
