// Our RTF importer on its own, below the RTF reader's inference.

#include "Platform/RichText.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        Platform::RichText::parse(data, size);
    } catch (const Platform::RichText::ImportError&) {
    }
    return 0;
}
