#include "Platform/RichText.h"

#include <array>

namespace Platform::RichText {

namespace {

std::string alphabetic(int n, char first)
{
    // Bijective base 26: 1 → a, 26 → z, 27 → aa.
    std::string out;
    while (n > 0) {
        --n;
        out.insert(out.begin(), static_cast<char>(first + n % 26));
        n /= 26;
    }
    return out;
}

std::string roman(int n, bool upper)
{
    static constexpr std::array<std::pair<int, const char*>, 13> numerals = {{
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"},
        {50, "l"}, {40, "xl"}, {10, "x"}, {9, "ix"}, {5, "v"}, {4, "iv"}, {1, "i"}}};
    if (n <= 0 || n >= 4000) return std::to_string(n);
    std::string out;
    for (auto [value, text] : numerals)
        for (; n >= value; n -= value) out += text;
    if (upper)
        for (char& c : out) c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string based(int n, int base, bool upper)
{
    if (n <= 0) return std::to_string(n);
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    for (; n > 0; n /= base) out.insert(out.begin(), digits[n % base]);
    return out;
}

std::string label(std::string_view token, int n)
{
    if (token == "disc") return "\u2022";
    if (token == "circle") return "\u25E6";
    if (token == "square") return "\u25AA";
    if (token == "hyphen") return "\u2043";
    if (token == "diamond") return "\u25C6";
    if (token == "box") return "\u2610";
    if (token == "check") return "\u2713";
    if (token == "lower-alpha" || token == "lower-latin") return n > 0 ? alphabetic(n, 'a') : std::to_string(n);
    if (token == "upper-alpha" || token == "upper-latin") return n > 0 ? alphabetic(n, 'A') : std::to_string(n);
    if (token == "lower-roman") return roman(n, false);
    if (token == "upper-roman") return roman(n, true);
    if (token == "octal") return based(n, 8, false);
    if (token == "lower-hexadecimal") return based(n, 16, false);
    if (token == "upper-hexadecimal") return based(n, 16, true);
    return std::to_string(n);  // decimal, and any format we do not know
}

} // namespace

std::string TextList::marker(int itemNumber) const
{
    std::string out;
    std::string_view format = markerFormat;
    while (!format.empty()) {
        std::size_t open = format.find('{');
        std::size_t close = open == std::string_view::npos ? open : format.find('}', open);
        if (close == std::string_view::npos) {
            out += format;
            break;
        }
        out += format.substr(0, open);
        out += label(format.substr(open + 1, close - open - 1), itemNumber);
        format.remove_prefix(close + 1);
    }
    return out;
}

std::string Paragraph::text() const
{
    std::string out;
    for (const Span& span : spans) out += span.text;
    return out;
}

} // namespace Platform::RichText
