#pragma once

#include "collator.h"
#include "fieldcomparison.h"
#include "hugearray.h"
#include "keyfield.h"
#include "recordstore.h"

#include <cstdint>
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

    // Every record or the field set was replaced.
    void clear();
    // A record was stored (posted) with its values.
    void added(const RecordStore& store, Slot slot);
    // A record is about to be changed or deleted; its stored values are
    // still there.
    void removing(const RecordStore& store, Slot slot);

    // Appends to `out` the records (of `records`, the table's stored
    // records) that may equal `key` on `keys`; callers check each. Makes the
    // index for these fields when there is none.
    void candidates(const std::vector<KeyField>& keys, const std::vector<FieldValue>& key,
                    const RecordStore& store, std::span<const Slot> records, int localeId,
                    std::vector<Slot>& out);

private:
    class Table;
    std::vector<std::unique_ptr<Table>> tables_;
};

} // namespace kelvora
