#include "FolmiraApp/Model/Commands.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/QtText.h"

namespace FolmiraApp {

namespace {

using Lyricade::SongController;
using Settings = FolmiraKit::LargePrintSettings;
using Run = std::function<void(AppModel&, bool)>;

bool isSongbook(AppModel& model) { return model.kind() == DocKind::songbook; }

std::function<QString(AppModel&)> fixed(const QString& text)
{
    return [text](AppModel&) { return text; };
}

// The first text in Document mode, the second in Songbook mode.
std::function<QString(AppModel&)> byMode(const QString& document, const QString& songbook)
{
    return [document, songbook](AppModel& model) { return isSongbook(model) ? songbook : document; };
}

// The mode is read when the item runs, not when the menu was built.
Run runByKind(std::function<void(AppModel&)> document, std::function<void(SongController&)> songbook)
{
    return [document, songbook](AppModel& model, bool) {
        if (isSongbook(model))
            songbook(model.songs());
        else
            document(model);
    };
}

// Songbook-only items bring Songbook mode up first.
Run runSongAction(std::function<void(SongController&)> action)
{
    return [action](AppModel& model, bool) {
        model.setKind(DocKind::songbook);
        action(model.songs());
    };
}

Run runOnModel(std::function<void(AppModel&)> action)
{
    return [action](AppModel& model, bool) { action(model); };
}

Run runWindow(const std::function<void()>& action)
{
    return [action](AppModel&, bool) {
        if (action) action();
    };
}

using Label = std::function<QString(AppModel&)>;
using Enabled = std::function<bool(AppModel&)>;

Command item(CommandGroup group, Label label, QKeySequence shortcut, Run run, Enabled enabled = {})
{
    Command command;
    command.group = group;
    command.label = std::move(label);
    command.shortcut = std::move(shortcut);
    command.run = std::move(run);
    command.enabled = std::move(enabled);
    return command;
}

// A check-mark toggle over one Boolean field of the settings.
Command settingsToggle(const QString& label, bool Settings::*field, QKeySequence shortcut, Enabled enabled)
{
    Command command = item(CommandGroup::format, fixed(label), std::move(shortcut), {}, std::move(enabled));
    command.checked = [field](AppModel& model) { return model.settings().*field; };
    command.run = [field](AppModel& model, bool on) {
        auto settings = model.settings();
        settings.*field = on;
        model.setSettings(settings);
    };
    return command;
}

Command separator(CommandGroup group)
{
    Command command;
    command.group = group;
    return command;
}

QKeySequence keys(QKeyCombination combination) { return QKeySequence(combination); }

void addApplicationRows(std::vector<Command>& rows, const WindowCommands& window)
{
    const auto app = CommandGroup::application;
    const QString name = qstr(FolmiraKit::Brand::name);
    rows.push_back(item(app, fixed(QStringLiteral("About %1").arg(name)), {}, runWindow(window.about)));
    rows.push_back(item(app, fixed(QStringLiteral("Check for Updates…")), {}, runWindow(window.checkForUpdates)));
    rows.push_back(separator(app));
    rows.push_back(
        item(app, fixed(QStringLiteral("Settings…")), keys(Qt::CTRL | Qt::Key_Comma), runWindow(window.settings)));
    rows.push_back(separator(app));
    rows.push_back(
        item(app, fixed(QStringLiteral("Quit %1").arg(name)), keys(Qt::CTRL | Qt::Key_Q), runWindow(window.quit)));
}

void addFileRows(std::vector<Command>& rows)
{
    const auto add = CommandGroup::fileNew;
    rows.push_back(item(add, byMode(QStringLiteral("Open…"), QStringLiteral("Import Songs…")),
                        keys(Qt::CTRL | Qt::Key_O),
                        runByKind(&AppModel::chooseDocument, &SongController::importPanel)));
    rows.push_back(item(add, fixed(QStringLiteral("Close Document")), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_W),
                        runOnModel(&AppModel::closeDocument),
                        [](AppModel& model) { return !isSongbook(model) && model.fileURL().has_value(); }));
    rows.push_back(separator(add));
    rows.push_back(item(add, fixed(QStringLiteral("New Song")), keys(Qt::CTRL | Qt::Key_N),
                        runSongAction(&SongController::newSong)));
    rows.push_back(item(add, fixed(QStringLiteral("New Songbook")), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                        runSongAction(&SongController::newSongbook)));
    rows.push_back(item(add, fixed(QStringLiteral("New Set List")), keys(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_N),
                        runSongAction(&SongController::newSetList)));
    rows.push_back(separator(add));
    rows.push_back(item(add, fixed(QStringLiteral("Import Tunequill Library…")), {},
                        runOnModel(&AppModel::importTunequillLibrary)));

    const auto save = CommandGroup::fileSave;
    rows.push_back(separator(save));
    rows.push_back(item(save, byMode(QStringLiteral("Export Large-Print PDF…"), QStringLiteral("Export PDF…")),
                        keys(Qt::CTRL | Qt::Key_E),
                        runByKind(&AppModel::exportPDF, [](SongController& songs) { songs.exportBook(false); }),
                        &AppModel::hasOutput));
    // Never in Document mode, so it needs no look at the mode when it runs.
    rows.push_back(item(
        save, fixed(QStringLiteral("Export Booklet…")), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
        [](AppModel& model, bool) { model.songs().exportBook(true); },
        [](AppModel& model) { return isSongbook(model) && model.hasOutput(); }));
    rows.push_back(item(save, byMode(QStringLiteral("Print Large-Print Copy…"), QStringLiteral("Print…")),
                        keys(Qt::CTRL | Qt::Key_P), runByKind(&AppModel::printCopy, &SongController::print),
                        &AppModel::hasPrintableOutput));
}

void addFormatRows(std::vector<Command>& rows)
{
    const auto format = CommandGroup::format;
    rows.push_back(item(format, fixed(QStringLiteral("Bigger Text")), keys(Qt::CTRL | Qt::Key_Equal),
                        runByKind(&AppModel::biggerText, &SongController::bigger)));
    rows.push_back(item(format, fixed(QStringLiteral("Smaller Text")), keys(Qt::CTRL | Qt::Key_Minus),
                        runByKind(&AppModel::smallerText, &SongController::smaller)));
    rows.push_back(separator(format));
    const auto& presets = FolmiraKit::LargePrintPreset::all();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const auto& preset = presets[i];
        rows.push_back(item(format, fixed(qstr(preset.name)), presetShortcut(i),
                            [preset](AppModel& model, bool) { model.applyPreset(preset); }));
    }
    rows.push_back(separator(format));
    rows.push_back(settingsToggle(QStringLiteral("High Contrast"), &Settings::highContrast,
                                  keys(Qt::CTRL | Qt::SHIFT | Qt::Key_H), {}));
    const auto documentOnly = [](AppModel& model) { return !isSongbook(model); };
    rows.push_back(settingsToggle(QStringLiteral("Page Numbers"), &Settings::pageNumbers, {}, documentOnly));
    rows.push_back(settingsToggle(QStringLiteral("Pictures"), &Settings::keepImages, {}, documentOnly));
}

void addViewRows(std::vector<Command>& rows)
{
    const auto view = CommandGroup::view;
    rows.push_back(item(view, fixed(QStringLiteral("Document")), keys(Qt::ALT | Qt::Key_1),
                        runOnModel([](AppModel& model) { model.setKind(DocKind::document); })));
    rows.push_back(item(view, fixed(QStringLiteral("Songbook")), keys(Qt::ALT | Qt::Key_2),
                        runOnModel([](AppModel& model) { model.setKind(DocKind::songbook); })));
    rows.push_back(separator(view));
    rows.push_back(item(
        view,
        [](AppModel& model) {
            return model.inspectorShown() ? QStringLiteral("Hide Settings") : QStringLiteral("Show Settings");
        },
        keys(Qt::CTRL | Qt::ALT | Qt::Key_I), runOnModel(&AppModel::toggleInspector)));
}

// The items below the Help menu's first one.
void addHelpRows(std::vector<Command>& rows)
{
    const auto help = CommandGroup::help;
    const auto helpOn = [](HelpTopic topic) {
        return runOnModel([topic](AppModel& model) { model.requestHelp(topic); });
    };
    rows.push_back(item(help, fixed(QStringLiteral("Songbooks and Set Lists")), {}, helpOn(HelpTopic::songs)));
    rows.push_back(item(help, fixed(QStringLiteral("Keyboard Shortcuts")), {}, helpOn(HelpTopic::keys)));
    rows.push_back(separator(help));
    Command samples = item(help, fixed(QStringLiteral("Try a Sample")), {}, {});
    samples.items = [](AppModel& model) { return model.sampleNames(); };
    samples.runItem = [](AppModel& model, const QString& name) {
        model.setKind(DocKind::document);
        model.openSample(name);
    };
    rows.push_back(samples);
    rows.push_back(
        item(help, fixed(QStringLiteral("About Song Licensing…")), {}, runSongAction(&SongController::showLicensing)));
    rows.push_back(item(help, fixed(QStringLiteral("Show the Welcome Screen")), {},
                        runOnModel([](AppModel& model) { model.setShowWelcome(true); })));
}

} // namespace

QKeySequence presetShortcut(std::size_t index)
{
    if (index >= 9) return {};
    return QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + static_cast<int>(index)));
}

std::vector<Command> appCommands(const WindowCommands& window)
{
    std::vector<Command> rows;
    addApplicationRows(rows, window);
    addFileRows(rows);
    addViewRows(rows);
    addFormatRows(rows);
    addHelpRows(rows);
    return rows;
}

} // namespace FolmiraApp
