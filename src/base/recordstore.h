#pragma once

#include "fielddef.h"
#include "hugearray.h"

#include <QStringView>
#include <cstdint>
#include <vector>

namespace kelvora {

using Slot = std::uint32_t;

// The records of one table, stored by column: every integer, boolean and
// float field is one contiguous array, every text is a range of one shared
// character block. A record is a slot number; freed numbers are reused, most
// recently freed first.
class RecordStore
{
public:
    static constexpr std::uint32_t nullText = 0xFFFFFFFFu;

    // Drops every record and defines the columns anew.
    void setFields(std::vector<FieldDef> fields);
    const std::vector<FieldDef>& fields() const { return fields_; }
    int fieldCount() const { return int(fields_.size()); }
    const FieldDef& field(int index) const { return fields_[std::size_t(index)]; }

    // Drops every record; the fields stay.
    void clear();
    void reserve(std::size_t records);

    // The number of slot numbers given out so far (free ones included).
    std::size_t slotCount() const { return status_.size(); }
    // A record with every field null and status 0, in the next new slot.
    Slot addSlot();
    // As addSlot, but takes the most recently freed slot number first.
    Slot reuseSlot();
    void freeSlot(Slot slot);
    bool isFree(Slot slot) const { return status_[slot] == freeStatus; }

    std::uint8_t status(Slot slot) const { return status_[slot]; }
    void setStatus(Slot slot, std::uint8_t status) { status_[slot] = status; }

    bool isNull(int field, Slot slot) const;
    std::int32_t integer(int field, Slot slot) const { return columns_[field].ints[slot]; }
    bool boolean(int field, Slot slot) const { return columns_[field].flags[slot] == 1; }
    double real(int field, Slot slot) const { return columns_[field].reals[slot]; }
    QStringView text(int field, Slot slot) const;
    // Hints for a scan that visits records in an order unrelated to where
    // they are stored: asks for the text's place of a record visited soon
    // and for the characters of one visited sooner. Reads nothing.
    void prefetchText(int field, Slot soon, Slot sooner) const;

    void setNull(int field, Slot slot);
    void setInteger(int field, Slot slot, std::int32_t value);
    void setBoolean(int field, Slot slot, bool value);
    void setReal(int field, Slot slot, double value);
    void setText(int field, Slot slot, QStringView value);

    // Columns for scans over many records. Null flags are 1 for null; a
    // boolean column holds 0 false, 1 true, 2 null.
    const std::int32_t* integerColumn(int field) const { return columns_[field].ints.data(); }
    const std::uint8_t* nullColumn(int field) const { return columns_[field].flags.data(); }
    const double* realColumn(int field) const { return columns_[field].reals.data(); }

    // Bytes held for records, for measuring.
    std::size_t memoryBytes() const;

private:
    static constexpr std::uint8_t freeStatus = 0xFF;
    static constexpr std::uint8_t booleanNull = 2;

    struct Column
    {
        HugeArray<std::int32_t> ints;
        HugeArray<double> reals;
        HugeArray<std::uint8_t> flags;   // null flag, or the boolean's value
        HugeArray<std::uint64_t> textAt; // offset into the character block
        HugeArray<std::uint32_t> textLength;
    };

    void compactText();

    std::vector<FieldDef> fields_;
    std::vector<Column> columns_;
    HugeArray<std::uint8_t> status_;
    HugeArray<Slot> freeSlots_;
    HugeArray<char16_t> characters_;
    std::size_t deadCharacters_ = 0;
};

} // namespace kelvora
