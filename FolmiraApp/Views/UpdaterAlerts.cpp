#include "FolmiraApp/Views/UpdaterAlerts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace FolmiraApp {

namespace {

std::unique_ptr<QMessageBox> makeBox(const QString& title, const QString& text)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Information, QString(), title, QMessageBox::NoButton,
                                             QApplication::activeWindow());
    box->setInformativeText(text);
    return box;
}

} // namespace

void UpdaterAlerts::presentAlert(const QString& title, const QString& text)
{
    const auto box = makeBox(title, text);
    box->addButton(QMessageBox::Ok);
    box->exec();
}

bool UpdaterAlerts::offerUpdate(const QString& title, const QString& text)
{
    const auto box = makeBox(title, text);
    QPushButton* open = box->addButton(QStringLiteral("Open Download Page"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
    box->setDefaultButton(open);
    box->exec();
    return box->clickedButton() == open;
}

} // namespace FolmiraApp
