#include "keycomparison.h"

namespace kelvora {

KeyComparison::KeyComparison(std::vector<KeyField> keys, int localeId) : keys_(std::move(keys))
{
    for (const KeyField& key : keys_) {
        const bool text = key.type == FieldType::String || key.type == FieldType::Memo;
        if (text && !key.options.testFlag(CompareOption::Ordinal))
            collators_.push_back(Collator::forLocale(
                localeId, key.options.testFlag(CompareOption::CaseInsensitive)));
        else
            collators_.push_back(nullptr);
    }
}

int KeyComparison::compareRecords(const RecordStore& store, Slot a, Slot b) const
{
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        const int field = keys_[i].field;
        const int result = compareField(i, FieldValue::stored(store, field, a),
                                        FieldValue::stored(store, field, b));
        if (result != 0)
            return result;
    }
    return 0;
}

int KeyComparison::compareKey(const std::vector<FieldValue>& a, const RecordStore& store,
                              Slot b) const
{
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        const int result = compareField(i, a[i], FieldValue::stored(store, keys_[i].field, b));
        if (result != 0)
            return result;
    }
    return 0;
}

} // namespace kelvora
