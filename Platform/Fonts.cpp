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

FcConfig* buildConfiguration()
{
    FcConfig* config = FcInitLoadConfigAndFonts();
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

Font system(double size, bool bold, bool italic)
{
    FcConfig* config = theConfiguration();
    Pattern pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());

    Font font;
    font.family = "sans-serif";
    font.weight = bold ? 700 : 400;
    font.italic = italic;
    font.size = size;
    font.fallback = true;
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(config, pattern.get(), &result));
    if (match) describe(font, match.get());
    if (font.family.empty()) font.family = "sans-serif";
    return font;
}

Font namedOrSystem(std::string_view postScriptName, double size, bool bold, bool italic)
{
    if (auto font = named(postScriptName, size)) return *font;
    Font font = system(size, bold, italic);
    font.requested = std::string(postScriptName);
    return font;
}

} // namespace Platform::Fonts
