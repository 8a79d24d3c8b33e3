#pragma once

// String forms of the engine's choices. Each enumeration E provides
// `std::string_view toString(E)`, an `allCases` array in its declared order and
// a specialisation of `fromString<E>`, which gives none for unknown text.
// `fromStringIn` builds such a specialisation from the case list.

#include <optional>
#include <string_view>

namespace FolmiraKit {

template <typename E>
std::optional<E> fromString(std::string_view text);

template <typename E, typename Cases>
std::optional<E> fromStringIn(const Cases& cases, std::string_view text)
{
    for (E value : cases)
        if (toString(value) == text) return value;
    return std::nullopt;
}

} // namespace FolmiraKit
