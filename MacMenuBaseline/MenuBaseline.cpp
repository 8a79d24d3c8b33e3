#include "MacMenuBaseline/MenuBaseline.h"

#include "MacMenuBaseline/CloseGuard.h"
#include "MacMenuBaseline/Localization.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace MacMenuBaseline {

CloseWindowAction CloseWindowAction::perform()
{
    return {[] {
        if (QWidget* window = QApplication::activeWindow()) window->close();
    }};
}

CloseWindowAction CloseWindowAction::guarded()
{
    return {[] { CloseGuard::shared().closeKeyWindow(); }};
}

MenuHelp MenuHelp::forAction(QString appName, std::optional<QKeySequence> shortcut, std::function<void()> action)
{
    return {std::move(appName), std::move(shortcut), std::move(action)};
}

MenuHelp MenuHelp::page(const QUrl& url, QString appName)
{
    return {std::move(appName), std::nullopt, [url] { QDesktopServices::openUrl(url); }};
}

MenuBaseline::MenuBaseline(CloseWindowAction close, std::optional<MenuHelp> help, HelpItems helpItems)
    : close_(std::move(close)), help_(std::move(help)), helpItems_(std::move(helpItems))
{
}

QAction* MenuBaseline::addCloseWindow(QMenu& fileMenu, QAction* before) const
{
    auto* action = new QAction(Localization::closeWindowTitle(), &fileMenu);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    QObject::connect(action, &QAction::triggered, action, [run = close_.run] {
        if (run) run();
    });
    fileMenu.insertAction(before, action);
    return action;
}

QMenu* MenuBaseline::addHelpMenu(QMenuBar& bar) const
{
    if (!help_) return nullptr;
    QMenu* menu = bar.addMenu(QStringLiteral("&Help"));
    menu->setObjectName(QStringLiteral("help"));
    QAction* first = menu->addAction(Localization::helpTitle(help_->appName));
    if (help_->shortcut) first->setShortcut(*help_->shortcut);
    QObject::connect(first, &QAction::triggered, first, [run = help_->action] {
        if (run) run();
    });
    if (helpItems_) helpItems_(*menu);
    return menu;
}

void MenuBaseline::apply(QMenuBar& bar, QMenu& fileMenu, QAction* beforeSave) const
{
    addCloseWindow(fileMenu, beforeSave);
    addHelpMenu(bar);
}

} // namespace MacMenuBaseline
