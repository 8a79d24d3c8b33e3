// RTF and Word originals as styled text.

#include "FolmiraApp/Model/StyledOriginal.h"

#include "tests/FolmiraKit/Word/DocxBuilder.h"

#include <QBuffer>
#include <QImage>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace FolmiraAppTest {
namespace {

using namespace FolmiraApp;

std::vector<std::uint8_t> bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

// What a reader of the pane sees: the HTML laid out as text.
QString shownText(const StyledText& text)
{
    QTextDocument document;
    document.setHtml(text.content);
    return document.toPlainText();
}

TEST(StyledOriginalTest, RtfKeepsFontsListsAndTables)
{
    const auto text = rtfOriginal(bytes(
        R"({\rtf1\ansi{\fonttbl{\f0 Georgia;}}\f0\fs28 Dear \b Ann\b0 ,\par )"
        R"({\*\listtable{\list\listid1{\listlevel\levelnfc23{\leveltext\'01\u8226 ?;}}}}{\*\listoverridetable{\listoverride\listid1\ls1}})"
        R"(\pard\ls1 milk\par\pard\ls1 eggs\par )"
        R"(\trowd\cellx2000\cellx4000 one\cell two\cell\row })"));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->format, StyledText::Format::html);
    EXPECT_TRUE(text->content.contains("font-family:'Georgia'"));
    EXPECT_TRUE(text->content.contains("font-size:14pt"));
    EXPECT_TRUE(text->content.contains("font-weight:bold;\">Ann"));
    EXPECT_TRUE(text->content.contains("<table"));
    const QString shown = shownText(*text);
    EXPECT_TRUE(shown.contains("Dear Ann,"));
    EXPECT_TRUE(shown.contains("one"));
    EXPECT_TRUE(shown.contains("two"));
    EXPECT_TRUE(shown.contains("milk"));
}

TEST(StyledOriginalTest, RtfListItemsShowTheirMarkerOnce)
{
    struct Case {
        const char* what;
        std::string rtf;
        QStringList lines;
    };
    const std::string lists =
        R"({\*\listtable{\list\listid1{\listlevel\levelnfc23{\leveltext\'01\u8226 ?;}}}}{\*\listoverridetable{\listoverride\listid1\ls1}})";
    const Case cases[] = {
        {"Word list", "{\\rtf1 " + lists + R"({\listtext\tab \u8226 ?\tab}\pard\ls1 milk\par{\listtext \u8226 ?\tab}\pard\ls1 eggs\par})",
         {"\u2022 milk", "\u2022 eggs"}},
        {"older list", R"({\rtf1{\fonttbl{\f0 Arial;}}{\pntext 1.\tab}{\*\pn\pnlvlbody\pndec}One\par{\pntext 2.\tab}Two\par})",
         {"1. One", "2. Two"}},
        {"not a list", R"({\rtf1 Name\tab value\par})", {"Name\tvalue"}},
    };
    for (const Case& c : cases) {
        const auto text = rtfOriginal(bytes(c.rtf));
        ASSERT_TRUE(text) << c.what;
        EXPECT_EQ(shownText(*text).split(u'\n', Qt::SkipEmptyParts), c.lines) << c.what;
    }
}

TEST(StyledOriginalTest, ATableWiderThanItIsFullShowsItsCellsInOrder)
{
    // One row of 2000 cells over 2000 one-cell rows: a grid of four million
    // cells from a 60 KB file, which would hold the window for minutes.
    std::string rtf = "{\\rtf1 \\trowd\\cellx100 \\intbl ";
    for (int i = 0; i < 2000; ++i) rtf += "a\\cell ";
    rtf += "\\row ";
    for (int i = 0; i < 2000; ++i) rtf += "\\trowd\\cellx100 \\intbl b\\cell\\row ";
    rtf += "}";
    const auto text = rtfOriginal(bytes(rtf));
    ASSERT_TRUE(text);
    EXPECT_LT(text->content.size(), 100 * static_cast<qsizetype>(rtf.size()));
    const QString shown = shownText(*text);
    EXPECT_EQ(shown.count(u'a'), 2000);
    EXPECT_EQ(shown.count(u'b'), 2000);
    EXPECT_LT(shown.lastIndexOf(u'a'), shown.indexOf(u'b'));
}

TEST(StyledOriginalTest, RtfPicturesAreEmbedded)
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const std::string rtf = "{\\rtf1 Look:{\\pict\\pngblip\\picwgoal160\\pichgoal120 " + png.toHex().toStdString() + "}\\par}";
    const auto text = rtfOriginal(bytes(rtf));
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->content.contains("<img src=\"data:image/png;base64," + png.toBase64()));
    QTextDocument document;
    document.setHtml(text->content);
    EXPECT_TRUE(document.toPlainText().startsWith("Look:"));
}

TEST(StyledOriginalTest, RtfMarkupIsEscaped)
{
    const auto text = rtfOriginal(bytes(R"({\rtf1 <b>not bold</b> & more\par})"));
    ASSERT_TRUE(text);
    EXPECT_TRUE(shownText(*text).contains("<b>not bold</b> & more"));
}

TEST(StyledOriginalTest, NotRtfOrNotWordGivesNone)
{
    EXPECT_FALSE(rtfOriginal(bytes("plain words")));
    EXPECT_FALSE(docxOriginal(bytes("PK not really")));
    EXPECT_FALSE(docxOriginal(ZipTest::package({{"word/other.xml", "<x/>"}})));
}

TEST(StyledOriginalTest, AParagraphTooLongToLayOutIsNotShown)
{
    const std::string longest(maxOriginalParagraph, 'x');
    const std::string tooLong = longest + "x";
    EXPECT_TRUE(rtfOriginal(bytes("{\\rtf1 " + longest + "}")));
    EXPECT_FALSE(rtfOriginal(bytes("{\\rtf1 " + tooLong + "}")));
    EXPECT_TRUE(docxOriginal(DocxTest::Package(DocxTest::p(longest, "")).build()));
    EXPECT_FALSE(docxOriginal(DocxTest::Package(DocxTest::p(tooLong, "")).build()));

    for (const char* separator : {"\n", "\r", "\u2029"})
        EXPECT_TRUE(paragraphsFitThePane(QString::fromStdString(longest + separator + longest))) << separator;
    EXPECT_FALSE(paragraphsFitThePane(QString::fromStdString("a\n" + tooLong + "\nb")));
    EXPECT_FALSE(paragraphsFitThePane(QString::fromStdString(longest + "\u2028" + longest)));
}

TEST(StyledOriginalTest, WordHeadingsListsAndRuns)
{
    const std::string body = DocxTest::p("Parish News", "<w:outlineLvl w:val=\"0\"/>") +
                             DocxTest::p("Bold words", "", "<w:b/><w:sz w:val=\"32\"/>") +
                             DocxTest::p("Second line", "");
    const auto text = docxOriginal(DocxTest::Package(body).build());
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->content.contains("<h1>"));
    EXPECT_TRUE(text->content.contains("font-weight:bold;\">Bold words"));
    const QString shown = shownText(*text);
    EXPECT_TRUE(shown.contains("Parish News"));
    EXPECT_TRUE(shown.contains("Second line"));
}

} // namespace
} // namespace FolmiraAppTest
