#include "Lyricade/PreviewPdf.h"

#include <poppler-qt6.h>

#include <cstring>

namespace Lyricade {

PdfDocumentPtr pdfFromData(const Platform::Bytes& data)
{
    // Poppler reports a damaged file only after trying to repair it; bytes
    // that do not even begin like a PDF are refused before that.
    static constexpr char magic[] = "%PDF-";
    if (data.size() <= sizeof magic - 1 || std::memcmp(data.data(), magic, sizeof magic - 1) != 0) return nullptr;
    QByteArray bytes(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(bytes);
    if (!document || document->isLocked()) return nullptr;
    document->setRenderHint(Poppler::Document::Antialiasing, true);
    document->setRenderHint(Poppler::Document::TextAntialiasing, true);
    return PdfDocumentPtr(std::move(document));
}

} // namespace Lyricade
