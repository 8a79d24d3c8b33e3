// The floor for the start-up benchmark: a program linked to Qt Widgets alone
// that shows an empty main window of the size Folmira's takes: the one given,
// cut to the screen's free area. With a third argument "text" the window
// shows one line of text, and so also reads the system's fonts.

#include "FirstPaint.h"

#include <QLabel>
#include <QMainWindow>
#include <QScreen>

#include <string_view>

int main(int argc, char** argv)
{
    const auto start = StartupSample::FirstPaint::Clock::now();
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    QMainWindow window;
    const QSize wanted(std::atoi(argv[1]), std::atoi(argv[2]));
    window.resize(wanted.boundedTo(window.screen()->availableGeometry().size()));
    if (argc > 3 && std::string_view(argv[3]) == "text") window.setCentralWidget(new QLabel("Drop a document"));
    StartupSample::FirstPaint watch(&window, start);
    window.show();
    return QApplication::exec();
}
