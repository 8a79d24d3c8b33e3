// Reading a long text PDF, timed against poppler's pdftotext on the same file
// in the same run. Both pay for Poppler's text extraction, which the reader
// spreads over several worker processes; its own work (words, lines, columns, tables,
// paragraphs, inference) should stay cheap beside it. pdftotext's figure
// includes starting its process. Two samples: a manual drawn with Cairo, and
// a long manual page set by groff (bash's when installed, else a generated
// one); the target is a ratio of at most 0.8 ("of_target" at most 1).

#include "FolmiraKit/Model/Folmira.h"

#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <cairo.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// A long groff-made PDF: `groff -Tpdf -man` over bash's manual page, or over
// a generated page of as many sections when that is not installed.
std::filesystem::path groffManual()
{
    static const std::filesystem::path path = [] {
        auto dir = std::filesystem::temp_directory_path();
        auto pdf = dir / "folmira-bench-groff.pdf";
        std::string source = "zcat /usr/share/man/man1/bash.1.gz";
        if (!std::filesystem::exists("/usr/share/man/man1/bash.1.gz")) {
            auto man = dir / "folmira-bench-manual.1";
            std::ofstream out(man);
            out << ".TH FIELD 1\n.SH NAME\nfield \\- a generated manual\n";
            std::mt19937 random(7);
            const char* words[] = {"option", "value", "file", "shell", "command", "variable", "the", "is", "and",
                                   "expansion", "quoted", "default", "when", "set", "to", "argument"};
            for (int section = 0; section < 120; ++section) {
                out << ".SH SECTION " << section << "\n";
                for (int item = 0; item < 6; ++item) {
                    out << ".TP\n.B \\-opt" << item << "\n";
                    for (int w = 0; w < 60; ++w) out << words[random() % std::size(words)] << (w % 12 == 11 ? "\n" : " ");
                    out << "\n";
                }
            }
            source = "cat '" + man.string() + "'";
        }
        if (std::system((source + " | groff -Tpdf -man > '" + pdf.string() + "' 2>/dev/null").c_str()) != 0)
            std::filesystem::remove(pdf);
        return pdf;
    }();
    return path;
}

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

void BM_ReadCairoManual(benchmark::State& state) { readVersusPdftotext(state, sample()); }
void BM_ReadGroffManual(benchmark::State& state) { readVersusPdftotext(state, groffManual()); }

} // namespace

BENCHMARK(BM_ReadCairoManual)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ReadGroffManual)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

BENCHMARK_MAIN();
