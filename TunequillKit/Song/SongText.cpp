#include "TunequillKit/Song/SongText.h"

#include "Platform/Text.h"

#include <limits>

namespace TunequillKit::SongText {

std::string dropTrailingSpace(std::string_view text)
{
    // The pattern "\s+$" removes the last run of White_Space scalars, and
    // every line end its "$" may stop before is White_Space itself, so the run
    // always reaches the end of the text. Scanning back from the end finds
    // the same run in linear time; a pattern search restarts inside a long
    // run of spaces at each of its scalars and grows with its square.
    std::size_t end = text.size();
    while (end > 0) {
        std::size_t start = end - 1;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        auto scalar = Platform::Text::firstScalar(text.substr(start, end - start));
        if (!scalar || !Platform::Text::isWhitespaceScalar(*scalar)) break;
        end = start;
    }
    return std::string(text.substr(0, end));
}

std::optional<std::int64_t> decimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // Accumulate downwards so that the most negative value fits too.
    std::int64_t value = 0;
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        int digit = c - '0';
        if (value < (lowest + digit) / 10) return std::nullopt;
        value = value * 10 - digit;
    }
    if (negative) return value;
    if (value == lowest) return std::nullopt;
    return -value;
}

std::optional<std::int64_t> numberCharacters(std::string_view text)
{
    std::string digits;
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        for (char c : text)
            if (c >= '0' && c <= '9') digits += c;
    } else {
        for (std::string_view c : Platform::Text::characters(text)) {
            if (!Platform::Text::isNumber(c)) continue;
            if (c.size() != 1) return std::nullopt; // a number, but no decimal digit
            digits += c;
        }
    }
    if (digits.empty()) return std::nullopt;
    return decimal(digits);
}

} // namespace TunequillKit::SongText
