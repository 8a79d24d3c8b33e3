#pragma once

// Bounds that keep a hostile PDF from costing unbounded time or memory. Each
// is far above what a real document reaches.

#include <cstddef>
#include <cstdint>

namespace FolmiraKit::PDFLimits {

// Pixels of one picture cut out of a page (2 pixels per point): 160 MB of bitmap at most.
inline constexpr std::int64_t regionPixels = 40'000'000;
// Bytes of one picture taken as the page stores it (a JPEG, not rendered):
// a photo of 4 pixels a point over a whole page takes some 3 MB.
inline constexpr std::size_t storedJpegBytes = 32u << 20;
// Pixels a point of a picture taken as stored: a denser one is rendered down
// to the region's 2, so that the copy does not carry a huge photo drawn small.
inline constexpr double storedPixelsPerPoint = 4;
// Form XObjects entered while scanning one page: forms that draw each other
// thousands of times would otherwise multiply the work.
inline constexpr int formInvocations = 10'000;
// Image rectangles recorded on one page.
inline constexpr int pictureRectangles = 10'000;
// Saved graphics states on the picture scan's stack, and nested on a page
// whose text is read (Poppler keeps about a kilobyte for each, so a million
// take a gigabyte): PDF itself allows 28 nested "q"; a stream that goes
// deeper ends its page's scan, and leaves its text out.
inline constexpr int graphicsStates = 10'000;
// What reading one page's text may cost, counted before Poppler is asked to:
// the page's content and every form it draws, each time it is drawn. A page
// past any of these is left out with a note; the densest pages of real
// manuals stay some thirty times below each. Decoded content: a real page
// needs well under a megabyte; white space, which Poppler passes over at
// some 150 MB a second, counts here and not among the tokens below.
inline constexpr std::size_t textContentBytes = 32u << 20;
// Text-showing operators, and the bytes of the strings they show (one or two
// a glyph). Poppler's text reader slows down far more than in proportion when
// words are strewn over each other: 10,000 operators showing 200,000 bytes
// that way take it about a second, 15,000 showing 600,000 several minutes.
inline constexpr std::size_t textOperators = 10'000;
inline constexpr std::size_t shownTextBytes = 200'000;
// Forms drawn: each costs Poppler a saved graphics state and a fresh parse.
inline constexpr std::size_t textFormUses = 10'000;
// Operands and operators: Poppler reads some 1 to 8 million a second (the
// fewest when operands pile up with no operator to take them), and keeps
// every path segment of a drawing in hand (two million tokens of short lines
// take it 130 MB). A page whose own drawing takes it past this has its text
// read from a copy without the drawing, so only the tokens left count.
inline constexpr std::size_t textTokens = 2'000'000;
// What one page's reading (its text, its picture scan, its pictures'
// rendering) may cost its worker process, whatever the page holds: CPU time,
// and address space beyond what the worker maps before it opens the document.
// The busiest pages of real manuals take under 5 ms and 4 MB.
inline constexpr double pageCpuSeconds = 2;
inline constexpr std::int64_t pageMemoryBytes = std::int64_t{500} << 20;
// Regions rendered into pictures on one page.
inline constexpr int renders = 200;
// Pixels painted while cutting pictures out of one document's pages (a region
// costs its own pixels and those of every image drawn into it): about a
// second of rendering. Only regions costing more than paperPixels are counted:
// a picture on a sheet of paper is bounded by its page's limits alone, so a
// long brochure keeps every photo, while pages far larger than paper share
// this one budget.
inline constexpr std::int64_t renderedPixels = 100'000'000;
// An A3 sheet at 2 pixels per point with an image drawn over it: 8 million.
inline constexpr std::int64_t paperPixels = 8'100'000;
// Bytes of PNG the pictures of one document may hold in the app's memory,
// when no file of pictures can be made; a picture past them is left out. A
// photo cut out of a page is some 0.5 to 1 MB.
inline constexpr std::size_t heldPictureBytes = std::size_t{400} << 20;
// The same, set aside in a file of pictures (PictureFile), whose pages are
// in memory only while a picture is drawn: several thousand photos, and a
// bound on the disk a worker that lies can fill.
inline constexpr std::size_t filedPictureBytes = std::size_t{4} << 30;
// Pages an opened document may have: the reader holds some 300 bytes for
// each before it reads a word.
inline constexpr std::size_t documentPages = 500'000;
// What one page's reading may take in the app once decoded (its words, its
// lines with their words again, its rectangles): dense pages of real manuals
// take some 110 KB, a reply of empty lines 3.4 times its own size.
inline constexpr std::size_t readingBytes = std::size_t{8} << 20;
// What the lines kept of one document's pages (packed, PackedLines) may hold
// in the app between the reader's two passes; a page past it is left out as
// too large. It bounds what a worker that lies about its pages can make the
// app keep, and no real document reaches it: the dense pages of manual pages
// set by groff pack into some 7 KB (2.4 times their text), so 140,000 of
// them fit, when the document such pages make takes the app gigabytes itself.
inline constexpr std::size_t heldReadingBytes = std::size_t{1} << 30;
// Below that, a document holds at most this much and this much a page: a
// worker that lies about a few pages costs the app little, while the densest
// real pages, some 15 KB packed, stay far within it.
inline constexpr std::size_t heldReadingBase = std::size_t{64} << 20;
inline constexpr std::size_t heldReadingPerPage = std::size_t{32} << 10;
// What the lines kept of a document of `pages` pages may hold.
constexpr std::size_t heldReadingsFor(std::size_t pages)
{
    return pages < (heldReadingBytes - heldReadingBase) / heldReadingPerPage ? heldReadingBase + heldReadingPerPage * pages
                                                                             : heldReadingBytes;
}
// Candidate gutter positions tried on one page (one every 2 points across 40 %
// of the text's width): text wider than 5,000 points is no page anyone reads.
inline constexpr int gutterCandidates = 1'000;

} // namespace FolmiraKit::PDFLimits
