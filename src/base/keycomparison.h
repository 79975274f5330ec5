#pragma once

#include "collator.h"
#include "fieldcomparison.h"
#include "keyfield.h"

#include <memory>
#include <vector>

namespace kelvora {

// A key field list with the collators its text fields need, compared field
// by field: the first field that is not equal decides.
class KeyComparison
{
public:
    // Throws "Invalid locale. <id>" when a text field needs a collation that
    // cannot be had.
    KeyComparison(std::vector<KeyField> keys, int localeId);

    const std::vector<KeyField>& keys() const { return keys_; }
    std::size_t size() const { return keys_.size(); }
    const Collator* collator(std::size_t key) const { return collators_[key].get(); }

    int compareField(std::size_t key, const FieldValue& a, const FieldValue& b) const
    {
        return kelvora::compareField(keys_[key], a, b, collators_[key].get());
    }
    // Stored record a against stored record b.
    int compareRecords(const RecordStore& store, Slot a, Slot b) const;
    // Key values (one per key field) against stored record b.
    int compareKey(const std::vector<FieldValue>& a, const RecordStore& store, Slot b) const;

private:
    std::vector<KeyField> keys_;
    std::vector<std::shared_ptr<const Collator>> collators_;
};

} // namespace kelvora
