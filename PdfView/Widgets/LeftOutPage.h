#pragma once

// What the page view shows in place of a page it does not draw: one the
// reader left out as too large to read, or one whose drawing went past its
// limits. The page keeps its size; the note says why it is blank.

#include <QString>

class QFont;
class QPainter;
class QPalette;
class QRectF;

namespace PdfView {

// The note for page `number` (1-based), the reader's own words for it.
QString leftOutNote(int number);

// Fills `page` (viewport pixels) with the palette's base colour and writes the
// note for page `number` in its text colour, in `font`, wrapped within the
// part of the page in view (`shown`), so it is read wherever the page is
// scrolled to.
void paintLeftOutPage(QPainter& painter, const QRectF& page, const QRectF& shown, int number,
                      const QPalette& palette, const QFont& font);

} // namespace PdfView
