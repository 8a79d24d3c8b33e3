// Inline Markdown: HTML and links cleaned out by pattern, then one pass over
// the characters with a bold and an italic flag. There is no look-ahead for a
// closing "**": an unpaired one makes the rest bold, as writers expect from
// simple editors. Positions of the next "*", "_" and backtick are found ahead
// of the walk so the pass stays linear.

#include "FolmiraKit/Readers/Markdown.h"

#include "Platform/Regex.h"
#include "Platform/Text.h"

namespace FolmiraKit {

namespace Text = Platform::Text;

namespace {

// "<https://…>", "<mailto:…>" or "<ann@example.org>": an address the writer
// wants shown, not a tag.
bool isAutolink(std::string_view inside)
{
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

// Takes out every "<" + one or more characters other than ">" + ">" (an HTML
// tag), as the pattern <[^>]+> would, in one pass: a pattern search rescans
// to the end of the text from every "<" that has no ">" after it. An autolink
// leaves its address. Brackets doubled around one ("<<ann@example.org>>", a
// common way to list people) are text, as no tag starts with "<": the outer
// pair stays, the inner is the autolink.
std::string withoutTags(std::string_view text)
{
    std::string out;
    std::size_t copied = 0;
    for (std::size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
        std::size_t gt = text.find('>', lt + 1);
        if (gt == std::string_view::npos) break; // no later "<" can close either
        if (gt == lt + 1) continue;               // "<>" holds nothing
        out.append(text, copied, lt - copied);
        std::string_view inside = text.substr(lt + 1, gt - lt - 1);
        const std::size_t opened = std::min(inside.find_first_not_of('<'), inside.size());
        if (std::string_view address = inside.substr(opened); isAutolink(address)) {
            out.append(opened, '<');
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

// Replaces every `opener` + text + "](" + target + ")" by the text, as the
// pattern !\[([^\]]*)\]\([^)]*\) (opener "![", text may be empty) or
// \[([^\]]+)\]\([^)]*\) (opener "[") would. The first "]" and ")" ahead are
// remembered, so a long run of openers costs no rescans.
std::string keepingBracketText(std::string_view text, std::string_view opener, std::size_t minText)
{
    constexpr auto none = std::string_view::npos;
    std::string out;
    std::size_t copied = 0, close = 0, paren = 0;
    for (std::size_t at = text.find(opener); at != none; at = text.find(opener, at + 1)) {
        std::size_t start = at + opener.size();
        if (close < start && (close = text.find(']', start)) == none) break;
        if (close - start < minText || close + 1 >= text.size() || text[close + 1] != '(') continue;
        if (paren < close + 2 && (paren = text.find(')', close + 2)) == none) break;
        out.append(text, copied, at - copied);
        out.append(text, start, close - start);
        copied = paren + 1;
        at = paren;
    }
    out.append(text, copied);
    return out;
}

std::string cleaned(std::string_view text, const std::set<std::string>& references)
{
    static const Platform::Regex lineBreak("<br\\s*/?>", Platform::Regex::CaseInsensitive);
    std::string out = Text::contains(text, "<") ? lineBreak.replaceAll(text, "\n") : std::string(text);
    out = withoutTags(out);
    out = keepingBracketText(out, "![", 0); // pictures leave their alternative text
    out = keepingBracketText(out, "[", 1);  // links leave their text
    out = withoutReferenceLinks(out, references);
    Text::replaceAll(out, "&nbsp;", " ");
    Text::replaceAll(out, "&amp;", "&");
    Text::replaceAll(out, "&lt;", "<");
    Text::replaceAll(out, "&gt;", ">");
    return out;
}

class EmphasisWalk {
public:
    explicit EmphasisWalk(std::string_view text) : chars_(Text::characters(text))
    {
        const std::size_t n = chars_.size();
        nextStar_.assign(n + 1, n);
        nextUnderscore_.assign(n + 1, n);
        nextTick_.assign(n + 1, n);
        for (std::size_t i = n; i-- > 0;) {
            nextStar_[i] = chars_[i] == "*" ? i : nextStar_[i + 1];
            nextUnderscore_[i] = chars_[i] == "_" ? i : nextUnderscore_[i + 1];
            nextTick_[i] = chars_[i] == "`" ? i : nextTick_[i + 1];
        }
    }

    Runs run()
    {
        static constexpr std::string_view escapable = "\\`*_{}[]()#+-.!|";
        const std::size_t n = chars_.size();
        std::size_t i = 0;
        while (i < n) {
            std::string_view c = chars_[i];
            std::string_view next = at(i + 1);
            if (c == "\\" && next.size() == 1 && escapable.find(next) != std::string_view::npos) {
                buffer_ += next;
                i += 2;
            } else if (c == "`" && nextTick_[i + 1] < n) {
                std::size_t close = nextTick_[i + 1];
                for (std::size_t k = i + 1; k < close; ++k) buffer_ += chars_[k];
                i = close + 1;
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

    bool isIntraWordUnderscores(std::size_t i) const
    {
        return chars_[i] == "_" && Text::isLetter(before(i)) && Text::isLetter(at(i + 2));
    }

    bool isLiteralMarker(std::size_t i) const
    {
        std::string_view m = chars_[i], prev = before(i), next = at(i + 1);
        bool inWord = m == "_" && Text::isLetter(prev) && Text::isLetter(next);
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
    std::vector<std::size_t> nextStar_, nextUnderscore_, nextTick_;
    std::string buffer_;
    Runs runs_;
    bool bold_ = false;
    bool italic_ = false;
};

} // namespace

Runs markdownInline(std::string_view text, const std::set<std::string>& references)
{
    if (text.empty()) return {};
    std::string clean = cleaned(text, references);
    return EmphasisWalk(clean).run();
}

} // namespace FolmiraKit
