// Folmira: large-print copies of documents.

#include "FolmiraApp/Views/Application.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Where QSettings keeps the defaults: ~/.config/Folmira/Folmira.conf. The
    // display name stays unset, or X11 would add it to every window title.
    QCoreApplication::setOrganizationName(QStringLiteral("Folmira"));
    QCoreApplication::setApplicationName(QStringLiteral("Folmira"));
    QApplication::setQuitOnLastWindowClosed(true);

    FolmiraApp::Application folmira;
    QStringList files = QCoreApplication::arguments();
    files.removeFirst();
    folmira.start(files);
    return QApplication::exec();
}
