#pragma once

// What both ends of a PDF worker's socket share: sending a whole message, and
// a message that carries one file descriptor beside its bytes (the document's
// memory file, with the limits).

#include "Platform/Text.h" // Bytes

#include <sys/socket.h>

#include <cstddef>

namespace Platform::PdfWorkerSocket {

// Sends the whole of `data` on `socket`, never raising SIGPIPE; false when
// the other end is gone.
bool sendWhole(int socket, const Bytes& data);

// A message header over `size` bytes at `data`, with room for one descriptor.
struct OneFdMessage {
    OneFdMessage(void* data, std::size_t size);
    OneFdMessage(const OneFdMessage&) = delete;
    OneFdMessage& operator=(const OneFdMessage&) = delete;

    iovec part;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr header{};
};

} // namespace Platform::PdfWorkerSocket
