#pragma once

#include <QString>
#include <optional>

namespace kelvora {

// "settings.ini" beside the executable, read and written with profile
// semantics: no cache (every read looks at the file on disk, every write
// rewrites it at once), section and key names without regard to case.
//
// The file is UTF-8 text; a line that is not valid UTF-8 is read as
// Windows-1251, so that a file edited on an 8-bit desktop still reads.
// Lines are "[section]" headers and "key=value" pairs; names and values are
// trimmed; a line starting with ";" is a comment. Every other line, and every
// section and key this program does not know, is kept untouched on rewrite.
// Duplicate sections or keys: the first one counts, for reads and writes.
class SettingsFile
{
public:
    explicit SettingsFile(QString fileName);

    const QString& fileName() const { return fileName_; }

    // The value of the key, at most 2047 characters; the fallback when the
    // file, the section or the key is missing.
    QString readString(const QString& section, const QString& key, const QString& fallback) const;
    // Decimal, or hexadecimal after "$" or after "0x"/"0X" (with at least one
    // digit), with an optional sign; anything else, or a value outside the
    // 32-bit range, gives the fallback.
    int readInteger(const QString& section, const QString& key, int fallback) const;
    // Read as an integer with the fallback 1 or 0; any non-zero value is true.
    bool readBool(const QString& section, const QString& key, bool fallback) const;

    // Each write updates the file at once and replaces it atomically (a
    // temporary file in the same directory, synced, then renamed over it).
    // A missing file is created; a new section goes at the end of the file, a
    // new key after the last line of its section. Failures throw Failure
    // with "Unable to write to <full path>"; earlier writes stay.
    // Strings are written unchanged up to their first line break, which a
    // line-based file cannot hold.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    // The integer a stored value stands for, or nothing when it is not one.
    static std::optional<int> parseInteger(const QString& text);

private:
    std::optional<QString> lookup(const QString& section, const QString& key) const;
    [[noreturn]] void failWrite() const;

    QString fileName_;
};

} // namespace kelvora
