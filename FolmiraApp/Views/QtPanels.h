#pragma once

// The model's dialogs as Qt's own: file dialogs, message boxes, the print dialog.

#include "FolmiraApp/Model/Panels.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <memory>

class QSettings;

namespace FolmiraApp {

// Where a file dialog starts: the folder it was last used in while that is
// still there, else the Documents folder when it exists, else the home
// folder; never the folder the program happened to be started from.
QString dialogFolder(const QString& last, const QString& documents);

// The file dialogs that each start where they were last used.
enum class FileDialog { open, save, printToFile };

// The defaults key of the folder `dialog` was last used in.
QString folderKey(FileDialog dialog);

class QtPanels final : public Panels {
public:
    // Dialogs are modal over `window` (a weak hold; none when it is gone);
    // alerts over the active window, else over `window`.
    explicit QtPanels(QWidget* window = nullptr) : window_(window) {}
    void setWindow(QWidget* window) { window_ = window; }
    // Where the folders each dialog was last used in are kept (none: not kept).
    void setDefaults(std::shared_ptr<QSettings> defaults) { defaults_ = std::move(defaults); }

    std::optional<std::filesystem::path> chooseFileToOpen(const QString& message,
                                                          const QStringList& nameFilters) override;
    std::optional<std::filesystem::path> chooseFileToOpenIn(const QString& message, const QStringList& nameFilters,
                                                            const std::filesystem::path& folder) override;
    std::optional<std::filesystem::path> chooseFileToSave(const QString& name, const QString& message) override;
    void alert(const QString& text, const QString& detail) override;
    void inform(const QString& text, const QString& detail) override;
    bool confirmPrint(QPrinter& printer) override;

private:
    QString startFolder(FileDialog dialog) const;
    void usedFolder(FileDialog dialog, const std::filesystem::path& file);
    std::optional<std::filesystem::path> openOne(const QString& message, const QStringList& nameFilters,
                                                 const QString& folder);
    void message(QMessageBox::Icon icon, const QString& text, const QString& detail);
    void fitted(QDialog& dialog) const;

    QPointer<QWidget> window_;
    std::shared_ptr<QSettings> defaults_;
};

} // namespace FolmiraApp
