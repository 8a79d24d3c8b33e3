// The job goes to the server with Create-Job and one Send-Document carrying
// the bytes from memory, as `lp` sends a file: no temporary file, and the
// server's own filters (pdftopdf) apply copies, ranges and paper. qpdf cuts
// page ranges for a copy written to a file; it reports damage by throwing.

#include "Platform/PrintJob.h"

#include "Platform/QpdfHandle.h"

#include <cups/cups.h>
#include <cups/pwg.h>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cmath>
#include <memory>

namespace Platform::PrintJob {

namespace {

const char* sidesName(Sides sides)
{
    switch (sides) {
    case Sides::oneSided: return "one-sided";
    case Sides::twoSidedLongEdge: return "two-sided-long-edge";
    case Sides::twoSidedShortEdge: return "two-sided-short-edge";
    }
    return "one-sided";
}

bool valid(const PageRange& range) { return range.first >= 1 && range.last >= range.first; }

// Hundredths of a millimetre, the unit of PWG sizes.
int pwgUnits(double points) { return static_cast<int>(std::lround(points * 2540.0 / 72.0)); }

struct OptionsFree {
    int count;
    void operator()(cups_option_t* options) const { cupsFreeOptions(count, options); }
};

} // namespace

std::string mediaName(Size paper)
{
    const double w = std::min(paper.width, paper.height);
    const double h = std::max(paper.width, paper.height);
    if (!(w > 0) || !std::isfinite(h)) return {};
    const pwg_media_t* media = pwgMediaForSize(pwgUnits(w), pwgUnits(h));
    return media && media->pwg ? std::string(media->pwg) : std::string();
}

std::vector<Option> options(const Choices& choices)
{
    std::vector<Option> out;
    out.emplace_back("copies", std::to_string(std::max(1, choices.copies)));
    out.emplace_back("multiple-document-handling", choices.collate ? "separate-documents-collated-copies"
                                                                   : "separate-documents-uncollated-copies");
    std::string ranges;
    for (const auto& range : choices.pages) {
        if (!valid(range)) continue;
        if (!ranges.empty()) ranges += ',';
        ranges += std::to_string(range.first) + '-' + std::to_string(range.last);
    }
    if (!ranges.empty()) out.emplace_back("page-ranges", ranges);
    // A booklet's sheets fold on the short edge whatever the user's default.
    out.emplace_back("sides", sidesName(choices.booklet ? Sides::twoSidedShortEdge : choices.sides));
    out.emplace_back("print-color-mode", choices.grey ? "monochrome" : "color");
    if (auto media = mediaName(choices.firstPage); !media.empty()) out.emplace_back("media", media);
    // A page wider than tall goes as a landscape job on portrait-shaped paper.
    const bool landscape = choices.firstPage.width > choices.firstPage.height;
    out.emplace_back("orientation-requested", landscape ? "4" : "3");
    // The PDF is made for this paper: only booklet sheets are fitted to it.
    out.emplace_back("print-scaling", choices.booklet ? "fit" : "none");
    return out;
}

Bytes pagesOf(std::span<const std::uint8_t> pdf, const std::vector<PageRange>& ranges)
{
    try {
        QpdfPtr in = makeQpdf();
        in->setSuppressWarnings(true);
        in->processMemoryFile("copy.pdf", reinterpret_cast<const char*>(pdf.data()), pdf.size());
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(*in).getAllPages();

        QpdfPtr out = makeQpdf();
        out->emptyPDF();
        out->setSuppressWarnings(true);
        QPDFPageDocumentHelper outPages(*out);
        int kept = 0;
        for (std::size_t index = 0; index < pages.size(); ++index) {
            const int number = static_cast<int>(index) + 1;
            const bool wanted = ranges.empty() || std::any_of(ranges.begin(), ranges.end(), [&](const PageRange& r) {
                                    return valid(r) && number >= r.first && number <= r.last;
                                });
            if (!wanted) continue;
            outPages.addPage(pages[index], false);
            ++kept;
        }
        if (kept == 0) return {};
        // The title and creator go with the pages.
        QPDFObjectHandle info = in->getTrailer().getKey("/Info");
        if (info.isDictionary()) out->getTrailer().replaceKey("/Info", out->copyForeignObject(info));

        QPDFWriter writer(*out);
        writer.setOutputMemory();
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.write();
        std::unique_ptr<Buffer> buffer(writer.getBuffer());
        const auto* bytes = buffer->getBuffer();
        return Bytes(bytes, bytes + buffer->getSize());
    } catch (const std::exception&) {
        return {};
    }
}

int send(const std::string& printer, const std::string& title, std::span<const std::uint8_t> pdf,
         const std::vector<Option>& options)
{
    // An instance ("queue/instance") names saved defaults; the job goes to its queue.
    const std::string queue = printer.substr(0, printer.find('/'));
    if (queue.empty()) throw PrintError("No printer was chosen.");

    int count = 0;
    cups_option_t* raw = nullptr;
    for (const auto& [name, value] : options) count = cupsAddOption(name.c_str(), value.c_str(), count, &raw);
    std::unique_ptr<cups_option_t, OptionsFree> held(raw, OptionsFree{count});

    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, queue.c_str(), title.c_str(), count, raw);
    if (job <= 0) throw PrintError(cupsLastErrorString());

    bool sent = cupsStartDocument(CUPS_HTTP_DEFAULT, queue.c_str(), job, title.c_str(), CUPS_FORMAT_PDF, 1) ==
                HTTP_STATUS_CONTINUE;
    // Written in pieces: one call's length is an int.
    constexpr std::size_t piece = std::size_t{1} << 20;
    for (std::size_t at = 0; sent && at < pdf.size(); at += piece) {
        const std::size_t length = std::min(piece, pdf.size() - at);
        sent = cupsWriteRequestData(CUPS_HTTP_DEFAULT, reinterpret_cast<const char*>(pdf.data() + at), length) ==
               HTTP_STATUS_CONTINUE;
    }
    // Finishing also reads the server's answer after a failed write.
    const ipp_status_t finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.c_str());
    if (!sent || finished > IPP_STATUS_OK_CONFLICTING) {
        const std::string reason = cupsLastErrorString();
        // A job left without its document would hold the queue.
        cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.c_str(), job, 0);
        throw PrintError(reason);
    }
    return job;
}

} // namespace Platform::PrintJob
