#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kelvora {

// Little-endian reads from an untrusted byte range. Every read is checked
// against the end; a read past it returns zero and marks the reader failed,
// so a parser can read a whole fixed layout and test ok() once.
class ByteReader
{
public:
    ByteReader() = default;
    ByteReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t size() const noexcept { return size_; }
    std::size_t pos() const noexcept { return pos_; }
    std::size_t remaining() const noexcept { return pos_ <= size_ ? size_ - pos_ : 0; }
    bool ok() const noexcept { return ok_; }
    const unsigned char* data() const noexcept { return data_; }

    bool has(std::size_t bytes) const noexcept { return ok_ && bytes <= remaining(); }
    void seek(std::size_t at) noexcept
    {
        if (at > size_)
            ok_ = false;
        else
            pos_ = at;
    }
    void skip(std::size_t bytes) noexcept
    {
        if (!has(bytes))
            ok_ = false;
        else
            pos_ += bytes;
    }

    // A sub-range of `bytes` bytes at `at`; an empty, failed reader when it
    // does not lie inside this one.
    ByteReader slice(std::size_t at, std::size_t bytes) const noexcept
    {
        ByteReader part;
        if (at <= size_ && bytes <= size_ - at) {
            part.data_ = data_ + at;
            part.size_ = bytes;
        } else {
            part.ok_ = false;
        }
        return part;
    }

    std::uint8_t u8() noexcept
    {
        std::uint8_t v = 0;
        read(&v, 1);
        return v;
    }
    std::uint16_t u16() noexcept
    {
        unsigned char b[2] = {0, 0};
        read(b, 2);
        return std::uint16_t(b[0] | (b[1] << 8));
    }
    std::int16_t i16() noexcept { return std::int16_t(u16()); }
    std::uint32_t u32() noexcept
    {
        unsigned char b[4] = {0, 0, 0, 0};
        read(b, 4);
        return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
               (std::uint32_t(b[3]) << 24);
    }
    std::int32_t i32() noexcept { return std::int32_t(u32()); }
    float f32() noexcept
    {
        const std::uint32_t bits = u32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

private:
    void read(void* out, std::size_t bytes) noexcept
    {
        if (!has(bytes)) {
            ok_ = false;
            return;
        }
        std::memcpy(out, data_ + pos_, bytes);
        pos_ += bytes;
    }

    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace kelvora
