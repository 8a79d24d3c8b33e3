// Heading inference relative to the document itself: the body size is the size
// carrying the most characters, sizes at least 15 % above it rank as heading
// levels, and bold alone makes a heading only when bold paragraphs are few.

#include "FolmiraKit/Readers/Inference.h"

#include "Platform/Text.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace FolmiraKit::Inference {

namespace Text = Platform::Text;

double halfPoint(double size) { return std::round(2 * size) / 2; }

namespace {

constexpr double headingRatio = 1.15;
constexpr int sizeHeadingLimit = 140;
constexpr int boldHeadingLimit = 80;
constexpr int shortBoldSentence = 24;

bool passesHeadingText(std::string_view text, int limit)
{
    std::string_view trimmed = Text::trimWhitespaceAndNewlines(text);
    if (trimmed.empty() || Text::characterCount(trimmed) > limit) return false;
    if (Text::contains(trimmed, "\n") || !Text::containsLetter(trimmed)) return false;
    return !Text::endsWith(trimmed, ",") && !Text::endsWith(trimmed, ";");
}

// At least one run with visible text, and every such run bold.
bool isAllBold(const Runs& runs)
{
    bool any = false;
    for (const auto& run : runs) {
        if (Text::trimWhitespaceAndNewlines(run.text).empty()) continue;
        if (!run.bold) return false;
        any = true;
    }
    return any;
}

Runs withoutBold(Runs runs)
{
    for (auto& run : runs) run.bold = false;
    return runs;
}

bool isSizeHeadingCandidate(const StyledParagraph& p, double body, std::string_view text)
{
    return body > 0 && p.size >= body * headingRatio && passesHeadingText(text, sizeHeadingLimit);
}

std::vector<double> headingSizes(const std::vector<StyledParagraph>& paragraphs, double body)
{
    std::vector<double> sizes;
    for (const auto& p : paragraphs) {
        if (!isSizeHeadingCandidate(p, body, plain(p.runs))) continue;
        double key = halfPoint(p.size);
        if (std::find(sizes.begin(), sizes.end(), key) == sizes.end()) sizes.push_back(key);
    }
    std::sort(sizes.begin(), sizes.end(), std::greater<>());
    return sizes;
}

} // namespace

double bodySize(const std::vector<StyledParagraph>& paragraphs)
{
    std::map<double, long long> totals;
    for (const auto& p : paragraphs)
        if (p.size > 0) totals[halfPoint(p.size)] += Text::characterCount(plain(p.runs));
    double body = 0;
    long long best = -1;
    for (const auto& [size, total] : totals) // ascending, so a tie keeps the smaller size
        if (total > best) { best = total; body = size; }
    return body;
}

Blocks classify(std::vector<StyledParagraph> paragraphs)
{
    const double body = bodySize(paragraphs);
    const std::vector<double> sizes = headingSizes(paragraphs, body);
    const long long n = static_cast<long long>(paragraphs.size());
    const long long boldCount = std::count_if(paragraphs.begin(), paragraphs.end(),
                                              [](const StyledParagraph& p) { return !p.list && isAllBold(p.runs); });
    const bool boldHeadingsAllowed = boldCount * 2 < std::max<long long>(2, n);
    const int boldLevel = std::min<int>(static_cast<int>(sizes.size()), 2) + 1;

    Blocks blocks;
    blocks.reserve(paragraphs.size());
    for (auto& p : paragraphs) {
        Runs runs = tidied(std::move(p.runs));
        if (p.headingLevel) {
            blocks.push_back(Block::heading(std::clamp(*p.headingLevel, 1, 3), withoutBold(std::move(runs))));
            continue;
        }
        if (p.list) {
            blocks.push_back(Block::listItem(p.list->marker, p.list->level, std::move(runs)));
            continue;
        }
        std::string text = plain(runs);
        if (isSizeHeadingCandidate(p, body, text)) {
            auto at = std::find(sizes.begin(), sizes.end(), halfPoint(p.size));
            if (at != sizes.end()) {
                int level = std::min(static_cast<int>(at - sizes.begin()) + 1, 3);
                blocks.push_back(Block::heading(level, withoutBold(std::move(runs))));
                continue;
            }
        }
        if (boldHeadingsAllowed && isAllBold(runs) && passesHeadingText(text, boldHeadingLimit) &&
            (!Text::endsWith(text, ".") || Text::characterCount(text) <= shortBoldSentence)) {
            blocks.push_back(Block::heading(boldLevel, withoutBold(std::move(runs))));
            continue;
        }
        blocks.push_back(Block::paragraph(std::move(runs), p.lineBreaks));
    }
    return blocks;
}

Blocks blocks(std::vector<Piece> pieces)
{
    std::vector<StyledParagraph> paragraphs;
    std::vector<bool> kept(pieces.size(), false);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        auto* p = std::get_if<StyledParagraph>(&pieces[i].value);
        if (p && !tidied(p->runs).empty()) {
            paragraphs.push_back(std::move(*p));
            kept[i] = true;
        }
    }
    // Moved in, so that a long document is not held twice over.
    Blocks classified = classify(std::move(paragraphs));

    Blocks out;
    out.reserve(pieces.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (auto* block = std::get_if<Block>(&pieces[i].value))
            out.push_back(std::move(*block));
        else if (kept[i])
            out.push_back(std::move(classified[next++]));
    }
    return out;
}

} // namespace FolmiraKit::Inference
