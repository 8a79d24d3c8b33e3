#include "Platform/FileWrite.h"

// Plain POSIX calls rather than a buffered stream: a buffered writer can lose
// the error of its last flush and still put an empty file in place, which is
// exactly what a full disk must never do to the user's data.

#include <algorithm>
#include <cerrno>
#include <random>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {
namespace {

[[noreturn]] void fail(int error)
{
    throw FileWriteError(std::generic_category().message(error));
}

// The temporary's name: a fixed prefix and suffix around random letters, the
// same short length for every target, so a target name of the file system's
// full length still leaves room for it.
constexpr std::string_view temporaryPrefix = ".folmira-";
constexpr std::string_view temporarySuffix = ".tmp";
constexpr std::size_t temporaryRandomLength = 12;
constexpr std::string_view temporaryAlphabet = "0123456789abcdefghijklmnopqrstuvwxyz";

std::string temporaryName()
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string name(temporaryPrefix);
    std::uniform_int_distribution<std::size_t> pick(0, temporaryAlphabet.size() - 1);
    for (std::size_t i = 0; i < temporaryRandomLength; ++i) name += temporaryAlphabet[pick(random)];
    name += temporarySuffix;
    return name;
}

// Closes the descriptor and removes the temporary file unless released.
// The file is locked before its first byte is written and stays locked until
// then, through a second descriptor that outlives the checked close: a
// clean-up run elsewhere leaves it alone meanwhile, and takes no empty file,
// which may be one made but not locked yet.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::filesystem::path path)
        : fd_(fd), lock_(::fcntl(fd, F_DUPFD_CLOEXEC, 0)), path_(std::move(path))
    {
        // A file system without locks only loses the clean-up's protection.
        if (lock_ >= 0) ::flock(lock_, LOCK_EX | LOCK_NB);
    }
    ~TemporaryFile()
    {
        if (!path_.empty()) ::unlink(path_.c_str());
        if (fd_ >= 0) ::close(fd_);
        if (lock_ >= 0) ::close(lock_);
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
    int lock_;
    std::filesystem::path path_;
};

std::filesystem::path folderOf(const std::filesystem::path& path)
{
    return path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
}

TemporaryFile createTemporaryBeside(const std::filesystem::path& target)
{
    const auto folder = folderOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto path = folder / temporaryName();
        // 0666 lets the umask decide, as for any new file the user makes.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return TemporaryFile(fd, std::move(path));
        if (errno != EEXIST && errno != EINTR) fail(errno);
    }
    fail(EEXIST);
}

// A name the writer gives its temporary files.
bool isTemporaryName(std::string_view fileName)
{
    if (fileName.size() != temporaryPrefix.size() + temporaryRandomLength + temporarySuffix.size()) return false;
    if (!fileName.starts_with(temporaryPrefix) || !fileName.ends_with(temporarySuffix)) return false;
    const auto letters = fileName.substr(temporaryPrefix.size(), temporaryRandomLength);
    return letters.find_first_not_of(temporaryAlphabet) == std::string_view::npos;
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Earlier versions named a temporary "." + the target's name + ".<pid>-<count>-<random>.tmp".
bool isFormerTemporaryName(std::string_view name, std::string_view targetName)
{
    const std::string head = "." + std::string(targetName) + ".";
    if (name.size() <= head.size() + temporarySuffix.size()) return false;
    if (!name.starts_with(head) || !name.ends_with(temporarySuffix)) return false;
    std::string_view numbers = name.substr(head.size(), name.size() - head.size() - temporarySuffix.size());
    for (int part = 0; part < 3; ++part) {
        const auto dash = numbers.find('-');
        if ((dash == std::string_view::npos) != (part == 2)) return false;
        if (!allDigits(numbers.substr(0, dash))) return false;
        numbers = dash == std::string_view::npos ? std::string_view() : numbers.substr(dash + 1);
    }
    return true;
}

// Removes `path` when it is proven abandoned: it has bytes, so its writer
// locked it before writing them, and that lock is free now, so the writer is
// gone. An empty file may be one whose writer has not locked it yet; it stays.
// The lock is taken only after that test, so a writer never finds its new
// file locked by a clean-up.
bool removeIfAbandoned(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat opened {};
    struct stat named {};
    // The name must still be the file locked: a finished write has renamed it away.
    const bool removed = ::fstat(fd, &opened) == 0 && opened.st_size > 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                         ::lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
                         named.st_ino == opened.st_ino && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

// The abandoned temporaries of a target named `targetName` in `folder`.
std::size_t removeAbandonedIn(const std::filesystem::path& folder, const std::string& targetName)
{
    std::error_code ec;
    std::filesystem::directory_iterator entries(folder, ec);
    if (ec) return 0;
    std::size_t removed = 0;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(ec)) {
        const std::string name = entries->path().filename().string();
        if (!isTemporaryName(name) && !isFormerTemporaryName(name, targetName)) continue;
        if (entries->symlink_status(ec).type() != std::filesystem::file_type::regular) continue;
        if (removeIfAbandoned(entries->path())) ++removed;
    }
    return removed;
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
    const auto path = writtenPath(target);
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

std::filesystem::path writtenPath(const std::filesystem::path& target)
{
    // Followed link after link, whether or not the last one names a file:
    // a dangling link is kept and its file made, never swapped for a file of its own.
    constexpr int maximumLinks = 40; // the kernel's own limit (ELOOP)
    std::filesystem::path path = target;
    for (int links = 0; links <= maximumLinks; ++links) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(path, ec)) return path;
        const auto named = std::filesystem::read_symlink(path, ec);
        if (ec) fail(ec.value());
        path = named.is_absolute() ? named : path.parent_path() / named;
    }
    fail(ELOOP);
}

std::size_t removeAbandonedTemporaries(const std::filesystem::path& target)
{
    std::size_t removed = removeAbandonedIn(folderOf(target), target.filename().string());
    // The writer writes beside the file a link names.
    try {
        const auto written = writtenPath(target);
        if (written != target) removed += removeAbandonedIn(folderOf(written), written.filename().string());
    } catch (const FileWriteError&) {
        // A link loop has nowhere else to write.
    }
    return removed;
}

} // namespace Platform
