#pragma once

// Deciding what a styled paragraph is: heading, list item or paragraph. The
// RTF, Word and PDF readers hand their content over as pieces in reading
// order; the plain-text, Markdown and PDF readers share the list-marker test.

#include "FolmiraKit/Model/Block.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace FolmiraKit {

// One paragraph as a reader saw it, before inference.
struct StyledParagraph {
    struct ListLabel {
        std::string marker; // the label to print ("•", "1.", "a)"), not part of runs
        int level = 0;      // nesting depth, 0 at the top
        bool operator==(const ListLabel&) const = default;
    };

    Runs runs;                             // as read, not yet tidied
    double size = 0;                       // points; 0 or less when the reader found none
    std::optional<int> headingLevel;       // given by the source's own style
    std::optional<ListLabel> list;         // when the source made it a list item
    bool lineBreaks = false;               // the runs' line feeds are line breaks

    bool operator==(const StyledParagraph&) const = default;
};

namespace Inference {

// A reader's output element: a paragraph still to be decided, or a ready block.
struct Piece {
    std::variant<StyledParagraph, Block> value;

    static Piece paragraph(StyledParagraph p) { return Piece{std::move(p)}; }
    static Piece block(Block b) { return Piece{std::move(b)}; }
};

// The document's blocks: ready blocks in their places (moved, pictures and
// all, not copied), paragraphs classified, paragraphs with nothing left after
// tidying dropped.
Blocks blocks(std::vector<Piece> pieces);

// One block per paragraph, in order. The paragraphs' tidied runs must not be empty.
Blocks classify(std::vector<StyledParagraph> paragraphs);

// The size carrying the most characters (rounded to half points; ties take the
// smaller); 0 when no paragraph has a size.
double bodySize(const std::vector<StyledParagraph>& paragraphs);

// Rounds to the nearest half point, halves away from zero.
double halfPoint(double size);

// The bullets a list item may start with, in their customary order.
const std::array<std::string_view, 20>& bulletCharacters();

struct ListMarker {
    std::string marker; // "•" for any bullet; label and delimiter for a numbered item ("1.", "a)", "iv.")
    std::string text;   // what follows the marker
    bool operator==(const ListMarker&) const = default;
};

// The list-marker test: a bullet or a numbered label at the start of `text`
// (after spaces and tabs), followed by white space and some text.
std::optional<ListMarker> listMarker(std::string_view text);

// How a line that ends in a hyphen joins the next: with a space as they stand
// ("well- Known"), the hyphen dropped (a broken word: "exam- ple", "PRO-
// GRAM"), or the hyphen kept without the space ("DNA- binding", "COVID- 19"). `before` is the text up to the line's end, `after` the next
// line's text.
enum class HyphenJoin { space, dropHyphen, keepHyphen };
HyphenJoin hyphenJoin(std::string_view before, std::string_view after);

} // namespace Inference
} // namespace FolmiraKit
