#pragma once

#include "basecommands.h"
#include "mapimage.h"
#include "datasource.h"
#include "dbmemo.h"
#include "pointgrid.h"
#include "pointtable.h"
#include "prompts.h"
#include "targetmarker.h"
#include "tfsettings.h"

#include <QMainWindow>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QCloseEvent;
class QDialog;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSlider;
class QTableView;
class QToolBar;
class QToolButton;

namespace kelvora {

class Anchors;
class IntegerSpin;
class SettingsFile;
class SideBandMenu;
class SplitterBar;

// The main window "Kelvora": the tool bar, the map area, the panel with the
// point list, the hot keys and the grid's popup commands. It owns the open
// base (PointTable), the import source (IMPBase) and the settings file.
class TFmain : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int restoredWidth = 790;
    static constexpr int restoredHeight = 570;
    static constexpr int panelWidth = 310;

    // Creating the window runs FormCreate: maximised, ExeDir worked out and
    // the settings file created on ExeDir + "settings.ini".
    explicit TFmain(QWidget* parent = nullptr);
    ~TFmain() override;

    // The executable's directory, ending in "/".
    const QString& exeDir() const { return exeDir_; }
    SettingsFile& settingsFile() { return *settingsFile_; }
    PointTable& pointTable() { return pointTable_; }
    PointTable& impBase() { return impBase_; }
    // The base file commands' state: the base file's path, the format object
    // and the open-base dialog the import shares.
    BaseCommands& baseCommands() { return baseCommands_; }
    // The data link of the grid, the description memo and the edit window.
    DataSource& dataSource1() { return dataSource1_; }
    // The controls the settings window restores and stores.
    MainWindowControls settingsControls() const;

    // Every modal window of the program is shown through here.
    virtual void showModal(QDialog& dialog);

    // Hot keys; the key press is not consumed.
    void FormKeyDown(int key, Qt::KeyboardModifiers modifiers);

    // Tool bar commands.
    void ToolButton1Click();      // open a picture
    void ToolButton2Click();      // zoom 50 %
    void ToolButton4Click();      // zoom 75 %
    void ToolButton3Click();      // zoom 100 %
    void ToolButton5Click();      // fit to the window
    void MAPSEARCHREFRESHClick(); // clear every filter
    void MAPSPDClick(QAbstractButton* button);
    void ToolButton12Click(); // import a base
    void ToolButton14Click(); // open a base
    void ToolButton6Click();  // save the base
    void ToolButton10Click(); // save the base as
    void ToolButton7Click();  // the settings window
    void ToolButton16Click(); // the about and help window

    // Panel commands.
    void Button1Click();
    void TrackBar1Change();
    void GoToPoint(int x, int y);

    // The point list: a title click sorts by its column (descending when its
    // marker is down, before the marker advances); a double click goes to
    // the current point.
    void DBMAPTitleBtnClick(int column);
    void DBMAPDblClick(int x, int y);

    // The grid's popup commands: add, delete and edit a point.
    void N1Click();
    void N2Click();
    void N3Click();

    // One panning step of the map area by the scroll increment.
    void scrollStepLeft();
    void scrollStepRight();
    void scrollStepUp();
    void scrollStepDown();

    // The map: presses, releases and double clicks in view pixels of IMGMAP.
    void IMGMAPMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void IMGMAPMouseUp(Qt::MouseButton button, int x, int y);
    // Runs before the second press of the pair is handled.
    void IMGMAPDblClick();
    void TARGETFrameChanged();
    // Sets one axis's scroll position, clamped to 0 .. its maximum.
    void setScrollPosition(Qt::Orientation axis, int position);

    // The map's state.
    Prompts::FileRequest OpenPicture;
    int DragStartX = 0;
    int DragStartY = 0;
    bool MapDblClicked = false;
    int BlinkCount = 0;

    // The controls, by their names.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QToolButton* ToolButton4 = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* ToolButton5 = nullptr;
    QToolButton* MAPSEARCHREFRESH = nullptr;
    QToolButton* MAPSEARCH = nullptr;
    QToolButton* MAPSEARCHEDIT = nullptr;
    QToolButton* MAPSPD001 = nullptr;
    QToolButton* MAPSPD008 = nullptr;
    QToolButton* MAPSPD016 = nullptr;
    QToolButton* MAPSPD064 = nullptr;
    QToolButton* MAPSPD128 = nullptr;
    QToolButton* ToolButton12 = nullptr;
    QToolButton* ToolButton14 = nullptr;
    QToolButton* ToolButton6 = nullptr;
    QToolButton* ToolButton10 = nullptr;
    QToolButton* ToolButton7 = nullptr;
    QToolButton* ToolButton16 = nullptr;
    QButtonGroup* zoomGroup = nullptr;
    QButtonGroup* modeGroup = nullptr;
    QButtonGroup* speedGroup = nullptr;

    QScrollArea* ScrollBox1 = nullptr;
    QWidget* mapContent = nullptr; // the scrolled content holding the picture
    MapImage* IMGMAP = nullptr;
    TargetMarker* TARGET = nullptr;
    SplitterBar* Splitter1 = nullptr;
    QWidget* Panel1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    IntegerSpin* SPINX = nullptr;
    IntegerSpin* SPINY = nullptr;
    QPushButton* Button1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label1 = nullptr;
    QSlider* TrackBar1 = nullptr;
    QLabel* Label4 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    PointGrid* DBMAP = nullptr;
    DBMemo* DBMemo1 = nullptr;
    SideBandMenu* GridBar = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Asks about unsaved changes first; Cancel or a failed save keeps the window.
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void buildToolBar();
    void buildMapArea();
    void buildPanel();
    void buildGridBar();
    void layoutCentre();
    void dragSplitter(int dx);
    void setViewSize(QSize size);
    void stopMarker();
    bool mapRefreshChecked() const;
    QToolButton* addToolButton(const QString& name, const QString& hint, const QString& icon);
    void addSeparator(int width);

    QString exeDir_;
    std::unique_ptr<SettingsFile> settingsFile_;
    PointTable pointTable_;
    PointTable impBase_;
    BaseCommands baseCommands_{pointTable_};
    DataSource dataSource1_;
    QWidget* centre_ = nullptr;
    bool layingOut_ = false;
};

} // namespace kelvora
