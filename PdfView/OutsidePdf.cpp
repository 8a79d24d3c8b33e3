#include "PdfView/OutsidePdf.h"

#include "Platform/PdfHelper/PdfWorkerPages.h"

namespace PdfView {

namespace {

// A worker's opening of `input`, then every page's size.
OutsidePdfPtr opened(std::shared_ptr<const Platform::PdfWorkerInput> input, const Platform::PdfWorkerLimits& limits,
                     const Platform::CancelFlag* cancel)
{
    auto pdf = std::make_shared<OutsidePdf>();
    pdf->input = std::move(input);
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

} // namespace

// The file goes into the workers' memory file a block at a time: a long
// document is never held whole in the window's own memory as well.
OutsidePdfPtr openOutside(const std::filesystem::path& file, const Platform::PdfWorkerLimits& limits,
                          const Platform::CancelFlag* cancel)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return nullptr;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size == 0 || size > largestOutsideFile || (cancel && cancel->cancelled())) return nullptr;
    std::shared_ptr<const Platform::PdfWorkerInput> input;
    try {
        input = Platform::PdfWorkerInput::ofFile(file);
    } catch (const std::exception&) {
        return nullptr;
    }
    // It may have grown since it was measured.
    if (input->size() == 0 || input->size() > largestOutsideFile) return nullptr;
    return opened(std::move(input), limits, cancel);
}

OutsidePdfPtr openOutside(const Platform::Bytes& bytes, const Platform::PdfWorkerLimits& limits,
                          const Platform::CancelFlag* cancel)
{
    if (bytes.empty() || (cancel && cancel->cancelled())) return nullptr;
    std::shared_ptr<const Platform::PdfWorkerInput> input;
    try {
        input = Platform::PdfWorkerInput::of(bytes);
    } catch (const std::exception&) {
        return nullptr;
    }
    return opened(std::move(input), limits, cancel);
}

} // namespace PdfView
