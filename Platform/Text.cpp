// Unicode helpers over UTF-8. Grapheme clusters come from ICU's character
// break iterator run directly over the UTF-8 bytes (UText), so no copy of the
// text is made; pure ASCII takes a fast path, where only CR LF joins.

#include "Platform/Text.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <memory>

namespace Platform::Text {
namespace {

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One character break iterator per thread: ICU iterators are not shareable.
icu::BreakIterator& characterIterator()
{
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) throw std::runtime_error("ICU has no character break rules");
        return it;
    }();
    return *iterator;
}

// Runs ICU's break rules over text[begin, end), offsetting what it reports.
template <typename Visit>
bool visitWithIcu(std::string_view text, std::size_t begin, std::size_t end, Visit& visit)
{
    UErrorCode status = U_ZERO_ERROR;
    UText* ut = utext_openUTF8(nullptr, text.data() + begin, static_cast<int64_t>(end - begin), &status);
    if (U_FAILURE(status)) return false;
    icu::BreakIterator& it = characterIterator();
    it.setText(ut, status);
    bool going = true;
    std::int32_t from = it.first();
    for (std::int32_t to = it.next(); going && to != icu::BreakIterator::DONE; from = to, to = it.next())
        going = visit(begin + static_cast<std::size_t>(from), begin + static_cast<std::size_t>(to));
    utext_close(ut);
    return going;
}

// Calls `visit(begin, end)` for each cluster; stops when it returns false.
// Between two ASCII characters there is always a cluster boundary (but for
// CR LF), so ICU only sees the stretches around non-ASCII text.
// Whether every scalar of `segment` is its own cluster, as between U+0000 and
// U+02FF (ASCII, Latin-1 and the Latin extensions, spacing modifiers: the
// combining marks begin at U+0300), but for CR LF, which the caller joins.
// Only well-formed UTF-8 passes: ICU decides how broken bytes are grouped.
bool eachScalarACluster(std::string_view segment)
{
    for (std::size_t k = 0; k < segment.size(); ++k) {
        const auto byte = static_cast<unsigned char>(segment[k]);
        if (byte < 0x80) continue;
        if (byte < 0xC2 || byte > 0xCB || k + 1 >= segment.size() ||
            (static_cast<unsigned char>(segment[k + 1]) & 0xC0) != 0x80)
            return false;
        ++k;
    }
    return true;
}

template <typename Visit>
bool visitScalars(std::string_view text, std::size_t begin, std::size_t end, Visit& visit)
{
    for (std::size_t k = begin; k < end;) {
        std::size_t next = k + (static_cast<unsigned char>(text[k]) < 0x80 ? 1 : 2);
        if (text[k] == '\r' && next < end && text[next] == '\n') ++next;
        if (!visit(k, next)) return false;
        k = next;
    }
    return true;
}

template <typename Visit>
void forEachCluster(std::string_view text, Visit visit)
{
    const std::size_t n = text.size();
    auto ascii = [&](std::size_t i) { return static_cast<unsigned char>(text[i]) < 0x80; };
    auto boundary = [&](std::size_t j) { return ascii(j - 1) && ascii(j) && !(text[j - 1] == '\r' && text[j] == '\n'); };
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i + 1;
        while (j < n && !boundary(j)) ++j;
        bool going;
        if (j == i + 1 || (j == i + 2 && text[i] == '\r'))
            going = visit(i, j);
        else if (eachScalarACluster(text.substr(i, j - i)))
            going = visitScalars(text, i, j, visit); // most Latin text: no break iterator set up
        else
            going = visitWithIcu(text, i, j, visit);
        if (!going) return;
        i = j;
    }
}

const icu::Normalizer2& nfcNormalizer()
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) throw std::runtime_error("ICU has no NFC data");
    return *n;
}

icu::UnicodeString unicode(std::string_view text)
{
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

std::string utf8(const icu::UnicodeString& text)
{
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool isNfcQuick(std::string_view text)
{
    if (isAscii(text)) return true;
    UErrorCode status = U_ZERO_ERROR;
    return nfcNormalizer().isNormalized(unicode(text), status) && U_SUCCESS(status);
}

template <typename Pred>
std::string_view trimScalars(std::string_view text, Pred drop)
{
    std::size_t begin = 0;
    while (begin < text.size()) {
        UChar32 c;
        std::int32_t i = static_cast<std::int32_t>(begin);
        U8_NEXT(text.data(), i, static_cast<std::int32_t>(text.size()), c);
        if (c < 0 || !drop(static_cast<char32_t>(c))) break;
        begin = static_cast<std::size_t>(i);
    }
    std::size_t end = text.size();
    while (end > begin) {
        UChar32 c;
        std::int32_t i = static_cast<std::int32_t>(end);
        U8_PREV(text.data(), static_cast<std::int32_t>(begin), i, c);
        if (c < 0 || !drop(static_cast<char32_t>(c))) break;
        end = static_cast<std::size_t>(i);
    }
    return text.substr(begin, end - begin);
}

} // namespace

int characterCount(std::string_view text)
{
    if (isAscii(text)) {
        int crlf = 0;
        for (std::size_t i = 0; i + 1 < text.size(); ++i) crlf += text[i] == '\r' && text[i + 1] == '\n';
        return static_cast<int>(text.size()) - crlf;
    }
    int count = 0;
    forEachCluster(text, [&](std::size_t, std::size_t) { ++count; return true; });
    return count;
}

std::vector<std::string_view> characters(std::string_view text)
{
    std::vector<std::string_view> out;
    forEachCluster(text, [&](std::size_t b, std::size_t e) { out.push_back(text.substr(b, e - b)); return true; });
    return out;
}

std::string_view firstCharacter(std::string_view text)
{
    std::string_view first;
    forEachCluster(text, [&](std::size_t b, std::size_t e) { first = text.substr(b, e - b); return false; });
    return first;
}

std::string_view lastCharacter(std::string_view text)
{
    if (text.empty()) return {};
    // Two ASCII characters end the text (not CR LF): the last is a cluster alone.
    const std::size_t n = text.size();
    if (static_cast<unsigned char>(text[n - 1]) < 0x80 &&
        (n == 1 || (static_cast<unsigned char>(text[n - 2]) < 0x80 && !(text[n - 2] == '\r' && text[n - 1] == '\n'))))
        return text.substr(n - 1);
    // A cluster is rarely long; look at a short tail first and widen when needed.
    for (std::size_t tail = 64;; tail *= 4) {
        std::size_t start = text.size() > tail ? text.size() - tail : 0;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        auto clusters = characters(text.substr(start));
        if (start == 0 || clusters.size() > 1) return clusters.back();
    }
}

std::string_view dropFirst(std::string_view text, int n)
{
    if (n <= 0) return text;
    std::size_t cut = text.size();
    int seen = 0;
    forEachCluster(text, [&](std::size_t, std::size_t e) {
        if (++seen == n) { cut = e; return false; }
        return true;
    });
    return seen < n ? std::string_view{} : text.substr(cut);
}

std::string_view prefix(std::string_view text, int n)
{
    if (n <= 0) return {};
    std::size_t cut = text.size();
    int seen = 0;
    forEachCluster(text, [&](std::size_t, std::size_t e) {
        if (++seen == n) { cut = e; return false; }
        return true;
    });
    return text.substr(0, cut);
}

std::string_view dropLast(std::string_view text, int n)
{
    if (n <= 0) return text;
    auto clusters = characters(text);
    if (static_cast<int>(clusters.size()) <= n) return {};
    const auto& keepLast = clusters[clusters.size() - static_cast<std::size_t>(n) - 1];
    return text.substr(0, static_cast<std::size_t>(keepLast.data() - text.data()) + keepLast.size());
}

std::u32string scalars(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    std::int32_t i = 0, n = static_cast<std::int32_t>(text.size());
    while (i < n) {
        UChar32 c;
        U8_NEXT(text.data(), i, n, c);
        out.push_back(c < 0 ? U'\uFFFD' : static_cast<char32_t>(c));
    }
    return out;
}

void appendScalar(std::string& out, char32_t c)
{
    char buffer[4];
    std::int32_t length = 0;
    UBool error = false;
    U8_APPEND(buffer, length, 4, static_cast<UChar32>(c), error);
    if (error) { out += "\xEF\xBF\xBD"; return; }
    out.append(buffer, static_cast<std::size_t>(length));
}

std::string fromScalars(std::u32string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s) appendScalar(out, c);
    return out;
}

std::optional<char32_t> firstScalar(std::string_view text)
{
    if (text.empty()) return std::nullopt;
    std::int32_t i = 0;
    UChar32 c;
    U8_NEXT(text.data(), i, static_cast<std::int32_t>(text.size()), c);
    return c < 0 ? U'\uFFFD' : static_cast<char32_t>(c);
}

std::string nfc(std::string_view text)
{
    if (isAscii(text)) return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString normal = nfcNormalizer().normalize(unicode(text), status);
    return U_FAILURE(status) ? std::string(text) : utf8(normal);
}

bool canonicallyEqual(std::string_view a, std::string_view b)
{
    if (a == b) return true;
    if (isNfcQuick(a) && isNfcQuick(b)) return false;
    return nfc(a) == nfc(b);
}

std::size_t canonicalHash(std::string_view text)
{
    if (isNfcQuick(text)) return std::hash<std::string_view>{}(text);
    return std::hash<std::string>{}(nfc(text));
}

bool isLetter(std::string_view character)
{
    auto c = firstScalar(character);
    return c && u_isalpha(static_cast<UChar32>(*c)) && (U_GET_GC_MASK(static_cast<UChar32>(*c)) & U_GC_L_MASK);
}

static bool isCasedScalar(char32_t c) { return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CASED); }

bool isUppercase(std::string_view character)
{
    auto all = scalars(character);
    if (all.empty()) return false;
    if (all.size() == 1) return u_hasBinaryProperty(static_cast<UChar32>(all[0]), UCHAR_UPPERCASE);
    return isCasedScalar(all[0]) && uppercased(character) == character;
}

bool isLowercase(std::string_view character)
{
    auto all = scalars(character);
    if (all.empty()) return false;
    if (all.size() == 1) return u_hasBinaryProperty(static_cast<UChar32>(all[0]), UCHAR_LOWERCASE);
    return isCasedScalar(all[0]) && lowercased(character) == character;
}

bool isNumber(std::string_view character)
{
    auto c = firstScalar(character);
    return c && (U_GET_GC_MASK(static_cast<UChar32>(*c)) & U_GC_N_MASK);
}

bool isAlphanumeric(std::string_view character)
{
    auto c = firstScalar(character);
    return c && (U_GET_GC_MASK(static_cast<UChar32>(*c)) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK));
}

bool isWhitespace(std::string_view character)
{
    auto c = firstScalar(character);
    return c && isWhitespaceScalar(*c);
}

bool containsLetter(std::string_view text)
{
    for (char c : text)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    if (isAscii(text)) return false;
    for (char32_t c : scalars(text))
        if (U_GET_GC_MASK(static_cast<UChar32>(c)) & (U_GC_L_MASK | U_GC_M_MASK)) return true;
    return false;
}

bool isNewlineScalar(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isWhitespaceScalar(char32_t c)
{
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}

bool isHorizontalWhitespaceScalar(char32_t c)
{
    return isWhitespaceScalar(c) && !isNewlineScalar(c);
}

std::string lowercased(std::string_view text)
{
    if (isAscii(text)) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    return utf8(unicode(text).toLower(icu::Locale::getRoot()));
}

std::string uppercased(std::string_view text)
{
    if (isAscii(text)) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return out;
    }
    return utf8(unicode(text).toUpper(icu::Locale::getRoot()));
}

std::string_view trimSpacesTabs(std::string_view text)
{
    return trimScalars(text, [](char32_t c) { return c == U' ' || c == U'\t'; });
}

std::string_view trimWhitespace(std::string_view text)
{
    return trimScalars(text, isHorizontalWhitespaceScalar);
}

std::string_view trimWhitespaceAndNewlines(std::string_view text)
{
    return trimScalars(text, isWhitespaceScalar);
}

std::vector<std::string_view> splitOmittingEmpty(std::string_view text, char32_t separator)
{
    std::string sep;
    appendScalar(sep, separator);
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t at = text.find(sep, start);
        std::size_t end = at == std::string_view::npos ? text.size() : at;
        if (end > start) out.push_back(text.substr(start, end - start));
        if (at == std::string_view::npos) break;
        start = at + sep.size();
    }
    return out;
}

bool contains(std::string_view text, std::string_view needle) { return text.find(needle) != std::string_view::npos; }
bool startsWith(std::string_view text, std::string_view p) { return text.substr(0, p.size()) == p; }
bool endsWith(std::string_view text, std::string_view s)
{
    return text.size() >= s.size() && text.substr(text.size() - s.size()) == s;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    if (from.empty()) return;
    std::string out;
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        out.append(text, start, at - start);
        out += to;
        start = at + from.size();
    }
    if (start == 0) return;
    out.append(text, start);
    text = std::move(out);
}

bool startsWithBytes(const Bytes& data, std::initializer_list<std::uint8_t> p)
{
    return data.size() >= p.size() && std::equal(p.begin(), p.end(), data.begin());
}

bool isUtf8(const std::uint8_t* data, std::size_t size)
{
    std::int32_t i = 0, n = static_cast<std::int32_t>(size);
    if (size > static_cast<std::size_t>(INT32_MAX)) return false;
    while (i < n) {
        if (data[i] < 0x80) { ++i; continue; }
        UChar32 c;
        U8_NEXT(data, i, n, c);
        if (c < 0) return false;
    }
    return true;
}

std::optional<std::string> decodeUtf8(const std::uint8_t* data, std::size_t size)
{
    if (!isUtf8(data, size)) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data), size);
}

std::optional<std::string> decodeUtf8(const Bytes& data) { return decodeUtf8(data.data(), data.size()); }

std::string decodeUtf8Lossy(const std::uint8_t* data, std::size_t size)
{
    if (auto valid = decodeUtf8(data, size)) return std::move(*valid);
    std::string out;
    out.reserve(size + size / 8);
    std::size_t i = 0;
    while (i < size) {
        if (data[i] < 0x80) { out.push_back(static_cast<char>(data[i++])); continue; }
        std::int32_t j = 0, n = static_cast<std::int32_t>(std::min<std::size_t>(size - i, 4));
        UChar32 c;
        U8_NEXT(data + i, j, n, c);
        if (c < 0) out += "\xEF\xBF\xBD";
        else out.append(reinterpret_cast<const char*>(data + i), static_cast<std::size_t>(j));
        i += static_cast<std::size_t>(j);
    }
    return out;
}

std::string decodeUtf8Lossy(const Bytes& data) { return decodeUtf8Lossy(data.data(), data.size()); }

std::optional<std::string> decodeUtf16(const std::uint8_t* data, std::size_t size, bool little)
{
    if (size % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(size);
    auto unit = [&](std::size_t i) -> char16_t {
        return little ? static_cast<char16_t>(data[i] | (data[i + 1] << 8))
                      : static_cast<char16_t>((data[i] << 8) | data[i + 1]);
    };
    for (std::size_t i = 0; i < size; i += 2) {
        char16_t u = unit(i);
        if (U16_IS_LEAD(u)) {
            if (i + 4 > size) return std::nullopt;
            char16_t trail = unit(i + 2);
            if (!U16_IS_TRAIL(trail)) return std::nullopt;
            appendScalar(out, static_cast<char32_t>(U16_GET_SUPPLEMENTARY(u, trail)));
            i += 2;
        } else if (U16_IS_TRAIL(u)) {
            return std::nullopt;
        } else {
            appendScalar(out, u);
        }
    }
    return out;
}

std::optional<std::string> decodeUtf16(const Bytes& data)
{
    if (startsWithBytes(data, {0xFF, 0xFE})) return decodeUtf16(data.data() + 2, data.size() - 2, true);
    if (startsWithBytes(data, {0xFE, 0xFF})) return decodeUtf16(data.data() + 2, data.size() - 2, false);
    return decodeUtf16(data.data(), data.size(), false);
}

std::optional<std::string> decodeUtf32(const std::uint8_t* data, std::size_t size, bool little)
{
    if (size % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(size / 2);
    for (std::size_t i = 0; i < size; i += 4) {
        const std::uint8_t* b = data + i;
        char32_t c = little ? static_cast<char32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24))
                            : static_cast<char32_t>((static_cast<std::uint32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3]);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        appendScalar(out, c);
    }
    return out;
}

std::optional<std::string> decodeWindows1252(const std::uint8_t* data, std::size_t size)
{
    // 0x80–0x9F; zero marks the five bytes the code page leaves undefined.
    static constexpr std::array<char16_t, 32> high = {
        0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
        0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
    std::string out;
    out.reserve(size + size / 4);
    for (std::size_t i = 0; i < size; ++i) {
        std::uint8_t b = data[i];
        if (b < 0x80) { out.push_back(static_cast<char>(b)); continue; }
        char32_t c = b;
        if (b < 0xA0) {
            c = high[b - 0x80];
            if (c == 0) return std::nullopt;
        }
        appendScalar(out, c);
    }
    return out;
}

std::optional<std::string> decodeWindows1252(const Bytes& data) { return decodeWindows1252(data.data(), data.size()); }

std::string decodeLatin1(const std::uint8_t* data, std::size_t size)
{
    std::string out;
    out.reserve(size + size / 4);
    for (std::size_t i = 0; i < size; ++i) appendScalar(out, data[i]);
    return out;
}

std::optional<std::string> decodeNamed(const std::uint8_t* data, std::size_t size, const char* encoding)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open(encoding, &status), ucnv_close);
    if (U_FAILURE(status)) return std::nullopt;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status) || size > static_cast<std::size_t>(INT32_MAX)) return std::nullopt;
    icu::UnicodeString text(reinterpret_cast<const char*>(data), static_cast<std::int32_t>(size), converter.get(), status);
    if (U_FAILURE(status)) return std::nullopt;
    return utf8(text);
}

} // namespace Platform::Text

namespace Platform::Text {

bool isNoncharacter(char32_t c) { return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE; }

std::string drawable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    appendDrawable(out, text);
    return out;
}

void appendDrawable(std::string& out, std::string_view text)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
    std::int32_t at = 0;
    while (at < length) {
        std::int32_t start = at;
        // Runs of plain ASCII are copied as they stand.
        while (at < length && bytes[at] < 0x80 && bytes[at] != 0) ++at;
        out.append(text.data() + start, static_cast<std::size_t>(at - start));
        if (at >= length) break;
        start = at;
        UChar32 c = 0;
        U8_NEXT(bytes, at, length, c);
        if (c <= 0 || isNoncharacter(static_cast<char32_t>(c))) out += "\uFFFD";
        else out.append(text.data() + start, static_cast<std::size_t>(at - start));
    }
}

std::optional<bool> startsRightToLeft(std::string_view text)
{
    for (char32_t c : scalars(text)) {
        const UCharDirection d = u_charDirection(static_cast<UChar32>(c));
        if (d == U_LEFT_TO_RIGHT) return false;
        if (d == U_RIGHT_TO_LEFT || d == U_RIGHT_TO_LEFT_ARABIC) return true;
    }
    return std::nullopt;
}

bool isCJKScalar(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x2FDF) ||   // radicals
           (c >= 0x3000 && c <= 0x303F) ||   // CJK symbols and punctuation
           (c >= 0x3040 && c <= 0x31BF) ||   // kana, Bopomofo
           (c >= 0x31F0 && c <= 0x31FF) ||   // katakana extensions
           (c >= 0x3400 && c <= 0x4DBF) ||   // Han extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||   // unified Han
           (c >= 0xF900 && c <= 0xFAFF) ||   // compatibility Han
           (c >= 0xFF00 && c <= 0xFFEF) ||   // full-width and half-width forms
           (c >= 0x20000 && c <= 0x3FFFF);   // supplementary Han
}

bool joinsWithoutSpace(std::string_view last, std::string_view first)
{
    auto cjk = [](std::string_view character) {
        auto scalar = firstScalar(character);
        return scalar && isCJKScalar(*scalar);
    };
    return cjk(last) || cjk(first);
}

} // namespace Platform::Text
