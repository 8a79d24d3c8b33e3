#pragma once

// The page view as the songbook previews use it: each update hands it the
// document, whether pages face each other and an optional page to open at.
// The same document object again changes nothing (not even the page); a new
// one keeps the page number in view, clamped to its last page, unless a page
// is asked for.

#include "PdfView/Widgets/PdfPagesView.h"

#include <optional>

namespace Lyricade {

class PreviewPages : public PdfView::PdfPagesView {
    Q_OBJECT

public:
    using PdfView::PdfPagesView::PdfPagesView;

    // `pageRequest` counts from 0 and is clamped to the document's pages.
    void present(const PdfView::PdfDocumentPtr& document, bool twoUp, std::optional<int> pageRequest);
};

} // namespace Lyricade
