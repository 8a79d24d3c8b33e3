#pragma once

// Unicode string semantics over UTF-8 std::string, backed by ICU.
// "Character" means an extended grapheme cluster throughout; "scalar" a
// Unicode code point. Every function is thread-safe.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

using Bytes = std::vector<std::uint8_t>;

namespace Text {

// --- Characters (grapheme clusters) ---

// Number of extended grapheme clusters: "e\u0301", a flag and a ZWJ family each count 1.
int characterCount(std::string_view text);
// The clusters of `text`, as views into it, in order.
std::vector<std::string_view> characters(std::string_view text);
// First / last cluster, or empty when the text is empty.
std::string_view firstCharacter(std::string_view text);
std::string_view lastCharacter(std::string_view text);
// The text after its first n clusters (empty when it has n or fewer).
std::string_view dropFirst(std::string_view text, int n);
// The text without its last n clusters (empty when it has n or fewer).
std::string_view dropLast(std::string_view text, int n);
// The first n clusters (the whole text when it has fewer).
std::string_view prefix(std::string_view text, int n);

// --- Scalars ---

// Code points of valid UTF-8 (invalid sequences become U+FFFD).
std::u32string scalars(std::string_view text);
std::string fromScalars(std::u32string_view scalars);
void appendScalar(std::string& out, char32_t scalar);
// The first code point, or none for the empty string.
std::optional<char32_t> firstScalar(std::string_view text);

// --- Equality that ignores how a character was composed ---

// Canonical equivalence: U+00E9 equals "e\u0301".
bool canonicallyEqual(std::string_view a, std::string_view b);
// A hash consistent with canonicallyEqual.
std::size_t canonicalHash(std::string_view text);
// Normalization Form C.
std::string nfc(std::string_view text);

// --- Character classes (on one cluster) ---

bool isLetter(std::string_view character);      // general category L*
bool isUppercase(std::string_view character);   // cased and unchanged by upper-casing
bool isLowercase(std::string_view character);   // cased and unchanged by lower-casing
bool isAlphanumeric(std::string_view character); // letters, marks and numbers
bool isNumber(std::string_view character);      // general category N*
bool isWhitespace(std::string_view character);  // Unicode White_Space, line ends included
// True when any scalar of the text is in the letter set (categories L* and M*).
bool containsLetter(std::string_view text);

bool isWhitespaceScalar(char32_t c);              // White_Space, line ends included
bool isNewlineScalar(char32_t c);                 // U+000A–U+000D, U+0085, U+2028, U+2029
bool isHorizontalWhitespaceScalar(char32_t c);    // White_Space minus the line ends
// Han, kana, Bopomofo, CJK punctuation and full-width forms: the scripts set
// without spaces between words (Hangul, which has spaces, is not among them).
bool isCJKScalar(char32_t c);
// The direction of the text's first strong letter (as a paragraph takes its
// own): true right to left, false left to right, none without one.
std::optional<bool> startsRightToLeft(std::string_view text);
// Whether a line ending in the character `last` joins the next line, which
// begins with `first`, without a space: when either is CJK.
bool joinsWithoutSpace(std::string_view last, std::string_view first);

// --- Case ---

std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);

// --- Trimming (by scalar) ---

// Trims " " and "\t" only.
std::string_view trimSpacesTabs(std::string_view text);
// Trims Unicode white space but not line ends.
std::string_view trimWhitespace(std::string_view text);
// Trims Unicode white space and line ends.
std::string_view trimWhitespaceAndNewlines(std::string_view text);

// --- Splitting and searching ---

// Pieces between `separator` (one scalar), empty pieces left out.
std::vector<std::string_view> splitOmittingEmpty(std::string_view text, char32_t separator);
bool contains(std::string_view text, std::string_view needle);
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);
void replaceAll(std::string& text, std::string_view from, std::string_view to);
// Where the first byte at or after `from` that is one of `bytes` lies, or
// npos: find_first_of's answer without its library call for every byte
// passed, which long texts searched for a few marks pay for.
inline std::size_t findAnyOf(std::string_view text, std::string_view bytes, std::size_t from = 0)
{
    for (std::size_t i = from; i < text.size(); ++i)
        for (char b : bytes)
            if (text[i] == b) return i;
    return std::string_view::npos;
}

// --- Decoding bytes ---

bool startsWithBytes(const Bytes& data, std::initializer_list<std::uint8_t> prefix);
// Strict UTF-8: none when any sequence is invalid.
std::optional<std::string> decodeUtf8(const std::uint8_t* data, std::size_t size);
// Whether the bytes are well-formed UTF-8 (what decodeUtf8 accepts), told without a copy.
bool isUtf8(const std::uint8_t* data, std::size_t size);
std::optional<std::string> decodeUtf8(const Bytes& data);
// UTF-8 in which every invalid sequence becomes U+FFFD.
std::string decodeUtf8Lossy(const std::uint8_t* data, std::size_t size);
std::string decodeUtf8Lossy(const Bytes& data);
// UTF-16: a leading byte-order mark picks the order and is dropped; without one,
// big-endian. None on unpaired surrogates or an odd byte count.
std::optional<std::string> decodeUtf16(const Bytes& data);
std::optional<std::string> decodeUtf16(const std::uint8_t* data, std::size_t size, bool littleEndian);
// UTF-32 in the given byte order, without a mark. None on a byte count that is
// not a multiple of four, a surrogate or a value past U+10FFFF.
std::optional<std::string> decodeUtf32(const std::uint8_t* data, std::size_t size, bool littleEndian);
// Windows-1252: none when a byte is one of the five undefined ones (81 8D 8F 90 9D).
std::optional<std::string> decodeWindows1252(const std::uint8_t* data, std::size_t size);
std::optional<std::string> decodeWindows1252(const Bytes& data);
// ISO Latin-1: every byte is the code point of the same value.
std::string decodeLatin1(const std::uint8_t* data, std::size_t size);
// Any encoding ICU knows by name (a code page); none when unknown or invalid.
std::optional<std::string> decodeNamed(const std::uint8_t* data, std::size_t size, const char* encoding);

// --- Text for drawing ---

// True for the scalars Cairo refuses to write into a PDF although they are
// valid UTF-8: the noncharacters U+FDD0–U+FDEF and every scalar ending in
// FFFE or FFFF.
bool isNoncharacter(char32_t c);
// `text` as Pango and Cairo take it: valid UTF-8 without NUL bytes or
// noncharacters, each bad sequence, NUL and noncharacter replaced by U+FFFD.
std::string drawable(std::string_view text);
void appendDrawable(std::string& out, std::string_view text);

} // namespace Text
} // namespace Platform
