#include "keysortplacement.h"

#include <algorithm>

namespace kelvora {

namespace {

std::vector<KeyField> withPartialText(std::vector<KeyField> keys)
{
    for (KeyField& key : keys)
        if (key.type == FieldType::String || key.type == FieldType::Memo)
            key.options |= CompareOption::Partial;
    return keys;
}

} // namespace

KeySortPlacement::KeySortPlacement(std::vector<KeyField> keys, int localeId)
    : comparison_(withPartialText(std::move(keys)), localeId)
{}

std::size_t KeySortPlacement::placeFor(const RecordStore& store, std::span<const Slot> order,
                                       Slot slot) const
{
    const auto at = std::partition_point(order.begin(), order.end(), [&](Slot other) {
        return comparison_.compareRecords(store, slot, other) > 0;
    });
    return std::size_t(at - order.begin());
}

bool KeySortPlacement::dependsOn(int field) const
{
    return std::any_of(comparison_.keys().begin(), comparison_.keys().end(),
                       [field](const KeyField& key) { return key.field == field; });
}

} // namespace kelvora
