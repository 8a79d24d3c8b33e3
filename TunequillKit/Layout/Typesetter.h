#pragma once

// Turns one prepared song into blocks of rows for a column of known width:
// a header, one block per section (chorus cues and repeats included), chord
// diagrams at the end, and page and column breaks. Every size comes from the
// book's font size, every width from the measurer. Pure; nothing is kept
// between calls.

#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Layout/TextMeasurer.h"
#include "TunequillKit/Layout/Typeset.h"
#include "TunequillKit/Library/BookSettings.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TunequillKit {

class Typesetter {
public:
    // One piece of a lyric line: a chord (already spelled for print) over
    // text, and marks that are no chord (bars, counts), printed after it or alone.
    struct Atom {
        std::optional<std::string> chord;
        std::string text;
        std::string mark;
        bool operator==(const Atom&) const = default;
    };

    // The sizes derived from a book's font size, in whole points.
    struct Sizes {
        double font = 0, title = 0, subtitle = 0, label = 0, chord = 0, chordGap = 0, comment = 0, tab = 0;
        double chorusIndent = 0, chorusBarX = 0, wrapIndent = 0;
        double diagramWidth = 0, diagramGap = 0, diagramNameSize = 0;
        bool operator==(const Sizes&) const = default;
    };
    static Sizes sizesFor(double fontSize);

    BookSettings settings;
    std::shared_ptr<const TextMeasurer> measurer;
    double width = 0; // of the column the blocks fill

    Typesetter(BookSettings settings, std::shared_ptr<const TextMeasurer> measurer, double width);

    // The whole song: header, sections, diagrams.
    std::vector<Block> blocks(const PreparedSong& song) const;
    // A remark made of chords ("Intro: G#m7 | E", "Am G (x2)") with its chords
    // moved and spelled as the rows print them; any other text unchanged.
    // With `grid`, a line of a grid or of chord names over tablature: its
    // chords are spelled for print even unmoved, and keep their columns.
    static std::string chordLine(const std::string& text, const ChordStyle& style, bool grid = false);
    // The rows of one lyric line, chords over lyrics, wrapped at `width`;
    // always at least one row. Rows have indent 0.
    std::vector<Row> lyricRows(const std::vector<Segment>& segments, const ChordStyle& style, bool bold,
                               double width) const;
    // Greedy word wrap at blanks. A word wider than `width` is broken between
    // characters over as many lines as it needs, its last piece starting the
    // next line; where not even its first character fits, it stays whole.
    std::vector<std::string> wrap(std::string_view text, const FontSpec& font, double width) const;

private:
    Sizes sizes_;
    bool serif_ = false;

    double measure(std::string_view text, const FontSpec& font) const { return measurer->width(text, font); }
    // How many of `characters` (grapheme clusters of one text), from `from`
    // on, fit `room` set together; at least one.
    std::size_t fitting(const std::vector<std::string_view>& characters, std::size_t from, const FontSpec& font,
                        double room) const;
    // The text of `count` of `characters` from `from` on.
    static std::string_view stretch(const std::vector<std::string_view>& characters, std::size_t from,
                                    std::size_t count);
    Block header(const PreparedSong& song) const;
    std::optional<Row> labelRow(const std::optional<std::string>& label, double indent, bool evenEmpty) const;
    Block sectionBlock(const Section& section, const ChordStyle& style) const;
    Block tabBlock(const Section& section, const ChordStyle& style) const;
    // The cue of a chorus recall that prints `found` (none: no chorus to print).
    Block recall(const Section& recall, const Section* found) const;
    Block diagrams(const std::vector<ChordDefinition>& definitions) const;
    std::vector<Row> commentRows(const std::string& text, CommentStyle style, double width) const;
    std::vector<Row> tabRows(const std::vector<std::string>& lines, double width) const;
};

} // namespace TunequillKit

template <>
struct std::hash<TunequillKit::Typesetter::Atom> {
    std::size_t operator()(const TunequillKit::Typesetter::Atom& a) const noexcept;
};
