#pragma once

// A stretch of text in one style, and the clean-up every reader applies to
// runs before they become blocks.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit {

struct Run {
    std::string text; // may hold line feeds where a paragraph keeps its line breaks
    bool bold = false;
    bool italic = false;

    Run() = default;
    explicit Run(std::string text, bool bold = false, bool italic = false)
        : text(std::move(text)), bold(bold), italic(italic)
    {
    }

    // Texts compare canonically: U+00E9 equals "e\u0301".
    bool operator==(const Run& other) const;
};

using Runs = std::vector<Run>;

// The runs' texts concatenated, nothing between them.
std::string plain(const Runs& runs);

// Merges neighbours of one style, collapses stretches of spaces, tabs and
// no-break spaces, drops blank runs at both ends and trims spaces, tabs and
// line feeds from the ends. The result is empty when every run was blank.
// Runs that are already tidy come back as they are, without a copy.
Runs tidied(Runs runs);

// Whether any run holds more than white space: tidied(runs) is not empty.
bool hasVisibleText(const Runs& runs);

// The external form: {"text": …, "bold": …, "italic": …}; decoding requires all three.
std::string encodeRun(const Run& run);
std::optional<Run> decodeRun(std::string_view json);

} // namespace FolmiraKit

template <>
struct std::hash<FolmiraKit::Run> {
    std::size_t operator()(const FolmiraKit::Run& run) const noexcept;
};
