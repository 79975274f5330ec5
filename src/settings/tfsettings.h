#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <vector>

class QAbstractButton;
class QAbstractSlider;
class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace kelvora {

class DirectoryEdit;
class SettingsFile;

// The main window's controls that the settings window restores and stores.
struct MainWindowControls
{
    // MAPSPD001, MAPSPD008, MAPSPD016, MAPSPD064, MAPSPD128: one toggle
    // group that always keeps one button down. A restored key only ever puts
    // a button down (setChecked(true)), so the main window keeps its scroll
    // increment in step by reacting to the buttons' toggled signal.
    std::array<QAbstractButton*, 5> speedButtons{};
    QAbstractButton* searchMode = nullptr; // MAPSEARCH
    QAbstractButton* addMode = nullptr;    // MAPSEARCHEDIT
    // TrackBar1: the restored value is kept within 0 to 100; its
    // valueChanged handler runs on a change.
    QAbstractSlider* radius = nullptr;
    // Panel1. Its width is set by the optional setPanelWidth when given;
    // otherwise, inside a QSplitter, through QSplitter::setSizes (the other
    // children share the rest, so the layout honours it), elsewhere by
    // resize(). It is read by the optional panelWidth, else by width().
    QWidget* panel = nullptr;
    std::function<void(int)> setPanelWidth;
    std::function<int()> panelWidth;
};

// The settings window "Настройки". Creating it reads the settings file into
// its own controls and into the main window's (FormCreate); "Сохранить"
// writes every key (FSOkClick). The catalog's default is the directory
// "bases" beside the settings file, which lives in the executable's
// directory. The controls hold the settings in force and are reached by the
// accessors below or by their object names.
class TFsettings : public QDialog
{
    Q_OBJECT

public:
    TFsettings(SettingsFile& settingsFile, const MainWindowControls& main,
               QWidget* parent = nullptr);
    ~TFsettings() override;

    QGroupBox* GroupBox1() const { return groupBox1_; }
    QRadioButton* BASEPATHISPICT() const { return basePathIsPict_; }
    QRadioButton* BASEPATHSPECIAL() const { return basePathSpecial_; }
    DirectoryEdit* DirectoryEdit1() const { return directoryEdit1_; }
    QCheckBox* BASEOPENWITHIMG() const { return baseOpenWithImg_; }
    QGroupBox* GroupBox2() const { return groupBox2_; }
    QCheckBox* MAPREFRESH() const { return mapRefresh_; }
    QGroupBox* GroupBox3() const { return groupBox3_; }
    QCheckBox* IMPNOQUESTION() const { return impNoQuestion_; }
    QCheckBox* IMPDIFFPOINT() const { return impDiffPoint_; }
    QGroupBox* IMPNAMES() const { return impNames_; }
    QRadioButton* IMPNAMES_REPLACE() const { return impNamesReplace_; }
    QRadioButton* IMPNAMES_ADD() const { return impNamesAdd_; }
    QRadioButton* IMPNAMES_NEXT() const { return impNamesNext_; }
    QPushButton* FSOk() const { return fsOk_; }
    QPushButton* FSCansel() const { return fsCansel_; }

    // IMPNAMES is shown exactly when IMPDIFFPOINT is not checked.
    void IMPDIFFPOINTClick();
    // Writes all seventeen keys from the controls as they stand; throws
    // Failure at the first key that cannot be written.
    void FSOkClick();

private:
    struct Key;

    void buildControls();
    void buildKeys();
    void FormCreate();
    void FSOkPressed();
    int panelWidth() const;
    void setPanelWidth(int width);

    SettingsFile& settingsFile_;
    MainWindowControls main_;
    std::vector<Key> keys_;

    QGroupBox* groupBox1_ = nullptr;
    QRadioButton* basePathIsPict_ = nullptr;
    QRadioButton* basePathSpecial_ = nullptr;
    DirectoryEdit* directoryEdit1_ = nullptr;
    QCheckBox* baseOpenWithImg_ = nullptr;
    QGroupBox* groupBox2_ = nullptr;
    QCheckBox* mapRefresh_ = nullptr;
    QGroupBox* groupBox3_ = nullptr;
    QCheckBox* impNoQuestion_ = nullptr;
    QCheckBox* impDiffPoint_ = nullptr;
    QGroupBox* impNames_ = nullptr;
    QRadioButton* impNamesReplace_ = nullptr;
    QRadioButton* impNamesAdd_ = nullptr;
    QRadioButton* impNamesNext_ = nullptr;
    QPushButton* fsOk_ = nullptr;
    QPushButton* fsCansel_ = nullptr;
};

} // namespace kelvora
