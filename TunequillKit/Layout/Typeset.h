#pragma once

// The typeset form of a song: blocks of rows, each row holding positioned text
// runs and graphic marks. Every size and position is fixed when the rows are
// made; the book layouter only stacks blocks and the renderer only draws.
// Layout coordinates are points with the origin at the top left, y downwards.

#include "Platform/Geometry.h"
#include "TunequillKit/Song/Enums.h"
#include "TunequillKit/Song/Song.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace TunequillKit {

// A face asked for by traits; Fonts::name turns it into a PostScript name.
struct FontSpec {
    double size = 0; // points
    bool bold = false;
    bool italic = false;
    bool mono = false;
    bool serif = false;

    bool operator==(const FontSpec&) const = default;
};

// The palette entry a run is drawn in.
enum class Ink { text, chord, muted, accent };

std::string_view toString(Ink ink);
template <>
std::optional<Ink> fromString<Ink>(std::string_view text);
template <>
inline constexpr std::array<Ink, 4> allCases<Ink> = {Ink::text, Ink::chord, Ink::muted, Ink::accent};

// Text at a place in a row: x from the row's content left, baseline from the row's top.
struct Run {
    std::string text;
    double x = 0;
    double baseline = 0;
    FontSpec font;
    Ink ink = Ink::text;

    bool operator==(const Run&) const = default;
};

// A graphic in a row's coordinates (origin at the row's content left and top).
class Mark {
public:
    struct Box { // frame round a boxed comment line
        Platform::Rect rect;
        bool operator==(const Box&) const = default;
    };
    struct Rule {
        Platform::Point from;
        Platform::Point to;
        bool operator==(const Rule&) const = default;
    };
    struct Leader { // dots between x1 and x2 on a baseline, spaced for a font size
        double x1 = 0;
        double x2 = 0;
        double baseline = 0;
        double size = 0;
        bool operator==(const Leader&) const = default;
    };
    struct Diagram { // a chord diagram whose top left is at origin
        ChordDefinition definition;
        Platform::Point origin;
        double width = 0;
        double nameSize = 0;
        bool operator==(const Diagram&) const = default;
    };
    using Value = std::variant<Box, Rule, Leader, Diagram>;

    Mark(Box v) : value_(v) {}
    Mark(Rule v) : value_(v) {}
    Mark(Leader v) : value_(v) {}
    Mark(Diagram v) : value_(std::move(v)) {}
    static Mark box(Platform::Rect rect) { return Box{rect}; }
    static Mark rule(Platform::Point from, Platform::Point to) { return Rule{from, to}; }
    static Mark leader(double x1, double x2, double baseline, double size) { return Leader{x1, x2, baseline, size}; }
    static Mark diagram(ChordDefinition definition, Platform::Point origin, double width, double nameSize)
    {
        return Diagram{std::move(definition), origin, width, nameSize};
    }

    const Value& value() const { return value_; }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&value_); }

    bool operator==(const Mark&) const = default;

private:
    Value value_;
};

struct Row {
    double height = 0;
    std::vector<Run> runs;
    std::vector<Mark> marks;
    double indent = 0; // the row's content starts this far right of its block's left edge

    // The texts of the runs joined with single blanks.
    std::string text() const;

    bool operator==(const Row&) const = default;
};

// continued, heading and entry are never made: list pages are plain rows.
enum class BlockKind {
    header, section, chorus, comment, cue, diagrams, tab, continued, heading, entry, pageBreak, columnBreak
};

std::string_view toString(BlockKind kind);
template <>
std::optional<BlockKind> fromString<BlockKind>(std::string_view text);
template <>
inline constexpr std::array<BlockKind, 12> allCases<BlockKind> = {
    BlockKind::header,   BlockKind::section, BlockKind::chorus,    BlockKind::comment,
    BlockKind::cue,      BlockKind::diagrams, BlockKind::tab,      BlockKind::continued,
    BlockKind::heading,  BlockKind::entry,    BlockKind::pageBreak, BlockKind::columnBreak};

struct Block {
    BlockKind kind = BlockKind::section;
    std::vector<Row> rows;
    double spaceAfter = 0;    // below the block, not part of its height
    bool keepWithNext = false; // must not end a column when a block follows
    std::optional<double> barX; // chorus bar, from the column's left edge

    // The sum of the rows' heights.
    double height() const;

    bool operator==(const Block&) const = default;
};

// A size or distance taken to the nearest whole point, halves away from zero.
double nearest(double value);

} // namespace TunequillKit

// Hashing member by member, agreeing with ==.
template <>
struct std::hash<TunequillKit::FontSpec> {
    std::size_t operator()(const TunequillKit::FontSpec& f) const noexcept;
};
template <>
struct std::hash<TunequillKit::Run> {
    std::size_t operator()(const TunequillKit::Run& r) const noexcept;
};
template <>
struct std::hash<TunequillKit::Mark> {
    std::size_t operator()(const TunequillKit::Mark& m) const noexcept;
};
template <>
struct std::hash<TunequillKit::Row> {
    std::size_t operator()(const TunequillKit::Row& r) const noexcept;
};
template <>
struct std::hash<TunequillKit::Block> {
    std::size_t operator()(const TunequillKit::Block& b) const noexcept;
};
