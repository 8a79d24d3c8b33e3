#pragma once

// The print settings of one songbook or set list, and the enumerations they
// store. Setters keep what they are given; only reading library.json clamps.

#include "Platform/Geometry.h"
#include "TunequillKit/Song/Chord.h"
#include "TunequillKit/Song/Enums.h"

#include <optional>
#include <string_view>

namespace TunequillKit {

enum class BookKind { book, setList };
std::string_view toString(BookKind kind);
template <>
std::optional<BookKind> fromString<BookKind>(std::string_view text);
template <>
inline constexpr std::array<BookKind, 2> allCases<BookKind> = {BookKind::book, BookKind::setList};

enum class PageSize { letter, a4, halfLetter, a5 };
std::string_view toString(PageSize size);
template <>
std::optional<PageSize> fromString<PageSize>(std::string_view text);
template <>
inline constexpr std::array<PageSize, 4> allCases<PageSize> = {PageSize::letter, PageSize::a4, PageSize::halfLetter,
                                                               PageSize::a5};
std::string_view title(PageSize size); // "Letter (8.5 × 11 in)", "A4", …
// One page, in points.
Platform::Size size(PageSize page);
// The sheet that holds two pages side by side, in points (table values, not
// computed: the A5 sheet is the A4 page turned sideways).
Platform::Size bookletSheet(PageSize page);

enum class Flow { songPerPage, flowing };
std::string_view toString(Flow flow);
template <>
std::optional<Flow> fromString<Flow>(std::string_view text);
template <>
inline constexpr std::array<Flow, 2> allCases<Flow> = {Flow::songPerPage, Flow::flowing};
std::string_view title(Flow flow); // "One song per page", "Flowing"

enum class Typeface { sans, serif };
std::string_view toString(Typeface typeface);
template <>
std::optional<Typeface> fromString<Typeface>(std::string_view text);
template <>
inline constexpr std::array<Typeface, 2> allCases<Typeface> = {Typeface::sans, Typeface::serif};
std::string_view title(Typeface typeface); // "Sans serif", "Serif"

struct ClosedRange {
    double lowerBound = 0;
    double upperBound = 0;
    constexpr double clamped(double v) const { return v < lowerBound ? lowerBound : (v > upperBound ? upperBound : v); }
    constexpr bool contains(double v) const { return v >= lowerBound && v <= upperBound; }
};

// The 17 settings, in their stored order. The member defaults are those of a
// plain BookSettings(); forKind gives a new book's or set list's.
struct BookSettings {
    PageSize pageSize = PageSize::letter;
    double fontSize = 18; // lyric size in points
    Typeface typeface = Typeface::sans;
    bool boldChorus = true;
    Flow flow = Flow::songPerPage;
    int columns = 1; // 1 or 2
    bool spreads = true;
    Accidentals accidentals = Accidentals::automatic;
    bool nashville = false;
    bool chordsInColor = true;
    bool repeatChorus = false;
    bool diagrams = true;
    bool tableOfContents = true;
    bool index = true;
    bool setListPage = false;
    bool pageNumbers = true;
    double margin = 40; // points, all four sides

    static constexpr ClosedRange fontSizes{16, 28};

    // A set list prints larger, with its running order first and no
    // contents or index; a book takes the plain defaults.
    static BookSettings forKind(BookKind kind);

    bool operator==(const BookSettings&) const = default;
};

} // namespace TunequillKit

template <>
struct std::hash<TunequillKit::BookSettings> {
    std::size_t operator()(const TunequillKit::BookSettings& s) const noexcept;
};
