#pragma once

// The model's dialogs as Qt's own: file dialogs, message boxes, the print dialog.

#include "FolmiraApp/Model/Panels.h"

#include <QPointer>
#include <QWidget>

namespace FolmiraApp {

class QtPanels final : public Panels {
public:
    // Dialogs are modal over `window` (a weak hold; none when it is gone).
    explicit QtPanels(QWidget* window = nullptr) : window_(window) {}
    void setWindow(QWidget* window) { window_ = window; }

    std::optional<std::filesystem::path> chooseFileToOpen(const QString& message,
                                                          const QStringList& nameFilters) override;
    std::optional<std::filesystem::path> chooseFileToSave(const QString& name, const QString& message) override;
    void alert(const QString& text, const QString& detail) override;
    bool confirmPrint(QPrinter& printer) override;

private:
    QPointer<QWidget> window_;
};

} // namespace FolmiraApp
