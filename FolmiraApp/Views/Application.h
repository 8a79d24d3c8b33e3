#pragma once

// The top of the program: the one document model (persisted in the user's
// defaults), the main window with its menu bar, the help and Settings windows
// and the welcome sheet, and the files handed over on the command line. The
// application quits when its last window closes, on Quit, and on SIGTERM or
// SIGINT; on the way out the songbook library is written.

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/Commands.h"

#include <QStringList>

#include <memory>

namespace FolmiraApp {

class HelpWindow;
class MainWindow;
class MenuBar;
class QtPanels;
class QuitSignals;
class SettingsWindow;
class WelcomeView;

class Application {
public:
    // Creates the model with persistence on and the main window at its
    // default size with its menu bar, and keeps the model in the shared slot.
    // `services` fills in what the model is not given here (tests).
    explicit Application(AppServices services = {});
    ~Application();

    // Shows the main window, starts the update schedule and routes the files
    // given as arguments.
    void start(const QStringList& files);

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
    void showAbout();
    void presentWelcome();
    void aboutToQuit();

    std::shared_ptr<QtPanels> panels_;
    std::shared_ptr<QSettings> defaults_;
    std::unique_ptr<AppModel> model_;
    std::unique_ptr<MainWindow> window_;
    MenuBar* menuBar_ = nullptr;
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<SettingsWindow> settings_;
    WelcomeView* welcome_ = nullptr; // the main window's child, made on first use
    std::unique_ptr<QuitSignals> quitSignals_;
};

} // namespace FolmiraApp
