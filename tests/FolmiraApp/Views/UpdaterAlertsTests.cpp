// The updater's alert comes up over Folmira's window, brought to the front
// even when another program had it hidden.

#include "FolmiraApp/Views/UpdaterAlerts.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(UpdaterAlertsTest, TheWindowComesToTheFrontBeforeTheAlert)
{
    QMainWindow main;
    main.resize(400, 300);
    main.showMinimized();
    QApplication::processEvents();
    QApplication::setActiveWindow(nullptr); // the user is in another program
    ASSERT_TRUE(main.isMinimized());

    QWidget* parent = nullptr;
    QString shown;
    bool restored = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        parent = box->parentWidget();
        shown = box->text() + " / " + box->informativeText();
        restored = !main.isMinimized();
        box->accept();
    });
    FolmiraApp::UpdaterAlerts().presentAlert("You’re up to date", "Folmira 1.0 is the newest version.");
    EXPECT_EQ(parent, &main);
    EXPECT_TRUE(restored);
    EXPECT_EQ(shown, "You’re up to date / Folmira 1.0 is the newest version.");
}

} // namespace
