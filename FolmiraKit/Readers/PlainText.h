#pragma once

// The plain-text reader: structure inferred from the shape of the lines.
// Its decoding, line splitting and underline test serve the Markdown reader
// and the keep-line-breaks re-read as well.

#include "FolmiraKit/Model/BigDocument.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit {

using Lines = std::vector<std::string>;

// Reads a .txt file. Throws ConversionError (empty) when no line has text.
BigDocument readPlainText(const std::vector<std::uint8_t>& data, const std::string& title);

// Byte-order mark first (UTF-8, UTF-16 LE/BE), else strict UTF-8, else
// Windows-1252, else UTF-8 with U+FFFD for bad bytes. Never fails.
std::string decodeText(const std::vector<std::uint8_t>& data);

// Lines at CR LF, CR, LF and form feed, each without trailing spaces and tabs.
Lines splitTextLines(std::string_view text);

// "=" or "-" when the line is three or more of that character alone.
std::optional<char> setextUnderline(std::string_view line);

// The non-blank lines between runs of blank lines.
std::vector<Lines> lineGroups(Lines lines);

// One group to blocks. `isFirst` for the document's first group; `next` is the
// following group; `keepBreaks` makes every multi-line paragraph keep its breaks.
Blocks plainTextParagraphs(const Lines& group, bool isFirst, const Lines* next, bool keepBreaks);

// Blocks of every group, as plainTextParagraphs makes them.
Blocks plainTextBlocks(const std::vector<Lines>& groups, bool keepBreaks);

// Short lines that start with capitals: verse, addresses, lyrics.
bool keepsLineBreaks(const Lines& lines);

// Lines joined with single spaces, a word broken by a hyphen at a line end made whole.
std::string joinWrappedLines(const Lines& lines);

// A heading level (1–3) for a one-line group, or none.
std::optional<int> plainTextHeadingLevel(std::string_view line, bool isFirst, const Lines* next);

} // namespace FolmiraKit
