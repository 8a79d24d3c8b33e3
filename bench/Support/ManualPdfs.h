#pragma once

// The long text PDFs the PDF benchmarks share, each made once a run in the
// temporary folder: a manual drawn with Cairo, and a manual page set by groff.

#include <cairo-pdf.h>
#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace ManualPdfs {

constexpr int cairoManualPages = 60;

// A manual of `cairoManualPages` pages: a running header, a page number, and
// paragraphs of wrapped 11-point text with a heading now and then.
inline std::filesystem::path cairoManual()
{
    static const std::filesystem::path path = [] {
        auto file = std::filesystem::temp_directory_path() / "folmira-bench-manual.pdf";
        const char* words[] = {"garden", "river", "morning", "light", "window", "letter", "basket", "orchard",
                               "meadow", "harvest", "lantern", "kitchen", "bridge", "village", "market", "summer",
                               "the", "and", "of", "a", "to", "in", "careful", "simple", "steady", "quiet"};
        std::mt19937 random(42);
        cairo_surface_t* surface = cairo_pdf_surface_create(file.c_str(), 612, 792);
        cairo_t* cr = cairo_create(surface);
        for (int page = 1; page <= cairoManualPages; ++page) {
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
inline std::filesystem::path groffManual()
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

} // namespace ManualPdfs
