#pragma once

// A PDF document opened from bytes: its permissions, its pages, each page's
// text with one box and one font per character, and drawing a region of a
// page into a bitmap.
//
// Geometry is in the page's own unrotated user space, in points, origin at the
// bottom-left, y up: the page's /Rotate is taken out of everything reported
// here. Documents and pages are cheap handles that share the open document;
// one document may be used by one thread at a time.

#include "Platform/Geometry.h"
#include "Platform/Images.h"
#include "Platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

// The font of a stretch of a page's text: scalars [begin, end) of PdfPageText::text.
struct PdfFontSpan {
    int begin = 0;
    int end = 0;
    std::string name; // as the PDF names it, without a subset tag ("ABCDEF+"); "Default" when it has none
    double size = 0;  // the size the glyphs are drawn at, in points
    bool operator==(const PdfFontSpan&) const = default;
};

// A page's text with one box per character and the fonts it is set in.
struct PdfPageText {
    // The text in reading order, words separated by spaces and lines by line
    // feeds, as Poppler extracts it.
    std::string text;
    // One entry per Unicode scalar of `text`: the glyph's box, or none when it
    // has none. Boxes with non-finite coordinates are given as none.
    std::vector<std::optional<Rect>> boxes;
    // The fonts of `text`, in order; scalars outside every span have no font.
    std::vector<PdfFontSpan> fonts;
    // Most of the page's text runs along another side of the page (a table
    // set sideways, vertical writing): the boxes are then given turned this
    // many quarter turns counter-clockwise (turnedRect about the crop box),
    // so that the text reads left to right, lines top to bottom. 0 otherwise.
    int quarterTurns = 0;
};

// `rect` (page space) in the frame of `frame` turned `quarterTurns` quarter
// turns counter-clockwise, the turned frame's bottom-left corner where the
// frame's was: a frame of 0 × 0 to 600 × 800 turned once is 0 × 0 to 800 × 600.
Rect turnedRect(const Rect& rect, const Rect& frame, int quarterTurns);

// The page's text as words: `text` with a space put between two neighbouring
// characters that stand apart on the page (a wide gap, a step back, another
// line). Poppler joins blocks that share a line, such as table cells, with
// nothing between them.
std::string separatedText(const PdfPageText& page);

class PdfPage;

class PdfDocument {
public:
    enum class OpenFailure { damaged, locked };

    struct Opened;

    // The bytes are copied; the caller's buffer may go away.
    static Opened open(const Bytes& data);
    // The same over bytes already shared, which are not copied.
    static Opened openShared(std::shared_ptr<const Bytes> data);
    // The same over `size` bytes at `data` that `owner` keeps alive (a
    // read-only mapping of a memory file, which is then never copied).
    static Opened openMapped(std::shared_ptr<const void> owner, const std::uint8_t* data, std::size_t size);

    // Another document over the same bytes (not copied again), with Poppler
    // and qpdf state of its own, for another thread to read; none when it
    // cannot be opened.
    std::optional<PdfDocument> reopened() const;

    int pageCount() const;
    // Whether the author allows copying the text.
    bool allowsCopying() const;
    // Page `index` (0-based), or none when it cannot be fetched.
    std::optional<PdfPage> page(int index) const;
    // How many font objects (dictionaries, encodings, widths) the document
    // holds parsed for its pages' text: the fonts its pages share are parsed
    // once, for the first page that names them.
    std::size_t fontObjectsHeld() const;

    struct Impl;

private:
    explicit PdfDocument(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<Impl> impl_;
};

// The document, or why it cannot be opened: `locked` when a password is
// needed, `damaged` for anything else that is not a readable PDF.
struct PdfDocument::Opened {
    std::optional<PdfDocument> document;
    OpenFailure failure = OpenFailure::damaged; // meaningful only without a document
};

class PdfPage {
public:
    Rect mediaBox() const;
    // The crop box, clipped to the media box.
    Rect cropBox() const;
    // The page's /Rotate: 0, 90, 180 or 270.
    int rotation() const;
    // The page's size as renderShown lays it out: the crop box, turned for
    // a /Rotate of 90 or 270. Told by Poppler alone: unlike rotation(), it
    // parses nothing of the page with qpdf. 0 × 0 when not finite.
    Size shownSize() const;

    // The page's text, its character boxes and fonts, in one walk over
    // Poppler's words.
    PdfPageText text() const;
    // The same through poppler-glib's text, layout and attributes (three
    // walks): where the one walk can't reach Poppler's page.
    PdfPageText textFromGlib() const;
    // Whether text() reaches Poppler's page and reads it in one walk.
    bool readsTextInOneWalk() const;
    // Holds the fonts the page names parsed for the document, as text() does
    // first, without reading the text: done once in a process that others
    // are forked from, they share them instead of each parsing them again.
    void holdFonts() const;

    // The page's contents (no annotations) inside `region` at `scale` pixels
    // per point, on opaque white, unrotated: pixel row 0 is the region's top.
    // None when the bitmap would be empty or hold `maxPixels` or more pixels.
    std::optional<Bitmap> render(const Rect& region, double scale, std::int64_t maxPixels) const;
    // The page as a viewer shows it (its /Rotate applied, annotations drawn)
    // at `scale` pixels per point: the `width` × `height` pixels whose top-left
    // is pixel (`x`, `y`) of the whole page so drawn, on opaque white. None
    // when the size is empty or past Cairo's largest surface.
    std::optional<Bitmap> renderShown(int x, int y, int width, int height, double scale) const;

    // The Poppler and qpdf objects behind the page, for the Platform layer's own use.
    struct Impl;
    const Impl& impl() const { return *impl_; }

private:
    friend class PdfDocument;
    explicit PdfPage(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<const Impl> impl_;
};

} // namespace Platform
