#include "TunequillKit/Library/BookSettings.h"

namespace TunequillKit {

std::string_view toString(BookKind kind) { return kind == BookKind::setList ? "setList" : "book"; }

template <>
std::optional<BookKind> fromString<BookKind>(std::string_view text)
{
    return detail::caseNamed(allCases<BookKind>, text, [](BookKind k) { return toString(k); });
}

std::string_view toString(PageSize size)
{
    switch (size) {
    case PageSize::letter: return "letter";
    case PageSize::a4: return "a4";
    case PageSize::halfLetter: return "halfLetter";
    case PageSize::a5: return "a5";
    }
    return "letter";
}

template <>
std::optional<PageSize> fromString<PageSize>(std::string_view text)
{
    return detail::caseNamed(allCases<PageSize>, text, [](PageSize s) { return toString(s); });
}

std::string_view title(PageSize size)
{
    switch (size) {
    case PageSize::letter: return "Letter (8.5 × 11 in)";
    case PageSize::a4: return "A4";
    case PageSize::halfLetter: return "Half Letter (5.5 × 8.5 in)";
    case PageSize::a5: return "A5";
    }
    return "";
}

Platform::Size size(PageSize page)
{
    switch (page) {
    case PageSize::letter: return {612, 792};
    case PageSize::a4: return {595.28, 841.89};
    case PageSize::halfLetter: return {396, 612};
    case PageSize::a5: return {419.53, 595.28};
    }
    return {612, 792};
}

Platform::Size bookletSheet(PageSize page)
{
    switch (page) {
    case PageSize::letter: return {1224, 792};
    case PageSize::a4: return {1190.55, 841.89};
    case PageSize::halfLetter: return {792, 612};
    case PageSize::a5: return {841.89, 595.28};
    }
    return {1224, 792};
}

std::string_view toString(Flow flow) { return flow == Flow::flowing ? "flowing" : "songPerPage"; }

template <>
std::optional<Flow> fromString<Flow>(std::string_view text)
{
    return detail::caseNamed(allCases<Flow>, text, [](Flow f) { return toString(f); });
}

std::string_view title(Flow flow) { return flow == Flow::flowing ? "Flowing" : "One song per page"; }

std::string_view toString(Typeface typeface) { return typeface == Typeface::serif ? "serif" : "sans"; }

template <>
std::optional<Typeface> fromString<Typeface>(std::string_view text)
{
    return detail::caseNamed(allCases<Typeface>, text, [](Typeface t) { return toString(t); });
}

std::string_view title(Typeface typeface) { return typeface == Typeface::serif ? "Serif" : "Sans serif"; }

BookSettings BookSettings::forKind(BookKind kind)
{
    BookSettings settings;
    if (kind == BookKind::setList) {
        settings.fontSize = 20;
        settings.tableOfContents = false;
        settings.index = false;
        settings.setListPage = true;
    }
    return settings;
}

} // namespace TunequillKit

std::size_t std::hash<TunequillKit::BookSettings>::operator()(const TunequillKit::BookSettings& s) const noexcept
{
    using TunequillKit::detail::hashCombine;
    std::size_t seed = 0;
    hashCombine(seed, TunequillKit::toString(s.pageSize));
    hashCombine(seed, s.fontSize);
    hashCombine(seed, TunequillKit::toString(s.typeface));
    hashCombine(seed, s.boldChorus);
    hashCombine(seed, TunequillKit::toString(s.flow));
    hashCombine(seed, s.columns);
    hashCombine(seed, s.spreads);
    hashCombine(seed, TunequillKit::toString(s.accidentals));
    for (bool b : {s.nashville, s.chordsInColor, s.repeatChorus, s.diagrams, s.tableOfContents, s.index,
                   s.setListPage, s.pageNumbers})
        hashCombine(seed, b);
    hashCombine(seed, s.margin);
    return seed;
}
