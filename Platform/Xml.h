#pragma once

// A small read-only XML tree over libxml2: parse bytes (no network, no DTD
// loading, no entity expansion, libxml2's depth limits), then walk elements
// by local name whatever their prefix. White-space-only text is kept.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Platform::Xml {

// A handle to one element of a Document; valid while the Document lives.
// Cheap to copy. A default-made Element is null and has no children.
class Element {
public:
    Element() = default;
    explicit operator bool() const { return node_ != nullptr; }

    std::string_view localName() const;
    // Text content: all text and CDATA below the element, in order, with
    // character and predefined entities resolved. References to entities the
    // document declares itself are left out rather than expanded.
    std::string text() const;

    // Attribute by local name in the namespace `namespaceUri`.
    std::optional<std::string> attribute(std::string_view localName, std::string_view namespaceUri) const;
    // Attribute by local name in any namespace or none (the first in document order).
    std::optional<std::string> attributeAnyNamespace(std::string_view localName) const;
    // Attribute written without a prefix (no namespace).
    std::optional<std::string> plainAttribute(std::string_view name) const;

    // Element children in document order.
    class Iterator {
    public:
        using value_type = Element;
        using difference_type = std::ptrdiff_t;
        Iterator() = default;
        explicit Iterator(const void* node) : node_(node) {}
        Element operator*() const { return Element(node_); }
        Iterator& operator++();
        Iterator operator++(int) { Iterator old = *this; ++*this; return old; }
        bool operator==(const Iterator&) const = default;
    private:
        const void* node_ = nullptr;
    };
    struct Children {
        Iterator first;
        Iterator begin() const { return first; }
        Iterator end() const { return Iterator(); }
    };
    Children children() const;
    // The first element child with this local name, or a null Element.
    Element child(std::string_view localName) const;

    bool operator==(const Element&) const = default;

private:
    friend class Document;
    explicit Element(const void* node) : node_(node) {}
    const void* node_ = nullptr;
};

// The most memory a parsed tree may be expected to take. The estimate is made
// before parsing: twice the bytes (the text held in the tree, and the bytes
// themselves) plus 260 bytes for every '<' and '=' (a node or an attribute
// with its text, as libxml2 stores them). Real documents of a thousand pages
// stay well below it; compact hostile markup would otherwise take gigabytes.
inline constexpr std::size_t maxTreeBytes = std::size_t(448) << 20;

// An owned, parsed document.
class Document {
public:
    // None when the bytes aren't well-formed XML (within libxml2's limits),
    // would make a tree larger than `maxTreeBytes`, or have no root element.
    // In a UTF-8 document, characters XML forbids (raw, or as character
    // references outside comments, CDATA and processing instructions) and
    // bytes that are not UTF-8 are read as U+FFFD rather than failing it.
    static std::optional<Document> parse(std::span<const std::uint8_t> bytes);

    Element root() const;

    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    ~Document();

private:
    struct Impl;
    explicit Document(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace Platform::Xml
