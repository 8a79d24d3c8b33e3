#pragma once

// Paragraphs of one stretch of running text on a PDF page, decided from the
// lines' spacing, indents, sizes, weights and punctuation.

#include "FolmiraKit/PDF/PageWords.h"
#include "FolmiraKit/Readers/Inference.h"

#include <string>
#include <vector>

namespace FolmiraKit::PDFReader {

// The paragraphs of `lines` (text lines, top to bottom), in order; every line
// lands in exactly one. Sizes are in points; headings are left to inference.
std::vector<StyledParagraph> buildParagraphs(const Lines& lines);

// One paragraph of `lines`: their runs joined (broken words mended), its size,
// a list marker taken off its front, and whether it keeps its line breaks.
// `width` is the width of the whole stretch.
// `ties`: a line with as many words each way reads right to left.
StyledParagraph makeParagraph(const Lines& lines, double width, bool ties = false);

// One run per word, a space before every word but the first, tidied.
Runs lineRuns(const std::vector<Word>& words, bool ties = false);

// Appends the runs of a following line: a word broken at the end of `runs`
// ("infor-" then "mation") loses its hyphen and meets its other half; any
// other join ("well-" then "Known", "1990-" then "95") gets a space.
void joinLine(Runs& runs, Runs next);

// `runs` without their first `count` characters, tidied.
Runs dropLeadingCharacters(Runs runs, int count);

// The last `n` characters of the runs' joined text, in order (fewer when it is
// shorter), found from the end without joining the runs.
std::vector<std::string> lastCharacters(const Runs& runs, int n);

// The element at index n / 2 of the sorted values (the upper middle); 0 when empty.
double median(std::vector<double> values);

} // namespace FolmiraKit::PDFReader
