#include "FolmiraApp/Views/Application.h"

#include "FolmiraApp/Model/OpenedFiles.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/QtPanels.h"
#include "FolmiraKit/FolmiraKit.h"
#include "Platform/Resources.h"

#include <QFileInfo>
#include <QPointer>

namespace FolmiraApp {

namespace {
QPointer<AppModel> shared;
}

Application::Application() : panels_(std::make_shared<QtPanels>())
{
    FolmiraKit::LargePrintFont::registerBundledFonts();
    AppServices services;
    services.panels = panels_;
    services.samplesFolder = Platform::Resources::path("Samples");
    model_ = std::make_unique<AppModel>(true, services);
    window_ = std::make_unique<MainWindow>(*model_);
    panels_->setWindow(window_.get());
    panels_->setCurrentFile([model = QPointer<AppModel>(model_.get())]() -> std::optional<std::filesystem::path> {
        if (!model) return std::nullopt;
        return model->fileURL();
    });
    shared = model_.get();
}

Application::~Application()
{
    window_.reset();
    model_.reset();
}

void Application::start(const QStringList& files)
{
    window_->show();
    std::vector<std::filesystem::path> urls;
    for (const auto& file : files) urls.emplace_back(QFileInfo(file).absoluteFilePath().toStdString());
    routeOpenedFiles(*model_, urls, {});
}

AppModel* Application::sharedModel()
{
    return shared.data();
}

} // namespace FolmiraApp
