#include "OutlineMath.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

double NearestValue(double x)
{
    return x >= 0.0 ? std::trunc(x + 0.500001) : std::trunc(x - 0.500001);
}

std::int64_t NearestInt(double x)
{
    if (std::isnan(x))
        return 0;
    const double v = NearestValue(x);
    // 2^63 is the first double above the range.
    if (v >= 9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::max();
    if (v < -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v);
}

std::int32_t NearestInt32(double x)
{
    const std::int64_t v = NearestInt(x);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

bool DoublesEqual(double a, double b)
{
    // In 64 bits: at 1e8 scale a 32-bit integer overflows above 21.47.
    const double sa = a * 1e8;
    const double sb = b * 1e8;
    constexpr double kLimit = 9.0e18;
    if (std::fabs(sa) < kLimit && std::fabs(sb) < kLimit)
        return NearestInt(sa) == NearestInt(sb);
    // Beyond 64 bits every double is a whole number already.
    return NearestValue(sa) == NearestValue(sb);
}

double FixedToDouble(plat::FIXED f)
{
    return static_cast<double>(f.value) + static_cast<double>(f.fract) / 65535.0;
}

void MapToWorkingSpace(double x, double y, double& wx, double& wy)
{
    wx = x * 10.0 + 20000.0;
    wy = 20000.0 - y * 10.0;
}

bool AngleApplies(double angle)
{
    return NearestInt(angle * 10000.0) != 0;
}

namespace {

bool IsControl(const CSuPoint& p)
{
    return p.m_kind == kSuPointQuadControl || p.m_kind == kSuPointCubicControl;
}

CSuPoint Point(double x, double y, std::uint8_t kind, std::uint8_t flag = 0)
{
    CSuPoint p;
    p.m_x = x;
    p.m_y = y;
    p.m_flag = flag;
    p.m_kind = kind;
    return p;
}

// Appends the curve from out.back() over the controls to end.
void AppendCurve(std::vector<CSuPoint>& out, const std::vector<CSuPoint>& controls, const CSuPoint& end)
{
    out.back().m_kind = kSuPointSegmentEnd;
    if (controls.size() == 2 && controls[0].m_kind == kSuPointCubicControl
        && controls[1].m_kind == kSuPointCubicControl) {
        for (const CSuPoint& c : controls)
            out.push_back(Point(c.m_x, c.m_y, kSuPointCubicControl, c.m_flag));
        out.push_back(Point(end.m_x, end.m_y, kSuPointSegmentEnd, end.m_flag));
        return;
    }
    // Anything else is read as a quadratic B-spline.
    CSuPoint p0 = out.back();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const CSuPoint& q = controls[i];
        CSuPoint p2 = end;
        if (i + 1 < controls.size())
            p2 = Point((q.m_x + controls[i + 1].m_x) / 2.0, (q.m_y + controls[i + 1].m_y) / 2.0, 0, q.m_flag);
        out.push_back(Point((2.0 * q.m_x + p0.m_x) / 3.0, (2.0 * q.m_y + p0.m_y) / 3.0, kSuPointCubicControl, q.m_flag));
        out.push_back(Point((2.0 * q.m_x + p2.m_x) / 3.0, (2.0 * q.m_y + p2.m_y) / 3.0, kSuPointCubicControl, q.m_flag));
        out.push_back(Point(p2.m_x, p2.m_y, kSuPointSegmentEnd, p2.m_flag));
        p0 = p2;
    }
}

} // namespace

std::vector<CSuPoint> ConvertRawContour(const std::vector<CSuPoint>& raw)
{
    std::vector<CSuPoint> out;
    out.reserve(raw.size() * 2);
    std::vector<CSuPoint> pending;
    std::vector<CSuPoint> leading; // controls before the first point on the curve
    for (const CSuPoint& p : raw) {
        if (IsControl(p)) {
            pending.push_back(p);
            continue;
        }
        if (out.empty()) {
            leading.swap(pending);
            out.push_back(p);
        } else if (pending.empty()) {
            out.push_back(p);
        } else {
            AppendCurve(out, pending, p);
            pending.clear();
        }
    }
    if (out.empty())
        return out; // no point on the curve: nothing to anchor a segment on
    pending.insert(pending.end(), leading.begin(), leading.end());
    if (!pending.empty()) {
        const CSuPoint first = out.front();
        AppendCurve(out, pending, first);
    }
    if (out.size() > 1) {
        const CSuPoint& a = out.front();
        const CSuPoint& b = out.back();
        if (std::fabs(a.m_x - b.m_x) <= 1e-6 && std::fabs(a.m_y - b.m_y) <= 1e-6)
            out.pop_back();
    }
    return out;
}

std::vector<CSuPoint> ArcToCubic(double cx, double cy, double rx, double ry, double startDeg, double sweepDeg)
{
    std::vector<CSuPoint> out;
    if (!std::isfinite(sweepDeg) || !std::isfinite(startDeg) || sweepDeg == 0.0)
        return out;
    // One cubic is good to 180 degrees; its factor grows without bound
    // towards 360.
    const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweepDeg) / 180.0)));
    const double w = sweepDeg / pieces * std::numbers::pi / 180.0;
    const double h = w / 2.0;
    const double k = 4.0 / 3.0 * (1.0 - std::cos(h)) / std::sin(h);
    double s = startDeg * std::numbers::pi / 180.0;
    out.push_back(Point(cx + rx * std::cos(s), cy + ry * std::sin(s), kSuPointPlain));
    for (int i = 0; i < pieces; ++i) {
        const double e = s + w;
        const double x0 = cx + rx * std::cos(s);
        const double y0 = cy + ry * std::sin(s);
        const double x3 = cx + rx * std::cos(e);
        const double y3 = cy + ry * std::sin(e);
        out.push_back(Point(x0 - k * rx * std::sin(s), y0 + k * ry * std::cos(s), kSuPointCubicControl));
        out.push_back(Point(x3 + k * rx * std::sin(e), y3 - k * ry * std::cos(e), kSuPointCubicControl));
        out.push_back(Point(x3, y3, kSuPointPlain));
        s = e;
    }
    return out;
}

namespace {

struct Extent {
    double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
    bool any = false;
    void Add(const CSuPoint& p)
    {
        if (!any) {
            minX = maxX = p.m_x;
            minY = maxY = p.m_y;
            any = true;
            return;
        }
        minX = std::min(minX, p.m_x);
        maxX = std::max(maxX, p.m_x);
        minY = std::min(minY, p.m_y);
        maxY = std::max(maxY, p.m_y);
    }
    plat::RECT Rect() const
    {
        plat::RECT r;
        if (!any)
            return r;
        r.left = NearestInt32(minX);
        r.top = NearestInt32(minY);
        r.right = NearestInt32(maxX);
        r.bottom = NearestInt32(maxY);
        if (r.left == r.right || r.top == r.bottom) {
            r.left = r.left > INT32_MIN + 1 ? r.left - 2 : INT32_MIN;
            r.top = r.top > INT32_MIN + 1 ? r.top - 2 : INT32_MIN;
            r.right = r.right < INT32_MAX - 1 ? r.right + 2 : INT32_MAX;
            r.bottom = r.bottom < INT32_MAX - 1 ? r.bottom + 2 : INT32_MAX;
        }
        return r;
    }
};

} // namespace

plat::RECT BoundingRect(const std::vector<CSuPoint>& points)
{
    Extent e;
    for (const CSuPoint& p : points)
        e.Add(p);
    return e.Rect();
}

plat::RECT BoundingRect(const std::vector<COutLine>& contours)
{
    Extent e;
    for (const COutLine& c : contours)
        for (const CSuPoint& p : c.m_points)
            e.Add(p);
    return e.Rect();
}

void DropNonFiniteContours(std::vector<COutLine>& contours)
{
    std::erase_if(contours, [](const COutLine& c) {
        return std::any_of(c.m_points.begin(), c.m_points.end(),
            [](const CSuPoint& p) { return !std::isfinite(p.m_x) || !std::isfinite(p.m_y); });
    });
}

void RotatePoint(CSuPoint& p, double cx, double cy, double angle)
{
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double dx = p.m_x - cx;
    const double dy = p.m_y - cy;
    p.m_x = cx + dx * c + dy * s;
    p.m_y = cy - dx * s + dy * c;
}

bool ReadTextCode(std::string_view text, std::size_t& pos, std::uint32_t& code)
{
    if (pos >= text.size() || text[pos] == '\0')
        return false;
    const auto first = static_cast<unsigned char>(text[pos]);
    if ((first & 0x80u) == 0) {
        code = first;
        ++pos;
        return true;
    }
    if (pos + 1 >= text.size() || text[pos + 1] == '\0') {
        pos = text.size();
        return false;
    }
    code = (static_cast<std::uint32_t>(first) << 8) | static_cast<unsigned char>(text[pos + 1]);
    pos += 2;
    return true;
}
