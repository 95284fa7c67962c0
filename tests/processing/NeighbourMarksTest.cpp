// The marking of points near another, on points placed by hand: pairs in
// one cell, in adjacent columns and exactly one distance apart.
#include "processing/NeighbourMarks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using plat::uniting::EndXY;
using plat::uniting::MarkPointsWithNeighbours;
using plat::uniting::PointSpread;
using plat::uniting::ScratchArray;

TEST(NeighbourMarks, MarksPairsCloserThanTheDistanceOnBothAxesAndNothingElse)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Distance 1, cells of 2 from (0, 0): A and B share a cell, D and E too;
    // F (column 2) and G (column 3) lie in adjacent columns; H and I are
    // exactly 1 apart, which is not closer; C lies alone.
    const std::vector<EndXY> at = {{0, 0},     {0.5, 0.9}, {10, 10}, {3, 0},   {3.99, 0}, {5.5, 0},
                                   {6.4, 0.5}, {20, 0},    {21, 0},  {nan, 0}, {inf, 5}};
    const std::vector<std::uint8_t> expected = {1, 1, 0, 1, 1, 1, 1, 0, 0, 0, 0};
    ScratchArray<EndXY> points(at.size());
    PointSpread spread;
    for (std::size_t i = 0; i < at.size(); ++i) {
        points[i] = at[i];
        spread.Add(at[i]);
    }
    EXPECT_EQ(spread.finite, 9u);
    EXPECT_EQ(MarkPointsWithNeighbours(points, static_cast<std::uint32_t>(at.size()), spread, 1.0), expected);
}
