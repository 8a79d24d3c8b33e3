#pragma once

// The dialogs the model needs: the open and save panels, an alert and the
// print panel. The window gives the model Qt's own (QtPanels); tests give it
// fakes, so every rule around the dialogs runs headless.

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>

class QPrinter;

namespace FolmiraApp {

class Panels {
public:
    virtual ~Panels() = default;

    // The open panel for one file; `nameFilters` as QFileDialog takes them.
    // None when the user cancels.
    virtual std::optional<std::filesystem::path> chooseFileToOpen(const QString& message,
                                                                  const QStringList& nameFilters) = 0;
    // The same, starting in `folder` rather than where the panels usually start.
    virtual std::optional<std::filesystem::path> chooseFileToOpenIn(const QString& message,
                                                                    const QStringList& nameFilters,
                                                                    const std::filesystem::path& folder)
    {
        (void)folder;
        return chooseFileToOpen(message, nameFilters);
    }
    // The save panel limited to PDF, its name field holding `name`. None when
    // the user cancels.
    virtual std::optional<std::filesystem::path> chooseFileToSave(const QString& name, const QString& message) = 0;
    // A modal warning.
    virtual void alert(const QString& text, const QString& detail) = 0;
    // A modal message that reports an outcome rather than a problem.
    virtual void inform(const QString& text, const QString& detail) { alert(text, detail); }
    // The print panel over a printer already set up; true when the user chose
    // to print, after which `printer` holds the user's choices.
    virtual bool confirmPrint(QPrinter& printer) = 0;
};

} // namespace FolmiraApp
