#include "TunequillKit/Layout/Typesetter.h"

#include "Platform/Text.h"
#include "TunequillKit/Song/SongText.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <unordered_map>

namespace TunequillKit {

namespace {

// ceil and floor that ignore the last bits of binary noise (1.2 × 10 must give
// 12, not 13).
double ceilPoints(double v) { return std::ceil(v - 1e-9); }
double floorTenths(double v) { return std::floor(v * 10 + 1e-9) / 10; }

Block emptyBlock(BlockKind kind) { return Block{kind, {}, 0, false, std::nullopt}; }

// Bar lines, repeat signs and counts ("x2", "(3x)") between the chords of a chord line.
bool isChordLineMark(std::string_view token)
{
    auto isX = [](char c) { return c == 'x' || c == 'X'; };
    std::string_view count = token;
    if (count.size() >= 3 && count.front() == '(' && count.back() == ')') count = count.substr(1, count.size() - 2);
    if (count.size() >= 2 && (isX(count.front()) || isX(count.back())))
        return std::all_of(count.begin(), count.end(), [&](char c) { return isX(c) || (c >= '0' && c <= '9'); });
    return std::all_of(token.begin(), token.end(),
                       [](char c) { return c == '|' || c == ':' || c == '/' || c == '%' || c == '-' || c == '.'; });
}

} // namespace

namespace {

// The chord in a token of a chord line or grid, bars and repeat dots written
// onto it left out ("|:Bb", "F7:|"): where it starts and how long it is.
std::optional<std::pair<std::size_t, std::size_t>> chordInToken(std::string_view token, const ChordStyle& style)
{
    auto isBar = [](char c) { return c == '|' || c == ':'; };
    std::size_t begin = 0, end = token.size();
    while (begin < end && isBar(token[begin])) ++begin;
    while (end > begin && isBar(token[end - 1])) --end;
    std::string_view bare = token.substr(begin, end - begin);
    while (bare.size() >= 3 && bare.front() == '(' && bare.back() == ')') bare = bare.substr(1, bare.size() - 2);
    if (!Chord::parse(bare, style.german)) return std::nullopt;
    return std::pair{begin, end - begin};
}

std::size_t columns(std::string_view text) { return Platform::Text::characterCount(text); }

// A line of bars and chords written as text ("| D . . . | A7 . . . |"): a
// grid whose chords move with the song's. None for any other line.
std::optional<std::vector<Segment>> barredChords(const std::vector<Segment>& segments, const ChordStyle& style)
{
    if (!style.moves() || segments.size() != 1 || segments[0].chord) return std::nullopt;
    const std::string& text = segments[0].text;
    if (text.find('|') == std::string::npos) return std::nullopt;
    return std::vector<Segment>{Segment{std::nullopt, Typesetter::chordLine(text, style)}};
}

} // namespace

std::string Typesetter::chordLine(const std::string& text, const ChordStyle& style, bool grid)
{
    // A remark such as "Intro: G#m7 | E | B" names chords the rows above and
    // below move: it moves with them, or the page names one note two ways. A
    // remark of words ("Play A softly") is left as written. A grid's chords
    // move too, each keeping its column while the room before the next allows.
    if (!style.moves() && !grid) return text;
    struct Token {
        std::size_t at, length;
        std::optional<std::pair<std::size_t, std::size_t>> chord; // within the token
    };
    std::vector<Token> tokens;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at)
            tokens.push_back({at, end - at, chordInToken(std::string_view(text).substr(at, end - at), style)});
        at = end + 1;
    }
    // Up to three words of a label ending in ":" may come first.
    std::size_t first = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(3, tokens.size()) && !tokens[i].chord; ++i)
        if (text[tokens[i].at + tokens[i].length - 1] == ':') first = i + 1;
    bool chords = false;
    for (std::size_t i = first; i < tokens.size(); ++i) {
        chords = chords || tokens[i].chord;
        if (!tokens[i].chord && !isChordLineMark(std::string_view(text).substr(tokens[i].at, tokens[i].length)))
            return text;
    }
    if (!chords) return text;
    std::string out;
    std::size_t copied = 0;
    if (grid) {
        // Columns are characters in a fixed pitch: a shorter name is padded
        // after its token, a longer one takes blanks before the next token,
        // keeping one.
        std::size_t extra = 0;
        for (std::size_t i = first; i < tokens.size(); ++i) {
            const Token& token = tokens[i];
            std::string_view gap = std::string_view(text).substr(copied, token.at - copied);
            for (; extra > 0 && gap.size() > 1; --extra) gap.remove_suffix(1);
            out += gap;
            const std::string_view written = std::string_view(text).substr(token.at, token.length);
            if (!token.chord) {
                out += written;
            } else {
                const std::size_t before = columns(out);
                out += written.substr(0, token.chord->first);
                out += Accidental::pretty(style.render(written.substr(token.chord->first, token.chord->second)));
                out += written.substr(token.chord->first + token.chord->second);
                const std::size_t now = columns(out) - before, was = columns(written);
                if (now < was) out.append(was - now, ' ');
                else extra += now - was;
            }
            copied = token.at + token.length;
        }
        return SongText::dropTrailingSpace(out + text.substr(copied));
    }
    for (std::size_t i = first; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (!token.chord) continue;
        const std::size_t chordAt = token.at + token.chord->first;
        out.append(text, copied, chordAt - copied);
        out += Accidental::pretty(style.render(std::string_view(text).substr(chordAt, token.chord->second)));
        copied = chordAt + token.chord->second;
    }
    out.append(text, copied);
    return out;
}

Typesetter::Sizes Typesetter::sizesFor(double fs)
{
    Sizes s;
    s.font = fs;
    s.title = nearest(1.45 * fs);
    s.subtitle = std::max(11.0, nearest(0.72 * fs));
    s.label = std::max(10.0, nearest(0.66 * fs));
    s.chord = nearest(0.86 * fs);
    s.chordGap = nearest(0.45 * s.chord);
    s.comment = std::max(11.0, nearest(0.85 * fs));
    // Tablature is read at the book's size like the lyrics; a staff too wide
    // for the column is shrunk on its own (tabRows).
    s.tab = std::max(9.0, fs);
    s.chorusIndent = nearest(0.9 * fs);
    s.chorusBarX = nearest(0.25 * fs);
    s.wrapIndent = nearest(1.2 * fs);
    s.diagramWidth = nearest(2.8 * fs);
    s.diagramGap = nearest(0.9 * fs);
    s.diagramNameSize = std::max(10.0, nearest(0.75 * fs));
    return s;
}

Typesetter::Typesetter(BookSettings settings_, std::shared_ptr<const TextMeasurer> measurer_, double width_)
    : settings(std::move(settings_)), measurer(std::move(measurer_)), width(width_), sizes_(sizesFor(settings.fontSize)),
      serif_(settings.typeface == Typeface::serif)
{
}

std::vector<Block> Typesetter::blocks(const PreparedSong& prepared) const
{
    const Song& song = prepared.song;
    const double fs = sizes_.font;
    std::vector<Block> out;
    out.push_back(header(prepared));
    // Which chorus a recall prints: the last one in the whole song with the
    // recall's label (or the last of all, for a recall without one), which may
    // come after the recall; else the last chorus before it. Found once per
    // song, so that each recall is a look-up.
    const Section* lastOfAll = nullptr;
    std::unordered_map<std::string, const Section*> lastByLabel;
    for (const Section& section : song.sections) {
        if (section.kind != SectionKind::chorus) continue;
        lastOfAll = &section;
        if (section.label) lastByLabel[*section.label] = &section;
    }
    std::unordered_map<const Section*, Block> repeated; // a chorus typeset once however often it is recalled
    const Section* lastChorus = nullptr;
    for (const Section& section : song.sections) {
        switch (section.kind) {
        case SectionKind::verse:
        case SectionKind::chorus:
        case SectionKind::bridge:
            out.push_back(sectionBlock(section, prepared.style));
            if (section.kind == SectionKind::chorus) lastChorus = &section;
            break;
        case SectionKind::tab: out.push_back(tabBlock(section, prepared.style)); break;
        case SectionKind::comment: {
            Block block{BlockKind::comment, {}, nearest(0.3 * fs), true, std::nullopt};
            for (const Line& line : section.lines)
                if (auto comment = line.as<Line::Comment>())
                    for (Row& row : commentRows(chordLine(comment->text, prepared.style), comment->style, width))
                        block.rows.push_back(std::move(row));
            out.push_back(std::move(block));
            break;
        }
        case SectionKind::chorusRecall: {
            const Section* found = lastOfAll;
            if (section.label) {
                auto labelled = lastByLabel.find(*section.label);
                found = labelled != lastByLabel.end() ? labelled->second : lastChorus;
            }
            if (settings.repeatChorus && found) {
                auto [block, made] = repeated.try_emplace(found);
                if (made) block->second = sectionBlock(*found, prepared.style);
                out.push_back(block->second);
            } else {
                out.push_back(recall(section, found));
            }
            break;
        }
        case SectionKind::pageBreak: out.push_back(emptyBlock(BlockKind::pageBreak)); break;
        case SectionKind::columnBreak: out.push_back(emptyBlock(BlockKind::columnBreak)); break;
        }
    }
    // Diagrams show the chords as written, so only when nothing re-spells them.
    if (settings.diagrams && !song.definitions.empty() && prepared.style.shift == 0 && !prepared.style.nashvilleKey)
        out.push_back(diagrams(song.definitions));
    return out;
}

Block Typesetter::header(const PreparedSong& prepared) const
{
    const Song& song = prepared.song;
    Block block{BlockKind::header, {}, nearest(0.3 * sizes_.font), true, std::nullopt};

    FontSpec titleFont{sizes_.title, true, false, false, serif_};
    for (std::string& line : wrap(song.displayTitle(), titleFont, width))
        block.rows.push_back(Row{nearest(1.18 * sizes_.title),
                                 {Run{std::move(line), 0, nearest(0.95 * sizes_.title), titleFont, Ink::text}},
                                 {},
                                 0});

    std::vector<std::string> subtitles = song.subtitles;
    std::vector<std::string> people = song.artists;
    auto among = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    for (const std::string& c : song.composers)
        if (!among(song.artists, c)) people.push_back(c);
    for (const std::string& l : song.lyricists)
        if (!among(song.artists, l) && !among(song.composers, l)) people.push_back(l);
    if (!people.empty()) {
        std::string line;
        for (std::size_t i = 0; i < people.size(); ++i) line += (i ? ", " : "") + people[i];
        subtitles.push_back(std::move(line));
    }
    FontSpec subtitleFont{sizes_.subtitle, false, true, false, serif_};
    for (const std::string& subtitle : subtitles)
        for (std::string& line : wrap(subtitle, subtitleFont, width))
            block.rows.push_back(Row{nearest(1.3 * sizes_.subtitle),
                                     {Run{std::move(line), 0, sizes_.subtitle, subtitleFont, Ink::muted}},
                                     {},
                                     0});

    if (!prepared.keyLine.empty())
        block.rows.push_back(Row{nearest(1.4 * sizes_.subtitle),
                                 {Run{Accidental::pretty(prepared.keyLine), 0, nearest(1.05 * sizes_.subtitle),
                                      FontSpec{sizes_.subtitle, true, false, false, false}, Ink::accent}},
                                 {},
                                 0});

    block.rows.push_back(Row{nearest(0.5 * sizes_.font), {}, {Mark::rule({0, 4}, {width, 4})}, 0});
    return block;
}

std::optional<Row> Typesetter::labelRow(const std::optional<std::string>& label, double indent, bool evenEmpty) const
{
    if (!label || (label->empty() && !evenEmpty)) return std::nullopt;
    FontSpec font{sizes_.label, true, false, false, false};
    return Row{nearest(1.35 * sizes_.label),
               {Run{Platform::Text::uppercased(*label), 0, sizes_.label, font, Ink::muted}},
               {},
               indent};
}

Block Typesetter::sectionBlock(const Section& section, const ChordStyle& style) const
{
    const bool chorus = section.kind == SectionKind::chorus;
    const double indent = chorus ? sizes_.chorusIndent : 0;
    const double available = width - indent;
    const bool bold = chorus && settings.boldChorus;

    Block block{chorus ? BlockKind::chorus : BlockKind::section, {}, nearest(0.75 * sizes_.font), false,
                chorus ? std::optional<double>(sizes_.chorusBarX) : std::nullopt};
    if (auto label = labelRow(section.label, indent, false)) block.rows.push_back(std::move(*label));
    auto add = [&](std::vector<Row> rows) {
        for (Row& row : rows) {
            row.indent = indent;
            block.rows.push_back(std::move(row));
        }
    };
    for (const Line& line : section.lines) {
        if (auto lyrics = line.as<Line::Lyrics>())
        {
            const auto moved = barredChords(lyrics->segments, style);
            add(lyricRows(moved ? *moved : lyrics->segments, style, bold, available));
        }
        else if (auto comment = line.as<Line::Comment>())
            add(commentRows(chordLine(comment->text, style), comment->style, available));
        else if (auto tab = line.as<Line::Tab>())
            add(tabRows({chordLine(tab->text, style, true)}, available));
        else
            block.rows.push_back(Row{nearest(0.5 * sizes_.font), {}, {}, 0});
    }
    return block;
}

Block Typesetter::tabBlock(const Section& section, const ChordStyle& style) const
{
    Block block{BlockKind::tab, {}, nearest(0.75 * sizes_.font), false, std::nullopt};
    if (auto label = labelRow(section.label, 0, true)) block.rows.push_back(std::move(*label));
    std::vector<std::string> lines;
    lines.reserve(section.lines.size());
    for (const Line& line : section.lines) {
        auto tab = line.as<Line::Tab>();
        // A grid's chords, or chord names over the strings, move with the song's.
        lines.push_back(tab ? chordLine(tab->text, style, true) : std::string());
    }
    for (Row& row : tabRows(lines, width)) block.rows.push_back(std::move(row));
    return block;
}

Block Typesetter::recall(const Section& recall, const Section* found) const
{
    std::string text = "Chorus";
    if (recall.label && !recall.label->empty())
        text = *recall.label;
    else if (found && found->label && !found->label->empty())
        text = *found->label;
    const double fs = sizes_.font;
    Row row{nearest(1.22 * fs), {Run{text, 0, nearest(0.95 * fs), FontSpec{fs, true, true, false, serif_}, Ink::text}},
            {}, sizes_.chorusIndent};
    return Block{BlockKind::cue, {std::move(row)}, nearest(0.75 * fs), false, sizes_.chorusBarX};
}

Block Typesetter::diagrams(const std::vector<ChordDefinition>& definitions) const
{
    const double pitch = sizes_.diagramGap + sizes_.diagramWidth;
    // Clamped before the conversion: a font size of 0 (the setter stores any
    // value) would make the fit infinite.
    const double fit = std::floor((width + sizes_.diagramGap) / pitch);
    const std::size_t perRow =
        fit >= static_cast<double>(definitions.size()) ? std::max<std::size_t>(1, definitions.size())
                                                       : static_cast<std::size_t>(std::max(1.0, fit));
    Block block{BlockKind::diagrams, {}, 0, false, std::nullopt};
    const double height = nearest(1.25 * sizes_.diagramWidth + 1.6 * sizes_.diagramNameSize);
    for (std::size_t start = 0; start < definitions.size(); start += perRow) {
        Row row{height, {}, {}, 0};
        for (std::size_t i = 0; i < perRow && start + i < definitions.size(); ++i)
            row.marks.push_back(Mark::diagram(definitions[start + i], {static_cast<double>(i) * pitch + 6, 0},
                                              sizes_.diagramWidth, sizes_.diagramNameSize));
        block.rows.push_back(std::move(row));
    }
    return block;
}

std::vector<Row> Typesetter::commentRows(const std::string& text, CommentStyle style, double available) const
{
    const bool boxed = style == CommentStyle::boxed;
    const double size = sizes_.comment;
    const double pad = boxed ? 4 : 0;
    FontSpec font{size, false, !boxed, false, serif_};
    std::vector<Row> rows;
    for (std::string& line : wrap(text, font, available - 2 * pad)) {
        Row row{nearest(1.35 * size), {}, {}, 0};
        if (boxed) row.marks.push_back(Mark::box({0, 1, measure(line, font) + 2 * pad, 1.3 * size - 2}));
        row.runs.push_back(Run{std::move(line), pad, nearest(1.05 * size), font, Ink::muted});
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

// A staff wider than `fit` characters parted into systems at bar lines that
// all its strings share, each system but the first led by the strings'
// names, a blank line between systems, so tablature keeps the book's size.
// Lines between staffs (blank) part staffs; a staff with no shared bar, or
// one that fits, is kept whole. Empty when nothing is parted.
std::vector<std::string> partStaffs(const std::vector<std::string>& lines, std::size_t fit)
{
    // A staff is a few strings with the marks and chords over and under them;
    // a longer run of lines is no staff, and looking for its bars would cost
    // its lines times its columns.
    constexpr std::size_t staffLines = 16;
    std::vector<std::string> out;
    bool parted = false;
    for (std::size_t first = 0; first < lines.size();) {
        std::size_t end = first;
        while (end < lines.size() && !lines[end].empty()) ++end;
        std::vector<std::vector<std::string_view>> staff;
        std::size_t longest = 0;
        for (std::size_t i = first; i < end; ++i) {
            staff.push_back(Platform::Text::characters(lines[i]));
            longest = std::max(longest, staff.back().size());
        }
        // A bar every barred line (a string, a grid's row) has at that column,
        // where the lines over them (chord names, marks) have a blank or end.
        std::vector<bool> barred;
        for (const auto& line : staff) barred.push_back(std::find(line.begin(), line.end(), "|") != line.end());
        auto sharedBar = [&](std::size_t c) {
            bool bar = false;
            for (std::size_t k = 0; k < staff.size(); ++k) {
                const auto& line = staff[k];
                if (c >= line.size() || (!barred[k] && line[c] == " ")) continue;
                if (line[c] != "|") return false;
                bar = true;
            }
            return bar;
        };
        std::vector<std::size_t> bars;
        if (longest > fit && staff.size() <= staffLines)
            for (std::size_t c = 0; c < longest; ++c)
                if (sharedBar(c)) bars.push_back(c);
        auto piece = [](const std::vector<std::string_view>& line, std::size_t from, std::size_t to) {
            std::string text;
            for (std::size_t c = from; c < std::min(to, line.size()); ++c) text += line[c];
            return text;
        };
        if (bars.empty()) {
            for (std::size_t i = first; i < end; ++i) out.push_back(lines[i]);
        } else {
            // Systems run from bar to bar; the names before the first bar lead each.
            const std::size_t lead = bars.front();
            std::size_t start = lead;
            // The last system runs on to the lines' ends, notes after the strings and all.
            auto end = [&](std::size_t b) { return b + 1 >= bars.size() ? longest : bars[b] + 1; };
            for (std::size_t b = 1;; ++b) {
                while (b + 1 < bars.size() && lead + end(b + 1) - start <= fit) ++b;
                if (start > lead) out.emplace_back();
                for (const auto& line : staff) {
                    // A line over the strings with nothing over this system leaves no row.
                    std::string text = SongText::dropTrailingSpace(piece(line, 0, lead) + piece(line, start, end(b)));
                    if (!text.empty()) out.push_back(std::move(text));
                }
                if (b + 1 >= bars.size()) break;
                start = bars[b];
                parted = true;
            }
        }
        for (; end < lines.size() && lines[end].empty(); ++end) out.emplace_back();
        first = end;
    }
    if (!parted) out.clear();
    return out;
}

} // namespace

std::vector<Row> Typesetter::tabRows(const std::vector<std::string>& given, double available) const
{
    double size = sizes_.tab;
    const FontSpec full{size, false, false, true, false};
    auto longestOf = [](const std::vector<std::string>& lines) {
        const std::string* longest = nullptr;
        int longestCount = -1;
        for (const std::string& line : lines) {
            int count = Platform::Text::characterCount(line);
            if (count > longestCount) {
                longest = &line;
                longestCount = count;
            }
        }
        return std::pair{longest, longestCount};
    };
    auto [longest, longestCount] = longestOf(given);
    double measured = longest ? measure(*longest, full) : 0;
    // Part a wide staff before shrinking it: tablature reads at the book's size.
    std::vector<std::string> partedLines;
    if (measured > available && available > 0 && longestCount > 0) {
        const double column = measured / longestCount;
        partedLines = partStaffs(given, static_cast<std::size_t>(std::max(1.0, available / column)));
        if (!partedLines.empty()) {
            std::tie(longest, longestCount) = longestOf(partedLines);
            measured = measure(*longest, full);
        }
    }
    const std::vector<std::string>& lines = partedLines.empty() ? given : partedLines;
    if (measured > available && measured > 0) size = std::max(6.0, floorTenths(available * size / measured));
    FontSpec font{size, false, false, true, false};
    const double height = ceilPoints(1.2 * size);
    std::vector<Row> rows;
    rows.reserve(lines.size());
    for (const std::string& line : lines) {
        Row row{height, {}, {}, 0};
        if (!line.empty()) row.runs.push_back(Run{line, 0, size, font, Ink::text});
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

// The largest count from 1 to `available` for which `fits` holds, 1 when none
// does. `fits` must hold for every count below one it holds for: galloping,
// then bisection, tries about as many counts as the answer's logarithm.
template <typename Fits>
std::size_t longestFitting(std::size_t available, Fits fits)
{
    std::size_t good = 1, bad = available + 1;
    for (std::size_t step = 1; good < available;) {
        std::size_t tried = std::min(good + step, available);
        if (!fits(tried)) {
            bad = tried;
            break;
        }
        good = tried;
        step *= 2;
    }
    while (bad - good > 1 && bad <= available) {
        std::size_t mid = good + (bad - good) / 2;
        (fits(mid) ? good : bad) = mid;
    }
    return good;
}

} // namespace

std::string_view Typesetter::stretch(const std::vector<std::string_view>& characters, std::size_t from,
                                     std::size_t count)
{
    const std::string_view last = characters[from + count - 1];
    return {characters[from].data(), static_cast<std::size_t>(last.data() + last.size() - characters[from].data())};
}

// Galloping keeps a long word's cost near one measurement of each line's
// text, however long the rest of the word is.
std::size_t Typesetter::fitting(const std::vector<std::string_view>& characters, std::size_t from,
                                const FontSpec& font, double room) const
{
    return longestFitting(characters.size() - from, [&](std::size_t count) {
        return measure(stretch(characters, from, count), font) <= room;
    });
}

// Greedy: a line takes words while line + " " + word still fits. A line's
// width only grows with each word it takes, so the first word that does not
// fit is found by galloping and bisection over the number of words: the same
// lines as trying word by word, without measuring a growing line once per
// word (quadratic in a long text on a very wide frame). Text past the edge
// would be cut off the page, so a word wider than a line is broken between
// characters; the piece left over goes on as the next line's first word.
std::vector<std::string> Typesetter::wrap(std::string_view text, const FontSpec& font, double limit) const
{
    std::vector<std::string_view> words;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t start = text.find_first_not_of(' ', pos);
        if (start == std::string_view::npos) break;
        std::size_t end = std::min(text.find(' ', start), text.size());
        words.push_back(text.substr(start, end - start));
        pos = end;
    }

    std::vector<std::string> lines;
    for (std::size_t first = 0; first < words.size();) {
        auto joined = [&](std::size_t count) {
            std::string line(words[first]);
            for (std::size_t k = 1; k < count; ++k) {
                line += ' ';
                line += words[first + k];
            }
            return line;
        };
        // The first word of a line is taken unmeasured.
        const std::size_t good =
            longestFitting(words.size() - first, [&](std::size_t count) { return measure(joined(count), font) <= limit; });
        if (good == 1 && measure(words[first], font) > limit) {
            const auto characters = Platform::Text::characters(words[first]);
            if (characters.size() > 1 && measure(characters.front(), font) <= limit) {
                std::size_t at = 0;
                for (std::size_t n; at + (n = fitting(characters, at, font, limit)) < characters.size(); at += n)
                    lines.emplace_back(stretch(characters, at, n));
                if (at > 0) {
                    words[first] = stretch(characters, at, characters.size() - at);
                    continue;
                }
            }
        }
        lines.push_back(joined(good));
        first += good;
    }
    return lines;
}

} // namespace TunequillKit
