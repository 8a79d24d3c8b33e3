// Render cost as documents grow: time and peak memory per page at 1, 8 and
// 64 MB of text, beside the bare floor of the same text broken into lines by
// Pango and written by Cairo with no layout rules; and a paragraph that is one
// 2 MB word beside one of 2 MB of ordinary words (aim: at most 2×). Each
// measurement runs in a child process of its own, so that its peak memory
// (getrusage) is its own. Per page, time and memory should stay flat.
//
//   render_scale            all of it
//   render_scale QUICK      1 and 8 MB only

#include "FolmiraKit/Render/Renderer.h"
#include "Platform/Fonts.h"

#include <cairo-pdf.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

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

cairo_status_t discard(void*, const unsigned char*, unsigned int) { return CAIRO_STATUS_SUCCESS; }

// Every block's text broken at the column width and drawn line under line.
int barePangoCairo(const BigDocument& doc)
{
    PangoFontMap* map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), static_cast<FcConfig*>(Platform::Fonts::configuration()));
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 72);
    PangoContext* context = pango_font_map_create_context(map);
    PangoFontDescription* font = pango_font_description_from_string("Atkinson Hyperlegible");
    pango_font_description_set_absolute_size(font, 18 * PANGO_SCALE);
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(discard, nullptr, 612, 792);
    cairo_t* cr = cairo_create(surface);
    double y = 54;
    int pages = 1;
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
    return pages;
}

// In the child: makes the document, runs one measurement, prints
// "<pages> <seconds> <pdf bytes>".
int child(const std::string& what, std::size_t bytes)
{
    BigDocument doc = what == "word" ? oneWord(bytes) : paragraphs(bytes, what == "words");
    auto start = std::chrono::steady_clock::now();
    int pages = 0;
    std::size_t pdf = 0;
    if (what == "floor") {
        pages = barePangoCairo(doc);
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
    std::string out = "/tmp/render-scale-" + std::to_string(getpid()) + ".txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = self, mode = "child", kind = what, size = std::to_string(bytes);
    char* argv[] = {program.data(), mode.data(), kind.data(), size.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self, &actions, nullptr, argv, environ) != 0) return m;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    m.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024;
    std::ifstream in(out);
    in >> m.pages >> m.seconds >> m.pdfBytes;
    std::remove(out.c_str());
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "child") == 0) return child(argv[2], std::stoul(argv[3]));
    const bool quick = argc > 1 && std::strcmp(argv[1], "QUICK") == 0;

    std::printf("%-6s %7s %12s %12s %7s %10s %12s %12s\n", "text", "pages", "ms/page", "floor ms/pg", "ratio",
                "peak MB", "peak KB/pg", "PDF KB/pg");
    for (std::size_t megabytes : {1, 8, 64}) {
        if (quick && megabytes > 8) break;
        const std::size_t bytes = megabytes << 20;
        Measured render = measure(argv[0], "render", bytes);
        Measured floor = measure(argv[0], "floor", bytes);
        const double pages = std::max(1, render.pages);
        std::printf("%3zu MB %7d %12.3f %12.3f %7.2f %10.1f %12.1f %12.2f\n", megabytes, render.pages,
                    render.seconds * 1000 / pages, floor.seconds * 1000 / std::max(1, floor.pages),
                    floor.seconds > 0 ? render.seconds / floor.seconds : 0, render.peakMegabytes,
                    render.peakMegabytes * 1024 / pages, render.pdfBytes / 1024 / pages);
    }

    Measured word = measure(argv[0], "word", 2u << 20);
    Measured words = measure(argv[0], "words", 2u << 20);
    std::printf("2 MB as one word: %d pages in %.2f s; as ordinary words: %d pages in %.2f s; ratio %.2f (aim <= 2)\n",
                word.pages, word.seconds, words.pages, words.seconds, words.seconds > 0 ? word.seconds / words.seconds : 0);
    return 0;
}
