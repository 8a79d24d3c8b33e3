#include "FolmiraKit/Quality/GateExpectation.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace FolmiraKit {

namespace {

using Key = GateExpectation::CodingKey;
using Error = GateExpectation::DecodingError;

std::string quoted(Key key) { return "“" + std::string(toString(key)) + "”"; }

// The value under `key`: present and not null, or the decoder's complaint.
const nlohmann::json& required(const nlohmann::json& object, Key key)
{
    auto it = object.find(std::string(toString(key)));
    if (it == object.end()) throw Error("Key not found: " + quoted(key) + ".");
    if (it->is_null()) throw Error("Value not found: " + quoted(key) + " is null.");
    return *it;
}

[[noreturn]] void mismatch(Key key, const char* expected)
{
    throw Error("Type mismatch: " + quoted(key) + " is not " + expected + ".");
}

std::string string(const nlohmann::json& object, Key key)
{
    const auto& value = required(object, key);
    if (!value.is_string()) mismatch(key, "a string");
    return value.get<std::string>();
}

bool boolean(const nlohmann::json& object, Key key)
{
    const auto& value = required(object, key);
    if (!value.is_boolean()) mismatch(key, "true or false");
    return value.get<bool>();
}

std::vector<std::string> strings(const nlohmann::json& object, Key key)
{
    const auto& value = required(object, key);
    if (!value.is_array()) mismatch(key, "an array of strings");
    std::vector<std::string> out;
    for (const auto& element : value) {
        if (!element.is_string()) mismatch(key, "an array of strings");
        out.push_back(element.get<std::string>());
    }
    return out;
}

std::int64_t integer(const nlohmann::json& object, Key key)
{
    const auto& value = required(object, key);
    if (value.is_number_unsigned()) {
        auto n = value.get<std::uint64_t>();
        if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            mismatch(key, "a 64-bit integer");
        return static_cast<std::int64_t>(n);
    }
    if (!value.is_number_integer()) mismatch(key, "an integer");
    return value.get<std::int64_t>();
}

} // namespace

std::string_view toString(GateExpectation::CodingKey key)
{
    switch (key) {
    case Key::file: return "file";
    case Key::what: return "what";
    case Key::refuse: return "refuse";
    case Key::headings: return "headings";
    case Key::order: return "order";
    case Key::text: return "text";
    case Key::tables: return "tables";
    case Key::images: return "images";
    }
    return "file";
}

template <>
std::optional<GateExpectation::CodingKey> fromString<GateExpectation::CodingKey>(std::string_view text)
{
    return fromStringIn<GateExpectation::CodingKey>(GateExpectation::allCodingKeys, text);
}

std::string GateExpectation::encodeJSON() const
{
    // An ordered object keeps the keys in field order.
    nlohmann::ordered_json out;
    out[std::string(toString(Key::file))] = file;
    out[std::string(toString(Key::what))] = what;
    out[std::string(toString(Key::refuse))] = refuse;
    out[std::string(toString(Key::headings))] = headings;
    out[std::string(toString(Key::order))] = order;
    out[std::string(toString(Key::text))] = text;
    out[std::string(toString(Key::tables))] = tables;
    out[std::string(toString(Key::images))] = images;
    // Text that is not valid UTF-8 is written with U+FFFD rather than failing.
    return out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

GateExpectation GateExpectation::decodeJSON(std::string_view json)
{
    auto object = nlohmann::json::parse(json, nullptr, false);
    if (object.is_discarded()) throw Error("The expectation is not valid JSON.");
    if (!object.is_object()) throw Error("The expectation is not a JSON object.");
    // Designated initialisers run in declaration order, so the keys are read in field order.
    return GateExpectation{
        .file = string(object, Key::file),
        .what = string(object, Key::what),
        .refuse = boolean(object, Key::refuse),
        .headings = strings(object, Key::headings),
        .order = strings(object, Key::order),
        .text = string(object, Key::text),
        .tables = integer(object, Key::tables),
        .images = integer(object, Key::images),
    };
}

} // namespace FolmiraKit
