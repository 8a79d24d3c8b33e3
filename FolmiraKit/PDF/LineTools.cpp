#include "FolmiraKit/PDF/LineTools.h"

#include "FolmiraKit/Readers/Inference.h"
#include "Platform/Text.h"

#include <algorithm>
#include <array>
#include <map>

namespace FolmiraKit::PDFReader {

namespace Text = Platform::Text;

namespace {

// Whether each byte of `text` is a character of its own: ASCII, and no CR
// that a line feed may follow. Looked at whole, without a branch a byte.
bool bytesAreCharacters(std::string_view text)
{
    unsigned char high = 0;
    bool cr = false;
    for (char c : text) {
        high |= static_cast<unsigned char>(c);
        cr |= c == '\r';
    }
    return high < 0x80 && !cr;
}

} // namespace

int countCharacters(std::string_view text)
{
    return bytesAreCharacters(text) ? static_cast<int>(text.size()) : Text::characterCount(text);
}

std::string_view finalCharacter(std::string_view text)
{
    std::size_t n = text.size();
    if (n == 0) return {};
    auto last = static_cast<unsigned char>(text[n - 1]);
    bool alone = last < 0x80 && (n == 1 || (static_cast<unsigned char>(text[n - 2]) < 0x80 &&
                                            !(text[n - 2] == '\r' && last == '\n')));
    return alone ? text.substr(n - 1) : Text::lastCharacter(text);
}

double bodySize(const Line& line)
{
    // A line holds a size or two: a short list, not a map, tallies them.
    struct Tally {
        double size;
        long long count;
    };
    std::array<Tally, 8> few;
    std::vector<Tally> more;
    std::size_t used = 0;
    for (const Word& w : line.words) {
        double size = Inference::halfPoint(w.size);
        long long characters = countCharacters(w.text);
        Tally* found = nullptr;
        for (std::size_t i = 0; i < used && !found; ++i)
            if (few[i].size == size) found = &few[i];
        for (std::size_t i = 0; i < more.size() && !found; ++i)
            if (more[i].size == size) found = &more[i];
        if (found) found->count += characters;
        else if (used < few.size()) few[used++] = {size, characters};
        else more.push_back({size, characters});
    }
    double best = 0;
    long long most = -1;
    // The most characters; a tie goes to the larger size.
    auto weigh = [&](const Tally& t) {
        if (t.count > most || (t.count == most && t.size > best)) {
            most = t.count;
            best = t.size;
        }
    };
    std::for_each(few.begin(), few.begin() + static_cast<std::ptrdiff_t>(used), weigh);
    std::for_each(more.begin(), more.end(), weigh);
    return best;
}

bool isRightToLeft(std::string_view text)
{
    // Asked of every word many times over: plain ASCII is told at once.
    unsigned char high = 0;
    for (char b : text) high |= static_cast<unsigned char>(b);
    if (high < 0x80) return false;
    // Their scalars are U+0590–U+08FF (lead bytes 0xD6–0xE0) and U+FB1D–U+FEFF (0xEF).
    if (std::none_of(text.begin(), text.end(), [](char b) {
            auto byte = static_cast<unsigned char>(b);
            return (byte >= 0xD6 && byte <= 0xE0) || byte == 0xEF;
        }))
        return false;
    for (char32_t c : Text::scalars(text))
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF)) return true;
    return false;
}

namespace {

enum class Direction { left, right, neutral }; // a word's letters: left to right, right to left, none

// Reverses each run of `order` that begins and ends with a word of `strong`
// and holds no word of the other direction.
void reverseRuns(std::vector<const Word*>& order, std::vector<Direction>& kinds, Direction strong)
{
    for (std::size_t i = 0; i < order.size();) {
        if (kinds[i] != strong) {
            ++i;
            continue;
        }
        std::size_t end = i + 1, last = i;
        for (; end < order.size() && (kinds[end] == strong || kinds[end] == Direction::neutral); ++end)
            if (kinds[end] == strong) last = end;
        std::reverse(order.begin() + static_cast<std::ptrdiff_t>(i), order.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        std::reverse(kinds.begin() + static_cast<std::ptrdiff_t>(i), kinds.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        i = last + 1;
    }
}

} // namespace

namespace {

Direction directionOf(const Word& w)
{
    return isRightToLeft(w.text)                      ? Direction::right
           : Platform::Text::containsLetter(w.text) ? Direction::left
                                                      : Direction::neutral;
}

// More right-to-left words than left-to-right ones; as many: `ties`.
bool mostlyRightToLeft(const std::vector<Direction>& kinds, bool ties)
{
    auto count = [&](Direction d) { return std::count(kinds.begin(), kinds.end(), d); };
    const auto right = count(Direction::right), left = count(Direction::left);
    return right > left || (ties && right == left);
}

} // namespace

bool readsRightToLeft(const std::vector<Word>& words, bool ties)
{
    // Most lines hold no right-to-left letter: told without sorting out the rest.
    if (std::none_of(words.begin(), words.end(), [](const Word& w) { return isRightToLeft(w.text); })) return false;
    std::vector<Direction> kinds;
    for (const Word& w : words) kinds.push_back(directionOf(w));
    return mostlyRightToLeft(kinds, ties);
}

std::vector<const Word*> readingOrder(const std::vector<Word>& words, bool ties)
{
    std::vector<const Word*> order;
    for (const Word& w : words) order.push_back(&w);
    if (std::none_of(words.begin(), words.end(), [](const Word& w) { return isRightToLeft(w.text); })) return order;
    std::vector<Direction> kinds;
    for (const Word& w : words) kinds.push_back(directionOf(w));
    if (!mostlyRightToLeft(kinds, ties)) {
        // A left-to-right line: its right-to-left runs are read right to left.
        reverseRuns(order, kinds, Direction::right);
    } else {
        // A right-to-left line, read from its right edge: its left-to-right runs keep their order.
        std::reverse(order.begin(), order.end());
        std::reverse(kinds.begin(), kinds.end());
        reverseRuns(order, kinds, Direction::left);
    }
    return order;
}

Line mirrored(const Line& line, double axis)
{
    if (line.picture) return line;
    std::vector<Word> words = line.words;
    for (Word& w : words) {
        w.rect.x = axis - w.rect.maxX();
        w.rect.width = std::abs(w.rect.width);
    }
    Line out = makeLine(std::move(words));
    out.hardBreak = line.hardBreak;
    return out;
}

void mendRightToLeftWords(Line& line)
{
    if (line.picture || line.words.size() < 2 ||
        std::none_of(line.words.begin(), line.words.end(), [](const Word& w) { return isRightToLeft(w.text); }))
        return;
    const bool fromRight = readsRightToLeft(line.words);
    auto isMarks = [](const Word& w) {
        for (std::string_view c : Text::characters(w.text))
            if (Text::isAlphanumeric(c)) return false;
        return true;
    };
    std::vector<Word> kept;
    for (std::size_t i = 0; i < line.words.size(); ++i) {
        Word& w = line.words[i];
        // A left-to-right word at the end of a right-to-left sentence
        // ("Letter.") is drawn with its full stop on its left.
        if (fromRight && !isRightToLeft(w.text)) {
            std::size_t lead = 0;
            for (std::string_view c : Text::characters(w.text)) {
                if (c.size() != 1 || std::string_view(".,:;!?").find(c[0]) == std::string_view::npos) break;
                lead += c.size();
            }
            if (lead > 0 && lead < w.text.size() && Text::isAlphanumeric(Text::firstCharacter(w.text.substr(lead))))
                w.text = w.text.substr(lead) + w.text.substr(0, lead);
        }
        if (fromRight && i + 1 < line.words.size() && isMarks(w)) {
            Word& next = line.words[i + 1];
            double gap = next.rect.minX() - w.rect.maxX();
            // Touching the word on its right: that word's end, in a line read
            // right to left (a left-to-right word's too: "Paris.").
            if (gap <= 0.22 * std::max(w.size, next.size)) {
                next.text += w.text;
                next.rect = next.rect.united(w.rect);
                continue;
            }
        }
        // Pieces of right-to-left text that touch are one word: a writer
        // that places each letter left of the one before leads the page's
        // text to break its words ("ه ذه", "أحرار ا"). A word space is
        // several times as wide.
        if (!kept.empty() && isRightToLeft(kept.back().text) && isRightToLeft(w.text) &&
            w.rect.minX() - kept.back().rect.maxX() <= 0.05 * std::max(w.size, kept.back().size)) {
            Word& left = kept.back();
            left.text = w.text + left.text;
            left.rect = left.rect.united(w.rect);
            left.size = std::max(left.size, w.size);
            continue;
        }
        kept.push_back(std::move(w));
    }
    if (kept.size() == line.words.size()) {
        line.words = std::move(kept); // the same words, in the same order
        return;
    }
    bool hardBreak = line.hardBreak;
    line = makeLine(std::move(kept));
    line.hardBreak = hardBreak;
}

std::string lineText(const Line& line)
{
    std::string text;
    if (std::none_of(line.words.begin(), line.words.end(), [](const Word& w) { return isRightToLeft(w.text); })) {
        for (const Word& w : line.words) {
            if (!text.empty()) text += ' ';
            text += w.text;
        }
        return text;
    }
    for (const Word* w : readingOrder(line.words)) {
        if (!text.empty()) text += ' ';
        text += w->text;
    }
    return text;
}

int lineCharacters(const Line& line)
{
    std::size_t bytes = 0;
    for (const Word& w : line.words) {
        // Beside a byte past ASCII, or a CR, clusters may span more than one
        // byte; an empty word takes no space before the next.
        if (w.text.empty() || !bytesAreCharacters(w.text)) return countCharacters(lineText(line));
        bytes += w.text.size() + 1;
    }
    return bytes == 0 ? 0 : static_cast<int>(bytes - 1); // a space between words
}

std::vector<std::string> lineTexts(const std::vector<Lines>& pages)
{
    std::vector<std::string> texts;
    for (const Lines& page : pages)
        for (const Line& line : page) texts.push_back(lineText(line));
    return texts;
}

namespace {

// A list label that may stand apart from its item's text: "1.", "12)", "(a)", "B.".
bool isLabel(std::string_view text)
{
    const auto& bullets = Inference::bulletCharacters();
    // Asked of the ends of every line: a word longer than any label or bullet is none.
    static const std::size_t longest =
        std::max_element(bullets.begin(), bullets.end(), [](auto a, auto b) { return a.size() < b.size(); })->size();
    if (text.size() > std::max<std::size_t>(5, longest)) return false;
    if (std::find(bullets.begin(), bullets.end(), text) != bullets.end()) return true;
    // /^\(?([0-9]{1,3}|[a-zA-Z])[.)]$/, matched by hand: a matcher made for
    // each line's ends would cost more than the rest of cutting the line.
    std::size_t at = text.starts_with('(') ? 1 : 0, digits = 0;
    while (at + digits < text.size() && text[at + digits] >= '0' && text[at + digits] <= '9') ++digits;
    if (digits >= 1 && digits <= 3) at += digits;
    else if (digits == 0 && at < text.size() && ((text[at] >= 'a' && text[at] <= 'z') || (text[at] >= 'A' && text[at] <= 'Z'))) ++at;
    else return false;
    return at + 1 == text.size() && (text[at] == '.' || text[at] == ')');
}

} // namespace

namespace {

// Calls `cut(i)` for each word i of `line` that begins a segment of its own
// (the first word's segment is not reported).
template <typename Cut>
void eachCut(const Line& line, Cut cut)
{
    if (line.picture || line.words.size() < 2) return;
    const std::vector<Word>& words = line.words;
    bool labelFirst = isLabel(words.front().text);
    // A right-to-left line's label stands at its right end, apart from its text.
    bool labelLast = isLabel(words.back().text) && readsRightToLeft(words);
    for (std::size_t i = 1; i < words.size(); ++i) {
        const Word& w = words[i];
        const Word& p = words[i - 1]; // the last word of the segment so far
        double gap = w.rect.minX() - p.rect.maxX();
        double limit = std::max(p.size, w.size);
        bool onlyFirst = i == 1; // the segment so far is the first word alone
        bool onlyLast = labelLast && i + 1 == words.size();
        if (!((onlyFirst && labelFirst) || onlyLast || gap <= limit)) cut(i);
    }
}

} // namespace

Lines splitAtGaps(const Line& line)
{
    if (line.picture || line.words.size() < 2) return {line};
    Lines lines;
    std::size_t from = 0;
    auto segment = [&](std::size_t to) {
        lines.push_back(makeLine(std::vector<Word>(line.words.begin() + static_cast<std::ptrdiff_t>(from),
                                                   line.words.begin() + static_cast<std::ptrdiff_t>(to))));
        from = to;
    };
    eachCut(line, segment);
    segment(line.words.size());
    return lines;
}

std::size_t segmentCount(const Line& line)
{
    std::size_t count = 1;
    eachCut(line, [&](std::size_t) { ++count; });
    return count;
}

std::optional<PageBand> pageBand(const Lines& page, const std::optional<Rect>& cropBox)
{
    if (!cropBox) return std::nullopt;
    std::vector<double> ys;
    for (const Line& line : page)
        if (!line.picture) ys.push_back(line.rect.midY());
    if (ys.size() < 3) return std::nullopt;
    std::sort(ys.begin(), ys.end(), std::greater<>());
    return PageBand{ys[1], ys[ys.size() - 2], *cropBox};
}

std::optional<PageBand> pageBand(int pageIndex, const std::vector<std::optional<Rect>>& cropBoxes,
                                 const std::vector<Lines>& pages)
{
    if (pageIndex < 0 || static_cast<std::size_t>(pageIndex) >= pages.size() ||
        static_cast<std::size_t>(pageIndex) >= cropBoxes.size())
        return std::nullopt;
    return pageBand(pages[static_cast<std::size_t>(pageIndex)], cropBoxes[static_cast<std::size_t>(pageIndex)]);
}

bool isInBand(const Line& line, const PageBand& band)
{
    if (line.picture) return false;
    double m = line.rect.midY();
    if (!(m >= band.secondHighest || m <= band.secondLowest)) return false;
    const Rect& b = band.cropBox;
    return line.rect.minY() > b.maxY() - 0.15 * b.height || line.rect.maxY() < b.minY() + 0.15 * b.height;
}

bool isInPageBand(const Line& line, int pageIndex, const std::vector<std::optional<Rect>>& cropBoxes,
                  const std::vector<Lines>& pages)
{
    if (line.picture) return false;
    auto band = pageBand(pageIndex, cropBoxes, pages);
    return band && isInBand(line, *band);
}

std::u32string glyphCheck(std::string_view text)
{
    std::u32string unreadable;
    // Both are written with a lead byte from 0xEE up: most words have none.
    if (std::none_of(text.begin(), text.end(), [](char b) { return static_cast<unsigned char>(b) >= 0xEE; }))
        return unreadable;
    for (char32_t c : Text::scalars(text))
        if ((c >= 0xE000 && c <= 0xF8FF) || c == 0xFFFD) unreadable.push_back(c);
    return unreadable;
}

bool isPrivateUse(char32_t c)
{
    return (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xF0000 && c <= 0x10FFFF && (c & 0xFFFE) != 0xFFFE);
}

long long leaveOutPrivateUse(Lines& lines)
{
    long long count = 0;
    for (Line& line : lines) {
        if (line.picture) continue;
        bool dropped = false;
        for (Word& w : line.words) {
            // Every private-use scalar starts with a byte from 0xEE up.
            if (std::none_of(w.text.begin(), w.text.end(), [](char b) { return static_cast<unsigned char>(b) >= 0xEE; }))
                continue;
            std::u32string kept = Text::scalars(w.text);
            std::size_t before = kept.size();
            std::erase_if(kept, isPrivateUse);
            if (kept.size() == before) continue;
            count += static_cast<long long>(before - kept.size());
            w.text = Text::fromScalars(kept);
            dropped = dropped || !hasVisibleCharacter(w.text);
        }
        if (!dropped) continue;
        std::erase_if(line.words, [](const Word& w) { return !hasVisibleCharacter(w.text); });
        bool hardBreak = line.hardBreak;
        if (!line.words.empty()) line = makeLine(std::move(line.words));
        line.hardBreak = hardBreak;
    }
    std::erase_if(lines, [](const Line& line) { return !line.picture && line.words.empty(); });
    return count;
}

bool hasVisibleCharacter(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            for (char32_t c : Text::scalars(text.substr(i)))
                if (c != 0 && !Text::isWhitespaceScalar(c)) return true;
            return false;
        }
        if (byte != 0 && byte != ' ' && (byte < 0x09 || byte > 0x0D)) return true;
    }
    return false;
}

} // namespace FolmiraKit::PDFReader
