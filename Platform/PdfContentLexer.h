#pragma once

// The tokens of a page's or a form's content stream, counted for what reading
// its text would cost: a small tokenizer of our own over the decoded bytes,
// far cheaper than a full content parser, which makes an object of every token.
// It knows nothing of the document: the forms a stream draws are only named.

#include "Platform/PdfContentCost.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Platform::PdfContent {

// A resource a stream uses by name, that may draw more: an XObject ("Do"),
// a graphics state whose soft mask is a group Poppler draws ("gs"), a
// shading ("sh").
enum class Use : std::uint8_t { xobject, graphicsState, shading };

// One stream's own counts (its formUses stay 0; savedStates is its deepest
// "q" nesting; bytes add the decoded size every inline image claims, which
// Poppler reads through) and the resources it uses.
struct Lexed {
    TextCost own;
    std::vector<std::string> names;   // distinct resources used, by name
    std::vector<Use> kinds;           // of each of names
    std::vector<std::uint32_t> draws; // indexes into names, in order of use
};


// a + b, or the largest size when that overflows: claimed sizes can be anything.
inline std::size_t saturatingSum(std::size_t a, std::size_t b) { return a > SIZE_MAX - b ? SIZE_MAX : a + b; }

class Tokens;

// Counts the tokens of one content, which may come in several streams:
// operands carry over from one of a page's streams to the next.
class Lexer {
public:
    explicit Lexer(Lexed& out) : out_(out) {}

    void lex(std::string_view data);

private:
    void operate(std::string_view op, Tokens& tokens);
    std::size_t operands_ = 0; // tokens since the last operator, carried from stream to stream
    void unknown(std::string_view why);
    void use(Use kind);

    Lexed& out_;
    std::size_t pendingShown_ = 0;
    std::size_t depth_ = 0;
    std::string lastName_; // the last name operand, when hasName_
    bool hasName_ = false;
    std::unordered_map<std::string, std::uint32_t> index_; // by kind and name
    std::string key_;
};

// Whether `op` builds, clips or paints a path: what reading text passes over.
bool drawsPath(std::string_view op);

// `content` without the operators that build, clip or paint paths, nor their
// operands: what reading its text needs, with its drawing left out.
std::string withoutDrawing(std::string_view content);

} // namespace Platform::PdfContent
