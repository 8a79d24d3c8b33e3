#include "FolmiraApp/Views/MenuBar.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/QtText.h"
#include "Lyricade/Views/SongMenus.h"
#include "MacMenuBaseline/MenuBaseline.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>

#include <functional>

namespace FolmiraApp {

namespace {

QString withoutMnemonic(QString title)
{
    return title.remove(u'&');
}

} // namespace

MenuBar::MenuBar(AppModel& model, const WindowCommands& window, QWidget* parent)
    : QMenuBar(parent), model_(model), commands_(appCommands(window))
{
    setObjectName(QStringLiteral("menuBar"));
    const QString name = qstr(FolmiraKit::Brand::name);

    // "File" takes F for its mnemonic, so the application menu takes another letter.
    addRows(*addMenuFor(name.left(3) + u'&' + name.mid(3)), CommandGroup::application);

    const MacMenuBaseline::MenuBaseline baseline(
        MacMenuBaseline::CloseWindowAction::perform(),
        MacMenuBaseline::MenuHelp::forAction(name, QKeySequence(Qt::CTRL | Qt::Key_Question),
                                             [&model] { model.requestHelp(HelpTopic::start); }),
        [this](QMenu& help) { addRows(help, CommandGroup::help); });
    QMenu* file = addMenuFor(QStringLiteral("&File"));
    addRows(*file, CommandGroup::fileNew);
    baseline.addCloseWindow(*file);
    addRows(*file, CommandGroup::fileSave);
    addRows(*addMenuFor(QStringLiteral("&View")), CommandGroup::view);
    addRows(*addMenuFor(QStringLiteral("F&ormat")), CommandGroup::format);
    // The menus start the songbook side only when they need it; the
    // application starts it anyway once the window has painted.
    songMenus_ = new Lyricade::SongMenus([&model]() -> Lyricade::SongController& { return model.songs(); },
                                         model_.kind() == DocKind::songbook, *this);
    // As the Help menu's item: the sheet belongs to Songbook mode's view.
    songMenus_->setShowSongbook([&model] { model.setKind(DocKind::songbook); });
    QMenu* help = baseline.addHelpMenu(*this);
    // F1 is the Linux desktops' key for help, beside the baseline's Ctrl+?.
    helpItem_ = help->actions().constFirst();
    helpItem_->setShortcuts({helpItem_->shortcut(), QKeySequence(Qt::Key_F1)});

    for (auto signal : {&AppModel::kindChanged, &AppModel::fileURLChanged, &AppModel::copyReadyChanged,
                        &AppModel::showInspectorChanged, &AppModel::settingsChanged})
        connect(&model_, signal, this, &MenuBar::refresh);
    const auto watchSongs = [this] {
        connect(&model_.songs(), &Lyricade::SongController::changed, this, &MenuBar::refresh);
    };
    if (model_.songsStarted()) watchSongs();
    else connect(&model_, &AppModel::songsStartedChanged, this, watchSongs, Qt::SingleShotConnection);
    reachEveryWindow();
    refresh();
}

namespace {

// Hears the application's events for the bar. An object of its own: QMenuBar
// puts itself among the application's filters while Alt is down and takes
// itself off after, and with it the bar's own filter, so that after the first
// Alt a text field's claim on Ctrl+E went unanswered.
class KeysFilter final : public QObject {
public:
    explicit KeysFilter(std::function<bool(QObject*, QEvent*)> filter) : filter_(std::move(filter))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return filter_(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> filter_;
};

} // namespace

void MenuBar::reachEveryWindow()
{
    for (QMenu* menu : findChildren<QMenu*>())
        for (QAction* action : menu->actions()) {
            if (action->shortcut().isEmpty()) continue;
            // A modal dialog still blocks them: Qt checks modality for this context too.
            action->setShortcutContext(Qt::ApplicationShortcut);
            shortcutItems_.push_back(action);
        }
    keys_ = std::make_unique<KeysFilter>([this](QObject*, QEvent* event) { return filterKeys(event); });
    qApp->installEventFilter(keys_.get());
}

bool MenuBar::answersTo(QKeyCombination keys) const
{
    const QKeySequence pressed(keys);
    for (QAction* action : shortcutItems_)
        if (action->isEnabled() && action->shortcuts().contains(pressed)) return true;
    return false;
}

bool MenuBar::asksForHelp(const QKeyEvent& key) const
{
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    const QList<QKeySequence> keys = helpItem_->shortcuts();
    // Ctrl+? is typed with Shift on most keyboards.
    return keys.contains(QKeySequence(QKeyCombination(mods, Qt::Key(key.key())))) ||
           keys.contains(QKeySequence(QKeyCombination(mods & ~Qt::ShiftModifier, Qt::Key(key.key()))));
}

bool MenuBar::filterKeys(QEvent* event)
{
    // A sheet over the main window blocks the menu bar's shortcuts; a help key
    // that reaches a control as a key press was taken by no shortcut. Help
    // opens beside the sheet, which stays: only an application-modal dialog
    // would block the help window as well.
    if (event->type() == QEvent::KeyPress && asksForHelp(*static_cast<QKeyEvent*>(event))) {
        const QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->windowModality() == Qt::WindowModal) {
            helpItem_->trigger();
            return true;
        }
    }
    // A line edit claims Ctrl+E (end of line), Ctrl+A and their kin before the
    // shortcuts are tried; leaving the event unclaimed lets the menu item run.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if ((mods & (Qt::ControlModifier | Qt::AltModifier)) && answersTo(QKeyCombination(mods, Qt::Key(key->key())))) {
            event->ignore();
            return true;
        }
    }
    return false;
}

MenuBar::~MenuBar() = default;

QMenu* MenuBar::addMenuFor(const QString& title)
{
    QMenu* menu = addMenu(title);
    menu->setObjectName(withoutMnemonic(title).toLower());
    return menu;
}

QMenu* MenuBar::menuTitled(const QString& title) const
{
    for (QAction* action : actions())
        if (action->menu() && withoutMnemonic(action->text()) == title) return action->menu();
    return nullptr;
}

void MenuBar::addRows(QMenu& menu, CommandGroup group)
{
    for (const Command& command : commands_) {
        if (command.group != group) continue;
        if (command.isSeparator()) {
            menu.addSeparator();
            continue;
        }
        if (command.isSubmenu()) {
            addSubmenu(menu, command);
            continue;
        }
        QAction* action = menu.addAction(command.label(model_));
        QList<QKeySequence> shortcuts{command.shortcut};
        // Ctrl and "+" read as bigger too: Shift and "=" on most keyboards (X11
        // hands that over as Ctrl++; a Ctrl+Shift+= of its own would make the
        // key ambiguous), and the keypad's "+".
        if (command.shortcut == QKeySequence(Qt::CTRL | Qt::Key_Equal)) shortcuts << QKeySequence(Qt::CTRL | Qt::Key_Plus);
        action->setShortcuts(command.shortcut.isEmpty() ? QList<QKeySequence>{} : shortcuts);
        action->setCheckable(command.isToggle());
        connect(action, &QAction::triggered, this, [this, &command](bool checked) { command.run(model_, checked); });
        actions_.emplace_back(&command, action);
    }
}

void MenuBar::addSubmenu(QMenu& menu, const Command& command)
{
    QMenu* submenu = menu.addMenu(command.label(model_));
    for (const QString& name : command.items(model_)) {
        // Shown without the extension, opened by the whole name.
        QAction* item = submenu->addAction(QFileInfo(name).completeBaseName());
        connect(item, &QAction::triggered, this, [this, &command, name] { command.runItem(model_, name); });
    }
    actions_.emplace_back(&command, submenu->menuAction());
}

void MenuBar::refresh()
{
    for (const auto& [command, action] : actions_) {
        action->setText(command->label(model_));
        action->setEnabled(!command->enabled || command->enabled(model_));
        if (command->isToggle()) action->setChecked(command->checked(model_));
    }
    songMenus_->setEnabled(model_.kind() == DocKind::songbook);
}

} // namespace FolmiraApp
