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

// Large enough for a heading by its size; whether its text may be one is asked after.
bool isLargeEnough(const StyledParagraph& p, double body)
{
    return body > 0 && p.size >= body * headingRatio;
}

bool isSizeHeadingCandidate(const StyledParagraph& p, double body, std::string_view text)
{
    return isLargeEnough(p, body) && passesHeadingText(text, sizeHeadingLimit);
}

// The characters of the runs' joined text; one run is counted where it lies.
long long joinedCharacters(const Runs& runs)
{
    return runs.size() == 1 ? Text::characterCount(runs.front().text) : Text::characterCount(plain(runs));
}

// What classifying a paragraph depends on in the others: the body size, the
// heading sizes and whether bold alone makes headings. `forEach` calls its
// argument with every paragraph to classify.
struct Classifier {
    double body = 0;
    std::vector<double> sizes;
    bool boldHeadingsAllowed = false;
    int boldLevel = 1;

    template <typename ForEach>
    explicit Classifier(ForEach&& forEach)
    {
        std::map<double, long long> totals;
        long long n = 0, boldCount = 0;
        forEach([&](const StyledParagraph& p) {
            if (p.size > 0) totals[halfPoint(p.size)] += joinedCharacters(p.runs);
            ++n;
            if (!p.list && isAllBold(p.runs)) ++boldCount;
        });
        long long best = -1;
        for (const auto& [size, total] : totals) // ascending, so a tie keeps the smaller size
            if (total > best) { best = total; body = size; }
        forEach([&](const StyledParagraph& p) {
            // The text is joined only for the few paragraphs large enough.
            if (!isLargeEnough(p, body) || !isSizeHeadingCandidate(p, body, plain(p.runs))) return;
            double key = halfPoint(p.size);
            if (std::find(sizes.begin(), sizes.end(), key) == sizes.end()) sizes.push_back(key);
        });
        std::sort(sizes.begin(), sizes.end(), std::greater<>());
        boldHeadingsAllowed = boldCount * 2 < std::max<long long>(2, n);
        boldLevel = std::min<int>(static_cast<int>(sizes.size()), 2) + 1;
    }

    Block classify(StyledParagraph& p) const
    {
        Runs runs = tidied(std::move(p.runs));
        if (p.headingLevel) return Block::heading(std::clamp(*p.headingLevel, 1, 3), withoutBold(std::move(runs)));
        if (p.list) return Block::listItem(p.list->marker, p.list->level, std::move(runs));
        // Most paragraphs are neither large nor bold: their text is not joined to be looked at.
        const bool large = isLargeEnough(p, body), bold = boldHeadingsAllowed && isAllBold(runs);
        if (!large && !bold) return Block::paragraph(std::move(runs), p.lineBreaks);
        std::string text = plain(runs);
        if (isSizeHeadingCandidate(p, body, text)) {
            auto at = std::find(sizes.begin(), sizes.end(), halfPoint(p.size));
            if (at != sizes.end()) {
                int level = std::min(static_cast<int>(at - sizes.begin()) + 1, 3);
                return Block::heading(level, withoutBold(std::move(runs)));
            }
        }
        if (boldHeadingsAllowed && isAllBold(runs) && passesHeadingText(text, boldHeadingLimit) &&
            (!Text::endsWith(text, ".") || Text::characterCount(text) <= shortBoldSentence))
            return Block::heading(boldLevel, withoutBold(std::move(runs)));
        return Block::paragraph(std::move(runs), p.lineBreaks);
    }
};

} // namespace

double bodySize(const std::vector<StyledParagraph>& paragraphs)
{
    return Classifier([&](auto&& f) {
               for (const auto& p : paragraphs) f(p);
           }).body;
}

Blocks classify(std::vector<StyledParagraph> paragraphs)
{
    const Classifier classifier([&](auto&& f) {
        for (const auto& p : paragraphs) f(p);
    });
    Blocks blocks;
    blocks.reserve(paragraphs.size());
    for (auto& p : paragraphs) blocks.push_back(classifier.classify(p));
    return blocks;
}

Blocks blocks(std::vector<Piece> pieces)
{
    // Classified where they lie, each paragraph's text moved into its block:
    // a long document is held once, not once more for every step.
    auto kept = [](Piece& piece) {
        auto* p = std::get_if<StyledParagraph>(&piece.value);
        return p && hasVisibleText(p->runs) ? p : nullptr;
    };
    const Classifier classifier([&](auto&& f) {
        for (Piece& piece : pieces)
            if (const StyledParagraph* p = kept(piece)) f(*p);
    });
    Blocks out;
    out.reserve(pieces.size());
    for (Piece& piece : pieces) {
        if (auto* block = std::get_if<Block>(&piece.value))
            out.push_back(std::move(*block));
        else if (StyledParagraph* p = kept(piece))
            out.push_back(classifier.classify(*p));
    }
    return out;
}

} // namespace FolmiraKit::Inference
