#pragma once

#include <QDialog>

#include <array>

class QAbstractButton;
class QAbstractSlider;

namespace kelvora {

class SettingsFile;

// The main window's controls that the settings window restores and stores.
struct MainWindowControls
{
    // MAPSPD001, MAPSPD008, MAPSPD016, MAPSPD064, MAPSPD128.
    std::array<QAbstractButton*, 5> speedButtons{};
    QAbstractButton* searchMode = nullptr; // MAPSEARCH
    QAbstractButton* addMode = nullptr;    // MAPSEARCHEDIT
    QAbstractSlider* radius = nullptr;     // TrackBar1
    QWidget* panel = nullptr;              // Panel1
};

// The settings window "Настройки". Creating it reads the settings file into
// its own controls and into the main window's.
class TFsettings : public QDialog
{
    Q_OBJECT

public:
    TFsettings(SettingsFile& settingsFile, const MainWindowControls& main,
               QWidget* parent = nullptr);

private:
    SettingsFile& settingsFile_;
    MainWindowControls main_;
};

} // namespace kelvora
