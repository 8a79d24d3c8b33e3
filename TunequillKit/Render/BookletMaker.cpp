#include "TunequillKit/Render/BookletMaker.h"

#include "Platform/PdfImposer.h"
#include "TunequillKit/Render/Renderer.h"

#include <algorithm>

namespace TunequillKit {

template <>
std::optional<BookletMaker::Sheet> fromString<BookletMaker::Sheet>(std::string_view text)
{
    return detail::caseNamed(allCases<BookletMaker::Sheet>, text,
                             [](BookletMaker::Sheet s) { return BookletMaker::toString(s); });
}

namespace BookletMaker {

std::string_view toString(Sheet sheet)
{
    switch (sheet) {
    case Sheet::natural: return "natural";
    case Sheet::letter: return "letter";
    case Sheet::a4: return "a4";
    }
    return "natural";
}

Platform::Size size(Sheet sheet, PageSize page)
{
    switch (sheet) {
    case Sheet::natural: return bookletSheet(page);
    case Sheet::letter: return {792, 612};
    case Sheet::a4: return {841.89, 595.28};
    }
    return bookletSheet(page);
}

std::string title(Sheet sheet, PageSize page)
{
    switch (sheet) {
    case Sheet::natural:
        switch (page) {
        case PageSize::letter: return "Tabloid (no scaling)";
        case PageSize::a4: return "A3 (no scaling)";
        case PageSize::halfLetter: return "Letter (no scaling)";
        case PageSize::a5: return "A4 (no scaling)";
        }
        break;
    case Sheet::letter: return "Letter (pages shrunk to fit)";
    case Sheet::a4: return "A4 (pages shrunk to fit)";
    }
    return "";
}

double scale(Platform::Size page, Platform::Size sheet, double margin)
{
    return std::min({1.0, (sheet.width * 0.5 - margin) / page.width, (sheet.height - 2 * margin) / page.height});
}

Platform::Bytes pdf(const Platform::Bytes& source, Platform::Size sheet, const BookletOptions& options)
{
    auto info = Platform::PdfImposer::inspect(source);
    if (!info || info->pageCount < 1) return {};
    const BookletPlan::Plan plan = BookletPlan::sheets(info->pageCount, options);

    const double half = sheet.width / 2;
    const Platform::Size page = info->firstPageSize.value_or(Platform::Size{half, sheet.height});
    // Never enlarged; centred vertically; both pages touch the fold.
    const double s = std::min({1.0, half / page.width, sheet.height / page.height});
    const double y = (sheet.height - page.height * s) / 2;

    std::vector<std::vector<Platform::PdfImposer::Placement>> sides;
    sides.reserve(plan.sheets.size() * 2);
    auto side = [&](const SlotPair& slots) {
        std::vector<Platform::PdfImposer::Placement> placements;
        if (slots[0]) placements.push_back({*slots[0], {half - page.width * s, y}, s, page});
        if (slots[1]) placements.push_back({*slots[1], {half, y}, s, page});
        sides.push_back(std::move(placements));
    };
    for (const BookletSheet& planned : plan.sheets) {
        side(planned.front);
        side(planned.back);
    }
    return Platform::PdfImposer::impose(source, sheet, sides, KitBrand::name);
}

} // namespace BookletMaker
} // namespace TunequillKit
