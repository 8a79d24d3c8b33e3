#include "Platform/PdfContent.h"
#include "Platform/PdfContentCost.h"
#include "Platform/PdfContentLexer.h"
#include "tests/Platform/PdfFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>
#include <sstream>
#include <zlib.h>

using namespace Platform;
using namespace Platform::PdfContent;

namespace Platform {
// The qpdf page behind a page, as the content scanner reads it.
std::optional<QPDFPageObjectHelper> qpdfPageOf(const PdfPage& page);
} // namespace Platform
using PdfFixtures::Builder;

namespace {

// Writes what the scanner reports as a line of words, entering forms.
class Recorder : public Handler {
public:
    void push() override { out << "q "; }
    void pop() override { out << "Q "; }
    void concat(Operands& operands) override
    {
        std::vector<double> values;
        while (auto v = operands.popNumber()) values.insert(values.begin(), *v);
        out << "cm(";
        for (std::size_t i = 0; i < values.size(); ++i) out << (i ? "," : "") << values[i];
        out << ") ";
    }
    void drawObject(Operands& operands, const ContentStream& stream) override
    {
        auto name = operands.popName();
        if (!name) {
            out << "Do(?) ";
            return;
        }
        auto object = stream.xobject(*name);
        if (!object) {
            out << "Do(" << *name << ":none) ";
        } else if (object->kind == XObject::Kind::image) {
            out << "Do(" << *name << ":image) ";
        } else if (object->kind == XObject::Kind::form) {
            out << "Do(" << *name << ":form" << (object->matrix ? std::to_string(object->matrix->size()) : "") << ") [ ";
            if (auto form = stream.form(*name)) form->scan(*this);
            out << "] ";
        }
    }
    bool stopRequested() const override { return out.str().size() > stopAfter; }

    std::ostringstream out;
    std::size_t stopAfter = 1'000'000;
};

std::string scanFirstPage(const Bytes& pdf, Recorder& recorder)
{
    auto document = PdfDocument::open(pdf).document.value();
    auto stream = ContentStream::ofPage(document.page(0).value());
    if (!stream) return "no stream";
    stream->scan(recorder);
    return recorder.out.str();
}

std::string scanFirstPage(const Bytes& pdf)
{
    Recorder recorder;
    return scanFirstPage(pdf, recorder);
}

} // namespace

TEST(PdfContentOperands, PopsFromTheTopAndFailsOnTheWrongKind)
{
    Operands operands;
    operands.push(std::string("Im"));
    operands.push(2.5);
    EXPECT_FALSE(operands.popName());
    EXPECT_EQ(operands.popNumber(), 2.5);
    EXPECT_FALSE(operands.popNumber());
    EXPECT_EQ(operands.popName(), "Im");
    EXPECT_FALSE(operands.popName());
    for (int i = 0; i < 1000; ++i) operands.push(double(i));
    EXPECT_LE(operands.size(), 64u) << "a stream of operands without operators stays bounded";
    EXPECT_EQ(operands.popNumber(), 999);
}

TEST(PdfContent, ReportsTheFourOperatorsInOrderAndSkipsTheRest)
{
    Builder builder;
    builder.page("q 200 0 0 100 50 300 cm /Im Do Q 0 0 1 rg 10 10 m 20 20 l S "
                 "BI /W 1 /H 1 /CS /G /BPC 8 ID \x80 EI q /Nope Do Q",
                 Builder::xobjects({{"Im", builder.image()}}));
    EXPECT_EQ(scanFirstPage(builder.write()), "q cm(200,0,0,100,50,300) Do(Im:image) Q q Do(Nope:none) Q ");
}

TEST(PdfContent, EntersFormsAndResolvesNamesThroughTheEnclosingStreams)
{
    Builder builder;
    QPDFObjectHandle image = builder.image();
    // The inner form has no resources of its own: "Im" comes from the page.
    QPDFObjectHandle inner = builder.form("/Im Do", QPDFObjectHandle::newNull());
    QPDFObjectHandle outer = builder.form("q /Inner Do Q", Builder::xobjects({{"Inner", inner}}), "[2 0 0 2 10 10]");
    builder.page("/Outer Do", Builder::xobjects({{"Outer", outer}, {"Im", image}}));
    EXPECT_EQ(scanFirstPage(builder.write()), "Do(Outer:form6) [ q Do(Inner:form) [ Do(Im:image) ] Q ] ");
}

TEST(PdfContent, ReadsAFormMatrixWithNonNumbersAsZero)
{
    Builder builder;
    QPDFObjectHandle form = builder.form("", QPDFObjectHandle::newNull(), "[1 /x 0 1 5 (s)]");
    builder.page("/F Do", Builder::xobjects({{"F", form}}));
    auto document = PdfDocument::open(builder.write()).document.value();
    auto stream = ContentStream::ofPage(document.page(0).value()).value();
    auto object = stream.xobject("F").value();
    ASSERT_TRUE(object.matrix);
    EXPECT_EQ(*object.matrix, (std::vector<double>{1, 0, 0, 1, 5, 0}));
}

TEST(PdfContent, KeepsWhatWasFoundWhenTheStreamBreaksOff)
{
    Builder builder;
    builder.page("q 1 0 0 1 5 5 cm Q (unterminated string q Q", {});
    std::string seen;
    EXPECT_NO_THROW(seen = scanFirstPage(builder.write()));
    EXPECT_EQ(seen.rfind("q cm(1,0,0,1,5,5) Q", 0), 0u) << "[" << seen << "]";
}

TEST(PdfContent, StopsWhenTheHandlerAsks)
{
    Builder builder;
    std::string content;
    for (int i = 0; i < 10000; ++i) content += "q Q ";
    builder.page(content, {});
    Recorder recorder;
    recorder.stopAfter = 100;
    std::string seen = scanFirstPage(builder.write(), recorder);
    EXPECT_GT(seen.size(), 100u);
    EXPECT_LT(seen.size(), 120u);
}

TEST(PdfContent, SharesOneBudgetOfDecodedBytesBetweenAPageAndItsForms)
{
    // The page's stream is 24 bytes; each time the form is entered costs 6 more.
    Builder builder;
    QPDFObjectHandle form = builder.form("/Im Do", QPDFObjectHandle::newNull());
    builder.page("/F Do /F Do /F Do /F Do ", Builder::xobjects({{"F", form}, {"Im", builder.image()}}));
    Bytes pdf = builder.write();
    auto document = PdfDocument::open(pdf).document.value();
    const std::string entered = "Do(F:form) [ Do(Im:image) ] ", skipped = "Do(F:form) [ ] ";
    struct Case {
        std::size_t budget;
        std::string seen;
    };
    for (const Case& c : {Case{23, ""}, Case{24, skipped + skipped + skipped + skipped},
                          Case{36, entered + entered + skipped + skipped},
                          Case{1000, entered + entered + entered + entered}}) {
        Recorder recorder;
        ContentStream::ofPage(document.page(0).value(), c.budget).value().scan(recorder);
        EXPECT_EQ(recorder.out.str(), c.seen) << "budget " << c.budget;
    }
}

namespace {

constexpr TextCost unlimited{~std::size_t{0}, ~std::size_t{0}, ~std::size_t{0},
                              ~std::size_t{0}, ~std::size_t{0}, ~std::size_t{0}};

TextCost measureFirstPage(const Bytes& pdf, const TextCost& limits = unlimited,
                          Counting counting = Counting::everyToken)
{
    auto document = PdfDocument::open(pdf).document.value();
    return measureText(document.page(0).value(), limits, counting);
}

} // namespace

TEST(PdfContentCost, CountsEveryFormAsOftenAsItIsDrawnNestedOnesIncluded)
{
    Builder builder;
    // Inner has no resources: "Self" comes from Outer's, and draws Outer,
    // which is being drawn already (Poppler won't draw it again), and an image.
    QPDFObjectHandle inner = builder.form("<616263> Tj /Im Do", QPDFObjectHandle::newNull());
    QPDFObjectHandle outer = builder.form("(xy) Tj /Inner Do /Inner Do", QPDFObjectHandle::newNull());
    outer.getDict().replaceKey("/Resources", Builder::xobjects({{"Inner", inner}, {"Self", outer}}));
    inner.replaceStreamData("<616263> Tj /Im Do /Self Do", QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    const std::string page = "BT (a\\)b\\\\c\\101\\\n) Tj [(de) -5 (f)] TJ (g) ' 1 2 (h) \" ET /Outer Do /Outer Do";
    builder.page(page, Builder::xobjects({{"Outer", outer}, {"Im", builder.image()}}));
    TextCost cost = measureFirstPage(builder.write());
    const std::size_t innerBytes = std::string("<616263> Tj /Im Do /Self Do").size();
    const std::size_t outerBytes = std::string("(xy) Tj /Inner Do /Inner Do").size();
    EXPECT_EQ(cost.formUses, 2u + 4u);
    EXPECT_EQ(cost.textOperators, 4u + 2 * (1 + 2 * 1));
    // Strings as shown: "a)b\cA" (the escaped line end adds nothing), "de" and "f", "g", "h".
    EXPECT_EQ(cost.shownBytes, 6u + 3 + 1 + 1 + 2 * (2 + 2 * 3));
    EXPECT_EQ(cost.bytes, page.size() + 2 * outerBytes + 4 * innerBytes);
}

TEST(PdfContentCost, CountsOnlyWhatIsDrawnAsText)
{
    // Comments, dictionaries, an inline image's data and strings that no text
    // operator shows are no text; "Tj" inside a string is no operator.
    std::string content = "% (comment) Tj\n/P << /MCID 0 >> BDC EMC (Tj Tj) pop "
                          "BI /W 4 /H 1 /CS /G /BPC 8 ID (Tj EI BI /W 1 /H 1 /F /AHx ID 41> EI "
                          "[(a) (b)] TJ";
    Builder builder;
    builder.page(content, {});
    TextCost cost = measureFirstPage(builder.write());
    EXPECT_EQ(cost.textOperators, 1u);
    EXPECT_EQ(cost.shownBytes, 2u);
    EXPECT_EQ(cost.formUses, 0u);

    // Every operand and operator is a token; white space and comments are none.
    Builder tokens;
    tokens.page("q 1 0 0 1 5 5 cm Q % a comment\n  (a b) Tj [(c) -5 (d)] TJ", {});
    EXPECT_EQ(measureFirstPage(tokens.write()).tokens, 11u + 6);
}

TEST(PdfContentCost, StopsAtTheFirstLimitPassed)
{
    // One form of 1,000 text operators drawn 10,000 times: the count stops
    // about where the limit lies, not after ten million operators.
    Builder builder;
    std::string thousand;
    for (int i = 0; i < 1000; ++i) thousand += "(w) Tj ";
    QPDFObjectHandle form = builder.form("BT " + thousand + "ET", QPDFObjectHandle::newNull());
    std::string draws;
    for (int i = 0; i < 10'000; ++i) draws += "/F Do ";
    builder.page(draws, Builder::xobjects({{"F", form}}));
    Bytes pdf = builder.write();
    EXPECT_EQ(measureFirstPage(pdf).textOperators, 10'000'000u);

    TextCost limits = unlimited;
    limits.textOperators = 50'000;
    TextCost cost = measureFirstPage(pdf, limits);
    EXPECT_FALSE(cost.within(limits));
    EXPECT_LE(cost.textOperators, limits.textOperators + 1000);
    EXPECT_LE(cost.formUses, 51u);

    limits = unlimited;
    limits.formUses = 300;
    EXPECT_EQ(measureFirstPage(pdf, limits).formUses, 301u);

    limits = unlimited;
    limits.tokens = 100'000; // the page's own stream holds 20,000; the form 2,002
    cost = measureFirstPage(pdf, limits);
    EXPECT_FALSE(cost.within(limits));
    EXPECT_EQ(cost.formUses, 40u);

    limits = unlimited;
    limits.bytes = 100'000; // the page's own stream is 60,000 bytes; the form takes ~7,000 each time
    cost = measureFirstPage(pdf, limits);
    EXPECT_FALSE(cost.within(limits));
    EXPECT_LE(cost.formUses, 7u);
}

TEST(PdfContentCost, CountsFormsNestedDeeperThanPopplerDrawsAsPastTheLimits)
{
    for (int depth : {100, 101}) {
        Builder builder;
        QPDFObjectHandle form = builder.form("(x) Tj", QPDFObjectHandle::newNull());
        for (int i = 1; i < depth; ++i) form = builder.form("/N Do", Builder::xobjects({{"N", form}}));
        builder.page("/N Do", Builder::xobjects({{"N", form}}));
        TextCost limits = unlimited;
        limits.formUses = 1000;
        TextCost cost = measureFirstPage(builder.write(), limits);
        EXPECT_EQ(cost.within(limits), depth == 100) << depth;
        if (depth == 100) {
            EXPECT_EQ(cost.textOperators, 1u);
        }
    }
}

TEST(PdfContentCost, CountsTheGraphicsStatesSavedAtOnce)
{
    // The page nests four deep (a "Q" without its "q" saves nothing back);
    // the form, two deep, is drawn on a state of its own over all four.
    Builder builder;
    QPDFObjectHandle form = builder.form("q q Q Q q Q", QPDFObjectHandle::newNull());
    builder.page("Q Q q q Q q q q Q Q Q Q Q /F Do", Builder::xobjects({{"F", form}}));
    EXPECT_EQ(measureFirstPage(builder.write()).savedStates, 4u + 1 + 2);
}

namespace {

// A PDF written out by hand, for what qpdf's writer would repair: objects 1…n
// (1 the catalog) and their cross-reference table.
Bytes rawPdf(const std::vector<std::string>& objects)
{
    std::string out = "%PDF-1.4\n", xref = "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t i = 0; i < objects.size(); ++i) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", out.size());
        xref += entry;
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::string at = std::to_string(out.size());
    out += xref + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\n";
    out += "startxref\n" + at + "\n";
    return Bytes(out.begin(), out.end());
}

std::string streamObject(const std::string& data, const std::string& dictionary = "")
{
    return "<< /Length " + std::to_string(data.size()) + " " + dictionary + " >>\nstream\n" + data + "\nendstream";
}

const std::string pageObject = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents ";

// One page (object 3) drawing `content` with `resources`; objects 5 on are `more`.
Bytes rawPage(const std::string& content, const std::string& resources, std::vector<std::string> more = {},
              const std::string& contentDictionary = "")
{
    more.insert(more.begin(), {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                               pageObject + "4 0 R /Resources " + resources + " >>",
                               streamObject(content, contentDictionary)});
    return rawPdf(more);
}

std::string deflated(const std::string& data)
{
    std::string out(compressBound(data.size()), '\0');
    uLongf size = out.size();
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()), data.size());
    out.resize(size);
    return out;
}

const std::string formObject = streamObject("(x) Tj", "/Subtype /Form /BBox [0 0 9 9]");

} // namespace

TEST(PdfContentCost, CallsWhatItCannotMeasureUnknownAndMeasuresItsOrdinaryKin)
{
    struct Case {
        const char* what;
        Bytes pdf;
        std::string_view unknown;  // why, or empty when measured
        std::size_t textOperators; // when measured
    };
    const std::string forms = "<< /XObject << /F 5 0 R /G 6 0 R >> >>";
    const std::string twice = "<< /XObject << /G 6 0 R /G 6 0 R >> >>";
    const Case cases[] = {
        {"an inline image with an EI in its filtered data",
         rawPage("BI /W 4 /H 1 /CS /G /BPC 8 /F /AHx ID 41EI42> EI (x) Tj", "<< >>"),
         "an inline image's end can't be told", 0},
        {"a filtered inline image", rawPage("BI /W 4 /H 1 /CS /G /BPC 8 /F /AHx ID 41424344> EI (x) Tj", "<< >>"),
         "", 1},
        {"an indexed inline image with a decode array, whose data is EI",
         rawPage("BI /W 2 /H 1 /CS [/I /RGB 1 <000000FFFFFF>] /BPC 8 /D [1 0] ID EI EI (x) Tj", "<< >>"), "", 1},
        {"a name holding a NUL", rawPage("/F#00x Do", forms, {formObject, formObject}), "a name holds a NUL byte", 0},
        {"a font's name holding a NUL, with no resources", rawPage("/F#00x 12 Tf (x) Tj", "<< >>"),
         "a name holds a NUL byte", 0},
        {"a name holding an escaped space", rawPage("/F#20x Do /F Do", forms, {formObject, formObject}), "", 1},
        {"resources naming a form twice", rawPage("/G Do", twice, {formObject, formObject}),
         "a dictionary repeats a key", 0},
        {"a form's resources naming a form twice",
         rawPage("/F Do", forms, {streamObject("/G Do", "/Subtype /Form /Resources " + twice), formObject}),
         "a dictionary repeats a key", 0},
        {"content under a predictor qpdf refuses and Poppler passes over",
         rawPage(deflated("\x07(x) \x07Tj  "), "<< >>", {}, "/Filter /Fl /DecodeParms << /Predictor 3 /Columns 4 >>"),
         "qpdf can't decode the page's content", 0},
        // Counted up to the damage, as both read it; mended, as a page with nothing on it is damaged.
        {"damaged deflated content, which both read up to the damage",
         rawPage(deflated("(x) Tj ").substr(0, 8), "<< >>", {}, "/Filter /FlateDecode"), "qpdf mended the page's content",
         0},
        {"content that names no object",
         rawPdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                 pageObject + "9 0 R /Resources << >> >>", streamObject("(x) Tj")}),
         "qpdf mended the page's content", 0},
        {"a form under a filter qpdf won't decode",
         rawPage("/F Do", forms, {streamObject("(x) Tj", "/Subtype /Form /Filter /JBIG2Decode"), formObject}),
         "qpdf can't decode a form's content", 0},
    };
    for (const Case& c : cases) {
        TextCost cost = measureFirstPage(c.pdf);
        EXPECT_EQ(cost.unknown, c.unknown) << c.what;
        // Counted only where it could cost, a page is as unknown as ever.
        EXPECT_EQ(measureFirstPage(c.pdf, unlimited, Counting::whereCostly).unknown, c.unknown) << c.what;
        EXPECT_EQ(cost.within(unlimited), c.unknown.empty()) << c.what;
        if (c.unknown.empty() || c.unknown == "qpdf mended the page's content") {
            EXPECT_EQ(cost.textOperators, c.textOperators) << c.what;
        }
    }
}

TEST(PdfContentCost, CallsEveryPageUnknownWhenQpdfsPageTreeIsNotPopplers)
{
    // Poppler passes over the kid that is no dictionary, or a node it has
    // seen already, so its first page is qpdf's second; without such a kid
    // both read the same two pages. A /Count that calls every kid a page,
    // believed until a page is read, must not hide it.
    struct Case {
        std::string kids;
        int count;
        bool disagree;
    };
    for (const Case& c : {Case{"7 0 R 3 0 R 5 0 R", 2, true}, Case{"3 0 R 5 0 R", 2, false},
                          Case{"7 0 R 3 0 R 5 0 R", 3, true}, Case{"3 0 R 5 0 R 7 0 R", 3, true},
                          Case{"2 0 R 3 0 R 5 0 R", 3, true}, Case{"3 0 R 5 0 R 2 0 R", 3, true},
                          Case{"3 0 R 5 0 R", 2'000'000'000, false}}) {
        auto document = PdfDocument::open(rawPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                                  "<< /Type /Pages /Kids [" + c.kids + "] /Count " +
                                                      std::to_string(c.count) + " >>",
                                                  pageObject + "4 0 R >>", streamObject("(a) Tj"),
                                                  pageObject + "6 0 R >>", streamObject("(b) Tj (b) Tj"), "42"}))
                            .document.value();
        for (int index : {0, 1, 0}) {
            auto page = document.page(index);
            if (!page) {
                EXPECT_TRUE(c.count > 2) << c.kids << " page " << index << ": only a lying count loses pages";
                continue;
            }
            TextCost cost = measureText(*page, unlimited);
            EXPECT_EQ(cost.within(unlimited), !c.disagree) << c.kids << " page " << index;
            EXPECT_EQ(cost.textOperators, c.disagree ? 0u : std::size_t(index + 1)) << c.kids;
        }
    }
}

TEST(PdfContentCost, ParsesOnlyThePageTreeAndThePageItMeasures)
{
    // Every page repeats a key, which qpdf notes as it parses the page: what
    // is noted tells which pages were parsed. A node whose /Count says all its
    // kids are pages leaves them unparsed until read; one whose count can't
    // be believed has its kids parsed at opening, and a tree Poppler counts
    // otherwise is qpdf's own list, which parses every page.
    constexpr int pages = 40, half = pages / 2;
    const auto pageNumber = [](int index) { return 5 + 2 * index; };
    const auto kids = [&](int from, int to) {
        std::string out;
        for (int i = from; i < to; ++i) out += std::to_string(pageNumber(i)) + " 0 R ";
        return out;
    };
    struct Case {
        const char* tree;
        bool balanced;
        int rootCount, firstHalfCount;
        std::size_t parsed; // pages parsed by opening and measuring page 30
    };
    const Case cases[] = {
        {"flat", false, pages, half, 1},
        {"balanced", true, pages, half, 1},
        {"a node whose count is not its kids'", true, pages, half + 1, half + 1},
        {"a root whose count lies", false, pages + 5, half, pages},
    };
    for (const Case& c : cases) {
        std::vector<std::string> objects{"<< /Type /Catalog /Pages 2 0 R >>",
                                         "<< /Type /Pages /Count " + std::to_string(c.rootCount) + " /Kids [" +
                                             (c.balanced ? std::string("3 0 R 4 0 R") : kids(0, pages)) + "] >>",
                                         "<< /Type /Pages /Parent 2 0 R /Count " + std::to_string(c.firstHalfCount) +
                                             " /Kids [" + kids(0, half) + "] >>",
                                         "<< /Type /Pages /Parent 2 0 R /Count " + std::to_string(half) + " /Kids [" +
                                             kids(half, pages) + "] >>"};
        for (int i = 0; i < pages; ++i) {
            const int parent = !c.balanced ? 2 : i < half ? 3 : 4;
            objects.push_back("<< /Type /Page /Parent " + std::to_string(parent) +
                              " 0 R /MediaBox [0 0 200 200] /Rotate 0 /Rotate 0 /Contents " +
                              std::to_string(pageNumber(i) + 1) + " 0 R >>");
            objects.push_back(streamObject("(x) Tj"));
        }
        auto document = PdfDocument::open(rawPdf(objects)).document.value();
        ASSERT_EQ(document.pageCount(), c.rootCount) << c.tree;
        for (int index = 0; index < document.pageCount(); ++index) document.page(index); // as an opening does
        auto page = document.page(30);
        ASSERT_TRUE(page) << c.tree;
        EXPECT_EQ(measureText(*page, unlimited).unknown, "a dictionary repeats a key") << c.tree;
        std::set<std::string> parsed;
        for (QPDFExc& warning : qpdfPageOf(*page)->getObjectHandle().getQPDF().getWarnings())
            if (warning.getMessageDetail().rfind("dictionary has duplicated key", 0) == 0)
                parsed.insert(warning.getObject());
        EXPECT_EQ(parsed.size(), c.parsed) << c.tree;
        EXPECT_EQ(parsed.count("object " + std::to_string(pageNumber(30)) + " 0"), 1u) << c.tree;
    }
}

TEST(PdfContentCost, CountsTheBytesAnInlineImageClaimsAsReadByPoppler)
{
    for (const auto& [image, claimed] : {std::pair{"/W 46000 /H 46000 /CS /RGB /BPC 8", 46000.0 * 46000 * 3},
                                         std::pair{"/W 10 /H 3 /CS /Named /BPC 4", 3.0 * 5}}) {
        const std::string content = std::string("BI ") + image + " /F /AHx ID 00> EI";
        EXPECT_EQ(measureFirstPage(rawPage(content, "<< >>")).bytes, content.size() + std::size_t(claimed)) << image;
        EXPECT_EQ(measureFirstPage(rawPage(content, "<< >>"), unlimited, Counting::whereCostly).bytes,
                  content.size() + std::size_t(claimed))
            << image;
    }
}

TEST(PdfContentCost, TokenizesWhereAskedOnlyAPageThatCouldPassALimitOrDrawMore)
{
    // Content of n bytes holds at most n tokens and n / 2 + 1 operators, and shows at most n bytes.
    const std::string content = "BT /F 12 Tf (plain text) Tj ET";
    const std::string forms = "<< /XObject << /F 5 0 R >> >>";
    TextCost tight = unlimited;
    struct Case {
        const char* what;
        Bytes pdf;
        std::function<void(TextCost&)> limit;
        bool tokenized;
    };
    const Case cases[] = {
        {"a short page of text", rawPage(content, "<< >>"), [](TextCost&) {}, false},
        {"as long as its bytes may be", rawPage(content, "<< >>"), [&](TextCost& l) { l.bytes = l.tokens = l.shownBytes = content.size(); }, false},
        {"possibly more tokens", rawPage(content, "<< >>"), [&](TextCost& l) { l.tokens = content.size() - 1; }, true},
        {"possibly more bytes shown", rawPage(content, "<< >>"), [&](TextCost& l) { l.shownBytes = content.size() - 1; }, true},
        {"possibly more text operators", rawPage(content, "<< >>"), [&](TextCost& l) { l.textOperators = content.size() / 2; }, true},
        {"possibly more states saved", rawPage(content, "<< >>"), [&](TextCost& l) { l.savedStates = content.size() / 2; }, true},
        {"resources it may draw", rawPage(content, forms, {formObject}), [](TextCost&) {}, true},
        {"graphics states", rawPage(content, "<< /ExtGState << >> >>"), [](TextCost&) {}, true},
        {"shadings", rawPage(content, "<< /Shading << >> >>"), [](TextCost&) {}, true},
        {"an inline image", rawPage("BI /W 1 /H 1 /CS /G /BPC 8 ID x EI " + content, "<< >>"), [](TextCost&) {}, true},
    };
    for (const Case& c : cases) {
        tight = unlimited;
        c.limit(tight);
        TextCost cost = measureFirstPage(c.pdf, tight, Counting::whereCostly);
        EXPECT_EQ(cost.tokens != 0, c.tokenized) << c.what;
        EXPECT_GE(cost.bytes, content.size()) << c.what;
        EXPECT_EQ(cost.unknown, "") << c.what;
    }
}

TEST(PdfContentCost, CountsAMaskGroupAtEachGsAndAShadingAtEachSh)
{
    // Poppler draws a soft mask's group each time "gs" sets it, and works
    // through a shading's data each time "sh" paints it.
    const std::string content = "/S gs /Plain gs /S gs /Sh sh /Sh sh /Sh sh /Flat sh";
    const std::string group = "(x) Tj", data = "0123456789";
    Bytes pdf = rawPage(content,
                        "<< /ExtGState << /S << /SMask << /S /Luminosity /G 5 0 R >> >> /Plain << /CA 0.5 >> >> "
                        "/Shading << /Sh 6 0 R /Flat << /ShadingType 2 >> >> >>",
                        {streamObject(group, "/Subtype /Form /Group << /S /Transparency >>"),
                         streamObject(data, "/ShadingType 4 /ColorSpace /DeviceGray")});
    TextCost cost = measureFirstPage(pdf);
    EXPECT_EQ(cost.unknown, "");
    EXPECT_EQ(cost.formUses, 2u);
    EXPECT_EQ(cost.textOperators, 2u);
    EXPECT_EQ(cost.bytes, content.size() + 2 * group.size() + 3 * data.size());
    EXPECT_GE(cost.tokens, 3 * data.size());
    EXPECT_LT(cost.tokens, 3 * data.size() + content.size());
}

TEST(PdfContentCost, CountsThePagesDrawingApartAndLeavesItOutOfItsText)
{
    struct Case {
        std::string content;
        std::size_t drawingTokens;
        std::string kept; // withoutDrawing's content, white space collapsed
    };
    const Case cases[] = {
        {"0 0 m 10 10 l S", 7, ""},
        {"BT /F1 12 Tf (a) Tj ET 1 2 3 4 re f*", 6, "BT /F1 12 Tf (a) Tj ET"},
        // A clip with its path, inside a saved state; the operators that set how lines are drawn stay.
        {"q 2 w 0 0 m 5 5 l W n (m l) Tj Q", 8, "q 2 w (m l) Tj Q"},
        // An inline image whose data spells operators; operands without an operator at the end.
        {"BI /W 1 /H 1 /CS /G /BPC 8 ID m EI 1 1 l 7", 3, "BI /W 1 /H 1 /CS /G /BPC 8 ID m EI 7"},
        // Tokens with no space between: none may join once a path goes from between them.
        {"BT/F1 9 Tf ET[0 0 100 100]0 d 1 1 m(x)Tj", 3, "BT/F1 9 Tf ET[0 0 100 100]0 d (x)Tj"},
        {"1 2 3 4 5 6 c 1 2 3 4 v 1 2 3 4 y h s F B B* b b*", 24, ""},
    };
    auto collapsed = [](const std::string& text) {
        std::istringstream words(text);
        std::string out;
        for (std::string word; words >> word;) out += (out.empty() ? "" : " ") + word;
        return out;
    };
    for (const Case& c : cases) {
        Builder builder;
        builder.page(c.content, {});
        TextCost cost = measureFirstPage(builder.write());
        EXPECT_EQ(cost.drawingTokens, c.drawingTokens) << c.content;
        EXPECT_EQ(collapsed(withoutDrawing(c.content)), c.kept) << c.content;
        // What is left draws no path, and shows what the whole showed.
        Builder left;
        left.page(withoutDrawing(c.content), {});
        TextCost leftCost = measureFirstPage(left.write());
        EXPECT_EQ(leftCost.drawingTokens, 0u) << c.content;
        EXPECT_EQ(leftCost.shownBytes, cost.shownBytes) << c.content;
    }
}

TEST(PdfContentCost, APagesTextIsReadAsWellWithoutItsDrawing)
{
    QPDFObjectHandle fonts =
        QPDFObjectHandle::parse("<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>");
    std::string drawing = "q 0.1 w 72 100 m\n";
    for (int i = 0; i < 2'000; ++i) drawing += std::to_string(72 + i % 400) + " " + std::to_string(100 + i % 500) + " l\n";
    drawing += "S Q\n";
    const std::string heading = "BT /F1 18 Tf 72 740 Td (Section one plot) Tj ET\n";
    const std::string footer = "BT /F1 10 Tf 72 60 Td (Measured on the coast) Tj ET\n";
    TextCost limits = unlimited;
    limits.tokens = 1'000;

    struct Case {
        const char* name;
        bool inForm;           // the drawing is a form's, which the page draws
        std::optional<Rect> crop;
        bool past;             // the text's own cost is past the limits
    };
    for (const Case& c : {Case{"drawn on the page", false, std::nullopt, false},
                          Case{"drawn on a cropped page", false, Rect{36, 36, 500, 720}, false},
                          Case{"drawn in a form", true, std::nullopt, true}}) {
        Builder builder;
        QPDFObjectHandle resources = fonts;
        std::string content = heading + drawing + footer;
        if (c.inForm) {
            resources = Builder::xobjects({{"Plot", builder.form(drawing, QPDFObjectHandle::newNull())}});
            resources.replaceKey("/Font", fonts.getKey("/Font"));
            content = heading + "/Plot Do\n" + footer;
        }
        // The page's resources are inherited from its tree, as many writers leave them.
        builder.page(content, QPDFObjectHandle::newNull(), {0, 0, 612, 792}, c.crop);
        QPDFObjectHandle page = QPDFPageDocumentHelper(builder.qpdf()).getAllPages().at(0).getObjectHandle();
        page.removeKey("/Resources");
        page.getKey("/Parent").replaceKey("/Resources", resources);
        auto document = PdfDocument::open(builder.write()).document.value();
        const PdfPage original = document.page(0).value();

        TextCost cost = measureText(original, limits);
        EXPECT_EQ(cost.past(limits), c.past) << c.name;
        EXPECT_TRUE(cost.drawingTooLarge(limits)) << c.name;
        EXPECT_EQ(cost.drawingTokens, c.inForm ? 0u : 6'004u) << c.name;
        if (c.past) continue;

        auto alone = withoutDrawing(original, 1 << 20);
        ASSERT_TRUE(alone) << c.name;
        auto copy = PdfDocument::open(*alone).document.value().page(0).value();
        EXPECT_EQ(copy.cropBox(), original.cropBox()) << c.name;
        const PdfPageText text = original.text(), kept = copy.text();
        EXPECT_EQ(kept.text, text.text) << c.name;
        EXPECT_EQ(kept.boxes, text.boxes) << c.name;
        EXPECT_LT(alone->size(), 4'000u) << c.name; // the drawing went, the fonts came along
        // Nothing that can't be decoded within the bytes allowed.
        EXPECT_FALSE(withoutDrawing(original, 100)) << c.name;
    }
}
