#pragma once

// What the document benchmarks share: made-up sentences, and the floor under
// any layout — a document's text broken into lines by Pango and written by
// Cairo with no layout rules at all.

#include "FolmiraKit/Model/BigDocument.h"
#include "Platform/Fonts.h"

#include <cairo-pdf.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <string>

namespace BenchText {

// `words` words from a small pool, varied by `seed`, ending in a full stop.
inline std::string sentence(int seed, int words)
{
    static const char* const pool[] = {"the",    "garden", "opens",  "early", "on",     "Saturday", "bring",
                                       "gloves", "and",    "water",  "for",   "planting", "beans",  "along",
                                       "south",  "fence",  "before", "noon",  "please", "reader"};
    std::string out;
    for (int i = 0; i < words; ++i) out += std::string(i ? " " : "") + pool[(seed * 7 + i * 13) % 20];
    return out + ".";
}

inline cairo_status_t discard(void*, const unsigned char*, unsigned int) { return CAIRO_STATUS_SUCCESS; }

// Every block's text in one face, broken at the column width and drawn line
// under line, a new page when the column is full. Returns the pages written.
inline int barePangoCairo(const FolmiraKit::BigDocument& doc)
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

} // namespace BenchText
