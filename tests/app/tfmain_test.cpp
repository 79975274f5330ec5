#include "anchors.h"
#include "basecommands.h"
#include "forms.h"
#include "integerspin.h"
#include "pointlistmodel.h"
#include "scriptedprompts.h"
#include "settingsfile.h"
#include "sidebandmenu.h"
#include "splitterbar.h"
#include "tfabout.h"
#include "tfedit.h"
#include "tfmain.h"
#include "tfsettings.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QApplication>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>
#include <gtest/gtest.h>
#include <limits>

namespace kelvora {
namespace {

// The main window with modal showing recorded instead of run.
class RecordingMain : public TFmain
{
public:
    void showModal(QDialog& dialog) override
    {
        modals << dialog.objectName();
        if (whileShown)
            whileShown(dialog);
    }

    // What the user does while a modal window is shown.
    std::function<void(QDialog&)> whileShown;

    QStringList modals;
};

class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = &prompts();
        setPrompts(&scripted_);
        forms_ = std::make_unique<Forms>([this] {
            auto main = std::make_unique<RecordingMain>();
            main_ = main.get();
            return main;
        });
        main_->show();
    }

    void TearDown() override
    {
        forms_.reset();
        setPrompts(previous_);
    }

    // A key press as the window system delivers it: to the focused control,
    // or to the window when none has focus.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = main_->focusWidget() ? main_->focusWidget() : main_;
        QTest::keyPress(target, key, modifiers);
    }

    // Opens the point table with `count` points (i, 10 * i).
    void openTable(int count)
    {
        PointTable& table = main_->pointTable();
        table.open();
        for (int i = 0; i < count; ++i) {
            table.append();
            table.fieldByName(u"X").setAsInteger(i);
            table.fieldByName(u"Y").setAsInteger(10 * i);
            table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("P%1").arg(i));
            table.post();
        }
    }

    // A picture far larger than the map area, scrolled to its middle.
    void bigPicture()
    {
        main_->IMGMAP->resize(3000, 3000);
        main_->mapContent->resize(3000, 3000);
        main_->ScrollBox1->horizontalScrollBar()->setValue(1000);
        main_->ScrollBox1->verticalScrollBar()->setValue(1000);
    }

    QPoint scroll() const
    {
        return {main_->ScrollBox1->horizontalScrollBar()->value(),
                main_->ScrollBox1->verticalScrollBar()->value()};
    }

    ScriptedPrompts scripted_;
    Prompts* previous_ = nullptr;
    std::unique_ptr<Forms> forms_;
    RecordingMain* main_ = nullptr;
};

// Start-up and first-start state ---------------------------------------------

TEST_F(MainWindow, StartUpCreatesTheFourWindowsWithOnlyTheMainOneShown)
{
    EXPECT_EQ(Fmain, main_);
    ASSERT_NE(Fsettings, nullptr);
    ASSERT_NE(Fedit, nullptr);
    ASSERT_NE(Fabout, nullptr);
    EXPECT_EQ(Fsettings->objectName(), QStringLiteral("Fsettings"));
    EXPECT_EQ(Fedit->windowTitle(), QStringLiteral("Редактирование"));
    EXPECT_EQ(Fabout->windowTitle(), QStringLiteral("О программе / Помощь"));
    EXPECT_FALSE(Fsettings->isVisible());
    EXPECT_FALSE(Fedit->isVisible());
    EXPECT_FALSE(Fabout->isVisible());
    EXPECT_TRUE(main_->isVisible());
    EXPECT_TRUE(main_->modals.isEmpty());

    EXPECT_EQ(main_->windowTitle(), QStringLiteral("Kelvora"));
    EXPECT_TRUE(main_->windowState().testFlag(Qt::WindowMaximized));
    EXPECT_EQ(main_->exeDir(), QCoreApplication::applicationDirPath() + QStringLiteral("/"));
    EXPECT_EQ(main_->settingsFile().fileName(), main_->exeDir() + QStringLiteral("settings.ini"));

    forms_.reset();
    EXPECT_EQ(Fmain, nullptr);
    EXPECT_EQ(Fsettings, nullptr);
    EXPECT_EQ(Fedit, nullptr);
    EXPECT_EQ(Fabout, nullptr);
}

TEST_F(MainWindow, FirstStartState)
{
    EXPECT_TRUE(main_->ToolButton3->isChecked());
    EXPECT_TRUE(main_->MAPSEARCH->isChecked());
    EXPECT_TRUE(main_->MAPSPD016->isChecked());
    for (QButtonGroup* group : {main_->zoomGroup, main_->modeGroup, main_->speedGroup}) {
        int down = 0;
        for (QAbstractButton* button : group->buttons())
            down += button->isChecked() ? 1 : 0;
        EXPECT_EQ(down, 1) << group->objectName().toStdString();
    }
    EXPECT_EQ(main_->ScrollBox1->horizontalScrollBar()->singleStep(), 16);
    EXPECT_EQ(main_->ScrollBox1->verticalScrollBar()->singleStep(), 16);

    EXPECT_EQ(main_->TrackBar1->value(), 10);
    EXPECT_EQ(main_->TrackBar1->minimum(), 0);
    EXPECT_EQ(main_->TrackBar1->maximum(), 100);
    EXPECT_EQ(main_->TrackBar1->tickInterval(), 10);
    EXPECT_EQ(main_->TrackBar1->toolTip(), QStringLiteral("5"));
    EXPECT_EQ(main_->Label1->text(), QStringLiteral("Радиус поиска, пикс: 10"));
    EXPECT_EQ(main_->Panel1->width(), 310);

    EXPECT_FALSE(main_->pointTable().isOpen());
    EXPECT_FALSE(main_->impBase().isOpen());
    EXPECT_EQ(main_->DBMAP->model()->rowCount(), 0);
    EXPECT_TRUE(main_->Label3->text().isEmpty());
    EXPECT_TRUE(main_->Label4->text().isEmpty());
    EXPECT_EQ(main_->Label2->text(), QStringLiteral("Размер карты"));
    EXPECT_EQ(main_->Button1->text(), QStringLiteral("Find"));
    EXPECT_EQ(main_->GroupBox2->title(), QStringLiteral("Действия мышью"));
    EXPECT_FALSE(main_->ProgressBar1->isVisible());
    EXPECT_FALSE(main_->TARGET->isVisible());
    EXPECT_EQ(main_->IMGMAP->geometry(), QRect(0, 0, 652, 560));
    EXPECT_EQ(main_->IMGMAP->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(main_->ScrollBox1->frameWidth(), 2);
    EXPECT_EQ(main_->SPINX->value(), 0);
    EXPECT_EQ(main_->SPINY->value(), 0);
    EXPECT_TRUE(scripted_.shown().isEmpty());
}

TEST_F(MainWindow, ToolBarButtonsInOrderWithSeparatorsHintsAndIcons)
{
    struct Item
    {
        const char* name; // "|" for a separator
        const char16_t* hint;
        int width;
    };
    const Item expected[] = {
        {"ToolButton1", u"Открыть изображение", 39},
        {"|", u"", 5},
        {"ToolButton2", u"Масштаб 50%", 39},
        {"ToolButton4", u"Масштаб 75%", 39},
        {"ToolButton3", u"Масштаб 100%", 39},
        {"ToolButton5", u"Изображение целиком", 39},
        {"|", u"", 5},
        {"MAPSEARCHREFRESH", u"Отменить фсе фильтры", 39},
        {"MAPSEARCH", u"Режим поиска (Фильтрация)", 39},
        {"MAPSEARCHEDIT", u"Режим добавления точек", 39},
        {"|", u"", 5},
        {"MAPSPD001", u"Скорость перемещения:\nОчень медленно", 39},
        {"MAPSPD008", u"Скорость перемещения:\nМедленно", 39},
        {"MAPSPD016", u"Скорость перемещения:\nНормально", 39},
        {"MAPSPD064", u"Скорость перемещения:\nБыстро", 39},
        {"MAPSPD128", u"Скорость перемещения:\nОчень быстро", 39},
        {"|", u"", 5},
        {"ToolButton12", u"Импорт базы", 39},
        {"ToolButton14", u"Открыть базу", 39},
        {"|", u"", 5},
        {"ToolButton6", u"Сохранить базу", 39},
        {"ToolButton10", u"Сохранить базу как ...", 39},
        {"|", u"", 11},
        {"ToolButton7", u"Настройки", 39},
        {"ToolButton16", u"О программе + Помощь", 39},
    };
    EXPECT_EQ(main_->ToolBar1->height(), 42);
    const QList<QAction*> actions = main_->ToolBar1->actions();
    ASSERT_EQ(actions.size(), qsizetype(std::size(expected)));
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const Item& item = expected[i];
        QWidget* widget = main_->ToolBar1->widgetForAction(actions[i]);
        ASSERT_NE(widget, nullptr);
        SCOPED_TRACE(item.name);
        EXPECT_EQ(widget->width(), item.width);
        auto* button = qobject_cast<QToolButton*>(widget);
        if (QLatin1String(item.name) == QLatin1String("|")) {
            EXPECT_EQ(button, nullptr);
            continue;
        }
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->objectName(), QLatin1String(item.name));
        EXPECT_EQ(button->toolTip(), QString::fromUtf16(item.hint));
        EXPECT_EQ(button->size(), QSize(39, 38));
        EXPECT_EQ(button->iconSize(), QSize(32, 32));
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        EXPECT_TRUE(button->text().isEmpty() ||
                    button->toolButtonStyle() == Qt::ToolButtonIconOnly);
        EXPECT_FALSE(button->icon().isNull());
    }
}

TEST_F(MainWindow, ToggleGroupsKeepExactlyOneButtonDown)
{
    // Pressing the button that is down leaves it down.
    QTest::mouseClick(main_->MAPSEARCH, Qt::LeftButton);
    EXPECT_TRUE(main_->MAPSEARCH->isChecked());
    QTest::mouseClick(main_->MAPSEARCHEDIT, Qt::LeftButton);
    EXPECT_TRUE(main_->MAPSEARCHEDIT->isChecked());
    EXPECT_FALSE(main_->MAPSEARCH->isChecked());
    // Putting a button down from code raises the others.
    main_->ToolButton2->setChecked(true);
    EXPECT_FALSE(main_->ToolButton3->isChecked());
    EXPECT_EQ(main_->zoomGroup->checkedButton(), main_->ToolButton2);
}

TEST_F(MainWindow, PanelChildrenFollowTheSplitter)
{
    const QWidget* panel = main_->Panel1;
    const auto rightGap = [panel](const QWidget* child) {
        return panel->width() - child->geometry().right() - 1;
    };
    EXPECT_EQ(main_->SPINX->geometry().topLeft(), QPoint(133, 16));
    EXPECT_EQ(main_->SPINY->geometry().topLeft(), QPoint(197, 16));
    EXPECT_EQ(main_->Button1->geometry(), QRect(261, 14, 41, 25));
    EXPECT_EQ(main_->GroupBox2->geometry().topLeft(), QPoint(8, 48));
    EXPECT_EQ(main_->GroupBox2->width(), 294);
    EXPECT_EQ(main_->DBMAP->geometry().topLeft(), QPoint(1, 120));
    EXPECT_EQ(main_->DBMAP->width(), 305);
    EXPECT_EQ(main_->DBMemo1->height(), 65);
    EXPECT_EQ(main_->DBMemo1->geometry().bottom(), panel->height() - 1);

    const int mapWidth = main_->ScrollBox1->width();
    emit main_->Splitter1->dragged(-50);
    EXPECT_EQ(panel->width(), 360);
    EXPECT_EQ(main_->ScrollBox1->width(), mapWidth - 50);
    EXPECT_EQ(main_->SPINX->x(), 183);
    EXPECT_EQ(rightGap(main_->SPINX), 120);
    EXPECT_EQ(rightGap(main_->Button1), 8);
    EXPECT_EQ(main_->GroupBox2->width(), 344);
    EXPECT_EQ(main_->TrackBar1->width(), 196);
    EXPECT_EQ(main_->TrackBar1->x(), 144);
    EXPECT_EQ(main_->DBMAP->width(), 355);
    EXPECT_EQ(main_->DBMemo1->width(), 360);
}

TEST(Anchors, KeepDistancesAndStretch)
{
    QWidget container;
    container.resize(300, 200);
    QWidget fixed(&container);
    QWidget right(&container);
    QWidget wide(&container);
    QWidget all(&container);
    QWidget foot(&container);
    Anchors anchors(&container, QSize(300, 200));
    container.show(); // a hidden widget holds its resize events back
    anchors.add(&fixed, QRect(10, 10, 50, 20));
    anchors.add(&right, QRect(240, 10, 50, 20), Qt::TopEdge | Qt::RightEdge);
    anchors.add(&wide, QRect(10, 40, 280, 20), Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge);
    anchors.add(&all, QRect(10, 70, 280, 80),
                Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    anchors.add(&foot, QRect(0, 160, 300, 40), Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);

    container.resize(400, 260);
    EXPECT_EQ(fixed.geometry(), QRect(10, 10, 50, 20));
    EXPECT_EQ(right.geometry(), QRect(340, 10, 50, 20));
    EXPECT_EQ(wide.geometry(), QRect(10, 40, 380, 20));
    EXPECT_EQ(all.geometry(), QRect(10, 70, 380, 140));
    EXPECT_EQ(foot.geometry(), QRect(0, 220, 400, 40));

    // Shrunk past its margins a stretched child keeps no negative size.
    container.resize(10, 10);
    EXPECT_EQ(all.width(), 0);
    EXPECT_EQ(all.height(), 0);
}

TEST_F(MainWindow, RadiusChangeRewritesTooltipAndCaption)
{
    main_->TrackBar1->setValue(37);
    EXPECT_EQ(main_->TrackBar1->toolTip(), QStringLiteral("37"));
    EXPECT_EQ(main_->Label1->text(), QStringLiteral("Радиус поиска, пикс: 37"));
    main_->TrackBar1->setValue(0);
    EXPECT_EQ(main_->TrackBar1->toolTip(), QStringLiteral("0"));
    EXPECT_EQ(main_->Label1->text(), QStringLiteral("Радиус поиска, пикс: 0"));
}

TEST(IntegerSpin, HasNoBoundsAndCountsABadEntryAsZero)
{
    IntegerSpin spin;
    EXPECT_EQ(spin.minimum(), std::numeric_limits<int>::min());
    EXPECT_EQ(spin.maximum(), std::numeric_limits<int>::max());
    spin.setValue(-2000000000);
    EXPECT_EQ(spin.value(), -2000000000);

    const struct
    {
        const char* typed;
        int entry;
    } cases[] = {{"", 0}, {"  ", 0}, {"-", 0}, {"17", 17}, {"-5", -5}, {"2147483647", 2147483647}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        spin.setValue(7);
        spin.findChild<QLineEdit*>()->setText(QString::fromLatin1(c.typed));
        EXPECT_EQ(spin.entry(), c.entry);
        // Leaving the field settles the value the same way.
        spin.interpretText();
        EXPECT_EQ(spin.value(), c.entry);
    }
}

// Hot keys -------------------------------------------------------------------

TEST_F(MainWindow, F1OpensTheAboutWindowWhateverTheModifiers)
{
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier),
          Qt::KeyboardModifiers(Qt::AltModifier | Qt::ShiftModifier)}) {
        main_->modals.clear();
        press(Qt::Key_F1, modifiers);
        EXPECT_EQ(main_->modals, QStringList{QStringLiteral("Fabout")}) << int(modifiers);
    }
}

TEST_F(MainWindow, F10OpensTheSettingsWindow)
{
    press(Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(main_->modals, QStringList{QStringLiteral("Fsettings")});
}

TEST_F(MainWindow, F3AndF4PutTheModeButtonsDown)
{
    press(Qt::Key_F4);
    EXPECT_TRUE(main_->MAPSEARCHEDIT->isChecked());
    EXPECT_FALSE(main_->MAPSEARCH->isChecked());
    press(Qt::Key_F3, Qt::ControlModifier);
    EXPECT_TRUE(main_->MAPSEARCH->isChecked());
    EXPECT_FALSE(main_->MAPSEARCHEDIT->isChecked());
}

TEST_F(MainWindow, WithTheTableClosedF6AndF7AreSilentAndF8SaysSo)
{
    press(Qt::Key_F6);
    press(Qt::Key_F7);
    EXPECT_TRUE(scripted_.shown().isEmpty());
    EXPECT_TRUE(main_->modals.isEmpty());
    EXPECT_FALSE(main_->pointTable().isOpen());

    press(Qt::Key_F8);
    EXPECT_EQ(scripted_.textsOf(ScriptedPrompts::Kind::Message),
              QStringList{QStringLiteral("База Закрыта")});
    EXPECT_TRUE(scripted_.textsOf(ScriptedPrompts::Kind::Question).isEmpty());
}

TEST_F(MainWindow, F6EditsTheCurrentPointWithoutAQuestion)
{
    openTable(2);
    press(Qt::Key_F6);
    EXPECT_EQ(main_->pointTable().state(), PointTable::State::Edit);
    EXPECT_EQ(main_->modals, QStringList{QStringLiteral("Fedit")});
    EXPECT_TRUE(scripted_.shown().isEmpty());
}

TEST_F(MainWindow, F5AndF7WithTheTableOpenRaiseNoFailure)
{
    for (const int count : {0, 2}) {
        SCOPED_TRACE(count);
        main_->pointTable().close();
        openTable(count);
        scripted_.clear();
        press(Qt::Key_F7);
        press(Qt::Key_F5);
        // With no picture loaded the go-to reports its own failure, and
        // nothing reaches the error box.
        ASSERT_EQ(scripted_.shown().size(), 1);
        EXPECT_EQ(scripted_.shown().first().kind, ScriptedPrompts::Kind::Message);
        EXPECT_EQ(scripted_.shown().first().text, QStringLiteral("Поиск не удаля!"));
        EXPECT_TRUE(main_->modals.isEmpty());
    }
}

TEST_F(MainWindow, SettingsAndAboutButtonsShowTheirWindowsModally)
{
    QTest::mouseClick(main_->ToolButton7, Qt::LeftButton);
    QTest::mouseClick(main_->ToolButton16, Qt::LeftButton);
    EXPECT_EQ(main_->modals, QStringList({QStringLiteral("Fsettings"), QStringLiteral("Fabout")}));
}

TEST_F(MainWindow, F8AsksBeforeDeleting)
{
    openTable(2);
    scripted_.answer(Prompts::Button::Yes);
    press(Qt::Key_F8);
    EXPECT_EQ(scripted_.texts(), QStringList{QStringLiteral("Уверены, что хотите удалить?")});
    EXPECT_EQ(main_->pointTable().recordCount(), 1);
}

TEST_F(MainWindow, HotKeysReachTheFocusedControlOnceAndAreNotConsumed)
{
    openTable(1); // the memo edits the current record's description
    main_->DBMemo1->setFocus();
    ASSERT_EQ(main_->focusWidget(), main_->DBMemo1);
    // The memo ignores F1, which then travels on to the window: one about window.
    press(Qt::Key_F1);
    EXPECT_EQ(main_->modals, QStringList{QStringLiteral("Fabout")});
    // An ordinary key still reaches the memo.
    QTest::keyClicks(main_->DBMemo1, QStringLiteral("ab"));
    EXPECT_EQ(main_->DBMemo1->toPlainText(), QStringLiteral("ab"));

    main_->SPINX->setFocus();
    press(Qt::Key_F4);
    EXPECT_TRUE(main_->MAPSEARCHEDIT->isChecked());
}

TEST_F(MainWindow, KeysOfOtherWindowsAreNotHotKeys)
{
    QTest::keyPress(Fabout, Qt::Key_F4);
    EXPECT_TRUE(main_->MAPSEARCH->isChecked());
    EXPECT_TRUE(main_->modals.isEmpty());
}

struct PanCase
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QPoint step; // in increments
};

class Panning : public MainWindow, public ::testing::WithParamInterface<PanCase>
{
};

constexpr Qt::KeyboardModifiers ctrlPad = Qt::ControlModifier | Qt::KeypadModifier;

TEST_P(Panning, CtrlKeypadStepsByTheIncrement)
{
    bigPicture();
    const QPoint start = scroll();
    ASSERT_EQ(start, QPoint(1000, 1000));
    press(GetParam().key, GetParam().modifiers);
    EXPECT_EQ(scroll() - start, GetParam().step * 16);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Panning,
    ::testing::Values(PanCase{Qt::Key_4, ctrlPad, {-1, 0}}, PanCase{Qt::Key_6, ctrlPad, {1, 0}},
                      PanCase{Qt::Key_8, ctrlPad, {0, -1}}, PanCase{Qt::Key_2, ctrlPad, {0, 1}},
                      PanCase{Qt::Key_7, ctrlPad, {-1, -1}}, PanCase{Qt::Key_1, ctrlPad, {-1, 1}},
                      PanCase{Qt::Key_9, ctrlPad, {1, -1}}, PanCase{Qt::Key_3, ctrlPad, {1, 1}},
                      PanCase{Qt::Key_5, ctrlPad, {0, 0}}, PanCase{Qt::Key_0, ctrlPad, {0, 0}},
                      // Only Ctrl alone qualifies, and only the keypad's digits.
                      PanCase{Qt::Key_4, ctrlPad | Qt::ShiftModifier, {0, 0}},
                      PanCase{Qt::Key_4, ctrlPad | Qt::AltModifier, {0, 0}},
                      PanCase{Qt::Key_4, ctrlPad | Qt::MetaModifier, {0, 0}},
                      PanCase{Qt::Key_4, Qt::KeypadModifier, {0, 0}},
                      PanCase{Qt::Key_4, Qt::ControlModifier, {0, 0}},
                      PanCase{Qt::Key_Left, ctrlPad, {0, 0}}));

TEST_F(MainWindow, DiagonalsStepVerticallyFirst)
{
    bigPicture();
    QStringList order;
    QObject::connect(main_->ScrollBox1->horizontalScrollBar(), &QScrollBar::valueChanged,
                     [&order] { order << QStringLiteral("h"); });
    QObject::connect(main_->ScrollBox1->verticalScrollBar(), &QScrollBar::valueChanged,
                     [&order] { order << QStringLiteral("v"); });
    for (const Qt::Key key : {Qt::Key_7, Qt::Key_1, Qt::Key_9, Qt::Key_3})
        press(key, ctrlPad);
    EXPECT_EQ(order, QStringList({QStringLiteral("v"), QStringLiteral("h"), QStringLiteral("v"),
                                  QStringLiteral("h"), QStringLiteral("v"), QStringLiteral("h"),
                                  QStringLiteral("v"), QStringLiteral("h")}));
}

TEST_F(MainWindow, PanningStopsAtTheEdges)
{
    bigPicture();
    main_->ScrollBox1->horizontalScrollBar()->setValue(5);
    main_->ScrollBox1->verticalScrollBar()->setValue(0);
    press(Qt::Key_7, ctrlPad);
    EXPECT_EQ(scroll(), QPoint(0, 0));
}

TEST_F(MainWindow, NoPanningWhileAMouseButtonIsHeld)
{
    bigPicture();
    QTest::mousePress(main_->IMGMAP, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    if (QGuiApplication::mouseButtons() == Qt::NoButton) {
        QTest::mouseRelease(main_->IMGMAP, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        GTEST_SKIP() << "this platform does not report held buttons";
    }
    press(Qt::Key_4, ctrlPad);
    QTest::mouseRelease(main_->IMGMAP, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(scroll(), QPoint(1000, 1000));
    press(Qt::Key_4, ctrlPad);
    EXPECT_EQ(scroll(), QPoint(984, 1000));
}

TEST_F(MainWindow, SpeedButtonsSetTheIncrement)
{
    bigPicture();
    const struct
    {
        QToolButton* button;
        int increment;
    } cases[] = {{main_->MAPSPD064, 64},
                 {main_->MAPSPD001, 1},
                 {main_->MAPSPD128, 128},
                 {main_->MAPSPD008, 8},
                 {main_->MAPSPD016, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.increment);
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_TRUE(c.button->isChecked());
        EXPECT_EQ(main_->ScrollBox1->horizontalScrollBar()->singleStep(), c.increment);
        EXPECT_EQ(main_->ScrollBox1->verticalScrollBar()->singleStep(), c.increment);
        const QPoint start = scroll();
        press(Qt::Key_6, ctrlPad);
        EXPECT_EQ(scroll() - start, QPoint(c.increment, 0));
    }
    // A speed button put down from code brings its increment with it.
    main_->MAPSPD128->setChecked(true);
    EXPECT_EQ(main_->ScrollBox1->horizontalScrollBar()->singleStep(), 128);
}

// The grid's popup menu and its commands ------------------------------------------

QAction* menuItem(QMenu* menu, const char* name)
{
    for (QAction* action : menu->actions())
        if (action->objectName() == QLatin1String(name))
            return action;
    return nullptr;
}

TEST_F(MainWindow, GridBarItemsAndSideBand)
{
    SideBandMenu* menu = main_->GridBar;
    EXPECT_EQ(menu->caption(), QStringLiteral("Редактор"));
    QStringList items;
    for (const QAction* action : menu->actions()) {
        items << (action->isSeparator() ? QStringLiteral("|") : action->text());
        if (!action->isSeparator()) {
            EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
        }
    }
    EXPECT_EQ(items, QStringList({QStringLiteral("Добавить точку"), QStringLiteral("|"),
                                  QStringLiteral("Редактировать точку"), QStringLiteral("|"),
                                  QStringLiteral("Удалить точку")}));

    // The band is painted along the left edge, with the caption in white on it.
    const QImage image = menu->grab().toImage();
    const QRect band = menu->bandRect();
    ASSERT_GT(band.height(), 20);
    EXPECT_EQ(QColor(image.pixel(band.left() + 1, band.top() + 1)), SideBandMenu::bandColor);
    int white = 0;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            white += QColor(image.pixel(x, y)).lightness() > 200 ? 1 : 0;
    EXPECT_GT(white, 10);
    // The menu is tall enough for the whole caption.
    QFont bold = menu->font();
    bold.setBold(true);
    bold.setItalic(true);
    EXPECT_GT(menu->sizeHint().height(), QFontMetrics(bold).horizontalAdvance(menu->caption()));
    // The items start right of the band.
    EXPECT_GE(menu->actionGeometry(menu->actions().first()).left(), band.right());
}

TEST_F(MainWindow, PopupCommandsWithTheTableClosedSaySo)
{
    for (const char* item : {"N1", "N3", "N2"}) {
        SCOPED_TRACE(item);
        scripted_.clear();
        menuItem(main_->GridBar, item)->trigger();
        EXPECT_EQ(scripted_.texts(), QStringList{QStringLiteral("База Закрыта")});
        EXPECT_EQ(scripted_.shown().first().kind, ScriptedPrompts::Kind::Message);
    }
    EXPECT_FALSE(main_->pointTable().isOpen());
    EXPECT_TRUE(main_->modals.isEmpty());
}

TEST_F(MainWindow, AddPointAppendsAnUnprocessedPointAndOpensTheEditor)
{
    openTable(1);
    menuItem(main_->GridBar, "N1")->trigger();
    PointTable& table = main_->pointTable();
    EXPECT_EQ(table.state(), PointTable::State::Insert);
    EXPECT_FALSE(table.fieldByName(u"OBR").isNull());
    EXPECT_FALSE(table.fieldByName(u"OBR").asBoolean());
    EXPECT_TRUE(table.fieldByName(u"X").isNull());
    EXPECT_TRUE(table.fieldByName(u"NAME_EN").isNull());
    EXPECT_EQ(main_->modals, QStringList{QStringLiteral("Fedit")});
    EXPECT_TRUE(scripted_.shown().isEmpty());
}

TEST_F(MainWindow, EditPointPutsTheCurrentPointIntoEditState)
{
    openTable(2);
    menuItem(main_->GridBar, "N3")->trigger();
    EXPECT_EQ(main_->pointTable().state(), PointTable::State::Edit);
    EXPECT_EQ(main_->modals, QStringList{QStringLiteral("Fedit")});
}

TEST_F(MainWindow, DeletePointAsksAndDeletesOnlyOnYes)
{
    openTable(3);
    PointTable& table = main_->pointTable();

    scripted_.answer(Prompts::Button::No);
    menuItem(main_->GridBar, "N2")->trigger();
    EXPECT_EQ(table.recordCount(), 3);
    ASSERT_EQ(scripted_.shown().size(), 1);
    const Prompts::Question& question = scripted_.shown().first().question;
    EXPECT_EQ(question.text, QStringLiteral("Уверены, что хотите удалить?"));
    EXPECT_EQ(question.title, QStringLiteral("Confirm"));
    EXPECT_EQ(question.buttons,
              QList<Prompts::Button>({Prompts::Button::Yes, Prompts::Button::No}));

    scripted_.answer(Prompts::Button::Yes);
    menuItem(main_->GridBar, "N2")->trigger();
    EXPECT_EQ(table.recordCount(), 2);
    // The box closed without a button is no Yes.
    menuItem(main_->GridBar, "N2")->trigger();
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(scripted_.textsOf(ScriptedPrompts::Kind::Error), QStringList());
}

TEST_F(MainWindow, DeletingFromAnEmptyTableGoesToTheErrorBox)
{
    openTable(0);
    scripted_.answer(Prompts::Button::Yes);
    menuItem(main_->GridBar, "N2")->trigger();
    EXPECT_EQ(scripted_.textsOf(ScriptedPrompts::Kind::Error),
              QStringList{QStringLiteral("Cannot perform this operation on an empty dataset.")});
    EXPECT_TRUE(main_->pointTable().isOpen());
}

TEST_F(MainWindow, GridRightClickPopsTheMenuUp)
{
    emit main_->DBMAP->customContextMenuRequested(QPoint(10, 10));
    EXPECT_TRUE(main_->GridBar->isVisible());
    main_->GridBar->hide();
}

// Exit -------------------------------------------------------------------

TEST_F(MainWindow, ClosingTheMainWindowEndsTheEventLoop)
{
    bool timedOut = false;
    QTimer::singleShot(0, main_, [this] { main_->close(); });
    QTimer::singleShot(5000, qApp, [&timedOut] {
        timedOut = true;
        QCoreApplication::quit();
    });
    QApplication::exec();
    EXPECT_FALSE(timedOut);
    EXPECT_FALSE(main_->isVisible());
}

} // namespace
} // namespace kelvora

namespace kelvora {
namespace {

TEST_F(MainWindow, TheBaseButtonsSaveAndOpenThroughTheBaseCommands)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("points.Lorvet"));
    openTable(3);

    scripted_.chooseFile(path);
    main_->ToolButton10->click();
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(scripted_.textsOf(ScriptedPrompts::Kind::Message),
              (QStringList{QStringLiteral("База ") + path + QStringLiteral(" успешно сохранена")}));

    main_->pointTable().close();
    scripted_.chooseFile(path);
    main_->ToolButton14->click();
    EXPECT_EQ(main_->pointTable().recordCount(), 3);
    EXPECT_EQ(main_->baseCommands().baseFileName(), path);
}

} // namespace
} // namespace kelvora

// The point list and the edit window ---------------------------------------

namespace kelvora {
namespace {

QStringList namesInOrder(PointTable& table)
{
    QStringList names;
    for (table.first(); !table.eof(); table.next())
        names << table.fieldByName(u"NAME_EN").asString();
    return names;
}

TEST_F(MainWindow, TitleClicksSortByTheColumn)
{
    openTable(3);
    PointTable& table = main_->pointTable();
    const QStringList up{QStringLiteral("P0"), QStringLiteral("P1"), QStringLiteral("P2")};
    const QStringList down{QStringLiteral("P2"), QStringLiteral("P1"), QStringLiteral("P0")};
    const int name = PointListModel::ColumnName;
    main_->DBMAP->titleClick(name, false);
    EXPECT_EQ(table.sortFields(), QStringLiteral("NAME_EN"));
    EXPECT_EQ(namesInOrder(table), up);
    main_->DBMAP->titleClick(name, false);
    EXPECT_EQ(namesInOrder(table), down);
    main_->DBMAP->titleClick(name, false);
    EXPECT_EQ(namesInOrder(table), up);
    main_->DBMAP->titleClick(PointListModel::ColumnX, false);
    EXPECT_EQ(table.sortFields(), QStringLiteral("X"));
    EXPECT_EQ(namesInOrder(table), up);
    EXPECT_EQ(main_->DBMAP->marker(name), PointGrid::Marker::None);

    // Ctrl on an up marker: ascending, and the marker goes.
    main_->DBMAP->titleClick(PointListModel::ColumnX, false);
    EXPECT_EQ(namesInOrder(table), down);
    main_->DBMAP->titleClick(PointListModel::ColumnX, true);
    EXPECT_EQ(namesInOrder(table), up);
    EXPECT_EQ(main_->DBMAP->marker(PointListModel::ColumnX), PointGrid::Marker::None);
}

TEST_F(MainWindow, MarkersSurviveALoad)
{
    openTable(3);
    PointTable& table = main_->pointTable();
    main_->DBMAP->titleClick(PointListModel::ColumnX, false);
    table.close();
    openTable(3);
    EXPECT_FALSE(table.hasSortOrder());
    EXPECT_EQ(main_->DBMAP->marker(PointListModel::ColumnX), PointGrid::Marker::Down);
    main_->DBMAP->titleClick(PointListModel::ColumnX, false);
    EXPECT_EQ(namesInOrder(table),
              (QStringList{QStringLiteral("P2"), QStringLiteral("P1"), QStringLiteral("P0")}));
}

TEST_F(MainWindow, AddPointWithOkStoresAnUnprocessedPoint)
{
    openTable(1);
    main_->whileShown = [](QDialog&) {
        Fedit->BitBtn1->click();
    };
    menuItem(main_->GridBar, "N1")->trigger();
    PointTable& table = main_->pointTable();
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    ASSERT_EQ(table.recordCount(), 2);
    EXPECT_EQ(main_->DBMAP->model()->rowCount(), 2);
    EXPECT_TRUE(table.fieldByName(u"X").isNull());
    EXPECT_FALSE(table.fieldByName(u"OBR").isNull());
    EXPECT_FALSE(table.fieldByName(u"OBR").asBoolean());
}

TEST_F(MainWindow, F6EditCancelledKeepsTheOldName)
{
    openTable(2);
    main_->DBMAP->setFocus();
    main_->whileShown = [](QDialog&) {
        EXPECT_EQ(Fedit->DBEdit1->text(), QStringLiteral("P1"));
        QTest::keyClicks(Fedit->DBEdit1, QStringLiteral("changed"));
        Fedit->BitBtn2->click();
    };
    press(Qt::Key_F6);
    PointTable& table = main_->pointTable();
    EXPECT_EQ(main_->modals, QStringList{QStringLiteral("Fedit")});
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(table.fieldByName(u"NAME_EN").asString(), QStringLiteral("P1"));
}

TEST_F(MainWindow, GridDeleteKeyRunsTheDeleteCommandAndMemoShowsTheDescription)
{
    openTable(2);
    PointTable& table = main_->pointTable();
    table.edit();
    table.fieldByName(u"DESC").setAsString(QStringLiteral("first point"));
    table.post();
    EXPECT_EQ(main_->DBMemo1->toPlainText(), QStringLiteral("first point"));
    main_->DBMAP->setFocus();
    scripted_.answer(Prompts::Button::Yes);
    QTest::keyClick(main_->DBMAP, Qt::Key_Delete);
    EXPECT_EQ(scripted_.texts(), QStringList{QStringLiteral("Уверены, что хотите удалить?")});
    EXPECT_EQ(table.recordCount(), 1);
    EXPECT_EQ(main_->DBMemo1->toPlainText(), QString());
}

} // namespace
} // namespace kelvora
