#pragma once

// The words and lines of one PDF page, rebuilt from the page's characters and
// their boxes, with a test of whether those positions can be trusted at all.
//
// Geometry is in the page's unrotated space, in points, origin bottom-left, y up.

#include "FolmiraKit/Model/Block.h"
#include "Platform/Geometry.h"
#include "Platform/PdfDocument.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace FolmiraKit::PDFReader {

using Platform::Rect;

struct Word {
    std::string text; // whole composed characters, never empty
    Rect rect;        // union of its characters' boxes (made up on a page read line by line)
    double size = 0;  // largest font size of its characters, points
    bool bold = false;   // more than half of its characters are bold
    bool italic = false; // more than half of its characters are italic
    bool operator==(const Word&) const = default;
};

// One line of a page, or a picture standing where it was found on the page.
struct Line {
    std::vector<Word> words;        // left to right; empty on a picture line
    Rect rect;                      // union of the words' rects, or the picture's rectangle
    std::optional<Picture> picture; // only on a picture line
    bool hardBreak = false;         // set on every line of a page read line by line
    bool operator==(const Line&) const = default;
};

using Lines = std::vector<Line>;

struct PageWords {
    std::vector<Word> words; // in the order of the page's text
    bool untrusted = false;  // too many character boxes lie off the page or are absurdly wide
};

// The words of a page from its characters and boxes. `mediaBox` judges boxes that lie off the page.
PageWords pageWords(const Platform::PdfPageText& page, const Rect& mediaBox);

// Words grouped into lines, top to bottom. `places`, when given, gets each
// word's place among the lines' words read line by line, left to right; it
// is left empty when a word is left out (a box that is not finite).
Lines linesFromWords(const std::vector<Word>& words, std::vector<std::uint32_t>* places = nullptr);

// A page read line by line from its text, with made-up positions from 72
// points inside the media box's top-left corner; every line has hardBreak set.
Lines linesFromText(const Platform::PdfPageText& page, const Rect& mediaBox);

// A line of `words` (not empty), sorted left to right.
Line makeLine(std::vector<Word> words);

// What the first pass reads of one page before its pictures: its words and
// lines, from the word positions, or from the text when those can't be trusted.
struct PageText {
    PageWords words;       // as pageWords found them, untrusted ones included
    Lines lines;           // linesFromWords, or linesFromText on an untrusted page
    // Of a trusted page, each word's place in `lines` (linesFromWords), so
    // that its words can be sent once, in their lines; empty where not known.
    std::vector<std::uint32_t> placesInLines;
    bool tooLarge = false; // what it draws is past a bound of reading (PDFLimits), so its text was not read
};

} // namespace FolmiraKit::PDFReader
