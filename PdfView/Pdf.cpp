#include "PdfView/Pdf.h"

#include <poppler-qt6.h>

#include <algorithm>
#include <cstring>

namespace PdfView {

namespace {

PdfDocumentPtr usable(std::unique_ptr<Poppler::Document> document)
{
    if (!document || document->isLocked()) return nullptr;
    document->setRenderHint(Poppler::Document::Antialiasing, true);
    document->setRenderHint(Poppler::Document::TextAntialiasing, true);
    return PdfDocumentPtr(std::move(document));
}

} // namespace

bool looksLikePdf(const std::vector<std::uint8_t>& data)
{
    static constexpr char magic[] = "%PDF-";
    return data.size() > sizeof magic - 1 && std::memcmp(data.data(), magic, sizeof magic - 1) == 0;
}

PdfDocumentPtr pdfFromData(const std::vector<std::uint8_t>& data)
{
    if (!looksLikePdf(data)) return nullptr;
    QByteArray bytes(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
    return usable(Poppler::Document::loadFromData(bytes));
}

PdfDocumentPtr pdfFromFile(const std::filesystem::path& url)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(url, error)) return nullptr;
    return usable(Poppler::Document::load(QString::fromStdString(url.string())));
}

int pageCount(const PdfDocumentPtr& document)
{
    return document ? std::max(0, document->numPages()) : 0;
}

QSizeF pageSize(const PdfDocumentPtr& document, int index)
{
    if (index < 0 || index >= pageCount(document)) return {};
    auto page = document->page(index);
    return page ? page->pageSizeF() : QSizeF();
}

} // namespace PdfView
