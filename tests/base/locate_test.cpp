#include "failure.h"
#include "keyfield.h"
#include "pointtable.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <array>
#include <functional>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

struct Point
{
    QVariant x, y, name, russian;
};

void addPoint(PointTable& table, const Point& point)
{
    table.append();
    const QVariant* values[] = {&point.x, &point.y, &point.name, &point.russian};
    const char16_t* names[] = {u"X", u"Y", u"NAME_EN", u"NAME_RUS"};
    for (int i = 0; i < 4; ++i) {
        Field field = table.fieldByName(names[i]);
        if (values[i]->isNull())
            field.clear();
        else if (i < 2)
            field.setAsInteger(values[i]->toInt());
        else
            field.setAsString(values[i]->toString());
    }
    table.post();
}

int currentX(PointTable& table)
{
    return table.fieldByName(u"X").asInteger();
}

using Locator = bool (PointTable::*)(const QString&, const QVariant&, LocateOptions);
const Locator locators[] = {&PointTable::locate, &PointTable::locateByScan};
const char* const locatorNames[] = {"index", "scan"};

class LocateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table.open();
        const QVariant none;
        for (const Point& point : {
                 Point{1, 2, QStringLiteral("Moscow"), QStringLiteral("Москва")},
                 Point{3, 4, QStringLiteral("moscow"), QStringLiteral("Москва")},
                 Point{5, 6, QStringLiteral("Moscow "), QStringLiteral("Москва")},
                 Point{7, 8, QStringLiteral("Paris"), none},
                 Point{9, 10, none, QStringLiteral("Нигде")},
                 Point{11, 12, QStringLiteral("Paris"), QStringLiteral("Париж")},
                 Point{13, 14, QString(255, u'я'), none},
             })
            addPoint(table, point);
        table.first();
    }

    PointTable table{QStringLiteral("PointTable")};
};

TEST_F(LocateTest, FindsTheFirstExactMatchInTheCurrentOrder)
{
    struct Case
    {
        const char* what;
        QString fields;
        QVariant values;
        LocateOptions options;
        int foundX; // 0: not found
    };
    const QVariant none;
    const Case cases[] = {
        {"all four exactly", "X;Y;NAME_EN;NAME_RUS", QVariantList{1, 2, "Moscow", "Москва"}, {}, 1},
        {"small first letter is another name",
         "X;Y;NAME_EN;NAME_RUS",
         QVariantList{3, 4, "Moscow", "Москва"},
         {},
         0},
        {"trailing blank is another name",
         "X;Y;NAME_EN;NAME_RUS",
         QVariantList{5, 6, "Moscow", "Москва"},
         {},
         0},
        {"first of two equal names", "NAME_EN", QStringLiteral("Paris"), {}, 7},
        {"null value finds the null name", "NAME_EN", none, {}, 9},
        {"null in a list", "NAME_RUS;X", QVariantList{none, 7}, {}, 7},
        {"a null key matches only null", "NAME_RUS;X", QVariantList{none, 11}, {}, 0},
        {"skip-null letter", "NAME_RUS:n;X", QVariantList{none, 11}, {}, 11},
        {"names without case, blanks around", " name_en ; x ", QVariantList{"Paris", 11}, {}, 11},
        {"case-insensitive option", "NAME_EN", QStringLiteral("MOSCOW"),
         LocateOption::CaseInsensitive, 1},
        {"partial option", "NAME_EN", QStringLiteral("Par"), LocateOption::PartialKey, 7},
        {"partial is off without the option", "NAME_EN", QStringLiteral("Par"), {}, 0},
        {"letters after the name", "NAME_EN:cp", QStringLiteral("mosc"), {}, 1},
        {"text converted to an integer", "X", QStringLiteral(" 9 "), {}, 9},
        {"extra values ignored", "X;Y", QVariantList{9, 10, "extra"}, {}, 9},
        {"text cut to the field size", "NAME_EN", QString(300, u'я'), {}, 13},
        {"Cyrillic", "NAME_RUS", QStringLiteral("Париж"), {}, 11},
        {"no such point", "X;Y", QVariantList{1, 3}, {}, 0},
    };
    for (int method = 0; method < 2; ++method)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(locatorNames[method]) + ": " + c.what);
            table.first();
            table.next(); // X 3
            QSignalSpy moves(&table, &PointTable::currentChanged);
            const bool found = (table.*locators[method])(c.fields, c.values, c.options);
            EXPECT_EQ(found, c.foundX != 0);
            EXPECT_EQ(currentX(table), c.foundX != 0 ? c.foundX : 3);
            EXPECT_EQ(moves.count(), found ? 1 : 0);
        }
}

TEST_F(LocateTest, FailsWithTheTextsOfItsSteps)
{
    struct Case
    {
        QString fields;
        QVariant values;
        QString message;
    };
    const Case cases[] = {
        {"X;Y", 1, "More fields than values"},
        {"X;Y", QVariantList{1}, "More fields than values"},
        {" ; ", 1, "There must be at least one field"},
        {"X;Q", QVariantList{1, 2}, "PointTable: Field 'Q' not found"},
        {"DESC", "x", "Can't index on field DESC"},
        {"X", QVariantList{QVariantList{1}}, "Values variant array has invalid dimension count"},
        {"X", "abc", "'abc' is not a valid integer value"},
        {"OBR", "maybe", "'maybe' is not a valid boolean value"},
    };
    for (int method = 0; method < 2; ++method)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(locatorNames[method]) + ": " + c.message.toStdString());
            table.first();
            table.next();
            try {
                (table.*locators[method])(c.fields, c.values, {});
                ADD_FAILURE() << "no failure";
            } catch (const DatabaseError& error) {
                EXPECT_EQ(error.message(), c.message);
            }
            EXPECT_EQ(currentX(table), 3);
        }
    table.close();
    try {
        table.locate(QStringLiteral("X"), 1);
        ADD_FAILURE() << "no failure on a closed table";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.message(),
                  QStringLiteral("Cannot perform this operation on a closed dataset"));
    }
}

TEST_F(LocateTest, SettlesAPendingEditFirst)
{
    table.first();
    table.edit();
    table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("Rome"));
    EXPECT_TRUE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Rome")));
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(currentX(table), 1);
    EXPECT_FALSE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Moscow")));
}

TEST_F(LocateTest, FollowsAppendsEditsAndDeletesAfterTheIndexIsMade)
{
    ASSERT_TRUE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Paris")));
    EXPECT_EQ(currentX(table), 7);
    table.deleteRecord(); // the first Paris
    ASSERT_TRUE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Paris")));
    EXPECT_EQ(currentX(table), 11);
    table.edit();
    table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("Lyon"));
    table.post();
    EXPECT_FALSE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Paris")));
    addPoint(table, Point{20, 20, QStringLiteral("Paris"), QVariant()}); // reuses a freed slot
    ASSERT_TRUE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Paris")));
    EXPECT_EQ(currentX(table), 20);
    ASSERT_TRUE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Lyon")));
    EXPECT_EQ(currentX(table), 11);
    table.empty();
    EXPECT_FALSE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Lyon")));
}

TEST(LocateOrder, TheFirstOfEqualKeysAfterChangesInTheMiddle)
{
    PointTable table(QStringLiteral("PointTable"));
    table.open();
    for (int x : {1, 5, 9})
        addPoint(table, Point{x, 0, QStringLiteral("Same"), QVariant()});
    ASSERT_TRUE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Same")));
    // The middle record is stored again; then the first goes.
    table.setCurrentRow(1);
    table.edit();
    table.fieldByName(u"Y").setAsInteger(7);
    table.post();
    table.setCurrentRow(0);
    table.deleteRecord();
    ASSERT_TRUE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Same")));
    EXPECT_EQ(currentX(table), 5);

    // In a sort order on X a new equal name can land between the others.
    table.setSortFields(QStringLiteral("X"));
    table.sort();
    addPoint(table, Point{7, 0, QStringLiteral("Same"), QVariant()});
    addPoint(table, Point{3, 0, QStringLiteral("Other"), QVariant()});
    table.setCurrentRow(1); // X 5
    table.deleteRecord();
    ASSERT_TRUE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Same")));
    EXPECT_EQ(currentX(table), 7);
}

TEST(LocateHidden, ARecordWithStatusThreeIsNeverFound)
{
    PointTable table(QStringLiteral("PointTable"));
    table.open();
    table.beginBulkLoad(3);
    const int name = table.fieldIndex(u"NAME_EN");
    const int x = table.fieldIndex(u"X");
    const std::pair<const char*, std::uint8_t> records[] = {
        {"Ghost", 3}, {"Twin", 3}, {"Twin", 0}, {"Live", 0}};
    int number = 1;
    for (const auto& [text, status] : records) {
        const Slot slot = table.bulkAddRecord(status);
        table.bulkStore().setText(name, slot, QString::fromUtf8(text));
        table.bulkStore().setInteger(x, slot, number++);
    }
    table.endBulkLoad();
    table.setCurrentRow(1);
    for (int method = 0; method < 2; ++method) {
        SCOPED_TRACE(locatorNames[method]);
        EXPECT_FALSE(
            (table.*locators[method])(QStringLiteral("NAME_EN"), QStringLiteral("Ghost"), {}));
        EXPECT_EQ(currentX(table), 4);
        EXPECT_TRUE(
            (table.*locators[method])(QStringLiteral("NAME_EN"), QStringLiteral("Twin"), {}));
        EXPECT_EQ(currentX(table), 3);
        table.setCurrentRow(1);
    }
}

TEST_F(LocateTest, ANameOnlyInFilteredOutRecordsIsNotFound)
{
    table.setFilter(QStringLiteral("X > 6"));
    table.setFiltered(true);
    table.setCurrentRow(1); // X 9
    for (int method = 0; method < 2; ++method) {
        SCOPED_TRACE(locatorNames[method]);
        EXPECT_FALSE((table.*locators[method])(QStringLiteral("NAME_EN"), QStringLiteral("Moscow"), {}));
        EXPECT_EQ(currentX(table), 9);
        // The first Paris (X 7) is visible, so it is the one found.
        EXPECT_TRUE((table.*locators[method])(QStringLiteral("NAME_EN"), QStringLiteral("Paris"), {}));
        EXPECT_EQ(currentX(table), 7);
        table.setCurrentRow(1);
    }
    table.setFilter(QStringLiteral("X > 8"));
    EXPECT_TRUE(table.locate(QStringLiteral("NAME_EN"), QStringLiteral("Paris")));
    EXPECT_EQ(currentX(table), 11);
}

TEST_F(LocateTest, SortUnderAFilterKeepsTheCurrentRecord)
{
    table.setFilter(QStringLiteral("X < 8"));
    table.setFiltered(true);
    table.setCurrentRow(2); // X 5
    table.setSortFields(QStringLiteral("X"));
    table.sort(SortOption::Descending);
    EXPECT_EQ(currentX(table), 5);
    EXPECT_EQ(table.currentRow(), 1); // 7, 5, 3, 1
}

TEST(LocateSorted, FindsEveryNameInADescendingOrder)
{
    PointTable table(QStringLiteral("PointTable"));
    table.open();
    QRandomGenerator random(7);
    std::vector<QString> names;
    for (int i = 0; i < 60; ++i) {
        QString name;
        for (int k = 0, length = 1 + int(random.bounded(6)); k < length; ++k)
            name += QChar(u"abAB яЯж"[random.bounded(8)]);
        names.push_back(name);
        addPoint(table, Point{i, i, name, QVariant()});
    }
    table.setSortFields(QStringLiteral("NAME_EN"));
    table.sort(SortOption::Descending);
    for (int method = 0; method < 2; ++method)
        for (const QString& name : names) {
            ASSERT_TRUE((table.*locators[method])(QStringLiteral("NAME_EN"), name, {}))
                << name.toStdString();
            EXPECT_EQ(table.fieldByName(u"NAME_EN").asString(), name);
            // The first of the records with this name in the current order.
            for (int row = 0; row < table.currentRow(); ++row)
                EXPECT_NE(table.store().text(2, table.slotAtRow(row)), name);
        }
}

// The index and the walk give the same answer on tables built by random
// appends, edits, deletes and sorts, status-3 records included.
TEST(LocateRandom, TheIndexAnswersAsTheScan)
{
    QRandomGenerator random(2024);
    const char* const fieldLists[] = {"NAME_EN", "NAME_EN;X;Y", "X;Y;NAME_EN;NAME_RUS",
                                      "OBR",     "X",           "NAME_RUS;OBR"};
    const char* const sortLists[] = {"", "NAME_EN", "X", "OBR;NAME_EN", "Y:D", "NAME_RUS;X"};
    auto randomName = [&]() -> QVariant {
        if (random.bounded(8) == 0)
            return QVariant();
        static const QString letters = QStringLiteral("aAbе Её\u0301");
        QString name;
        for (int k = 0, length = int(random.bounded(4)); k < length; ++k)
            name += letters[qsizetype(random.bounded(quint32(letters.size())))];
        return name;
    };
    auto randomValue = [&](int field) -> QVariant {
        switch (field) {
        case 0:
        case 1:
            return random.bounded(6) == 0 ? QVariant() : QVariant(int(random.bounded(5)));
        case 5:
            return random.bounded(3) == 0 ? QVariant() : QVariant(random.bounded(2) == 0);
        default:
            return randomName();
        }
    };
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        PointTable table(QStringLiteral("PointTable"));
        table.open();
        table.beginBulkLoad(40);
        for (int i = 0; i < 40; ++i) {
            const Slot slot = table.bulkAddRecord(random.bounded(10) == 0 ? 3 : 0);
            for (int field : {0, 1, 2, 3, 5}) {
                const QVariant value = randomValue(field);
                if (value.isNull())
                    continue;
                if (field == 5)
                    table.bulkStore().setBoolean(field, slot, value.toBool());
                else if (field < 2)
                    table.bulkStore().setInteger(field, slot, value.toInt());
                else
                    table.bulkStore().setText(field, slot, value.toString());
            }
        }
        table.endBulkLoad();
        // One long round goes past the point where positions are mapped anew.
        for (int step = 0, steps = round == 0 ? 3000 : 400; step < steps; ++step) {
            const int action = int(random.bounded(10));
            if (action < 3 || table.visibleCount() == 0) {
                table.append();
                for (int field : {0, 1, 2, 3, 5}) {
                    const QVariant value = randomValue(field);
                    Field f(&table, field);
                    if (value.isNull())
                        f.clear();
                    else if (field == 5)
                        f.setAsBoolean(value.toBool());
                    else if (field < 2)
                        f.setAsInteger(value.toInt());
                    else
                        f.setAsString(value.toString());
                }
                table.post();
            } else if (action < 5) {
                table.setCurrentRow(int(random.bounded(quint32(table.visibleCount()))));
                table.edit();
                const int field = std::array{0, 1, 2, 3, 5}[random.bounded(5)];
                const QVariant value = randomValue(field);
                Field f(&table, field);
                if (value.isNull())
                    f.clear();
                else if (field == 5)
                    f.setAsBoolean(value.toBool());
                else if (field < 2)
                    f.setAsInteger(value.toInt());
                else
                    f.setAsString(value.toString());
                table.post();
            } else if (action == 5) {
                // The first records are often the first of their key.
                table.setCurrentRow(
                    random.bounded(2) == 0
                        ? int(random.bounded(quint32(table.visibleCount())))
                        : std::min(table.visibleCount() - 1, int(random.bounded(3))));
                table.deleteRecord();
            } else if (action == 6 && random.bounded(4) == 0) {
                table.setSortFields(QString::fromLatin1(sortLists[random.bounded(6)]));
                table.sort(random.bounded(2) ? SortOptions(SortOption::Descending) : SortOptions());
            } else {
                const QString fields = QString::fromLatin1(fieldLists[random.bounded(6)]);
                const std::vector<KeyField> keys =
                    parseKeyFields(table.fields(), table.tableName(), fields);
                // Values from an existing record now and then, else random ones.
                QVariantList values;
                const bool existing = random.bounded(2) == 0 && table.visibleCount() > 0;
                const Slot from =
                    existing ? table.slotAtRow(int(random.bounded(quint32(table.visibleCount()))))
                             : 0;
                for (const KeyField& key : keys) {
                    if (!existing) {
                        values.push_back(randomValue(key.field));
                    } else if (table.store().isNull(key.field, from)) {
                        values.push_back(QVariant());
                    } else if (key.type == FieldType::Integer) {
                        values.push_back(table.store().integer(key.field, from));
                    } else if (key.type == FieldType::Boolean) {
                        values.push_back(table.store().boolean(key.field, from));
                    } else {
                        values.push_back(table.store().text(key.field, from).toString());
                    }
                }
                table.setCurrentRow(0);
                const bool scanned = table.locateByScan(fields, values);
                const int scannedRow = table.currentRow();
                table.setCurrentRow(0);
                const bool indexed = table.locate(fields, values);
                ASSERT_EQ(indexed, scanned) << fields.toStdString() << " step " << step;
                ASSERT_EQ(table.currentRow(), scannedRow)
                    << fields.toStdString() << " step " << step;
                if (existing) {
                    EXPECT_TRUE(indexed);
                }
            }
        }
    }
}

} // namespace
} // namespace kelvora
