#include "Platform/PdfHelper/PdfWorkerTile.h"

#include <cmath>
#include <cstring>

namespace Platform::PdfWorkerTile {

namespace {

Bytes reply(const std::optional<Bitmap>& bitmap)
{
    WireWriter out;
    out.boolean(bitmap.has_value());
    if (bitmap) {
        out.i32(bitmap->width);
        out.i32(bitmap->height);
        out.bytes(bitmap->pixels.data(), bitmap->pixels.size() * sizeof(std::uint32_t));
    }
    return out.take();
}

bool sensible(const Request& r)
{
    return r.page >= 0 && std::isfinite(r.scale) && r.scale > 0 && r.x >= 0 && r.y >= 0 && r.width > 0 &&
           r.height > 0 && r.width <= largestSide && r.height <= largestSide;
}

Bytes handle(const PdfDocument::Opened& opened, WireReader& in)
{
    Request request;
    request.page = in.i32();
    request.scale = in.f64();
    request.x = in.i32();
    request.y = in.i32();
    request.width = in.i32();
    request.height = in.i32();
    if (!opened.document || !sensible(request)) return reply(std::nullopt);
    const auto page = opened.document->page(request.page);
    if (!page) return reply(std::nullopt);
    return reply(page->renderShown(request.x, request.y, request.width, request.height, request.scale));
}

} // namespace

const PdfWorkerRequest handler{tag, handle};

Bytes encode(const Request& request)
{
    WireWriter out;
    out.i32(request.page);
    out.f64(request.scale);
    out.i32(request.x);
    out.i32(request.y);
    out.i32(request.width);
    out.i32(request.height);
    return out.take();
}

std::optional<Bitmap> decode(const Bytes& data)
{
    try {
        WireReader in(data);
        if (!in.boolean()) return std::nullopt;
        Bitmap bitmap;
        bitmap.width = in.i32();
        bitmap.height = in.i32();
        const auto pixels = in.view();
        if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.width > largestSide || bitmap.height > largestSide ||
            pixels.size() != static_cast<std::size_t>(bitmap.width) * bitmap.height * sizeof(std::uint32_t))
            return std::nullopt;
        bitmap.pixels.resize(static_cast<std::size_t>(bitmap.width) * bitmap.height);
        std::memcpy(bitmap.pixels.data(), pixels.data(), pixels.size());
        return bitmap;
    } catch (const WireReader::Short&) {
        return std::nullopt;
    }
}

} // namespace Platform::PdfWorkerTile
