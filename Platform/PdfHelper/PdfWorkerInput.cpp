// A document's bytes for its workers: one sealed memory file, written once
// (from the bytes, or from the file a block at a time) and shared by every
// worker and every caller that holds the same bytes.

#include "Platform/PdfHelper/PdfWorker.h"

#include "Platform/PdfTrailer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>
#include <vector>

namespace Platform {

namespace {

// A claim is believed up to what the bytes can hold packed, at this many
// bytes an object at the least, and up to this many objects (two for each
// page of the longest document read): a small file claiming a billion objects
// buys no time nor memory.
constexpr std::int64_t packedObjectBytes = 16;
constexpr std::int64_t mostClaimedObjects = 1'000'000;

} // namespace

namespace {

[[noreturn]] void throwErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throwErrno("write");
        done += static_cast<std::size_t>(n);
    }
}

// The file's bytes mapped read only while `use` looks at them.
template <typename Use>
auto withMapping(int fd, std::size_t size, Use&& use)
{
    if (size == 0) return use(std::string_view());
    void* at = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (at == MAP_FAILED) throwErrno("mmap");
    struct Unmap {
        void* at;
        std::size_t size;
        ~Unmap() { munmap(at, size); }
    } unmap{at, size};
    return use(std::string_view(static_cast<const char*>(at), size));
}

} // namespace

PdfWorkerInput::PdfWorkerInput(const Bytes& data)
    : PdfWorkerInput(data.size(), [&](int fd) { writeAll(fd, data.data(), data.size()); })
{
}

PdfWorkerInput::PdfWorkerInput(std::size_t size, const std::function<void(int fd)>& fill)
{
    int fd = memfd_create("folmira-pdf", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd >= 0 && fd < 10) {
        int high = fcntl(fd, F_DUPFD_CLOEXEC, 10);
        close(fd);
        fd = high;
    }
    if (fd < 0) throwErrno("memfd_create");
    fd_ = fd;
    size_ = size;
    try {
        fill(fd_);
        // No worker may change the bytes another reads.
        if (fcntl(fd_, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0)
            throwErrno("F_ADD_SEALS");
        const std::int64_t holdable = static_cast<std::int64_t>(size_) / packedObjectBytes;
        const auto claimed =
            withMapping(fd_, size_, [](std::string_view file) { return PdfTrailer::claimedObjects(file); });
        objects_ = std::clamp<std::int64_t>(claimed.value_or(0), 0, std::min(holdable, mostClaimedObjects));
    } catch (...) {
        close(fd_);
        throw;
    }
}

PdfWorkerInput::~PdfWorkerInput()
{
    if (fd_ >= 0) close(fd_);
}

namespace {

std::mutex inputsMutex;

std::vector<std::weak_ptr<const PdfWorkerInput>>& inputsInUse()
{
    static auto* inputs = new std::vector<std::weak_ptr<const PdfWorkerInput>>;
    return *inputs;
}

// Bytes [at, at + n) of a document into `out`; false when they can't be had.
using ReadAt = std::function<bool(std::size_t at, std::uint8_t* out, std::size_t n)>;

bool preadAll(int fd, std::size_t at, std::uint8_t* out, std::size_t n)
{
    for (std::size_t done = 0; done < n;) {
        ssize_t got = pread(fd, out + done, n - done, static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Whether the sealed file of `input` holds exactly the `size` bytes that
// `readAt` gives; compared a block at a time, read rather than mapped, so
// that a long document's comparison costs this process no memory.
bool holds(const PdfWorkerInput& input, std::size_t size, const ReadAt& readAt)
{
    if (input.size() != size) return false;
    constexpr std::size_t block = std::size_t{1} << 20;
    std::vector<std::uint8_t> mine(std::min(block, size)), theirs(mine.size());
    for (std::size_t at = 0; at < size; at += block) {
        const std::size_t n = std::min(block, size - at);
        if (!preadAll(input.fd(), at, mine.data(), n) || !readAt(at, theirs.data(), n)) return false;
        if (std::memcmp(mine.data(), theirs.data(), n) != 0) return false;
    }
    return true;
}

// The input in use that holds the bytes `readAt` gives, else the one `make`
// makes, kept for later callers. Held while a new file is written, so that a
// second caller with the same bytes finds it rather than writing its own.
std::shared_ptr<const PdfWorkerInput> sharedInput(std::size_t size, const ReadAt& readAt,
                                                  const std::function<std::shared_ptr<const PdfWorkerInput>()>& make)
{
    std::lock_guard lock(inputsMutex);
    auto& inputs = inputsInUse();
    std::erase_if(inputs, [](const auto& input) { return input.expired(); });
    for (const auto& weak : inputs)
        if (auto input = weak.lock(); input && holds(*input, size, readAt)) return input;
    auto input = make();
    inputs.push_back(input);
    return input;
}

} // namespace

std::shared_ptr<const PdfWorkerInput> PdfWorkerInput::of(const Bytes& data)
{
    const ReadAt readAt = [&](std::size_t at, std::uint8_t* out, std::size_t n) {
        std::memcpy(out, data.data() + at, n);
        return true;
    };
    return sharedInput(data.size(), readAt, [&] { return std::make_shared<const PdfWorkerInput>(data); });
}

std::shared_ptr<const PdfWorkerInput> PdfWorkerInput::ofFile(const std::filesystem::path& path)
{
    int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) throwErrno("open");
    struct Close {
        int fd;
        ~Close() { close(fd); }
    } closing{file};
    struct stat status {};
    if (fstat(file, &status) != 0) throwErrno("fstat");
    if (!S_ISREG(status.st_mode)) throw std::system_error(EINVAL, std::generic_category(), "not a regular file");
    const auto size = static_cast<std::size_t>(status.st_size);
    const ReadAt readAt = [&](std::size_t at, std::uint8_t* out, std::size_t n) { return preadAll(file, at, out, n); };
    return sharedInput(size, readAt, [&] {
        return std::shared_ptr<const PdfWorkerInput>(new PdfWorkerInput(size, [&](int fd) {
            std::vector<std::uint8_t> block(std::min(size, std::size_t{1} << 20));
            for (std::size_t at = 0; at < size; at += block.size()) {
                const std::size_t n = std::min(block.size(), size - at);
                if (!readAt(at, block.data(), n)) throw std::system_error(EIO, std::generic_category(), "read");
                writeAll(fd, block.data(), n);
            }
        }));
    });
}

} // namespace Platform
