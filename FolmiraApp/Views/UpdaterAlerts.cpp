#include "FolmiraApp/Views/UpdaterAlerts.h"

#include "Lyricade/Panels/DialogTexts.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

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

std::unique_ptr<QMessageBox> makeBox(const QString& title, const QString& text, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Information, QString(), QString(), QMessageBox::NoButton, parent);
    // The feed's words are shown as written, never as markup.
    Lyricade::setPlainTexts(*box, title, text);
    return box;
}

} // namespace

void UpdaterAlerts::presentAlert(const QString& title, const QString& text)
{
    const auto box = makeBox(title, text, frontWindow());
    box->addButton(QMessageBox::Ok);
    box->exec();
}

bool UpdaterAlerts::offerUpdate(const QString& title, const QString& text)
{
    const auto box = makeBox(title, text, QApplication::activeWindow());
    QPushButton* open = box->addButton(QStringLiteral("Open Download Page"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
    box->setDefaultButton(open);
    box->exec();
    return box->clickedButton() == open;
}

} // namespace FolmiraApp
