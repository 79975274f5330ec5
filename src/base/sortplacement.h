#pragma once

#include "recordstore.h"

#include <cstddef>
#include <span>

namespace kelvora {

// Keeps a sort order in force up to date: where a posted record goes.
class SortPlacement
{
public:
    virtual ~SortPlacement() = default;

    // The position in `order` (which does not hold `slot`) in front of the
    // first record that `slot` does not sort after.
    virtual std::size_t placeFor(const RecordStore& store, std::span<const Slot> order,
                                 Slot slot) const = 0;
    // Whether a change of `field` can move a record in the order.
    virtual bool dependsOn(int field) const = 0;
};

} // namespace kelvora
