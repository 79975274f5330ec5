#include "modifiedstate.h"
#include "pointtable.h"

#include <functional>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

void addPoint(PointTable& table, int x)
{
    table.append();
    table.fieldByName(u"X").setAsInteger(x);
    table.post();
}

struct Step
{
    const char* name;
    std::function<void(PointTable&)> act;
    bool modifies;
};

class ModifiedStateSteps : public ::testing::TestWithParam<Step>
{
};

// Each step runs on an open table of three points (X = 1, 2, 3) whose
// state was just cleared, the cursor on the first.
TEST_P(ModifiedStateSteps, CountOnlyChangesThatWereKept)
{
    PointTable table(QStringLiteral("T"));
    table.open();
    for (int x = 1; x <= 3; ++x)
        addPoint(table, x);
    table.first();
    ModifiedState state(table);
    state.clear();
    ASSERT_FALSE(state.modified());
    GetParam().act(table);
    EXPECT_EQ(state.modified(), GetParam().modifies);
}

const Step steps[] = {
    {"CursorMoves",
     [](PointTable& t) {
         t.next();
         t.last();
         t.prior();
         t.setCurrentRow(0);
     },
     false},
    {"CancelledEdit",
     [](PointTable& t) {
         t.edit();
         t.fieldByName(u"X").setAsInteger(50);
         t.cancel();
     },
     false},
    {"CancelledAppend",
     [](PointTable& t) {
         t.append();
         t.fieldByName(u"X").setAsInteger(50);
         t.cancel();
     },
     false},
    {"PostedAppend", [](PointTable& t) { addPoint(t, 9); }, true},
    {"PostedEdit",
     [](PointTable& t) {
         t.edit();
         t.fieldByName(u"X").setAsInteger(50);
         t.post();
     },
     true},
    // A posted edit is a change even when it wrote back the same value.
    {"PostedEditOfTheSameValue",
     [](PointTable& t) {
         t.edit();
         t.fieldByName(u"X").setAsInteger(1);
         t.post();
     },
     true},
    {"Delete", [](PointTable& t) { t.deleteRecord(); }, true},
    {"AppendHiddenByTheFilter",
     [](PointTable& t) {
         t.setFilter(QStringLiteral("X < 100"));
         t.setFiltered(true);
         addPoint(t, 500);
     },
     true},
    {"EditThatHidesTheRecord",
     [](PointTable& t) {
         t.setFilter(QStringLiteral("X < 100"));
         t.setFiltered(true);
         t.edit();
         t.fieldByName(u"X").setAsInteger(500);
         t.post();
     },
     true},
    {"FilteringAndSorting",
     [](PointTable& t) {
         t.setFilter(QStringLiteral("X > 1"));
         t.setFiltered(true);
         t.setFiltered(false);
         t.setSortFields(QStringLiteral("X"));
         t.sort();
     },
     false},
};

INSTANTIATE_TEST_SUITE_P(Steps, ModifiedStateSteps, ::testing::ValuesIn(steps),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModifiedState, ClearForgetsAndMarkRemembers)
{
    PointTable table(QStringLiteral("T"));
    table.open();
    ModifiedState state(table);
    addPoint(table, 1);
    EXPECT_TRUE(state.modified());
    state.clear();
    EXPECT_FALSE(state.modified());
    state.markModified();
    EXPECT_TRUE(state.modified());
}

TEST(ModifiedState, FingerprintFollowsEveryStoredValue)
{
    PointTable table(QStringLiteral("T"));
    table.open();
    ModifiedState state(table);
    addPoint(table, 1);
    const std::uint64_t one = state.fingerprint();
    EXPECT_EQ(state.fingerprint(), one);
    table.edit();
    table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("a"));
    table.post();
    const std::uint64_t named = state.fingerprint();
    EXPECT_NE(named, one);
    table.edit();
    table.fieldByName(u"X").setAsInteger(2);
    table.post();
    EXPECT_NE(state.fingerprint(), named);
    // Held notifications hide the change from the signals, not from the fingerprint.
    state.clear();
    const std::uint64_t before = state.fingerprint();
    table.holdNotifications();
    addPoint(table, 3);
    table.releaseNotifications();
    EXPECT_FALSE(state.modified());
    EXPECT_NE(state.fingerprint(), before);
}

} // namespace
} // namespace kelvora
