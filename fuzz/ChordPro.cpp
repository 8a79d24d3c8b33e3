// The ChordPro parser, and the transposition of what it read.

#include "TunequillKit/TunequillKit.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto song = TunequillKit::ChordProParser::parse(FuzzInput::text(data, size));
    TunequillKit::PreparedSong(song, static_cast<std::int64_t>(size % 24) - 12, std::nullopt,
                               TunequillKit::Accidentals::automatic, size % 3 == 0);
    return 0;
}
