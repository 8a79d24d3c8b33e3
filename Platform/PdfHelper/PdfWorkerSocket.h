#pragma once

// What both ends of a PDF worker's socket share: the frames of requests and
// replies, how a worker's end is told apart (a limit or a crash), sending a
// whole message, and a message that carries one file descriptor beside its
// bytes (the document's memory file, with the limits).
//
// A worker's first words, once started and before any request: a hello of
// u32 `helloMagic` and u32 `version`. A process that ends before it says so
// is no working worker; one that says another version is of another build.
// A request: u32 length of what follows, u32 id, u8 tag, u32 CPU milliseconds
// and u64 bytes of address space it may spend, then its payload. A reply: u32
// length of its payload, u32 the id of the request it answers, u8 outcome,
// u32 CPU milliseconds spent, u32 which of the worker's children answered
// (the count of children it has forked), then the payload.
//
// A request of tag `copyTag` asks an opened worker for a copy of itself: a
// process forked from it, its document opened, that answers on a socket of
// its own. The reply's payload is the copy's process id; the copy's end of
// the socket comes with the reply's first byte.
//
// A request of tag `batchTag` asks for several requests of one tag at once,
// under the limits of one: its payload is u8 the tag, u64 the reply's bytes
// past which no more are answered, u64 the count, then each request's
// payload (u64 length, bytes). The reply answers the first of them and as
// many more as fit (the bytes, and half the CPU time): u64 how many, then for
// each u32 CPU milliseconds and its payload (u64 length, bytes). A batch whose
// child died answers with the outcome and, as payload, u32 which request the
// child was at; the answers before it are lost with the child.

#include "Platform/Text.h" // Bytes

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

namespace Platform::PdfWorkerSocket {

inline constexpr std::uint32_t helloMagic = 0x46504457; // "FPDW"
inline constexpr std::uint32_t version = 4;
inline constexpr std::uint8_t copyTag = 0xFF;  // no handler has it
inline constexpr std::uint8_t batchTag = 0xFE; // nor this
inline constexpr std::size_t helloSize = 4 + 4;
inline constexpr std::size_t requestHeader = 4 + 4 + 1 + 4 + 8;
inline constexpr std::size_t replyHeader = 4 + 4 + 1 + 4 + 4;

// The hello a worker of this build sends.
Bytes hello();

// How a request ended in the worker. The last is never sent: a process that
// exits with a status no worker uses (a missing library, /bin/false), or as
// a worker does on a request it does not know (one of another build), is not
// a working worker at all.
enum class Outcome : std::uint8_t { ok = 0, pastCpu = 1, pastMemory = 2, crashed = 3, notAWorker = 4 };

// The worker's exit statuses.
enum Exit { done = 0, usage = 2, noInput = 3, outOfMemory = 4, failed = 5, unknownRequest = 6, grown = 7, copying = 8 };

// How a process that ended with wait status `status` ended: past a limit of
// CPU time (its timer's signal; SIGKILL only when `spentItsCpu`, since the
// kernel's memory killer and other processes send it too), past its memory
// (out of memory: C++ throws and the worker exits so, glib and Poppler
// abort), not a worker (a status no worker exits with, or a request it did
// not understand: a broken or mismatched helper), else crashed.
Outcome outcomeOf(int status, bool spentItsCpu = false);

// The start of a small system file (under /proc) as text, in `into`, with a
// NUL after what was read; false when it can't be read. No allocation: the
// worker reads its size this way between requests.
bool readSmallFile(const char* path, char* into, std::size_t size);

// Sends the whole of `data` on `socket`, never raising SIGPIPE; false when
// the other end is gone.
bool sendWhole(int socket, const std::uint8_t* data, std::size_t size);
inline bool sendWhole(int socket, const Bytes& data) { return sendWhole(socket, data.data(), data.size()); }

// Sends `data` on `socket` in one message with descriptor `fd` attached,
// never raising SIGPIPE; false when not all of it went.
bool sendWithFd(int socket, const Bytes& data, int fd);

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
