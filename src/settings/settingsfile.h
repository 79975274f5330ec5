#pragma once

#include <QString>

namespace kelvora {

// "settings.ini" beside the executable, read and written with profile
// semantics: no cache, section and key names without regard to case.
class SettingsFile
{
public:
    explicit SettingsFile(QString fileName);

    const QString& fileName() const { return fileName_; }

    QString readString(const QString& section, const QString& key, const QString& fallback) const;
    int readInteger(const QString& section, const QString& key, int fallback) const;
    bool readBool(const QString& section, const QString& key, bool fallback) const;

    // Each write updates the file at once; failures throw with
    // "Unable to write to %s".
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

private:
    QString fileName_;
};

} // namespace kelvora
