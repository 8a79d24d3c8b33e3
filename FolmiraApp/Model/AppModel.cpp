// The model's fields, their change rules, its creation from the defaults and
// the operations on the window state. The document's road is in Pipeline.cpp.

#include "FolmiraApp/Model/AppModel.h"

#include "FolmiraApp/Model/Output.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Model/SettingsCodec.h"

#include <QSettings>
#include <QThreadPool>

#include <algorithm>

namespace FolmiraApp {

using FolmiraKit::BigDocument;
using FolmiraKit::LargePrintSettings;

namespace {

const QString settingsKey = QStringLiteral("settings");
const QString docKindKey = QStringLiteral("docKind");
const QString welcomeSeenKey = QStringLiteral("welcomeSeen");

template <typename T>
bool change(T& field, T value)
{
    if (field == value) return false;
    field = std::move(value);
    return true;
}

bool sameDocument(const std::shared_ptr<const BigDocument>& a, const std::shared_ptr<const BigDocument>& b)
{
    if (a == b) return true;
    return a && b && *a == *b;
}

} // namespace

AppModel::AppModel(bool persist, AppServices services, QObject* parent)
    : QObject(parent), persist_(persist), services_(std::move(services)),
      readers_(std::make_unique<QThreadPool>()), renderers_(std::make_unique<QThreadPool>()),
      readCancel_(std::make_shared<FolmiraKit::CancelFlag>()),
      renderCancel_(std::make_shared<FolmiraKit::CancelFlag>())
{
    renderers_->setMaxThreadCount(1);
    if (!services_.engine) services_.engine = makeFolmiraEngine();
    if (!services_.defaults)
        services_.defaults = std::make_shared<QSettings>(QStringLiteral("Folmira"), QStringLiteral("Folmira"));

    renderTimer_.setSingleShot(true);
    // A coarse timer may fire up to 5% early; the wait is a minimum.
    renderTimer_.setTimerType(Qt::PreciseTimer);
    renderTimer_.setInterval(renderDelayMs);
    connect(&renderTimer_, &QTimer::timeout, this, [this] {
        // Rendering before the wait is told over, so the copy never reads as ready between the two.
        render();
        emit renderPendingChanged();
    });
    for (auto signal : {&AppModel::resultChanged, &AppModel::previewChanged, &AppModel::readingChanged,
                        &AppModel::renderingChanged, &AppModel::renderPendingChanged})
        connect(this, signal, this, &AppModel::copyReadyChanged);
    connect(this, &AppModel::copyReadyChanged, this, &AppModel::finishWaiting);

    if (!persist_) return;
    auto& defaults = *services_.defaults;
    // Stored directly: no observer, nothing written back, nothing rendered.
    const auto stored = defaults.value(settingsKey);
    if (stored.isValid())
        if (auto decoded = decodeSettings(stored.toByteArray())) settings_ = *decoded;
    if (auto kind = FolmiraKit::fromString<DocKind>(utf8(defaults.value(docKindKey).toString()))) setKind(*kind);
    showWelcome_ = !defaults.value(welcomeSeenKey, false).toBool();
}

AppModel::~AppModel()
{
    // Running reads and renders hold no pointer into the model once they end;
    // their queued outcomes die with it.
    renderTimer_.stop();
    readCancel_->cancel();
    renderCancel_->cancel();
    originalCancel_->cancel();
    readers_->waitForDone();
    renderers_->waitForDone();
    // The songbook side goes first, while the model its hooks point to is whole.
    songs_.reset();
}

bool AppModel::hasRunningWork() const
{
    return readers_->activeThreadCount() > 0 || renderers_->activeThreadCount() > 0;
}

void AppModel::syncDefaults()
{
    if (services_.defaults) services_.defaults->sync();
}

// --- Field writes ---

void AppModel::setFileURL(std::optional<std::filesystem::path> url)
{
    if (change(fileURL_, std::move(url))) emit fileURLChanged();
}

void AppModel::setFileName(const QString& name)
{
    if (change(fileName_, name)) emit fileNameChanged();
}

void AppModel::setDocument(std::shared_ptr<const BigDocument> document)
{
    if (sameDocument(document_, document)) return;
    document_ = std::move(document);
    emit documentChanged();
}

void AppModel::setReading(bool reading)
{
    if (change(reading_, reading)) emit readingChanged();
}

void AppModel::setError(std::optional<QString> error)
{
    errorFromRender_ = false; // the render's failure branch marks its own
    if (change(error_, std::move(error))) emit errorChanged();
}

void AppModel::setOriginalPDF(PdfView::OutsidePdfPtr document, bool opening)
{
    const bool changed = change(originalPDF_, std::move(document));
    if (change(openingOriginalPDF_, opening) || changed) emit originalPDFChanged();
}

void AppModel::setOriginalText(std::optional<StyledText> text)
{
    if (change(originalText_, std::move(text))) emit originalTextChanged();
}

void AppModel::setResult(std::shared_ptr<const FolmiraKit::RenderResult> result)
{
    // A render result has no equality: every write tells.
    result_ = std::move(result);
    resultFile_ = result_ ? fileURL_ : std::nullopt;
    emit resultChanged();
}

void AppModel::setPreview(PdfView::PdfDocumentPtr document)
{
    if (change(preview_, std::move(document))) emit previewChanged();
}

void AppModel::setRendering(bool rendering)
{
    if (change(rendering_, rendering)) emit renderingChanged();
}

void AppModel::setShowInspector(bool shown)
{
    if (change(showInspector_, shown)) emit showInspectorChanged();
}

void AppModel::setShowWelcome(bool shown)
{
    if (change(showWelcome_, shown)) emit showWelcomeChanged();
}

void AppModel::setHelpPage(HelpTopic topic)
{
    if (change(helpPage_, topic)) emit helpPageChanged();
}

void AppModel::setKind(DocKind kind)
{
    if (!change(kind_, kind)) return;
    emit kindChanged();
    if (persist_) services_.defaults->setValue(docKindKey, qstr(toString(kind_)));
}

void AppModel::setSettings(const LargePrintSettings& settings)
{
    if (settings_ == settings) return;
    const auto old = settings_;
    settings_ = settings;
    emit settingsChanged();
    settingsObserver(old);
}

void AppModel::persistSettings()
{
    if (!persist_) return;
    const auto data = encodeSettings(settings_);
    if (!data.isEmpty()) services_.defaults->setValue(settingsKey, data);
}

void AppModel::settingsObserver(const LargePrintSettings& old)
{
    persistSettings();
    if (old.keepLineBreaks != settings_.keepLineBreaks) {
        rereading_ = document_ != nullptr;
        startReading();
    } else {
        scheduleRender();
    }
    if (songsStarted()) songs_->setStyle(syncSongStyle());
}

std::vector<FolmiraKit::ConversionNote> AppModel::notes() const
{
    if (result_) return result_->notes;
    if (document_) return document_->notes;
    return {};
}

// --- Window state ---

void AppModel::finishWelcome(std::optional<DocKind> kind)
{
    if (persist_) services_.defaults->setValue(welcomeSeenKey, true);
    setShowWelcome(false);
    if (kind) setKind(*kind);
}

void AppModel::requestHelp(HelpTopic topic)
{
    setHelpPage(topic);
    ++helpRequest_;
    emit helpRequestChanged();
}

void AppModel::biggerText()
{
    auto settings = settings_;
    settings.fontSize = std::min(settings.fontSize + 2, 32.0);
    setSettings(settings);
}

void AppModel::smallerText()
{
    auto settings = settings_;
    settings.fontSize = std::max(settings.fontSize - 2, 14.0);
    setSettings(settings);
}

// --- Output ---

QString AppModel::suggestedName() const
{
    return suggestedNameFor(fileName_);
}

bool AppModel::makingCopy() const
{
    return reading_ || rendering_ || renderTimer_.isActive();
}

bool AppModel::canExportCopy() const
{
    return result_ && resultFile_ == fileURL_;
}

bool AppModel::canPrintCopy() const
{
    return preview_ && canExportCopy();
}

void AppModel::finishWaiting()
{
    if ((!exportWaits_ && !printWaits_) || makingCopy()) return;
    const bool save = std::exchange(exportWaits_, false), print = std::exchange(printWaits_, false);
    // Run after the change that made the copy has been told everywhere.
    QMetaObject::invokeMethod(
        this,
        [this, save, print] {
            if (save && !canExportCopy()) tellNoCopy(QStringLiteral("saved"));
            else if (save) exportPDF();
            if (print && !canPrintCopy()) tellNoCopy(QStringLiteral("printed"));
            else if (print) printCopy();
        },
        Qt::QueuedConnection);
}

void AppModel::tellNoCopy(const QString& done)
{
    // The newer copy failed and the older one is gone: the window says why,
    // and so does the alert, in place of a panel that never comes. A closed
    // document, or another file being read, asks for nothing.
    if (!fileURL_ || makingCopy() || !services_.panels) return;
    services_.panels->alert(
        QStringLiteral("The document “%1” couldn’t be %2.").arg(pdfFileName(suggestedName()), done),
        error_.value_or(QString()));
}

void AppModel::exportPDF()
{
    if (!canExportCopy() || !services_.panels) return;
    if (makingCopy()) {
        exportWaits_ = true;
        return;
    }
    // The panel runs an event loop in which a new copy may land and replace
    // result_: the bytes offered are held here, with the name made for them.
    const SharedBytes pdf(result_, &result_->pdf);
    const auto panels = services_.panels;
    savePDF(*panels, pdf, suggestedName(), QStringLiteral("Save the large-print copy as a PDF."));
}

void AppModel::printCopy()
{
    // The preview is always shown from the result's bytes, which are what
    // prints; both are held for the job, as the export holds its bytes.
    if (!canPrintCopy() || !services_.panels) return;
    if (makingCopy()) {
        printWaits_ = true;
        return;
    }
    const auto panels = services_.panels;
    const auto defaults = services_.defaults;
    printPDF(*panels, defaults.get(), preview_, SharedBytes(result_, &result_->pdf), suggestedName(), false);
}

} // namespace FolmiraApp
