// PDF readers look for `startxref` in the file's last kilobyte; the section it
// points at is a classic table ("xref", then entries, then the trailer, which
// ends just before that `startxref`) or a cross-reference stream (an object
// whose dictionary comes first). Either way /Size is in a dictionary a few
// hundred bytes long, so only bounded windows of the file are looked at.

#include "Platform/PdfTrailer.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace Platform::PdfTrailer {

namespace {

// How far from the end `startxref` is looked for, and how much of the
// dictionary that holds /Size is looked through.
constexpr std::size_t tailBytes = 1024;
constexpr std::size_t dictionaryBytes = 4096;

// A PDF name goes on until white space or a delimiter.
bool endsName(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) || std::string_view("()<>[]{}/%").find(c) != std::string_view::npos;
}

// The non-negative integer at `at`, after white space; none past 18 digits.
std::optional<std::int64_t> integerAt(std::string_view text, std::size_t at)
{
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, ++digits) {
        if (digits == 18) return std::nullopt;
        value = value * 10 + (text[at] - '0');
    }
    if (digits == 0) return std::nullopt;
    return value;
}

// The value of the first /Size key in `text`.
std::optional<std::int64_t> sizeIn(std::string_view text)
{
    constexpr std::string_view key = "/Size";
    for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
        const std::size_t after = at + key.size();
        if (after < text.size() && endsName(text[after])) return integerAt(text, after);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::int64_t> claimedObjects(const Bytes& data)
{
    return claimedObjects(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

std::optional<std::int64_t> claimedObjects(std::string_view file)
{
    const std::size_t tailStart = file.size() > tailBytes ? file.size() - tailBytes : 0;
    const std::size_t inTail = file.substr(tailStart).rfind("startxref");
    if (inTail == std::string_view::npos) return std::nullopt;
    const std::size_t keyword = tailStart + inTail;
    const auto offset = integerAt(file, keyword + 9);
    if (!offset || *offset >= static_cast<std::int64_t>(keyword)) return std::nullopt;
    const auto section = static_cast<std::size_t>(*offset);
    std::size_t at = section;
    while (at < keyword && std::isspace(static_cast<unsigned char>(file[at]))) ++at;
    if (file.substr(at, 4) == "xref") {
        // A classic table: its trailer ends where `startxref` begins.
        const std::size_t from = std::max(at, keyword > dictionaryBytes ? keyword - dictionaryBytes : 0);
        const std::size_t trailer = file.substr(from, keyword - from).rfind("trailer");
        if (trailer == std::string_view::npos) return std::nullopt;
        return sizeIn(file.substr(from + trailer, keyword - from - trailer));
    }
    // A cross-reference stream: its dictionary, up to the stream's data.
    std::string_view object = file.substr(section, std::min(dictionaryBytes, keyword - section));
    object = object.substr(0, object.find("stream"));
    return sizeIn(object);
}

} // namespace Platform::PdfTrailer
