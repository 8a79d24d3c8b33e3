// Faces through fontconfig. The configuration is built once (a function-local
// static, so concurrent first calls wait for one builder) from the system's
// configuration plus the shipped files, and is never changed afterwards:
// fontconfig allows concurrent queries on a configuration nobody modifies.

#include "Platform/Fonts.h"

#include "Platform/Resources.h"
#include "Platform/Text.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <system_error>

namespace Platform::Fonts {
namespace {

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct ObjectSetDeleter {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
struct FontSetDeleter {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

// The shipped faces join the process's own configuration, which the toolkit
// has usually loaded already: a configuration of our own would scan every
// font folder a second time at start-up.
FcConfig* buildConfiguration()
{
    FcConfig* config = FcConfigReference(nullptr);
    if (auto folder = Resources::path("Fonts")) {
        for (const auto& file : fontFilesIn(*folder))
            FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(file.c_str())); // failures are ignored
    }
    return config;
}

FcConfig* theConfiguration()
{
    static FcConfig* const config = buildConfiguration();
    return config;
}

std::string stringOf(const FcPattern* pattern, const char* object)
{
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value) return {};
    return reinterpret_cast<const char*>(value);
}

double numberOf(const FcPattern* pattern, const char* object, double otherwise)
{
    FcValue value;
    if (FcPatternGet(pattern, object, 0, &value) != FcResultMatch) return otherwise;
    if (value.type == FcTypeInteger) return value.u.i;
    if (value.type == FcTypeDouble) return value.u.d;
    return otherwise;
}

// Fills what the pattern says about the face that serves.
void describe(Font& font, const FcPattern* pattern)
{
    font.postScriptName = stringOf(pattern, FC_POSTSCRIPT_NAME);
    font.family = stringOf(pattern, FC_FAMILY);
    font.file = stringOf(pattern, FC_FILE);
}

const char* genericFamily(Generic generic)
{
    switch (generic) {
    case Generic::serif: return "serif";
    case Generic::monospace: return "monospace";
    case Generic::sansSerif: break;
    }
    return "sans-serif";
}

// The face fontconfig matches for `family` with the weight and slant; none
// when it matches nothing.
Pattern matched(const std::string& family, bool bold, bool italic)
{
    FcConfig* config = theConfiguration();
    Pattern pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    return Pattern(FcFontMatch(config, pattern.get(), &result));
}

// A stand-in face with the weight and slant asked for, drawn by `family`
// (Pango picks the face of that family with those traits).
Font standIn(const FcPattern* match, const char* family, double size, bool bold, bool italic)
{
    Font font;
    font.family = family;
    font.weight = bold ? 700 : 400;
    font.italic = italic;
    font.size = size;
    font.fallback = true;
    if (match) describe(font, match);
    if (font.family.empty()) font.family = family;
    return font;
}

// The family a PostScript name belongs to, as font names are usually made:
// "Arial-BoldMT" → "Arial", "HelveticaNeue-Bold" → "Helvetica Neue",
// "TimesNewRomanPSMT" → "Times New Roman".
std::string familyOf(std::string_view postScriptName)
{
    std::string_view base = postScriptName.substr(0, postScriptName.find('-'));
    for (std::string_view suffix : {"MT", "PS"})
        if (base.size() > suffix.size() && base.ends_with(suffix)) base.remove_suffix(suffix.size());
    std::string family;
    for (std::size_t i = 0; i < base.size(); ++i) {
        const bool upper = base[i] >= 'A' && base[i] <= 'Z';
        if (upper && i > 0 && base[i - 1] >= 'a' && base[i - 1] <= 'z') family += ' ';
        family += base[i];
    }
    return family;
}

// Faces with no metric twin on Linux, and the installed face closest to each.
std::optional<std::string_view> knownStandIn(std::string_view family)
{
    if (family == "Verdana") return "DejaVu Sans"; // the closest wide sans
    return std::nullopt;
}

} // namespace

void registerBundledFonts() { theConfiguration(); }

void* configuration() { return theConfiguration(); }

std::vector<std::filesystem::path> fontFilesIn(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        const auto& p = it->path();
        if (Text::lowercased(p.extension().string()) == ".ttf") files.push_back(p);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::optional<Font> named(std::string_view postScriptName, double size)
{
    FcConfig* config = theConfiguration();
    std::string name(postScriptName);
    Pattern pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_POSTSCRIPT_NAME, reinterpret_cast<const FcChar8*>(name.c_str()));
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(
        FcObjectSetBuild(FC_POSTSCRIPT_NAME, FC_FAMILY, FC_WEIGHT, FC_SLANT, FC_FILE, nullptr));
    std::unique_ptr<FcFontSet, FontSetDeleter> found(FcFontList(config, pattern.get(), objects.get()));
    if (!found) return std::nullopt;
    for (int i = 0; i < found->nfont; ++i) {
        const FcPattern* face = found->fonts[i];
        // fontconfig compares names without case; the lookup is exact.
        if (stringOf(face, FC_POSTSCRIPT_NAME) != name) continue;
        Font font;
        font.requested = name;
        font.size = size;
        describe(font, face);
        font.weight = static_cast<int>(FcWeightToOpenTypeDouble(numberOf(face, FC_WEIGHT, FC_WEIGHT_REGULAR)) + 0.5);
        font.italic = numberOf(face, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN;
        return font;
    }
    return std::nullopt;
}

Font generic(Generic kind, double size, bool bold, bool italic)
{
    const char* family = genericFamily(kind);
    return standIn(matched(family, bold, italic).get(), family, size, bold, italic);
}

Font system(double size, bool bold, bool italic) { return generic(Generic::sansSerif, size, bold, italic); }

Font namedOrStandIn(std::string_view postScriptName, double size, bool bold, bool italic, Generic kind)
{
    if (auto font = named(postScriptName, size)) return *font;
    const std::string family = familyOf(postScriptName);
    Font font;
    if (auto known = knownStandIn(family)) {
        font = standIn(matched(std::string(*known), bold, italic).get(), known->data(), size, bold, italic);
    } else {
        // fontconfig's own aliases give the metric-compatible faces; a match
        // that is only what any unknown family gets is no stand-in.
        Pattern match = family.empty() ? Pattern() : matched(family, bold, italic);
        Pattern fallback = matched("Folmira-No-Such-Family", bold, italic);
        const bool ownMatch = match && (!fallback || stringOf(match.get(), FC_FILE) != stringOf(fallback.get(), FC_FILE));
        font = ownMatch ? standIn(match.get(), family.c_str(), size, bold, italic) : generic(kind, size, bold, italic);
    }
    font.requested = std::string(postScriptName);
    return font;
}

} // namespace Platform::Fonts
