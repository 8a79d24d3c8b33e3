#pragma once

// Small text routines the song readers share (not part of the public interface).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace TunequillKit::SongText {

// `text` without trailing white space as the pattern "\s+$" removes it.
std::string dropTrailingSpace(std::string_view text);

// An optional sign and ASCII digits, within std::int64_t; none otherwise
// (overflow included).
std::optional<std::int64_t> decimal(std::string_view text);

// Every character of `text` that is a number, in order, read as a decimal
// integer: "Capo 3" gives 3. None when there is none, when one of them is no
// ASCII digit, or when the value overflows.
std::optional<std::int64_t> numberCharacters(std::string_view text);

// Calls `line(view)` for each line between line feeds, after turning CR LF and
// lone CR into line feeds; a final line feed gives a last, empty line.
template <typename Visit>
void forEachLine(std::string_view text, Visit line);

} // namespace TunequillKit::SongText

template <typename Visit>
void TunequillKit::SongText::forEachLine(std::string_view text, Visit line)
{
    std::string normal;
    if (text.find('\r') != std::string_view::npos) {
        normal.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '\r') {
                normal += text[i];
                continue;
            }
            normal += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        }
        text = normal;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            line(text.substr(start));
            return;
        }
        line(text.substr(start, end - start));
        start = end + 1;
    }
}
