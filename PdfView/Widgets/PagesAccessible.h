#pragma once

// How the page view reads on the accessibility bus: a document whose text is
// the text of the page in view, as desktop document viewers give theirs, so
// that a screen reader reads the copy (or the original) rather than meeting
// a picture. The text is read only; it has no caret and no selection.

namespace PdfView {

// Installed once for the application by the first page view; later calls do nothing.
void installPagesAccessible();

} // namespace PdfView
