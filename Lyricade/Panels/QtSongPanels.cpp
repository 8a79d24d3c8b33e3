#include "Lyricade/Panels/QtSongPanels.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>
#include <vector>

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

// Puts the message inside the dialog, above everything else: a window
// manager may cut a long window title short or not show it at all.
void showMessage(QFileDialog& dialog, const QString& message)
{
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!grid) return;
    struct Placed {
        QLayoutItem* item;
        int row, column, rows, columns;
    };
    std::vector<Placed> placed;
    int columns = 1;
    while (grid->count() > 0) {
        Placed p{};
        grid->getItemPosition(0, &p.row, &p.column, &p.rows, &p.columns);
        p.item = grid->takeAt(0);
        columns = std::max(columns, p.column + p.columns);
        placed.push_back(p);
    }
    for (const Placed& p : placed) grid->addItem(p.item, p.row + 1, p.column, p.rows, p.columns);
    auto* label = new QLabel(message, &dialog);
    label->setObjectName(QStringLiteral("message"));
    label->setWordWrap(true);
    grid->addWidget(label, 0, 0, 1, columns);
}

} // namespace

std::optional<std::vector<std::filesystem::path>> QtSongPanels::chooseSongFiles(const QString& message,
                                                                                const QString& prompt,
                                                                                const QStringList& nameFilters)
{
    FilesAndFolders dialog(parent_, message);
    dialog.setOption(QFileDialog::DontUseNativeDialog); // the native dialogs cannot choose both
    showMessage(dialog, message);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(nameFilters);
    dialog.setLabelText(QFileDialog::Accept, prompt);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<std::filesystem::path> out;
    for (const QString& path : dialog.selectedFiles()) out.emplace_back(path.toStdString());
    return out;
}

} // namespace Lyricade
