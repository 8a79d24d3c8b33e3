#pragma once

// Text set in lines with Pango: styled text broken into lines at a width, each
// line's metrics, and drawing one line at a baseline.
//
// Units are points (Pango runs at 72 dpi with hinted metrics and glyph-position
// rounding off). Inside a layout, x grows to the right from the layout's left
// edge; baselines are the caller's business, so that it can place lines at a
// fixed pitch of its own choosing.
//
// Pango is not thread-safe: every thread lays out with a font map and context
// of its own, which all the layouts it makes share. The font files under them
// are opened once for the process and shared in a way Cairo keeps safe. A TextLayout is used
// (drawn, destroyed) on the thread that made it, or on another one once that
// thread has ended or while it waits for that one (synchronised through a
// lock): never on two threads at once.

#include "Platform/Fonts.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _cairo;
struct _PangoFontMap;

namespace Platform {

// UTF-8 text with a font for every byte range appended (neighbouring ranges in
// one font make one span). Text is appended as
// Text::drawable makes it: U+FFFD in place of each bad sequence, NUL byte and
// noncharacter.
class AttributedText {
public:
    struct Span {
        std::size_t start = 0; // byte offsets into text()
        std::size_t end = 0;
        Font font;
    };

    void append(std::string_view text, const Font& font);
    const std::string& text() const { return text_; }
    const std::vector<Span>& spans() const { return spans_; }
    bool empty() const { return text_.empty(); }

private:
    std::string text_;
    std::vector<Span> spans_;
};

// How the lines of one paragraph sit in its width. Indents and tab stops are
// measured from the layout's left edge.
struct ParagraphFormat {
    double firstIndent = 0;      // where the first line starts
    double headIndent = 0;       // where every later line starts
    std::vector<double> tabStops; // left-aligned stops, ascending
    double tabInterval = 0;      // default stops after the explicit ones (0: Pango's own)
    // Each paragraph takes its direction from its first strong letter, and a
    // right-to-left one sits at its start side, the right: its indents are
    // measured from the right edge and its lines end there. Otherwise every
    // paragraph is set left to right from the left edge.
    bool followDirection = false;
};

class TextLayout {
public:
    struct Line {
        std::size_t start = 0;  // byte range of the line in text()
        std::size_t length = 0;
        double x = 0;           // where the line starts, from the layout's left edge
        bool rightToLeft = false; // set right to left, from the right edge
        double width = 0;       // typographic width (advance) of the line
        double ascent = 0;      // above the baseline
        double descent = 0;     // below the baseline, positive
    };

    // Breaks `text` into lines no wider than `width` (taken as at least one point,
    // so that wrapping never switches off), at word boundaries, or inside a word
    // that does not fit a line of its own. No hyphens are added. Left aligned,
    // or right aligned for a right-to-left paragraph when the format follows
    // the direction. Line feeds and U+2028 end lines.
    TextLayout(const AttributedText& text, double width, const ParagraphFormat& format);
    // Lines of `text` measured elsewhere, for counting pages: such a layout
    // draws nothing.
    TextLayout(std::string text, std::vector<Line> lines);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    const std::string& text() const { return text_; }
    const std::vector<Line>& lines() const { return lines_; }

    // Draws line `index` into a Cairo context (cairo's top-down coordinates) with
    // the layout's left edge at x and the line's baseline at baselineY, in the
    // context's current source colour. For PdfWriter.
    void drawLine(int index, double x, double baselineY, _cairo* context) const;

    // The typographic width of `text` set as one line, without wrapping.
    static double lineWidth(const AttributedText& text);

    // True when drawing line `index` takes Pango itself (a GlyphBatch leaves
    // it to Pango): a glyph no face has, or shifted text. Any other line,
    // right-to-left text included, is drawn from its glyphs alone, without
    // touching Pango.
    bool needsPango(int index) const;

    // How many characters no installed face has: Pango draws each as a box
    // of hex digits.
    int unknownGlyphs() const;

private:
    friend class GlyphBatch;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string text_;
    std::vector<Line> lines_;
};

// Lines of any number of layouts shown together: their glyphs are gathered by
// face and shown with one Cairo call per face, so that a PDF gets one text
// operation where it would get one per line, looking the same. A line of
// several faces is shown run by run in its own order; one holding what only
// Pango can draw (a glyph no face has) is drawn by Pango instead. Right-to-left
// runs are written left to right with each cluster's text turned round, as
// PDF readers expect. The layouts must outlive the batch's show(). For PdfWriter.
class GlyphBatch {
public:
    GlyphBatch();
    ~GlyphBatch();
    GlyphBatch(const GlyphBatch&) = delete;
    GlyphBatch& operator=(const GlyphBatch&) = delete;

    // Adds line `index` of `layout` with the layout's left edge at x and the
    // line's baseline at baselineY (Cairo's top-down coordinates).
    void add(const TextLayout& layout, int index, double x, double baselineY);
    // Shows everything added in the context's current source, then empties the batch.
    void show(_cairo* context);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Whether several threads may lay out text at once: true once a font Pango
// made has been seen to carry a face of the process's own (see
// TextLayout.cpp). Checked on the first call; a failed check is said on
// standard error, and text is then laid out by one thread at a time.
bool layoutMayUseThreads();
// That check: whether a font `map` makes carries a face of the process's own
// (none: a map as every layout makes).
bool fontsGetOwnFaces(_PangoFontMap* map = nullptr);
// For tests: answers as though the check had given `answer`; none: as it did.
void assumeLayoutMayUseThreads(std::optional<bool> answer);

// Held for the whole of a layout job (a render, a songbook's pages): while
// layout may not use threads, no two jobs in the process hold it at once;
// otherwise it holds nothing.
class SoleLayout {
public:
    SoleLayout();

private:
    std::unique_lock<std::mutex> lock_;
};

} // namespace Platform
