#include "FolmiraKit/Render/LargePrintFont.h"

#include "Platform/Resources.h"

#include <fstream>
#include <sstream>

namespace FolmiraKit {

const std::array<LargePrintFont, 4> LargePrintFont::allCases{atkinson, verdana, arial, helvetica};

std::string_view LargePrintFont::id() const
{
    switch (value_) {
    case atkinson: return "atkinson";
    case verdana: return "verdana";
    case arial: return "arial";
    case helvetica: return "helvetica";
    }
    return "atkinson";
}

std::string_view LargePrintFont::name() const
{
    switch (value_) {
    case atkinson: return "Atkinson Hyperlegible";
    case verdana: return "Verdana";
    case arial: return "Arial";
    case helvetica: return "Helvetica";
    }
    return "Atkinson Hyperlegible";
}

const std::array<std::string_view, 4>& LargePrintFont::faces() const
{
    static const std::array<std::string_view, 4> atkinsonFaces{
        "AtkinsonHyperlegible-Regular", "AtkinsonHyperlegible-Bold", "AtkinsonHyperlegible-Italic",
        "AtkinsonHyperlegible-BoldItalic"};
    static const std::array<std::string_view, 4> verdanaFaces{"Verdana", "Verdana-Bold", "Verdana-Italic",
                                                              "Verdana-BoldItalic"};
    static const std::array<std::string_view, 4> arialFaces{"ArialMT", "Arial-BoldMT", "Arial-ItalicMT",
                                                            "Arial-BoldItalicMT"};
    static const std::array<std::string_view, 4> helveticaFaces{"Helvetica", "Helvetica-Bold", "Helvetica-Oblique",
                                                                "Helvetica-BoldOblique"};
    switch (value_) {
    case atkinson: return atkinsonFaces;
    case verdana: return verdanaFaces;
    case arial: return arialFaces;
    case helvetica: return helveticaFaces;
    }
    return atkinsonFaces;
}

Platform::Font LargePrintFont::font(double size, bool bold, bool italic) const
{
    registerBundledFonts();
    std::size_t index = (bold ? 1 : 0) + (italic ? 2 : 0);
    return Platform::Fonts::namedOrStandIn(faces()[index], size, bold, italic);
}

void LargePrintFont::registerBundledFonts() { Platform::Fonts::registerBundledFonts(); }

std::string LargePrintFont::atkinsonLicense()
{
    auto file = Platform::Resources::path("Fonts/OFL-AtkinsonHyperlegible.txt");
    if (!file) return {};
    std::ifstream in(*file, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return in.bad() ? std::string() : text.str();
}

std::string_view toString(LargePrintFont font) { return font.id(); }

template <>
std::optional<LargePrintFont> fromString<LargePrintFont>(std::string_view text)
{
    return fromStringIn<LargePrintFont>(LargePrintFont::allCases, text);
}

} // namespace FolmiraKit
