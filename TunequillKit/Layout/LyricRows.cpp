// Chords over lyrics. A line is cut into atoms (a piece of text ending after a
// blank, the first piece of a segment carrying its chord) and the atoms into
// words; words are placed one at a time so that a chord inside a word never
// lets the word break, and a wrapped word moves to the wrap indent whole.

#include "Platform/Text.h"
#include "TunequillKit/Layout/Typesetter.h"

#include <algorithm>
#include <limits>

namespace TunequillKit {

namespace {

bool allWhitespace(std::string_view text)
{
    for (char32_t c : Platform::Text::scalars(text))
        if (!Platform::Text::isWhitespaceScalar(c)) return false;
    return true;
}

std::string_view dropTrailingBlanks(std::string_view text)
{
    std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

// A placed run with its measured width, kept while its word may still move.
struct Placed {
    Run run;
    double width = 0;
};

} // namespace

std::vector<Row> Typesetter::lyricRows(const std::vector<Segment>& segments, const ChordStyle& style, bool bold,
                                       double available) const
{
    const double fs = sizes_.font, cs = sizes_.chord;
    const FontSpec chordFont{cs, true, false, false, false};
    const FontSpec textFont{fs, bold, false, false, serif_};
    const Ink chordInk = settings.chordsInColor ? Ink::chord : Ink::text;

    bool hasChords = false, onlyBlank = true;
    for (const Segment& s : segments) {
        hasChords = hasChords || s.chord.has_value();
        onlyBlank = onlyBlank && allWhitespace(s.text);
    }
    const double band = hasChords ? nearest(1.12 * cs) : 0;
    const double chordBaseline = hasChords ? nearest(0.95 * cs) : 0;
    const double lyricBaseline = nearest(0.95 * fs) + band;
    double rowHeight = nearest(1.22 * fs) + band;
    if (hasChords && onlyBlank) rowHeight = nearest(0.3 * fs) + nearest(1.12 * cs);

    // Atoms, gathered into words: a word ends after an atom ending in a blank.
    std::vector<std::vector<Atom>> words(1);
    for (const Segment& segment : segments) {
        std::optional<std::string> chord;
        if (segment.chord) chord = Accidental::pretty(style.render(*segment.chord));
        std::string_view text = segment.text;
        bool first = true;
        auto push = [&](std::string_view piece) {
            words.back().push_back(Atom{first ? std::move(chord) : std::nullopt, std::string(piece)});
            first = false;
            if (!piece.empty() && piece.back() == ' ') words.emplace_back();
        };
        if (text.empty()) push({});
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t blank = text.find(' ', start);
            std::size_t end = blank == std::string_view::npos ? text.size() : blank + 1;
            push(text.substr(start, end - start));
            start = end;
        }
    }
    if (words.back().empty()) words.pop_back();

    std::vector<Row> rows;
    std::vector<Run> line;
    double pen = 0;
    double chordEnd = -std::numeric_limits<double>::infinity();
    for (std::vector<Atom>& word : words) {
        std::vector<Placed> placed;
        for (Atom& atom : word) {
            if (atom.chord && !atom.chord->empty()) {
                double x = std::max(pen, chordEnd);
                double w = measure(*atom.chord, chordFont);
                placed.push_back({Run{std::move(*atom.chord), x, chordBaseline, chordFont, chordInk}, w});
                pen = std::max(pen, x);
                chordEnd = x + w + sizes_.chordGap;
            }
            double advance = measure(atom.text, textFont);
            if (!allWhitespace(atom.text)) {
                std::string_view shown = dropTrailingBlanks(atom.text);
                double w = shown.size() == atom.text.size() ? advance : measure(shown, textFont);
                placed.push_back({Run{std::string(shown), pen, lyricBaseline, textFont, Ink::text}, w});
            }
            pen += advance;
        }
        double right = pen, left = 0;
        if (!placed.empty()) {
            right = -std::numeric_limits<double>::infinity();
            left = std::numeric_limits<double>::infinity();
            for (const Placed& p : placed) {
                right = std::max(right, p.run.x + p.width);
                left = std::min(left, p.run.x);
            }
        }
        if (right > available && !line.empty()) {
            rows.push_back(Row{rowHeight, std::move(line), {}, 0});
            line.clear();
            double shift = sizes_.wrapIndent - left;
            for (Placed& p : placed) p.run.x += shift;
            pen += shift;
            chordEnd += shift;
        }
        for (Placed& p : placed) line.push_back(std::move(p.run));
    }
    if (!line.empty() || rows.empty()) rows.push_back(Row{rowHeight, std::move(line), {}, 0});
    return rows;
}

} // namespace TunequillKit
