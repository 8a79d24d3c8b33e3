#include "FolmiraApp/Views/QtPanels.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

namespace FolmiraApp {

QString dialogFolder(const QString& documents, const std::optional<std::filesystem::path>& currentFile)
{
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    if (currentFile) {
        const QFileInfo file(QString::fromStdString(currentFile->string()));
        if (file.dir().exists()) return file.absolutePath();
    }
    return QDir::homePath();
}

QString QtPanels::startFolder() const
{
    return dialogFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                        currentFile_ ? currentFile_() : std::nullopt);
}

std::optional<std::filesystem::path> QtPanels::chooseFileToOpen(const QString& message,
                                                                const QStringList& nameFilters)
{
    return openOne(message, nameFilters, startFolder());
}

std::optional<std::filesystem::path> QtPanels::chooseFileToOpenIn(const QString& message,
                                                                  const QStringList& nameFilters,
                                                                  const std::filesystem::path& folder)
{
    // A folder that is not there would leave the dialog in the working folder.
    const QString start = QString::fromStdString(folder.string());
    return openOne(message, nameFilters, QFileInfo(start).isDir() ? start : startFolder());
}

std::optional<std::filesystem::path> QtPanels::openOne(const QString& message, const QStringList& nameFilters,
                                                       const QString& folder)
{
    QFileDialog dialog(window_, message);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(nameFilters);
    dialog.setDirectory(folder);
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
    dialog.setDirectory(startFolder());
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

void QtPanels::alert(const QString& text, const QString& detail)
{
    message(QMessageBox::Warning, text, detail);
}

void QtPanels::inform(const QString& text, const QString& detail)
{
    message(QMessageBox::Information, text, detail);
}

void QtPanels::message(QMessageBox::Icon icon, const QString& text, const QString& detail)
{
    QMessageBox box(icon, QString(), text, QMessageBox::Ok, window_);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

bool QtPanels::confirmPrint(QPrinter& printer)
{
    QPrintDialog dialog(&printer, window_);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    // Qt's dialog offers printing to a file in the working folder; offer it
    // where a saved copy would go, under the job's name.
    if (printer.outputFileName().isEmpty()) {
        if (auto* fileName = dialog.findChild<QLineEdit*>(QStringLiteral("filename")))
            fileName->setText(QDir(startFolder()).filePath(printer.docName()));
    }
    return dialog.exec() == QDialog::Accepted;
}

} // namespace FolmiraApp
