#include "sortorder.h"

#include "collator.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelvora {

namespace {

// The sort keys of one text column, back to back.
struct SortKeys
{
    HugeArray<std::uint8_t> bytes;
    HugeArray<std::uint64_t> at;     // by record index
    HugeArray<std::uint32_t> length; // by record index; nullLength for null

    static constexpr std::uint32_t nullLength = 0xFFFFFFFFu;

    void build(const RecordStore& store, int field, std::span<const Slot> records,
               const Collator& collator)
    {
        at.resize(records.size());
        length.resize(records.size());
        bytes.reserve(records.size() * 32);
        std::vector<std::uint8_t> buffer(256);
        for (std::size_t i = 0; i < records.size(); ++i) {
            const Slot slot = records[i];
            if (store.isNull(field, slot)) {
                at[i] = 0;
                length[i] = nullLength;
                continue;
            }
            const QStringView text = store.text(field, slot);
            std::int32_t needed =
                collator.sortKey(text, buffer.data(), std::int32_t(buffer.size()));
            if (needed > std::int32_t(buffer.size())) {
                buffer.resize(std::size_t(needed));
                needed = collator.sortKey(text, buffer.data(), std::int32_t(buffer.size()));
            }
            const std::size_t bytesWithoutEnd = needed > 0 ? std::size_t(needed - 1) : 0;
            at[i] = bytes.size();
            length[i] = std::uint32_t(bytesWithoutEnd);
            bytes.append(buffer.data(), bytesWithoutEnd);
        }
    }

    bool isNull(std::size_t i) const { return length[i] == nullLength; }

    int compare(std::size_t a, std::size_t b) const
    {
        const std::uint32_t la = length[a];
        const std::uint32_t lb = length[b];
        const int common =
            std::memcmp(bytes.data() + at[a], bytes.data() + at[b], std::min(la, lb));
        if (common != 0)
            return common < 0 ? -1 : 1;
        return la < lb ? -1 : la > lb ? 1 : 0;
    }

    // Eight key bytes from `offset`, big-endian, zero past the end. Sort
    // keys hold no zero byte, so the padding sorts a shorter key first.
    std::uint64_t word(std::size_t i, std::size_t offset) const
    {
        std::uint64_t value = 0;
        const std::uint8_t* key = bytes.data() + at[i];
        for (std::size_t k = 0; k < 8; ++k) {
            value <<= 8;
            if (offset + k < length[i])
                value |= key[offset + k];
        }
        return value;
    }
};

bool isCollatedText(const KeyComparison& comparison, std::size_t key)
{
    return comparison.collator(key) != nullptr;
}

// Appends `block` to `order`, reversed when asked.
void appendBlock(HugeArray<Slot>& order, std::vector<Slot>& block, bool reversed)
{
    if (reversed)
        std::reverse(block.begin(), block.end());
    order.append(block.data(), block.size());
}

// Sorts 64-bit keys, sixteen bits a pass from the lowest; passes whose
// digit is the same in every key are skipped.
void radixSort(std::vector<std::uint64_t>& keys)
{
    if (keys.size() < 4096) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    std::vector<std::uint64_t> other(keys.size());
    std::vector<std::uint32_t> counts(4 * 65536);
    for (std::uint64_t key : keys)
        for (int pass = 0; pass < 4; ++pass)
            ++counts[std::size_t(pass) * 65536 + ((key >> (16 * pass)) & 0xFFFF)];
    for (int pass = 0; pass < 4; ++pass) {
        std::uint32_t* count = counts.data() + std::size_t(pass) * 65536;
        const unsigned shift = unsigned(16 * pass);
        if (count[(keys[0] >> shift) & 0xFFFF] == keys.size())
            continue;
        std::uint32_t sum = 0;
        for (std::size_t digit = 0; digit < 65536; ++digit) {
            const std::uint32_t here = count[digit];
            count[digit] = sum;
            sum += here;
        }
        for (std::uint64_t key : keys)
            other[count[(key >> shift) & 0xFFFF]++] = key;
        keys.swap(other);
    }
}

// One integer or boolean field: records packed into 64-bit keys (non-null
// flag, value, slot) sorted as numbers.
HugeArray<Slot> sortPacked(const RecordStore& store, std::span<const Slot> records,
                           const KeyField& key)
{
    std::vector<std::uint64_t> packed(records.size());
    const bool boolean = key.type == FieldType::Boolean;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Slot slot = records[i];
        Q_ASSERT(slot < 0x80000000u);
        std::uint64_t value = slot;
        if (!store.isNull(key.field, slot)) {
            const std::uint32_t biased =
                boolean ? std::uint32_t(store.boolean(key.field, slot))
                        : std::uint32_t(store.integer(key.field, slot)) ^ 0x80000000u;
            value |= (std::uint64_t(1) << 63) | (std::uint64_t(biased) << 31);
        }
        packed[i] = value;
    }
    radixSort(packed);
    const bool descending = key.options.testFlag(CompareOption::Descending);
    const auto firstValue = std::partition_point(packed.begin(), packed.end(),
                                                 [](std::uint64_t v) { return (v >> 63) == 0; });
    HugeArray<Slot> order;
    order.reserve(records.size());
    std::vector<Slot> block;
    for (auto part : {std::pair(packed.begin(), firstValue), std::pair(firstValue, packed.end())}) {
        block.clear();
        for (auto it = part.first; it != part.second; ++it)
            block.push_back(Slot(*it & 0x7FFFFFFFu));
        appendBlock(order, block, descending);
    }
    return order;
}

struct Item
{
    std::uint64_t word;
    Slot slot;
    std::uint32_t index;
};

// Sorts items[begin, end), equal in their first `offset` key bytes, by the
// key bytes from `offset` on, then by slot. Depth is bounded by the key
// length over eight.
void sortByKeyWords(const SortKeys& keys, std::vector<Item>& items, std::size_t begin,
                    std::size_t end, std::size_t offset)
{
    for (std::size_t i = begin; i < end; ++i)
        items[i].word = keys.word(items[i].index, offset);
    std::sort(items.begin() + std::ptrdiff_t(begin), items.begin() + std::ptrdiff_t(end),
              [](const Item& a, const Item& b) {
                  return a.word != b.word ? a.word < b.word : a.slot < b.slot;
              });
    // Items of one run agree on these bytes; those whose keys go on are
    // refined by the next eight (keys hold no zero byte, so all of a run
    // go on or none does).
    std::size_t run = begin;
    while (run < end) {
        std::size_t runEnd = run + 1;
        while (runEnd < end && items[runEnd].word == items[run].word)
            ++runEnd;
        if (runEnd - run > 1 && keys.length[items[run].index] > offset + 8)
            sortByKeyWords(keys, items, run, runEnd, offset + 8);
        run = runEnd;
    }
}

// One collated text field: each record's sort key is made once, then the
// keys are sorted eight bytes at a time.
HugeArray<Slot> sortText(const RecordStore& store, std::span<const Slot> records,
                         const KeyField& key, const Collator& collator)
{
    SortKeys keys;
    keys.build(store, key.field, records, collator);
    std::vector<Slot> nulls;
    std::vector<Item> items;
    items.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (keys.isNull(i))
            nulls.push_back(records[i]);
        else
            items.push_back(Item{0, records[i], std::uint32_t(i)});
    }
    std::sort(nulls.begin(), nulls.end());
    sortByKeyWords(keys, items, 0, items.size(), 0);
    const bool descending = key.options.testFlag(CompareOption::Descending);
    HugeArray<Slot> order;
    order.reserve(records.size());
    appendBlock(order, nulls, descending);
    std::vector<Slot> block;
    block.reserve(items.size());
    for (const Item& item : items)
        block.push_back(item.slot);
    appendBlock(order, block, descending);
    return order;
}

// Any list of fields: a comparator over record indices.
HugeArray<Slot> sortGeneral(const RecordStore& store, std::span<const Slot> records,
                            const KeyComparison& comparison)
{
    std::vector<SortKeys> keys(comparison.size());
    std::vector<KeyField> plain = comparison.keys();
    for (std::size_t k = 0; k < comparison.size(); ++k) {
        plain[k].options &= ~(CompareOptions(CompareOption::Partial) | CompareOption::SkipNull);
        if (isCollatedText(comparison, k))
            keys[k].build(store, plain[k].field, records, *comparison.collator(k));
    }
    const bool tiesReversed = plain[0].options.testFlag(CompareOption::Descending);
    std::vector<std::uint32_t> indices(records.size());
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = std::uint32_t(i);
    std::sort(indices.begin(), indices.end(), [&](std::uint32_t a, std::uint32_t b) {
        for (std::size_t k = 0; k < plain.size(); ++k) {
            int result = 0;
            if (isCollatedText(comparison, k)) {
                const bool nullA = keys[k].isNull(a);
                const bool nullB = keys[k].isNull(b);
                if (nullA || nullB) {
                    result = int(!nullA) - int(!nullB);
                } else {
                    result = keys[k].compare(a, b);
                    if (plain[k].options.testFlag(CompareOption::Descending))
                        result = -result;
                }
            } else {
                const int field = plain[k].field;
                result = compareField(plain[k], FieldValue::stored(store, field, records[a]),
                                      FieldValue::stored(store, field, records[b]), nullptr);
            }
            if (result != 0)
                return result < 0;
        }
        return tiesReversed ? records[a] > records[b] : records[a] < records[b];
    });
    HugeArray<Slot> order;
    order.reserve(records.size());
    for (std::uint32_t i : indices)
        order.push_back(records[i]);
    return order;
}

} // namespace

HugeArray<Slot> buildSortOrder(const RecordStore& store, std::span<const Slot> records,
                               const KeyComparison& comparison)
{
    if (comparison.size() == 1) {
        const KeyField& key = comparison.keys()[0];
        if (key.type == FieldType::Integer || key.type == FieldType::Boolean)
            return sortPacked(store, records, key);
        if (isCollatedText(comparison, 0))
            return sortText(store, records, key, *comparison.collator(0));
    }
    return sortGeneral(store, records, comparison);
}

} // namespace kelvora
