// The preview and the PDFs that leave the songbook side. What a render needs
// is taken from the model on the main thread as values (a BookRequest); the
// worker lays the book out, draws and imposes it, and opens the preview
// document, so the window keeps answering while a big book renders.
//
// Each preview carries a generation number and a cancel flag. Asking for a new
// preview cancels the one in flight and moves the generation on, so a preview
// that finishes after a newer request is dropped: the model keeps showing the
// last finished document until the newer one is ready, and its page count and
// warnings change together with it. Export and print render afresh on the same
// worker and wait for it; they never reuse the preview's document.

#include "Lyricade/AppModel.h"
#include "Lyricade/SongGlue.h"
#include "TunequillKit/Layout/Cancel.h"
#include "TunequillKit/Layout/Fonts.h"

#include <QPointer>

#include <exception>
#include <iostream>
#include <new>

namespace Lyricade {

using namespace TunequillKit;

namespace {

QString untitled(const Song& song)
{
    return song.title.empty() ? QStringLiteral("Untitled song") : QString::fromStdString(song.title);
}

// Why a render failed, for the preview's warnings and the error alert; the
// same words go to standard error.
std::string failureReason(const char* what, std::exception_ptr failure)
{
    std::string reason;
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        reason = "there is not enough memory.";
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason = "an unexpected error.";
    }
    const std::string said = std::string(what) + " could not be made: " + reason;
    std::cerr << said << std::endl;
    return said;
}

QStringList toQt(const std::vector<std::string>& texts)
{
    QStringList out;
    out.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& text : texts) out << QString::fromStdString(text);
    return out;
}

} // namespace

void AppModel::schedulePreview(bool immediate)
{
    // Whatever is being made now no longer shows the model's state.
    cancelPreview();
    previewTask_ = scheduler_->after(immediate ? Milliseconds(0) : previewDelay,
                                     [model = QPointer<AppModel>(this)] {
                                         if (model) model->refreshPreview();
                                     });
}

void AppModel::cancelPreview()
{
    if (previewCancel_) previewCancel_->cancel();
    previewCancel_.reset();
    ++previewGeneration_;
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

BookRequest AppModel::songRequest(std::shared_ptr<const Song> song) const
{
    BookRequest request;
    request.settings = previewSettings();
    request.title = untitled(*song).toStdString();
    request.faces = style_.faces;
    request.single = true;
    request.sheet = bookletSheet_;
    request.entries.push_back({std::move(song), editorTranspose_, std::nullopt});
    return request;
}

BookRequest AppModel::bookRequest(const Songbook& book, bool booklet) const
{
    BookRequest request;
    request.settings = SongGlue::effective(book.settings, style_.highContrast);
    request.accidentals = request.settings.accidentals;
    request.nashville = request.settings.nashville;
    request.title = book.name;
    request.subtitle = book.subtitle;
    request.faces = style_.faces;
    request.booklet = booklet;
    request.sheet = bookletSheet_;
    request.entries.reserve(book.entries.size());
    for (const SongEntry& entry : book.entries)
        if (auto parsed = song(entry.songID)) request.entries.push_back({std::move(parsed), entry.transpose, entry.capo});
    return request;
}

void AppModel::refreshPreview()
{
    Fonts::sansFaces = style_.faces;
    std::optional<BookRequest> request;
    if (auto book = selectedBook()) {
        request = bookRequest(*book, previewMode_ == PreviewMode::booklet);
    } else if (auto stored = selectedSong(); stored && selection_ && selection_->isAllSongs()) {
        if (auto parsed = song(stored->id)) request = songRequest(std::move(parsed));
    }
    cancelPreview();
    if (!request || request->entries.empty()) {
        setPreview(nullptr, 0, {});
        return;
    }

    auto cancel = std::make_shared<Platform::CancelFlag>();
    previewCancel_ = cancel;
    worker_->post([maker = maker_, request = std::move(*request), cancel, model = QPointer<AppModel>(this),
                   generation = previewGeneration_]() -> Worker::Finish {
        if (cancel->cancelled()) return {};
        BookRender rendered;
        PdfView::PdfDocumentPtr document;
        try {
            Platform::CancelScope scope(cancel.get());
            rendered = maker->render(request);
            checkCancelled();
            if (rendered.pdf) document = PdfView::pdfFromData(*rendered.pdf);
        } catch (const Cancelled&) {
            return {};
        } catch (...) {
            // No preview then, but a reason in its warnings, and the
            // rendering state ends as with any finished preview.
            rendered = BookRender{};
            rendered.warnings.push_back(failureReason("The preview", std::current_exception()));
            document.reset();
        }
        return [model, generation, document, pages = rendered.pages, warnings = toQt(rendered.warnings)] {
            if (model && model->previewGeneration_ == generation) {
                model->previewCancel_.reset();
                model->setPreview(document, pages, warnings);
            }
        };
    });
}

bool AppModel::previewRendering() const
{
    return previewCancel_ != nullptr;
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

BookRender AppModel::renderBook(const Songbook& book, bool booklet)
{
    return renderOnWorker(bookRequest(book, booklet));
}

BookRender AppModel::renderOnWorker(const BookRequest& request)
{
    if (request.entries.empty()) return {};
    BookRender rendered;
    try {
        worker_->wait([&] { rendered = maker_->render(request); });
    } catch (...) {
        rendered = BookRender{};
        rendered.failure = failureReason("The PDF", std::current_exception());
    }
    return rendered;
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
        if (!rendered.pdf) {
            if (!rendered.failure.empty()) setError(QString::fromStdString(rendered.failure));
            return std::nullopt;
        }
        // A book without a name still needs one for its file and its print job.
        const QString name = QString::fromStdString(book->name);
        return BookOutput{std::move(*rendered.pdf), name.trimmed().isEmpty() ? QStringLiteral("Untitled") : name};
    }
    auto stored = selectedSong();
    if (!stored) return std::nullopt;
    auto parsed = song(stored->id);
    if (!parsed) return std::nullopt;
    const QString name = untitled(*parsed);
    BookRequest request = songRequest(std::move(parsed));
    request.booklet = booklet;
    // The sheet follows the style's page size, which the preview settings carry.
    BookRender rendered = renderOnWorker(request);
    if (!rendered.pdf) {
        if (!rendered.failure.empty()) setError(QString::fromStdString(rendered.failure));
        return std::nullopt;
    }
    return BookOutput{std::move(*rendered.pdf), name};
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
