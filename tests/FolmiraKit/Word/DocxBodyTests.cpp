#include "DocxBuilder.h"

#include <gtest/gtest.h>

using namespace FolmiraKit;
using DocxTest::Package;
using DocxTest::Walk;
using R = FolmiraKit::Run;

namespace {

std::string run(const std::string& inner, const std::string& rPr = "")
{
    return "<w:r>" + (rPr.empty() ? "" : "<w:rPr>" + rPr + "</w:rPr>") + inner + "</w:r>";
}
std::string t(const std::string& text) { return "<w:t xml:space=\"preserve\">" + text + "</w:t>"; }
std::string para(const std::string& runs, const std::string& pPr = "")
{
    return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") + runs + "</w:p>";
}

std::string drawing(const std::string& id, long cx = 0, long cy = 0, const std::string& descr = "")
{
    return "<w:drawing><wp:inline><wp:extent cx=\"" + std::to_string(cx) + "\" cy=\"" + std::to_string(cy) +
           "\"/><wp:docPr id=\"1\" name=\"P\"" + (descr.empty() ? "" : " descr=\"" + descr + "\"") +
           "/><a:graphic><a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"" + id +
           "\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing>";
}

Package withPictures(std::string body)
{
    Package package(std::move(body));
    package.part("word/_rels/document.xml.rels",
                 DocxTest::relationships({{"rPng", "media/image1.png"}, {"rAbs", "/word/media/image1.png"},
                                          {"rEmf", "media/image2.emf"}, {"rGone", "media/none.png"}}))
        .part("word/media/image1.png", DocxTest::png(40, 20))
        .part("word/media/image2.emf", DocxTest::Bytes{1, 0, 0, 0, 0x6C, 0, 0, 0, 0, 0, 0, 0});
    return package;
}

} // namespace

TEST(DocxBody, RunContent)
{
    struct Case {
        const char* what;
        std::string runs;
        std::string text;
        bool lineBreaks;
    };
    const Case cases[] = {
        {"tab between", run(t("a") + "<w:tab/>" + t("b")), "a b", false},
        {"page and column breaks", run(t("a") + R"(<w:br w:type="page"/><w:br w:type="column"/>)" + t("b")), "ab", false},
        {"plain break", run(t("a") + "<w:br/>" + t("b")), "a\nb", true},
        {"text-wrapping break and cr", run(t("a") + R"(<w:br w:type="textWrapping"/>)" + t("b") + "<w:cr/>"), "a\nb\n", true},
        {"hyphen, symbol, soft hyphen, field codes",
         run(t("x") + "<w:noBreakHyphen/><w:sym w:char=\"F0E0\"/><w:softHyphen/><w:instrText>PAGE</w:instrText>" + t("y")), "x- y", false},
        {"hyperlink, insertion, field, control",
         R"(<w:hyperlink r:id="h">)" + run(t("a")) + "</w:hyperlink><w:ins>" + run(t("b")) + "</w:ins><w:fldSimple>" + run(t("c")) +
             "</w:fldSimple><w:sdt><w:sdtPr>" + run(t("X")) + "</w:sdtPr><w:sdtContent>" + run(t("d")) + "</w:sdtContent></w:sdt>",
         "abcd", false},
        {"deletion skipped", run(t("a")) + "<w:del>" + run("<w:delText>gone</w:delText>") + "</w:del>", "a", false},
        {"moved text read where it went",
         "<w:moveFromRangeStart w:id=\"1\"/><w:moveFrom>" + run(t("from ")) + "</w:moveFrom><w:moveFromRangeEnd w:id=\"1\"/>" +
             run(t("a ")) + "<w:moveTo>" + run(t("to")) + "</w:moveTo>", "a to", false},
        {"hidden without val, with 1 and with TRUE-cased false word",
         run(t("a")) + run(t("h1"), "<w:vanish/>") + run(t("h2"), R"(<w:vanish w:val="1"/>)") + run(t("h3"), R"(<w:vanish w:val="Off"/>)"), "a", false},
        {"hidden turned off",
         run(t("a"), R"(<w:vanish w:val="0"/>)") + run(t("b"), R"(<w:vanish w:val="false"/>)") + run(t("c"), R"(<w:vanish w:val="off"/>)") +
             run(t("d"), R"(<w:vanish w:val="none"/>)"), "abcd", false},
    };
    for (const Case& c : cases) {
        Walk walk(Package(para(c.runs)));
        ASSERT_EQ(walk.pieces().size(), 1u) << c.what;
        EXPECT_EQ(plain(walk.paragraph(0).runs), c.text) << c.what;
        EXPECT_EQ(walk.paragraph(0).lineBreaks, c.lineBreaks) << c.what;
    }
    // A hidden run hides its footnote reference and its drawing too.
    Walk hidden(withPictures(para(run(t("a")) + run("<w:footnoteReference w:id=\"1\"/>" + drawing("rPng"), "<w:vanish/>"))));
    EXPECT_EQ(hidden.ctx->footnotes, 0);
    EXPECT_EQ(hidden.pieces().size(), 1u);
}

TEST(DocxBody, BoldItalicAndSize)
{
    std::string styles = R"(<w:style w:type="paragraph" w:styleId="Strong"><w:rPr><w:b/><w:sz w:val="28"/></w:rPr></w:style>)"
                         R"(<w:style w:type="character" w:styleId="Em"><w:rPr><w:b w:val="0"/><w:sz w:val="40"/></w:rPr></w:style>)"
                         R"(<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val="20"/></w:rPr></w:rPrDefault></w:docDefaults>)";
    std::string strong = R"(<w:pStyle w:val="Strong"/>)";
    std::string body = para(run(t("styled")) + run(t("off"), R"(<w:b w:val="off"/>)") + run(t("kept"), "<w:i/>"), strong) +
                       para(run(t("char"), R"(<w:rStyle w:val="Em"/>)") + run(t("half"), R"(<w:sz w:val="24"/>)") +
                            run(t("bad"), R"(<w:sz w:val="big"/><w:i w:val="0"/>)")) +
                       para(run(t("plain")));
    Walk walk(Package(body).part("word/styles.xml", DocxTest::styles(styles)));
    ASSERT_EQ(walk.pieces().size(), 3u);
    EXPECT_EQ(walk.paragraph(0).runs, (Runs{R("styled", true), R("off"), R("kept", true, true)}));
    EXPECT_EQ(walk.paragraph(0).size, 14);
    EXPECT_EQ(walk.paragraph(1).runs, (Runs{R("char"), R("half"), R("bad")}));
    EXPECT_EQ(walk.paragraph(1).size, 20); // "char" at 20 has 4 characters, as has "half" at 12; the first wins
    EXPECT_EQ(walk.paragraph(2).size, 10);
}

TEST(DocxBody, ParagraphSizeIsTheSizeOfMostCharacters)
{
    std::string body = para(run(t(std::string(30, 'a')), R"(<w:sz w:val="24"/>)") + run(t(std::string(10, 'b')), R"(<w:sz w:val="32"/>)") +
                            run(t("          "), R"(<w:sz w:val="48"/>)")) +
                       para(run(t("   "), R"(<w:sz w:val="48"/>)"));
    Walk walk{Package(body)};
    ASSERT_EQ(walk.pieces().size(), 1u); // the blank paragraph makes no piece
    EXPECT_EQ(walk.paragraph(0).size, 12);
}

TEST(DocxBody, HeadingLevelsFromStylesAndOutline)
{
    std::string styles = R"(<w:style w:type="paragraph" w:styleId="H2"><w:name w:val="heading 2"/></w:style>)";
    std::string numbered = R"(<w:numPr><w:ilvl w:val="0"/><w:numId w:val="1"/></w:numPr>)";
    std::string body = para(run(t("a")), R"(<w:outlineLvl w:val="0"/>)") + para(run(t("b")), R"(<w:pStyle w:val="H2"/><w:outlineLvl w:val="9"/>)") +
                       para(run(t("c")), R"(<w:pStyle w:val="H2"/>)" + numbered) + para(run(t("d")), R"(<w:outlineLvl w:val="-3"/>)") +
                       para(run(t("e")), R"(<w:pStyle w:val="H2"/><w:outlineLvl w:val="x"/>)");
    Package package(body);
    package.part("word/styles.xml", DocxTest::styles(styles))
        .part("word/numbering.xml", DocxTest::numbering(R"(<w:abstractNum w:abstractNumId="1"/><w:num w:numId="1"><w:abstractNumId w:val="1"/></w:num>)"));
    Walk walk(package);
    std::vector<std::optional<int>> levels;
    for (std::size_t i = 0; i < walk.pieces().size(); ++i) levels.push_back(walk.paragraph(i).headingLevel);
    EXPECT_EQ(levels, (std::vector<std::optional<int>>{1, 2, 2, 0, 2}));
    EXPECT_FALSE(walk.paragraph(2).list);
}

TEST(DocxBody, PicturesAndTheirPlaces)
{
    Walk walk(withPictures(para(run(drawing("rPng", 72 * 12700, 36 * 12700, "A chart"))) +
                           para(run(drawing("rAbs")) + run(t("Text")) + run(drawing("rPng", 0, 100))) +
                           para(run(t("Word") + drawing("rGone") + drawing("rEmf") + "<w:drawing><a:blip/></w:drawing>"))));
    ASSERT_EQ(walk.pieces().size(), 5u);
    const auto* first = walk.block(0).as<Block::Image>();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->picture.width, 72);
    EXPECT_EQ(first->picture.height, 36);
    EXPECT_EQ(first->picture.alt, "A chart");
    EXPECT_EQ(first->picture.data, DocxTest::png(40, 20));
    // The second paragraph: its leading picture, its text, its trailing picture (pixel size).
    EXPECT_TRUE(walk.block(1).as<Block::Image>());
    EXPECT_EQ(plain(walk.paragraph(2).runs), "Text");
    const auto* trailing = walk.block(3).as<Block::Image>();
    ASSERT_TRUE(trailing);
    EXPECT_EQ(trailing->picture.width, 40);
    EXPECT_EQ(trailing->picture.height, 20);
    EXPECT_EQ(trailing->picture.alt, "");
    EXPECT_EQ(plain(walk.paragraph(4).runs), "Word");
    // A missing part and an EMF count; a blip without an id doesn't.
    EXPECT_EQ(walk.ctx->droppedPictures, 2);
    // Every use of one part shares one extraction.
    EXPECT_EQ(walk.ctx->pictureParts.size(), 3u);
}

TEST(DocxBody, VmlPicturesAndAlternateContent)
{
    std::string vml = R"(<w:pict><v:shape><v:imagedata r:id="rPng"/></v:shape></w:pict>)";
    std::string alternate = R"(<mc:AlternateContent><mc:Choice Requires="wps">)" + drawing("rPng") +
                            R"(</mc:Choice><mc:Fallback>)" + vml + "</mc:Fallback></mc:AlternateContent>";
    Walk walk(withPictures(para(run(vml)) + para(run(alternate)) + para(run(R"(<mc:AlternateContent><mc:Fallback>)" + vml + "</mc:Fallback></mc:AlternateContent>"))));
    ASSERT_EQ(walk.pieces().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(walk.block(i).as<Block::Image>()) << i;
}

TEST(DocxBody, TextBoxesFollowTheirAnchorOnce)
{
    std::string box = "<w:txbxContent>" + DocxTest::p("Boxed one") + DocxTest::p("Boxed two") + "</w:txbxContent>";
    std::string choice = R"(<w:drawing><wp:anchor><a:graphic><a:graphicData><wps:wsp><wps:txbx>)" + box +
                         "</wps:txbx></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing>";
    std::string fallback = "<w:pict><v:shape><v:textbox>" + box + "</v:textbox></v:shape></w:pict>";
    std::string body = para(run(t("Anchor")) + run(R"(<mc:AlternateContent><mc:Choice Requires="wps">)" + choice + "</mc:Choice><mc:Fallback>" +
                                                   fallback + "</mc:Fallback></mc:AlternateContent>")) +
                       DocxTest::p("After");
    Walk walk{Package(body)};
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < walk.pieces().size(); ++i) texts.push_back(plain(walk.paragraph(i).runs));
    EXPECT_EQ(texts, (std::vector<std::string>{"Anchor", "Boxed one", "Boxed two", "After"}));
    EXPECT_EQ(walk.ctx->textBoxes, 1);

    // A box inside a box is read once, with the outer box.
    std::string inner = "<w:pict><v:textbox><w:txbxContent>" + DocxTest::p("Inner") + "</w:txbxContent></v:textbox></w:pict>";
    std::string outer = "<w:pict><v:textbox><w:txbxContent>" + para(run(t("Outer") + inner)) + "</w:txbxContent></v:textbox></w:pict>";
    Walk nested{Package(para(run(t("Anchor") + outer)))};
    texts.clear();
    for (std::size_t i = 0; i < nested.pieces().size(); ++i) texts.push_back(plain(nested.paragraph(i).runs));
    EXPECT_EQ(texts, (std::vector<std::string>{"Anchor", "Outer", "Inner"}));
    EXPECT_EQ(nested.ctx->textBoxes, 2);
}

TEST(DocxBody, FootnoteReferencesCountAndAddNoText)
{
    Walk walk{Package(para(run(t("a") + R"(<w:footnoteReference w:id="1"/>)") + run(R"(<w:endnoteReference w:id="1"/><w:footnoteReference w:id="2"/>)")))};
    EXPECT_EQ(walk.ctx->footnotes, 2);
    EXPECT_EQ(walk.ctx->endnotes, 1);
    EXPECT_EQ(plain(walk.paragraph(0).runs), "a");
}

TEST(DocxBody, BlockContainers)
{
    std::string body = "<w:sdt><w:sdtPr/><w:sdtContent>" + DocxTest::p("in control") + "</w:sdtContent></w:sdt><w:sdt>" + DocxTest::p("no content") +
                       "</w:sdt><w:customXml>" + DocxTest::p("custom") + "</w:customXml><w:ins>" + DocxTest::p("inserted") + "</w:ins><w:del>" +
                       DocxTest::p("deleted") + "</w:del><w:moveFrom>" + DocxTest::p("moved away") + "</w:moveFrom><w:moveTo>" +
                       DocxTest::p("moved here") + "</w:moveTo><w:bookmarkStart/><w:sectPr/>";
    Walk walk{Package(body)};
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < walk.pieces().size(); ++i) texts.push_back(plain(walk.paragraph(i).runs));
    EXPECT_EQ(texts, (std::vector<std::string>{"in control", "custom", "inserted", "moved here"}));
}

namespace {

// Office Math pieces, written as Word writes them.
std::string mr(const std::string& text) { return "<m:r><m:rPr><m:sty m:val=\"p\"/></m:rPr><m:t>" + text + "</m:t></m:r>"; }
std::string me(const std::string& inner) { return "<m:e>" + inner + "</m:e>"; }
std::string mArg(const char* name, const std::string& inner) { return std::string("<m:") + name + ">" + inner + "</m:" + name + ">"; }
std::string script(const char* kind, const std::string& base, const std::string& sub, const std::string& sup)
{
    return std::string("<m:") + kind + "><m:" + kind + "Pr><m:ctrlPr/></m:" + kind + "Pr>" + me(base) +
           (sub.empty() ? "" : mArg("sub", sub)) + (sup.empty() ? "" : mArg("sup", sup)) + "</m:" + kind + ">";
}
std::string frac(const std::string& num, const std::string& den, const std::string& type = "")
{
    return "<m:f>" + (type.empty() ? "" : "<m:fPr><m:type m:val=\"" + type + "\"/></m:fPr>") + mArg("num", num) + mArg("den", den) + "</m:f>";
}
std::string delim(const std::string& pr, const std::vector<std::string>& parts)
{
    std::string out = "<m:d><m:dPr>" + pr + "</m:dPr>";
    for (const auto& part : parts) out += me(part);
    return out + "</m:d>";
}
std::string oMath(const std::string& inner) { return "<m:oMath>" + inner + "</m:oMath>"; }

} // namespace

TEST(DocxBody, EquationsAreReadAsTextInReadingOrder)
{
    struct Case {
        const char* what;
        std::string content; // the paragraph's children
        std::string text;
    };
    const std::string sinInverse = "<m:func><m:funcPr/><m:fName>" + script("sSup", mr("sin"), "", mr("−1")) + "</m:fName>" +
                                   me(delim("", {mr("2.2×") + script("sSup", mr("10"), "", mr("−4"))})) + "</m:func>";
    const Case cases[] = {
        {"inline, words around it", run(t("The angle is ")) + oMath(mr("θ=") + sinInverse) + run(t(".")), "The angle is θ = sin⁻¹(2.2×10⁻⁴)."},
        {"set apart from words without spaces", run(t("For")) + oMath(mr("x")) + run(t("we")), "For x we"},
        {"fraction, radical, unary and binary signs",
         oMath(mr("x=") + frac(mr("−b±") + "<m:rad><m:radPr><m:degHide m:val=\"1\"/></m:radPr><m:deg/>" + me(script("sSup", mr("b"), "", mr("2")) + mr("−4ac")) + "</m:rad>", mr("2a"))),
         "x = (−b ± √(b² − 4ac))/(2a)"},
        {"numbers unbracketed, roots of degree 3, 2, 5 and a hidden one",
         oMath(frac(mr("1"), mr("2")) + "<m:rad><m:deg>" + mr("3") + "</m:deg>" + me(mr("y")) + "</m:rad>" + "<m:rad><m:deg>" + mr("2") + "</m:deg>" + me(mr("7")) +
               "</m:rad><m:rad><m:deg>" + mr("5") + "</m:deg>" + me(mr("z")) + "</m:rad><m:rad><m:radPr><m:degHide/></m:radPr><m:deg>" + mr("3") + "</m:deg>" + me(mr("u")) + "</m:rad>"),
         "1/2∛(y)√7⁵√(z)√(u)"},
        {"n-ary sum with limits", oMath("<m:nary><m:naryPr><m:chr m:val=\"∑\"/></m:naryPr>" + mArg("sub", mr("i = 1")) + mArg("sup", mr("n")) + me(script("sSub", mr("x"), mr("i"), "")) + "</m:nary>"),
         "∑ᵢ₌₁ⁿ xᵢ"},
        {"integral by default, hidden limits",
         oMath(mr("2") + "<m:nary><m:naryPr><m:subHide m:val=\"1\"/><m:supHide m:val=\"on\"/></m:naryPr><m:sub>" + mr("0") + "</m:sub><m:sup>" + mr("1") + "</m:sup>" + me(mr("f")) + "</m:nary>"), "2 ∫ f"},
        {"scripts without small letters", oMath(script("sSup", mr("e"), "", mr("iπ")) + script("sSubSup", mr("T"), mr("q"), mr("2")) + script("sSup", mr("y"), "", mr("β"))),
         "e^(iπ)T_q²y^β"},
        {"pre-scripts, limits, accents and bars",
         oMath(script("sPre", mr("C"), mr("6"), mr("14")) + " " + "<m:limLow>" + me(mr("lim")) + mArg("lim", mr("n")) + "</m:limLow>" +
               "<m:acc><m:accPr><m:chr m:val=\"̄\"/></m:accPr>" + me(mr("x")) + "</m:acc>" + "<m:acc>" + me(mr("v")) + "</m:acc>" +
               "<m:bar><m:barPr><m:pos m:val=\"top\"/></m:barPr>" + me(mr("z")) + "</m:bar><m:bar>" + me(mr("w")) + "</m:bar>"),
         "₆¹⁴Climₙx̄v̂z̅w̲"},
        {"delimiters: brackets, separators, none",
         oMath(delim(R"(<m:begChr m:val="["/><m:endChr m:val=""/><m:sepChr m:val=","/>)", {mr("a"), mr("b")}) + delim("", {mr("c"), mr("d")})),
         "[a, b(c|d)"},
        {"function without brackets, binomial, matrix",
         oMath("<m:func><m:fName>" + mr("cos") + "</m:fName>" + me(mr("x")) + "</m:func>" + mr(",") + delim("", {frac(mr("n"), mr("k"), "noBar")}) + mr(",") +
               "<m:m><m:mr>" + me(mr("1")) + me(mr("0")) + "</m:mr><m:mr>" + me(mr("0")) + me(mr("1")) + "</m:mr></m:m>"),
         "cos x,(n, k),1, 0; 0, 1"},
        {"hidden phantom, shown phantom, properties and deletions add nothing",
         oMath("<m:phant>" + me(mr("h")) + "</m:phant><m:phant><m:phantPr><m:show m:val=\"1\"/></m:phantPr>" + me(mr("s")) + "</m:phant>" +
               "<m:ctrlPr><w:rPr><w:b/></w:rPr></m:ctrlPr><w:del>" + mr("gone") + "</w:del>"),
         "s"},
        {"LibreOffice's spacing accents, a stacked binomial, an over-brace with its label",
         oMath("<m:acc><m:accPr><m:chr m:val=\"^\"/></m:accPr>" + me(mr("x")) + "</m:acc><m:acc><m:accPr><m:chr m:val=\"~\"/></m:accPr>" + me(mr("z")) +
               "</m:acc>" + mr(",") + delim("", {"<m:eqArr>" + me(mr("n")) + me(mr("k")) + "</m:eqArr>"}) + mr(",") + "<m:limUpp>" +
               me("<m:groupChr><m:groupChrPr><m:chr m:val=\"⏞\"/></m:groupChrPr>" + me(mr("x+y")) + "</m:groupChr>") + mArg("lim", mr("n")) + "</m:limUpp>"),
         "x̂z̃,(n; k),x + yⁿ"},
        {"display equations, one to a line",
         "<m:oMathPara><m:oMathParaPr/>" + oMath(mr("a=b")) + oMath("<m:eqArr>" + me(mr("c=1")) + me(mr("d=2")) + "</m:eqArr>") + "</m:oMathPara>",
         "a = b\nc = 1\nd = 2"},
    };
    for (const Case& c : cases) {
        Walk walk(Package(para(c.content)));
        ASSERT_EQ(walk.pieces().size(), 1u) << c.what;
        EXPECT_EQ(plain(walk.paragraph(0).runs), c.text) << c.what;
    }
    // An equation's own size counts towards the paragraph's; an empty one adds nothing.
    Walk sized{Package(para(oMath("<m:r><w:rPr><w:sz w:val=\"40\"/></w:rPr><m:t>E=mc</m:t></m:r>")))};
    EXPECT_EQ(sized.paragraph(0).size, 20);
    Walk empty{Package(para(oMath("<m:r><m:t> </m:t></m:r>")))};
    EXPECT_TRUE(empty.pieces().empty());
}
