// The settings' JSON form as the application stores it, then clamped.

#include "FolmiraKit/FolmiraKit.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        auto settings = FolmiraKit::LargePrintSettings::decodeJSON(FuzzInput::text(data, size));
        settings.clamped();
    } catch (const FolmiraKit::LargePrintSettings::DecodingError&) {
    }
    return 0;
}
