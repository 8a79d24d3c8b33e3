#include "FolmiraKit/Readers/Markdown.h"

#include "FolmiraKit/Readers/PlainText.h"
#include "Platform/Images.h"
#include "Platform/Regex.h"
#include "Platform/Text.h"

#include <algorithm>
#include <fstream>
#include <unordered_map>

namespace FolmiraKit {

namespace Text = Platform::Text;
namespace fs = std::filesystem;
using Platform::Regex;

namespace {

// A picture larger than this is not read: no real document needs more, and a
// path naming a device or a huge file must not fill memory.
constexpr std::uintmax_t maxPictureBytes = 50u * 1024 * 1024;
// The bytes of all pictures one read hands to the document, each use counted:
// a picture shown a thousand times is copied into every use. Uses past it are
// left out.
constexpr std::uintmax_t maxDocumentPictureBytes = 192u * 1024 * 1024;
// Short rows are padded with empty cells only up to this many cells in all: a
// header of a million pipes over many rows must not multiply into billions.
constexpr std::size_t maxPaddedCells = 1'000'000;

Runs withBold(Runs runs, bool bold)
{
    for (auto& run : runs) run.bold = bold;
    return runs;
}

Runs withItalic(Runs runs, bool italic)
{
    for (auto& run : runs) run.italic = italic;
    return runs;
}

// Code is indented by this many columns.
constexpr int codeIndent = 4;

// The line without its first four columns of indentation; a tab that
// reaches past them leaves its remaining columns as spaces.
std::string withoutIndent(std::string_view line)
{
    int column = 0;
    std::size_t at = 0;
    while (at < line.size() && column < codeIndent && (line[at] == ' ' || line[at] == '\t')) {
        column = line[at] == '\t' ? column + 4 - column % 4 : column + 1;
        ++at;
    }
    return std::string(static_cast<std::size_t>(std::max(0, column - codeIndent)), ' ') + std::string(line.substr(at));
}

// Whether the line holds only its first character, ASCII spaces and
// controls, and other than ASCII (a space the rule pattern's \s may take):
// any other character keeps it from being a rule, which a list item's first
// letter tells before the pattern runs.
bool mayBeRule(std::string_view t)
{
    return std::all_of(t.begin(), t.end(), [&](char c) {
        return c == t[0] || static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x80;
    });
}

// A row of "|", ":", "-", spaces and tabs alone read by hand as the pattern
// of isSeparatorRow reads it (each character can be read one way only); a
// row of any other character is left to the pattern.
std::optional<bool> separatorByHand(std::string_view t)
{
    if (!std::all_of(t.begin(), t.end(), [](char c) { return c == '|' || c == ':' || c == '-' || c == ' ' || c == '\t'; }))
        return std::nullopt;
    std::size_t at = 0;
    const auto blanks = [&] {
        while (at < t.size() && (t[at] == ' ' || t[at] == '\t')) ++at;
    };
    const auto cell = [&] {
        blanks();
        if (at < t.size() && t[at] == ':') ++at;
        const std::size_t dashes = at;
        while (at < t.size() && t[at] == '-') ++at;
        if (at - dashes < 2) return false;
        if (at < t.size() && t[at] == ':') ++at;
        blanks();
        return true;
    };
    if (at < t.size() && t[at] == '|') ++at;
    if (!cell()) return false;
    while (at < t.size() && t[at] == '|') {
        const std::size_t bar = at++;
        if (!cell()) {
            at = bar + 1; // a last "|" with no cell after it
            break;
        }
    }
    return at == t.size();
}

bool isSeparatorRow(std::string_view line)
{
    static const Regex separator("^\\|?\\s*:?-{2,}:?\\s*(\\|\\s*:?-{2,}:?\\s*)*\\|?$");
    std::string_view t = Text::trimSpacesTabs(line);
    if (!Text::contains(t, "-")) return false;
    if (auto byHand = separatorByHand(t)) return *byHand;
    return separator.search(t);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Percent-decoding that fails on a broken escape, on bytes that are not UTF-8
// and on NUL, which no file name may hold.
std::optional<std::string> percentDecoded(std::string_view path)
{
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '%') {
            out += path[i];
            continue;
        }
        if (i + 2 >= path.size()) return std::nullopt;
        int high = hexValue(path[i + 1]), low = hexValue(path[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (out.find('\0') != std::string::npos) return std::nullopt;
    std::vector<std::uint8_t> bytes(out.begin(), out.end());
    if (!Text::decodeUtf8(bytes)) return std::nullopt;
    return out;
}

// The picture's bytes, read from the file the path names relative to the
// document's folder, as written: "../" leaves the folder, as a docs/ folder's
// pictures one level up do. The path is appended to the folder, so an
// absolute path does not replace it. Only a regular file within the size cap
// is read: a FIFO would block the read and a device could fill memory.
std::optional<std::vector<std::uint8_t>> pictureBytes(const fs::path& folder, std::string_view path)
{
    if (Text::contains(path, "://")) return std::nullopt;
    auto decoded = percentDecoded(path);
    if (!decoded) return std::nullopt;
    // An empty folder is the current one, not the root the joined path would start at.
    const fs::path file((folder.empty() ? std::string(".") : folder.string()) + "/" + *decoded);
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return std::nullopt;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size > maxPictureBytes) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size));
    if (in.bad() || static_cast<std::uintmax_t>(in.gcount()) != size) return std::nullopt;
    return data;
}

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The scalar that starts at `at`, and where the next one starts.
std::pair<char32_t, std::size_t> scalarAt(std::string_view text, std::size_t at)
{
    std::size_t next = at + 1;
    while (next < text.size() && isContinuationByte(text[next])) ++next;
    return {Text::firstScalar(text.substr(at, next - at)).value_or(0), next};
}

// The scalar that ends text[0, end), and where it starts.
std::pair<char32_t, std::size_t> scalarBefore(std::string_view text, std::size_t end)
{
    std::size_t start = end - 1;
    while (start > 0 && isContinuationByte(text[start])) --start;
    return {Text::firstScalar(text.substr(start, end - start)).value_or(0), start};
}

struct HashHeading {
    int hashes = 0;
    std::string_view title;
};

// "## Title ##": the run of "#" and the title without the closing hashes,
// which follow a space: "## Learning C#" keeps its "#". Worked out by hand
// from the end of the line: a pattern's lazy title retries its tail at every
// character, which is quadratic over a long run of "#" or spaces.
std::optional<HashHeading> hashHeading(std::string_view t)
{
    std::size_t hashes = t.find_first_not_of('#');
    if (hashes == 0 || hashes == std::string_view::npos || hashes > 6) return std::nullopt;
    std::size_t start = hashes;
    while (start < t.size()) {
        auto [c, next] = scalarAt(t, start);
        if (!Text::isWhitespaceScalar(c)) break;
        start = next;
    }
    if (start == hashes) return std::nullopt;

    std::size_t end = t.size();
    auto stripBack = [&](auto drop) {
        while (end > start) {
            auto [c, at] = scalarBefore(t, end);
            if (!drop(c)) break;
            end = at;
        }
    };
    stripBack(Text::isWhitespaceScalar);
    const std::size_t withHashes = end;
    stripBack([](char32_t c) { return c == U'#'; });
    if (end > start && !Text::isWhitespaceScalar(scalarBefore(t, end).first)) end = withHashes;
    stripBack(Text::isWhitespaceScalar);
    std::string_view title = t.substr(start, end - start);
    // The title is made of "." characters, which match no line end.
    for (char32_t c : Text::scalars(title))
        if (Text::isNewlineScalar(c)) return std::nullopt;
    return HashHeading{static_cast<int>(hashes), title};
}

class MarkdownWalk {
public:
    MarkdownWalk(const MarkdownSource& source, const std::optional<fs::path>& folder, bool keepLineBreaks)
        : lines_(source.lines), references_(source.references), folder_(folder), keepLineBreaks_(keepLineBreaks)
    {
    }

    void run()
    {
        std::size_t i = 0;
        while (i < lines_.size()) i = step(i);
        flush();
    }

    Blocks blocks;
    int picturesLeftOut = 0;

private:
    // Tests line i and returns the index of the next line to test.
    std::size_t step(std::size_t i)
    {
        static const Regex rule("^([-*_])(\\s*\\1){2,}$");
        static const Regex picture("^!\\[([^\\]]*)\\]\\(([^)\\s]+)(?:\\s+\"[^\"]*\")?\\)$");

        const std::string& line = lines_[i];
        std::string_view t = Text::trimSpacesTabs(line);
        if (t.empty()) {
            flush();
            return i + 1;
        }
        if (markdownIndent(line) >= codeIndent) {
            if (pending_.empty() && !inList()) return indentedCode(i);
            // Indented so, a line starts nothing: it goes on the paragraph.
            if (!pending_.empty()) {
                pending_.push_back(line);
                return i + 1;
            }
        }
        if (markdownFence(t)) return fence(i);
        if (auto h = hashHeading(t)) {
            flush();
            blocks.push_back(Block::heading(std::min(h->hashes, 3), withBold(inlineRuns(h->title), false)));
            return i + 1;
        }
        if (pending_.size() == 1) {
            if (auto underline = setextUnderline(t)) {
                Runs runs = withBold(inlineRuns(Text::trimSpacesTabs(pending_[0])), false);
                pending_.clear();
                blocks.push_back(Block::heading(*underline == '=' ? 1 : 2, std::move(runs)));
                return i + 1;
            }
        }
        // The patterns are tried only on lines that can start them: they are
        // the costliest part of a line's walk.
        if ((t[0] == '-' || t[0] == '*' || t[0] == '_') && mayBeRule(t) && rule.search(t)) {
            flush();
            blocks.push_back(Block::rule());
            return i + 1;
        }
        if (Text::contains(t, "|") && i + 1 < lines_.size() && isSeparatorRow(lines_[i + 1])) return table(i, t);
        // The pattern ends at a ")": without one it would run the line's length for nothing.
        if (auto m = Text::startsWith(t, "![") && Text::contains(t, ")") ? picture.firstMatch(t) : std::nullopt) {
            flush();
            addPicture(std::string(m->text(1)), m->text(2));
            return i + 1;
        }
        if (auto item = markdownListItem(line)) return listItem(i, std::move(*item));
        if (Text::startsWith(t, ">")) return quote(i);
        pending_.push_back(line);
        return i + 1;
    }

    // "```" inside "````", or "``` lang", is code, not the fence's end.
    std::size_t fence(std::size_t i)
    {
        flush();
        std::size_t j = i + 1;
        std::string code;
        bool any = false;
        for (; j < lines_.size(); ++j) {
            if (markdownClosesFence(lines_[i], lines_[j])) {
                ++j;
                break;
            }
            if (any) code += '\n';
            code += lines_[j];
            any = true;
        }
        if (any) blocks.push_back(Block::paragraph({Run(std::move(code))}, true));
        return j;
    }

    // Lines indented by four columns or more, blank lines among them, with
    // four columns taken off: kept as written, as fenced code is.
    std::size_t indentedCode(std::size_t i)
    {
        std::size_t j = i, end = i;
        for (; j < lines_.size(); ++j) {
            const bool blank = Text::trimSpacesTabs(lines_[j]).empty();
            if (!blank && markdownIndent(lines_[j]) < codeIndent) break;
            if (!blank) end = j + 1;
        }
        std::string code;
        for (std::size_t k = i; k < end; ++k) {
            if (k > i) code += '\n';
            code += withoutIndent(lines_[k]);
        }
        blocks.push_back(Block::paragraph({Run(std::move(code))}, true));
        return end;
    }

    // Whether the last block is a list item that an indented line continues.
    bool inList() const { return !blocks.empty() && blocks.back().as<Block::ListItem>(); }

    std::size_t table(std::size_t i, std::string_view header)
    {
        flush();
        std::vector<std::vector<std::string>> cells{markdownTableCells(header)};
        std::size_t j = i + 2;
        for (; j < lines_.size(); ++j) {
            std::string_view t = Text::trimSpacesTabs(lines_[j]);
            if (t.empty() || !Text::contains(lines_[j], "|")) break;
            cells.push_back(markdownTableCells(lines_[j]));
        }
        std::size_t columns = 0;
        for (const auto& row : cells) columns = std::max(columns, row.size());
        const bool pad = columns <= maxPaddedCells / cells.size();
        std::vector<Block::Row> rows;
        rows.reserve(cells.size());
        for (auto& row : cells) {
            if (pad) row.resize(columns);
            Block::Row converted;
            converted.reserve(row.size()); // unpadded, a short row stays short
            for (const auto& cell : row) converted.push_back(inlineRuns(cell));
            rows.push_back(std::move(converted));
            std::vector<std::string>().swap(row); // the raw text goes as its runs come
        }
        blocks.push_back(Block::table(std::move(rows), true));
        return j;
    }

    std::size_t listItem(std::size_t i, MarkdownListItem item)
    {
        flush();
        std::size_t j = i + 1;
        for (; j < lines_.size(); ++j) {
            std::string_view t = Text::trimSpacesTabs(lines_[j]);
            if (t.empty() || markdownListItem(lines_[j]) || Text::startsWith(t, "#") || Text::startsWith(t, ">") ||
                Text::startsWith(markdownFence(t).value_or(""), "```"))
                break;
            item.text += ' ';
            item.text += t;
        }
        blocks.push_back(Block::listItem(item.marker, item.level, inlineRuns(item.text)));
        return j;
    }

    std::size_t quote(std::size_t i)
    {
        flush();
        std::string text;
        std::size_t j = i;
        for (; j < lines_.size(); ++j) {
            std::string_view t = Text::trimSpacesTabs(lines_[j]);
            if (!Text::startsWith(t, ">")) break;
            if (j > i) text += keepLineBreaks_ ? '\n' : ' ';
            text += t.substr(std::min(t.find_first_not_of("> "), t.size()));
        }
        Runs runs = withItalic(inlineRuns(text), true);
        if (!runs.empty()) blocks.push_back(Block::paragraph(std::move(runs), keepLineBreaks_ && j > i + 1));
        return j;
    }

    void addPicture(std::string alt, std::string_view path)
    {
        if (folder_) {
            // Each path is read and sized once, however often it is shown.
            auto [known, isNew] = pictures_.try_emplace(std::string(path));
            if (isNew) {
                if (auto data = pictureBytes(*folder_, path))
                    if (auto info = Platform::imageInfo(*data))
                        known->second = Picture{std::move(*data), info->width, info->height, ""};
            }
            if (known->second && known->second->data.size() <= maxDocumentPictureBytes - documentPictureBytes_) {
                documentPictureBytes_ += known->second->data.size();
                Picture picture = *known->second;
                picture.alt = std::move(alt);
                blocks.push_back(Block::image(std::move(picture)));
                return;
            }
        }
        ++picturesLeftOut;
        if (!alt.empty()) blocks.push_back(Block::paragraph({Run("[Picture: " + alt + "]", false, true)}, false));
    }

    void flush()
    {
        if (pending_.empty()) return;
        std::string text;
        bool lineBreaks = false;
        for (std::size_t k = 0; k < pending_.size(); ++k) {
            std::string_view t = Text::trimSpacesTabs(pending_[k]);
            bool hardBreak = Text::endsWith(t, "\\");
            if (hardBreak) t.remove_suffix(1);
            text += t;
            if (k + 1 < pending_.size()) {
                bool kept = hardBreak || keepLineBreaks_;
                std::string_view next = Text::trimSpacesTabs(pending_[k + 1]);
                if (kept || !Text::joinsWithoutSpace(Text::lastCharacter(t), Text::firstCharacter(next)))
                    text += kept ? '\n' : ' ';
                lineBreaks = lineBreaks || kept;
            }
        }
        pending_.clear();
        Runs runs = inlineRuns(text);
        if (!runs.empty()) blocks.push_back(Block::paragraph(std::move(runs), lineBreaks));
    }

    Runs inlineRuns(std::string_view text) const { return markdownInline(text, references_); }

    const Lines& lines_;
    const std::set<std::string>& references_;
    const std::optional<fs::path>& folder_;
    std::unordered_map<std::string, std::optional<Picture>> pictures_; // by path as written; none: not a picture
    std::uintmax_t documentPictureBytes_ = 0;
    const bool keepLineBreaks_;
    Lines pending_;
};

std::string leftOutNote(int n)
{
    return std::to_string(n) + " picture" + (n == 1 ? "" : "s") + " in this Markdown file " +
           (n == 1 ? "wasn’t" : "weren’t") +
           " included: Folmira reads only the file you open and doesn’t download pictures from the web.";
}

} // namespace

std::optional<std::string_view> markdownFence(std::string_view trimmed)
{
    if (!Text::startsWith(trimmed, "~~~") && !Text::startsWith(trimmed, "```")) return std::nullopt;
    const std::size_t run = std::min(trimmed.find_first_not_of(trimmed[0]), trimmed.size());
    if (trimmed[0] == '`' && trimmed.find('`', run) != std::string_view::npos) return std::nullopt;
    return trimmed.substr(0, run);
}

bool markdownClosesFence(std::string_view opening, std::string_view line)
{
    const std::string_view marker = markdownFence(Text::trimSpacesTabs(opening)).value_or("");
    std::string_view t = Text::trimSpacesTabs(line);
    return !marker.empty() && t.size() >= marker.size() && t.find_first_not_of(marker[0]) == std::string_view::npos &&
           markdownIndent(line) < markdownIndent(opening) + codeIndent;
}

int markdownIndent(std::string_view line)
{
    int column = 0;
    for (char c : line) {
        if (c == ' ') ++column;
        else if (c == '\t') column += 4 - column % 4;
        else break;
    }
    return column;
}

namespace {

// Whether a line end (as a pattern's "." refuses one: VT, FF, CR, LF, NEL,
// U+2028, U+2029) stands in `text` nowhere but as its last character or a
// final CR LF; that one is taken off.
bool endsWithOnlyLineEnd(std::string_view& text)
{
    static constexpr std::string_view ends[] = {"\r\n", "\v", "\f", "\r", "\n", "\u0085", "\u2028", "\u2029"};
    for (std::string_view end : ends)
        if (text.ends_with(end)) {
            text.remove_suffix(end.size());
            break;
        }
    if (Text::findAnyOf(text, "\v\f\r\n") != std::string_view::npos) return false;
    for (std::string_view end : {"\u0085", "\u2028", "\u2029"})
        if (text.find(end) != std::string_view::npos) return false;
    return true;
}

} // namespace

std::optional<MarkdownListItem> markdownListItem(std::string_view line)
{
    // Read by hand, as the pattern /^([ \t]*)([-*+]|[0-9]{1,3}[.)])[ \t]+(.*)$/
    // would: spaces and tabs, a bullet or a number of one to three digits and
    // its delimiter, at least one space or tab, then the text, in which only
    // the last character may end a line (it is not part of the text).
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) return std::nullopt;
    std::size_t labelEnd = first;
    if (line[first] == '-' || line[first] == '*' || line[first] == '+') {
        labelEnd = first + 1;
    } else {
        while (labelEnd < line.size() && labelEnd - first < 4 && line[labelEnd] >= '0' && line[labelEnd] <= '9') ++labelEnd;
        const std::size_t digits = labelEnd - first;
        if (digits == 0 || digits > 3 || labelEnd >= line.size() || (line[labelEnd] != '.' && line[labelEnd] != ')'))
            return std::nullopt;
        ++labelEnd;
    }
    if (labelEnd >= line.size() || (line[labelEnd] != ' ' && line[labelEnd] != '\t')) return std::nullopt;
    const std::size_t textStart = line.find_first_not_of(" \t", labelEnd);
    std::string_view text = textStart == std::string_view::npos ? std::string_view() : line.substr(textStart);
    if (!endsWithOnlyLineEnd(text)) return std::nullopt;
    int width = 0;
    for (char c : line.substr(0, first)) width += c == '\t' ? 4 : 1;
    std::string_view label = line.substr(first, labelEnd - first);
    bool bullet = label == "-" || label == "*" || label == "+";
    return MarkdownListItem{bullet ? "\u2022" : std::string(label), std::min(width / 2, 3), std::string(text)};
}

std::vector<std::string> markdownTableCells(std::string_view line)
{
    std::string_view t = Text::trimSpacesTabs(line);
    if (Text::startsWith(t, "|")) t.remove_prefix(1);
    if (Text::endsWith(t, "|") && !Text::endsWith(t, "\\|")) t.remove_suffix(1);
    std::string text(t);
    Text::replaceAll(text, "\\|", "\x01");
    std::vector<std::string> cells;
    std::size_t start = 0;
    while (true) {
        std::size_t bar = text.find('|', start);
        std::string cell = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        std::replace(cell.begin(), cell.end(), '\x01', '|');
        cells.emplace_back(Text::trimSpacesTabs(cell));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return cells;
}

BigDocument readMarkdown(const std::vector<std::uint8_t>& data, const std::string& title,
                         const std::optional<fs::path>& folder, bool keepLineBreaks)
{
    MarkdownSource source = markdownSource(splitTextLines(decodeText(data)));
    MarkdownWalk walk(source, folder, keepLineBreaks);
    walk.run();
    if (walk.blocks.empty()) throw ConversionError(ConversionError::Reason::empty, emptyFileMessage);
    std::vector<ConversionNote> notes;
    if (walk.picturesLeftOut > 0) notes.emplace_back(ConversionNote::Kind::warning, leftOutNote(walk.picturesLeftOut));
    return BigDocument{title, BigDocument::Source::markdown, std::move(walk.blocks), std::move(notes)};
}

} // namespace FolmiraKit
