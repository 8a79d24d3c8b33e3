#include "Platform/PdfContent.h"

#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace Platform {
// Defined with the document, which owns the qpdf objects.
std::optional<QPDFPageObjectHelper> qpdfPageOf(const PdfPage& page);
} // namespace Platform

namespace Platform::PdfContent {

namespace {

// Operators that take more operands than this do not exist; a stream that piles
// up more between two operators only wastes memory, so the oldest are dropped.
constexpr std::size_t maxOperands = 64;

} // namespace

std::optional<double> Operands::popNumber()
{
    if (stack_.empty()) return std::nullopt;
    auto* number = std::get_if<double>(&stack_.back());
    if (!number) return std::nullopt;
    double value = *number;
    stack_.pop_back();
    return value;
}

std::optional<std::string> Operands::popName()
{
    if (stack_.empty()) return std::nullopt;
    auto* name = std::get_if<std::string>(&stack_.back());
    if (!name) return std::nullopt;
    std::string value = std::move(*name);
    stack_.pop_back();
    return value;
}

void Operands::push(std::variant<std::monostate, double, std::string> operand)
{
    if (stack_.size() >= maxOperands) stack_.erase(stack_.begin());
    stack_.push_back(std::move(operand));
}

struct ContentStream::Impl {
    PdfPage page; // keeps the document, and so the qpdf objects, alive
    std::optional<QPDFPageObjectHelper> pageObject; // set for a page's own stream
    QPDFObjectHandle form;                          // set for a form XObject's stream
    QPDFObjectHandle resources;
    std::shared_ptr<const Impl> parent;
    std::shared_ptr<std::size_t> budget; // decoded bytes left, shared by a page and its forms
};

namespace {

// The XObject `name` names in the resources of `stream` or of its parents.
QPDFObjectHandle lookUpXObject(const ContentStream::Impl* stream, std::string_view name)
{
    std::string key = "/" + std::string(name);
    for (; stream; stream = stream->parent.get()) {
        QPDFObjectHandle resources = stream->resources;
        if (!resources.isDictionary()) continue;
        QPDFObjectHandle xobjects = resources.getKey("/XObject");
        if (xobjects.isDictionary() && xobjects.hasKey(key)) return xobjects.getKey(key);
    }
    return QPDFObjectHandle::newNull();
}

struct BudgetSpent {};

// Counts decoded bytes against the budget, keeping none of them: qpdf's parser
// holds a whole stream in memory, so the size is known before it is asked to.
class Meter : public Pipeline {
public:
    explicit Meter(std::size_t& left) : Pipeline("content meter", nullptr), left_(left) {}
    void write(unsigned char const*, size_t length) override
    {
        if (length > left_) {
            spent = true;
            throw BudgetSpent{};
        }
        left_ -= length;
    }
    void finish() override {}
    bool spent = false;

private:
    std::size_t& left_;
};

class Callbacks : public QPDFObjectHandle::ParserCallbacks {
public:
    Callbacks(Handler& handler, const ContentStream& stream) : handler_(handler), stream_(stream) {}

    void handleObject(QPDFObjectHandle object) override
    {
        if (handler_.stopRequested()) terminateParsing();
        if (!object.isOperator()) {
            if (object.isNumber()) {
                double value = object.getNumericValue();
                operands_.push(std::isfinite(value) ? std::variant<std::monostate, double, std::string>(value)
                                                    : std::monostate{});
            } else if (object.isName()) {
                operands_.push(object.getName().substr(1));
            } else {
                operands_.push(std::monostate{});
            }
            return;
        }
        std::string op = object.getOperatorValue();
        if (op == "q") handler_.push();
        else if (op == "Q") handler_.pop();
        else if (op == "cm") handler_.concat(operands_);
        else if (op == "Do") handler_.drawObject(operands_, stream_);
        operands_.clear();
    }

    void handleEOF() override {}

private:
    Handler& handler_;
    const ContentStream& stream_;
    Operands operands_;
};

} // namespace

std::optional<ContentStream> ContentStream::ofPage(const PdfPage& page, std::size_t decodedBytes)
{
    auto pageObject = qpdfPageOf(page);
    if (!pageObject) return std::nullopt;
    try {
        auto impl = std::make_shared<Impl>(Impl{page, pageObject, QPDFObjectHandle::newNull(),
                                                pageObject->getAttribute("/Resources", false), nullptr,
                                                std::make_shared<std::size_t>(decodedBytes)});
        return ContentStream(std::move(impl));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<XObject> ContentStream::xobject(std::string_view name) const
{
    try {
        QPDFObjectHandle object = lookUpXObject(impl_.get(), name);
        if (!object.isStream()) return std::nullopt;
        QPDFObjectHandle dict = object.getDict();
        QPDFObjectHandle subtype = dict.getKey("/Subtype");
        if (!subtype.isName()) return std::nullopt;
        XObject result;
        std::string kind = subtype.getName();
        if (kind == "/Image") {
            result.kind = XObject::Kind::image;
        } else if (kind == "/Form") {
            result.kind = XObject::Kind::form;
            QPDFObjectHandle matrix = dict.getKey("/Matrix");
            if (matrix.isArray()) {
                std::vector<double> entries;
                for (int i = 0, n = matrix.getArrayNItems(); i < n; ++i) {
                    QPDFObjectHandle item = matrix.getArrayItem(i);
                    double value = item.isNumber() ? item.getNumericValue() : 0;
                    entries.push_back(std::isfinite(value) ? value : 0);
                }
                result.matrix = std::move(entries);
            }
        }
        return result;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<Bytes> ContentStream::storedJpeg(std::string_view name, std::size_t most) const
{
    try {
        QPDFObjectHandle object = lookUpXObject(impl_.get(), name);
        if (!object.isStream()) return std::nullopt;
        QPDFObjectHandle dict = object.getDict();
        auto isName = [&](const char* key, std::initializer_list<const char*> names) {
            QPDFObjectHandle value = dict.getKey(key);
            if (value.isArray() && value.getArrayNItems() == 1) value = value.getArrayItem(0);
            return value.isName() && std::any_of(names.begin(), names.end(), [&](const char* n) { return value.getName() == n; });
        };
        QPDFObjectHandle bits = dict.getKey("/BitsPerComponent");
        QPDFObjectHandle mask = dict.getKey("/ImageMask");
        // Anything that changes what the decoded pixels show (a mask, a decode
        // array, another colour space) needs Poppler to draw the picture.
        if (!isName("/Subtype", {"/Image"}) || !isName("/Filter", {"/DCTDecode", "/DCT"}) ||
            !isName("/ColorSpace", {"/DeviceRGB", "/DeviceGray", "/RGB", "/G"}) || !bits.isInteger() ||
            bits.getIntValue() != 8 || (mask.isBool() && mask.getBoolValue()) || dict.hasKey("/SMask") ||
            dict.hasKey("/Mask") || dict.hasKey("/Decode") || dict.hasKey("/SMaskInData"))
            return std::nullopt;
        QPDFObjectHandle length = dict.getKey("/Length");
        if (length.isInteger() && (length.getIntValue() < 0 || static_cast<std::uint64_t>(length.getIntValue()) > most))
            return std::nullopt;
        auto data = object.getRawStreamData();
        if (!data || data->getSize() == 0 || data->getSize() > most) return std::nullopt;
        return Bytes(data->getBuffer(), data->getBuffer() + data->getSize());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<ContentStream> ContentStream::form(std::string_view name) const
{
    try {
        QPDFObjectHandle object = lookUpXObject(impl_.get(), name);
        if (!object.isStream()) return std::nullopt;
        QPDFObjectHandle dict = object.getDict();
        QPDFObjectHandle resources = dict.getKey("/Resources");
        if (!resources.isDictionary()) resources = dict;
        auto impl = std::make_shared<Impl>(Impl{impl_->page, std::nullopt, object, resources, impl_, impl_->budget});
        return ContentStream(std::move(impl));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool ContentStream::hasXObjects() const
{
    try {
        for (const Impl* stream = impl_.get(); stream; stream = stream->parent.get()) {
            QPDFObjectHandle resources = stream->resources;
            if (!resources.isDictionary()) continue;
            QPDFObjectHandle xobjects = resources.getKey("/XObject");
            if (xobjects.isDictionary() && !xobjects.getKeys().empty()) return true;
        }
    } catch (const std::exception&) {
        return false;
    }
    return false;
}

void ContentStream::scan(Handler& handler) const
{
    Callbacks callbacks(handler, *this);
    try {
        Meter meter(*impl_->budget);
        try {
            // Stream by stream: piping a page's contents whole would gather them first.
            std::vector<QPDFObjectHandle> streams{impl_->form};
            if (impl_->pageObject) streams = QPDFPageObjectHelper(*impl_->pageObject).getPageContents();
            for (QPDFObjectHandle& stream : streams) stream.pipeStreamData(&meter, 0, qpdf_dl_specialized, true);
        } catch (const BudgetSpent&) {
        }
        if (meter.spent) {
            *impl_->budget = 0;
            return;
        }
        if (impl_->pageObject) {
            QPDFPageObjectHelper page = *impl_->pageObject;
            page.parseContents(&callbacks);
        } else {
            QPDFObjectHandle form = impl_->form;
            form.parseAsContents(&callbacks);
        }
    } catch (const std::exception&) {
        // A stream qpdf cannot decode or parse ends here; what was reported stands.
    }
}

} // namespace Platform::PdfContent
