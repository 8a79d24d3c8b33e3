// The line loop of the ChordPro reader and its directive table. State is a
// section being filled, the explicit block that is open (it decides where
// lyric lines go and how blank lines count) and the name of an unknown block
// being skipped. Each line is classified by a few prefix tests first.

#include "TunequillKit/Song/ChordProParser.h"

#include "Platform/Text.h"
#include "TunequillKit/Song/SongText.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace TunequillKit::ChordProParser {
namespace {

using Platform::Text::trimSpacesTabs;

std::string quoted(std::string_view value) { return "“" + std::string(value) + "”"; }

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Blocks of music notation or pictures, which cannot be printed as text.
bool holdsNotation(std::string_view kind)
{
    return isOneOf(kind, {"abc", "ly", "lilypond", "svg", "image", "musicxml", "mma"});
}

// The caption of an unknown block: its label="…", or a value that is no list of settings.
std::string_view textBlockLabel(std::string_view value)
{
    if (value.find('=') == std::string_view::npos) return value;
    std::size_t at = value.find("label");
    return at == std::string_view::npos ? std::string_view{} : value;
}

class Reader {
public:
    Song finish()
    {
        close();
        if (skipping_) song_.warnings.push_back("A {start_of_" + *skipping_ + "} block has no end.");
        for (auto& definition : definitions_)
            if (definition) song_.definitions.push_back(std::move(*definition));
        return std::move(song_);
    }

    void read(std::string_view rawLine)
    {
        ++lineNumber_;
        std::string expanded;
        if (rawLine.find('\t') != std::string_view::npos) {
            expanded.reserve(rawLine.size() + 8);
            for (char c : rawLine) {
                if (c == '\t') expanded.append(4, ' ');
                else expanded.push_back(c);
            }
            rawLine = expanded;
        }
        std::string_view trimmed = trimSpacesTabs(rawLine);
        bool braced = !trimmed.empty() && trimmed.front() == '{' && trimmed.back() == '}';

        if (skipping_) {
            if (braced)
                if (auto d = directive(trimmed); d && d->name == "end_of_" + *skipping_) skipping_.reset();
            return;
        }
        if (!rawLine.empty() && rawLine.front() == '#') return;
        if (braced)
            if (auto d = directive(trimmed)) return handle(*d);

        if (block_ == SectionKind::tab) {
            if (!current_) return;
            current_->lines.push_back(trimmed.empty() ? Line::blank() : Line::tab(std::string(rawLine)));
            return;
        }
        if (trimmed.empty()) {
            if (!block_) close();
            else if (current_ && !current_->lines.empty()) current_->lines.push_back(Line::blank());
            return;
        }
        if (!block_) {
            if (current_ && current_->kind == SectionKind::comment) close();
            if (!current_) open(SectionKind::verse, std::nullopt);
        } else if (!current_) {
            open(*block_, std::nullopt);
        }
        current_->lines.push_back(Line::lyrics(segments(rawLine)));
    }

private:
    void warn(std::string_view what) { song_.warnings.push_back("Line " + std::to_string(lineNumber_) + ": " + std::string(what)); }

    void open(SectionKind kind, std::optional<std::string> label)
    {
        current_ = Section{kind, std::move(label), {}};
    }

    // Drops trailing blank lines and keeps the section only when lines remain.
    void close()
    {
        if (!current_) return;
        auto& lines = current_->lines;
        while (!lines.empty() && lines.back().is<Line::Blank>()) lines.pop_back();
        if (!lines.empty()) song_.sections.push_back(std::move(*current_));
        current_.reset();
    }

    void marker(SectionKind kind, std::optional<std::string> label = std::nullopt)
    {
        close();
        song_.sections.push_back(Section{kind, std::move(label), {}});
    }

    void startBlock(SectionKind kind, std::string_view value)
    {
        close();
        block_ = kind;
        textBlock_.reset();
        open(kind, value.empty() ? std::nullopt : std::optional<std::string>(label(value)));
    }

    void comment(std::string_view value, CommentStyle style)
    {
        Line line = Line::comment(std::string(value), style);
        if (!block_) {
            if (!current_ || current_->kind != SectionKind::comment) {
                close();
                open(SectionKind::comment, std::nullopt);
            }
            current_->lines.push_back(std::move(line));
        } else if (current_) {
            current_->lines.push_back(std::move(line));
        }
    }

    void define(std::string_view value, bool warnWhenUnread)
    {
        auto d = definition(value);
        if (!d) {
            if (warnWhenUnread && !isShortDefinition(value)) warn("couldn’t read the chord definition " + quoted(value) + ".");
            return;
        }
        // A new definition replaces every earlier one of the same name and
        // goes to the end. Replaced ones leave an empty slot, found through
        // the name index, so a file of many definitions stays linear.
        auto [at, fresh] = definitionAt_.try_emplace(Platform::Text::nfc(d->name), definitions_.size());
        if (!fresh) {
            definitions_[at->second].reset();
            at->second = definitions_.size();
        }
        definitions_.push_back(std::move(*d));
    }

    void meta(std::string_view value)
    {
        if (value.empty()) return;
        std::size_t space = value.find(' ');
        std::string name = Platform::Text::lowercased(value.substr(0, space));
        std::string metaValue(space == std::string_view::npos ? std::string_view{} : value.substr(space + 1));
        if (name == "title") song_.title = std::move(metaValue);
        else if (name == "subtitle") song_.subtitles.push_back(std::move(metaValue));
        else if (name == "artist") song_.artists.push_back(std::move(metaValue));
        else if (name == "composer") song_.composers.push_back(std::move(metaValue));
        else if (name == "lyricist") song_.lyricists.push_back(std::move(metaValue));
        else if (name == "key") song_.key = Key::parse(metaValue);
        else if (name == "capo") {
            if (auto capo = SongText::numberCharacters(metaValue)) song_.capo = *capo;
        } else if (name == "tempo") song_.tempo = std::move(metaValue);
        else if (name == "copyright") song_.copyright = std::move(metaValue);
        else song_.meta[name] = std::move(metaValue);
    }

    void handle(const Directive& d);

    Song song_;
    std::optional<Section> current_;
    std::optional<SectionKind> block_;
    std::optional<std::string> skipping_;
    std::optional<std::string> textBlock_; // an unknown block printed as a verse, which its own end closes
    std::size_t lineNumber_ = 0;
    std::vector<std::optional<ChordDefinition>> definitions_; // in order, replaced ones emptied
    std::unordered_map<std::string, std::size_t> definitionAt_; // composed name → slot of the live one
};

void Reader::handle(const Directive& d)
{
    const std::string& n = d.name;
    const std::string& v = d.value;
    auto appendIfAny = [&](std::vector<std::string>& list) {
        if (!v.empty()) list.push_back(v);
    };

    if (n == "title" || n == "t") song_.title = v;
    else if (n == "subtitle" || n == "st") appendIfAny(song_.subtitles);
    else if (n == "artist") appendIfAny(song_.artists);
    else if (n == "composer") appendIfAny(song_.composers);
    else if (n == "lyricist") appendIfAny(song_.lyricists);
    else if (n == "copyright") song_.copyright = v;
    else if (n == "album") song_.album = v;
    else if (n == "year") song_.year = v;
    else if (n == "key") {
        song_.key = Key::parse(v);
        if (!song_.key && !v.empty()) warn("couldn’t read the key " + quoted(v) + ".");
    } else if (n == "capo") {
        auto capo = SongText::numberCharacters(v);
        if (capo && *capo >= 0 && *capo <= 12) song_.capo = *capo;
        else if (!v.empty()) warn("couldn’t read the capo " + quoted(v) + ".");
    } else if (n == "tempo") song_.tempo = v;
    else if (n == "time") song_.time = v;
    else if (isOneOf(n, {"duration", "arranger", "sorttitle", "sortartist"})) song_.meta[n] = v;
    else if (n == "meta") meta(v);
    // Remarks for guitarists: this book always shows its chords, so they print.
    else if (isOneOf(n, {"comment", "c", "highlight", "guitar_comment", "gc"})) comment(v, CommentStyle::normal);
    else if (isOneOf(n, {"comment_italic", "ci"})) comment(v, CommentStyle::italic);
    else if (isOneOf(n, {"comment_box", "cb"})) comment(v, CommentStyle::boxed);
    else if (isOneOf(n, {"start_of_verse", "sov"})) startBlock(SectionKind::verse, v);
    else if (isOneOf(n, {"start_of_chorus", "soc"})) startBlock(SectionKind::chorus, v);
    else if (isOneOf(n, {"start_of_bridge", "sob"})) startBlock(SectionKind::bridge, v);
    else if (isOneOf(n, {"start_of_tab", "sot", "start_of_grid", "sog"})) startBlock(SectionKind::tab, v);
    else if (isOneOf(n, {"end_of_verse", "eov", "end_of_chorus", "eoc", "end_of_bridge", "eob", "end_of_tab", "eot",
                         "end_of_grid", "eog"})) {
        close();
        block_.reset();
    } else if (n == "chorus") marker(SectionKind::chorusRecall, v.empty() ? std::nullopt : std::optional<std::string>(v));
    else if (isOneOf(n, {"new_page", "np", "new_physical_page", "npp"})) marker(SectionKind::pageBreak);
    else if (isOneOf(n, {"column_break", "colb"})) marker(SectionKind::columnBreak);
    else if (n == "define") define(v, true);
    else if (n == "chord") define(v, false);
    else if (isOneOf(n, {"columns", "col", "pagetype", "titles", "grid", "g", "no_grid", "ng", "new_song", "ns",
                         "diagrams", "transpose", "image"})) {
        // Layout settings of other programs: the book's own settings rule.
    } else if (n.starts_with("start_of_") && holdsNotation(std::string_view(n).substr(9))) {
        skipping_ = n.substr(9);
        warn("skipped a {" + n + "} block (not printed).");
    } else if (n.starts_with("start_of_")) {
        // Any other block ("textblock", a part of a song) holds words: printed as a verse.
        startBlock(SectionKind::verse, textBlockLabel(v));
        textBlock_ = n.substr(9);
    } else if (textBlock_ && n == "end_of_" + *textBlock_) {
        close();
        block_.reset();
        textBlock_.reset();
    } else if (n.starts_with("x_") || n.ends_with("font") || n.ends_with("size") || n.ends_with("colour") ||
               n.ends_with("color")) {
        // Custom extensions and font, size and colour settings.
    } else {
        warn("ignored the unknown directive {" + n + "}.");
    }
}

} // namespace

Song parse(std::string_view text)
{
    // A byte-order mark some editors put first is kept in the stored source
    // but is no character of the song: it would hide a first directive.
    constexpr std::string_view byteOrderMark = "\uFEFF";
    if (text.starts_with(byteOrderMark)) text.remove_prefix(byteOrderMark.size());
    Reader reader;
    SongText::forEachLine(text, [&](std::string_view line) { reader.read(line); });
    return reader.finish();
}

} // namespace TunequillKit::ChordProParser
