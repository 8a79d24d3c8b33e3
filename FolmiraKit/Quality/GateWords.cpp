// The word checks of the quality report: tokens, the ordered search, coverage,
// stray words, order, headings, block starts and the table and picture counts.
// Words are matched through hash tables so each check is linear in the words.

#include "FolmiraKit/Quality/Gate.h"
#include "FolmiraKit/Quality/GateChecks.h"

#include "Platform/Text.h"

#include <algorithm>
#include <unordered_set>

namespace FolmiraKit::Gate {

namespace {

// Length of the UTF-8 sequence a lead byte opens (1 for a stray byte).
std::size_t sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += separator;
        out += parts[i];
    }
    return out;
}

std::string curlyQuoted(const std::string& text) { return "“" + text + "”"; }

// The first `limit` items (all when fewer), each quoted or not, joined.
std::string firstOf(const std::vector<std::string>& items, std::size_t limit, std::string_view separator,
                    bool quote)
{
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < items.size() && i < limit; ++i)
        shown.push_back(quote ? curlyQuoted(items[i]) : items[i]);
    return joined(shown, separator);
}

bool beginsWith(const Checks::Words& unit, const Checks::Words& words)
{
    return unit.size() >= words.size() && std::equal(words.begin(), words.end(), unit.begin());
}

} // namespace

std::vector<std::string> tokens(std::string_view text)
{
    std::string lower = Platform::Text::lowercased(text);
    Platform::Text::replaceAll(lower, "’", "'");
    std::vector<std::string> words;
    std::string word;
    std::string_view rest(lower);
    for (std::size_t i = 0; i < rest.size();) {
        std::size_t length = std::min(sequenceLength(static_cast<unsigned char>(rest[i])), rest.size() - i);
        std::string_view scalar = rest.substr(i, length);
        if (scalar == "'") {
            // Apostrophes vanish without splitting the word.
        } else if (Platform::Text::isAlphanumeric(scalar)) {
            word += scalar;
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
        i += length;
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

std::optional<std::size_t> find(const std::vector<std::string>& needle, const std::vector<std::string>& haystack,
                                std::size_t start)
{
    // Written so that no subtraction can wrap below zero.
    if (needle.empty() || haystack.size() < needle.size()) return std::nullopt;
    std::size_t last = haystack.size() - needle.size();
    if (start > last) return std::nullopt;
    for (std::size_t i = start; i <= last; ++i)
        if (std::equal(needle.begin(), needle.end(), haystack.begin() + static_cast<std::ptrdiff_t>(i))) return i;
    return std::nullopt;
}

namespace Checks {

Coverage coverage(const Words& copyWords, const Words& expectedWords)
{
    Coverage result;
    for (const auto& word : copyWords) ++result.left[word];
    std::size_t found = 0;
    for (const auto& word : expectedWords) {
        auto it = result.left.find(word);
        if (it != result.left.end() && it->second > 0) {
            --it->second;
            ++found;
        } else {
            result.missing.push_back(word);
        }
    }
    if (expectedWords.empty()) return result;
    result.share = static_cast<double>(found) / static_cast<double>(expectedWords.size());
    result.nothingLost = result.share >= 0.99;
    if (!result.nothingLost)
        result.line = "Missing words (" + std::to_string(result.missing.size()) +
                      "): " + firstOf(result.missing, 12, " ", false);
    return result;
}

long long strayWords(Counts& left, const BigDocument& document)
{
    // Header rows repeat on every page a table spans, so their words are never stray.
    for (const Block& block : document.blocks) {
        const auto* table = block.as<Block::Table>();
        if (!table || !table->header || table->rows.empty()) continue;
        for (const auto& cell : table->rows.front())
            for (const auto& word : tokens(plain(cell))) left.erase(word);
    }
    long long stray = 0;
    for (const auto& [word, count] : left) stray += count;
    return stray;
}

std::optional<std::string> orderLine(const std::vector<std::string>& snippets, const Words& copyWords)
{
    std::size_t cursor = 0;
    for (const auto& snippet : snippets) {
        Words words = tokens(snippet);
        if (words.empty()) continue;
        if (auto at = Gate::find(words, copyWords, cursor)) {
            cursor = *at + words.size();
            continue;
        }
        bool earlier = Gate::find(words, copyWords, 0).has_value();
        return (earlier ? "Out of order: " : "Not found: ") + curlyQuoted(snippet);
    }
    return std::nullopt;
}

std::optional<std::string> headingsLine(const std::vector<std::string>& expected, const BigDocument& document)
{
    std::unordered_set<std::string> known;
    for (const auto& heading : document.headings()) known.insert(joined(tokens(heading), " "));
    std::vector<std::string> missing;
    for (const auto& heading : expected)
        if (!known.contains(joined(tokens(heading), " "))) missing.push_back(heading);
    if (missing.empty()) return std::nullopt;
    return "Not read as headings: " + firstOf(missing, missing.size(), ", ", true);
}

std::optional<std::string> blockStartProblem(const std::vector<std::string>& snippets, const BigDocument& document)
{
    std::vector<Words> units;
    for (const Block& block : document.blocks) {
        if (const auto* table = block.as<Block::Table>()) {
            for (const auto& row : table->rows)
                for (const auto& cell : row) units.push_back(tokens(plain(cell)));
        } else {
            units.push_back(tokens(block.plainText()));
        }
    }
    std::vector<std::string> flagged;
    for (const auto& snippet : snippets) {
        Words words = tokens(snippet);
        if (words.empty()) continue;
        bool starts = std::any_of(units.begin(), units.end(), [&](const Words& u) { return beginsWith(u, words); });
        if (!starts) flagged.push_back(snippet);
    }
    // A few snippets merged into their neighbours are tolerated: one in twenty.
    if (flagged.size() * 20 <= std::max<std::size_t>(1, snippets.size())) return std::nullopt;
    return "run into the block before: " + firstOf(flagged, 4, ", ", true);
}

std::optional<std::string> strayProblem(long long stray, const Counts& left, std::size_t expectedWords)
{
    if (expectedWords == 0) return std::nullopt;
    if (static_cast<double>(stray) / static_cast<double>(expectedWords) <= 0.015) return std::nullopt;
    std::vector<std::string> words;
    for (const auto& [word, count] : left)
        if (count > 0) words.push_back(word);
    std::sort(words.begin(), words.end());
    return std::to_string(stray) + " stray words (" + firstOf(words, 10, " ", false) + ")";
}

std::vector<std::string> countProblems(const BigDocument& document, const GateExpectation& expectation)
{
    std::vector<std::string> problems;
    long long tables = document.tableCount(), images = document.imageCount();
    std::string expectedTables = std::to_string(expectation.tables);
    if (tables < expectation.tables)
        problems.push_back("found " + std::to_string(tables) + " of " + expectedTables + " tables");
    else if (tables > expectation.tables)
        problems.push_back("found " + std::to_string(tables) + " tables, expected " + expectedTables);
    if (images < expectation.images)
        problems.push_back("found " + std::to_string(images) + " of " + std::to_string(expectation.images) +
                           " pictures");
    return problems;
}

} // namespace Checks
} // namespace FolmiraKit::Gate
