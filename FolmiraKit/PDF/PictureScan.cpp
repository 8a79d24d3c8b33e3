#include "FolmiraKit/PDF/PictureScan.h"

#include "FolmiraKit/PDF/Limits.h"
#include "Platform/Images.h"

#include <algorithm>
#include <cmath>

namespace FolmiraKit::PictureScan {

using Platform::PdfContent::ContentStream;
using Platform::PdfContent::Operands;
using Platform::PdfContent::XObject;

namespace {

// Forms nested deeper than this are not entered (the page itself is depth 0).
constexpr int maxFormDepth = 3;

bool finite(const Rect& r)
{
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height);
}

} // namespace

Transform Transform::followedBy(const Transform& t) const
{
    return {a * t.a + b * t.c,       a * t.b + b * t.d,       c * t.a + d * t.c,
            c * t.b + d * t.d,       e * t.a + f * t.c + t.e, e * t.b + f * t.d + t.f};
}

Rect Transform::unitSquare() const
{
    double xs[4] = {e, a + e, c + e, a + c + e};
    double ys[4] = {f, b + f, d + f, b + d + f};
    double x0 = *std::min_element(xs, xs + 4), x1 = *std::max_element(xs, xs + 4);
    double y0 = *std::min_element(ys, ys + 4), y1 = *std::max_element(ys, ys + 4);
    return {x0, y0, x1 - x0, y1 - y0};
}

const Transform& State::current() const
{
    static const Transform identity;
    return stack.empty() ? identity : stack.back();
}

void State::push()
{
    stack.push_back(current());
}

void State::pop()
{
    // Within a form, its own transform and what the drawing stream had stay put
    // whatever the form's "Q" operators say.
    if (stack.size() > std::max<std::size_t>(floor_, 1)) stack.pop_back();
}

void State::concat(Operands& operands)
{
    double m[6];
    for (int i = 5; i >= 0; --i) {
        auto value = operands.popNumber();
        if (!value) return;
        m[i] = *value;
    }
    Transform t = Transform{m[0], m[1], m[2], m[3], m[4], m[5]}.followedBy(current());
    if (stack.empty()) stack.push_back(t);
    else stack.back() = t;
}

void State::drawObject(Operands& operands, const ContentStream& stream)
{
    auto name = operands.popName();
    if (!name) return;
    auto object = stream.xobject(*name);
    if (!object) return;
    Transform t = current();

    if (object->kind == XObject::Kind::image) {
        Rect r = t.unitSquare();
        // A non-finite rectangle would poison every later sort and comparison.
        if (finite(r) && rects.size() < static_cast<std::size_t>(PDFLimits::pictureRectangles)) rects.push_back(r);
        return;
    }
    if (object->kind != XObject::Kind::form || depth > maxFormDepth ||
        formsEntered_ >= PDFLimits::formInvocations)
        return;
    auto form = stream.form(*name);
    if (!form) return;
    ++formsEntered_;

    Transform matrix;
    if (object->matrix && object->matrix->size() == 6) {
        const auto& m = *object->matrix;
        matrix = {m[0], m[1], m[2], m[3], m[4], m[5]};
    }
    std::size_t savedFloor = floor_;
    stack.push_back(matrix.followedBy(t));
    floor_ = stack.size();
    ++depth;
    form->scan(*this);
    --depth;
    // Whatever the form left on the stack goes, and its own transform with it.
    stack.resize(floor_ - 1);
    floor_ = savedFloor;
}

bool State::stopRequested() const
{
    return rects.size() >= static_cast<std::size_t>(PDFLimits::pictureRectangles) || stack.size() > static_cast<std::size_t>(PDFLimits::graphicsStates);
}

std::vector<Rect> scanPage(const Platform::PdfPage& page)
{
    auto stream = ContentStream::ofPage(page);
    if (!stream || !stream->hasXObjects()) return {};
    State state;
    stream->scan(state);
    return std::move(state.rects);
}

std::vector<Found> find(const Platform::PdfPage& page)
{
    std::vector<Found> found;
    Rect bounds = page.cropBox();
    int renders = 0;
    for (const Rect& rect : scanPage(page)) {
        Rect r = rect.intersection(bounds);
        if (r.isEmpty()) continue;
        if (r.width < 24 || r.height < 24) continue;
        bool inside = std::any_of(found.begin(), found.end(), [&](const Found& f) {
            Rect grown{f.rect.x - 2, f.rect.y - 2, f.rect.width + 4, f.rect.height + 4};
            return r.minX() >= grown.minX() && r.maxX() <= grown.maxX() && r.minY() >= grown.minY() &&
                   r.maxY() <= grown.maxY();
        });
        if (inside) continue;
        if (renders >= PDFLimits::renders) break;
        ++renders;
        auto data = renderRegion(r, page);
        if (!data) continue;
        found.push_back(Found{r, Picture{std::move(*data), r.width, r.height, ""}});
    }
    return found;
}

std::optional<std::vector<std::uint8_t>> renderRegion(const Rect& region, const Platform::PdfPage& page)
{
    auto bitmap = page.render(region, 2, PDFLimits::regionPixels);
    if (!bitmap) return std::nullopt;
    return Platform::pngData(*bitmap);
}

} // namespace FolmiraKit::PictureScan
