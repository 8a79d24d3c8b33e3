#pragma once

// A compact binary form for values passed between Folmira and its worker
// processes: little-endian integers, doubles as their bits, strings and byte
// arrays with a length first. Both ends are the same build, so there is no
// versioning; a reader that runs out of bytes throws, and the caller treats
// the message as damaged.

#include "Platform/Geometry.h"
#include "Platform/Text.h" // Bytes

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <span>
#include <string>
#include <vector>

namespace Platform {

class WireWriter {
public:
    void u8(std::uint8_t v) { out_.push_back(v); }
    void boolean(bool v) { u8(v ? 1 : 0); }
    void u32(std::uint32_t v) { little(v); }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void u64(std::uint64_t v) { little(v); }
    void i64(std::int64_t v) { u64(static_cast<std::uint64_t>(v)); }
    void f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }
    void bytes(const void* data, std::size_t size)
    {
        u64(size);
        const auto* p = static_cast<const std::uint8_t*>(data);
        out_.insert(out_.end(), p, p + size);
    }
    void string(const std::string& s) { bytes(s.data(), s.size()); }
    void blob(const Bytes& b) { bytes(b.data(), b.size()); }
    void rect(const Rect& r)
    {
        f64(r.x);
        f64(r.y);
        f64(r.width);
        f64(r.height);
    }

    const Bytes& data() const { return out_; }
    Bytes take() { return std::move(out_); }

private:
    template <typename T>
    void little(T v)
    {
        for (std::size_t i = 0; i < sizeof v; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }

    Bytes out_;
};

class WireReader {
public:
    struct Short : std::runtime_error {
        Short() : std::runtime_error("a worker's message ended early") {}
    };

    WireReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit WireReader(const Bytes& data) : WireReader(data.data(), data.size()) {}

    std::uint8_t u8()
    {
        need(1);
        return data_[at_++];
    }
    bool boolean() { return u8() != 0; }
    std::uint32_t u32() { return little<std::uint32_t>(); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::uint64_t u64() { return little<std::uint64_t>(); }
    std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
    double f64() { return std::bit_cast<double>(u64()); }
    std::string string()
    {
        std::size_t n = length();
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }
    Bytes blob()
    {
        const auto bytes = view();
        return Bytes(bytes.begin(), bytes.end());
    }
    // A blob's bytes where they lie in the message, not copied: a tile's
    // pixels are a megabyte.
    std::span<const std::uint8_t> view()
    {
        std::size_t n = length();
        std::span<const std::uint8_t> bytes(data_ + at_, n);
        at_ += n;
        return bytes;
    }
    Rect rect()
    {
        Rect r;
        r.x = f64();
        r.y = f64();
        r.width = f64();
        r.height = f64();
        return r;
    }
    // A count of items that each take at least `itemBytes`: checked against
    // what is left, so a damaged count can't ask for a huge allocation.
    std::size_t count(std::size_t itemBytes = 1)
    {
        std::uint64_t n = u64();
        if (itemBytes == 0 || n > (size_ - at_) / itemBytes) throw Short();
        return static_cast<std::size_t>(n);
    }
    bool atEnd() const { return at_ == size_; }

private:
    void need(std::size_t n) const
    {
        if (n > size_ - at_) throw Short();
    }
    template <typename T>
    T little()
    {
        need(sizeof(T));
        T v = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&v, data_ + at_, sizeof v);
        } else {
            for (std::size_t i = 0; i < sizeof v; ++i) v = static_cast<T>(v | (static_cast<T>(data_[at_ + i]) << (8 * i)));
        }
        at_ += sizeof v;
        return v;
    }
    std::size_t length() { return count(1); }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

} // namespace Platform
