// The songbook side's tests need an application object for timers, queued
// calls, accessibility and dialogs; this main replaces GoogleTest's own.

#include <QApplication>
#include <QFont>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Listing the tests runs this program without the tests' environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Tests that measure text measure it in a face the set-up installs, not
    // in whatever the desktop's sans-serif happens to be.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("DejaVu Sans")});
    QApplication::setFont(font);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
