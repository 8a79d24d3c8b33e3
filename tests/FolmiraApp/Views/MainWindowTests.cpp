// The main window around both modes: the mode picker, which content is shown,
// the title, the welcome sheet on a first launch only, help requests, and the
// word it sends once its first paint is over.

#include "../Fakes.h"

#include "FolmiraApp/Views/DocumentView.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/ModePicker.h"
#include "FolmiraApp/Views/WelcomeView.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>

namespace FolmiraAppTest {
namespace {

class MainWindowTest : public ModelTest {
protected:
    void TearDown() override
    {
        window.reset();
        ModelTest::TearDown();
    }

    // A window over a model made from the defaults as they stand; its
    // Songbook mode shows a label and puts one item of its own in the toolbar.
    MainWindow& open(bool welcomeSeen = true)
    {
        if (welcomeSeen) defaults->setValue("welcomeSeen", true);
        make();
        window = std::make_unique<MainWindow>(*model, [this](QWidget* parent, QToolBar* bar) -> QWidget* {
            ++songbooksMade;
            songbookItem = bar->addAction(QStringLiteral("Import"));
            return new QLabel(QStringLiteral("songbook pane"), parent);
        });
        return *window;
    }

    bool showActive()
    {
        window->show();
        window->activateWindow();
        return HangGuard::windowActive(window.get());
    }

    // The picker's centre in window coordinates, against the window's own.
    int offCentre() const
    {
        ModePicker* picker = window->modePicker();
        return picker->mapTo(window.get(), picker->rect().center()).x() - window->width() / 2;
    }

    std::unique_ptr<MainWindow> window;
    int songbooksMade = 0;
    QAction* songbookItem = nullptr;
};

TEST_F(MainWindowTest, ThePickerNamesBothModesAndTheirKeys)
{
    auto& w = open();
    ModePicker* picker = w.modePicker();
    EXPECT_EQ(picker->segment(DocKind::document)->text(), "Document");
    EXPECT_EQ(picker->segment(DocKind::songbook)->text(), "Songbook");
    for (DocKind kind : allDocKinds) {
        EXPECT_FALSE(picker->segment(kind)->icon().isNull());
        EXPECT_EQ(picker->segment(kind)->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        EXPECT_TRUE(picker->segment(kind)->toolTip().isEmpty()) << "the picker's own tooltip shows over it";
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(picker)->text(QAccessible::Name), "What to make");
    // One choice of two: a named group of radio buttons, the chosen one checked.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(picker)->role(), QAccessible::Grouping);
    for (DocKind kind : allDocKinds) {
        QAccessibleInterface* reads = QAccessible::queryAccessibleInterface(picker->segment(kind));
        EXPECT_EQ(reads->role(), QAccessible::RadioButton);
        EXPECT_EQ(reads->parent()->object(), picker);
        EXPECT_TRUE(reads->state().checkable);
        EXPECT_EQ(reads->state().checked, kind == DocKind::document);
        // An assistive tool may focus the one Tab stop.
        const QStringList actions = reads->actionInterface()->actionNames();
        EXPECT_EQ(actions.contains(QAccessibleActionInterface::setFocusAction()), kind == DocKind::document);
    }
    EXPECT_EQ(picker->toolTip(),
              "A document in large print, or a large-print songbook from chord sheets (Alt+1 / Alt+2)");
}

TEST_F(MainWindowTest, ThePickerAndTheModelFollowEachOther)
{
    auto& w = open();
    ASSERT_TRUE(showActive());
    EXPECT_EQ(w.modePicker()->selected(), DocKind::document);
    w.modePicker()->segment(DocKind::songbook)->click();
    EXPECT_EQ(model->kind(), DocKind::songbook);
    EXPECT_EQ(defaults->value("docKind").toString(), "songbook");
    // The menu's way: the model changes, the picker shows it.
    model->setKind(DocKind::document);
    EXPECT_EQ(w.modePicker()->selected(), DocKind::document);
    // The keyboard's way: Tab reaches the chosen segment alone, the arrows move the choice and the focus.
    w.modePicker()->segment(DocKind::document)->setFocus(Qt::TabFocusReason);
    const struct {
        Qt::Key key;
        DocKind chosen;
    } steps[] = {{Qt::Key_Right, DocKind::songbook}, {Qt::Key_Left, DocKind::document}, {Qt::Key_Up, DocKind::songbook},
                 {Qt::Key_Down, DocKind::document}, {Qt::Key_Space, DocKind::document}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.key);
        QTest::keyClick(QApplication::focusWidget(), step.key);
        EXPECT_EQ(model->kind(), step.chosen);
        // Each mode's toolbar has a picker of its own: the one shown.
        ModePicker* picker = w.modePicker();
        EXPECT_EQ(picker->selected(), step.chosen);
        EXPECT_EQ(QApplication::focusWidget(), picker->segment(step.chosen));
        for (DocKind kind : allDocKinds)
            EXPECT_EQ(bool(picker->segment(kind)->focusPolicy() & Qt::TabFocus), kind == step.chosen);
    }
}

TEST_F(MainWindowTest, EachModeShowsItsContentAndTheSongbookIsMadeOnFirstUse)
{
    auto& w = open();
    EXPECT_EQ(w.currentContent(), w.documentView());
    EXPECT_EQ(songbooksMade, 0) << "Document mode alone never starts the songbook side";
    EXPECT_EQ(w.songbookPane(), nullptr);
    model->open(file("Minutes.txt"));
    auto* documentView = w.documentView();

    model->setKind(DocKind::songbook);
    ASSERT_NE(w.songbookPane(), nullptr);
    EXPECT_EQ(w.currentContent(), w.songbookPane());
    EXPECT_EQ(w.toolBar()->actions().contains(songbookItem), true);
    model->setKind(DocKind::document);
    model->setKind(DocKind::songbook);
    EXPECT_EQ(songbooksMade, 1);

    // Back in Document mode: the same view with the same document.
    model->setKind(DocKind::document);
    EXPECT_EQ(w.currentContent(), documentView);
    EXPECT_EQ(w.documentView()->title(), "Minutes.txt");
    EXPECT_FALSE(w.toolBar()->actions().contains(songbookItem));
}

TEST_F(MainWindowTest, TheTitleIsTheFilesInDocumentModeAndThePanesInSongbookMode)
{
    auto& w = open();
    EXPECT_EQ(w.windowTitle(), "Folmira");
    model->open(file("Minutes.docx"));
    EXPECT_EQ(w.windowTitle(), "Minutes.docx");
    model->setKind(DocKind::songbook);
    // The pane names the window after the book it shows, even an unnamed one.
    w.songbookPane()->setWindowTitle("Campfire Songs");
    EXPECT_EQ(w.windowTitle(), "Campfire Songs");
    w.songbookPane()->setWindowTitle("");
    EXPECT_EQ(w.windowTitle(), "") << "no product name in the empty name's place";
    model->setKind(DocKind::document);
    EXPECT_EQ(w.windowTitle(), "Minutes.docx");
}

TEST_F(MainWindowTest, ThePickerStaysAtTheCentreInBothModes)
{
    auto& w = open();
    w.show();
    // Wider than the test screen, as on an ordinary desktop.
    w.resize(MainWindow::defaultWindowSize);
    ASSERT_TRUE(HangGuard::waitFor([&] { return w.width() == MainWindow::defaultWindowSize.width(); }));
    QTest::qWait(50);
    EXPECT_LE(std::abs(offCentre()), 1);
    model->setKind(DocKind::songbook);
    QTest::qWait(50);
    EXPECT_TRUE(w.modePicker()->isVisible());
    EXPECT_LE(std::abs(offCentre()), 1);
    EXPECT_EQ(w.modePicker()->selected(), DocKind::songbook);
}

TEST_F(MainWindowTest, TheWelcomeSheetComesOnAFirstLaunchOnly)
{
    auto& first = open(false);
    EXPECT_EQ(first.welcomeSheet(), nullptr) << "not before the window is up";
    first.show();
    ASSERT_NE(first.welcomeSheet(), nullptr);
    EXPECT_TRUE(first.welcomeSheet()->isVisible());
    EXPECT_EQ(first.welcomeSheet()->parentWidget(), &first);
    first.welcomeSheet()->closeButton()->click();
    ASSERT_TRUE(HangGuard::waitFor([&] { return first.welcomeSheet() == nullptr; }));

    // The next launch.
    window.reset();
    auto& second = open(false);
    second.show();
    QTest::qWait(20);
    EXPECT_EQ(second.welcomeSheet(), nullptr);

    // Asked for again (Help menu, Settings): one sheet, however often.
    model->setShowWelcome(true);
    WelcomeView* sheet = second.welcomeSheet();
    ASSERT_NE(sheet, nullptr);
    model->setShowWelcome(false);
    EXPECT_EQ(second.welcomeSheet(), nullptr);
    model->setShowWelcome(true);
    EXPECT_EQ(second.welcomeSheet(), sheet);
    EXPECT_EQ(second.findChildren<WelcomeView*>().size(), 1);
}

TEST_F(MainWindowTest, AFirstLaunchInSongbookModeShowsTheSheetOverThePane)
{
    defaults->setValue("docKind", "songbook");
    auto& w = open(false);
    w.show();
    EXPECT_EQ(w.currentContent(), w.songbookPane());
    EXPECT_EQ(w.modePicker()->selected(), DocKind::songbook);
    ASSERT_NE(w.welcomeSheet(), nullptr);
    QSignalSpy imports(&w, &MainWindow::importWanted);
    w.welcomeSheet()->importButton()->click();
    ASSERT_TRUE(imports.wait(HangGuard::scaled(1000)));
    EXPECT_EQ(model->kind(), DocKind::songbook);
}

TEST_F(MainWindowTest, EveryHelpRequestAsksForTheHelpWindow)
{
    make();
    model->requestHelp(HelpTopic::books); // before the window: nothing to open at launch
    window = std::make_unique<MainWindow>(*model);
    QSignalSpy wanted(window.get(), &MainWindow::helpWanted);
    EXPECT_EQ(wanted.size(), 0);
    model->requestHelp(HelpTopic::keys);
    model->requestHelp(HelpTopic::keys);
    EXPECT_EQ(wanted.size(), 2);
    EXPECT_EQ(model->helpPage(), HelpTopic::keys);
}

TEST_F(MainWindowTest, TheFirstPaintIsReportedOnceAndTheIconFollows)
{
    // An application test earlier in this process may have set the application's icon.
    QApplication::setWindowIcon(QIcon());
    MainWindow& w = open();
    QSignalSpy painted(&w, &MainWindow::firstPainted);
    EXPECT_TRUE(w.windowIcon().isNull());
    w.show();
    ASSERT_TRUE(painted.wait(HangGuard::scaled(2000)));
    EXPECT_FALSE(w.windowIcon().isNull());
    w.repaint();
    QTest::qWait(700); // past the fallback for a window that never paints
    EXPECT_EQ(painted.size(), 1);
}

TEST_F(MainWindowTest, AWindowThatNeverPaintsReportsAnyway)
{
    // As when started minimised: shown, but no paint reaches it.
    struct NoPaint : QObject {
        bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Paint; }
    } noPaint;
    MainWindow& w = open();
    w.installEventFilter(&noPaint);
    QSignalSpy painted(&w, &MainWindow::firstPainted);
    QElapsedTimer clock;
    clock.start();
    w.show();
    ASSERT_TRUE(painted.wait(HangGuard::scaled(3000)));
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_FALSE(w.windowIcon().isNull());
    w.removeEventFilter(&noPaint);
}

} // namespace
} // namespace FolmiraAppTest
