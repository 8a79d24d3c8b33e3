// Folmira: large-print copies of documents.

#include "FolmiraApp/Views/Application.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Where QSettings keeps the defaults: ~/.config/Folmira/Folmira.conf. The
    // display name stays unset, or X11 would add it to every window title.
    QCoreApplication::setOrganizationName(QStringLiteral("Folmira"));
    QCoreApplication::setApplicationName(QStringLiteral("Folmira"));
    // Lets the desktop match the windows to the entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("folmira"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FOLMIRA_VERSION));
    QApplication::setQuitOnLastWindowClosed(true);

    // Also catches SIGTERM and SIGINT, which then quit like "Quit Folmira".
    FolmiraApp::Application folmira;
    QStringList files = QCoreApplication::arguments();
    files.removeFirst();
    folmira.start(files);
    const int status = QApplication::exec();

    // A read or render of a huge or endless file cannot be cancelled, and the
    // model would wait for it before the process ends. Everything the user
    // keeps is on disk once the defaults are written, so leave at once.
    if (folmira.model().hasRunningWork()) {
        folmira.model().syncDefaults();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
