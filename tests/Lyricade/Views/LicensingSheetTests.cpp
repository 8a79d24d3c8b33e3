// The song-licensing notes: the product's name in both paragraphs, Return
// presses OK, and a fixed width whatever the text.

#include "DetailFixtures.h"

#include "Lyricade/Views/LicensingSheet.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace LyricadeTest {
namespace {

class LicensingSheetTest : public testing::Test {
protected:
    void TearDown() override { setBrandName(QStringLiteral("Folmira")); }
};

TEST_F(LicensingSheetTest, TheParagraphsNameTheProduct)
{
    for (const char* brand : {"Folmira", "Singalong"}) {
        setBrandName(QString::fromUtf8(brand));
        LicensingSheet sheet;
        const QStringList texts = sheet.paragraphs();
        ASSERT_EQ(texts.size(), 2);
        EXPECT_TRUE(texts[0].startsWith("Song lyrics and music belong to their writers and publishers."));
        EXPECT_TRUE(texts[0].contains(QString::fromUtf8("publisher’s permission. ") + brand +
                                      " only lays out the songs you bring; its sample songs are in the public domain."))
            << texts[0].toStdString();
        EXPECT_EQ(texts[1], QString::fromUtf8(brand) +
                                QString::fromUtf8(" doesn’t download lyrics, and nothing you print is reported "
                                                  "anywhere. Keeping track of what your group may print is up to you."));
    }
}

TEST_F(LicensingSheetTest, ReturnPressesOkAndTheWidthStaysWhateverTheText)
{
    setBrandName(QStringLiteral("A Product With A Very Long Name In Some Language ").repeated(12).trimmed());
    LicensingSheet sheet;
    sheet.show();
    EXPECT_EQ(sheet.width(), LicensingSheet::sheetWidth);
    for (auto* label : sheet.findChildren<QLabel*>())
        if (label->wordWrap()) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << "no line lost";
        }
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}

} // namespace
} // namespace LyricadeTest
