#pragma once

// The application's own menu commands as one table: for each item its menu,
// its label (which may follow the mode or the model), its shortcut, when it is
// enabled, whether it shows a check mark, and what choosing it does. One
// command set serves both modes: an item that exists in both reads the mode
// again when it runs, and the songbook-only items switch to Songbook mode
// before they act. The menu bar turns the rows into actions; the Close Window
// item, the Help menu's first item and the "Song" and "Book" menus come from
// their own modules.

#include "FolmiraApp/Model/Kinds.h"

#include <QKeySequence>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace FolmiraApp {

class AppModel;

// The commands that need windows of their own; the view layer supplies them.
struct WindowCommands {
    std::function<void()> about;
    std::function<void()> checkForUpdates;
    std::function<void()> settings;
    std::function<void()> quit;
};

// Where a row goes. The File menu holds the New group, then Close Window,
// then the Save group (its Print item included).
enum class CommandGroup { application, fileNew, fileSave, view, format, help };

struct Command {
    CommandGroup group = CommandGroup::application;
    // Empty: a separator.
    std::function<QString(AppModel&)> label;
    QKeySequence shortcut;
    // Empty: always enabled.
    std::function<bool(AppModel&)> enabled;
    // Set: a check-mark toggle showing this state.
    std::function<bool(AppModel&)> checked;
    // What choosing the item does; a toggle gets its new state.
    std::function<void(AppModel&, bool checked)> run;
    // Set: a submenu with one item per name; choosing one runs runItem.
    std::function<QStringList(AppModel&)> items;
    std::function<void(AppModel&, const QString& name)> runItem;

    bool isSeparator() const { return !label; }
    bool isToggle() const { return static_cast<bool>(checked); }
    bool isSubmenu() const { return static_cast<bool>(items); }
};

// Every row, in menu order within each group.
std::vector<Command> appCommands(const WindowCommands& window);

// The preset at position `index` (from 0) answers to Ctrl and its digit, for
// the first nine; later ones have no shortcut.
QKeySequence presetShortcut(std::size_t index);

} // namespace FolmiraApp
