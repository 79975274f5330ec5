#include "tfmain.h"

#include "anchors.h"
#include "baseimport.h"
#include "dbmemo.h"
#include "directoryedit.h"
#include "forms.h"
#include "guard.h"
#include "icons.h"
#include "importquestions.h"
#include "integerspin.h"
#include "mapgeometry.h"
#include "mapimage.h"
#include "pointgrid.h"
#include "pointlistmodel.h"
#include "prompts.h"
#include "settingsfile.h"
#include "sidebandmenu.h"
#include "splitterbar.h"
#include "targetmarker.h"
#include "tfabout.h"
#include "tfedit.h"
#include "tfsettings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

namespace kelvora {
namespace {

const QString closedBaseText = QStringLiteral("База Закрыта");
const QString deleteQuestionText = QStringLiteral("Уверены, что хотите удалить?");
const QString radiusCaption = QStringLiteral("Радиус поиска, пикс: ");
const QString searchFailedText = QStringLiteral("Поиск не удаля!");

constexpr int toolBarHeight = 42;
constexpr int buttonWidth = 39;
constexpr int buttonHeight = 38;
constexpr int buttonIconSize = 32;
constexpr int menuIconSize = 16;
constexpr int startIncrement = 16;
// The panel's size at the window's restored size; its children are laid
// out for it.
constexpr QSize panelDesign(TFmain::panelWidth, 494);
constexpr QSize groupDesign(294, 65);
// Neither side of the splitter is dragged narrower than this.
constexpr int minimumSide = 30;

QString speedHint(const QString& speed)
{
    return QStringLiteral("Скорость перемещения:\n") + speed;
}

} // namespace

TFmain::TFmain(QWidget* parent)
    : QMainWindow(parent), pointTable_(QStringLiteral("PointTable")),
      impBase_(QStringLiteral("IMPBase"))
{
    setObjectName(QStringLiteral("Fmain"));
    setWindowTitle(QStringLiteral("Kelvora"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);

    buildToolBar();
    centre_ = new QWidget(this);
    centre_->setObjectName(QStringLiteral("centre"));
    setCentralWidget(centre_);
    buildMapArea();
    buildPanel();
    buildGridBar();
    centre_->installEventFilter(this);
    Panel1->installEventFilter(this);

    resize(restoredWidth, restoredHeight);
    if (const QScreen* desktop = screen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(desktop->availableGeometry().center());
        move(frame.topLeft());
    }
    layoutCentre();

    // Every key reaches this window before the focused control.
    qApp->installEventFilter(this);
    FormCreate();
}

TFmain::~TFmain()
{
    // The grid and the memo are deleted after the tables: unbind them first.
    dataSource1_.detach();
}

void TFmain::FormCreate()
{
    setWindowState(windowState() | Qt::WindowMaximized);
    exeDir_ = QCoreApplication::applicationDirPath();
    if (!exeDir_.endsWith(QLatin1Char('/')))
        exeDir_ += QLatin1Char('/');
    settingsFile_ = std::make_unique<SettingsFile>(exeDir_ + QStringLiteral("settings.ini"));
}

MainWindowControls TFmain::settingsControls() const
{
    MainWindowControls controls;
    controls.speedButtons = {MAPSPD001, MAPSPD008, MAPSPD016, MAPSPD064, MAPSPD128};
    controls.searchMode = MAPSEARCH;
    controls.addMode = MAPSEARCHEDIT;
    controls.radius = TrackBar1;
    controls.panel = Panel1;
    return controls;
}

// Layout ---------------------------------------------------------------

QToolButton* TFmain::addToolButton(const QString& name, const QString& hint, const QString& icon)
{
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIcon(kelvoraIcon(icon, buttonIconSize));
    button->setIconSize(QSize(buttonIconSize, buttonIconSize));
    button->setFixedSize(buttonWidth, buttonHeight);
    button->setAutoRaise(true);
    ToolBar1->addWidget(button);
    return button;
}

void TFmain::addSeparator(int width)
{
    auto* line = new QFrame(ToolBar1);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedSize(width, buttonHeight);
    ToolBar1->addWidget(line);
}

void TFmain::buildToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(toolBarHeight);
    ToolBar1->setIconSize(QSize(buttonIconSize, buttonIconSize));
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->layout()->setSpacing(0);
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    ToolButton1 =
        addToolButton(QStringLiteral("ToolButton1"), QStringLiteral("Открыть изображение"),
                      QStringLiteral("open_picture"));
    addSeparator(5);
    ToolButton2 = addToolButton(QStringLiteral("ToolButton2"), QStringLiteral("Масштаб 50%"),
                                QStringLiteral("zoom50"));
    ToolButton4 = addToolButton(QStringLiteral("ToolButton4"), QStringLiteral("Масштаб 75%"),
                                QStringLiteral("zoom75"));
    ToolButton3 = addToolButton(QStringLiteral("ToolButton3"), QStringLiteral("Масштаб 100%"),
                                QStringLiteral("zoom100"));
    ToolButton5 = addToolButton(QStringLiteral("ToolButton5"),
                                QStringLiteral("Изображение целиком"), QStringLiteral("zoom_fit"));
    addSeparator(5);
    MAPSEARCHREFRESH =
        addToolButton(QStringLiteral("MAPSEARCHREFRESH"), QStringLiteral("Отменить фсе фильтры"),
                      QStringLiteral("clear_filters"));
    MAPSEARCH =
        addToolButton(QStringLiteral("MAPSEARCH"), QStringLiteral("Режим поиска (Фильтрация)"),
                      QStringLiteral("search_mode"));
    MAPSEARCHEDIT =
        addToolButton(QStringLiteral("MAPSEARCHEDIT"), QStringLiteral("Режим добавления точек"),
                      QStringLiteral("add_mode"));
    addSeparator(5);
    MAPSPD001 =
        addToolButton(QStringLiteral("MAPSPD001"), speedHint(QStringLiteral("Очень медленно")),
                      QStringLiteral("speed001"));
    MAPSPD008 = addToolButton(QStringLiteral("MAPSPD008"), speedHint(QStringLiteral("Медленно")),
                              QStringLiteral("speed008"));
    MAPSPD016 = addToolButton(QStringLiteral("MAPSPD016"), speedHint(QStringLiteral("Нормально")),
                              QStringLiteral("speed016"));
    MAPSPD064 = addToolButton(QStringLiteral("MAPSPD064"), speedHint(QStringLiteral("Быстро")),
                              QStringLiteral("speed064"));
    MAPSPD128 =
        addToolButton(QStringLiteral("MAPSPD128"), speedHint(QStringLiteral("Очень быстро")),
                      QStringLiteral("speed128"));
    addSeparator(5);
    ToolButton12 = addToolButton(QStringLiteral("ToolButton12"), QStringLiteral("Импорт базы"),
                                 QStringLiteral("import_base"));
    ToolButton14 = addToolButton(QStringLiteral("ToolButton14"), QStringLiteral("Открыть базу"),
                                 QStringLiteral("open_base"));
    addSeparator(5);
    ToolButton6 = addToolButton(QStringLiteral("ToolButton6"), QStringLiteral("Сохранить базу"),
                                QStringLiteral("save_base"));
    ToolButton10 =
        addToolButton(QStringLiteral("ToolButton10"), QStringLiteral("Сохранить базу как ..."),
                      QStringLiteral("save_base_as"));
    addSeparator(11);
    ToolButton7 = addToolButton(QStringLiteral("ToolButton7"), QStringLiteral("Настройки"),
                                QStringLiteral("settings"));
    ToolButton16 = addToolButton(QStringLiteral("ToolButton16"),
                                 QStringLiteral("О программе + Помощь"), QStringLiteral("about"));

    // Toggle groups: exactly one button down in each; pressing the one
    // that is down leaves it down.
    const auto makeGroup = [this](const QString& name, std::initializer_list<QToolButton*> buttons,
                                  QToolButton* down) {
        auto* group = new QButtonGroup(this);
        group->setObjectName(name);
        group->setExclusive(true);
        for (QToolButton* button : buttons) {
            button->setCheckable(true);
            group->addButton(button);
        }
        down->setChecked(true);
        return group;
    };
    zoomGroup = makeGroup(QStringLiteral("zoomGroup"),
                          {ToolButton2, ToolButton4, ToolButton3, ToolButton5}, ToolButton3);
    modeGroup = makeGroup(QStringLiteral("modeGroup"), {MAPSEARCH, MAPSEARCHEDIT}, MAPSEARCH);
    speedGroup = makeGroup(QStringLiteral("speedGroup"),
                           {MAPSPD001, MAPSPD008, MAPSPD016, MAPSPD064, MAPSPD128}, MAPSPD016);

    const auto onClick = [this](QToolButton* button, void (TFmain::*command)()) {
        connect(button, &QToolButton::clicked, this,
                [this, command] { guarded([&] { (this->*command)(); }); });
    };
    onClick(ToolButton1, &TFmain::ToolButton1Click);
    onClick(ToolButton2, &TFmain::ToolButton2Click);
    onClick(ToolButton4, &TFmain::ToolButton4Click);
    onClick(ToolButton3, &TFmain::ToolButton3Click);
    onClick(ToolButton5, &TFmain::ToolButton5Click);
    onClick(MAPSEARCHREFRESH, &TFmain::MAPSEARCHREFRESHClick);
    onClick(ToolButton12, &TFmain::ToolButton12Click);
    onClick(ToolButton14, &TFmain::ToolButton14Click);
    onClick(ToolButton6, &TFmain::ToolButton6Click);
    onClick(ToolButton10, &TFmain::ToolButton10Click);
    onClick(ToolButton7, &TFmain::ToolButton7Click);
    onClick(ToolButton16, &TFmain::ToolButton16Click);
    // Whichever way a speed button goes down, the increment follows it.
    for (QToolButton* button : {MAPSPD001, MAPSPD008, MAPSPD016, MAPSPD064, MAPSPD128})
        connect(button, &QToolButton::toggled, this, [this, button](bool down) {
            if (down)
                guarded([&] { MAPSPDClick(button); });
        });
}

void TFmain::buildMapArea()
{
    ScrollBox1 = new QScrollArea(centre_);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFrameShape(QFrame::Panel);
    ScrollBox1->setFrameShadow(QFrame::Sunken);
    ScrollBox1->setLineWidth(2);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBox1->horizontalScrollBar()->setSingleStep(startIncrement);
    ScrollBox1->verticalScrollBar()->setSingleStep(startIncrement);

    mapContent = new QWidget;
    mapContent->setObjectName(QStringLiteral("mapContent"));
    IMGMAP = new MapImage(mapContent);
    IMGMAP->setObjectName(QStringLiteral("IMGMAP"));
    IMGMAP->setGeometry(0, 0, 652, 560);
    TARGET = new TargetMarker(mapContent);
    TARGET->setObjectName(QStringLiteral("TARGET"));
    TARGET->raise();
    connect(IMGMAP, &MapImage::pressed, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint at) {
                guarded([&] { IMGMAPMouseDown(button, shift, at.x(), at.y()); });
            });
    connect(IMGMAP, &MapImage::released, this, [this](Qt::MouseButton button, QPoint at) {
        guarded([&] { IMGMAPMouseUp(button, at.x(), at.y()); });
    });
    connect(IMGMAP, &MapImage::doubleClicked, this, [this] { guarded([&] { IMGMAPDblClick(); }); });
    connect(TARGET, &TargetMarker::frameChanged, this,
            [this] { guarded([&] { TARGETFrameChanged(); }); });
    OpenPicture.filter = openPictureFilter();
    mapContent->resize(IMGMAP->size());
    ScrollBox1->setWidget(mapContent);

    Splitter1 = new SplitterBar(centre_);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    connect(Splitter1, &SplitterBar::dragged, this, &TFmain::dragSplitter);
}

void TFmain::buildPanel()
{
    Panel1 = new QWidget(centre_);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->resize(panelDesign);
    auto* panel = new Anchors(Panel1, panelDesign);
    constexpr Qt::Edges topLeft = Qt::TopEdge | Qt::LeftEdge;
    constexpr Qt::Edges topRight = Qt::TopEdge | Qt::RightEdge;
    constexpr Qt::Edges topStretch = Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge;
    constexpr Qt::Edges all = Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge;

    const auto label = [](QWidget* parent, const QString& name, const QString& text) {
        auto* result = new QLabel(text, parent);
        result->setObjectName(name);
        return result;
    };
    Label2 = label(Panel1, QStringLiteral("Label2"), QStringLiteral("Размер карты"));
    panel->add(Label2, QRect(QPoint(8, 11), Label2->sizeHint()), topLeft);
    Label3 = label(Panel1, QStringLiteral("Label3"), QString());
    panel->add(Label3, QRect(8, 24, 120, 16), topLeft);

    SPINX = new IntegerSpin(Panel1);
    SPINX->setObjectName(QStringLiteral("SPINX"));
    panel->add(SPINX, QRect(133, 16, 57, 22), topRight);
    SPINY = new IntegerSpin(Panel1);
    SPINY->setObjectName(QStringLiteral("SPINY"));
    panel->add(SPINY, QRect(197, 16, 57, 22), topRight);
    Button1 = new QPushButton(QStringLiteral("Find"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    panel->add(Button1, QRect(261, 14, 41, 25), topRight);
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([&] { Button1Click(); }); });

    GroupBox2 = new QGroupBox(QStringLiteral("Действия мышью"), Panel1);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    // The caption sits on the frame's top line, so that the children's
    // places count from the box's top edge.
    GroupBox2->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; top: -1px; padding: 0 2px; }"));
    panel->add(GroupBox2, QRect(QPoint(8, 48), groupDesign), topStretch);
    auto* group = new Anchors(GroupBox2, groupDesign);
    Label1 = label(GroupBox2, QStringLiteral("Label1"), radiusCaption + QStringLiteral("10"));
    // Wide enough for the longest radius; it may run under the track bar.
    const QSize label1Size =
        Label1->fontMetrics().size(0, radiusCaption + QStringLiteral("100")) + QSize(2, 2);
    group->add(Label1, QRect(QPoint(8, 16), label1Size), topLeft);
    TrackBar1 = new QSlider(Qt::Horizontal, GroupBox2);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(0, 100);
    TrackBar1->setTickInterval(10);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setValue(10);
    // Until the first change the tooltip shows a fixed "5".
    TrackBar1->setToolTip(QStringLiteral("5"));
    group->add(TrackBar1, QRect(144, 8, 146, 33), topStretch);
    connect(TrackBar1, &QSlider::valueChanged, this,
            [this] { guarded([&] { TrackBar1Change(); }); });
    Label1->raise(); // the caption stays readable where it runs under the track bar
    Label4 = label(GroupBox2, QStringLiteral("Label4"), QString());
    group->add(Label4, QRect(8, 40, 94, 16), topLeft);
    ProgressBar1 = new QProgressBar(GroupBox2);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    group->add(ProgressBar1, QRect(104, 40, 177, 17), topStretch);
    ProgressBar1->hide();

    // The point list and the description memo, bound through DataSource1.
    dataSource1_.attach(pointTable_);
    DBMAP = new PointGrid(dataSource1_, Panel1);
    DBMAP->setObjectName(QStringLiteral("DBMAP"));
    DBMAP->onDeleteKey = [this] {
        N2Click();
    };
    DBMAP->onTitleClick = [this](int column) {
        DBMAPTitleBtnClick(column);
    };
    DBMAP->onDoubleClick = [this](int x, int y) {
        DBMAPDblClick(x, y);
    };
    panel->add(DBMAP, QRect(1, 120, 305, 305), all);
    DBMemo1 = new DBMemo(dataSource1_, QStringLiteral("DESC"), Panel1);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    panel->add(DBMemo1, QRect(0, panelDesign.height() - 65, panelDesign.width(), 65),
               Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
}

void TFmain::buildGridBar()
{
    GridBar = new SideBandMenu(QStringLiteral("Редактор"), this);
    GridBar->setObjectName(QStringLiteral("GridBar"));
    const auto item = [this](const QString& name, const QString& text, const QString& icon,
                             void (TFmain::*command)()) {
        QAction* action = GridBar->addAction(kelvoraIcon(icon, menuIconSize), text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this,
                [this, command] { guarded([&] { (this->*command)(); }); });
    };
    item(QStringLiteral("N1"), QStringLiteral("Добавить точку"), QStringLiteral("point_add"),
         &TFmain::N1Click);
    GridBar->addSeparator();
    item(QStringLiteral("N3"), QStringLiteral("Редактировать точку"), QStringLiteral("point_edit"),
         &TFmain::N3Click);
    GridBar->addSeparator();
    item(QStringLiteral("N2"), QStringLiteral("Удалить точку"), QStringLiteral("point_delete"),
         &TFmain::N2Click);

    DBMAP->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBMAP, &QTableView::customContextMenuRequested, this, [this](const QPoint& at) {
        guarded([&] { GridBar->popup(DBMAP->viewport()->mapToGlobal(at)); });
    });
}

// The map area takes what the panel and the splitter leave.
void TFmain::layoutCentre()
{
    if (layingOut_)
        return;
    layingOut_ = true;
    const int width = centre_->width();
    const int height = centre_->height();
    // The panel keeps its width even when the window is too narrow for it.
    const int panel = Panel1->width();
    ScrollBox1->setGeometry(0, 0, std::max(0, width - panel - 1), height);
    Splitter1->setGeometry(width - panel - 1, 0, 1, height);
    Panel1->setGeometry(width - panel, 0, panel, height);
    layingOut_ = false;
}

void TFmain::dragSplitter(int dx)
{
    const int most = std::max(minimumSide, centre_->width() - 1 - minimumSide);
    const int width = std::clamp(Panel1->width() - dx, minimumSide, most);
    Panel1->resize(width, Panel1->height());
    layoutCentre();
}

bool TFmain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && (watched == centre_ || watched == Panel1)) {
        guarded([&] { layoutCentre(); });
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        // A key press travels from the focused control up to the window;
        // only its first stop, the control it was meant for, is seen here.
        QWidget* first = focusWidget() ? focusWidget() : this;
        if (watched == first) {
            const auto* key = static_cast<QKeyEvent*>(event);
            guarded([&] { FormKeyDown(key->key(), key->modifiers()); });
        }
    }
    return false;
}

void TFmain::showModal(QDialog& dialog)
{
    dialog.exec();
}

// Hot keys -------------------------------------------------------------

void TFmain::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    // The function keys ignore the modifiers.
    if (key == Qt::Key_F1)
        ToolButton16Click();
    if (key == Qt::Key_F3)
        MAPSEARCH->setChecked(true);
    if (key == Qt::Key_F4)
        MAPSEARCHEDIT->setChecked(true);
    if (key == Qt::Key_F5)
        MAPSEARCHREFRESHClick();
    if (key == Qt::Key_F6 && pointTable_.isOpen()) {
        pointTable_.edit();
        showModal(*Fedit);
    }
    if (key == Qt::Key_F7 && pointTable_.isOpen())
        GoToPoint(pointTable_.fieldByName(u"X").asInteger(),
                  pointTable_.fieldByName(u"Y").asInteger());
    if (key == Qt::Key_F8)
        N2Click();
    if (key == Qt::Key_F10)
        ToolButton7Click();

    // Panning: the keypad digits with Ctrl alone and no mouse button held.
    if (!modifiers.testFlag(Qt::KeypadModifier) ||
        (modifiers & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) != Qt::ControlModifier ||
        QGuiApplication::mouseButtons() != Qt::NoButton)
        return;
    switch (key) {
    case Qt::Key_4:
        scrollStepLeft();
        break;
    case Qt::Key_6:
        scrollStepRight();
        break;
    case Qt::Key_8:
        scrollStepUp();
        break;
    case Qt::Key_2:
        scrollStepDown();
        break;
    case Qt::Key_7:
        scrollStepUp();
        scrollStepLeft();
        break;
    case Qt::Key_1:
        scrollStepDown();
        scrollStepLeft();
        break;
    case Qt::Key_9:
        scrollStepUp();
        scrollStepRight();
        break;
    case Qt::Key_3:
        scrollStepDown();
        scrollStepRight();
        break;
    default:
        break;
    }
}

void TFmain::scrollStepLeft()
{
    QScrollBar* bar = ScrollBox1->horizontalScrollBar();
    bar->setValue(bar->value() - bar->singleStep());
}

void TFmain::scrollStepRight()
{
    QScrollBar* bar = ScrollBox1->horizontalScrollBar();
    bar->setValue(bar->value() + bar->singleStep());
}

void TFmain::scrollStepUp()
{
    QScrollBar* bar = ScrollBox1->verticalScrollBar();
    bar->setValue(bar->value() - bar->singleStep());
}

void TFmain::scrollStepDown()
{
    QScrollBar* bar = ScrollBox1->verticalScrollBar();
    bar->setValue(bar->value() + bar->singleStep());
}

// Commands -------------------------------------------------------------

// The map ---------------------------------------------------------------

bool TFmain::mapRefreshChecked() const
{
    return Fsettings && Fsettings->MAPREFRESH()->isChecked();
}

void TFmain::setScrollPosition(Qt::Orientation axis, int position)
{
    QScrollBar* bar = axis == Qt::Horizontal ? ScrollBox1->horizontalScrollBar()
                                             : ScrollBox1->verticalScrollBar();
    bar->setValue(position); // the bar clamps to 0 .. its maximum
}

void TFmain::stopMarker()
{
    TARGET->stop();
    TARGET->hide();
}

// The displayed size; the scroll range follows it and the positions are
// clamped to the new maximum.
void TFmain::setViewSize(QSize size)
{
    IMGMAP->resize(size);
    mapContent->resize(size);
}

void TFmain::ToolButton1Click()
{
    const QString path = prompts().openFileName(OpenPicture);
    if (path.isEmpty())
        return;
    OpenPicture.fileName = path;
    // Unsaved points are saved or dropped only on the user's word; a failed
    // save goes to the error box and ends the command.
    if (!baseCommands_.settleUnsavedChanges())
        return;
    // Each step's failure ends the command without a message; what the
    // earlier steps did stays done.
    try {
        pointTable_.close();
        baseCommands_.modifiedState().clear();
        baseCommands_.setBaseFileName(QString());
        IMGMAP->setPicture(MapPicture::load(path));
        const QSize native = IMGMAP->pictureSize();
        Label3->setText(sizeLabel(native.width(), native.height()));
        ToolButton3->setChecked(true);
        ToolButton3Click();
        if (!Fsettings || !Fsettings->BASEOPENWITHIMG()->isChecked())
            return;
        const QString baseFile = sameNamedBasePath(path, Fsettings->BASEPATHISPICT()->isChecked(),
                                                   Fsettings->DirectoryEdit1()->text(), exeDir_);
        baseCommands_.setBaseFileName(baseFile);
        try {
            loadFromFile(pointTable_, baseFile, baseCommands_.format());
        } catch (const std::exception&) {
            // No base yet (or a bad one): an empty table to be saved there;
            // what a damaged file gave before its fault is kept.
            pointTable_.open();
        }
        baseCommands_.modifiedState().clear();
    } catch (const std::exception&) {
    }
}

void TFmain::ToolButton3Click()
{
    stopMarker();
    setViewSize(IMGMAP->pictureSize());
}

void TFmain::ToolButton2Click()
{
    stopMarker();
    setViewSize(zoomHalf(IMGMAP->pictureSize()));
}

void TFmain::ToolButton4Click()
{
    stopMarker();
    setViewSize(zoomThreeQuarters(IMGMAP->pictureSize()));
}

void TFmain::ToolButton5Click()
{
    stopMarker();
    const QSize client = ScrollBox1->viewport()->size();
    if (const std::optional<QSize> fitted =
            fitSize(IMGMAP->pictureSize(), client, ScrollBox1->size()))
        setViewSize(*fitted);
}

void TFmain::MAPSEARCHREFRESHClick()
{
    pointTable_.setFilter(QString());
    pointTable_.setFiltered(false);
}

void TFmain::GoToPoint(int x, int y)
{
    try {
        stopMarker();
        const QSize native = IMGMAP->pictureSize();
        const int vx = imageToView(x, native.width(), IMGMAP->width());
        const int vy = imageToView(y, native.height(), IMGMAP->height());
        const QSize client = ScrollBox1->viewport()->size();
        setScrollPosition(Qt::Horizontal, centredPosition(vx, client.width()));
        setScrollPosition(Qt::Vertical, centredPosition(vy, client.height()));
        const int posH = ScrollBox1->horizontalScrollBar()->value();
        const int posV = ScrollBox1->verticalScrollBar()->value();
        const int left = markerOffset({vx, client.width(), posH, IMGMAP->width()});
        const int top = markerOffset({vy, client.height(), posV, IMGMAP->height()});
        // The marker lives in the content, which the positions have moved.
        TARGET->move(left + posH, top + posV);
        if (mapRefreshChecked())
            ScrollBox1->repaint();
        BlinkCount = 0;
        TARGET->show();
        TARGET->raise();
        TARGET->start();
    } catch (const std::exception&) {
        prompts().message(searchFailedText);
    }
}

void TFmain::TARGETFrameChanged()
{
    ++BlinkCount;
    if (BlinkCount == 9) {
        TARGET->stop();
        TARGET->setFrame(0);
        TARGET->hide();
    }
}

void TFmain::IMGMAPMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y)
{
    const QSize native = IMGMAP->pictureSize();
    if (!MapDblClicked)
        Label4->setText(sizeLabel(viewToImage(x, native.width(), IMGMAP->width()),
                                  viewToImage(y, native.height(), IMGMAP->height())));
    if (button == Qt::LeftButton) {
        DragStartX = x;
        DragStartY = y;
        return;
    }
    if (button != Qt::RightButton)
        return;
    const int ix = viewToImage(x, native.width(), IMGMAP->width());
    const int iy = viewToImage(y, native.height(), IMGMAP->height());
    pointTable_.setFilter(proximityFilterText(ix, iy, TrackBar1->value()));
    pointTable_.setFiltered(true);
    if (!MAPSEARCHEDIT->isChecked())
        return;

    // Adding needs an open table, as the popup's add command does.
    if (!pointTable_.isOpen()) {
        prompts().message(closedBaseText);
        return;
    }
    Prompts::Question question;
    question.text = addPointQuestion(ix, iy);
    if (prompts().ask(question) == Prompts::Button::Yes) {
        pointTable_.append();
        pointTable_.fieldByName(u"X").setAsInteger(ix);
        pointTable_.fieldByName(u"Y").setAsInteger(iy);
        pointTable_.fieldByName(u"OBR").setAsBoolean(false);
        if (Fedit)
            showModal(*Fedit);
    }
    // A null field is looked for as null, so that a point left without a
    // name is found again.
    const auto value = [this](QStringView name, bool integer) -> QVariant {
        const Field field = pointTable_.fieldByName(name);
        if (field.isNull())
            return {};
        return integer ? QVariant(field.asInteger()) : QVariant(field.asString());
    };
    const QVariantList key{value(u"X", true), value(u"Y", true), value(u"NAME_EN", false),
                           value(u"NAME_RUS", false)};
    pointTable_.setFilter(QString());
    pointTable_.setFiltered(false);
    pointTable_.locate(QStringLiteral("X;Y;NAME_EN;NAME_RUS"), key);
}

void TFmain::IMGMAPMouseUp(Qt::MouseButton button, int x, int y)
{
    if (button == Qt::LeftButton && !MapDblClicked) {
        const int dx = x - DragStartX;
        const int dy = y - DragStartY;
        setScrollPosition(Qt::Horizontal, ScrollBox1->horizontalScrollBar()->value() - dx);
        setScrollPosition(Qt::Vertical, ScrollBox1->verticalScrollBar()->value() - dy);
    }
    MapDblClicked = false;
}

void TFmain::IMGMAPDblClick()
{
    if (ToolButton3->isChecked())
        return;
    MapDblClicked = true;
    const QSize native = IMGMAP->pictureSize();
    // The first press of the pair, at the zoom before it changes.
    const int x = scaleRounded(native.width(), DragStartX, IMGMAP->width());
    const int y = scaleRounded(native.height(), DragStartY, IMGMAP->height());
    ToolButton3Click();
    ToolButton3->setChecked(true);
    if (mapRefreshChecked())
        IMGMAP->repaint();
    GoToPoint(x, y);
}

// The base-file commands fill these in.
void TFmain::closeEvent(QCloseEvent* event)
{
    event->ignore();
    guarded([&] {
        if (baseCommands_.settleUnsavedChanges())
            event->accept();
    });
}

void TFmain::ToolButton14Click()
{
    baseCommands_.ToolButton14Click();
}

void TFmain::ToolButton6Click()
{
    baseCommands_.ToolButton6Click();
}

void TFmain::ToolButton10Click()
{
    baseCommands_.ToolButton10Click();
}

void TFmain::ToolButton12Click()
{
    guarded([&] {
        const QString path = baseCommands_.runOpenBaseDialog();
        if (path.isEmpty())
            return;
        Label4->setText(QStringLiteral("Импорт данных"));
        ProgressBar1->setValue(0);
        ProgressBar1->show();

        // The grid, the memo and the edit window are unbound for the merge,
        // and the table's notifications held so that it ends in one reset.
        bool detached = false;
        BaseImport::Hooks hooks;
        hooks.choices = [] {
            BaseImport::Choices choices;
            if (!Fsettings)
                return choices;
            choices.noQuestion = Fsettings->IMPNOQUESTION()->isChecked();
            choices.diffPoint = Fsettings->IMPDIFFPOINT()->isChecked();
            if (Fsettings->IMPNAMES_REPLACE()->isChecked())
                choices.names = BaseImport::NameRule::Replace;
            else if (Fsettings->IMPNAMES_ADD()->isChecked())
                choices.names = BaseImport::NameRule::Add;
            else if (Fsettings->IMPNAMES_NEXT()->isChecked())
                choices.names = BaseImport::NameRule::Next;
            return choices;
        };
        hooks.detach = [&] {
            dataSource1_.detach();
            pointTable_.holdNotifications();
            detached = true;
        };
        hooks.attach = [&] {
            if (detached) {
                pointTable_.releaseNotifications();
                dataSource1_.attach(pointTable_);
            }
            detached = false;
        };
        hooks.setMaximum = [this](int maximum) {
            ProgressBar1->setRange(0, maximum);
        };
        hooks.advance = [this] {
            ProgressBar1->setValue(ProgressBar1->value() + 1);
            return ProgressBar1->value();
        };
        hooks.repaint = [this] {
            ProgressBar1->repaint();
        };

        ImportQuestions questions;
        BaseImport import(pointTable_, impBase_, questions, std::move(hooks));
        // Merged records may arrive while notifications are held.
        ModifiedState& modified = baseCommands_.modifiedState();
        const std::uint64_t before = modified.fingerprint();
        const bool complete = import.run(path, baseCommands_.format());
        if (modified.fingerprint() != before)
            modified.markModified();
        ProgressBar1->hide();
        if (!complete)
            prompts().message(BaseImport::failedText);
    });
}

void TFmain::MAPSPDClick(QAbstractButton* button)
{
    // The increment is written in the button's name: MAPSPD064 is 64.
    const int increment = button->objectName().mid(6, 3).toInt();
    ScrollBox1->horizontalScrollBar()->setSingleStep(increment);
    ScrollBox1->verticalScrollBar()->setSingleStep(increment);
}

void TFmain::ToolButton7Click()
{
    if (Fsettings)
        showModal(*Fsettings);
}

void TFmain::ToolButton16Click()
{
    if (Fabout)
        showModal(*Fabout);
}

void TFmain::Button1Click()
{
    GoToPoint(SPINX->entry(), SPINY->entry());
}

void TFmain::TrackBar1Change()
{
    const QString radius = QString::number(TrackBar1->value());
    TrackBar1->setToolTip(radius);
    Label1->setText(radiusCaption + radius);
}

// Point list ------------------------------------------------------------

void TFmain::DBMAPTitleBtnClick(int column)
{
    const int field = DBMAP->pointModel().fieldOfColumn(column);
    if (field < 0)
        return;
    pointTable_.setSortFields(pointTable_.fields()[std::size_t(field)].name);
    pointTable_.sort(DBMAP->marker(column) == PointGrid::Marker::Down
                         ? SortOptions(SortOption::Descending)
                         : SortOptions());
}

void TFmain::DBMAPDblClick(int x, int y)
{
    GoToPoint(x, y);
}

void TFmain::N1Click()
{
    if (!pointTable_.isOpen()) {
        prompts().message(closedBaseText);
        return;
    }
    pointTable_.append();
    pointTable_.fieldByName(u"OBR").setAsBoolean(false);
    if (Fedit)
        showModal(*Fedit);
}

void TFmain::N3Click()
{
    if (!pointTable_.isOpen()) {
        prompts().message(closedBaseText);
        return;
    }
    pointTable_.edit();
    if (Fedit)
        showModal(*Fedit);
}

void TFmain::N2Click()
{
    if (!pointTable_.isOpen()) {
        prompts().message(closedBaseText);
        return;
    }
    Prompts::Question question;
    question.text = deleteQuestionText;
    if (prompts().ask(question) == Prompts::Button::Yes)
        pointTable_.deleteRecord();
}

} // namespace kelvora
