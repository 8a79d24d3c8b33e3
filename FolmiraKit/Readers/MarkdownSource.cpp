// What the line walk must not see: HTML comments, which writers use to hide
// metadata across many lines, and link reference definitions, whose labels
// the inline conversion needs to turn "[text]" into its text. Both are taken
// out before the walk, outside fenced and indented code only, in one pass over
// the lines.

#include "FolmiraKit/Readers/Markdown.h"

#include "Platform/Regex.h"
#include "Platform/Text.h"

#include <utility>

namespace FolmiraKit {

namespace Text = Platform::Text;

namespace {

constexpr std::string_view commentOpen = "<!--";
constexpr std::string_view commentClose = "-->";

struct Place {
    std::size_t line = 0;
    std::size_t at = 0; // just past the "-->"
};

// The first "-->" on line `from` or after it.
std::optional<Place> commentEnd(const Lines& lines, std::size_t from)
{
    for (std::size_t i = from; i < lines.size(); ++i) {
        std::size_t at = lines[i].find(commentClose);
        if (at != std::string::npos) return Place{i, at + commentClose.size()};
    }
    return std::nullopt;
}

class SourceWalk {
public:
    explicit SourceWalk(Lines lines) : lines_(std::move(lines)) {}

    MarkdownSource run()
    {
        MarkdownSource source;
        std::string fence;
        bool indentedCode = false; // the last line that is not blank is indented code
        bool previousBlank = true;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            std::string_view t = Text::trimSpacesTabs(lines_[i]);
            const bool afterBlank = std::exchange(previousBlank, t.empty());
            if (!fence.empty()) {
                if (markdownClosesFence(fence, lines_[i])) fence.clear();
                source.lines.push_back(std::move(lines_[i]));
                continue;
            }
            if (markdownFence(t)) {
                fence = lines_[i]; // its opening line
                source.lines.push_back(std::move(lines_[i]));
                continue;
            }
            // Indented code starts after a blank line (or none) and holds what it says.
            if (!t.empty()) indentedCode = markdownIndent(lines_[i]) >= 4 && (afterBlank || indentedCode);
            if (indentedCode) {
                source.lines.push_back(std::move(lines_[i]));
                continue;
            }
            i = withoutComments(i);
            if (auto label = definitionLabel(lines_[i])) {
                source.references.insert(markdownReferenceKey(*label));
                continue;
            }
            source.lines.push_back(std::move(lines_[i]));
        }
        return source;
    }

private:
    // Takes every closed comment out of line i; a comment that ends on a later
    // line takes the lines between with it, and what follows its end joins
    // line i. Returns the index of the last line consumed.
    std::size_t withoutComments(std::size_t i)
    {
        std::size_t last = i;
        std::size_t from = 0;
        while (!unclosed_) {
            std::string& line = lines_[i];
            std::size_t open = line.find(commentOpen, from);
            if (open == std::string::npos) break;
            from = open;
            std::size_t close = line.find(commentClose, open + commentOpen.size());
            if (close != std::string::npos) {
                line.erase(open, close + commentClose.size() - open);
                continue;
            }
            auto end = commentEnd(lines_, last + 1);
            if (!end) {
                unclosed_ = true; // no later comment can be closed either
                break;
            }
            line.erase(open);
            line += std::string_view(lines_[end->line]).substr(end->at);
            last = end->line;
        }
        return last == i ? i : moveTo(i, last);
    }

    // Puts the joined line i where the walk goes on, at `last`.
    std::size_t moveTo(std::size_t i, std::size_t last)
    {
        lines_[last] = std::move(lines_[i]);
        return last;
    }

    // "[label]: target", with an optional title, up to three spaces in.
    // Footnote definitions ("[^1]: …") are text and stay.
    static std::optional<std::string> definitionLabel(std::string_view line)
    {
        static const Platform::Regex definition("^ {0,3}\\[([^\\]\\[]+)\\]:[ \\t]*\\S+");
        if (!Text::contains(line, "]:")) return std::nullopt;
        auto m = definition.firstMatch(line);
        if (!m || Text::startsWith(m->text(1), "^")) return std::nullopt;
        return std::string(m->text(1));
    }

    Lines lines_;
    bool unclosed_ = false;
};

} // namespace

std::string markdownReferenceKey(std::string_view label)
{
    // Labels match without regard to case or to how white space is spread.
    std::string key;
    bool space = false;
    for (char c : Text::trimWhitespace(label)) {
        bool blank = c == ' ' || c == '\t' || c == '\n';
        if (blank) {
            space = true;
            continue;
        }
        if (space) key += ' ';
        space = false;
        key += c;
    }
    return Text::lowercased(key);
}

MarkdownSource markdownSource(Lines lines)
{
    return SourceWalk(std::move(lines)).run();
}

} // namespace FolmiraKit
