#pragma once

// Imposes a book's PDF on folded booklet sheets: two pages on each side of a
// landscape sheet, in the order BookletPlan gives, both against the fold,
// shrunk to fit but never enlarged. The pages stay vector.

#include "Platform/Geometry.h"
#include "Platform/Text.h" // Bytes
#include "TunequillKit/Library/BookSettings.h"
#include "TunequillKit/Render/BookletPlan.h"

#include <string>

namespace TunequillKit::BookletMaker {

enum class Sheet { natural, letter, a4 };

std::string_view toString(Sheet sheet);
// The sheet in points: `natural` holds two pages side by side unscaled.
Platform::Size size(Sheet sheet, PageSize page);
// "Tabloid (no scaling)", "Letter (pages shrunk to fit)", …
std::string title(Sheet sheet, PageSize page);

// min(1, (half the sheet's width − margin) ÷ page width, (sheet height − 2 × margin) ÷ page height).
double scale(Platform::Size page, Platform::Size sheet, double margin);

// The booklet: two PDF pages (front, back) per planned sheet of `sheet` points.
// Empty bytes when the source has no pages or is no PDF. The plan's blanks
// and warnings are not reported here, and creep is not applied.
Platform::Bytes pdf(const Platform::Bytes& source, Platform::Size sheet, const BookletOptions& options = {});

} // namespace TunequillKit::BookletMaker

namespace TunequillKit {
template <>
std::optional<BookletMaker::Sheet> fromString<BookletMaker::Sheet>(std::string_view text);
template <>
inline constexpr std::array<BookletMaker::Sheet, 3> allCases<BookletMaker::Sheet> = {
    BookletMaker::Sheet::natural, BookletMaker::Sheet::letter, BookletMaker::Sheet::a4};
} // namespace TunequillKit
