// library.json: decoding, and encoding what was decoded.

#include "TunequillKit/TunequillKit.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        auto library = TunequillKit::Library::decode(FuzzInput::text(data, size));
        auto again = TunequillKit::Library::decode(library.encode());
        if (again.encode() != library.encode()) __builtin_trap();
    } catch (const TunequillKit::LibraryFormatError&) {
    }
    return 0;
}
