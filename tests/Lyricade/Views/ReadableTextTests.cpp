// Texts that read: every text colour of the palette on the surface it is
// drawn on, the views' own colours (secondary, warning, error, accent) at
// 4.5 : 1 or more in the usual and a high-contrast palette, and names cut in
// the middle so that their ends still tell them apart.

#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/SidebarList.h"
#include "Lyricade/Views/TitleLines.h"

#include <QApplication>
#include <QListWidget>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

namespace {

using Lyricade::FontRole::contrast;

constexpr double least = 4.5;

QPalette fusion()
{
    const std::unique_ptr<QStyle> style(QStyleFactory::create(QStringLiteral("Fusion")));
    return style->standardPalette();
}

// A dark high-contrast desktop palette whose dimmer roles fall short.
QPalette highContrast()
{
    QPalette p;
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase})
        p.setColor(role, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) p.setColor(role, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x55, 0x55, 0x55));
    p.setColor(QPalette::Highlight, QColor(0x1a, 0xeb, 0xff));
    p.setColor(QPalette::HighlightedText, QColor(0x40, 0x40, 0x40));
    p.setColor(QPalette::Link, QColor(0x00, 0x00, 0xcc));
    p.setColor(QPalette::LinkVisited, QColor(0x55, 0x1a, 0x8b));
    p.setColor(QPalette::ToolTipBase, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::ToolTipText, QColor(0x60, 0x60, 0x60));
    return p;
}

struct Pair {
    QPalette::ColorRole text, surface;
};

const Pair pairs[] = {
    {QPalette::WindowText, QPalette::Window},    {QPalette::Text, QPalette::Base},
    {QPalette::Text, QPalette::AlternateBase},   {QPalette::ButtonText, QPalette::Button},
    {QPalette::PlaceholderText, QPalette::Base}, {QPalette::PlaceholderText, QPalette::Window},
    {QPalette::ToolTipText, QPalette::ToolTipBase}, {QPalette::HighlightedText, QPalette::Highlight},
    {QPalette::Link, QPalette::Base},            {QPalette::Link, QPalette::Window},
    {QPalette::LinkVisited, QPalette::Base},
};

TEST(ReadablePalette, EveryTextRoleReadsOnItsSurfaceInBothPalettes)
{
    for (const QPalette& given : {fusion(), highContrast()}) {
        const QPalette palette = Lyricade::FontRole::readablePalette(given);
        for (auto group : {QPalette::Active, QPalette::Inactive})
            for (const Pair& pair : pairs)
                EXPECT_GE(contrast(palette.color(group, pair.text), palette.color(group, pair.surface)), least)
                    << "group " << group << ", text role " << pair.text << " on " << pair.surface;
    }
}

TEST(ReadablePalette, KeepsColoursThatAlreadyRead)
{
    const QPalette given = fusion();
    const QPalette palette = Lyricade::FontRole::readablePalette(given);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::Window, QPalette::Base})
        EXPECT_EQ(palette.color(role), given.color(role)) << role;
}

TEST(ViewColours, SecondaryWarningErrorAndAccentReadInBothPalettes)
{
    for (const QPalette& given : {fusion(), highContrast()}) {
        QWidget widget;
        widget.setPalette(Lyricade::FontRole::readablePalette(given));
        const QPalette& p = widget.palette();
        const QColor secondary = Lyricade::FontRole::secondary(&widget);
        for (const QColor& ink : {secondary, Lyricade::FontRole::warning(&widget), Lyricade::FontRole::error(&widget),
                                  Lyricade::FontRole::accent(&widget)})
            for (auto surface : {QPalette::Window, QPalette::Base})
                EXPECT_GE(contrast(ink, p.color(surface)), least) << ink.name().toStdString() << " on " << surface;
        // Still a step back from the text itself.
        EXPECT_LT(contrast(secondary, p.color(QPalette::Window)),
                  contrast(p.color(QPalette::WindowText), p.color(QPalette::Window)));
    }
}

TEST(ViewColours, ACountBadgeOnASelectedSidebarRowReadsInBothPalettes)
{
    for (const QPalette& given : {fusion(), highContrast()}) {
        QListWidget list;
        list.setPalette(Lyricade::FontRole::readablePalette(given));
        list.setItemDelegate(new Lyricade::SidebarDelegate(&list));
        list.addItem(QStringLiteral("All Songs"));
        list.item(0)->setData(Lyricade::SidebarList::itemRole, QString());
        list.item(0)->setData(Lyricade::SidebarList::badgeRole, 128);
        list.resize(240, 120);
        list.show();
        list.setCurrentRow(0);
        ASSERT_TRUE(list.item(0)->isSelected());
        // The badge stands at the row's right end: its fill is the most common
        // colour there besides the selection's, its figure the one furthest from it.
        const QRect row = list.visualItemRect(list.item(0));
        const QImage shot = list.viewport()->grab(row.adjusted(row.width() - 60, 0, 0, 0)).toImage();
        const QColor selection = list.palette().color(QPalette::Highlight);
        std::map<QRgb, int> counts;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (contrast(shot.pixelColor(x, y), selection) > 1.05) ++counts[shot.pixel(x, y)];
        ASSERT_FALSE(counts.empty()) << "a badge apart from the selection";
        const QColor fill = QColor::fromRgb(
            std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second < b.second; })
                ->first);
        double figure = 1;
        for (const auto& [colour, count] : counts) figure = std::max(figure, contrast(QColor::fromRgb(colour), fill));
        EXPECT_GE(figure, least) << "the figure on " << fill.name().toStdString();
    }
}

TEST(ElidedNames, KeepTheirDistinguishingEnds)
{
    const QString stem = QStringLiteral("it-is-a-wonderful-time-chords-and-lyrics-");
    Lyricade::ElidingLabel first(stem + QStringLiteral("version-1"));
    Lyricade::ElidingLabel second(stem + QStringLiteral("version-2"));
    for (auto* label : {&first, &second}) label->resize(label->fontMetrics().horizontalAdvance(stem) / 2, 20);
    EXPECT_TRUE(first.shownText().contains(QChar(0x2026)));
    EXPECT_TRUE(first.shownText().endsWith(QStringLiteral("1")));
    EXPECT_TRUE(second.shownText().endsWith(QStringLiteral("2")));
    EXPECT_TRUE(first.shownText().startsWith(QStringLiteral("it-")));
}

// Titles wrap at their spaces; what is left past the last line is cut at
// its end; a word wider than a line is broken inside, with a hyphen.
TEST(TitleLines, WrapAtSpacesAndCutOnlyTheEnd)
{
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const QString ellipsis(QChar(0x2026));
    // A pixel over the rounded width, for the fractional advances of the layout.
    const auto widthOf = [&](const QString& text) { return metrics.horizontalAdvance(text) + 1; };
    const struct {
        QString text;
        QString line; // the line's width: that of this text
        int maxLines;
        QStringList lines;
    } cases[] = {
        {"Down in the Valley", "Down in the Valley", 2, {"Down in the Valley"}},
        {"Down in the Valley", "Down in the", 2, {"Down in the", "Valley"}},
        {"Holy, Holy, Holy", "Holy, Holy,", 1, {metrics.elidedText("Holy, Holy, Holy", Qt::ElideRight, widthOf("Holy, Holy,"))}},
        {"Shall We Gather at the River", "Shall We", 2,
         {"Shall We", metrics.elidedText("Gather at the River", Qt::ElideRight, widthOf("Shall We"))}},
        {"Swing Low, Sweet Chariot", "Swing Low,", 0, {"Swing Low,", "Sweet", "Chariot"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " in " + c.line.toStdString());
        const QStringList lines = Lyricade::titleLines(c.text, font, widthOf(c.line), c.maxLines);
        EXPECT_EQ(lines, c.lines);
        for (const QString& line : lines) EXPECT_FALSE(line.contains(ellipsis) && !line.endsWith(ellipsis)) << "never cut in the middle";
        EXPECT_EQ(Lyricade::titleHeight(c.text, font, widthOf(c.line), c.maxLines),
                  lines.size() * metrics.lineSpacing());
    }

    // A word wider than the line keeps every letter, each piece but its last
    // ending in a hyphen that fits the line, never splitting a letter from
    // its vowel sign; only lines run out cut it.
    const struct {
        QString text, line;
        int maxLines;
        bool cut;
    } words[] = {
        {"Campfire Songbookforthesundayservice", "Camp", 0, false},
        {"Sunday Songbookforthesundayservice", "Sunday", 2, true},
        {QStringLiteral("\u0915\u093e").repeated(8), QStringLiteral("\u0915\u093e\u0915\u093e\u0915-"), 0, false},
        {"Campfire", "M", 0, false}, // a letter or two a line
        {"Songs-2026", "Songs-", 0, false}, // broken after its own hyphen, with no other
    };
    for (const auto& c : words) {
        SCOPED_TRACE(c.text.toStdString() + " in " + c.line.toStdString());
        bool cut = !c.cut;
        const QStringList lines = Lyricade::titleLines(c.text, font, widthOf(c.line), c.maxLines, &cut);
        EXPECT_EQ(cut, c.cut);
        for (const QString& line : lines) {
            // (A letter alone may be wider than the line: it moves on all the same.)
            if (line.size() > 1) EXPECT_LE(metrics.horizontalAdvance(line), widthOf(c.line)) << line.toStdString();
            EXPECT_FALSE(line.front().isMark() || line.startsWith(u'-') || line.endsWith(QStringLiteral("--")))
                << line.toStdString();
        }
        // The letters in order, the hyphens and spaces left out.
        QString letters = lines.join(QString()).remove(u' ').remove(u'-');
        const QString whole = QString(c.text).remove(u' ').remove(u'-');
        EXPECT_EQ(letters, c.cut ? whole.left(letters.size() - 1) + QChar(0x2026) : whole);
    }
}

} // namespace
