// The line classifiers of the chords-over-lyrics converter and the column
// merge of a chord line into its lyric line.

#include "TunequillKit/Song/PlainTextConverter.h"

#include "Platform/Regex.h"
#include "Platform/Text.h"
#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/SongText.h"

#include <algorithm>
#include <vector>

namespace TunequillKit::PlainTextConverter {
namespace {

using Platform::Text::trimWhitespace;

const Platform::Regex& headingSuffix()
{
    static const Platform::Regex pattern(
        "^[0-9]{1,2}[a-z]?\\b.{0,16}$|^\\(?[x×]?\\d\\)?.{0,12}$|^[-–].{0,16}$");
    return pattern;
}

const Platform::Regex& headerPattern()
{
    static const Platform::Regex pattern(
        "^(title|artist|by|words|music|words and music|author|composer|key|capo|tempo|time|bpm)"
        "(\\s*/\\s*(artist|author|composer|music|words))*\\s*[:\\-]\\s*(.+)$",
        Platform::Regex::CaseInsensitive);
    return pattern;
}

const Platform::Regex& capoPattern()
{
    static const Platform::Regex pattern("^capo\\s+(on\\s+)?(\\d+)", Platform::Regex::CaseInsensitive);
    return pattern;
}

const Platform::Regex& repeatMark()
{
    static const Platform::Regex pattern("^\\(?[xX×]\\d+\\)?$|^\\(?\\d+[xX×]\\)?$");
    return pattern;
}

const Platform::Regex& tabPattern()
{
    static const Platform::Regex pattern("^[A-Ga-g][#b]?\\s?\\|[-0-9hpbr/\\\\x|~^.() ]{4,}$");
    return pattern;
}

bool isChord(std::string_view token) { return !token.empty() && Chord::parse(token).has_value(); }

std::string asciiDigits(std::string_view text)
{
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    return digits;
}

// A piece with bars and parentheses removed from both ends.
std::string_view stripBarsAndParentheses(std::string_view piece)
{
    auto isFrame = [](char c) { return c == '(' || c == ')' || c == '|'; };
    while (!piece.empty() && isFrame(piece.front())) piece.remove_prefix(1);
    while (!piece.empty() && isFrame(piece.back())) piece.remove_suffix(1);
    return piece;
}

} // namespace

bool isNonChordToken(std::string_view token)
{
    static constexpr std::array<std::string_view, 17> tokens = {"|",    "||", "|:", ":|",   "/",   "//",
                                                                "-",    "–",  "%",  "N.C.", "NC",  "N.C",
                                                                "n.c.", "...", "…", "(",    ")"};
    return std::find(tokens.begin(), tokens.end(), token) != tokens.end();
}

std::optional<std::string> headerLabel(std::string_view line)
{
    std::string_view t = trimWhitespace(line);
    if (t.empty() || Platform::Text::characterCount(t) > 40) return std::nullopt;
    if ((t.front() == '[' && t.back() == ']') || (t.front() == '(' && t.back() == ')')) t = t.substr(1, t.size() - 2);
    if (!t.empty() && t.back() == ':') t.remove_suffix(1);
    std::string_view inner = trimWhitespace(t);
    std::string lower = Platform::Text::lowercased(inner);

    auto word = std::find_if(headingWords.begin(), headingWords.end(),
                             [&](std::string_view w) { return lower.starts_with(w); });
    if (word == headingWords.end()) return std::nullopt;
    std::string_view rest = trimWhitespace(std::string_view(lower).substr(word->size()));
    if (!rest.empty() && !headingSuffix().search(rest)) return std::nullopt;

    std::string label = Platform::Text::uppercased(Platform::Text::firstCharacter(inner));
    label += Platform::Text::lowercased(Platform::Text::dropFirst(inner, 1));
    return label;
}

bool isChordLine(std::string_view line)
{
    int chords = 0;
    for (std::string_view piece : Platform::Text::splitOmittingEmpty(line, U' ')) {
        if (isChord(trimWhitespace(piece)) || isChord(trimWhitespace(stripBarsAndParentheses(piece)))) ++chords;
        else if (!isNonChordToken(piece) && (piece.find_first_of("0123456789") == std::string_view::npos ||
                                             !repeatMark().search(piece)))
            return false; // a repeat mark holds a digit: most words need no pattern search
    }
    return chords > 0;
}

namespace {

// A string of tablature without a bar after its letter ("E-------",
// "B--5--7-5--", "E ----|--0--|"): dashes and fret marks after the string
// letter, at least three dashes, and dashes that run together or touch a fret.
bool isBarlessTabLine(std::string_view t)
{
    static const Platform::Regex pattern("^[A-Ga-g][#b]?\\s?[-0-9hpbr/\\\\x|~^.() ]{5,}$");
    if (!pattern.search(t) || std::count(t.begin(), t.end(), '-') < 3) return false;
    for (std::size_t i = 1; i < t.size(); ++i) {
        const bool dash = t[i] == '-', before = t[i - 1] == '-';
        const bool digit = t[i] >= '0' && t[i] <= '9', digitBefore = t[i - 1] >= '0' && t[i - 1] <= '9';
        if ((dash && (before || digitBefore)) || (before && digit)) return true;
    }
    return false;
}

} // namespace

bool isLyricBelowChords(std::string_view line)
{
    std::string_view t = trimWhitespace(line);
    return !t.empty() && !isChordLine(t) && !headerLabel(t) && !isTabLine(t);
}

bool isTabLine(std::string_view line)
{
    std::string_view t = trimWhitespace(line);
    return tabPattern().search(t) || isBarlessTabLine(t);
}

std::string merge(std::string_view chordLine, std::string_view lyric)
{
    struct Token {
        std::size_t column;
        std::string_view text;
    };
    // Tokens are maximal runs of non-space characters, found by character so
    // that their columns match the lyric's characters.
    std::vector<Token> tokens;
    auto chordChars = Platform::Text::characters(chordLine);
    for (std::size_t i = 0; i < chordChars.size();) {
        if (chordChars[i] == " ") {
            ++i;
            continue;
        }
        std::size_t start = i;
        while (i < chordChars.size() && chordChars[i] != " ") ++i;
        const char* begin = chordChars[start].data();
        const char* end = chordChars[i - 1].data() + chordChars[i - 1].size();
        tokens.push_back({start, std::string_view(begin, static_cast<std::size_t>(end - begin))});
    }

    auto lyricChars = Platform::Text::characters(lyric);
    std::size_t length = lyricChars.size();
    if (!tokens.empty() && tokens.back().column > length) length = tokens.back().column;

    // Inserting from the last token back keeps the earlier columns valid, so
    // every chord lands before the lyric character at its own column.
    std::string out;
    out.reserve(lyric.size() + chordLine.size() + 2 * tokens.size() + length);
    std::size_t next = 0;
    for (std::size_t column = 0; column <= length; ++column) {
        while (next < tokens.size() && tokens[next].column == column) {
            out += '[';
            out += tokens[next++].text;
            out += ']';
        }
        if (column < lyricChars.size()) out += lyricChars[column];
        else if (column < length) out += ' ';
    }
    return SongText::dropTrailingSpace(out);
}

std::optional<Metadata> metadataLine(std::string_view line)
{
    std::string_view t = trimWhitespace(line);
    if (auto match = headerPattern().firstMatch(t)) {
        std::string_view matched = match->text(0);
        std::size_t cut = matched.find_first_of(":-");
        // "Author/Artist: …" is read by its first name.
        std::string_view keys = matched.substr(0, cut);
        std::string key = Platform::Text::lowercased(trimWhitespace(keys.substr(0, keys.find('/'))));
        std::string value(trimWhitespace(matched.substr(cut + 1)));
        if (key == "title") return Metadata{"title", value};
        if (key == "artist" || key == "by" || key == "author") return Metadata{"artist", value};
        if (key == "words" || key == "words and music") return Metadata{"lyricist", value};
        if (key == "music" || key == "composer") return Metadata{"composer", value};
        if (key == "key") {
            if (!Key::parse(value)) return std::nullopt;
            return Metadata{"key", value};
        }
        if (key == "capo") return Metadata{"capo", asciiDigits(value)};
        if (key == "tempo" || key == "bpm") return Metadata{"tempo", value};
        if (key == "time") return Metadata{"time", value};
        return std::nullopt;
    }
    if (auto match = capoPattern().firstMatch(t)) return Metadata{"capo", asciiDigits(match->text(0))};
    return std::nullopt;
}

std::string escape(std::string_view line)
{
    std::string out;
    out.reserve(line.size() + 4);
    for (char c : line) {
        if (c == '[' || c == ']' || c == '{' || c == '}') out += '\\';
        out += c;
    }
    return out;
}

} // namespace TunequillKit::PlainTextConverter
