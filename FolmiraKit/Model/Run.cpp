#include "FolmiraKit/Model/Run.h"

#include "Platform/Regex.h"
#include "Platform/Text.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace FolmiraKit {

namespace Text = Platform::Text;

bool Run::operator==(const Run& other) const
{
    return bold == other.bold && italic == other.italic && Text::canonicallyEqual(text, other.text);
}

std::string plain(const Runs& runs)
{
    std::size_t size = 0;
    for (const auto& run : runs) size += run.text.size();
    std::string out;
    out.reserve(size);
    for (const auto& run : runs) out += run.text;
    return out;
}

namespace {

bool isBlank(const std::string& text) { return Text::trimWhitespaceAndNewlines(text).empty(); }

bool isEndSpace(char c) { return c == ' ' || c == '\t' || c == '\n'; }

void mergeSameStyle(Runs& in, Runs& out)
{
    for (auto& run : in) {
        if (run.text.empty()) continue;
        if (!out.empty() && out.back().bold == run.bold && out.back().italic == run.italic)
            out.back().text += run.text;
        else
            out.push_back(std::move(run));
    }
}

// True when a space, tab or no-break space is followed by another: only then
// does the collapsing pattern have work to do.
bool hasSpaceStretch(const std::string& text)
{
    const char* p = text.data();
    const std::size_t n = text.size();
    auto spaceAt = [&](std::size_t i) -> std::size_t { // the width of a space at i, or 0
        if (i >= n) return 0;
        if (p[i] == ' ' || p[i] == '\t') return 1;
        return (p[i] == '\xC2' && i + 1 < n && p[i + 1] == '\xA0') ? 2 : 0;
    };
    // Every run's text is asked, every time runs are tidied: the bytes that
    // start no space are passed over without a call.
    for (std::size_t i = 0; i < n; ++i) {
        const char c = p[i];
        if (c != ' ' && c != '\t' && c != '\xC2') continue;
        if (std::size_t width = spaceAt(i); width > 0 && spaceAt(i + width) > 0) return true;
    }
    return false;
}

bool isEndSpaceCharacter(std::string_view c) { return c.size() == 1 && isEndSpace(c[0]); }

// Whether tidying would leave `runs` as they are: the readers tidy each
// paragraph as they make it, and inference tidies it again.
bool isTidy(const Runs& runs)
{
    if (runs.empty()) return true;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].text.empty() || hasSpaceStretch(runs[i].text)) return false;
        if (i > 0 && runs[i - 1].bold == runs[i].bold && runs[i - 1].italic == runs[i].italic) return false;
    }
    return !isBlank(runs.front().text) && !isBlank(runs.back().text) &&
           !isEndSpaceCharacter(Text::firstCharacter(runs.front().text)) &&
           !isEndSpaceCharacter(Text::lastCharacter(runs.back().text));
}

} // namespace

bool hasVisibleText(const Runs& runs)
{
    return std::any_of(runs.begin(), runs.end(), [](const Run& run) { return !isBlank(run.text); });
}

Runs tidied(Runs runs)
{
    static const Platform::Regex spaces("[ \\t\\u00A0]{2,}");
    if (isTidy(runs)) return runs;
    Runs merged;
    merged.reserve(runs.size());
    mergeSameStyle(runs, merged);

    for (auto& run : merged)
        if (hasSpaceStretch(run.text)) run.text = spaces.replaceAll(run.text, " ");

    std::size_t first = 0, last = merged.size();
    while (first < last && isBlank(merged[first].text)) ++first;
    while (last > first && isBlank(merged[last - 1].text)) --last;
    Runs out(std::make_move_iterator(merged.begin() + static_cast<std::ptrdiff_t>(first)),
             std::make_move_iterator(merged.begin() + static_cast<std::ptrdiff_t>(last)));
    if (out.empty()) return out;

    // Characters are compared whole, so a CR LF pair or a space carrying a
    // combining mark stays at an end.
    std::string& head = out.front().text;
    std::size_t cut = 0;
    for (std::string_view c; (c = Text::firstCharacter(std::string_view(head).substr(cut))).size() == 1 && isEndSpace(c[0]);)
        ++cut;
    head.erase(0, cut);
    std::string& tail = out.back().text;
    std::size_t end = tail.size();
    for (std::string_view c; (c = Text::lastCharacter(std::string_view(tail).substr(0, end))).size() == 1 && isEndSpace(c[0]);)
        --end;
    tail.erase(end);
    return out;
}

std::string encodeRun(const Run& run)
{
    return nlohmann::json{{"text", run.text}, {"bold", run.bold}, {"italic", run.italic}}.dump();
}

std::optional<Run> decodeRun(std::string_view json)
{
    auto value = nlohmann::json::parse(json, nullptr, false);
    if (!value.is_object()) return std::nullopt;
    auto text = value.find("text"), bold = value.find("bold"), italic = value.find("italic");
    if (text == value.end() || bold == value.end() || italic == value.end()) return std::nullopt;
    if (!text->is_string() || !bold->is_boolean() || !italic->is_boolean()) return std::nullopt;
    return Run(text->get<std::string>(), bold->get<bool>(), italic->get<bool>());
}

} // namespace FolmiraKit

std::size_t std::hash<FolmiraKit::Run>::operator()(const FolmiraKit::Run& run) const noexcept
{
    return Platform::Text::canonicalHash(run.text) * 4 + (run.bold ? 2 : 0) + (run.italic ? 1 : 0);
}
