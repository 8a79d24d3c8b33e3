#pragma once

// What Poppler's text reader would have to work through on one page, counted
// before it is asked to: the page's own content streams and every form XObject
// they draw, each time it is drawn, nested forms included. A form that holds a
// million operators, or a small one drawn ten thousand times, costs what it
// would cost written out on the page.

#include "Platform/PdfDocument.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace Platform::PdfContent {

struct TextCost {
    std::size_t bytes = 0;         // decoded content
    std::size_t textOperators = 0; // Tj, TJ, ' and "
    std::size_t shownBytes = 0;    // bytes of the strings they show: one or two per glyph
    std::size_t formUses = 0;      // forms drawn
    // Graphics states saved at once ("q" within "q", and one for each form
    // being drawn): Poppler keeps a copy of the whole state for each. Counted
    // as if every form were drawn where its drawer's nesting is deepest.
    std::size_t savedStates = 0;
    // Operands and operators: Poppler makes an object of each, and its parse
    // of a page of small tokens runs at a few megabytes a second, where white
    // space or a long string costs next to nothing.
    std::size_t tokens = 0;
    // Of the page's own tokens, those that build, clip or paint paths
    // (operators and their operands): reading the page's text without its
    // drawing (withoutDrawing) passes them by, so they count toward no limit.
    std::size_t drawingTokens = 0;
    // Set when the page holds something whose cost can't be told, or that qpdf
    // and Poppler would read differently, so the counts may miss Poppler's
    // work: why, in a few words. Such a page is never within the limits.
    std::string_view unknown = {};
    bool operator==(const TextCost&) const = default;

    // Whether the page was measured and no count is past its limit.
    bool within(const TextCost& limits) const;
    // Whether a count measured is past its limit: only such a page is surely
    // too costly; one whose cost is unknown may well not be.
    bool past(const TextCost& limits) const;
    // Whether the page's text is to be read without its drawing: its tokens
    // are past their limit only with the drawing's.
    bool drawingTooLarge(const TextCost& limits) const { return tokens > limits.tokens; }
};

// Counts what `page` draws, stopping as soon as a count passes its limit in
// `limits` (so the result is within them or past them in one count, never
// worth more work than the limits). Like Poppler, a form is not drawn again
// inside itself; forms nested more than 100 deep, which Poppler won't draw,
// count as past the limits. A page qpdf cannot read, content it cannot
// decode, and a page tree or dictionary the two libraries read differently
// make the cost unknown; so do content qpdf mended (a stream cut short or
// whose length it had to find, a /Contents that names no stream) and an
// object the page tree takes for a page though it says it is another, once
// counted: their counts stand.
//
// With `whereCostly`, a page whose own content is too short to pass any limit
// and can draw nothing more (it names no form, soft mask or shading among its
// resources, and holds no inline image) is not tokenized: of its counts only
// `bytes` is told, and its unknowns are found as ever.
enum class Counting { everyToken, whereCostly };
TextCost measureText(const PdfPage& page, const TextCost& limits, Counting counting = Counting::everyToken);

// The page alone, as a PDF of one page (its boxes, rotation and resources)
// whose content builds and paints no paths: its text as Poppler reads it,
// without the cost of a drawing of millions of lines. None when qpdf can't
// read the page, or decode all of its content within `maxBytes`.
std::optional<Bytes> withoutDrawing(const PdfPage& page, std::size_t maxBytes);

} // namespace Platform::PdfContent
