#pragma once

// RTF and Word originals as styled text (HTML) for the left-hand pane: the
// paragraphs with their fonts, sizes, bold and italics, headings, list labels,
// tables and pictures, as the engine's own importers see them. Word originals
// are shown as styled text, not as laid-out pages.

#include "FolmiraApp/Model/StyledText.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace FolmiraApp {

// None when the bytes are not RTF (or break the importer's limits), or hold a
// paragraph longer than maxOriginalParagraph.
std::optional<StyledText> rtfOriginal(const std::vector<std::uint8_t>& bytes);

// None when the bytes are not a Word package with a document part, or hold a
// paragraph longer than maxOriginalParagraph.
std::optional<StyledText> docxOriginal(const std::vector<std::uint8_t>& bytes);

} // namespace FolmiraApp
