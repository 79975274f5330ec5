#include "directoryedit.h"
#include "scriptedprompts.h"
#include "settingsfile.h"
#include "tfsettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>

using kelvora::MainWindowControls;
using kelvora::ScriptedPrompts;
using kelvora::SettingsFile;
using kelvora::TFsettings;

namespace {

ScriptedPrompts& scripted()
{
    return static_cast<ScriptedPrompts&>(kelvora::prompts());
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

// The main window's controls the settings window works on, wired the way the
// main window wires them: one exclusive group each for the speed and the
// mode, the speed buttons setting the scroll increment, the radius slider's
// handler setting its tooltip, the panel at the right of a splitter.
class MainWindowFake
{
public:
    MainWindowFake()
    {
        const int steps[] = {1, 8, 16, 64, 128};
        const char* names[] = {"MAPSPD001", "MAPSPD008", "MAPSPD016", "MAPSPD064", "MAPSPD128"};
        for (int i = 0; i < 5; ++i) {
            auto* button = new QToolButton(&host);
            button->setObjectName(QLatin1String(names[i]));
            button->setCheckable(true);
            speedGroup.addButton(button);
            const int step = steps[i];
            QObject::connect(button, &QToolButton::toggled, button, [this, step](bool down) {
                if (down)
                    scrollIncrement = step;
            });
            speed[i] = button;
        }
        speed[2]->setChecked(true);
        search = modeButton("MAPSEARCH");
        add = modeButton("MAPSEARCHEDIT");
        search->setChecked(true);

        radius = new QSlider(Qt::Horizontal, &host);
        radius->setObjectName(QStringLiteral("TrackBar1"));
        radius->setRange(0, 100);
        radius->setValue(10);
        radius->setToolTip(QStringLiteral("5"));
        QObject::connect(radius, &QSlider::valueChanged, radius,
                         [this](int value) { radius->setToolTip(QString::number(value)); });

        splitter = new QSplitter(Qt::Horizontal, &host);
        splitter->addWidget(new QWidget);
        panel = new QWidget;
        panel->setObjectName(QStringLiteral("Panel1"));
        splitter->addWidget(panel);
        splitter->setStretchFactor(0, 1);
        splitter->setStretchFactor(1, 0);
        splitter->setGeometry(0, 40, 1200, 600);
        host.resize(1200, 640);
        host.show();
        splitter->setSizes({1200 - splitter->handleWidth() - 310, 310});
    }

    MainWindowControls controls() const
    {
        MainWindowControls controls;
        for (int i = 0; i < 5; ++i)
            controls.speedButtons[std::size_t(i)] = speed[i];
        controls.searchMode = search;
        controls.addMode = add;
        controls.radius = radius;
        controls.panel = panel;
        return controls;
    }

    QWidget host;
    QButtonGroup speedGroup;
    QButtonGroup modeGroup;
    QToolButton* speed[5] = {};
    QToolButton* search = nullptr;
    QToolButton* add = nullptr;
    QSlider* radius = nullptr;
    QSplitter* splitter = nullptr;
    QWidget* panel = nullptr;
    int scrollIncrement = 16;

private:
    QToolButton* modeButton(const char* name)
    {
        auto* button = new QToolButton(&host);
        button->setObjectName(QLatin1String(name));
        button->setCheckable(true);
        modeGroup.addButton(button);
        return button;
    }
};

// What the controls say after the window was created.
struct State
{
    bool isPict = false;
    bool special = true;
    QString catalog;
    bool openWithImg = true;
    bool mapRefresh = false;
    bool noQuestion = true;
    bool diffPoint = false;
    bool namesShown = true;
    bool replace = true;
    bool add = false;
    bool next = false;
    QString speed = QStringLiteral("MAPSPD016");
    int scrollIncrement = 16;
    int radius = 10;
    QString radiusTip = QStringLiteral("5");
    int panelWidth = 310;
    bool searchMode = true;
    bool addMode = false;

    bool operator==(const State&) const = default;
};

void PrintTo(const State& s, std::ostream* out)
{
    *out << "{pict " << s.isPict << " special " << s.special << " catalog "
         << s.catalog.toStdString() << " openwithimg " << s.openWithImg << " maprefresh "
         << s.mapRefresh << " noquestion " << s.noQuestion << " diffpoint " << s.diffPoint
         << " names shown " << s.namesShown << " replace/add/next " << s.replace << s.add << s.next
         << " speed " << s.speed.toStdString() << " increment " << s.scrollIncrement << " radius "
         << s.radius << " tip " << s.radiusTip.toStdString() << " panel " << s.panelWidth
         << " search/add " << s.searchMode << s.addMode << "}";
}

State stateOf(const TFsettings& window, const MainWindowFake& main)
{
    State s;
    s.isPict = window.BASEPATHISPICT()->isChecked();
    s.special = window.BASEPATHSPECIAL()->isChecked();
    s.catalog = window.DirectoryEdit1()->text();
    s.openWithImg = window.BASEOPENWITHIMG()->isChecked();
    s.mapRefresh = window.MAPREFRESH()->isChecked();
    s.noQuestion = window.IMPNOQUESTION()->isChecked();
    s.diffPoint = window.IMPDIFFPOINT()->isChecked();
    s.namesShown = !window.IMPNAMES()->isHidden();
    s.replace = window.IMPNAMES_REPLACE()->isChecked();
    s.add = window.IMPNAMES_ADD()->isChecked();
    s.next = window.IMPNAMES_NEXT()->isChecked();
    QStringList down;
    for (const QToolButton* button : main.speed) {
        if (button->isChecked())
            down << button->objectName();
    }
    s.speed = down.join(u',');
    s.scrollIncrement = main.scrollIncrement;
    s.radius = main.radius->value();
    s.radiusTip = main.radius->toolTip();
    s.panelWidth = main.panel->width();
    s.searchMode = main.search->isChecked();
    s.addMode = main.add->isChecked();
    return s;
}

class TFsettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { scripted().clear(); }

    QString path() const { return dir.filePath(QStringLiteral("settings.ini")); }
    QString defaultCatalog() const { return dir.path() + QStringLiteral("/bases"); }

    std::unique_ptr<TFsettings> open()
    {
        file = std::make_unique<SettingsFile>(path());
        return std::make_unique<TFsettings>(*file, main.controls());
    }

    QTemporaryDir dir;
    MainWindowFake main;
    std::unique_ptr<SettingsFile> file;
};

struct ReadCase
{
    const char* name;
    std::optional<QByteArray> file;
    std::function<void(State&)> change;
};

TEST_F(TFsettingsTest, CreationReadsEveryKeyIntoTheControls)
{
    const ReadCase cases[] = {
        {"first start without a file", std::nullopt,
         [](State&) {
         }},
        {"empty file", QByteArray(),
         [](State&) {
         }},
        {"allbaseinonecatalog 0", "[base]\nallbaseinonecatalog=0\n",
         [](State& s) {
             s.isPict = true;
             s.special = false;
         }},
        {"impdiffpoint 1 hides IMPNAMES", "[imp]\nimpdiffpoint=1\n",
         [](State& s) {
             s.diffPoint = true;
             s.namesShown = false;
         }},
        {"words read as the default",
         "[base]\nallbaseinonecatalog=yes\nopenwithimg=true\n[system]\nmaprefresh=yes\n"
         "mapsearch=no\n[imp]\nimpdiffpoint=true\nimpnames_replace=yes\n",
         [](State&) {
         }},
        {"2 is true, 0 is false", "[base]\nopenwithimg=0\n[system]\nmaprefresh=2\n",
         [](State& s) {
             s.openWithImg = false;
             s.mapRefresh = true;
         }},
        {"catalog", "[base]\ncatalog=/data/Карты/\n",
         [](State& s) {
             s.catalog = QStringLiteral("/data/Карты/");
         }},
        {"radius 0x1F", "[mapsearch]\nradius=0x1F\n",
         [](State& s) {
             s.radius = 31, s.radiusTip = QStringLiteral("31");
         }},
        {"radius $1F", "[mapsearch]\nradius=$1F\n",
         [](State& s) {
             s.radius = 31, s.radiusTip = QStringLiteral("31");
         }},
        {"radius 150 stops at 100", "[mapsearch]\nradius=150\n",
         [](State& s) {
             s.radius = 100, s.radiusTip = QStringLiteral("100");
         }},
        {"radius -3 stops at 0", "[mapsearch]\nradius=-3\n",
         [](State& s) {
             s.radius = 0, s.radiusTip = QStringLiteral("0");
         }},
        {"radius abc keeps 10", "[mapsearch]\nradius=abc\n",
         [](State&) {
         }},
        {"speed 008 and 064: the last wins", "[speed]\n008=1\n064=1\n",
         [](State& s) {
             s.speed = QStringLiteral("MAPSPD064"), s.scrollIncrement = 64;
         }},
        {"speed 001 with 016 off", "[speed]\n001=1\n016=0\n",
         [](State& s) {
             s.speed = QStringLiteral("MAPSPD001"), s.scrollIncrement = 1;
         }},
        {"all speeds off: the group keeps one down", "[speed]\n001=0\n008=0\n016=0\n064=0\n128=0\n",
         [](State&) {
         }},
        {"all three impnames off: none on",
         "[imp]\nimpnames_replace=0\nimpnames_add=0\nimpnames_next=0\n",
         [](State& s) {
             s.replace = false;
         }},
        {"impnames_next on", "[imp]\nimpnames_next=1\n",
         [](State& s) {
             s.replace = false, s.next = true;
         }},
        {"impnames add and next on: the last wins", "[imp]\nimpnames_add=1\nimpnames_next=1\n",
         [](State& s) {
             s.replace = false, s.next = true;
         }},
        {"add mode", "[system]\nmapsearch=0\n",
         [](State& s) {
             s.searchMode = false, s.addMode = true;
         }},
        {"mapsearch in the mapsearch section is not the mode", "[mapsearch]\nmapsearch=0\n",
         [](State&) {
         }},
        {"panel width", "[system]\npanelwidth=250\n",
         [](State& s) {
             s.panelWidth = 250;
         }},
        {"names without case",
         "[BASE]\nAllBaseInOneCatalog=0\nCATALOG=/data/bases\n[Speed]\n128=1\n[MAPSEARCH]\n"
         "Radius=55\n[System]\nMapSearch=0\nPanelWidth=420\n[IMP]\nImpNoQuestion=0\n",
         [](State& s) {
             s.isPict = true, s.special = false, s.catalog = QStringLiteral("/data/bases");
             s.speed = QStringLiteral("MAPSPD128"), s.scrollIncrement = 128;
             s.radius = 55, s.radiusTip = QStringLiteral("55");
             s.searchMode = false, s.addMode = true, s.panelWidth = 420;
             s.noQuestion = false;
         }},
    };
    for (const ReadCase& c : cases) {
        // A fresh main window each time: the defaults are the controls' states.
        MainWindowFake fresh;
        QFile::remove(path());
        if (c.file)
            writeBytes(path(), *c.file);
        SettingsFile settings(path());
        const TFsettings window(settings, fresh.controls());
        State expected;
        expected.catalog = defaultCatalog();
        c.change(expected);
        EXPECT_EQ(stateOf(window, fresh), expected) << c.name;
        EXPECT_EQ(QFile::exists(path()), c.file.has_value()) << c.name << ": no file is created";
    }
    EXPECT_TRUE(scripted().shown().isEmpty());
}

TEST_F(TFsettingsTest, ThePanelWidthHoldsWhenTheSplitterGrows)
{
    writeBytes(path(), "[system]\npanelwidth=400\n");
    const auto window = open();
    EXPECT_EQ(main.panel->width(), 400);
    main.splitter->resize(1600, 600);
    EXPECT_EQ(main.panel->width(), 400);
}

TEST_F(TFsettingsTest, IMPNAMESIsShownExactlyWhenIMPDIFFPOINTIsUnchecked)
{
    writeBytes(path(), "[imp]\nimpdiffpoint=1\n");
    const auto window = open();
    window->show();
    EXPECT_FALSE(window->IMPNAMES()->isVisible());
    QTest::mouseClick(window->IMPDIFFPOINT(), Qt::LeftButton);
    EXPECT_FALSE(window->IMPDIFFPOINT()->isChecked());
    EXPECT_TRUE(window->IMPNAMES()->isVisible());
    window->IMPDIFFPOINT()->setChecked(true);
    EXPECT_FALSE(window->IMPNAMES()->isVisible());
}

TEST_F(TFsettingsTest, RadioGroupsExcludeWithinThemselvesOnly)
{
    const auto window = open();
    window->show();
    QTest::mouseClick(window->IMPNAMES_ADD(), Qt::LeftButton);
    EXPECT_TRUE(window->IMPNAMES_ADD()->isChecked());
    EXPECT_FALSE(window->IMPNAMES_REPLACE()->isChecked());
    EXPECT_TRUE(window->BASEPATHSPECIAL()->isChecked());
    QTest::mouseClick(window->BASEPATHISPICT(), Qt::LeftButton);
    EXPECT_FALSE(window->BASEPATHSPECIAL()->isChecked());
    EXPECT_TRUE(window->IMPNAMES_ADD()->isChecked());
    // Clicking the button that is on leaves it on.
    QTest::mouseClick(window->BASEPATHISPICT(), Qt::LeftButton);
    EXPECT_TRUE(window->BASEPATHISPICT()->isChecked());
}

struct ControlCase
{
    const char* name;
    const char* parent;
    QRect geometry;
    const char* caption;
};

TEST_F(TFsettingsTest, TheWindowAndItsControls)
{
    const auto window = open();
    EXPECT_EQ(window->objectName(), QStringLiteral("Fsettings"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Настройки"));
    EXPECT_EQ(window->size(), QSize(692, 346));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->geometry().center(), screen.center()) << "centred on the desktop";
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowContextHelpButtonHint));

    const ControlCase controls[] = {
        {"GroupBox1", "Fsettings", {8, 8, 673, 89}, "Базы"},
        {"BASEPATHISPICT",
         "GroupBox1",
         {8, 16, 265, 17},
         "Каталог баз совпадает с каталогом картинки"},
        {"BASEPATHSPECIAL", "GroupBox1", {8, 40, 241, 17}, "Все базы лежат в отдельном каталоге"},
        {"DirectoryEdit1", "GroupBox1", {264, 38, 401, 21}, nullptr},
        {"BASEOPENWITHIMG",
         "GroupBox1",
         {8, 64, 657, 17},
         "Открывать одноименную базу при открытии файла изображения, если не найдена, создавать "
         "новую"},
        {"GroupBox2", "Fsettings", {8, 104, 673, 57}, "Различное"},
        {"MAPREFRESH",
         "GroupBox2",
         {8, 16, 657, 17},
         "Для тех, у кого при поиске карта обновляется плохо, включите эту галочку"},
        {"GroupBox3", "Fsettings", {8, 168, 673, 137}, "Импорт"},
        {"IMPNOQUESTION",
         "GroupBox3",
         {8, 16, 361, 17},
         "Добавлять точки без вопросов, если название в базе отсутствует"},
        {"IMPDIFFPOINT",
         "GroupBox3",
         {8, 32, 457, 17},
         "Спрашивать о нужности добавления/замены, если названия совпадают, а точки нет."},
        {"IMPNAMES", "GroupBox3", {24, 56, 257, 73}, "Действия по умолчанию при совпадении имен"},
        {"IMPNAMES_REPLACE", "IMPNAMES", {16, 16, 81, 17}, "Заменять"},
        {"IMPNAMES_ADD", "IMPNAMES", {16, 32, 81, 17}, "Добавлять"},
        {"IMPNAMES_NEXT", "IMPNAMES", {16, 48, 89, 17}, "Пропускать"},
        {"FSOk", "Fsettings", {576, 312, 99, 25}, "Сохранить"},
        {"FSCansel", "Fsettings", {16, 312, 75, 25}, "Cancel"},
    };
    for (const ControlCase& c : controls) {
        const auto* widget = window->findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->parentWidget()->objectName(), QLatin1String(c.parent)) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
        QString caption;
        if (const auto* box = qobject_cast<const QGroupBox*>(widget))
            caption = box->title();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            caption = button->text();
        EXPECT_EQ(caption, QString::fromUtf8(c.caption)) << c.name;
    }
    EXPECT_TRUE(window->FSOk()->isDefault());
    EXPECT_FALSE(window->FSOk()->icon().isNull());
    EXPECT_FALSE(window->FSCansel()->icon().isNull());
    EXPECT_TRUE(window->DirectoryEdit1()->isReadOnly());
}

TEST_F(TFsettingsTest, TabOrder)
{
    const auto window = open();
    QStringList order;
    QWidget* widget = window->BASEPATHISPICT();
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && window->isAncestorOf(widget))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != window->BASEPATHISPICT());
    EXPECT_EQ(order,
              (QStringList{"BASEPATHISPICT", "BASEPATHSPECIAL", "DirectoryEdit1", "BASEOPENWITHIMG",
                           "MAPREFRESH", "FSOk", "FSCansel", "IMPNOQUESTION", "IMPDIFFPOINT",
                           "IMPNAMES_REPLACE", "IMPNAMES_ADD", "IMPNAMES_NEXT"}));
}

QByteArray firstSaveText(const QString& catalog)
{
    return "[base]\nallbaseinonecatalog=1\ncatalog=" + catalog.toUtf8() +
           "\nopenwithimg=1\n[system]\nmaprefresh=0\npanelwidth=310\nmapsearch=1\n[imp]\n"
           "impnoquestion=1\nimpdiffpoint=0\nimpnames_replace=1\nimpnames_add=0\n"
           "impnames_next=0\n[speed]\n001=0\n008=0\n016=1\n064=0\n128=0\n[mapsearch]\nradius=10\n";
}

TEST_F(TFsettingsTest, AFirstSaveWritesEveryKeyInOrder)
{
    const auto window = open();
    window->show();
    QTest::mouseClick(window->FSOk(), Qt::LeftButton);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(readBytes(path()), firstSaveText(defaultCatalog()));
    EXPECT_TRUE(scripted().shown().isEmpty());
}

TEST_F(TFsettingsTest, EnterSavesTheMainWindowAsItStands)
{
    const auto window = open();
    // Changed on the main window after the settings were read.
    main.speed[4]->click();
    main.radius->setValue(42);
    main.add->click();
    main.splitter->setSizes({1200 - main.splitter->handleWidth() - 333, 333});
    window->show();
    window->IMPDIFFPOINT()->setChecked(true);
    window->IMPNAMES_NEXT()->setChecked(true);
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_EQ(readBytes(path()),
              "[base]\nallbaseinonecatalog=1\ncatalog=" + defaultCatalog().toUtf8() +
                  "\nopenwithimg=1\n[system]\nmaprefresh=0\npanelwidth=333\nmapsearch=0\n[imp]\n"
                  "impnoquestion=1\nimpdiffpoint=1\nimpnames_replace=0\nimpnames_add=0\n"
                  "impnames_next=1\n[speed]\n001=0\n008=0\n016=0\n064=0\n128=1\n[mapsearch]\n"
                  "radius=42\n");

    // The next start shows what was saved.
    MainWindowFake next;
    const TFsettings again(*file, next.controls());
    State expected;
    expected.catalog = defaultCatalog();
    expected.diffPoint = true, expected.namesShown = false;
    expected.replace = false, expected.next = true;
    expected.speed = QStringLiteral("MAPSPD128"), expected.scrollIncrement = 128;
    expected.radius = 42, expected.radiusTip = QStringLiteral("42");
    expected.panelWidth = 333, expected.searchMode = false, expected.addMode = true;
    EXPECT_EQ(stateOf(again, next), expected);
}

TEST_F(TFsettingsTest, ASaveOverAHandEditedFileKeepsItsOtherLines)
{
    writeBytes(path(), "; my settings\n[Speed]\n016=1\n[other]\nfoo=bar\n[base]\ncatalog = /old\n"
                       "junk line\n[system]\n\nmaprefresh=1\n");
    const auto window = open();
    EXPECT_TRUE(window->MAPREFRESH()->isChecked());
    EXPECT_EQ(window->DirectoryEdit1()->text(), QStringLiteral("/old"));
    main.radius->setValue(42);
    window->show();
    QTest::mouseClick(window->FSOk(), Qt::LeftButton);
    EXPECT_EQ(readBytes(path()),
              "; my settings\n[Speed]\n016=1\n001=0\n008=0\n064=0\n128=0\n[other]\nfoo=bar\n"
              "[base]\ncatalog=/old\njunk line\nallbaseinonecatalog=1\nopenwithimg=1\n[system]\n\n"
              "maprefresh=1\npanelwidth=310\nmapsearch=1\n[imp]\nimpnoquestion=1\n"
              "impdiffpoint=0\nimpnames_replace=1\nimpnames_add=0\nimpnames_next=0\n"
              "[mapsearch]\nradius=42\n");
}

TEST_F(TFsettingsTest, AnUnwritableFileIsReportedAndTheWindowStillCloses)
{
    // The settings file's directory is a regular file: not even root can
    // create anything in it.
    writeBytes(dir.filePath(QStringLiteral("blocker")), "x");
    SettingsFile blocked(dir.filePath(QStringLiteral("blocker/settings.ini")));
    TFsettings window(blocked, main.controls());
    window.show();
    QTest::mouseClick(window.FSOk(), Qt::LeftButton);
    EXPECT_EQ(scripted().textsOf(ScriptedPrompts::Kind::Error),
              QStringList{QStringLiteral("Unable to write to ") +
                          dir.filePath(QStringLiteral("blocker/settings.ini")) + u'.'});
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(TFsettingsTest, KeysWrittenBeforeAFailedOneStay)
{
    const QString sub = dir.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir().mkdir(sub));
    SettingsFile settings(sub + QStringLiteral("/settings.ini"));
    MainWindowControls controls = main.controls();
    bool saving = false;
    // The panel width is the sixteenth key: its directory goes away just
    // before it is written.
    controls.panelWidth = [&] {
        if (saving) {
            EXPECT_TRUE(QDir().rename(sub, dir.filePath(QStringLiteral("moved"))));
            writeBytes(sub, "x");
        }
        return 310;
    };
    TFsettings window(settings, controls);
    window.show();
    saving = true;
    QTest::mouseClick(window.FSOk(), Qt::LeftButton);
    EXPECT_EQ(scripted().textsOf(ScriptedPrompts::Kind::Error),
              QStringList{QStringLiteral("Unable to write to ") + sub +
                          QStringLiteral("/settings.ini.")});
    EXPECT_FALSE(window.isVisible());
    QByteArray expected = firstSaveText(sub + QStringLiteral("/bases"));
    expected.replace("panelwidth=310\nmapsearch=1\n", "");
    EXPECT_EQ(readBytes(dir.filePath(QStringLiteral("moved/settings.ini"))), expected);
}

struct CloseCase
{
    const char* name;
    std::function<void(TFsettings&)> close;
};

TEST_F(TFsettingsTest, CancelEscapeAndTheCloseBoxWriteNothing)
{
    const QByteArray before = "[imp]\nimpdiffpoint=1\n";
    const CloseCase cases[] = {
        {"Cancel",
         [](TFsettings& w) {
             QTest::mouseClick(w.FSCansel(), Qt::LeftButton);
         }},
        {"Escape",
         [](TFsettings& w) {
             QTest::keyClick(&w, Qt::Key_Escape);
         }},
        {"close box",
         [](TFsettings& w) {
             w.close();
         }},
    };
    for (const CloseCase& c : cases) {
        writeBytes(path(), before);
        const auto window = open();
        window->show();
        window->IMPDIFFPOINT()->setChecked(false);
        window->MAPREFRESH()->setChecked(true);
        scripted().chooseFolder(QStringLiteral("/data/new"));
        QTest::mouseClick(window->DirectoryEdit1()->browseButton(), Qt::LeftButton);
        c.close(*window);
        EXPECT_EQ(window->result(), QDialog::Rejected) << c.name;
        EXPECT_FALSE(window->isVisible()) << c.name;
        EXPECT_EQ(readBytes(path()), before) << c.name;
        // The changes stay in force until exit.
        EXPECT_FALSE(window->IMPDIFFPOINT()->isChecked()) << c.name;
        EXPECT_TRUE(window->IMPNAMES()->isVisibleTo(window.get())) << c.name;
        EXPECT_TRUE(window->MAPREFRESH()->isChecked()) << c.name;
        EXPECT_EQ(window->DirectoryEdit1()->text(), QStringLiteral("/data/new")) << c.name;
    }
}

} // namespace

namespace {

// The main window is laid out only after the settings are read at start-up.
TEST(TFsettingsPanel, TheWidthHoldsInASplitterNotYetShown)
{
    QTemporaryDir dir;
    writeBytes(dir.filePath(QStringLiteral("settings.ini")), "[system]\npanelwidth=400\n");
    SettingsFile settings(dir.filePath(QStringLiteral("settings.ini")));
    QSplitter splitter(Qt::Horizontal);
    auto* map = new QWidget;
    auto* panel = new QWidget;
    splitter.addWidget(map);
    splitter.addWidget(panel);
    splitter.setStretchFactor(0, 1);
    splitter.setStretchFactor(1, 0);
    MainWindowControls controls;
    controls.panel = panel;
    const TFsettings window(settings, controls);
    splitter.resize(1600, 600);
    splitter.show();
    EXPECT_EQ(panel->width(), 400);
    EXPECT_GT(map->width(), 1000);
    splitter.resize(1800, 600);
    EXPECT_EQ(panel->width(), 400);
}

} // namespace
