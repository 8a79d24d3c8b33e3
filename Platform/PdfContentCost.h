#pragma once

// What Poppler's text reader would have to work through on one page, counted
// before it is asked to: the page's own content streams and every form XObject
// they draw, each time it is drawn, nested forms included. A form that holds a
// million operators, or a small one drawn ten thousand times, costs what it
// would cost written out on the page.

#include "Platform/PdfDocument.h"

#include <cstddef>

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
    bool operator==(const TextCost&) const = default;

    // Whether no count is past its limit.
    bool within(const TextCost& limits) const;
};

// Counts what `page` draws, stopping as soon as a count passes its limit in
// `limits` (so the result is within them or past them in one count, never
// worth more work than the limits). Like Poppler, a form is not drawn again
// inside itself; forms nested more than 100 deep, which Poppler won't draw,
// count as past the limits. Content qpdf cannot decode counts as far as it
// was decoded; a page qpdf cannot read at all costs nothing.
TextCost measureText(const PdfPage& page, const TextCost& limits);

} // namespace Platform::PdfContent
