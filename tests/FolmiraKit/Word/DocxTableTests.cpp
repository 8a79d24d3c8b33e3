#include "DocxBuilder.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace FolmiraKit;
using DocxTest::Package;
using DocxTest::Walk;
using R = FolmiraKit::Run;

namespace {

std::string cell(const std::string& content, const std::string& tcPr = "")
{
    return "<w:tc>" + (tcPr.empty() ? "" : "<w:tcPr>" + tcPr + "</w:tcPr>") + content + "</w:tc>";
}
std::string textCell(const std::string& text, const std::string& tcPr = "") { return cell(DocxTest::p(text), tcPr); }
std::string boldCell(const std::string& text) { return cell(DocxTest::p(text, "", "<w:b/>")); }
std::string row(const std::string& cells, const std::string& trPr = "")
{
    return "<w:tr>" + (trPr.empty() ? "" : "<w:trPr>" + trPr + "</w:trPr>") + cells + "</w:tr>";
}
std::string tbl(const std::string& rows) { return "<w:tbl><w:tblPr/><w:tblGrid/>" + rows + "</w:tbl>"; }

Block::Cell c(const char* text, bool bold = false)
{
    if (!*text) return {};
    return {R(text, bold)};
}

const Block::Table& onlyTable(const Walk& walk)
{
    EXPECT_EQ(walk.pieces().size(), 1u);
    const auto* table = walk.block(0).as<Block::Table>();
    if (!table) throw std::runtime_error("no table");
    return *table;
}

} // namespace

TEST(DocxTable, HeaderRows)
{
    struct Case {
        const char* what;
        std::string rows;
        bool header;
    };
    const Case cases[] = {
        {"bold first row of two", row(boldCell("A") + boldCell("B")) + row(textCell("1") + textCell("2")), true},
        {"bold first row alone", row(boldCell("A") + boldCell("B")), false},
        {"marked first row alone", row(textCell("A") + textCell("B"), "<w:tblHeader/>"), true},
        {"marked later row", row(textCell("A") + textCell("B")) + row(textCell("1") + textCell("2"), "<w:tblHeader/>"), false},
        {"partly bold first row", row(boldCell("A") + textCell("B")) + row(textCell("1") + textCell("2")), false},
        {"bold row with an empty cell", row(boldCell("A") + textCell("")) + row(textCell("1") + textCell("2")), true},
    };
    for (const Case& k : cases) {
        Walk walk{Package(tbl(k.rows))};
        EXPECT_EQ(onlyTable(walk).header, k.header) << k.what;
    }
}

TEST(DocxTable, SpansMergesAndPadding)
{
    std::string rows = row(textCell("wide", R"(<w:gridSpan w:val="3"/>)") + textCell("d")) +
                       row(textCell("top", R"(<w:vMerge w:val="restart"/>)") + textCell("b") + textCell("c") + textCell("e")) +
                       row(textCell("hidden", "<w:vMerge/>") + textCell("", R"(<w:vMerge w:val="continue"/>)")) + // dropped
                       row(textCell("x", "<w:vMerge/>") + textCell("y")) + row("");
    Walk walk{Package(tbl(rows))};
    const auto& table = onlyTable(walk);
    std::vector<Block::Row> expected{
        {c("wide"), c(""), c(""), c("d")},
        {c("top"), c("b"), c("c"), c("e")},
        {c(""), c("y"), c(""), c("")},
    };
    EXPECT_EQ(table.rows, expected);
    EXPECT_FALSE(table.header);

    // Non-positive and unreadable spans add nothing.
    Walk odd{Package(tbl(row(textCell("a", R"(<w:gridSpan w:val="0"/>)") + textCell("b", R"(<w:gridSpan w:val="two"/>)"))))};
    EXPECT_EQ(onlyTable(odd).rows, (std::vector<Block::Row>{{c("a"), c("b")}}));
}

TEST(DocxTable, ControlsAndRevisionsAroundRowsAndCells)
{
    auto sdt = [](const std::string& inner) { return "<w:sdt><w:sdtPr><w:alias w:val=\"x\"/></w:sdtPr><w:sdtContent>" + inner + "</w:sdtContent></w:sdt>"; };
    // Cells and rows inside content controls (nested too), custom XML and
    // tracked insertions and moves keep their places; a moved-away or deleted
    // paragraph inside a cell is not read.
    std::string rows = row(textCell("a") + sdt(textCell("b")) + textCell("c")) +
                       sdt(row(textCell("d") + "<w:customXml>" + sdt(textCell("e")) + "</w:customXml>" + textCell("f"))) +
                       "<w:ins>" + row(textCell("g") + "<w:moveTo>" + textCell("h") + "</w:moveTo>") + "</w:ins>" +
                       row(cell(DocxTest::p("i") + "<w:moveFrom>" + DocxTest::p("gone") + "</w:moveFrom>") + textCell("j"));
    Walk walk{Package(tbl(rows))};
    EXPECT_EQ(onlyTable(walk).rows, (std::vector<Block::Row>{{c("a"), c("b"), c("c")},
                                                             {c("d"), c("e"), c("f")},
                                                             {c("g"), c("h"), c("")},
                                                             {c("i"), c("j"), c("")}}));
    // A one-column table's width is counted through the wrappers as well.
    Walk wrapped{Package(tbl(row(sdt(textCell("k"))) + row(textCell("l"))))};
    ASSERT_EQ(wrapped.pieces().size(), 2u);
    EXPECT_EQ(plain(wrapped.paragraph(0).runs), "k");
    Walk wide{Package(tbl(row(textCell("m") + sdt(textCell("n"))) + row(textCell("o"))))};
    EXPECT_EQ(onlyTable(wide).rows, (std::vector<Block::Row>{{c("m"), c("n")}, {c("o"), c("")}}));
}

TEST(DocxTable, HostileSpansAreCapped)
{
    auto start = std::chrono::steady_clock::now();
    Walk walk{Package(tbl(row(textCell("a", R"(<w:gridSpan w:val="1000000000"/>)") + textCell("b")) + row(textCell("c"))))};
    EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(10)));
    const auto& table = onlyTable(walk);
    ASSERT_EQ(table.rows.size(), 2u);
    // The span adds 63 empty cells at most; the cell after it is kept.
    EXPECT_EQ(table.rows[0].size(), 65u);
    EXPECT_EQ(table.rows[1].size(), 65u);
    EXPECT_EQ(table.rows[0].front(), c("a"));
    EXPECT_EQ(table.rows[0].back(), c("b"));
}

TEST(DocxTable, EveryCellOfAWideRowIsKept)
{
    std::string cells, others;
    for (int i = 0; i < 100; ++i) cells += textCell("c" + std::to_string(i));
    for (int i = 0; i < 3; ++i) others += textCell("o" + std::to_string(i));
    Walk walk{Package(tbl(row(cells) + row(others)))};
    const auto& table = onlyTable(walk);
    ASSERT_EQ(table.rows.size(), 2u);
    ASSERT_EQ(table.rows[0].size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(table.rows[0][static_cast<std::size_t>(i)], c(("c" + std::to_string(i)).c_str()));
    EXPECT_EQ(table.rows[1].size(), 100u); // padded to the widest row
}

TEST(DocxTable, CellsKeepTheirParagraphsAsLines)
{
    std::string nested = tbl(row(textCell("n1") + textCell("n2")));
    std::string rows = row(cell(DocxTest::p("a") + DocxTest::p("b")) + cell(DocxTest::p("before") + nested)) +
                       row(cell(DocxTest::p("  spaced  ") + "<w:p/>" + DocxTest::p("bold", "", "<w:b/>")) + textCell("z"));
    Walk walk{Package(tbl(rows))};
    const auto& table = onlyTable(walk);
    EXPECT_EQ(table.rows[0][0], (Block::Cell{R("a\nb")}));
    EXPECT_EQ(table.rows[0][1], (Block::Cell{R("before\nn1\nn2")}));
    EXPECT_EQ(table.rows[1][0], (Block::Cell{R("spaced \n"), R("bold", true)}));
}

TEST(DocxTable, TextBoxInACellIsReadOnce)
{
    std::string box = "<w:txbxContent>" + DocxTest::p("boxed") + "</w:txbxContent>";
    std::string anchored = R"(<w:p><w:r><w:t>anchor</w:t><mc:AlternateContent><mc:Choice Requires="wps"><w:drawing><wps:txbx>)" + box +
                           "</wps:txbx></w:drawing></mc:Choice><mc:Fallback><w:pict><v:textbox>" + box +
                           "</v:textbox></w:pict></mc:Fallback></mc:AlternateContent></w:r></w:p>";
    Walk walk{Package(tbl(row(cell(anchored) + textCell("b"))))};
    EXPECT_EQ(onlyTable(walk).rows[0][0], (Block::Cell{R("anchor\nboxed")}));
    EXPECT_EQ(walk.ctx->textBoxes, 1);
}

TEST(DocxTable, OneColumnTablesBecomeParagraphs)
{
    std::string rows = row(textCell("one")) + row(textCell("")) + row(boldCell("two")) + row(textCell("three"));
    Package package(DocxTest::p("before") + tbl(rows));
    package.part("word/styles.xml", DocxTest::styles(R"(<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val="30"/></w:rPr></w:rPrDefault></w:docDefaults>)"));
    Walk walk(package);
    ASSERT_EQ(walk.pieces().size(), 4u);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(walk.paragraph(i).size, 15) << i;
        EXPECT_FALSE(walk.paragraph(i).headingLevel);
        EXPECT_FALSE(walk.paragraph(i).list);
    }
    EXPECT_EQ(walk.paragraph(2).runs, (Runs{R("two", true)}));
}

TEST(DocxTable, OneCellBoxIsReadAsWhatItHolds)
{
    std::string nested = tbl(row(textCell("Left") + textCell("Right")) + row(textCell("1") + textCell("2")));
    Walk walk{Package(DocxTest::p("Text before") + tbl(row(cell(DocxTest::p("Heading", R"(<w:outlineLvl w:val="1"/>)") +
                                                               DocxTest::p("Table") + nested + DocxTest::p("Between")))) +
                      DocxTest::p("Text after"))};
    ASSERT_EQ(walk.pieces().size(), 6u);
    EXPECT_EQ(plain(walk.paragraph(1).runs), "Heading");
    EXPECT_EQ(walk.paragraph(1).headingLevel, 2);
    EXPECT_EQ(plain(walk.paragraph(2).runs), "Table");
    const auto* table = walk.block(3).as<Block::Table>();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rows, (std::vector<Block::Row>{{c("Left"), c("Right")}, {c("1"), c("2")}}));
    EXPECT_EQ(plain(walk.paragraph(4).runs), "Between");
    EXPECT_EQ(plain(walk.paragraph(5).runs), "Text after");
}

TEST(DocxTable, EmptyTablesAddNothing)
{
    for (const std::string& body : {tbl(""), tbl(row("")), tbl(row(textCell("") + textCell(" ")))}) {
        Walk walk{Package(body)};
        EXPECT_TRUE(walk.pieces().empty()) << body;
    }
}

TEST(DocxTable, PicturesInCellsAreLeftOutButCounted)
{
    Package package(tbl(row(cell(R"(<w:p><w:r><w:t>x</w:t><w:drawing><a:blip r:embed="r1"/></w:drawing></w:r></w:p>)") + textCell("y"))));
    package.part("word/_rels/document.xml.rels", DocxTest::relationships({{"r1", "media/x.emf"}})).part("word/media/x.emf", "not a picture");
    Walk walk(package);
    EXPECT_EQ(onlyTable(walk).rows[0][0], (Block::Cell{R("x")}));
    EXPECT_EQ(walk.ctx->droppedPictures, 1);
}

TEST(DocxTable, DrawablePicturesInCellsAreNotedAsLeftOutOfTheTable)
{
    const std::string drawing = R"(<w:drawing><a:blip r:embed="r1"/></w:drawing>)";
    Package package(tbl(row(cell("<w:p><w:r><w:t>Logo</w:t>" + drawing + "</w:r></w:p>") +
                            cell("<w:p><w:r>" + drawing + "</w:r></w:p><w:p><w:r>" + drawing + "</w:r></w:p>" +
                                 DocxTest::p("Two")))));
    package.part("word/_rels/document.xml.rels", DocxTest::relationships({{"r1", "media/logo.png"}}))
        .part("word/media/logo.png", DocxTest::png(8, 8));
    Walk walk(package);
    EXPECT_EQ(onlyTable(walk).rows[0], (Block::Row{c("Logo"), c("Two")}));
    EXPECT_EQ(walk.ctx->droppedPictures, 0); // a PNG can be drawn
    EXPECT_EQ(walk.ctx->cellPictures, 3);
    EXPECT_EQ(walk.ctx->pictureBytes, 0u);   // none of them reached the document

    BigDocument document = DocxReader::read(package.build(), "t");
    ASSERT_EQ(document.notes.size(), 1u);
    EXPECT_EQ(document.notes[0].kind, ConversionNote::Kind::warning);
    EXPECT_EQ(document.notes[0].message, "3 pictures inside tables were left out: Folmira keeps only the text of table cells.");

    // One PNG in a cell beside an EMF one: each note tells its own truth.
    Package mixed(tbl(row(cell("<w:p><w:r><w:t>a</w:t>" + drawing + R"(<w:drawing><a:blip r:embed="r2"/></w:drawing></w:r></w:p>)") +
                          textCell("b"))));
    mixed.part("word/_rels/document.xml.rels", DocxTest::relationships({{"r1", "media/logo.png"}, {"r2", "media/x.emf"}}))
        .part("word/media/logo.png", DocxTest::png(8, 8))
        .part("word/media/x.emf", "not a picture");
    std::vector<std::string> messages;
    for (const auto& note : DocxReader::read(mixed.build(), "t").notes) messages.push_back(note.message);
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "1 picture in a format Folmira can\u2019t draw (such as WMF or EMF drawings) was left out.",
                            "1 picture inside a table was left out: Folmira keeps only the text of table cells."}));
}

