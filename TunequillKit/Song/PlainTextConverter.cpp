// The chords-over-lyrics conversion: a header (title and metadata lines),
// then a body read by a small state machine of two variables, the section
// that is open and a heading that has been read but not yet written. A
// heading ends the open section and waits; the first chord or lyric line
// after it opens the section it names, while a blank line closes a section
// and a tab line opens a tab section of its own.

#include "TunequillKit/Song/PlainTextConverter.h"

#include "Platform/Text.h"
#include "TunequillKit/Song/ChordMarks.h"
#include "TunequillKit/Song/ChordProParser.h"
#include "TunequillKit/Song/SongText.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace TunequillKit::PlainTextConverter {
namespace {

using Platform::Text::trimWhitespace;

// Tabs become spaces up to the next multiple of eight characters.
std::string expandTabs(std::string_view line)
{
    if (line.find('\t') == std::string_view::npos) return std::string(line);
    std::string out;
    std::size_t column = 0;
    for (std::string_view c : Platform::Text::characters(line)) {
        if (c == "\t") {
            std::size_t spaces = 8 - column % 8;
            out.append(spaces, ' ');
            column += spaces;
        } else {
            out += c;
            ++column;
        }
    }
    return out;
}

bool isBlank(std::string_view line) { return trimWhitespace(line).empty(); }

// A string with no note on it and no name: tablature only within a staff.
bool isBareString(std::string_view t)
{
    return t.starts_with('|') && t.find_first_not_of("-|") == std::string_view::npos &&
           std::count(t.begin(), t.end(), '-') >= 4;
}

struct Heading {
    std::string kind; // "verse", "chorus" or "bridge"
    std::string label;
};

class Converter {
public:
    explicit Converter(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    std::string run(std::string_view fallbackTitle)
    {
        std::size_t body = readHeader();
        output_.push_back("{title: " + (title_ ? *title_ : std::string(fallbackTitle)) + "}");
        for (auto& directive : headers_) output_.push_back(std::move(directive));
        for (std::size_t i = body; i < lines_.size();) i = readBodyLine(i);
        closeSection();
        flushPendingHeading();
        while (!output_.empty() && output_.back().empty()) output_.pop_back();
        std::string out;
        for (const auto& line : output_) {
            out += line;
            out += '\n';
        }
        return out;
    }

private:
    // Takes a header line when `line` is one; false otherwise.
    bool takeHeader(std::string_view line)
    {
        auto meta = metadataLine(line);
        if (!meta) return false;
        if (meta->name == "title") {
            // No line of the file is lost: a title given again keeps the first as a subtitle.
            if (title_ && *title_ != meta->value) headers_.push_back("{subtitle: " + *title_ + "}");
            title_ = meta->value;
        } else headers_.push_back("{" + meta->name + ": " + meta->value + "}");
        return true;
    }

    // Reads the title and metadata lines; returns the index of the body's first line.
    std::size_t readHeader()
    {
        std::size_t i = 0;
        while (i < lines_.size() && isBlank(lines_[i])) ++i;
        if (i == lines_.size()) return i;
        std::string_view t = trimWhitespace(lines_[i]);
        if (takeHeader(t)) {
            ++i;
        } else if (isChordLine(t) || headerLabel(t) || isTabLine(t)) {
            return i;
        } else {
            // A title stands over a blank line, a header line or a line of settings ("Tuning: …").
            bool nextEndsTitle = i + 1 >= lines_.size() || isBlank(lines_[i + 1]) || metadataLine(lines_[i + 1]) ||
                                 isSettingLine(lines_[i + 1]);
            if (!nextEndsTitle) return i;
            title_ = std::string(t);
            ++i;
        }
        for (;;) {
            while (i < lines_.size() && isBlank(lines_[i])) ++i;
            if (i == lines_.size() || !takeHeader(lines_[i])) return i;
            ++i;
        }
    }

    // Handles the body line at `i`; returns the index of the next line to read.
    std::size_t readBodyLine(std::size_t i)
    {
        const std::string& line = lines_[i];
        std::string_view t = trimWhitespace(line);
        if (t.empty()) {
            if (pending_) return i + 1;
            if (open_) {
                closeSection();
                output_.emplace_back();
            } else if (output_.back() != "") {
                output_.emplace_back();
            }
            return i + 1;
        }
        std::optional<ChordLine> chordLine = readChordLine(line);
        if (auto label = headerLabel(t); label && !chordLine) {
            startHeading(std::move(*label));
            return i + 1;
        }
        if (isTabLine(t) || (open_ == "tab" && (isBareString(t) || isStaffNoteLine(t))) || startsStaff(i) ||
            inNamelessStaff(i)) {
            if (open_ && *open_ != "tab") closeSection();
            if (!open_) {
                flushPendingHeading();
                output_.push_back("{start_of_tab}");
                open_ = "tab";
            }
            output_.push_back(line);
            return i + 1;
        }
        if (open_ == "tab") closeSection();
        if (!chordLine) {
            if (pending_) openPendingSection();
            output_.push_back(escape(SongText::dropTrailingSpace(line)));
            return i + 1;
        }
        const bool lyricBelow = i + 1 < lines_.size() && isLyricBelowChords(lines_[i + 1]) && !startsStaff(i + 1);
        // "Chorus - A D E7" over a line of the chorus heads the chorus; alone, its label is a remark.
        if (auto heading = lyricBelow && !chordLine->label.empty() ? headerLabel(chordLine->label) : std::nullopt) {
            startHeading(std::move(*heading));
            chordLine->label.clear();
        }
        if (pending_) openPendingSection();
        std::optional<std::string_view> lyric;
        if (lyricBelow) lyric = lines_[i + 1];
        for (std::string& out : placeChordLine(*chordLine, lyric, true)) output_.push_back(std::move(out));
        return lyricBelow ? i + 2 : i + 1;
    }

    // A heading ends the open section and waits for its first line.
    void startHeading(std::string label)
    {
        closeSection();
        flushPendingHeading();
        std::string lower = Platform::Text::lowercased(label);
        std::string kind = lower.starts_with("chorus") || lower.starts_with("refrain") ? "chorus"
                           : lower.starts_with("bridge")                                ? "bridge"
                                                                                        : "verse";
        pending_ = Heading{std::move(kind), std::move(label)};
    }

    // Bar numbers and a player's marks over the strings belong to the staff.
    bool startsStaff(std::size_t i, int depth = 0) const
    {
        if (i + 1 >= lines_.size() || !(isBarNumberLine(lines_[i]) || isStaffNoteLine(lines_[i]))) return false;
        return isTabLine(lines_[i + 1]) || (depth == 0 && startsStaff(i + 1, 1));
    }

    // Strings without names are a staff only three or more together, one of
    // them fretted. Each run is looked at once, when its first line is read.
    bool inNamelessStaff(std::size_t i)
    {
        if (i < namelessEnd_) return namelessStaff_;
        if (!isNamelessString(lines_[i])) return false;
        std::size_t end = i + 1;
        bool fretted = lines_[i].find_first_of("0123456789") != std::string::npos;
        for (; end < lines_.size() && isNamelessString(lines_[end]); ++end)
            fretted = fretted || lines_[end].find_first_of("0123456789") != std::string::npos;
        namelessEnd_ = end;
        namelessStaff_ = end - i >= 3 && fretted;
        return namelessStaff_;
    }

    void closeSection()
    {
        if (!open_) return;
        output_.push_back("{end_of_" + *open_ + "}");
        open_.reset();
    }

    void openPendingSection()
    {
        output_.push_back("{start_of_" + pending_->kind + ": " + pending_->label + "}");
        open_ = pending_->kind;
        pending_.reset();
    }

    // A heading that got no lines of its own becomes a remark, or a chorus recall.
    void flushPendingHeading()
    {
        if (!pending_) return;
        if (pending_->kind != "chorus") output_.push_back("{comment: " + pending_->label + "}");
        else if (Platform::Text::lowercased(pending_->label) == "chorus") output_.push_back("{chorus}");
        else output_.push_back("{chorus: " + pending_->label + "}");
        pending_.reset();
    }

    std::vector<std::string> lines_;
    std::vector<std::string> output_;
    std::optional<std::string> title_;
    std::vector<std::string> headers_;
    std::optional<std::string> open_;
    std::optional<Heading> pending_;
    std::size_t namelessEnd_ = 0; // the end of the run of nameless strings being read
    bool namelessStaff_ = false;  // whether that run is a staff
};

// Whether a ChordPro line is kept as written: a directive, or a line that
// already holds chords in brackets.
bool isChordProOwn(std::string_view line)
{
    if (ChordProParser::directive(trimWhitespace(line))) return true;
    for (const Segment& segment : ChordProParser::segments(line))
        if (segment.chord) return true;
    return false;
}

// Blocks whose lines are printed as written: tablature, grids and notation.
bool opensVerbatimBlock(const std::string& name)
{
    static constexpr std::string_view lyricBlocks[] = {"start_of_verse", "start_of_chorus", "start_of_bridge",
                                                        "sov", "soc", "sob"};
    if (name == "sot" || name == "sog") return true;
    return name.starts_with("start_of_") &&
           std::find(std::begin(lyricBlocks), std::end(lyricBlocks), name) == std::end(lyricBlocks);
}

} // namespace

std::optional<std::string> placeChordLines(std::string_view chordPro)
{
    // Tells, line by line, what a line outside tab blocks is: a chord line, a string of tab or else.
    struct Reader {
        bool verbatim = false;
        std::string_view lyricBlock; // "verse", "chorus" or "bridge" while such a block is open
        enum class Kind { other, chords, tab };
        Kind read(std::string_view line)
        {
            std::string_view t = trimWhitespace(line);
            if (auto d = t.starts_with('{') ? ChordProParser::directive(t) : std::nullopt) {
                const std::string& name = d->name;
                if (opensVerbatimBlock(name)) verbatim = true;
                else if (name == "start_of_verse" || name == "sov") lyricBlock = "verse";
                else if (name == "start_of_chorus" || name == "soc") lyricBlock = "chorus";
                else if (name == "start_of_bridge" || name == "sob") lyricBlock = "bridge";
                else if (name.starts_with("end_of_") || name == "eot" || name == "eog" || name == "eov" ||
                         name == "eoc" || name == "eob") {
                    verbatim = false;
                    lyricBlock = {};
                }
                return Kind::other;
            }
            if (verbatim) return Kind::other;
            // Brackets and braces never stand in a line of chord names: most lines are done at once.
            if (t.find_first_of("[{") != std::string_view::npos) return Kind::other;
            if (isTabLine(t) || isBarNumberLine(t) || isStaffNoteLine(t)) return Kind::tab;
            return isChordLine(t) && !isChordProOwn(line) ? Kind::chords : Kind::other;
        }
    };
    using Kind = Reader::Kind;
    // Most files have no such line: they are read once, and kept as they are.
    Reader scan;
    bool any = false;
    int strings = 0; // strings of tablature in a row
    SongText::forEachLine(chordPro, [&](std::string_view line) {
        Kind kind = scan.read(line);
        strings = kind == Kind::tab && isTabLine(line) ? strings + 1 : 0;
        any = any || kind == Kind::chords || strings >= 2;
    });
    if (!any) return std::nullopt;

    std::vector<std::string> lines;
    SongText::forEachLine(chordPro, [&](std::string_view line) { lines.emplace_back(line); });
    // A staff: a run of two strings or more, bar numbers over it, outside a tab block.
    auto staffLength = [&](std::size_t i) {
        std::size_t end = i, count = 0;
        auto overStaff = [&](std::size_t at) { return isBarNumberLine(lines[at]) || isStaffNoteLine(lines[at]); };
        for (int k = 0; k < 2 && end < lines.size() && overStaff(end); ++k) ++end;
        for (; end < lines.size() && isTabLine(lines[end]); ++end) ++count;
        if (count >= 2 && end < lines.size() && isStaffNoteLine(lines[end])) ++end; // marks under the strings
        return count >= 2 ? end - i : 0;
    };

    Reader reader;
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        const std::string& line = lines[i];
        const Kind kind = reader.read(line);
        if (kind == Kind::tab) {
            // Tablature outside a tab block is set as one, in the fixed pitch its columns need.
            // Within a verse or chorus, the block is parted round it and goes on after it.
            if (std::size_t length = staffLength(i); length > 0) {
                const std::string stem(reader.lyricBlock);
                if (!stem.empty()) text += "{end_of_" + stem + "}\n";
                text += "{start_of_tab}";
                for (std::size_t end = i + length; i < end; ++i) text += '\n' + lines[i];
                text += "\n{end_of_tab}";
                if (!stem.empty()) text += "\n{start_of_" + stem + "}";
                --i;
                continue;
            }
        }
        if (kind != Kind::chords) {
            text += line;
            continue;
        }
        std::optional<ChordLine> chords = readChordLine(expandTabs(line));
        std::optional<std::string> lyric;
        if (i + 1 < lines.size() && isLyricBelowChords(lines[i + 1]) && !isChordProOwn(lines[i + 1]) &&
            staffLength(i + 1) == 0)
            lyric = expandTabs(lines[++i]);
        std::vector<std::string> placed = placeChordLine(*chords, lyric);
        for (std::size_t k = 0; k < placed.size(); ++k) text += (k > 0 ? "\n" : "") + placed[k];
    }
    return text;
}

namespace {

// The chords with the bars, beat slashes and "%" of the line put in at their
// columns: over a lyric they are placed as chords are, and printed as the
// marks they are. Dashes, dots and parentheses stay out.
std::string withBars(std::string_view chords, std::string_view marks)
{
    std::vector<std::string_view> out = Platform::Text::characters(chords);
    const std::vector<std::string_view> markCharacters = Platform::Text::characters(marks);
    for (std::size_t i = 0; i < markCharacters.size();) {
        if (markCharacters[i] == " ") {
            ++i;
            continue;
        }
        const std::size_t start = i;
        std::string token;
        for (; i < markCharacters.size() && markCharacters[i] != " "; ++i) token += markCharacters[i];
        if (!ChordMarks::isMark(token)) continue;
        if (out.size() < i) out.resize(i, " ");
        std::copy(markCharacters.begin() + start, markCharacters.begin() + i, out.begin() + start);
    }
    std::string text;
    for (std::string_view c : out) text += c;
    return text;
}

} // namespace

std::vector<std::string> placeChordLine(const ChordLine& chordLine, std::optional<std::string_view> lyric,
                                        bool plainLyric)
{
    // A comment's text ends at its first closing brace.
    auto comment = [](std::string text) {
        std::replace(text.begin(), text.end(), '{', '(');
        std::replace(text.begin(), text.end(), '}', ')');
        return "{comment: " + text + "}";
    };
    std::vector<std::string> out;
    if (!chordLine.label.empty()) out.push_back(comment(chordLine.label));
    // Over a lyric the bars are placed as chords are; alone, they are the bars the chords
    // stand in, and a label's room before them is no longer needed.
    if (lyric) {
        out.push_back(merge(withBars(chordLine.chords, chordLine.marks), *lyric, plainLyric));
    } else {
        std::string_view chords = chordLine.chords, marks = chordLine.marks;
        if (!chordLine.label.empty()) {
            const std::size_t indent = std::min(chords.find_first_not_of(' '), marks.find_first_not_of(' '));
            chords.remove_prefix(std::min(indent, chords.size()));
            marks.remove_prefix(std::min(indent, marks.size()));
        }
        out.push_back(merge(chords, marks));
    }
    if (!chordLine.note.empty()) out.push_back(comment(chordLine.note));
    return out;
}

std::string convert(std::string_view text, std::string_view fallbackTitle)
{
    std::vector<std::string> lines;
    SongText::forEachLine(text, [&](std::string_view line) { lines.push_back(expandTabs(line)); });
    return Converter(std::move(lines)).run(fallbackTitle);
}

} // namespace TunequillKit::PlainTextConverter
