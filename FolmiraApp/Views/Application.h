#pragma once

// The top of the program: the one document model (persisted in the user's
// defaults), the three windows (main, help, Settings; at most one of each),
// the files handed over on the command line or by a later `folmira`, the
// updater started once after launch, and the song library written at quit.
// The application quits when its last window closes.

#include "FolmiraApp/Model/AppModel.h"

#include <QObject>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <vector>

namespace FolmiraApp {

class HelpWindow;
class MainWindow;
class QtPanels;
class SettingsWindow;
class SingleInstance;

class Application : public QObject {
    Q_OBJECT

public:
    // Creates the model with persistence on and the main window at its
    // default size, and keeps the model in the shared slot. Services left
    // empty get the real ones (Qt's dialogs among them).
    explicit Application(AppServices services = {});
    ~Application() override;

    // Shows the main window, routes the files given as arguments, and starts
    // the updater once the event loop runs.
    void start(const QStringList& files);

    // Files from a later `folmira`: the window comes to the front, then the
    // files are routed as at start.
    void acceptHandOvers(SingleInstance& instance);
    void receive(const QStringList& files);

    // The first file decides: a song file (.cho .chopro .chordpro .crd .pro,
    // any case) switches to Songbook mode and imports them all; anything else
    // switches to Document mode and opens the first only.
    void route(const std::vector<std::filesystem::path>& urls);

    // Shows the window, or brings it to the front when it is open.
    void presentHelp();
    void presentSettings();

    // Writes the song library at once when the songbook side was started.
    void writeSongLibrary();

    AppModel& model() { return *model_; }
    MainWindow& window() { return *window_; }
    HelpWindow* helpWindow() const { return help_.get(); }
    SettingsWindow* settingsWindow() const { return settings_.get(); }

    // The model of the running application; null before one is made.
    static AppModel* sharedModel();

private:
    void raiseWindow();

    std::shared_ptr<QtPanels> panels_;
    std::shared_ptr<QSettings> defaults_;
    std::unique_ptr<AppModel> model_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<SettingsWindow> settings_;
};

} // namespace FolmiraApp
