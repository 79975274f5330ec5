#pragma once

#include "keyfield.h"
#include "recordstore.h"

#include <QStringView>
#include <cstdint>

namespace kelvora {

class Collator;

// One value of a field as the comparison sees it.
struct FieldValue
{
    bool null = true;
    std::int64_t integer = 0;
    bool boolean = false;
    double real = 0;
    QStringView text;

    static FieldValue stored(const RecordStore& store, int field, Slot slot);
};

// The one field comparison: a is the key (or the record being placed), b
// the record it is compared with. Nulls sort first in both directions; a
// null a under skip-null counts as equal; text under partial cuts b to the
// length of a; descending reverses everything but the null rule. `collator`
// is needed for text without the ordinal option. Returns -1, 0 or +1.
int compareField(const KeyField& key, const FieldValue& a, const FieldValue& b,
                 const Collator* collator);

// Compares text by UTF-16 code unit, ASCII letters folded when asked.
int compareOrdinal(QStringView a, QStringView b, bool caseInsensitive);

} // namespace kelvora
