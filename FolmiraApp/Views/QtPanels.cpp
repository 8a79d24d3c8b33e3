#include "FolmiraApp/Views/QtPanels.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

namespace FolmiraApp {

std::optional<std::filesystem::path> QtPanels::chooseFileToOpen(const QString& message,
                                                                const QStringList& nameFilters)
{
    QFileDialog dialog(window_, message);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(nameFilters);
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

std::optional<std::filesystem::path> QtPanels::chooseFileToSave(const QString& name, const QString& message)
{
    QFileDialog dialog(window_, message);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("PDF (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

void QtPanels::alert(const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Ok, window_);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

bool QtPanels::confirmPrint(QPrinter& printer)
{
    QPrintDialog dialog(&printer, window_);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace FolmiraApp
