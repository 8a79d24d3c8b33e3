// The Settings window: its tabs and their memory, the General tab's buttons,
// and the font licence read from the resource folder.

#include "../Fakes.h"

#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Views/SettingsWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>

namespace FolmiraAppTest {
namespace {

class SettingsWindowTest : public ModelTest {
protected:
    std::unique_ptr<SettingsWindow> open()
    {
        if (!model) make();
        return std::make_unique<SettingsWindow>(*model, defaults);
    }
    static QStringList labels(const QWidget* tab)
    {
        QStringList texts;
        for (auto* label : tab->findChildren<QLabel*>()) texts << label->text();
        return texts;
    }
};

TEST_F(SettingsWindowTest, IsFixedAt580By480WithThreeTabs)
{
    auto window = open();
    EXPECT_EQ(window->minimumSize(), QSize(580, 480));
    EXPECT_EQ(window->maximumSize(), QSize(580, 480));
    ASSERT_EQ(window->tabs()->count(), 3);
    EXPECT_EQ(window->tabs()->tabText(0), "General");
    EXPECT_EQ(window->tabs()->tabText(1), "Privacy");
    EXPECT_EQ(window->tabs()->tabText(2), "Font License");
}

TEST_F(SettingsWindowTest, ReopensOnTheTabStoredUnderSettingsTab)
{
    const struct {
        std::optional<QString> stored;
        int shown;
    } cases[] = {
        {std::nullopt, 0}, {"general", 0}, {"privacy", 1}, {"font", 2}, {"Privacy", 0}, {"fonts", 0}, {"", 0},
    };
    for (const auto& c : cases) {
        if (c.stored)
            defaults->setValue("settingsTab", *c.stored);
        else
            defaults->remove("settingsTab");
        EXPECT_EQ(open()->tabs()->currentIndex(), c.shown) << c.stored.value_or("(none)").toStdString();
    }
}

TEST_F(SettingsWindowTest, ChoosingATabStoresItsIdentifier)
{
    auto window = open();
    window->tabs()->setCurrentIndex(1);
    EXPECT_EQ(defaults->value("settingsTab").toString(), "privacy");
    window->tabs()->setCurrentIndex(2);
    EXPECT_EQ(defaults->value("settingsTab").toString(), "font");
    window.reset();
    EXPECT_EQ(open()->tabs()->currentIndex(), 2);
}

TEST_F(SettingsWindowTest, GeneralButtonsBringBackTheWelcomeImportAndOpenHelp)
{
    auto window = open();
    EXPECT_EQ(window->showWelcomeButton()->text(), "Show the Welcome Screen");
    EXPECT_EQ(window->importButton()->text(), "Import Tunequill Library…");
    EXPECT_EQ(window->helpButton()->text(), "Open Folmira Help");

    model->finishWelcome(std::nullopt);
    window->showWelcomeButton()->click();
    EXPECT_TRUE(model->showWelcome());
    EXPECT_TRUE(defaults->value("welcomeSeen").toBool()); // the next start stays quiet

    QSignalSpy imports(window.get(), &SettingsWindow::importRequested);
    window->importButton()->click();
    EXPECT_EQ(imports.size(), 1);

    model->requestHelp(HelpTopic::keys);
    const auto requests = model->helpRequest();
    window->helpButton()->click();
    EXPECT_EQ(model->helpPage(), HelpTopic::start);
    EXPECT_EQ(model->helpRequest(), requests + 1);
}

TEST_F(SettingsWindowTest, FontLicenseShowsTheShippedLicenceVerbatim)
{
    auto window = open();
    auto* licence = window->tabs()->widget(2)->findChild<QLabel*>("licence");
    const QString expected = qstr(FolmiraKit::LargePrintFont::atkinsonLicense());
    ASSERT_FALSE(expected.isEmpty()) << "the build's Fonts folder has no licence";
    ASSERT_NE(licence, nullptr);
    EXPECT_EQ(licence->text(), expected);
    EXPECT_EQ(licence->textFormat(), Qt::PlainText);
    EXPECT_TRUE(licence->textInteractionFlags() & Qt::TextSelectableByMouse);
}

TEST_F(SettingsWindowTest, WithoutALicenceFileOnlyTheHeadlineAndNoticeRemain)
{
    QTemporaryDir empty;
    const QByteArray saved = qgetenv("FOLMIRA_RESOURCES");
    qputenv("FOLMIRA_RESOURCES", empty.path().toUtf8());
    auto window = open();
    qputenv("FOLMIRA_RESOURCES", saved);
    const QWidget* tab = window->tabs()->widget(2);
    EXPECT_EQ(tab->findChild<QLabel*>("licence"), nullptr);
    const QStringList texts = labels(tab);
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], "Atkinson Hyperlegible");
}

TEST_F(SettingsWindowTest, OpensCentredOverTheWindowItIsOpenedFromWithTheApplicationsIcon)
{
    QWidget main;
    main.setGeometry(60, 40, 700, 540); // within the test screen
    main.show();
    auto window = open();
    EXPECT_TRUE(window->windowIcon().availableSizes().contains(QSize(48, 48)));
    window->present(&main);
    // Its own frame is not known before it first shows: off by half of it at most.
    const QPoint offset = window->frameGeometry().center() - main.frameGeometry().center();
    const QSize frame = window->frameGeometry().size() - window->size();
    EXPECT_LE(std::abs(offset.x()), frame.width()) << offset.x();
    EXPECT_LE(std::abs(offset.y()), frame.height()) << offset.y();

    // Open already: it stays where the user put it.
    window->move(10, 10);
    window->present(&main);
    EXPECT_EQ(window->pos(), QPoint(10, 10));
}

} // namespace
} // namespace FolmiraAppTest
