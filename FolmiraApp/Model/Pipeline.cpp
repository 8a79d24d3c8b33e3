// The road of one document: the kind check, the original, the read and the
// render on worker threads, and the stale checks that drop outcomes which no
// longer fit the model. Only values cross between the threads; outcomes come
// back as queued calls on the model, which are discarded if it is gone.
//
// Work whose outcome can no longer show is cancelled rather than left to run:
// each read and render carries a flag that the engine checks between pages
// and blocks, and a newer read, render, settings change or closing the
// document sets the flag of the one it replaces. A cancelled task sends
// nothing back; whatever replaced it brings the model up to date.

#include "FolmiraApp/Model/AppModel.h"

#include "FolmiraApp/Model/QtText.h"
#include "PdfView/Drawing.h"
#include "Platform/Text.h"
#include "Platform/TextLayout.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

namespace FolmiraApp {

using FolmiraKit::BigDocument;
using FolmiraKit::ConversionError;
using FolmiraKit::LargePrintSettings;
using FolmiraKit::RenderResult;

struct AppModel::ReadOutcome {
    std::shared_ptr<const BigDocument> document; // or
    QString refusal;
};

namespace {

std::string lowercasedExtension(const std::filesystem::path& url)
{
    auto extension = url.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    return Platform::Text::lowercased(extension);
}

std::optional<BigDocument::Source> sourceOf(const std::filesystem::path& url)
{
    auto extension = url.extension().string();
    if (extension.empty()) return std::nullopt;
    return FolmiraKit::Folmira::source(std::string_view(extension).substr(1));
}

// The bytes of an original that is not too big to show.
std::optional<std::vector<std::uint8_t>> fileBytes(const std::filesystem::path& url)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(url, error);
    if (error || size > maxOriginalBytes) return std::nullopt;
    std::ifstream in(url, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

// Why `url` can't be opened whatever its kind: a folder, or nothing there at
// all. Said before the kind is judged, so a missing "x.docx" is missing, not
// a file the read could make nothing of.
std::optional<QString> notAFile(const std::filesystem::path& url, const QString& name)
{
    std::error_code error;
    const auto type = std::filesystem::status(url, error).type();
    if (type == std::filesystem::file_type::directory)
        return QStringLiteral("“%1” couldn’t be opened: it’s a folder, not a file.").arg(name);
    if (type == std::filesystem::file_type::not_found)
        return QStringLiteral("“%1” couldn’t be opened: there’s no such file.").arg(name);
    return std::nullopt;
}

} // namespace

QStringList AppModel::openableTypes()
{
    return {QStringLiteral("Documents (*.txt *.text *.rtf *.pdf *.md *.markdown *.docx)"),
            QStringLiteral("Plain text (*.txt *.text)"), QStringLiteral("RTF (*.rtf)"), QStringLiteral("PDF (*.pdf)"),
            QStringLiteral("Markdown (*.md *.markdown)"), QStringLiteral("Word document (*.docx)")};
}

void AppModel::chooseDocument()
{
    if (!services_.panels) return;
    const auto url = services_.panels->chooseFileToOpen(
        QStringLiteral("Choose a text, Markdown, RTF, Word (.docx) or PDF file to make large."), openableTypes());
    if (url) open(*url);
}

void AppModel::open(const std::filesystem::path& url)
{
    // "Letters/" names the folder Letters.
    const auto last = url.has_filename() ? url.filename() : url.parent_path().filename();
    const auto name = QString::fromStdString(last.string());
    if (auto refusal = notAFile(url, name)) {
        setError(*refusal);
        return;
    }
    if (!sourceOf(url) && lowercasedExtension(url) != "doc") {
        setError(qstr(FolmiraKit::Brand::name) +
                 QStringLiteral(" reads text (.txt), Markdown (.md), RTF, Word (.docx) and PDFs with text in them. “") +
                 name + QStringLiteral("” isn’t one of those."));
        return;
    }
    setFileURL(url);
    setFileName(name);
    setError(std::nullopt);
    rereading_ = false;
    load(url);
    startReading();
}

void AppModel::load(const std::filesystem::path& url)
{
    originalCancel_->cancel();
    setOriginalPDF(nullptr);
    setOriginalText(std::nullopt);
    const auto source = sourceOf(url);
    if (!source) return;
    switch (*source) {
    case BigDocument::Source::text:
    case BigDocument::Source::markdown:
        if (auto bytes = fileBytes(url)) {
            auto text = decodedOriginal(*bytes);
            if (paragraphsFitThePane(text.content)) setOriginalText(std::move(text));
        }
        break;
    case BigDocument::Source::rtf:
    case BigDocument::Source::word: {
        std::error_code error;
        const auto size = std::filesystem::file_size(url, error);
        if (!error && size <= maxOriginalBytes) setOriginalText(services_.engine->styledOriginal(url, *source));
        break;
    }
    case BigDocument::Source::pdf:
        openOriginalPDF(url);
        break;
    }
}

void AppModel::openOriginalPDF(const std::filesystem::path& url)
{
    // The user's file may be made to take the window's memory or a core for
    // long: a worker opens it, under its limits, and this thread goes on.
    setOriginalPDF(nullptr, true);
    auto cancel = replace(originalCancel_);
    (void)QtConcurrent::run(readers_.get(), [this, url, cancel] {
        auto pdf = PdfView::openOutside(url, {}, cancel.get());
        if (cancel->cancelled()) return;
        QMetaObject::invokeMethod(
            this,
            [this, cancel, pdf = std::move(pdf)] {
                // Another file was opened, or the document closed, meanwhile.
                if (!cancel->cancelled()) setOriginalPDF(pdf);
            },
            Qt::QueuedConnection);
    });
}

void AppModel::startReading()
{
    if (!fileURL_) return;
    const auto url = *fileURL_;
    setReading(true);
    const bool keep = settings_.keepLineBreaks;
    auto engine = services_.engine;
    auto cancel = replace(readCancel_);
    (void)QtConcurrent::run(readers_.get(), [this, engine, url, keep, cancel] {
        if (cancel->cancelled()) return;
        ReadOutcome outcome;
        try {
            outcome.document = std::make_shared<const BigDocument>(engine->read(url, keep, cancel.get()));
        } catch (const FolmiraKit::Cancelled&) {
            return;
        } catch (const ConversionError& refusal) {
            outcome.refusal = QString::fromUtf8(refusal.what());
        } catch (const std::exception& failure) {
            outcome.refusal = QString::fromUtf8(failure.what());
        } catch (...) {
            outcome.refusal = qstr(FolmiraKit::Brand::name) + QStringLiteral(" couldn’t read this file.");
        }
        QMetaObject::invokeMethod(
            this, [this, url, keep, outcome = std::move(outcome)] { finishReading(url, keep, outcome); },
            Qt::QueuedConnection);
    });
}

void AppModel::finishReading(const std::filesystem::path& url, bool keepLineBreaks, ReadOutcome outcome)
{
    // Another file was opened or the document closed meanwhile; or the line
    // breaks were toggled again, so a later read with the current flag is on
    // its way and this copy must not show, whichever read ends last.
    if (fileURL_ != url || settings_.keepLineBreaks != keepLineBreaks) return;
    setReading(false);
    const bool again = std::exchange(rereading_, false);
    if (outcome.document) {
        setDocument(std::move(outcome.document));
        setError(std::nullopt);
        render();
    } else if (again && document_) {
        keepShownCopy(url, keepLineBreaks, outcome.refusal);
    } else {
        setDocument(nullptr);
        setResult(nullptr);
        setPreview(nullptr);
        setError(outcome.refusal);
    }
}

void AppModel::keepShownCopy(const std::filesystem::path& url, bool keepLineBreaks, const QString& refusal)
{
    settings_.keepLineBreaks = !keepLineBreaks;
    persistSettings();
    emit settingsChanged();
    if (!services_.panels) return;
    // The reader's own sentence names the file but not why it could not be
    // read when the file has gone: that is said first.
    const QString why = notAFile(url, fileName_).value_or(refusal);
    services_.panels->alert(QStringLiteral("The line breaks couldn’t be changed."),
                            why + QStringLiteral(" The copy shown is the one made before."));
}

void AppModel::scheduleRender()
{
    // The render running now has settings that are no longer the model's.
    renderCancel_->cancel();
    const bool wasPending = renderTimer_.isActive();
    renderTimer_.start(); // restarting is the cancellation of the pending one
    if (!wasPending) emit renderPendingChanged();
}

void AppModel::cancelRenderTask()
{
    if (!renderTimer_.isActive()) return;
    renderTimer_.stop();
    emit renderPendingChanged();
}

void AppModel::render()
{
    if (!document_) return;
    auto document = document_;
    const auto settings = settings_;
    setRendering(true);
    auto engine = services_.engine;
    auto cancel = replace(renderCancel_);
    (void)QtConcurrent::run(renderers_.get(), [this, engine, document, settings, cancel] {
        if (cancel->cancelled()) return;
        std::shared_ptr<const RenderResult> result;
        try {
            const Platform::SoleLayout sole; // with the songbook's pages, where layout keeps to one thread
            result = std::make_shared<const RenderResult>(engine->render(*document, settings, cancel.get()));
        } catch (const FolmiraKit::Cancelled&) {
            return;
        } catch (...) {
            // The renderer does not throw by contract; should memory run out,
            // an empty result that says so (no preview, nothing to save) beats
            // a spinner that never stops.
            auto empty = std::make_shared<RenderResult>();
            empty->notes = document->notes;
            empty->notes.emplace_back(FolmiraKit::ConversionNote::Kind::warning,
                                      std::string(FolmiraKit::Brand::name) + " couldn’t make the large-print PDF.");
            result = std::move(empty);
        }
        QMetaObject::invokeMethod(
            this, [this, document, settings, result] { applyRender(document, settings, result); },
            Qt::QueuedConnection);
    });
}

void AppModel::applyRender(const std::shared_ptr<const BigDocument>& document, const LargePrintSettings& settings,
                           std::shared_ptr<const RenderResult> result)
{
    if (!document_ || !(document_ == document || *document_ == *document) || !(settings_ == settings)) return;
    if (result->pdf.empty()) {
        // No PDF could be written: say why (the last note) where the copy
        // would be, rather than a page count over nothing to show or save.
        const auto& notes = result->notes;
        setResult(nullptr);
        setPreview(nullptr);
        setError(!notes.empty() ? QString::fromStdString(notes.back().message)
                                : qstr(FolmiraKit::Brand::name) + QStringLiteral(" couldn’t make the large-print PDF."));
        errorFromRender_ = true;
        setRendering(false);
        return;
    }
    // A render mends only its own failure: a refusal of another file, shown
    // over this document, stays until a file is opened or closed.
    if (errorFromRender_) setError(std::nullopt);
    // The preview reads the copy's bytes where the result keeps them; every
    // page of a copy has its paper's size.
    auto preview = PdfView::pdfFromData(PdfView::SharedPdfBytes(result, &result->pdf), true);
    setResult(std::move(result));
    setPreview(std::move(preview));
    setRendering(false);
}

std::shared_ptr<FolmiraKit::CancelFlag> AppModel::replace(std::shared_ptr<FolmiraKit::CancelFlag>& flag)
{
    flag->cancel();
    flag = std::make_shared<FolmiraKit::CancelFlag>();
    return flag;
}

bool AppModel::stopWork(int milliseconds)
{
    cancelRenderTask();
    readCancel_->cancel();
    renderCancel_->cancel();
    originalCancel_->cancel();
    QDeadlineTimer deadline(milliseconds);
    return readers_->waitForDone(static_cast<int>(deadline.remainingTime())) &&
           renderers_->waitForDone(static_cast<int>(deadline.remainingTime())) &&
           PdfView::stopDrawing(static_cast<int>(deadline.remainingTime()));
}

void AppModel::closeDocument()
{
    cancelRenderTask();
    readCancel_->cancel();
    renderCancel_->cancel();
    originalCancel_->cancel();
    // The outcomes still on their way will be dropped, so nothing is being
    // read or rendered for the window any more.
    setReading(false);
    setRendering(false);
    setFileURL(std::nullopt);
    setFileName(QString());
    setDocument(nullptr);
    setResult(nullptr);
    setPreview(nullptr);
    setOriginalPDF(nullptr);
    setOriginalText(std::nullopt);
    setError(std::nullopt);
}

QStringList AppModel::sampleNames() const
{
    QStringList names;
    if (!services_.samplesFolder) return names;
    std::error_code error;
    std::filesystem::directory_iterator entries(*services_.samplesFolder, error);
    if (error) return names;
    for (const auto& entry : entries) {
        const auto name = QString::fromStdString(entry.path().filename().string());
        if (!name.startsWith(u'.')) names.push_back(name);
    }
    // Plain comparison of UTF-16 units: capitals before small letters, not localized.
    std::sort(names.begin(), names.end());
    return names;
}

void AppModel::openSample(const QString& name)
{
    // Only names of the folder itself: no separators, no "..".
    if (!services_.samplesFolder || name.isEmpty() || name.contains(u'/') || name == QStringLiteral("..")) return;
    const auto url = *services_.samplesFolder / name.toStdString();
    std::error_code error;
    if (!std::filesystem::is_regular_file(url, error)) return;
    open(url);
}

} // namespace FolmiraApp
