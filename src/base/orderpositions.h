#pragma once

#include "hugearray.h"
#include "recordstore.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kelvora {

// Where each record stands in the current order. A full map is made on
// demand; insertions and removals after it are logged and applied when a
// position is asked for, so that keeping it costs O(1) per change and the
// map is made again only after many changes.
class OrderPositions
{
public:
    // The order was replaced as a whole.
    void invalidate();
    // `slot` now stands at `position`; the records from there on moved up.
    void inserted(std::size_t position, std::size_t orderSize, Slot slot);
    // The record at `position` left; the records after it moved down.
    void removed(std::size_t position);
    // The position of `slot`, which stands in `order` (the current order).
    std::size_t positionOf(Slot slot, std::span<const Slot> order);

private:
    static constexpr std::size_t logLimit = 1024;

    struct Event
    {
        std::uint32_t position;
        std::int32_t delta;
    };
    struct Placed
    {
        Slot slot;
        std::uint32_t position;
        std::size_t since; // events before this one do not apply
    };

    void rebuild(std::span<const Slot> order);

    bool valid_ = false;
    HugeArray<std::uint32_t> base_; // by slot, as of the last rebuild
    std::vector<Event> log_;
    std::vector<Placed> placed_;
};

} // namespace kelvora
