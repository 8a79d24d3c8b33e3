// Not a check: shows one window on a real screen so that it can be looked at
// (FOLMIRA_SHOW_WINDOW=help|settings|welcome); skipped otherwise.

#include "../Fakes.h"

#include "FolmiraApp/Views/HelpWindow.h"
#include "FolmiraApp/Views/SettingsWindow.h"
#include "FolmiraApp/Views/WelcomeView.h"

#include <QMainWindow>

namespace FolmiraAppTest {
namespace {

using ShowWindow = ModelTest;

TEST_F(ShowWindow, ForALook)
{
    const QString which = qEnvironmentVariable("FOLMIRA_SHOW_WINDOW");
    if (which.isEmpty()) GTEST_SKIP() << "set FOLMIRA_SHOW_WINDOW to look at a window";
    make();
    QMainWindow main;
    main.resize(1360, 860);
    std::unique_ptr<QWidget> shown;
    if (which == "help") {
        model->setHelpPage(FolmiraKit::fromString<HelpTopic>(qEnvironmentVariable("FOLMIRA_SHOW_PAGE").toStdString())
                               .value_or(HelpTopic::start));
        shown = std::make_unique<HelpWindow>(*model);
    } else if (which == "settings") {
        defaults->setValue("settingsTab", qEnvironmentVariable("FOLMIRA_SHOW_PAGE"));
        shown = std::make_unique<SettingsWindow>(*model, defaults);
    } else {
        main.show();
        shown = std::make_unique<WelcomeView>(*model, &main);
    }
    shown->show();
    QTest::qWait(60000);
    SUCCEED();
}

} // namespace
} // namespace FolmiraAppTest
