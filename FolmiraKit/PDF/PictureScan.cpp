#include "FolmiraKit/PDF/PictureScan.h"

#include "FolmiraKit/Model/Cancel.h"
#include "FolmiraKit/PDF/Limits.h"
#include "Platform/Images.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <system_error>
#include <thread>

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
        if (!finite(r) || rects.size() >= static_cast<std::size_t>(PDFLimits::pictureRectangles)) return;
        rects.push_back(r);
        // Upright and not mirrored: the stored picture shows as drawn.
        if (keepJpegs && t.b == 0 && t.c == 0 && t.a > 0 && t.d > 0)
            if (auto jpeg = stream.xobject(*name) ? stream.storedJpeg(*name, PDFLimits::storedJpegBytes) : std::nullopt)
                jpegs.emplace_back(rects.size() - 1, std::move(*jpeg));
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

std::vector<Rect> regions(const Platform::PdfPage& page)
{
    return regions(scanPage(page), page.cropBox());
}

std::vector<Rect> regions(const std::vector<Rect>& drawn, const Rect& bounds)
{
    std::vector<Rect> found;
    for (const Rect& rect : drawn) {
        Rect r = rect.intersection(bounds);
        if (r.isEmpty()) continue;
        if (r.width < 24 || r.height < 24) continue;
        if (std::floor(2 * r.width) * std::floor(2 * r.height) >= static_cast<double>(PDFLimits::regionPixels)) continue;
        bool inside = std::any_of(found.begin(), found.end(), [&](const Rect& f) {
            Rect grown{f.x - 2, f.y - 2, f.width + 4, f.height + 4};
            return r.minX() >= grown.minX() && r.maxX() <= grown.maxX() && r.minY() >= grown.minY() &&
                   r.maxY() <= grown.maxY();
        });
        if (inside) continue;
        if (found.size() >= static_cast<std::size_t>(PDFLimits::renders)) break;
        found.push_back(r);
    }
    return found;
}

std::int64_t renderCost(const Rect& region, const std::vector<Rect>& drawn)
{
    double area = region.width * region.height;
    for (const Rect& r : drawn) {
        Rect overlap = r.intersection(region);
        area += overlap.width * overlap.height;
    }
    // Two pixels per point each way.
    return static_cast<std::int64_t>(std::min(4 * area, 9e18));
}

RenderBudget::RenderBudget(std::int64_t pixels, std::size_t heldBytes) : left_(pixels), bytesLeft_(heldBytes) {}

bool RenderBudget::spend(std::int64_t cost)
{
    if (cost > left_) return false;
    left_ -= cost;
    spent_ += cost;
    return true;
}

bool RenderBudget::hold(std::size_t bytes)
{
    if (bytes > bytesLeft_) return false;
    bytesLeft_ -= bytes;
    return true;
}

Picture unrendered(const Rect& region)
{
    return Picture{{}, region.width, region.height, ""};
}

namespace {

bool waiting(const PDFReader::Line& line)
{
    return line.picture && line.picture->data.empty();
}

// One page's regions to render, and what came of them.
struct PageRender {
    std::size_t page;
    std::vector<Rect> regions;
    std::optional<std::vector<std::optional<std::vector<std::uint8_t>>>> rendered;
};

// Renders `jobs` on up to `workers` threads at once, worker w on thread w;
// the first error any of them meets is thrown once all have stopped.
void renderAll(std::vector<PageRender>& jobs, int workers, const RegionRenderer& render)
{
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(std::max(workers, 1)));
    auto work = [&](int worker) {
        try {
            for (std::size_t j = next++; j < jobs.size() && !failed; j = next++)
                jobs[j].rendered = render(worker, static_cast<int>(jobs[j].page), jobs[j].regions);
        } catch (...) {
            errors[static_cast<std::size_t>(worker)] = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> helpers;
    for (int w = 1; w < workers && static_cast<std::size_t>(w) < jobs.size(); ++w) {
        try {
            helpers.emplace_back(work, w);
        } catch (const std::system_error&) {
            break; // out of threads: those running render the rest
        }
    }
    work(0);
    for (std::thread& t : helpers) t.join();
    for (const std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);
}

} // namespace

RenderedPictures renderPictures(std::vector<PDFReader::Lines>& pages, const std::vector<std::vector<Rect>>& drawn,
                                RenderBudget& budget, const RegionRenderer& render, std::int64_t paperPixels,
                                int workers, PictureFile* file)
{
    RenderedPictures result;
    // The pixels are spent in the pages' order, before anything is rendered.
    std::vector<PageRender> jobs;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        PDFReader::Lines& lines = pages[i];
        if (std::none_of(lines.begin(), lines.end(), waiting)) continue;
        static const std::vector<Rect> none;
        const std::vector<Rect>& images = i < drawn.size() ? drawn[i] : none;
        std::vector<Rect> regions;
        std::erase_if(lines, [&](PDFReader::Line& line) {
            if (!waiting(line)) return false;
            checkCancelled();
            const std::int64_t cost = renderCost(line.rect, images);
            if (cost > paperPixels && !budget.spend(cost)) {
                ++result.overBudget;
                return true;
            }
            regions.push_back(line.rect);
            return false;
        });
        if (!regions.empty()) jobs.push_back(PageRender{i, std::move(regions), std::nullopt});
    }
    // A few pages at a time on every worker; their PNGs are kept in the pages'
    // order, so the bytes held leave out the same pictures whichever renders first.
    const std::size_t batch = 4 * static_cast<std::size_t>(std::max(workers, 1));
    for (std::size_t first = 0; first < jobs.size(); first += batch) {
        checkCancelled();
        std::vector<PageRender> some(std::make_move_iterator(jobs.begin() + static_cast<std::ptrdiff_t>(first)),
                                     std::make_move_iterator(jobs.begin() + static_cast<std::ptrdiff_t>(
                                                                               std::min(first + batch, jobs.size()))));
        renderAll(some, workers, render);
        for (PageRender& job : some) {
            auto& rendered = job.rendered;
            if (!rendered || rendered->size() != job.regions.size()) {
                result.failedPages.push_back(static_cast<int>(job.page));
                continue;
            }
            std::size_t next = 0;
            std::erase_if(pages[job.page], [&](PDFReader::Line& line) {
                if (!waiting(line)) return false;
                auto& png = (*rendered)[next++];
                if (!png) return true;
                if (!budget.hold(png->size())) {
                    ++result.overBudget;
                    return true;
                }
                line.picture->data = file ? file->keep(std::move(*png)) : PictureData(std::move(*png));
                return false;
            });
        }
    }
    return result;
}

std::vector<Found> find(const Platform::PdfPage& page)
{
    std::vector<Found> found;
    for (const Rect& r : regions(page)) {
        auto data = renderRegion(r, page);
        if (!data) continue;
        found.push_back(Found{r, Picture{std::move(*data), r.width, r.height, ""}});
    }
    return found;
}

std::optional<Platform::Bytes> storedPicture(const Rect& region, const std::vector<Rect>& drawn,
                                             const std::vector<std::pair<std::size_t, Platform::Bytes>>& jpegs)
{
    constexpr double nearPoints = 0.5; // what the region's clipping to the crop box may take off
    std::optional<std::size_t> only;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        if (drawn[i].intersection(region).isEmpty()) continue;
        if (only) return std::nullopt; // another picture shows in the region
        only = i;
    }
    if (!only) return std::nullopt;
    const Rect& r = drawn[*only];
    if (std::abs(r.minX() - region.minX()) > nearPoints || std::abs(r.maxX() - region.maxX()) > nearPoints ||
        std::abs(r.minY() - region.minY()) > nearPoints || std::abs(r.maxY() - region.maxY()) > nearPoints)
        return std::nullopt;
    auto stored = std::find_if(jpegs.begin(), jpegs.end(), [&](const auto& j) { return j.first == *only; });
    if (stored == jpegs.end()) return std::nullopt;
    // No more bytes than the region's rendering would take: the worker's memory is sized for that.
    const double rendered = 4 * std::floor(2 * region.width) * std::floor(2 * region.height);
    auto info = Platform::jpegFrameSize(stored->second);
    if (!info || info->width > PDFLimits::storedPixelsPerPoint * region.width || info->height > PDFLimits::storedPixelsPerPoint * region.height ||
        static_cast<double>(stored->second.size()) > rendered)
        return std::nullopt;
    return stored->second;
}

std::vector<std::optional<std::vector<std::uint8_t>>> cutRegions(const Platform::PdfPage& page,
                                                                 const std::vector<Rect>& regions)
{
    std::vector<std::optional<std::vector<std::uint8_t>>> cut(regions.size());
    State state;
    state.keepJpegs = true;
    if (auto stream = ContentStream::ofPage(page); stream && stream->hasXObjects()) stream->scan(state);
    for (std::size_t i = 0; i < regions.size(); ++i) {
        cut[i] = storedPicture(regions[i], state.rects, state.jpegs);
        if (!cut[i]) cut[i] = renderRegion(regions[i], page);
    }
    return cut;
}

std::optional<std::vector<std::uint8_t>> renderRegion(const Rect& region, const Platform::PdfPage& page)
{
    auto bitmap = page.render(region, 2, PDFLimits::regionPixels);
    if (!bitmap) return std::nullopt;
    return Platform::pngData(*bitmap);
}

} // namespace FolmiraKit::PictureScan
