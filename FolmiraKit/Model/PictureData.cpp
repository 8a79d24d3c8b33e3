#include "FolmiraKit/Model/PictureData.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

namespace FolmiraKit {

namespace {

// One picture's pages of the file, mapped read-only.
struct Mapping {
    void* address = MAP_FAILED;
    std::size_t length = 0;
    ~Mapping()
    {
        if (address != MAP_FAILED) munmap(address, length);
    }
};

const std::size_t pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));

// An unlinked file in the first folder that takes one: disk-backed /var/tmp
// before /tmp, which is often memory itself.
int temporaryFile()
{
    std::vector<std::string> folders;
    if (const char* chosen = std::getenv("TMPDIR"); chosen && *chosen) folders.emplace_back(chosen);
    folders.insert(folders.end(), {"/var/tmp", "/tmp"});
    for (const std::string& folder : folders) {
        int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
    }
    return -1;
}

} // namespace

PictureData::PictureData(std::vector<std::uint8_t> bytes)
    : memory_(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes))), view_(*memory_)
{
}

PictureData::PictureData(PictureData&& other) noexcept
    : owner_(std::move(other.owner_)), memory_(std::move(other.memory_)), view_(std::exchange(other.view_, {}))
{
}

PictureData& PictureData::operator=(PictureData&& other) noexcept
{
    owner_ = std::move(other.owner_);
    memory_ = std::move(other.memory_);
    view_ = std::exchange(other.view_, {});
    return *this;
}

std::shared_ptr<const std::vector<std::uint8_t>> PictureData::bytes() const
{
    if (memory_) return memory_;
    return std::make_shared<const std::vector<std::uint8_t>>(view_.begin(), view_.end());
}

bool operator==(const PictureData& a, const PictureData& b)
{
    return a.view_.data() == b.view_.data() ? a.view_.size() == b.view_.size()
                                            : std::ranges::equal(a.view_, b.view_);
}

std::shared_ptr<PictureFile> PictureFile::make()
{
    int fd = temporaryFile();
    if (fd < 0) return nullptr;
    return std::shared_ptr<PictureFile>(new PictureFile(fd));
}

PictureFile::~PictureFile() { close(fd_); }

PictureData PictureFile::keep(std::vector<std::uint8_t> bytes)
{
    if (bytes.empty()) return PictureData(std::move(bytes));
    // Each picture starts on a page of its own, so that it maps alone.
    const std::uint64_t at = (end_ + pageSize - 1) / pageSize * pageSize;
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = pwrite(fd_, bytes.data() + written, bytes.size() - written, static_cast<off_t>(at + written));
        if (n <= 0) return PictureData(std::move(bytes));
        written += static_cast<std::size_t>(n);
    }
    auto mapping = std::make_shared<Mapping>();
    mapping->length = bytes.size();
    mapping->address = mmap(nullptr, bytes.size(), PROT_READ, MAP_SHARED, fd_, static_cast<off_t>(at));
    if (mapping->address == MAP_FAILED) return PictureData(std::move(bytes));
    end_ = at + bytes.size();
    PictureData data;
    data.view_ = {static_cast<const std::uint8_t*>(mapping->address), bytes.size()};
    data.owner_ = std::move(mapping);
    return data;
}

} // namespace FolmiraKit
