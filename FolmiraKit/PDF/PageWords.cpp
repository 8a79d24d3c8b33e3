// Words are rebuilt character by character: a character joins the word being
// built when it sits on the same baseline band and close enough after it.
// Boxes far wider than tall, or beyond the page's sides, are the sign of a
// text layer whose positions are nonsense; a page with too many of them is
// read line by line from its text instead (linesFromText).

#include "FolmiraKit/PDF/PageWords.h"

#include "FolmiraKit/PDF/LineTools.h"

#include "Platform/Text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace FolmiraKit::PDFReader {

namespace Text = Platform::Text;

namespace {

bool finite(const Rect& r)
{
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height) &&
           std::isfinite(r.midX()) && std::isfinite(r.midY());
}

int scalarCount(std::string_view utf8)
{
    int n = 0;
    for (unsigned char byte : utf8)
        if ((byte & 0xC0) != 0x80) ++n;
    return n;
}

// TeX's Computer Modern faces (and their cm-super twins) say bold and italic
// in their short names only: CMBX12 is bold, CMTI10 italic, CMBXTI10 both.
std::string_view texBaseName(std::string_view lowercased)
{
    auto plus = lowercased.find('+');
    return plus == std::string_view::npos ? lowercased : lowercased.substr(plus + 1);
}

bool startsWithAny(std::string_view name, std::initializer_list<std::string_view> prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view p) { return name.starts_with(p); });
}

bool texBold(std::string_view lowercased)
{
    std::string_view name = texBaseName(lowercased);
    bool cmb = name.size() > 3 && name.starts_with("cmb") && std::isdigit(static_cast<unsigned char>(name[3]));
    return cmb || startsWithAny(name, {"cmbx", "cmssbx", "sfbx", "sfsx"});
}

bool texItalic(std::string_view lowercased)
{
    return startsWithAny(texBaseName(lowercased), {"cmti", "cmbxti", "cmsl", "cmbxsl", "cmitt", "sfti", "sfsl", "sfbi"});
}

struct FontStyle {
    double size = 0;
    bool bold = false;
    bool italic = false;
};

// The font of every scalar of the page's text, or none: the first span that
// holds it. The names are judged once per name, not once per span.
class FontLookup {
public:
    FontLookup(const Platform::PdfPageText& page, bool heavyIsBold)
    {
        const auto scalars = static_cast<std::size_t>(scalarCount(page.text));
        std::vector<std::pair<std::string_view, FontStyle>> judged; // a page sets few fonts
        bool inOrder = true;
        for (const auto& span : page.fonts) {
            if (!std::isfinite(span.size)) continue;
            auto known = std::find_if(judged.begin(), judged.end(), [&](const auto& j) { return j.first == span.name; });
            if (known == judged.end()) {
                std::string name = Text::lowercased(span.name);
                FontStyle style{0,
                                Text::contains(name, "bold") || Text::contains(name, "black") ||
                                    (heavyIsBold && Text::contains(name, "heavy")) || texBold(name),
                                Text::contains(name, "italic") || Text::contains(name, "oblique") || texItalic(name)};
                known = judged.insert(judged.end(), {span.name, style});
            }
            FontStyle style = known->second;
            style.size = span.size;
            const std::size_t begin = static_cast<std::size_t>(std::max(0, span.begin));
            const std::size_t end = std::min(scalars, static_cast<std::size_t>(std::max(0, span.end)));
            inOrder = inOrder && (runs_.empty() || begin >= runs_.back().end);
            runs_.push_back(Run{begin, end, style});
        }
        // Spans one after another (as the page's text has them) are found by
        // a search among them; spans that overlap, by an index of every scalar.
        if (inOrder) return;
        index_.assign(scalars, -1);
        for (std::size_t r = 0; r < runs_.size(); ++r)
            for (std::size_t i = runs_[r].begin; i < runs_[r].end; ++i)
                if (index_[i] < 0) index_[i] = static_cast<int>(r);
    }

    const FontStyle* at(std::size_t scalar) const
    {
        if (!index_.empty()) {
            if (scalar >= index_.size() || index_[scalar] < 0) return nullptr;
            return &runs_[static_cast<std::size_t>(index_[scalar])].style;
        }
        // The last run that begins at or before it, when it reaches it.
        auto after = std::upper_bound(runs_.begin(), runs_.end(), scalar,
                                      [](std::size_t s, const Run& run) { return s < run.begin; });
        if (after == runs_.begin()) return nullptr;
        const Run& run = *(after - 1);
        return scalar < run.end ? &run.style : nullptr;
    }

private:
    struct Run {
        std::size_t begin, end; // scalars
        FontStyle style;
    };
    std::vector<Run> runs_;
    std::vector<int> index_; // of runs_, by scalar, where runs overlap
};

struct WordBuilder {
    bool open = false;
    std::string text;
    Rect rect;
    double size = 0;
    int bold = 0;
    int italic = 0;
    int count = 0;
    bool rightToLeft = false; // its characters run leftwards, as Hebrew and Arabic do
    bool visualOrder = false; // a right-to-left word whose characters the text gives left to right

    void finish(std::vector<Word>& words)
    {
        if (visualOrder) {
            auto characters = Text::characters(text);
            std::string logical;
            for (auto c = characters.rbegin(); c != characters.rend(); ++c) logical += *c;
            text = std::move(logical);
        }
        // Punctuation that the page's text gives before a right-to-left word
        // stands at its end (its left): it is read after the word.
        if (rightToLeft && !text.empty() && !Text::containsLetter(Text::firstCharacter(text))) {
            std::size_t lead = 0;
            for (std::string_view c : Text::characters(text)) {
                if (Text::containsLetter(c)) break;
                lead += c.size();
            }
            if (lead < text.size()) text = text.substr(lead) + text.substr(0, lead);
        }
        if (open && !text.empty())
            words.push_back(Word{std::move(text), rect, size, bold * 2 > count, italic * 2 > count});
        *this = WordBuilder{};
    }
};

// Calls `f` with each composed character of `text`. ASCII between ASCII needs
// no segmentation; ICU segments only the stretches around other bytes.
template <typename F>
void forEachCharacter(std::string_view text, F&& f)
{
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    auto simple = [&](std::size_t i) { return at(i) < 0x80 && at(i) != '\r' && (i + 1 >= text.size() || at(i + 1) < 0x80); };
    std::size_t i = 0;
    while (i < text.size()) {
        if (simple(i)) {
            f(text.substr(i, 1));
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < text.size() && !simple(j)) ++j;
        j = std::min(text.size(), j + 1);
        for (std::string_view c : Text::characters(text.substr(i, j - i))) f(c);
        i = j;
    }
}

} // namespace

PageWords pageWords(const Platform::PdfPageText& page, const Rect& mediaBox)
{
    PageWords result;
    if (page.text.empty()) return result;
    FontLookup fonts(page, true);
    WordBuilder word;
    int measured = 0, bad = 0;
    std::size_t scalar = 0;

    forEachCharacter(page.text, [&](std::string_view c) {
        std::size_t first = scalar;
        scalar += static_cast<std::size_t>(scalarCount(c));
        if (!hasVisibleCharacter(c)) {
            word.finish(result.words);
            return;
        }
        // The character's box: the union of its scalars' glyph boxes.
        std::optional<Rect> box;
        for (std::size_t i = first; i < scalar && i < page.boxes.size(); ++i)
            if (page.boxes[i] && finite(*page.boxes[i])) box = box ? box->united(*page.boxes[i]) : *page.boxes[i];
        if (!box || !finite(*box)) return;
        const Rect& b = *box;
        ++measured;
        if (b.width > std::max(40.0, 3 * b.height) || b.minX() < mediaBox.minX() - 20 || b.maxX() > mediaBox.maxX() + 20)
            ++bad;
        if ((b.width <= 0 && b.height <= 0) || b.height >= 400) return;

        FontStyle style{0.8 * b.height, false, false};
        if (const FontStyle* font = fonts.at(first)) style = *font;

        // A right-to-left word grows leftwards: its next character stands
        // close before its left edge and not wholly right of its right edge.
        bool rtl = isRightToLeft(c);
        bool leftwards = rtl || (word.rightToLeft && !Text::containsLetter(c));
        double near = 0.22 * std::max(style.size, word.size);
        bool sameBand = std::abs(b.midY() - word.rect.midY()) < 0.5 * std::min(b.height, word.rect.height);
        bool after = b.minX() - word.rect.maxX() <= near && word.rect.minX() <= b.maxX();
        bool before = word.rect.minX() - b.maxX() <= near && b.minX() <= word.rect.maxX();
        // Some writers' text gives a right-to-left word's letters left to
        // right: told by the second letter standing right of the first.
        bool visual = rtl && after && b.midX() > word.rect.midX() &&
                      ((word.rightToLeft && (word.count == 1 || word.visualOrder)) ||
                       (word.open && !word.rightToLeft && !Text::containsLetter(word.text)));
        bool joins = word.open && sameBand && (leftwards ? before || visual : after);
        if (joins) {
            word.visualOrder = word.visualOrder || visual;
            word.rightToLeft = word.rightToLeft || rtl;
            word.text += c;
            word.rect = word.rect.united(b);
            word.size = std::max(word.size, style.size);
        } else {
            word.finish(result.words);
            word.open = true;
            word.rightToLeft = rtl;
            word.text = std::string(c);
            word.rect = b;
            word.size = style.size;
        }
        word.count += 1;
        word.bold += style.bold ? 1 : 0;
        word.italic += style.italic ? 1 : 0;
    });
    word.finish(result.words);
    result.untrusted = bad > 2 || (measured >= 1 && measured < 200 * bad);
    return result;
}

Lines linesFromWords(const std::vector<Word>& words, std::vector<std::uint32_t>* places)
{
    // Sorted as indexes, not as words: each word is copied once, into its
    // line. A NaN in the sort below would break the comparator's ordering.
    std::vector<std::uint32_t> order;
    order.reserve(words.size());
    for (std::size_t i = 0; i < words.size(); ++i)
        if (finite(words[i].rect)) order.push_back(static_cast<std::uint32_t>(i));
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return words[a].rect.midY() > words[b].rect.midY();
    });
    if (places) places->assign(order.size() == words.size() ? words.size() : 0, 0);
    Lines lines;
    std::uint32_t placed = 0;
    // A group's words, left to right as makeLine lays them (a stable sort of
    // words already in that order keeps it), so that their places are known.
    using At = std::vector<std::uint32_t>::iterator;
    auto close = [&](At first, At end) {
        std::stable_sort(first, end, [&](std::uint32_t a, std::uint32_t b) {
            return words[a].rect.minX() < words[b].rect.minX();
        });
        std::vector<Word> group;
        group.reserve(static_cast<std::size_t>(end - first));
        for (auto i = first; i != end; ++i) {
            group.push_back(words[*i]);
            if (places && !places->empty()) (*places)[*i] = placed;
            ++placed;
        }
        lines.push_back(makeLine(std::move(group)));
    };
    auto first = order.begin();
    for (auto at = order.begin(); at != order.end(); ++at) {
        const Word& w = words[*at];
        if (at != first) {
            const Rect& a = words[*first].rect;
            double h = std::min(a.height, w.rect.height);
            double overlap = std::min(a.maxY(), w.rect.maxY()) - std::max(a.minY(), w.rect.minY());
            bool joins = overlap >= 0.5 * h && (std::abs(a.minY() - w.rect.minY()) < 0.3 * h ||
                                                std::abs(a.midY() - w.rect.midY()) < 0.3 * h);
            if (!joins) {
                close(first, at);
                first = at;
            }
        }
    }
    if (first != order.end()) close(first, order.end());
    return lines;
}

Line makeLine(std::vector<Word> words)
{
    auto leftOf = [](const Word& a, const Word& b) { return a.rect.minX() < b.rect.minX(); };
    // Mostly already in order (the segments of a line, a line rebuilt): a
    // stable sort would still take a buffer and move every word.
    if (!std::is_sorted(words.begin(), words.end(), leftOf)) std::stable_sort(words.begin(), words.end(), leftOf);
    Line line;
    if (!words.empty()) {
        line.rect = words.front().rect;
        for (const Word& w : words) line.rect = line.rect.united(w.rect);
    }
    line.words = std::move(words);
    return line;
}

Lines linesFromText(const Platform::PdfPageText& page, const Rect& mediaBox)
{
    Lines lines;
    if (page.text.empty()) return lines;
    // Only "bold" and "black" count here: a page read this way has no traits to go by.
    FontLookup fonts(page, false);
    double y = mediaBox.maxY() - 72;
    std::size_t index = 0;
    std::string_view rest = page.text;

    while (true) {
        std::size_t end = rest.find('\n');
        std::string_view textLine = rest.substr(0, end);
        std::size_t start = index;
        double x = mediaBox.minX() + 72;
        std::vector<Word> words;

        std::string_view pieces = textLine;
        while (true) {
            std::size_t space = pieces.find(' ');
            std::string_view piece = pieces.substr(0, space);
            std::string_view trimmed = Text::trimWhitespace(piece);
            if (!trimmed.empty()) {
                FontStyle style{12, false, false};
                if (const FontStyle* font = fonts.at(index)) style = *font;
                double width = Text::characterCount(trimmed) * style.size * 0.5;
                words.push_back(Word{std::string(trimmed), Rect{x, y, width, style.size}, style.size, style.bold,
                                     style.italic});
                x += width + 0.2 * style.size;
            }
            index += static_cast<std::size_t>(scalarCount(piece)) + 1;
            if (space == std::string_view::npos) break;
            pieces.remove_prefix(space + 1);
        }
        if (!words.empty()) {
            double size = words.front().size;
            Line line = makeLine(std::move(words));
            line.hardBreak = true;
            lines.push_back(std::move(line));
            y -= 1.5 * size;
        }
        index = start + static_cast<std::size_t>(scalarCount(textLine)) + 1;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace FolmiraKit::PDFReader
