#pragma once

// A small line-oriented Markdown reader: headings, paragraphs, fenced code,
// rules, pipe tables, pictures beside the document, lists and quotes. Inline
// markup keeps bold and italic only; links, HTML tags and code marks go.

#include "FolmiraKit/Model/BigDocument.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit {

// Reads a Markdown file. `folder` holds the document; pictures are loaded only
// from inside it. Throws ConversionError (empty) when nothing is left to show.
BigDocument readMarkdown(const std::vector<std::uint8_t>& data, const std::string& title,
                         const std::optional<std::filesystem::path>& folder);

// Inline markup to tidied runs.
Runs markdownInline(std::string_view text);

struct MarkdownListItem {
    std::string marker; // "•" for -, * and +; the number and its delimiter otherwise
    int level = 0;      // two columns of indentation per level, at most 3
    std::string text;
    bool operator==(const MarkdownListItem&) const = default;
};
std::optional<MarkdownListItem> markdownListItem(std::string_view line);

// The raw cell texts of a table row; "\|" is a plain "|" inside a cell.
std::vector<std::string> markdownTableCells(std::string_view line);

} // namespace FolmiraKit
