#include "settingsfile.h"

namespace kelvora {

// Placeholder until the settings file is built: every read gives its
// fallback and writes keep nothing.
SettingsFile::SettingsFile(QString fileName) : fileName_(std::move(fileName)) {}

QString SettingsFile::readString(const QString&, const QString&, const QString& fallback) const
{
    return fallback;
}

int SettingsFile::readInteger(const QString&, const QString&, int fallback) const
{
    return fallback;
}

bool SettingsFile::readBool(const QString&, const QString&, bool fallback) const
{
    return fallback;
}

void SettingsFile::writeString(const QString&, const QString&, const QString&) {}
void SettingsFile::writeInteger(const QString&, const QString&, int) {}
void SettingsFile::writeBool(const QString&, const QString&, bool) {}

} // namespace kelvora
