// Word's equations (Office Math) as one line of text in reading order:
// "θ = sin⁻¹(2.2×10⁻⁴)". Scripts use Unicode's superscript and subscript
// characters where every character has one, and "^(…)" or "_(…)" otherwise;
// fractions and roots are written "(a)/(b)" and "√(x)", the brackets left out
// around a plain number. Relations get a space on each side and + and −
// between two operands do too, as Word sets them; inside a script nothing is
// spaced, so that it stays one run of small characters.

#include "FolmiraKit/Word/DocxReader.h"

#include "Platform/Text.h"

#include <algorithm>

namespace FolmiraKit::DocxReader {
namespace {

namespace Text = Platform::Text;

struct Script {
    char32_t from;
    char32_t to;
};

// Every character Unicode has a superscript for that an equation may use.
constexpr Script superscripts[] = {
    {U'0', U'⁰'}, {U'1', U'¹'}, {U'2', U'²'}, {U'3', U'³'}, {U'4', U'⁴'}, {U'5', U'⁵'}, {U'6', U'⁶'},
    {U'7', U'⁷'}, {U'8', U'⁸'}, {U'9', U'⁹'}, {U'+', U'⁺'}, {U'−', U'⁻'}, {U'-', U'⁻'}, {U'=', U'⁼'},
    {U'(', U'⁽'}, {U')', U'⁾'}, {U'a', U'ᵃ'}, {U'b', U'ᵇ'}, {U'c', U'ᶜ'}, {U'd', U'ᵈ'}, {U'e', U'ᵉ'},
    {U'f', U'ᶠ'}, {U'g', U'ᵍ'}, {U'h', U'ʰ'}, {U'i', U'ⁱ'}, {U'j', U'ʲ'}, {U'k', U'ᵏ'}, {U'l', U'ˡ'},
    {U'm', U'ᵐ'}, {U'n', U'ⁿ'}, {U'o', U'ᵒ'}, {U'p', U'ᵖ'}, {U'r', U'ʳ'}, {U's', U'ˢ'}, {U't', U'ᵗ'},
    {U'u', U'ᵘ'}, {U'v', U'ᵛ'}, {U'w', U'ʷ'}, {U'x', U'ˣ'}, {U'y', U'ʸ'}, {U'z', U'ᶻ'},
    // Primes are already raised: f′ needs no script mark.
    {U'′', U'′'}, {U'″', U'″'}, {U'‴', U'‴'},
};

constexpr Script subscripts[] = {
    {U'0', U'₀'}, {U'1', U'₁'}, {U'2', U'₂'}, {U'3', U'₃'}, {U'4', U'₄'}, {U'5', U'₅'}, {U'6', U'₆'},
    {U'7', U'₇'}, {U'8', U'₈'}, {U'9', U'₉'}, {U'+', U'₊'}, {U'−', U'₋'}, {U'-', U'₋'}, {U'=', U'₌'},
    {U'(', U'₍'}, {U')', U'₎'}, {U'a', U'ₐ'}, {U'e', U'ₑ'}, {U'h', U'ₕ'}, {U'i', U'ᵢ'}, {U'j', U'ⱼ'},
    {U'k', U'ₖ'}, {U'l', U'ₗ'}, {U'm', U'ₘ'}, {U'n', U'ₙ'}, {U'o', U'ₒ'}, {U'p', U'ₚ'}, {U'r', U'ᵣ'},
    {U's', U'ₛ'}, {U't', U'ₜ'}, {U'u', U'ᵤ'}, {U'v', U'ᵥ'}, {U'x', U'ₓ'},
};

bool isRelation(char32_t c)
{
    static constexpr std::u32string_view relations = U"=<>≤≥≠≈≡≅∼≃∝≪≫→←↔⇒⇐⇔∈∉∋⊂⊃⊆⊇≺≻≔";
    return relations.find(c) != std::u32string_view::npos;
}

bool isSpacedOperator(char32_t c) { return c == U'+' || c == U'−' || c == U'±' || c == U'∓'; }

bool isOpening(char32_t c)
{
    static constexpr std::u32string_view openings = U"([{⟨⌈⌊|‖";
    return openings.find(c) != std::u32string_view::npos;
}

char32_t lastScalar(std::string_view text)
{
    if (text.empty()) return 0;
    auto last = Text::firstScalar(Text::lastCharacter(text));
    return last ? *last : 0;
}

// Whether + or − written now stands between two operands rather than before one.
bool followsOperand(std::string_view out)
{
    char32_t c = lastScalar(out);
    return c != 0 && c != U' ' && !isOpening(c) && !isRelation(c) && !isSpacedOperator(c) && c != U',';
}

void trimEnd(std::string& out)
{
    while (!out.empty() && out.back() == ' ') out.pop_back();
}

// A script's text in small characters, or none when one of them has none.
std::optional<std::string> scripted(std::string_view text, std::span<const Script> table)
{
    std::string out;
    for (char32_t c : Text::scalars(text)) {
        auto found = std::find_if(table.begin(), table.end(), [c](const Script& s) { return s.from == c; });
        if (found == table.end()) return std::nullopt;
        Text::appendScalar(out, found->to);
    }
    return out;
}

bool isNumber(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

// A property's "val" (m:chr, m:begChr…), which may be present and empty.
std::optional<std::string> propertyValue(Element properties, std::string_view name)
{
    Element property = element(properties, name);
    if (!property) return std::nullopt;
    return attribute(property, "val").value_or("");
}

bool propertyOn(Element properties, std::string_view name)
{
    Element property = element(properties, name);
    return property && isOn(property);
}

// An accent as a combining mark over the letter before it: LibreOffice
// writes the spacing forms (^, ´, ~, ˙), which read as a character of their own.
std::string combiningAccent(const std::string& accent)
{
    static const std::pair<std::string_view, std::string_view> spacing[] = {
        {"^", "\u0302"}, {"\u02C6", "\u0302"}, {"\u00B4", "\u0301"}, {"`", "\u0300"}, {"~", "\u0303"},
        {"\u02DC", "\u0303"}, {"\u02D9", "\u0307"}, {"\u00A8", "\u0308"}, {"\u00AF", "\u0304"},
        {"\u02D8", "\u0306"}, {"\u02C7", "\u030C"}, {"\u2192", "\u20D7"}};
    for (const auto& [from, to] : spacing)
        if (accent == from) return std::string(to);
    return accent;
}

class Writer {
public:
    // The content of an argument element (m:e, m:num, m:sup…) alone.
    std::string argument(Element e, bool compact)
    {
        std::string out;
        ++depth_;
        content(e, out, compact);
        --depth_;
        trimEnd(out);
        return out;
    }

    void content(Element parent, std::string& out, bool compact)
    {
        for (Element c : parent.children()) item(c, out, compact);
    }

private:
    int depth_ = 0; // arguments open: 1 in the equation itself

    void text(std::string_view text, std::string& out, bool compact)
    {
        for (char32_t c : Text::scalars(text)) {
            if (compact && c == U' ') continue;
            if (!compact && isRelation(c)) {
                trimEnd(out);
                if (!out.empty()) out += ' ';
                Text::appendScalar(out, c);
                out += ' ';
            } else if (!compact && isSpacedOperator(c) && followsOperand(out)) {
                trimEnd(out);
                out += ' ';
                Text::appendScalar(out, c);
                out += ' ';
            } else if (c == U' ') {
                if (!out.empty() && out.back() != ' ') out += ' ';
            } else {
                Text::appendScalar(out, c);
            }
        }
    }

    void script(Element e, std::string& out, std::span<const Script> table, std::string_view mark)
    {
        std::string inner = argument(e, true);
        if (inner.empty()) return;
        if (auto small = scripted(inner, table)) {
            out += *small;
        } else {
            out += mark;
            out += Text::characterCount(inner) == 1 ? inner : "(" + inner + ")";
        }
    }
    void superscript(Element e, std::string& out) { script(e, out, superscripts, "^"); }
    void subscript(Element e, std::string& out) { script(e, out, subscripts, "_"); }

    // A fraction's part or a root's radicand: bracketed unless a plain number.
    void grouped(Element e, std::string& out, bool compact)
    {
        std::string inner = argument(e, compact);
        out += isNumber(inner) ? inner : "(" + inner + ")";
    }

    void item(Element c, std::string& out, bool compact)
    {
        const std::string_view name = c.localName();
        if (name == "r") {
            // A math run (m:t) or an ordinary run of text inside the equation (w:t).
            for (Element t : c.children())
                if (t.localName() == "t") text(t.text(), out, compact);
        } else if (name == "f") {
            // A stack without a bar (a binomial's, a column of conditions) is no division.
            if (propertyValue(element(c, "fPr"), "type") == "noBar") {
                out += argument(element(c, "num"), compact) + ", " + argument(element(c, "den"), compact);
            } else {
                grouped(element(c, "num"), out, compact);
                out += "/";
                grouped(element(c, "den"), out, compact);
            }
        } else if (name == "sSup" || name == "sSub" || name == "sSubSup") {
            content(element(c, "e"), out, compact);
            subscript(element(c, "sub"), out);
            superscript(element(c, "sup"), out);
        } else if (name == "sPre") {
            subscript(element(c, "sub"), out);
            superscript(element(c, "sup"), out);
            content(element(c, "e"), out, compact);
        } else if (name == "nary") {
            Element pr = element(c, "naryPr");
            std::string symbol = propertyValue(pr, "chr").value_or("\u222B"); // an integral unless it says
            if (!compact && followsOperand(out)) out += ' ';
            text(symbol, out, compact);
            if (!propertyOn(pr, "subHide")) subscript(element(c, "sub"), out);
            if (!propertyOn(pr, "supHide")) superscript(element(c, "sup"), out);
            std::string body = argument(element(c, "e"), compact);
            if (!body.empty()) out += (compact ? "" : " ") + body;
        } else if (name == "rad") {
            Element pr = element(c, "radPr");
            std::string degree = propertyOn(pr, "degHide") ? "" : argument(element(c, "deg"), true);
            if (degree == "3") {
                out += "∛";
            } else if (degree == "4") {
                out += "∜";
            } else {
                if (!degree.empty() && degree != "2") superscript(element(c, "deg"), out);
                out += "√";
            }
            grouped(element(c, "e"), out, compact);
        } else if (name == "d") {
            Element pr = element(c, "dPr");
            const std::string separator = propertyValue(pr, "sepChr").value_or("|");
            out += propertyValue(pr, "begChr").value_or("(");
            bool first = true;
            for (Element e : elements(c, "e")) {
                if (!first) out += separator == "," || separator == ";" ? separator + " " : separator;
                first = false;
                out += argument(e, compact);
            }
            out += propertyValue(pr, "endChr").value_or(")");
        } else if (name == "func") {
            content(element(c, "fName"), out, compact);
            std::string argumentText = argument(element(c, "e"), compact);
            auto opening = Text::firstScalar(argumentText);
            // sin x, but sin(x) and sin⁻¹(…).
            if (!argumentText.empty() && !(opening && isOpening(*opening)) && !compact) out += ' ';
            out += argumentText;
        } else if (name == "acc") {
            content(element(c, "e"), out, compact);
            out += combiningAccent(propertyValue(element(c, "accPr"), "chr").value_or("\u0302")); // x̂
        } else if (name == "bar") {
            content(element(c, "e"), out, compact);
            out += propertyValue(element(c, "barPr"), "pos") == "top" ? "\u0305" : "\u0332";
        } else if (name == "limLow") {
            content(element(c, "e"), out, compact);
            subscript(element(c, "lim"), out);
        } else if (name == "limUpp") {
            content(element(c, "e"), out, compact);
            superscript(element(c, "lim"), out);
        } else if (name == "m") {
            // A matrix row by row: "a, b; c, d".
            bool firstRow = true;
            for (Element mr : elements(c, "mr")) {
                if (!firstRow) out += "; ";
                firstRow = false;
                bool firstCell = true;
                for (Element e : elements(mr, "e")) {
                    if (!firstCell) out += ", ";
                    firstCell = false;
                    out += argument(e, compact);
                }
            }
        } else if (name == "eqArr") {
            // Aligned equations, one to a line; inside brackets or a
            // fraction (a binomial's stacked n and k), on the line: "(n; k)".
            bool first = true;
            for (Element e : elements(c, "e")) {
                if (!first) out += depth_ > 1 ? "; " : "\n";
                first = false;
                out += argument(e, compact);
            }
        } else if (name == "phant") {
            // A phantom only takes up space unless it says it is shown.
            Element show = element(element(c, "phantPr"), "show");
            if (show && isOn(show)) content(element(c, "e"), out, compact);
        } else if (name == "groupChr" || name == "box" || name == "borderBox" || name == "e" || name == "oMath" ||
                   name == "sdt" || name == "sdtContent" || name == "ins" || name == "moveTo" || name == "hyperlink") {
            content(name == "groupChr" || name == "box" || name == "borderBox" ? element(c, "e") : c, out, compact);
        }
        // Properties (…Pr, ctrlPr), deletions, bookmarks and anything else add nothing.
    }
};

} // namespace

std::string mathText(Element oMath)
{
    Writer writer;
    std::string out = writer.argument(oMath, false);
    return std::string(Text::trimWhitespaceAndNewlines(out));
}

std::optional<double> mathSize(Element oMath)
{
    for (Element r : descendants(oMath, "r"))
        for (Element rPr : elements(r, "rPr"))
            if (auto sz = sizeValue(attribute(element(rPr, "sz"), "val"))) return *sz * 0.5;
    return std::nullopt;
}

} // namespace FolmiraKit::DocxReader
