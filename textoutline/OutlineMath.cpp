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

void MapToWorkingSpace(double x, double y, double& wx, double& wy)
{
    wx = x * 10.0 + 20000.0;
    wy = 20000.0 - y * 10.0;
}

bool AngleApplies(double angle)
{
    return NearestInt(angle * 10000.0) != 0;
}

void ConvertRawContour(const std::vector<CSuPoint>& raw, std::vector<CSuPoint>& out)
{
    struct Source {
        const std::vector<CSuPoint>& raw;
        std::uint8_t Kind(std::size_t i) const { return raw[i].m_kind; }
        const CSuPoint& Point(std::size_t i) const { return raw[i]; }
    };
    out.resize(3 * raw.size());
    out.resize(ConvertRawContourOf(Source{raw}, raw.size(), out.data()));
}

std::vector<CSuPoint> ConvertRawContour(const std::vector<CSuPoint>& raw)
{
    std::vector<CSuPoint> out;
    ConvertRawContour(raw, out);
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
    out.push_back(raw_contour::Point(cx + rx * std::cos(s), cy + ry * std::sin(s), kSuPointPlain, 0));
    for (int i = 0; i < pieces; ++i) {
        const double e = s + w;
        const double x0 = cx + rx * std::cos(s);
        const double y0 = cy + ry * std::sin(s);
        const double x3 = cx + rx * std::cos(e);
        const double y3 = cy + ry * std::sin(e);
        out.push_back(raw_contour::Point(x0 - k * rx * std::sin(s), y0 + k * ry * std::cos(s), kSuPointCubicControl, 0));
        out.push_back(raw_contour::Point(x3 + k * rx * std::sin(e), y3 - k * ry * std::cos(e), kSuPointCubicControl, 0));
        out.push_back(raw_contour::Point(x3, y3, kSuPointPlain, 0));
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
