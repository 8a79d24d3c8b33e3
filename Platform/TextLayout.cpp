// Lines through Pango. Each thread owns a font map bound to the process's
// fontconfig configuration (Fonts::configuration) and one context on it, set to
// 72 dpi with unhinted metrics and unrounded glyph positions, so widths and
// heights come out in fractional points like the PDF that is drawn.
//
// First-line and head indents map onto Pango's hanging indent: the Pango layout
// starts at the first-line indent, and later lines are pushed in by the
// difference. Tab stops are moved by the same offset.

#include "Platform/TextLayout.h"

#include <cairo.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cmath>

namespace Platform {
namespace {

struct ThreadPango {
    PangoFontMap* map = nullptr;
    PangoContext* context = nullptr;

    ThreadPango()
    {
        map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), static_cast<FcConfig*>(Fonts::configuration()));
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 72);
        context = pango_font_map_create_context(map);
        pango_cairo_context_set_resolution(context, 72);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(context, FALSE);
    }
    ~ThreadPango()
    {
        g_object_unref(context);
        g_object_unref(map);
    }
    ThreadPango(const ThreadPango&) = delete;
    ThreadPango& operator=(const ThreadPango&) = delete;
};

PangoContext* threadContext()
{
    thread_local ThreadPango pango;
    return pango.context;
}

int toPango(double points) { return static_cast<int>(std::lround(points * PANGO_SCALE)); }
double fromPango(int units) { return static_cast<double>(units) / PANGO_SCALE; }

PangoAttribute* fontAttribute(const Font& font, std::size_t start, std::size_t end)
{
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, font.family.c_str());
    pango_font_description_set_weight(description, static_cast<PangoWeight>(font.weight));
    pango_font_description_set_style(description, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(description, std::max(1.0, font.size) * PANGO_SCALE);
    PangoAttribute* attribute = pango_attr_font_desc_new(description);
    pango_font_description_free(description);
    attribute->start_index = static_cast<guint>(start);
    attribute->end_index = static_cast<guint>(end);
    return attribute;
}

// A Pango layout over `text` with its fonts, no width yet.
PangoLayout* newLayout(const AttributedText& text)
{
    PangoLayout* layout = pango_layout_new(threadContext());
    pango_layout_set_auto_dir(layout, FALSE);
    pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_text(layout, text.text().data(), static_cast<int>(text.text().size()));
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
    for (const auto& span : text.spans()) pango_attr_list_insert(attributes, fontAttribute(span.font, span.start, span.end));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
    return layout;
}

} // namespace

struct TextLayout::Impl {
    PangoLayout* layout = nullptr;
    double originX = 0; // where the Pango layout's left edge sits, from ours
    ~Impl()
    {
        if (layout) g_object_unref(layout);
    }
};

void AttributedText::append(std::string_view text, const Font& font)
{
    if (text.empty()) return;
    std::size_t start = text_.size();
    // Pango refuses invalid UTF-8 with a warning; mend it here, piece by piece,
    // so that the spans' offsets stay true.
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        text_.append(text);
    } else {
        gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
        text_.append(valid);
        g_free(valid);
    }
    spans_.push_back(Span{start, text_.size(), font});
}

TextLayout::TextLayout(const AttributedText& text, double width, const ParagraphFormat& format)
    : impl_(std::make_unique<Impl>()), text_(text.text())
{
    double first = std::max(0.0, format.firstIndent);
    double head = std::max(0.0, format.headIndent);
    // Pango's hanging indent only pushes later lines right; a later line that
    // starts left of the first one is not something our callers ask for.
    head = std::max(head, first);
    impl_->originX = first;
    PangoLayout* layout = newLayout(text);
    impl_->layout = layout;
    pango_layout_set_width(layout, toPango(std::max(1.0, width - first)));
    pango_layout_set_indent(layout, -toPango(head - first));

    std::vector<double> stops;
    for (double stop : format.tabStops)
        if (stop > first) stops.push_back(stop - first);
    if (format.tabInterval > 0) {
        // Pango repeats the gap between the last two stops; spell the default
        // interval out across the width instead, as stops on its grid.
        double last = stops.empty() ? 0 : stops.back() + first;
        for (double at = (std::floor(last / format.tabInterval) + 1) * format.tabInterval; at < width + format.tabInterval;
             at += format.tabInterval)
            if (at > first) stops.push_back(at - first);
    }
    if (!stops.empty()) {
        PangoTabArray* tabs = pango_tab_array_new(static_cast<int>(stops.size()), FALSE);
        for (std::size_t i = 0; i < stops.size(); ++i)
            pango_tab_array_set_tab(tabs, static_cast<int>(i), PANGO_TAB_LEFT, toPango(stops[i]));
        pango_layout_set_tabs(layout, tabs);
        pango_tab_array_free(tabs);
    }

    PangoLayoutIter* it = pango_layout_get_iter(layout);
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        int baseline = pango_layout_iter_get_baseline(it);
        Line out;
        out.start = static_cast<std::size_t>(line->start_index);
        out.length = static_cast<std::size_t>(line->length);
        // Left aligned, so a line starts at the first-line indent (the first
        // line of each paragraph) or the head indent; take the exact value
        // rather than Pango's, which is rounded to its units.
        double x = first + fromPango(logical.x);
        out.x = std::abs(x - head) < std::abs(x - first) ? head : first;
        out.width = fromPango(logical.width);
        out.ascent = fromPango(baseline - logical.y);
        out.descent = fromPango(logical.y + logical.height - baseline);
        lines_.push_back(out);
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
}

TextLayout::~TextLayout() = default;

void TextLayout::drawLine(int index, double x, double baselineY, _cairo* context) const
{
    if (index < 0 || index >= static_cast<int>(lines_.size())) return;
    PangoLayoutLine* line = pango_layout_get_line_readonly(impl_->layout, index);
    if (!line) return;
    cairo_move_to(context, x + lines_[static_cast<std::size_t>(index)].x, baselineY);
    pango_cairo_show_layout_line(context, line);
}

double TextLayout::lineWidth(const AttributedText& text)
{
    if (text.empty()) return 0;
    PangoLayout* layout = newLayout(text);
    pango_layout_set_width(layout, -1);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return fromPango(logical.width);
}

} // namespace Platform
