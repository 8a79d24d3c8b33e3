#include "TunequillKit/Layout/Typeset.h"

#include <cmath>

namespace TunequillKit {

std::string_view toString(Ink ink)
{
    switch (ink) {
    case Ink::text: return "text";
    case Ink::chord: return "chord";
    case Ink::muted: return "muted";
    case Ink::accent: return "accent";
    }
    return "text";
}

template <>
std::optional<Ink> fromString<Ink>(std::string_view text)
{
    return detail::caseNamed(allCases<Ink>, text, [](Ink i) { return toString(i); });
}

std::string_view toString(BlockKind kind)
{
    switch (kind) {
    case BlockKind::header: return "header";
    case BlockKind::section: return "section";
    case BlockKind::chorus: return "chorus";
    case BlockKind::comment: return "comment";
    case BlockKind::cue: return "cue";
    case BlockKind::diagrams: return "diagrams";
    case BlockKind::tab: return "tab";
    case BlockKind::continued: return "continued";
    case BlockKind::heading: return "heading";
    case BlockKind::entry: return "entry";
    case BlockKind::pageBreak: return "pageBreak";
    case BlockKind::columnBreak: return "columnBreak";
    }
    return "section";
}

template <>
std::optional<BlockKind> fromString<BlockKind>(std::string_view text)
{
    return detail::caseNamed(allCases<BlockKind>, text, [](BlockKind k) { return toString(k); });
}

std::string Row::text() const
{
    std::string out;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (i) out += ' ';
        out += runs[i].text;
    }
    return out;
}

double Block::height() const
{
    double sum = 0;
    for (const Row& row : rows) sum += row.height;
    return sum;
}

double nearest(double value) { return std::round(value); } // std::round takes halves away from zero

} // namespace TunequillKit
