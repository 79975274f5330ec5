#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace kelvora {

// Raw memory in large blocks from the kernel, advised for transparent huge
// pages: a million records touch far fewer fresh pages this way than through
// many small heap blocks, and growing remaps instead of copying.
class HugeBlock
{
public:
    HugeBlock() = default;
    ~HugeBlock() { release(); }
    HugeBlock(const HugeBlock&) = delete;
    HugeBlock& operator=(const HugeBlock&) = delete;
    HugeBlock(HugeBlock&& other) noexcept { swap(other); }
    HugeBlock& operator=(HugeBlock&& other) noexcept
    {
        HugeBlock moved(std::move(other));
        swap(moved);
        return *this;
    }

    void* data() const noexcept { return data_; }
    std::size_t bytes() const noexcept { return bytes_; }

    // Grows or shrinks the block to at least `bytes`, keeping its content up
    // to the smaller size. Throws std::bad_alloc when the memory is refused.
    void resize(std::size_t bytes);
    void release() noexcept;
    void swap(HugeBlock& other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(bytes_, other.bytes_);
    }

private:
    void* data_ = nullptr;
    std::size_t bytes_ = 0;
};

// A growable array of trivially copyable values kept in one HugeBlock.
template <typename T> class HugeArray
{
    static_assert(std::is_trivially_copyable_v<T>);

public:
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    std::size_t capacity() const noexcept { return block_.bytes() / sizeof(T); }

    T* data() noexcept { return static_cast<T*>(block_.data()); }
    const T* data() const noexcept { return static_cast<const T*>(block_.data()); }
    T& operator[](std::size_t i) noexcept { return data()[i]; }
    const T& operator[](std::size_t i) const noexcept { return data()[i]; }
    T* begin() noexcept { return data(); }
    T* end() noexcept { return data() + size_; }
    const T* begin() const noexcept { return data(); }
    const T* end() const noexcept { return data() + size_; }
    T& back() noexcept { return data()[size_ - 1]; }
    std::span<const T> view() const noexcept { return {data(), size_}; }

    void reserve(std::size_t count)
    {
        if (count > capacity())
            block_.resize(count * sizeof(T));
    }
    void push_back(const T& value)
    {
        if (size_ == capacity())
            grow(size_ + 1);
        data()[size_++] = value;
    }
    // Appends `count` values copied from `values`.
    void append(const T* values, std::size_t count)
    {
        if (count == 0)
            return;
        if (size_ + count > capacity())
            grow(size_ + count);
        std::memcpy(static_cast<void*>(data() + size_), values, count * sizeof(T));
        size_ += count;
    }
    // Sets the size; new values are zero (fresh pages) or left as they were.
    void resize(std::size_t count)
    {
        if (count > capacity())
            grow(count);
        size_ = count;
    }
    void pop_back() noexcept { --size_; }
    void insert(std::size_t at, const T& value)
    {
        if (size_ == capacity())
            grow(size_ + 1);
        std::memmove(static_cast<void*>(data() + at + 1), data() + at, (size_ - at) * sizeof(T));
        data()[at] = value;
        ++size_;
    }
    void erase(std::size_t at) noexcept
    {
        std::memmove(static_cast<void*>(data() + at), data() + at + 1,
                     (size_ - at - 1) * sizeof(T));
        --size_;
    }
    void clear() noexcept { size_ = 0; }
    // Gives the memory back to the system.
    void release() noexcept
    {
        block_.release();
        size_ = 0;
    }
    void swap(HugeArray& other) noexcept
    {
        block_.swap(other.block_);
        std::swap(size_, other.size_);
    }

private:
    void grow(std::size_t atLeast)
    {
        std::size_t wanted = capacity() < 1024 ? 1024 : capacity() * 2;
        while (wanted < atLeast)
            wanted *= 2;
        block_.resize(wanted * sizeof(T));
    }

    HugeBlock block_;
    std::size_t size_ = 0;
};

} // namespace kelvora
