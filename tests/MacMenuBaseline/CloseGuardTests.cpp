// The close guard's veto over the close button and Close Window, and the two
// readers.

#include "MacMenuBaseline/CloseGuard.h"
#include "tests/HangGuardQt.h"

#include <QAction>
#include <QCloseEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QUndoGroup>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace MacMenuBaseline;

// A window that counts its own close events.
class Window : public QMainWindow {
public:
    int ownCloses = 0;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++ownCloses;
        QMainWindow::closeEvent(event);
    }
};

class CloseGuardTest : public testing::Test {
protected:
    void SetUp() override
    {
        guard.shouldClose = [this] {
            ++asked;
            return answer;
        };
        window.show();
    }
    void activate(QWidget& w)
    {
        w.show();
        w.activateWindow();
        ASSERT_TRUE(HangGuard::windowActive(&w));
    }

    CloseGuard guard;
    Window window;
    bool answer = false;
    int asked = 0;
};

TEST_F(CloseGuardTest, AVetoKeepsTheWindowOpenWhateverClosesIt)
{
    guard.install(&window);
    activate(window);
    EXPECT_FALSE(window.close()); // what the window manager's close button does
    EXPECT_FALSE(guard.request(&window));
    guard.closeKeyWindow();
    guard.closeClicked();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(asked, 4);
}

TEST_F(CloseGuardTest, AnAgreedCloseSkipsTheWindowsOwnCloseEvent)
{
    answer = true;
    guard.install(&window);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.ownCloses, 0);
    EXPECT_EQ(asked, 1);

    window.show();
    EXPECT_TRUE(guard.request(&window));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(asked, 2); // closing it did not ask a second time
}

TEST_F(CloseGuardTest, InstallingTwiceAsksOncePerClose)
{
    answer = true;
    guard.install(&window);
    guard.install(&window);
    window.close();
    EXPECT_EQ(asked, 1);
}

TEST_F(CloseGuardTest, CloseWindowGivesAnyOtherWindowItsOrdinaryClose)
{
    Window other;
    guard.install(&window);
    activate(other);
    guard.closeKeyWindow();
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(other.ownCloses, 1);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(CloseGuardTest, ASenderThatIsNoWidgetActsOnTheGuardedWindow)
{
    answer = true;
    QAction menuItem("Close");
    guard.install(&window);
    guard.closeClicked(&menuItem);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(CloseGuardTest, AWidgetSenderClosesItsOwnWindow)
{
    answer = true;
    Window other;
    auto* button = new QPushButton("Close", &other);
    other.show();
    guard.install(&window);
    guard.closeClicked(button);
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(other.ownCloses, 0);
    EXPECT_TRUE(window.isVisible());

    // Closing an unguarded window directly leaves it unguarded afterwards.
    other.show();
    EXPECT_TRUE(other.close());
    EXPECT_EQ(other.ownCloses, 1);
}

TEST_F(CloseGuardTest, MovingTheGuardKeepsTheFirstWindowJudged)
{
    Window second;
    second.show();
    guard.install(&window);
    guard.install(&second);
    EXPECT_EQ(guard.guarded(), &second);
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    answer = true;
    guard.closeClicked(new QPushButton(&window)); // judged, then closed directly
    EXPECT_FALSE(window.isVisible());
    window.show();
    answer = false;
    EXPECT_FALSE(window.close()); // still routed to the guard after that
}

TEST_F(CloseGuardTest, ADestroyedWindowLeavesTheGuardEmpty)
{
    auto doomed = std::make_unique<Window>();
    guard.install(doomed.get());
    doomed.reset();
    EXPECT_EQ(guard.guarded(), nullptr);
    guard.closeClicked(); // nothing to act on
    EXPECT_EQ(asked, 0);
}

TEST(WindowReader, ReportsTheWindowWhenTheProbeEntersItAndOnEveryUpdate)
{
    QMainWindow window;
    auto* probe = new QWidget;
    QList<QWidget*> found;
    auto* reader = new WindowReader(probe, [&](QWidget* w) { found << w; });
    reader->update([&](QWidget* w) { found << w; });
    EXPECT_TRUE(found.isEmpty()); // not in a window yet

    window.setCentralWidget(probe);
    ASSERT_FALSE(found.isEmpty());
    EXPECT_EQ(found.back(), &window);
    const auto seen = found.size();
    reader->update([&](QWidget* w) { found << w; });
    EXPECT_EQ(found.size(), seen + 1);
    EXPECT_EQ(found.back(), &window);
}

TEST(WindowReader, GuardingAViewInstallsTheSharedGuardOnItsWindow)
{
    QMainWindow window;
    auto* view = new QWidget;
    guardsWindowClose(view);
    window.setCentralWidget(view);
    EXPECT_EQ(CloseGuard::shared().guarded(), &window);
}

TEST(WindowUndoManagerReader, ReportsTheCurrentStackThenEachChange)
{
    QUndoGroup group;
    QUndoStack first(&group), second(&group);
    QList<QUndoStack*> found;
    new WindowUndoManagerReader(group, [&](QUndoStack* stack) { found << stack; });
    group.setActiveStack(&first);
    group.setActiveStack(&second);
    group.setActiveStack(nullptr);
    EXPECT_EQ(found, (QList<QUndoStack*>{nullptr, &first, &second, nullptr}));
}

} // namespace
