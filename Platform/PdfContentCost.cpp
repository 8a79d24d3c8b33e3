// Design note: the cost is counted by a tokenizer of our own over the decoded
// bytes, not by qpdf's content parser, which makes an object of every token
// and reads a few megabytes a second: the count must cost far less than the
// reading it guards. Each form is decoded and tokenized once per page and
// remembered; every further use only adds its counts again and walks the
// names it draws.

#include "Platform/PdfContentCost.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Platform {
// Defined with the document, which owns the qpdf objects.
std::optional<QPDFPageObjectHelper> qpdfPageOf(const PdfPage& page);
} // namespace Platform

namespace Platform::PdfContent {

bool TextCost::within(const TextCost& limits) const
{
    return bytes <= limits.bytes && textOperators <= limits.textOperators && shownBytes <= limits.shownBytes &&
           formUses <= limits.formUses && savedStates <= limits.savedStates && tokens <= limits.tokens;
}

namespace {

// Poppler draws forms nested this deep and no deeper.
constexpr std::size_t deepestForm = 100;

// One stream's own counts (its formUses stay 0; savedStates is its deepest
// "q" nesting) and the XObjects it draws.
struct Lexed {
    TextCost own;
    std::vector<std::string> names;   // distinct names drawn with Do
    std::vector<std::uint32_t> draws; // indexes into names, in drawing order
};

bool isWhite(unsigned char c) { return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32; }

bool isDelimiter(unsigned char c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' ||
           c == '/' || c == '%';
}

bool isRegular(unsigned char c) { return !isWhite(c) && !isDelimiter(c); }

int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct Token {
    enum class Kind { end, string, name, number, keyword, arrayOpen, arrayClose, other };
    Kind kind = Kind::end;
    std::string_view text; // a name without its "/", a number, a keyword
    std::size_t shown = 0; // a string's bytes once its escapes are read
};

class Tokens {
public:
    explicit Tokens(std::string_view data) : data_(data) {}

    Token next()
    {
        while (pos_ < data_.size()) {
            unsigned char c = at(pos_);
            if (isWhite(c)) {
                ++pos_;
            } else if (c == '%') {
                while (pos_ < data_.size() && at(pos_) != '\n' && at(pos_) != '\r') ++pos_;
            } else {
                ++count_;
                return token(c);
            }
        }
        return {};
    }

    // The tokens returned so far.
    std::size_t count() const { return count_; }

    // Moves past an inline image's data, its dictionary already read; `length`
    // is the data's size when it is known.
    void skipImageData(std::optional<std::size_t> length)
    {
        if (pos_ < data_.size() && isWhite(at(pos_))) ++pos_; // the one white-space byte after ID
        if (length) {
            // Poppler reads exactly the data and then looks for the next "EI", however placed.
            pos_ = std::min(data_.size(), pos_ + *length);
            std::size_t ei = data_.find("EI", pos_);
            pos_ = ei == std::string_view::npos ? data_.size() : ei + 2;
            return;
        }
        // Compressed data may hold the two letters anywhere; an "EI" standing
        // as a word of its own is the end.
        for (std::size_t ei = data_.find("EI", pos_); ei != std::string_view::npos; ei = data_.find("EI", ei + 1)) {
            bool before = ei == 0 || isWhite(at(ei - 1));
            bool after = ei + 2 >= data_.size() || !isRegular(at(ei + 2));
            if (before && after) {
                pos_ = ei + 2;
                return;
            }
        }
        pos_ = data_.size();
    }

private:
    unsigned char at(std::size_t i) const { return static_cast<unsigned char>(data_[i]); }

    Token token(unsigned char c)
    {
        std::size_t start = pos_;
        switch (c) {
        case '(': return literalString();
        case '<':
            if (pos_ + 1 < data_.size() && at(pos_ + 1) == '<') {
                pos_ += 2;
                return {Token::Kind::other, {}, 0};
            }
            return hexString();
        case '>':
            pos_ += pos_ + 1 < data_.size() && at(pos_ + 1) == '>' ? 2 : 1;
            return {Token::Kind::other, {}, 0};
        case '[': ++pos_; return {Token::Kind::arrayOpen, {}, 0};
        case ']': ++pos_; return {Token::Kind::arrayClose, {}, 0};
        case '/':
            ++pos_;
            while (pos_ < data_.size() && isRegular(at(pos_))) ++pos_;
            return {Token::Kind::name, data_.substr(start + 1, pos_ - start - 1), 0};
        default:
            if (!isRegular(c)) { // ")", "{", "}": nothing to count
                ++pos_;
                return {Token::Kind::other, {}, 0};
            }
            while (pos_ < data_.size() && isRegular(at(pos_))) ++pos_;
            std::string_view text = data_.substr(start, pos_ - start);
            bool number = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
            return {number ? Token::Kind::number : Token::Kind::keyword, text, 0};
        }
    }

    Token literalString()
    {
        ++pos_;
        std::size_t shown = 0;
        int depth = 1;
        while (pos_ < data_.size()) {
            unsigned char c = at(pos_++);
            if (c == '\\') {
                if (pos_ >= data_.size()) break;
                unsigned char e = at(pos_++);
                if (e >= '0' && e <= '7') {
                    for (int i = 0; i < 2 && pos_ < data_.size() && at(pos_) >= '0' && at(pos_) <= '7'; ++i) ++pos_;
                } else if (e == '\r') {
                    if (pos_ < data_.size() && at(pos_) == '\n') ++pos_;
                    continue; // a line continued: no byte
                } else if (e == '\n') {
                    continue;
                }
                ++shown;
                continue;
            }
            if (c == '(') ++depth;
            if (c == ')' && --depth == 0) break;
            ++shown;
        }
        return {Token::Kind::string, {}, shown};
    }

    Token hexString()
    {
        ++pos_;
        std::size_t digits = 0;
        while (pos_ < data_.size() && at(pos_) != '>') digits += hexValue(at(pos_++)) >= 0 ? 1 : 0;
        if (pos_ < data_.size()) ++pos_;
        return {Token::Kind::string, {}, (digits + 1) / 2};
    }

    std::string_view data_;
    std::size_t pos_ = 0;
    std::size_t count_ = 0;
};

// "#20" in a name stands for the byte 0x20; qpdf's dictionary keys are decoded.
// Written into `name`, whose storage is reused from one name to the next.
void decodeName(std::string_view raw, std::string& name)
{
    name.assign("/");
    for (std::size_t i = 0; i < raw.size(); ++i) {
        int high = i + 2 < raw.size() && raw[i] == '#' ? hexValue(static_cast<unsigned char>(raw[i + 1])) : -1;
        int low = high >= 0 ? hexValue(static_cast<unsigned char>(raw[i + 2])) : -1;
        if (low >= 0) {
            name += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            name += raw[i];
        }
    }
}

std::optional<long long> integer(std::string_view text)
{
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Reads an inline image's dictionary up to "ID" and gives the size of its
// data when Poppler would read a known number of bytes: no filter, a device
// colour space, and width, height and bits per component that are numbers.
std::optional<std::size_t> inlineImageLength(Tokens& tokens)
{
    std::map<std::string, std::string, std::less<>> values;
    std::string key;
    bool plain = true; // no array or other compound value
    for (Token t = tokens.next(); t.kind != Token::Kind::end; t = tokens.next()) {
        if (t.kind == Token::Kind::keyword && t.text == "ID") break;
        if (t.kind == Token::Kind::name && key.empty()) {
            key = std::string(t.text);
            continue;
        }
        if (t.kind == Token::Kind::arrayOpen || t.kind == Token::Kind::string || t.kind == Token::Kind::other)
            plain = false;
        if (!key.empty()) values[key] = std::string(t.text);
        key.clear();
    }
    auto value = [&](std::string_view shortKey, std::string_view longKey) -> std::string {
        auto found = values.find(shortKey);
        if (found == values.end()) found = values.find(longKey);
        return found == values.end() ? std::string() : found->second;
    };
    if (!plain || !value("F", "Filter").empty()) return std::nullopt;
    auto width = integer(value("W", "Width")), height = integer(value("H", "Height"));
    long long components = 0, bits = 0;
    if (value("IM", "ImageMask") == "true") {
        components = 1, bits = 1;
    } else {
        std::string space = value("CS", "ColorSpace");
        components = space == "G" || space == "DeviceGray" ? 1 : space == "RGB" || space == "DeviceRGB" ? 3 :
                     space == "CMYK" || space == "DeviceCMYK" ? 4 : 0;
        bits = integer(value("BPC", "BitsPerComponent")).value_or(0);
    }
    if (!width || !height || *width <= 0 || *height <= 0 || components == 0 || bits <= 0 || bits > 16 ||
        *width > (1LL << 24) || *height > (1LL << 24))
        return std::nullopt;
    return static_cast<std::size_t>(*height * ((*width * components * bits + 7) / 8));
}

// Counts the tokens of one content, which may come in several streams:
// operands carry over from one of a page's streams to the next.
class Lexer {
public:
    explicit Lexer(Lexed& out) : out_(out) {}

    void lex(std::string_view data)
    {
        out_.own.bytes += data.size();
        Tokens tokens(data);
        for (Token t = tokens.next(); t.kind != Token::Kind::end; t = tokens.next()) {
            if (t.kind == Token::Kind::string) {
                pendingShown_ += t.shown;
            } else if (t.kind == Token::Kind::name) {
                decodeName(t.text, lastName_);
                hasName_ = true;
            } else if (t.kind == Token::Kind::keyword && t.text != "true" && t.text != "false" && t.text != "null") {
                operate(t.text, tokens);
            }
        }
        out_.own.tokens += tokens.count();
    }

private:
    void operate(std::string_view op, Tokens& tokens)
    {
        if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
            ++out_.own.textOperators;
            out_.own.shownBytes += pendingShown_;
        } else if (op == "Do" && hasName_) {
            auto [entry, added] = index_.try_emplace(lastName_, static_cast<std::uint32_t>(out_.names.size()));
            if (added) out_.names.push_back(lastName_);
            out_.draws.push_back(entry->second);
        } else if (op == "BI") {
            tokens.skipImageData(inlineImageLength(tokens));
        } else if (op == "q") {
            out_.own.savedStates = std::max(out_.own.savedStates, ++depth_);
        } else if (op == "Q") {
            if (depth_ > 0) --depth_; // Poppler ignores a "Q" without its "q"
        }
        pendingShown_ = 0;
        hasName_ = false;
    }

    Lexed& out_;
    std::size_t pendingShown_ = 0;
    std::size_t depth_ = 0;
    std::string lastName_; // the last name operand, when hasName_
    bool hasName_ = false;
    std::unordered_map<std::string, std::uint32_t> index_;
};

struct BudgetSpent {};

// Gathers a stream's decoded bytes, no more than `cap` of them.
class Gather : public Pipeline {
public:
    explicit Gather(std::size_t cap) : Pipeline("content gatherer", nullptr), cap_(cap) {}
    void write(unsigned char const* data, size_t length) override
    {
        if (length > cap_ - bytes.size()) throw BudgetSpent{};
        bytes.append(reinterpret_cast<const char*>(data), length);
    }
    void finish() override {}
    std::string bytes;

private:
    std::size_t cap_;
};

// The decoded bytes of `stream`, none when they would pass `cap`. What qpdf
// decoded before it met damage stands.
std::optional<std::string> decoded(QPDFObjectHandle stream, std::size_t cap)
{
    Gather gather(cap);
    try {
        stream.pipeStreamData(&gather, 0, qpdf_dl_specialized, true);
    } catch (const BudgetSpent&) {
        return std::nullopt;
    } catch (const std::exception&) {
    }
    return std::move(gather.bytes);
}

class Walk {
public:
    explicit Walk(const TextCost& limits) : limits_(limits) {}

    TextCost page(QPDFPageObjectHelper page)
    {
        try {
            resources_.push_back(page.getAttribute("/Resources", false));
            Lexed own;
            Lexer lexer(own);
            for (QPDFObjectHandle& stream : page.getPageContents()) {
                auto bytes = decoded(stream, limits_.bytes - own.own.bytes);
                if (!bytes) return spentBytes();
                lexer.lex(*bytes);
            }
            if (add(own.own, 0)) drawFormsOf(own, 0);
        } catch (const std::exception&) {
            // What could be read is counted; Poppler meets the same damage.
        }
        return cost_;
    }

private:
    static std::size_t past(std::size_t limit) { return limit == SIZE_MAX ? limit : limit + 1; }

    TextCost spentBytes()
    {
        cost_.bytes = past(limits_.bytes);
        return cost_;
    }

    // Adds a stream's own counts, drawn with `states` graphics states saved already.
    bool add(const TextCost& own, std::size_t states)
    {
        cost_.bytes += own.bytes;
        cost_.textOperators += own.textOperators;
        cost_.shownBytes += own.shownBytes;
        cost_.tokens += own.tokens;
        cost_.savedStates = std::max(cost_.savedStates, states + own.savedStates);
        return cost_.within(limits_);
    }

    // The form `name` draws from the innermost resources that name it; none
    // for another kind of XObject, or when qpdf can't read it (Poppler skips it too).
    std::optional<QPDFObjectHandle> formNamed(const std::string& name) const
    {
        try {
            for (auto level = resources_.rbegin(); level != resources_.rend(); ++level) {
                QPDFObjectHandle resources = *level;
                if (!resources.isDictionary()) continue;
                QPDFObjectHandle xobjects = resources.getKey("/XObject");
                if (!xobjects.isDictionary() || !xobjects.hasKey(name)) continue;
                QPDFObjectHandle object = xobjects.getKey(name);
                if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Form")) return object;
                return std::nullopt;
            }
        } catch (const std::exception&) {
        }
        return std::nullopt;
    }

    // Draws the forms `stream` draws, the stream itself drawn with `states`
    // graphics states saved already. Returns false once a count is past its limit.
    bool drawFormsOf(const Lexed& stream, std::size_t states)
    {
        // Poppler saves one more state for each form it draws.
        const std::size_t formStates = states + stream.own.savedStates + 1;
        std::vector<std::optional<QPDFObjectHandle>> forms(stream.names.size()); // looked up once per use
        std::vector<bool> looked(stream.names.size(), false);
        for (std::uint32_t index : stream.draws) {
            if (!looked[index]) {
                looked[index] = true;
                forms[index] = formNamed(stream.names[index]);
            }
            if (forms[index] && !draw(*forms[index], formStates)) return false;
        }
        return true;
    }

    bool draw(QPDFObjectHandle form, std::size_t states)
    {
        QPDFObjGen id = form.getObjGen();
        if (std::find(path_.begin(), path_.end(), id) != path_.end()) return true; // Poppler won't either
        ++cost_.formUses;
        if (path_.size() >= deepestForm) {
            cost_.formUses = std::max(cost_.formUses, past(limits_.formUses));
            return false;
        }
        if (!cost_.within(limits_)) return false;

        auto& known = lexed_[id];
        if (!known) {
            auto bytes = decoded(form, limits_.bytes - cost_.bytes);
            if (!bytes) {
                spentBytes();
                return false;
            }
            auto lexed = std::make_shared<Lexed>();
            Lexer(*lexed).lex(*bytes);
            known = std::move(lexed);
        }
        std::shared_ptr<const Lexed> stream = known;
        if (!add(stream->own, states)) return false;

        QPDFObjectHandle resources = QPDFObjectHandle::newNull();
        try {
            resources = form.getDict().getKey("/Resources");
        } catch (const std::exception&) {
        }
        path_.push_back(id);
        resources_.push_back(resources);
        bool within = drawFormsOf(*stream, states);
        resources_.pop_back();
        path_.pop_back();
        return within;
    }

    const TextCost& limits_;
    TextCost cost_;
    std::map<QPDFObjGen, std::shared_ptr<const Lexed>> lexed_;
    std::vector<QPDFObjGen> path_;            // the forms being drawn, outermost first
    std::vector<QPDFObjectHandle> resources_; // the page's, then those of each form in path_
};

} // namespace

TextCost measureText(const PdfPage& page, const TextCost& limits)
{
    auto pageObject = qpdfPageOf(page);
    if (!pageObject) return {};
    return Walk(limits).page(*pageObject);
}

} // namespace Platform::PdfContent
