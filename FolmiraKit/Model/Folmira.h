#pragma once

// The engine's entry: which files it reads, and reading one into a BigDocument.
// Every call is synchronous and keeps no state; any thread may call it.

#include "FolmiraKit/Model/BigDocument.h"
#include "FolmiraKit/Model/Cancel.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit {

namespace Brand {
inline constexpr std::string_view name = "Folmira";
inline constexpr std::string_view slug = "folmira";
// The product's online help page (set at build time).
std::string_view helpURL();
} // namespace Brand

namespace Folmira {

// The extensions the engine reads, lower-case, without the dot.
inline constexpr std::array<std::string_view, 7> extensions{"txt", "text", "md", "markdown", "rtf", "docx", "pdf"};

// The reader for an extension (any case, no dot), or none.
std::optional<BigDocument::Source> source(std::string_view forExtension);

// Reads a file. Throws ConversionError: damaged when it can't be read,
// unsupported for other kinds, empty for no bytes, or the reader's own refusal.
// With keepLineBreaks, text and Markdown paragraphs keep their line breaks.
// Once `cancel` is set (from any thread) the read stops at its next page or
// block and throws Cancelled.
BigDocument read(const std::filesystem::path& url, bool keepLineBreaks, const CancelFlag* cancel = nullptr);

// The same for bytes in memory. `folder` holds the document (Markdown pictures).
BigDocument readBytes(const std::vector<std::uint8_t>& data, std::string_view fileExtension, const std::string& title,
                      const std::optional<std::filesystem::path>& folder, bool keepLineBreaks,
                      const CancelFlag* cancel = nullptr);

} // namespace Folmira
} // namespace FolmiraKit
