#pragma once

// The encoded bytes of a picture, shared by every copy of it. They are held
// in memory, or set aside in a file of pictures (PictureFile) and mapped back
// from it: a mapped picture's pages are read in only when it is drawn, and
// the system may drop them again, so a long photo report's pictures need not
// all stay in memory.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

namespace FolmiraKit {

class PictureData {
public:
    PictureData() = default;
    PictureData(std::vector<std::uint8_t> bytes); // NOLINT: held in memory, as a reader made them
    PictureData(std::initializer_list<std::uint8_t> bytes) : PictureData(std::vector<std::uint8_t>(bytes)) {}
    PictureData(const PictureData&) = default;
    PictureData& operator=(const PictureData&) = default;
    // What is moved from is left empty, never viewing bytes it no longer holds.
    PictureData(PictureData&& other) noexcept;
    PictureData& operator=(PictureData&& other) noexcept;

    // The bytes, at one address for as long as this or a copy of it lives.
    std::span<const std::uint8_t> view() const { return view_; }
    const std::uint8_t* data() const { return view_.data(); }
    std::size_t size() const { return view_.size(); }
    bool empty() const { return view_.empty(); }
    auto begin() const { return view_.begin(); }
    auto end() const { return view_.end(); }
    // The bytes as a vector for the image decoders: the one held in memory,
    // or a copy of a mapped picture's.
    std::shared_ptr<const std::vector<std::uint8_t>> bytes() const;

    // Same bytes.
    friend bool operator==(const PictureData& a, const PictureData& b);

private:
    friend class PictureFile;
    std::shared_ptr<const void> owner_; // the vector, or the mapping
    std::shared_ptr<const std::vector<std::uint8_t>> memory_;
    std::span<const std::uint8_t> view_;
};

// An unlinked temporary file that a reader sets pictures aside in; it goes
// when the last picture mapped from it goes.
class PictureFile {
public:
    // None when no temporary file can be made.
    static std::shared_ptr<PictureFile> make();
    ~PictureFile();
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    // `bytes` written to the file and mapped back; kept in memory when that
    // fails (a full disk).
    PictureData keep(std::vector<std::uint8_t> bytes);
    // The bytes written so far.
    std::uint64_t size() const { return end_; }

private:
    explicit PictureFile(int fd) : fd_(fd) {}
    int fd_;
    std::uint64_t end_ = 0;
};

} // namespace FolmiraKit
