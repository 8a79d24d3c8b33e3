#pragma once

// A laid-out book: pages of placed rows, ready to draw. Positions are points
// with the origin at the top left of the page and y growing downwards.

#include "Platform/Geometry.h"
#include "TunequillKit/Layout/Typeset.h"
#include "TunequillKit/Song/Enums.h"

#include <optional>
#include <string>
#include <vector>

namespace TunequillKit {

enum class PageKind { setList, contents, song, index, blank };

std::string_view toString(PageKind kind);
template <>
std::optional<PageKind> fromString<PageKind>(std::string_view text);
template <>
inline constexpr std::array<PageKind, 5> allCases<PageKind> = {PageKind::setList, PageKind::contents, PageKind::song,
                                                               PageKind::index, PageKind::blank};

// A row at its place: origin is the row's top left on the page, column edge and indent included.
struct PlacedRow {
    Row row;
    Platform::Point origin;
    std::optional<int> song;  // index of the song the row belongs to; none on list pages and continuation lines
    std::optional<int> block; // index of the block within that song

    bool operator==(const PlacedRow&) const = default;
};

struct LaidPage {
    int number = 0; // printed number: the page's 1-based place in the book
    PageKind kind = PageKind::song;
    std::vector<PlacedRow> rows;
    std::vector<Platform::Rect> bars; // chorus bars: zero-width rectangles (x, top, 0, height)
    std::vector<int> songs;           // songs with rows here, in order of first appearance
    bool showNumber = true;

    // Each row's run texts joined with blanks, the rows joined with line feeds.
    std::string text() const;

    bool operator==(const LaidPage&) const = default;
};

// One line of the index: a title, or a song's first line (printed in italics).
struct IndexEntry {
    std::string text;
    int page = 0;
    bool isFirstLine = false;

    // By sort key in the locale's numeric, case-insensitive order, then by page.
    static bool areInIncreasingOrder(const IndexEntry& a, const IndexEntry& b);

    bool operator==(const IndexEntry&) const = default;
};

struct ContentsEntry {
    std::string title;
    int page = 0;
    bool operator==(const ContentsEntry&) const = default;
};

struct BookLayout {
    Platform::Size pageSize;
    std::vector<LaidPage> pages;
    std::vector<int> songStartPages; // per song, the page it starts on
    std::vector<std::string> warnings;
    std::vector<ContentsEntry> contentsEntries;
    std::vector<IndexEntry> indexEntries; // sorted; empty when the book has no index
};

// The key an index entry sorts by: lower-cased, only letters, numbers and
// blanks kept, a leading "the ", "a " or "an " dropped, trimmed.
std::string sortKey(std::string_view text);

} // namespace TunequillKit

template <>
struct std::hash<TunequillKit::PlacedRow> {
    std::size_t operator()(const TunequillKit::PlacedRow& r) const noexcept;
};
template <>
struct std::hash<TunequillKit::LaidPage> {
    std::size_t operator()(const TunequillKit::LaidPage& p) const noexcept;
};
template <>
struct std::hash<TunequillKit::IndexEntry> {
    std::size_t operator()(const TunequillKit::IndexEntry& e) const noexcept;
};
