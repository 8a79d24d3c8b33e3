// The songbook side's tests need an application object for timers, queued
// calls, accessibility and dialogs; this main replaces GoogleTest's own.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Listing the tests runs this program without the tests' environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
