#include "TunequillKit/Song/ChordMarks.h"

#include "Platform/Text.h"

#include <algorithm>

namespace TunequillKit::ChordMarks {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isBarCharacter(char c) { return c == '|' || c == ':'; }

// The length of a run of bars and repeat dots, when it holds a bar.
std::size_t barRun(std::string_view text)
{
    std::size_t n = 0;
    while (n < text.size() && isBarCharacter(text[n])) ++n;
    return text.substr(0, n).find('|') == std::string_view::npos ? 0 : n;
}

std::size_t barRunAtEnd(std::string_view text)
{
    std::size_t n = 0;
    while (n < text.size() && isBarCharacter(text[text.size() - 1 - n])) ++n;
    return text.substr(text.size() - n).find('|') == std::string_view::npos ? 0 : n;
}

bool isRun(std::string_view token, char c)
{
    return !token.empty() && token.find_first_not_of(c) == std::string_view::npos;
}

} // namespace

bool isBar(std::string_view token) { return !token.empty() && barRun(token) == token.size(); }

bool isRepeatCount(std::string_view token)
{
    if (token.starts_with('(')) token.remove_prefix(1);
    if (token.ends_with(')')) token.remove_suffix(1);
    auto times = [](std::string_view t, bool front) {
        for (std::string_view sign : {"x", "X", "×"})
            if (front ? t.starts_with(sign) : t.ends_with(sign)) return sign.size();
        return std::size_t{0};
    };
    std::string_view digits;
    if (std::size_t n = times(token, true)) digits = token.substr(n);
    else if (std::size_t m = times(token, false)) digits = token.substr(0, token.size() - m);
    return !digits.empty() && digits.size() <= 2 && std::all_of(digits.begin(), digits.end(), isDigit);
}

bool isFingering(std::string_view token)
{
    if (token.size() < 4 || token.size() > 7) return false;
    int played = 0;
    for (char c : token) {
        if (isDigit(c)) ++played;
        else if (c != 'x' && c != 'X') return false;
    }
    return played >= 3;
}

bool isMark(std::string_view token)
{
    return isBar(token) || isRun(token, '/') || isRun(token, '%') || isRepeatCount(token) || isFingering(token);
}

std::optional<Split> split(std::string_view text)
{
    text = Platform::Text::trimSpacesTabs(text);
    if (text.empty()) return std::nullopt;
    // Most texts are chords: a note letter first, and no bar, "%" or space.
    if (text.front() >= 'A' && text.front() <= 'H' && text.find_first_of("|% ") == std::string_view::npos)
        return std::nullopt;

    std::optional<std::string_view> chord;
    bool marks = false;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.find(' ', at), text.size());
        std::string_view token = text.substr(at, end - at);
        at = end + 1;
        if (token.empty()) continue;
        // Bars written onto a chord ("F#|", "|:G") are bars.
        const std::size_t lead = barRun(token);
        const std::size_t trail = barRunAtEnd(token.substr(lead));
        marks = marks || lead > 0 || trail > 0;
        std::string_view core = token.substr(lead, token.size() - lead - trail);
        if (core.empty()) continue;
        if (isMark(core)) {
            marks = true;
        } else {
            if (chord) return std::nullopt;
            chord = core;
        }
    }
    if (!marks) return std::nullopt;
    auto trimmed = [](std::string_view s) { return Platform::Text::trimSpacesTabs(s); };
    if (!chord) return Split{{}, {}, text};
    const std::size_t begin = static_cast<std::size_t>(chord->data() - text.data());
    return Split{trimmed(text.substr(0, begin)), *chord, trimmed(text.substr(begin + chord->size()))};
}

} // namespace TunequillKit::ChordMarks
