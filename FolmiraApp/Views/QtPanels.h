#pragma once

// The model's dialogs as Qt's own: file dialogs, message boxes, the print dialog.

#include "FolmiraApp/Model/Panels.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace FolmiraApp {

// Where the file dialogs start: the Documents folder when it exists, else the
// folder of the file being worked on, else the home folder, never the
// folder the program happened to be started from.
QString dialogFolder(const QString& documents, const std::optional<std::filesystem::path>& currentFile);

class QtPanels final : public Panels {
public:
    using CurrentFile = std::function<std::optional<std::filesystem::path>()>;

    // Dialogs are modal over `window` (a weak hold; none when it is gone).
    explicit QtPanels(QWidget* window = nullptr) : window_(window) {}
    void setWindow(QWidget* window) { window_ = window; }
    // The file being worked on, asked each time a dialog opens.
    void setCurrentFile(CurrentFile currentFile) { currentFile_ = std::move(currentFile); }

    std::optional<std::filesystem::path> chooseFileToOpen(const QString& message,
                                                          const QStringList& nameFilters) override;
    std::optional<std::filesystem::path> chooseFileToOpenIn(const QString& message, const QStringList& nameFilters,
                                                            const std::filesystem::path& folder) override;
    std::optional<std::filesystem::path> chooseFileToSave(const QString& name, const QString& message) override;
    void alert(const QString& text, const QString& detail) override;
    void inform(const QString& text, const QString& detail) override;
    bool confirmPrint(QPrinter& printer) override;

private:
    QString startFolder() const;
    std::optional<std::filesystem::path> openOne(const QString& message, const QStringList& nameFilters,
                                                 const QString& folder);
    void message(QMessageBox::Icon icon, const QString& text, const QString& detail);

    QPointer<QWidget> window_;
    CurrentFile currentFile_;
};

} // namespace FolmiraApp
