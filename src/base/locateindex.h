#pragma once

#include "collator.h"
#include "fieldcomparison.h"
#include "hugearray.h"
#include "keyfield.h"
#include "recordstore.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kelvora {

// Hash indexes over the values of key field lists, for a locate without
// options: equal keys (text equal under the case-significant collation)
// hash alike, so the records whose key can match are found without a scan.
// An index is made on the first locate over its fields and kept up to date
// by the table's changes after that.
class LocateIndex
{
public:
    LocateIndex();
    ~LocateIndex();
    LocateIndex(const LocateIndex&) = delete;
    LocateIndex& operator=(const LocateIndex&) = delete;

    // Where a record stands in the current order.
    using PositionOf = std::function<std::size_t(Slot)>;
    // Takes a record offered by find; returns whether it is the one.
    using Accept = std::function<bool(Slot)>;

    // Every record or the field set was replaced.
    void clear();
    // The current order was replaced as a whole.
    void orderReplaced();
    // A record was stored (posted) and stands in the current order.
    void added(const RecordStore& store, Slot slot, const PositionOf& positionOf);
    // A record is about to be changed or deleted; its stored values are
    // still there.
    void removing(const RecordStore& store, Slot slot);

    // Offers `accept` the records (of `records`, the table's stored ones)
    // that may equal `key` on `keys`, in the current order, until it takes
    // one; callers check each. Makes the index for these fields when there
    // is none.
    void find(const std::vector<KeyField>& keys, const std::vector<FieldValue>& key,
              const RecordStore& store, std::span<const Slot> records, int localeId,
              const PositionOf& positionOf, const Accept& accept);

private:
    class Table;
    std::vector<std::unique_ptr<Table>> tables_;
    std::uint32_t epoch_ = 1;
};

} // namespace kelvora
