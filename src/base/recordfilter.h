#pragma once

#include "recordstore.h"

#include <QFlags>

#include <cstddef>
#include <cstdint>

namespace kelvora {

enum class FilterOption { CaseInsensitive = 1, NoPartialCompare = 2 };
Q_DECLARE_FLAGS(FilterOptions, FilterOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(FilterOptions)

// A compiled filter: decides which stored records are visible.
class RecordFilter
{
public:
    virtual ~RecordFilter() = default;

    // Tests `count` records at once, writing 1 into pass[i] when slots[i]
    // passes and 0 otherwise. Failures are thrown as DatabaseError.
    virtual void test(const RecordStore& store, const Slot* slots, std::size_t count,
                      std::uint8_t* pass) const = 0;

    bool accepts(const RecordStore& store, Slot slot) const
    {
        std::uint8_t pass = 0;
        test(store, &slot, 1, &pass);
        return pass != 0;
    }
};

} // namespace kelvora
