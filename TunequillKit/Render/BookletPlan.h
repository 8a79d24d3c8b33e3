#pragma once

// Which book page goes on which half of which side of which sheet, so that a
// stack printed two-sided, folded and stapled on the fold reads in page order.
// Pure arithmetic over page indices (zero-based); no PDF involved.

#include "TunequillKit/Song/Enums.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TunequillKit {

enum class CoverMode {
    selfCover,          // the cover pages are ordinary pages of the first signature
    separate,           // front, inside front, inside back and back cover on a sheet of their own
    separateBlankInside // front and back cover on a sheet of their own, its inside blank
};
std::string_view toString(CoverMode mode);
template <>
std::optional<CoverMode> fromString<CoverMode>(std::string_view text);
template <>
inline constexpr std::array<CoverMode, 3> allCases<CoverMode> = {CoverMode::selfCover, CoverMode::separate,
                                                                 CoverMode::separateBlankInside};

enum class BlankPlacement { end, beforeBackCover };
std::string_view toString(BlankPlacement placement);
template <>
std::optional<BlankPlacement> fromString<BlankPlacement>(std::string_view text);
template <>
inline constexpr std::array<BlankPlacement, 2> allCases<BlankPlacement> = {BlankPlacement::end,
                                                                           BlankPlacement::beforeBackCover};

struct BookletOptions {
    double creep = 0;           // points, spread over the sheets of a signature
    int sheetsPerSignature = 0; // 0 or less: all sheets in one signature
    CoverMode cover = CoverMode::selfCover;
    BlankPlacement blanks = BlankPlacement::end;
    bool rightToLeft = false;

    // JSON with the field names as keys; decoding needs all five, else none.
    std::string encode() const;
    static std::optional<BookletOptions> decode(std::string_view json);

    bool operator==(const BookletOptions&) const = default;
};

using Slot = std::optional<int>; // a page index, or none for a blank half
using SlotPair = std::array<Slot, 2>; // left half, right half

struct BookletSheet {
    int signature = 0;         // from 0; −1 for the cover sheet
    int sheetInSignature = 0;  // from 0, outermost first
    int sheetsInSignature = 0;
    bool isCover = false;
    SlotPair front;
    SlotPair back;
    double creep = 0;

    std::string encode() const;
    static std::optional<BookletSheet> decode(std::string_view json);

    bool operator==(const BookletSheet&) const = default;
};

namespace BookletPlan {

struct Plan {
    std::vector<BookletSheet> sheets;
    int blanksAdded = 0;
    std::vector<std::string> warnings;
};

struct Sides {
    SlotPair front;
    SlotPair back;
    bool operator==(const Sides&) const = default;
};

// The sheets for a book of `pageCount` pages.
Plan sheets(int pageCount, const BookletOptions& options);
// The slots followed by blanks up to a multiple of four (before the last slot
// with beforeBackCover, so the back cover stays last).
std::vector<Slot> padded(const std::vector<Slot>& slots, BlankPlacement blanks);
// The sheets of one signature, outermost first; `slots` holds a multiple of four.
std::vector<Sides> signature(const std::vector<Slot>& slots, bool rightToLeft);

} // namespace BookletPlan
} // namespace TunequillKit

template <>
struct std::hash<TunequillKit::BookletOptions> {
    std::size_t operator()(const TunequillKit::BookletOptions& o) const noexcept;
};
template <>
struct std::hash<TunequillKit::BookletSheet> {
    std::size_t operator()(const TunequillKit::BookletSheet& s) const noexcept;
};
