#include "basecommands.h"
#include "basefile.h"
#include "forms.h"
#include "scriptedprompts.h"
#include "tfedit.h"
#include "tfmain.h"
#include "tfsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

// The main window with the edit window answered by the test: OK posts the
// record (after giving it a name), Cancel drops it.
class ScriptedMain : public TFmain
{
public:
    void showModal(QDialog& dialog) override
    {
        modals << dialog.objectName();
        if (Fedit && &dialog == static_cast<QDialog*>(Fedit)) {
            if (editOk) {
                pointTable().fieldByName(u"NAME_EN").setAsString(QStringLiteral("New"));
                pointTable().post();
            } else {
                pointTable().cancel();
            }
        }
    }

    bool editOk = true;
    QStringList modals;
};

class MapWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = &prompts();
        setPrompts(&scripted_);
        forms_ = std::make_unique<Forms>([this] {
            auto main = std::make_unique<ScriptedMain>();
            main_ = main.get();
            return main;
        });
        main_->show();
        ASSERT_TRUE(dir_.isValid());
        Fsettings->BASEOPENWITHIMG()->setChecked(true);
        Fsettings->BASEPATHISPICT()->setChecked(true);
        Fsettings->MAPREFRESH()->setChecked(false);
    }

    void TearDown() override
    {
        forms_.reset();
        setPrompts(previous_);
    }

    QString writePicture(const QString& name, QSize size)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(20, 120, 40));
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }

    // Opens a picture through the tool bar command.
    void openPicture(QSize size, const QString& name = QStringLiteral("map.bmp"))
    {
        scripted_.chooseFile(writePicture(name, size));
        main_->ToolButton1Click();
        ASSERT_EQ(main_->IMGMAP->pictureSize(), size);
    }

    void addPoints(int count)
    {
        PointTable& table = main_->pointTable();
        for (int i = 0; i < count; ++i) {
            table.append();
            table.fieldByName(u"X").setAsInteger(i);
            table.fieldByName(u"Y").setAsInteger(10 * i);
            table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("P%1").arg(i));
            table.post();
        }
        table.first();
    }

    QPoint scroll() const
    {
        return {main_->ScrollBox1->horizontalScrollBar()->value(),
                main_->ScrollBox1->verticalScrollBar()->value()};
    }
    QPoint maximum() const
    {
        return {main_->ScrollBox1->horizontalScrollBar()->maximum(),
                main_->ScrollBox1->verticalScrollBar()->maximum()};
    }
    void setScroll(QPoint at)
    {
        main_->ScrollBox1->horizontalScrollBar()->setValue(at.x());
        main_->ScrollBox1->verticalScrollBar()->setValue(at.y());
    }

    void rightPress(QPoint at)
    {
        QTest::mousePress(main_->IMGMAP, Qt::RightButton, Qt::NoModifier, at);
        QTest::mouseRelease(main_->IMGMAP, Qt::RightButton, Qt::NoModifier, at);
    }

    QStringList messages() const
    {
        QStringList texts;
        for (const auto& shown : scripted_.shown())
            if (shown.kind == ScriptedPrompts::Kind::Message)
                texts << shown.text;
        return texts;
    }

    ScriptedPrompts scripted_;
    Prompts* previous_ = nullptr;
    std::unique_ptr<Forms> forms_;
    ScriptedMain* main_ = nullptr;
    QTemporaryDir dir_;
};

TEST_F(MapWindow, OpeningAPictureOpensTheBaseOfTheSameName)
{
    // A base beside the picture with one point in it.
    {
        PointTable source(QStringLiteral("source"));
        source.open();
        source.append();
        source.fieldByName(u"X").setAsInteger(7);
        source.fieldByName(u"NAME_EN").setAsString(QStringLiteral("Saved"));
        source.post();
        saveToFile(source, dir_.filePath(QStringLiteral("a.Lorvet")), BaseFileFormat());
    }
    openPicture(QSize(120, 90), QStringLiteral("a.bmp.bmp"));
    ASSERT_FALSE(scripted_.shown().isEmpty());
    EXPECT_EQ(scripted_.shown().first().file.filter.left(5), QStringLiteral("All ("));
    EXPECT_EQ(main_->Label3->text(), QStringLiteral("120 x 90"));
    EXPECT_TRUE(main_->ToolButton3->isChecked());
    EXPECT_EQ(main_->IMGMAP->size(), QSize(120, 90));
    EXPECT_EQ(main_->baseCommands().baseFileName(), dir_.filePath(QStringLiteral("a.Lorvet")));
    ASSERT_TRUE(main_->pointTable().isOpen());
    EXPECT_EQ(main_->pointTable().recordCount(), 1);
    EXPECT_EQ(main_->pointTable().fieldByName(u"NAME_EN").asString(), QStringLiteral("Saved"));

    // No base of that name: an empty open table, the path kept for a save.
    openPicture(QSize(40, 30), QStringLiteral("other.bmp"));
    EXPECT_EQ(main_->baseCommands().baseFileName(), dir_.filePath(QStringLiteral("other.Lorvet")));
    EXPECT_TRUE(main_->pointTable().isOpen());
    EXPECT_EQ(main_->pointTable().recordCount(), 0);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(MapWindow, AnUndecodablePictureClosesTheTableAndKeepsTheOldPicture)
{
    openPicture(QSize(60, 50));
    main_->pointTable().open();
    QFile text(dir_.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    scripted_.chooseFile(text.fileName());
    main_->ToolButton1Click();
    EXPECT_EQ(main_->IMGMAP->pictureSize(), QSize(60, 50));
    EXPECT_FALSE(main_->pointTable().isOpen());
    EXPECT_TRUE(main_->baseCommands().baseFileName().isEmpty());
    EXPECT_TRUE(messages().isEmpty());

    // A cancelled dialog changes nothing.
    main_->pointTable().open();
    main_->ToolButton1Click();
    EXPECT_TRUE(main_->pointTable().isOpen());
}

TEST_F(MapWindow, ZoomCommandsResizeThePictureAndHideTheMarker)
{
    openPicture(QSize(101, 103));
    main_->ToolButton2Click();
    EXPECT_EQ(main_->IMGMAP->size(), QSize(50, 52));
    EXPECT_EQ(main_->mapContent->size(), QSize(50, 52));
    main_->ToolButton4Click();
    EXPECT_EQ(main_->IMGMAP->size(), QSize(76, 77));
    main_->GoToPoint(10, 10);
    EXPECT_TRUE(main_->TARGET->isVisible());
    main_->ToolButton3Click();
    EXPECT_EQ(main_->IMGMAP->size(), QSize(101, 103));
    EXPECT_FALSE(main_->TARGET->isVisible());
    EXPECT_FALSE(main_->TARGET->isRunning());

    // Fit fills the area's outer height less 4 for a tall picture.
    openPicture(QSize(100, 5000));
    main_->ToolButton5Click();
    const int height = main_->ScrollBox1->height() - 4;
    EXPECT_EQ(main_->IMGMAP->height(), height);
    EXPECT_EQ(main_->IMGMAP->width(), qRound(100.0 * height / 5000));
}

TEST_F(MapWindow, LeftDragPansByTheDraggedDistanceWithinTheRange)
{
    openPicture(QSize(3000, 3000));
    setScroll({1000, 1000});
    QTest::mousePress(main_->IMGMAP, Qt::LeftButton, Qt::NoModifier, QPoint(1100, 1100));
    EXPECT_EQ(scroll(), QPoint(1000, 1000)); // nothing moves while held
    QTest::mouseRelease(main_->IMGMAP, Qt::LeftButton, Qt::NoModifier, QPoint(1130, 1080));
    EXPECT_EQ(scroll(), QPoint(970, 1020));

    setScroll({10, maximum().y() - 5});
    QTest::mousePress(main_->IMGMAP, Qt::LeftButton, Qt::NoModifier, QPoint(1100, 1100));
    QTest::mouseRelease(main_->IMGMAP, Qt::LeftButton, Qt::NoModifier, QPoint(1130, 1080));
    EXPECT_EQ(scroll(), QPoint(0, maximum().y()));
}

TEST_F(MapWindow, KeypadStepUsesTheSpeedButtonsIncrement)
{
    openPicture(QSize(100, 100));
    const QSize client = main_->ScrollBox1->viewport()->size();
    main_->IMGMAP->resize(client.width() + 150, client.height() + 150);
    main_->mapContent->resize(main_->IMGMAP->size());
    main_->MAPSPD128->setChecked(true);
    ASSERT_EQ(maximum().x(), main_->mapContent->width() - main_->ScrollBox1->viewport()->width());
    setScroll({100, 0});
    main_->FormKeyDown(Qt::Key_6, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(scroll().x(), std::min(228, maximum().x()));
}

TEST_F(MapWindow, DoubleClickAtHalfGoesToTheSpotAtFullSizeWithoutPanning)
{
    openPicture(QSize(2000, 1500));
    main_->ToolButton2->setChecked(true);
    main_->ToolButton2Click();
    ASSERT_EQ(main_->IMGMAP->size(), QSize(1000, 750));
    setScroll({0, 0});

    QWidget* map = main_->IMGMAP;
    QTest::mousePress(map, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    QTest::mouseRelease(map, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    EXPECT_EQ(main_->Label4->text(), QStringLiteral("600 x 400"));
    // The second press of the pair arrives as a double click.
    QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(302, 201),
                       map->mapToGlobal(QPointF(302, 201)), Qt::LeftButton, Qt::LeftButton,
                       Qt::NoModifier);
    QApplication::sendEvent(map, &second);
    EXPECT_TRUE(main_->MapDblClicked);
    EXPECT_TRUE(main_->ToolButton3->isChecked());
    EXPECT_EQ(main_->IMGMAP->size(), QSize(2000, 1500));
    EXPECT_EQ(main_->Label4->text(), QStringLiteral("600 x 400"));
    const QSize client = main_->ScrollBox1->viewport()->size();
    const QPoint centred(std::clamp(qRound(600 - client.width() / 2.0), 0, maximum().x()),
                         std::clamp(qRound(400 - client.height() / 2.0), 0, maximum().y()));
    EXPECT_EQ(scroll(), centred);
    EXPECT_TRUE(main_->TARGET->isVisible());
    // The marker stands over the image point, which is at full size now.
    EXPECT_NEAR(main_->TARGET->geometry().center().x(), 600, 1);
    EXPECT_NEAR(main_->TARGET->geometry().center().y(), 400, 1);

    QTest::mouseRelease(map, Qt::LeftButton, Qt::NoModifier, QPoint(350, 260));
    EXPECT_EQ(scroll(), centred);
    EXPECT_FALSE(main_->MapDblClicked);
}

TEST_F(MapWindow, RightPressInSearchModeFiltersAroundTheSpot)
{
    openPicture(QSize(1000, 800));
    main_->ToolButton2Click();
    addPoints(5);
    main_->TrackBar1->setValue(10);
    rightPress({50, 20});
    EXPECT_EQ(main_->Label4->text(), QStringLiteral("100 x 40"));
    EXPECT_EQ(main_->pointTable().filter(), QStringLiteral("(X-100)*(X-100)+(Y-40)*(Y-40)<=100"));
    EXPECT_TRUE(main_->pointTable().filtered());
    EXPECT_EQ(main_->pointTable().recordCount(), 0);

    // The filter stays for the next base until cleared; the points added
    // above are dropped.
    scripted_.answer(Prompts::Button::No);
    openPicture(QSize(1000, 800), QStringLiteral("next.bmp"));
    EXPECT_TRUE(main_->pointTable().filtered());
    main_->MAPSEARCHREFRESHClick();
    EXPECT_FALSE(main_->pointTable().filtered());
    EXPECT_TRUE(main_->pointTable().filter().isEmpty());

    // A middle press only updates the label.
    QTest::mousePress(main_->IMGMAP, Qt::MiddleButton, Qt::NoModifier, QPoint(7, 9));
    QTest::mouseRelease(main_->IMGMAP, Qt::MiddleButton, Qt::NoModifier, QPoint(7, 9));
    EXPECT_EQ(main_->Label4->text(), QStringLiteral("7 x 9"));
    EXPECT_FALSE(main_->pointTable().filtered());
}

struct AddCase
{
    const char* what;
    Prompts::Button answer;
    bool editOk;
    int records;
    const char* currentName;
};

class MapAdd : public MapWindow, public ::testing::WithParamInterface<AddCase>
{
};

TEST_P(MapAdd, AddModeAsksAddsAndReturnsToTheWholeList)
{
    const AddCase& c = GetParam();
    openPicture(QSize(1000, 800));
    addPoints(5);
    main_->MAPSEARCHEDIT->setChecked(true);
    main_->TrackBar1->setValue(10);
    main_->editOk = c.editOk;
    scripted_.answer(c.answer);
    rightPress({3, 30}); // point P3 lies there

    ASSERT_FALSE(scripted_.shown().isEmpty());
    const auto& asked = scripted_.shown().last();
    EXPECT_EQ(asked.kind, ScriptedPrompts::Kind::Question);
    EXPECT_EQ(asked.question.text, QStringLiteral("Хотите добавить в базу точку 3 x 30?"));
    PointTable& table = main_->pointTable();
    EXPECT_FALSE(table.filtered());
    EXPECT_TRUE(table.filter().isEmpty());
    EXPECT_EQ(table.recordCount(), c.records);
    EXPECT_EQ(table.fieldByName(u"NAME_EN").asString(), QString::fromUtf8(c.currentName));
    EXPECT_EQ(table.fieldByName(u"X").asInteger(), 3);
    EXPECT_EQ(table.fieldByName(u"Y").asInteger(), 30);
    if (c.records == 6) {
        EXPECT_FALSE(table.fieldByName(u"OBR").asBoolean());
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, MapAdd,
                         ::testing::Values(AddCase{"YesOk", Prompts::Button::Yes, true, 6, "New"},
                                           AddCase{"YesCancel", Prompts::Button::Yes, false, 5,
                                                   "P3"},
                                           AddCase{"No", Prompts::Button::No, true, 5, "P3"}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(MapWindow, AddModeRefusesAClosedTable)
{
    openPicture(QSize(100, 100));
    main_->pointTable().close();
    main_->MAPSEARCHEDIT->setChecked(true);
    rightPress({5, 5});
    EXPECT_EQ(messages(), QStringList{QStringLiteral("База Закрыта")});
    EXPECT_TRUE(main_->pointTable().filtered());
}

TEST_F(MapWindow, GoToPointWithoutAPictureFails)
{
    main_->GoToPoint(10, 10);
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Поиск не удаля!")});
    EXPECT_FALSE(main_->TARGET->isVisible());
}

TEST_F(MapWindow, MarkerBlinksFiveTimesAndHidesAtTheNinthChange)
{
    openPicture(QSize(400, 300));
    main_->GoToPoint(100, 100);
    TargetMarker* marker = main_->TARGET;
    ASSERT_TRUE(marker->isVisible());
    ASSERT_TRUE(marker->isRunning());
    EXPECT_EQ(main_->BlinkCount, 0);
    EXPECT_EQ(marker->pos(), QPoint(75, 75)); // a small picture: no scrolling
    QList<int> frames;
    for (int tick = 0; tick < 8; ++tick) {
        marker->tick();
        frames << marker->frame();
        ASSERT_TRUE(marker->isVisible()) << tick;
    }
    EXPECT_EQ(frames, (QList<int>{1, 0, 1, 0, 1, 0, 1, 0}));
    marker->tick();
    EXPECT_FALSE(marker->isVisible());
    EXPECT_FALSE(marker->isRunning());
    EXPECT_EQ(marker->frame(), 0);
    EXPECT_GE(main_->BlinkCount, 9);

    // The real timer does the same within about a second.
    main_->GoToPoint(200, 150);
    EXPECT_TRUE(marker->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !marker->isVisible(); }, 5000));
    EXPECT_FALSE(marker->isRunning());
}

TEST(TargetMarkerStrip, ReticleOnBlueWithABlankSecondFrame)
{
    const QImage strip = TargetMarker::frameStrip();
    ASSERT_EQ(strip.size(), QSize(100, 50));
    const QRgb blue = qRgb(0, 0, 255);
    EXPECT_EQ(strip.pixel(0, 49), blue);
    EXPECT_EQ(strip.pixel(11, 30), qRgb(0, 0, 0)); // outer ring
    EXPECT_EQ(qRed(strip.pixel(25, 25)), 255);     // the diamond
    bool blank = true;
    for (int y = 0; y < 50; ++y)
        for (int x = 50; x < 100; ++x)
            blank = blank && strip.pixel(x, y) == blue;
    EXPECT_TRUE(blank);
}

} // namespace
} // namespace kelvora
