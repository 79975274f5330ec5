#include "tfsettings.h"

#include "settingsfile.h"

namespace kelvora {

// Placeholder until the settings window is built.
TFsettings::TFsettings(SettingsFile& settingsFile, const MainWindowControls& main, QWidget* parent)
    : QDialog(parent), settingsFile_(settingsFile), main_(main)
{
    setObjectName(QStringLiteral("Fsettings"));
    setWindowTitle(QStringLiteral("Настройки"));
}

} // namespace kelvora
