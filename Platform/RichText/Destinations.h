#pragma once

// What a group of an RTF file is about, and which control words name a
// destination or stand for a character.

#include <cstdint>
#include <optional>
#include <string_view>

namespace Platform::RichText {

enum class Destination : std::uint8_t {
    Body,               // the document's text
    ListText,           // \listtext: the marker as typed, kept in the paragraph's text
    FontTable,
    ListTable,
    ListOverrideTable,
    LevelText,          // a list level's text, with its number placeholders
    LevelMarker,        // Cocoa's marker format of a list level
    Picture,
};

// True for a word that opens a destination: one the importer reads, or one
// whose content it skips whole (headers, footnotes, metadata, fallbacks…).
bool isDestinationWord(std::string_view name);

// Optional destinations whose content is ordinary text or pictures of the
// enclosing group (\*\shppict, the preferred form of a Word picture).
bool isTransparentDestination(std::string_view name);

// The character a control word such as \emdash or \rquote stands for.
std::optional<char32_t> specialCharacter(std::string_view name);

} // namespace Platform::RichText
