// Design note: the cost is counted by our own tokenizer (PdfContentLexer),
// not by qpdf's content parser, which makes an object of every token and reads
// a few megabytes a second: the count must cost far less than the reading it
// guards. Each form is decoded and tokenized once per page and remembered;
// every further use only adds its counts again and walks the names it draws.

#include "Platform/PdfContentCost.h"
#include "Platform/PdfContentLexer.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace Platform {
// Defined with the document, which owns the qpdf objects.
std::optional<QPDFPageObjectHelper> qpdfPageOf(const PdfPage& page);
bool qpdfTreeAgrees(const PdfPage& page);
bool qpdfTypedAsPage(const PdfPage& page);
} // namespace Platform

namespace Platform::PdfContent {

bool TextCost::within(const TextCost& limits) const
{
    return unknown.empty() && !past(limits);
}

bool TextCost::past(const TextCost& limits) const
{
    return bytes > limits.bytes || textOperators > limits.textOperators || shownBytes > limits.shownBytes ||
           formUses > limits.formUses || savedStates > limits.savedStates || tokens - drawingTokens > limits.tokens;
}

namespace {

// Poppler draws forms nested this deep and no deeper.
constexpr std::size_t deepestForm = 100;

struct BudgetSpent {};

// Gathers a stream's decoded bytes, no more than `cap` of them.
class Gather : public Pipeline {
public:
    explicit Gather(std::size_t cap) : Pipeline("content gatherer", nullptr), cap_(cap) {}
    void write(unsigned char const* data, size_t length) override
    {
        if (length > cap_ - bytes.size()) throw BudgetSpent{};
        bytes.append(reinterpret_cast<const char*>(data), length);
    }
    void finish() override {}
    std::string bytes;

private:
    std::size_t cap_;
};

enum class Decoding { whole, spent, failed };

// Whether `stream` is deflated and no more: damaged, it ends where the damage
// begins for qpdf and Poppler alike.
bool onlyDeflated(QPDFObjectHandle stream)
{
    QPDFObjectHandle dict = stream.getDict();
    QPDFObjectHandle filter = dict.getKey("/Filter");
    if (filter.isArray() && filter.getArrayNItems() == 1) filter = filter.getArrayItem(0);
    QPDFObjectHandle parameters = dict.getKey("/DecodeParms");
    return (filter.isNameAndEquals("/FlateDecode") || filter.isNameAndEquals("/Fl")) && parameters.isNull();
}

// Gathers the decoded bytes of `stream` into `out`: `spent` when they would
// pass `cap`, `failed` when qpdf can't decode all of them, as Poppler may read
// more, or other bytes, than qpdf could (a predictor one refuses and the
// other passes over). What was inflated before damage stands; `cut`, when
// given, tells whether the stream was cut short by it.
Decoding decode(QPDFObjectHandle stream, std::size_t cap, std::string& out, bool* cut = nullptr)
{
    Gather gather(cap);
    bool whole = false, filtered = false;
    try {
        whole = stream.pipeStreamData(&gather, &filtered, 0, qpdf_dl_specialized, true, false) && filtered;
    } catch (const BudgetSpent&) {
        return Decoding::spent;
    } catch (const std::exception&) {
        filtered = true;
    }
    out = std::move(gather.bytes);
    if (whole) return Decoding::whole;
    if (!filtered || !onlyDeflated(stream)) return Decoding::failed;
    if (cut) *cut = true;
    return Decoding::whole;
}

// The number of the object a qpdf warning names ("object 12 0"), or 0.
int objectNamed(const QPDFExc& warning)
{
    const std::string& object = warning.getObject();
    int number = 0;
    if (object.rfind("object ", 0) != 0) return 0;
    std::from_chars(object.data() + 7, object.data() + object.size(), number);
    return number;
}

// Where qpdf's reading of a document parts from Poppler's. qpdf notes as a
// warning each repair it makes, as it reads each object; a dictionary with a
// key written twice is one (qpdf keeps the last value, Poppler may keep the
// first). The warnings that matter are drained and put back, so every later
// page's count finds them again.
class Readings {
public:
    explicit Readings(QPDF& qpdf) : qpdf_(qpdf)
    {
        for (QPDFExc& warning : qpdf_.getWarnings()) {
            const std::string& what = warning.getMessageDetail();
            if (warning.getObject() == noteObject) {
                manyRepeats_ = manyRepeats_ || what == manyRepeatsNote;
            } else if (what.rfind("dictionary has duplicated key", 0) == 0) {
                if (int number = objectNamed(warning)) repeats_.insert(number);
            }
        }
        if (repeats_.size() > keptRepeats) manyRepeats_ = true;
        if (manyRepeats_) {
            note(manyRepeatsNote);
        } else {
            for (int number : repeats_)
                qpdf_.warn(QPDFExc(qpdf_e_damaged_pdf, "", "object " + std::to_string(number) + " 0", 0,
                                   "dictionary has duplicated key"));
        }
    }

    // Whether any of `objects` writes a key twice in a dictionary.
    bool repeatsKeys(const std::set<int>& objects) const
    {
        if (manyRepeats_) return true;
        for (int number : repeats_)
            if (objects.count(number)) return true;
        return false;
    }

private:
    static constexpr const char* noteObject = "Folmira's reading";
    static constexpr const char* manyRepeatsNote = "many dictionaries repeat keys";
    // Beyond this many objects, the whole document counts as repeating keys:
    // each page's count walks the list.
    static constexpr std::size_t keptRepeats = 256;

    void note(const char* what) { qpdf_.warn(QPDFExc(qpdf_e_damaged_pdf, "", noteObject, 0, what)); }

    QPDF& qpdf_;
    bool manyRepeats_ = false;
    std::set<int> repeats_;
};

// Whether a page's /Contents names content: a blank page has none, an empty
// array or no entry; a reference to nothing, or something that is no stream,
// is a page whose content is lost.
bool namesContent(QPDFObjectHandle contents)
{
    if (contents.isArray()) return contents.getArrayNItems() > 0;
    return contents.isIndirect() || !contents.isNull();
}

// Whether content of `bytes` bytes (decoded within limits.bytes) is within
// `limits` whatever it holds:
// each of its tokens takes a byte, each operator a byte and one apart from
// the next, and it shows no more bytes than it has.
bool tooShortToPass(std::size_t bytes, const TextCost& limits)
{
    const std::size_t operators = bytes / 2 + 1;
    return bytes <= limits.tokens && bytes <= limits.shownBytes &&
           operators <= limits.textOperators && operators <= limits.savedStates;
}

// Whether content may draw more than itself, or hold what the lexer can't
// tell the cost of: a resource it may draw by name (a form, a soft mask's
// group, a shading), an inline image, a name holding a NUL byte. Told from
// the bytes alone, so text that merely reads "BI" counts too.
bool mayDrawMore(QPDFObjectHandle resources, std::string_view content)
{
    if (resources.isDictionary())
        for (const char* category : {"/XObject", "/ExtGState", "/Shading"})
            if (resources.hasKey(category)) return true;
    return content.find("BI") != std::string_view::npos || content.find("#00") != std::string_view::npos;
}

class Walk {
public:
    Walk(const TextCost& limits, Counting counting) : limits_(limits), counting_(counting) {}

    TextCost page(QPDFPageObjectHelper page)
    {
        try {
            consultPageAndParents(page.getObjectHandle());
            resources_.push_back(page.getAttribute("/Resources", false));
            consult(resources_.back());
            // qpdf warns of what it mends as it first reads it: here, the content streams.
            QPDF* qpdf = page.getObjectHandle().getOwningQPDF();
            const std::size_t warned = qpdf ? qpdf->numWarnings() : 0;
            QPDFObjectHandle named = page.getObjectHandle().getKey("/Contents");
            std::vector<QPDFObjectHandle> streams = page.getPageContents();
            bool mended = streams.empty() && namesContent(named);
            Lexed own;
            std::vector<std::string> contents;
            std::size_t decoded = 0;
            for (QPDFObjectHandle stream : streams) {
                consult(stream);
                std::string bytes;
                Decoding decoding = decode(stream, limits_.bytes - decoded, bytes, &mended);
                if (decoding == Decoding::spent) return spentBytes();
                if (decoding == Decoding::failed) return unknown("qpdf can't decode the page's content");
                decoded += bytes.size();
                contents.push_back(std::move(bytes));
            }
            // A page too short to pass a limit that draws nothing more is
            // left to Poppler alone: counting its tokens tells nothing.
            bool plain = counting_ == Counting::whereCostly && tooShortToPass(decoded, limits_) &&
                         std::none_of(contents.begin(), contents.end(), [&](const std::string& bytes) {
                             return mayDrawMore(resources_.back(), bytes);
                         });
            if (plain) {
                own.own.bytes = decoded;
            } else {
                Lexer lexer(own);
                for (const std::string& bytes : contents) lexer.lex(bytes);
            }
            mended = mended || (qpdf && qpdf->numWarnings() > warned);
            // Only the page's own drawing can be left out of reading its text.
            cost_.drawingTokens = own.own.drawingTokens;
            if (add(own.own, 0)) drawFormsOf(own, 0);
            // Counted all the same: the counts bound the page's reading.
            if (mended) unknown("qpdf mended the page's content");
        } catch (const std::exception&) {
            return unknown("qpdf can't read the page");
        }
        return cost_;
    }

    // The objects whose dictionaries the count relied on, by number.
    const std::set<int>& consulted() const { return consulted_; }

private:
    static std::size_t past(std::size_t limit) { return limit == SIZE_MAX ? limit : limit + 1; }

    TextCost spentBytes()
    {
        cost_.bytes = past(limits_.bytes);
        return cost_;
    }

    TextCost unknown(std::string_view why)
    {
        if (cost_.unknown.empty()) cost_.unknown = why;
        return cost_;
    }

    void consult(QPDFObjectHandle object)
    {
        if (object.isIndirect()) consulted_.insert(object.getObjectID());
    }

    // The page and the page-tree nodes it may inherit its resources from.
    void consultPageAndParents(QPDFObjectHandle node)
    {
        for (int level = 0; level < 64 && node.isDictionary(); ++level) {
            if (node.isIndirect() && !consulted_.insert(node.getObjectID()).second) break;
            node = node.getKey("/Parent");
        }
    }

    // Adds a stream's own counts, drawn with `states` graphics states saved already.
    bool add(const TextCost& own, std::size_t states)
    {
        cost_.bytes = saturatingSum(cost_.bytes, own.bytes);
        cost_.textOperators += own.textOperators;
        cost_.shownBytes += own.shownBytes;
        cost_.tokens += own.tokens;
        cost_.savedStates = std::max(cost_.savedStates, states + own.savedStates);
        if (cost_.unknown.empty()) cost_.unknown = own.unknown;
        return cost_.within(limits_);
    }

    // The stream a resource used by `name` stands for, from the innermost
    // resources that name it: a form XObject, the group of a graphics state's
    // soft mask, a shading's stream. None for anything else, or when qpdf
    // can't read it (Poppler skips it too).
    std::optional<QPDFObjectHandle> streamUsed(const std::string& name, Use kind)
    {
        const char* category = kind == Use::xobject       ? "/XObject"
                               : kind == Use::graphicsState ? "/ExtGState"
                                                            : "/Shading";
        try {
            for (auto level = resources_.rbegin(); level != resources_.rend(); ++level) {
                QPDFObjectHandle resources = *level;
                if (!resources.isDictionary()) continue;
                QPDFObjectHandle named = resources.getKey(category);
                consult(named);
                if (!named.isDictionary() || !named.hasKey(name)) continue;
                QPDFObjectHandle object = named.getKey(name);
                consult(object);
                if (kind == Use::graphicsState && object.isDictionary()) {
                    object = object.getKey("/SMask");
                    consult(object);
                    object = object.isDictionary() ? object.getKey("/G") : QPDFObjectHandle::newNull();
                }
                if (!object.isStream()) return std::nullopt;
                if (kind == Use::xobject && !object.getDict().getKey("/Subtype").isNameAndEquals("/Form"))
                    return std::nullopt;
                return object;
            }
        } catch (const std::exception&) {
        }
        return std::nullopt;
    }

    // Draws the forms `stream` draws, the stream itself drawn with `states`
    // graphics states saved already. Returns false once a count is past its limit.
    bool drawFormsOf(const Lexed& stream, std::size_t states)
    {
        // Poppler saves one more state for each form it draws.
        const std::size_t formStates = states + stream.own.savedStates + 1;
        std::vector<std::optional<QPDFObjectHandle>> used(stream.names.size()); // looked up once per stream
        std::vector<bool> looked(stream.names.size(), false);
        for (std::uint32_t index : stream.draws) {
            if (!looked[index]) {
                looked[index] = true;
                used[index] = streamUsed(stream.names[index], stream.kinds[index]);
            }
            if (!used[index]) continue;
            // Poppler draws a mask's group at each "gs" that sets it, as a form.
            bool within = stream.kinds[index] == Use::shading ? shade(*used[index]) : draw(*used[index], formStates);
            if (!within) return false;
        }
        return true;
    }

    // A shading costs its decoded data each time it is drawn, as bytes and as
    // tokens: Poppler cuts a mesh into pieces by the colours of its vertices,
    // and a vertex of a few bytes may cost it far more than a token of content.
    bool shade(QPDFObjectHandle shading)
    {
        auto [size, added] = shadingBytes_.try_emplace(shading.getObjGen(), 0);
        if (added) {
            consult(shading);
            std::string bytes;
            Decoding decoding = decode(shading, limits_.bytes - cost_.bytes, bytes);
            if (decoding == Decoding::spent) spentBytes();
            if (decoding == Decoding::failed) unknown("qpdf can't decode a shading");
            if (decoding != Decoding::whole) return false;
            size->second = bytes.size();
        }
        cost_.bytes = saturatingSum(cost_.bytes, size->second);
        cost_.tokens = saturatingSum(cost_.tokens, size->second);
        return cost_.within(limits_);
    }

    bool draw(QPDFObjectHandle form, std::size_t states)
    {
        QPDFObjGen id = form.getObjGen();
        if (std::find(path_.begin(), path_.end(), id) != path_.end()) return true; // Poppler won't either
        ++cost_.formUses;
        if (path_.size() >= deepestForm) {
            cost_.formUses = std::max(cost_.formUses, past(limits_.formUses));
            return false;
        }
        if (!cost_.within(limits_)) return false;

        auto& known = lexed_[id];
        if (!known) {
            std::string bytes;
            Decoding decoding = decode(form, limits_.bytes - cost_.bytes, bytes);
            if (decoding != Decoding::whole) {
                if (decoding == Decoding::spent) spentBytes();
                else unknown("qpdf can't decode a form's content");
                return false;
            }
            auto lexed = std::make_shared<Lexed>();
            Lexer(*lexed).lex(bytes);
            known = std::move(lexed);
        }
        std::shared_ptr<const Lexed> stream = known;
        if (!add(stream->own, states)) return false;

        QPDFObjectHandle resources = QPDFObjectHandle::newNull();
        try {
            resources = form.getDict().getKey("/Resources");
            consult(resources);
        } catch (const std::exception&) {
        }
        path_.push_back(id);
        resources_.push_back(resources);
        bool within = drawFormsOf(*stream, states);
        resources_.pop_back();
        path_.pop_back();
        return within;
    }

    const TextCost& limits_;
    const Counting counting_;
    TextCost cost_;
    std::map<QPDFObjGen, std::shared_ptr<const Lexed>> lexed_;
    std::map<QPDFObjGen, std::size_t> shadingBytes_;
    std::vector<QPDFObjGen> path_;            // the forms being drawn, outermost first
    std::vector<QPDFObjectHandle> resources_; // the page's, then those of each form in path_
    std::set<int> consulted_;
};

TextCost unknownCost(std::string_view why)
{
    TextCost cost;
    cost.unknown = why;
    return cost;
}

} // namespace

TextCost measureText(const PdfPage& page, const TextCost& limits, Counting counting)
{
    auto pageObject = qpdfPageOf(page);
    if (!pageObject) return unknownCost("qpdf can't read the page");
    Walk walk(limits, counting);
    TextCost cost = walk.page(*pageObject);
    if (!cost.within(limits)) return cost;
    if (!qpdfTypedAsPage(page)) {
        cost.unknown = "the page tree names something else as a page";
        return cost;
    }
    try {
        if (!qpdfTreeAgrees(page)) return unknownCost("qpdf's page tree isn't Poppler's");
        Readings readings(pageObject->getObjectHandle().getQPDF());
        if (readings.repeatsKeys(walk.consulted())) return unknownCost("a dictionary repeats a key");
    } catch (const std::exception&) {
        return unknownCost("qpdf can't read the document");
    }
    return cost;
}

std::optional<Bytes> withoutDrawing(const PdfPage& page, std::size_t maxBytes)
{
    auto pageObject = qpdfPageOf(page);
    if (!pageObject) return std::nullopt;
    try {
        std::string content;
        for (QPDFObjectHandle& stream : pageObject->getPageContents()) {
            std::string bytes;
            if (decode(stream, maxBytes - std::min(maxBytes, content.size()), bytes) != Decoding::whole)
                return std::nullopt;
            content += bytes;
            content += '\n'; // a page's streams are read as one, split between tokens
        }
        // The page with what it inherits written out and no link to its tree,
        // copied into a document of its own (fonts and forms come along).
        QPDFObjectHandle source = pageObject->getObjectHandle();
        QPDF& from = source.getQPDF();
        QPDFObjectHandle alone = source.shallowCopy();
        for (const char* key : {"/MediaBox", "/CropBox", "/Rotate", "/Resources"}) {
            QPDFObjectHandle value = pageObject->getAttribute(key, false);
            if (!value.isNull()) alone.replaceKey(key, value);
        }
        for (const char* key : {"/Parent", "/Annots", "/Contents", "/Thumb", "/B", "/StructParents"})
            alone.removeKey(key);
        QPDFObjectHandle held = from.makeIndirectObject(alone);
        QPDF out;
        out.emptyPDF();
        QPDFObjectHandle copy = out.copyForeignObject(held);
        from.replaceObject(held.getObjGen(), QPDFObjectHandle::newNull()); // the source keeps nothing of it
        copy.replaceKey("/Contents", out.newStream(PdfContent::withoutDrawing(content)));
        QPDFPageDocumentHelper(out).addPage(QPDFPageObjectHelper(copy), false);
        QPDFWriter writer(out);
        writer.setOutputMemory();
        writer.write();
        auto buffer = std::unique_ptr<Buffer>(writer.getBuffer());
        return Bytes(buffer->getBuffer(), buffer->getBuffer() + buffer->getSize());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace Platform::PdfContent
