#include "pointfixture.h"
#include "pointlistmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

using testing::addPoint;

class PointModel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table.open();
        source.attach(table);
    }

    QVariant cell(int row, int column, int role = Qt::DisplayRole) const
    {
        return model.data(model.index(row, column), role);
    }

    PointTable table{QStringLiteral("PointTable")};
    DataSource source;
    PointListModel model{source};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(PointModel, ShowsColumnsAsTheTableHoldsThem)
{
    addPoint(table, {12, -3, QStringLiteral("Moscow"), QStringLiteral("Москва"), true});
    addPoint(table, {{}, {}, {}, {}, false});
    addPoint(table, {1, 2, QStringLiteral("a"), {}, {}});

    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("NAME"));
    EXPECT_EQ(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("PRN"));
    EXPECT_EQ(cell(0, 0).toString(), QStringLiteral("12"));
    EXPECT_EQ(cell(0, 1).toString(), QStringLiteral("-3"));
    EXPECT_EQ(cell(0, 3).toString(), QStringLiteral("Москва"));
    EXPECT_EQ(cell(0, 0, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight,
              Qt::AlignRight);
    EXPECT_FALSE(cell(0, 2, Qt::TextAlignmentRole).isValid());
    EXPECT_EQ(cell(1, 0).toString(), QString());
    EXPECT_EQ(cell(0, 4, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    EXPECT_EQ(cell(1, 4, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    EXPECT_EQ(cell(2, 4, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::PartiallyChecked);
    EXPECT_EQ(cell(0, 4, PointListModel::SearchTextRole).toString(), QStringLiteral("True"));
    EXPECT_EQ(cell(2, 4, PointListModel::SearchTextRole).toString(), QString());
}

TEST_F(PointModel, InsertIsAnExtraRowUntilPostedOrCancelled)
{
    addPoint(table, {1, 1, QStringLiteral("a"), {}, {}});
    table.append();
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.currentDisplayRow(), 1);
    EXPECT_EQ(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("*"));
    table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("new"));
    EXPECT_EQ(cell(1, 2).toString(), QStringLiteral("new"));
    EXPECT_TRUE(model.recordModified());
    table.post();
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(cell(1, 2).toString(), QStringLiteral("new"));
    EXPECT_EQ(model.currentDisplayRow(), 1);

    table.append();
    EXPECT_EQ(model.rowCount(), 3);
    table.cancel();
    EXPECT_EQ(model.rowCount(), 2);
}

TEST_F(PointModel, EditShowsTheChangedValueAndCancelRestoresIt)
{
    addPoint(table, {1, 1, QStringLiteral("old"), {}, {}});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    table.edit();
    EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("I"));
    table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("typed"));
    EXPECT_EQ(cell(0, 2).toString(), QStringLiteral("typed"));
    EXPECT_FALSE(changed.isEmpty());
    table.cancel();
    EXPECT_EQ(cell(0, 2).toString(), QStringLiteral("old"));
}

TEST_F(PointModel, SetDataEditsTheRecordOfTheRow)
{
    addPoint(table, {1, 1, QStringLiteral("a"), {}, {}});
    addPoint(table, {2, 2, QStringLiteral("b"), {}, {}});
    table.first();
    EXPECT_TRUE(model.setData(model.index(1, 0), QStringLiteral("77")));
    EXPECT_EQ(table.state(), PointTable::State::Edit);
    EXPECT_EQ(table.currentRow(), 1);
    table.post();
    EXPECT_EQ(cell(1, 0).toString(), QStringLiteral("77"));
}

TEST_F(PointModel, DeleteResetAndDetachKeepTheModelConsistent)
{
    for (int i = 0; i < 5; ++i)
        addPoint(table, {i, i, QString::number(i), {}, {}});
    table.setCurrentRow(2);
    table.deleteRecord();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(cell(2, 0).toString(), QStringLiteral("3"));
    QSignalSpy current(&model, &PointListModel::currentRowChanged);
    table.last();
    ASSERT_FALSE(current.isEmpty());
    EXPECT_EQ(current.last().at(0).toInt(), 3);

    source.detach();
    EXPECT_EQ(model.rowCount(), 0);
    table.append(); // a detached model does not follow
    table.cancel();
    source.attach(table);
    EXPECT_EQ(model.rowCount(), 4);

    table.close();
    EXPECT_EQ(model.rowCount(), 0);
    table.open();
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
} // namespace kelvora
