#pragma once

// Draws a laid-out book into a PDF: one page per laid page, every run, mark,
// chorus bar and page number where the layout put it. Takes no layout
// decisions. Layout coordinates (top left, y down) become PDF coordinates
// (bottom left, y up) here and nowhere else.

#include "Platform/PdfWriter.h"
#include "TunequillKit/Layout/BookLayout.h"
#include "TunequillKit/Library/BookSettings.h"
#include "TunequillKit/Render/ShapedTexts.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace TunequillKit {

namespace KitBrand {
// The product name written into every songbook PDF as its creator. Set once at
// start-up, read whenever a PDF is made; not guarded.
inline std::string name = "Tunequill";
} // namespace KitBrand

namespace Renderer {

struct Palette {
    Platform::Color text{0.07, 0.07, 0.08};
    Platform::Color chord{0.62, 0.11, 0.17};
    Platform::Color muted{0.33, 0.33, 0.36};
    Platform::Color accent{0.55, 0.12, 0.18};
    Platform::Color rule{0.75, 0.73, 0.72};

    // For books without chords in colour: chords as text, accents in dark grey.
    static Palette mono();
    // The palette a book's settings ask for.
    static Palette forSettings(const BookSettings& settings);

    bool operator==(const Palette&) const = default;
};

// A songbook PDF that could not be written; what() is the sentence to show.
class PdfFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The PDF of all pages, titled `title`, created by KitBrand::name. A layout
// without pages gives a PDF without pages. Throws PdfFailure, with Cairo's
// reason, when the PDF cannot be written: never empty bytes. Throws Cancelled,
// between pages, once the calling thread's cancel flag is set.
Platform::Bytes pdf(const BookLayout& layout, const BookSettings& settings, const std::string& title);
// The same, shaping texts through `shaped`, which may be kept from an earlier
// render on this thread: a book drawn again after an edit shapes only new texts.
Platform::Bytes pdf(const BookLayout& layout, const BookSettings& settings, const std::string& title,
                    ShapedTexts& shaped);

// Draws one page into a canvas whose page of `size` is already begun. Reads
// the page's number, rows, bars and showNumber. Texts are shaped through
// `shaped`, which a render shares between its pages.
void draw(const LaidPage& page, Platform::Size size, const BookSettings& settings, Platform::PdfWriter& canvas,
          ShapedTexts& shaped);
void draw(const LaidPage& page, Platform::Size size, const BookSettings& settings, Platform::PdfWriter& canvas);

// A chord diagram whose top left lies at (x, y) in layout coordinates on a page of height `pageHeight`.
void drawDiagram(const Mark::Diagram& diagram, Platform::Point topLeft, double pageHeight, const Palette& palette,
                 Platform::PdfWriter& canvas, ShapedTexts& shaped);

// The x positions (row coordinates) of a leader's dots: multiples of the dot
// step from x1 up to x2, so the leaders of all rows line up; none when the ends
// are 8 points apart or less.
std::vector<double> leaderDots(const Mark::Leader& leader);

// Text and circles larger than the largest page PDF allows (200 inches) are
// left out: they cannot be seen, Cairo would divide an infinite circle into
// arcs forever, and a face drawn at such a size leaves Cairo's shared font
// state broken, so that every later PDF of the process came out empty.
inline constexpr double largestPage = 14400; // points
bool fitsAPage(double extent);

// A run of text with its baseline's left end at `baseline` (PDF coordinates);
// nothing when the font size does not fit a page.
void drawText(std::string_view text, const FontSpec& font, Platform::Point baseline, Platform::Color color,
              Platform::PdfWriter& canvas, ShapedTexts& shaped);
void drawText(std::string_view text, const FontSpec& font, Platform::Point baseline, Platform::Color color,
              Platform::PdfWriter& canvas);

// The runs of a row in the order they are drawn: grouped by ink and face (in
// the order each group first appears), so that each group is drawn in one
// call; runs of a group keep their order. Empty runs are left out. Runs of a
// row never overlap, so the order changes nothing that can be seen.
std::vector<const Run*> drawingOrder(const std::vector<Run>& runs);

} // namespace Renderer
} // namespace TunequillKit
