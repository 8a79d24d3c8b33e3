// The help window: its sections and pages, the sidebar bound to the model's
// page, the online help button, and its sizes.

#include "../Fakes.h"
#include "UrlCatcher.h"

#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Views/HelpTopics.h"
#include "FolmiraApp/Views/HelpWindow.h"
#include "tests/HangGuardQt.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTreeWidget>

namespace FolmiraAppTest {
namespace {

class HelpWindowTest : public ModelTest {
protected:
    HelpWindow& window()
    {
        if (!window_) window_ = std::make_unique<HelpWindow>(model ? *model : make());
        return *window_;
    }
    void TearDown() override
    {
        window_.reset();
        ModelTest::TearDown();
    }
    QTreeWidgetItem* row(HelpTopic topic)
    {
        const auto rows = window().sidebar()->findItems(title(topic), Qt::MatchExactly | Qt::MatchRecursive);
        return rows.isEmpty() ? nullptr : rows.front();
    }
    std::unique_ptr<HelpWindow> window_;
};

TEST(HelpTopics, EachPageHasItsTitleSectionAndParagraphCount)
{
    const struct {
        HelpTopic topic;
        const char* title;
        HelpSection section;
        int paragraphs;
    } pages[] = {
        {HelpTopic::start, "Getting started", HelpSection::documents, 4},
        {HelpTopic::reads, "What it reads", HelpSection::documents, 3},
        {HelpTopic::look, "Size, font and contrast", HelpSection::documents, 3},
        {HelpTopic::notes, "What changed, and refusals", HelpSection::documents, 2},
        {HelpTopic::printing, "Saving and printing", HelpSection::documents, 2},
        {HelpTopic::songs, "Making a songbook", HelpSection::songbooks, 3},
        {HelpTopic::songFiles, "Song files and ChordPro", HelpSection::songbooks, 3},
        {HelpTopic::books, "Songbooks and set lists", HelpSection::songbooks, 2},
        {HelpTopic::transpose, "Keys, capo and Nashville numbers", HelpSection::songbooks, 3},
        {HelpTopic::songPrint, "Printing songbooks and booklets", HelpSection::songbooks, 2},
        {HelpTopic::licensing, "Song licensing", HelpSection::songbooks, 2},
        {HelpTopic::keys, "Keyboard shortcuts", HelpSection::more, 3},
    };
    ASSERT_EQ(std::size(pages), allHelpTopics.size());
    for (std::size_t i = 0; i < std::size(pages); ++i) {
        const auto& page = pages[i];
        SCOPED_TRACE(page.title);
        EXPECT_EQ(allHelpTopics[i], page.topic);
        EXPECT_EQ(title(page.topic), page.title);
        EXPECT_EQ(section(page.topic), page.section);
        const QStringList texts = paragraphs(page.topic);
        EXPECT_EQ(texts.size(), page.paragraphs);
        for (const auto& text : texts) {
            EXPECT_FALSE(text.isEmpty());
            // Linux keys only, and the typographic apostrophe.
            for (const QChar glyph : {u'⌘', u'⌥', u'⇧', u'⌃', u'\''}) EXPECT_FALSE(text.contains(glyph)) << text.toStdString();
        }
    }
}

TEST(HelpTopics, QuotedSentencesKeepTheirWordsWithLinuxKeys)
{
    EXPECT_EQ(paragraphs(HelpTopic::notes).at(1),
              "When a file can’t be made large (a scan, a locked PDF, an old .doc), the window says why in plain words.");
    EXPECT_TRUE(paragraphs(HelpTopic::start).at(1).startsWith(
        "Document: drop a file on the window (or choose File › Open, Ctrl+O)."));
    EXPECT_TRUE(paragraphs(HelpTopic::start).at(1).endsWith("Not sure yet? Help › Try a Sample."));
    EXPECT_TRUE(paragraphs(HelpTopic::keys).at(0).contains(QStringLiteral("Ctrl+= and Ctrl+\u2212 bigger and smaller")));
    EXPECT_EQ(paragraphs(HelpTopic::keys).at(1), "Documents: Ctrl+Shift+W close the document.");
    EXPECT_TRUE(paragraphs(HelpTopic::keys).at(0).endsWith("Ctrl+? or F1 Help"));
    EXPECT_TRUE(paragraphs(HelpTopic::keys).at(2).contains("Ctrl+Tab and Ctrl+Shift+Tab leave it"));
    EXPECT_TRUE(paragraphs(HelpTopic::transpose).at(0).endsWith("(“Key of B♭ · Capo 3 (G shapes)”)."));
    EXPECT_TRUE(paragraphs(HelpTopic::reads).at(2).contains("select in a PDF viewer."));
}

TEST_F(HelpWindowTest, TheSidebarHasThreeSectionsOfTopicRows)
{
    auto* sidebar = window().sidebar();
    ASSERT_EQ(sidebar->topLevelItemCount(), 3);
    const QStringList headings{"Documents", "Songbooks", "More"};
    const int counts[] = {5, 6, 1};
    int topic = 0;
    for (int s = 0; s < 3; ++s) {
        auto* heading = sidebar->topLevelItem(s);
        EXPECT_EQ(heading->text(0), headings[s]);
        EXPECT_FALSE(heading->flags() & Qt::ItemIsSelectable);
        ASSERT_EQ(heading->childCount(), counts[s]);
        for (int r = 0; r < heading->childCount(); ++r)
            EXPECT_EQ(heading->child(r)->text(0), title(allHelpTopics[topic++]));
    }
    EXPECT_EQ(window().windowTitle(), "Folmira Help");
}

// At large fonts a long topic title takes a second line in the fixed-width
// column rather than losing its end; nothing scrolls across.
TEST_F(HelpWindowTest, LongTopicTitlesWrapAtLargeFonts)
{
    QTreeWidget* sidebar = window().sidebar();
    window().show();
    for (double scale : {0.6, 2.0}) {
        SCOPED_TRACE(scale);
        QFont font = QApplication::font();
        font.setPointSizeF(font.pointSizeF() * scale);
        sidebar->setFont(font);
        ASSERT_TRUE(HangGuard::settled(&window()));
        EXPECT_EQ(sidebar->columnWidth(0), sidebar->viewport()->width());
        const int longTitle = sidebar->visualItemRect(row(HelpTopic::transpose)).height();
        const int shortTitle = sidebar->visualItemRect(row(HelpTopic::licensing)).height();
        EXPECT_EQ(longTitle > shortTitle, scale > 1) << longTitle << " " << shortTitle;
    }
}

TEST_F(HelpWindowTest, ThePageFollowsTheModelAndTheSidebarFollowsThePage)
{
    EXPECT_EQ(window().pageTitle(), "Getting started");
    EXPECT_EQ(window().pageParagraphs(), paragraphs(HelpTopic::start));
    EXPECT_TRUE(row(HelpTopic::start)->isSelected());

    model->requestHelp(HelpTopic::keys);
    EXPECT_EQ(window().pageTitle(), "Keyboard shortcuts");
    EXPECT_EQ(window().pageParagraphs(), paragraphs(HelpTopic::keys));
    EXPECT_TRUE(row(HelpTopic::keys)->isSelected());
    EXPECT_EQ(window().sidebar()->selectedItems().size(), 1);
}

TEST_F(HelpWindowTest, ChoosingARowSetsTheModelsPageOnlyWhenItDiffers)
{
    window();
    QSignalSpy changes(model.get(), &AppModel::helpPageChanged);
    window().sidebar()->setCurrentItem(row(HelpTopic::books));
    EXPECT_EQ(model->helpPage(), HelpTopic::books);
    EXPECT_EQ(window().pageTitle(), "Songbooks and set lists");
    EXPECT_EQ(changes.size(), 1);

    window().sidebar()->setCurrentItem(row(HelpTopic::books));
    EXPECT_EQ(changes.size(), 1);

    window().sidebar()->clearSelection();
    EXPECT_EQ(model->helpPage(), HelpTopic::books);
    ASSERT_TRUE(HangGuard::waitFor([&] { return row(HelpTopic::books)->isSelected(); }));
    EXPECT_EQ(changes.size(), 1);
}

TEST_F(HelpWindowTest, ArrowKeysStepOverTheSectionHeadings)
{
    QTreeWidget* sidebar = window().sidebar();
    model->setHelpPage(HelpTopic::printing); // the last of "Documents"
    const struct {
        Qt::Key key;
        HelpTopic page;
    } steps[] = {{Qt::Key_Down, HelpTopic::songs},   {Qt::Key_Up, HelpTopic::printing},
                 {Qt::Key_End, HelpTopic::keys},     {Qt::Key_Up, HelpTopic::licensing},
                 {Qt::Key_Down, HelpTopic::keys},    {Qt::Key_Down, HelpTopic::keys},
                 {Qt::Key_Home, HelpTopic::start},   {Qt::Key_Up, HelpTopic::start}};
    for (const auto& step : steps) {
        QTest::keyClick(sidebar, step.key);
        EXPECT_EQ(model->helpPage(), step.page) << title(step.page).toStdString();
        EXPECT_EQ(sidebar->currentItem(), row(step.page));
        EXPECT_EQ(sidebar->selectedItems(), QList<QTreeWidgetItem*>{row(step.page)});
    }
}

TEST_F(HelpWindowTest, OnlyTheFirstPageOffersTheOnlineHelpPage)
{
    UrlCatcher catcher;
    ASSERT_NE(window().onlineHelpButton(), nullptr);
    EXPECT_EQ(window().onlineHelpButton()->text(), "Open the Online Help Page");
    window().onlineHelpButton()->click();
    EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl(qstr(FolmiraKit::Brand::helpURL()))});
    EXPECT_TRUE(panels->alerts.isEmpty()) << "opened, nothing to say";

    for (auto topic : allHelpTopics) {
        if (topic == HelpTopic::start) continue;
        model->setHelpPage(topic);
        EXPECT_EQ(window().onlineHelpButton(), nullptr) << toString(topic);
        EXPECT_TRUE(window().pageColumn()->findChildren<QPushButton*>().isEmpty());
    }
}

// Hands web addresses to a handler that cannot take them, as when no browser is set up.
class NoBrowser : public QObject {
public:
    NoBrowser() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "missing"); }
    ~NoBrowser() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
};

TEST_F(HelpWindowTest, AnOnlineHelpPageNoBrowserOpensGetsAnAlertWithItsAddress)
{
    NoBrowser none;
    const QString address = QUrl(qstr(FolmiraKit::Brand::helpURL())).toString();
    ASSERT_TRUE(address.startsWith("https:"));
    window().onlineHelpButton()->click();
    ASSERT_EQ(panels->alerts.size(), 1);
    EXPECT_TRUE(panels->alerts.front().startsWith("The online help page didn’t open")) << panels->alerts.front().toStdString();
    EXPECT_TRUE(panels->alerts.front().contains(address));
}

TEST_F(HelpWindowTest, KeepsItsSizesAndALeadingPageColumnOf680)
{
    EXPECT_EQ(window().size(), QSize(860, 600));
    EXPECT_TRUE(window().windowIcon().availableSizes().contains(QSize(48, 48))) << "the application's icon";
    EXPECT_EQ(window().minimumSize(), QSize(780, 500));
    window().resize(1400, 700);
    window().show();
    ASSERT_TRUE(HangGuard::windowExposed(&window()));
    EXPECT_EQ(window().sidebar()->width(), 260);
    EXPECT_EQ(window().pageColumn()->width(), 680);
    EXPECT_EQ(window().pageColumn()->x(), 0);
    EXPECT_EQ(window().pageArea()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    window().resize(780, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(window().sidebar()->width(), 260);
}

} // namespace
} // namespace FolmiraAppTest
