#include "PdfView/Pdf.h"

#include <poppler-qt6.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace PdfView {

namespace {

std::atomic<std::size_t> openings{0};

// The deleter carries the source, so that any holder of the document can
// find it again (std::get_deleter) without another type for the document.
struct WithSource {
    std::shared_ptr<const PdfSource> source;
    void operator()(Poppler::Document* document) const { delete document; }
};

std::unique_ptr<Poppler::Document> prepared(std::unique_ptr<Poppler::Document> document)
{
    if (!document || document->isLocked()) return nullptr;
    document->setRenderHint(Poppler::Document::Antialiasing, true);
    document->setRenderHint(Poppler::Document::TextAntialiasing, true);
    return document;
}

std::unique_ptr<Poppler::Document> opened(const PdfSource& source)
{
    ++openings;
    if (!source.bytes.isEmpty()) return prepared(Poppler::Document::loadFromData(source.bytes));
    return prepared(Poppler::Document::load(QString::fromStdString(source.file.string())));
}

PdfDocumentPtr usable(PdfSource source)
{
    auto shared = std::make_shared<const PdfSource>(std::move(source));
    auto document = opened(*shared);
    if (!document) return nullptr;
    return PdfDocumentPtr(document.release(), WithSource{std::move(shared)});
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
    return usable(PdfSource{{}, std::move(bytes)});
}

PdfDocumentPtr pdfFromFile(const std::filesystem::path& url)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(url, error)) return nullptr;
    return usable(PdfSource{url, {}});
}

std::shared_ptr<const PdfSource> sourceOf(const PdfDocumentPtr& document)
{
    const auto* deleter = std::get_deleter<WithSource>(document);
    return deleter ? deleter->source : nullptr;
}

std::unique_ptr<Poppler::Document> openCopy(const PdfSource& source)
{
    return opened(source);
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

std::size_t popplerDocumentsOpened()
{
    return openings.load();
}

} // namespace PdfView
