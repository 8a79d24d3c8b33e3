#include "Platform/Xml.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace Platform;

namespace {

std::optional<Xml::Document> parse(std::string_view text)
{
    return Xml::Document::parse(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

constexpr const char* wordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

} // namespace

TEST(Xml, WalksElementChildrenByLocalName)
{
    auto doc = parse(R"(<?xml version="1.0"?>
<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" xmlns:x="urn:other">
  <!-- a comment -->
  <w:body><w:p/><x:p/><w:tbl/><p/></w:body>
</w:document>)");
    ASSERT_TRUE(doc);
    Xml::Element root = doc->root();
    EXPECT_EQ(root.localName(), "document");
    Xml::Element body = root.child("body");
    ASSERT_TRUE(body);
    std::vector<std::string_view> names;
    for (Xml::Element e : body.children()) names.push_back(e.localName());
    EXPECT_EQ(names, (std::vector<std::string_view>{"p", "p", "tbl", "p"}));
    EXPECT_FALSE(root.child("Body")); // exact, case-sensitive
    EXPECT_FALSE(Xml::Element().child("p"));
    EXPECT_EQ(Xml::Element().children().begin(), Xml::Element().children().end());
}

TEST(Xml, AttributesByNamespaceAnyNamespaceOrNone)
{
    auto doc = parse(R"(<r xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" xmlns:o="urn:o">
  <a o:val="other" w:val="word" cx="12"/>
  <b o:val="other"/>
  <c val="plain"/>
</r>)");
    ASSERT_TRUE(doc);
    auto a = doc->root().child("a");
    EXPECT_EQ(a.attribute("val", wordNamespace), "word");
    EXPECT_EQ(a.attributeAnyNamespace("val"), "other"); // first in document order
    EXPECT_EQ(a.plainAttribute("cx"), "12");
    EXPECT_EQ(a.plainAttribute("val"), std::nullopt);
    auto b = doc->root().child("b");
    EXPECT_EQ(b.attribute("val", wordNamespace), std::nullopt);
    EXPECT_EQ(b.attributeAnyNamespace("val"), "other");
    EXPECT_EQ(doc->root().child("c").attributeAnyNamespace("val"), "plain");
}

TEST(Xml, TextKeepsWhiteSpaceAndResolvesEntities)
{
    auto doc = parse("<r><t xml:space=\"preserve\">  a &amp; b&#x20AC;&lt; </t><t> </t><u>x<v>y</v><![CDATA[<z>]]></u></r>");
    ASSERT_TRUE(doc);
    auto children = doc->root().children();
    auto it = children.begin();
    EXPECT_EQ((*it).text(), "  a & b\u20AC< ");
    ++it;
    EXPECT_EQ((*it).text(), " ");
    ++it;
    EXPECT_EQ((*it).text(), "xy<z>");
}

TEST(Xml, RefusesWhatIsNotWellFormed)
{
    for (const char* text : {"", "not xml", "<a><b></a>", "<?xml version=\"1.0\"?>", "<a>&undeclared;</a>"})
        EXPECT_FALSE(parse(text)) << text;
}

TEST(Xml, ForbiddenCharactersAreReadAsReplacementCharacters)
{
    const std::string fffd = "\uFFFD";
    struct Case {
        std::string xml;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"<a>x\x01y\x1Fz</a>", "x" + fffd + "y" + fffd + "z"},
        {"<a>x\xEF\xBF\xBEy\xEF\xBF\xBF</a>", "x" + fffd + "y" + fffd},        // raw U+FFFE, U+FFFF
        {"<a>&#xFFFF;&#1;&#0;&#xD800;&#1114112;&#x0000000000000000001;</a>", fffd + fffd + fffd + fffd + fffd + fffd},
        {"<a>&#x41;&#9;&#xFFFD;&#x10FFFF;</a>", "A\t\uFFFD\U0010FFFF"},          // allowed references stay
        {"<a>x\xC3(\xED\xA0\x80y</a>", "x" + fffd + "(" + fffd + fffd + fffd + "y"}, // not UTF-8
        {"<a>\xE4\xB8</a>", fffd},                                                  // cut short
        {"<a>\u00E9\u6F22\uE000\uFF01\uFEFF\U0001F600\uFDD0</a>", "\u00E9\u6F22\uE000\uFF01\uFEFF\U0001F600\uFDD0"},
        {"<a><![CDATA[&#1;]]><!-- &#1; --><?pi &#1;?>&#1;</a>", "&#1;" + fffd},    // literal in CDATA
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\x02</a>", fffd},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>", "caf\u00E9"},
    };
    for (const auto& c : cases) {
        auto doc = parse(c.xml);
        ASSERT_TRUE(doc) << c.xml;
        EXPECT_EQ(doc->root().text(), c.text) << c.xml;
    }

    auto attribute = parse("<a v=\"&#x1;\x01\"/>");
    ASSERT_TRUE(attribute);
    EXPECT_EQ(attribute->root().plainAttribute("v"), fffd + fffd);

    // What is wrong with the markup itself still fails.
    for (const char* text : {"<a>&#x;</a>", "<a>&#12</a>", "<a\x01>x</a>", "<a>\x01"})
        EXPECT_FALSE(parse(text)) << text;
}

TEST(Xml, HostileDocumentsStayCheap)
{
    // Billion laughs: declared entities are never expanded.
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) laughs += (i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";");
        laughs += "\">";
    }
    laughs += "]><lolz><t>&lol9;</t></lolz>";
    auto start = std::chrono::steady_clock::now();
    auto doc = parse(laughs);
    if (doc) {
        EXPECT_LT(doc->root().text().size(), 1000u);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(150)));

    // An external entity is never fetched.
    auto external = parse("<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><x>&e;</x>");
    if (external) {
        EXPECT_EQ(external->root().text().find("root:"), std::string::npos);
    }

    // Compact markup that would cost gigabytes as a tree is refused unparsed.
    std::string dense = "<r>";
    while (dense.size() < 8'000'000) dense += "<a/><a/><a/><a/>";
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(parse(dense + "</r>"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, HangGuard::limit(std::chrono::milliseconds(100)));
    std::string attributes = "<r>";
    while (attributes.size() < 2'000'000) attributes += "<a b=\"1\" c=\"2\"/>";
    EXPECT_TRUE(parse(attributes + "</r>"));

    // Nesting 10,000 deep is refused by the parser's depth limit.
    std::string deep;
    for (int i = 0; i < 10000; ++i) deep += "<a>";
    for (int i = 0; i < 10000; ++i) deep += "</a>";
    EXPECT_FALSE(parse(deep));
}
