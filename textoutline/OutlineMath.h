// Numeric rules shared by the outline renderers: rounding, equality, fixed
// point, curve conversion, bounding rectangles, rotation, the working space
// and the walk over double-byte text.
#pragma once
#include "Letrova.h"
#include "platform/GlyphFont.h"
#include "platform/Win.h"

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

// Nearest integer, halves away from zero: trunc(x + 0.500001) for x >= 0,
// trunc(x - 0.500001) below. As a double, so no value overflows.
double NearestValue(double x);
// The same as an integer, saturated to the type's range; NaN gives 0.
std::int64_t NearestInt(double x);
std::int32_t NearestInt32(double x);

// Two doubles are equal when the nearest integers of their values times 1e8
// are equal.
bool DoublesEqual(double a, double b);

// A 16.16 value read as integer part + fraction / 65535.
inline double FixedToDouble(plat::FIXED f)
{
    return static_cast<double>(f.value) + static_cast<double>(f.fract) / 65535.0;
}

// Insertion point into the working space: x * 10 + 20000, 20000 - y * 10.
void MapToWorkingSpace(double x, double y, double& wx, double& wy);

// A text angle is applied only when the nearest integer of angle * 10000 is
// not 0.
bool AngleApplies(double angle);

// Turns a raw contour (points of kind 0 on the curve, 4 quadratic controls,
// 6 cubic controls) into straight and cubic segments: a quadratic control q
// between p0 and p2 becomes p0 (kind 5), (2q + p0) / 3 and (2q + p2) / 3
// (kind 6), p2 (kind 5); two quadratic controls in a row imply the on-curve
// point midway between them; a pair of cubic controls passes through.
// Controls at the end close on the first point; a last point within 1e-6 of
// the first is removed.
std::vector<CSuPoint> ConvertRawContour(const std::vector<CSuPoint>& raw);
// The same into out, whose storage is reused.
void ConvertRawContour(const std::vector<CSuPoint>& raw, std::vector<CSuPoint>& out);
// The same for the n points of any source with Kind(i) and Point(i) (a
// CSuPoint, computed or stored), written to out, which has room for 3 n
// points (a control gives at most three); gives the number written.
template <class Source>
std::size_t ConvertRawContourOf(const Source& source, std::size_t n, CSuPoint* out);
// The number of points ConvertRawContourOf writes for the kinds, or one
// more when its last point falls on its first.
template <class Source>
std::size_t ConvertedSize(const Source& source, std::size_t n);

// Cubic pieces for the elliptic arc of centre (cx, cy), radii rx, ry, from the
// start angle over the sweep (degrees, positive counter-clockwise, y up): the
// start point (kind 0), then per piece two controls (kind 6) and its end
// (kind 0). A sweep of 0 gives nothing; a sweep above 180 degrees is split
// into equal pieces of at most 180 degrees.
std::vector<CSuPoint> ArcToCubic(double cx, double cy, double rx, double ry, double startDeg, double sweepDeg);

// Nearest integers of the extremes; a rectangle of zero width or height is
// widened by 2 on each side; no points give an empty rectangle (all 0).
plat::RECT BoundingRect(const std::vector<CSuPoint>& points);
plat::RECT BoundingRect(const std::vector<COutLine>& contours);

// Removes every contour holding a point that is infinite or not a number.
// Each transform of a character's points runs it: values near the double's
// limits overflow in scaling, stretching or turning, and one such point would
// also spoil the boxes that later transforms are taken about.
void DropNonFiniteContours(std::vector<COutLine>& contours);

// Turns the point about (cx, cy) by the angle (radians): x' = cx + dx cos a +
// dy sin a, y' = cy - dx sin a + dy cos a, counter-clockwise as drawn in the
// y-down working space.
void RotatePoint(CSuPoint& p, double cx, double cy, double angle);

// Reads the character code at pos and moves pos past it: a byte with the top
// bit set and the byte after it form one code (first << 8 | second), any other
// byte is its own code. False at the end of the text, at a zero byte, and at
// a lead byte with no second byte (the incomplete character ends the text).
bool ReadTextCode(std::string_view text, std::size_t& pos, std::uint32_t& code);

namespace raw_contour {

inline bool IsControl(std::uint8_t kind)
{
    return kind == kSuPointQuadControl || kind == kSuPointCubicControl;
}

inline CSuPoint Point(double x, double y, std::uint8_t kind, std::uint8_t flag)
{
    CSuPoint p;
    p.m_x = x;
    p.m_y = y;
    p.m_flag = flag;
    p.m_kind = kind;
    return p;
}

// Writes the curve from w[-1] over `count` controls of the source, from
// index `first` on (running past the end to its start), to end; gives the
// position after it.
template <class Source>
CSuPoint* AppendCurve(const Source& source, std::size_t n, std::size_t first, std::size_t count, const CSuPoint end,
    CSuPoint* w)
{
    auto at = [&](std::size_t k) {
        const std::size_t i = first + k;
        return source.Point(i < n ? i : i - n);
    };
    w[-1].m_kind = kSuPointSegmentEnd;
    CSuPoint q = at(0);
    if (count == 2) {
        const CSuPoint q2 = at(1);
        if (q.m_kind == kSuPointCubicControl && q2.m_kind == kSuPointCubicControl) {
            *w++ = Point(q.m_x, q.m_y, kSuPointCubicControl, q.m_flag);
            *w++ = Point(q2.m_x, q2.m_y, kSuPointCubicControl, q2.m_flag);
            *w++ = Point(end.m_x, end.m_y, kSuPointSegmentEnd, end.m_flag);
            return w;
        }
    }
    // Anything else is read as a quadratic B-spline.
    CSuPoint p0 = w[-1];
    for (std::size_t k = 0; k < count; ++k) {
        CSuPoint p2 = end;
        CSuPoint next;
        if (k + 1 < count) {
            next = at(k + 1);
            p2 = Point((q.m_x + next.m_x) / 2.0, (q.m_y + next.m_y) / 2.0, 0, q.m_flag);
        }
        *w++ = Point((2.0 * q.m_x + p0.m_x) / 3.0, (2.0 * q.m_y + p0.m_y) / 3.0, kSuPointCubicControl, q.m_flag);
        *w++ = Point((2.0 * q.m_x + p2.m_x) / 3.0, (2.0 * q.m_y + p2.m_y) / 3.0, kSuPointCubicControl, q.m_flag);
        *w++ = Point(p2.m_x, p2.m_y, kSuPointSegmentEnd, p2.m_flag);
        p0 = p2;
        q = next;
    }
    return w;
}

} // namespace raw_contour

template <class Source>
std::size_t ConvertRawContourOf(const Source& source, std::size_t n, CSuPoint* out)
{
    using namespace raw_contour;
    CSuPoint* w = out;
    std::size_t leading = 0;     // controls before the first point on the curve
    std::size_t pendingFrom = 0; // first control after the last point on it
    bool anchored = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (IsControl(source.Kind(i)))
            continue;
        if (!anchored) {
            leading = i;
            anchored = true;
            *w++ = source.Point(i);
        } else if (pendingFrom == i) {
            *w++ = source.Point(i);
        } else {
            w = AppendCurve(source, n, pendingFrom, i - pendingFrom, source.Point(i), w);
        }
        pendingFrom = i + 1;
    }
    if (!anchored)
        return 0; // no point on the curve: nothing to anchor a segment on
    // Controls at the end, then those at the start, close on the first point.
    const std::size_t closing = n - pendingFrom + leading;
    if (closing != 0)
        w = AppendCurve(source, n, pendingFrom, closing, *out, w);
    if (w - out > 1) {
        const CSuPoint& a = out[0];
        const CSuPoint& b = w[-1];
        if (std::fabs(a.m_x - b.m_x) <= 1e-6 && std::fabs(a.m_y - b.m_y) <= 1e-6)
            --w;
    }
    return static_cast<std::size_t>(w - out);
}

template <class Source>
std::size_t ConvertedSize(const Source& source, std::size_t n)
{
    using namespace raw_contour;
    // A run of quadratic controls gives three points a control, a pair of
    // cubic ones three in all, a point on the curve after a point one.
    auto curve = [&](std::size_t first, std::size_t count) -> std::size_t {
        auto kind = [&](std::size_t k) {
            const std::size_t i = first + k;
            return source.Kind(i < n ? i : i - n);
        };
        if (count == 2 && kind(0) == kSuPointCubicControl && kind(1) == kSuPointCubicControl)
            return 3;
        return 3 * count;
    };
    std::size_t size = 0;
    std::size_t leading = 0;
    std::size_t pendingFrom = 0;
    bool anchored = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (IsControl(source.Kind(i)))
            continue;
        if (!anchored) {
            leading = i;
            anchored = true;
            size = 1;
        } else {
            size += pendingFrom == i ? 1 : curve(pendingFrom, i - pendingFrom);
        }
        pendingFrom = i + 1;
    }
    if (!anchored)
        return 0;
    const std::size_t closing = n - pendingFrom + leading;
    return closing != 0 ? size + curve(pendingFrom, closing) : size;
}
