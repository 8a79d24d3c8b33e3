#pragma once

// Two stages between a page's lines and its paragraphs: removing running
// headers, footers and page numbers across all pages, and cutting each page
// into flows read in order, a two-column stretch left column first.

#include "FolmiraKit/PDF/FlowItems.h"
#include "FolmiraKit/PDF/PageWords.h"

#include <optional>
#include <string>
#include <vector>

namespace FolmiraKit::PDFReader {

// One stretch of a page that is read in order.
struct Flow {
    std::vector<FlowItem> items;
    bool column = false; // one column of a stretch set in columns
    int columns = 1;     // how many columns that stretch has side by side; 1 for a full-width flow
    bool operator==(const Flow&) const = default;
};

// The key under which lines repeat: the text lower-cased, digit runs as "#".
std::string repeatKey(const Line& line);
// The same of a line's text (lineText).
std::string repeatKey(std::string_view text);

// A line of a page's header or footer band (isInBand): its index among the
// page's lines, its key, and what tells a running line from the body's own.
struct BandLine {
    std::size_t index = 0;
    std::string key;
    std::vector<std::string> numbers; // its runs of digits, in order: the "#"s of the key
    bool apart = false; // set off from the body by more than the page's line spacing
    bool leads = false; // a heading: larger or bolder than the text it stands over
};

// The band lines of one page (its lines top to bottom), top to bottom; none
// when it has no crop box or fewer than 3 text lines.
std::vector<BandLine> bandLines(const Lines& page, const std::optional<Rect>& cropBox);

// Of each page's band lines, the indices (ascending) of the running lines: set
// apart from the body and no heading, and either a page number, or in a
// document of at least 4 of the `pagesWithLines` pages that have any line, a
// line met on enough pages whose numbers stay or follow the pages.
std::vector<std::vector<std::size_t>> repeatedLines(const std::vector<std::vector<BandLine>>& bands,
                                                    long long pagesWithLines);

// Removes the lines at `indices` (ascending) from `lines`.
void removeLines(Lines& lines, const std::vector<std::size_t>& indices);

// Removes, from the header and footer bands of each page, lines that are page
// numbers or that repeat on enough pages. `cropBoxes` has one entry per page
// (none when the page could not be fetched). Returns the number removed.
int removeRepeatedLines(std::vector<Lines>& pages, const std::vector<std::optional<Rect>>& cropBoxes);

// The flows of one page's lines (top to bottom), in reading order: each
// column of a stretch set in columns top to bottom, the leftmost first.
std::vector<Flow> detectColumns(const Lines& lines);
// The same, the lines moved into the flows rather than copied.
std::vector<Flow> detectColumns(Lines&& lines);

// The x of a gutter between columns of `lines`, or none: of several, the
// leftmost of those with the most text on both sides. `left` and `width` are
// the page text's left edge and width.
std::optional<double> findGutter(const Lines& lines, double left, double width);

// Turns `stretch` into one flow, or, for a column stretch with text on both
// sides of the gutter, the flows of each side (each side cut at gutters of its
// own), appended to `flows`; empties the stretch.
void flushStretch(Lines& stretch, bool column, std::optional<double> gutter, std::vector<Flow>& flows);

// One line of the segments of a line that fall on one side of the gutter.
Line joinSegments(const Lines& segments);

} // namespace FolmiraKit::PDFReader
