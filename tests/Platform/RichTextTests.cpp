#include "Platform/RichText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Platform;
using namespace Platform::RichText;

namespace {

Document parseText(const std::string& rtf)
{
    return parse(reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size());
}

std::vector<std::string> texts(const Document& document)
{
    std::vector<std::string> out;
    for (const Paragraph& paragraph : document.paragraphs) out.push_back(paragraph.text());
    return out;
}

const Span& spanWith(const Document& document, const std::string& text)
{
    for (const Paragraph& paragraph : document.paragraphs)
        for (const Span& span : paragraph.spans)
            if (span.text == text) return span;
    throw std::runtime_error("no span " + text);
}

} // namespace

TEST(RichTextFormatting, FontsTraitsAndSizesFollowTheGroups)
{
    Document document = parseText(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss\\fcharset0 Helvetica-Black;}}"
        "Plain {\\b Bold {\\i both}} {\\f1\\fs36 big} \\i slanted\\i0  \\b\\fs20 small\\plain  reset\\par}");
    ASSERT_EQ(document.paragraphs.size(), 1u);
    EXPECT_EQ(spanWith(document, "Plain ").font, (Font{"Times New Roman", false, false, 12}));
    EXPECT_EQ(spanWith(document, "Bold ").font, (Font{"Times New Roman", true, false, 12}));
    EXPECT_EQ(spanWith(document, "both").font, (Font{"Times New Roman", true, true, 12}));
    EXPECT_EQ(spanWith(document, "big").font, (Font{"Helvetica-Black", false, false, 18}));
    EXPECT_EQ(spanWith(document, "slanted").font, (Font{"Times New Roman", false, true, 12}));
    EXPECT_EQ(spanWith(document, "small").font, (Font{"Times New Roman", true, false, 10}));
    EXPECT_EQ(spanWith(document, " reset").font, (Font{"Times New Roman", false, false, 12}));
}

TEST(RichTextFormatting, CocoaFontTableWithoutInnerGroups)
{
    Document document = parseText("{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n"
                                   "{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;\\f1\\fnil\\fcharset0 Avenir-HeavyOblique;}\n"
                                   "\\f0\\fs24 one\\\n\\f1 two}");
    EXPECT_EQ(texts(document), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(document.paragraphs[1].spans[0].font->name, "Avenir-HeavyOblique");
}

TEST(RichTextText, CharactersFromEveryEncoding)
{
    struct Case {
        const char* rtf;
        const char* text;
    };
    const Case cases[] = {
        {"{\\rtf1\\ansi caf\\'e9 \\'93q\\'94}", "café “q”"},
        {"{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1}", "Аб"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset204 Arial;}}\\f1 \\'c0}", "А"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset128 MS Mincho;}}\\f1 \\'82\\'a0}", "あ"},
        {"{\\rtf1\\ansi \\u8226 ?x}", "•x"},
        {"{\\rtf1\\ansi\\uc2 \\u8364 ab!}", "€!"},
        {"{\\rtf1\\ansi\\uc0 \\u-3913 y}", "\uF0B7y"},
        {"{\\rtf1\\ansi \\u-10179?\\u-8704?}", "😀"},
        {"{\\rtf1\\ansi {\\uc1\\u233 ?}{x}}", "éx"},
        {"{\\rtf1\\ansi a\\tab b\\~c\\emdash d\\{\\}\\\\\\lquote e\\rquote}", "a\tb\u00A0c—d{}\\‘e’"},
        {"{\\rtf1\\ansi x\\-y\\_z}", "xy\u2011z"},
        {"{\\rtf1\\ansi line\r\nends\rignored}", "lineendsignored"},
    };
    for (const Case& c : cases) {
        Document document = parseText(c.rtf);
        ASSERT_EQ(document.paragraphs.size(), 1u) << c.rtf;
        EXPECT_EQ(document.paragraphs[0].text(), c.text) << c.rtf;
    }
}

TEST(RichTextText, ParagraphsAndLineSeparators)
{
    Document document = parseText("{\\rtf1 one\\par two\\line three\\\nfour\\sect five}");
    EXPECT_EQ(texts(document), (std::vector<std::string>{"one", "two\u2028three", "four", "five"}));
    // Empty paragraphs are kept: readers treat them as separators.
    EXPECT_EQ(texts(parseText("{\\rtf1 a\\par\\par b\\par}")), (std::vector<std::string>{"a", "", "b"}));
}

TEST(RichTextText, DestinationsWeDoNotReadAreSkippedWhole)
{
    Document document = parseText(
        "{\\rtf1{\\info{\\title Secret}{\\author Me}}{\\colortbl;\\red0\\green0\\blue0;}"
        "{\\stylesheet{\\s0 Normal;}}{\\header Head\\par}{\\*\\generator Tool;}"
        "Body{\\footnote Foot\\par}{\\*\\unknownthing {x{y}z}} more "
        "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}"
        "{\\*\\bkmkstart b}{\\nonshppict{\\pict\\wmetafile8 0102}}{\\*\\themedata \\bin3 }}}}\\par}");
    EXPECT_EQ(texts(document), (std::vector<std::string>{"Body more link"}));
    EXPECT_EQ(document.footnotes, 1);

    // Notes are counted where the text has them: endnotes by their \ftnalt
    // (not one in an inner group), none in a header or a skipped destination.
    Document notes = parseText("{\\rtf1 A{\\footnote\\pard {\\up6\\chftn} One\\par}B{\\footnote\\ftnalt Two}"
                               "C{\\footnote {\\ftnalt} Three}{\\header H{\\footnote Four}}{\\fonttbl{\\f0 Arial;}{\\footnote Six}}{\\*\\x{\\footnote Five}}D\\par}");
    EXPECT_EQ(texts(notes), (std::vector<std::string>{"ABCD"}));
    EXPECT_EQ(notes.footnotes, 2);
    EXPECT_EQ(notes.endnotes, 1);
}

TEST(RichTextText, ControlCharactersAreDropped)
{
    std::string rtf = "{\\rtf1 a";
    rtf += '\x01';
    rtf += '\0';
    rtf += "b\\'07c\\u7 ?d}";
    EXPECT_EQ(texts(parseText(rtf)), (std::vector<std::string>{"abcd"}));
}

TEST(RichTextLists, MarkerFormatsGiveTheLabels)
{
    struct Case {
        const char* format;
        int number;
        const char* marker;
    };
    const Case cases[] = {
        {"{decimal}.", 3, "3."},        {"({lower-alpha})", 28, "(ab)"}, {"{upper-alpha}", 26, "Z"},
        {"{lower-roman}.", 14, "xiv."}, {"{upper-roman}", 1999, "MCMXCIX"}, {"{disc}", 5, "\u2022"},
        {"{hyphen}", 1, "\u2043"},      {"{octal}", 8, "10"},           {"{upper-hexadecimal}", 255, "FF"},
        {"{decimal}", 0, "0"},          {"Step {decimal}:", 2, "Step 2:"}, {"{unclosed", 1, "{unclosed"},
    };
    for (const Case& c : cases) EXPECT_EQ(TextList{c.format}.marker(c.number), c.marker) << c.format;
}

TEST(RichTextLists, CocoaListsKeepTheirTypedMarkers)
{
    Document document = parseText(
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n"
        "{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n"
        "{\\*\\listtable{\\list\\listtemplateid1\\listhybrid"
        "{\\listlevel\\levelnfc23\\levelnfcn23\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1\\levelspace360\\levelindent0"
        "{\\*\\levelmarker \\{disc\\}}{\\leveltext\\leveltemplateid1\\'01\\uc0\\u8226 ;}{\\levelnumbers;}\\fi-360\\li720\\lin720 }"
        "{\\listlevel\\levelnfc0\\levelnfcn0\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1\\levelspace360\\levelindent0"
        "{\\*\\levelmarker \\{decimal\\}.}{\\leveltext\\leveltemplateid2\\'02\\'01.;}{\\levelnumbers\\'01;}\\fi-360\\li1440\\lin1440 }"
        "{\\listname ;}\\listid1}}\n"
        "{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}}\n"
        "\\pard\\tx220\\tx720\\pardeftab720\\li720\\fi-720\\partightenfactor0\n"
        "\\ls1\\ilvl0\\f0\\fs24 \\cf0 {\\listtext\t\\uc0\\u8226 \t}Milk\\\n"
        "\\ls1\\ilvl1 {\\listtext\t1.\t}Skimmed\\\n"
        "{\\listtext\t2.\t}Whole\\\n"
        "\\ls1\\ilvl0 {\\listtext\t\\uc0\\u8226 \t}Eggs\\\n"
        "\\pard\\pardeftab720\\partightenfactor0\n\\cf0 After}");
    ASSERT_EQ(document.paragraphs.size(), 5u);
    const Paragraph& milk = document.paragraphs[0];
    EXPECT_EQ(milk.text(), "\t•\tMilk");
    EXPECT_EQ(milk.textLists, (std::vector<TextList>{{"{disc}"}}));
    const Paragraph& whole = document.paragraphs[2];
    EXPECT_EQ(whole.textLists, (std::vector<TextList>{{"{disc}"}, {"{decimal}."}}));
    EXPECT_EQ(whole.itemNumber, 2);
    EXPECT_EQ(document.paragraphs[3].itemNumber, 2);  // the second bullet
    EXPECT_TRUE(document.paragraphs[4].textLists.empty());
}

TEST(RichTextLists, WordListsDeriveTheFormatFromTheLevelText)
{
    const std::string header =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Calibri;}{\\f3\\fcharset2 Symbol;}}"
        "{\\*\\listtable"
        "{\\list\\listtemplateid10{\\listlevel\\levelnfc23\\levelstartat1{\\leveltext\\'01\\u-3913 ?;}{\\levelnumbers;}}"
        "\\listid100}"
        "{\\list\\listtemplateid20{\\listlevel\\levelnfc0\\levelstartat3{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}"
        "{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext\\'04\\'00.\\'01);}{\\levelnumbers\\'01\\'03;}}\\listid200}"
        "{\\list\\listtemplateid30{\\listlevel\\levelnfc255\\levelstartat1{\\leveltext \\'00;}{\\levelnumbers;}}\\listid300}}"
        "{\\*\\listoverridetable{\\listoverride\\listid100\\listoverridecount0\\ls1}"
        "{\\listoverride\\listid200\\listoverridecount0\\ls2}{\\listoverride\\listid300\\listoverridecount0\\ls3}}";
    Document document = parseText(
        header +
        "{\\listtext\\pard\\plain\\f3 \\'b7\\tab}\\pard\\plain\\ls1\\ilvl0 Bullet\\par"
        "{\\listtext\\pard\\plain 3.\\tab}\\pard\\plain\\ls2\\ilvl0 Three\\par"
        "{\\listtext\\pard\\plain a)\\tab}\\pard\\plain\\ls2\\ilvl1 Sub a\\par"
        "{\\listtext\\pard\\plain b)\\tab}\\pard\\plain\\ls2\\ilvl1 Sub b\\par"
        "{\\listtext\\pard\\plain 4.\\tab}\\pard\\plain\\ls2\\ilvl0 Four\\par"
        "{\\listtext\\pard\\plain a)\\tab}\\pard\\plain\\ls2\\ilvl1 Sub a again\\par"
        "\\pard\\plain\\ls9 Undefined list\\par"
        "{\\listtext\\pard\\plain \\tab}\\pard\\plain\\ls3\\ilvl0 Heading numbered with nothing\\par}");
    ASSERT_EQ(document.paragraphs.size(), 8u);
    EXPECT_EQ(document.paragraphs[0].text(), "•\tBullet");
    EXPECT_EQ(document.paragraphs[0].textLists, (std::vector<TextList>{{"{disc}"}}));

    struct Expect {
        std::size_t index;
        std::string marker;
    };
    for (const Expect& e : {Expect{1, "3."}, Expect{2, "a)"}, Expect{3, "b)"}, Expect{4, "4."}, Expect{5, "a)"}}) {
        const Paragraph& paragraph = document.paragraphs[e.index];
        ASSERT_FALSE(paragraph.textLists.empty()) << e.index;
        EXPECT_EQ(paragraph.textLists.back().marker(paragraph.itemNumber), e.marker) << e.index;
    }
    EXPECT_EQ(document.paragraphs[2].textLists.size(), 2u);
    EXPECT_TRUE(document.paragraphs[6].textLists.empty());
    EXPECT_TRUE(document.paragraphs[7].textLists.empty());
}

TEST(RichTextTables, CellsKnowTheirTableRowAndColumn)
{
    Document document = parseText(
        "{\\rtf1\\ansi Before\\par"
        "\\trowd\\trgaph108\\trleft-108\\cellx2000\\cellx4000\\cellx6000"
        "\\pard\\intbl\\b A\\b0\\cell\\pard\\intbl B\\par B2\\cell\\pard\\intbl\\cell\\row"
        "\\trowd\\cellx4000\\cellx6000\\pard\\intbl wide\\cell\\pard\\intbl C\\cell\\row"
        "\\trowd\\cellx2000\\clmgf\\cellx4000\\clmrg\\cellx6000\\pard\\intbl D\\cell E\\cell F\\cell\\row"
        "\\pard\\par"
        "\\trowd\\cellx3000\\pard\\intbl Second\\cell\\row"
        "\\pard After\\par}");
    auto cell = [&](std::string_view text) -> std::optional<TableCell> {
        for (const Paragraph& paragraph : document.paragraphs)
            if (paragraph.text() == text) return paragraph.cell;
        return std::nullopt;
    };
    const int first = cell("A")->table;
    EXPECT_EQ(cell("Before"), std::nullopt);
    EXPECT_EQ(cell("B"), (TableCell{first, 0, 1}));
    EXPECT_EQ(cell("B2"), (TableCell{first, 0, 1}));
    EXPECT_EQ(cell("wide"), (TableCell{first, 1, 0}));
    EXPECT_EQ(cell("C"), (TableCell{first, 1, 2}));  // after a cell spanning two columns
    EXPECT_EQ(cell("E"), (TableCell{first, 2, 1}));
    EXPECT_EQ(cell("F"), (TableCell{first, 2, 1}));  // merged into the cell before it
    EXPECT_NE(cell("Second")->table, first);         // an empty paragraph ends a table
    EXPECT_EQ(cell("After"), std::nullopt);

    // The empty third cell of the first row is still a cell of the same table.
    std::size_t emptyCells = 0;
    for (const Paragraph& paragraph : document.paragraphs)
        if (paragraph.cell && paragraph.text().empty()) {
            ++emptyCells;
            EXPECT_EQ(paragraph.cell, (TableCell{first, 0, 2}));
        }
    EXPECT_EQ(emptyCells, 1u);
}

TEST(RichTextTables, VerticalMergeSitsAtTheStartingRow)
{
    Document document = parseText("{\\rtf1 \\trowd\\clvmgf\\cellx1000\\cellx2000\\pard\\intbl Top\\cell R0\\cell\\row"
                                  "\\trowd\\clvmrg\\cellx1000\\cellx2000\\pard\\intbl\\cell R1\\cell\\row\\pard\\par}");
    ASSERT_GE(document.paragraphs.size(), 4u);
    EXPECT_EQ(document.paragraphs[2].text(), "");
    EXPECT_EQ(document.paragraphs[2].cell->startingRow, 0);
    EXPECT_EQ(document.paragraphs[2].cell->startingColumn, 0);
    EXPECT_EQ(document.paragraphs[3].cell->startingRow, 1);
}

TEST(RichTextTables, NestedTablesStayInTheirOuterCell)
{
    Document document = parseText(
        "{\\rtf1 \\trowd\\cellx4000\\cellx8000\\pard\\intbl\\itap1 Outer\\cell"
        "\\pard\\intbl\\itap2 in1\\nestcell in2\\nestcell{\\*\\nesttableprops\\trowd\\cellx100\\cellx200\\nestrow}"
        "\\pard\\intbl\\itap1 \\cell\\row\\pard\\itap0 After\\par}");
    std::vector<std::pair<std::string, std::optional<TableCell>>> cells;
    for (const Paragraph& paragraph : document.paragraphs) cells.emplace_back(paragraph.text(), paragraph.cell);
    const int table = cells.at(0).second->table;
    const std::vector<std::pair<std::string, std::optional<TableCell>>> expected = {
        {"Outer", TableCell{table, 0, 0}}, {"in1", TableCell{table, 0, 1}}, {"in2", TableCell{table, 0, 1}},
        {"", TableCell{table, 0, 1}},      {"After", std::nullopt}};
    EXPECT_EQ(cells, expected);
}

TEST(RichTextPictures, PngAndJpegBlipsBecomeAttachments)
{
    Document document = parseText(
        "{\\rtf1 Text{\\*\\shppict{\\pict{\\*\\picprop\\shplid1025}\\picscalex50\\picscaley200\\picw10\\pich10"
        "\\picwgoal2000\\pichgoal1000\\pngblip 89504e47 0d0a1a0a}}{\\nonshppict{\\pict\\wmetafile8 0102}}"
        " and {\\pict\\jpegblip\\bin4 \xFF\xD8\xFF\xE0}{\\pict\\emfblip 0102}\\par}");
    ASSERT_EQ(document.paragraphs.size(), 1u);
    std::vector<const Span*> pictures;
    for (const Span& span : document.paragraphs[0].spans)
        if (span.attachment) pictures.push_back(&span);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0]->text, "\uFFFC");
    EXPECT_EQ(pictures[0]->attachment->data, (Bytes{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}));
    EXPECT_DOUBLE_EQ(pictures[0]->attachment->width, 50);   // 2000 twips at 50 %
    EXPECT_DOUBLE_EQ(pictures[0]->attachment->height, 100); // 1000 twips at 200 %
    EXPECT_EQ(pictures[1]->attachment->data, (Bytes{0xFF, 0xD8, 0xFF, 0xE0}));
    EXPECT_EQ(pictures[1]->attachment->width, 0);
    EXPECT_EQ(document.paragraphs[0].text(), "Text\uFFFC and \uFFFC");
}

TEST(RichTextPictures, CocoaAttachmentWithoutItsFileLeavesNothing)
{
    Document document = parseText("{\\rtf1\\ansi Before {{\\NeXTGraphic photo.png \\width2400 \\height1800}\\'ac}After}");
    EXPECT_EQ(texts(document), (std::vector<std::string>{"Before After"}));
}
