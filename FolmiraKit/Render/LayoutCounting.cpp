// Counting the pages of a long document needs only how many lines each text
// takes and where their baselines sit, not their glyphs. A listed table,
// which can run to a million lines, says the same few column names on every
// row, with short values: its lines are taken from lines met before where
// they are sure to come out the same.
//
// A line of a listed row ends at a line separator, which Pango always
// breaks at, or at the row's end. Such a line of printable ASCII, short
// enough that no slice of a long text can cut it, is set the same
// wherever it stands: one direction, one script, the same faces, a
// separator on each side. So once Pango has set it in one row, its lines
// serve the same line of any row.

#include "FolmiraKit/Render/LayoutShaper.h"

#include <algorithm>
#include <unordered_set>

namespace FolmiraKit::Renderer {
namespace {

constexpr std::string_view separator = "\u2028";
// Below Platform::TextLayout's bound for a run without spaces, and far
// below its slices of text.
constexpr std::size_t longestKnownLine = 120;
// A thread forgets the lines it knows once it knows this many: a table of
// many different values must not keep them all.
constexpr std::size_t knownLines = 16 * 1024;

// Where the line from `from` ends: after the next separator, else at the end.
std::size_t lineEnd(const std::string& text, std::size_t from)
{
    std::size_t cut = text.find(separator, from);
    return cut == std::string::npos ? text.size() : cut + separator.size();
}

bool printableAscii(std::string_view text)
{
    for (char c : text)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

} // namespace

Layout::Flow Layout::Shaper::countedFlow(const Paragraph& paragraph)
{
    Flow out = frame(0, paragraph);
    if (auto lines = countedLines(paragraph, out.measure))
        out.layout = std::make_shared<const Platform::TextLayout>(paragraph.text.text(), std::move(*lines));
    else if (!paragraph.text.empty())
        out.layout = std::make_shared<const Platform::TextLayout>(paragraph.text, out.measure, paragraph.format);
    return out;
}

std::optional<std::vector<Platform::TextLayout::Line>> Layout::Shaper::countedLines(const Paragraph& paragraph,
                                                                                    double measure)
{
    const std::string& all = paragraph.text.text();
    // A row that ends in a separator has an empty line after it.
    if (all.empty() || all.ends_with(separator)) return std::nullopt;
    if (lines_.size() >= knownLines) lines_.clear();
    std::vector<Platform::TextLayout::Line> lines;
    std::vector<Segment> unknown;
    if (!knownLinesOf(paragraph.text, lines, &unknown)) return std::nullopt;
    if (unknown.empty()) return lines;
    // Once the lines not met before are set, every line is known.
    lines.clear();
    if (!learnLines(paragraph, unknown, measure) || !knownLinesOf(paragraph.text, lines, nullptr)) return std::nullopt;
    return lines;
}

bool Layout::Shaper::knownLinesOf(const Platform::AttributedText& text, std::vector<Platform::TextLayout::Line>& lines,
                                  std::vector<Segment>* unknown)
{
    const std::string& all = text.text();
    std::unordered_set<std::string> fresh; // keys of `unknown`
    std::string key;
    for (std::size_t from = 0; from < all.size();) {
        const std::size_t to = lineEnd(all, from);
        if (!lineKey(text, from, to, key)) return false;
        if (auto known = lines_.find(key); known != lines_.end()) {
            for (Platform::TextLayout::Line line : known->second) {
                line.start += from;
                lines.push_back(line);
            }
        } else if (!unknown) {
            return false;
        } else if (fresh.insert(key).second) {
            unknown->push_back({from, to, key});
        }
        from = to;
    }
    return true;
}

bool Layout::Shaper::learnLines(const Paragraph& paragraph, const std::vector<Segment>& segments, double measure)
{
    // The lines not met before, set one under another in one paragraph.
    Platform::AttributedText together;
    std::vector<std::size_t> starts;
    for (const Segment& segment : segments) {
        starts.push_back(together.text().size());
        const auto& spans = paragraph.text.spans();
        auto span = std::partition_point(spans.begin(), spans.end(), [&](const auto& s) { return s.end <= segment.from; });
        for (; span != spans.end() && span->start < segment.to; ++span) {
            const std::size_t from = std::max(span->start, segment.from), to = std::min(span->end, segment.to);
            together.append(std::string_view(paragraph.text.text()).substr(from, to - from), span->font);
        }
    }
    const Platform::TextLayout layout(together, measure, paragraph.format);
    const auto& lines = layout.lines();
    std::size_t next = 0;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const std::size_t from = starts[i], to = from + (segments[i].to - segments[i].from);
        std::vector<Platform::TextLayout::Line> own;
        for (; next < lines.size() && lines[next].start < to; ++next) {
            own.push_back(lines[next]);
            own.back().start -= from;
        }
        // Each line met must be whole lines of its own.
        if (own.empty() || own.front().start != 0 || own.back().start + own.back().length != to - from) return false;
        lines_.emplace(segments[i].key, std::move(own));
    }
    return true;
}

bool Layout::Shaper::lineKey(const Platform::AttributedText& text, std::size_t from, std::size_t to, std::string& key)
{
    std::string_view body = std::string_view(text.text()).substr(from, to - from);
    if (body.ends_with(separator)) body.remove_suffix(separator.size());
    if (to - from > longestKnownLine || !printableAscii(body)) return false;
    key.clear();
    const auto& spans = text.spans();
    auto span = std::partition_point(spans.begin(), spans.end(), [&](const auto& s) { return s.end <= from; });
    for (; span != spans.end() && span->start < to; ++span) {
        auto face = std::find(lineFonts_.begin(), lineFonts_.end(), span->font);
        if (face == lineFonts_.end()) {
            if (lineFonts_.size() >= 0x20) return false; // a byte below any text's marks the face
            face = lineFonts_.insert(face, span->font);
        }
        key += static_cast<char>(face - lineFonts_.begin());
        key.append(text.text(), std::max(span->start, from), std::min(span->end, to) - std::max(span->start, from));
    }
    return true;
}

} // namespace FolmiraKit::Renderer
