// The readers of single ChordPro lines: directives, lyric segments, section
// labels and chord definitions. All of them work on one line at a time and
// stay linear in its length.

#include "TunequillKit/Song/ChordProParser.h"

#include "Platform/Regex.h"
#include "Platform/Text.h"
#include "TunequillKit/Song/SongText.h"

#include <algorithm>

namespace TunequillKit::ChordProParser {

using Platform::Text::trimSpacesTabs;

std::optional<Directive> directive(std::string_view line)
{
    std::string_view trimmed = trimSpacesTabs(line);
    if (trimmed.size() < 3 || trimmed.front() != '{' || trimmed.back() != '}') return std::nullopt;
    std::string_view inner = trimSpacesTabs(trimmed.substr(1, trimmed.size() - 2));
    // "{+settings…}" is another program's configuration: a directive, named with its "+".
    std::string_view first = Platform::Text::firstCharacter(inner.starts_with('+') ? inner.substr(1) : inner);
    if (first.empty() || !Platform::Text::isLetter(first)) return std::nullopt;

    std::size_t nameEnd = std::min(inner.find(':'), inner.find(' '));
    if (nameEnd == std::string_view::npos) nameEnd = inner.size();
    Directive d;
    d.name = Platform::Text::lowercased(inner.substr(0, nameEnd));
    if (!d.name.starts_with("x_"))
        if (std::size_t dash = d.name.find('-'); dash != std::string::npos) d.name.resize(dash);

    std::string_view rest = inner.substr(nameEnd);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (!rest.empty() && rest.front() == ':') rest.remove_prefix(1);
    d.value = trimSpacesTabs(rest);
    return d;
}

std::vector<Segment> segments(std::string_view line)
{
    std::vector<Segment> out;
    std::optional<std::string> pending;
    std::string text;
    // A "[" opens a chord only when some "]" follows it; the last one decides.
    const std::size_t lastClose = line.rfind(']');
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            char next = line[i + 1];
            if (next == '[' || next == ']' || next == '{' || next == '}') {
                text += next;
                i += 2;
                continue;
            }
        }
        if (c == '[' && lastClose != std::string_view::npos && lastClose > i) {
            std::size_t close = line.find(']', i + 1);
            if (pending || !text.empty()) out.push_back(Segment{std::move(pending), std::move(text)});
            std::string_view chord = trimSpacesTabs(line.substr(i + 1, close - i - 1));
            if (!chord.empty() && chord.front() == '*') chord.remove_prefix(1);
            pending = chord.empty() ? std::nullopt : std::optional<std::string>(chord);
            text.clear();
            i = close + 1;
            continue;
        }
        text += c;
        ++i;
    }
    if (pending || !text.empty()) out.push_back(Segment{std::move(pending), std::move(text)});
    if (!out.empty()) out.back().text = SongText::dropTrailingSpace(out.back().text);
    return out;
}

std::string label(std::string_view value)
{
    if (value.find("label") == std::string_view::npos) return std::string(value);
    static const Platform::Regex labelPattern("label\\s*=\\s*\"([^\"]*)\"");
    if (auto match = labelPattern.firstMatch(value)) return std::string(match->text(1));
    return std::string(value);
}

namespace {

// "x", "X", "-1", "N" and a lone "-" stand for a string that is not played.
bool isMutedString(std::string_view piece)
{
    return piece == "x" || piece == "X" || piece == "-1" || piece == "N" || piece == "-";
}

// A name, then fret values only.
bool holdsFretsOnly(const std::vector<std::string_view>& pieces)
{
    if (pieces.size() < 2) return false;
    for (std::size_t i = 1; i < pieces.size(); ++i)
        if (!isMutedString(pieces[i]) && !SongText::decimal(pieces[i])) return false;
    return true;
}

} // namespace

bool isShortDefinition(std::string_view value)
{
    std::string spaced(value);
    std::replace(spaced.begin(), spaced.end(), ':', ' ');
    return holdsFretsOnly(Platform::Text::splitOmittingEmpty(spaced, U' '));
}

std::optional<ChordDefinition> definition(std::string_view value)
{
    std::string spaced(value);
    std::replace(spaced.begin(), spaced.end(), ':', ' ');
    auto pieces = Platform::Text::splitOmittingEmpty(spaced, U' ');
    if (pieces.empty()) return std::nullopt;

    enum class State { none, base, frets, fingers, skip } state = State::none;
    ChordDefinition d;
    d.name = pieces[0];
    // The short form without keywords, "D 1 x x 0 2 3 2": the base fret, then
    // one fret per string (six for a guitar), then as many fingers if given.
    const std::size_t values = pieces.size() - 1;
    const bool short_ = (values == 7 || values == 13) && holdsFretsOnly(pieces);
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (short_) state = i == 1 ? State::base : i <= 7 ? State::frets : State::fingers;
        std::string_view piece = pieces[i];
        std::string lower = Platform::Text::lowercased(piece);
        if (lower == "base-fret") state = State::base;
        else if (lower == "frets") state = State::frets;
        else if (lower == "fingers") state = State::fingers;
        else if (lower == "keys" || lower == "copy" || lower == "copyall" || lower == "display" ||
                 lower == "format" || lower == "diagram")
            state = State::skip;
        else {
            std::optional<std::int64_t> number;
            if (!isMutedString(piece)) number = SongText::decimal(piece);
            switch (state) {
            case State::base: d.baseFret = number ? std::max<std::int64_t>(*number, 1) : 1; break;
            case State::frets: d.frets.push_back(number); break;
            case State::fingers: d.fingers.push_back(number); break;
            case State::none:
            case State::skip: break;
            }
        }
    }
    if (d.frets.empty()) return std::nullopt;
    return d;
}

} // namespace TunequillKit::ChordProParser
