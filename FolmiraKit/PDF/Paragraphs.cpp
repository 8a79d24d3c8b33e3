// A PDF has no paragraphs, only positioned lines. A new paragraph starts where
// the spacing, the indent, the size or the weight changes, where a list item
// starts, or where a short line ends a sentence. Each stretch is measured on
// its own: its edges, and its line pitch (the median gap between lines of one
// size), which also tells whether the stretch is set evenly.

#include "FolmiraKit/PDF/Paragraphs.h"

#include "FolmiraKit/PDF/LineTools.h"
#include "Platform/Text.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <span>

namespace FolmiraKit::PDFReader {

namespace Text = Platform::Text;

namespace {

bool isOneOf(std::string_view character, std::initializer_list<std::string_view> set)
{
    return std::find(set.begin(), set.end(), character) != set.end();
}

bool allBold(const Line& line)
{
    return !line.words.empty() &&
           std::all_of(line.words.begin(), line.words.end(), [](const Word& w) { return w.bold; });
}

// What the break tests ask of each line, worked out once.
struct LineFacts {
    std::string text;
    double size = 0;
    std::optional<Inference::ListMarker> marker;
    std::string_view last; // last character of the text
};

// Made in place: `last` looks into `text`, which a move may not take along.
std::vector<LineFacts> factsOf(std::span<const Line> lines)
{
    std::vector<LineFacts> facts(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        facts[i].text = lineText(lines[i]);
        facts[i].size = bodySize(lines[i]);
        facts[i].marker = Inference::listMarker(facts[i].text);
        facts[i].last = finalCharacter(facts[i].text);
    }
    return facts;
}

Runs runsOfLine(const Line& line, const LineFacts& facts, bool ties)
{
    Runs runs = lineRuns(line.words, ties);
    if (runs.empty()) runs.push_back(Run(facts.text));
    return runs;
}

// makeParagraph of lines whose facts are known already.
StyledParagraph paragraphOf(std::span<const Line> lines, std::span<const LineFacts> facts, double width, bool ties)
{
    StyledParagraph paragraph;
    if (lines.empty()) return paragraph;
    paragraph.lineBreaks = lines.size() >= 2 &&
                           std::all_of(lines.begin(), lines.end(),
                                       [&](const Line& l) { return l.rect.width < 0.6 * width; }) &&
                           !facts.front().marker;

    Runs runs = runsOfLine(lines.front(), facts.front(), ties);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (paragraph.lineBreaks) {
            runs.push_back(Run("\n"));
            Runs more = runsOfLine(lines[i], facts[i], ties);
            runs.insert(runs.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
        } else {
            joinLine(runs, runsOfLine(lines[i], facts[i], ties));
        }
    }

    std::map<double, long long> tally;
    for (const LineFacts& f : facts) tally[f.size] += countCharacters(f.text);
    long long most = -1;
    for (const auto& [size, count] : tally)
        if (count > most) {
            most = count;
            paragraph.size = size;
        }

    std::string text = plain(runs);
    if (auto marker = Inference::listMarker(text)) {
        int count = countCharacters(text) - countCharacters(marker->text);
        runs = dropLeadingCharacters(std::move(runs), count);
        paragraph.list = StyledParagraph::ListLabel{marker->marker, 0};
    }
    paragraph.runs = std::move(runs);
    return paragraph;
}

} // namespace

std::vector<std::string> lastCharacters(const Runs& runs, int n)
{
    std::vector<std::string> out;
    for (auto run = runs.rbegin(); run != runs.rend() && static_cast<int>(out.size()) < n; ++run) {
        std::string_view text = run->text;
        while (!text.empty() && static_cast<int>(out.size()) < n) {
            std::string_view last = finalCharacter(text);
            out.insert(out.begin(), std::string(last));
            text.remove_suffix(last.size());
        }
    }
    return out;
}

double median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    return values[middle];
}

Runs lineRuns(const std::vector<Word>& words, bool ties)
{
    // Words normally hold no spaces and something visible: then joining them
    // one space apart and merging neighbours of one style is already tidy.
    bool plainWords = true;
    Runs runs;
    bool mixed = std::any_of(words.begin(), words.end(), [](const Word& w) { return isRightToLeft(w.text); });
    std::vector<const Word*> order = mixed ? readingOrder(words, ties) : std::vector<const Word*>{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const Word& w = mixed ? *order[i] : words[i];
        plainWords = plainWords && w.text.find_first_of(" \t") == std::string::npos &&
                     w.text.find("\u00A0") == std::string::npos && hasVisibleCharacter(w.text);
        if (!runs.empty() && runs.back().bold == w.bold && runs.back().italic == w.italic) {
            runs.back().text += ' ';
            runs.back().text += w.text;
        } else {
            runs.push_back(Run(i ? " " + w.text : w.text, w.bold, w.italic));
        }
    }
    return plainWords ? runs : tidied(std::move(runs));
}

void joinLine(Runs& runs, Runs next)
{
    std::string_view first;
    for (const Run& run : next)
        if (!run.text.empty()) {
            first = Text::firstCharacter(run.text);
            break;
        }
    // Only the last character of what comes before counts.
    std::string_view last;
    for (auto run = runs.rbegin(); run != runs.rend() && last.empty(); ++run) last = finalCharacter(run->text);
    auto hyphen = Inference::HyphenJoin::space;
    if (last == "-") {
        // A word is never split between runs, so the last run holds the word
        // the hyphen ends.
        std::string_view before;
        for (auto run = runs.rbegin(); run != runs.rend() && before.empty(); ++run) before = run->text;
        std::string_view firstText;
        for (auto run = next.begin(); run != next.end() && firstText.empty(); ++run) firstText = run->text;
        hyphen = Inference::hyphenJoin(before, firstText);
    }
    if (hyphen == Inference::HyphenJoin::dropHyphen) {
        // A word broken at the line's end: the hyphen goes, the halves meet.
        for (auto run = runs.rbegin(); run != runs.rend(); ++run)
            if (!run->text.empty()) {
                run->text.pop_back();
                break;
            }
    } else if (hyphen == Inference::HyphenJoin::space && !runs.empty() &&
               !(!last.empty() && Text::joinsWithoutSpace(last, first))) {
        runs.push_back(Run(" "));
    }
    runs.insert(runs.end(), std::make_move_iterator(next.begin()), std::make_move_iterator(next.end()));
}

Runs dropLeadingCharacters(Runs runs, int count)
{
    for (Run& run : runs) {
        if (count <= 0) break;
        int length = countCharacters(run.text);
        int take = std::min(length, count);
        run.text = std::string(Text::dropFirst(run.text, take));
        count -= take;
    }
    return tidied(std::move(runs));
}

StyledParagraph makeParagraph(const Lines& lines, double width, bool ties)
{
    return paragraphOf(lines, factsOf(lines), width, ties);
}

std::vector<StyledParagraph> buildParagraphs(const Lines& lines)
{
    std::vector<StyledParagraph> paragraphs;
    if (lines.empty()) return paragraphs;

    const std::vector<LineFacts> facts = factsOf(lines);

    double left = lines.front().rect.minX(), right = lines.front().rect.maxX();
    for (const Line& l : lines) {
        left = std::min(left, l.rect.minX());
        right = std::max(right, l.rect.maxX());
    }
    double width = std::max(1.0, right - left);
    // A line read right to left starts at the right margin: the rules below,
    // made for lines read from the left, judge it mirrored. A line of as many
    // words each way reads as its place shows: set against the right edge
    // alone, right to left; against the left alone, left to right; else as
    // most of the stretch's lines read.
    int fromRight = 0, fromLeft = 0;
    std::vector<char> tie(lines.size()), rightEdge(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        rightEdge[i] = readsRightToLeft(l.words);
        tie[i] = !rightEdge[i] && readsRightToLeft(l.words, true);
        if (rightEdge[i]) ++fromRight;
        else if (!tie[i] && std::any_of(l.words.begin(), l.words.end(), [](const Word& w) { return Text::containsLetter(w.text); }))
            ++fromLeft;
    }
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (tie[i]) {
            const double margin = 2 * facts[i].size;
            const bool atRight = right - lines[i].rect.maxX() < margin, atLeft = lines[i].rect.minX() - left < margin;
            rightEdge[i] = atRight != atLeft ? atRight : fromRight > fromLeft;
        }
    Lines turned;
    if (std::any_of(rightEdge.begin(), rightEdge.end(), [](char r) { return r; }))
        for (std::size_t i = 0; i < lines.size(); ++i) turned.push_back(rightEdge[i] ? mirrored(lines[i], left + right) : lines[i]);
    const Lines& judged = turned.empty() ? lines : turned;

    std::vector<double> gaps;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (std::abs(facts[i].size - facts[i + 1].size) < 0.6)
            gaps.push_back(lines[i].rect.midY() - lines[i + 1].rect.midY());
    double pitch = gaps.empty() ? 1.25 * facts.front().size : median(gaps);
    bool regular = std::all_of(gaps.begin(), gaps.end(), [&](double g) { return g <= 1.3 * pitch + 0.5; });
    double clearlyShort = right - 0.2 * width;
    double shortForBold = right - 0.3 * width;

    auto hangingIndent = [&](std::size_t i) -> std::optional<double> {
        if (facts[i].marker && judged[i].words.size() >= 2) return judged[i].words[1].rect.minX();
        return std::nullopt;
    };

    // The paragraph being built: lines[first] to lines[i - 1].
    std::size_t first = 0;
    bool ties = tie[0] && rightEdge[0]; // the paragraph's lines of as many words each way read right to left
    auto finish = [&](std::size_t end) {
        paragraphs.push_back(paragraphOf(std::span(lines).subspan(first, end - first),
                                         std::span<const LineFacts>(facts).subspan(first, end - first), width, ties));
        first = end;
    };
    std::optional<double> hanging = hangingIndent(0);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const Line& cur = judged[i];
        const Line& prev = judged[i - 1]; // the line before joins the current paragraph or starts it
        const LineFacts& p = facts[i - 1];
        const LineFacts& c = facts[i];
        double s = c.size;

        double shortLimit = right - std::max(0.12 * width, 4 * s);
        bool prevEnds = prev.rect.maxX() < shortLimit || isOneOf(p.last, {".", ":", ";", "!", "?"});
        bool startsItem = c.marker && (c.marker->marker == "\u2022" || prevEnds);
        double gapLimit = std::max(1.3 * pitch, 1.25 * s) + 0.5;
        double gap = prev.rect.midY() - cur.rect.midY();
        bool bigGap = gap > gapLimit || gap < 0;
        bool weightChange = allBold(prev) != allBold(cur);
        bool sizeChange = std::abs(p.size - s) > 0.6;
        bool indentBreak = cur.rect.minX() > left + 1.2 * s && prev.rect.minX() <= left + 0.5 * s && !hanging;
        bool sentenceEnd = regular && prev.rect.maxX() < clearlyShort &&
                           isOneOf(p.last, {".", "!", "?", ":", "\"", "\u201D"});
        bool boldHeading = i - first == 1 && allBold(prev) && prev.rect.maxX() < shortForBold;
        bool hangBreak = hanging && prev.rect.maxX() < shortLimit && cur.rect.minX() < *hanging - 0.5 * s;

        if (startsItem || bigGap || weightChange || sizeChange || indentBreak || sentenceEnd || boldHeading ||
            hangBreak || cur.hardBreak) {
            finish(i);
            ties = tie[i] && rightEdge[i];
            hanging = startsItem ? hangingIndent(i) : std::nullopt;
        } else {
            ties = ties || (tie[i] && rightEdge[i]);
        }
    }
    finish(lines.size());
    return paragraphs;
}

} // namespace FolmiraKit::PDFReader
