#pragma once

// Splits RTF bytes into tokens: braces, control words with their numeric
// parameter, control symbols, \'hh bytes, plain text and \bin data. Views
// point into the caller's buffer, which must outlive the tokenizer.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Platform::RichText {

struct Token {
    enum class Kind { GroupStart, GroupEnd, Word, Symbol, Hex, Text, Binary, End };
    Kind kind = Kind::End;
    std::string_view text;  // Word: the name; Text: the bytes (no CR or LF); Binary: the data
    int parameter = 0;      // Word: the parameter, clamped to 32 bits
    bool hasParameter = false;
    char symbol = 0;        // Symbol: the character after the backslash ('\n' for an escaped line end)
    std::uint8_t byte = 0;  // Hex: the byte value
};

class Tokenizer {
public:
    Tokenizer(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next token. Throws ImportError when \binN claims more bytes than remain.
    Token next();
    // Skips to the end of the group that is open (its closing brace is consumed),
    // without looking inside: used for destinations the importer does not read.
    // True when the control word `watch` (if given) stands in it outside its
    // inner groups, as \ftnalt marks a \footnote group as an endnote.
    bool skipGroup(std::string_view watch = {});

private:
    bool atEnd() const { return pos_ >= size_; }
    Token controlWord();
    long long readParameter(bool& has);

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace Platform::RichText
