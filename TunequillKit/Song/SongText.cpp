#include "TunequillKit/Song/SongText.h"

#include "Platform/Regex.h"
#include "Platform/Text.h"

#include <limits>

namespace TunequillKit::SongText {

std::string dropTrailingSpace(std::string_view text)
{
    // Most lines end in a printable ASCII character, which the pattern can
    // never remove; spaces and tabs before such a character are cut by hand.
    // Anything else goes through the pattern itself, whose "$" also stops
    // before a final line terminator.
    std::string_view cut = text;
    while (!cut.empty() && (cut.back() == ' ' || cut.back() == '\t')) cut.remove_suffix(1);
    if (cut.empty()) return {};
    auto last = static_cast<unsigned char>(cut.back());
    if (last > 0x20 && last < 0x7F) return std::string(cut);
    static const Platform::Regex trailing("\\s+$");
    auto match = trailing.firstMatch(cut);
    if (!match) return std::string(cut);
    std::string out(cut.substr(0, match->groups[0]->begin));
    out += cut.substr(match->groups[0]->end);
    return out;
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
