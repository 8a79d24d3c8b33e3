// Chords over lyrics. A line is cut into atoms (a piece of text ending after a
// blank, the first piece of a segment carrying its chord) and the atoms into
// words; words are placed one at a time so that a chord inside a word never
// lets the word break, and a wrapped word moves to the wrap indent whole.
// Only a word wider than the whole line is broken.

#include "Platform/Text.h"
#include "TunequillKit/Layout/Typesetter.h"
#include "TunequillKit/Song/ChordMarks.h"

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

// A line of chords with bars, slashes or counts written between them as text
// ("[G] | [C] / |"): a chord grid, whose marks stand among the chords.
bool isGrid(const std::vector<Segment>& segments)
{
    for (const Segment& segment : segments) {
        std::string_view text = segment.text;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find(' ', at), text.size());
            if (end > at && !ChordMarks::isMark(text.substr(at, end - at))) return false;
            at = end + 1;
        }
    }
    return true;
}

// Hyphens and dashes a writer puts inside a word ("lov-in", "I-yi-yi"): a word
// holding one already shows where its parts join.
bool holdsHyphen(const std::vector<Typesetter::Atom>& word)
{
    for (const Typesetter::Atom& atom : word)
        for (std::string_view dash : {"-", "\u2010", "\u2011", "\u2013", "\u2014"})
            if (atom.text.find(dash) != std::string::npos) return true;
    return false;
}

// Two parts of one word meet letter to letter; a part that ends or begins
// with punctuation (",", "’", "«", "¿", a digit) is no syllable to join.
bool joinsAsSyllables(std::string_view before, std::string_view after)
{
    return Platform::Text::isLetter(Platform::Text::lastCharacter(dropTrailingBlanks(before))) &&
           Platform::Text::isLetter(Platform::Text::firstCharacter(after));
}

// A placed run with its measured width, kept while its word may still move;
// `atom` tells which atom of the word it comes from (a chord and its syllable
// share one).
struct Placed {
    Run run;
    double width = 0;
    bool chord = false;
    std::size_t atom = 0;
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
    const bool grid = hasChords && !onlyBlank && isGrid(segments);
    if (hasChords && (onlyBlank || grid)) rowHeight = nearest(0.3 * fs) + nearest(1.12 * cs);

    // Atoms, gathered into words: a word ends after an atom ending in a blank.
    std::vector<std::vector<Atom>> words(1);
    for (const Segment& segment : segments) {
        // Bars, counts and fingerings in a chord's brackets are printed as
        // written beside it; only the chord is spelled.
        std::optional<std::string> chord;
        std::string mark;
        if (segment.chord) {
            auto marks = ChordMarks::split(*segment.chord);
            std::string_view written = marks ? marks->chord : std::string_view(*segment.chord);
            if (marks && !marks->before.empty())
                words.back().push_back(Atom{std::nullopt, {}, std::string(marks->before)});
            chord = Accidental::pretty(style.render(written));
            if (marks) mark = marks->after;
        }
        std::string_view text = segment.text;
        bool first = true;
        auto push = [&](std::string_view piece) {
            std::string_view shown = dropTrailingBlanks(piece);
            if (grid && !shown.empty()) {
                // A grid's bar written as text stands in the chord band, after the chord before it.
                if (first && segment.chord) words.back().push_back(Atom{std::move(chord), {}, std::move(mark)});
                words.back().push_back(Atom{std::nullopt, std::string(piece.substr(shown.size())), std::string(shown)});
            } else {
                words.back().push_back(first ? Atom{std::move(chord), std::string(piece), std::move(mark)}
                                             : Atom{std::nullopt, std::string(piece), {}});
            }
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

    // A word wider than the line even at the line's start: its atoms go on
    // while they fit, one that does not starts the next line, and a syllable
    // wider than a whole line is cut between characters (text past the edge
    // would be cut off the page). Continuation lines start at the wrap indent;
    // gives how far the rest of the word moved.
    auto breakWord = [&](std::vector<Placed>& placed) {
        constexpr double infinity = std::numeric_limits<double>::infinity();
        double shift = 0;
        for (std::size_t i = 0; i < placed.size();) {
            std::size_t end = i;
            double left = infinity, right = -infinity;
            for (; end < placed.size() && placed[end].atom == placed[i].atom; ++end) {
                left = std::min(left, placed[end].run.x + shift);
                right = std::max(right, placed[end].run.x + shift + placed[end].width);
            }
            if (right > available && !line.empty()) {
                rows.push_back(Row{rowHeight, std::move(line), {}, 0});
                line.clear();
                shift += sizes_.wrapIndent - left;
            }
            for (; i < end; ++i) {
                Run run = std::move(placed[i].run);
                run.x += shift;
                if (!placed[i].chord && run.x + placed[i].width > available) {
                    const std::string text = std::move(run.text);
                    const auto characters = Platform::Text::characters(text);
                    const double room = available - std::max(run.x, sizes_.wrapIndent);
                    std::size_t at = 0;
                    if (characters.size() > 1 && measure(characters.front(), textFont) <= room) {
                        for (std::size_t n; at + (n = fitting(characters, at, textFont, available - run.x)) <
                                            characters.size();
                             at += n) {
                            const std::string_view piece = stretch(characters, at, n);
                            Run head = run;
                            head.text = std::string(piece);
                            line.push_back(std::move(head));
                            rows.push_back(Row{rowHeight, std::move(line), {}, 0});
                            line.clear();
                            shift += sizes_.wrapIndent - (run.x + measure(piece, textFont));
                            run.x = sizes_.wrapIndent;
                        }
                    }
                    run.text = at > 0 ? std::string(stretch(characters, at, characters.size() - at)) : text;
                }
                line.push_back(std::move(run));
            }
        }
        return shift;
    };
    // Syllables of one word that a chord pushes apart are joined by a hyphen,
    // as songbooks do, with room for it; a gap too narrow to read as a space
    // is left alone, and so are parts that meet at punctuation or in a word
    // whose writer put hyphens in it already.
    std::optional<double> hyphenWidth;
    for (std::vector<Atom>& word : words) {
        std::vector<Placed> placed;
        std::optional<std::size_t> syllableBefore; // the last atom of the word with text to show
        std::optional<bool> hyphenated;
        for (std::size_t a = 0; a < word.size(); ++a) {
            Atom& atom = word[a];
            const bool visible = !allWhitespace(atom.text);
            const bool chord = atom.chord && !atom.chord->empty();
            if (chord || !atom.mark.empty()) {
                double x = std::max(pen, chordEnd);
                double w = chord ? measure(*atom.chord, chordFont) : 0;
                if (syllableBefore && visible && x > pen && joinsAsSyllables(word[*syllableBefore].text, atom.text) &&
                    !(hyphenated ? *hyphenated : *(hyphenated = holdsHyphen(word)))) {
                    if (!hyphenWidth) hyphenWidth = measure("-", textFont);
                    if (x - pen > *hyphenWidth / 3) {
                        x = std::max(x, pen + *hyphenWidth);
                        placed.push_back({Run{"-", pen + (x - pen - *hyphenWidth) / 2, lyricBaseline, textFont, Ink::text},
                                          *hyphenWidth, false, *syllableBefore});
                    }
                }
                if (chord)
                    placed.push_back({Run{std::move(*atom.chord), x, chordBaseline, chordFont, chordInk}, w, true, a});
                if (!atom.mark.empty()) {
                    const double at = chord ? x + w + sizes_.chordGap : x;
                    const double markWidth = measure(atom.mark, chordFont);
                    placed.push_back(
                        {Run{std::move(atom.mark), at, chordBaseline, chordFont, Ink::text}, markWidth, true, a});
                    w = at + markWidth - x;
                }
                pen = std::max(pen, x);
                chordEnd = x + w + sizes_.chordGap;
            }
            if (visible) syllableBefore = a;
            double advance = measure(atom.text, textFont);
            if (visible) {
                std::string_view shown = dropTrailingBlanks(atom.text);
                double w = shown.size() == atom.text.size() ? advance : measure(shown, textFont);
                placed.push_back({Run{std::string(shown), pen, lyricBaseline, textFont, Ink::text}, w, false, a});
            }
            pen += advance;
        }
        // Blanks alone draw nothing: they move the pen, and the next word
        // wraps if they carried it past the edge, so no run starts beyond it.
        if (placed.empty()) continue;
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
            right += shift;
        }
        if (right > available) {
            double shift = breakWord(placed);
            pen += shift;
            chordEnd += shift;
            continue;
        }
        for (Placed& p : placed) line.push_back(std::move(p.run));
    }
    if (!line.empty() || rows.empty()) rows.push_back(Row{rowHeight, std::move(line), {}, 0});
    return rows;
}

} // namespace TunequillKit
