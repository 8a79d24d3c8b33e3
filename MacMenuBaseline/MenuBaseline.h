#pragma once

// Two standard pieces of a menu bar: "Close Window" (Ctrl+W) in the File menu
// and a Help menu headed by "<application name> Help", followed by the
// application's own help items. It knows nothing of the application: the
// application hands it the close action, the help item and the extra items.

#include <QKeySequence>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QMenuBar;

namespace MacMenuBaseline {

struct CloseWindowAction {
    std::function<void()> run;

    // The active window's ordinary close (its closeEvent may refuse); nothing
    // when no window is active.
    static CloseWindowAction perform();
    // The close guard's Close Window command (CloseGuard::closeKeyWindow).
    static CloseWindowAction guarded();
};

struct MenuHelp {
    QString appName;
    std::optional<QKeySequence> shortcut;
    std::function<void()> action;

    static MenuHelp forAction(QString appName, std::optional<QKeySequence> shortcut, std::function<void()> action);
    // Opens `url` with the desktop's handler; carries no shortcut.
    static MenuHelp page(const QUrl& url, QString appName);
};

class MenuBaseline {
public:
    // Adds the application's own help items below the first one.
    using HelpItems = std::function<void(QMenu&)>;

    MenuBaseline(CloseWindowAction close, std::optional<MenuHelp> help, HelpItems helpItems = {});

    const CloseWindowAction& close() const { return close_; }
    const std::optional<MenuHelp>& help() const { return help_; }

    // "Close Window" with Ctrl+W, inserted before `before` (at the end when
    // null); the action is owned by the menu.
    QAction* addCloseWindow(QMenu& fileMenu, QAction* before = nullptr) const;

    // With a help item: a "Help" menu appended to the bar, headed by
    // "<appName> Help" with its shortcut, then the extra items. Without one the
    // bar is left alone and the extra items are not shown; null is returned.
    QMenu* addHelpMenu(QMenuBar& bar) const;

    // Both of the above, in that order.
    void apply(QMenuBar& bar, QMenu& fileMenu, QAction* beforeSave = nullptr) const;

private:
    CloseWindowAction close_;
    std::optional<MenuHelp> help_;
    HelpItems helpItems_;
};

} // namespace MacMenuBaseline
