#pragma once

// The top of the program: the one document model (persisted in the user's
// defaults), the main window with its menu bar, the help and Settings windows
// (at most one of each), the files handed over on the command line or by a
// later `folmira`, and the updater started once after launch. The
// application quits when its last window closes, on Quit, and on SIGTERM,
// SIGINT or SIGHUP; on the way out the songbook library is written.

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/Commands.h"

#include <QObject>
#include <QStringList>

class QToolBar;
class QWidget;

#include <filesystem>
#include <memory>
#include <vector>

namespace FolmiraApp {

class HelpWindow;
class MainWindow;
class MenuBar;
class QtPanels;
class QuitSignals;
class SettingsWindow;
class SingleInstance;

class Application : public QObject {
    Q_OBJECT

public:
    // What the process is known by, once the QApplication exists and before
    // anything reads the defaults: the names that place them in
    // ~/.config/Folmira/Folmira.conf, the desktop entry its windows belong to,
    // and quitting with the last window.
    static void identifyProcess();

    // The look of every window, before the first is made: the desktop's
    // style with a focus ring that people with low vision can follow, and
    // its palette with every text colour readable on its surface.
    static void applyLook();

    // Creates the model with persistence on and the main window at its
    // default size with its menu bar, and keeps the model in the shared slot.
    // `services` fills in what the model is not given here (tests).
    explicit Application(AppServices services = {});
    ~Application() override;

    // Shows the main window, routes the files given as arguments, and starts
    // the update schedule.
    void start(const QStringList& files);

    // Files from a later `folmira`: the window comes to the front, then the
    // files are routed as at start.
    void acceptHandOvers(SingleInstance& instance);
    void receive(const QStringList& files);

    // The first file decides: a song file (.cho .chopro .chordpro .crd .pro,
    // any case) switches to Songbook mode and imports them all; anything else
    // switches to Document mode and opens the first only.
    void route(const std::vector<std::filesystem::path>& urls);

    AppModel& model() { return *model_; }
    MainWindow& window() { return *window_; }
    MenuBar& menuBar() { return *menuBar_; }
    // Made on first use.
    HelpWindow& helpWindow();
    SettingsWindow& settingsWindow();

    // The model of the running application; null before one is made.
    static AppModel* sharedModel();

private:
    WindowCommands windowCommands();
    QWidget* makeSongbookPane(QWidget* parent, QToolBar* toolBar);
    void raiseWindow();
    void showAbout();
    void aboutToQuit();

    std::shared_ptr<QtPanels> panels_;
    std::shared_ptr<QSettings> defaults_;
    std::unique_ptr<AppModel> model_;
    std::unique_ptr<MainWindow> window_;
    MenuBar* menuBar_ = nullptr;
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<SettingsWindow> settings_;
    std::unique_ptr<QuitSignals> quitSignals_;
};

} // namespace FolmiraApp
