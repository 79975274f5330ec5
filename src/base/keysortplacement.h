#pragma once

#include "keycomparison.h"
#include "sortplacement.h"

namespace kelvora {

// Places posted records into a sort order built over a key field list: in
// front of the first record the new one does not sort after, text compared
// with the partial rule.
class KeySortPlacement : public SortPlacement
{
public:
    // `keys` are the sort order's fields; partial is added to text fields.
    KeySortPlacement(std::vector<KeyField> keys, int localeId);

    // Bisects the order: the order is sorted by these fields, so the records
    // the new one sorts after form its beginning.
    std::size_t placeFor(const RecordStore& store, std::span<const Slot> order,
                         Slot slot) const override;
    bool dependsOn(int field) const override;

private:
    KeyComparison comparison_;
};

} // namespace kelvora
