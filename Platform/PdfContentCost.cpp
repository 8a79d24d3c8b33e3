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

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Platform {
// Defined with the document, which owns the qpdf objects.
std::optional<QPDFPageObjectHelper> qpdfPageOf(const PdfPage& page);
} // namespace Platform

namespace Platform::PdfContent {

bool TextCost::within(const TextCost& limits) const
{
    return bytes <= limits.bytes && textOperators <= limits.textOperators && shownBytes <= limits.shownBytes &&
           formUses <= limits.formUses && savedStates <= limits.savedStates && tokens <= limits.tokens;
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

// The decoded bytes of `stream`, none when they would pass `cap`. What qpdf
// decoded before it met damage stands.
std::optional<std::string> decoded(QPDFObjectHandle stream, std::size_t cap)
{
    Gather gather(cap);
    try {
        stream.pipeStreamData(&gather, 0, qpdf_dl_specialized, true);
    } catch (const BudgetSpent&) {
        return std::nullopt;
    } catch (const std::exception&) {
    }
    return std::move(gather.bytes);
}

class Walk {
public:
    explicit Walk(const TextCost& limits) : limits_(limits) {}

    TextCost page(QPDFPageObjectHelper page)
    {
        try {
            resources_.push_back(page.getAttribute("/Resources", false));
            Lexed own;
            Lexer lexer(own);
            for (QPDFObjectHandle& stream : page.getPageContents()) {
                auto bytes = decoded(stream, limits_.bytes - own.own.bytes);
                if (!bytes) return spentBytes();
                lexer.lex(*bytes);
            }
            if (add(own.own, 0)) drawFormsOf(own, 0);
        } catch (const std::exception&) {
            // What could be read is counted; Poppler meets the same damage.
        }
        return cost_;
    }

private:
    static std::size_t past(std::size_t limit) { return limit == SIZE_MAX ? limit : limit + 1; }

    TextCost spentBytes()
    {
        cost_.bytes = past(limits_.bytes);
        return cost_;
    }

    // Adds a stream's own counts, drawn with `states` graphics states saved already.
    bool add(const TextCost& own, std::size_t states)
    {
        cost_.bytes += own.bytes;
        cost_.textOperators += own.textOperators;
        cost_.shownBytes += own.shownBytes;
        cost_.tokens += own.tokens;
        cost_.savedStates = std::max(cost_.savedStates, states + own.savedStates);
        return cost_.within(limits_);
    }

    // The form `name` draws from the innermost resources that name it; none
    // for another kind of XObject, or when qpdf can't read it (Poppler skips it too).
    std::optional<QPDFObjectHandle> formNamed(const std::string& name) const
    {
        try {
            for (auto level = resources_.rbegin(); level != resources_.rend(); ++level) {
                QPDFObjectHandle resources = *level;
                if (!resources.isDictionary()) continue;
                QPDFObjectHandle xobjects = resources.getKey("/XObject");
                if (!xobjects.isDictionary() || !xobjects.hasKey(name)) continue;
                QPDFObjectHandle object = xobjects.getKey(name);
                if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Form")) return object;
                return std::nullopt;
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
        std::vector<std::optional<QPDFObjectHandle>> forms(stream.names.size()); // looked up once per use
        std::vector<bool> looked(stream.names.size(), false);
        for (std::uint32_t index : stream.draws) {
            if (!looked[index]) {
                looked[index] = true;
                forms[index] = formNamed(stream.names[index]);
            }
            if (forms[index] && !draw(*forms[index], formStates)) return false;
        }
        return true;
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
            auto bytes = decoded(form, limits_.bytes - cost_.bytes);
            if (!bytes) {
                spentBytes();
                return false;
            }
            auto lexed = std::make_shared<Lexed>();
            Lexer(*lexed).lex(*bytes);
            known = std::move(lexed);
        }
        std::shared_ptr<const Lexed> stream = known;
        if (!add(stream->own, states)) return false;

        QPDFObjectHandle resources = QPDFObjectHandle::newNull();
        try {
            resources = form.getDict().getKey("/Resources");
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
    TextCost cost_;
    std::map<QPDFObjGen, std::shared_ptr<const Lexed>> lexed_;
    std::vector<QPDFObjGen> path_;            // the forms being drawn, outermost first
    std::vector<QPDFObjectHandle> resources_; // the page's, then those of each form in path_
};

} // namespace

TextCost measureText(const PdfPage& page, const TextCost& limits)
{
    auto pageObject = qpdfPageOf(page);
    if (!pageObject) return {};
    return Walk(limits).page(*pageObject);
}

} // namespace Platform::PdfContent
