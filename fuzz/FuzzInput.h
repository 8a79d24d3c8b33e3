#pragma once

// What every fuzz target shares: the input as bytes and text, and the rule
// that only the engine's own refusals may leave a target. Anything else
// thrown, a crash, a leak or undefined behaviour is a finding.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace FuzzInput {

inline std::vector<std::uint8_t> bytes(const std::uint8_t* data, std::size_t size)
{
    return {data, data + size};
}

inline std::string_view text(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace FuzzInput
