#include "FolmiraKit/PDF/Columns.h"

#include "FolmiraKit/PDF/Limits.h"
#include "FolmiraKit/PDF/LineTools.h"
#include "FolmiraKit/PDF/Paragraphs.h"
#include "Platform/Regex.h"
#include "Platform/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <unordered_map>

namespace FolmiraKit::PDFReader {

namespace Text = Platform::Text;

std::string repeatKey(const Line& line)
{
    return repeatKey(lineText(line));
}

std::string repeatKey(std::string_view text)
{
    std::string lower = Text::lowercased(text);
    std::string key;
    key.reserve(lower.size());
    for (std::size_t i = 0; i < lower.size(); ++i) {
        if (lower[i] >= '0' && lower[i] <= '9') {
            key += '#';
            while (i + 1 < lower.size() && lower[i + 1] >= '0' && lower[i + 1] <= '9') ++i;
        } else {
            key += lower[i];
        }
    }
    return key;
}

namespace {

bool isPageNumber(std::string_view key)
{
    // The whole key is a page number: "#", "- # -", "#/#", "# of #", "page # of #".
    static const Platform::Regex whole(R"(^(page\s*)?[-–—]?\s*#+\s*[-–—]?(\s*(of|/)\s*#+)?$)");
    // The key ends in one: "smith · page #", "report, page # of #".
    static const Platform::Regex trailing(R"((^|[\s·•|,–—-])page\s+#+(\s*(of|/)\s*#+)?\s*$)");
    return whole.wholeMatch(key).has_value() || trailing.search(key);
}

} // namespace

namespace {

// The element a `part`th of the way up `values` sorted (the lower of two); 0 for none.
double lowerPart(std::vector<double> values, std::size_t part = 4)
{
    if (values.empty()) return 0;
    auto quartile = values.begin() + static_cast<std::ptrdiff_t>((values.size() - 1) / part);
    std::nth_element(values.begin(), quartile, values.end());
    return *quartile;
}

bool allBold(const Line& line)
{
    return !line.words.empty() && std::all_of(line.words.begin(), line.words.end(), [](const Word& w) { return w.bold; });
}

std::vector<std::string> digitRuns(const std::string& text)
{
    std::vector<std::string> runs;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') continue;
        std::size_t from = i;
        while (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') ++i;
        runs.push_back(text.substr(from, i - from + 1));
    }
    return runs;
}

// The running-text line spacing of a page: the white space between one text
// line and the next a tenth of the way up (the lines of a paragraph, not the
// breaks between paragraphs: on a page of a heading and two short paragraphs
// a quarter of the way up is already a paragraph break), never below 0: boxes
// of close-set lines overlap.
double lineSpacing(const std::vector<const Line*>& text)
{
    std::vector<double> gaps;
    for (std::size_t t = 1; t < text.size(); ++t) gaps.push_back(text[t - 1]->rect.minY() - text[t]->rect.maxY());
    return std::max(0.0, lowerPart(std::move(gaps), 10));
}

} // namespace

std::vector<BandLine> bandLines(const Lines& page, const std::optional<Rect>& cropBox)
{
    std::vector<BandLine> band;
    auto bounds = pageBand(page, cropBox);
    if (!bounds) return band;
    // The text lines top to bottom, and which of them are in a band.
    std::vector<const Line*> text;
    std::vector<std::size_t> indexOf;
    std::vector<bool> inBand;
    for (std::size_t i = 0; i < page.size(); ++i)
        if (!page[i].picture) {
            text.push_back(&page[i]);
            indexOf.push_back(i);
            inBand.push_back(isInBand(page[i], *bounds));
        }
    if (std::find(inBand.begin(), inBand.end(), true) == inBand.end()) return band;
    const double spacing = lineSpacing(text);
    // Character-weighted size of the page's text: what a heading stands out
    // from. Only a footer asks for it.
    std::optional<double> bodyOfPage;
    auto body = [&] {
        if (bodyOfPage) return *bodyOfPage;
        std::map<double, long long> sizes;
        for (const Line* l : text) sizes[bodySize(*l)] += lineCharacters(*l);
        double found = 0;
        long long most = 0;
        for (const auto& [size, count] : sizes)
            if (count > most) most = count, found = size;
        return *(bodyOfPage = found);
    };

    const int n = static_cast<int>(text.size());
    for (int t = 0; t < n; ++t) {
        if (!inBand[static_cast<std::size_t>(t)]) continue;
        const Line& line = *text[static_cast<std::size_t>(t)];
        const bool top = line.rect.minY() > bounds->cropBox.maxY() - 0.15 * bounds->cropBox.height;
        const int toward = top ? 1 : -1; // toward the body
        // Apart: between it and the first line of the body, past any band
        // lines beside it, stands more white than between the body's lines.
        bool apart = false;
        for (int s = t; s + toward >= 0 && s + toward < n; s += toward) {
            const Line& a = *text[static_cast<std::size_t>(top ? s : s + toward)];
            const Line& b = *text[static_cast<std::size_t>(top ? s + toward : s)];
            double gap = a.rect.minY() - b.rect.maxY();
            if (gap > spacing + 0.8 * std::min(a.rect.height, b.rect.height)) {
                apart = true;
                break;
            }
            if (!inBand[static_cast<std::size_t>(s + toward)]) break;
        }
        // A heading over the text below it, or set larger than the page's text at its foot.
        const double size = bodySize(line);
        bool leads = false;
        if (top && t + 1 < n) {
            const Line& below = *text[static_cast<std::size_t>(t) + 1];
            leads = size >= 1.15 * bodySize(below) || (allBold(line) && !allBold(below));
        } else if (!top) {
            leads = size >= 1.15 * body();
        }
        const std::string text = lineText(line);
        band.push_back(BandLine{indexOf[static_cast<std::size_t>(t)], repeatKey(text), digitRuns(text), apart, leads});
    }
    return band;
}

namespace {

// Whether the lines met under one key, in page order, are one running line:
// each number either stays from one page to the next or goes up with the
// pages (a page number); one that does neither on more than one step in five
// (chapter headings at the tops of pages, dates in a letter) is the text's own.
bool runsWithPages(const std::vector<std::pair<std::size_t, const BandLine*>>& met)
{
    const std::size_t slots = met.front().second->numbers.size();
    for (const auto& [page, line] : met)
        if (line->numbers.size() != slots) return false;
    const std::size_t steps = met.size() - 1;
    for (std::size_t slot = 0; slot < slots; ++slot) {
        std::size_t other = 0;
        for (std::size_t i = 1; i < met.size(); ++i) {
            const std::string& a = met[i - 1].second->numbers[slot];
            const std::string& b = met[i].second->numbers[slot];
            if (a == b) continue;
            long long va = 0, vb = 0;
            auto ra = std::from_chars(a.data(), a.data() + a.size(), va);
            auto rb = std::from_chars(b.data(), b.data() + b.size(), vb);
            const auto pages = static_cast<long long>(met[i].first - met[i - 1].first);
            bool follows = ra.ec == std::errc{} && rb.ec == std::errc{} && pages > 0 && vb - va == pages;
            if (!follows) ++other;
        }
        if (other * 5 > steps) return false;
    }
    return true;
}

} // namespace

std::vector<std::vector<std::size_t>> repeatedLines(const std::vector<std::vector<BandLine>>& bands,
                                                    long long pagesWithLines)
{
    // Each key's band lines, in page order.
    std::unordered_map<std::string_view, std::vector<std::pair<std::size_t, const BandLine*>>> met;
    for (std::size_t p = 0; p < bands.size(); ++p)
        for (const BandLine& line : bands[p]) met[line.key].emplace_back(p, &line);
    auto threshold = static_cast<std::size_t>(std::max(2.0, std::ceil(0.5 * static_cast<double>(pagesWithLines))));
    // Which keys run through the document. Two or three pages are too few to
    // tell a running line from a letter's date or greeting: only page numbers go.
    std::unordered_map<std::string_view, bool> running;
    if (pagesWithLines >= 4)
        for (const auto& [key, lines] : met) {
            std::size_t pages = 0;
            for (std::size_t i = 0; i < lines.size(); ++i) pages += i == 0 || lines[i].first != lines[i - 1].first;
            running[key] = pages >= threshold && runsWithPages(lines);
        }

    std::vector<std::vector<std::size_t>> removed(bands.size());
    for (std::size_t p = 0; p < bands.size(); ++p)
        for (const BandLine& line : bands[p]) {
            // A line of the body's own paragraph, or a heading over its text, is never a running line.
            if (!line.apart || line.leads) continue;
            auto runs = running.find(line.key);
            if (isPageNumber(line.key) || (runs != running.end() && runs->second)) removed[p].push_back(line.index);
        }
    return removed;
}

int removeRepeatedLines(std::vector<Lines>& pages, const std::vector<std::optional<Rect>>& cropBoxes)
{
    // The bands are judged on the pages as they were before anything goes.
    std::vector<std::vector<BandLine>> bands;
    for (std::size_t p = 0; p < pages.size(); ++p)
        bands.push_back(bandLines(pages[p], p < cropBoxes.size() ? cropBoxes[p] : std::nullopt));
    long long withLines = std::count_if(pages.begin(), pages.end(), [](const Lines& l) { return !l.empty(); });
    int count = 0;
    auto removed = repeatedLines(bands, withLines);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        count += static_cast<int>(removed[p].size());
        removeLines(pages[p], removed[p]);
    }
    return count;
}

void removeLines(Lines& lines, const std::vector<std::size_t>& indices)
{
    if (indices.empty()) return;
    std::size_t next = 0, to = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (next < indices.size() && indices[next] == i) {
            ++next;
            continue;
        }
        if (to != i) lines[to] = std::move(lines[i]);
        ++to;
    }
    lines.resize(to);
}

namespace {

// `leftShare` is the share of the width a segment left of it must reach:
// a quarter inside a side already cut, a fifth across a whole page, where
// four columns leave each less than a quarter.
std::optional<double> gutterOf(const std::vector<const Line*>& segments, double left, double width,
                               double leftShare = 0.25)
{
    if (segments.size() < 6) return std::nullopt;
    int best = 0;
    double lowest = 0, highest = 0;
    // Candidates every 2 points across the middle 40 %; counted, so that no
    // width however absurd keeps the loop going.
    double last = left + 0.7 * width;
    for (int i = 0; i < PDFLimits::gutterCandidates; ++i) {
        double x = left + 0.3 * width + 2.0 * i;
        if (!(x <= last)) break;
        int leftCount = 0, rightCount = 0;
        double leftTop = -INFINITY, rightTop = -INFINITY, leftBottom = INFINITY, rightBottom = INFINITY;
        for (const Line* s : segments) {
            if (s->rect.maxX() <= x && s->rect.width >= leftShare * width) {
                ++leftCount;
                leftTop = std::max(leftTop, s->rect.maxY());
                leftBottom = std::min(leftBottom, s->rect.minY());
            }
            if (s->rect.minX() >= x && s->rect.width >= 0.2 * width) {
                ++rightCount;
                rightTop = std::max(rightTop, s->rect.maxY());
                rightBottom = std::min(rightBottom, s->rect.minY());
            }
        }
        if (leftCount < 3 || rightCount < 3) continue;
        double top = std::min(leftTop, rightTop), bottom = std::max(leftBottom, rightBottom);
        bool crossed = std::any_of(segments.begin(), segments.end(), [&](const Line* s) {
            return s->rect.minX() < x - 1 && s->rect.maxX() > x + 1 && s->rect.midY() > bottom && s->rect.midY() < top;
        });
        if (crossed || !(top > bottom)) continue;
        // Of several gutters (three columns or more) the first with the best
        // score: its run of candidates, not the span from it to another.
        int score = std::min(leftCount, rightCount);
        if (score > best) {
            best = score;
            lowest = highest = x;
        } else if (score == best && x - highest < 2.5) {
            highest = x;
        }
    }
    if (best == 0) return std::nullopt;
    return (lowest + highest) / 2;
}

// A gutter narrower than the type: splitAtGaps cuts a line only at gaps wider
// than its type, so a line across a 10-point gutter at 10-point type stays one
// segment and crosses every candidate. Such a gutter is a white band down the
// page that most of the lines reaching across it leave open between two of
// their words, wider than those lines' own word spaces: the narrower of them,
// as a line across two justified columns may space one column's words nearly
// as widely as the gutter. Within a side of a gutter already found
// (`aligned`), where columns are known to stand, a band that every line
// reaching across it leaves open is one too, however wide the spaces of
// justified lines around it: word spaces never line up down a column.
// Candidates every point across the middle 40 %, counted on difference
// arrays: one pass over the words.
std::optional<double> narrowGutter(const Lines& lines, double left, double width, bool aligned = false)
{
    // A candidate needs six lines of three words or more open across it, each
    // open once at most: fewer such lines (a page of a line or two) have none.
    if (std::count_if(lines.begin(), lines.end(), [](const Line& l) { return !l.picture && l.words.size() >= 3; }) < 6)
        return std::nullopt;
    const double first = left + 0.3 * width, span = std::floor(0.4 * width);
    // Checked before the cast: a double past int's range makes it undefined.
    if (!std::isfinite(first) || !(span >= 0)) return std::nullopt;
    const int count = span >= PDFLimits::gutterCandidates ? PDFLimits::gutterCandidates : static_cast<int>(span) + 1;
    std::vector<int> open(static_cast<std::size_t>(count) + 1), crossed(static_cast<std::size_t>(count) + 1),
        reaching(static_cast<std::size_t>(count) + 1);
    // Adds 1 to the candidates from x = `from` to `to` (clipped to the range).
    auto mark = [&](std::vector<int>& tally, double from, double to) {
        double a = std::max(0.0, std::ceil(from - first)), b = std::min(count - 1.0, std::floor(to - first));
        if (!(a <= b)) return;
        ++tally[static_cast<std::size_t>(a)];
        --tally[static_cast<std::size_t>(b) + 1];
    };
    for (const Line& line : lines) {
        if (line.picture || line.words.size() < 3) continue;
        std::vector<double> gaps;
        for (std::size_t i = 1; i < line.words.size(); ++i)
            gaps.push_back(line.words[i].rect.minX() - line.words[i - 1].rect.maxX());
        const double space = aligned ? 0 : lowerPart(gaps);
        mark(reaching, line.rect.minX(), line.rect.maxX());
        for (std::size_t i = 0; i < line.words.size(); ++i) {
            const Rect& r = line.words[i].rect;
            mark(crossed, r.minX(), r.maxX());
            if (i + 1 < line.words.size() && gaps[i] > 1.5 * space &&
                gaps[i] > 0.5 * std::max(line.words[i].size, line.words[i + 1].size))
                mark(open, r.maxX() + 1, line.words[i + 1].rect.minX() - 1);
        }
    }
    int best = 0, lowest = 0, highest = 0, openHere = 0, crossedHere = 0, reachingHere = 0;
    for (int i = 0; i < count; ++i) {
        openHere += open[static_cast<std::size_t>(i)];
        crossedHere += crossed[static_cast<std::size_t>(i)];
        reachingHere += reaching[static_cast<std::size_t>(i)];
        // Most lines leave it open; a title or a figure across it may not.
        if (openHere < 6 || crossedHere * 4 > openHere) continue;
        // Judged by alignment alone, nine in ten lines across it.
        if (aligned && openHere * 10 < reachingHere * 9) continue;
        // The first run of the most open candidates: two gutters of three
        // columns may be open to as many lines.
        if (openHere > best) best = openHere, lowest = highest = i;
        else if (openHere == best && i == highest + 1) highest = i;
    }
    if (best == 0) return std::nullopt;
    return first + (lowest + highest) / 2.0;
}

// `segments` cut again at `x` wherever it falls between two words of a segment.
std::vector<Lines> cutAt(const std::vector<Lines>& segments, double x)
{
    std::vector<Lines> out;
    for (const Lines& lineSegments : segments) {
        Lines& cut = out.emplace_back();
        for (const Line& s : lineSegments) {
            auto after = std::find_if(s.words.begin(), s.words.end(), [&](const Word& w) { return w.rect.minX() >= x; });
            bool between = !s.picture && after != s.words.begin() && after != s.words.end() &&
                           std::prev(after)->rect.maxX() <= x;
            if (!between) {
                cut.push_back(s);
                continue;
            }
            cut.push_back(makeLine({s.words.begin(), after}));
            cut.push_back(makeLine({after, s.words.end()}));
        }
    }
    return out;
}

// The segments of every text line, for the gutter search.
std::vector<const Line*> textSegments(const Lines& lines, const std::vector<Lines>& segments)
{
    std::vector<const Line*> out;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!lines[i].picture)
            for (const Line& s : segments[i]) out.push_back(&s);
    return out;
}

bool crossesGutter(const Lines& segments, double gutter)
{
    return std::any_of(segments.begin(), segments.end(), [&](const Line& s) {
        return s.rect.minX() < gutter - 1 && s.rect.maxX() > gutter + 1;
    });
}

// Gutters found inside a side of a gutter, and inside a side of that: three
// levels read up to eight columns, and bound the work a page of many narrow
// columns of text can make.
constexpr int columnDepth = 3;

std::vector<Flow> readFlows(Lines lines, bool tables, int depth);

// The columns of one side of a gutter, each a flow, left to right: the side
// cut at gutters of its own. Returns how many columns stand side by side.
int addSide(const Lines& side, int depth, std::vector<Flow>& flows)
{
    std::vector<Flow> sideFlows = depth < columnDepth ? readFlows(side, false, depth + 1)
                                                      : std::vector<Flow>{Flow{flowItems(side, false), true, 1}};
    int columns = 1;
    for (Flow& f : sideFlows) {
        f.column = true;
        columns = std::max(columns, f.columns);
    }
    flows.insert(flows.end(), std::make_move_iterator(sideFlows.begin()), std::make_move_iterator(sideFlows.end()));
    return columns;
}

// flushStretch over lines whose segments are known; `tables` whether tables
// are looked for, `depth` how many gutters the lines lie within already.
void flush(Lines& stretch, std::vector<Lines>& segments, bool column, std::optional<double> gutter,
           std::vector<Flow>& flows, bool tables = true, int depth = 0)
{
    if (stretch.empty()) return;
    if (!column || !gutter) {
        flows.push_back(Flow{flowItems(std::move(stretch), tables), depth > 0, 1});
    } else {
        double g = *gutter;
        Lines leftLines, rightLines;
        for (Lines& lineSegments : segments) {
            Lines leftSide, rightSide;
            for (Line& segment : lineSegments) {
                // A segment that reaches just across the gutter goes with the side
                // that holds its centre, so none of its words is lost.
                bool isLeft = segment.rect.maxX() <= g || (segment.rect.minX() < g && segment.rect.midX() < g);
                (isLeft ? leftSide : rightSide).push_back(std::move(segment));
            }
            if (!leftSide.empty()) leftLines.push_back(joinSegments(leftSide));
            if (!rightSide.empty()) rightLines.push_back(joinSegments(rightSide));
        }
        if (!leftLines.empty() && !rightLines.empty()) {
            std::size_t first = flows.size();
            int columns = addSide(leftLines, depth, flows);
            columns += addSide(rightLines, depth, flows);
            for (std::size_t i = first; i < flows.size(); ++i) flows[i].columns = columns;
        } else {
            leftLines.insert(leftLines.end(), std::make_move_iterator(rightLines.begin()),
                             std::make_move_iterator(rightLines.end()));
            flows.push_back(Flow{flowItems(std::move(leftLines), tables), depth > 0, 1});
        }
    }
    stretch.clear();
    segments.clear();
}

// The gutter of `lines` and each line's segments, cut at a narrow gutter when
// that is where the gutter is.
std::optional<double> columnSegments(const Lines& lines, double left, double width, std::vector<Lines>& segments,
                                     bool inColumns = false)
{
    segments.clear();
    for (const Line& line : lines) segments.push_back(splitAtGaps(line));
    const double leftShare = inColumns ? 0.25 : 0.2;
    if (auto gutter = gutterOf(textSegments(lines, segments), left, width, leftShare)) return gutter;
    for (bool aligned : {false, true}) {
        if (aligned && !inColumns) break;
        auto narrow = narrowGutter(lines, left, width, aligned);
        if (!narrow) continue;
        std::vector<Lines> cut = cutAt(segments, *narrow);
        auto gutter = gutterOf(textSegments(lines, cut), left, width, leftShare);
        if (!gutter) continue;
        segments = std::move(cut);
        return gutter;
    }
    return std::nullopt;
}

} // namespace

std::optional<double> findGutter(const Lines& lines, double left, double width)
{
    std::vector<Lines> segments;
    return columnSegments(lines, left, width, segments);
}

Line joinSegments(const Lines& segments)
{
    if (segments.size() == 1) return segments.front();
    for (const Line& s : segments)
        if (s.picture) return s;
    std::vector<Word> words;
    for (const Line& s : segments) words.insert(words.end(), s.words.begin(), s.words.end());
    return makeLine(std::move(words));
}

void flushStretch(Lines& stretch, bool column, std::optional<double> gutter, std::vector<Flow>& flows)
{
    std::vector<Lines> segments;
    for (const Line& line : stretch) segments.push_back(splitAtGaps(line));
    flush(stretch, segments, column, gutter, flows);
}

namespace {

std::vector<Flow> readFlows(Lines lines, bool tables, int depth)
{
    std::vector<Flow> flows;
    if (lines.empty()) return flows;
    double left = lines.front().rect.minX(), right = lines.front().rect.maxX();
    for (const Line& l : lines) {
        left = std::min(left, l.rect.minX());
        right = std::max(right, l.rect.maxX());
    }
    double width = std::max(1.0, right - left);
    std::vector<Lines> segments;
    std::optional<double> gutter = columnSegments(lines, left, width, segments, depth > 0);

    // A stretch of column lines none of which holds a segment as wide as a
    // column's text (a table or a list of label-value pairs under the columns)
    // is not set in the columns: splitting it at the gutter would tear its rows
    // apart, so it is read as full width.
    Lines stretch;
    std::vector<Lines> stretchSegments;
    bool stretchIsColumn = false, stretchHasColumnText = false;
    auto close = [&] {
        flush(stretch, stretchSegments, stretchIsColumn && stretchHasColumnText, gutter, flows, tables, depth);
        stretchHasColumnText = false;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool isColumn = gutter && !crossesGutter(segments[i], *gutter);
        if (!stretch.empty() && isColumn != stretchIsColumn) close();
        if (stretch.empty()) stretchIsColumn = isColumn;
        stretchHasColumnText = stretchHasColumnText ||
                               std::any_of(segments[i].begin(), segments[i].end(),
                                           [&](const Line& s) { return !s.picture && s.rect.width >= 0.2 * width; });
        stretch.push_back(std::move(lines[i])); // its segments are known: not looked at again
        stretchSegments.push_back(std::move(segments[i]));
    }
    close();
    return flows;
}

} // namespace

std::vector<Flow> detectColumns(const Lines& lines)
{
    return readFlows(lines, true, 0);
}

std::vector<Flow> detectColumns(Lines&& lines)
{
    return readFlows(std::move(lines), true, 0);
}

} // namespace FolmiraKit::PDFReader
