#include "Platform/PdfContentLexer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>

namespace Platform::PdfContent {

namespace {

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

} // namespace

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
    // Where the next token is looked for.
    std::size_t position() const { return pos_; }

    // Moves past an inline image's data, its dictionary already read; `length`
    // is the data's size when it is known. Returns false when the data's end
    // can't be told: Poppler reads a filtered image through its filter and then
    // takes the first "EI" it meets, so an "EI" within the data may end it there.
    bool skipImageData(std::optional<std::size_t> length)
    {
        if (pos_ < data_.size() && isWhite(at(pos_))) ++pos_; // the one white-space byte after ID
        if (length) {
            // Poppler reads exactly the data and then looks for the next "EI", however placed.
            pos_ = std::min(data_.size(), pos_ + *length);
            std::size_t ei = data_.find("EI", pos_);
            pos_ = ei == std::string_view::npos ? data_.size() : ei + 2;
            return true;
        }
        // Compressed data may hold the two letters anywhere; an "EI" standing
        // as a word of its own is the end, and the only one if the end is sure.
        const std::size_t first = data_.find("EI", pos_);
        for (std::size_t ei = first; ei != std::string_view::npos; ei = data_.find("EI", ei + 1)) {
            bool before = ei == 0 || isWhite(at(ei - 1));
            bool after = ei + 2 >= data_.size() || !isRegular(at(ei + 2));
            if (before && after) {
                pos_ = ei + 2;
                return ei == first;
            }
        }
        pos_ = data_.size();
        return first == std::string_view::npos;
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
                return {Token::Kind::other, data_.substr(start, 2), 0};
            }
            return hexString();
        case '>': {
            std::size_t length = pos_ + 1 < data_.size() && at(pos_ + 1) == '>' ? 2 : 1;
            pos_ += length;
            return {Token::Kind::other, data_.substr(start, length), 0};
        }
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

namespace {

// "#20" in a name stands for the byte 0x20; qpdf's dictionary keys are decoded.
// Written into `name`, whose storage is reused from one name to the next.
// Returns false when the name holds a NUL, where Poppler ends it and qpdf does not.
bool decodeName(std::string_view raw, std::string& name)
{
    name.clear();
    name += '/';
    bool whole = true;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        int high = i + 2 < raw.size() && raw[i] == '#' ? hexValue(static_cast<unsigned char>(raw[i + 1])) : -1;
        int low = high >= 0 ? hexValue(static_cast<unsigned char>(raw[i + 2])) : -1;
        if (low >= 0) {
            name += static_cast<char>(high * 16 + low);
            whole = whole && (high > 0 || low > 0);
            i += 2;
        } else {
            name += raw[i];
        }
    }
    return whole;
}

std::optional<long long> integer(std::string_view text)
{
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

struct InlineImage {
    std::optional<std::size_t> length; // of its data as written, when it can be told
    std::size_t claimed = 0;           // decoded bytes its dictionary claims, which Poppler reads
};

// An inline image's dictionary up to "ID": each key's value, or for an array
// "[" and its first item ("[I" for an indexed colour space).
std::map<std::string, std::string, std::less<>> inlineImageDictionary(Tokens& tokens)
{
    std::map<std::string, std::string, std::less<>> values;
    std::string key;
    int depth = 0; // within an array or dictionary value
    for (Token t = tokens.next(); t.kind != Token::Kind::end; t = tokens.next()) {
        bool opens = t.kind == Token::Kind::arrayOpen || t.text == "<<";
        bool closes = t.kind == Token::Kind::arrayClose || t.text == ">>";
        if (depth == 0) {
            if (t.kind == Token::Kind::keyword && t.text == "ID") break;
            if (key.empty()) {
                if (t.kind == Token::Kind::name) key = std::string(t.text);
                continue;
            }
            values[key] = t.kind == Token::Kind::arrayOpen ? "[" : std::string(t.text);
            if (opens) depth = 1;
            else key.clear();
            continue;
        }
        if (values[key] == "[" && t.kind == Token::Kind::name) values[key] += t.text;
        depth += opens ? 1 : closes ? -1 : 0;
        if (depth == 0) key.clear();
    }
    return values;
}

// Reads an inline image's dictionary up to "ID". Its data's length is known
// when Poppler reads it as written: no filter, a device or indexed colour
// space, and width, height and bits per component that are numbers.
bool isOperator(const Token& t)
{
    return t.kind == Token::Kind::keyword && t.text != "true" && t.text != "false" && t.text != "null";
}

InlineImage inlineImage(Tokens& tokens)
{
    const auto values = inlineImageDictionary(tokens);
    auto value = [&](std::string_view shortKey, std::string_view longKey) -> std::string {
        auto found = values.find(shortKey);
        if (found == values.end()) found = values.find(longKey);
        return found == values.end() ? std::string() : found->second;
    };
    auto width = integer(value("W", "Width")), height = integer(value("H", "Height"));
    long long components = 0, bits = 0;
    if (value("IM", "ImageMask") == "true") {
        components = 1, bits = 1;
    } else {
        std::string space = value("CS", "ColorSpace");
        components = space == "G" || space == "DeviceGray" || space == "[I" || space == "[Indexed" ? 1 :
                     space == "RGB" || space == "DeviceRGB" ? 3 :
                     space == "CMYK" || space == "DeviceCMYK" ? 4 : 0;
        bits = integer(value("BPC", "BitsPerComponent")).value_or(0);
    }
    if (!width || !height || *width <= 0 || *height <= 0 || bits <= 0 || bits > 16) return {};
    // A colour space from the page's resources has at least one component.
    const long double row = std::floor((static_cast<long double>(*width) * std::max(components, 1LL) * bits + 7) / 8);
    const long double claimed = std::min<long double>(static_cast<long double>(*height) * row, 1e18L);

    InlineImage image{std::nullopt, static_cast<std::size_t>(claimed)};
    if (value("F", "Filter").empty() && components > 0) image.length = image.claimed;
    return image;
}

} // namespace

void Lexer::lex(std::string_view data)
{
    out_.own.bytes += data.size();
    Tokens tokens(data);
    std::size_t counted = 0;
    for (Token t = tokens.next(); t.kind != Token::Kind::end; t = tokens.next()) {
        if (t.kind == Token::Kind::string) {
            pendingShown_ += t.shown;
        } else if (t.kind == Token::Kind::name) {
            if (!decodeName(t.text, lastName_)) unknown("a name holds a NUL byte");
            hasName_ = true;
        } else if (isOperator(t)) {
            operands_ += tokens.count() - counted;
            if (drawsPath(t.text)) out_.own.drawingTokens += operands_;
            operands_ = 0;
            operate(t.text, tokens);
            counted = tokens.count(); // an inline image's dictionary is no operand
        }
    }
    operands_ += tokens.count() - counted;
    out_.own.tokens += tokens.count();
}

void Lexer::unknown(std::string_view why)
{
    if (out_.own.unknown.empty()) out_.own.unknown = why;
}

void Lexer::use(Use kind)
{
    key_.assign(1, static_cast<char>(kind));
    key_ += lastName_;
    auto [entry, added] = index_.try_emplace(key_, static_cast<std::uint32_t>(out_.names.size()));
    if (added) {
        out_.names.push_back(lastName_);
        out_.kinds.push_back(kind);
    }
    out_.draws.push_back(entry->second);
}

void Lexer::operate(std::string_view op, Tokens& tokens)
{
    if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
        ++out_.own.textOperators;
        out_.own.shownBytes += pendingShown_;
    } else if (hasName_ && (op == "Do" || op == "gs" || op == "sh")) {
        use(op == "Do" ? Use::xobject : op == "gs" ? Use::graphicsState : Use::shading);
    } else if (op == "BI") {
        InlineImage image = inlineImage(tokens);
        out_.own.bytes = saturatingSum(out_.own.bytes, image.claimed);
        if (!tokens.skipImageData(image.length)) unknown("an inline image's end can't be told");
    } else if (op == "q") {
        out_.own.savedStates = std::max(out_.own.savedStates, ++depth_);
    } else if (op == "Q") {
        if (depth_ > 0) --depth_; // Poppler ignores a "Q" without its "q"
    }
    pendingShown_ = 0;
    hasName_ = false;
}

bool drawsPath(std::string_view op)
{
    static constexpr std::string_view ops[] = {"m", "l",  "c", "v",  "y", "h",  "re", "S", "s", "f",
                                               "F", "f*", "B", "B*", "b", "b*", "n",  "W", "W*"};
    return std::find(std::begin(ops), std::end(ops), op) != std::end(ops);
}

std::string withoutDrawing(std::string_view content)
{
    std::string kept;
    Tokens tokens(content);
    std::size_t start = 0; // where the operands of the next operator begin
    for (Token t = tokens.next(); t.kind != Token::Kind::end; t = tokens.next()) {
        if (!isOperator(t)) continue;
        if (t.text == "BI") tokens.skipImageData(inlineImage(tokens).length);
        const std::size_t end = tokens.position();
        if (drawsPath(t.text)) kept += ' '; // what stood on either side must not join
        else kept.append(content.substr(start, end - start));
        start = end;
    }
    kept.append(content.substr(start));
    return kept;
}

} // namespace Platform::PdfContent
