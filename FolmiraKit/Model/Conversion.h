#pragma once

// What a conversion tells the user: notes about what changed, and the error
// that refuses a file.

#include "FolmiraKit/Model/Enums.h"

#include <array>
#include <stdexcept>
#include <string>

namespace FolmiraKit {

struct ConversionNote {
    enum class Kind { info, warning };
    static constexpr std::array<Kind, 2> allKinds{Kind::info, Kind::warning};

    Kind kind = Kind::info;
    std::string message; // complete sentences, shown as they stand

    ConversionNote() = default;
    ConversionNote(Kind kind, std::string message) : kind(kind), message(std::move(message)) {}

    // Two notes with one message share their identity even when their kinds differ.
    const std::string& id() const { return message; }
    bool operator==(const ConversionNote& other) const; // messages compare canonically
};

std::string_view toString(ConversionNote::Kind kind);
template <>
std::optional<ConversionNote::Kind> fromString<ConversionNote::Kind>(std::string_view text);

// A refused file. what() is the sentence the window shows.
class ConversionError : public std::runtime_error {
public:
    enum class Reason { noTextLayer, unsupported, damaged, empty, locked };
    static constexpr std::array<Reason, 5> allReasons{Reason::noTextLayer, Reason::unsupported, Reason::damaged,
                                                      Reason::empty, Reason::locked};

    ConversionError(Reason reason, const std::string& message) : std::runtime_error(message), reason(reason) {}

    std::string message() const { return what(); }

    Reason reason;
};

std::string_view toString(ConversionError::Reason reason);
template <>
std::optional<ConversionError::Reason> fromString<ConversionError::Reason>(std::string_view text);

// The sentence every reader uses for a file with nothing to make large.
inline constexpr const char* emptyFileMessage = "This file is empty: there’s no text to make large.";

// "1 picture" / "2 pictures": a count with the noun in singular or plural.
std::string counted(long long count, std::string_view singular, std::string_view plural);

} // namespace FolmiraKit

template <>
struct std::hash<FolmiraKit::ConversionNote> {
    std::size_t operator()(const FolmiraKit::ConversionNote& note) const noexcept;
};
