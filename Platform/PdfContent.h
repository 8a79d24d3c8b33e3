#pragma once

// A scanner over a page's content stream that reports the four operators that
// place pictures: "q", "Q", "cm" and "Do". Every other operator, inline images
// (BI … EI) included, is parsed and skipped. XObject names resolve through the
// stream's resources and then through the streams that enclose it, so a form
// XObject is scanned as a stream of its own whose parent is the stream that
// drew it. Malformed content never throws: scanning stops where the parser
// gives up, and what was reported until then stands.
//
// A page's stream and every form stream scanned under it share one budget of
// decoded bytes: a stream that would overrun it is not scanned at all, so a
// small file that inflates to gigabytes, or a large form drawn over and over,
// costs bounded memory and time.

#include "Platform/PdfDocument.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace Platform::PdfContent {

// The operands met since the last operator, popped from the top (last first).
// A pop of the wrong kind fails and leaves the operand in place.
class Operands {
public:
    std::optional<double> popNumber();
    std::optional<std::string> popName(); // without the leading "/"

    void push(std::variant<std::monostate, double, std::string> operand);
    void clear() { stack_.clear(); }
    std::size_t size() const { return stack_.size(); }

private:
    std::vector<std::variant<std::monostate, double, std::string>> stack_;
};

class ContentStream;

// An XObject resource as the scanner found it.
struct XObject {
    enum class Kind { image, form, other };
    Kind kind = Kind::other;
    // A form's /Matrix when it is an array: its entries in order, 0 for any that is not a number.
    std::optional<std::vector<double>> matrix;
};

// What the scanner reports. Operands left on the stack are dropped after each
// operator. Return true from `stopRequested` to end the scan early.
class Handler {
public:
    virtual ~Handler() = default;
    virtual void push() {}                                              // q
    virtual void pop() {}                                               // Q
    virtual void concat(Operands& operands) { (void)operands; }         // cm
    virtual void drawObject(Operands& operands, const ContentStream& stream) // Do
    {
        (void)operands;
        (void)stream;
    }
    virtual bool stopRequested() const { return false; }
};

// Decoded content bytes one page may cost, its forms included. qpdf parses
// about 3 MB a second, so this bounds a page's scan to a few seconds; a page
// of plain text and pictures needs a few hundred kilobytes.
inline constexpr std::size_t pageContentBytes = 8u << 20;

class ContentStream {
public:
    // The content stream of a page with the page's (inherited) resources; none
    // when the page has no object qpdf could read. `decodedBytes` is the budget
    // shared with the forms scanned under it.
    static std::optional<ContentStream> ofPage(const PdfPage& page, std::size_t decodedBytes = pageContentBytes);

    // The XObject named `name` in this stream's resources or, failing that, in
    // those of the enclosing streams; none when no stream names it or it is not a stream.
    std::optional<XObject> xobject(std::string_view name) const;
    // The content stream of form `name`, with the form's /Resources (or, without
    // them, the form's own dictionary) and this stream as its parent.
    std::optional<ContentStream> form(std::string_view name) const;

    // The bytes image `name` keeps as a plain JPEG (DCT alone, grey or RGB, 8
    // bits, no mask, no decode array, no more than `most` bytes), as stored:
    // the picture needs no decoding to be shown. None for any other XObject.
    std::optional<Bytes> storedJpeg(std::string_view name, std::size_t most) const;

    // Whether this stream's resources or those of an enclosing stream name any
    // XObject: without one, "Do" can draw nothing.
    bool hasXObjects() const;

    // Reports the stream's operators to `handler` in content order; reports
    // nothing when the stream's decoded bytes exceed what is left of the budget.
    void scan(Handler& handler) const;

    struct Impl;

private:
    explicit ContentStream(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<const Impl> impl_;
};

} // namespace Platform::PdfContent
