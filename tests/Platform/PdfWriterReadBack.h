#pragma once

// Reading a PDF back through Poppler, for tests: page sizes, document
// information, page text, character boxes (in PDF page space: origin at the
// bottom-left, y up) and the embedded fonts.

#include "Platform/Geometry.h"
#include "Platform/Text.h"

#include <poppler.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace ReadBack {

struct Glyph {
    std::string text; // one character (UTF-8)
    Platform::Rect box;
    std::string font; // with Cairo's subset prefix, such as "ABCDEF+AtkinsonHyperlegible-Bold"
    double fontSize = 0;
};

struct Font {
    std::string name;
    bool embedded = false;
};

struct Page {
    Platform::Size size;
    std::string text;
    std::vector<Glyph> glyphs;
};

struct Document {
    bool opened = false;
    std::string title;
    std::string creator;
    std::vector<Page> pages;
    std::vector<Font> fonts;

    // The first glyph on page `page` that starts `text`, or null.
    const Glyph* find(std::size_t page, const std::string& text) const
    {
        const auto& glyphs = pages.at(page).glyphs;
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            std::string joined;
            for (std::size_t j = i; j < glyphs.size() && joined.size() < text.size(); ++j) joined += glyphs[j].text;
            if (joined.rfind(text, 0) == 0) return &glyphs[i];
        }
        return nullptr;
    }
};

inline std::string taken(gchar* s)
{
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

inline Document read(const Platform::Bytes& pdf)
{
    Document doc;
    GBytes* bytes = g_bytes_new(pdf.data(), pdf.size());
    PopplerDocument* d = poppler_document_new_from_bytes(bytes, nullptr, nullptr);
    g_bytes_unref(bytes);
    if (!d) return doc;
    doc.opened = true;
    doc.title = taken(poppler_document_get_title(d));
    doc.creator = taken(poppler_document_get_creator(d));
    for (int i = 0; i < poppler_document_get_n_pages(d); ++i) {
        PopplerPage* p = poppler_document_get_page(d, i);
        Page page;
        poppler_page_get_size(p, &page.size.width, &page.size.height);
        page.text = taken(poppler_page_get_text(p));
        PopplerRectangle* rects = nullptr;
        guint n = 0;
        if (poppler_page_get_text_layout(p, &rects, &n)) {
            auto characters = Platform::Text::scalars(page.text);
            for (guint k = 0; k < n && k < characters.size(); ++k) {
                const auto& r = rects[k];
                Glyph g;
                Platform::Text::appendScalar(g.text, characters[k]);
                g.box = {r.x1, page.size.height - r.y2, r.x2 - r.x1, r.y2 - r.y1};
                page.glyphs.push_back(g);
            }
            g_free(rects);
        }
        GList* attributes = poppler_page_get_text_attributes(p);
        for (GList* a = attributes; a; a = a->next) {
            auto* attr = static_cast<PopplerTextAttributes*>(a->data);
            for (int k = attr->start_index; k <= attr->end_index && k < static_cast<int>(page.glyphs.size()); ++k) {
                page.glyphs[static_cast<std::size_t>(k)].font = attr->font_name ? attr->font_name : "";
                page.glyphs[static_cast<std::size_t>(k)].fontSize = attr->font_size;
            }
        }
        poppler_page_free_text_attributes(attributes);
        doc.pages.push_back(std::move(page));
        g_object_unref(p);
    }
    PopplerFontInfo* info = poppler_font_info_new(d);
    PopplerFontsIter* it = nullptr;
    while (poppler_font_info_scan(info, 100, &it)) {
        if (!it) continue;
        do {
            const char* name = poppler_fonts_iter_get_name(it);
            doc.fonts.push_back({name ? name : "", static_cast<bool>(poppler_fonts_iter_is_embedded(it))});
        } while (poppler_fonts_iter_next(it));
        poppler_fonts_iter_free(it);
        it = nullptr;
    }
    poppler_font_info_free(info);
    g_object_unref(d);
    return doc;
}

// The grey level (0 black … 1 white) at a point of page `index` in PDF page
// space, drawn by Poppler at 1 pixel per point on white.
inline double greyAt(const Platform::Bytes& pdf, int index, Platform::Point at)
{
    GBytes* bytes = g_bytes_new(pdf.data(), pdf.size());
    PopplerDocument* d = poppler_document_new_from_bytes(bytes, nullptr, nullptr);
    g_bytes_unref(bytes);
    if (!d) return -1;
    PopplerPage* p = poppler_document_get_page(d, index);
    double w = 0, h = 0;
    poppler_page_get_size(p, &w, &h);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(w), static_cast<int>(h));
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    poppler_page_render(p, cr);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    int x = static_cast<int>(at.x), y = static_cast<int>(h - at.y);
    auto* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    std::uint32_t pixel = reinterpret_cast<std::uint32_t*>(row)[x];
    cairo_surface_destroy(s);
    g_object_unref(p);
    g_object_unref(d);
    return ((pixel >> 16) & 0xFF) / 255.0;
}

// The text pdftotext reads from `pdf` (what copy and paste and screen readers
// get), without the direction marks it puts around each run of one direction;
// "(pdftotext failed)" when it could not be run.
inline std::string pdftotext(const Platform::Bytes& pdf)
{
    char path[] = "/tmp/readback-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return "(pdftotext failed)";
    bool written = write(fd, pdf.data(), pdf.size()) == static_cast<ssize_t>(pdf.size());
    close(fd);
    std::string text = "(pdftotext failed)";
    if (FILE* out = written ? popen(("pdftotext -enc UTF-8 " + std::string(path) + " - 2>/dev/null").c_str(), "r") : nullptr) {
        text.clear();
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, n);
        if (pclose(out) != 0) text = "(pdftotext failed)";
    }
    unlink(path);
    // A mark may stand between a word and its space: each counts as a space,
    // and runs of spaces as one.
    for (const char* mark : {"\u202A", "\u202B", "\u202C"})
        for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark)) text.replace(at, 3, " ");
    std::string out;
    for (char c : text)
        if (!(c == ' ' && (out.empty() || out.back() == ' ' || out.back() == '\n'))) out += c;
    return out;
}

} // namespace ReadBack
