// Lines through Pango. Each thread owns a font map bound to the process's
// fontconfig configuration (Fonts::configuration) and one context on it, set to
// 72 dpi with unhinted metrics and unrounded glyph positions, so widths and
// heights come out in fractional points like the PDF that is drawn. The font
// files under all those maps are opened once for the process (see withOwnFace).
//
// First-line and head indents map onto Pango's hanging indent: the Pango layout
// starts at the first-line indent, and later lines are pushed in by the
// difference. Tab stops are moved by the same offset. Long text is laid out in
// slices (see sliceBytes), each its own Pango layout.

#include "Platform/TextLayout.h"

#include "Platform/Text.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <fontconfig/fcfreetype.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>

namespace Platform {
namespace {

// Cairo shares a font file's FreeType face between all threads, but keeps no
// more than ten files open in the process: opening an eleventh closes one
// that no thread held at the instant it looked, without taking that face's
// lock, so a thread that had just taken it goes on with a freed face (and
// two threads opening files at once change FreeType's list of faces
// together). Text of many scripts needs far more than ten files at once.
//
// So every Pango font is given a face of the process's own (FC_FT_FACE in
// its pattern): opened here once, under a lock, and kept, which cairo then
// only locks, one face at a time, and never opens or closes. Cairo's font
// face for it is made here too, under the same lock, and kept, so that no
// thread changes cairo's list of font faces of a face while another looks
// it up. One face for each file, index and setting that cairo reads from a
// pattern into a font face: one cairo font face each, as cairo would make
// it, so the PDF embeds the same fonts.
struct OwnFace {
    FT_Face face = nullptr; // null for a file that would not open
    cairo_font_face_t* cairo = nullptr;
};

struct OwnFaces {
    std::mutex mutex;
    FT_Library library = nullptr;
    std::map<std::string, OwnFace> byKey;
};

// Opens `file`'s face `index` and makes cairo's font face for it with the
// settings of `pattern`, which gets the face; none when the file will not open.
OwnFace openFace(OwnFaces& faces, const char* file, int index, FcPattern* pattern)
{
    if (!faces.library && FT_Init_FreeType(&faces.library) != 0) faces.library = nullptr;
    OwnFace made;
    if (!faces.library || FT_New_Face(faces.library, file, index, &made.face) != 0) return {};
    FcPatternAddFTFace(pattern, FC_FT_FACE, made.face);
    made.cairo = cairo_ft_font_face_create_for_pattern(pattern);
    if (cairo_font_face_status(made.cairo) == CAIRO_STATUS_SUCCESS) return made;
    FcPatternDel(pattern, FC_FT_FACE);
    return {}; // the face stays: cairo may hold it
}

// `pattern` with the face of its file added; null when the file will not
// open (cairo then opens it, or fails to, as before).
FcPattern* withOwnFace(const FcPattern* pattern)
{
    static OwnFaces* const faces = new OwnFaces; // for the process: cairo holds its faces to the end

    FcChar8* file = nullptr;
    FT_Face face = nullptr;
    if (FcPatternGetString(pattern, FC_FILE, 0, &file) != FcResultMatch ||
        FcPatternGetFTFace(pattern, FC_FT_FACE, 0, &face) == FcResultMatch)
        return nullptr;
    int index = 0;
    FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
    std::unique_ptr<FcObjectSet, decltype(&FcObjectSetDestroy)> read(
        FcObjectSetBuild(FC_FILE, FC_INDEX, FC_EMBEDDED_BITMAP, FC_ANTIALIAS, FC_HINTING, FC_RGBA, FC_LCD_FILTER,
                         FC_HINT_STYLE, FC_AUTOHINT, FC_VERTICAL_LAYOUT, FC_EMBOLDEN, FC_FONT_VARIATIONS, nullptr),
        FcObjectSetDestroy);
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> settings(
        FcPatternFilter(const_cast<FcPattern*>(pattern), read.get()), FcPatternDestroy);
    std::unique_ptr<FcChar8, decltype(&FcStrFree)> key(FcNameUnparse(settings.get()), FcStrFree);
    if (!key) return nullptr;

    FcPattern* own = FcPatternDuplicate(pattern);
    std::lock_guard lock(faces->mutex);
    auto [known, added] = faces->byKey.try_emplace(reinterpret_cast<const char*>(key.get()));
    if (added) known->second = openFace(*faces, reinterpret_cast<const char*>(file), index, own);
    else if (known->second.face) FcPatternAddFTFace(own, FC_FT_FACE, known->second.face);
    if (known->second.face) return own;
    FcPatternDestroy(own);
    return nullptr;
}

// Pango offers no say in the fonts a map makes, so the class of its cairo
// fonts is given one more construction step, for every such font in the
// process. A font is made with the pattern its map keeps to find it again;
// the font takes a copy with our face instead and leaves the map's own as it
// was (changed, it would no longer match, and the font would be made again).
void (*pangoFontConstructed)(GObject*) = nullptr;

void constructFont(GObject* object)
{
    if (pangoFontConstructed) pangoFontConstructed(object);
    auto* font = reinterpret_cast<PangoFcFont*>(object);
    if (!font->font_pattern) return;
    if (FcPattern* own = withOwnFace(font->font_pattern)) {
        FcPatternDestroy(font->font_pattern);
        font->font_pattern = own;
    }
}

// The class of the fonts our maps make is exported by pangocairo, though its
// headers leave it out: looked up as the program runs, so that a Pango
// without it still starts (and lays out on one thread; see layoutMayUseThreads).
void giveFontsOwnFaces()
{
    static std::once_flag once;
    std::call_once(once, [] {
        using GetType = GType (*)();
        const auto type = reinterpret_cast<GetType>(dlsym(RTLD_DEFAULT, "pango_cairo_fc_font_get_type"));
        if (!type) return;
        auto* fonts = G_OBJECT_CLASS(g_type_class_ref(type()));
        pangoFontConstructed = fonts->constructed;
        fonts->constructed = constructFont;
    });
}

PangoFontMap* newFontMap()
{
    giveFontsOwnFaces();
    PangoFontMap* map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), static_cast<FcConfig*>(Fonts::configuration()));
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 72);
    return map;
}

} // namespace

// Whether a font a map makes carries a face of our own: the hook took.
bool fontsGetOwnFaces(PangoFontMap* given)
{
    PangoFontMap* map = given ? given : newFontMap();
    PangoContext* context = pango_font_map_create_context(map);
    PangoFontDescription* description = pango_font_description_from_string("sans-serif 12");
    PangoFont* font = pango_font_map_load_font(map, context, description);
    FT_Face face = nullptr;
    const bool own = font && PANGO_IS_FC_FONT(font) && PANGO_FC_FONT(font)->font_pattern &&
                     FcPatternGetFTFace(PANGO_FC_FONT(font)->font_pattern, FC_FT_FACE, 0, &face) == FcResultMatch;
    if (font) g_object_unref(font);
    pango_font_description_free(description);
    g_object_unref(context);
    if (!given) g_object_unref(map);
    return own;
}

namespace {

std::atomic<int> assumed{-1}; // a test's answer: -1 none, else 0 or 1

std::mutex& soleLayoutMutex()
{
    static auto* const mutex = new std::mutex; // for the process: threads may end after main
    return *mutex;
}

struct ThreadPango {
    PangoFontMap* map = nullptr;
    PangoContext* context = nullptr;

    ThreadPango()
    {
        layoutMayUseThreads(); // known before any thread lays out, and before this one ends
        map = newFontMap();
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
        const SoleLayout sole; // the fonts let go here touch cairo's faces too
        g_object_unref(context);
        g_object_unref(map);
    }
    ThreadPango(const ThreadPango&) = delete;
    ThreadPango& operator=(const ThreadPango&) = delete;
};

} // namespace

bool layoutMayUseThreads()
{
    if (const int answer = assumed.load(); answer >= 0) return answer == 1;
    static const bool may = [] {
        const bool own = fontsGetOwnFaces();
        if (!own)
            std::cerr << "Pango's fonts could not be given faces of their own: text is laid out on one thread at a time."
                      << std::endl;
        return own;
    }();
    return may;
}

void assumeLayoutMayUseThreads(std::optional<bool> answer)
{
    assumed.store(answer ? static_cast<int>(*answer) : -1);
}

SoleLayout::SoleLayout()
{
    if (!layoutMayUseThreads()) lock_ = std::unique_lock(soleLayoutMutex());
}

namespace {

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

// Pango counts in 1/1024 pt in 32-bit integers: a paragraph whose advances add
// up to more than about two million points (some 200,000 characters at 18 pt)
// overflows and comes back as a single line, its text lost off the page. Long
// text is therefore laid out in slices of at most this many bytes, which stay
// far below that bound even at 100 pt.
constexpr std::size_t sliceBytes = 8 * 1024;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// True when a line starting at byte `at` opens a paragraph: at the start, or
// after one of Pango's paragraph separators (CR, LF, U+2029).
bool opensParagraph(const std::string& text, std::size_t at)
{
    if (at == 0) return true;
    char before = text[at - 1];
    return before == '\n' || before == '\r' || (at >= 3 && text.compare(at - 3, 3, "\u2029") == 0);
}

// Pango breaks a line inside a run with no break opportunity (a long
// address, a row of "#", a word of a million letters) by shaping what is left
// of the run again for every line, so such a run costs the square of its
// length. A slice therefore ends this many bytes into the first run without a
// space, at a grapheme boundary: the run is shaped in pieces of bounded
// length, one slice each, at the cost of ordinary text.
constexpr std::size_t unbrokenBytes = 128;

bool isBreakingSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The end of bytes [from, to) of `text`, or less: unbrokenBytes into its first
// run without a space, at the last grapheme boundary before that point (past
// the run's start).
std::size_t beforeLongRun(const std::string& text, std::size_t from, std::size_t to)
{
    std::size_t runStart = from;
    for (std::size_t at = from; at < to; ++at) {
        if (isBreakingSpace(text[at])) {
            runStart = at + 1;
            continue;
        }
        if (at - runStart < unbrokenBytes) continue;
        std::size_t windowStart = at - unbrokenBytes / 4;
        while (windowStart > runStart && isContinuationByte(text[windowStart])) --windowStart;
        std::size_t cut = 0, offset = 0;
        for (std::string_view character : Text::characters(std::string_view(text).substr(windowStart, at - windowStart))) {
            if (offset > 0) cut = windowStart + offset;
            offset += character.size();
        }
        // Without a boundary in the window (one cluster of many marks), the
        // slice keeps its length.
        return cut > runStart ? cut : to;
    }
    return to;
}

// Where the slice from `from` ends: at most sliceBytes on and never inside a
// UTF-8 sequence; when `continuing` a paragraph, right after its end, so that
// such a slice holds lines of that paragraph only; a bounded way into a long
// run without spaces (see unbrokenBytes).
std::size_t sliceEnd(const std::string& text, std::size_t from, bool continuing)
{
    std::size_t to = beforeLongRun(text, from, std::min(text.size(), from + sliceBytes));
    if (continuing) {
        for (std::size_t at = from; at < to; ++at) {
            if (opensParagraph(text, at + 1) && !(text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n')) {
                to = at + 1;
                break;
            }
        }
    }
    while (to < text.size() && to > from + 1 && isContinuationByte(text[to])) --to;
    if (to < text.size() && to > from + 1 && text[to - 1] == '\r' && text[to] == '\n') --to; // one separator
    return to;
}

// A Pango layout over bytes [from, to) of `text` with their fonts, no width yet.
PangoLayout* newLayout(const AttributedText& text, std::size_t from, std::size_t to, bool followDirection = false)
{
    PangoLayout* layout = pango_layout_new(threadContext());
    pango_layout_set_auto_dir(layout, followDirection ? TRUE : FALSE);
    pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_text(layout, text.text().data() + from, static_cast<int>(to - from));
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
    // Spans are appended in order and do not overlap.
    const auto& spans = text.spans();
    auto span = std::partition_point(spans.begin(), spans.end(), [&](const auto& s) { return s.end <= from; });
    for (; span != spans.end() && span->start < to; ++span)
        pango_attr_list_insert(attributes,
                               fontAttribute(span->font, std::max(span->start, from) - from, std::min(span->end, to) - from));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
    return layout;
}

// Tab stops for a Pango layout whose left edge sits at `origin`: the format's
// own stops, then its default interval spelled out across the width (Pango
// would repeat the gap between the last two stops instead).
void setTabs(PangoLayout* layout, const ParagraphFormat& format, double origin, double width)
{
    std::vector<double> stops;
    for (double stop : format.tabStops)
        if (stop > origin) stops.push_back(stop - origin);
    if (format.tabInterval > 0) {
        double last = stops.empty() ? 0 : stops.back() + origin;
        for (double at = (std::floor(last / format.tabInterval) + 1) * format.tabInterval; at < width + format.tabInterval;
             at += format.tabInterval)
            if (at > origin) stops.push_back(at - origin);
    }
    if (stops.empty()) return;
    PangoTabArray* tabs = pango_tab_array_new(static_cast<int>(stops.size()), FALSE);
    for (std::size_t i = 0; i < stops.size(); ++i)
        pango_tab_array_set_tab(tabs, static_cast<int>(i), PANGO_TAB_LEFT, toPango(stops[i]));
    pango_layout_set_tabs(layout, tabs);
    pango_tab_array_free(tabs);
}

// How a line is drawn (see GlyphBatch): from its glyphs, gathered with other
// lines' glyphs of the same face; from its glyphs, run by run in its own
// order (a line of several faces); or by Pango itself.
enum class LineDrawing : unsigned char { batched, byRuns, pango };

LineDrawing lineDrawing(PangoLayoutLine* line)
{
    PangoFont* face = nullptr;
    bool byRuns = false;
    for (GSList* node = line->runs; node; node = node->next) {
        auto* run = static_cast<PangoGlyphItem*>(node->data);
        if (run->y_offset != 0 || run->start_x_offset != 0 || run->end_x_offset != 0 ||
            !PANGO_IS_CAIRO_FONT(run->item->analysis.font))
            return LineDrawing::pango;
        for (int g = 0; g < run->glyphs->num_glyphs; ++g) {
            PangoGlyph glyph = run->glyphs->glyphs[g].glyph;
            if (glyph != PANGO_GLYPH_EMPTY && (glyph & PANGO_GLYPH_UNKNOWN_FLAG)) return LineDrawing::pango;
        }
        // A letter the face lacks, drawn from another ("♭" between "B" and
        // "m"), splits the line's glyphs between two faces' groups: a PDF
        // reader then finds a gap in the middle of a word and reads a space
        // there. Such a line is drawn whole, in its order.
        byRuns = byRuns || (face && run->item->analysis.font != face);
        face = run->item->analysis.font;
    }
    return byRuns ? LineDrawing::byRuns : LineDrawing::batched;
}

} // namespace

struct TextLayout::Impl {
    std::vector<PangoLayout*> slices;           // owned
    std::vector<PangoLayoutLine*> lines;        // per line, owned by its slice
    std::vector<LineDrawing> drawing;           // per line (found on the thread that shapes)
    ~Impl()
    {
        for (PangoLayout* slice : slices) g_object_unref(slice);
    }
};

void AttributedText::append(std::string_view text, const Font& font)
{
    if (text.empty()) return;
    std::size_t start = text_.size();
    // Pango refuses invalid UTF-8 with a warning, and Cairo refuses the whole
    // text operation (and with it the PDF) for one noncharacter: mend both
    // here, piece by piece, so that the spans' offsets stay true.
    Text::appendDrawable(text_, text);
    // Text in the font before it widens that span: text of many short runs
    // (a listed table row) keeps a span per change of font only.
    if (!spans_.empty() && spans_.back().end == start && spans_.back().font == font) spans_.back().end = text_.size();
    else spans_.push_back(Span{start, text_.size(), font});
}

TextLayout::TextLayout(const AttributedText& text, double width, const ParagraphFormat& format)
    : impl_(std::make_unique<Impl>()), text_(text.text())
{
    double first = std::max(0.0, format.firstIndent);
    double head = std::max(0.0, format.headIndent);
    // Pango's hanging indent only pushes later lines right; a later line that
    // starts left of the first one is not something our callers ask for.
    head = std::max(head, first);

    // Slice by slice (see sliceBytes). Every slice but the last gives up its
    // final line, which may have been cut short by the slice's end, and the
    // next slice starts with it: the lines come out as one layout would make
    // them. A slice that starts inside a paragraph has all its lines at the
    // head indent.
    std::size_t from = 0;
    do {
        const bool opening = opensParagraph(text_, from);
        const double origin = opening ? first : head;
        const std::size_t to = sliceEnd(text_, from, !opening);
        PangoLayout* layout = newLayout(text, from, to, format.followDirection);
        impl_->slices.push_back(layout);
        pango_layout_set_width(layout, toPango(std::max(1.0, width - origin)));
        if (opening) pango_layout_set_indent(layout, -toPango(head - first));
        setTabs(layout, format, origin, width);

        std::vector<Line> lines;
        std::vector<PangoLayoutLine*> refs;
        PangoLayoutIter* it = pango_layout_get_iter(layout);
        do {
            PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(it, nullptr, &logical);
            int baseline = pango_layout_iter_get_baseline(it);
            Line out;
            out.start = from + static_cast<std::size_t>(line->start_index);
            out.length = static_cast<std::size_t>(line->length);
            // Left aligned, so a line starts at the first-line indent (the first
            // line of each paragraph) or the head indent; take the exact value
            // rather than Pango's, which is rounded to its units. A right-to-left
            // line ends at that indent from the right edge.
            out.width = fromPango(logical.width);
            out.rightToLeft = line->resolved_dir == PANGO_DIRECTION_RTL;
            if (out.rightToLeft) {
                out.x = width - (opening && line->is_paragraph_start ? first : head) - out.width;
            } else {
                double x = origin + fromPango(logical.x);
                out.x = std::abs(x - head) < std::abs(x - first) ? head : first;
            }
            out.ascent = fromPango(baseline - logical.y);
            out.descent = fromPango(logical.y + logical.height - baseline);
            lines.push_back(out);
            refs.push_back(line);
        } while (pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);

        std::size_t next = to;
        if (to < text_.size() && lines.size() > 1 && lines.back().start > from) {
            next = lines.back().start;
            lines.pop_back();
            refs.pop_back();
        }
        lines_.insert(lines_.end(), lines.begin(), lines.end());
        impl_->lines.insert(impl_->lines.end(), refs.begin(), refs.end());
        from = next;
    } while (from < text_.size());
    for (PangoLayoutLine* line : impl_->lines) impl_->drawing.push_back(lineDrawing(line));
}

TextLayout::TextLayout(std::string text, std::vector<Line> lines)
    : impl_(std::make_unique<Impl>()), text_(std::move(text)), lines_(std::move(lines))
{
}

TextLayout::~TextLayout() = default;

void TextLayout::drawLine(int index, double x, double baselineY, _cairo* context) const
{
    GlyphBatch one;
    one.add(*this, index, x, baselineY);
    one.show(context);
}

int TextLayout::unknownGlyphs() const
{
    int count = 0;
    for (PangoLayout* slice : impl_->slices) count += pango_layout_get_unknown_glyphs_count(slice);
    return count;
}

double TextLayout::lineWidth(const AttributedText& text)
{
    // Slice by slice, like a layout, so that long text cannot overflow Pango's units.
    double width = 0;
    for (std::size_t from = 0; from < text.text().size();) {
        std::size_t to = sliceEnd(text.text(), from, false);
        PangoLayout* layout = newLayout(text, from, to);
        pango_layout_set_width(layout, -1);
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        g_object_unref(layout);
        width += fromPango(logical.width);
        from = to;
    }
    return width;
}

} // namespace Platform

namespace Platform {

// Pango's own drawing of a line (pango_cairo_show_layout_line) walks its runs
// left to right, each at the end of the one before, and shows every glyph at
// the run's start plus the advances before it and its own offset, with the
// run's text cut into clusters, leaving out empty glyphs (a line separator's)
// but keeping their text. The batch does the same, keeping one glyph list per
// Cairo face across lines, and leaves to Pango what it would draw otherwise:
// unknown glyphs (hex boxes) and shifted runs.
//
// A right-to-left run is written as PDF readers expect one: its glyphs left
// to right, each cluster's text with its characters turned round (a lam-alef
// ligature's two letters, a Hebrew letter's points). A reader takes the
// glyphs' text in the order they stand and turns right-to-left runs round:
// the text comes back in logical order. Pango would write the clusters from
// the right, each glyph placed left of the one before, which readers take
// for a new word at every letter, and a ligature's letters backwards.
struct GlyphBatch::Impl {
    struct Face {
        std::string text;
        std::vector<cairo_glyph_t> glyphs;
        std::vector<cairo_text_cluster_t> clusters;
    };
    std::map<cairo_scaled_font_t*, Face> faces;
    std::vector<cairo_scaled_font_t*> order; // faces in the order first met
    struct Fallback {
        PangoLayoutLine* line;
        double x, y;
    };
    std::vector<Fallback> fallbacks;
    // Lines drawn run by run, each run shown alone in its face, after the batch.
    std::vector<std::pair<cairo_scaled_font_t*, Face>> runs;

    static void addRun(PangoGlyphItem* run, const char* text, double x, double y, Face& face)
    {
        int advance = 0;
        for (int g = 0; g < run->glyphs->num_glyphs; ++g) {
            const PangoGlyphInfo& info = run->glyphs->glyphs[g];
            if (info.glyph != PANGO_GLYPH_EMPTY)
                face.glyphs.push_back({info.glyph, x + fromPango(advance + info.geometry.x_offset),
                                       y + fromPango(info.geometry.y_offset)});
            advance += info.geometry.width;
        }
        struct Cluster {
            int firstGlyph, endGlyph; // [first, end) in the run's (visual) glyph order
            int start, end;           // bytes of text
        };
        std::vector<Cluster> clusters;
        const bool rightToLeft = run->item->analysis.level % 2 == 1;
        PangoGlyphItemIter cluster;
        for (gboolean more = pango_glyph_item_iter_init_start(&cluster, run, text); more;
             more = pango_glyph_item_iter_next_cluster(&cluster)) {
            // Right to left, the iterator walks the text forwards and the glyphs backwards.
            if (rightToLeft) clusters.push_back({cluster.end_glyph + 1, cluster.start_glyph + 1, cluster.start_index, cluster.end_index});
            else clusters.push_back({cluster.start_glyph, cluster.end_glyph, cluster.start_index, cluster.end_index});
        }
        if (rightToLeft) {
            // Points that Pango keeps apart from their letter go with it into
            // one cluster: written apart, each would be read as a word of its
            // own. So does a joiner or non-joiner (Persian's half space), which
            // has no glyph: alone, a cluster without a glyph is left out of
            // the text layer, and "می‌آیند" would read as "میآیند".
            std::vector<Cluster> joined;
            for (const Cluster& c : clusters) {
                if (!joined.empty() && attachesBefore(text + c.start, text + c.end) && joined.back().end == c.start) {
                    joined.back().firstGlyph = c.firstGlyph;
                    joined.back().end = c.end;
                } else {
                    joined.push_back(c);
                }
            }
            clusters.assign(joined.rbegin(), joined.rend());
        }
        for (const Cluster& c : clusters) {
            int shown = 0, carrier = -1;
            for (int g = c.firstGlyph; g < c.endGlyph; ++g) {
                const PangoGlyphInfo& info = run->glyphs->glyphs[g];
                if (info.glyph == PANGO_GLYPH_EMPTY) continue;
                ++shown;
                if (carrier < 0 || info.geometry.width > run->glyphs->glyphs[carrier].geometry.width) carrier = g;
            }
            if (!rightToLeft) {
                face.clusters.push_back({c.end - c.start, shown});
                face.text.append(text + c.start, static_cast<std::size_t>(c.end - c.start));
                continue;
            }
            // A letter with its points: the letter's glyph carries the text,
            // and the points' glyphs none. A reader then finds the text where
            // the letter stands, on its baseline, rather than over the whole
            // height that the points reach.
            if (shown > 1) {
                for (int g = c.firstGlyph; g < c.endGlyph; ++g)
                    if (run->glyphs->glyphs[g].glyph != PANGO_GLYPH_EMPTY)
                        face.clusters.push_back({g == carrier ? c.end - c.start : 0, 1});
            } else {
                face.clusters.push_back({c.end - c.start, shown});
            }
            for (const char* at = text + c.end; at > text + c.start;) {
                const char* lead = g_utf8_find_prev_char(text + c.start, at);
                if (!lead) lead = text + c.start;
                face.text.append(lead, static_cast<std::size_t>(at - lead));
                at = lead;
            }
        }
    }

    // Whether the text [from, to) is combining marks and format characters
    // (joiners, non-joiners) alone.
    static bool attachesBefore(const char* from, const char* to)
    {
        for (const char* at = from; at < to; at = g_utf8_next_char(at)) {
            gunichar c = g_utf8_get_char(at);
            if (!g_unichar_ismark(c) && g_unichar_type(c) != G_UNICODE_FORMAT) return false;
        }
        return from < to;
    }

    static cairo_scaled_font_t* fontOf(PangoGlyphItem* run)
    {
        return pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(run->item->analysis.font));
    }
};

bool TextLayout::needsPango(int index) const
{
    if (index < 0 || index >= static_cast<int>(impl_->lines.size())) return false;
    return impl_->drawing[static_cast<std::size_t>(index)] == LineDrawing::pango;
}

GlyphBatch::GlyphBatch() : impl_(std::make_unique<Impl>()) {}
GlyphBatch::~GlyphBatch() = default;

void GlyphBatch::add(const TextLayout& layout, int index, double x, double baselineY)
{
    if (index < 0 || index >= static_cast<int>(layout.impl_->lines.size())) return;
    const auto i = static_cast<std::size_t>(index);
    PangoLayoutLine* line = layout.impl_->lines[i];
    double left = x + layout.lines_[i].x;
    const LineDrawing drawing = layout.impl_->drawing[i];
    if (drawing == LineDrawing::pango) {
        impl_->fallbacks.push_back({line, left, baselineY});
        return;
    }
    const char* text = pango_layout_get_text(line->layout);
    for (GSList* node = line->runs; node; node = node->next) {
        auto* run = static_cast<PangoGlyphItem*>(node->data);
        cairo_scaled_font_t* font = Impl::fontOf(run);
        if (drawing == LineDrawing::byRuns) {
            impl_->runs.emplace_back(font, Impl::Face{});
            Impl::addRun(run, text, left, baselineY, impl_->runs.back().second);
        } else {
            auto [at, added] = impl_->faces.try_emplace(font);
            if (added) impl_->order.push_back(font);
            Impl::addRun(run, text, left, baselineY, at->second);
        }
        left += fromPango(pango_glyph_string_get_width(run->glyphs));
    }
}

void GlyphBatch::show(_cairo* context)
{
    auto showFace = [context](cairo_scaled_font_t* font, const Impl::Face& face) {
        if (face.glyphs.empty()) return;
        cairo_set_scaled_font(context, font);
        cairo_show_text_glyphs(context, face.text.data(), static_cast<int>(face.text.size()), face.glyphs.data(),
                               static_cast<int>(face.glyphs.size()), face.clusters.data(),
                               static_cast<int>(face.clusters.size()), cairo_text_cluster_flags_t(0));
    };
    for (cairo_scaled_font_t* font : impl_->order) showFace(font, impl_->faces[font]);
    for (const auto& [font, face] : impl_->runs) showFace(font, face);
    for (const Impl::Fallback& f : impl_->fallbacks) {
        cairo_move_to(context, f.x, f.y);
        pango_cairo_show_layout_line(context, f.line);
    }
    impl_->faces.clear();
    impl_->order.clear();
    impl_->runs.clear();
    impl_->fallbacks.clear();
}

} // namespace Platform
