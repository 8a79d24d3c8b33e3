// The chords-over-lyrics converter, and ChordPro's reading of its output.

#include "TunequillKit/TunequillKit.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto chordPro = TunequillKit::PlainTextConverter::convert(FuzzInput::text(data, size), "Fuzz");
    TunequillKit::ChordProParser::parse(chordPro);
    return 0;
}
