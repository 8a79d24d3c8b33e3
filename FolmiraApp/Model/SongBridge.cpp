// The seam between the document model and the songbook side: the songbook
// controller the model owns, the hooks it lends that side, the look it hands
// over, the import of the earlier songbook application's library, and the
// questions and actions that depend on the mode shown.

#include "FolmiraApp/Model/AppModel.h"

#include "FolmiraApp/Model/Output.h"
#include "FolmiraApp/Model/QtText.h"
#include "Lyricade/SongGlue.h"
#include "PdfView/Pdf.h"

#include <QPointer>

namespace FolmiraApp {

using FolmiraKit::LargePrintPreset;
using Lyricade::SongController;
using Lyricade::SongHost;
using Lyricade::SongStyle;

Lyricade::SongController& AppModel::songs()
{
    if (!songs_) {
        songs_ = std::make_unique<SongController>(makeSongHost(), persist_, std::nullopt, services_.songServices);
        songs_->setStyle(syncSongStyle());
        emit songsStartedChanged();
    }
    return *songs_;
}

SongHost AppModel::makeSongHost()
{
    SongHost host;
    // One weak hold per hook: a hook called after the model has gone does nothing.
    host.save = [model = QPointer<AppModel>(this)](const Platform::Bytes& pdf, const QString& fileName,
                                                   const QString& message) {
        // The panel's event loop may outlast the caller's hold on the bytes
        // and on the panels: both are held here for it.
        if (!model || !model->services_.panels) return;
        const auto panels = model->services_.panels;
        savePDF(*panels, shareBytes(pdf), fileName, message);
    };
    host.print = [model = QPointer<AppModel>(this)](const Lyricade::SongPrintJob& job) {
        if (!model || !model->services_.panels) return;
        const auto panels = model->services_.panels;
        const auto defaults = model->services_.defaults;
        if (auto document = PdfView::pdfFromData(job.pdf))
            printPDF(*panels, defaults.get(), std::move(document), shareBytes(job.pdf), job.title, job.booklet);
    };
    host.presets = &AppModel::presetSizes;
    host.setHighContrast = [model = QPointer<AppModel>(this)](bool on) {
        if (!model) return;
        auto settings = model->settings();
        settings.highContrast = on;
        model->setSettings(settings);
    };
    return host;
}

std::vector<SongHost::Preset> AppModel::presetSizes()
{
    std::vector<SongHost::Preset> sizes;
    for (const auto& preset : LargePrintPreset::all()) sizes.push_back({qstr(preset.name), preset.settings.fontSize});
    return sizes;
}

SongStyle AppModel::syncSongStyle() const
{
    FolmiraKit::LargePrintFont::registerBundledFonts();
    const auto& faces = settings_.font.faces();
    SongStyle style;
    style.faces = Lyricade::SongGlue::faces(std::vector<std::string>(faces.begin(), faces.end()), settings_.highContrast);
    style.fontName = std::string(settings_.font.name());
    style.highContrast = settings_.highContrast;
    style.page = Lyricade::SongGlue::pageSize(FolmiraKit::toString(settings_.paper));
    return style;
}

void AppModel::importTunequillLibrary()
{
    if (!services_.panels) return;
    Panels& panels = *services_.panels;
    const auto url = panels.chooseFileToOpenIn(
        QStringLiteral("Choose Tunequill’s library.json to bring its songs, songbooks and set lists into Songbook mode."),
        {QStringLiteral("JSON (*.json)")}, Lyricade::SongGlue::tunequillLibraryFolder());
    if (!url) return;
    SongController::ImportCounts counts;
    try {
        counts = songs().importTunequillLibrary(*url);
    } catch (const std::exception& error) {
        panels.alert(QString::fromUtf8(error.what()), QString());
        return;
    }
    // The window shows what came in before the alert says how much.
    setKind(DocKind::songbook);
    panels.inform(QStringLiteral("Tunequill’s library imported"),
                  QStringLiteral("Songs added: %1. Songbooks and set lists added: %2. Songs you already had weren’t "
                                 "added twice.")
                      .arg(counts.songs)
                      .arg(counts.books));
}

bool AppModel::hasOutput()
{
    if (kind_ == DocKind::songbook) return songs().hasOutput();
    return canExportCopy();
}

bool AppModel::hasPrintableOutput()
{
    if (kind_ == DocKind::songbook) return songs().hasOutput();
    return canPrintCopy();
}

void AppModel::applyPreset(const LargePrintPreset& preset)
{
    if (kind_ == DocKind::songbook) songs().applyPresetSize(preset.settings.fontSize);
    else setSettings(preset.settings);
}

bool AppModel::inspectorShown()
{
    if (kind_ == DocKind::songbook) return songs().showInspector();
    return showInspector_;
}

void AppModel::toggleInspector()
{
    if (kind_ == DocKind::songbook) songs().setShowInspector(!songs().showInspector());
    else setShowInspector(!showInspector_);
}

} // namespace FolmiraApp
