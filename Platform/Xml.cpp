// libxml2 is asked for the safest parse it offers: no network, no external
// DTD or entity loading, no substitution of declared entities and its default
// depth and size limits. Declared entities then stay as reference nodes,
// which text() skips, so a billion-laughs part costs no more than its bytes.
//
// Some generators write characters XML forbids (control characters, U+FFFE,
// references such as "&#xFFFF;") or bytes that are not UTF-8. libxml2 then
// refuses the whole part, so before parsing, a UTF-8 document has each of them
// replaced with U+FFFD, as the plain-text reader reads bad bytes.

#include "Platform/Xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
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

constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD

// XML 1.0's characters: tab, line feed, carriage return and U+0020 up, less
// the surrogates, U+FFFE and U+FFFF.
bool isXmlChar(std::uint32_t c)
{
    if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

// UTF-8 as the parser will read it: no UTF-16 or UCS-4 start, and an XML
// declaration, if any, that names UTF-8 or no encoding. Others are parsed as
// they are.
bool isUtf8Document(std::string_view text)
{
    if (!text.empty() && (text[0] == '\0' || text[0] == '\xFE' || text[0] == '\xFF')) return false;
    if (text.size() > 1 && text[1] == '\0') return false;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    if (!text.starts_with("<?xml")) return true;
    std::string_view declaration = text.substr(0, text.find("?>"));
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos) return true;
    std::size_t open = declaration.find_first_of("\"'", at);
    if (open == std::string_view::npos) return true; // malformed: the parser says so
    std::size_t close = declaration.find(declaration[open], open + 1);
    std::string_view name = declaration.substr(open + 1, close == std::string_view::npos ? 0 : close - open - 1);
    return equalsIgnoringCase(name, "utf-8") || equalsIgnoringCase(name, "utf8");
}

// One pass over a UTF-8 document that copies it only from the first
// replacement on. Character references are replaced in markup and text, not
// in comments, CDATA sections or processing instructions, where they are
// literal text.
class Repair {
public:
    Repair(std::string_view in, std::size_t limit) : in_(in), limit_(limit) {}

    // The repaired bytes; the input itself when nothing was replaced; none
    // when the copy would pass `limit` bytes.
    std::optional<std::string_view> run()
    {
        enum class Section { markup, comment, cdata, instruction } section = Section::markup;
        static const auto special = [] {
            // The bytes that may need a look: all others are copied as they are.
            std::array<bool, 256> table{};
            for (int b = 0; b < 256; ++b) table[b] = (b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b >= 0x80;
            for (unsigned char b : std::string_view("<&-]?")) table[b] = true;
            return table;
        }();
        const std::size_t n = in_.size();
        std::size_t i = 0;
        while (i < n) {
            while (i < n && !special[static_cast<unsigned char>(in_[i])]) ++i;
            if (i == n) break;
            if (std::size_t length = wellFormedLength(i)) {
                i += length;
                continue;
            }
            const auto byte = static_cast<unsigned char>(in_[i]);
            if (byte >= 0x80 || byte < 0x20) {
                i = scalar(i);
                if (out_.size() > limit_) return std::nullopt;
            } else if (section == Section::markup) {
                if (at(i, "<!--")) section = Section::comment, i += 4;
                else if (at(i, "<![CDATA[")) section = Section::cdata, i += 9;
                else if (at(i, "<?")) section = Section::instruction, i += 2;
                else i = byte == '&' ? reference(i) : i + 1;
            } else if ((section == Section::comment && at(i, "-->")) || (section == Section::cdata && at(i, "]]>"))) {
                section = Section::markup, i += 3;
            } else if (section == Section::instruction && at(i, "?>")) {
                section = Section::markup, i += 2;
            } else {
                ++i;
            }
        }
        if (!changed_) return in_;
        out_.append(in_.substr(done_));
        if (out_.size() > limit_) return std::nullopt;
        return std::string_view(out_);
    }

private:
    bool at(std::size_t i, std::string_view s) const { return in_.substr(i, s.size()) == s; }

    void replace(std::size_t from, std::size_t to)
    {
        out_.append(in_.substr(done_, from - done_));
        out_.append(replacement);
        done_ = to;
        changed_ = true;
    }

    // The length of the two- or three-byte sequence at i when it is well
    // formed and not U+FFFE or U+FFFF; 0 for anything that needs a closer look.
    // Most non-ASCII text is made of these, so it is passed over here.
    std::size_t wellFormedLength(std::size_t i) const
    {
        const auto at = [&](std::size_t k) { return k < in_.size() ? static_cast<unsigned char>(in_[k]) : 0u; };
        const auto trail = [](unsigned b) { return (b & 0xC0) == 0x80; };
        const unsigned lead = at(i);
        if (lead >= 0xC2 && lead <= 0xDF) return trail(at(i + 1)) ? 2 : 0;
        // E0 and ED bound their second byte, EF's last two may be BF BE or BF BF.
        if (lead >= 0xE1 && lead <= 0xEE && lead != 0xED) return trail(at(i + 1)) && trail(at(i + 2)) ? 3 : 0;
        return 0;
    }

    // A control character or a non-ASCII sequence at i; returns where the next starts.
    std::size_t scalar(std::size_t i)
    {
        auto j = static_cast<std::int32_t>(i);
        UChar32 c = 0;
        U8_NEXT(reinterpret_cast<const std::uint8_t*>(in_.data()), j, static_cast<std::int32_t>(in_.size()), c);
        if (c < 0 || !isXmlChar(static_cast<std::uint32_t>(c))) replace(i, static_cast<std::size_t>(j));
        return static_cast<std::size_t>(j);
    }

    // At an "&": a well-formed character reference to a forbidden character
    // is replaced whole. Anything else goes on at the next byte.
    std::size_t reference(std::size_t i)
    {
        if (!at(i, "&#")) return i + 1;
        std::size_t j = i + 2;
        const bool hex = j < in_.size() && in_[j] == 'x';
        j += hex;
        const std::size_t digits = j;
        std::uint32_t value = 0;
        for (; j < in_.size(); ++j) {
            int digit = hexDigit(in_[j]);
            if (digit < 0 || (!hex && digit > 9)) break;
            value = std::min<std::uint32_t>(value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit), 0x110000);
        }
        if (j == digits || j >= in_.size() || in_[j] != ';' || isXmlChar(value)) return i + 1;
        replace(i, j + 1);
        return j + 1;
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    std::string_view in_;
    std::size_t limit_;
    std::string out_;
    std::size_t done_ = 0; // input copied or replaced up to here
    bool changed_ = false;
};

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
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // A repaired copy stays within the same estimate (a replacement adds no markup).
    Repair repair(text, std::min<std::size_t>((maxTreeBytes - 260 * markup) / 2, INT_MAX));
    if (isUtf8Document(text)) {
        auto repaired = repair.run();
        if (!repaired) return std::nullopt;
        text = *repaired;
    }
    initialize();
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    xmlDoc* doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, options);
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
