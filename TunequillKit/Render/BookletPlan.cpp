#include "TunequillKit/Render/BookletPlan.h"

#include <algorithm>

namespace TunequillKit {

std::string_view toString(CoverMode mode)
{
    switch (mode) {
    case CoverMode::selfCover: return "selfCover";
    case CoverMode::separate: return "separate";
    case CoverMode::separateBlankInside: return "separateBlankInside";
    }
    return "selfCover";
}

template <>
std::optional<CoverMode> fromString<CoverMode>(std::string_view text)
{
    return detail::caseNamed(allCases<CoverMode>, text, [](CoverMode m) { return toString(m); });
}

std::string_view toString(BlankPlacement placement)
{
    return placement == BlankPlacement::end ? "end" : "beforeBackCover";
}

template <>
std::optional<BlankPlacement> fromString<BlankPlacement>(std::string_view text)
{
    return detail::caseNamed(allCases<BlankPlacement>, text, [](BlankPlacement b) { return toString(b); });
}

namespace BookletPlan {

std::vector<Slot> padded(const std::vector<Slot>& slots, BlankPlacement blanks)
{
    const std::size_t n = slots.size();
    if (n == 0) return {};
    const std::size_t b = (4 - n % 4) % 4;
    std::vector<Slot> out;
    out.reserve(n + b);
    if (blanks == BlankPlacement::beforeBackCover && n > 1) {
        out.insert(out.end(), slots.begin(), slots.end() - 1);
        out.insert(out.end(), b, std::nullopt);
        out.push_back(slots.back());
    } else {
        out = slots;
        out.insert(out.end(), b, std::nullopt);
    }
    return out;
}

std::vector<Sides> signature(const std::vector<Slot>& slots, bool rightToLeft)
{
    const std::size_t n = slots.size() / 4 * 4; // callers pad; a ragged tail is never read
    std::vector<Sides> out;
    out.reserve(n / 4);
    for (std::size_t i = 0; i < n / 4; ++i) {
        Slot outerLast = slots[n - 1 - 2 * i], outerFirst = slots[2 * i];
        Slot innerFirst = slots[2 * i + 1], innerLast = slots[n - 2 - 2 * i];
        if (rightToLeft)
            out.push_back(Sides{{outerFirst, outerLast}, {innerLast, innerFirst}});
        else
            out.push_back(Sides{{outerLast, outerFirst}, {innerFirst, innerLast}});
    }
    return out;
}

Plan sheets(int n, const BookletOptions& options)
{
    Plan plan;
    if (n < 1) return plan;

    auto pages = [](int from, int to) {
        std::vector<Slot> out;
        for (int i = from; i < to; ++i) out.push_back(i);
        return out;
    };
    std::optional<std::vector<Slot>> cover;
    std::vector<Slot> interior;
    BlankPlacement blanks = options.blanks;
    CoverMode mode = options.cover;
    if (mode == CoverMode::separate && n < 4) {
        plan.warnings.push_back("A separate cover needs at least 4 pages; printed as a self cover.");
        mode = CoverMode::selfCover;
    } else if (mode == CoverMode::separateBlankInside && n < 2) {
        plan.warnings.push_back("A separate cover needs at least 2 pages; printed as a self cover.");
        mode = CoverMode::selfCover;
    }
    switch (mode) {
    case CoverMode::selfCover: interior = pages(0, n); break;
    case CoverMode::separate:
        cover = std::vector<Slot>{0, 1, n - 2, n - 1};
        interior = pages(2, n - 2);
        blanks = BlankPlacement::end;
        break;
    case CoverMode::separateBlankInside:
        cover = std::vector<Slot>{0, std::nullopt, std::nullopt, n - 1};
        interior = pages(1, n - 1);
        blanks = BlankPlacement::end;
        break;
    }

    const std::size_t interiorPages = interior.size();
    interior = padded(interior, blanks);
    plan.blanksAdded = static_cast<int>(interior.size() - interiorPages);
    if (cover) plan.blanksAdded += static_cast<int>(std::count(cover->begin(), cover->end(), std::nullopt));

    const std::size_t size = options.sheetsPerSignature >= 1 ? 4 * static_cast<std::size_t>(options.sheetsPerSignature)
                                                             : std::max<std::size_t>(4, interior.size());
    std::vector<std::vector<Slot>> signatures;
    for (std::size_t start = 0; start < interior.size(); start += size)
        signatures.emplace_back(interior.begin() + static_cast<std::ptrdiff_t>(start),
                                interior.begin() + static_cast<std::ptrdiff_t>(std::min(interior.size(), start + size)));

    std::size_t most = 0;
    for (const auto& s : signatures) most = std::max(most, s.size() / 4);
    const double step = most >= 2 ? options.creep / static_cast<double>(most - 1) : 0;

    if (cover) {
        Sides sides = signature(*cover, options.rightToLeft).front();
        plan.sheets.push_back(BookletSheet{-1, 0, 1, true, sides.front, sides.back, 0});
    }
    for (std::size_t s = 0; s < signatures.size(); ++s) {
        std::vector<Sides> sheets = signature(signatures[s], options.rightToLeft);
        for (std::size_t i = 0; i < sheets.size(); ++i)
            plan.sheets.push_back(BookletSheet{static_cast<int>(s), static_cast<int>(i), static_cast<int>(sheets.size()),
                                               false, sheets[i].front, sheets[i].back, static_cast<double>(i) * step});
    }
    return plan;
}

} // namespace BookletPlan
} // namespace TunequillKit

namespace {

void hashSlots(std::size_t& seed, const TunequillKit::SlotPair& slots)
{
    for (const TunequillKit::Slot& slot : slots) TunequillKit::detail::hashOptional(seed, slot);
}

} // namespace

std::size_t std::hash<TunequillKit::BookletOptions>::operator()(const TunequillKit::BookletOptions& o) const noexcept
{
    using TunequillKit::detail::hashCombine;
    std::size_t seed = 0;
    hashCombine(seed, o.creep);
    hashCombine(seed, o.sheetsPerSignature);
    hashCombine(seed, o.cover);
    hashCombine(seed, o.blanks);
    hashCombine(seed, o.rightToLeft);
    return seed;
}

std::size_t std::hash<TunequillKit::BookletSheet>::operator()(const TunequillKit::BookletSheet& s) const noexcept
{
    using TunequillKit::detail::hashCombine;
    std::size_t seed = 0;
    hashCombine(seed, s.signature);
    hashCombine(seed, s.sheetInSignature);
    hashCombine(seed, s.sheetsInSignature);
    hashCombine(seed, s.isCover);
    hashSlots(seed, s.front);
    hashSlots(seed, s.back);
    hashCombine(seed, s.creep);
    return seed;
}
