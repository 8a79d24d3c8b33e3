#pragma once

// A small line-oriented Markdown reader: headings, paragraphs, fenced and
// indented code, rules, pipe tables, pictures beside the document, lists and
// quotes. Inline markup keeps bold and italic only; links, HTML tags and code
// marks go, and code keeps its text as written.

#include "FolmiraKit/Model/BigDocument.h"
#include "FolmiraKit/Readers/PlainText.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit {

// Reads a Markdown file. `folder` holds the document; pictures are loaded from
// files named relative to it, as written ("../" included), never from the web. With `keepLineBreaks` a paragraph keeps the line breaks of
// its source. Throws ConversionError (empty) when nothing is left to show.
BigDocument readMarkdown(const std::vector<std::uint8_t>& data, const std::string& title,
                         const std::optional<std::filesystem::path>& folder, bool keepLineBreaks = false);

// Inline markup to tidied runs. `references` holds the keys of the link
// reference definitions, so that a bare "[text]" naming one shows as text.
Runs markdownInline(std::string_view text, const std::set<std::string>& references = {});

// The lines the walk reads: HTML comments (also across lines) and link
// reference definitions taken out outside fenced and indented code, with the definitions'
// keys. A comment never closed takes nothing out.
struct MarkdownSource {
    Lines lines;
    std::set<std::string> references;
};
MarkdownSource markdownSource(Lines lines);

// A reference label as definitions and links are matched: case and the spread
// of white space do not count.
std::string markdownReferenceKey(std::string_view label);

struct MarkdownListItem {
    std::string marker; // "•" for -, * and +; the number and its delimiter otherwise
    int level = 0;      // two columns of indentation per level, at most 3
    std::string text;
    bool operator==(const MarkdownListItem&) const = default;
};
std::optional<MarkdownListItem> markdownListItem(std::string_view line);

// The marker of a fence that a line (trimmed of spaces and tabs) opens: its
// run of three or more "`" or "~"; none when it opens none. A backtick
// fence's info string holds no backtick ("```foo``" is text).
std::optional<std::string_view> markdownFence(std::string_view trimmed);
// Whether `line` closes the fence that `opening` (a line markdownFence
// accepts, untrimmed) opened: a run of the same character, at least as
// long, and nothing else, indented less than code beyond the opening.
bool markdownClosesFence(std::string_view opening, std::string_view line);

// The columns a line is indented by, a tab reaching the next multiple of 4.
int markdownIndent(std::string_view line);

// The raw cell texts of a table row; "\|" is a plain "|" inside a cell.
std::vector<std::string> markdownTableCells(std::string_view line);

} // namespace FolmiraKit
