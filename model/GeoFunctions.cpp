#include "GeoFunctions.h"

#include "platform/NumText.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

double Cross(double ax, double ay, double bx, double by)
{
    return ax * by - ay * bx;
}
} // namespace

double GeoPointLineDistance(double x0, double y0, double x1, double y1, double px, double py)
{
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len == 0.0)
        return std::hypot(px - x0, py - y0);
    // The cross product of the differences: the same value as the expanded
    // form, without cancelling large world coordinates against each other.
    return std::fabs(Cross(dx, dy, px - x0, py - y0)) / len;
}

bool GeoPointAlong(double x0, double y0, double x1, double y1, double d, double& x, double& y)
{
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len < kGeoCoincideTol) {
        x = x0;
        y = y0;
        return false;
    }
    x = x0 + d * dx / len;
    y = y0 + d * dy / len;
    return true;
}

double GeoAngle(double x0, double y0, double x1, double y1)
{
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const bool flatX = std::fabs(dx) < kGeoCoincideTol;
    const bool flatY = std::fabs(dy) < kGeoCoincideTol;
    if (flatX && flatY)
        return 0.0;
    if (flatX)
        return dy >= 0.0 ? kPi / 2.0 : 3.0 * kPi / 2.0;
    if (flatY)
        return dx >= 0.0 ? 0.0 : kPi;
    const double len = std::sqrt(dx * dx + dy * dy);
    // Rounding can put the ratio a hair outside [-1, 1], where asin is NaN.
    const double a = std::asin(std::clamp(dy / len, -1.0, 1.0));
    if (dx > 0.0)
        return dy > 0.0 ? a : a + kTwoPi;
    return kPi - a;
}

bool GeoRotatePoint(double cx, double cy, double px, double py, double angle, double& x, double& y)
{
    if (std::fabs(px - cx) < kGeoCoincideTol && std::fabs(py - cy) < kGeoCoincideTol) {
        x = px;
        y = py;
        return true;
    }
    const double r = std::hypot(px - cx, py - cy);
    const double t = GeoAngle(cx, cy, px, py) + angle;
    x = cx + r * std::cos(t);
    y = cy + r * std::sin(t);
    return true;
}

bool GeoPerpendicularPoint(double x0, double y0, double x1, double y1, bool bAtStart, bool bSide, double d,
                           double& x, double& y)
{
    double fx, fy, dx, dy;
    if (bAtStart) {
        fx = x0;
        fy = y0;
        GeoRotatePoint(x0, y0, x1, y1, bSide ? kPi / 2.0 : -kPi / 2.0, dx, dy);
    } else {
        fx = x1;
        fy = y1;
        GeoRotatePoint(x1, y1, x0, y0, bSide ? -kPi / 2.0 : kPi / 2.0, dx, dy);
    }
    return GeoPointAlong(fx, fy, dx, dy, d, x, y);
}

bool GeoProjectPointOnLine(double x0, double y0, double x1, double y1, double px, double py, double& x,
                           double& y)
{
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double len2 = dx * dx + dy * dy;
    if (len2 == 0.0) {
        x = x0;
        y = y0;
        return true;
    }
    const double t = ((px - x0) * dx + (py - y0) * dy) / len2;
    x = x0 + t * dx;
    y = y0 + t * dy;
    return true;
}

double GeoTurnAngle(double px, double py, double qx, double qy, double rx, double ry)
{
    const double ax = px - qx, ay = py - qy;
    const double bx = rx - qx, by = ry - qy;
    const double a = std::sqrt(ax * ax + ay * ay);
    const double b = std::sqrt(bx * bx + by * by);
    if (a == 0.0 || b == 0.0)
        return 0.0;
    // Law of cosines at Q, written with the differences; rounding near
    // collinear points can push the cosine past +-1, where acos is NaN.
    const double c = std::clamp((ax * bx + ay * by) / (a * b), -1.0, 1.0);
    return std::max(0.0, kPi - std::acos(c));
}

std::uint32_t GeoLineIntersection(double p0x, double p0y, double p1x, double p1y, double q0x, double q0y,
                                  double q1x, double q1y, double& x, double& y)
{
    const double pdx = p1x - p0x, pdy = p1y - p0y;
    const double qdx = q1x - q0x, qdy = q1y - q0y;
    const double den = qdy * pdx - pdy * qdx;
    if (std::fabs(den) <= kGeoParallelTol) {
        x = kGeoNoPoint;
        y = kGeoNoPoint;
        return kGeoAllOnes;
    }
    const double t = Cross(q0x - p0x, q0y - p0y, qdx, qdy) / den;
    x = p0x + t * pdx;
    y = p0y + t * pdy;
    return 0;
}

std::uint32_t GeoSegmentIntersection(double p0x, double p0y, double p1x, double p1y, double q0x, double q0y,
                                     double q1x, double q1y, double& x, double& y)
{
    const double pxlo = std::min(p0x, p1x), pxhi = std::max(p0x, p1x);
    const double pylo = std::min(p0y, p1y), pyhi = std::max(p0y, p1y);
    const double qxlo = std::min(q0x, q1x), qxhi = std::max(q0x, q1x);
    const double qylo = std::min(q0y, q1y), qyhi = std::max(q0y, q1y);
    if (pxhi < qxlo || qxhi < pxlo || pyhi < qylo || qyhi < pylo)
        return 0;

    const double pdx = p1x - p0x, pdy = p1y - p0y;
    const double qdx = q1x - q0x, qdy = q1y - q0y;
    const double s0 = Cross(pdx, pdy, q0x - p0x, q0y - p0y); // Q0 against line P
    const double s1 = Cross(pdx, pdy, q1x - p0x, q1y - p0y); // Q1 against line P
    if ((s0 > 0.0 && s1 > 0.0) || (s0 < 0.0 && s1 < 0.0))
        return 0;
    const double t0 = Cross(qdx, qdy, p0x - q0x, p0y - q0y); // P0 against line Q
    const double t1 = Cross(qdx, qdy, p1x - q0x, p1y - q0y); // P1 against line Q
    if ((t0 > 0.0 && t1 > 0.0) || (t0 < 0.0 && t1 < 0.0))
        return 0;

    auto hit = [&](double hx, double hy, std::uint32_t code) {
        x = hx;
        y = hy;
        return code;
    };
    if (p0x == q0x && p0y == q0y)
        return hit(p0x, p0y, 1);
    if (p0x == q1x && p0y == q1y)
        return hit(p0x, p0y, 2);
    if (p1x == q0x && p1y == q0y)
        return hit(p1x, p1y, 3);
    if (p1x == q1x && p1y == q1y)
        return hit(p1x, p1y, 4);

    // An end on the other segment's line counts only inside that segment's
    // box: for collinear segments the line alone would also accept an end
    // that lies beyond the other segment.
    auto inP = [&](double hx, double hy) { return hx >= pxlo && hx <= pxhi && hy >= pylo && hy <= pyhi; };
    auto inQ = [&](double hx, double hy) { return hx >= qxlo && hx <= qxhi && hy >= qylo && hy <= qyhi; };
    if (s0 == 0.0 && inP(q0x, q0y))
        return hit(q0x, q0y, 5);
    if (s1 == 0.0 && inP(q1x, q1y))
        return hit(q1x, q1y, 6);
    if (t0 == 0.0 && inQ(p0x, p0y))
        return hit(p0x, p0y, 7);
    if (t1 == 0.0 && inQ(p1x, p1y))
        return hit(p1x, p1y, 8);

    // A proper crossing: Q0 and Q1 lie on opposite sides of line P, so their
    // signed distances split segment Q at the crossing without a parallel
    // threshold.
    const double den = s0 - s1;
    if (den == 0.0)
        return 0;
    const double u = s0 / den;
    return hit(q0x + u * qdx, q0y + u * qdy, 9);
}

bool GeoMirrorPoint(double px, double py, double x1, double y1, double x2, double y2, double& x, double& y)
{
    // Across a level or upright line (the same lines GeoAngle takes as
    // level or upright) the reflection is exact: mirroring twice gives the
    // very same point, where the trigonometric route drifts in the last bits.
    if (std::fabs(y2 - y1) < kGeoCoincideTol) {
        x = px;
        y = 2.0 * y1 - py;
        return true;
    }
    if (std::fabs(x2 - x1) < kGeoCoincideTol) {
        x = 2.0 * x1 - px;
        y = py;
        return true;
    }
    const double a = GeoAngle(x1, y1, x2, y2);
    const double b = GeoAngle(x1, y1, px, py);
    const double r = std::hypot(px - x1, py - y1);
    x = x1 + r * std::cos(2.0 * a - b);
    y = y1 + r * std::sin(2.0 * a - b);
    return true;
}

double RoundDecimals(double value, int n)
{
    // Beyond 40 decimals the fixed text would only restate the value.
    if (!std::isfinite(value) || n > 40)
        return value;
    const std::string text = plat::FormatFixed(value, std::max(n, 0));
    return plat::ParseDouble(text);
}
