// The preview and the PDFs that leave the songbook side. Layout and rendering
// run here, on the main thread, inside the preview task: a song book renders in
// a fraction of a second and the engine keeps no state between calls.

#include "Lyricade/AppModel.h"
#include "Lyricade/SongGlue.h"
#include "TunequillKit/Layout/BookLayouter.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Render/BookletMaker.h"
#include "TunequillKit/Render/Renderer.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

namespace Lyricade {

using namespace TunequillKit;

namespace {

// Booklet pages shrunk below this are reported; rounding in the page and
// sheet sizes keeps A4 pages on their own sheet at 0.999992.
constexpr double shrinkThreshold = 0.999;

QString untitled(const Song& song)
{
    return song.title.empty() ? QStringLiteral("Untitled song") : QString::fromStdString(song.title);
}

QStringList toQt(const std::vector<std::string>& texts)
{
    QStringList out;
    out.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& text : texts) out << QString::fromStdString(text);
    return out;
}

std::optional<std::string> shrinkWarning(PageSize pageSize, Platform::Size sheet)
{
    const Platform::Size page = size(pageSize);
    const double scale = std::min(0.5 * sheet.width / page.width, sheet.height / page.height);
    if (scale >= shrinkThreshold) return std::nullopt;
    return "Pages are shrunk to " + std::to_string(std::lround(scale * 100)) + "% to fit two on a sheet.";
}

} // namespace

void AppModel::schedulePreview(bool immediate)
{
    previewTask_ = scheduler_->after(immediate ? Milliseconds(0) : previewDelay,
                                     [model = QPointer<AppModel>(this)] {
                                         if (model) model->refreshPreview();
                                     });
}

BookSettings AppModel::previewSettings() const
{
    BookSettings settings;
    settings.pageSize = style_.page;
    settings.spreads = false;
    settings.tableOfContents = false;
    settings.index = false;
    return SongGlue::effective(settings, style_.highContrast);
}

std::pair<Platform::Bytes, int> AppModel::renderSong(const Song& song)
{
    const BookSettings settings = previewSettings();
    const std::string title = untitled(song).toStdString();
    PreparedSong prepared(song, editorTranspose_, std::nullopt, Accidentals::automatic, false);
    BookLayouter layouter(settings, systemMeasurer(), title, "");
    BookLayout layout = layouter.layout({prepared});
    return {Renderer::pdf(layout, settings, title), static_cast<int>(layout.pages.size())};
}

void AppModel::refreshPreview()
{
    Fonts::sansFaces = style_.faces;
    if (auto book = selectedBook()) {
        BookRender rendered = renderBook(*book, previewMode_ == PreviewMode::booklet);
        setPreview(rendered.pdf ? PdfView::pdfFromData(*rendered.pdf) : nullptr, rendered.pages, toQt(rendered.warnings));
        return;
    }
    const bool allSongs = selection_ && selection_->isAllSongs();
    if (auto stored = selectedSong(); allSongs && stored) {
        if (auto parsed = song(stored->id)) {
            auto [data, pages] = renderSong(*parsed);
            setPreview(PdfView::pdfFromData(data), pages, toQt(parsed->warnings));
            return;
        }
    }
    setPreview(nullptr, 0, {});
}

void AppModel::setPreview(PdfView::PdfDocumentPtr pdf, int pages, QStringList warnings)
{
    if (pdf != previewPDF_) {
        previewPDF_ = std::move(pdf);
        emit previewPDFChanged();
    }
    assign(previewPages_, pages, &AppModel::previewPagesChanged);
    assign(previewWarnings_, warnings, &AppModel::previewWarningsChanged);
}

AppModel::BookRender AppModel::renderBook(const Songbook& book, bool booklet)
{
    Fonts::sansFaces = style_.faces;
    const BookSettings settings = SongGlue::effective(book.settings, style_.highContrast);
    std::vector<PreparedSong> prepared;
    prepared.reserve(book.entries.size());
    for (const SongEntry& entry : book.entries)
        if (auto parsed = song(entry.songID))
            prepared.emplace_back(*parsed, entry.transpose, entry.capo, settings.accidentals, settings.nashville);
    if (prepared.empty()) return {};

    BookLayouter layouter(settings, systemMeasurer(), book.name, book.subtitle);
    const BookLayout layout = layouter.layout(prepared);
    BookRender out;
    out.pdf = Renderer::pdf(layout, settings, book.name);
    out.pages = static_cast<int>(layout.pages.size());
    out.warnings = layout.warnings;
    std::sort(out.warnings.begin(), out.warnings.end());
    out.warnings.erase(std::unique(out.warnings.begin(), out.warnings.end()), out.warnings.end());
    if (!booklet) return out;

    const Platform::Size sheet = BookletMaker::size(bookletSheet_, settings.pageSize);
    if (auto warning = shrinkWarning(settings.pageSize, sheet)) out.warnings.push_back(*warning);
    Platform::Bytes sheets = BookletMaker::pdf(*out.pdf, sheet, BookletOptions{});
    // The maker gives nothing for bytes it cannot open as a PDF.
    if (sheets.empty()) return {std::nullopt, 0, out.warnings};
    out.pdf = std::move(sheets);
    out.pages = 2 * ((out.pages + 3) / 4);
    return out;
}

std::optional<AppModel::BookOutput> AppModel::bookPDF(bool booklet)
{
    if (auto book = selectedBook()) {
        if (book->entries.empty()) {
            setError(QStringLiteral("Add some songs to “") + QString::fromStdString(book->name) +
                     QStringLiteral("” first."));
            return std::nullopt;
        }
        BookRender rendered = renderBook(*book, booklet);
        if (!rendered.pdf) return std::nullopt;
        return BookOutput{std::move(*rendered.pdf), QString::fromStdString(book->name)};
    }
    auto stored = selectedSong();
    if (!stored) return std::nullopt;
    auto parsed = song(stored->id);
    if (!parsed) return std::nullopt;
    Fonts::sansFaces = style_.faces;
    Platform::Bytes data = renderSong(*parsed).first;
    if (booklet) {
        // A single song that cannot be imposed is handed on as plain pages.
        Platform::Bytes sheets = BookletMaker::pdf(data, BookletMaker::size(bookletSheet_, style_.page), BookletOptions{});
        if (!sheets.empty()) data = std::move(sheets);
    }
    return BookOutput{std::move(data), untitled(*parsed)};
}

void AppModel::exportBook(bool booklet)
{
    auto output = bookPDF(booklet);
    if (!output || !host_.save) return;
    if (booklet)
        host_.save(output->pdf, output->name + QStringLiteral(" – booklet"),
                   QStringLiteral("Print two-sided, flipping on the short edge, then fold the stack in half and "
                                  "staple on the fold."));
    else
        host_.save(output->pdf, output->name, QStringLiteral("A PDF of the whole book, ready to print or share."));
}

void AppModel::printBook(std::optional<bool> booklet)
{
    const bool sheets = booklet.value_or(selectedBook().has_value() && previewMode_ == PreviewMode::booklet);
    auto output = bookPDF(sheets);
    if (!output || !host_.print) return;
    host_.print(SongPrintJob{std::move(output->pdf), output->name, sheets});
}

} // namespace Lyricade
