#pragma once

#include <QFlags>
#include <QString>

namespace kelvora {

class PointTable;

// The one format object every base file load and save goes through. Its
// settings are fixed: a save writes every field, every record other than
// deleted ones (status 3) in the current order, with filtering switched off
// for the duration; a load replaces the table's fields by the file's.
class BaseFileFormat
{
public:
    enum class Setting {
        SaveData = 0x1,
        SaveBlobs = 0x2,
        SaveNonVisible = 0x4,
        SaveDef = 0x8,
        SaveIndexDef = 0x10,
        SaveFieldKind = 0x20,
        SaveFiltered = 0x40,
        SaveUsingIndex = 0x80,
        SaveIgnoreRange = 0x100,
        SaveIgnoreMasterDetail = 0x200,
        LoadDef = 0x400,
        LoadFromStart = 0x800,
        LoadData = 0x1000,
        LoadBlobs = 0x2000,
        LoadNonVisible = 0x4000,
        LoadIndexDef = 0x8000,
        LoadFieldKind = 0x10000,
    };
    Q_DECLARE_FLAGS(Settings, Setting)

    static constexpr int minimumBufferSize = 16384;

    Settings settings() const;
    bool has(Setting setting) const { return settings().testFlag(setting); }

    // Reads and writes go through a buffer of this many bytes; the bytes of
    // a file never depend on it.
    int bufferSize() const { return bufferSize_; }
    // A value below the minimum is raised to it.
    void setBufferSize(int bytes)
    {
        bufferSize_ = bytes < minimumBufferSize ? minimumBufferSize : bytes;
    }

private:
    int bufferSize_ = minimumBufferSize;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(BaseFileFormat::Settings)

// Writes the open table into `fileName`. The file is written under a
// temporary name in the same directory, synced and then renamed over the
// target, so a failed save leaves any previous file as it was. Throws
// DatabaseError: "Cannot perform this operation on a closed dataset",
// "Cannot create file "<path>". <reason>", "Stream write error", or a
// failure of settling a pending edit. Filtering and notifications are
// restored whatever happens.
void saveToFile(PointTable& table, const QString& fileName, const BaseFileFormat& format);

// Reads `fileName` into the table, replacing its fields and records. A
// failure in the header leaves the table untouched; a later one leaves it
// open with the fields defined and the records read completely before it
// (closed and without fields when the first definition failed). Never trusts
// a length or count beyond the end of the file.
void loadFromFile(PointTable& table, const QString& fileName, const BaseFileFormat& format);

} // namespace kelvora
