// The RTF importer's main loop.
//
// Design: one loop over the tokens with an explicit stack of group states
// (destination, character and paragraph formatting), so nesting costs heap
// entries, never stack frames, and is capped by Limits::maxGroupDepth. A
// destination we do not read is skipped by the tokenizer without pushing
// anything. Text bytes (plain and \'hh) are gathered and decoded together when
// any other token arrives, so multi-byte code pages see whole characters; the
// formatting cannot change while bytes are gathered, because only control
// words and braces change it.

#include "Platform/RichText.h"
#include "Platform/RichText/CodePages.h"
#include "Platform/RichText/Destinations.h"
#include "Platform/RichText/Limits.h"
#include "Platform/RichText/Lists.h"
#include "Platform/RichText/Tables.h"
#include "Platform/RichText/Tokenizer.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

namespace Platform::RichText {

namespace {

struct CharFormat {
    int font = -1;  // -1: the document's default font (\deff)
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool hidden = false;  // \v: text that is not shown
};

struct ParaFormat {
    bool inTable = false;
    int list = 0;  // \ls; 0 = not a list item
    int level = 0;
};

struct Group {
    Destination destination = Destination::Body;
    CharFormat chars;
    ParaFormat para;
    int unicodeSkip = 1;
    bool dropText = false;  // the wrapper of an attachment we cannot read
    bool opened = false;    // this group opened its destination
    bool starred = false;   // \* seen: the next word names an optional destination
    bool oldListLabel = false;  // inside \pntext, the label of an older Word or WordPad list item
};

struct FontEntry {
    std::string name;
    int codePage = 0;  // 0: the document's
};

struct PictureState {
    bool usable = false;  // PNG or JPEG
    bool tooBig = false;
    Bytes data;
    int nibble = -1;
    int widthGoal = 0, heightGoal = 0;  // twips
    int scaleX = 100, scaleY = 100;     // percent
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    Parser(const std::uint8_t* data, std::size_t size) : tokens_(data, size) {}

    Document run()
    {
        if (tokens_.next().kind != Token::Kind::GroupStart) throw ImportError("no opening brace");
        Token rtf = tokens_.next();
        if (rtf.kind != Token::Kind::Word || rtf.text != "rtf") throw ImportError("no \\rtf header");
        stack_.push_back(Group{});
        while (!stack_.empty()) {
            Token token = tokens_.next();
            if (token.kind == Token::Kind::End) break;  // an unterminated group ends with the bytes
            handle(token);
        }
        if (!stack_.empty()) {  // the bytes ended inside a group
            flushText();
            if (!spans_.empty()) endParagraph(false);
        }
        tables_.finish(document_.paragraphs);
        return std::move(document_);
    }

private:
    Group& top() { return stack_.back(); }

    void handle(const Token& token)
    {
        using Kind = Token::Kind;
        if (token.kind == Kind::GroupStart || token.kind == Kind::GroupEnd) {
            skip_ = 0;
            flushText();
            if (token.kind == Kind::GroupStart) {
                top().starred = false;  // \* applies to a word only
                push();
                return;
            }
            // The last paragraph needs the outermost group's formatting.
            if (stack_.size() == 1 && !spans_.empty()) endParagraph(false);
            pop();
            return;
        }
        if (token.kind == Kind::Text) {
            std::string_view bytes = token.text;
            std::size_t skipped = std::min<std::size_t>(static_cast<std::size_t>(skip_), bytes.size());
            bytes.remove_prefix(skipped);
            skip_ -= static_cast<int>(skipped);
            text(bytes);
            return;
        }
        if (skip_ > 0) {  // a fallback for the \u just read
            --skip_;
            return;
        }
        const bool starred = std::exchange(top().starred, false);
        switch (token.kind) {
        case Kind::Hex: hex(token.byte); break;
        case Kind::Binary: binary(token.text); break;
        case Kind::Symbol: symbol(token.symbol); break;
        case Kind::Word: flushText(); word(token, starred); break;
        default: break;
        }
    }

    void push()
    {
        if (stack_.size() >= static_cast<std::size_t>(Limits::maxGroupDepth)) throw ImportError("groups nested too deep");
        Group child = top();
        child.opened = false;
        child.starred = false;
        stack_.push_back(child);
    }

    void pop()
    {
        Group closed = stack_.back();
        stack_.pop_back();
        if (closed.destination == Destination::FontTable) finishFontName();
        if (!closed.opened || stack_.empty()) return;
        if (closed.destination == Destination::Picture) finishPicture();
        if (closed.destination == Destination::LevelMarker) lists_.setLevelMarker(std::move(marker_));
        // The label stays in the text as a typed marker, which readers expect
        // to end with a tab.
        if (closed.oldListLabel && !oldListLabel_.empty() && oldListLabel_.back() != '\t') appendToParagraph("\t");
    }

    void open(Destination destination)
    {
        top().destination = destination;
        top().opened = true;
    }

    void skipDestination()
    {
        if (stack_.size() == 1 && !spans_.empty()) endParagraph(false);  // skipping the outermost group
        tokens_.skipGroup();
        stack_.pop_back();
    }

    // --- Text ---

    int codePage()
    {
        int font = top().chars.font < 0 ? defaultFont_ : top().chars.font;
        auto entry = fonts_.find(font);
        return entry != fonts_.end() && entry->second.codePage != 0 ? entry->second.codePage : ansiCodePage_;
    }

    void text(std::string_view bytes)
    {
        switch (top().destination) {
        case Destination::Body:
        case Destination::ListText:
        case Destination::LevelMarker:
            for (char c : bytes)
                // C0 controls other than tab would only show as boxes.
                if (static_cast<std::uint8_t>(c) >= 0x20 || c == '\t') pending_.push_back(static_cast<std::uint8_t>(c));
            break;
        case Destination::FontTable:
            for (char c : bytes) {
                if (c == ';') finishFontName();
                else if (fontEntry_ && fontName_.size() < Limits::maxFontNameBytes) fontName_.push_back(static_cast<std::uint8_t>(c));
            }
            break;
        case Destination::LevelText:
            for (char c : bytes) levelTextByte(static_cast<std::uint8_t>(c));
            break;
        case Destination::Picture:
            for (char c : bytes) pictureNibble(hexDigit(c));
            break;
        default: break;
        }
    }

    void hex(std::uint8_t byte)
    {
        switch (top().destination) {
        case Destination::Body:
        case Destination::ListText:
        case Destination::LevelMarker:
            if (byte >= 0x20 || byte == '\t') pending_.push_back(byte);
            break;
        case Destination::FontTable:
            if (fontEntry_ && fontName_.size() < Limits::maxFontNameBytes) fontName_.push_back(byte);
            break;
        case Destination::LevelText:
            levelTextByte(byte);
            break;
        default: break;
        }
    }

    void levelTextByte(std::uint8_t byte)
    {
        // Bytes below a space are the length and the level placeholders.
        if (byte < 0x20) {
            lists_.appendLevelText(byte);
            return;
        }
        auto scalars = Text::scalars(CodePages::decode(&byte, 1, ansiCodePage_));
        if (!scalars.empty()) lists_.appendLevelText(scalars.front());
    }

    void flushText()
    {
        if (pending_.empty()) return;
        std::string decoded = CodePages::decode(pending_.data(), pending_.size(), codePage());
        pending_.clear();
        deliver(decoded);
    }

    // Decoded text to the current destination.
    void deliver(std::string_view utf8)
    {
        switch (top().destination) {
        case Destination::Body:
        case Destination::ListText:
            if (top().dropText || top().chars.hidden) break;
            appendToParagraph(utf8);
            if (top().oldListLabel && oldListLabel_.size() < Limits::maxOldListLabelBytes) oldListLabel_ += utf8;
            break;
        case Destination::LevelMarker:
            marker_ += utf8;
            break;
        default: break;
        }
    }

    void deliverScalar(char32_t scalar)
    {
        if (top().destination == Destination::LevelText) {
            lists_.appendLevelText(scalar);
            return;
        }
        std::string utf8;
        Text::appendScalar(utf8, scalar);
        deliver(utf8);
    }

    Font currentFont()
    {
        const CharFormat& chars = top().chars;
        int index = chars.font < 0 ? defaultFont_ : chars.font;
        auto entry = fonts_.find(index);
        return Font{entry != fonts_.end() ? entry->second.name : std::string(), chars.bold, chars.italic,
                    chars.halfPoints / 2.0};
    }

    void appendToParagraph(std::string_view utf8)
    {
        if (utf8.empty()) return;
        Font font = currentFont();
        if (!spans_.empty() && !spans_.back().attachment && spans_.back().font == font)
            spans_.back().text += utf8;
        else
            spans_.push_back(Span{std::string(utf8), std::move(font), std::nullopt});
    }

    void unicode(int value)
    {
        // \u takes a signed 16-bit value; pairs of surrogates make one scalar.
        char32_t unit = static_cast<char32_t>(value < 0 ? value + 65536 : value) & 0xFFFF;
        skip_ = top().unicodeSkip;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
            return;
        }
        char32_t scalar = unit;
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            scalar = highSurrogate_ ? 0x10000 + ((*highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00) : U'\uFFFD';
        highSurrogate_.reset();
        if (scalar < 0x20 && scalar != '\t') return;
        deliverScalar(scalar);
    }

    void symbol(char c)
    {
        switch (c) {
        case '\\': case '{': case '}':
            hex(static_cast<std::uint8_t>(c));  // a literal character, gathered with the text around it
            return;
        case '*':
            top().starred = true;
            return;
        default: break;
        }
        flushText();
        switch (c) {
        case '~': deliverScalar(U'\u00A0'); break;
        case '_': deliverScalar(U'\u2011'); break;
        case '\n': if (isText()) endParagraph(false); break;
        default: break;  // \- (optional hyphen), \| and \: show nothing
        }
    }

    bool isText() { return top().destination == Destination::Body || top().destination == Destination::ListText; }

    // --- Control words ---

    void word(const Token& token, bool starred);
    void destinationWord(std::string_view name);
    void bodyWord(std::string_view name, int value, bool has);
    void tableWord(std::string_view name, int value);

    // --- Paragraphs ---

    void endParagraph(bool asCell)
    {
        flushText();
        Paragraph paragraph;
        paragraph.spans = std::move(spans_);
        spans_.clear();
        const ParaFormat& para = top().para;
        if (para.list != 0) {
            if (auto item = lists_.nextItem(para.list, para.level)) {
                paragraph.textLists = std::move(item->lists);
                paragraph.itemNumber = item->itemNumber;
            }
        }
        // An older list gives each item its label as written ("1.", "•"):
        // the label is the whole marker.
        std::string label = std::exchange(oldListLabel_, {});
        std::erase_if(label, [](char c) { return c == '{' || c == '}'; });
        label = std::string(Text::trimWhitespace(label));
        if (paragraph.textLists.empty() && !label.empty()) {
            paragraph.textLists.push_back(TextList{std::move(label)});
            paragraph.itemNumber = 1;
        }
        if (asCell || para.inTable)
            tables_.addParagraph(document_.paragraphs.size());
        else
            tables_.finish(document_.paragraphs);
        document_.paragraphs.push_back(std::move(paragraph));
    }

    // --- Fonts ---

    void finishFontName()
    {
        if (!fontEntry_) return;
        FontEntry& entry = fonts_[*fontEntry_];
        int page = entry.codePage != 0 ? entry.codePage : ansiCodePage_;
        entry.name = std::string(Text::trimWhitespace(CodePages::decode(fontName_.data(), fontName_.size(), page)));
        fontName_.clear();
        fontEntry_.reset();
    }

    // --- Pictures ---

    void pictureNibble(int value)
    {
        if (value < 0 || picture_.tooBig) return;
        if (picture_.nibble < 0) {
            picture_.nibble = value;
            return;
        }
        if (picture_.data.size() >= Limits::maxPictureBytes) {
            picture_.tooBig = true;
            picture_.data = {};
            return;
        }
        picture_.data.push_back(static_cast<std::uint8_t>(picture_.nibble * 16 + value));
        picture_.nibble = -1;
    }

    void binary(std::string_view bytes)
    {
        if (top().destination != Destination::Picture || picture_.tooBig) return;
        if (picture_.data.size() + bytes.size() > Limits::maxPictureBytes) {
            picture_.tooBig = true;
            picture_.data = {};
            return;
        }
        picture_.data.insert(picture_.data.end(), bytes.begin(), bytes.end());
    }

    void finishPicture()
    {
        PictureState picture = std::move(picture_);
        picture_ = {};
        if (!picture.usable || picture.tooBig || picture.data.empty() || !isText() || top().dropText || top().chars.hidden)
            return;
        auto bound = [](int goal, int scale) {
            return goal > 0 ? goal / 20.0 * (scale > 0 ? scale : 100) / 100.0 : 0.0;
        };
        Attachment attachment{std::move(picture.data), bound(picture.widthGoal, picture.scaleX),
                              bound(picture.heightGoal, picture.scaleY)};
        spans_.push_back(Span{"\uFFFC", std::nullopt, std::move(attachment)});
    }

    Tokenizer tokens_;
    std::vector<Group> stack_;
    Document document_;
    std::vector<Span> spans_;  // the paragraph being read
    Bytes pending_;            // text bytes not yet decoded
    int skip_ = 0;             // fallback characters still to skip after \u
    std::optional<char32_t> highSurrogate_;

    int ansiCodePage_ = CodePages::ansi;
    int defaultFont_ = 0;
    std::map<int, FontEntry> fonts_;
    std::optional<int> fontEntry_;
    Bytes fontName_;

    ListTable lists_;
    std::string marker_;
    std::string oldListLabel_;  // the \pntext label of the paragraph being read
    TableBuilder tables_;
    PictureState picture_;
};

void Parser::word(const Token& token, bool starred)
{
    std::string_view name = token.text;
    const int value = token.parameter;
    const bool has = token.hasParameter;

    if (isDestinationWord(name) || starred) {
        destinationWord(name);
        return;
    }
    switch (top().destination) {
    case Destination::FontTable:
        if (name == "f") {
            finishFontName();
            fontEntry_ = value;
            fonts_[value] = FontEntry{};
            fontName_.clear();
        } else if (name == "fcharset" && fontEntry_) {
            fonts_[*fontEntry_].codePage = CodePages::forCharset(value);
        } else if (name == "cpg" && fontEntry_) {
            fonts_[*fontEntry_].codePage = value;
        }
        return;
    case Destination::ListTable:
        if (name == "listid") lists_.setListId(value);
        else if (name == "levelnfc" || name == "levelnfcn") lists_.setNumberFormat(value);
        else if (name == "levelstartat") lists_.setStartAt(value);
        return;
    case Destination::ListOverrideTable:
        if (name == "listid") lists_.setOverrideListId(value);
        else if (name == "ls") lists_.setOverrideNumber(value);
        return;
    case Destination::Picture:
        if (name == "pngblip" || name == "jpegblip") picture_.usable = true;
        else if (name == "picwgoal") picture_.widthGoal = value;
        else if (name == "pichgoal") picture_.heightGoal = value;
        else if (name == "picscalex") picture_.scaleX = value;
        else if (name == "picscaley") picture_.scaleY = value;
        return;
    default:
        bodyWord(name, value, has);
        return;
    }
}

void Parser::destinationWord(std::string_view name)
{
    const Destination here = top().destination;
    if (name == "fonttbl") open(Destination::FontTable);
    else if (name == "listtable") open(Destination::ListTable);
    else if (name == "listoverridetable") open(Destination::ListOverrideTable);
    else if (name == "list" && here == Destination::ListTable) lists_.beginList();
    else if (name == "listlevel" && here == Destination::ListTable) lists_.beginLevel();
    else if (name == "leveltext" && here == Destination::ListTable) {
        lists_.clearLevelText();
        open(Destination::LevelText);
    } else if (name == "levelmarker" && here == Destination::ListTable) {
        marker_.clear();
        open(Destination::LevelMarker);
    } else if (name == "listoverride" && here == Destination::ListOverrideTable) lists_.beginOverride();
    else if ((name == "listtext" || name == "pntext") && here == Destination::Body) {
        open(Destination::ListText);
        top().oldListLabel = name == "pntext";
    }
    else if (name == "pict" && isText()) {
        picture_ = {};
        open(Destination::Picture);
    } else if (isTransparentDestination(name)) {
        // Its content is ordinary text of the enclosing destination.
    } else if (name == "footnote") {
        // Counted where the text has it, as a header's or a skipped group's are never seen.
        const bool counted = isText();
        const bool endnote = tokens_.skipGroup("ftnalt");
        stack_.pop_back();
        if (counted) ++(endnote ? document_.endnotes : document_.footnotes);
    } else if (name == "NeXTGraphic") {
        // A Cocoa attachment whose file is not in the bytes: drop the group and
        // the attachment character that follows it.
        skipDestination();
        if (!stack_.empty()) top().dropText = true;
    } else {
        skipDestination();  // including every optional (\*) destination we do not read
    }
}

void Parser::bodyWord(std::string_view name, int value, bool has)
{
    Group& group = top();
    CharFormat& chars = group.chars;
    if (name == "par" || name == "sect" || name == "page") {
        if (isText()) endParagraph(false);
    } else if (name == "line") deliverScalar(U'\u2028');
    else if (name == "tab") deliverScalar(U'\t');
    else if (name == "b") chars.bold = !has || value != 0;
    else if (name == "i") chars.italic = !has || value != 0;
    else if (name == "v") chars.hidden = !has || value != 0;
    else if (name == "fs") chars.halfPoints = has && value > 0 ? std::min(value, 3276) : 24;
    else if (name == "f") chars.font = has ? value : -1;
    else if (name == "plain") chars = CharFormat{};
    else if (name == "pard") group.para = ParaFormat{};
    else if (name == "intbl") group.para.inTable = true;
    else if (name == "itap") group.para.inTable = value > 0;
    else if (name == "ls") group.para.list = value;
    else if (name == "ilvl") group.para.level = std::clamp(value, 0, Limits::maxListLevel);
    else if (name == "uc") group.unicodeSkip = std::clamp(value, 0, Limits::maxUnicodeSkip);
    else if (name == "u") unicode(value);
    else if (name == "ansicpg") ansiCodePage_ = value > 0 ? value : CodePages::ansi;
    else if (name == "mac") ansiCodePage_ = 10000;
    else if (name == "pc") ansiCodePage_ = 437;
    else if (name == "pca") ansiCodePage_ = 850;
    else if (name == "deff") defaultFont_ = value;
    else if (auto special = specialCharacter(name)) deliverScalar(*special);
    else tableWord(name, value);
}

void Parser::tableWord(std::string_view name, int value)
{
    if (name == "trowd") tables_.defineRow();
    else if (name == "cellx") tables_.addCell(value);
    else if (name == "clmrg") tables_.mergeWithPrevious();
    else if (name == "clvmrg") tables_.mergeWithAbove();
    else if (name == "cell" || name == "nestcell") {
        if (!isText()) return;
        endParagraph(true);
        if (name == "cell") tables_.endCell();
    } else if (name == "row") {
        if (!isText()) return;
        // Text between the last \cell and \row is one more cell.
        flushText();
        if (std::any_of(spans_.begin(), spans_.end(), [](const Span& s) { return !s.text.empty(); })) endParagraph(true);
        spans_.clear();
        tables_.endRow();
    }
}

} // namespace

Document parse(const std::uint8_t* data, std::size_t size)
{
    std::size_t start = 0;
    while (start < size && (data[start] == ' ' || data[start] == '\t' || data[start] == '\r' || data[start] == '\n')) ++start;
    static constexpr char header[] = "{\\rtf";
    if (size - start < std::strlen(header) || std::memcmp(data + start, header, std::strlen(header)) != 0)
        throw ImportError("not RTF: no {\\rtf header");
    return Parser(data + start, size - start).run();
}

Document parse(const Bytes& data) { return parse(data.data(), data.size()); }

} // namespace Platform::RichText
