#pragma once

// The checks Gate::score is made of, one per concern, over plain values so
// each can be tried on its own. Internal to the quality report.

#include "FolmiraKit/Model/BigDocument.h"
#include "FolmiraKit/Quality/GateExpectation.h"
#include "FolmiraKit/Render/LargePrintSettings.h"
#include "Platform/PdfDocument.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace FolmiraKit::Gate::Checks {

using Words = std::vector<std::string>;
// Copy words not yet matched, by word.
using Counts = std::unordered_map<std::string, long long>;

struct Coverage {
    double share = 1.0;
    bool nothingLost = true;
    Words missing;         // expected words without a match, in order, repeats kept
    Counts left;           // the copy words that matched no expected word
    std::optional<std::string> line; // "Missing words (…): …" when too many are missing
};
// Matches each expected word against one unused copy word.
Coverage coverage(const Words& copyWords, const Words& expectedWords);

// Sets the header-row words of the document's tables aside and counts the
// copy words left over.
long long strayWords(Counts& left, const BigDocument& document);

// Whether the snippets occur in the copy in order: none when they do, else the
// line for the first that does not.
std::optional<std::string> orderLine(const std::vector<std::string>& snippets, const Words& copyWords);

// The expected headings the document did not read as headings, as one line.
std::optional<std::string> headingsLine(const std::vector<std::string>& expected, const BigDocument& document);

// The snippets that start no block (or table cell) of the document, as one
// problem when they are more than one in twenty of the snippets.
std::optional<std::string> blockStartProblem(const std::vector<std::string>& snippets, const BigDocument& document);

// The stray-word problem when the stray words are more than 1.5 % of the expected ones.
std::optional<std::string> strayProblem(long long stray, const Counts& left, std::size_t expectedWords);

// Too few tables, too many tables, too few pictures.
std::vector<std::string> countProblems(const BigDocument& document, const GateExpectation& expectation);

// Where characters may lie on a page of the copy, in points (origin bottom-left),
// and the smallest type allowed.
struct Limits {
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;
    double smallest = 0;
};
Limits limits(const LargePrintSettings& settings);

// What the pages' characters showed: nearly empty pages, and the characters
// (counted in UTF-16 units) outside the limits or set too small.
struct PageFindings {
    std::vector<std::string> problems; // "page n is nearly empty", in page order
    long long outside = 0;
    long long small = 0;
};
// Pages that could not be read are none and are skipped.
PageFindings inspectPages(const std::vector<std::optional<Platform::PdfPageText>>& pages, const Limits& limits);

} // namespace FolmiraKit::Gate::Checks
