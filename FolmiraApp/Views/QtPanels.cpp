#include "FolmiraApp/Views/QtPanels.h"

#include "FolmiraApp/Model/Output.h"

#include "Lyricade/Panels/DialogTexts.h"
#include "Lyricade/Panels/ModalDialog.h"
#include "Lyricade/Views/ScreenFit.h"

#include <QApplication>
#include <QChildEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPageSize>
#include <QPrinter>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>

#include <cmath>

namespace FolmiraApp {

QString dialogFolder(const QString& last, const QString& documents)
{
    for (const QString& folder : {last, documents})
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    return QDir::homePath();
}

QString folderKey(FileDialog dialog)
{
    switch (dialog) {
    case FileDialog::open: return QStringLiteral("openFolder");
    case FileDialog::save: return QStringLiteral("saveFolder");
    case FileDialog::printToFile: return QStringLiteral("printFolder");
    }
    return {};
}

QString QtPanels::startFolder(FileDialog dialog) const
{
    const QString last = defaults_ ? defaults_->value(folderKey(dialog)).toString() : QString();
    return dialogFolder(last, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

void QtPanels::usedFolder(FileDialog dialog, const std::filesystem::path& file)
{
    if (!defaults_ || file.empty()) return;
    defaults_->setValue(folderKey(dialog), QFileInfo(QString::fromStdString(file.string())).absolutePath());
}

std::optional<std::filesystem::path> QtPanels::chooseFileToOpen(const QString& message,
                                                                const QStringList& nameFilters)
{
    auto url = openOne(message, nameFilters, startFolder(FileDialog::open));
    if (url) usedFolder(FileDialog::open, *url);
    return url;
}

std::optional<std::filesystem::path> QtPanels::chooseFileToOpenIn(const QString& message,
                                                                  const QStringList& nameFilters,
                                                                  const std::filesystem::path& folder)
{
    // A folder that is not there would leave the dialog in the working folder.
    const QString start = QString::fromStdString(folder.string());
    return openOne(message, nameFilters, QFileInfo(start).isDir() ? start : startFolder(FileDialog::open));
}

void QtPanels::fitted(QDialog& dialog) const
{
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) Lyricade::shortenFolderAtStart(*files);
    // At its own size, then within the screen: at large fonts on a small
    // screen Qt's dialogs are taller than the screen.
    dialog.adjustSize();
    Lyricade::fitOnScreen(dialog, window_);
}

std::optional<std::filesystem::path> QtPanels::openOne(const QString& message, const QStringList& nameFilters,
                                                       const QString& folder)
{
    Lyricade::ModalDialog<QFileDialog> dialog(window_, message);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilters(nameFilters);
    dialog->setDirectory(folder);
    fitted(*dialog);
    if (dialog.exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog->selectedFiles().front().toStdString());
}

std::optional<std::filesystem::path> QtPanels::chooseFileToSave(const QString& name, const QString& message)
{
    Lyricade::ModalDialog<QFileDialog> dialog(window_, message);
    // Qt's own dialog, so the message (a booklet's folding instructions) stands whole inside it.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    Lyricade::placeMessage(*dialog, message);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QStringLiteral("PDF (*.pdf)"));
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    dialog->setDirectory(startFolder(FileDialog::save));
    dialog->selectFile(name);
    fitted(*dialog);
    if (dialog.exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
    std::filesystem::path url = dialog->selectedFiles().front().toStdString();
    usedFolder(FileDialog::save, url);
    return url;
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
    // Over the window the user is in (Help's alert over Help), which comes
    // back to the front with the focus when the alert closes: a window
    // manager may hand both to another window of the application.
    QPointer<QWidget> over = QApplication::activeWindow();
    Lyricade::ModalDialog<QMessageBox> box(icon, QString(), QString(), QMessageBox::Ok,
                                           over ? over.data() : window_.data());
    // Names and reasons are shown as written, never as markup.
    Lyricade::setPlainTexts(*box, text, detail);
    box.exec();
    if (over && over->isVisible()) {
        over->raise();
        over->activateWindow();
    }
}

namespace {

// Qt's printer properties show the printer's default paper, not the one the
// job was set up with: each time they open (they are made anew for every
// printer chosen), the printer's paper of the job's size is chosen in them.
class PaperKeeper final : public QObject {
public:
    PaperKeeper(QSizeF paper, QObject* dialog) : QObject(dialog), paper_(paper) { dialog->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A child is announced while it is still being made, before it is
        // known to be a dialog: every one is watched until it shows.
        if (event->type() == QEvent::ChildAdded && watched == parent()) {
            static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
        } else if (event->type() == QEvent::Show && !chosen_.contains(watched)) {
            chosen_.insert(watched);
            if (auto* sizes = watched->findChild<QComboBox*>(QStringLiteral("pageSizeCombo"))) choose(*sizes);
        }
        return false;
    }

private:
    void choose(QComboBox& sizes) const
    {
        for (int index = 0; index < sizes.count(); ++index) {
            const QSizeF size = sizes.itemData(index).value<QPageSize>().size(QPageSize::Point);
            if (std::abs(size.width() - paper_.width()) < 1 && std::abs(size.height() - paper_.height()) < 1) {
                sizes.setCurrentIndex(index);
                return;
            }
        }
    }

    QSizeF paper_;
    QSet<QObject*> chosen_;
};

} // namespace

bool QtPanels::confirmPrint(QPrinter& printer)
{
    Lyricade::ModalDialog<QPrintDialog> dialog(&printer, window_);
    dialog->setOption(QAbstractPrintDialog::PrintPageRange, true);
    new PaperKeeper(printer.pageLayout().pageSize().size(QPageSize::Point), dialog.get());
    // Qt's dialog offers printing to a file in the working folder; offer it
    // where the last printed copy went, under the job's name as a PDF's file name.
    if (printer.outputFileName().isEmpty()) {
        if (auto* fileName = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
            fileName->setText(QDir(startFolder(FileDialog::printToFile)).filePath(pdfFileName(printer.docName())));
    }
    fitted(*dialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    if (printer.outputFormat() != QPrinter::NativeFormat || !printer.outputFileName().isEmpty())
        usedFolder(FileDialog::printToFile, printer.outputFileName().toStdString());
    return true;
}

} // namespace FolmiraApp
