// Reads the input as a document of the kind FUZZ_EXTENSION names, through the
// engine's entry, as the application does. A refusal is a fine outcome.

#include "FolmiraKit/FolmiraKit.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        FolmiraKit::Folmira::readBytes(FuzzInput::bytes(data, size), FUZZ_EXTENSION, "Fuzz", std::nullopt, size % 2);
    } catch (const FolmiraKit::ConversionError&) {
    }
    return 0;
}
