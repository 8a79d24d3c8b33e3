#include "Platform/PdfHelper/PdfWorkerPages.h"

#include <cmath>

namespace Platform::PdfWorkerPages {

namespace {

// A side as the window may lay it out.
bool believable(double side)
{
    return std::isfinite(side) && side >= smallestSide && side <= largestSide;
}

bool believable(const Size& size)
{
    return (size.width == 0 && size.height == 0) || (believable(size.width) && believable(size.height));
}

Size shownSize(const PdfDocument& document, int index)
{
    const auto page = document.page(index);
    if (!page) return {};
    // As Poppler draws it, from the record of the page the opening loaded:
    // nothing more is parsed a page. (qpdf's parse of each page for its
    // /Rotate kept more than that record, under the same memory, and put a
    // long document past it.)
    const Size size = page->shownSize();
    // A page whose box is no size, or one past belief, is drawn as none.
    return believable(size) ? size : Size{};
}

Bytes handle(const PdfDocument::Opened& opened, WireReader&)
{
    if (!opened.document) return encode(std::nullopt);
    const int count = opened.document->pageCount();
    if (count < 0 || static_cast<std::size_t>(count) > largestCount) return encode(std::nullopt);
    Sizes sizes(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index) sizes[static_cast<std::size_t>(index)] = shownSize(*opened.document, index);
    return encode(sizes);
}

} // namespace

const PdfWorkerRequest handler{tag, handle};

Bytes encode(const std::optional<Sizes>& sizes)
{
    WireWriter out;
    out.boolean(sizes.has_value());
    if (!sizes) return out.take();
    out.u64(sizes->size());
    for (const Size& size : *sizes) {
        out.f64(size.width);
        out.f64(size.height);
    }
    return out.take();
}

std::optional<Sizes> decode(const Bytes& reply)
{
    if (reply.size() > largestReply) return std::nullopt;
    try {
        WireReader in(reply);
        if (!in.boolean()) return std::nullopt;
        // Checked against the bytes that came: a false count asks for nothing.
        const std::size_t count = in.count(16);
        if (count > largestCount) return std::nullopt;
        Sizes sizes(count);
        for (Size& size : sizes) {
            size.width = in.f64();
            size.height = in.f64();
            if (!believable(size)) return std::nullopt;
        }
        if (!in.atEnd()) return std::nullopt;
        return sizes;
    } catch (const WireReader::Short&) {
        return std::nullopt;
    }
}

} // namespace Platform::PdfWorkerPages
