#include "FolmiraApp/Views/UpdaterAlerts.h"

#include "Lyricade/Panels/DialogTexts.h"
#include "Lyricade/Panels/ModalDialog.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

namespace FolmiraApp {

namespace {

// Folmira's window brought to the front: the answer of a check can arrive
// while the user works in another program.
QWidget* frontWindow()
{
    QWidget* window = QApplication::activeWindow();
    if (!window) {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && qobject_cast<QMainWindow*>(top)) {
                window = top;
                break;
            }
    }
    if (!window) return nullptr;
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
    return window;
}

using Box = Lyricade::ModalDialog<QMessageBox>;

void setTexts(Box& box, const QString& title, const QString& text)
{
    // The feed's words are shown as written, never as markup.
    Lyricade::setPlainTexts(*box, title, text);
}

} // namespace

void UpdaterAlerts::presentAlert(const QString& title, const QString& text)
{
    Box box(QMessageBox::Information, QString(), QString(), QMessageBox::Ok, frontWindow());
    setTexts(box, title, text);
    box.exec();
}

bool UpdaterAlerts::offerUpdate(const QString& title, const QString& text)
{
    Box box(QMessageBox::Information, QString(), QString(), QMessageBox::NoButton, QApplication::activeWindow());
    setTexts(box, title, text);
    QPushButton* open = box->addButton(QStringLiteral("Open Download Page"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
    box->setDefaultButton(open);
    box.exec();
    return box && box->clickedButton() == open;
}

} // namespace FolmiraApp
