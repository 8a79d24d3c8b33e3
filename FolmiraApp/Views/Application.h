#pragma once

// The top of the program: the one document model (persisted in the user's
// defaults), the main window and the dialogs, and the files handed over on
// the command line. The application quits when its last window closes.

#include "FolmiraApp/Model/AppModel.h"

#include <QStringList>

#include <memory>

namespace FolmiraApp {

class MainWindow;
class QtPanels;

class Application {
public:
    // Creates the model with persistence on and the main window at its
    // default size, and keeps the model in the shared slot.
    Application();
    ~Application();

    // Shows the main window and routes the files given as arguments.
    void start(const QStringList& files);

    AppModel& model() { return *model_; }
    MainWindow& window() { return *window_; }

    // The model of the running application; null before one is made.
    static AppModel* sharedModel();

private:
    std::shared_ptr<QtPanels> panels_;
    std::unique_ptr<AppModel> model_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace FolmiraApp
