#pragma once

// The main window's menu bar, for both modes: the application menu, File,
// View, Format, the songbook side's Song and Book, and Help. The items are
// made once from the command table; their labels, enabled states and check
// marks are worked out again in one place whenever the model changes, so the
// shortcuts always match what the menus show. The shortcuts answer in every
// window of the application (Help and Settings too), and come before a text
// field's own Emacs-style keys; the help keys answer over a sheet too.
// Building it starts the songbook side.

#include "FolmiraApp/Model/Commands.h"

#include <QMenuBar>

#include <utility>
#include <memory>
#include <vector>

class QKeyEvent;

namespace Lyricade {
class SongMenus;
}

namespace FolmiraApp {

class AppModel;

class MenuBar : public QMenuBar {
    Q_OBJECT

public:
    MenuBar(AppModel& model, const WindowCommands& window, QWidget* parent = nullptr);
    ~MenuBar() override;

    // The top-level menus by title without its mnemonic ("File", "Help"); null when absent.
    QMenu* menuTitled(const QString& title) const;
    Lyricade::SongMenus* songMenus() const { return songMenus_; }

    // Labels, enabled states and check marks from the model now.
    void refresh();

private:
    void reachEveryWindow();
    // The application's key events, before any control takes them.
    bool filterKeys(QEvent* event);
    bool answersTo(QKeyCombination keys) const;
    bool asksForHelp(const QKeyEvent& key) const;

    QMenu* addMenuFor(const QString& title);
    void addRows(QMenu& menu, CommandGroup group);
    void addSubmenu(QMenu& menu, const Command& command);

    AppModel& model_;
    std::vector<Command> commands_;
    std::vector<std::pair<const Command*, QAction*>> actions_;
    // Every item with a shortcut, the Song and Book menus' and Help's included.
    std::vector<QAction*> shortcutItems_;
    Lyricade::SongMenus* songMenus_ = nullptr;
    QAction* helpItem_ = nullptr;
    // The application's filter for the bar's keys: gone with the bar's own
    // members, before the bar is half destroyed.
    std::unique_ptr<QObject> keys_;
};

} // namespace FolmiraApp
