// Curve flattening, sampling, splitting, arcs and splines. Straight cubics
// with evenly spaced controls run at constant speed (B(t) = P0 + t (P3 - P0)),
// which keeps the expected points easy to work out.
#include "model/CurveGeometry.h"
#include "model/DocState.h"
#include "model/NodeList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

struct P {
    double x, y;
    int kind;
};

DOCNODE* Make(const std::vector<P>& pts)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (const P& p : pts) {
        last = AppendNode(last, p.x, p.y, static_cast<std::uint8_t>(p.kind));
        if (head == nullptr)
            head = last;
    }
    return head;
}

std::vector<P> Read(const DOCNODE* head)
{
    std::vector<P> out;
    for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext)
        out.push_back({n->m_x, n->m_y, n->m_nKind});
    return out;
}

// Owns a result list.
struct Owned {
    explicit Owned(DOCNODE* h) : head(h) {}
    ~Owned() { CDocState::FreeNodeList(head); }
    DOCNODE* head;
};

void ExpectAt(const P& p, double x, double y, double tol = 1e-9)
{
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
}

} // namespace

TEST(SamplePolyline, ShortStraightSegmentIsStillHalvedOnce)
{
    Owned in(Make({{0, 0, 0}, {1, 0, 2}, {2, 0, 1}, {3, 0, 0}}));
    Owned out(SamplePolyline(in.head, 4.0));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 3u);
    ExpectAt(pts[0], 0, 0);
    ExpectAt(pts[1], 1.5, 0);
    ExpectAt(pts[2], 3, 0);
    for (const P& p : pts)
        EXPECT_EQ(p.kind, NODE_ANCHOR);
    EXPECT_EQ(out.head->m_pPrev, nullptr);
}

TEST(SamplePolyline, PiecesAreJudgedByTheirEndAnchorsAlone)
{
    // A straight segment of length 100 halves down to 32 pieces of 3.125;
    // the second segment's ends lie 2 apart, so it is one chord although its
    // controls bulge 500 away.
    Owned in(Make({{0, 0, 0}, {100.0 / 3, 0, 2}, {200.0 / 3, 0, 1}, {100, 0, 0},
                   {100, 500, 2}, {102, 500, 1}, {102, 0, 0}}));
    Owned out(SamplePolyline(in.head, 4.0));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 34u);
    for (int i = 0; i <= 32; ++i)
        ExpectAt(pts[static_cast<std::size_t>(i)], 3.125 * i, 0);
    ExpectAt(pts[33], 102, 0);
}

TEST(SamplePolyline, ChordsOfACurveStayWithinTolerancePerAxis)
{
    Owned in(Make({{0, 0, 0}, {0, 100, 2}, {100, 100, 1}, {100, 0, 0}}));
    Owned out(SamplePolyline(in.head, 4.0));
    const auto pts = Read(out.head);
    ASSERT_GT(pts.size(), 3u);
    ExpectAt(pts.front(), 0, 0);
    ExpectAt(pts.back(), 100, 0);
    for (std::size_t i = 1; i < pts.size(); ++i) {
        EXPECT_LT(std::fabs(pts[i].x - pts[i - 1].x), 4.0);
        EXPECT_LT(std::fabs(pts[i].y - pts[i - 1].y), 4.0);
    }
}

TEST(SamplePolyline, NoListNoToleranceAndAnchorsOnly)
{
    EXPECT_EQ(SamplePolyline(nullptr, 4.0), nullptr);
    Owned in(Make({{0, 0, 0}, {1, 0, 2}, {2, 0, 1}, {3, 0, 0}}));
    EXPECT_EQ(SamplePolyline(in.head, 0.0), nullptr);
    EXPECT_EQ(SamplePolyline(in.head, -1.0), nullptr);
    Owned single(Make({{7, 8, 0}}));
    Owned out(SamplePolyline(single.head, 4.0));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 1u);
    ExpectAt(pts[0], 7, 8);
}

TEST(SamplePolyline, NonFiniteCoordinatesDoNotRunAway)
{
    Owned in(Make({{0, 0, 0}, {NAN, 0, 2}, {2, 0, 1}, {1e300, 0, 0}}));
    Owned out(SamplePolyline(in.head, 4.0));
    EXPECT_EQ(Read(out.head).size(), 2u);
}

// The arch (0,0) (0,4) (4,4) (4,0) is halved at t = 0.5 first, at (2, 3),
// its top; a straight one lies on y = 0; x that is never a number gives an
// x range of NaN.
TEST(SamplePolylineBounds, TheListsBoundsWithoutTheList)
{
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    Owned arch(Make({{0, 0, 0}, {0, 4, 2}, {4, 4, 1}, {4, 0, 0}}));
    ASSERT_TRUE(SamplePolylineBounds(arch.head, 0.5, x0, y0, x1, y1));
    EXPECT_EQ(std::vector<double>({x0, y0, x1, y1}), std::vector<double>({0, 0, 4, 3}));
    Owned line(Make({{0, 0, 0}, {1, 0, 2}, {2, 0, 1}, {3, 0, 0}}));
    ASSERT_TRUE(SamplePolylineBounds(line.head, 4.0, x0, y0, x1, y1));
    EXPECT_EQ(std::vector<double>({x0, y0, x1, y1}), std::vector<double>({0, 0, 3, 0}));
    Owned lost(Make({{NAN, 0, 0}, {NAN, 1, 2}, {NAN, 2, 1}, {NAN, 3, 0}}));
    ASSERT_TRUE(SamplePolylineBounds(lost.head, 4.0, x0, y0, x1, y1));
    EXPECT_TRUE(std::isnan(x0) && std::isnan(x1));
    EXPECT_EQ(y0, 0.0);
    EXPECT_EQ(y1, 3.0);
    EXPECT_FALSE(SamplePolylineBounds(nullptr, 4.0, x0, y0, x1, y1));
    EXPECT_FALSE(SamplePolylineBounds(line.head, 0.0, x0, y0, x1, y1));
}

// A circle of radius 1e6 at a thousandth: quarters that run one way give
// their anchors as bounds, exactly as the list of samples does; an S that
// turns back in x is measured through its halves as the list is.
TEST(SamplePolylineBounds, ALargeCircleIsBoundedByItsAnchorsAndAnSByItsSamples)
{
    constexpr double r = 1e6, k = 0.5522847498307936 * r;
    Owned circle(Make({{r, 0, 0},
                       {r, k, 2},
                       {k, r, 1},
                       {0, r, 0},
                       {-k, r, 2},
                       {-r, k, 1},
                       {-r, 0, 0},
                       {-r, -k, 2},
                       {-k, -r, 1},
                       {0, -r, 0},
                       {k, -r, 2},
                       {r, -k, 1},
                       {r, 0, 0}}));
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    ASSERT_TRUE(SamplePolylineBounds(circle.head, 0.001, x0, y0, x1, y1));
    EXPECT_EQ(std::vector<double>({x0, y0, x1, y1}), std::vector<double>({-r, -r, r, r}));

    Owned s(Make({{0, 0, 0}, {30, 10, 2}, {-30, 20, 1}, {0, 30, 0}}));
    ASSERT_TRUE(SamplePolylineBounds(s.head, 0.01, x0, y0, x1, y1));
    Owned list(SamplePolyline(s.head, 0.01));
    std::vector<double> xs, ys;
    for (const auto& p : Read(list.head)) {
        xs.push_back(p.x);
        ys.push_back(p.y);
    }
    EXPECT_EQ(x0, *std::min_element(xs.begin(), xs.end()));
    EXPECT_EQ(x1, *std::max_element(xs.begin(), xs.end()));
    EXPECT_EQ(y0, 0.0);
    EXPECT_EQ(y1, 30.0);
    EXPECT_GT(x1, 8.0); // the S's bulges, about 8.66 either way
    EXPECT_LT(x0, -8.0);
}

TEST(SampleBezierByStep, ElevenSamplesPerSegmentEndingOnTheAnchor)
{
    Owned in(Make({{0, 0, 0}, {10, 0, 2}, {20, 0, 1}, {30, 0, 0}, {30, 10, 2}, {30, 20, 1}, {30, 30, 0}}));
    CGeoBox box;
    Owned first(SampleBezierByStep(in.head, 0.1, false, box));
    auto pts = Read(first.head);
    ASSERT_EQ(pts.size(), 11u);
    ExpectAt(pts[3], 9, 0);
    EXPECT_EQ(pts[10].x, 30);
    EXPECT_EQ(pts[10].y, 0);
    EXPECT_EQ(box.m_xmin, 0);
    EXPECT_EQ(box.m_xmax, 30);
    EXPECT_EQ(box.m_ymax, 0);

    Owned all(SampleBezierByStep(in.head, 0.1, true, box));
    pts = Read(all.head);
    ASSERT_EQ(pts.size(), 22u);
    ExpectAt(pts[11], 30, 0);
    EXPECT_EQ(pts[21].y, 30);
    EXPECT_EQ(box.m_ymax, 30);
}

TEST(SampleBezierByStep, BoxTakesTheCurvesTop)
{
    // B_y(0.5) = 3 * 0.25 * 0.5 * 10 * 2 = 7.5.
    Owned in(Make({{0, 0, 0}, {0, 10, 2}, {10, 10, 1}, {10, 0, 0}}));
    CGeoBox box;
    Owned out(SampleBezierByStep(in.head, 0.1, true, box));
    EXPECT_NEAR(box.m_ymax, 7.5, 1e-12);
    EXPECT_EQ(box.m_ymin, 0);
    EXPECT_EQ(box.m_xmin, 0);
    EXPECT_EQ(box.m_xmax, 10);
    Owned none(SampleBezierByStep(in.head, 0.0, true, box));
    EXPECT_EQ(none.head, nullptr);
}

TEST(SampleBezierByStep, BoxKeepsAFirstPointAtNegativeCoordinates)
{
    // File units before placement may be negative; the first sample must
    // not be mistaken for the empty box and dropped.
    Owned in(Make({{-10, -10, 0}, {-9, -10, 2}, {-8, -10, 1}, {-7, -10, 0}}));
    CGeoBox box;
    Owned out(SampleBezierByStep(in.head, 0.1, true, box));
    EXPECT_EQ(box.m_xmin, -10);
    EXPECT_EQ(box.m_xmax, -7);
    EXPECT_DOUBLE_EQ(box.m_ymin, -10);
    EXPECT_DOUBLE_EQ(box.m_ymax, -10);
}

TEST(SplitBezierAt, StraightSegmentSplitInTheMiddle)
{
    Owned in(Make({{0, 0, 0}, {10, 0, 2}, {20, 0, 1}, {30, 0, 0}}));
    Owned out(SplitBezierAt(in.head, 15, 0, 1e-6));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 7u);
    const int kinds[7] = {0, 2, 1, 0, 2, 1, 0};
    for (int i = 0; i < 7; ++i) {
        ExpectAt(pts[static_cast<std::size_t>(i)], 5.0 * i, 0, 1e-6);
        EXPECT_EQ(pts[static_cast<std::size_t>(i)].kind, kinds[i]);
    }
}

TEST(SplitBezierAt, CurvedSegmentHalvesByDeCasteljau)
{
    Owned in(Make({{0, 0, 0}, {0, 10, 2}, {10, 10, 1}, {10, 0, 0}}));
    Owned out(SplitBezierAt(in.head, 5, 7.5, 1e-6));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 7u);
    ExpectAt(pts[1], 0, 5, 1e-6);
    ExpectAt(pts[2], 2.5, 7.5, 1e-6);
    ExpectAt(pts[3], 5, 7.5, 1e-6);
    ExpectAt(pts[4], 7.5, 7.5, 1e-6);
    ExpectAt(pts[5], 10, 5, 1e-6);
    ExpectAt(pts[6], 10, 0);
}

TEST(SplitBezierAt, MissingSegmentOrPointGivesNothing)
{
    Owned in(Make({{0, 0, 0}, {10, 0, 2}, {20, 0, 1}, {30, 0, 0}}));
    EXPECT_EQ(SplitBezierAt(in.head, 15, 1, 0.5), nullptr);
    EXPECT_EQ(SplitBezierAt(in.head->m_pNext, 15, 0, 0.5), nullptr);
    EXPECT_EQ(SplitBezierAt(nullptr, 15, 0, 0.5), nullptr);
}

TEST(EllipseToBeziers, FullCircleInFourQuarters)
{
    const double h = 10 * 0.551784;
    Owned out(EllipseToBeziers(0, 0, 10, 0, 2 * kPi, 0.01));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 13u);
    ExpectAt(pts[0], 10, 0);
    ExpectAt(pts[1], 10, h);
    ExpectAt(pts[2], h, 10);
    ExpectAt(pts[3], 0, 10);
    ExpectAt(pts[6], -10, 0);
    ExpectAt(pts[9], 0, -10);
    ExpectAt(pts[12], 10, 0);
    const int kinds[4] = {0, 2, 1, 0};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(pts[i].kind, kinds[i]);
}

TEST(EllipseToBeziers, ClockwiseQuarterWhenEndBelowStart)
{
    const double h = 10 * 0.551784;
    Owned out(EllipseToBeziers(0, 0, 10, kPi / 2, 0, 0.01));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 4u);
    ExpectAt(pts[0], 0, 10);
    ExpectAt(pts[1], h, 10);
    ExpectAt(pts[2], 10, h);
    ExpectAt(pts[3], 10, 0);
}

TEST(EllipseToBeziers, RestBeyondToleranceIsOneShorterPiece)
{
    // The exact cubic of a 0.5 rad piece: controls 4/3 x 10 x tan(0.125)
    // = 1.6750 from its ends along the tangents.
    const double h = 4.0 / 3.0 * 10 * std::tan(0.5 / 4);
    const double a = kPi / 2 + 0.5;
    Owned out(EllipseToBeziers(0, 0, 10, 0, a, 0.01));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 7u);
    ExpectAt(pts[3], 0, 10);
    ExpectAt(pts[4], -h, 10);
    ExpectAt(pts[5], 10 * std::cos(a) + h * std::sin(a), 10 * std::sin(a) - h * std::cos(a));
    ExpectAt(pts[6], 10 * std::cos(a), 10 * std::sin(a));
}

TEST(EllipseToBeziers, RestWithinToleranceMovesTheLastAnchorOntoTheEnd)
{
    const double h = 10 * 0.551784;
    const double a = kPi / 2 + 1e-4;
    const double ex = 10 * std::cos(a), ey = 10 * std::sin(a);
    Owned out(EllipseToBeziers(0, 0, 10, 0, a, 0.01));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 4u);
    EXPECT_DOUBLE_EQ(pts[3].x, ex);
    EXPECT_DOUBLE_EQ(pts[3].y, ey);
    ExpectAt(pts[2], h + ex, 10 + (ey - 10));
}

TEST(EllipseToBeziers, ShortArcWithinToleranceIsAWholePiece)
{
    // No quarter was laid, so there is no earlier anchor to pull onto the
    // end: the arc comes back as anchor, control, control, anchor.
    const double a = 0.001;
    const double h = 4.0 / 3.0 * 10 * std::tan(a / 4);
    Owned out(EllipseToBeziers(0, 0, 10, 0, a, 0.1));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 4u);
    ExpectAt(pts[0], 10, 0);
    EXPECT_EQ(pts[0].kind, NODE_ANCHOR);
    ExpectAt(pts[1], 10, h);
    EXPECT_EQ(pts[1].kind, NODE_CONTROL_OUT);
    EXPECT_EQ(pts[2].kind, NODE_CONTROL_IN);
    ExpectAt(pts[3], 10 * std::cos(a), 10 * std::sin(a));
    EXPECT_EQ(pts[3].kind, NODE_ANCHOR);
}

TEST(EllipseToBeziers, RunawayAnglesAreRefused)
{
    EXPECT_EQ(EllipseToBeziers(0, 0, 10, 0, 1e9, 0.1), nullptr);
    EXPECT_EQ(EllipseToBeziers(0, 0, 10, 0, NAN, 0.1), nullptr);
}

TEST(MakeEllipseNodes, ThirteenNodesFromTheLeftVertexDownwards)
{
    const double k = 0.551784;
    Owned out(MakeEllipseNodes(0, 0, 10, 5));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 13u);
    ExpectAt(pts[0], -10, 0);
    ExpectAt(pts[1], -10, -5 * k);
    ExpectAt(pts[2], -10 * k, -5);
    ExpectAt(pts[3], 0, -5);
    ExpectAt(pts[6], 10, 0);
    ExpectAt(pts[9], 0, 5);
    ExpectAt(pts[11], -10, 5 * k);
    ExpectAt(pts[12], -10, 0);
    for (std::size_t i = 0; i < 13; ++i)
        EXPECT_EQ(pts[i].kind, i % 3 == 0 ? 0 : (i % 3 == 1 ? 2 : 1)) << i;
}

namespace {
// Nodes come in whole segments and every anchor lies on the circle, within
// what the cubic quarter approximation and the split tolerance leave.
void ExpectArcShape(const std::vector<P>& pts, double cx, double cy, double r, double tol)
{
    ASSERT_GE(pts.size(), 4u);
    EXPECT_EQ((pts.size() - 1) % 3, 0u);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        EXPECT_EQ(pts[i].kind, i % 3 == 0 ? 0 : (i % 3 == 1 ? 2 : 1)) << i;
        if (i % 3 == 0) {
            EXPECT_NEAR(std::hypot(pts[i].x - cx, pts[i].y - cy), r, tol) << i;
        }
    }
}
} // namespace

TEST(BuildImportCurves, QuarterArcRunsFromStartAnchorToEndAnchor)
{
    Owned out(BuildImportCurves(100, 0, 10, 10, 0, kPi / 2, 0, 1.0));
    const auto pts = Read(out.head);
    ExpectArcShape(pts, 100, 0, 10, 1e-4);
    ExpectAt(pts.front(), 110, 0);
    ExpectAt(pts.back(), 100, 10);
    EXPECT_EQ(out.head->m_pPrev, nullptr);
}

TEST(BuildImportCurves, UnitScalesBackAndRotationTurnsTheArc)
{
    // Rotated a quarter turn the arc from 0 to pi/2 runs from (100, 10) to
    // (90, 0), whatever the unit.
    Owned out(BuildImportCurves(100, 0, 10, 10, 0, kPi / 2, kPi / 2, 10.0));
    const auto pts = Read(out.head);
    ExpectArcShape(pts, 100, 0, 10, 1e-3);
    ExpectAt(pts.front(), 100, 10, 1e-9);
    ExpectAt(pts.back(), 90, 0, 1e-9);
}

TEST(BuildImportCurves, DecreasingAnglesRunClockwise)
{
    Owned out(BuildImportCurves(0, 0, 10, 10, kPi / 2, 0, 0, 1.0));
    const auto pts = Read(out.head);
    ExpectArcShape(pts, 0, 0, 10, 1e-4);
    ExpectAt(pts.front(), 0, 10);
    ExpectAt(pts.back(), 10, 0);
    // Clockwise: the outgoing control of the first anchor lies to its right.
    EXPECT_GT(pts[1].x, 0.0);
}

TEST(BuildImportCurves, FullTurnClosesOnACopyOfTheStart)
{
    Owned out(BuildImportCurves(0, 0, 20, 10, 0, 2 * kPi, 0, 1.0));
    const auto pts = Read(out.head);
    ExpectAt(pts.front(), 20, 0);
    ExpectAt(pts.back(), 20, 0);
    EXPECT_EQ(pts.back().kind, NODE_ANCHOR);
    EXPECT_GE(pts.size(), 13u);
    EXPECT_EQ(BuildImportCurves(0, 0, 20, 10, 0, 1, 0, 0.0), nullptr);
}

TEST(BuildImportCurves, DegenerateEllipsesGiveAListWithoutCrashing)
{
    for (auto [rx, ry, a0, a1, rot] : std::vector<std::tuple<double, double, double, double, double>>{
             {0, 0, 0, 1, 0}, {10, 0, 0, 3, 0}, {-10, 5, 0, 2, 0.3}}) {
        DOCNODE* out = BuildImportCurves(0, 0, rx, ry, a0, a1, rot, 1.0);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out->m_pPrev, nullptr);
        EXPECT_EQ(LastNode(out)->m_pNext, nullptr);
        CDocState::FreeNodeList(out);
    }
    // Angles that are not numbers make no arc.
    EXPECT_EQ(BuildImportCurves(0, 0, 10, 10, NAN, 1, 0, 1.0), nullptr);
    EXPECT_EQ(BuildImportCurves(0, 0, 10, 10, 0, 1, NAN, 1.0), nullptr);
}

TEST(BuildImportCurves, EllipticalArcsEndExactlyOnTheirParameterPoints)
{
    // Ellipse about (3, 4), axes 20 and 10, turned by 30 degrees, from
    // parameter 0.3 to 2.9: the ends are the parameter points themselves
    // (a split searched within 0.1 x unit left them up to that far off), and
    // every anchor lies on the ellipse.
    const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
    auto at = [&](double t) {
        const double u = 20 * std::cos(t), v = 10 * std::sin(t);
        return std::pair<double, double>{3 + u * c - v * s, 4 + u * s + v * c};
    };
    Owned out(BuildImportCurves(3, 4, 20, 10, 0.3, 2.9, kPi / 6, 1.0));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 7u); // a quarter and the rest of 1.0292 rad
    EXPECT_NEAR(pts.front().x, at(0.3).first, 1e-12);
    EXPECT_NEAR(pts.front().y, at(0.3).second, 1e-12);
    EXPECT_NEAR(pts.back().x, at(2.9).first, 1e-12);
    EXPECT_NEAR(pts.back().y, at(2.9).second, 1e-12);
    EXPECT_NEAR(pts[3].x, at(0.3 + kPi / 2).first, 1e-12);
    EXPECT_NEAR(pts[3].y, at(0.3 + kPi / 2).second, 1e-12);
}

TEST(SplineKnots, DoubledHalfStepsBetweenZerosAndTheRepeatedTop)
{
    double knots[12] = {};
    EXPECT_EQ(SplineKnots(5, 6, knots), 5u);
    const double expect5[12] = {0, 0, 0, 0, 0, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(knots[i], expect5[i]) << i;

    double k3[11] = {};
    EXPECT_EQ(SplineKnots(3, 7, k3), 3u);
    const double expect3[11] = {0, 0, 0, 0.5, 0.5, 1.0, 1.0, 1.5, 1.5, 1.5, 1.5};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(k3[i], expect3[i]) << i;

    double untouched[4] = {9, 9, 9, 9};
    EXPECT_EQ(SplineKnots(5, 2, untouched), 0u);
    EXPECT_EQ(untouched[0], 9);
}

TEST(SplineBasis, HalfOpenFirstOrderAndPartitionOfUnity)
{
    const double knots[] = {0, 0, 0, 0.5, 0.5, 1.0, 1.0, 1.5, 1.5, 1.5, 1.5};
    EXPECT_EQ(SplineBasis(2, 1, 0.0, knots), 1.0);
    EXPECT_EQ(SplineBasis(2, 1, 0.5, knots), 0.0);
    for (double t : {0.1, 0.5, 0.7, 1.2}) {
        double sum = 0;
        for (int i = 0; i <= 7; ++i)
            sum += SplineBasis(i, 3, t, knots);
        EXPECT_NEAR(sum, 1.0, 1e-12) << t;
    }
}

// The recursion as written in the definition (2^k calls): the reference
// the bottom-up evaluation must match to the last bit.
double RecursiveBasis(int i, int k, double t, const double* knots)
{
    if (k == 1)
        return knots[i] <= t && t < knots[i + 1] ? 1.0 : 0.0;
    double v = 0.0;
    const double d1 = knots[i + k - 1] - knots[i];
    if (std::fabs(d1) > 1e-5)
        v += (t - knots[i]) / d1 * RecursiveBasis(i, k - 1, t, knots);
    const double d2 = knots[i + k] - knots[i + 1];
    if (std::fabs(d2) > 1e-5)
        v += (knots[i + k] - t) / d2 * RecursiveBasis(i + 1, k - 1, t, knots);
    return v;
}

TEST(SplineBasis, SameValuesAsTheRecursionAlsoAcrossNearlyEqualKnots)
{
    // The system's knots for 21 points, and a vector with knots closer
    // together than the 1e-5 below which terms are left out.
    std::vector<double> system(40);
    const double close[] = {0, 0, 0, 0.2, 0.200004, 0.5, 0.5, 0.5, 0.9, 1.3, 1.300001, 1.7, 2, 2, 2, 2, 2, 2,
                            2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
    for (int k = 1; k <= 12; ++k) {
        ASSERT_EQ(SplineKnots(k, 20, system.data()), static_cast<std::uint32_t>(k));
        for (const double* knots : {static_cast<const double*>(system.data()), close}) {
            for (int step = 0; step <= 50; ++step) {
                const double t = step * 0.05;
                for (int i = 0; i + k <= 27 && i <= 20; ++i)
                    ASSERT_EQ(SplineBasis(i, k, t, knots), RecursiveBasis(i, k, t, knots))
                        << "i " << i << " k " << k << " t " << t;
            }
        }
    }
}

// Order 32 takes 2^32 calls per value by the recursion, hours for a curve;
// bottom-up it is immediate. One more is refused, as a reader needs it.
TEST(EvaluateSpline, OrdersUpToTheLimitAreEvaluatedAndHigherOnesRefused)
{
    // 41 equal control points: every sample is that point. Knots up to
    // index 40 are 0.5 x ((40 - 32) / 2 + 1) = 2.5 at the top, so there are
    // 50 samples from 0 to 2.45 and the end.
    std::vector<P> ctrl(41, P{5, 7, 0});
    Owned in(Make(ctrl));
    Owned out(EvaluateSpline(in.head, kMaxSplineOrder));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 51u);
    for (const P& p : pts) {
        EXPECT_NEAR(p.x, 5, 1e-9);
        EXPECT_NEAR(p.y, 7, 1e-9);
    }
    EXPECT_EQ(EvaluateSpline(in.head, kMaxSplineOrder + 1), nullptr);
    std::vector<double> knots(80);
    SplineKnots(kMaxSplineOrder + 1, 40, knots.data());
    EXPECT_EQ(SplineBasis(0, kMaxSplineOrder + 1, 0.0, knots.data()), 0.0);
}

TEST(EvaluateSpline, QuadraticPieceSampledBelowTheTopThenItsEnd)
{
    // Order 3 over four points: knots 0 0 0 0.5 0.5 0.5 0.5, so the curve is
    // the quadratic Bezier of the first three points over t in [0, 0.5].
    Owned in(Make({{0, 0, 0}, {10, 10, 0}, {20, 0, 0}, {30, 30, 0}}));
    Owned out(EvaluateSpline(in.head, 3));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 11u);
    ExpectAt(pts[0], 0, 0);
    ExpectAt(pts[5], 10, 5);          // t = 0.25: the Bezier's middle
    ExpectAt(pts[1], 2, 1.8);         // s = 0.1: (20 s, 20 s (1 - s))
    ExpectAt(pts[10], 20, 0);         // the end, not (0, 0)
}

TEST(EvaluateSpline, AllStepsBelowTheTopKnotArePresent)
{
    // Order 5 over eleven points: top knot 1.5, samples at 0 .. 1.45 (30 of
    // them, where summed steps stop one short) and the end at the top.
    std::vector<P> ctrl;
    for (int i = 0; i <= 10; ++i)
        ctrl.push_back({10.0 * i, (i % 2) * 10.0, 0});
    Owned in(Make(ctrl));
    Owned out(EvaluateSpline(in.head, 5));
    const auto pts = Read(out.head);
    ASSERT_EQ(pts.size(), 31u);
    ExpectAt(pts[0], 0, 0);
    // The knot 1.5 closes the last span with full multiplicity: the curve
    // ends on the last control point that span uses, the ninth.
    ExpectAt(pts[30], 80, 0);
}

TEST(EvaluateSpline, AsManyNodesAsTheOrderGiveTheControlNodes)
{
    Owned one(Make({{4, 5, 0}}));
    Owned r1(EvaluateSpline(one.head, 1));
    auto pts = Read(r1.head);
    ASSERT_EQ(pts.size(), 1u);
    ExpectAt(pts[0], 4, 5);

    Owned three(Make({{0, 0, 0}, {1, 2, 0}, {3, 3, 0}}));
    Owned r3(EvaluateSpline(three.head, 3));
    pts = Read(r3.head);
    ASSERT_EQ(pts.size(), 3u);
    ExpectAt(pts[2], 3, 3);

    EXPECT_EQ(EvaluateSpline(three.head, 5), nullptr);
    EXPECT_EQ(EvaluateSpline(nullptr, 3), nullptr);
}

// The interval holding each sample is carried along as t rises instead of
// searched for afresh. Wrongly carried (one interval short or beyond, or not
// moved over a repeated knot) it would weigh the wrong control points; the
// definition, the sum of every basis times its control point, shows it.
TEST(EvaluateSpline, EverySampleIsTheSumOverAllBasesOnRandomCurves)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> coord(-1000.0, 1000.0);
    for (int k = 1; k <= 8; ++k) {
        for (int count : {k + 1, k + 2, k + 7, 40, 61}) {
            std::vector<P> ctrl;
            for (int i = 0; i < count; ++i)
                ctrl.push_back({coord(rng), coord(rng), 0});
            Owned in(Make(ctrl));
            Owned out(EvaluateSpline(in.head, k));
            const auto pts = Read(out.head);
            const int n = count - 1;
            std::vector<double> knots(static_cast<std::size_t>(n + k + 1));
            ASSERT_EQ(SplineKnots(k, n, knots.data()), static_cast<std::uint32_t>(k));
            const double top = knots.back();
            std::size_t below = 0;
            while (static_cast<double>(below) * 0.05 < top)
                ++below;
            ASSERT_EQ(pts.size(), below + 1) << "k " << k << " count " << count;
            for (std::size_t s = 0; s < below; ++s) {
                const double t = static_cast<double>(s) * 0.05;
                double x = 0.0, y = 0.0;
                for (int i = 0; i <= n; ++i) {
                    const double b = SplineBasis(i, k, t, knots.data());
                    x += b * ctrl[static_cast<std::size_t>(i)].x;
                    y += b * ctrl[static_cast<std::size_t>(i)].y;
                }
                ASSERT_NEAR(pts[s].x, x, 1e-9) << "k " << k << " count " << count << " t " << t;
                ASSERT_NEAR(pts[s].y, y, 1e-9) << "k " << k << " count " << count << " t " << t;
            }
            // The top knot closes the last interval of positive length;
            // with the top knot repeated to full order the curve ends on
            // that interval's last control point.
            int last = 0;
            for (int j = 0; j < n + k; ++j) {
                if (knots[static_cast<std::size_t>(j)] < knots[static_cast<std::size_t>(j + 1)])
                    last = j;
            }
            ExpectAt(pts.back(), ctrl[static_cast<std::size_t>(last)].x, ctrl[static_cast<std::size_t>(last)].y,
                     1e-9);
        }
    }
}
