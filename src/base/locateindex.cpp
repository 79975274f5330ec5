#include "locateindex.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelvora {

namespace {

constexpr std::uint32_t none = 0xFFFFFFFFu;
constexpr std::size_t tableLimit = 4;

std::uint64_t mix(std::uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

std::uint64_t combine(std::uint64_t h, std::uint64_t value)
{
    return mix(h ^ (value + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2)));
}

std::uint64_t hashBytes(const std::uint8_t* bytes, std::size_t length)
{
    std::uint64_t h = length;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        h = combine(h, word);
    }
    std::uint64_t tail = 0;
    for (; i < length; ++i)
        tail = (tail << 8) | bytes[i];
    return combine(h, tail);
}

} // namespace

// One index: distinct hashes in an open-addressed table, each with a chain
// of the records that have it, linked by slot in both directions.
class LocateIndex::Table
{
public:
    Table(std::vector<KeyField> keys, int localeId) : keys_(std::move(keys))
    {
        for (KeyField& key : keys_)
            key.options = {};
        for (const KeyField& key : keys_)
            collators_.push_back(key.type == FieldType::String || key.type == FieldType::Memo
                                     ? Collator::forLocale(localeId, false)
                                     : nullptr);
    }

    bool sameFields(const std::vector<KeyField>& keys) const
    {
        if (keys.size() != keys_.size())
            return false;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i].field != keys_[i].field)
                return false;
        return true;
    }

    // Whether the collation this index was made with is still the one in use.
    bool current(int localeId) const
    {
        for (const auto& collator : collators_)
            if (collator && collator != Collator::forLocale(localeId, false))
                return false;
        return true;
    }

    std::uint64_t hashOf(const std::vector<FieldValue>& values)
    {
        std::uint64_t h = 0x2545f4914f6cdd1dULL;
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            const FieldValue& value = values[i];
            if (value.null) {
                h = combine(h, 0x6e756c6cULL);
                continue;
            }
            switch (keys_[i].type) {
            case FieldType::Integer:
                h = combine(h, std::uint64_t(value.integer));
                break;
            case FieldType::Boolean:
                h = combine(h, value.boolean ? 1 : 0);
                break;
            case FieldType::Float: {
                // Values that compare equal hash alike: -0 as 0, every NaN alike.
                double real = value.real == 0 ? 0.0 : value.real;
                if (std::isnan(real))
                    real = std::nan("");
                std::uint64_t bits;
                std::memcpy(&bits, &real, 8);
                h = combine(h, bits);
                break;
            }
            case FieldType::String:
            case FieldType::Memo:
                collators_[i]->sortKey(value.text, key_);
                h = combine(
                    h, hashBytes(reinterpret_cast<const std::uint8_t*>(key_.data()), key_.size()));
                break;
            }
        }
        return h;
    }

    std::uint64_t hashOf(const RecordStore& store, Slot slot)
    {
        values_.resize(keys_.size());
        for (std::size_t i = 0; i < keys_.size(); ++i)
            values_[i] = FieldValue::stored(store, keys_[i].field, slot);
        return hashOf(values_);
    }

    void build(const RecordStore& store, std::span<const Slot> records)
    {
        entries_.clear();
        used_ = 0;
        filled_ = 0;
        std::size_t capacity = 1024;
        while (capacity < records.size() * 2)
            capacity *= 2;
        entries_.assign(capacity, Entry{});
        next_.resize(store.slotCount());
        prev_.resize(store.slotCount());
        // Chains start unordered; each is put in order on its first use.
        for (Slot slot : records)
            if (store.status(slot) != 3)
                link(hashOf(store, slot), slot, nullptr, 0);
    }

    // A stored record joins its chain; `positionOf` tells where records
    // stand in the current order, whose generation is `epoch`.
    void add(const RecordStore& store, Slot slot, const PositionOf& positionOf, std::uint32_t epoch)
    {
        if (store.status(slot) == 3)
            return;
        if (next_.size() <= slot) {
            next_.resize(std::size_t(slot) + 1);
            prev_.resize(std::size_t(slot) + 1);
        }
        if ((filled_ + 1) * 2 > entries_.size())
            rehash(used_ * 4 > entries_.size() ? entries_.size() * 2 : entries_.size());
        link(hashOf(store, slot), slot, &positionOf, epoch);
    }

    void remove(const RecordStore& store, Slot slot)
    {
        if (store.status(slot) == 3)
            return;
        Entry* entry = find(hashOf(store, slot));
        if (!entry)
            return;
        const std::uint32_t before = prev_[slot];
        const std::uint32_t after = next_[slot];
        if (before == none && entry->head != slot)
            return; // not in this chain
        if (before != none)
            next_[before] = after;
        else
            entry->head = after;
        if (after != none)
            prev_[after] = before;
        else
            entry->tail = before;
        if (entry->head == none) {
            entry->head = tombstone;
            --used_;
        }
    }

    // Offers the records whose key may equal `key` to `accept` in the
    // current order, until it takes one.
    void find(const std::vector<FieldValue>& key, const PositionOf& positionOf, std::uint32_t epoch,
              const Accept& accept)
    {
        Entry* entry = find(hashOf(key));
        if (!entry)
            return;
        if (entry->epoch != epoch)
            order(*entry, positionOf, epoch);
        for (std::uint32_t slot = entry->head; slot != none; slot = next_[slot])
            if (accept(slot))
                return;
    }

private:
    static constexpr std::uint32_t tombstone = 0xFFFFFFFEu;
    static constexpr std::uint32_t unordered = 0;

    // A chain is kept in the order of the current order's generation
    // `epoch`: insertions and removals of other records keep it so, only a
    // new order or a record placed in its middle does not.
    struct Entry
    {
        std::uint32_t tag = 0;
        std::uint32_t head = none; // first record, none (free) or tombstone
        std::uint32_t tail = none;
        std::uint32_t epoch = unordered;
    };

    // Entries know their hash by its upper half only; it picks the bucket
    // too, so the table can grow without hashing the records again. Values
    // that share it share a chain, which callers check anyway.
    static std::uint32_t tagOf(std::uint64_t h) { return std::uint32_t(h >> 32); }

    Entry* find(std::uint64_t h)
    {
        const std::size_t mask = entries_.size() - 1;
        for (std::size_t i = tagOf(h) & mask;; i = (i + 1) & mask) {
            Entry& entry = entries_[i];
            if (entry.head == none)
                return nullptr;
            if (entry.head != tombstone && entry.tag == tagOf(h))
                return &entry;
        }
    }

    void link(std::uint64_t h, Slot slot, const PositionOf* positionOf, std::uint32_t epoch)
    {
        if (Entry* entry = find(h)) {
            if (entry->epoch != unordered && positionOf) {
                const std::size_t position = (*positionOf)(slot);
                if (position < (*positionOf)(entry->head)) {
                    prev_[slot] = none;
                    next_[slot] = entry->head;
                    prev_[entry->head] = slot;
                    entry->head = slot;
                    return;
                }
                if (position < (*positionOf)(entry->tail))
                    entry->epoch = unordered;
            } else {
                entry->epoch = unordered;
            }
            prev_[slot] = entry->tail;
            next_[slot] = none;
            next_[entry->tail] = slot;
            entry->tail = slot;
            return;
        }
        const std::size_t mask = entries_.size() - 1;
        for (std::size_t i = tagOf(h) & mask;; i = (i + 1) & mask) {
            Entry& entry = entries_[i];
            if (entry.head == none || entry.head == tombstone) {
                if (entry.head == none)
                    ++filled_;
                entry = Entry{tagOf(h), slot, slot, positionOf ? epoch : unordered};
                prev_[slot] = none;
                next_[slot] = none;
                ++used_;
                return;
            }
        }
    }

    void order(Entry& entry, const PositionOf& positionOf, std::uint32_t epoch)
    {
        chain_.clear();
        for (std::uint32_t slot = entry.head; slot != none; slot = next_[slot])
            chain_.emplace_back(positionOf(slot), slot);
        std::sort(chain_.begin(), chain_.end());
        std::uint32_t before = none;
        for (const auto& [position, slot] : chain_) {
            prev_[slot] = before;
            if (before != none)
                next_[before] = slot;
            before = slot;
        }
        next_[before] = none;
        entry.head = chain_.front().second;
        entry.tail = before;
        entry.epoch = epoch;
    }

    // Makes the table anew at `capacity`, dropping tombstones; chains keep
    // their records.
    void rehash(std::size_t capacity)
    {
        std::vector<Entry> old;
        old.swap(entries_);
        entries_.assign(capacity, Entry{});
        filled_ = 0;
        used_ = 0;
        const std::size_t mask = entries_.size() - 1;
        for (const Entry& entry : old) {
            if (entry.head == none || entry.head == tombstone)
                continue;
            for (std::size_t i = entry.tag & mask;; i = (i + 1) & mask)
                if (entries_[i].head == none) {
                    entries_[i] = entry;
                    ++filled_;
                    ++used_;
                    break;
                }
        }
    }

    std::vector<std::pair<std::size_t, Slot>> chain_;
    std::vector<KeyField> keys_;
    std::vector<std::shared_ptr<const Collator>> collators_;
    std::vector<Entry> entries_;
    HugeArray<std::uint32_t> next_;
    HugeArray<std::uint32_t> prev_;
    std::size_t used_ = 0;   // entries with a chain
    std::size_t filled_ = 0; // entries with a chain or a tombstone
    std::string key_;
    std::vector<FieldValue> values_;
};

} // namespace kelvora

namespace kelvora {

LocateIndex::LocateIndex() = default;
LocateIndex::~LocateIndex() = default;

void LocateIndex::clear()
{
    tables_.clear();
}

void LocateIndex::orderReplaced()
{
    if (++epoch_ == 0)
        epoch_ = 1;
}

void LocateIndex::added(const RecordStore& store, Slot slot, const PositionOf& positionOf)
{
    for (auto& table : tables_)
        table->add(store, slot, positionOf, epoch_);
}

void LocateIndex::removing(const RecordStore& store, Slot slot)
{
    for (auto& table : tables_)
        table->remove(store, slot);
}

void LocateIndex::find(const std::vector<KeyField>& keys, const std::vector<FieldValue>& key,
                       const RecordStore& store, std::span<const Slot> records, int localeId,
                       const PositionOf& positionOf, const Accept& accept)
{
    Table* found = nullptr;
    for (auto it = tables_.begin(); it != tables_.end(); ++it)
        if ((*it)->sameFields(keys)) {
            if ((*it)->current(localeId))
                found = it->get();
            else
                tables_.erase(it);
            break;
        }
    if (!found) {
        auto table = std::make_unique<Table>(keys, localeId);
        table->build(store, records);
        if (tables_.size() >= tableLimit)
            tables_.erase(tables_.begin());
        tables_.push_back(std::move(table));
        found = tables_.back().get();
    }
    found->find(key, positionOf, epoch_, accept);
}

} // namespace kelvora
