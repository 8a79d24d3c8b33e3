#include "Platform/RichText/CodePages.h"

#include "Platform/Text.h"

#include <algorithm>

namespace Platform::RichText::CodePages {

int forCharset(int charset)
{
    switch (charset) {
    case 0: case 1: return 0;
    case 2: return symbol;
    case 77: return 10000;   // Mac Roman
    case 128: return 932;    // Shift-JIS
    case 129: return 949;    // Hangul
    case 134: return 936;    // GB 2312
    case 136: return 950;    // Big5
    case 161: return 1253;   // Greek
    case 162: return 1254;   // Turkish
    case 163: return 1258;   // Vietnamese
    case 177: return 1255;   // Hebrew
    case 178: return 1256;   // Arabic
    case 186: return 1257;   // Baltic
    case 204: return 1251;   // Cyrillic
    case 222: return 874;    // Thai
    case 238: return 1250;   // Eastern European
    case 254: return 437;
    case 255: return 850;    // OEM
    default: return 0;
    }
}

namespace {

std::string decodeSymbol(const std::uint8_t* data, std::size_t size)
{
    // Only the bullet matters in practice (Word's list bullets); other Symbol
    // glyphs have no single Unicode home worth a table here.
    std::string out;
    for (std::size_t i = 0; i < size; ++i)
        Text::appendScalar(out, data[i] == 0xB7 ? U'\u2022' : static_cast<char32_t>(data[i]));
    return out;
}

std::string icuName(int codePage)
{
    switch (codePage) {
    case 10000: return "macintosh";
    case 437: case 850: case 852: case 860: case 862: case 863: case 865: case 866:
        return "ibm-" + std::to_string(codePage);
    case 65001: return "UTF-8";
    default: return "windows-" + std::to_string(codePage);
    }
}

} // namespace

std::string decode(const std::uint8_t* data, std::size_t size, int codePage)
{
    if (std::all_of(data, data + size, [](std::uint8_t b) { return b < 0x80; }))
        return std::string(reinterpret_cast<const char*>(data), size);
    if (codePage == symbol) return decodeSymbol(data, size);
    if (codePage == 0 || codePage == ansi) {
        if (auto text = Text::decodeWindows1252(data, size)) return std::move(*text);
        return Text::decodeLatin1(data, size);
    }
    if (auto text = Text::decodeNamed(data, size, icuName(codePage).c_str())) return std::move(*text);
    return Text::decodeLatin1(data, size);
}

} // namespace Platform::RichText::CodePages
