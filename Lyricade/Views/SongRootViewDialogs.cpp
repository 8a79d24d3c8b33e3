// What the songbook root view presents for the model: the error alert, the
// delete-song confirmation and the two sheets. Each is up exactly while its
// model field asks for it; closing it, however, writes the field back.

#include "Lyricade/AppModel.h"
#include "Lyricade/Panels/DialogTexts.h"
#include "Lyricade/Panels/ModalDialog.h"
#include "Lyricade/Views/AddSongsSheet.h"
#include "Lyricade/Views/LicensingSheet.h"
#include "Lyricade/Views/SongRootView.h"

#include <QMessageBox>
#include <QPushButton>

namespace Lyricade {

namespace {

QMessageBox* windowModalBox(QWidget* parent)
{
    auto* box = new QMessageBox(parent);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

} // namespace

QString SongRootView::deleteTitle() const
{
    const auto& pending = model_.pendingDelete();
    if (!pending) return {};
    QString name = QStringLiteral("this song");
    if (const auto song = model_.song(pending->id))
        name = song->title.empty() ? QStringLiteral("Untitled song") : QString::fromStdString(song->title);
    return QStringLiteral("Delete “") + name + QStringLiteral("”?");
}

QString SongRootView::deleteMessage() const
{
    const auto& pending = model_.pendingDelete();
    if (!pending) return {};
    const auto books = model_.booksContaining(pending->id);
    if (books.empty())
        return QStringLiteral("It’s removed from your library. The file you imported it from isn’t touched.");
    QStringList names;
    for (const auto& book : books) names << QString::fromStdString(book.name);
    return QStringLiteral("It’s also taken out of ") + names.join(QStringLiteral(", ")) +
           QStringLiteral(". The file you imported it from isn’t touched.");
}

void SongRootView::presentError()
{
    const auto& error = model_.error();
    if (!error) {
        if (errorAlert_) errorAlert_->close();
        return;
    }
    if (!errorAlert_) {
        errorAlert_ = windowModalBox(this);
        errorAlert_->setIcon(QMessageBox::Warning);
        errorAlert_->setWindowTitle(QStringLiteral("Something went wrong"));
        errorAlert_->setStandardButtons(QMessageBox::Ok);
        connect(errorAlert_, &QDialog::finished, this, [this] {
            errorAlert_ = nullptr;
            model_.setError(std::nullopt);
        });
        openSheet(*errorAlert_);
    }
    // Shown as the model words it: file names in it are never read as markup.
    setPlainTexts(*errorAlert_, QStringLiteral("Something went wrong"), *error);
}

void SongRootView::presentDelete()
{
    if (!model_.pendingDelete()) {
        if (deleteDialog_) deleteDialog_->close();
        return;
    }
    if (!deleteDialog_) {
        deleteDialog_ = windowModalBox(this);
        deleteDialog_->setIcon(QMessageBox::Warning);
        deleteDialog_->addButton(QMessageBox::Cancel);
        auto* remove = deleteDialog_->addButton(QStringLiteral("Delete Song"), QMessageBox::DestructiveRole);
        deleteDialog_->setDefaultButton(QMessageBox::Cancel);
        deleteDialog_->setEscapeButton(QMessageBox::Cancel);
        connect(deleteDialog_, &QDialog::finished, this, [this, remove] {
            const bool confirmed = deleteDialog_ && deleteDialog_->clickedButton() == remove;
            deleteDialog_ = nullptr;
            // The song may have left the library meanwhile: then nothing is deleted.
            if (confirmed)
                if (const auto pending = model_.pendingDelete()) model_.deleteSong(*pending);
            model_.setPendingDelete(std::nullopt);
        });
        openSheet(*deleteDialog_);
    }
    deleteDialog_->setWindowTitle(deleteTitle());
    setPlainTexts(*deleteDialog_, deleteTitle(), deleteMessage());
}

void SongRootView::presentAddSongs()
{
    if (!model_.addSongsShown()) {
        if (addSongs_) addSongs_->reject();
        return;
    }
    if (addSongs_) return;
    // A new sheet each time: no ticks, no search.
    addSongs_ = new AddSongsSheet(model_, this);
    addSongs_->setAttribute(Qt::WA_DeleteOnClose);
    connect(addSongs_, &QDialog::finished, this, [this] { addSongs_ = nullptr; });
    openSheet(*addSongs_);
}

void SongRootView::presentLicensing()
{
    if (!model_.licensingShown()) {
        if (licensing_) licensing_->reject();
        return;
    }
    if (licensing_) return;
    licensing_ = new LicensingSheet(this);
    licensing_->setWindowModality(Qt::WindowModal);
    licensing_->setAttribute(Qt::WA_DeleteOnClose);
    connect(licensing_, &QDialog::finished, this, [this] {
        licensing_ = nullptr;
        model_.setLicensingShown(false);
    });
    openSheet(*licensing_);
}

} // namespace Lyricade
