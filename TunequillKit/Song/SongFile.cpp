#include "TunequillKit/Song/SongFile.h"

#include "Platform/Text.h"
#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/ChordMarks.h"
#include "TunequillKit/Song/ChordProParser.h"
#include "TunequillKit/Song/PlainTextConverter.h"

namespace TunequillKit {
namespace {

// Calls `visit(line)` for the text between line breaks of any kind
// (LF, CR, CR LF, VT, FF, NEL, LINE and PARAGRAPH SEPARATOR); stops when it
// returns true, and tells whether it did.
template <typename Visit>
bool anyLine(std::string_view text, Visit visit)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t breakLength = 0;
        if (c == '\n' || c == '\v' || c == '\f') breakLength = 1;
        else if (c == '\r') breakLength = (i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85) breakLength = 2;
        else if (c == 0xE2 && text.substr(i, 3) == "\u2028") breakLength = 3;
        else if (c == 0xE2 && text.substr(i, 3) == "\u2029") breakLength = 3;
        if (breakLength == 0) {
            ++i;
            continue;
        }
        if (visit(text.substr(start, i - start))) return true;
        i += breakLength;
        start = i;
    }
    return visit(text.substr(start));
}

bool isChordProLine(std::string_view line)
{
    std::string_view t = Platform::Text::trimWhitespace(line);
    if (t.empty()) return false;
    if (t.front() == '{' && t.back() == '}' && ChordProParser::directive(t)) return true;
    if (t.find('[') == std::string_view::npos || PlainTextConverter::headerLabel(t)) return false;
    int chords = 0;
    for (const Segment& segment : ChordProParser::segments(t)) {
        if (!segment.chord) continue;
        std::string_view chord = Platform::Text::trimWhitespace(*segment.chord);
        // Bars and counts in brackets go with the chords: they neither make nor spoil a line of them.
        if (auto marks = ChordMarks::split(chord)) {
            if (marks->chord.empty()) continue;
            chord = marks->chord;
        }
        if (chord.empty() || !Chord::parse(chord)) return false;
        ++chords;
    }
    return chords > 0;
}

} // namespace

std::string_view toString(SongFormat format) { return format == SongFormat::plainText ? "plainText" : "chordPro"; }

template <>
std::optional<SongFormat> fromString<SongFormat>(std::string_view text)
{
    return detail::caseNamed(allCases<SongFormat>, text, [](SongFormat f) { return toString(f); });
}

SongFormat detectSongFormat(std::string_view text)
{
    return anyLine(text, isChordProLine) ? SongFormat::chordPro : SongFormat::plainText;
}

std::optional<std::string> SongFile::decode(const Platform::Bytes& bytes)
{
    if (Platform::Text::startsWithBytes(bytes, {0xFF, 0xFE}) || Platform::Text::startsWithBytes(bytes, {0xFE, 0xFF}))
        return Platform::Text::decodeUtf16(bytes);
    if (auto utf8 = Platform::Text::decodeUtf8(bytes)) return utf8;
    return Platform::Text::decodeWindows1252(bytes);
}

std::string SongFile::chordPro(std::string_view from, std::string_view fallbackTitle)
{
    constexpr std::string_view byteOrderMark = "\uFEFF";
    if (from.starts_with(byteOrderMark)) from.remove_prefix(byteOrderMark.size());
    const std::optional<std::string> unwrapped = PlainTextConverter::unwrapChordMarks(from);
    if (unwrapped) from = *unwrapped;
    if (detectSongFormat(from) == SongFormat::plainText) return PlainTextConverter::convert(from, fallbackTitle);
    // A ChordPro file may still set its chords over the lyrics as a plain sheet does.
    std::optional<std::string> placed = PlainTextConverter::placeChordLines(from);
    std::string text = placed ? std::move(*placed) : std::string(from);
    if (!fallbackTitle.empty() && ChordProParser::parse(text).title.empty())
        return "{title: " + std::string(fallbackTitle) + "}\n" + text;
    return text;
}

} // namespace TunequillKit
