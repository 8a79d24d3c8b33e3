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
    auto match = numbered.firstMatch(rest);
    if (!match) return std::nullopt;
    std::string_view label = match->text(1), delimiter = match->text(2), body = match->text(3);
    if (isSingleCapitalName(label, delimiter, body)) return std::nullopt;
    return ListMarker{std::string(label) + std::string(delimiter), std::string(body)};
}

} // namespace FolmiraKit::Inference
