#pragma once

// The in-memory form of one parsed song. ChordProParser::parse is its only
// producer; a Song is never stored, only rebuilt from its ChordPro source.

#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/Enums.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace TunequillKit {

enum class SectionKind { verse, chorus, bridge, tab, comment, chorusRecall, pageBreak, columnBreak };

std::string_view toString(SectionKind kind);
template <>
std::optional<SectionKind> fromString<SectionKind>(std::string_view text);
template <>
inline constexpr std::array<SectionKind, 8> allCases<SectionKind> = {
    SectionKind::verse,   SectionKind::chorus,       SectionKind::bridge,    SectionKind::tab,
    SectionKind::comment, SectionKind::chorusRecall, SectionKind::pageBreak, SectionKind::columnBreak};

enum class CommentStyle { normal, italic, boxed };

std::string_view toString(CommentStyle style);
template <>
std::optional<CommentStyle> fromString<CommentStyle>(std::string_view text);
template <>
inline constexpr std::array<CommentStyle, 3> allCases<CommentStyle> = {CommentStyle::normal, CommentStyle::italic,
                                                                       CommentStyle::boxed};

// A chord (absent before a line's first chord) and the lyric text up to the next one.
struct Segment {
    std::optional<std::string> chord;
    std::string text;

    bool operator==(const Segment&) const = default;
};

// One line of a section: lyrics split at their chords, a printed remark,
// a verbatim tab or grid line, or an empty line inside a block.
class Line {
public:
    struct Lyrics {
        std::vector<Segment> segments;
        bool operator==(const Lyrics&) const = default;
    };
    struct Comment {
        std::string text;
        CommentStyle style = CommentStyle::normal;
        bool operator==(const Comment&) const = default;
    };
    struct Tab {
        std::string text;
        bool operator==(const Tab&) const = default;
    };
    struct Blank {
        bool operator==(const Blank&) const = default;
    };
    using Value = std::variant<Lyrics, Comment, Tab, Blank>;

    Line() : value_(Blank{}) {}
    Line(Lyrics v) : value_(std::move(v)) {}
    Line(Comment v) : value_(std::move(v)) {}
    Line(Tab v) : value_(std::move(v)) {}
    Line(Blank v) : value_(v) {}

    static Line lyrics(std::vector<Segment> segments) { return Lyrics{std::move(segments)}; }
    static Line comment(std::string text, CommentStyle style) { return Comment{std::move(text), style}; }
    static Line tab(std::string text) { return Tab{std::move(text)}; }
    static Line blank() { return Blank{}; }

    const Value& value() const { return value_; }
    template <typename Case>
    bool is() const { return std::holds_alternative<Case>(value_); }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&value_); }

    bool operator==(const Line&) const = default;

private:
    Value value_;
};

struct Section {
    SectionKind kind = SectionKind::verse;
    std::optional<std::string> label;
    std::vector<Line> lines;

    bool operator==(const Section&) const = default;
};

// A chord diagram: frets per string in written order (none = muted, 0 = open,
// else relative to baseFret, which is at least 1); fingers empty when not given.
struct ChordDefinition {
    std::string name;
    std::int64_t baseFret = 1;
    std::vector<std::optional<std::int64_t>> frets;
    std::vector<std::optional<std::int64_t>> fingers;

    bool operator==(const ChordDefinition&) const = default;
};

struct Song {
    std::string title;
    std::vector<std::string> subtitles;
    std::vector<std::string> artists;
    std::vector<std::string> composers;
    std::vector<std::string> lyricists;
    std::optional<std::string> copyright;
    std::optional<std::string> album;
    std::optional<std::string> year;
    std::optional<Key> key;
    std::int64_t capo = 0;
    std::optional<std::string> tempo;
    std::optional<std::string> time;
    std::map<std::string, std::string> meta; // other metadata by lower-case name
    std::vector<Section> sections;
    std::vector<ChordDefinition> definitions; // at most one per name
    std::vector<std::string> warnings;        // sentences, in file order

    // The title, or "Untitled song" when there is none.
    std::string displayTitle() const;
    // The written key, else the key of the first chord that reads.
    std::optional<Key> effectiveKey() const;
    // The first lyric line (chords dropped, trimmed) that holds a letter; tab blocks are skipped.
    std::optional<std::string> firstLine() const;
    // Every distinct chord text of the lyric lines, in order of first use.
    std::vector<std::string> chordTokens() const;

    bool operator==(const Song&) const = default;
};

} // namespace TunequillKit

template <>
struct std::hash<TunequillKit::Segment> {
    std::size_t operator()(const TunequillKit::Segment& s) const noexcept;
};
template <>
struct std::hash<TunequillKit::Line> {
    std::size_t operator()(const TunequillKit::Line& l) const noexcept;
};
template <>
struct std::hash<TunequillKit::Section> {
    std::size_t operator()(const TunequillKit::Section& s) const noexcept;
};
template <>
struct std::hash<TunequillKit::ChordDefinition> {
    std::size_t operator()(const TunequillKit::ChordDefinition& d) const noexcept;
};
template <>
struct std::hash<TunequillKit::Song> {
    std::size_t operator()(const TunequillKit::Song& s) const noexcept;
};
