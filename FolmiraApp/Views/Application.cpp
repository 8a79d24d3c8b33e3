#include "FolmiraApp/Views/Application.h"

#include "FolmiraApp/Model/OpenedFiles.h"
#include "FolmiraApp/Model/SingleInstance.h"
#include "FolmiraApp/Model/Updater.h"
#include "FolmiraApp/Views/HelpWindow.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/QtPanels.h"
#include "FolmiraApp/Views/SettingsWindow.h"
#include "FolmiraApp/Views/UpdaterAlerts.h"
#include "FolmiraKit/FolmiraKit.h"
#include "Platform/Resources.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

namespace FolmiraApp {

namespace {
QPointer<AppModel> shared;
}

Application::Application(AppServices services)
{
    FolmiraKit::LargePrintFont::registerBundledFonts();
    if (!services.panels) {
        panels_ = std::make_shared<QtPanels>();
        services.panels = panels_;
    }
    if (!services.samplesFolder) services.samplesFolder = Platform::Resources::path("Samples");
    defaults_ = services.defaults;
    model_ = std::make_unique<AppModel>(true, services);
    window_ = std::make_unique<MainWindow>(*model_);
    if (panels_) {
        panels_->setWindow(window_.get());
        panels_->setCurrentFile([model = QPointer<AppModel>(model_.get())]() -> std::optional<std::filesystem::path> {
            if (!model) return std::nullopt;
            return model->fileURL();
        });
    }
    connect(window_.get(), &MainWindow::helpWanted, this, &Application::presentHelp);
    // Also on the way out of a quit that closed no window (Ctrl+Q).
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &Application::writeSongLibrary);
    shared = model_.get();
}

Application::~Application()
{
    help_.reset();
    settings_.reset();
    window_.reset();
    model_.reset();
}

void Application::start(const QStringList& files)
{
    window_->show();
    receive(files);
    // After launch, once: the scheduled checks run on their own from then on.
    QTimer::singleShot(0, this, [] {
        Updater& updater = Updater::shared();
        updater.setUi(std::make_shared<UpdaterAlerts>());
        updater.startSchedule();
    });
}

void Application::acceptHandOvers(SingleInstance& instance)
{
    connect(&instance, &SingleInstance::filesReceived, this, [this](const QStringList& files) {
        raiseWindow();
        receive(files);
    });
}

void Application::receive(const QStringList& files)
{
    std::vector<std::filesystem::path> urls;
    for (const auto& file : files) urls.emplace_back(QFileInfo(file).absoluteFilePath().toStdString());
    route(urls);
}

void Application::route(const std::vector<std::filesystem::path>& urls)
{
    routeOpenedFiles(*model_, urls, {});
}

void Application::raiseWindow()
{
    window_->show();
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->raise();
    window_->activateWindow();
}

void Application::presentHelp()
{
    if (!help_) help_ = std::make_unique<HelpWindow>(*model_);
    help_->present();
}

void Application::presentSettings()
{
    if (!settings_) settings_ = std::make_unique<SettingsWindow>(*model_, defaults_);
    settings_->present();
}

void Application::writeSongLibrary()
{
}

AppModel* Application::sharedModel()
{
    return shared.data();
}

} // namespace FolmiraApp
