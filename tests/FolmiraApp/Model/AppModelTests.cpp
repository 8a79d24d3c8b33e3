// The model's creation from the defaults, its settings observer and its
// window-state operations.

#include "../Fakes.h"

#include "FolmiraApp/Model/SettingsCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

namespace FolmiraAppTest {
namespace {

using AppModelTest = ModelTest;

TEST_F(AppModelTest, FirstLaunchStartsInDocumentModeWithDefaultsAndWritesNothing)
{
    auto& m = make();
    EXPECT_EQ(m.kind(), DocKind::document);
    EXPECT_EQ(m.settings(), LargePrintSettings{});
    EXPECT_TRUE(m.showWelcome());
    EXPECT_TRUE(m.showInspector());
    EXPECT_EQ(m.helpPage(), HelpTopic::start);
    EXPECT_EQ(m.helpRequest(), 0);
    EXPECT_FALSE(m.fileURL());
    EXPECT_TRUE(defaults->allKeys().isEmpty());
}

TEST_F(AppModelTest, StoredModeIsReadExactly)
{
    const std::vector<std::pair<QString, DocKind>> cases{
        {"songbook", DocKind::songbook}, {"document", DocKind::document}, {"Songbook", DocKind::document},
        {"", DocKind::document}};
    for (const auto& [stored, expected] : cases) {
        defaults->setValue("docKind", stored);
        EXPECT_EQ(make().kind(), expected) << stored.toStdString();
    }
}

TEST_F(AppModelTest, StoredSettingsAndWelcomeAreRead)
{
    LargePrintSettings big;
    big.fontSize = 24;
    big.highContrast = true;
    defaults->setValue("settings", encodeSettings(big));
    defaults->setValue("welcomeSeen", true);
    auto& m = make();
    EXPECT_EQ(m.settings(), big);
    EXPECT_FALSE(m.showWelcome());
}

TEST_F(AppModelTest, UnreadableSettingsFallBackSilentlyAndStayStored)
{
    defaults->setValue("settings", QByteArray("{\"fontSize\": \"huge\"}"));
    auto& m = make();
    EXPECT_EQ(m.settings(), LargePrintSettings{});
    EXPECT_EQ(defaults->value("settings").toByteArray(), QByteArray("{\"fontSize\": \"huge\"}"));
}

TEST_F(AppModelTest, WithoutPersistTheDefaultsAreNeitherReadNorWritten)
{
    LargePrintSettings big;
    big.fontSize = 30;
    defaults->setValue("settings", encodeSettings(big));
    defaults->setValue("docKind", "songbook");
    auto& m = make(false);
    EXPECT_EQ(m.settings(), LargePrintSettings{});
    EXPECT_EQ(m.kind(), DocKind::document);
    EXPECT_FALSE(m.showWelcome());
    m.biggerText();
    m.setKind(DocKind::songbook);
    m.finishWelcome(std::nullopt);
    EXPECT_EQ(defaults->value("settings").toByteArray(), encodeSettings(big));
    EXPECT_EQ(defaults->value("docKind").toString(), "songbook");
    EXPECT_FALSE(defaults->contains("welcomeSeen"));
}

TEST_F(AppModelTest, EqualSettingsWriteNothingAndNeitherReadNorRender)
{
    auto& m = make();
    openAndSettle(file("a.txt"));
    const int reads = engine->reads();
    const int renders = engine->renders();
    QSignalSpy changed(&m, &AppModel::settingsChanged);
    m.setSettings(LargePrintSettings{});
    QTest::qWait(AppModel::renderDelayMs + 100);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(defaults->contains("settings"));
    EXPECT_EQ(engine->reads(), reads);
    EXPECT_EQ(engine->renders(), renders);
}

TEST_F(AppModelTest, ASettingsChangeWritesCompactJsonWithTheElevenKeys)
{
    auto& m = make();
    auto s = m.settings();
    s.paper = LargePrintSettings::Paper::a4;
    m.setSettings(s);
    const QByteArray stored = defaults->value("settings").toByteArray();
    EXPECT_FALSE(stored.contains('\n'));
    EXPECT_FALSE(stored.contains(": "));
    const auto object = QJsonDocument::fromJson(stored).object();
    const QStringList keys{"fontSize", "lineSpacing", "margin", "paper", "font", "pageNumbers",
                           "highContrast", "keepImages", "tables", "keepLineBreaks", "listSpacing"};
    EXPECT_EQ(object.size(), keys.size());
    for (const auto& key : keys) EXPECT_TRUE(object.contains(key)) << key.toStdString();
    EXPECT_EQ(object["paper"].toString(), "a4");
    EXPECT_EQ(decodeSettings(stored), s);
}

TEST_F(AppModelTest, TextSizeStepsStayWithinTheRange)
{
    struct Case {
        double from;
        double bigger;
        double smaller;
    };
    const Case cases[] = {{18, 20, 16}, {15, 17, 14}, {31, 32, 29}, {32, 32, 30}, {14, 16, 14}};
    auto& m = make();
    for (const auto& c : cases) {
        auto s = m.settings();
        s.fontSize = c.from;
        m.setSettings(s);
        m.biggerText();
        EXPECT_EQ(m.settings().fontSize, c.bigger) << c.from;
        s.fontSize = c.from;
        m.setSettings(s);
        m.smallerText();
        EXPECT_EQ(m.settings().fontSize, c.smaller) << c.from;
    }
}

TEST_F(AppModelTest, TextSizeAtItsLimitStoresNothing)
{
    auto& m = make();
    auto s = m.settings();
    s.fontSize = 32;
    m.setSettings(s);
    defaults->remove("settings");
    QSignalSpy changed(&m, &AppModel::settingsChanged);
    m.biggerText();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(defaults->contains("settings"));
    s.fontSize = 14;
    m.setSettings(s);
    defaults->remove("settings");
    changed.clear();
    m.smallerText();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(defaults->contains("settings"));
}

TEST_F(AppModelTest, HelpRequestsAlwaysRaiseTheCounter)
{
    auto& m = make();
    QSignalSpy page(&m, &AppModel::helpPageChanged);
    QSignalSpy request(&m, &AppModel::helpRequestChanged);
    m.requestHelp(HelpTopic::look);
    m.requestHelp(HelpTopic::look);
    EXPECT_EQ(m.helpPage(), HelpTopic::look);
    EXPECT_EQ(m.helpRequest(), 2);
    EXPECT_EQ(page.count(), 1);
    EXPECT_EQ(request.count(), 2);
}

TEST_F(AppModelTest, FinishingTheWelcome)
{
    auto& m = make();
    m.finishWelcome(std::nullopt);
    EXPECT_FALSE(m.showWelcome());
    EXPECT_EQ(m.kind(), DocKind::document);
    EXPECT_TRUE(defaults->value("welcomeSeen").toBool());
    EXPECT_FALSE(defaults->contains("docKind"));
    m.setShowWelcome(true);
    m.finishWelcome(DocKind::songbook);
    EXPECT_EQ(m.kind(), DocKind::songbook);
    EXPECT_EQ(defaults->value("docKind").toString(), "songbook");
}

TEST_F(AppModelTest, FieldsNotifyOnlyOnRealChanges)
{
    auto& m = make();
    QSignalSpy inspector(&m, &AppModel::showInspectorChanged);
    QSignalSpy kind(&m, &AppModel::kindChanged);
    m.setShowInspector(true);
    m.setShowInspector(false);
    m.setShowInspector(false);
    m.setKind(DocKind::document);
    m.setKind(DocKind::songbook);
    EXPECT_EQ(inspector.count(), 1);
    EXPECT_EQ(kind.count(), 1);
}

TEST(DocKindTest, StringForms)
{
    for (auto kind : allDocKinds) EXPECT_EQ(FolmiraKit::fromString<DocKind>(toString(kind)), kind);
    EXPECT_FALSE(FolmiraKit::fromString<DocKind>("Document"));
    EXPECT_EQ(allHelpTopics.size(), 12u);
    for (auto topic : allHelpTopics) EXPECT_EQ(FolmiraKit::fromString<HelpTopic>(toString(topic)), topic);
    EXPECT_FALSE(FolmiraKit::fromString<HelpTopic>("Start"));
}

} // namespace
} // namespace FolmiraAppTest
