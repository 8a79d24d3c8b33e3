#include "Platform/Inflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace Platform {

std::size_t inflateRaw(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output, std::size_t outputSize)
{
    if (outputSize == 0) return 0;
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return 0;
    std::unique_ptr<z_stream, decltype(&inflateEnd)> owner(&stream, inflateEnd);

    // zlib counts in uInt: feed both buffers in slices so that sizes past 4 GiB
    // can't wrap.
    constexpr std::size_t slice = UINT_MAX;
    std::size_t inUsed = 0;
    std::size_t outUsed = 0;
    for (;;) {
        if (stream.avail_in == 0 && inUsed < inputSize) {
            std::size_t take = std::min(slice, inputSize - inUsed);
            stream.next_in = const_cast<Bytef*>(input + inUsed);
            stream.avail_in = static_cast<uInt>(take);
            inUsed += take;
        }
        if (stream.avail_out == 0) {
            if (outUsed == outputSize) return outputSize; // full: the rest is cut off
            std::size_t give = std::min(slice, outputSize - outUsed);
            stream.next_out = output + outUsed;
            stream.avail_out = static_cast<uInt>(give);
            outUsed += give;
        }
        int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) return outUsed - stream.avail_out;
        if (result == Z_OK) continue;
        if (result == Z_BUF_ERROR && stream.avail_out == 0) continue; // output full, check above
        return 0; // data error, or the input ran out before the stream ended
    }
}

} // namespace Platform
