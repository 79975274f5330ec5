#include "hugearray.h"

#include <cstdlib>
#include <sys/mman.h>

namespace kelvora {

namespace {

constexpr std::size_t hugePage = std::size_t(2) << 20;
// Small arrays stay on the heap: a table of a few records should not cost a
// mapping per column.
constexpr std::size_t mapThreshold = std::size_t(256) << 10;

std::size_t roundUp(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

bool isMapped(std::size_t bytes)
{
    return bytes >= mapThreshold;
}

} // namespace

void HugeBlock::resize(std::size_t bytes)
{
    if (bytes == 0) {
        release();
        return;
    }
    if (!isMapped(bytes)) {
        const std::size_t rounded = roundUp(bytes, 64);
        if (isMapped(bytes_)) {
            void* fresh = std::malloc(rounded);
            if (!fresh)
                throw std::bad_alloc();
            std::memcpy(fresh, data_, rounded);
            munmap(data_, bytes_);
            data_ = fresh;
        } else {
            void* fresh = std::realloc(data_, rounded);
            if (!fresh)
                throw std::bad_alloc();
            data_ = fresh;
        }
        bytes_ = rounded;
        return;
    }

    const std::size_t rounded = roundUp(bytes, hugePage);
    void* fresh = nullptr;
    if (isMapped(bytes_)) {
        fresh = mremap(data_, bytes_, rounded, MREMAP_MAYMOVE);
        if (fresh == MAP_FAILED)
            throw std::bad_alloc();
    } else {
        fresh = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (fresh == MAP_FAILED)
            throw std::bad_alloc();
        if (data_) {
            std::memcpy(fresh, data_, bytes_ < rounded ? bytes_ : rounded);
            std::free(data_);
        }
    }
    madvise(fresh, rounded, MADV_HUGEPAGE);
    data_ = fresh;
    bytes_ = rounded;
}

void HugeBlock::release() noexcept
{
    if (!data_)
        return;
    if (isMapped(bytes_))
        munmap(data_, bytes_);
    else
        std::free(data_);
    data_ = nullptr;
    bytes_ = 0;
}

} // namespace kelvora
