// Shared numeric rules of the outline renderers, with values worked out by
// hand from the rules.
#include "textoutline/OutlineMath.h"
#include "textoutline/TextChar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

CSuPoint P(double x, double y, std::uint8_t kind)
{
    CSuPoint p;
    p.m_x = x;
    p.m_y = y;
    p.m_kind = kind;
    return p;
}

void ExpectPoint(const CSuPoint& p, double x, double y, std::uint8_t kind)
{
    EXPECT_NEAR(p.m_x, x, 1e-9);
    EXPECT_NEAR(p.m_y, y, 1e-9);
    EXPECT_EQ(p.m_kind, kind);
}

} // namespace

TEST(NearestInteger, HalvesGoAwayFromZeroAndHugeValuesSaturate)
{
    EXPECT_EQ(NearestInt(-2.5), -3);
    EXPECT_EQ(NearestInt(2.4999), 2);
    EXPECT_EQ(NearestInt(2.5), 3);
    EXPECT_EQ(NearestInt(-0.4), 0);
    EXPECT_EQ(NearestInt(1e30), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(NearestInt(-1e30), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(NearestInt(std::nan("")), 0);
    EXPECT_EQ(NearestInt32(5e9), INT32_MAX);
    EXPECT_EQ(NearestInt32(-5e9), INT32_MIN);
}

TEST(DoubleEquality, WorksAbove21WhereA32BitScaleWrapsAround)
{
    EXPECT_TRUE(DoublesEqual(30.0, 30.000000004));
    EXPECT_FALSE(DoublesEqual(30.0, 30.00000002));
    // 42.94967296 * 1e8 is 2^32: in 32 bits 1.0 and 43.94967296 looked equal.
    EXPECT_FALSE(DoublesEqual(1.0, 43.94967296));
    EXPECT_TRUE(DoublesEqual(-25.5, -25.5));
    // Beyond 64 bits at that scale: distinct values stay distinct.
    EXPECT_FALSE(DoublesEqual(1e12, 1e12 + 1.0));
    EXPECT_TRUE(DoublesEqual(1e15, 1e15));
}

TEST(FixedPoint, FractionIsReadOver65535)
{
    // FreeType's -32/64 = -0.5 is value -1, fraction 0x8000 in 16.16.
    EXPECT_NEAR(FixedToDouble(plat::FIXED{32768, -1}), -0.4999924, 1e-7);
    EXPECT_EQ(FixedToDouble(plat::FIXED{0, 5}), 5.0);
    EXPECT_EQ(FixedToDouble(plat::FIXED{65535, 0}), 1.0);
}

TEST(WorkingSpace, InsertionPointMapsToTenthsAroundTwentyThousandYDown)
{
    double x = 0.0;
    double y = 0.0;
    MapToWorkingSpace(1.5, 2.0, x, y);
    EXPECT_EQ(x, 20015.0);
    EXPECT_EQ(y, 19980.0);
}

TEST(WorkingSpace, AngleBelowOneTenThousandthIsNotApplied)
{
    EXPECT_FALSE(AngleApplies(0.00004));
    EXPECT_TRUE(AngleApplies(0.0001));
    EXPECT_FALSE(AngleApplies(-0.00004));
    EXPECT_TRUE(AngleApplies(-0.0001));
}

TEST(QuadraticToCubic, OneControlGivesTwoThirdsControls)
{
    const auto out = ConvertRawContour({P(0, 0, 0), P(30, 30, 4), P(60, 0, 0)});
    ASSERT_EQ(out.size(), 4u);
    ExpectPoint(out[0], 0, 0, 5);
    ExpectPoint(out[1], 20, 20, 6);
    ExpectPoint(out[2], 40, 20, 6);
    ExpectPoint(out[3], 60, 0, 5);
}

TEST(QuadraticToCubic, TwoControlsJoinAtTheirMidpoint)
{
    const auto out = ConvertRawContour({P(0, 0, 0), P(10, 20, 4), P(30, 20, 4), P(40, 0, 0)});
    ASSERT_EQ(out.size(), 7u);
    ExpectPoint(out[0], 0, 0, 5);
    ExpectPoint(out[1], 20.0 / 3, 40.0 / 3, 6);
    ExpectPoint(out[2], 40.0 / 3, 20, 6);
    ExpectPoint(out[3], 20, 20, 5);
    ExpectPoint(out[4], 80.0 / 3, 20, 6);
    ExpectPoint(out[5], 100.0 / 3, 40.0 / 3, 6);
    ExpectPoint(out[6], 40, 0, 5);
}

TEST(QuadraticToCubic, TrailingControlClosesOnFirstPointWithoutRepeatingIt)
{
    const auto out = ConvertRawContour({P(0, 0, 0), P(60, 0, 0), P(30, 30, 4)});
    ASSERT_EQ(out.size(), 4u);
    ExpectPoint(out[0], 0, 0, 0);
    ExpectPoint(out[1], 60, 0, 5);
    ExpectPoint(out[2], 40, 20, 6);
    ExpectPoint(out[3], 20, 20, 6);
}

TEST(QuadraticToCubic, StraightContourDropsItsRepeatedStart)
{
    const auto out = ConvertRawContour({P(0, 0, 0), P(10, 0, 0), P(10, 10, 0), P(0, 0.0000005, 0)});
    ASSERT_EQ(out.size(), 3u);
    ExpectPoint(out[2], 10, 10, 0);
    // Farther than 1e-6: kept.
    EXPECT_EQ(ConvertRawContour({P(0, 0, 0), P(10, 0, 0), P(0, 0.00001, 0)}).size(), 3u);
}

TEST(QuadraticToCubic, CubicControlPairsPassThroughUnchanged)
{
    // Reading cubic controls as quadratic ones would insert a midpoint.
    const auto out = ConvertRawContour({P(0, 0, 0), P(0, 10, 6), P(10, 10, 6), P(10, 0, 0), P(0, 0, 0)});
    ASSERT_EQ(out.size(), 4u);
    ExpectPoint(out[0], 0, 0, 5);
    ExpectPoint(out[1], 0, 10, 6);
    ExpectPoint(out[2], 10, 10, 6);
    ExpectPoint(out[3], 10, 0, 5);
}

TEST(QuadraticToCubic, MalformedControlRunsStayWithinTheContour)
{
    // A lone cubic control is read as a quadratic one.
    const auto lone = ConvertRawContour({P(0, 0, 0), P(30, 30, 6), P(60, 0, 0)});
    ASSERT_EQ(lone.size(), 4u);
    ExpectPoint(lone[1], 20, 20, 6);
    // Controls before the first point on the curve close the contour.
    const auto leading = ConvertRawContour({P(30, 30, 4), P(60, 0, 0), P(0, 0, 0)});
    ASSERT_EQ(leading.size(), 4u);
    ExpectPoint(leading[0], 60, 0, 0);
    ExpectPoint(leading[1], 0, 0, 5);
    ExpectPoint(leading[2], 20, 20, 6);
    ExpectPoint(leading[3], 40, 20, 6);
    EXPECT_TRUE(ConvertRawContour({P(1, 1, 4), P(2, 2, 4)}).empty());
    EXPECT_TRUE(ConvertRawContour({}).empty());
}

TEST(ArcToCubic, QuarterCircleUsesTheFactorAlongTheTangents)
{
    const double k = 4.0 / 3.0 * (1.0 - std::cos(std::numbers::pi / 4)) / std::sin(std::numbers::pi / 4);
    EXPECT_NEAR(k, 0.5522847, 1e-7);
    const auto out = ArcToCubic(0, 0, 1, 1, 0, 90);
    ASSERT_EQ(out.size(), 4u);
    ExpectPoint(out[0], 1, 0, 0);
    ExpectPoint(out[1], 1, k, 6);
    ExpectPoint(out[2], k, 1, 6);
    ExpectPoint(out[3], 0, 1, 0);
    const auto cw = ArcToCubic(0, 0, 1, 1, 0, -90);
    ASSERT_EQ(cw.size(), 4u);
    ExpectPoint(cw[1], 1, -k, 6);
    ExpectPoint(cw[2], k, -1, 6);
    ExpectPoint(cw[3], 0, -1, 0);
    const auto ellipse = ArcToCubic(10, 20, 2, 1, 0, 90);
    ExpectPoint(ellipse[1], 12, 20 + k, 6);
    ExpectPoint(ellipse[2], 10 + 2 * k, 21, 6);
}

TEST(ArcToCubic, HalfCircleIsOnePiece)
{
    const auto out = ArcToCubic(0, 0, 1, 1, 0, 180);
    ASSERT_EQ(out.size(), 4u);
    ExpectPoint(out[1], 1, 4.0 / 3, 6);
    ExpectPoint(out[2], -1, 4.0 / 3, 6);
    ExpectPoint(out[3], -1, 0, 0);
}

TEST(ArcToCubic, ZeroSweepAddsNothingAndFullCircleStaysFinite)
{
    EXPECT_TRUE(ArcToCubic(0, 0, 1, 1, 30, 0).empty());
    // At 360 degrees the factor divides by sin 180 = 0: two halves instead.
    const auto full = ArcToCubic(0, 0, 1, 1, 0, 360);
    ASSERT_EQ(full.size(), 7u);
    ExpectPoint(full[1], 1, 4.0 / 3, 6);
    ExpectPoint(full[2], -1, 4.0 / 3, 6);
    ExpectPoint(full[3], -1, 0, 0);
    ExpectPoint(full[4], -1, -4.0 / 3, 6);
    ExpectPoint(full[5], 1, -4.0 / 3, 6);
    ExpectPoint(full[6], 1, 0, 0);
    // Near 360 one piece would put controls far off the circle.
    const auto almost = ArcToCubic(0, 0, 1, 1, 0, 359.9);
    ASSERT_EQ(almost.size(), 7u);
    for (const CSuPoint& p : almost) {
        EXPECT_LT(std::fabs(p.m_x), 1.5);
        EXPECT_LT(std::fabs(p.m_y), 1.5);
    }
    const auto threeQuarters = ArcToCubic(0, 0, 1, 1, 0, 270);
    ASSERT_EQ(threeQuarters.size(), 7u);
    ExpectPoint(threeQuarters[3], -std::sqrt(0.5), std::sqrt(0.5), 0);
    ExpectPoint(threeQuarters[6], 0, -1, 0);
}

TEST(BoundingRect, RoundsExtremesAndWidensFlatRectangles)
{
    const plat::RECT r = BoundingRect(std::vector<CSuPoint>{P(0.4, 1.6, 0), P(10.5, 3.2, 0)});
    EXPECT_EQ(r, (plat::RECT{0, 2, 11, 3}));
    const plat::RECT flat = BoundingRect(std::vector<CSuPoint>{P(5, 0, 0), P(5, 10, 0)});
    EXPECT_EQ(flat, (plat::RECT{3, -2, 7, 12}));
    EXPECT_EQ(BoundingRect(std::vector<CSuPoint>{}), plat::RECT{});
    // Far beyond 32 bits: clamped, not wrapped.
    const plat::RECT far = BoundingRect(std::vector<CSuPoint>{P(-1e12, 0, 0), P(1e12, 5, 0)});
    EXPECT_EQ(far.left, INT32_MIN);
    EXPECT_EQ(far.right, INT32_MAX);
}

TEST(Rotation, QuarterTurnIsCounterClockwiseAsDrawnAndKeepsKinds)
{
    CTextChar ch;
    COutLine line;
    line.m_points = {P(110, 100, 5), P(100, 90, 6)};
    line.m_points[0].m_flag = 3;
    ch.m_contours.push_back(line);
    ch.Rotate(100, 100, std::numbers::pi / 2);
    // y grows downwards: right of the centre turns to above it.
    ExpectPoint(ch.m_contours[0].m_points[0], 100, 90, 5);
    EXPECT_EQ(ch.m_contours[0].m_points[0].m_flag, 3);
    ExpectPoint(ch.m_contours[0].m_points[1], 90, 100, 6);
}

TEST(TextWalk, DoubleByteCodeTakesTwoBytes)
{
    const std::string text = "A\xB0\xA1z";
    std::size_t pos = 0;
    std::uint32_t code = 0;
    ASSERT_TRUE(ReadTextCode(text, pos, code));
    EXPECT_EQ(code, 0x41u);
    ASSERT_TRUE(ReadTextCode(text, pos, code));
    EXPECT_EQ(code, 0xB0A1u);
    ASSERT_TRUE(ReadTextCode(text, pos, code));
    EXPECT_EQ(code, 0x7Au);
    EXPECT_FALSE(ReadTextCode(text, pos, code));
}

TEST(TextWalk, LeadByteBeforeTheEndDoesNotSwallowTheTerminator)
{
    const char buffer[] = {'A', '\xB0', '\0', 'Z', 'Z'};
    const std::string_view text(buffer, sizeof buffer);
    std::size_t pos = 0;
    std::uint32_t code = 0;
    ASSERT_TRUE(ReadTextCode(text, pos, code));
    EXPECT_EQ(code, 0x41u);
    EXPECT_FALSE(ReadTextCode(text, pos, code));
    EXPECT_FALSE(ReadTextCode(text, pos, code));
    // A lead byte as the very last byte of the text.
    pos = 0;
    const std::string cut = "\xB0";
    EXPECT_FALSE(ReadTextCode(cut, pos, code));
    EXPECT_EQ(pos, 1u);
}
