// Scoring one document: read it as the application does, render it without
// page numbers (they would count as stray words), read the copy back through
// the PDF layer and run the checks in the order their lines are reported.

#include "FolmiraKit/Quality/Gate.h"
#include "FolmiraKit/Quality/GateChecks.h"

#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Render/Renderer.h"

#include <variant>

namespace FolmiraKit::Gate {

namespace {

// A result that ends the scoring before anything was rendered or read back.
GateResult early(const GateExpectation& expectation, std::string line, bool passed = false)
{
    GateResult result;
    result.file = expectation.file;
    result.what = expectation.what;
    result.order = result.nothingLost = result.headings = result.layout = passed;
    result.detail.push_back(std::move(line));
    return result;
}

// Reads the document, or the early result that ends the scoring.
std::variant<BigDocument, GateResult> readDocument(const std::filesystem::path& url,
                                                   const GateExpectation& expectation, bool keepLineBreaks)
{
    try {
        BigDocument document = Folmira::read(url, keepLineBreaks);
        if (expectation.refuse) return early(expectation, "Should have been refused (no text layer) but was read.");
        return document;
    } catch (const ConversionError& error) {
        // Only a refusal for a missing text layer is what an expected refusal means.
        if (error.reason == ConversionError::Reason::noTextLayer && expectation.refuse)
            return early(expectation, "Refused: “" + error.message() + "”", true);
        return early(expectation, "Read failed: " + error.message());
    } catch (const std::exception& error) {
        return early(expectation, std::string("Read failed: ") + error.what());
    } catch (...) {
        return early(expectation, "Read failed: an unknown error.");
    }
}

std::vector<std::optional<Platform::PdfPageText>> pageTexts(const Platform::PdfDocument& pdf)
{
    std::vector<std::optional<Platform::PdfPageText>> pages;
    for (int i = 0; i < pdf.pageCount(); ++i) {
        auto page = pdf.page(i);
        pages.push_back(page ? std::optional(page->text()) : std::nullopt);
    }
    return pages;
}

std::string copyText(const std::vector<std::optional<Platform::PdfPageText>>& pages)
{
    std::string text;
    for (const auto& page : pages) {
        if (page) text += Platform::separatedText(*page);
        text += "\n";
    }
    return text;
}

std::vector<std::string> layoutProblems(const std::vector<std::optional<Platform::PdfPageText>>& pages,
                                        const LargePrintSettings& settings)
{
    Checks::Limits limits = Checks::limits(settings);
    Checks::PageFindings findings = Checks::inspectPages(pages, limits);
    std::vector<std::string> problems = std::move(findings.problems);
    if (findings.outside > 0)
        problems.push_back(std::to_string(findings.outside) + " characters outside the margins");
    if (findings.small > 0)
        problems.push_back(std::to_string(findings.small) + " characters smaller than " +
                           std::to_string(static_cast<long long>(limits.smallest)) + " pt");
    return problems;
}

std::string joinedProblems(const std::vector<std::string>& problems)
{
    std::string line = "Layout: ";
    for (std::size_t i = 0; i < problems.size(); ++i) line += (i > 0 ? "; " : "") + problems[i];
    return line;
}

} // namespace

GateResult score(const std::filesystem::path& url, const GateExpectation& expectation,
                 const LargePrintSettings& settings)
{
    auto read = readDocument(url, expectation, settings.keepLineBreaks);
    if (auto* ended = std::get_if<GateResult>(&read)) return std::move(*ended);
    const BigDocument& document = std::get<BigDocument>(read);

    LargePrintSettings unnumbered = settings;
    unnumbered.pageNumbers = false;
    RenderResult rendered = Folmira::render(document, unnumbered);
    auto opened = Platform::PdfDocument::open(rendered.pdf);
    if (!opened.document) return early(expectation, "No PDF came out.");

    GateResult result;
    result.file = expectation.file;
    result.what = expectation.what;
    result.pages = opened.document->pageCount();
    auto pages = pageTexts(*opened.document);
    Checks::Words copyWords = tokens(copyText(pages));
    Checks::Words expectedWords = tokens(expectation.text);

    Checks::Coverage coverage = Checks::coverage(copyWords, expectedWords);
    result.coverage = coverage.share;
    result.nothingLost = coverage.nothingLost;
    if (coverage.line) result.detail.push_back(*coverage.line);
    long long stray = Checks::strayWords(coverage.left, document);

    auto order = Checks::orderLine(expectation.order, copyWords);
    result.order = !order;
    if (order) result.detail.push_back(*order);

    auto headings = Checks::headingsLine(expectation.headings, document);
    result.headings = !headings;
    if (headings) result.detail.push_back(*headings);

    std::vector<std::string> problems = layoutProblems(pages, settings);
    if (auto strayLine = Checks::strayProblem(stray, coverage.left, expectedWords.size()))
        problems.push_back(*strayLine);
    if (auto blocks = Checks::blockStartProblem(expectation.order, document)) problems.push_back(*blocks);
    for (auto& problem : Checks::countProblems(document, expectation)) problems.push_back(std::move(problem));
    result.layout = problems.empty();
    if (!problems.empty()) result.detail.push_back(joinedProblems(problems));
    return result;
}

} // namespace FolmiraKit::Gate
