#include "failure.h"
#include "filter.h"
#include "pointtable.h"

#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <vector>

namespace kelvora {
namespace {

struct Point
{
    std::optional<int> x = std::nullopt;
    std::optional<int> y = std::nullopt;
    std::optional<QString> name = std::nullopt;
    std::optional<QString> desc = std::nullopt;
    std::optional<bool> obr = std::nullopt;
};

using Points = std::vector<Point>;

void addPoint(PointTable& table, const Point& point)
{
    table.append();
    if (point.x)
        table.fieldByName(u"X").setAsInteger(*point.x);
    if (point.y)
        table.fieldByName(u"Y").setAsInteger(*point.y);
    if (point.name)
        table.fieldByName(u"NAME_EN").setAsString(*point.name);
    if (point.desc)
        table.fieldByName(u"DESC").setAsString(*point.desc);
    if (point.obr)
        table.fieldByName(u"OBR").setAsBoolean(*point.obr);
    table.fieldByName(u"NAME_RUS").setAsString(QStringLiteral("."));
    table.post();
}

// The indices (in insertion order) of the visible records.
std::vector<int> visibleIndices(const PointTable& table)
{
    std::vector<int> indices;
    const std::span<const Slot> rows = table.rowOrder();
    for (int row = 0; row < table.visibleCount(); ++row) {
        const Slot slot = table.slotAtRow(row);
        indices.push_back(int(std::find(rows.begin(), rows.end(), slot) - rows.begin()));
    }
    return indices;
}

const Points proximity = {{106, 208}, {107, 208},          {100, 200},
                          {100, 201}, {std::nullopt, 200}, {100, std::nullopt}};
const Points doubleMinus = {{-7, 0}, {-8, 0}, {-5, 0}};
const Points places = {
    {1, 1, u"Moscow"_qs, u"Big river"_qs, true},
    {5, 2, u"Mos"_qs, u"small RIVER"_qs, false},
    {std::nullopt, 3, u"mosaic"_qs, u"riverbank"_qs, std::nullopt},
    {200, 4, u"Paris"_qs, std::nullopt, true},
    {100, 5, u"Mo"_qs, u"The River"_qs, false},
};
const Points products = {{65536, 65536}, {2, 3}, {-1, 5}};

struct Case
{
    const char16_t* text;
    const Points* points;
    std::vector<int> visible;
    const char16_t* error = nullptr;
    FilterOptions options = {};
    bool failsWhileEvaluating = false;
};

const Case cases[] = {
    // The proximity search: the boundary is included, nulls never match.
    {u"(X-100)*(X-100)+(Y-200)*(Y-200)<=100", &proximity, {0, 2, 3}},
    {u"(X-100)*(X-100)+(Y-200)*(Y-200)<=0", &proximity, {2}},
    {u"(X-100)*(X-100)+(Y-200)*(Y-200)<100", &proximity, {2, 3}},
    {u"(X--5)*(X--5)+(Y-0)*(Y-0)<=4", &doubleMinus, {0, 2}},
    {u"  \t ", &places, {0, 1, 2, 3, 4}},
    // Integer constants and turning a comparison round.
    {u"X<=100", &places, {0, 1, 4}},
    {u"100>=x", &places, {0, 1, 4}},
    {u"X-1>0", &places, {1, 3, 4}},
    {u"/* near */ X=1", &places, {0}},
    {u"X", &places, {}, u"Incorrectly formed filter expression"},
    {u"OBR", &places, {0, 3}},
    {u"NOT OBR", &places, {1, 2, 4}},
    {u"OBR AND X>1", &places, {3}},
    {u"X=1 OR X=200", &places, {0, 3}},
    {u"X=NULL", &places, {2}},
    {u"NULL=X", &places, {2}},
    {u"X<>NULL", &places, {0, 1, 3, 4}},
    {u"X IS NULL OR OBR", &places, {0, 2, 3}},
    {u"X is not null and Y>3", &places, {3, 4}},
    // The decimal separator is "," here: "1, 200" is a list, "1,200" a number.
    {u"X IN (1, 200)", &places, {0, 3}},
    {u"X IN (1,200)", &places, {}, u"'1,200' is not a valid integer value"},
    {u"X=1,5", &places, {}, u"'1,5' is not a valid integer value"},
    {u"X>1.5", &places, {}, u"Invalid filter expression character: '.'"},
    // 32-bit products that overflow are redone in double precision.
    {u"X*Y>0", &products, {0, 1}},
    {u"X*Y/X=Y", &products, {0, 1, 2}},
    // Strings: the trailing "*" compares prefixes; LIKE is a mask.
    {u"NAME_EN='Mos*'", &places, {0, 1}},
    {u"NAME_EN='Mos'", &places, {1}},
    {u"NAME_EN='Mos*'", &places, {}, nullptr, FilterOption::NoPartialCompare},
    {u"NAME_EN='mos'", &places, {1}, nullptr, FilterOption::CaseInsensitive},
    {u"NAME_EN>'N'", &places, {2, 3}},
    {u"[NAME_EN]='Paris'", &places, {3}},
    {u"NAME_EN LIKE 'Mos*'", &places, {0, 1, 2}},
    {u"NAME_EN LIKE 'm?s'", &places, {1}},
    {u"NAME_EN LIKE '[l-n]o*'", &places, {0, 1, 2, 4}},
    {u"NAME_EN LIKE '[!m]*'", &places, {3}},
    {u"DESC LIKE '*river'", &places, {0, 1, 4}},
    {u"DESC IS NULL", &places, {3}},
    {u"DESC='x'", &places, {}, u"Type mismatch in expression"},
    {u"NAME_EN + X = 'a'", &places, {}, u"Type mismatch in expression"},
    {u"UPPER(NAME_EN)='MOSCOW'", &places, {0}},
    {u"SUBSTRING(NAME_EN, 2, 2)='os'", &places, {0, 1, 2}},
    {u"TRIM(' a ')+NAME_EN='aMo'", &places, {4}},
    {u"YEAR(DATE('01.02.2020'))=2020 AND MONTH(GETDATE())>0", &places, {0, 1, 2, 3, 4}},
    {u"UPPER(X)='1'", &places, {}, u"Invalid or missing parameter for function UPPER", {}, true},
    {u"UPPER()='1'", &places, {}, u"Type mismatch in expression"},
    // Failures, with their exact texts.
    {u"X<5<6", &places, {}, u"Filter expression incorrectly terminated"},
    {u"(X<5", &places, {}, u"')' expected but nothing found"},
    {u"X#5", &places, {}, u"Invalid filter expression character: '#'"},
    {u"/* open X=1", &places, {}, u"Invalid filter expression character: ''"},
    {u"/* a * b */ X=1", &places, {}, u"Invalid filter expression character: '*'"},
    {u"SUM(X)>0", &places, {}, u"Aggregate expressions not allowed in filters"},
    {u"COUNT(*)>0", &places, {}, u"Aggregate expressions not allowed in filters"},
    {u"SUM(X)>X", &places, {}, u"Operation cannot mix aggregate value with record-varying value"},
    {u"Z=1", &places, {}, u"PointTable: Field 'Z' not found"},
    {u"X='abc", &places, {}, u"Unterminated string constant"},
    {u"[X=1", &places, {}, u"Unterminated field name"},
    {u"X IS 5", &places, {}, u"Invalid use of keyword"},
    {u"X=", &places, {}, u"Expression expected but nothing found"},
    {u"X=)", &places, {}, u"Expression expected but ')' found"},
    {u"X IN 1", &places, {}, u"'(' expected but '1' found"},
    {u"X IN ()", &places, {}, u"IN predicate list may not be empty"},
    {u"X IN (1 Y)", &places, {}, u"')' or ',' expected but 'Y' found"},
    {u"X IN (1", &places, {}, u"')' expected but nothing found"},
    {u"NAME_EN LIKE NULL", &places, {}, u"NULL only allowed with '=' and '<>'"},
    {u"NAME_EN LIKE 'a[bc'", &places, {}, u"'a[bc' is an invalid mask at (2)"},
    // Nesting is bounded instead of running out of stack.
    {u"(((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((("
     u"((((((((((("
     u"(((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((("
     u"((((((((((",
     &places,
     {},
     u"Filter expression too complex"},
};

class FilterCaseTest : public ::testing::TestWithParam<Case>
{
};

TEST_P(FilterCaseTest, ShowsTheMatchingRecordsOrFails)
{
    const Case& c = GetParam();
    PointTable table(QStringLiteral("PointTable"));
    table.open();
    for (const Point& point : *c.points)
        addPoint(table, point);
    table.setFilterOptions(c.options);
    table.setFiltered(true);
    const QString text = QString::fromUtf16(c.text);
    try {
        table.setFilter(text);
        EXPECT_EQ(c.error, nullptr) << "no failure for " << text.toStdString();
        EXPECT_EQ(visibleIndices(table), c.visible) << text.toStdString();
        EXPECT_EQ(table.currentRow(), c.visible.empty() ? -1 : 0);
        EXPECT_EQ(table.recordCount(), int(c.visible.size()));
    } catch (const DatabaseError& error) {
        ASSERT_NE(c.error, nullptr) << text.toStdString() << ": " << error.message().toStdString();
        EXPECT_EQ(error.message(), QString::fromUtf16(c.error));
        if (c.failsWhileEvaluating) {
            // The filter is in force but no record passed it.
            EXPECT_TRUE(table.filterInForce());
            EXPECT_EQ(table.visibleCount(), 0);
        } else {
            // A filter that does not compile hides nothing.
            EXPECT_FALSE(table.filterInForce());
            EXPECT_EQ(table.visibleCount(), int(c.points->size()));
        }
        EXPECT_EQ(table.filter(), text);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, FilterCaseTest, ::testing::ValuesIn(cases));

TEST(FilterMask, MoreThanThirtyStarRunsFail)
{
    QString mask;
    for (int i = 0; i < 31; ++i)
        mask += QStringLiteral("*a");
    PointTable table(QStringLiteral("PointTable"));
    table.open();
    addPoint(table, {1, 1, u"a"_qs});
    table.setFiltered(true);
    try {
        table.setFilter(QStringLiteral("NAME_EN LIKE '%1'").arg(mask));
        FAIL() << "no failure";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("'%1' is an invalid mask at (61)").arg(mask));
    }
    // Thirty runs are fine, and "**" is one run.
    table.setFilter(QStringLiteral("NAME_EN LIKE '%1'").arg(QStringLiteral("*") + mask.mid(2)));
    EXPECT_EQ(table.visibleCount(), 0);
    table.setFilter(QStringLiteral("NAME_EN LIKE '**a'"));
    EXPECT_EQ(table.visibleCount(), 1);
}

// The fused proximity loop gives what the general evaluator gives for the
// same sum written so that it is not recognised.
TEST(FilterProximity, FusedLoopAgreesWithTheGeneralEvaluator)
{
    PointTable table(QStringLiteral("PointTable"));
    table.open();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> near(80, 130);
    std::uniform_int_distribution<int> any(std::numeric_limits<int>::min(),
                                           std::numeric_limits<int>::max());
    for (int i = 0; i < 3000; ++i) {
        Point point{near(random), near(random) + 90};
        if (i % 7 == 0)
            point.x = any(random);
        if (i % 11 == 0)
            point.y.reset();
        if (i % 13 == 0)
            point.x.reset();
        addPoint(table, point);
    }
    const auto fused =
        compileFilter(table, QStringLiteral("(X-100,5)*(X-100,5)+(Y-200)*(Y-200)<=300"), {});
    const auto general =
        compileFilter(table, QStringLiteral("(X-100,5)*(X-100,5)+(Y-200)*(Y-200)+0<=300"), {});
    std::vector<Slot> records(table.rowOrder().begin(), table.rowOrder().end());
    std::vector<std::uint8_t> a(records.size());
    std::vector<std::uint8_t> b(records.size());
    fused->test(table.store(), records.data(), records.size(), a.data());
    general->test(table.store(), records.data(), records.size(), b.data());
    EXPECT_EQ(a, b);
    EXPECT_GT(std::count(a.begin(), a.end(), 1), 100);
    // Records out of slot order take the gathering loop.
    std::reverse(records.begin(), records.end());
    std::vector<std::uint8_t> c(records.size());
    fused->test(table.store(), records.data(), records.size(), c.data());
    EXPECT_TRUE(std::equal(c.begin(), c.end(), a.rbegin()));
}

class FilterTableTest : public ::testing::Test
{
protected:
    void SetUp() override { table.open(); }
    int currentX() { return table.fieldByName(u"X").asInteger(); }
    PointTable table{QStringLiteral("PointTable")};
};

TEST_F(FilterTableTest, ClearingShowsEveryRecordWithTheCursorOnTheFirst)
{
    for (const Point& point : proximity)
        addPoint(table, point);
    table.setFilter(QStringLiteral("(X-100)*(X-100)+(Y-200)*(Y-200)<=100"));
    table.setFiltered(true);
    ASSERT_EQ(table.visibleCount(), 3);
    table.next();
    EXPECT_EQ(table.currentRow(), 1);
    table.setFilter(QString());
    table.setFiltered(false);
    EXPECT_EQ(table.visibleCount(), int(proximity.size()));
    EXPECT_EQ(table.currentRow(), 0);
    EXPECT_EQ(currentX(), 106);
}

TEST_F(FilterTableTest, AnEditMovingAPointOutOfTheCircleMakesTheNextOneCurrent)
{
    for (const Point& point : Points{{100, 200}, {101, 200}, {150, 150}, {102, 200}, {103, 200}})
        addPoint(table, point);
    table.setFilter(QStringLiteral("(X-100)*(X-100)+(Y-200)*(Y-200)<=100"));
    table.setFiltered(true);
    ASSERT_EQ(table.visibleCount(), 4);
    table.next();
    ASSERT_EQ(currentX(), 101);
    table.edit();
    table.fieldByName(u"X").setAsInteger(130);
    table.post();
    EXPECT_EQ(table.visibleCount(), 3);
    EXPECT_EQ(currentX(), 102);
    // Moved back inside, it shows again in its place.
    table.setFiltered(false);
    table.next();
    ASSERT_EQ(currentX(), 130);
    table.edit();
    table.fieldByName(u"X").setAsInteger(99);
    table.post();
    table.setFiltered(true);
    EXPECT_EQ(table.visibleCount(), 4);
}

TEST_F(FilterTableTest, RecordCountKeepsTheCurrentRecord)
{
    for (int i = 1; i <= 10; ++i)
        addPoint(table, {i, i});
    table.setFilter(QStringLiteral("X IN (2, 5, 9)"));
    table.setFiltered(true);
    table.next();
    ASSERT_EQ(currentX(), 5);
    EXPECT_EQ(table.recordCount(), 3);
    EXPECT_EQ(currentX(), 5);
}

TEST_F(FilterTableTest, TextIsKeptUntrimmedAndCompiledWhenTheTableOpens)
{
    table.close();
    table.setFilter(QStringLiteral(" X=1 \n"));
    table.setFiltered(true);
    EXPECT_FALSE(table.filterInForce());
    table.open();
    EXPECT_TRUE(table.filterInForce());
    EXPECT_EQ(table.filter(), QStringLiteral(" X=1 \n"));
    addPoint(table, {2, 2});
    addPoint(table, {1, 1});
    EXPECT_EQ(table.visibleCount(), 1);
    // A compile failure while the table is closed shows at the next open.
    table.close();
    table.setFilter(QStringLiteral("X#"));
    EXPECT_THROW(table.open(), DatabaseError);
    EXPECT_TRUE(table.isOpen());
    EXPECT_FALSE(table.filterInForce());
}

TEST_F(FilterTableTest, SwitchingOnCompilesAStoredTextThatHadFailed)
{
    addPoint(table, {1, 1});
    addPoint(table, {2, 2});
    EXPECT_THROW(table.setFilter(QStringLiteral("Q=1")), DatabaseError);
    table.fields(); // the failure leaves the table usable
    EXPECT_THROW(table.setFiltered(true), DatabaseError);
    EXPECT_TRUE(table.filtered());
    EXPECT_EQ(table.visibleCount(), 2);
    table.setFilter(QStringLiteral("X=2"));
    EXPECT_EQ(table.visibleCount(), 1);
    EXPECT_EQ(currentX(), 2);
}

TEST_F(FilterTableTest, AssigningAFilterSettlesAPendingEdit)
{
    addPoint(table, {1, 1});
    addPoint(table, {2, 2});
    table.setFiltered(true);
    table.edit();
    table.fieldByName(u"X").setAsInteger(5);
    table.setFilter(QStringLiteral("X>=2"));
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(table.visibleCount(), 2);
    EXPECT_EQ(currentX(), 5);
}

TEST_F(FilterTableTest, AnAppendedPointOutsideTheFilterLeavesTheVisibleSet)
{
    addPoint(table, {1, 1});
    table.setFilter(QStringLiteral("X<10"));
    table.setFiltered(true);
    addPoint(table, {50, 1});
    EXPECT_EQ(table.visibleCount(), 1);
    addPoint(table, {3, 1});
    EXPECT_EQ(table.visibleCount(), 2);
    EXPECT_EQ(currentX(), 3);
    table.setFiltered(false);
    EXPECT_EQ(table.visibleCount(), 3);
}

} // namespace
} // namespace kelvora

namespace kelvora {
namespace {

TEST(FilterTyping, ConstantsOutsideASixteenBitFieldFail)
{
    PointTable table(QStringLiteral("IMPBase"));
    FieldDef small = FieldDef::integer(QStringLiteral("S"));
    small.typeName = QStringLiteral("SmallInt");
    FieldDef word = FieldDef::integer(QStringLiteral("W"));
    word.typeName = QStringLiteral("Word");
    table.setFields({small, word});
    table.open();
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"S=32767", nullptr},
        {u"S=-32769", u"Constant out of range"},
        {u"W=65536", u"Constant out of range"},
        {u"W=-1", u"Constant out of range"},
        {u"65535>=W", nullptr},
        {u"Q=1", u"IMPBase: Field 'Q' not found"},
    };
    for (const auto& [text, error] : cases) {
        try {
            table.setFilter(QString::fromUtf16(text));
            EXPECT_EQ(error, nullptr) << QString::fromUtf16(text).toStdString();
        } catch (const DatabaseError& failure) {
            ASSERT_NE(error, nullptr) << failure.message().toStdString();
            EXPECT_EQ(failure.message(), QString::fromUtf16(error));
        }
    }
}

} // namespace
} // namespace kelvora
