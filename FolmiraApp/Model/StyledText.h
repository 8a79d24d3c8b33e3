#pragma once

// The original of a text-like file as the left-hand pane shows it: plain text
// (shown in a 12 pt monospaced face) or rich text as HTML.

#include <QString>

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

// A text or Markdown file's bytes as shown: UTF-8, else Windows-1252, else
// nothing at all (the five bytes Windows-1252 leaves undefined).
StyledText decodedOriginal(const std::vector<std::uint8_t>& bytes);

} // namespace FolmiraApp
