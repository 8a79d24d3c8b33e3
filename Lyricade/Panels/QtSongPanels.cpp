#include "Lyricade/Panels/QtSongPanels.h"

#include "Lyricade/Panels/DialogTexts.h"
#include "Lyricade/Panels/ModalDialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>

namespace Lyricade {

namespace {

// Qt's own dialog chooses files or one folder, never both; this one accepts
// whatever is selected, so a folder can be imported instead of entered.
class FilesAndFolders final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        const bool allExist = !chosen.isEmpty() && std::all_of(chosen.begin(), chosen.end(), [](const QString& path) {
            return QFileInfo::exists(path);
        });
        if (allExist)
            QDialog::accept();
        else
            QFileDialog::accept();
    }
};

} // namespace

std::optional<std::vector<std::filesystem::path>> QtSongPanels::chooseSongFiles(const QString& message,
                                                                                const QString& prompt,
                                                                                const QStringList& nameFilters)
{
    ModalDialog<FilesAndFolders> dialog(parent_, message);
    dialog->setOption(QFileDialog::DontUseNativeDialog); // the native dialogs cannot choose both
    placeMessage(*dialog, message);
    shortenFolderAtStart(*dialog);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setNameFilters(nameFilters);
    dialog->setLabelText(QFileDialog::Accept, prompt);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<std::filesystem::path> out;
    for (const QString& path : dialog->selectedFiles()) out.emplace_back(path.toStdString());
    return out;
}

} // namespace Lyricade
