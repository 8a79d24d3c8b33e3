#include "Platform/FileWrite.h"

// Plain POSIX calls rather than a buffered stream: a buffered writer can lose
// the error of its last flush and still put an empty file in place, which is
// exactly what a full disk must never do to the user's data.

#include <atomic>
#include <cerrno>
#include <random>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {
namespace {

[[noreturn]] void fail(int error)
{
    throw FileWriteError(std::generic_category().message(error));
}

// Closes the descriptor and removes the temporary file unless released.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
    ~TemporaryFile()
    {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }
    const std::filesystem::path& path() const { return path_; }

    // close() can report a write the kernel deferred (NFS), so it is checked.
    void close()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) fail(errno);
    }
    void release() { path_.clear(); }

private:
    int fd_;
    std::filesystem::path path_;
};

// A symbolic link is followed so the file it names is replaced, not the link.
std::filesystem::path resolvedTarget(const std::filesystem::path& target)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(target, ec)) return target;
    auto resolved = std::filesystem::weakly_canonical(target, ec);
    return ec ? target : resolved;
}

TemporaryFile createTemporaryBeside(const std::filesystem::path& target)
{
    static std::atomic<std::uint64_t> counter{0};
    thread_local std::mt19937_64 random{std::random_device{}()};
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto name = "." + target.filename().string() + "." + std::to_string(::getpid()) + "-"
            + std::to_string(counter.fetch_add(1)) + "-" + std::to_string(random() % 1000000) + ".tmp";
        auto path = folder / name;
        // 0666 lets the umask decide, as for any new file the user makes.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return TemporaryFile(fd, std::move(path));
        if (errno != EEXIST && errno != EINTR) fail(errno);
    }
    fail(EEXIST);
}

void writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        if (written == 0) fail(EIO);
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void syncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) fail(errno);
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    // Some file systems cannot sync a folder at all; the rename stands there.
    if (result != 0 && error != EINVAL && error != ENOTSUP) fail(error);
}

} // namespace

void writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes)
{
    const auto path = resolvedTarget(target);
    auto temporary = createTemporaryBeside(path);

    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(temporary.fd(), existing.st_mode & 07777);

    writeAll(temporary.fd(), bytes.data(), bytes.size());
    if (::fsync(temporary.fd()) != 0) fail(errno);
    temporary.close();
    if (::rename(temporary.path().c_str(), path.c_str()) != 0) fail(errno);
    temporary.release();
    syncFolder(path.parent_path());
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    writeFileAtomically(target, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

} // namespace Platform
