#include "collator.h"
#include "failure.h"
#include "keycomparison.h"
#include "keyfield.h"
#include "pointtable.h"
#include "sortorder.h"

#include <QCollator>
#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

constexpr int xField = 0;
constexpr int nameField = 2;
constexpr int obrField = 5;

class SortTest : public ::testing::Test
{
protected:
    // Appends one record per value into `field`; an invalid value is null.
    void addRecords(int field, const QVariantList& values)
    {
        if (!table.isOpen())
            table.open();
        for (const QVariant& value : values) {
            table.append();
            Field f(&table, field);
            if (value.isNull())
                f.clear();
            else if (value.typeId() == QMetaType::Bool)
                f.setAsBoolean(value.toBool());
            else if (value.typeId() == QMetaType::Int)
                f.setAsInteger(value.toInt());
            else
                f.setAsString(value.toString());
            table.post();
        }
    }
    // The values of `field` in the current order, "null" for null.
    QStringList column(int field)
    {
        QStringList values;
        for (int row = 0; row < table.visibleCount(); ++row) {
            const Slot slot = table.slotAtRow(row);
            if (table.store().isNull(field, slot))
                values << QStringLiteral("null");
            else if (field == obrField)
                values << (table.store().boolean(field, slot) ? QStringLiteral("True")
                                                              : QStringLiteral("False"));
            else if (field == xField)
                values << QString::number(table.store().integer(field, slot));
            else
                values << table.store().text(field, slot).toString();
        }
        return values;
    }
    std::vector<Slot> rowSlots()
    {
        std::vector<Slot> result;
        for (int row = 0; row < table.visibleCount(); ++row)
            result.push_back(table.slotAtRow(row));
        return result;
    }
    void sortBy(const QString& fields, SortOptions options = {})
    {
        table.setSortFields(fields);
        table.sort(options);
    }

    PointTable table{QStringLiteral("PointTable")};
};

TEST_F(SortTest, NullsComeFirstInBothDirections)
{
    const QVariant none;
    addRecords(xField, {5, none, 3, none, 9});
    sortBy(QStringLiteral("X"));
    EXPECT_EQ(column(xField), QStringList({"null", "null", "3", "5", "9"}));
    EXPECT_EQ(rowSlots(), (std::vector<Slot>{1, 3, 2, 0, 4}));
    sortBy(QStringLiteral("X"), SortOption::Descending);
    EXPECT_EQ(column(xField), QStringList({"null", "null", "9", "5", "3"}));
    // Ties by slot number, reversed with the first field descending.
    EXPECT_EQ(rowSlots(), (std::vector<Slot>{3, 1, 4, 0, 2}));
    sortBy(QStringLiteral("x:d"));
    EXPECT_EQ(column(xField), QStringList({"null", "null", "9", "5", "3"}));
}

TEST_F(SortTest, BooleansSortNullThenFalseThenTrue)
{
    const QVariant none;
    addRecords(obrField, {true, none, false, true, none, false});
    sortBy(QStringLiteral("OBR"));
    EXPECT_EQ(column(obrField), QStringList({"null", "null", "False", "False", "True", "True"}));
    EXPECT_EQ(rowSlots(), (std::vector<Slot>{1, 4, 2, 5, 0, 3}));
}

TEST_F(SortTest, DescendingBooleansAfterALoadTieByHigherSlotFirst)
{
    table.open();
    const QVariant none;
    const QVariantList loaded = {true, false, none, true, false, none};
    table.beginBulkLoad(std::size_t(loaded.size()));
    for (const QVariant& value : loaded) {
        const Slot slot = table.bulkAddRecord(0);
        if (!value.isNull())
            table.bulkStore().setBoolean(obrField, slot, value.toBool());
    }
    table.endBulkLoad();
    sortBy(QStringLiteral("OBR"), SortOption::Descending);
    EXPECT_EQ(column(obrField), QStringList({"null", "null", "True", "True", "False", "False"}));
    EXPECT_EQ(rowSlots(), (std::vector<Slot>{5, 2, 3, 0, 4, 1}));
}

TEST_F(SortTest, CyrillicNamesFollowTheRussianAlphabet)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QStringList names = {"яблоко", "Арбуз", "вишня", "арбуз", "Жук", "банан", "дом", "Дом"};
    QVariantList values;
    for (const QString& name : names)
        values << name;
    addRecords(nameField, values);
    sortBy(QStringLiteral("NAME_EN"));
    const QStringList expected = {"арбуз", "Арбуз", "банан", "вишня",
                                  "дом",   "Дом",   "Жук",   "яблоко"};
    EXPECT_EQ(column(nameField), expected);

    // The same order as QCollator gives under the same locale.
    QStringList collated = names;
    QCollator collator(QLocale(QLocale::Russian, QLocale::Russia));
    std::stable_sort(collated.begin(), collated.end(), [&](const QString& a, const QString& b) {
        return collator.compare(a, b) < 0;
    });
    EXPECT_EQ(column(nameField), collated);

    // Without case the small letter and its capital tie, by slot number.
    sortBy(QStringLiteral("NAME_EN"), SortOption::CaseInsensitive);
    EXPECT_EQ(column(nameField),
              QStringList({"Арбуз", "арбуз", "банан", "вишня", "дом", "Дом", "Жук", "яблоко"}));
    sortBy(QStringLiteral("NAME_EN:L"));
    EXPECT_EQ(column(nameField),
              QStringList({"Арбуз", "Дом", "Жук", "арбуз", "банан", "вишня", "дом", "яблоко"}));
}

TEST_F(SortTest, KeepsTheCurrentRecordAndSettlesAPendingEdit)
{
    addRecords(xField, {4, 1, 3, 2});
    table.setCurrentRow(2); // X 3
    sortBy(QStringLiteral("X"));
    EXPECT_EQ(table.fieldByName(u"X").asInteger(), 3);
    EXPECT_EQ(table.currentRow(), 2);

    // The pending edit is posted into the new order.
    table.setCurrentRow(0); // X 1
    table.edit();
    table.fieldByName(u"X").setAsInteger(10);
    sortBy(QStringLiteral("X"), SortOption::Descending);
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(column(xField), QStringList({"10", "4", "3", "2"}));
}

TEST_F(SortTest, PostedRecordsTakeTheirPlaceInTheOrder)
{
    struct Case
    {
        int x;
        QStringList order;
        int newRow;
    };
    for (const Case& c : {Case{0, {"0", "1", "2", "3"}, 0}, Case{2, {"1", "2", "2", "3"}, 1},
                          Case{10, {"1", "2", "3", "10"}, 3}}) {
        SCOPED_TRACE(c.x);
        table.close();
        addRecords(xField, {3, 1, 2});
        sortBy(QStringLiteral("X"));
        addRecords(xField, {c.x});
        EXPECT_EQ(column(xField), c.order);
        EXPECT_EQ(table.slotAtRow(c.newRow), Slot(3));
        // The position after the post is the last of the order.
        EXPECT_EQ(table.currentRow(), 3);
    }
}

TEST_F(SortTest, PlacementInADescendingOrderComparesTextPartially)
{
    addRecords(nameField, {"A", "Ab", "Abz"});
    sortBy(QStringLiteral("NAME_EN"), SortOption::Descending);
    EXPECT_EQ(column(nameField), QStringList({"Abz", "Ab", "A"}));
    // "Ab" equals "Abz" cut to two letters, so it goes in front of it.
    addRecords(nameField, {"Ab"});
    EXPECT_EQ(column(nameField), QStringList({"Ab", "Abz", "Ab", "A"}));
    EXPECT_EQ(table.slotAtRow(0), Slot(3));
}

TEST_F(SortTest, EditsMoveRecordsAndDeletesLeaveTheOrder)
{
    addRecords(xField, {1, 2, 3, 4});
    sortBy(QStringLiteral("X"));
    table.setCurrentRow(0);
    table.edit();
    table.fieldByName(u"X").setAsInteger(9);
    table.post();
    EXPECT_EQ(column(xField), QStringList({"2", "3", "4", "9"}));
    table.setCurrentRow(1);
    table.deleteRecord();
    EXPECT_EQ(column(xField), QStringList({"2", "4", "9"}));
    EXPECT_EQ(table.fieldByName(u"X").asInteger(), 4);
    // An edit of another field leaves the record where it is.
    table.edit();
    table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("Z"));
    table.post();
    EXPECT_EQ(column(xField), QStringList({"2", "4", "9"}));
}

TEST_F(SortTest, BlankFieldsFailuresAndClosingLeaveTheRowOrder)
{
    addRecords(xField, {2, 1});
    sortBy(QStringLiteral("X"));
    EXPECT_TRUE(table.hasSortOrder());
    sortBy(QStringLiteral("  "));
    EXPECT_FALSE(table.hasSortOrder());
    EXPECT_EQ(column(xField), QStringList({"2", "1"}));

    sortBy(QStringLiteral("X"));
    for (const auto& [fields, message] : {std::pair{"X;NOPE", "PointTable: Field 'NOPE' not found"},
                                          std::pair{"DESC", "Can't index on field DESC"}}) {
        try {
            sortBy(QString::fromLatin1(fields));
            ADD_FAILURE() << "no failure for " << fields;
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.message(), QString::fromLatin1(message));
        }
        EXPECT_FALSE(table.hasSortOrder());
        EXPECT_EQ(column(xField), QStringList({"2", "1"}));
    }

    // A post that fails while settling after the sort leaves the row order.
    std::vector<FieldDef> fields = pointFields();
    fields[1].required = true;
    table.close();
    table.setFields(fields);
    table.open();
    table.append();
    table.fieldByName(u"X").setAsInteger(5);
    EXPECT_THROW(sortBy(QStringLiteral("X")), DatabaseError);
    EXPECT_FALSE(table.hasSortOrder());
    EXPECT_EQ(table.state(), PointTable::State::Insert);
    table.cancel();

    sortBy(QStringLiteral("X"));
    table.close();
    EXPECT_FALSE(table.hasSortOrder());
    table.sort(); // closed: nothing happens
    EXPECT_FALSE(table.isOpen());
}

TEST_F(SortTest, SeveralFieldsEachWithItsDirection)
{
    table.open();
    const std::pair<QVariant, QVariant> records[] = {{true, 1},  {false, 2},      {true, 3},
                                                     {false, 1}, {QVariant(), 5}, {true, 3}};
    for (const auto& [obr, x] : records) {
        table.append();
        table.fieldByName(u"OBR").setAsBoolean(obr.toBool());
        if (obr.isNull())
            table.fieldByName(u"OBR").clear();
        table.fieldByName(u"X").setAsInteger(x.toInt());
        table.post();
    }
    sortBy(QStringLiteral("OBR;X:D"));
    EXPECT_EQ(rowSlots(), (std::vector<Slot>{4, 1, 3, 2, 5, 0}));
    sortBy(QStringLiteral("OBR:D;X"));
    // Ties (slots 2 and 5) by higher slot first: the first field is descending.
    EXPECT_EQ(rowSlots(), (std::vector<Slot>{4, 0, 5, 2, 3, 1}));
}

TEST(Collation, OnlyTheUsersDefaultLocaleNumberIsKnown)
{
    EXPECT_NO_THROW(Collator::forLocale(PointTable::localeIdDefault, false));
    try {
        Collator::forLocale(1049, false);
        ADD_FAILURE() << "no failure";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Invalid locale. 1049"));
    }
}

// The quick paths for one field give the order of the plain comparison.
TEST(SortOrder, OneFieldOrdersAgreeWithTheComparison)
{
    QRandomGenerator random(99);
    PointTable table(QStringLiteral("PointTable"));
    table.open();
    const QString letters = QStringLiteral("aAbBяЯ ёЁе-");
    for (int i = 0; i < 6000; ++i) { // enough for the radix passes
        table.append();
        if (random.bounded(10) != 0)
            table.fieldByName(u"X").setAsInteger(int(random.bounded(200)) - 100 +
                                                 (random.bounded(50) == 0 ? INT_MIN / 2 : 0));
        if (random.bounded(10) != 0) {
            // Long shared beginnings make the key words agree for a while.
            QString name =
                random.bounded(2) ? QStringLiteral("Пункт наблюдения номер ") : QString();
            for (int k = 0, length = int(random.bounded(5)); k < length; ++k)
                name += letters[qsizetype(random.bounded(quint32(letters.size())))];
            table.fieldByName(u"NAME_EN").setAsString(name);
        }
        if (random.bounded(3) != 0)
            table.fieldByName(u"OBR").setAsBoolean(random.bounded(2) == 0);
        table.post();
        if (random.bounded(20) == 0) {
            table.setCurrentRow(int(random.bounded(quint32(table.visibleCount()))));
            table.deleteRecord();
        }
    }
    for (const char* list : {"X", "X:D", "NAME_EN", "NAME_EN:D", "NAME_EN:C", "OBR", "OBR:D"}) {
        SCOPED_TRACE(list);
        const std::vector<KeyField> keys =
            parseKeyFields(table.fields(), table.tableName(), QString::fromLatin1(list));
        const KeyComparison comparison(keys, table.localeId());
        const HugeArray<Slot> order = buildSortOrder(table.store(), table.rowOrder(), comparison);
        std::vector<Slot> expected(table.rowOrder().begin(), table.rowOrder().end());
        const bool reversed = keys[0].options.testFlag(CompareOption::Descending);
        std::sort(expected.begin(), expected.end(), [&](Slot a, Slot b) {
            const int result = comparison.compareRecords(table.store(), a, b);
            if (result != 0)
                return result < 0;
            return reversed ? a > b : a < b;
        });
        ASSERT_EQ(order.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), order.begin()));
    }
}

} // namespace
} // namespace kelvora
