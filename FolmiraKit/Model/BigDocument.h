#pragma once

// A read document: what every reader produces and the renderer consumes.

#include "FolmiraKit/Model/Block.h"
#include "FolmiraKit/Model/Conversion.h"

#include <array>
#include <string>
#include <vector>

namespace FolmiraKit {

struct BigDocument {
    enum class Source { text, markdown, rtf, word, pdf };
    static constexpr std::array<Source, 5> allSources{Source::text, Source::markdown, Source::rtf, Source::word,
                                                      Source::pdf};

    std::string title; // the file name without its extension
    Source source = Source::text;
    Blocks blocks;
    std::vector<ConversionNote> notes; // in the order they were made
    // 1-based numbers of the pages of a PDF left out as too large to read,
    // ascending; the window shows those pages' places without drawing them.
    std::vector<int> leftOutPages = {};

    // Every block's plain text, joined with "\n" (a rule gives an empty line).
    std::string plainText() const;
    // The plain text of each heading, in order.
    std::vector<std::string> headings() const;
    int tableCount() const;
    int imageCount() const;

    // Titles and texts compare canonically, as every string of the model does.
    bool operator==(const BigDocument& other) const;
};

std::string_view toString(BigDocument::Source source);
template <>
std::optional<BigDocument::Source> fromString<BigDocument::Source>(std::string_view text);

} // namespace FolmiraKit
