// JSON forms of the booklet options and sheets: the field names as keys,
// enumerations as their case names, blank slots as null.

#include "TunequillKit/Render/BookletPlan.h"

#include <nlohmann/json.hpp>

namespace TunequillKit {

namespace {

using Json = nlohmann::json;

Json slots(const SlotPair& pair)
{
    Json out = Json::array();
    for (const Slot& s : pair) out.push_back(s ? Json(*s) : Json(nullptr));
    return out;
}

std::optional<SlotPair> readSlots(const Json& j)
{
    if (!j.is_array() || j.size() != 2) return std::nullopt;
    SlotPair out;
    for (std::size_t i = 0; i < 2; ++i) {
        if (j[i].is_null()) continue;
        if (!j[i].is_number_integer()) return std::nullopt;
        out[i] = j[i].get<int>();
    }
    return out;
}

std::optional<Json> parse(std::string_view text)
{
    Json j = Json::parse(text.begin(), text.end(), nullptr, false);
    if (j.is_discarded() || !j.is_object()) return std::nullopt;
    return j;
}

bool has(const Json& j, const char* key, bool (Json::*test)() const noexcept)
{
    auto it = j.find(key);
    return it != j.end() && ((*it).*test)();
}

} // namespace

std::string BookletOptions::encode() const
{
    return Json{{"creep", creep},
                {"sheetsPerSignature", sheetsPerSignature},
                {"cover", toString(cover)},
                {"blanks", toString(blanks)},
                {"rightToLeft", rightToLeft}}
        .dump();
}

std::optional<BookletOptions> BookletOptions::decode(std::string_view text)
{
    auto j = parse(text);
    if (!j || !has(*j, "creep", &Json::is_number) || !has(*j, "sheetsPerSignature", &Json::is_number_integer) ||
        !has(*j, "cover", &Json::is_string) || !has(*j, "blanks", &Json::is_string) ||
        !has(*j, "rightToLeft", &Json::is_boolean))
        return std::nullopt;
    auto cover = fromString<CoverMode>((*j)["cover"].get<std::string>());
    auto blanks = fromString<BlankPlacement>((*j)["blanks"].get<std::string>());
    if (!cover || !blanks) return std::nullopt;
    const Json& spsJson = (*j)["sheetsPerSignature"];
    if (spsJson.is_number_unsigned() ? spsJson.get<std::uint64_t>() > INT32_MAX
                                     : (spsJson.get<std::int64_t>() > INT32_MAX || spsJson.get<std::int64_t>() < INT32_MIN))
        return std::nullopt;
    return BookletOptions{(*j)["creep"].get<double>(), spsJson.get<int>(), *cover, *blanks,
                          (*j)["rightToLeft"].get<bool>()};
}

std::string BookletSheet::encode() const
{
    return Json{{"signature", signature},
                {"sheetInSignature", sheetInSignature},
                {"sheetsInSignature", sheetsInSignature},
                {"isCover", isCover},
                {"front", slots(front)},
                {"back", slots(back)},
                {"creep", creep}}
        .dump();
}

std::optional<BookletSheet> BookletSheet::decode(std::string_view text)
{
    auto j = parse(text);
    if (!j || !has(*j, "signature", &Json::is_number_integer) || !has(*j, "sheetInSignature", &Json::is_number_integer) ||
        !has(*j, "sheetsInSignature", &Json::is_number_integer) || !has(*j, "isCover", &Json::is_boolean) ||
        !has(*j, "creep", &Json::is_number) || !j->contains("front") || !j->contains("back"))
        return std::nullopt;
    auto front = readSlots((*j)["front"]);
    auto back = readSlots((*j)["back"]);
    if (!front || !back) return std::nullopt;
    return BookletSheet{(*j)["signature"].get<int>(), (*j)["sheetInSignature"].get<int>(),
                        (*j)["sheetsInSignature"].get<int>(), (*j)["isCover"].get<bool>(), *front, *back,
                        (*j)["creep"].get<double>()};
}

} // namespace TunequillKit
