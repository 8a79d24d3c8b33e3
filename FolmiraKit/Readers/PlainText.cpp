#include "FolmiraKit/Readers/PlainText.h"

#include "FolmiraKit/Readers/Inference.h"
#include "Platform/Text.h"

#include <algorithm>

namespace FolmiraKit {

namespace Text = Platform::Text;

std::string decodeText(const std::vector<std::uint8_t>& data)
{
    if (Text::startsWithBytes(data, {0xEF, 0xBB, 0xBF})) return Text::decodeUtf8Lossy(data.data() + 3, data.size() - 3);
    // UTF-32's marks first: the little-endian one begins with UTF-16's. Data
    // that isn't UTF-32 after all (FF FE 00 00 is also UTF-16 text starting
    // with a NUL) is tried as UTF-16 as before.
    const bool little32 = Text::startsWithBytes(data, {0xFF, 0xFE, 0x00, 0x00});
    if (little32 || Text::startsWithBytes(data, {0x00, 0x00, 0xFE, 0xFF}))
        if (auto text = Text::decodeUtf32(data.data() + 4, data.size() - 4, little32)) return std::move(*text);
    if (Text::startsWithBytes(data, {0xFF, 0xFE}) || Text::startsWithBytes(data, {0xFE, 0xFF})) {
        if (auto text = Text::decodeUtf16(data)) return std::move(*text);
        return Text::decodeUtf8Lossy(data);
    }
    if (auto text = Text::decodeUtf8(data)) return std::move(*text);
    if (auto text = Text::decodeWindows1252(data)) return std::move(*text);
    return Text::decodeUtf8Lossy(data);
}

namespace {

// Calls `line` with each line of `text` (ended by CR LF, CR, LF or form feed),
// trailing spaces and tabs taken off.
template <typename Each>
void forEachLine(std::string_view text, Each&& line)
{
    auto trimmed = [](std::string_view part) {
        std::size_t end = part.find_last_not_of(" \t");
        return part.substr(0, end == std::string_view::npos ? 0 : end + 1);
    };
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        char c = text[at];
        if (c != '\n' && c != '\r' && c != '\f') continue;
        line(trimmed(text.substr(start, at - start)));
        if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
        start = at + 1;
    }
    line(trimmed(text.substr(start)));
}

} // namespace

Lines splitTextLines(std::string_view text)
{
    Lines lines;
    lines.reserve(text.size() / 40 + 1);
    forEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

namespace {

bool isBlankLine(std::string_view line) { return Text::trimSpacesTabs(line).empty(); }

bool endsSentence(std::string_view text)
{
    std::string_view last = Text::lastCharacter(text);
    return last == "." || last == "!" || last == "?";
}

int wordCount(std::string_view text) { return static_cast<int>(Text::splitOmittingEmpty(text, U' ').size()); }

Block textParagraph(std::string text, bool lineBreaks) { return Block::paragraph({Run(std::move(text))}, lineBreaks); }

// Leading quote marks (any mix of ">" and " ") go; the text stays ordinary text.
std::string unquoted(const std::string& line)
{
    if (line.empty() || line.front() != '>') return line;
    return line.substr(std::min(line.find_first_not_of("> "), line.size()));
}

int indentation(std::string_view line)
{
    int width = 0;
    for (char c : line) {
        if (c == ' ') width += 1;
        else if (c == '\t') width += 4;
        else break;
    }
    return width;
}

// Builds list items, lead-in headings and lead-in paragraphs from a group's lines.
class ListBuilder {
public:
    void add(const std::string& line)
    {
        auto marker = Inference::listMarker(line);
        if (!marker) {
            if (item_) item_->lines.push_back(line);
            else addLeadIn(line);
            return;
        }
        flush();
        int level = std::min((indentation(line) + 2) / 4, 3);
        item_ = OpenItem{marker->marker, level, {marker->text}};
    }

    Blocks finish()
    {
        flush();
        return std::move(blocks_);
    }

private:
    struct OpenItem {
        std::string marker;
        int level = 0;
        Lines lines;
    };

    void addLeadIn(const std::string& line)
    {
        std::string_view t = Text::trimSpacesTabs(line);
        int length = Text::characterCount(t);
        bool label = Text::endsWith(t, ":") || (length <= 40 && !endsSentence(t));
        if (!pending_.empty() || !label) {
            pending_.push_back(line);
            return;
        }
        if (length <= 40) blocks_.push_back(Block::heading(3, {Run(std::string(t))}));
        else blocks_.push_back(textParagraph(std::string(t), false));
    }

    void flush()
    {
        if (item_) {
            blocks_.push_back(Block::listItem(item_->marker, item_->level, {Run(joinWrappedLines(item_->lines))}));
            item_.reset();
        }
        if (!pending_.empty()) {
            blocks_.push_back(textParagraph(joinWrappedLines(pending_), false));
            pending_.clear();
        }
    }

    Blocks blocks_;
    Lines pending_;
    std::optional<OpenItem> item_;
};

Blocks plainTextList(const Lines& lines)
{
    ListBuilder builder;
    for (const auto& line : lines) builder.add(line);
    return builder.finish();
}

} // namespace

std::optional<char> setextUnderline(std::string_view line)
{
    std::string_view t = Text::trimSpacesTabs(line);
    if (t.size() < 3 || (t.front() != '=' && t.front() != '-')) return std::nullopt;
    if (t.find_first_not_of(t.front()) != std::string_view::npos) return std::nullopt;
    return t.front();
}

std::vector<Lines> lineGroups(Lines lines)
{
    std::vector<Lines> groups;
    Lines current;
    for (auto& line : lines) {
        if (isBlankLine(line)) {
            if (!current.empty()) groups.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(std::move(line));
        }
    }
    if (!current.empty()) groups.push_back(std::move(current));
    return groups;
}

bool keepsLineBreaks(const Lines& lines)
{
    if (lines.size() < 2) return false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (Text::characterCount(lines[i]) > 52) return false;
        if (i + 1 < lines.size() && Text::endsWith(lines[i], "-")) return false;
    }
    std::size_t capitals = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view first = Text::firstCharacter(Text::trimSpacesTabs(lines[i]));
        if (first.empty() || !Text::isLetter(first) || Text::isUppercase(first)) ++capitals;
    }
    return capitals * 2 >= lines.size() - 1;
}

std::string joinWrappedLines(const Lines& lines)
{
    std::string result;
    for (const auto& raw : lines) {
        std::string_view line = Text::trimSpacesTabs(raw);
        if (result.empty()) {
            result = line;
            continue;
        }
        const auto hyphen = Inference::hyphenJoin(result, line);
        if (hyphen == Inference::HyphenJoin::dropHyphen) {
            result.pop_back();
        } else if (hyphen == Inference::HyphenJoin::space && !Text::joinsWithoutSpace(Text::lastCharacter(result), Text::firstCharacter(line))) {
            result += ' ';
        }
        result += line;
    }
    return result;
}

std::optional<int> plainTextHeadingLevel(std::string_view line, bool isFirst, const Lines* next)
{
    std::string_view t = Text::trimWhitespaceAndNewlines(line);
    int length = Text::characterCount(line);
    if (t.empty() || Text::characterCount(t) > 70 || Text::contains(t, "\n") || !Text::containsLetter(t) ||
        Text::endsWith(t, ",") || Text::endsWith(t, ";"))
        return std::nullopt;

    if (isFirst && length <= 70 && !endsSentence(line)) return 1;

    int letters = 0;
    bool allUpper = true;
    if (std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        // ASCII, as most lines are: each byte is a character, A to Z and a to z the only letters.
        for (char c : line) {
            const bool upper = c >= 'A' && c <= 'Z';
            if (!upper && !(c >= 'a' && c <= 'z')) continue;
            ++letters;
            allUpper = allUpper && upper;
        }
    } else {
        for (auto c : Text::characters(line)) {
            if (!Text::isLetter(c)) continue;
            ++letters;
            allUpper = allUpper && Text::isUppercase(c);
        }
    }
    if (letters >= 3 && allUpper && length <= 60) return 2;

    if (Text::endsWith(line, ":") && length <= 40) return 3;

    if (next && length <= 50 && wordCount(line) <= 7 && Text::isUppercase(Text::firstCharacter(line))) {
        static constexpr std::string_view closers[] = {".", "!", "?", ":", ",", ";", "\"", "\u201D", ")"};
        std::string_view last = Text::lastCharacter(line);
        bool closed = std::find(std::begin(closers), std::end(closers), last) != std::end(closers);
        std::size_t nextLength = next->empty() ? 0 : next->size() - 1; // the joining spaces
        for (const auto& l : *next) nextLength += static_cast<std::size_t>(Text::characterCount(l));
        if (!closed && static_cast<std::size_t>(length) < nextLength) return 3;
    }
    return std::nullopt;
}

Blocks plainTextParagraphs(const Lines& group, bool isFirst, const Lines* next, bool keepBreaks)
{
    Lines lines;
    lines.reserve(group.size());
    for (const auto& line : group) {
        std::string text = unquoted(line);
        if (!isBlankLine(text)) lines.push_back(std::move(text));
    }
    if (lines.empty()) return {};

    if (lines.size() == 2) {
        if (auto underline = setextUnderline(lines[1]))
            return {Block::heading(*underline == '=' ? 1 : 2, {Run(std::string(Text::trimSpacesTabs(lines[0])))})};
    }
    if (lines.size() >= 2 &&
        std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return Inference::listMarker(l).has_value(); }))
        return plainTextList(lines);

    if (lines.size() == 1) {
        std::string line(Text::trimSpacesTabs(lines[0]));
        if (auto marker = Inference::listMarker(line))
            return {Block::listItem(marker->marker, 0, {Run(marker->text)})};
        if (auto level = plainTextHeadingLevel(line, isFirst, next)) return {Block::heading(*level, {Run(line)})};
        return {textParagraph(line, false)};
    }

    if (keepBreaks || keepsLineBreaks(lines)) {
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) text += '\n';
            text += Text::trimSpacesTabs(lines[i]);
        }
        return {textParagraph(std::move(text), true)};
    }
    return {textParagraph(joinWrappedLines(lines), false)};
}

Blocks plainTextBlocks(const std::vector<Lines>& groups, bool keepBreaks)
{
    Blocks blocks;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const Lines* next = i + 1 < groups.size() ? &groups[i + 1] : nullptr;
        Blocks made = plainTextParagraphs(groups[i], i == 0, next, keepBreaks);
        std::move(made.begin(), made.end(), std::back_inserter(blocks));
    }
    return blocks;
}

namespace {

// The groups of `text`, made line by line: only non-blank lines are kept, so a
// file of blank lines costs nothing per line.
std::vector<Lines> textGroups(std::string_view text)
{
    std::vector<Lines> groups;
    Lines current;
    forEachLine(text, [&](std::string_view line) {
        if (!line.empty()) {
            current.emplace_back(line);
        } else if (!current.empty()) {
            groups.push_back(std::move(current));
            current = Lines();
        }
    });
    if (!current.empty()) groups.push_back(std::move(current));
    return groups;
}

// False when the text holds nothing but control characters (NUL, the other
// C0 codes, DEL) and white space: nothing that could be made large.
bool hasText(std::string_view text)
{
    for (std::size_t at = 0; at < text.size(); ++at) {
        auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            if (byte > 0x20 && byte != 0x7F) return true;
            continue;
        }
        std::string_view rest = text.substr(at);
        auto c = Text::firstScalar(rest.substr(0, std::min<std::size_t>(4, rest.size())));
        if (c && !Text::isWhitespaceScalar(*c) && !(*c >= 0x80 && *c <= 0x9F)) return true;
        while (at + 1 < text.size() && (static_cast<unsigned char>(text[at + 1]) & 0xC0) == 0x80) ++at;
    }
    return false;
}

} // namespace

BigDocument readPlainText(const std::vector<std::uint8_t>& data, const std::string& title)
{
    std::vector<Lines> groups;
    {
        const std::string text = decodeText(data);
        if (hasText(text)) groups = textGroups(text);
    }
    if (groups.empty()) throw ConversionError(ConversionError::Reason::empty, emptyFileMessage);

    int candidates = 0, passing = 0;
    for (const auto& group : groups) {
        if (group.size() < 2 || Inference::listMarker(group.front())) continue;
        ++candidates;
        if (keepsLineBreaks(group)) ++passing;
    }
    bool keepBreaks = candidates > 0 && passing * 10 >= candidates * 7;
    return BigDocument{title, BigDocument::Source::text, plainTextBlocks(groups, keepBreaks), {}};
}

} // namespace FolmiraKit
