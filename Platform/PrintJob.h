#pragma once

// Printing a finished PDF as it is: the print system gets the PDF's own bytes
// with the user's choices as IPP job options, so the printed copy keeps its
// text and its size. Built from a plain struct of choices, so the options can
// be checked without a print dialog or a print server.

#include "Platform/Geometry.h"
#include "Platform/Text.h" // Bytes

#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace Platform::PrintJob {

// Pages counted from 1, both ends included.
struct PageRange {
    int first = 1;
    int last = 1;
    bool operator==(const PageRange&) const = default;
};

enum class Sides { oneSided, twoSidedLongEdge, twoSidedShortEdge };

// What the user chose for one job, and what the document asks for.
struct Choices {
    int copies = 1;
    bool collate = true;
    std::vector<PageRange> pages; // empty: every page
    Sides sides = Sides::oneSided;
    bool grey = false;
    Size firstPage;       // the first page's media box, points
    bool booklet = false; // booklet sheets: two-sided on the short edge, fitted to the paper
};

using Option = std::pair<std::string, std::string>;

// The job's options in a fixed order: copies, multiple-document-handling,
// page-ranges (when not every page), sides, print-color-mode, media,
// orientation-requested, print-scaling.
std::vector<Option> options(const Choices& choices);

// The PWG media name of portrait-shaped paper of `paper`'s size (points):
// the standard name when one matches, else a custom size.
std::string mediaName(Size paper);

// The pages of `pdf` within `ranges`, in the document's order, as a new PDF
// (fonts and text kept). Empty bytes when the PDF cannot be read or no page
// falls within the ranges.
Bytes pagesOf(std::span<const std::uint8_t> pdf, const std::vector<PageRange>& ranges);

// The print system refused the job or could not be reached; what() is its reason.
class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Sends `pdf` as one job to the queue `printer` ("name" or "name/instance") of
// the print server libcups is set up for. Returns the job's id; throws
// PrintError.
int send(const std::string& printer, const std::string& title, std::span<const std::uint8_t> pdf,
         const std::vector<Option>& options);

} // namespace Platform::PrintJob
