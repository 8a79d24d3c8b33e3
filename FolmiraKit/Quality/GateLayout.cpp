// The page checks of the quality report: every visible character of the copy
// must lie inside the margins and be set at no less than 85 % of the chosen
// size, and no page may be nearly empty. Characters are counted in UTF-16
// units, as a PDF's text is indexed, so a character beyond the Basic
// Multilingual Plane counts twice.

#include "FolmiraKit/Quality/GateChecks.h"

#include "Platform/Text.h"

namespace FolmiraKit::Gate::Checks {

namespace {

// Fewer words than this and a page counts as nearly empty.
constexpr int nearlyEmptyWords = 5;

int whitespaceSeparatedPieces(const std::u32string& text)
{
    int pieces = 0;
    bool inPiece = false;
    for (char32_t c : text) {
        bool space = Platform::Text::isWhitespaceScalar(c);
        if (!space && !inPiece) ++pieces;
        inPiece = !space;
    }
    return pieces;
}

bool blankUnit(char32_t c) { return c == U'\t' || c == U'\n' || c == U'\r' || c == U' '; }

// The drawn size of each scalar of the page's text; none where no font covers it.
std::vector<std::optional<double>> sizesByScalar(const Platform::PdfPageText& page, std::size_t count)
{
    std::vector<std::optional<double>> sizes(count);
    for (const auto& span : page.fonts) {
        std::size_t begin = static_cast<std::size_t>(std::max(span.begin, 0));
        std::size_t end = std::min(static_cast<std::size_t>(std::max(span.end, 0)), count);
        for (std::size_t i = begin; i < end; ++i) sizes[i] = span.size;
    }
    return sizes;
}

bool outside(const Platform::Rect& box, const Limits& limits)
{
    return box.minX() < limits.left || box.maxX() > limits.right || box.maxY() > limits.top ||
           box.minY() < limits.bottom;
}

void inspectCharacters(const Platform::PdfPageText& page, const std::u32string& scalars, const Limits& limits,
                       PageFindings& findings)
{
    auto sizes = sizesByScalar(page, scalars.size());
    for (std::size_t i = 0; i < scalars.size(); ++i) {
        if (blankUnit(scalars[i])) continue;
        long long units = scalars[i] > 0xFFFF ? 2 : 1;
        // A character without a box reads as an empty rectangle and is skipped.
        if (i < page.boxes.size() && page.boxes[i]) {
            const auto& box = *page.boxes[i];
            if (!(box.width == 0 && box.height == 0) && outside(box, limits)) findings.outside += units;
        }
        if (sizes[i] && *sizes[i] < limits.smallest) findings.small += units;
    }
}

} // namespace

Limits limits(const LargePrintSettings& settings)
{
    LargePrintSettings clamped = settings.clamped();
    double m = clamped.margin * 72;
    Platform::Size paper = size(clamped.paper);
    // A little slack for glyphs whose boxes reach past the text frame.
    return Limits{.left = m - 1.5,
                  .right = paper.width - m + 1.5,
                  .top = paper.height - m + 3.0,
                  .bottom = 0.4 * m,
                  .smallest = 0.85 * clamped.fontSize};
}

PageFindings inspectPages(const std::vector<std::optional<Platform::PdfPageText>>& pages, const Limits& limits)
{
    PageFindings findings;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        if (!pages[p]) continue;
        if (whitespaceSeparatedPieces(Platform::Text::scalars(Platform::separatedText(*pages[p]))) <
            nearlyEmptyWords)
            findings.problems.push_back("page " + std::to_string(p + 1) + " is nearly empty");
        inspectCharacters(*pages[p], Platform::Text::scalars(pages[p]->text), limits, findings);
    }
    return findings;
}

} // namespace FolmiraKit::Gate::Checks
