#include "TunequillKit/Song/Song.h"

#include "Platform/Text.h"
#include "TunequillKit/Song/ChordMarks.h"

#include <unordered_set>

namespace TunequillKit {

std::string_view toString(SectionKind kind)
{
    switch (kind) {
    case SectionKind::verse: return "verse";
    case SectionKind::chorus: return "chorus";
    case SectionKind::bridge: return "bridge";
    case SectionKind::tab: return "tab";
    case SectionKind::comment: return "comment";
    case SectionKind::chorusRecall: return "chorusRecall";
    case SectionKind::pageBreak: return "pageBreak";
    case SectionKind::columnBreak: return "columnBreak";
    }
    return "verse";
}

template <>
std::optional<SectionKind> fromString<SectionKind>(std::string_view text)
{
    return detail::caseNamed(allCases<SectionKind>, text, [](SectionKind k) { return toString(k); });
}

std::string_view toString(CommentStyle style)
{
    switch (style) {
    case CommentStyle::normal: return "normal";
    case CommentStyle::italic: return "italic";
    case CommentStyle::boxed: return "boxed";
    }
    return "normal";
}

template <>
std::optional<CommentStyle> fromString<CommentStyle>(std::string_view text)
{
    return detail::caseNamed(allCases<CommentStyle>, text, [](CommentStyle s) { return toString(s); });
}

namespace {

// The chord a chord bracket names: its text without the bars, counts and
// fingerings written in it; empty when it holds marks alone.
std::string_view chordOf(std::string_view written)
{
    auto marks = ChordMarks::split(written);
    return marks ? marks->chord : written;
}

} // namespace

std::string Song::displayTitle() const { return title.empty() ? std::string("Untitled song") : title; }

std::optional<Key> Song::effectiveKey() const
{
    if (key) return key;
    for (const Section& section : sections)
        for (const Line& line : section.lines)
            if (auto lyrics = line.as<Line::Lyrics>())
                for (const Segment& segment : lyrics->segments) {
                    if (!segment.chord) continue;
                    if (auto chord = Chord::parse(chordOf(*segment.chord))) return Key{chord->root, chord->isMinor()};
                }
    return std::nullopt;
}

std::optional<std::string> Song::firstLine() const
{
    for (const Section& section : sections) {
        if (section.kind == SectionKind::tab) continue;
        for (const Line& line : section.lines) {
            auto lyrics = line.as<Line::Lyrics>();
            if (!lyrics) continue;
            std::string joined;
            for (const Segment& segment : lyrics->segments) joined += segment.text;
            std::string_view trimmed = Platform::Text::trimSpacesTabs(joined);
            if (Platform::Text::containsLetter(trimmed)) return std::string(trimmed);
        }
    }
    return std::nullopt;
}

std::vector<std::string> Song::chordTokens() const
{
    // Chord texts compare as text does everywhere in the engine: a composed and
    // a decomposed accent are the same token.
    struct Hash {
        std::size_t operator()(std::string_view s) const { return Platform::Text::canonicalHash(s); }
    };
    struct Equal {
        bool operator()(std::string_view a, std::string_view b) const { return Platform::Text::canonicallyEqual(a, b); }
    };
    std::unordered_set<std::string_view, Hash, Equal> seen;
    std::vector<std::string> tokens;
    for (const Section& section : sections)
        for (const Line& line : section.lines)
            if (auto lyrics = line.as<Line::Lyrics>())
                for (const Segment& segment : lyrics->segments) {
                    if (!segment.chord) continue;
                    std::string_view chord = chordOf(*segment.chord);
                    if (!chord.empty() && seen.insert(chord).second) tokens.emplace_back(chord);
                }
    return tokens;
}

} // namespace TunequillKit

namespace {
using TunequillKit::detail::hashCombine;
using TunequillKit::detail::hashList;
using TunequillKit::detail::hashOptional;
using TunequillKit::detail::hashOptionalList;
} // namespace

std::size_t std::hash<TunequillKit::Segment>::operator()(const TunequillKit::Segment& s) const noexcept
{
    std::size_t seed = 0;
    hashOptional(seed, s.chord);
    hashCombine(seed, s.text);
    return seed;
}

std::size_t std::hash<TunequillKit::Line>::operator()(const TunequillKit::Line& l) const noexcept
{
    using TunequillKit::Line;
    std::size_t seed = 0;
    hashCombine(seed, l.value().index());
    if (auto v = l.as<Line::Lyrics>()) hashList(seed, v->segments);
    else if (auto c = l.as<Line::Comment>()) {
        hashCombine(seed, c->text);
        hashCombine(seed, TunequillKit::toString(c->style));
    } else if (auto t = l.as<Line::Tab>()) hashCombine(seed, t->text);
    return seed;
}

std::size_t std::hash<TunequillKit::Section>::operator()(const TunequillKit::Section& s) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, TunequillKit::toString(s.kind));
    hashOptional(seed, s.label);
    hashList(seed, s.lines);
    return seed;
}

std::size_t std::hash<TunequillKit::ChordDefinition>::operator()(const TunequillKit::ChordDefinition& d) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, d.name);
    hashCombine(seed, d.baseFret);
    hashOptionalList(seed, d.frets);
    hashOptionalList(seed, d.fingers);
    return seed;
}

std::size_t std::hash<TunequillKit::Song>::operator()(const TunequillKit::Song& s) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, s.title);
    hashList(seed, s.subtitles);
    hashList(seed, s.artists);
    hashList(seed, s.composers);
    hashList(seed, s.lyricists);
    hashOptional(seed, s.copyright);
    hashOptional(seed, s.album);
    hashOptional(seed, s.year);
    hashOptional(seed, s.key);
    hashCombine(seed, s.capo);
    hashOptional(seed, s.tempo);
    hashOptional(seed, s.time);
    hashCombine(seed, s.meta.size());
    for (const auto& [name, value] : s.meta) {
        hashCombine(seed, name);
        hashCombine(seed, value);
    }
    hashList(seed, s.sections);
    hashList(seed, s.definitions);
    hashList(seed, s.warnings);
    return seed;
}
