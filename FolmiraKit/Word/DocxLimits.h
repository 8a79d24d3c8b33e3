#pragma once

// Limits the Word reader holds hostile packages to. Each is far beyond what a
// word processor writes, and each keeps a declared number from turning into a
// loop or an allocation the document's bytes don't pay for.

#include <cstddef>
#include <cstdint>

namespace FolmiraKit::DocxReader::Limits {

// WordprocessingML has nine list levels, 0 to 8; counting clamps to them.
inline constexpr std::int64_t listLevels = 9;
// Letters and roman numerals above this are written as decimal digits
// (letters(10^18) would otherwise be a string of 10^16 letters).
inline constexpr std::int64_t largestWordedNumber = 100'000;
// A list marker is a few characters ("2.1.", "iv)"); one made longer than
// this by its level text is cut, so a long level text can't be copied into
// every item.
inline constexpr std::size_t markerBytes = 256;
// Word's based-on chains are a few styles long; a style's merge stops after
// this many.
inline constexpr int styleChain = 64;
// Word tables have at most 63 columns: a cell spans at most this many, so a
// declared span adds a bounded number of empty cells however wide the row.
inline constexpr std::int64_t tableColumns = 64;
// Short rows are padded with empty cells to the widest row only while the
// table then holds at most this many cells: one wide row over many short
// ones must not multiply into billions. Rows past it stay short; no cell
// with text is ever dropped.
inline constexpr std::size_t paddedCells = 1'000'000;
// The bytes of all pictures one read hands to the document, each use counted:
// a small part that inflates to a large one, shown many times, would
// otherwise cost its size again for every use (and inference copies the
// blocks once more). Pictures past it are left out.
inline constexpr std::uint64_t pictureBytes = 192u << 20;

} // namespace FolmiraKit::DocxReader::Limits
