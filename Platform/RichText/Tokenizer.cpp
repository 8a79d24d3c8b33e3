#include "Platform/RichText/Tokenizer.h"

#include "Platform/RichText.h"
#include "Platform/RichText/Limits.h"

#include <algorithm>

namespace Platform::RichText {

namespace {

bool isLetter(std::uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

Token kind(Token::Kind k)
{
    Token token;
    token.kind = k;
    return token;
}

int hexValue(std::uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

long long Tokenizer::readParameter(bool& has)
{
    bool negative = false;
    std::size_t start = pos_;
    if (!atEnd() && data_[pos_] == '-' && pos_ + 1 < size_ && isDigit(data_[pos_ + 1])) {
        negative = true;
        ++pos_;
    }
    long long value = 0;
    has = false;
    while (!atEnd() && isDigit(data_[pos_])) {
        // Keep consuming digits but stop growing: a huge number clamps.
        value = std::min(value * 10 + (data_[pos_] - '0'), Limits::maxParameter);
        has = true;
        ++pos_;
    }
    if (!has) pos_ = start;
    return negative ? -value : value;
}

Token Tokenizer::controlWord()
{
    // pos_ is at the first letter after the backslash.
    std::size_t start = pos_;
    while (!atEnd() && isLetter(data_[pos_])) ++pos_;
    Token token;
    token.kind = Token::Kind::Word;
    token.text = std::string_view(reinterpret_cast<const char*>(data_ + start), pos_ - start);
    long long value = readParameter(token.hasParameter);
    token.parameter = static_cast<int>(value);
    // A single space delimits the word and belongs to it.
    if (!atEnd() && data_[pos_] == ' ') ++pos_;

    if (token.text == "bin") {
        long long length = token.hasParameter ? std::max(0LL, value) : 0;
        if (static_cast<unsigned long long>(length) > size_ - pos_)
            throw ImportError("\\bin claims more bytes than the file holds");
        Token binary;
        binary.kind = Token::Kind::Binary;
        binary.text = std::string_view(reinterpret_cast<const char*>(data_ + pos_), static_cast<std::size_t>(length));
        pos_ += static_cast<std::size_t>(length);
        return binary;
    }
    return token;
}

Token Tokenizer::next()
{
    while (!atEnd()) {
        std::uint8_t c = data_[pos_];
        if (c == '{') {
            ++pos_;
            return kind(Token::Kind::GroupStart);
        }
        if (c == '}') {
            ++pos_;
            return kind(Token::Kind::GroupEnd);
        }
        if (c == '\r' || c == '\n') {
            ++pos_;  // line ends in the file carry no meaning
            continue;
        }
        if (c == '\\') {
            ++pos_;
            if (atEnd()) break;
            std::uint8_t d = data_[pos_];
            if (isLetter(d)) return controlWord();
            ++pos_;
            if (d == '\'') {
                int high = pos_ < size_ ? hexValue(data_[pos_]) : -1;
                int low = pos_ + 1 < size_ ? hexValue(data_[pos_ + 1]) : -1;
                if (high < 0 || low < 0) continue;  // a broken \' is dropped
                pos_ += 2;
                Token token;
                token.kind = Token::Kind::Hex;
                token.byte = static_cast<std::uint8_t>(high * 16 + low);
                return token;
            }
            Token token;
            token.kind = Token::Kind::Symbol;
            token.symbol = (d == '\r') ? '\n' : static_cast<char>(d);
            if (d == '\r' && !atEnd() && data_[pos_] == '\n') ++pos_;
            return token;
        }
        std::size_t start = pos_;
        while (!atEnd()) {
            std::uint8_t b = data_[pos_];
            if (b == '\\' || b == '{' || b == '}' || b == '\r' || b == '\n') break;
            ++pos_;
        }
        Token token;
        token.kind = Token::Kind::Text;
        token.text = std::string_view(reinterpret_cast<const char*>(data_ + start), pos_ - start);
        return token;
    }
    return kind(Token::Kind::End);
}

bool Tokenizer::skipGroup(std::string_view watch)
{
    bool seen = false;
    // Depth is only a counter here, so deep nesting inside skipped material
    // costs nothing. Escapes and \bin data must not be mistaken for braces.
    std::size_t depth = 1;
    while (!atEnd()) {
        std::uint8_t c = data_[pos_++];
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0) return seen;
        } else if (c == '\\' && !atEnd()) {
            if (isLetter(data_[pos_])) {
                Token word = controlWord();  // consumes \bin data too
                seen = seen || (depth == 1 && !watch.empty() && word.text == watch);
            } else {
                ++pos_;  // \{ \} \\ and the like
            }
        }
    }
    return seen;
}

} // namespace Platform::RichText
