#pragma once

// Synthetic page text, words and lines for the PDF reader's layout tests, so
// the rules are exercised without going through a PDF.

#include "FolmiraKit/PDF/PageWords.h"
#include "Platform/PdfDocument.h"

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace PdfTestLines {

using FolmiraKit::PDFReader::Line;
using FolmiraKit::PDFReader::Word;
using Platform::Rect;

// One composed character of a synthetic page: its text, its box (none: no
// glyph) and its font (an empty name: no font).
struct Glyph {
    std::string text;
    std::optional<Rect> box;
    std::string font = "Helvetica";
    double size = 12;
};

inline Platform::PdfPageText pageText(const std::vector<Glyph>& glyphs)
{
    Platform::PdfPageText page;
    int scalar = 0;
    for (const Glyph& g : glyphs) {
        int first = scalar;
        for (unsigned char byte : g.text)
            if ((byte & 0xC0) != 0x80) {
                page.boxes.push_back(g.box);
                ++scalar;
            }
        page.text += g.text;
        if (!g.font.empty()) page.fonts.push_back({first, scalar, g.font, g.size});
    }
    return page;
}

// The characters of `text` set left to right from x on a 12-point-high band at
// y, each `advance` wide; spaces get no box, as extraction makes them up.
inline std::vector<Glyph> row(const std::string& text, double x, double y, double advance = 6,
                              const std::string& font = "Helvetica", double size = 12)
{
    std::vector<Glyph> glyphs;
    for (char c : text) {
        if (c == ' ' || c == '\n') glyphs.push_back({std::string(1, c), std::nullopt, font, size});
        else glyphs.push_back({std::string(1, c), Rect{x, y, advance, size}, font, size});
        x += advance;
    }
    return glyphs;
}

inline std::vector<Glyph> operator+(std::vector<Glyph> a, const std::vector<Glyph>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A word whose characters are `size` × 0.5 wide, starting at x with its box's bottom at y.
inline Word word(const std::string& text, double x, double y, double size = 12, bool bold = false,
                 bool italic = false)
{
    double width = static_cast<double>(text.size()) * size * 0.5;
    return Word{text, Rect{x, y, width, size}, size, bold, italic};
}

// A line of the space-separated words of `text`, starting at x, one character
// (size × 0.5) between words.
inline Line line(const std::string& text, double x, double y, double size = 12, bool bold = false)
{
    std::vector<Word> words;
    std::istringstream in(text);
    std::string piece;
    while (in >> piece) {
        words.push_back(word(piece, x, y, size, bold));
        x = words.back().rect.maxX() + size * 0.5;
    }
    return FolmiraKit::PDFReader::makeLine(std::move(words));
}

} // namespace PdfTestLines
