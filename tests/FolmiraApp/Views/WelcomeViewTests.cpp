// The welcome sheet: its texts, what each choice does to the model, and that
// nothing but its own buttons and Escape ends it.

#include "../Fakes.h"

#include "FolmiraApp/Views/WelcomeView.h"
#include "Lyricade/Views/FontRoles.h"
#include "tests/HangGuardQt.h"
#include "tests/Lyricade/Views/PixelMeasures.h"

#include <QMainWindow>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>

namespace FolmiraAppTest {
namespace {

class WelcomeViewTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        make();
        model->setShowWelcome(true);
        parent.show();
        sheet = std::make_unique<WelcomeView>(*model, &parent);
        sheet->open();
        ASSERT_TRUE(sheet->isVisible());
    }
    void TearDown() override
    {
        sheet.reset();
        ModelTest::TearDown();
    }
    QMainWindow parent;
    std::unique_ptr<WelcomeView> sheet;
};

TEST_F(WelcomeViewTest, ShowsTheTextsAndChoices)
{
    EXPECT_EQ(sheet->title(), "Welcome to Folmira");
    EXPECT_TRUE(sheet->introduction().startsWith("Clean large print you can read without glasses:"));
    EXPECT_EQ(sheet->documentCard()->title(), "Document");
    EXPECT_TRUE(sheet->documentCard()->text().endsWith("14 to 32 point, one column, black on white."));
    EXPECT_EQ(sheet->songbookCard()->title(), "Songbook");
    EXPECT_TRUE(sheet->songbookCard()->text().startsWith("Chord sheets (ChordPro or chords-over-lyrics text)"));
    for (auto* card : {sheet->documentCard(), sheet->songbookCard()})
        EXPECT_EQ(card->accessibleDescription(), "Opens this mode");
    EXPECT_EQ(sheet->importButton()->text(), "Import Tunequill Library…");
    EXPECT_EQ(sheet->importButton()->toolTip(),
              "Used Tunequill? Bring its songs, songbooks and set lists into Songbook mode");
    EXPECT_EQ(sheet->closeButton()->text(), "Close");
    EXPECT_EQ(sheet->width(), 600);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(sheet->windowFlags() & Qt::WindowCloseButtonHint);
}

// Every drawn pixel of each card's symbol in the accent colour, following a palette change.
TEST_F(WelcomeViewTest, TheCardSymbolsAreInTheAccentColour)
{
    const auto inkOf = [](const QLabel* symbol) {
        const QImage image = symbol->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        QSet<QRgb> inks;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) == 255) inks.insert(image.pixel(x, y));
        return inks;
    };
    for (ModeCard* card : {sheet->documentCard(), sheet->songbookCard()}) {
        const QRgb accent = card->palette().color(QPalette::Highlight).rgba();
        EXPECT_EQ(inkOf(card->symbol()), QSet<QRgb>{accent});
        QPalette changed = card->palette();
        changed.setColor(QPalette::Highlight, QColor(200, 40, 10));
        card->setPalette(changed);
        EXPECT_EQ(inkOf(card->symbol()), QSet<QRgb>{QColor(200, 40, 10).rgba()});
    }
}

// The title in the window's text colour, the description in the secondary one.
TEST_F(WelcomeViewTest, TheCardDescriptionsDrawInTheSecondaryColour)
{
    const auto darkestInk = [](ModeCard* card, const QLabel* label) {
        const QImage image = card->grab().toImage();
        const QRect area = label->geometry();
        QColor darkest = Qt::white;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(image.pixel(x, y)) < qGray(darkest.rgb())) darkest = image.pixel(x, y);
        return darkest.name();
    };
    for (ModeCard* card : {sheet->documentCard(), sheet->songbookCard()}) {
        SCOPED_TRACE(card->title().toStdString());
        const QColor secondary = Lyricade::FontRole::secondary(card);
        ASSERT_NE(secondary, card->palette().color(QPalette::WindowText));
        EXPECT_EQ(darkestInk(card, card->textLabel()), secondary.name());
        QLabel* title = nullptr;
        for (QLabel* label : card->findChildren<QLabel*>())
            if (label->text() == card->title()) title = label;
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(darkestInk(card, title), card->palette().color(QPalette::WindowText).name());
    }
}

// A card's edge parts it from the window, and its ring shows whole, on a
// light, a dark and a high-contrast palette alike.
TEST_F(WelcomeViewTest, TheCardsEdgesAndRingsShowOnEveryPalette)
{
    const QPalette light = Lyricade::FontRole::readablePalette(QApplication::style()->standardPalette());
    sheet->activateWindow();
    ASSERT_TRUE(HangGuard::windowActive(sheet.get()));
    for (const QPalette& palette : {light, PixelMeasures::dark(), PixelMeasures::highContrast()}) {
        sheet->setPalette(palette);
        for (ModeCard* card : {sheet->documentCard(), sheet->songbookCard()}) {
            SCOPED_TRACE(card->title().toStdString() + " on " + palette.color(QPalette::Window).name().toStdString());
            if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
            const QImage before = sheet->grab().toImage();
            const QRect side(card->x(), card->geometry().center().y() - 4, 2, 8); // its left edge, clear of words
            EXPECT_GE(PixelMeasures::strongest(before, side, palette.color(QPalette::Window)), 3.0);
            card->setFocus(Qt::TabFocusReason);
            ASSERT_TRUE(card->hasFocus());
            EXPECT_GE(PixelMeasures::ringShare(before, sheet->grab().toImage(), card->geometry()), 0.95);
        }
    }
}

TEST_F(WelcomeViewTest, EachChoiceEndsTheSheetAndMarksItSeen)
{
    enum class Press { documentCard, songbookCard, close, escape, returnOnSongbookCard };
    const struct {
        Press press;
        DocKind before;
        DocKind after;
    } cases[] = {
        {Press::songbookCard, DocKind::document, DocKind::songbook},
        {Press::documentCard, DocKind::songbook, DocKind::document},
        {Press::documentCard, DocKind::document, DocKind::document},
        {Press::close, DocKind::songbook, DocKind::songbook},
        {Press::escape, DocKind::songbook, DocKind::songbook},
        {Press::escape, DocKind::document, DocKind::document},
        {Press::returnOnSongbookCard, DocKind::document, DocKind::songbook},
    };
    for (const auto& c : cases) {
        defaults->remove("welcomeSeen");
        model->setKind(c.before);
        model->setShowWelcome(true);
        sheet->open();
        switch (c.press) {
        case Press::documentCard: QTest::mouseClick(sheet->documentCard(), Qt::LeftButton, {}, QPoint(300, 10)); break;
        case Press::songbookCard: QTest::mouseClick(sheet->songbookCard(), Qt::LeftButton); break;
        case Press::close: sheet->closeButton()->click(); break;
        case Press::escape: QTest::keyClick(sheet.get(), Qt::Key_Escape); break;
        case Press::returnOnSongbookCard:
            sheet->songbookCard()->setFocus();
            QTest::keyClick(sheet->songbookCard(), Qt::Key_Return);
            break;
        }
        EXPECT_EQ(model->kind(), c.after);
        EXPECT_FALSE(model->showWelcome());
        EXPECT_TRUE(defaults->value("welcomeSeen").toBool());
        EXPECT_FALSE(sheet->isVisible());
    }
}

TEST_F(WelcomeViewTest, ImportClosesTheSheetFirstAndAsksLater)
{
    model->setKind(DocKind::document);
    QSignalSpy imports(sheet.get(), &WelcomeView::importRequested);
    bool closedWhenAsked = false;
    QObject::connect(sheet.get(), &WelcomeView::importRequested, [&] { closedWhenAsked = !sheet->isVisible(); });
    sheet->importButton()->click();
    EXPECT_TRUE(imports.isEmpty()); // not from inside the click
    EXPECT_FALSE(model->showWelcome());
    ASSERT_TRUE(imports.wait(HangGuard::scaled(1000)));
    EXPECT_TRUE(closedWhenAsked);
    EXPECT_EQ(model->kind(), DocKind::document);
}

TEST_F(WelcomeViewTest, TheWindowManagersCloseDoesNotEndIt)
{
    EXPECT_FALSE(sheet->close());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(model->showWelcome());
    EXPECT_FALSE(defaults->contains("welcomeSeen"));
}

TEST_F(WelcomeViewTest, ClosesWhenTheModelEndsTheWelcome)
{
    model->finishWelcome(DocKind::songbook);
    EXPECT_FALSE(sheet->isVisible());
}

} // namespace
} // namespace FolmiraAppTest
