#include "recordstore.h"

#include <cstdint>

#include <algorithm>

namespace kelvora {

void RecordStore::setFields(std::vector<FieldDef> fields)
{
    fields_ = std::move(fields);
    columns_.clear();
    columns_.resize(fields_.size());
    status_.release();
    freeSlots_.release();
    characters_.release();
    deadCharacters_ = 0;
}

void RecordStore::clear()
{
    for (Column& column : columns_) {
        column.ints.release();
        column.reals.release();
        column.flags.release();
        column.textAt.release();
        column.textLength.release();
    }
    status_.release();
    freeSlots_.release();
    characters_.release();
    deadCharacters_ = 0;
}

void RecordStore::reserve(std::size_t records)
{
    status_.reserve(records);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        Column& column = columns_[i];
        switch (fields_[i].type) {
        case FieldType::Integer:
            column.ints.reserve(records);
            column.flags.reserve(records);
            break;
        case FieldType::Float:
            column.reals.reserve(records);
            column.flags.reserve(records);
            break;
        case FieldType::Boolean:
            column.flags.reserve(records);
            break;
        case FieldType::String:
        case FieldType::Memo:
            column.textAt.reserve(records);
            column.textLength.reserve(records);
            break;
        }
    }
}

Slot RecordStore::addSlot()
{
    const Slot slot = Slot(status_.size());
    status_.push_back(0);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        Column& column = columns_[i];
        switch (fields_[i].type) {
        case FieldType::Integer:
            column.ints.push_back(0);
            column.flags.push_back(1);
            break;
        case FieldType::Float:
            column.reals.push_back(0);
            column.flags.push_back(1);
            break;
        case FieldType::Boolean:
            column.flags.push_back(booleanNull);
            break;
        case FieldType::String:
        case FieldType::Memo:
            column.textAt.push_back(0);
            column.textLength.push_back(nullText);
            break;
        }
    }
    return slot;
}

Slot RecordStore::reuseSlot()
{
    if (freeSlots_.empty())
        return addSlot();
    const Slot slot = freeSlots_.back();
    freeSlots_.pop_back();
    status_[slot] = 0;
    for (int field = 0; field < fieldCount(); ++field)
        setNull(field, slot);
    return slot;
}

void RecordStore::freeSlot(Slot slot)
{
    for (int field = 0; field < fieldCount(); ++field)
        setNull(field, slot);
    status_[slot] = freeStatus;
    freeSlots_.push_back(slot);
}

bool RecordStore::isNull(int field, Slot slot) const
{
    const Column& column = columns_[field];
    switch (fields_[field].type) {
    case FieldType::Integer:
    case FieldType::Float:
        return column.flags[slot] != 0;
    case FieldType::Boolean:
        return column.flags[slot] == booleanNull;
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    return column.textLength[slot] == nullText;
}

QStringView RecordStore::text(int field, Slot slot) const
{
    const Column& column = columns_[field];
    const std::uint32_t length = column.textLength[slot];
    if (length == nullText || length == 0)
        return {};
    return QStringView(characters_.data() + column.textAt[slot], qsizetype(length));
}

void RecordStore::prefetchText(int field, Slot soon, Slot sooner) const
{
    const Column& column = columns_[field];
    __builtin_prefetch(column.textLength.data() + soon);
    __builtin_prefetch(column.textAt.data() + soon);
    // Fetched by an earlier call, so this read costs no wait.
    // Address arithmetic only: the offset of a null text may be stale.
    const auto base = reinterpret_cast<std::uintptr_t>(characters_.data());
    __builtin_prefetch(reinterpret_cast<const void*>(base + column.textAt[sooner] * 2));
}

void RecordStore::setNull(int field, Slot slot)
{
    Column& column = columns_[field];
    switch (fields_[field].type) {
    case FieldType::Integer:
        column.ints[slot] = 0;
        column.flags[slot] = 1;
        return;
    case FieldType::Float:
        column.reals[slot] = 0;
        column.flags[slot] = 1;
        return;
    case FieldType::Boolean:
        column.flags[slot] = booleanNull;
        return;
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    if (column.textLength[slot] != nullText)
        deadCharacters_ += column.textLength[slot];
    column.textLength[slot] = nullText;
}

void RecordStore::setInteger(int field, Slot slot, std::int32_t value)
{
    columns_[field].ints[slot] = value;
    columns_[field].flags[slot] = 0;
}

void RecordStore::setBoolean(int field, Slot slot, bool value)
{
    columns_[field].flags[slot] = value ? 1 : 0;
}

void RecordStore::setReal(int field, Slot slot, double value)
{
    columns_[field].reals[slot] = value;
    columns_[field].flags[slot] = 0;
}

void RecordStore::setText(int field, Slot slot, QStringView value)
{
    Column& column = columns_[field];
    const std::uint32_t old = column.textLength[slot];
    if (old != nullText && std::size_t(value.size()) <= old) {
        // Overwrite in place: edits that shorten a text leave no garbage behind.
        std::copy(value.utf16(), value.utf16() + value.size(),
                  characters_.data() + column.textAt[slot]);
        deadCharacters_ += old - std::size_t(value.size());
        column.textLength[slot] = std::uint32_t(value.size());
        return;
    }
    if (old != nullText)
        deadCharacters_ += old;
    if (std::size_t(value.size()) >= nullText)
        throw std::bad_alloc();
    if (deadCharacters_ > (std::size_t(1) << 20) && deadCharacters_ > characters_.size() / 2) {
        column.textLength[slot] = nullText;
        compactText();
    }
    column.textAt[slot] = characters_.size();
    column.textLength[slot] = std::uint32_t(value.size());
    characters_.append(reinterpret_cast<const char16_t*>(value.utf16()), std::size_t(value.size()));
}

void RecordStore::compactText()
{
    HugeArray<char16_t> packed;
    packed.reserve(characters_.size() - deadCharacters_);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (!fields_[i].isText())
            continue;
        Column& column = columns_[i];
        for (std::size_t slot = 0; slot < status_.size(); ++slot) {
            const std::uint32_t length = column.textLength[slot];
            if (length == nullText)
                continue;
            const std::uint64_t at = packed.size();
            packed.append(characters_.data() + column.textAt[slot], length);
            column.textAt[slot] = at;
        }
    }
    characters_.swap(packed);
    deadCharacters_ = 0;
}

std::size_t RecordStore::memoryBytes() const
{
    std::size_t bytes = status_.capacity() + characters_.capacity() * sizeof(char16_t);
    for (const Column& column : columns_)
        bytes += column.ints.capacity() * 4 + column.reals.capacity() * 8 +
                 column.flags.capacity() + column.textAt.capacity() * 8 +
                 column.textLength.capacity() * 4;
    return bytes;
}

} // namespace kelvora
