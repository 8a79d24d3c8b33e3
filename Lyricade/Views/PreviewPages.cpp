#include "Lyricade/Views/PreviewPages.h"

namespace Lyricade {

void PreviewPages::present(const PdfView::PdfDocumentPtr& document, bool twoUp, std::optional<int> pageRequest)
{
    // A change between single and facing pages fits the width again.
    if (facingPages() != twoUp) {
        setFacingPages(twoUp);
        resetZoom();
    }
    if (document == this->document()) return;
    // The view keeps the page number itself when the document changes.
    setDocument(document);
    if (pageRequest && PdfView::pageCount(document) > 0) goToPage(*pageRequest);
}

} // namespace Lyricade
