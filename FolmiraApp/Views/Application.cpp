#include "FolmiraApp/Views/Application.h"

#include "FolmiraApp/Model/CheckedSettings.h"
#include "FolmiraApp/Model/OpenedFiles.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Model/QuitSignals.h"
#include "FolmiraApp/Model/SingleInstance.h"
#include "FolmiraApp/Model/Updater.h"
#include "FolmiraApp/Views/AppIcon.h"
#include "FolmiraApp/Views/HelpWindow.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/MenuBar.h"
#include "FolmiraApp/Views/QtPanels.h"
#include "FolmiraApp/Views/SettingsWindow.h"
#include "FolmiraApp/Views/UpdaterAlerts.h"
#include "FolmiraKit/FolmiraKit.h"
#include "Lyricade/Panels/QtSongPanels.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/FocusInView.h"
#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/SongRootView.h"
#include "Lyricade/Views/SongbookPane.h"
#include "MacMenuBaseline/Localization.h"
#include "Platform/PdfHelper/PdfWorkerProcess.h"
#include "Platform/Resources.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <QToolBar>
#include <QWidgetAction>

namespace FolmiraApp {

namespace {

QPointer<AppModel> shared;

// The songbook side's open panel, modal over the main window once it exists.
class WindowSongPanels final : public Lyricade::SongPanels {
public:
    void setWindow(QWidget* window) { window_ = window; }

    std::optional<std::vector<std::filesystem::path>> chooseSongFiles(const QString& message, const QString& prompt,
                                                                      const QStringList& nameFilters) override
    {
        return Lyricade::QtSongPanels(window_.data()).chooseSongFiles(message, prompt, nameFilters);
    }

private:
    QPointer<QWidget> window_;
};

// The alert waits for the event loop to be free: the write that failed runs inside it.
void alertWhenSettingsFail(CheckedSettings& defaults, const std::shared_ptr<Panels>& panels)
{
    defaults.onFailure([weak = std::weak_ptr<Panels>(panels)](const QString& text, const QString& detail) {
        QTimer::singleShot(0, qApp, [weak, text, detail] {
            if (const auto panels = weak.lock()) panels->alert(text, detail);
        });
    });
}

} // namespace

void Application::identifyProcess()
{
    // The display name stays unset, or X11 would add it to every window title.
    QCoreApplication::setOrganizationName(QStringLiteral("Folmira"));
    QCoreApplication::setApplicationName(QStringLiteral("Folmira"));
    // Lets the desktop match the windows to the entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("folmira"));
    QApplication::setQuitOnLastWindowClosed(true);
    // Folmira is shown in English only, so the baseline's menu texts are too.
    MacMenuBaseline::Localization::setApplicationLanguages({QStringLiteral("en")});
    // Before the first window: popup menus, windows and combo boxes as screen readers expect them.
    Lyricade::installDesktopAccessible();
}

void Application::applyLook()
{
    QApplication::setStyle(new Lyricade::FocusRing::Style);
    // After the style, which brings its own palette.
    QApplication::setPalette(Lyricade::FontRole::readablePalette(QApplication::palette()));
}

Application::Application(AppServices services)
{
    // First of all: a signal that came while the windows were being made
    // would otherwise end the program without writing the library.
    quitSignals_ = std::make_unique<QuitSignals>();
    // Before any songbook controller exists: the name its messages and PDFs carry.
    Lyricade::SongController::configure(qstr(FolmiraKit::Brand::name));
    FolmiraKit::LargePrintFont::registerBundledFonts();
    // The panels keep their folders beside the model's own defaults.
    std::shared_ptr<CheckedSettings> checkedDefaults;
    if (!services.defaults) services.defaults = checkedDefaults = std::make_shared<CheckedSettings>();
    if (!services.panels) {
        panels_ = std::make_shared<QtPanels>();
        panels_->setDefaults(services.defaults);
        services.panels = panels_;
    }
    defaults_ = services.defaults;
    if (checkedDefaults) alertWhenSettingsFail(*checkedDefaults, services.panels);
    if (!services.samplesFolder) services.samplesFolder = Platform::Resources::path("Samples");
    std::shared_ptr<WindowSongPanels> songPanels;
    if (!services.songServices.panels) {
        songPanels = std::make_shared<WindowSongPanels>();
        services.songServices.panels = songPanels;
    }
    if (!services.songServices.announcer) services.songServices.announcer = Lyricade::qtAnnouncer();

    // In every window, the control that gets the focus is scrolled into view.
    Lyricade::keepFocusInView();
    model_ = std::make_unique<AppModel>(true, services);
    window_ = std::make_unique<MainWindow>(
        *model_, [this](QWidget* parent, QToolBar* toolBar) { return makeSongbookPane(parent, toolBar); });
    if (panels_) {
        panels_->setWindow(window_.get());
    }
    if (songPanels) songPanels->setWindow(window_.get());
    menuBar_ = new MenuBar(*model_, windowCommands(), window_.get());
    window_->setMenuBar(menuBar_);

    // The songbook side starts at launch in either mode (its library is read,
    // or made with the sample songs), but only once the window is on the
    // screen: its first paint need not wait for it.
    connect(window_.get(), &MainWindow::firstPainted, model_.get(), [model = model_.get()] { model->songs(); });
    // Every other window (alerts, panels) carries the icon too; decoded once the window is up.
    connect(window_.get(), &MainWindow::firstPainted, this, [] { QApplication::setWindowIcon(applicationIcon()); });
    connect(window_.get(), &MainWindow::helpWanted, this, [this] { helpWindow().present(); });
    connect(window_.get(), &MainWindow::importWanted, model_.get(), &AppModel::importTunequillLibrary);
    // Also on the way out of a quit that closed no window (Quit, SIGTERM).
    connect(qApp, &QCoreApplication::aboutToQuit, this, &Application::aboutToQuit);
    shared = model_.get();
}

Application::~Application()
{
    quitSignals_.reset();
    settings_.reset();
    help_.reset();
    window_.reset();
    model_.reset();
}

WindowCommands Application::windowCommands()
{
    WindowCommands commands;
    commands.about = [this] { showAbout(); };
    commands.checkForUpdates = [] { Updater::shared().checkForUpdates(); };
    commands.settings = [this] { settingsWindow().present(window_.get()); };
    commands.quit = [] { QCoreApplication::quit(); };
    return commands;
}

QWidget* Application::makeSongbookPane(QWidget* parent, QToolBar* toolBar)
{
    auto* pane = new Lyricade::SongbookPane(model_->songs(), defaults_, parent);
    // The pane's toolbar items join the window's toolbar, after the mode
    // picker; its own spacer stays behind with the emptied bar.
    QToolBar* own = pane->root()->toolBar();
    for (QAction* action : own->actions())
        if (!qobject_cast<QWidgetAction*>(action)) toolBar->addAction(action);
    own->hide();
    return pane;
}

void Application::start(const QStringList& files)
{
    window_->show();
    Updater::shared().setUi(std::make_shared<UpdaterAlerts>());
    Updater::shared().startSchedule();
    receive(files);
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
    routeOpenedFiles(*model_, urls, [this](const std::vector<std::filesystem::path>& songFiles) {
        model_->songs().importFiles(songFiles);
    });
}

void Application::raiseWindow()
{
    window_->show();
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->raise();
    window_->activateWindow();
    // A sheet over the window (the welcome) stays on top of it.
    if (QWidget* sheet = QApplication::activeModalWidget()) {
        sheet->raise();
        sheet->activateWindow();
    }
}

HelpWindow& Application::helpWindow()
{
    if (!help_) help_ = std::make_unique<HelpWindow>(*model_);
    return *help_;
}

SettingsWindow& Application::settingsWindow()
{
    if (!settings_) {
        settings_ = std::make_unique<SettingsWindow>(*model_, defaults_);
        connect(settings_.get(), &SettingsWindow::importRequested, model_.get(), &AppModel::importTunequillLibrary);
    }
    return *settings_;
}

void Application::showAbout()
{
    const QString name = qstr(FolmiraKit::Brand::name);
    QString text = QStringLiteral("<h3>%1</h3>").arg(name.toHtmlEscaped());
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty()) text += QStringLiteral("<p>Version %1</p>").arg(version.toHtmlEscaped());
    QMessageBox::about(window_.get(), QStringLiteral("About %1").arg(name), text);
}

void Application::aboutToQuit()
{
    // A PDF helper may have lost its own tie to the app: none outlives it.
    Platform::PdfWorkerProcess::endAll();
    // Pending library changes would otherwise wait for a save that never comes.
    if (model_->songsStarted()) model_->songs().writeLibrary();
}

AppModel* Application::sharedModel()
{
    return shared.data();
}

} // namespace FolmiraApp
