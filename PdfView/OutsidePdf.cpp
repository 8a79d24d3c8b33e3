#include "PdfView/OutsidePdf.h"

#include "Platform/PdfWorkerPages.h"

#include <fstream>
#include <optional>

namespace PdfView {

namespace {

// The whole file, read into memory sized once; none when it can't be read or
// is past the largest opened.
std::optional<Platform::Bytes> fileBytes(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size == 0 || size > largestOutsideFile) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    Platform::Bytes bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) return std::nullopt;
    return bytes;
}

} // namespace

OutsidePdfPtr openOutside(const std::filesystem::path& file, const Platform::PdfWorkerLimits& limits,
                          const Platform::CancelFlag* cancel)
{
    const auto bytes = fileBytes(file);
    return bytes ? openOutside(*bytes, limits, cancel) : nullptr;
}

OutsidePdfPtr openOutside(const Platform::Bytes& bytes, const Platform::PdfWorkerLimits& limits,
                          const Platform::CancelFlag* cancel)
{
    if (bytes.empty() || (cancel && cancel->cancelled())) return nullptr;
    auto pdf = std::make_shared<OutsidePdf>();
    try {
        pdf->input = Platform::PdfWorkerInput::of(bytes);
    } catch (const std::exception&) {
        return nullptr;
    }
    pdf->pool = Platform::PdfWorkerPool::of(pdf->input, limits);
    auto lease = pdf->pool->take(cancel);
    if (!lease) return nullptr;
    // Every page's size: as much time as opening the document, not one page's.
    const auto reply = lease.worker().requestForEveryPage(Platform::PdfWorkerPages::tag, {},
                                                          Platform::PdfWorkerPages::largestReply, cancel);
    if (reply.status != Platform::PdfWorker::Status::ok) return nullptr;
    const auto sizes = Platform::PdfWorkerPages::decode(reply.payload);
    if (!sizes) return nullptr;
    pdf->sizes.reserve(sizes->size());
    for (const auto& size : *sizes) pdf->sizes.emplace_back(size.width, size.height);
    return pdf;
}

} // namespace PdfView
