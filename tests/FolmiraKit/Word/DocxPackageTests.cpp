#include "DocxBuilder.h"

#include "FolmiraKit/Model/Folmira.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>


using namespace FolmiraKit;
using DocxTest::Package;
using DocxTest::p;
using Reason = ConversionError::Reason;

namespace {

std::pair<Reason, std::string> refusal(const DocxTest::Bytes& bytes)
{
    try {
        DocxReader::read(bytes, "t");
    } catch (const ConversionError& error) {
        return {error.reason, error.what()};
    }
    return {Reason::locked, "(read)"};
}

const std::string notZip = "This isn\u2019t a Word document Folmira can open (.docx files are zip archives, and this one isn\u2019t).";
const std::string noDocument = "This Word file has no document inside it. It may be damaged.";
const std::string olderWord = "This is an older Word file (.doc). Open it in Word or LibreOffice Writer and save it as .docx, then drop that in.";
const std::string emptyWord = "This Word file is empty: there\u2019s no text to make large.";

} // namespace

TEST(DocxReader, Refusals)
{
    DocxTest::Bytes ole = {0xD0, 0xCF, 0x11, 0xE0};
    DocxTest::Bytes zip = Package{p("Hello")}.build();
    ole.insert(ole.end(), zip.begin(), zip.end());
    EXPECT_EQ(refusal(ole), std::make_pair(Reason::unsupported, olderWord));
    EXPECT_EQ(refusal({0xD0, 0xCF, 0x11}), std::make_pair(Reason::damaged, notZip));
    EXPECT_EQ(refusal(ZipTest::bytes("plain text")), std::make_pair(Reason::damaged, notZip));

    ZipTest::Archive noMain;
    noMain.add("word/styles.xml", "<w:styles/>");
    EXPECT_EQ(refusal(noMain.build()), std::make_pair(Reason::damaged, noDocument));
    // A main part that is there but can't be parsed or unpacked gets the same
    // words: a part's name means nothing to the user.
    ZipTest::Archive notXml;
    notXml.add("word/document.xml", "<w:document><w:body>");
    EXPECT_EQ(refusal(notXml.build()), std::make_pair(Reason::damaged, noDocument));
    ZipTest::Archive noRoot;
    noRoot.add("word/document.xml", "<?xml version=\"1.0\"?>");
    EXPECT_EQ(refusal(noRoot.build()), std::make_pair(Reason::damaged, noDocument));
    ZipTest::Archive badCrc;
    badCrc.add("word/document.xml", DocxTest::document(p("x")), true);
    badCrc.files[0].crc32 = 1;
    EXPECT_EQ(refusal(badCrc.build()), std::make_pair(Reason::damaged, noDocument));

    EXPECT_EQ(refusal(Package{""}.build()), std::make_pair(Reason::empty, emptyWord));
    EXPECT_EQ(refusal(Package{p("   ") + "<w:p/><w:sectPr/>"}.build()), std::make_pair(Reason::empty, emptyWord));
    ZipTest::Archive noBody;
    noBody.add("word/document.xml", std::string("<w:document ") + DocxTest::namespaces + "/>");
    EXPECT_EQ(refusal(noBody.build()), std::make_pair(Reason::empty, emptyWord));
}

TEST(DocxReader, AnOversizedMainPartIsRefusedAsNoDocument)
{
    // A declared size past the unpacking limit: refused before anything is unpacked.
    ZipTest::Archive bomb;
    bomb.add("word/document.xml", DocxTest::document(p("x")), true);
    bomb.files[0].size = static_cast<std::uint32_t>(ZipReader::maxEntrySize + 1);
    EXPECT_EQ(refusal(bomb.build()), std::make_pair(Reason::damaged, noDocument));

    // An oversized styles part is still only a missing part.
    ZipTest::Archive bigStyles;
    bigStyles.add("word/document.xml", DocxTest::document(p("Text")), true);
    bigStyles.add("word/styles.xml", DocxTest::styles(""), true);
    bigStyles.files[1].size = static_cast<std::uint32_t>(ZipReader::maxEntrySize + 1);
    EXPECT_EQ(DocxReader::read(bigStyles.build(), "t").blocks.size(), 1u);
}

TEST(DocxReader, CharactersXmlForbidsAreReadAsReplacementCharacters)
{
    // As some generators write them: a raw U+FFFE, a raw 0x01, a reference to U+FFFF.
    const Package package{p("a\xEF\xBF\xBE" "b") + p("c\x01" "d") + p("e&#xFFFF;f")};
    BigDocument doc = DocxReader::read(package.build(), "t");
    EXPECT_EQ(doc.blocks, (Blocks{Block::paragraph({FolmiraKit::Run("a\uFFFDb")}), Block::paragraph({FolmiraKit::Run("c\uFFFDd")}),
                                  Block::paragraph({FolmiraKit::Run("e\uFFFDf")})}));

    // The same in the styles part: its style still applies.
    const Package styled = Package{p("Title\x01", R"(<w:pStyle w:val="H"/>)")}.part(
        "word/styles.xml", DocxTest::styles(R"(<w:style w:type="paragraph" w:styleId="N"><w:name w:val="Note&#x2;"/></w:style>)"
                                            R"(<w:style w:type="paragraph" w:styleId="H"><w:name w:val="heading 2"/></w:style>)"));
    EXPECT_EQ(DocxReader::read(styled.build(), "t").blocks, (Blocks{Block::heading(2, {FolmiraKit::Run("Title\uFFFD")})}));
}

TEST(DocxReader, ReadsThroughTheEntry)
{
    ZipTest::Archive upper;
    upper.add("Word/Document.xml", DocxTest::document(p("Found me")), true);
    auto doc = Folmira::readBytes(upper.build(), "DOCX", "Letter", std::nullopt, true);
    EXPECT_EQ(doc.title, "Letter");
    EXPECT_EQ(doc.source, BigDocument::Source::word);
    EXPECT_EQ(doc.blocks, Blocks{Block::paragraph({FolmiraKit::Run("Found me")})});
    EXPECT_TRUE(doc.notes.empty());
}

TEST(DocxReader, MainPartNamedByThePackagesRelationships)
{
    auto packageRels = [](const std::string& target) {
        return "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
               "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
               "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"" +
               target + "\"/></Relationships>";
    };
    const std::string typed = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                              "<Relationship Id=\"s\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"looks.xml\"/>"
                              "<Relationship Id=\"n\" Type=\"http://purl.oclc.org/ooxml/officeDocument/relationships/footnotes\" Target=\"/notes/fn.xml\"/></Relationships>";
    const std::string styles = DocxTest::styles(R"(<w:style w:type="paragraph" w:styleId="Big"><w:name w:val="heading 1"/></w:style>)");

    // In another folder and under another name: its relationships, styles
    // and notes are found through its own relationships part.
    ZipTest::Archive other;
    other.add("_rels/.rels", packageRels("/main/body.xml"), true);
    other.add("main/body.xml", DocxTest::document(p("Big one", R"(<w:pStyle w:val="Big"/>)")), true);
    other.add("main/_rels/body.xml.rels", typed, true);
    other.add("main/looks.xml", styles, true);
    other.add("word/document.xml", DocxTest::document(p("decoy")), true);
    auto doc = DocxReader::read(other.build(), "t");
    EXPECT_EQ(doc.blocks, Blocks{Block::heading(1, {FolmiraKit::Run("Big one")})});
    // A body without text: the notes part its relationship names is read.
    ZipTest::Archive notes;
    notes.add("_rels/.rels", packageRels("main/body.xml"), true);
    notes.add("main/body.xml", DocxTest::document("<w:p/>"), true);
    notes.add("main/_rels/body.xml.rels", typed, true);
    notes.add("notes/fn.xml", std::string("<w:footnotes ") + DocxTest::namespaces + "><w:footnote w:id=\"1\">" + p("Noted") + "</w:footnote></w:footnotes>", true);
    EXPECT_EQ(DocxReader::read(notes.build(), "t").plainText(), "Noted");

    // Word's alternative name, relative to the package's root.
    ZipTest::Archive second;
    second.add("_rels/.rels", packageRels("word/document2.xml"), true);
    second.add("word/document2.xml", DocxTest::document(p("Second")), true);
    EXPECT_EQ(DocxReader::read(second.build(), "t").plainText(), "Second");

    // A relationship naming a part that isn't there: Word's own path still serves.
    ZipTest::Archive stale;
    stale.add("_rels/.rels", packageRels("/word/gone.xml"), true);
    stale.add("word/document.xml", DocxTest::document(p("Fallback")), true);
    EXPECT_EQ(DocxReader::read(stale.build(), "t").plainText(), "Fallback");
    ZipTest::Archive neither;
    neither.add("_rels/.rels", packageRels("/word/gone.xml"), true);
    EXPECT_EQ(refusal(neither.build()), std::make_pair(Reason::damaged, noDocument));
}

TEST(DocxReader, NotesInTheirOrder)
{
    std::string body = p("Text") + R"(<w:p><w:r><w:footnoteReference w:id="1"/><w:endnoteReference w:id="2"/><w:footnoteReference w:id="3"/></w:r></w:p>)";
    body += R"(<w:p><w:r><w:drawing><a:blip r:embed="rEmf"/></w:drawing></w:r></w:p>)";
    body += R"(<w:p><w:r><w:t>Anchor</w:t><w:pict><v:shape><v:textbox><w:txbxContent>)" + p("Boxed") + "</w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>";
    Package package{body};
    package.part("word/_rels/document.xml.rels", DocxTest::relationships({{"rEmf", "media/image1.emf"}, {"rMissing", "media/gone.png"}}))
        .part("word/media/image1.emf", DocxTest::Bytes{1, 0, 0, 0, 0x6C, 0, 0, 0})
        .part("word/header1.xml", "<w:hdr/>");
    auto doc = DocxReader::read(package.build(), "t");
    std::vector<ConversionNote> expected{
        {ConversionNote::Kind::warning, "1 picture in a format Folmira can\u2019t draw (such as WMF or EMF drawings) was left out."},
        {ConversionNote::Kind::info, "Text in text boxes was placed after the paragraph it was anchored to."},
        {ConversionNote::Kind::warning, "Footnotes (2) aren\u2019t included."},
        {ConversionNote::Kind::warning, "Endnotes (1) aren\u2019t included."},
        {ConversionNote::Kind::info, "The page headers and footers were left out; Folmira adds its own page numbers."},
    };
    EXPECT_EQ(doc.notes, expected);

    package.body += R"(<w:p><w:r><w:drawing><a:blip r:embed="rMissing"/></w:drawing></w:r></w:p>)";
    package.parts.pop_back();
    package.part("word/Header1.xml", "<w:hdr/>"); // case-sensitive prefix: no note
    auto plural = DocxReader::read(package.build(), "t");
    ASSERT_EQ(plural.notes.size(), 4u);
    EXPECT_EQ(plural.notes[0].message, "2 pictures in a format Folmira can\u2019t draw (such as WMF or EMF drawings) were left out.");
}

TEST(DocxReader, NotesAreReadWhenTheyHoldAllTheText)
{
    const std::string reference = R"(<w:p><w:r><w:footnoteReference w:id="1"/></w:r></w:p>)";
    const std::string footnotes = "<w:footnotes " + std::string(DocxTest::namespaces) + ">" +
                                  R"(<w:footnote w:type="separator" w:id="-1"><w:p><w:r><w:t>----</w:t></w:r></w:p></w:footnote>)" +
                                  R"(<w:footnote w:id="1">)" + p("Only in a note") + "</w:footnote></w:footnotes>";
    Package package{reference};
    package.part("word/footnotes.xml", footnotes);
    auto doc = DocxReader::read(package.build(), "t");
    EXPECT_EQ(doc.blocks, Blocks{Block::paragraph({FolmiraKit::Run("Only in a note")})});
    EXPECT_EQ(doc.notes, (std::vector<ConversionNote>{{ConversionNote::Kind::info,
                                                       "All of this document\u2019s text is in its footnotes, so "
                                                       "Folmira read them in its place."}}));

    // A body with text leaves its notes out, as before.
    package.body = p("Body") + reference;
    EXPECT_EQ(DocxReader::read(package.build(), "t").blocks, Blocks{Block::paragraph({FolmiraKit::Run("Body")})});
}

TEST(DocxStyles, DefaultSizeAndStyleFields)
{
    std::string inner = R"(<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val="21"/></w:rPr></w:rPrDefault></w:docDefaults>)";
    auto style = [](std::string id, std::string name, std::string extra = "", std::string type = "paragraph") {
        return "<w:style w:type=\"" + type + "\" w:styleId=\"" + id + "\">" + (name.empty() ? "" : "<w:name w:val=\"" + name + "\"/>") + extra + "</w:style>";
    };
    inner += style("H3a", "Heading 3") + style("H3b", "heading3") + style("H3c", "HEADING 3") + style("H10", "Heading 10");
    inner += style("Hsp", "heading  3") + style("T", "Title") + style("S", "Subtitle");
    inner += style("Q0", "Quote", R"(<w:pPr><w:outlineLvl w:val="0"/></w:pPr>)");
    inner += style("Q9", "Quote", R"(<w:pPr><w:outlineLvl w:val="9"/></w:pPr>)");
    inner += style("H2o", "Heading 2", R"(<w:pPr><w:outlineLvl w:val="5"/></w:pPr>)");
    inner += style("Heading2", "") + style("HChar", "Heading 1 Char", "", "character") + style("Tbl", "Heading 1", "", "table");
    for (auto [id, val] : {std::pair{"Boff", "off"}, {"B0", "0"}, {"B1", "1"}, {"Btrue", "true"}, {"BFalse", "False"}})
        inner += style(id, id, std::string("<w:rPr><w:b w:val=\"") + val + "\"/></w:rPr>");
    inner += style("Bnone", "Bnone", R"(<w:rPr><w:b/><w:sz w:val="inf"/></w:rPr>)");
    inner += style("Sz", "Sz", R"(<w:rPr><w:sz w:val="1e999"/></w:rPr>)") + style("Sz2", "Sz2", R"(<w:rPr><w:sz w:val="29"/></w:rPr>)");

    auto bytes = Package{}.part("word/styles.xml", DocxTest::styles(inner)).build();
    auto c = DocxTest::context(bytes);
    EXPECT_EQ(c->defaultSize, 10.5);
    struct Case {
        const char* id;
        std::optional<int> heading;
    };
    for (Case k : std::initializer_list<Case>{{"H3a", 3}, {"H3b", 3}, {"H3c", 3}, {"H10", {}}, {"Hsp", {}}, {"T", 1}, {"S", 2},
                                              {"Q0", 1}, {"Q9", {}}, {"H2o", 2}, {"Heading2", 2}, {"HChar", {}}})
        EXPECT_EQ(c->styles.at(k.id).heading, k.heading) << k.id;
    EXPECT_FALSE(c->styles.contains("Tbl"));
    EXPECT_EQ(c->styles.at("Heading2").name, "Heading2");
    for (auto [id, bold] : {std::pair{"Boff", false}, {"B0", false}, {"B1", true}, {"Btrue", true}, {"BFalse", true}, {"Bnone", true}})
        EXPECT_EQ(c->styles.at(id).bold, bold) << id;
    EXPECT_EQ(c->styles.at("Bnone").size, std::nullopt);
    EXPECT_EQ(c->styles.at("Sz").size, std::nullopt);
    EXPECT_EQ(c->styles.at("Sz2").size, 14.5);
}

TEST(DocxStyles, UnreadableStylesLeaveDefaults)
{
    auto bytes = Package{}.part("word/styles.xml", "<w:styles><oops>").build();
    auto c = DocxTest::context(bytes);
    EXPECT_EQ(c->defaultSize, 11);
    EXPECT_TRUE(c->styles.empty());
}

TEST(DocxStyles, EffectiveStyleFollowsTheChainAndStopsAtLoops)
{
    DocxReader::Context c;
    auto style = [](std::optional<std::string> basedOn, std::optional<int> heading, std::optional<bool> bold,
                    std::optional<double> size, std::optional<std::string> numId, std::optional<std::int64_t> ilvl) {
        return DocxReader::Style{"", basedOn, heading, bold, size, numId, ilvl};
    };
    c.styles["A"] = style("B", {}, true, {}, {}, {});
    c.styles["B"] = style("A", 2, false, 14, {}, 3);
    c.styles["C"] = style("D", {}, {}, {}, {}, 2);
    c.styles["D"] = style("E", {}, {}, {}, "4", 1);
    c.styles["E"] = style({}, {}, {}, {}, "9", 0);
    auto a = DocxReader::effectiveStyle("A", c);
    EXPECT_EQ(a, style({}, 2, true, 14, {}, 3));
    auto cs = DocxReader::effectiveStyle("C", c);
    EXPECT_EQ(cs.numId, "4");
    EXPECT_EQ(cs.ilvl, 1);
    EXPECT_EQ(DocxReader::effectiveStyle(std::nullopt, c), DocxReader::Style{});
    EXPECT_EQ(DocxReader::effectiveStyle("missing", c), DocxReader::Style{});

    // A chain of 5000 styles, each based on the next, used by 5000 paragraphs;
    // and as many styles based on none.
    std::string chain, flat, body;
    for (int i = 0; i < 5000; ++i) {
        const std::string id = "s" + std::to_string(i);
        chain += "<w:style w:type=\"paragraph\" w:styleId=\"" + id + "\"><w:basedOn w:val=\"s" +
                 std::to_string(i + 1) + "\"/></w:style>";
        flat += "<w:style w:type=\"paragraph\" w:styleId=\"" + id + "\"><w:basedOn w:val=\"s5000\"/></w:style>";
        body += p("x", "<w:pStyle w:val=\"" + id + "\"/>");
    }
    const std::string heading = R"(<w:style w:type="paragraph" w:styleId="s5000"><w:name w:val="heading 2"/></w:style>)";
    auto bytes = Package(body).part("word/styles.xml", DocxTest::styles(chain + heading)).build();
    auto flatBytes = Package(body).part("word/styles.xml", DocxTest::styles(flat + heading)).build();
    auto doc = DocxReader::read(bytes, "t");
    EXPECT_EQ(doc.headings().size(), 63u); // styles near enough the heading inherit it
    // Read in about the time the same styles based on one take.
    const double seen = HangGuard::threadSeconds([&] { DocxReader::read(bytes, "t"); });
    const double plain = HangGuard::threadSeconds([&] { DocxReader::read(flatBytes, "t"); });
    EXPECT_LT(seen, HangGuard::ratio(2.5) * plain) << seen << " s of CPU, " << plain << " s with the styles based on one";
}

TEST(DocxReader, NumberReading)
{
    using DocxReader::integerValue;
    using DocxReader::sizeValue;
    EXPECT_EQ(integerValue("+12"), 12);
    EXPECT_EQ(integerValue("-9223372036854775808"), INT64_MIN);
    for (const char* bad : {"", " 1", "1 ", "1.0", "0x10", "9223372036854775808", "+", "--1"})
        EXPECT_EQ(integerValue(bad), std::nullopt) << bad;
    EXPECT_EQ(integerValue(std::nullopt), std::nullopt);
    EXPECT_EQ(sizeValue("24"), 24.0);
    EXPECT_EQ(sizeValue("+1.5e1"), 15.0);
    EXPECT_EQ(sizeValue("-3"), -3.0);
    for (const char* bad : {"", " 24", "24 ", "24pt", "inf", "-INFINITY", "nan", "1e999", "1,5"})
        EXPECT_EQ(sizeValue(bad), std::nullopt) << bad;
}
