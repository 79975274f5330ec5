#pragma once

#include "hugearray.h"
#include "keycomparison.h"
#include "recordstore.h"

#include <span>

namespace kelvora {

// Orders `records` by `comparison`, field by field; records equal on every
// field by slot number ascending, reversed when the first field is
// descending. Partial and skip-null do not define an order and are not
// consulted. Text under a collation is compared through sort keys made
// once per record.
HugeArray<Slot> buildSortOrder(const RecordStore& store, std::span<const Slot> records,
                               const KeyComparison& comparison);

} // namespace kelvora
