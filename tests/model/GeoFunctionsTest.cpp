// Point and line functions, with values worked out on paper.
#include "model/GeoFunctions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <numbers>
#include <random>
#include <string>

namespace {
constexpr double kPi = std::numbers::pi;
}

TEST(GeoAngle, AxisDirectionsAndQuadrants)
{
    EXPECT_DOUBLE_EQ(GeoAngle(0, 0, 0, -5), 3 * kPi / 2);
    EXPECT_DOUBLE_EQ(GeoAngle(0, 0, -5, 0), kPi);
    EXPECT_DOUBLE_EQ(GeoAngle(0, 0, 0, 5), kPi / 2);
    EXPECT_DOUBLE_EQ(GeoAngle(0, 0, 5, 0), 0.0);
    EXPECT_DOUBLE_EQ(GeoAngle(0, 0, 1e-6, 1e-6), 0.0);
    EXPECT_NEAR(GeoAngle(0, 0, 1, 1), kPi / 4, 1e-12);
    EXPECT_NEAR(GeoAngle(0, 0, -1, 1), 3 * kPi / 4, 1e-12);
    EXPECT_NEAR(GeoAngle(0, 0, -1, -1), 5 * kPi / 4, 1e-12);
    EXPECT_NEAR(GeoAngle(0, 0, 1, -1), 7 * kPi / 4, 1e-12);
    // Near the world origin the same angles come out.
    EXPECT_NEAR(GeoAngle(500000, 500000, 500003, 500004), std::atan2(4.0, 3.0), 1e-12);
}

TEST(GeoTurnAngle, RightAngleStraightOnAndReversal)
{
    EXPECT_NEAR(GeoTurnAngle(0, 0, 10, 0, 10, 10), kPi / 2, 1e-12);
    EXPECT_NEAR(GeoTurnAngle(0, 0, 10, 0, 20, 0), 0.0, 1e-12);
    EXPECT_NEAR(GeoTurnAngle(0, 0, 10, 0, 0, 0), kPi, 1e-12);
    EXPECT_NEAR(GeoTurnAngle(0, 0, 10, 0, 10, -10), kPi / 2, 1e-12);
}

TEST(GeoTurnAngle, CoincidentNeighbourGivesNoTurn)
{
    EXPECT_EQ(GeoTurnAngle(5, 5, 5, 5, 10, 0), 0.0);
    EXPECT_EQ(GeoTurnAngle(0, 0, 5, 5, 5, 5), 0.0);
}

TEST(GeoTurnAngle, CollinearPointsNearTheOriginNeverGiveNaN)
{
    // Unclamped, the cosine of such triples rounds past -1 and acos gives NaN,
    // which then fails every later comparison.
    std::mt19937 gen(12345);
    std::uniform_real_distribution<double> pos(-50.0, 50.0);
    std::uniform_real_distribution<double> step(0.001, 20.0);
    for (int i = 0; i < 20000; ++i) {
        const double x = 500000 + pos(gen), y = 500000 + pos(gen);
        const double dx = step(gen), dy = step(gen) * 0.3;
        const double a = step(gen), b = step(gen);
        const double t = GeoTurnAngle(x, y, x + a * dx, y + a * dy, x + (a + b) * dx, y + (a + b) * dy);
        ASSERT_FALSE(std::isnan(t)) << i;
        ASSERT_LT(t, 1e-6) << i;
    }
}

TEST(GeoPointLineDistance, PerpendicularDistanceAlsoFarFromZero)
{
    EXPECT_DOUBLE_EQ(GeoPointLineDistance(0, 0, 10, 0, 5, 3), 3.0);
    EXPECT_DOUBLE_EQ(GeoPointLineDistance(500000, 500000, 500010, 500000, 500005, 500003), 3.0);
    EXPECT_NEAR(GeoPointLineDistance(0, 0, 10, 10, 10, 0), std::sqrt(50.0), 1e-12);
    // A line through one point only: the distance to that point, not NaN.
    EXPECT_DOUBLE_EQ(GeoPointLineDistance(1, 1, 1, 1, 4, 5), 5.0);
}

TEST(GeoPointAlong, StepsAlongTheDirectionOrRefusesCoincidentPoints)
{
    double x = 0, y = 0;
    EXPECT_TRUE(GeoPointAlong(0, 0, 3, 4, 10, x, y));
    EXPECT_DOUBLE_EQ(x, 6);
    EXPECT_DOUBLE_EQ(y, 8);
    EXPECT_FALSE(GeoPointAlong(2, 3, 2, 3.000001, 10, x, y));
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 3);
}

TEST(GeoRotatePoint, QuarterTurnAndCentreStays)
{
    double x = 0, y = 0;
    GeoRotatePoint(100, 100, 110, 100, kPi / 2, x, y);
    EXPECT_NEAR(x, 100, 1e-9);
    EXPECT_NEAR(y, 110, 1e-9);
    GeoRotatePoint(100, 100, 100.000001, 100, 1.0, x, y);
    EXPECT_EQ(x, 100.000001);
    EXPECT_EQ(y, 100);
}

TEST(GeoPerpendicularPoint, SideSetIsLeftOfTravelAtEitherEnd)
{
    double x = 0, y = 0;
    GeoPerpendicularPoint(0, 0, 10, 0, true, true, 2, x, y);
    EXPECT_NEAR(x, 0, 1e-12);
    EXPECT_NEAR(y, 2, 1e-12);
    GeoPerpendicularPoint(0, 0, 10, 0, true, false, 2, x, y);
    EXPECT_NEAR(y, -2, 1e-12);
    GeoPerpendicularPoint(0, 0, 10, 0, false, true, 2, x, y);
    EXPECT_NEAR(x, 10, 1e-12);
    EXPECT_NEAR(y, 2, 1e-12);
    GeoPerpendicularPoint(0, 0, 10, 0, false, false, 2, x, y);
    EXPECT_NEAR(x, 10, 1e-12);
    EXPECT_NEAR(y, -2, 1e-12);
}

TEST(GeoProjectPointOnLine, FootOfPerpendicular)
{
    double x = 0, y = 0;
    GeoProjectPointOnLine(0, 0, 10, 10, 10, 0, x, y);
    EXPECT_DOUBLE_EQ(x, 5);
    EXPECT_DOUBLE_EQ(y, 5);
    GeoProjectPointOnLine(0, 0, 10, 0, 3, 7, x, y);
    EXPECT_DOUBLE_EQ(x, 3);
    EXPECT_DOUBLE_EQ(y, 0);
}

TEST(GeoMirrorPoint, ReflectsAcrossDiagonalAndAxis)
{
    double x = 0, y = 0;
    GeoMirrorPoint(3, 1, 0, 0, 10, 10, x, y);
    EXPECT_NEAR(x, 1, 1e-12);
    EXPECT_NEAR(y, 3, 1e-12);
    GeoMirrorPoint(3, 4, 0, 0, 10, 0, x, y);
    EXPECT_NEAR(x, 3, 1e-12);
    EXPECT_NEAR(y, -4, 1e-12);
}

// Origin conversions flip whole drawings across level and upright lines;
// the trigonometric route moved such points by a few ulps per flip, so a
// drawing flipped twice no longer matched itself.
TEST(GeoMirrorPoint, AxisMirrorIsExactAndUndoesItselfBitForBit)
{
    struct Case {
        double px, py, x1, y1, x2, y2, mx, my;
    };
    const Case cases[] = {
        {12.5, -7.75, 0, 10, 1, 10, 12.5, 27.75},  {0.5, 0.25, 1, 10, 0, 10, 0.5, 19.75},
        {37.5, 26.0, 0, 10, 1, 10, 37.5, -6.0},    {12.5, -7.75, 10, 0, 10, 1, 7.5, -7.75},
        {0.5, 0.25, 10, 1, 10, 0, 19.5, 0.25},     {37.5, 26.0, 10, 0, 10, 1, -17.5, 26.0},
    };
    for (const Case& c : cases) {
        double x = 0, y = 0, bx = 0, by = 0;
        GeoMirrorPoint(c.px, c.py, c.x1, c.y1, c.x2, c.y2, x, y);
        EXPECT_EQ(x, c.mx);
        EXPECT_EQ(y, c.my);
        GeoMirrorPoint(x, y, c.x1, c.y1, c.x2, c.y2, bx, by);
        EXPECT_EQ(bx, c.px);
        EXPECT_EQ(by, c.py);
    }
}

TEST(GeoLineIntersection, CrossingLinesAndParallelLines)
{
    double x = 0, y = 0;
    EXPECT_EQ(GeoLineIntersection(0, 0, 10, 10, 0, 10, 10, 0, x, y), 0u);
    EXPECT_DOUBLE_EQ(x, 5);
    EXPECT_DOUBLE_EQ(y, 5);
    // The lines, not the segments: the crossing lies beyond both.
    EXPECT_EQ(GeoLineIntersection(0, 5, 1, 5, 3, 0, 3, 1, x, y), 0u);
    EXPECT_DOUBLE_EQ(x, 3);
    EXPECT_DOUBLE_EQ(y, 5);
    EXPECT_EQ(GeoLineIntersection(0, 0, 10, 0, 0, 1, 10, 1, x, y), 0xFFFFFFFFu);
    EXPECT_EQ(x, -1e10);
    EXPECT_EQ(y, -1e10);
}

TEST(GeoSegmentIntersection, ProperCrossingGivesNineAndThePoint)
{
    double x = 0, y = 0;
    EXPECT_EQ(GeoSegmentIntersection(0, 0, 10, 10, 0, 10, 10, 0, x, y), 9u);
    EXPECT_DOUBLE_EQ(x, 5);
    EXPECT_DOUBLE_EQ(y, 5);
    EXPECT_EQ(GeoSegmentIntersection(500000, 500000, 500010, 500000, 500004, 499990, 500004, 500030, x, y), 9u);
    EXPECT_DOUBLE_EQ(x, 500004);
    EXPECT_DOUBLE_EQ(y, 500000);
}

TEST(GeoSegmentIntersection, SharedEndsAreNamedInOrder)
{
    double x = 0, y = 0;
    EXPECT_EQ(GeoSegmentIntersection(1, 1, 5, 9, 1, 1, 7, 0, x, y), 1u);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(GeoSegmentIntersection(1, 1, 5, 9, 7, 0, 1, 1, x, y), 2u);
    EXPECT_EQ(GeoSegmentIntersection(5, 9, 1, 1, 1, 1, 7, 0, x, y), 3u);
    EXPECT_EQ(GeoSegmentIntersection(5, 9, 1, 1, 7, 0, 1, 1, x, y), 4u);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 1);
}

TEST(GeoSegmentIntersection, TouchingEndOnTheOtherSegment)
{
    double x = 0, y = 0;
    EXPECT_EQ(GeoSegmentIntersection(0, 0, 10, 0, 4, 0, 4, 5, x, y), 5u);
    EXPECT_EQ(x, 4);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(GeoSegmentIntersection(0, 0, 10, 0, 4, 5, 4, 0, x, y), 6u);
    EXPECT_EQ(GeoSegmentIntersection(4, 0, 4, 5, 0, 0, 10, 0, x, y), 7u);
    EXPECT_EQ(x, 4);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(GeoSegmentIntersection(4, 5, 4, 0, 0, 0, 10, 0, x, y), 8u);
}

TEST(GeoSegmentIntersection, DisjointAndParallelSegmentsDoNotMeet)
{
    double x = 0, y = 0;
    EXPECT_EQ(GeoSegmentIntersection(0, 0, 1, 1, 5, 5, 6, 7, x, y), 0u);
    // Boxes overlap, but Q lies wholly on one side of P.
    EXPECT_EQ(GeoSegmentIntersection(0, 0, 10, 10, 6, 0, 10, 3, x, y), 0u);
    // Q straddles P's line, but P stops short of Q's line.
    EXPECT_EQ(GeoSegmentIntersection(0, 0, 4, 4, 10, 0, 0, 10, x, y), 0u);
    EXPECT_EQ(GeoSegmentIntersection(0, 0, 10, 10, 0, 1, 10, 11, x, y), 0u);
    EXPECT_EQ(GeoSegmentIntersection(0, 0, 10, 0, 20, 0, 30, 0, x, y), 0u);
}

TEST(GeoSegmentIntersection, CollinearOverlapReportsAnEndInsideTheOtherSegment)
{
    // Q0 lies on P's line but before P's start; the end that lies on P is Q1.
    double x = 0, y = 0;
    EXPECT_EQ(GeoSegmentIntersection(0, 0, 10, 0, -5, 0, 5, 0, x, y), 6u);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 0);
    // Q encloses P: neither Q end lies on P, P0 does lie on Q.
    EXPECT_EQ(GeoSegmentIntersection(2, 2, 3, 3, 0, 0, 10, 10, x, y), 7u);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 2);
}

TEST(RoundDecimals, RoundsThroughFixedText)
{
    EXPECT_DOUBLE_EQ(RoundDecimals(2.345678, 2), 2.35);
    EXPECT_DOUBLE_EQ(RoundDecimals(-2.345678, 3), -2.346);
    EXPECT_DOUBLE_EQ(RoundDecimals(2.7, 0), 3.0);
    EXPECT_DOUBLE_EQ(RoundDecimals(500123.456789, 1), 500123.5);
}

TEST(RoundDecimals, IgnoresACommaLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* set = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if ((set = std::setlocale(LC_NUMERIC, name)) != nullptr)
            break;
    }
    if (set == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const double v = RoundDecimals(2.345678, 2);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_DOUBLE_EQ(v, 2.35);
}
