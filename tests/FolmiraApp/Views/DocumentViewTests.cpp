// The document window: its empty state, panes, status bar, toolbar, drops,
// sizes and title.

#include "../Fakes.h"
#include "AccessibleEvents.h"

#include "FolmiraApp/Model/Engine.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Views/DocumentView.h"
#include "FolmiraApp/Views/EmptyStateView.h"
#include "FolmiraApp/Views/MainWindow.h"
#include "FolmiraApp/Views/ModePicker.h"
#include "FolmiraApp/Views/PaneParts.h"
#include "FolmiraApp/Views/Panes.h"
#include "PdfView/Widgets/PdfPagesView.h"
#include "FolmiraApp/Views/SettingsPanel.h"
#include "FolmiraApp/Views/TextPane.h"
#include "Lyricade/Views/FocusRing.h"
#include "tests/HangGuardQt.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <functional>
#include <map>

namespace FolmiraAppTest {
namespace {

class DocumentViewTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        // Not a first launch: no welcome sheet over the window.
        defaults->setValue("welcomeSeen", true);
    }

    MainWindow& window()
    {
        if (!window_) window_ = std::make_unique<MainWindow>(model ? *model : make());
        return *window_;
    }
    DocumentView& view() { return *window().documentView(); }
    // The preview of a.txt rendered as `pages` Letter pages, in a shown window.
    PdfView::PdfPagesView* shownPreview(int pages)
    {
        make();
        window().show();
        engine->setPdf(letterPdf(pages));
        openAndSettle(file("a.txt"));
        return view().largePrintPane()->preview();
    }
    static bool showActive(QWidget& w)
    {
        w.show();
        w.activateWindow();
        return HangGuard::windowActive(&w);
    }

    void TearDown() override
    {
        window_.reset();
        ModelTest::TearDown();
    }

    static QStringList labels(QWidget* widget)
    {
        QStringList texts;
        for (auto* label : widget->findChildren<QLabel*>()) texts << label->text();
        return texts;
    }

    std::unique_ptr<MainWindow> window_;
};

TEST_F(DocumentViewTest, EmptyStateTexts)
{
    auto* empty = view().emptyState();
    EXPECT_EQ(view().documentArea(), empty);
    const auto texts = labels(empty);
    EXPECT_TRUE(texts.contains("Drop a document to make it large print"));
    EXPECT_TRUE(texts.contains("Text, Markdown, RTF, Word (.docx), or a PDF with text in it.\n"
                               "Recipes, bulletins, letters, menus, instructions, hymns."));
    EXPECT_EQ(empty->chooseButton()->text(), "Choose a Document…");
    EXPECT_TRUE(empty->chooseButton()->isDefault());
    QStringList buttons;
    for (auto* b : empty->findChildren<QAbstractButton*>()) buttons << b->text();
    EXPECT_TRUE(buttons.contains("Try a Sample"));
    EXPECT_TRUE(buttons.contains("Making a songbook from chord sheets? Switch to Songbook"));
    EXPECT_EQ(empty->accessibleName(), "Drop a document here, or choose one");
    EXPECT_TRUE(empty->errorLabel()->isHidden());
}

TEST_F(DocumentViewTest, ReturnChoosesADocumentInTheEmptyStateOnly)
{
    auto& w = window();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&w));
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_TRUE(HangGuard::waitFor([&] { return panels->openMessages.size() == 1; }));
    openAndSettle(file("Minutes.txt"));
    QTest::keyClick(&w, Qt::Key_Return);
    QTest::qWait(300);
    EXPECT_EQ(panels->openMessages.size(), 1);
}

TEST_F(DocumentViewTest, ReturnPressesTheFocusedButtonAndTheLinkShowsItsFocus)
{
    auto& w = window();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(&w));
    QPushButton* link = nullptr;
    for (auto* b : w.findChildren<QPushButton*>())
        if (b->text().endsWith("Switch to Songbook")) link = b;
    ASSERT_NE(link, nullptr);
    const auto edgeColour = [&] { return QColor(link->grab().toImage().pixel(link->width() / 2, 1)); };
    const QColor unfocused = edgeColour();
    link->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(edgeColour().rgb(), Lyricade::FocusRing::colour(link->palette()).rgb());
    EXPECT_NE(edgeColour(), unfocused);
    QTest::keyClick(link, Qt::Key_Return);
    EXPECT_EQ(model->kind(), DocKind::songbook) << "the focused link, not the file chooser";
    EXPECT_TRUE(panels->openMessages.isEmpty());
}

TEST_F(DocumentViewTest, EmptyStateSamplesAndSongbookLink)
{
    std::filesystem::create_directory(path("Samples"));
    for (const char* name : {"Recipe.txt", "Bulletin.md", ".hidden"}) writeFile(path("Samples") / name, "x");
    auto* menu = view().emptyState()->samplesMenu();
    emit menu->aboutToShow();
    QStringList titles;
    for (auto* action : menu->actions()) titles << action->text();
    EXPECT_EQ(titles, QStringList({"Bulletin", "Recipe"}));
    menu->actions()[1]->trigger();
    EXPECT_EQ(model->fileName(), "Recipe.txt");

    for (auto* b : view().emptyState()->findChildren<QPushButton*>())
        if (b->text().startsWith("Making a songbook")) b->click();
    EXPECT_EQ(model->kind(), DocKind::songbook);
}

TEST_F(DocumentViewTest, ARefusedKindShowsInTheEmptyState)
{
    make();
    view().dropFiles({QUrl::fromLocalFile(QString::fromStdString(file("Photo.png").string()))});
    QTest::qWait(10);
    EXPECT_EQ(view().documentArea(), view().emptyState());
    EXPECT_FALSE(view().emptyState()->errorLabel()->isHidden());
    EXPECT_TRUE(view().emptyState()->errorLabel()->text().contains("“Photo.png” isn’t one of those."));
}

TEST_F(DocumentViewTest, DropOutlineFollowsTheDrag)
{
    auto* empty = view().emptyState();
    EXPECT_FALSE(empty->targeted());
    const QColor idle = empty->outlineColor();
    EXPECT_NEAR(idle.alphaF(), 0.4, 0.01);
    empty->setTargeted(true);
    EXPECT_EQ(empty->outlineColor(), empty->palette().color(QPalette::Highlight));
}

TEST_F(DocumentViewTest, DragsOverTheDocumentSideOnly)
{
    make();
    auto& w = window();
    w.show();
    auto& v = view();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file("Drop.txt").string()))});
    const QPoint onEmpty = v.emptyState()->mapTo(&v, v.emptyState()->rect().center());
    const QPoint onInspector = v.inspector()->mapTo(&v, v.inspector()->rect().center());

    QDragEnterEvent enter(onEmpty, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(v.emptyState()->targeted());
    QDragMoveEvent move(onInspector, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &move);
    EXPECT_FALSE(move.isAccepted());
    EXPECT_FALSE(v.dropTargeted());
    QDragMoveEvent back(onEmpty, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &back);
    EXPECT_TRUE(back.isAccepted());
    EXPECT_TRUE(v.dropTargeted());

    QDropEvent drop(onEmpty, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &drop);
    EXPECT_FALSE(v.dropTargeted());
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->fileURL().has_value(); }));
    EXPECT_EQ(model->fileName(), "Drop.txt");
}

TEST_F(DocumentViewTest, OnlyTheFirstDroppedFileOpens)
{
    make();
    const QList<QUrl> urls{QUrl::fromLocalFile(QString::fromStdString(file("One.txt").string())),
                           QUrl::fromLocalFile(QString::fromStdString(file("Two.txt").string())),
                           QUrl::fromLocalFile(QString::fromStdString(file("Three.txt").string()))};
    EXPECT_FALSE(view().dropFiles({}));
    EXPECT_TRUE(view().dropFiles(urls));
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->preview() != nullptr; }));
    EXPECT_EQ(engine->reads(), 1);
    EXPECT_EQ(model->fileName(), "One.txt");
    // Not a local file: answered, nothing opened.
    EXPECT_TRUE(view().dropFiles({QUrl("https://example.com/a.txt")}));
    QTest::qWait(10);
    EXPECT_EQ(model->fileName(), "One.txt");
}

TEST_F(DocumentViewTest, ThePanesAreMadeWithTheFirstOpenFileAndKept)
{
    make();
    auto& w = window();
    w.show();
    EXPECT_EQ(view().panes(), nullptr);
    EXPECT_TRUE(w.findChildren<OriginalPane*>().isEmpty());
    EXPECT_TRUE(w.findChildren<LargePrintPane*>().isEmpty());

    // Opened before the window exists: the panes come with it.
    openAndSettle(file("a.txt"));
    MainWindow later(*model);
    ASSERT_NE(later.documentView()->panes(), nullptr);
    EXPECT_EQ(later.documentView()->documentArea(), later.documentView()->panes());

    auto* original = view().originalPane();
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(view().documentArea(), view().panes());
    EXPECT_EQ(original->shown(), original->textPane());
    EXPECT_EQ(view().largePrintPane()->shown(), view().largePrintPane()->preview());
    model->closeDocument();
    EXPECT_EQ(view().documentArea(), view().emptyState());
    openAndSettle(file("b.txt"));
    EXPECT_EQ(view().originalPane(), original);
    EXPECT_EQ(w.findChildren<OriginalPane*>().size(), 1);
    EXPECT_EQ(w.findChildren<LargePrintPane*>().size(), 1);
}

TEST_F(DocumentViewTest, PanesShowTheOriginalAndTheCopy)
{
    make();
    engine->holdRenders();
    model->open(file("Minutes.txt", "Hello"));
    EXPECT_EQ(view().documentArea(), view().panes());
    auto* original = view().originalPane();
    auto* copy = view().largePrintPane();
    EXPECT_EQ(original->header()->title(), "Original");
    EXPECT_EQ(copy->header()->title(), "Large print");
    EXPECT_EQ(original->header()->detail(), "Minutes.txt");
    EXPECT_EQ(original->shown(), original->textPane());
    EXPECT_EQ(copy->header()->detail(), "Reading…");
    EXPECT_EQ(copy->shown(), copy->progress());
    EXPECT_TRUE(labels(copy->progress()).contains("Making it large…"));
    EXPECT_TRUE(copy->updating()->isHidden());
    engine->releaseAll();
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->preview() != nullptr; }));
    EXPECT_EQ(copy->shown(), copy->preview());
    EXPECT_EQ(copy->header()->detail(), "18 pages · 18 pt Atkinson Hyperlegible");
    // Each header is one element to a screen reader, title and detail together.
    std::function<void(QAccessibleInterface*, QStringList&)> names = [&](QAccessibleInterface* at, QStringList& into) {
        into << at->text(QAccessible::Name);
        for (int i = 0; i < at->childCount(); ++i) names(at->child(i), into);
    };
    for (const auto& [header, read] : {std::pair{original->header(), QStringLiteral("Original, Minutes.txt")},
                                       std::pair{copy->header(), QStringLiteral("Large print, 18 pages · 18 pt Atkinson Hyperlegible")}}) {
        QAccessibleInterface* element = QAccessible::queryAccessibleInterface(header);
        EXPECT_EQ(element->role(), QAccessible::StaticText);
        EXPECT_EQ(element->text(QAccessible::Name), read);
        QStringList reached;
        names(QAccessible::queryAccessibleInterface(header->parentWidget()), reached);
        EXPECT_EQ(reached.count(read), 1);
        EXPECT_FALSE(reached.contains(header->title())) << "not read again by its parts";
        EXPECT_FALSE(reached.contains(header->detail())) << "not read again by its parts";
    }

    // A re-render over a preview: it stays, with the small indicator.
    engine->holdRenders();
    model->biggerText();
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->rendering(); }));
    EXPECT_EQ(copy->shown(), copy->preview());
    EXPECT_FALSE(copy->updating()->isHidden());
    EXPECT_EQ(copy->updating()->accessibleName(), "Updating the preview");
    engine->releaseAll();
    ASSERT_TRUE(HangGuard::waitFor([&] { return !model->rendering(); }));
    EXPECT_TRUE(copy->updating()->isHidden());
}

TEST_F(DocumentViewTest, ARefusalWinsOverAnEarlierPreview)
{
    make();
    openAndSettle(file("a.txt"));
    model->open(file("old.doc"));
    auto* copy = view().largePrintPane();
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->error().has_value(); }));
    EXPECT_EQ(copy->shown(), copy->refusal());
    EXPECT_TRUE(labels(copy->refusal()).contains("Folmira can’t make this one large"));
    EXPECT_EQ(copy->refusal()->message(), "Old Word files (.doc) can’t be read.");
    EXPECT_EQ(view().originalPane()->shown(), view().originalPane()->noPreview());
    EXPECT_TRUE(labels(view().originalPane()->noPreview()).contains("This file can’t be shown as it is."));
    EXPECT_EQ(copy->header()->detail(), "");
}

TEST_F(DocumentViewTest, StatusBarCountsTheNotesOfAnOpenFile)
{
    make();
    EXPECT_EQ(view().statusBar()->text(), "");
    openAndSettle(file("a.txt"));
    EXPECT_EQ(view().statusBar()->text(), "1 note in Settings");
    model->closeDocument();
    EXPECT_EQ(view().statusBar()->text(), "");
}

TEST_F(DocumentViewTest, AFontChangeIsAnnouncedOnceAndWhatItLeavesAloneIsNot)
{
    // A copy with two pictures left out, by the real engine: a note, a count
    // of notes and a header line, the note and the count the same in every font.
    AppServices given = services();
    given.engine = makeFolmiraEngine();
    model = std::make_unique<AppModel>(true, given);
    window().show();
    openAndSettle(file("Notes.md", "# Notes\n\n![a](missing.png)\n\n![b](https://example.com/b.png)\n\nThe end.\n"));
    ASSERT_EQ(model->notes().size(), 1u);
    const QString note = qstr(model->notes().front().message), count = view().statusBar()->text();
    QComboBox* fonts = view().inspector()->fontPicker();
    PaneHeader* header = view().largePrintPane()->header();
    for (const QString font : {"Verdana", "Arial"}) {
        SCOPED_TRACE(font.toStdString());
        AccessibleEvents heard;
        QSignalSpy rendered(model.get(), &AppModel::resultChanged);
        fonts->setCurrentIndex(fonts->findText(font));
        emit fonts->activated(fonts->currentIndex()); // as a choice in its list is
        ASSERT_TRUE(HangGuard::waitFor([&] { return !rendered.isEmpty() && !model->rendering() && model->preview(); }));
        QCoreApplication::processEvents();
        // Nothing is said twice of one object; Export and Print stay on while
        // the copy is made (no flicker: they wait for it).
        std::map<std::tuple<int, QAccessible::Id, QString>, int> said;
        for (const auto& event : heard.events())
            if (event.type != QAccessible::StateChanged) ++said[{int(event.type), event.about, event.text}];
        for (const auto& [event, times] : said)
            EXPECT_EQ(times, 1) << "event " << std::hex << std::get<0>(event) << ": " << std::get<2>(event).toStdString();
        const QString headerName = QAccessible::queryAccessibleInterface(header)->text(QAccessible::Name);
        ASSERT_TRUE(headerName.contains(font)) << headerName.toStdString();
        const struct {
            QAccessible::Event type;
            QString text;
            int times;
        } expected[] = {
            {QAccessible::NameChanged, headerName, 1},       // the copy's new look
            {QAccessible::NameChanged, note, 0},             // the same note
            {QAccessible::DescriptionChanged, "Warning", 0},
            {QAccessible::DescriptionChanged, "Note", 0},
            {QAccessible::NameChanged, count, 0},            // the same count
            {QAccessible::ObjectShow, "What changed", 0},    // shown all along
            {QAccessible::ObjectShow, note, 0},
            {QAccessible::StateChanged, "Export Large-Print PDF…", 0}, // the menu's command
            {QAccessible::StateChanged, "Print…", 0},
            {QAccessible::StateChanged, "Export PDF", 0},              // the settings panel's button
            {QAccessible::StateChanged, "Print", 0},
        };
        for (const auto& row : expected)
            EXPECT_EQ(heard.count(row.type, row.text), row.times) << std::hex << row.type << ": " << row.text.toStdString();
    }
}

TEST_F(DocumentViewTest, BiggerAndSmallerMoveTheSizeSliderOnceAsHeard)
{
    window().show();
    openAndSettle(file("Notes.md", "# Notes\n\nThe end.\n"));
    for (QAction* action : {view().biggerAction(), view().smallerAction()}) {
        SCOPED_TRACE(action->text().toStdString());
        AccessibleEvents heard;
        const double was = model->settings().fontSize;
        action->trigger();
        ASSERT_NE(model->settings().fontSize, was);
        ASSERT_TRUE(HangGuard::waitFor([&] { return !model->makingCopy(); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(heard.count(QAccessible::ValueChanged, "Size"), 1);
        EXPECT_EQ(heard.count(QAccessible::StateChanged, "Export PDF"), 0) << "on all along";
    }
}

TEST_F(DocumentViewTest, ToolbarItemsLabelsAndTooltips)
{
    auto& v = view();
    const std::vector<std::tuple<QAction*, QString, QString>> items{
        {v.openAction(), "Open", "Open a document (Ctrl+O)"},
        {v.smallerAction(), "Smaller", "Smaller text (Ctrl+−)"},
        {v.biggerAction(), "Bigger", "Bigger text (Ctrl+=)"},
        {v.printAction(), "Print", "Print the large-print copy (Ctrl+P)"},
        {v.exportAction(), "Export PDF", "Save the large-print copy as a PDF (Ctrl+E)"},
        {v.settingsAction(), "Settings", "Show or hide the settings (Ctrl+Alt+I)"}};
    for (const auto& [action, text, tip] : items) {
        EXPECT_EQ(action->text(), text);
        EXPECT_EQ(action->toolTip(), tip);
    }
    EXPECT_EQ(v.presetButton()->toolTip(), "Presets (Ctrl+1–4)");
    QStringList presets;
    for (auto* action : v.presetButton()->menu()->actions()) presets << action->text();
    EXPECT_EQ(presets, QStringList({"Large print 18 pt", "Extra large 24 pt", "Recipe card", "Hymn sheet / lyrics"}));
}

TEST_F(DocumentViewTest, PresetLabelFollowsTheSettings)
{
    auto& v = view();
    // Read as a pop-up choice: named by its label, valued by what it shows.
    QAccessibleInterface* reads = QAccessible::queryAccessibleInterface(v.presetButton());
    EXPECT_EQ(reads->role(), QAccessible::ComboBox);
    EXPECT_EQ(reads->text(QAccessible::Name), "Presets");
    EXPECT_EQ(reads->text(QAccessible::Description), v.presetButton()->toolTip());
    const auto shown = [&] {
        QAccessibleTextInterface* text = reads->textInterface();
        EXPECT_EQ(reads->text(QAccessible::Value), v.presetButton()->shownChoice());
        return text ? text->text(0, text->characterCount()) : QString();
    };
    EXPECT_EQ(shown(), "Large print 18 pt");
    v.biggerAction()->trigger();
    EXPECT_EQ(shown(), "Custom");
    v.smallerAction()->trigger();
    EXPECT_EQ(shown(), "Large print 18 pt");
    v.presetButton()->menu()->actions()[3]->trigger();
    EXPECT_EQ(shown(), "Hymn sheet / lyrics");
    EXPECT_EQ(reads->text(QAccessible::Name), "Presets");
    EXPECT_TRUE(model->settings().keepLineBreaks);

    // Down and Alt+Down open its list from the keyboard, as a combo box's, where
    // the toolbar would move the focus on to the next button.
    window().show();
    for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::AltModifier)}) {
        v.presetButton()->setFocus();
        bool opened = false;
        QTimer::singleShot(0, v.presetButton()->menu(), [&] {
            opened = v.presetButton()->menu()->isVisible();
            v.presetButton()->menu()->close();
        });
        QTest::keyClick(v.presetButton(), Qt::Key_Down, modifiers);
        EXPECT_TRUE(opened) << modifiers;
        EXPECT_EQ(window().focusWidget(), v.presetButton()) << "not moved on to Smaller";
    }
}

TEST_F(DocumentViewTest, PrintNeedsAPreviewAndExportAResult)
{
    make();
    auto& v = view();
    EXPECT_FALSE(v.printAction()->isEnabled());
    EXPECT_FALSE(v.exportAction()->isEnabled());
    EXPECT_FALSE(v.inspector()->printButton()->isEnabled());
    EXPECT_FALSE(v.inspector()->exportButton()->isEnabled());
    engine->notPdf = true;
    model->open(file("a.txt"));
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->result() != nullptr; }));
    EXPECT_FALSE(v.printAction()->isEnabled());
    EXPECT_TRUE(v.exportAction()->isEnabled());
    EXPECT_FALSE(v.inspector()->printButton()->isEnabled());
    EXPECT_TRUE(v.inspector()->exportButton()->isEnabled());
    engine->notPdf = false;
    model->biggerText();
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->preview() != nullptr; }));
    EXPECT_TRUE(v.printAction()->isEnabled());
    EXPECT_TRUE(v.inspector()->printButton()->isEnabled());
}

TEST_F(DocumentViewTest, SizesAndTitle)
{
    auto& w = window();
    // The test screen (800 × 800) is smaller than the window's standard sizes.
    const QRect area = w.screen()->availableGeometry();
    ASSERT_LT(area.width(), 1040);
    EXPECT_EQ(w.minimumSize(), QSize(1040, 660).boundedTo(area.size()));
    EXPECT_EQ(w.size(), QSize(1360, 860).boundedTo(area.size()));
    w.show();
    // Frame and all, once the frame is known.
    EXPECT_TRUE(area.contains(w.frameGeometry()));
    EXPECT_TRUE(area.contains(QRect(w.pos(), w.minimumSize())));
    // The icon comes once the window has painted.
    ASSERT_TRUE(HangGuard::waitFor([&] { return !w.windowIcon().isNull(); }));
    EXPECT_TRUE(w.windowIcon().availableSizes().contains(QSize(48, 48)));
    EXPECT_TRUE(w.windowIcon().availableSizes().contains(QSize(512, 512)));
    EXPECT_EQ(view().inspector()->maximumWidth(), 380);
    EXPECT_EQ(w.windowTitle(), "Folmira");
    model->open(file("Minutes.docx"));
    EXPECT_EQ(w.windowTitle(), "Minutes.docx");
    // The columns keep their minimums where the window has room for them, and
    // give way in proportion where it has not (this screen), never overlapping.
    const struct {
        int width;
        bool stated;
    } widths[] = {{1360, true}, {area.width(), false}, {1360, true}};
    for (const auto& c : widths) {
        w.resize(c.width, w.height());
        QApplication::processEvents();
        const int original = view().originalPane()->minimumWidth();
        const int copy = view().largePrintPane()->minimumWidth();
        const int settings = view().inspector()->minimumWidth();
        EXPECT_EQ(original == 300 && copy == 360 && settings == 290, c.stated) << c.width;
        EXPECT_LE(original + copy + settings + 2 * view().panes()->handleWidth(), w.width()) << c.width;
        EXPECT_FALSE(view().originalPane()->geometry().intersects(view().largePrintPane()->geometry())) << c.width;
    }
    model->closeDocument();
    EXPECT_EQ(w.windowTitle(), "Folmira");
}

TEST_F(DocumentViewTest, TheNarrowestWindowHoldsEveryTextInFull)
{
    // Long titles and messages wrap instead of widening (and clipping) their pane.
    make();
    model->open(file("Photo.png"));
    EXPECT_LE(view().emptyState()->minimumSizeHint().width(),
              MainWindow::minimumWindowSize.width() - DocumentView::inspectorMaxWidth);
    openAndSettle(file("a.txt"));
    auto* refusal = view().largePrintPane()->refusal();
    refusal->setMessage("This file is empty: there’s no text to make large. " + QString(200, u'x').replace("x", "word "));
    EXPECT_LE(refusal->minimumSizeHint().width(), DocumentView::largePrintMinWidth);
}

TEST_F(DocumentViewTest, SettingsButtonHidesAndShowsTheInspector)
{
    auto& w = window();
    w.show();
    EXPECT_TRUE(view().inspector()->isVisible());
    view().settingsAction()->trigger();
    EXPECT_FALSE(model->showInspector());
    EXPECT_FALSE(view().inspector()->isVisible());
    view().settingsAction()->trigger();
    EXPECT_TRUE(view().inspector()->isVisible());
}

TEST_F(DocumentViewTest, AReRenderKeepsThePageInView)
{
    auto* preview = shownPreview(6);
    ASSERT_EQ(PdfView::pageCount(preview->document()), 6);
    preview->goToPage(4);
    engine->setPdf(letterPdf(4));
    model->biggerText();
    ASSERT_TRUE(HangGuard::waitFor([&] { return PdfView::pageCount(preview->document()) == 4; }));
    EXPECT_EQ(preview->document(), model->preview());
    EXPECT_EQ(preview->currentPage(), 3);
}

TEST_F(DocumentViewTest, ThePreviewSettlesOnEveryPaperAndWindowSize)
{
    // A short copy with a table and two pictures left out, by the real engine.
    AppServices given = services();
    given.engine = makeFolmiraEngine();
    model = std::make_unique<AppModel>(true, given);
    window().show();
    openAndSettle(file("Notes.md", "# Notes\n\n| Day | Place |\n|---|---|\n| Monday | Lake |\n\n![a](missing.png)\n\n"
                                   "![b](https://example.com/b.png)\n\nThe end.\n"));
    auto* preview = view().largePrintPane()->preview();
    const auto turns = [] {
        for (int turn = 0; turn < 4; ++turn) QCoreApplication::processEvents();
    };
    using Paper = FolmiraKit::LargePrintSettings::Paper;
    for (Paper paper : {Paper::a4, Paper::legal, Paper::halfLetter, Paper::letter}) { // each a change
        const auto shown = preview->document();
        auto settings = model->settings();
        settings.paper = paper;
        model->setSettings(settings);
        ASSERT_TRUE(HangGuard::waitFor([&] { return preview->document() != shown && !model->rendering(); }, 20000));
        // From the smallest window up, in steps finer than a scroll bar is wide.
        for (int width : {MainWindow::minimumWindowSize.width(), 1360})
            for (int height = MainWindow::minimumWindowSize.height(); height <= 900; height += 6) {
                window().resize(width, height);
                turns();
                // Each new layout sets the range; each range to or from 0 shows or hides the bar.
                QSignalSpy layouts(preview->verticalScrollBar(), &QScrollBar::rangeChanged);
                turns();
                EXPECT_EQ(layouts.count(), 0) << static_cast<int>(paper) << ": " << width << " × " << height;
                EXPECT_NEAR(preview->strip().pages[0].center().x(), preview->viewport()->width() / 2.0, 1);
            }
    }
}

TEST_F(DocumentViewTest, AReRenderKeepsTheZoomAndAnotherFileFitsTheWidth)
{
    auto* preview = shownPreview(3);
    preview->zoomBy(2, {20, 20});
    const double zoomed = preview->scale();
    ASSERT_FALSE(preview->fitsWidth());
    const auto first = preview->document();
    model->biggerText();
    ASSERT_TRUE(HangGuard::waitFor([&] { return preview->document() != first && preview->document(); }));
    EXPECT_DOUBLE_EQ(preview->scale(), zoomed);

    openAndSettle(file("b.txt"));
    EXPECT_TRUE(preview->fitsWidth());
}

TEST_F(DocumentViewTest, AnotherFileOpensAtItsFirstPageInBothPanes)
{
    const auto pdf = letterPdf(8);
    const std::string_view bytes(reinterpret_cast<const char*>(pdf.data()), pdf.size());
    auto* preview = shownPreview(8);
    openAndSettle(file("First.pdf", bytes));
    auto* original = view().originalPane()->pdfView();
    ASSERT_EQ(view().originalPane()->shown(), original);
    original->goToPage(5);
    preview->goToPage(5);

    openAndSettle(file("Second.pdf", bytes));
    EXPECT_EQ(original->currentPage(), 0);
    EXPECT_EQ(preview->currentPage(), 0);
    EXPECT_EQ(preview->document(), model->preview());
}

TEST_F(DocumentViewTest, TheOriginalShowsThePagesTheReadLeftOutOfItsOwnFileOnly)
{
    const auto pdf = letterPdf(3);
    const std::string_view bytes(reinterpret_cast<const char*>(pdf.data()), pdf.size());
    shownPreview(1);
    engine->leftOutPages = {2, 3};
    openAndSettle(file("Heavy.pdf", bytes));
    auto* original = view().originalPane()->pdfView();
    EXPECT_EQ(original->leftOutPages(), (std::set<int>{1, 2}));

    engine->leftOutPages = {};
    auto gate = engine->holdRead("Light.pdf", false);
    model->open(file("Light.pdf", bytes));
    EXPECT_TRUE(original->leftOutPages().empty()) << "the last file's read is not this one's";
    gate->release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return !model->reading(); }));
    EXPECT_TRUE(original->leftOutPages().empty());
}

TEST_F(DocumentViewTest, OpeningFromTheEmptyStatePutsTheFocusOnTheNamedCopy)
{
    make();
    ASSERT_TRUE(showActive(window()));
    view().emptyState()->chooseButton()->setFocus();
    const auto nameOfFocus = [] {
        QAccessibleInterface* reads = QAccessible::queryAccessibleInterface(QApplication::focusWidget());
        return reads ? reads->text(QAccessible::Name) : QString();
    };
    auto gate = engine->holdRead("a.txt", false);
    AccessibleEvents heard;
    model->open(file("a.txt"));
    auto* copy = view().largePrintPane();
    EXPECT_EQ(QApplication::focusWidget(), copy->progress());
    EXPECT_EQ(nameOfFocus(), "Making it large…");
    // Told once it is clear that the copy takes a while.
    EXPECT_TRUE(HangGuard::waitFor([&] { return heard.count(QAccessible::Focus, "Making it large…") == 1; }));

    // The focus moves on with the copy's content.
    gate->release();
    ASSERT_TRUE(HangGuard::waitFor([&] { return model->preview() && !model->rendering(); }));
    EXPECT_EQ(QApplication::focusWidget(), copy->preview());
    EXPECT_EQ(nameOfFocus(), "Large-print preview");
    model->open(file("Photo.png"));
    EXPECT_EQ(QApplication::focusWidget(), copy->refusal());
    EXPECT_EQ(nameOfFocus(), "Folmira can’t make this one large");

    model->closeDocument();
    EXPECT_EQ(QApplication::focusWidget(), view().emptyState()->chooseButton());
}

// The toolbar's controls in their order: open, the mode picker's selected
// segment (the arrow keys move between its segments, as in a radio group),
// presets, smaller, bigger, print, export, settings.
QList<QWidget*> toolBarControls(MainWindow& w)
{
    DocumentView& v = *w.documentView();
    QToolBar* bar = w.toolBar();
    return {bar->widgetForAction(v.openAction()), w.modePicker()->segment(DocKind::document), v.presetButton(),
            bar->widgetForAction(v.smallerAction()), bar->widgetForAction(v.biggerAction()),
            bar->widgetForAction(v.printAction()), bar->widgetForAction(v.exportAction()),
            bar->widgetForAction(v.settingsAction())};
}

TEST_F(DocumentViewTest, TabReachesEveryToolbarControlInOrder)
{
    make();
    auto& w = window();
    ASSERT_TRUE(showActive(w));
    openAndSettle(file("a.txt"));
    const auto controls = toolBarControls(w);
    for (auto* control : controls) ASSERT_TRUE(control && control->isEnabled());

    // From wherever focus starts, Tab comes round to the toolbar, then through it.
    for (int i = 0; i < 60 && QApplication::focusWidget() != controls.front(); ++i)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), controls.front());
    for (int i = 1; i < controls.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), controls[i]) << "control " << i;
    }
}

TEST_F(DocumentViewTest, AFocusedToolbarControlShowsAWideRing)
{
    make();
    auto& w = window();
    ASSERT_TRUE(showActive(w));
    auto* smaller = w.toolBar()->widgetForAction(view().smallerAction());
    const QImage plain = smaller->grab().toImage();
    // Focus as the keyboard gives it, which is when a ring shows.
    auto* open = w.toolBar()->widgetForAction(view().openAction());
    open->setFocus(Qt::TabFocusReason);
    QTest::keyClick(open, Qt::Key_Tab);
    for (int i = 0; i < 3 && QApplication::focusWidget() != smaller; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), smaller);
    const QImage ringed = smaller->grab().toImage();
    ASSERT_EQ(plain.size(), ringed.size());

    // Across the middle row from the left edge, the longest run of pixels the ring changed.
    const QColor ring = Lyricade::FocusRing::colour(smaller->palette());
    const auto near = [&](QRgb pixel) {
        const QColor c(pixel);
        return std::abs(c.red() - ring.red()) + std::abs(c.green() - ring.green()) +
                   std::abs(c.blue() - ring.blue()) < 90;
    };
    int run = 0, longest = 0;
    const int y = plain.height() / 2;
    for (int x = 0; x < plain.width() / 4; ++x) {
        const bool changed = plain.pixel(x, y) != ringed.pixel(x, y) && near(ringed.pixel(x, y));
        run = changed ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    EXPECT_GE(longest, 2);
}

TEST_F(DocumentViewTest, EveryToolbarControlHasAnAccessibleName)
{
    auto& w = window();
    const QStringList names = {"Open", "Document", "Presets", "Smaller", "Bigger", "Print", "Export PDF", "Settings"};
    const auto controls = toolBarControls(w);
    ASSERT_EQ(controls.size(), names.size());
    for (int i = 0; i < controls.size(); ++i) {
        auto* accessible = QAccessible::queryAccessibleInterface(controls[i]);
        ASSERT_TRUE(accessible);
        EXPECT_EQ(accessible->text(QAccessible::Name), names[i]);
    }
}

} // namespace
} // namespace FolmiraAppTest
