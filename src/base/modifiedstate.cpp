#include "modifiedstate.h"

namespace kelvora {

namespace {

constexpr std::uint64_t fnvPrime = 1099511628211ULL;

void mix(std::uint64_t& hash, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * fnvPrime;
}

} // namespace

ModifiedState::ModifiedState(PointTable& table, QObject* parent)
    : QObject(parent), table_(table), lastState_(table.state()),
      lastRecords_(table.rowOrder().size())
{
    const auto changed = [this] {
        modified_ = true;
    };
    connect(&table_, &PointTable::rowInserted, this, changed);
    connect(&table_, &PointTable::rowRemoved, this, changed);
    connect(&table_, &PointTable::rowChanged, this, &ModifiedState::rowChanged);
    connect(&table_, &PointTable::stateChanged, this, &ModifiedState::stateSeen);
    connect(&table_, &PointTable::reset, this, [this] {
        lastState_ = table_.state();
        lastRecords_ = table_.rowOrder().size();
    });
}

void ModifiedState::clear()
{
    modified_ = false;
    lastState_ = table_.state();
    lastRecords_ = table_.rowOrder().size();
}

void ModifiedState::rowChanged()
{
    // A post tells the row first and the state after; a cancel the other
    // way round, so a row change seen while still in edit state is a post.
    if (lastState_ == PointTable::State::Edit)
        modified_ = true;
}

void ModifiedState::stateSeen()
{
    // A record appended under a filter that hides it gives no row signal;
    // the number of stored records tells.
    const std::size_t records = table_.rowOrder().size();
    if (table_.state() == PointTable::State::Browse && records != lastRecords_ &&
        (lastState_ == PointTable::State::Insert || lastState_ == PointTable::State::Edit))
        modified_ = true;
    lastState_ = table_.state();
    lastRecords_ = records;
}

std::uint64_t ModifiedState::fingerprint() const
{
    std::uint64_t hash = 14695981039346656037ULL;
    const RecordStore& store = table_.store();
    const int fields = store.fieldCount();
    for (const Slot slot : table_.rowOrder()) {
        mix(hash, &slot, sizeof slot);
        for (int field = 0; field < fields; ++field) {
            const bool null = store.isNull(field, slot);
            mix(hash, &null, sizeof null);
            if (null)
                continue;
            switch (store.field(field).type) {
            case FieldType::Integer: {
                const std::int32_t value = store.integer(field, slot);
                mix(hash, &value, sizeof value);
                break;
            }
            case FieldType::Boolean: {
                const bool value = store.boolean(field, slot);
                mix(hash, &value, sizeof value);
                break;
            }
            case FieldType::Float: {
                const double value = store.real(field, slot);
                mix(hash, &value, sizeof value);
                break;
            }
            case FieldType::String:
            case FieldType::Memo: {
                const QStringView text = store.text(field, slot);
                const qsizetype length = text.size();
                mix(hash, &length, sizeof length);
                mix(hash, text.data(), std::size_t(length) * sizeof(QChar));
                break;
            }
            }
        }
    }
    return hash;
}

} // namespace kelvora
