// The Close Window item and the Help menu built into a real menu bar.

#include "MacMenuBaseline/MenuBaseline.h"
#include "tests/HangGuardQt.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace MacMenuBaseline;

// Receives the URLs that QDesktopServices would hand to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

TEST(MenuBaseline, CloseWindowGoesBeforeTheGivenItemWithCtrlW)
{
    int closes = 0;
    MenuBaseline baseline(CloseWindowAction{[&] { ++closes; }}, std::nullopt);
    QMenu file;
    QAction* open = file.addAction("Open…");
    QAction* save = file.addAction("Save…");
    QAction* close = baseline.addCloseWindow(file, save);

    ASSERT_EQ(file.actions(), (QList<QAction*>{open, close, save}));
    EXPECT_EQ(close->text(), "Close Window");
    EXPECT_EQ(close->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    close->trigger();
    EXPECT_EQ(closes, 1);
}

TEST(MenuBaseline, TheHelpMenuStartsWithTheApplicationsHelpThenItsItems)
{
    int helps = 0;
    auto help = MenuHelp::forAction("Folmira", QKeySequence(Qt::CTRL | Qt::Key_Question), [&] { ++helps; });
    MenuBaseline baseline(CloseWindowAction::perform(), help, [](QMenu& menu) {
        menu.addAction("Keyboard Shortcuts");
        menu.addSeparator();
        menu.addAction("Try a Sample");
    });
    QMenuBar bar;
    QMenu* file = bar.addMenu("&File");
    baseline.apply(bar, *file);

    ASSERT_EQ(bar.actions().size(), 2);
    QMenu* menu = bar.actions().at(1)->menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "&Help");
    const auto items = menu->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), "Folmira Help");
    EXPECT_EQ(items[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Question));
    EXPECT_EQ(items[1]->text(), "Keyboard Shortcuts");
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), "Try a Sample");
    items[0]->trigger();
    EXPECT_EQ(helps, 1);
    EXPECT_EQ(file->actions().size(), 1);
}

TEST(MenuBaseline, WithoutHelpTheBarGetsNoHelpMenuAndNoExtraItems)
{
    bool built = false;
    MenuBaseline baseline(CloseWindowAction::perform(), std::nullopt, [&](QMenu&) { built = true; });
    QMenuBar bar;
    EXPECT_EQ(baseline.addHelpMenu(bar), nullptr);
    EXPECT_TRUE(bar.actions().isEmpty());
    EXPECT_FALSE(built);
}

TEST(MenuBaseline, AHelpPageHasNoShortcutAndOpensItsAddress)
{
    UrlCatcher catcher;
    MenuBaseline baseline(CloseWindowAction::perform(), MenuHelp::page(QUrl("https://example.org/help"), "Notebook"));
    QMenuBar bar;
    QMenu* menu = baseline.addHelpMenu(bar);
    ASSERT_NE(menu, nullptr);
    QAction* first = menu->actions().front();
    EXPECT_EQ(first->text(), "Notebook Help");
    EXPECT_TRUE(first->shortcut().isEmpty());
    first->trigger();
    EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl("https://example.org/help")});
}

TEST(CloseWindowAction, PerformClosesTheActiveWindowOnly)
{
    QMainWindow active, other;
    other.show();
    active.show();
    active.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&active));
    CloseWindowAction::perform().run();
    EXPECT_FALSE(active.isVisible());
    EXPECT_TRUE(other.isVisible());
}

} // namespace

#include "MenuBaselineTests.moc"
