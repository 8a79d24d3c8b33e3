// The PDF reading worker: started by Folmira (PdfWorker), handed a document
// in a sealed memory file; answers the reader's requests about its pages, and
// the page view's requests for tiles, each in a child of its own under limits
// of CPU time and memory, until Folmira closes its end or is gone.

#include "FolmiraKit/PDF/PageReading.h"
#include "Platform/PdfHelper/PdfWorkerPages.h"
#include "Platform/PdfHelper/PdfWorkerProcess.h"
#include "Platform/PdfHelper/PdfWorkerSocket.h"
#include "Platform/PdfHelper/PdfWorkerTile.h"

#include <unistd.h>

#include <cstddef>
#include <vector>

// An allocation that the request's cap of address space refuses, and that a
// larger share of the app's budget could have granted, ends the request as
// past its memory. Left to the libraries, such a failure is often passed
// over: Poppler and Cairo then draw a picture blank, or a page in part, and
// the reader keeps it as if it were whole. A request whose memory is cut
// short is instead tried again with its whole limit, or left out with its
// note. An allocation larger than the whole budget is one no limit would
// grant (a hostile size field): the libraries' own handling stands.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FOLMIRA_SANITIZED_ALLOCATOR 1 // the sanitizers' allocators stand in for malloc
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define FOLMIRA_SANITIZED_ALLOCATOR 1
#endif
#endif

#ifndef FOLMIRA_SANITIZED_ALLOCATOR
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* old, std::size_t size);
}

namespace {

void* granted(void* memory, std::size_t size)
{
    constexpr auto whole = static_cast<std::size_t>(Platform::PdfWorkerProcess::MemoryBudget::wholeBytes);
    if (!memory && size > 0 && size <= whole) _exit(Platform::PdfWorkerSocket::outOfMemory);
    return memory;
}

} // namespace

extern "C" {

void* malloc(std::size_t size) noexcept { return granted(__libc_malloc(size), size); }

void* calloc(std::size_t count, std::size_t size) noexcept
{
    std::size_t total = 0;
    if (__builtin_mul_overflow(count, size, &total)) return __libc_calloc(count, size);
    return granted(__libc_calloc(count, size), total);
}

void* realloc(void* old, std::size_t size) noexcept { return granted(__libc_realloc(old, size), size); }

} // extern "C"
#endif

// Poppler aborts where an allocation fails (one past the whole budget, or a
// library's own check), and a C++ exception no one catches ends in abort too:
// out of memory, as the worker tells its client. Ended here, not by raising
// SIGABRT: a request's child may signal no process of its own number (the
// filter lets its signals reach only the worker it was forked from).
extern "C" [[noreturn]] void abort() noexcept
{
    _exit(Platform::PdfWorkerSocket::outOfMemory);
}

int main()
{
    const auto reading = FolmiraKit::PDFReader::workerRequests();
    std::vector<Platform::PdfWorkerRequest> handlers(reading.begin(), reading.end());
    handlers.push_back(Platform::PdfWorkerTile::handler);
    handlers.push_back(Platform::PdfWorkerPages::handler);
    return Platform::servePdfWorker(handlers);
}
