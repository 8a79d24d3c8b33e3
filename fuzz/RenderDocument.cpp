// Reads the input as any document (its first byte picks the kind and the
// settings) and renders what was read.

#include "FolmiraKit/FolmiraKit.h"
#include "FolmiraKit/Render/Renderer.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const auto& kinds = FolmiraKit::Folmira::extensions;
    const std::uint8_t choice = data[0];
    FolmiraKit::LargePrintSettings settings;
    settings.fontSize = 14 + (choice >> 4) * 2;
    settings.highContrast = choice & 0x08;
    settings.tables = FolmiraKit::LargePrintSettings::TableMode::automatic;
    try {
        auto document = FolmiraKit::Folmira::readBytes(FuzzInput::bytes(data + 1, size - 1),
                                                       kinds[choice % kinds.size()], "Fuzz", std::nullopt, false);
        auto result = FolmiraKit::Folmira::render(document, settings);
        if (result.pageCount < 1 || result.pdf.empty()) __builtin_trap();
    } catch (const FolmiraKit::ConversionError&) {
    }
    return 0;
}
