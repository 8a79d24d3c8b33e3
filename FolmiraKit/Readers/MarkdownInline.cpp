// Inline Markdown: code spans and escaped punctuation set aside first, so that
// what they hold is kept as written; then HTML and links cleaned out and
// character references decoded; then one pass over the characters with a bold
// and an italic flag, in which what was set aside comes back as escaped text. There is no
// look-ahead for a closing "**": an unpaired one makes the rest bold, as
// writers expect from simple editors. Positions of the next "*" and "_" are
// found ahead of the walk so the pass stays linear.

#include "FolmiraKit/Readers/Markdown.h"

#include "FolmiraKit/Readers/HtmlEntities.h"
#include "Platform/Regex.h"
#include "Platform/Text.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace FolmiraKit {

namespace Text = Platform::Text;

namespace {

// "<https://…>", "<mailto:…>" or "<ann@example.org>": an address the writer
// wants shown, not a tag.
bool isAutolink(std::string_view inside)
{
    // Neither holds a space or a "<": told before a pattern reads the rest.
    if (inside.empty() || Text::findAnyOf(inside, " \t\n<") != std::string_view::npos) return false;
    static const Platform::Regex uri("^[A-Za-z][A-Za-z0-9+.\\-]{1,31}:[^\\s<>]*$");
    static const Platform::Regex email("^[A-Za-z0-9.!#$%&'*+/=?^_`{|}~\\-]+@[A-Za-z0-9](?:[A-Za-z0-9\\-]{0,61}[A-Za-z0-9])?"
                                       "(?:\\.[A-Za-z0-9](?:[A-Za-z0-9\\-]{0,61}[A-Za-z0-9])?)*$");
    return uri.search(inside) || email.search(inside);
}

// An address is shown as written: its "*", "_" and backticks make no emphasis.
void appendLiteral(std::string& out, std::string_view text)
{
    for (char c : text) {
        if (c == '*' || c == '_' || c == '`' || c == '\\') out += '\\';
        out += c;
    }
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether what follows a "<" up to its ">" reads as HTML: a tag's name (a
// letter, then letters, digits and "-") ended by a space, "/" or ">"; a
// closing tag's; a comment, a declaration or an instruction ("<!", "<?").
// "<33>", "< b >", "<m:abc>" and "<foo.bar.baz>" are text.
bool isTag(std::string_view inside)
{
    if (inside[0] == '!' || inside[0] == '?') return true;
    const bool closing = inside[0] == '/';
    std::size_t at = closing ? 1 : 0;
    if (at >= inside.size() || !isAsciiLetter(inside[at])) return false;
    while (at < inside.size() && (isAsciiLetter(inside[at]) || (inside[at] >= '0' && inside[at] <= '9') || inside[at] == '-'))
        ++at;
    if (at == inside.size()) return true;
    const char after = inside[at];
    return after == ' ' || after == '\t' || after == '\n' || (!closing && after == '/');
}

// Takes out every HTML tag, from its "<" to the first ">" after it, in one
// pass: a pattern search rescans to the end of the text from every "<" that
// has no ">" after it. An autolink leaves its address. Brackets doubled
// around one ("<<ann@example.org>>", a common way to list people) are text,
// as no tag starts with "<": the outer pair stays, the inner is the autolink.
// A run of "<" is judged once, by what follows it.
std::string withoutTags(std::string_view text)
{
    std::string out;
    std::size_t copied = 0, gt = 0, runEnd = 0; // the first ">" ahead; where the run of "<" ends
    bool autolink = false, tag = false;
    std::string_view address;
    for (std::size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
        if (gt <= lt && (gt = text.find('>', lt + 1)) == std::string_view::npos) break; // none can close
        if (gt == lt + 1) continue; // "<>" holds nothing
        if (runEnd <= lt) {
            runEnd = text.find_first_not_of('<', lt);
            address = text.substr(runEnd, gt - runEnd);
            autolink = isAutolink(address);
            tag = !address.empty() && isTag(address);
        }
        if (!autolink && !tag) continue;
        out.append(text, copied, lt - copied);
        if (autolink) {
            out.append(runEnd - lt - 1, '<');
            appendLiteral(out, address);
        }
        copied = gt + 1;
        lt = gt;
    }
    out.append(text, copied);
    return out;
}

// Reference links show their text: "[text][label]" and "[text][]" always,
// a bare "[text]" when a definition has its label. "[^1]" is a footnote
// marker and stays. The "!" of a picture reference goes with it.
std::string withoutReferenceLinks(std::string_view text, const std::set<std::string>& references)
{
    constexpr auto none = std::string_view::npos;
    std::string out;
    std::size_t copied = 0, close = 0;
    for (std::size_t at = text.find('['); at != none; at = text.find('[', at + 1)) {
        std::size_t start = at + 1;
        if (close < start && (close = text.find(']', start)) == none) break;
        if (close == start || text[start] == '^' || text.find('[', start) < close) continue;
        std::string_view label = text.substr(start, close - start);
        std::size_t end = close + 1;
        if (end < text.size() && text[end] == '[') {
            std::size_t labelEnd = text.find(']', end + 1);
            if (labelEnd == none || text.find('[', end + 1) < labelEnd) continue;
            end = labelEnd + 1;
        } else if (!references.contains(markdownReferenceKey(label))) {
            continue;
        }
        std::size_t from = at > copied && text[at - 1] == '!' ? at - 1 : at;
        out.append(text, copied, from - copied);
        out.append(label);
        copied = end;
        at = end - 1;
    }
    out.append(text, copied);
    return out;
}

// For each "](" whose "(" is closed by its own ")" with no space between
// (a target with balanced parentheses, "wiki/Foo_(bar)"), where that ")" is.
// One pass with a stack of open parentheses, kept to nesting no target needs.
std::unordered_map<std::size_t, std::size_t> balancedTargets(std::string_view text)
{
    constexpr std::size_t deepest = 32;
    std::unordered_map<std::size_t, std::size_t> ends;
    std::vector<std::size_t> open;
    std::size_t deeper = 0; // opened past `deepest`
    for (std::size_t i = Text::findAnyOf(text, "() \t\n"); i != std::string_view::npos;
         i = Text::findAnyOf(text, "() \t\n", i + 1)) {
        if (text[i] == '(') {
            if (open.size() < deepest) open.push_back(i);
            else ++deeper;
        } else if (text[i] == ')') {
            if (deeper > 0) {
                --deeper;
            } else if (!open.empty()) {
                if (open.back() > 0 && text[open.back() - 1] == ']') ends[open.back()] = i;
                open.pop_back();
            }
        } else {
            open.clear();
            deeper = 0;
        }
    }
    return ends;
}

// Replaces every `opener` + text + "](" + target + ")" by the text, as the
// pattern !\[([^\]]*)\]\([^)]*\) (opener "![", text may be empty) or
// \[([^\]]+)\]\([^)]*\) (opener "[") would, but that a target's balanced
// parentheses, or its "<…>", are its own. The first "]" and ")" ahead are
// remembered, so a long run of openers costs no rescans.
std::string keepingBracketText(std::string_view text, std::string_view opener, std::size_t minText)
{
    constexpr auto none = std::string_view::npos;
    if (text.find("](") == none) return std::string(text);
    const auto balanced = balancedTargets(text);
    std::string out;
    std::size_t copied = 0, close = 0, paren = 0, angle = 0; // the first "]", ")" and ">" or line end ahead
    for (std::size_t at = text.find(opener); at != none; at = text.find(opener, at + 1)) {
        std::size_t start = at + opener.size();
        if (close < start && (close = text.find(']', start)) == none) break;
        if (close - start < minText || close + 1 >= text.size() || text[close + 1] != '(') continue;
        if (paren < close + 2 && (paren = text.find(')', close + 2)) == none) break;
        std::size_t end = paren;
        const bool angled = close + 2 < text.size() && text[close + 2] == '<';
        if (angled && angle != none && angle < close + 3) angle = Text::findAnyOf(text, ">\n", close + 3);
        if (angled && angle != none && text[angle] == '>' && angle + 1 < text.size() && text[angle + 1] == ')') {
            end = angle + 1; // "<…>" holds the target, ")" and all
        } else if (auto own = balanced.find(close + 1); own != balanced.end()) {
            end = own->second;
        }
        out.append(text, copied, at - copied);
        out.append(text, start, close - start);
        copied = end + 1;
        at = end;
    }
    out.append(text, copied);
    return out;
}

// The characters the emphasis walk reads as marks; text that must stay as
// written has them escaped.
constexpr std::string_view walkMarks = "\\`*_";

void appendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        if (walkMarks.find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
}

// A numeric reference's digits ("#169", "#xA9") as a scalar, or none. Zero,
// surrogates, scalars past Unicode and control characters other than white
// space read as U+FFFD.
std::optional<char32_t> numericReference(std::string_view digits)
{
    const bool hex = digits.size() > 1 && (digits[1] == 'x' || digits[1] == 'X');
    std::string_view number = digits.substr(hex ? 2 : 1);
    if (number.empty() || number.size() > (hex ? 6u : 7u)) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : number) {
        int d = c >= '0' && c <= '9' ? c - '0' : !hex ? -1 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
    }
    const bool control = value < 0x20 && value != '\t' && value != '\n' && value != '\r';
    if (value == 0 || control || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return U'\uFFFD';
    return static_cast<char32_t>(value);
}

// "&copy;", "&#169;" and "&#xA9;" as the character they name; a reference
// HTML doesn't know stays as written. "&nbsp;" is an ordinary space, as
// writers use it to keep words apart. What a reference gives is text, never
// a mark.
void decodeReferences(std::string& text)
{
    if (text.find('&') == std::string::npos) return;
    constexpr std::size_t longestName = 32; // HTML's longest reference name
    std::string out;
    std::size_t copied = 0, semi = 0; // the first ";" ahead, found once for a run of "&"
    for (std::size_t amp = text.find('&'); amp != std::string_view::npos; amp = text.find('&', amp + 1)) {
        if (semi <= amp && (semi = text.find(';', amp + 1)) == std::string::npos) break;
        if (semi == amp + 1 || semi - amp - 1 > longestName) continue;
        std::string_view name = std::string_view(text).substr(amp + 1, semi - amp - 1);
        std::string decoded;
        if (name == "nbsp") {
            decoded = " ";
        } else if (name[0] == '#') {
            auto scalar = numericReference(name);
            if (!scalar) continue;
            decoded = Text::fromScalars(std::u32string(1, *scalar));
        } else if (auto entity = htmlEntity(name)) {
            decoded = *entity;
        } else {
            continue;
        }
        out.append(text, copied, amp - copied);
        appendEscaped(out, decoded);
        copied = semi + 1;
        amp = semi;
    }
    if (copied == 0) return;
    out.append(text, copied);
    text = std::move(out);
}

// A code span's text and the marks that stand for it while the rest is cleaned.
constexpr char spanStart = '\x02';
constexpr char spanEnd = '\x03';

struct SetAside {
    std::string text;               // with a mark for each code span
    std::vector<std::string> spans; // the spans' texts, by mark number
};

bool isAsciiPunctuation(char c)
{
    return std::string_view("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~").find(c) != std::string_view::npos;
}

// Finds the code spans: a run of n backticks up to the next run of exactly n.
// A run with no such closer is text. Inside a span nothing is escaped; line
// ends read as spaces, and one space at both ends goes. The runs of each
// length are listed first, so each opener finds its closer by search.
// Outside them, a punctuation character escaped with a backslash is set
// aside as a span of its own, so that no tag, link or reference is read into
// it ("\<br>", "\[not a link](u)", "\&copy;").
SetAside withCodeSpansSetAside(std::string_view text)
{
    std::map<std::size_t, std::vector<std::size_t>> runs; // length -> starts
    for (std::size_t i = text.find('`'); i != std::string_view::npos;) {
        std::size_t end = std::min(text.find_first_not_of('`', i), text.size());
        runs[end - i].push_back(i);
        i = text.find('`', end);
    }
    SetAside out;
    constexpr std::string_view special = "\\`\x02";
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t next = std::min(Text::findAnyOf(text, special, i), text.size());
        out.text.append(text, i, next - i);
        if ((i = next) == text.size()) break;
        const char c = text[i];
        if (c == '\\') {
            if (i + 1 < text.size() && isAsciiPunctuation(text[i + 1])) {
                out.text += spanStart + std::to_string(out.spans.size()) + spanEnd;
                out.spans.emplace_back(1, text[i + 1]);
            } else {
                out.text.append(text, i, 2);
            }
            i += 2;
            continue;
        }
        if (c == spanStart) { // no mark may come from the text itself
            ++i;
            continue;
        }
        std::size_t end = std::min(text.find_first_not_of('`', i), text.size());
        const auto& starts = runs[end - i];
        auto closer = std::lower_bound(starts.begin(), starts.end(), end);
        if (closer == starts.end()) {
            appendEscaped(out.text, text.substr(i, end - i));
            i = end;
            continue;
        }
        std::string code(text.substr(end, *closer - end));
        std::replace(code.begin(), code.end(), '\n', ' ');
        if (code.size() >= 2 && code.front() == ' ' && code.back() == ' ' && code.find_first_not_of(' ') != std::string::npos)
            code = code.substr(1, code.size() - 2);
        out.text += spanStart + std::to_string(out.spans.size()) + spanEnd;
        out.spans.push_back(std::move(code));
        i = *closer + (end - i);
    }
    return out;
}

// The text with each code span's mark replaced by its text, escaped so the
// walk keeps it as written.
std::string withCodeSpansBack(std::string_view text, const std::vector<std::string>& spans)
{
    std::string out;
    std::size_t copied = 0;
    for (std::size_t at = text.find(spanStart); at != std::string_view::npos; at = text.find(spanStart, at + 1)) {
        out.append(text, copied, at - copied);
        std::size_t end = text.find(spanEnd, at + 1);
        copied = at + 1;
        if (end == std::string_view::npos) continue;
        std::size_t index = spans.size();
        std::string_view digits = text.substr(at + 1, end - at - 1);
        if (!digits.empty() && digits.size() < 10 && digits.find_first_not_of("0123456789") == std::string_view::npos)
            index = std::stoul(std::string(digits));
        if (index >= spans.size()) continue;
        appendEscaped(out, spans[index]);
        copied = end + 1;
        at = end;
    }
    out.append(text, copied);
    return out;
}

// Whether a "<br" in any case with a ">" after it is in the text: only then
// can the line-break pattern match, and the search for it costs more than this look.
bool mayHoldLineBreak(std::string_view text)
{
    for (std::size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1))
        if (lt + 2 < text.size() && (text[lt + 1] | 0x20) == 'b' && (text[lt + 2] | 0x20) == 'r')
            return text.find('>', lt + 3) != std::string_view::npos;
    return false;
}

std::string cleaned(std::string_view text, const std::set<std::string>& references)
{
    static const Platform::Regex lineBreak("<br\\s*/?>", Platform::Regex::CaseInsensitive);
    std::string out = mayHoldLineBreak(text) ? lineBreak.replaceAll(text, "\n") : std::string(text);
    out = withoutTags(out);
    out = keepingBracketText(out, "![", 0); // pictures leave their alternative text
    out = keepingBracketText(out, "[", 1);  // links leave their text
    out = withoutReferenceLinks(out, references);
    decodeReferences(out);
    return out;
}

class EmphasisWalk {
public:
    explicit EmphasisWalk(std::string_view text) : chars_(Text::characters(text))
    {
        const std::size_t n = chars_.size();
        nextStar_.assign(n + 1, n);
        nextUnderscore_.assign(n + 1, n);
        for (std::size_t i = n; i-- > 0;) {
            nextStar_[i] = chars_[i] == "*" ? i : nextStar_[i + 1];
            nextUnderscore_[i] = chars_[i] == "_" ? i : nextUnderscore_[i + 1];
        }
    }

    Runs run()
    {
        const std::size_t n = chars_.size();
        std::size_t i = 0;
        while (i < n) {
            std::string_view c = chars_[i];
            std::string_view next = at(i + 1);
            if (c == "\\" && next.size() == 1 && walkMarks.find(next) != std::string_view::npos) {
                buffer_ += next;
                i += 2;
            } else if ((c == "*" || c == "_") && next == c && !isIntraWordUnderscores(i)) {
                emit();
                bold_ = !bold_;
                i += 2;
            } else if (c == "*" || c == "_") {
                if (isLiteralMarker(i)) buffer_ += c;
                else emit(), italic_ = !italic_;
                i += 1;
            } else {
                buffer_ += c;
                i += 1;
            }
        }
        emit();
        return tidied(std::move(runs_));
    }

private:
    std::string_view at(std::size_t i) const { return i < chars_.size() ? chars_[i] : std::string_view(" "); }
    std::string_view before(std::size_t i) const { return i == 0 ? std::string_view(" ") : chars_[i - 1]; }

    // Within a word, digits included ("var_2_x", "5_6_78"), "_" is text.
    static bool isWordCharacter(std::string_view c) { return Text::isLetter(c) || Text::isNumber(c); }

    bool isIntraWordUnderscores(std::size_t i) const
    {
        return chars_[i] == "_" && isWordCharacter(before(i)) && isWordCharacter(at(i + 2));
    }

    bool isLiteralMarker(std::size_t i) const
    {
        std::string_view m = chars_[i], prev = before(i), next = at(i + 1);
        bool inWord = m == "_" && isWordCharacter(prev) && isWordCharacter(next);
        if (italic_) return Text::isWhitespace(prev) || inWord;
        const auto& following = m == "*" ? nextStar_ : nextUnderscore_;
        return Text::isWhitespace(next) || inWord || following[i + 1] >= chars_.size();
    }

    void emit()
    {
        if (buffer_.empty()) return;
        runs_.emplace_back(std::move(buffer_), bold_, italic_);
        buffer_.clear();
    }

    std::vector<std::string_view> chars_;
    std::vector<std::size_t> nextStar_, nextUnderscore_;
    std::string buffer_;
    Runs runs_;
    bool bold_ = false;
    bool italic_ = false;
};

// The runs of cleaned text. Without a mark the walk would take every
// character into one plain run: it is not set up for that.
Runs emphasised(std::string text)
{
    if (Text::findAnyOf(text, "*_\\") != std::string::npos) return EmphasisWalk(text).run();
    Runs runs;
    if (!text.empty()) runs.emplace_back(std::move(text), false, false);
    return tidied(std::move(runs));
}

} // namespace

Runs markdownInline(std::string_view text, const std::set<std::string>& references)
{
    if (text.empty()) return {};
    if (Text::findAnyOf(text, "`\\") == std::string_view::npos) return emphasised(cleaned(text, references));
    SetAside aside = withCodeSpansSetAside(text);
    std::string clean = cleaned(aside.text, references);
    if (!aside.spans.empty()) clean = withCodeSpansBack(clean, aside.spans);
    return emphasised(std::move(clean));
}

} // namespace FolmiraKit
