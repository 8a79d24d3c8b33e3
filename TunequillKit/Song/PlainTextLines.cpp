// The line classifiers of the chords-over-lyrics converter and the column
// merge of a chord line into its lyric line.

#include "TunequillKit/Song/PlainTextConverter.h"

#include "Platform/Regex.h"
#include "Platform/Text.h"
#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/ChordMarks.h"
#include "TunequillKit/Song/SongText.h"

#include <algorithm>
#include <cctype>
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

bool isChord(std::string_view token) { return !token.empty() && Chord::parse(token).has_value(); }

std::string asciiDigits(std::string_view text)
{
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    return digits;
}

// A piece with bars, repeat signs and parentheses removed from both ends.
std::string_view stripBarsAndParentheses(std::string_view piece)
{
    auto isFrame = [](char c) { return c == '(' || c == ')' || c == '|' || c == ':'; };
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

namespace {

using ChordMarks::isFingering;
using ChordMarks::isRepeatCount;

bool hasDigit(std::string_view text) { return text.find_first_of("0123456789") != std::string_view::npos; }

// Bars, beat slashes and the like: what a chord line holds between chords.
bool isMark(std::string_view token)
{
    return isNonChordToken(token) || ChordMarks::isBar(token) || token.find_first_not_of('/') == std::string_view::npos;
}

// A chord taken out of its token: where it starts in the token and its text.
// Bars around it are left out ("F#|", "|G"), and so are parentheses unless
// they close round it ("(G)" stays, "(G" gives "G").
struct TokenChord {
    std::size_t offset = 0;
    std::string_view text;
    bool doubtful = false; // a chord with a tail the grammar does not know: "A7-9/unk"
    bool lower = false;    // a minor chord written in lower case: "d", "e7", "fis"
};

// Polish, Czech and German sheets write a minor chord in lower case ("d",
// "e7", "fis", "h"): its root is a note letter or a German name, and what
// follows is a quality that is not itself minor.
std::optional<std::string> minorSpelled(std::string_view token)
{
    if (token.empty() || token[0] < 'a' || token[0] > 'h') return std::nullopt;
    std::string upper(token);
    upper[0] = static_cast<char>(upper[0] - 'a' + 'A');
    auto written = Chord::parseWritten(upper);
    if (!written || written->bass) return std::nullopt;
    const std::string_view quality = std::string_view(upper).substr(written->root.length);
    if (quality.starts_with('m') || quality.starts_with('-') || quality.starts_with("dim")) return std::nullopt;
    return upper.substr(0, written->root.length) + "m" + std::string(quality);
}

bool minorInLowerCase(std::string_view token) { return minorSpelled(token).has_value(); }

// "No chord": placed where it stands, though it is no chord.
bool isNoChord(std::string_view token) { return token == "N.C." || token == "NC" || token == "N.C" || token == "n.c."; }

std::optional<TokenChord> chordIn(std::string_view token)
{
    if (isNoChord(token)) return TokenChord{0, token, true};
    auto isBar = [](char c) { return c == '|' || c == ':'; };
    std::string_view bare = token;
    while (!bare.empty() && isBar(bare.front())) bare.remove_prefix(1);
    while (!bare.empty() && isBar(bare.back())) bare.remove_suffix(1);
    if (bare.size() >= 3 && bare.front() == '(' && bare.back() == ')' && isChord(bare.substr(1, bare.size() - 2)))
        return TokenChord{static_cast<std::size_t>(bare.data() - token.data()), bare};
    std::string_view inner = stripBarsAndParentheses(token);
    if (!inner.empty() && minorInLowerCase(inner)) {
        return TokenChord{static_cast<std::size_t>(inner.data() - token.data()), inner, false, true};
    }
    if (inner.empty() || !Note::parse(inner)) return std::nullopt; // most words end here
    const auto offset = static_cast<std::size_t>(inner.data() - token.data());
    if (isChord(inner)) return TokenChord{offset, inner};
    // A chord with a bass the grammar can't read ("A13/unk") is still written
    // where a chord stands, and placed as one.
    std::size_t slash = inner.rfind('/');
    if (slash != std::string_view::npos && slash + 1 < inner.size() && isChord(inner.substr(0, slash))) {
        std::string_view tail = inner.substr(slash + 1);
        if (std::all_of(tail.begin(), tail.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            return TokenChord{offset, inner, true};
    }
    return std::nullopt;
}

// Chords that are also words of a sentence ("A day in May", "Am I wrong"):
// alone, they do not make a line of words a chord line.
bool isWordToo(std::string_view chord)
{
    if (chord.size() >= 3 && chord.front() == '(') chord = chord.substr(1, chord.size() - 2);
    return chord == "A" || chord == "Am" || chord == "Em";
}

// A chord that reads as nothing else: more than a letter ("Esus4", not "B").
bool isPlainChord(std::string_view chord)
{
    if (chord.size() >= 3 && chord.front() == '(') chord = chord.substr(1, chord.size() - 2);
    return chord.size() > 1 && !isWordToo(chord);
}

// Labels of a line of notes that are not chords to play ("Tuning: E A D G").
bool labelsNoChords(std::string_view label)
{
    std::string lower = Platform::Text::lowercased(trimWhitespace(label.substr(0, label.find(':'))));
    // "Tuning (drop D):" too; and the words for tuning and key of German,
    // Czech, Polish and Spanish sheets.
    for (std::string_view word : {"tuning", "stimmung", "ladění", "strój", "afinación"})
        if (lower.starts_with(word)) return true;
    for (std::string_view word : {"key", "capo", "tempo", "time", "title", "artist", "by", "tonart", "tónina",
                                  "tonacja", "tono", "kapodaster", "capotraste"})
        if (lower == word) return true;
    return false;
}

struct Token {
    std::size_t begin; // byte offset in the line
    std::string_view text;
};

std::vector<Token> spaceSeparated(std::string_view line)
{
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        std::string_view token = line.substr(start, i - start);
        // A count written onto its chord ("D(x2)") is two tokens.
        std::size_t open = token.back() == ')' ? token.rfind('(') : std::string_view::npos;
        if (open != std::string_view::npos && open > 0 && isRepeatCount(token.substr(open)) &&
            chordIn(token.substr(0, open))) {
            tokens.push_back({start, token.substr(0, open)});
            tokens.push_back({start + open, token.substr(open)});
        } else {
            tokens.push_back({start, token});
        }
    }
    return tokens;
}

bool isLabelSeparator(std::string_view token) { return token == ":" || token == "-" || token == "–" || token == "—"; }

// A verse's number or a refrain's mark before its chords, as Czech and
// Polish songbooks write them: "1.", "12.", "R.", "Ref.".
bool isVerseMark(std::string_view token)
{
    if (token.size() < 2 || token.back() != '.') return false;
    std::string_view body = token.substr(0, token.size() - 1);
    if (body.size() <= 2 && body.find_first_not_of("0123456789") == std::string_view::npos) return true;
    return body == "R" || body == "Ref" || body == "Refr";
}

// As many spaces as `text` has characters, so that columns stay.
void blank(std::string& out, std::string_view text) { out.append(Platform::Text::characterCount(text), ' '); }

// The tokens before the chords that label them: up to three words, the last
// ending in a colon or followed by a lone colon or dash. 0 when the line
// begins with its chords; none when it begins with words that are no label.
std::optional<std::size_t> labelLength(const std::vector<Token>& tokens)
{
    std::string_view first = tokens[0].text;
    if (chordIn(first) || isMark(first) || isRepeatCount(first)) return 0;
    for (std::size_t k = 0; k < std::min<std::size_t>(3, tokens.size()); ++k) {
        std::string_view t = tokens[k].text;
        if (k > 0 && chordIn(t)) return std::nullopt; // words before the chords, and no label
        if ((t.size() > 1 && t.back() == ':') || (k > 0 && isLabelSeparator(t)) || (k == 0 && isVerseMark(t)))
            return k + 1 < tokens.size() ? std::optional<std::size_t>(k + 1) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace

bool isSettingLine(std::string_view line)
{
    std::string_view t = trimWhitespace(line);
    const std::size_t colon = t.find(':');
    return colon != std::string_view::npos && colon <= 24 && labelsNoChords(t.substr(0, colon));
}

std::optional<ChordLine> readChordLine(std::string_view line)
{
    const std::vector<Token> tokens = spaceSeparated(line);
    if (tokens.empty()) return std::nullopt;
    const std::optional<std::size_t> body = labelLength(tokens);
    if (!body) return std::nullopt;

    enum class Kind { chord, mark, note };
    std::vector<Kind> kinds(tokens.size(), Kind::note);
    int chords = 0;
    bool notWord = false;   // a chord that is no word of a sentence
    bool plain = false;     // a chord that reads as nothing else
    bool words = false;     // a note of words, not in brackets
    bool bracketed = false; // a note in brackets or parentheses
    int lower = 0, upper = 0; // minor chords written in lower case, and the others
    std::size_t noteWords = 0;
    std::optional<char> closing; // the bracket that ends the note in brackets being read
    for (std::size_t i = *body; i < tokens.size(); ++i) {
        std::string_view t = tokens[i].text;
        if (closing) {
            if (t.back() == *closing) closing.reset();
            continue;
        }
        if (isRepeatCount(t)) continue; // a count goes with the note
        if (isFingering(t)) return std::nullopt;              // a row of a chord chart
        if (words) {
            if (chordIn(t)) return std::nullopt; // chords among words: a line of words
            ++noteWords;
            continue;
        }
        if (auto chord = chordIn(t)) {
            kinds[i] = Kind::chord;
            (chord->lower ? lower : upper) += 1;
            if (!chord->doubtful && !chord->lower) {
                ++chords;
                notWord = notWord || !isWordToo(chord->text);
                plain = plain || isPlainChord(chord->text);
            }
        } else if (isMark(t)) {
            kinds[i] = Kind::mark;
        } else if (t.front() == '(' || t.front() == '[') {
            bracketed = true;
            const char close = t.front() == '(' ? ')' : ']';
            if (t.size() == 1 || t.back() != close) closing = close;
        } else {
            // A note of words stands apart from the chords, as a player spaces it.
            if (i == 0 || tokens[i].begin < tokens[i - 1].begin + tokens[i - 1].text.size() + 2) return std::nullopt;
            words = true;
            ++noteWords;
        }
    }
    // Lower-case chords are words too ("a", "as", "des"): only among other
    // chords, two of them or beside one in capitals, with no words.
    if (lower > 0) {
        if (words || (lower < 2 && upper == 0)) return std::nullopt;
        chords += lower;
        notWord = true;
    }
    if (chords == 0 || (words && noteWords > 3)) return std::nullopt;
    // Words after one chord are a sentence unless the chord is unmistakable.
    if (chords < 2 && ((words && !plain) || ((bracketed || *body > 0) && !notWord))) return std::nullopt;

    ChordLine out;
    if (*body > 0) {
        std::size_t end = *body;
        if (tokens[end - 1].text != ":" && isLabelSeparator(tokens[end - 1].text)) --end;
        const Token& last = tokens[end - 1];
        out.label = std::string(line.substr(tokens[0].begin, last.begin + last.text.size() - tokens[0].begin));
        if (labelsNoChords(out.label) || metadataLine(line)) return std::nullopt;
    }
    std::size_t at = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        out.chords.append(token.begin - at, ' ');
        out.marks.append(token.begin - at, ' ');
        at = token.begin + token.text.size();
        const Kind kind = i < *body ? Kind::mark : kinds[i];
        if (kind == Kind::chord) {
            auto chord = chordIn(token.text);
            out.chords.append(chord->offset, ' ');
            out.chords += chord->text;
            out.chords.append(token.text.size() - chord->offset - chord->text.size(), ' ');
            // Bars written onto a chord ("F#|", "|:D") stay bars.
            for (std::size_t k = 0; k < token.text.size(); ++k) {
                const char c = token.text[k];
                if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue; // one column a character
                const bool inChord = k >= chord->offset && k < chord->offset + chord->text.size();
                out.marks += !inChord && (c == '|' || c == ':') ? c : ' ';
            }
            continue;
        }
        blank(out.chords, token.text);
        if (kind == Kind::mark && i >= *body) out.marks += token.text;
        else blank(out.marks, token.text);
        if (kind == Kind::note) {
            if (!out.note.empty()) out.note += ' ';
            out.note += token.text;
        }
    }
    out.chords = SongText::dropTrailingSpace(out.chords);
    out.marks = SongText::dropTrailingSpace(out.marks);
    return out;
}

bool isChordLine(std::string_view line) { return readChordLine(line).has_value(); }

std::optional<std::string> unwrapChordMarks(std::string_view text)
{
    if (text.find("[ch]") == std::string_view::npos) return std::nullopt;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool mark = false;
        for (std::string_view m : {"[ch]", "[/ch]", "[tab]", "[/tab]"}) {
            if (text.substr(i).starts_with(m)) {
                i += m.size();
                mark = true;
                break;
            }
        }
        if (!mark) out += text[i++];
    }
    return out;
}

bool isBarNumberLine(std::string_view line)
{
    std::string_view t = trimWhitespace(line);
    return !t.empty() && t.find_first_not_of("0123456789 |") == std::string_view::npos && hasDigit(t);
}

namespace {

// What a string of tablature is written with: frets, dashes, bars and the
// marks of hammer-ons, pull-offs, bends, releases, slides, taps, vibrato,
// mutes, ties and harmonics.
bool isTabCharacter(char c)
{
    return (c >= '0' && c <= '9') || std::string_view("-|hpbrstvx/\\~^.()=*<>").find(c) != std::string_view::npos;
}

// Dashes that run together or touch a fret, as a string's do ("--", "5-"),
// and not a word's ("b-b-b").
bool hasStringRun(std::string_view body)
{
    for (std::size_t i = 1; i < body.size(); ++i) {
        const bool dash = body[i] == '-', before = body[i - 1] == '-';
        const bool digit = body[i] >= '0' && body[i] <= '9', digitBefore = body[i - 1] >= '0' && body[i - 1] <= '9';
        if ((dash && (before || digitBefore)) || (before && digit)) return true;
    }
    return false;
}

} // namespace

bool isStaffNoteLine(std::string_view line)
{
    // Palm mutes, let ring, hammer-ons, pull-offs, slides, bends, harmonics…
    static constexpr std::string_view words[] = {"pm", "p.m", "let", "ring", "h", "p", "b", "r", "s", "sl", "t",
                                                 "tr", "v", "vib", "harm", "nh", "ah", "ph", "x", "mute", "rake"};
    bool technique = false;
    std::string_view t = trimWhitespace(line);
    for (std::size_t at = 0; at < t.size();) {
        const std::size_t end = std::min(t.find(' ', at), t.size());
        const std::string_view token = t.substr(at, end - at);
        at = end + 1;
        std::string_view word = token;
        while (!word.empty() && std::string_view("-|.~:").find(word.back()) != std::string_view::npos)
            word.remove_suffix(1);
        const std::string lower = Platform::Text::lowercased(word);
        if (!word.empty() && std::find(std::begin(words), std::end(words), lower) != std::end(words)) technique = true;
        else if (!std::all_of(token.begin(), token.end(), isTabCharacter)) return false;
    }
    return technique;
}

bool isNamelessString(std::string_view line)
{
    std::string_view t = trimWhitespace(line);
    return t.starts_with('-') && std::all_of(t.begin(), t.end(), isTabCharacter) &&
           std::count(t.begin(), t.end(), '-') >= 6;
}

bool isLyricBelowChords(std::string_view line)
{
    std::string_view t = trimWhitespace(line);
    return !t.empty() && !isChordLine(t) && !headerLabel(t) && !isTabLine(t);
}

bool isTabLine(std::string_view line)
{
    std::string_view t = trimWhitespace(line);
    bool nameless = false;
    if (!t.empty() && t.front() == '|') {
        t.remove_prefix(1);
        // Without a string's name, a fret tells a string from a table's rule ("|-----|-----|").
        nameless = !t.empty() && t.front() == '-';
        if (nameless && !hasDigit(t)) return false;
    }
    std::size_t at = 0;
    if (!nameless) {
        if (t.empty() || std::string_view("ABCDEFGabcdefg").find(t.front()) == std::string_view::npos) return false;
        at = 1;
        if (t.size() > 2 && (t[1] == '#' || t[1] == 'b') && std::string_view("| -").find(t[2]) != std::string_view::npos)
            at = 2;
        if (at < t.size() && (t[at] == ' ' || t[at] == ':')) ++at;
    }
    const bool barred = !nameless && at < t.size() && t[at] == '|';
    if (barred) ++at;
    // The string runs up to the first space or other character; what follows is a note on it.
    std::size_t end = at;
    while (end < t.size() && isTabCharacter(t[end])) ++end;
    std::string_view body = t.substr(at, end - at);
    const auto dashes = std::count(body.begin(), body.end(), '-');
    if (barred) return body.size() >= 4 && dashes >= 2;
    return body.size() >= 5 && dashes >= 3 && hasStringRun(body);
}

std::string merge(std::string_view chordLine, std::string_view lyric, bool escapeLyric)
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
            // A minor chord in lower case is written so that it reads, moves and keys the song: "d" is "Dm".
            if (auto minor = minorSpelled(tokens[next].text)) out += *minor;
            else out += tokens[next].text;
            ++next;
            out += ']';
        }
        if (column < lyricChars.size()) {
            const std::string_view c = lyricChars[column];
            const bool bracket = c.size() == 1 && std::string_view("[]{}").find(c[0]) != std::string_view::npos;
            if (escapeLyric && bracket) out += '\\';
            out += c;
        } else if (column < length) {
            out += ' ';
        }
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
