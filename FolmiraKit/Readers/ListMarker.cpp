#include "FolmiraKit/Readers/Inference.h"

#include "Platform/Regex.h"
#include "Platform/Text.h"

#include <algorithm>

namespace FolmiraKit::Inference {

namespace Text = Platform::Text;

const std::array<std::string_view, 20>& bulletCharacters()
{
    static const std::array<std::string_view, 20> bullets{
        "\u2022", "\u25E6", "\u25AA", "\u25AB", "\u2023", "\u2219", "\u00B7", "\u25CB", "\u25CF", "\u25A0",
        "\u25A1", "\u25C6", "\u2756", "\u27A2", "\u25BA", "\uF0B7", "-",      "*",      "\u2013", "+"};
    return bullets;
}

namespace {

std::optional<ListMarker> bulletMarker(std::string_view rest, std::string_view bullet)
{
    std::string_view after = rest.substr(bullet.size());
    if (after.empty() || (after.front() != ' ' && after.front() != '\t')) return std::nullopt;
    std::string_view text = Text::trimWhitespace(after);
    if (text.empty()) return std::nullopt;
    // "- - -" and "* * *" are separators, not items.
    bool repeatable = bullet == "-" || bullet == "*" || bullet == "+" || bullet == "\u2013";
    if (repeatable && Text::startsWith(text, bullet)) return std::nullopt;
    return ListMarker{"\u2022", std::string(text)};
}

bool isSingleCapitalName(std::string_view label, std::string_view delimiter, std::string_view text)
{
    if (Text::characterCount(label) != 1 || !Text::isUppercase(label) || delimiter != ".") return false;
    if (text.empty() || !Text::isUppercase(Text::firstCharacter(text))) return false;
    return Text::splitOmittingEmpty(text, U' ').size() < 3;
}

bool isDelimiter(char c) { return c == '.' || c == ')'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isRoman(char c) { return c == 'i' || c == 'v' || c == 'x' || c == 'I' || c == 'V' || c == 'X'; }

// A numbered item's label and delimiter read by hand, as the pattern's
// "\(?([0-9]{1,3}|[a-zA-Z]|[ivxIVX]{2,4})([.)])[ \t]+" reads them: the label,
// and where the text after the spaces and tabs begins; none when they are not there.
std::optional<std::pair<std::string_view, std::size_t>> numberedLabel(std::string_view rest)
{
    const std::size_t start = !rest.empty() && rest[0] == '(' ? 1 : 0;
    const auto closedAt = [&](std::size_t at) { return at < rest.size() && isDelimiter(rest[at]); };
    const auto runOf = [&](bool (*in)(char)) {
        std::size_t at = start;
        while (at < rest.size() && at - start < 5 && in(rest[at])) ++at;
        return at;
    };
    std::size_t end = runOf(isDigit);
    if (end - start < 1 || end - start > 3 || !closedAt(end)) {
        if (start < rest.size() && isAsciiLetter(rest[start]) && closedAt(start + 1)) {
            end = start + 1;
        } else {
            end = runOf(isRoman);
            if (end - start < 2 || end - start > 4 || !closedAt(end)) return std::nullopt;
        }
    }
    std::size_t text = end + 1;
    while (text < rest.size() && (rest[text] == ' ' || rest[text] == '\t')) ++text;
    if (text == end + 1) return std::nullopt;
    return std::pair{rest.substr(start, end + 1 - start), text};
}

} // namespace

std::optional<ListMarker> listMarker(std::string_view text)
{
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::nullopt;
    std::string_view rest = text.substr(start);

    std::string_view first = Text::firstCharacter(rest);
    const auto& bullets = bulletCharacters();
    if (std::find(bullets.begin(), bullets.end(), first) != bullets.end()) return bulletMarker(rest, first);

    // A label is at most "(" and four characters, so its delimiter comes within six bytes.
    std::string_view head = rest.substr(0, 6);
    if (head.find_first_of(".)") == std::string_view::npos) return std::nullopt;
    static const Platform::Regex numbered("^\\(?([0-9]{1,3}|[a-zA-Z]|[ivxIVX]{2,4})([.)])[ \\t]+(\\S.*)$");
    const auto numberedAt = numberedLabel(rest);
    if (!numberedAt) return std::nullopt;
    const auto [marker, textStart] = *numberedAt;
    std::string_view label = marker.substr(0, marker.size() - 1), delimiter = marker.substr(marker.size() - 1);
    std::string_view body = rest.substr(textStart);
    // Text of printable ASCII is what the pattern's "\S.*$" takes as it
    // stands; other text is left to the pattern (its spaces and line ends).
    if (body.empty() || !std::all_of(body.begin(), body.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x80;
        })) {
        auto match = numbered.firstMatch(rest);
        if (!match) return std::nullopt;
        body = match->text(3);
    }
    if (isSingleCapitalName(label, delimiter, body)) return std::nullopt;
    return ListMarker{std::string(label) + std::string(delimiter), std::string(body)};
}

} // namespace FolmiraKit::Inference
