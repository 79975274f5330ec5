#include "orderpositions.h"

#include <QtGlobal>
#include <algorithm>

namespace kelvora {

void OrderPositions::invalidate()
{
    valid_ = false;
    log_.clear();
    placed_.clear();
}

void OrderPositions::inserted(std::size_t position, std::size_t orderSize, Slot slot)
{
    if (!valid_)
        return;
    if (log_.size() + placed_.size() >= logLimit) {
        invalidate();
        return;
    }
    // Appending at the end moves no other record.
    if (position + 1 != orderSize)
        log_.push_back(Event{std::uint32_t(position), +1});
    if (log_.empty()) {
        if (base_.size() <= slot)
            base_.resize(std::size_t(slot) + 1);
        base_[slot] = std::uint32_t(position);
        return;
    }
    placed_.push_back(Placed{slot, std::uint32_t(position), log_.size()});
}

void OrderPositions::removed(std::size_t position)
{
    if (!valid_)
        return;
    if (log_.size() + placed_.size() >= logLimit) {
        invalidate();
        return;
    }
    log_.push_back(Event{std::uint32_t(position), -1});
}

std::size_t OrderPositions::positionOf(Slot slot, std::span<const Slot> order)
{
    if (!valid_)
        rebuild(order);
    std::int64_t position = -1;
    std::size_t since = 0;
    for (auto it = placed_.rbegin(); it != placed_.rend(); ++it)
        if (it->slot == slot) {
            position = it->position;
            since = it->since;
            break;
        }
    if (position < 0)
        position = base_[slot];
    for (std::size_t i = since; i < log_.size(); ++i) {
        const Event& event = log_[i];
        if (event.delta > 0 ? position >= event.position : position > event.position)
            position += event.delta;
    }
    Q_ASSERT(std::size_t(position) < order.size() && order[std::size_t(position)] == slot);
    return std::size_t(position);
}

void OrderPositions::rebuild(std::span<const Slot> order)
{
    log_.clear();
    placed_.clear();
    std::size_t slotEnd = 0;
    for (Slot slot : order)
        slotEnd = std::max<std::size_t>(slotEnd, std::size_t(slot) + 1);
    base_.resize(slotEnd);
    for (std::size_t position = 0; position < order.size(); ++position)
        base_[order[position]] = std::uint32_t(position);
    valid_ = true;
}

} // namespace kelvora
