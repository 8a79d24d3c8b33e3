// Controls that go off for a while take back the keyboard focus their going
// off sent elsewhere, unless the user has moved on.

#include "FolmiraApp/Views/FocusKeeper.h"
#include "tests/HangGuardQt.h"

#include <QApplication>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace FolmiraAppTest {
namespace {

TEST(FocusKeeperTest, TheFocusComesBackUnlessTheUserMovedOn)
{
    struct Case {
        const char* what;
        int focused;          // 0 export, 1 print, 2 other, before both go off
        bool userMoves;       // the user moves the focus while they are off
        int focusedAfter;     // once both are on again
    };
    const Case cases[] = {
        {"on Export", 0, false, 0},
        {"on Print", 1, false, 1},
        {"elsewhere", 2, false, 2},
        {"on Export, the user moving on", 0, true, 3},
    };
    for (const Case& c : cases) {
        QWidget window;
        auto* column = new QVBoxLayout(&window);
        std::vector<QPushButton*> buttons;
        for (const char* text : {"Export", "Print", "Other", "Further"}) {
            buttons.push_back(new QPushButton(QString::fromLatin1(text), &window));
            column->addWidget(buttons.back());
        }
        FolmiraApp::keepFocusWhileOff(buttons[0]);
        FolmiraApp::keepFocusWhileOff(buttons[1]);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(HangGuard::windowActive(&window)) << c.what;
        buttons[c.focused]->setFocus();
        ASSERT_TRUE(buttons[c.focused]->hasFocus()) << c.what;

        buttons[0]->setEnabled(false);
        buttons[1]->setEnabled(false);
        EXPECT_FALSE(buttons[0]->hasFocus() || buttons[1]->hasFocus()) << c.what;
        if (c.userMoves) buttons[3]->setFocus();
        buttons[0]->setEnabled(true);
        buttons[1]->setEnabled(true);
        EXPECT_EQ(QApplication::focusWidget(), buttons[c.focusedAfter]) << c.what;
    }
}

} // namespace
} // namespace FolmiraAppTest
