#include "failure.h"
#include "pointtable.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

namespace kelvora {
namespace {

// Expects `action` to fail with exactly `message`.
void expectFailure(const std::function<void()>& action, const QString& message)
{
    try {
        action();
        ADD_FAILURE() << "no failure, expected: " << message.toStdString();
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.message(), message);
    }
}

const QString closedMessage = QStringLiteral("Cannot perform this operation on a closed dataset");

class PointTableTest : public ::testing::Test
{
protected:
    void addPoint(int x, int y, const QString& name = QString())
    {
        table.append();
        table.fieldByName(u"X").setAsInteger(x);
        table.fieldByName(u"Y").setAsInteger(y);
        if (!name.isNull())
            table.fieldByName(u"NAME_EN").setAsString(name);
        table.post();
    }
    void openWithPoints(int count)
    {
        table.open();
        for (int i = 1; i <= count; ++i)
            addPoint(i, i * 10, QStringLiteral("P%1").arg(i));
    }
    int currentX() { return table.fieldByName(u"X").asInteger(); }
    // X of every visible record in the current order.
    std::vector<int> visibleX()
    {
        std::vector<int> xs;
        const int field = table.fieldIndex(u"X");
        for (int row = 0; row < table.visibleCount(); ++row)
            xs.push_back(table.store().integer(field, table.slotAtRow(row)));
        return xs;
    }

    PointTable table{QStringLiteral("PointTable")};
};

TEST_F(PointTableTest, StartsClosedWithTheSixPointFields)
{
    EXPECT_EQ(table.state(), PointTable::State::Closed);
    ASSERT_EQ(table.fieldCount(), 6);
    const char16_t* names[] = {u"X", u"Y", u"NAME_EN", u"NAME_RUS", u"DESC", u"OBR"};
    const FieldType types[] = {FieldType::Integer, FieldType::Integer, FieldType::String,
                               FieldType::String,  FieldType::Memo,    FieldType::Boolean};
    const int widths[] = {10, 10, 255, 255, 10, 5};
    for (int i = 0; i < 6; ++i) {
        const FieldDef& def = table.fields()[std::size_t(i)];
        EXPECT_EQ(def.name, QString::fromUtf16(names[i]));
        EXPECT_EQ(def.type, types[i]);
        EXPECT_EQ(def.effectiveDisplayWidth(), widths[i]);
        EXPECT_EQ(def.displayName(), def.name);
    }
    EXPECT_EQ(table.fields()[2].size, 255);
    EXPECT_EQ(table.localeId(), 1024);
}

TEST_F(PointTableTest, OpenedWithoutALoadIsEmptyAndAtEndAfterFirst)
{
    table.open();
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    table.first();
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(table.recordCount(), 0);
    EXPECT_TRUE(table.fieldByName(u"X").isNull());
}

TEST_F(PointTableTest, ClosedTableRefusesRecordOperations)
{
    const std::vector<std::function<void()>> closedOnly = {
        [&] { table.append(); }, [&] { table.edit(); },        [&] { table.deleteRecord(); },
        [&] { table.first(); },  [&] { table.next(); },        [&] { table.recordCount(); },
    };
    for (const auto& action : closedOnly)
        expectFailure(action, closedMessage);
    expectFailure([&] { table.post(); }, QStringLiteral("Dataset not in edit or insert mode"));

    // These work as on an open table, and a field reads null and takes no writes.
    table.cancel();
    table.close();
    table.empty();
    Field x = table.fieldByName(u"x");
    x.setAsInteger(5);
    EXPECT_TRUE(x.isNull());
    EXPECT_EQ(x.asInteger(), 0);
    EXPECT_EQ(table.fieldByName(u"NAME_EN").asString(), QString());
    EXPECT_FALSE(table.fieldByName(u"OBR").asBoolean());
    EXPECT_EQ(table.state(), PointTable::State::Closed);
}

TEST_F(PointTableTest, LooksFieldsUpWithoutRegardToCase)
{
    EXPECT_EQ(table.fieldByName(u"name_en").name(), QStringLiteral("NAME_EN"));
    EXPECT_EQ(table.fieldByName(u"Obr").index(), 5);
    expectFailure([&] { table.fieldByName(u"NAME"); }, QStringLiteral("Field 'NAME' not found"));
}

TEST_F(PointTableTest, PostedAppendIsLastAndCurrent)
{
    openWithPoints(3);
    addPoint(40, 400);
    EXPECT_EQ(visibleX(), (std::vector<int>{1, 2, 3, 40}));
    EXPECT_EQ(currentX(), 40);
    EXPECT_EQ(table.currentRow(), 3);
    EXPECT_EQ(table.recordCount(), 4);
}

TEST_F(PointTableTest, CancelledAppendMakesTheLastRecordCurrent)
{
    openWithPoints(10);
    table.first();
    table.next();
    table.next();
    ASSERT_EQ(currentX(), 3);
    table.append();
    EXPECT_EQ(table.state(), PointTable::State::Insert);
    EXPECT_TRUE(table.fieldByName(u"X").isNull());
    table.cancel();
    EXPECT_EQ(currentX(), 10);
    EXPECT_EQ(table.recordCount(), 10);
}

TEST_F(PointTableTest, CancelledEditKeepsTheStoredValuesAndTheRecord)
{
    openWithPoints(3);
    table.first();
    table.next();
    table.edit();
    table.fieldByName(u"X").setAsInteger(99);
    EXPECT_EQ(currentX(), 99);
    table.cancel();
    EXPECT_EQ(currentX(), 2);
    EXPECT_EQ(table.currentRow(), 1);
}

TEST_F(PointTableTest, EditWithNoVisibleRecordStartsANewOne)
{
    table.open();
    table.edit();
    EXPECT_EQ(table.state(), PointTable::State::Insert);
    table.fieldByName(u"X").setAsInteger(7);
    table.post();
    EXPECT_EQ(visibleX(), (std::vector<int>{7}));
    EXPECT_EQ(currentX(), 7);
}

TEST_F(PointTableTest, EditOfAStoredRecordIsHeldApartUntilPost)
{
    openWithPoints(2);
    table.first();
    table.edit();
    table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("Москва"));
    const int nameField = table.fieldIndex(u"NAME_EN");
    EXPECT_EQ(table.store().text(nameField, table.slotAtRow(0)), QStringLiteral("P1"));
    table.post();
    EXPECT_EQ(table.store().text(nameField, table.slotAtRow(0)), QStringLiteral("Москва"));
    EXPECT_EQ(table.currentRow(), 0);
}

TEST_F(PointTableTest, DeleteMakesTheFollowingOrNewLastRecordCurrent)
{
    openWithPoints(3);
    table.first();
    table.deleteRecord();
    EXPECT_EQ(currentX(), 2);
    table.last();
    table.deleteRecord();
    EXPECT_EQ(currentX(), 2);
    table.deleteRecord();
    EXPECT_EQ(table.currentRow(), -1);
    table.first();
    EXPECT_TRUE(table.eof());
    expectFailure([&] { table.deleteRecord(); },
                  QStringLiteral("Cannot perform this operation on an empty dataset"));
}

TEST_F(PointTableTest, DeleteInInsertStateCancelsTheNewRecord)
{
    openWithPoints(2);
    table.append();
    table.deleteRecord();
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(table.recordCount(), 2);
}

TEST_F(PointTableTest, TextWritesFollowTheStringAndMemoRules)
{
    table.open();
    table.append();
    table.fieldByName(u"NAME_EN").setAsString(QString());
    table.fieldByName(u"DESC").setAsString(QString());
    table.fieldByName(u"NAME_RUS").setAsString(QString(300, QChar(u'ж')));
    table.fieldByName(u"OBR").setAsBoolean(true);
    table.post();
    EXPECT_FALSE(table.fieldByName(u"NAME_EN").isNull());
    EXPECT_TRUE(table.fieldByName(u"DESC").isNull());
    EXPECT_EQ(table.fieldByName(u"NAME_RUS").asString(), QString(255, QChar(u'ж')));
    EXPECT_EQ(table.fieldByName(u"OBR").asString(), QStringLiteral("True"));
    table.edit();
    table.fieldByName(u"DESC").setAsString(QStringLiteral("river bank"));
    table.fieldByName(u"X").setAsInteger(-12);
    table.post();
    EXPECT_EQ(table.fieldByName(u"DESC").asString(), QStringLiteral("river bank"));
    EXPECT_EQ(table.fieldByName(u"X").asString(), QStringLiteral("-12"));
    table.edit();
    table.fieldByName(u"DESC").clear();
    table.post();
    EXPECT_TRUE(table.fieldByName(u"DESC").isNull());
}

TEST_F(PointTableTest, WritesOutsideEditAndToReadOnlyFieldsFail)
{
    openWithPoints(1);
    expectFailure([&] { table.fieldByName(u"X").setAsInteger(3); },
                  QStringLiteral("Dataset is not in edit mode."));
    expectFailure([&] { table.post(); }, QStringLiteral("Dataset not in edit or insert mode"));

    std::vector<FieldDef> fields = pointFields();
    fields[0].readOnly = true;
    fields[1].required = true;
    fields[1].displayLabel = QStringLiteral("Ордината");
    PointTable custom(QStringLiteral("Custom"));
    custom.setFields(fields);
    custom.open();
    custom.append();
    expectFailure([&] { custom.fieldByName(u"X").setAsInteger(3); },
                  QStringLiteral("Field X is read only"));
    expectFailure([&] { custom.post(); }, QStringLiteral("Field 'Ордината' must have a value"));
    EXPECT_EQ(custom.state(), PointTable::State::Insert);
    custom.fieldByName(u"Y").setAsInteger(1);
    custom.post();
    EXPECT_EQ(custom.recordCount(), 1);
}

TEST_F(PointTableTest, DefaultExpressionsFillNewRecords)
{
    std::vector<FieldDef> fields = pointFields();
    fields[5].defaultExpression = QStringLiteral("True");
    fields[3].defaultExpression = QStringLiteral("Без имени");
    table.setFields(fields);
    table.open();
    table.append();
    EXPECT_TRUE(table.fieldByName(u"OBR").asBoolean());
    EXPECT_EQ(table.fieldByName(u"NAME_RUS").asString(), QStringLiteral("Без имени"));
    // Defaults alone are no change: settling a pending record drops it.
    table.first();
    EXPECT_EQ(table.recordCount(), 0);
}

TEST_F(PointTableTest, MovingSettlesAPendingEdit)
{
    openWithPoints(3);
    table.first();
    table.edit();
    table.next(); // nothing written: the edit is cancelled
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    table.append();
    table.fieldByName(u"X").setAsInteger(4);
    table.first(); // written: the record is posted
    EXPECT_EQ(table.recordCount(), 4);
    EXPECT_EQ(currentX(), 1);
    table.next();
    table.next();
    table.next();
    EXPECT_FALSE(table.eof());
    EXPECT_EQ(currentX(), 4);
    table.next();
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(currentX(), 4);
}

TEST_F(PointTableTest, CloseDiscardsEverythingButTheFields)
{
    openWithPoints(2);
    table.first();
    table.edit();
    table.fieldByName(u"X").setAsInteger(50);
    table.setSortFields(QStringLiteral("X"));
    table.close();
    EXPECT_EQ(table.state(), PointTable::State::Closed);
    table.open();
    EXPECT_EQ(table.recordCount(), 0);
    EXPECT_EQ(table.fieldCount(), 6);
    EXPECT_EQ(table.sortFields(), QStringLiteral("X"));
}

TEST_F(PointTableTest, EmptyDiscardsRecordsAndStaysOpen)
{
    openWithPoints(3);
    QSignalSpy resets(&table, &PointTable::reset);
    table.empty();
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(table.recordCount(), 0);
    EXPECT_EQ(table.currentRow(), -1);
    EXPECT_EQ(resets.count(), 1);
}

TEST_F(PointTableTest, CopiesTheSourcesCurrentRecordWithCountOne)
{
    openWithPoints(3);
    table.first();
    table.next();
    PointTable destination(QStringLiteral("Destination"));
    destination.open();

    EXPECT_EQ(table.copyRecords(&table, &destination, 1), 1);
    EXPECT_EQ(currentX(), 3);
    EXPECT_FALSE(table.eof());
    EXPECT_EQ(destination.fieldByName(u"X").asInteger(), 2);

    EXPECT_EQ(table.copyRecords(&table, &destination, 1), 1);
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(currentX(), 3);
    EXPECT_EQ(destination.recordCount(), 2);
    EXPECT_EQ(table.copyRecords(&table, &destination, 1), 0);
    EXPECT_EQ(table.copyRecords(&table, &table, 0), 0);
    EXPECT_EQ(table.copyRecords(&table, nullptr, 0), 0);
}

TEST_F(PointTableTest, CopiesAllSixValuesAndNullsAsNulls)
{
    table.open();
    table.append();
    table.fieldByName(u"X").setAsInteger(5);
    table.fieldByName(u"Y").setAsInteger(300);
    table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("A1"));
    table.fieldByName(u"NAME_RUS").setAsString(QStringLiteral("Пункт"));
    table.fieldByName(u"DESC").setAsString(QStringLiteral("у реки"));
    table.fieldByName(u"OBR").setAsBoolean(false);
    table.post();
    table.append();
    table.fieldByName(u"NAME_EN").setAsString(QString());
    table.post();
    table.first();

    PointTable destination(QStringLiteral("Destination"));
    destination.open();
    EXPECT_EQ(table.copyRecords(&table, &destination, 0), 2);
    table.first();
    destination.first();
    for (int record = 0; record < 2; ++record) {
        for (const char16_t* name : {u"X", u"Y", u"NAME_EN", u"NAME_RUS", u"DESC", u"OBR"}) {
            EXPECT_EQ(destination.fieldByName(name).isNull(), table.fieldByName(name).isNull())
                << QString::fromUtf16(name).toStdString() << " of record " << record;
            EXPECT_EQ(destination.fieldByName(name).asString(), table.fieldByName(name).asString());
        }
        table.next();
        destination.next();
    }
    destination.first();
    destination.next();
    EXPECT_TRUE(destination.fieldByName(u"X").isNull());
    EXPECT_FALSE(destination.fieldByName(u"NAME_EN").isNull());
}

// Keeps records ordered by X ascending, as a sort order on X would.
class ByX : public SortPlacement
{
public:
    std::size_t placeFor(const RecordStore& store, std::span<const Slot> order, Slot slot) const override
    {
        const int x = store.integer(0, slot);
        std::size_t place = 0;
        while (place < order.size() && store.integer(0, order[place]) <= x)
            ++place;
        return place;
    }
    bool dependsOn(int field) const override { return field == 0; }
};

TEST_F(PointTableTest, ASortOrderInForcePlacesPostedRecords)
{
    struct Case
    {
        int x;
        std::vector<int> order;
    };
    for (const Case& c : {Case{0, {0, 1, 2, 3}}, Case{2, {1, 2, 2, 3}}, Case{10, {1, 2, 3, 10}}}) {
        PointTable sorted(QStringLiteral("Sorted"));
        sorted.open();
        for (int x : {3, 1, 2}) {
            sorted.append();
            sorted.fieldByName(u"X").setAsInteger(x);
            sorted.post();
        }
        HugeArray<Slot> order;
        for (Slot slot : {Slot(1), Slot(2), Slot(0)})
            order.push_back(slot);
        sorted.installSortOrder(std::move(order), std::make_unique<ByX>());
        sorted.append();
        sorted.fieldByName(u"X").setAsInteger(c.x);
        sorted.post();
        std::vector<int> xs;
        for (int row = 0; row < sorted.visibleCount(); ++row)
            xs.push_back(sorted.store().integer(0, sorted.slotAtRow(row)));
        EXPECT_EQ(xs, c.order) << "appending " << c.x;
        // After the post the position is the last of the order.
        EXPECT_EQ(sorted.currentRow(), 3);
    }
}

TEST_F(PointTableTest, AnEditThatChangesTheSortFieldMovesTheRecord)
{
    openWithPoints(4); // X 1..4
    HugeArray<Slot> order;
    for (Slot slot = 0; slot < 4; ++slot)
        order.push_back(slot);
    table.installSortOrder(std::move(order), std::make_unique<ByX>());
    table.first();
    table.edit();
    table.fieldByName(u"X").setAsInteger(3);
    table.post();
    EXPECT_EQ(visibleX(), (std::vector<int>{2, 3, 3, 4}));
    // The position before the edit now holds another record.
    EXPECT_EQ(table.currentRow(), 0);
    EXPECT_EQ(currentX(), 2);
    table.dropSortOrder();
    EXPECT_EQ(visibleX(), (std::vector<int>{3, 2, 3, 4}));
}

TEST_F(PointTableTest, AppendedRecordsReuseTheMostRecentlyFreedSlot)
{
    openWithPoints(4);
    table.first();
    table.deleteRecord(); // frees slot 0
    table.last();
    table.deleteRecord(); // frees slot 3
    addPoint(50, 0);
    EXPECT_EQ(table.slotAtRow(table.currentRow()), 3u);
    addPoint(60, 0);
    EXPECT_EQ(table.slotAtRow(table.currentRow()), 0u);
    EXPECT_EQ(visibleX(), (std::vector<int>{2, 3, 50, 60}));
}

TEST_F(PointTableTest, TheBookmarkCounterLimitFailsThePostUntilEmptied)
{
    table.setBookmarkLimit(2);
    openWithPoints(2);
    table.append();
    table.fieldByName(u"X").setAsInteger(3);
    expectFailure([&] { table.post(); },
                  QStringLiteral("Bookmark counter is out of range. Please close and reopen table."));
    EXPECT_EQ(table.state(), PointTable::State::Insert);
    table.cancel();
    table.empty();
    addPoint(1, 1);
    EXPECT_EQ(table.recordCount(), 1);
}

TEST_F(PointTableTest, TellsViewsAboutEachChangedRow)
{
    openWithPoints(2);
    QSignalSpy inserted(&table, &PointTable::rowInserted);
    QSignalSpy removed(&table, &PointTable::rowRemoved);
    QSignalSpy changed(&table, &PointTable::rowChanged);
    addPoint(3, 30);
    table.first();
    table.edit();
    table.fieldByName(u"Y").setAsInteger(11);
    table.post();
    table.deleteRecord();
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][0].toInt(), 2);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toInt(), 0);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][0].toInt(), 0);
}

TEST_F(PointTableTest, BulkLoadFillsTheRowOrderAndTellsViewsOnce)
{
    table.open();
    QSignalSpy resets(&table, &PointTable::reset);
    table.beginBulkLoad(3);
    for (int x : {7, 8, 9}) {
        const Slot slot = table.bulkAddRecord(x == 8 ? 3 : 0);
        table.bulkStore().setInteger(0, slot, x);
    }
    table.endBulkLoad();
    EXPECT_EQ(resets.count(), 1);
    // A record of status 3 is deleted: never visible or counted.
    EXPECT_EQ(visibleX(), (std::vector<int>{7, 9}));
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(currentX(), 7);
}

} // namespace
} // namespace kelvora
