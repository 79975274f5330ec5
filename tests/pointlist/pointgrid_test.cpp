#include "pointfixture.h"
#include "pointgrid.h"
#include "pointlistmodel.h"
#include "scriptedprompts.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

using testing::addPoint;
using testing::nameAt;

class Grid : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = &prompts();
        setPrompts(&scripted);
        table.open();
        addPoint(table, {5, 50, QStringLiteral("Alpha"), {}, true});
        addPoint(table, {15, 51, QStringLiteral("Mars"), {}, false});
        addPoint(table, {120, 52, QStringLiteral("moon"), {}, {}});
        addPoint(table, {1, 53, QStringLiteral("MOSCOW"), {}, true});
        addPoint(table, {7, 54, QStringLiteral("Oslo"), {}, false});
        source.attach(table);
        grid.setClock([this] { return clock; });
        table.first();
    }
    void TearDown() override { setPrompts(previous_); }

    void selectColumn(int column)
    {
        grid.setCurrentIndex(grid.model()->index(std::max(0, table.currentRow()), column));
    }

    ScriptedPrompts scripted;
    Prompts* previous_ = nullptr;
    PointTable table{QStringLiteral("PointTable")};
    DataSource source;
    PointGrid grid{source};
    std::int64_t clock = 1000;
};

TEST_F(Grid, CurrentRowFollowsTheTableBothWays)
{
    table.last();
    EXPECT_EQ(grid.currentIndex().row(), 4);
    grid.setCurrentIndex(grid.model()->index(1, 2));
    EXPECT_EQ(table.currentRow(), 1);
    table.setCurrentRow(3);
    EXPECT_EQ(grid.currentIndex().row(), 3);
    EXPECT_EQ(grid.currentIndex().column(), 2);
}

TEST_F(Grid, TypingFindsTheFirstNameStartingWithTheTextInAnyCase)
{
    selectColumn(PointListModel::ColumnName);
    QTest::keyClicks(&grid, QStringLiteral("mo"));
    EXPECT_EQ(nameAt(table), QStringLiteral("moon"));
    EXPECT_TRUE(grid.searching());
    EXPECT_EQ(grid.searchText(), QStringLiteral("mo"));
    QTest::keyClicks(&grid, QStringLiteral("S"));
    EXPECT_EQ(nameAt(table), QStringLiteral("MOSCOW"));
}

TEST_F(Grid, AnUnmatchedCharacterIsDropped)
{
    selectColumn(PointListModel::ColumnName);
    QTest::keyClicks(&grid, QStringLiteral("mx"));
    EXPECT_EQ(nameAt(table), QStringLiteral("Mars"));
    EXPECT_EQ(grid.searchText(), QStringLiteral("m"));
}

TEST_F(Grid, APauseStartsANewSearch)
{
    selectColumn(PointListModel::ColumnName);
    QTest::keyClicks(&grid, QStringLiteral("m"));
    clock += 1499;
    QTest::keyClicks(&grid, QStringLiteral("o"));
    EXPECT_EQ(nameAt(table), QStringLiteral("moon"));
    clock += 1500;
    QTest::keyClicks(&grid, QStringLiteral("o"));
    EXPECT_EQ(nameAt(table), QStringLiteral("Oslo"));
    EXPECT_EQ(grid.searchText(), QStringLiteral("o"));
}

TEST_F(Grid, SearchKeysWhileSearching)
{
    selectColumn(PointListModel::ColumnName);
    QTest::keyClicks(&grid, QStringLiteral("mo"));
    QTest::keyClick(&grid, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(nameAt(table), QStringLiteral("MOSCOW"));
    QTest::keyClick(&grid, Qt::Key_Return, Qt::ControlModifier); // none further: stays
    EXPECT_EQ(nameAt(table), QStringLiteral("MOSCOW"));
    QTest::keyClick(&grid, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(nameAt(table), QStringLiteral("moon"));
    QTest::keyClick(&grid, Qt::Key_Backspace);
    EXPECT_EQ(grid.searchText(), QStringLiteral("m"));
    EXPECT_EQ(nameAt(table), QStringLiteral("moon"));
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_FALSE(grid.searching());
    EXPECT_EQ(grid.searchText(), QString());
}

TEST_F(Grid, CtrlFSearchHasNoTimeOutAndAMoveEndsIt)
{
    selectColumn(PointListModel::ColumnName);
    QTest::keyClick(&grid, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(grid.searching());
    QTest::keyClicks(&grid, QStringLiteral("m"));
    clock += 5000;
    QTest::keyClicks(&grid, QStringLiteral("o"));
    EXPECT_EQ(nameAt(table), QStringLiteral("moon"));
    table.first();
    EXPECT_FALSE(grid.searching());
}

TEST_F(Grid, DigitSearchesTheShownNumber)
{
    selectColumn(PointListModel::ColumnX);
    QTest::keyClicks(&grid, QStringLiteral("1"));
    EXPECT_EQ(table.fieldByName(u"X").asInteger(), 15);
    QTest::keyClicks(&grid, QStringLiteral("2"));
    EXPECT_EQ(table.fieldByName(u"X").asInteger(), 120);
}

TEST_F(Grid, BlankInThePrnColumnTogglesTheFlag)
{
    table.setCurrentRow(2); // OBR empty
    selectColumn(PointListModel::ColumnPrn);
    QTest::keyClick(&grid, Qt::Key_Space);
    EXPECT_FALSE(grid.searching());
    EXPECT_EQ(table.state(), PointTable::State::Edit);
    EXPECT_TRUE(table.fieldByName(u"OBR").asBoolean());
    QTest::keyClick(&grid, Qt::Key_Space);
    EXPECT_FALSE(table.fieldByName(u"OBR").isNull());
    EXPECT_FALSE(table.fieldByName(u"OBR").asBoolean());
    QTest::keyClick(&grid, Qt::Key_Up); // leaving the row posts
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    table.setCurrentRow(2);
    EXPECT_FALSE(table.fieldByName(u"OBR").isNull());
    EXPECT_FALSE(table.fieldByName(u"OBR").asBoolean());
}

TEST_F(Grid, DownOnTheLastRowThenUpLeavesNoTrace)
{
    table.last();
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(table.state(), PointTable::State::Insert);
    EXPECT_EQ(grid.model()->rowCount(), 6);
    QTest::keyClick(&grid, Qt::Key_Down); // untouched at the end: nothing
    EXPECT_EQ(grid.model()->rowCount(), 6);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(table.visibleCount(), 5);
    EXPECT_EQ(grid.model()->rowCount(), 5);
    EXPECT_EQ(table.currentRow(), 4);
    EXPECT_EQ(grid.currentIndex().row(), 4);
}

TEST_F(Grid, NavigationKeys)
{
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(table.currentRow(), 4);
    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(table.currentRow(), 0);
    QTest::keyClick(&grid, Qt::Key_End);
    EXPECT_EQ(grid.currentIndex().column(), PointListModel::ColumnPrn);
    QTest::keyClick(&grid, Qt::Key_Tab);
    EXPECT_EQ(table.currentRow(), 1);
    EXPECT_EQ(grid.currentIndex().column(), 0);
    QTest::keyClick(&grid, Qt::Key_Backtab);
    EXPECT_EQ(table.currentRow(), 0);
    EXPECT_EQ(grid.currentIndex().column(), PointListModel::ColumnPrn);
    QTest::keyClick(&grid, Qt::Key_PageDown);
    EXPECT_GT(table.currentRow(), 0);
}

TEST_F(Grid, DeleteKeysRunTheCommandAndCtrlDeleteAsks)
{
    int commands = 0;
    grid.onDeleteKey = [&] {
        ++commands;
    };
    QTest::keyClick(&grid, Qt::Key_Delete);
    EXPECT_EQ(commands, 1);
    EXPECT_EQ(table.visibleCount(), 5);

    scripted.answer(Prompts::Button::Cancel);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(commands, 2);
    EXPECT_EQ(table.visibleCount(), 5);
    ASSERT_EQ(scripted.textsOf(ScriptedPrompts::Kind::Question),
              QStringList{QStringLiteral("Delete record?")});
    EXPECT_EQ(scripted.shown().last().question.buttons,
              (QList<Prompts::Button>{Prompts::Button::Ok, Prompts::Button::Cancel}));

    scripted.answer(Prompts::Button::Ok);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table.visibleCount(), 4);
}

TEST_F(Grid, TitleClicksAdvanceTheMarkers)
{
    QList<std::pair<int, PointGrid::Marker>> seen;
    grid.onTitleClick = [&](int column) {
        seen.append({column, grid.marker(column)});
    };
    using M = PointGrid::Marker;
    const int name = PointListModel::ColumnName;
    grid.titleClick(name, false);
    EXPECT_EQ(grid.marker(name), M::Down);
    grid.titleClick(name, false);
    EXPECT_EQ(grid.marker(name), M::Up);
    grid.titleClick(name, false);
    EXPECT_EQ(grid.marker(name), M::Down);
    grid.titleClick(0, false);
    EXPECT_EQ(grid.marker(0), M::Down);
    EXPECT_EQ(grid.marker(name), M::None);
    EXPECT_EQ(seen, (QList<std::pair<int, M>>{
                        {name, M::None}, {name, M::Down}, {name, M::Up}, {0, M::None}}));

    grid.titleClick(0, true);
    EXPECT_EQ(grid.marker(0), M::Up);
    grid.titleClick(0, true);
    EXPECT_EQ(grid.marker(0), M::None);
}

TEST_F(Grid, ColumnsFitTheWidthAsTheGridWidens)
{
    grid.show();
    for (const int width : {300, 600, 1200}) {
        grid.resize(width, 200);
        QCoreApplication::processEvents();
        const int space = grid.viewport()->width() - 6;
        std::vector<int> widths;
        for (int column = 0; column < 5; ++column)
            widths.push_back(grid.columnWidth(column) - 1);
        EXPECT_EQ(widths, fitColumnWidths(PointGrid::columnLimits, space)) << width;
        if (width >= 600) {
            EXPECT_EQ(widths[0], 40);
            EXPECT_EQ(widths[1], 40);
            EXPECT_EQ(widths[4], 29);
            EXPECT_NEAR(double(widths[2]) / widths[3], 75.0 / 92.0, 0.01);
        }
    }
    EXPECT_EQ(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(Grid, DoubleClickSendsTheCurrentPoint)
{
    grid.show();
    grid.resize(400, 300);
    QCoreApplication::processEvents();
    std::pair<int, int> got{-1, -1};
    grid.onDoubleClick = [&](int x, int y) {
        got = {x, y};
    };
    const QRect cell = grid.visualRect(grid.model()->index(1, 2));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(got, (std::pair{15, 51}));
}

TEST_F(Grid, ClickInThePrnCellTogglesTheFlag)
{
    grid.show();
    grid.resize(400, 300);
    QCoreApplication::processEvents();
    const QRect cell = grid.visualRect(grid.model()->index(0, PointListModel::ColumnPrn));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(table.currentRow(), 0);
    EXPECT_EQ(table.state(), PointTable::State::Edit);
    EXPECT_FALSE(table.fieldByName(u"OBR").asBoolean());
}

TEST_F(Grid, ClosedTableShowsNothingAndOnlyDeleteActs)
{
    int commands = 0;
    grid.onDeleteKey = [&] {
        ++commands;
    };
    table.close();
    EXPECT_EQ(grid.model()->rowCount(), 0);
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClicks(&grid, QStringLiteral("m"));
    EXPECT_FALSE(grid.searching());
    QTest::keyClick(&grid, Qt::Key_Delete);
    EXPECT_EQ(commands, 1);
}

TEST_F(Grid, InPlaceEditWritesOnEnterAndPostsOnLeavingTheRow)
{
    grid.show();
    grid.resize(400, 300);
    grid.setFocus();
    selectColumn(PointListModel::ColumnName);
    QTest::keyClick(&grid, Qt::Key_F2);
    auto* editor = grid.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Athens"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor commits by a queued call
    EXPECT_EQ(table.state(), PointTable::State::Edit);
    EXPECT_EQ(nameAt(table), QStringLiteral("Athens"));
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(table.currentRow(), 1);
    table.first();
    EXPECT_EQ(nameAt(table), QStringLiteral("Athens"));
}

TEST_F(Grid, EscapeCancelsTheRecordsEdit)
{
    table.edit();
    table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("typed"));
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(nameAt(table), QStringLiteral("Alpha"));
}

TEST_F(Grid, AFailedPostIsShownAndTheRecordStaysInEdit)
{
    table.close();
    std::vector<FieldDef> fields = pointFields();
    fields[0].required = true;
    table.setFields(fields);
    table.open();
    addPoint(table, {1, 1, QStringLiteral("a"), {}, {}});
    addPoint(table, {2, 2, QStringLiteral("b"), {}, {}});
    table.first();
    table.edit();
    table.fieldByName(u"X").clear();
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(scripted.textsOf(ScriptedPrompts::Kind::Error),
              QStringList{QStringLiteral("Field 'X' must have a value.")});
    EXPECT_EQ(table.state(), PointTable::State::Edit);
    EXPECT_EQ(grid.currentIndex().row(), 0);
}

TEST_F(Grid, TheSearchTextIsPaintedBlackOnYellowOverTheCell)
{
    grid.show();
    grid.resize(400, 300);
    selectColumn(PointListModel::ColumnName);
    const auto yellowIn = [&] {
        const QImage image = grid.viewport()->grab().toImage();
        const QRect cell = grid.visualRect(grid.currentIndex());
        int count = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                count += image.pixelColor(x, y) == QColor(Qt::yellow);
        return count;
    };
    EXPECT_EQ(yellowIn(), 0);
    QTest::keyClicks(&grid, QStringLiteral("mo"));
    EXPECT_GT(yellowIn(), 0);
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_EQ(yellowIn(), 0);
}

TEST_F(Grid, ShiftInsertAddsTheClipboardToTheSearch)
{
    selectColumn(PointListModel::ColumnName);
    QApplication::clipboard()->setText(QStringLiteral("os"));
    QTest::keyClicks(&grid, QStringLiteral("m"));
    QTest::keyClick(&grid, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(grid.searchText(), QStringLiteral("mos"));
    EXPECT_EQ(nameAt(table), QStringLiteral("MOSCOW"));
}

} // namespace
} // namespace kelvora
