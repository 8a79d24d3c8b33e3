#pragma once

// Raw DEFLATE decoding (RFC 1951, no zlib or gzip wrapper), backed by zlib.

#include <cstddef>
#include <cstdint>

namespace Platform {

// Decodes the raw DEFLATE stream `input` into `output`, writing at most
// `outputSize` bytes; output that would not fit is cut off there. Returns the
// number of bytes written: all of them when the stream ended or the buffer
// filled up, 0 when the stream is malformed or ends before its last block.
std::size_t inflateRaw(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output, std::size_t outputSize);

} // namespace Platform
