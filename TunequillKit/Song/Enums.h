#pragma once

// The string forms shared by the engine's stored and shown enumerations:
// each enumeration specialises fromString and allCases next to its own
// declaration and gives a toString overload.

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace TunequillKit {

// The case named exactly (case-sensitive) by `text`, or none.
template <typename E>
std::optional<E> fromString(std::string_view text);

// Every case of E in declaration order.
template <typename E>
inline constexpr std::array<E, 0> allCases{};

namespace detail {

// Mixes `value`'s hash into `seed` (the boost recipe, widened to 64 bits).
template <typename T>
void hashCombine(std::size_t& seed, const T& value)
{
    seed ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ull + (seed << 12) + (seed >> 4);
}

// Presence first, then the value, so none and a value never mix.
template <typename T>
void hashOptional(std::size_t& seed, const std::optional<T>& value)
{
    hashCombine(seed, value.has_value());
    if (value) hashCombine(seed, *value);
}

// The length first, then each element in order.
template <typename T>
void hashList(std::size_t& seed, const std::vector<T>& values)
{
    hashCombine(seed, values.size());
    for (const T& v : values) hashCombine(seed, v);
}

template <typename T>
void hashOptionalList(std::size_t& seed, const std::vector<std::optional<T>>& values)
{
    hashCombine(seed, values.size());
    for (const auto& v : values) hashOptional(seed, v);
}

// The case of `all` whose string form is `text`.
template <typename E, std::size_t N, typename Name>
std::optional<E> caseNamed(const std::array<E, N>& all, std::string_view text, Name name)
{
    for (E e : all)
        if (name(e) == text) return e;
    return std::nullopt;
}

} // namespace detail
} // namespace TunequillKit
