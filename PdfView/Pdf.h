#pragma once

// Our own PDF documents (the large-print copy, made in memory) as the window
// shows and prints them: Poppler's Qt documents, shared by the model and the
// views. Two holders of one object are "the same document"; a new render
// always makes a new object. The user's own PDFs are never opened this way
// (OutsidePdf.h).

#include <QSizeF>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

class QIODevice;

namespace Poppler {
class Document;
}

namespace PdfView {

using PdfDocumentPtr = std::shared_ptr<Poppler::Document>;

// True when the bytes start like a PDF file ("%PDF-"); empty data never does.
bool looksLikePdf(const std::vector<std::uint8_t>& data);

using SharedPdfBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// A document from bytes or from a file; null when they do not form a PDF that
// can be shown (damaged, or locked with a password). Shared bytes are read
// where they lie, by every copy of the document: a long copy is held once,
// not once for each thread that draws it; other bytes are copied once.
// `pagesAlike` tells that every page has the first one's size (our own
// large-print copies), so no other page is loaded to learn its size.
PdfDocumentPtr pdfFromData(SharedPdfBytes data, bool pagesAlike = false);
PdfDocumentPtr pdfFromData(const std::vector<std::uint8_t>& data);
PdfDocumentPtr pdfFromFile(const std::filesystem::path& url);

// Where a document was opened from, kept with it so that another thread can
// open a copy of its own: one Poppler document must never draw on two
// threads at once. Exactly one of the two is set.
struct PdfSource {
    std::filesystem::path file;
    SharedPdfBytes bytes;
    bool pagesAlike = false;
};

// Closes a document opened from bytes, then the device it read them through.
struct PdfCloser {
    std::shared_ptr<QIODevice> device;
    void operator()(Poppler::Document* document) const;
};
using PdfCopy = std::unique_ptr<Poppler::Document, PdfCloser>;

// The source of a document made by pdfFromData or pdfFromFile; null for none.
std::shared_ptr<const PdfSource> sourceOf(const PdfDocumentPtr& document);

// A fresh document from `source` for the calling thread alone, with the same
// render hints; null when it no longer opens (the file gone or changed).
PdfCopy openCopy(const PdfSource& source);

// Number of pages; 0 for a null document.
int pageCount(const PdfDocumentPtr& document);

// A page's size in points as laid out (crop box, rotation applied); empty for
// an index outside the document. Poppler keeps every page it was asked for,
// some kilobytes each: of a document whose pages are alike only the first.
QSizeF pageSize(const PdfDocumentPtr& document, int index);

// How many Poppler documents this process has opened so far: a test's check
// that the user's files never are.
std::size_t popplerDocumentsOpened();

} // namespace PdfView
