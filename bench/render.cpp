// The cost of a large-print render per page, beside the bare cost of the same
// text broken into lines by Pango and written by Cairo with no layout rules.

#include "FolmiraKit/Render/Renderer.h"
#include "Platform/Fonts.h"

#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <string>

using namespace FolmiraKit;

namespace {

std::string sentence(int seed, int words)
{
    static const char* const pool[] = {"the",    "garden", "opens",  "early", "on",     "Saturday", "bring",
                                       "gloves", "and",    "water",  "for",   "planting", "beans",  "along",
                                       "south",  "fence",  "before", "noon",  "please", "reader"};
    std::string out;
    for (int i = 0; i < words; ++i) out += std::string(i ? " " : "") + pool[(seed * 7 + i * 13) % 20];
    return out + ".";
}

// About 100 pages (102 at the defaults) at 18 pt: chapters of headings, paragraphs and lists.
const BigDocument& bookOf100Pages()
{
    static const BigDocument document = [] {
        BigDocument doc;
        doc.title = "Benchmark";
        for (int chapter = 0; chapter < 70; ++chapter) {
            doc.blocks.push_back(Block::heading(1, {Run("Chapter " + std::to_string(chapter + 1))}));
            for (int p = 0; p < 3; ++p) doc.blocks.push_back(Block::paragraph({Run(sentence(chapter + p, 70))}));
            doc.blocks.push_back(Block::heading(2, {Run("Things to bring")}));
            for (int i = 0; i < 4; ++i)
                doc.blocks.push_back(Block::listItem("•", i % 2, {Run(sentence(chapter + i, 12))}));
        }
        return doc;
    }();
    return document;
}

void BM_Render(benchmark::State& state)
{
    const auto& doc = bookOf100Pages();
    int pages = 0;
    for (auto _ : state) {
        auto result = Renderer::render(doc, LargePrintSettings());
        benchmark::DoNotOptimize(result.pdf.data());
        pages = result.pageCount;
    }
    state.counters["pages"] = pages;
    state.counters["time/page"] =
        benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond);

cairo_status_t discard(void*, const unsigned char*, unsigned int) { return CAIRO_STATUS_SUCCESS; }

// Every block's text in one face, broken at the column width and drawn line
// under line, a new page when the column is full: the floor under any layout.
void BM_BarePangoCairo(benchmark::State& state)
{
    const auto& doc = bookOf100Pages();
    int pages = 0;
    for (auto _ : state) {
        PangoFontMap* map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), static_cast<FcConfig*>(Platform::Fonts::configuration()));
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 72);
        PangoContext* context = pango_font_map_create_context(map);
        PangoFontDescription* font = pango_font_description_from_string("Atkinson Hyperlegible");
        pango_font_description_set_absolute_size(font, 18 * PANGO_SCALE);
        cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(discard, nullptr, 612, 792);
        cairo_t* cr = cairo_create(surface);
        double y = 54;
        pages = 1;
        for (const auto& block : doc.blocks) {
            std::string text = block.plainText();
            PangoLayout* layout = pango_layout_new(context);
            pango_layout_set_font_description(layout, font);
            pango_layout_set_width(layout, 504 * PANGO_SCALE);
            pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
            for (int i = 0; i < pango_layout_get_line_count(layout); ++i) {
                if (y + 25.2 > 709.2) {
                    cairo_show_page(cr);
                    y = 54;
                    ++pages;
                }
                y += 25.2;
                cairo_move_to(cr, 54, y);
                pango_cairo_show_layout_line(cr, pango_layout_get_line_readonly(layout, i));
            }
            g_object_unref(layout);
        }
        cairo_destroy(cr);
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
        pango_font_description_free(font);
        g_object_unref(context);
        g_object_unref(map);
    }
    state.counters["pages"] = pages;
    state.counters["time/page"] =
        benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BarePangoCairo)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
