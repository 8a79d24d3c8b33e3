#include "FolmiraKit/Model/BigDocument.h"

#include "Platform/Text.h"

#include <algorithm>
#include <functional>

namespace FolmiraKit {

bool BigDocument::operator==(const BigDocument& other) const
{
    return source == other.source && blocks == other.blocks && notes == other.notes &&
           leftOutPages == other.leftOutPages && Platform::Text::canonicallyEqual(title, other.title);
}

bool ConversionNote::operator==(const ConversionNote& other) const
{
    return kind == other.kind && Platform::Text::canonicallyEqual(message, other.message);
}

std::string BigDocument::plainText() const
{
    std::string out;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i > 0) out += '\n';
        out += blocks[i].plainText();
    }
    return out;
}

std::vector<std::string> BigDocument::headings() const
{
    std::vector<std::string> out;
    for (const auto& block : blocks)
        if (const auto* heading = block.as<Block::Heading>()) out.push_back(plain(heading->runs));
    return out;
}

int BigDocument::tableCount() const
{
    return static_cast<int>(std::count_if(blocks.begin(), blocks.end(),
                                          [](const Block& b) { return b.as<Block::Table>() != nullptr; }));
}

int BigDocument::imageCount() const
{
    return static_cast<int>(std::count_if(blocks.begin(), blocks.end(),
                                          [](const Block& b) { return b.as<Block::Image>() != nullptr; }));
}

std::string_view toString(BigDocument::Source source)
{
    switch (source) {
    case BigDocument::Source::text: return "text";
    case BigDocument::Source::markdown: return "markdown";
    case BigDocument::Source::rtf: return "rtf";
    case BigDocument::Source::word: return "word";
    case BigDocument::Source::pdf: return "pdf";
    }
    return {};
}

template <>
std::optional<BigDocument::Source> fromString<BigDocument::Source>(std::string_view text)
{
    return fromStringIn<BigDocument::Source>(BigDocument::allSources, text);
}

std::string_view toString(ConversionNote::Kind kind)
{
    return kind == ConversionNote::Kind::info ? "info" : "warning";
}

template <>
std::optional<ConversionNote::Kind> fromString<ConversionNote::Kind>(std::string_view text)
{
    return fromStringIn<ConversionNote::Kind>(ConversionNote::allKinds, text);
}

std::string_view toString(ConversionError::Reason reason)
{
    switch (reason) {
    case ConversionError::Reason::noTextLayer: return "noTextLayer";
    case ConversionError::Reason::unsupported: return "unsupported";
    case ConversionError::Reason::damaged: return "damaged";
    case ConversionError::Reason::empty: return "empty";
    case ConversionError::Reason::locked: return "locked";
    }
    return {};
}

template <>
std::optional<ConversionError::Reason> fromString<ConversionError::Reason>(std::string_view text)
{
    return fromStringIn<ConversionError::Reason>(ConversionError::allReasons, text);
}

std::string counted(long long count, std::string_view singular, std::string_view plural)
{
    return std::to_string(count) + " " + std::string(count == 1 ? singular : plural);
}

} // namespace FolmiraKit

std::size_t std::hash<FolmiraKit::ConversionNote>::operator()(const FolmiraKit::ConversionNote& note) const noexcept
{
    std::size_t seed = std::hash<std::string_view>{}(FolmiraKit::toString(note.kind));
    return seed ^ (Platform::Text::canonicalHash(note.message) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}
