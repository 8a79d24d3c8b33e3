#include "PdfView/Pdf.h"

#include <poppler-qt6.h>

#include <QBuffer>

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
    PdfCloser close;
    void operator()(Poppler::Document* document) const { close(document); }
};

std::unique_ptr<Poppler::Document> prepared(std::unique_ptr<Poppler::Document> document)
{
    if (!document || document->isLocked()) return nullptr;
    document->setRenderHint(Poppler::Document::Antialiasing, true);
    document->setRenderHint(Poppler::Document::TextAntialiasing, true);
    return document;
}

// Poppler copies bytes it is given whole, for every document opened from
// them; through a device it reads them where they lie.
PdfCopy opened(const PdfSource& source)
{
    ++openings;
    if (!source.bytes)
        return PdfCopy(prepared(Poppler::Document::load(QString::fromStdString(source.file.string()))).release());
    auto buffer = std::make_shared<QBuffer>();
    buffer->setData(QByteArray::fromRawData(reinterpret_cast<const char*>(source.bytes->data()),
                                            static_cast<qsizetype>(source.bytes->size())));
    if (!buffer->open(QIODevice::ReadOnly)) return nullptr;
    auto document = prepared(Poppler::Document::load(buffer.get()));
    return PdfCopy(document.release(), PdfCloser{std::move(buffer)});
}

PdfDocumentPtr usable(PdfSource source)
{
    auto shared = std::make_shared<const PdfSource>(std::move(source));
    auto document = opened(*shared);
    if (!document) return nullptr;
    auto close = document.get_deleter();
    return PdfDocumentPtr(document.release(), WithSource{std::move(shared), std::move(close)});
}

} // namespace

bool looksLikePdf(const std::vector<std::uint8_t>& data)
{
    static constexpr char magic[] = "%PDF-";
    return data.size() > sizeof magic - 1 && std::memcmp(data.data(), magic, sizeof magic - 1) == 0;
}

void PdfCloser::operator()(Poppler::Document* document) const
{
    delete document; // before the device it reads from
}

PdfDocumentPtr pdfFromData(SharedPdfBytes data, bool pagesAlike)
{
    if (!data || !looksLikePdf(*data)) return nullptr;
    return usable(PdfSource{{}, std::move(data), pagesAlike});
}

PdfDocumentPtr pdfFromData(const std::vector<std::uint8_t>& data)
{
    if (!looksLikePdf(data)) return nullptr;
    return pdfFromData(std::make_shared<const std::vector<std::uint8_t>>(data));
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

PdfCopy openCopy(const PdfSource& source)
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
    const auto source = sourceOf(document);
    auto page = document->page(source && source->pagesAlike ? 0 : index);
    return page ? page->pageSizeF() : QSizeF();
}

std::size_t popplerDocumentsOpened()
{
    return openings.load();
}

} // namespace PdfView
