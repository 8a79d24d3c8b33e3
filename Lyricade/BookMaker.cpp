#include "Lyricade/BookMaker.h"

#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Layout/Cancel.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Render/Renderer.h"

#include <algorithm>
#include <cmath>

namespace Lyricade {

using namespace TunequillKit;

namespace {

// Booklet pages shrunk below this are reported; rounding in the page and
// sheet sizes keeps A4 pages on their own sheet at 0.999992.
constexpr double shrinkThreshold = 0.999;

std::optional<std::string> shrinkWarning(PageSize pageSize, Platform::Size sheet)
{
    const Platform::Size page = size(pageSize);
    const double scale = std::min(0.5 * sheet.width / page.width, sheet.height / page.height);
    if (scale >= shrinkThreshold) return std::nullopt;
    return "Pages are shrunk to " + std::to_string(std::lround(scale * 100)) + "% to fit two on a sheet.";
}

} // namespace

BookRender BookMaker::render(const BookRequest& request)
{
    std::scoped_lock lock(mutex_);
    // The faces are per thread: this thread lays out and draws with the request's.
    Fonts::sansFaces = request.faces;
    std::vector<PreparedSong> prepared;
    prepared.reserve(request.entries.size());
    for (const BookRequest::Entry& entry : request.entries)
        prepared.emplace_back(*entry.song, entry.transpose, entry.capo, request.accidentals, request.nashville);
    if (prepared.empty()) return {};

    BookLayouter layouter(request.settings, systemMeasurer(), request.title, request.subtitle);
    layouter.cache = cache_;
    const BookLayout layout = layouter.layout(prepared);
    BookRender out;
    if (!shaped_ || shapedOn_ != std::this_thread::get_id()) {
        shaped_.emplace();
        shapedOn_ = std::this_thread::get_id();
    }
    try {
        out.pdf = Renderer::pdf(layout, request.settings, request.title, *shaped_);
    } catch (const Renderer::PdfFailure& failure) {
        out.failure = failure.what();
        out.warnings.push_back(out.failure);
        return out;
    }
    out.pages = static_cast<int>(layout.pages.size());
    if (request.single) {
        out.warnings = request.entries.front().song->warnings;
        for (std::string& warning : prepared.front().chordWarnings()) out.warnings.push_back(std::move(warning));
    } else {
        out.warnings = layout.warnings;
        std::sort(out.warnings.begin(), out.warnings.end());
        out.warnings.erase(std::unique(out.warnings.begin(), out.warnings.end()), out.warnings.end());
    }
    if (!request.booklet) return out;

    checkCancelled();
    const Platform::Size sheet = BookletMaker::size(request.sheet, request.settings.pageSize);
    if (!request.single)
        if (auto warning = shrinkWarning(request.settings.pageSize, sheet)) out.warnings.push_back(*warning);
    Platform::Bytes sheets = BookletMaker::pdf(*out.pdf, sheet, BookletOptions{});
    if (sheets.empty()) {
        // The maker gives nothing for bytes it cannot open as a PDF: a book
        // then has no output, a single song is handed on as plain pages.
        if (request.single) return out;
        return {std::nullopt, 0, out.warnings, {}};
    }
    out.pdf = std::move(sheets);
    out.pages = 2 * ((out.pages + 3) / 4);
    return out;
}

std::size_t BookMaker::keptSongs()
{
    std::scoped_lock lock(mutex_);
    return cache_->size();
}

std::size_t BookMaker::typesetCount()
{
    std::scoped_lock lock(mutex_);
    return cache_->typeset();
}

} // namespace Lyricade
