// Reading a long text PDF, timed against poppler's pdftotext on the same file
// in the same run. Both pay for Poppler's text extraction; the reader's own
// work (words, lines, columns, tables, paragraphs, inference) should stay
// cheap beside it. pdftotext's figure includes starting its process.

#include "FolmiraKit/Model/Folmira.h"

#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <cairo.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

constexpr int pages = 60;

// A manual of `pages` pages: a running header, a page number, and paragraphs of
// wrapped 11-point text with a heading now and then.
std::filesystem::path sample()
{
    static const std::filesystem::path path = [] {
        auto file = std::filesystem::temp_directory_path() / "folmira-bench-manual.pdf";
        const char* words[] = {"garden", "river", "morning", "light", "window", "letter", "basket", "orchard",
                               "meadow", "harvest", "lantern", "kitchen", "bridge", "village", "market", "summer",
                               "the", "and", "of", "a", "to", "in", "careful", "simple", "steady", "quiet"};
        std::mt19937 random(42);
        cairo_surface_t* surface = cairo_pdf_surface_create(file.c_str(), 612, 792);
        cairo_t* cr = cairo_create(surface);
        for (int page = 1; page <= pages; ++page) {
            cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(cr, 9);
            cairo_move_to(cr, 72, 40);
            cairo_show_text(cr, "Folmira field manual");
            cairo_move_to(cr, 290, 760);
            cairo_show_text(cr, ("Page " + std::to_string(page)).c_str());
            double y = 80;
            int line = 0;
            while (y < 730) {
                if (line % 24 == 5) {
                    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
                    cairo_set_font_size(cr, 15);
                    cairo_move_to(cr, 72, y + 6);
                    cairo_show_text(cr, ("Section " + std::to_string(page) + "." + std::to_string(line / 24 + 1)).c_str());
                    y += 28;
                }
                cairo_select_font_face(cr, "Liberation Serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
                cairo_set_font_size(cr, 11);
                bool last = line % 8 == 7;
                std::string text;
                while (true) {
                    std::string next = text + (text.empty() ? "" : " ") + words[random() % std::size(words)];
                    cairo_text_extents_t extents;
                    cairo_text_extents(cr, next.c_str(), &extents);
                    if (extents.x_advance > (last ? 250 : 468)) break;
                    text = next;
                }
                cairo_move_to(cr, line % 8 == 0 ? 90 : 72, y);
                cairo_show_text(cr, (text + (last ? "." : "")).c_str());
                y += last ? 22 : 13.5;
                ++line;
            }
            cairo_show_page(cr);
        }
        cairo_destroy(cr);
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
        return file;
    }();
    return path;
}

double seconds(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

void readVersusPdftotext(benchmark::State& state)
{
    auto path = sample();
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
    state.counters["ratio"] = pdftotext > 0 ? reader / pdftotext : 0;
    state.counters["pages"] = pages;
    state.counters["blocks"] = static_cast<double>(blocks);
}

} // namespace

BENCHMARK(readVersusPdftotext)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
