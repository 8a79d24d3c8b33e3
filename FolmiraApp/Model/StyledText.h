#pragma once

// The original of a text-like file as the left-hand pane shows it: plain text
// (shown in a 12 pt monospaced face) or rich text as HTML.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace FolmiraApp {

struct StyledText {
    enum class Format { plain, html };
    Format format = Format::plain;
    QString content;

    bool operator==(const StyledText&) const = default;
};

// Larger originals are not shown (the read goes on): laying out a text of
// hundreds of megabytes would hold the window up for minutes.
inline constexpr std::uintmax_t maxOriginalBytes = 32u << 20;

// Qt lays a paragraph out whole each time the pane's width changes, at about a
// second per million characters: a file of millions of characters without a
// line break would hold the window up for minutes. Originals with a longer
// paragraph are not shown (the read goes on).
inline constexpr std::size_t maxOriginalParagraph = 200'000;

// True when no paragraph of a plain text (parted at line feeds, carriage
// returns and paragraph separators) is longer than maxOriginalParagraph.
bool paragraphsFitThePane(const QString& text);

// A text or Markdown file's bytes as shown: decoded as the text reader
// decodes them (UTF-8 or UTF-16 after a byte-order mark, else UTF-8, else
// Windows-1252, else UTF-8 with every bad sequence replaced), NULs shown as
// U+FFFD.
StyledText decodedOriginal(const std::vector<std::uint8_t>& bytes);

} // namespace FolmiraApp
