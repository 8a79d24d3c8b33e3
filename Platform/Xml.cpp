// libxml2 is asked for the safest parse it offers: no network, no external
// DTD or entity loading, no substitution of declared entities and its default
// depth and size limits. Declared entities then stay as reference nodes,
// which text() skips, so a billion-laughs part costs no more than its bytes.

#include "Platform/Xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstddef>
#include <mutex>

namespace Platform::Xml {
namespace {

const xmlNode* asNode(const void* p) { return static_cast<const xmlNode*>(p); }

std::string_view view(const xmlChar* s)
{
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

const xmlNode* nextElement(const xmlNode* node)
{
    while (node && node->type != XML_ELEMENT_NODE) node = node->next;
    return node;
}

std::optional<std::string> attributeValue(const xmlAttr* attr)
{
    std::string value;
    for (const xmlNode* c = attr->children; c; c = c->next)
        if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) value += view(c->content);
    return value;
}

void silent(void*, const char*, ...) {}

void initialize()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    // Some reports (encoding errors) bypass XML_PARSE_NOERROR; a part that
    // fails to parse is only ever treated as missing, so nothing is printed.
    // The handler is per thread in libxml2.
    xmlSetGenericErrorFunc(nullptr, silent);
}

} // namespace

Element::Iterator& Element::Iterator::operator++()
{
    node_ = nextElement(asNode(node_)->next);
    return *this;
}

std::string_view Element::localName() const
{
    return node_ ? view(asNode(node_)->name) : std::string_view();
}

std::string Element::text() const
{
    std::string out;
    if (!node_) return out;
    // Iterative walk: no recursion however deep the tree is.
    const xmlNode* top = asNode(node_);
    const xmlNode* node = top->children;
    while (node) {
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) out += view(node->content);
        if (node->type == XML_ELEMENT_NODE && node->children) {
            node = node->children;
            continue;
        }
        while (node && !node->next) {
            node = node->parent;
            if (node == top) return out;
        }
        if (node) node = node->next;
    }
    return out;
}

std::optional<std::string> Element::attribute(std::string_view localName, std::string_view namespaceUri) const
{
    if (!node_) return std::nullopt;
    for (const xmlAttr* a = asNode(node_)->properties; a; a = a->next)
        if (a->ns && view(a->name) == localName && view(a->ns->href) == namespaceUri) return attributeValue(a);
    return std::nullopt;
}

std::optional<std::string> Element::attributeAnyNamespace(std::string_view localName) const
{
    if (!node_) return std::nullopt;
    for (const xmlAttr* a = asNode(node_)->properties; a; a = a->next)
        if (view(a->name) == localName) return attributeValue(a);
    return std::nullopt;
}

std::optional<std::string> Element::plainAttribute(std::string_view name) const
{
    if (!node_) return std::nullopt;
    for (const xmlAttr* a = asNode(node_)->properties; a; a = a->next)
        if (!a->ns && view(a->name) == name) return attributeValue(a);
    return std::nullopt;
}

Element::Children Element::children() const
{
    if (!node_) return {};
    return {Iterator(nextElement(asNode(node_)->children))};
}

Element Element::child(std::string_view localName) const
{
    for (Element e : children())
        if (e.localName() == localName) return e;
    return {};
}

struct Document::Impl {
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc{nullptr, xmlFreeDoc};
};

Document::Document(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

std::optional<Document> Document::parse(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    std::size_t markup = 0;
    for (std::uint8_t byte : bytes) markup += (byte == '<') | (byte == '=');
    if (2 * bytes.size() + 260 * markup > maxTreeBytes) return std::nullopt;
    initialize();
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    xmlDoc* doc = xmlReadMemory(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), nullptr, nullptr, options);
    auto impl = std::make_unique<Impl>();
    impl->doc.reset(doc);
    if (!doc || !xmlDocGetRootElement(doc)) return std::nullopt;
    return Document(std::move(impl));
}

Element Document::root() const
{
    return Element(xmlDocGetRootElement(impl_->doc.get()));
}

} // namespace Platform::Xml
