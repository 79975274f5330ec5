#include "columnfit.h"
#include "pointgrid.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

struct FitCase
{
    int space;
    std::vector<int> widths;
};

class ColumnFit : public ::testing::TestWithParam<FitCase>
{
};

TEST_P(ColumnFit, GridColumnsShareTheSpace)
{
    const FitCase& c = GetParam();
    EXPECT_EQ(fitColumnWidths(PointGrid::columnLimits, c.space), c.widths);
}

// 266 is the sum of the nominal widths. Once X, Y and PRN are held at 40, 40
// and 29 the names share the rest 75 : 92, the remainder going to NAME_RUS.
INSTANTIATE_TEST_SUITE_P(
    Widths, ColumnFit,
    ::testing::Values(FitCase{266, {35, 35, 75, 92, 29}}, FitCase{0, {0, 0, 0, 0, 0}},
                      FitCase{100, {13, 13, 28, 34, 12}}, FitCase{300, {40, 40, 85, 106, 29}},
                      FitCase{400, {40, 40, 130, 161, 29}}, FitCase{1000, {40, 40, 400, 491, 29}}));

TEST(ColumnFitRules, NoSpaceGivesNoColumnANegativeWidth)
{
    const std::vector<ColumnLimit> columns{{10, 0}, {10, 0}};
    EXPECT_EQ(fitColumnWidths(columns, -7), (std::vector<int>{0, 0}));
}

TEST(ColumnFitRules, AllColumnsHeldLeaveNoFreeColumn)
{
    const std::vector<ColumnLimit> columns{{10, 5}, {10, 5}};
    EXPECT_EQ(fitColumnWidths(columns, 100), (std::vector<int>{5, 5}));
}

} // namespace
} // namespace kelvora
