// Folmira: large-print copies of documents.

#include "FolmiraApp/Model/SingleInstance.h"
#include "FolmiraApp/Views/Application.h"
#include "FolmiraApp/Views/StartupFonts.h"
#include "Platform/PdfHelper/WorkerConfine.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>

int main(int argc, char** argv)
{
    // No other process of the user may read the documents open here, nor trace this one.
    Platform::WorkerConfine::hideMemory();
    // Declared before the fonts' thread so that it goes after it: the thread
    // reads the toolkit's fonts while the application object lives.
    std::optional<QApplication> app;
    FolmiraApp::StartupFonts fonts;
    app.emplace(argc, argv);
    fonts.applicationMade();
    FolmiraApp::Application::identifyProcess();
    FolmiraApp::Application::applyLook();
    QCoreApplication::setApplicationVersion(QStringLiteral(FOLMIRA_VERSION));

    QStringList files = QCoreApplication::arguments();
    files.removeFirst();
    // One Folmira per user, so that two never both hold the song library: a
    // later one hands its files to the running one and ends.
    FolmiraApp::SingleInstance instance;
    if (instance.claim(files) == FolmiraApp::SingleInstance::Role::handedOver) return 0;

    // Also catches SIGTERM, SIGINT and SIGHUP, which then quit like "Quit Folmira".
    FolmiraApp::Application folmira;
    folmira.acceptHandOvers(instance);
    folmira.start(files);
    const int status = QApplication::exec();

    // Reads and renders stop at their next page or block once cancelled; one
    // stuck inside a single step longer than that would hold the model's
    // destruction up. Everything the user keeps is on disk once the defaults
    // are written, so past the wait, leave at once.
    if (!folmira.model().stopWork(400)) {
        folmira.model().syncDefaults();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
