#pragma once

// Named limits of the RTF importer. Real documents stay far below each one;
// hostile bytes hit them instead of exhausting the stack, memory or time.

#include <cstddef>

namespace Platform::RichText::Limits {

// Word and Cocoa nest groups a few dozen deep; deeper means a crafted file.
inline constexpr int maxGroupDepth = 1000;
// A picture larger than this is dropped rather than kept in memory.
inline constexpr std::size_t maxPictureBytes = 64u * 1024 * 1024;
// A font name longer than this is cut (real names are well under 64 bytes).
inline constexpr std::size_t maxFontNameBytes = 256;
// \ucN: how many fallback characters follow a \u; writers use 0 to 2.
inline constexpr int maxUnicodeSkip = 16;
// RTF list levels are numbered 0 to 8.
inline constexpr int maxListLevel = 8;
// The level text of a list level holds a length and a handful of characters.
inline constexpr std::size_t maxLevelTextUnits = 64;
// An older list item's label (\pntext) is a number or a bullet and a tab.
inline constexpr std::size_t maxOldListLabelBytes = 64;
// Spanning cells leave empty cells before later columns; more empty cells than
// this many per real cell means crafted boundaries, so the cells are then
// placed by their order in the row instead.
inline constexpr std::size_t maxSpanFillersPerCell = 16;
// List numbers stop growing here instead of overflowing.
inline constexpr int maxItemNumber = 1'000'000'000;
// Numeric parameters are clamped to this magnitude (RTF's are 16 or 32 bits).
inline constexpr long long maxParameter = 2'147'483'647;

} // namespace Platform::RichText::Limits
