#pragma once

// The application's one document model: the open file and its original, the
// read document, the settings, the render result and its preview, the refusal,
// and the window state both modes share. Lives on the main thread; each
// observed field has its own change signal, sent only when a write changes the
// value (the render result always notifies). Reads and renders run on worker
// threads on value copies; a late outcome that no longer fits the model is
// dropped, never queued.

#include "FolmiraApp/Model/Engine.h"
#include "FolmiraApp/Model/Kinds.h"
#include "FolmiraApp/Model/Panels.h"
#include "PdfView/OutsidePdf.h"
#include "PdfView/Pdf.h"
#include "FolmiraApp/Model/StyledText.h"
#include "FolmiraKit/FolmiraKit.h"
#include "Lyricade/SongController.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSettings;
class QThreadPool;

namespace FolmiraApp {

// What the model works with besides its own state. Anything left empty gets
// the real thing (the engine, the user's defaults); without panels the open,
// save and print commands do nothing.
struct AppServices {
    std::shared_ptr<Engine> engine;
    std::shared_ptr<Panels> panels;
    std::shared_ptr<QSettings> defaults;                // "settings", "docKind", "welcomeSeen"
    std::optional<std::filesystem::path> samplesFolder; // the resource folder's Samples
    Lyricade::ModelServices songServices;                // what the songbook side is made with
};

class AppModel : public QObject {
    Q_OBJECT

public:
    // With `persist` the model reads its settings, mode and welcome flag from
    // the defaults at once and writes every change back.
    explicit AppModel(bool persist, AppServices services = {}, QObject* parent = nullptr);
    ~AppModel() override;

    static constexpr int renderDelayMs = 180;

    // --- Fields ---
    bool persist() const { return persist_; }
    const std::optional<std::filesystem::path>& fileURL() const { return fileURL_; }
    const QString& fileName() const { return fileName_; }
    const std::shared_ptr<const FolmiraKit::BigDocument>& document() const { return document_; }
    bool reading() const { return reading_; }
    const std::optional<QString>& error() const { return error_; }
    // The original PDF as a worker opened it: this process never parses it.
    const PdfView::OutsidePdfPtr& originalPDF() const { return originalPDF_; }
    // True while a worker opens the original PDF (its pane keeps the place for
    // the pages); originalPDFChanged tells when this changes too.
    bool openingOriginalPDF() const { return openingOriginalPDF_; }
    const std::optional<StyledText>& originalText() const { return originalText_; }
    const FolmiraKit::LargePrintSettings& settings() const { return settings_; }
    const std::shared_ptr<const FolmiraKit::RenderResult>& result() const { return result_; }
    const PdfView::PdfDocumentPtr& preview() const { return preview_; }
    bool rendering() const { return rendering_; }
    bool renderPending() const { return renderTimer_.isActive(); }
    bool showInspector() const { return showInspector_; }
    bool showWelcome() const { return showWelcome_; }
    HelpTopic helpPage() const { return helpPage_; }
    qint64 helpRequest() const { return helpRequest_; }
    DocKind kind() const { return kind_; }

    // Writes the settings; equal settings change nothing. Otherwise they are
    // stored (and persisted), and the file is read again when keepLineBreaks
    // changed, else a render is scheduled.
    void setSettings(const FolmiraKit::LargePrintSettings& settings);
    void setShowInspector(bool shown);
    void setShowWelcome(bool shown);
    void setHelpPage(HelpTopic topic);
    void setKind(DocKind kind);

    // The notes of the result, else of the document, else none.
    std::vector<FolmiraKit::ConversionNote> notes() const;

    // --- Window state ---
    void finishWelcome(std::optional<DocKind> kind);
    void requestHelp(HelpTopic topic);
    void biggerText();  // +2 pt, at most 32
    void smallerText(); // −2 pt, at least 14

    // --- The document's road ---
    void chooseDocument();
    // Opens a file: a folder, a missing file of no kind the engine reads, and
    // a kind it does not read (".doc" aside) are refused at once and the open
    // document stays; otherwise the original is shown and a read starts.
    void open(const std::filesystem::path& url);
    void load(const std::filesystem::path& url);
    void startReading();
    void scheduleRender();
    void render();
    void closeDocument();
    // True while a read or render still runs in the background, even one whose
    // outcome will be dropped.
    bool hasRunningWork() const;
    // Cancels every read and render, and the windows' page drawings, and
    // waits at most `milliseconds` for them to stop; true when none runs any
    // more.
    bool stopWork(int milliseconds);
    // Writes pending defaults to disk now.
    void syncDefaults();
    void openSample(const QString& name);
    QStringList sampleNames() const;
    // The open panel's name filters.
    static QStringList openableTypes();

    // --- Output ---
    QString suggestedName() const;
    // True while a new copy is on its way (a read, a render, or a render
    // waiting for the settings to settle): the copy held is then not the one
    // the window names.
    bool makingCopy() const;
    // Whether the copy can be saved or printed: there is one, made from the
    // file the window names. Every control that acts on the copy is enabled
    // by these, and stays on while new settings make a newer copy (no
    // flicker on each change); the operations check them again.
    bool canExportCopy() const;
    bool canPrintCopy() const;
    // Saving or printing asked for while a newer copy is on its way waits
    // for it; if none comes (the read or the render failed) an alert says
    // why: only the copy the window names is ever written.
    void exportPDF();
    void printCopy();
    Panels* panels() const { return services_.panels.get(); }

    // --- The songbook side (SongBridge.cpp) ---
    // The songbook controller, made on the first call with this model's
    // persist flag and the current look; the same one ever after. Making it
    // loads the library, so nothing calls it before the songbook side is
    // needed; songsStartedChanged tells when it has been made.
    Lyricade::SongController& songs();
    bool songsStarted() const { return songs_ != nullptr; }
    // The hooks the songbook side calls back on; each holds this model weakly
    // and does nothing once it is gone.
    Lyricade::SongHost makeSongHost();
    // The songbook look of the current settings: faces, font name, high
    // contrast, page (US Legal has no songbook page and gives Letter).
    Lyricade::SongStyle syncSongStyle() const;
    // The presets' names and type sizes, in their order.
    static std::vector<Lyricade::SongHost::Preset> presetSizes();
    // The open panel for the earlier songbook application's library.json, its
    // merge into the songbook library, and the alert that tells the outcome.
    void importTunequillLibrary();
    // Something to export, something to print: the songbook's preview in
    // Songbook mode; canExportCopy and canPrintCopy in Document mode.
    bool hasOutput();
    bool hasPrintableOutput();
    // Songbook mode: the selected book's lyric size from the preset's type
    // size; Document mode: the preset's settings.
    void applyPreset(const FolmiraKit::LargePrintPreset& preset);
    // The settings inspector of the mode shown.
    bool inspectorShown();
    void toggleInspector();

signals:
    void fileURLChanged();
    void fileNameChanged();
    void documentChanged();
    void readingChanged();
    void errorChanged();
    void originalPDFChanged();
    void originalTextChanged();
    void settingsChanged();
    void resultChanged();
    void previewChanged();
    void renderingChanged();
    void renderPendingChanged();
    void showInspectorChanged();
    void showWelcomeChanged();
    void helpPageChanged();
    void helpRequestChanged();
    void kindChanged();
    void songsStartedChanged();
    // canExportCopy or canPrintCopy may have changed.
    void copyReadyChanged();

private:
    struct ReadOutcome;
    void finishReading(const std::filesystem::path& url, bool keepLineBreaks, ReadOutcome outcome);
    void applyRender(const std::shared_ptr<const FolmiraKit::BigDocument>& document,
                     const FolmiraKit::LargePrintSettings& settings,
                     std::shared_ptr<const FolmiraKit::RenderResult> result);
    void settingsObserver(const FolmiraKit::LargePrintSettings& old);
    void persistSettings();
    // A read again with the line breaks turned the other way failed: the
    // copy shown stays, the switch goes back to what it was made with, and
    // an alert says why.
    void keepShownCopy(const std::filesystem::path& url, bool keepLineBreaks, const QString& refusal);
    // Saves or prints what waited for the newer copy, once it is made.
    void finishWaiting();
    // Says that a save or print that waited has nothing to act on. `done` is
    // "saved" or "printed".
    void tellNoCopy(const QString& done);

    void setFileURL(std::optional<std::filesystem::path> url);
    void setFileName(const QString& name);
    void setDocument(std::shared_ptr<const FolmiraKit::BigDocument> document);
    void setReading(bool reading);
    void setError(std::optional<QString> error);
    void setOriginalPDF(PdfView::OutsidePdfPtr document, bool opening = false);
    // Has a worker open the PDF at `url` off the main thread, for the original.
    void openOriginalPDF(const std::filesystem::path& url);
    void setOriginalText(std::optional<StyledText> text);
    void setResult(std::shared_ptr<const FolmiraKit::RenderResult> result);
    void setPreview(PdfView::PdfDocumentPtr document);
    void setRendering(bool rendering);
    void cancelRenderTask();
    // Cancels the work `flag` stands for and gives a fresh flag for the next.
    static std::shared_ptr<FolmiraKit::CancelFlag> replace(std::shared_ptr<FolmiraKit::CancelFlag>& flag);

    const bool persist_;
    AppServices services_;

    std::optional<std::filesystem::path> fileURL_;
    QString fileName_;
    std::shared_ptr<const FolmiraKit::BigDocument> document_;
    bool rereading_ = false; // the read running is of the document shown, with the other line breaks
    bool reading_ = false;
    std::optional<QString> error_;
    bool errorFromRender_ = false; // error_ says why the last render made no PDF
    PdfView::OutsidePdfPtr originalPDF_;
    bool openingOriginalPDF_ = false;
    std::optional<StyledText> originalText_;
    FolmiraKit::LargePrintSettings settings_;
    std::shared_ptr<const FolmiraKit::RenderResult> result_;
    std::optional<std::filesystem::path> resultFile_; // the file result_ was made from
    // Asked for while a newer copy was being made.
    bool exportWaits_ = false;
    bool printWaits_ = false;
    PdfView::PdfDocumentPtr preview_;
    bool rendering_ = false;
    QTimer renderTimer_; // the pending debounced render; restarted, never queued
    bool showInspector_ = true;
    bool showWelcome_ = false;
    HelpTopic helpPage_ = HelpTopic::start;
    qint64 helpRequest_ = 0;
    DocKind kind_ = DocKind::document;

    std::unique_ptr<Lyricade::SongController> songs_; // made on first use

    // Worker threads of this model only, so that destruction can wait for
    // running reads and renders instead of racing them. Renders have one
    // thread: a render replaced by a newer one is cancelled, and the newer
    // one starts once it has stopped.
    std::unique_ptr<QThreadPool> readers_;
    std::unique_ptr<QThreadPool> renderers_;
    std::shared_ptr<FolmiraKit::CancelFlag> readCancel_;   // of the newest read
    std::shared_ptr<FolmiraKit::CancelFlag> renderCancel_; // of the newest render
    // Of the newest opening of an original PDF.
    std::shared_ptr<FolmiraKit::CancelFlag> originalCancel_ = std::make_shared<FolmiraKit::CancelFlag>();
};

} // namespace FolmiraApp
