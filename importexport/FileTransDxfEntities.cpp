// The geometric entities of the DXF reader: their parsers, which read the
// groups of one entity into its record, and their conversions into
// polylines, points, ellipses, Bezier paths and copies of blocks.
#include "FileTransDxf.h"

#include "model/CurveGeometry.h"
#include "model/DocData.h"
#include "model/DocDataBezier.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "platform/NumText.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTurn = 2.0 * std::numbers::pi;
constexpr double kDegToRad = std::numbers::pi / 180.0;
// Parsed coordinates are file values x 1000.
constexpr double kCoordScale = 1000.0;
constexpr double kMinBulge = 0.01;
constexpr double kMinArcChord = 0.0001;
constexpr double kTurnSlack = 0.0001;

// Powers of ten a double holds exactly.
constexpr double kExactTens[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Most values of a drawing are plain decimals such as "-12.345": with at
// most 15 digits both the digits and the power of ten are exact doubles,
// so one division rounds them exactly as the general parser does. Anything
// else (exponents, blanks after, long numbers) takes the general parser.
bool PlainDecimal(std::string_view v, double& out)
{
    const char* p = v.data();
    const char* end = p + v.size();
    while (p < end && *p == ' ')
        ++p;
    const bool negative = p < end && *p == '-';
    if (negative)
        ++p;
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = 0;
    bool point = false;
    for (; p < end; ++p) {
        const unsigned d = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (d <= 9) {
            digits = digits * 10 + d;
            ++count;
            decimals += point ? 1 : 0;
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (count == 0 || count > 15)
        return false;
    const double value = static_cast<double>(digits) / kExactTens[decimals];
    out = negative ? -value : value;
    return true;
}

double Num(std::string_view v)
{
    double value = 0.0;
    return PlainDecimal(v, value) ? value : plat::ParseDouble(v);
}
double Coord(std::string_view v) { return Num(v) * kCoordScale; }

// A count from the file, cut to what one file may ask for.
std::size_t CountOf(std::string_view v)
{
    const std::int64_t n = plat::ParseInt(v);
    if (n <= 0)
        return 0;
    return static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(CFileTransDxf::kMaxCount)));
}

bool Extrusion(DXFPOINT3& e, int code, std::string_view v)
{
    if (code == 210)
        e.x = Num(v);
    else if (code == 220)
        e.y = Num(v);
    else if (code == 230)
        e.z = Num(v);
    else
        return false;
    return true;
}

// `end` brought after `start` by whole turns, at most one turn (and the
// slack) beyond it.
double EndAfterStart(double start, double end)
{
    if (end < start)
        end += std::ceil((start - end) / kTurn) * kTurn;
    if (end > start + kTurn + kTurnSlack)
        end -= std::ceil((end - start - kTurn - kTurnSlack) / kTurn) * kTurn;
    return end;
}

// A spline's control point times its weight, and the weight.
struct SplineHom {
    double x = 0.0, y = 0.0, w = 1.0;
};

// De Boor's algorithm in one knot span i (k[i] < k[i + 1]) of a spline of
// degree p. Level r makes p + 1 - r points, the m-th of them between points
// m and m + 1 of the level before at the share (t - L) / (R - L) of the
// knots L = k[i - p + m + r] and R = k[i + m + 1]; the knots and the
// reciprocals of their differences are worked out once per span, so that a
// point costs no division.
class SplineSpan {
public:
    SplineSpan(const std::vector<double>& knots, const std::vector<SplineHom>& points, std::size_t degree,
               bool rational)
        : m_k(knots), m_points(points), m_p(degree), m_rational(rational),
          m_left(degree * (degree + 1) / 2), m_inv(degree * (degree + 1) / 2)
    {
    }

    void Start(std::size_t i)
    {
        m_i = i;
        std::size_t at = 0;
        for (std::size_t r = 1; r <= m_p; ++r) {
            for (std::size_t m = 0; m + r <= m_p; ++m, ++at) {
                const double left = m_k[i - m_p + m + r];
                m_left[at] = left;
                m_inv[at] = 1.0 / (m_k[i + m + 1] - left);
            }
        }
    }

    CGeoPoint At(double t)
    {
        // x and y side by side in one vector of two, w beside them.
        const std::size_t first = m_i - m_p;
        for (std::size_t m = 0; m <= m_p; ++m) {
            m_xy[m] = XY{m_points[first + m].x, m_points[first + m].y};
            m_w[m] = m_points[first + m].w;
        }
        const double* left = m_left.data();
        const double* inv = m_inv.data();
        for (std::size_t r = 1; r <= m_p; ++r) {
            const std::size_t count = m_p + 1 - r;
            if (m_rational) {
                for (std::size_t m = 0; m < count; ++m) {
                    const double a = (t - left[m]) * inv[m];
                    m_xy[m] += a * (m_xy[m + 1] - m_xy[m]);
                    m_w[m] += a * (m_w[m + 1] - m_w[m]);
                }
            } else {
                for (std::size_t m = 0; m < count; ++m)
                    m_xy[m] += (t - left[m]) * inv[m] * (m_xy[m + 1] - m_xy[m]);
            }
            left += count;
            inv += count;
        }
        const XY d = m_xy[0];
        return m_rational ? CGeoPoint(d[0] / m_w[0], d[1] / m_w[0]) : CGeoPoint(d[0], d[1]);
    }

private:
    typedef double XY __attribute__((vector_size(16)));
    const std::vector<double>& m_k;
    const std::vector<SplineHom>& m_points;
    std::size_t m_p;
    bool m_rational;
    std::size_t m_i = 0;
    std::vector<double> m_left, m_inv;
    std::array<XY, kMaxSplineOrder> m_xy{};
    std::array<double, kMaxSplineOrder> m_w{};
};

double SegmentDistance(const CGeoPoint& a, const CGeoPoint& b, const CGeoPoint& m)
{
    const double dx = b.m_x - a.m_x, dy = b.m_y - a.m_y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((m.m_x - a.m_x) * dx + (m.m_y - a.m_y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(m.m_x - (a.m_x + t * dx), m.m_y - (a.m_y + t * dy));
}

// Appends to a node list kept by its head and tail.
struct NodeChain {
    explicit NodeChain(NodeStock& from) : stock(from) {}
    NodeStock& stock;
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    void Add(double x, double y, std::uint8_t kind)
    {
        tail = stock.Append(tail, x, y, kind);
        if (head == nullptr)
            head = tail;
    }
    void Free()
    {
        CDocState::FreeNodeList(head);
        tail = nullptr;
    }
};

} // namespace

bool CFileTransDxf::IsEqualTol(double a, double b) { return std::fabs(a - b) <= 1e-7; }

bool CFileTransDxf::IsFlippedExtrusion(const DXFPOINT3& e)
{
    return IsEqualTol(e.x, 0.0) && IsEqualTol(e.y, 0.0) && IsEqualTol(e.z, -1.0);
}

double CFileTransDxf::Distance(double px, double py, double qx, double qy) { return std::hypot(qx - px, qy - py); }

double CFileTransDxf::Bearing(double px, double py, double qx, double qy)
{
    const double ix = std::trunc(1000.0 * (qx - px));
    const double iy = std::trunc(1000.0 * (qy - py));
    if (ix == 0.0)
        return iy >= 0.0 ? 0.0 : kPi;
    if (iy == 0.0)
        return ix > 0.0 ? kPi / 2.0 : 3.0 * kPi / 2.0;
    const double t = std::fabs(std::atan((qy - py) / (qx - px)));
    if (ix > 0.0)
        return iy > 0.0 ? kPi / 2.0 - t : kPi / 2.0 + t;
    return iy < 0.0 ? 3.0 * kPi / 2.0 - t : 3.0 * kPi / 2.0 + t;
}

double CFileTransDxf::VectorAngle(double x, double y)
{
    const double r = std::hypot(x, y);
    if (r < 1e-6)
        return 0.0;
    const double a = std::asin(std::clamp(y / r, -1.0, 1.0));
    if (x < -1e-6)
        return std::fabs(y) <= 1e-6 ? kPi : kPi - a;
    if (x > 1e-6) {
        if (y < -1e-6)
            return a + kTurn;
        return y > 1e-6 ? a : 0.0;
    }
    if (y < -1e-6)
        return 3.0 * kPi / 2.0;
    return y > 1e-6 ? kPi / 2.0 : 0.0;
}

DXFARCGEOM CFileTransDxf::CircleThrough3Points(double x1, double y1, double x2, double y2, double x3, double y3)
{
    const double a1 = y2 - y1, b1 = x2 - x1;
    const double c1 = a1 * (y1 + y2) / 2.0 + b1 * (x1 + x2) / 2.0;
    const double a2 = y3 - y2, b2 = x3 - x2;
    const double c2 = a2 * (y2 + y3) / 2.0 + b2 * (x2 + x3) / 2.0;
    const double d = a2 * b1 - b2 * a1;
    DXFARCGEOM arc;
    arc.cx = (a2 * c1 - c2 * a1) / d;
    arc.cy = (c2 * b1 - b2 * c1) / d;
    arc.r = std::hypot(x1 - arc.cx, y1 - arc.cy);
    arc.start = std::atan2(y1 - arc.cy, x1 - arc.cx);
    arc.end = std::atan2(y3 - arc.cy, x3 - arc.cx);
    double delta = std::atan2(y3 - y2, x3 - x2) - std::atan2(y3 - y1, x3 - x1);
    if (delta > kPi)
        delta -= kTurn;
    else if (delta <= -kPi)
        delta += kTurn;
    arc.direction = delta > 0.0 ? 1 : 0;
    if (arc.direction == 1) {
        if (arc.start > arc.end)
            arc.end += kTurn;
    } else if (arc.end > arc.start) {
        arc.start += kTurn;
    }
    return arc;
}

DXFARCGEOM CFileTransDxf::BulgeToArc(double px, double py, double qx, double qy, double bulge)
{
    const double h = Distance(px, py, qx, qy) / 2.0;
    const double s = h * bulge;
    double theta = Bearing(px, py, qx, qy) + std::atan(s / h);
    if (theta < 0.0)
        theta += kTurn;
    else if (theta > kTurn)
        theta -= kTurn;
    const double d = std::sqrt(s * s + h * h);
    const double mx = px + std::sin(theta) * d;
    const double my = py + std::cos(theta) * d;
    return CircleThrough3Points(px, py, mx, my, qx, qy);
}

// Parsers. Each reads the entity's groups up to the code 0 group after it.

void CFileTransDxf::ParseLine(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_LINE;
    DXFLINE& r = m_data.m_line;
    r = DXFLINE{};
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v) || Extrusion(r.m_extrusion, c, v))
            continue;
        switch (c) {
        case 10: r.m_start.x = Coord(v); break;
        case 20: r.m_start.y = Coord(v); break;
        case 30: r.m_start.z = Coord(v); break;
        case 11: r.m_end.x = Coord(v); break;
        case 21: r.m_end.y = Coord(v); break;
        case 31: r.m_end.z = Coord(v); break;
        default: break;
        }
    }
}

void CFileTransDxf::ParsePoint(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_POINT;
    DXFPOINTREC& r = m_data.m_point;
    r = DXFPOINTREC{};
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v))
            continue;
        if (c == 10)
            r.m_at.x = Coord(v);
        else if (c == 20)
            r.m_at.y = Coord(v);
        else if (c == 30)
            r.m_at.z = Coord(v);
    }
}

void CFileTransDxf::ParseCircle(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_CIRCLE;
    DXFCIRCLE& r = m_data.m_circle;
    r = DXFCIRCLE{};
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v) || Extrusion(r.m_extrusion, c, v))
            continue;
        switch (c) {
        case 10: r.m_centre.x = Coord(v); break;
        case 20: r.m_centre.y = Coord(v); break;
        case 30: r.m_centre.z = Coord(v); break;
        case 40: r.m_radius = Coord(v); break;
        default: break;
        }
    }
}

void CFileTransDxf::ParseArc(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_ARC;
    DXFARC& r = m_data.m_arc;
    r = DXFARC{};
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v) || Extrusion(r.m_extrusion, c, v))
            continue;
        switch (c) {
        case 10: r.m_centre.x = Coord(v); break;
        case 20: r.m_centre.y = Coord(v); break;
        case 30: r.m_centre.z = Coord(v); break;
        case 40: r.m_radius = Coord(v); break;
        case 50: r.m_start = Num(v) * kDegToRad; break;
        case 51: r.m_end = Num(v) * kDegToRad; break;
        default: break;
        }
    }
}

void CFileTransDxf::ParseEllipse(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_ELLIPSE;
    DXFELLIPSE& r = m_data.m_ellipse;
    r = DXFELLIPSE{};
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v) || Extrusion(r.m_extrusion, c, v))
            continue;
        switch (c) {
        case 10: r.m_centre.x = Coord(v); break;
        case 20: r.m_centre.y = Coord(v); break;
        case 30: r.m_centre.z = Coord(v); break;
        case 11: r.m_axis.x = Coord(v); break;
        case 21: r.m_axis.y = Coord(v); break;
        case 31: r.m_axis.z = Coord(v); break;
        case 40: r.m_ratio = Num(v); break;
        case 41: r.m_start = Num(v); break;
        case 42: r.m_end = Num(v); break;
        default: break;
        }
    }
}

void CFileTransDxf::ParseInsert(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_INSERT;
    DXFINSERT& r = m_data.m_insert;
    r = DXFINSERT{};
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v) || Extrusion(r.m_extrusion, c, v))
            continue;
        switch (c) {
        case 10: r.m_at.x = Coord(v); break;
        case 20: r.m_at.y = Coord(v); break;
        case 30: r.m_at.z = Coord(v); break;
        case 41: r.m_sx = Num(v); break;
        case 42: r.m_sy = Num(v); break;
        case 43: r.m_sz = Num(v); break;
        case 50: r.m_rotation = Num(v) * kDegToRad; break;
        case 2: r.m_block = CutBytes(v, kMaxName); break;
        case 70: r.m_nColumns = IntOf(v); break;
        case 71: r.m_nRows = IntOf(v); break;
        case 44: r.m_dColumnSpacing = Coord(v); break;
        case 45: r.m_dRowSpacing = Coord(v); break;
        default: break;
        }
    }
}

// Each array is made when its count arrives; values before their count or
// beyond it are left out. A control point ends at its 30 group, or when a
// 10 group finds the point it would fill already started.
void CFileTransDxf::ParseSpline(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_SPLINE;
    DXFSPLINE& r = m_data.m_spline;
    r.m_flags = 0;
    r.m_degree = 3;
    r.m_bDegreeRead = false;
    r.m_knots.clear();
    r.m_controls.clear();
    r.m_fits.clear();
    r.m_nKnots = r.m_nControls = r.m_nFits = 0;
    r.m_bControlX = r.m_bFitX = false;
    r.m_weights.clear();
    auto point = [](std::vector<DXFPOINT3>& points, std::size_t& filled, bool& hasX, int axis, double value) {
        if (axis == 0 && hasX) {
            ++filled;
            hasX = false;
        }
        if (filled >= points.size())
            return;
        if (axis == 0) {
            points[filled].x = value;
            hasX = true;
        } else if (axis == 1) {
            points[filled].y = value;
        } else {
            points[filled].z = value;
            ++filled;
            hasX = false;
        }
    };
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v))
            continue;
        switch (c) {
        case 70: r.m_flags = IntOf(v); break;
        case 71:
            r.m_degree = IntOf(v);
            r.m_bDegreeRead = true;
            break;
        case 72:
            r.m_knots.assign(CountOf(v), 0.0);
            r.m_nKnots = 0;
            break;
        case 73:
            r.m_controls.assign(CountOf(v), DXFPOINT3{});
            r.m_nControls = 0;
            r.m_bControlX = false;
            break;
        case 74:
            r.m_fits.assign(CountOf(v), DXFPOINT3{});
            r.m_nFits = 0;
            r.m_bFitX = false;
            break;
        case 40:
            if (r.m_nKnots < r.m_knots.size())
                r.m_knots[r.m_nKnots++] = Num(v);
            break;
        case 41:
            if (r.m_weights.size() < kMaxCount)
                r.m_weights.push_back(Num(v));
            break;
        case 10: point(r.m_controls, r.m_nControls, r.m_bControlX, 0, Coord(v)); break;
        case 20: point(r.m_controls, r.m_nControls, r.m_bControlX, 1, Coord(v)); break;
        case 30: point(r.m_controls, r.m_nControls, r.m_bControlX, 2, Coord(v)); break;
        case 11: point(r.m_fits, r.m_nFits, r.m_bFitX, 0, Coord(v)); break;
        case 21: point(r.m_fits, r.m_nFits, r.m_bFitX, 1, Coord(v)); break;
        case 31: point(r.m_fits, r.m_nFits, r.m_bFitX, 2, Coord(v)); break;
        default: break;
        }
    }
}

// The POLYLINE's own groups, then every VERTEX entity that follows it. The
// end-of-sequence entity after the last vertex is passed over later like
// any entity the reader does not know.
void CFileTransDxf::ParsePolyline(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_POLYLINE;
    DXFPOLYLINE& r = m_data.m_polyline;
    r.m_vertices.clear();
    r.m_flags = 0;
    r.m_extrusion = DXFPOINT3{};
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v) || Extrusion(r.m_extrusion, c, v))
            continue;
        if (c == 70)
            r.m_flags = static_cast<std::uint16_t>(IntOf(v));
    }
    while (!m_bAtEnd && m_lastValue == "VERTEX") {
        DXFVERTEX vertex;
        while (NextEntityGroup(f, c, v)) {
            switch (c) {
            case 10: vertex.x = Coord(v); break;
            case 20: vertex.y = Coord(v); break;
            case 30: vertex.z = Coord(v); break;
            case 42: vertex.bulge = Num(v); break;
            default: break;
            }
        }
        r.m_vertices.push_back(vertex);
    }
}

void CFileTransDxf::ParseLwPolyline(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_POLYLINE;
    DXFPOLYLINE& r = m_data.m_polyline;
    r.m_vertices.clear();
    r.m_flags = 0;
    r.m_extrusion = DXFPOINT3{};
    double x = 0.0;
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v) || Extrusion(r.m_extrusion, c, v))
            continue;
        switch (c) {
        case 10: x = Coord(v); break;
        case 20: r.m_vertices.push_back(DXFVERTEX{x, Coord(v), 0.0, 0.0}); break;
        case 42:
            if (!r.m_vertices.empty())
                r.m_vertices.back().bulge = Num(v);
            break;
        case 70: r.m_flags = static_cast<std::uint16_t>(IntOf(v)); break;
        default: break;
        }
    }
}

// Conversions. f = m_dUnit; coordinates come out in micrometres.

CDocData* CFileTransDxf::ConvertLine(DOCCONTEXT* ctx)
{
    // Line ends are world coordinates: the extrusion does not move them.
    const DXFLINE& r = m_data.m_line;
    const double f = m_dUnit;
    NodeChain nodes(m_nodeStock);
    nodes.Add(f * r.m_start.x, f * r.m_start.y, NODE_ANCHOR);
    nodes.Add(f * r.m_end.x, f * r.m_end.y, NODE_ANCHOR);
    return ::new (m_objectStock.Take(sizeof(CDocDataLine))) CDocDataLine(nodes.head, 1, ctx);
}

CDocData* CFileTransDxf::ConvertPoint(DOCCONTEXT* ctx)
{
    const DXFPOINTREC& r = m_data.m_point;
    return new CDocDataPoint(AppendNode(nullptr, m_dUnit * r.m_at.x, m_dUnit * r.m_at.y), true, ctx);
}

CDocData* CFileTransDxf::ConvertCircle(DOCCONTEXT*)
{
    const DXFCIRCLE& r = m_data.m_circle;
    const double f = m_dUnit;
    double cx = f * r.m_centre.x;
    if (IsFlippedExtrusion(r.m_extrusion))
        cx = -cx;
    const double cy = f * r.m_centre.y;
    const double radius = f * r.m_radius;
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius))
        return nullptr;
    return new CDocDataEllipse(cx - radius, cy - radius, cx + radius, cy + radius);
}

CDocData* CFileTransDxf::ConvertArc(DOCCONTEXT* ctx)
{
    const DXFARC& r = m_data.m_arc;
    const double f = m_dUnit;
    double cx = f * r.m_centre.x;
    const double cy = f * r.m_centre.y;
    double start = r.m_start, end = r.m_end;
    if (IsFlippedExtrusion(r.m_extrusion)) {
        cx = -cx;
        start = kPi - r.m_end;
        end = kPi - r.m_start;
    }
    if (!std::isfinite(start) || !std::isfinite(end))
        return nullptr;
    end = EndAfterStart(start, end);
    DOCNODE* nodes = EllipseToBeziers(cx, cy, f * r.m_radius, start, end, m_dCurveTol * 0.1);
    if (nodes == nullptr)
        return nullptr;
    return new CDocDataBezier(nodes, true, ctx);
}

// A DXF ellipse runs counter-clockwise from its start parameter to its end
// parameter, across 0 when the end is the smaller one.
CDocData* CFileTransDxf::ConvertEllipse(DOCCONTEXT* ctx)
{
    const DXFELLIPSE& r = m_data.m_ellipse;
    const double f = m_dUnit;
    const double cx = f * r.m_centre.x, cy = f * r.m_centre.y;
    const double ax = f * r.m_axis.x, ay = f * r.m_axis.y;
    const double a = std::hypot(ax, ay);
    const double b = a * r.m_ratio;
    const double rotation = std::atan2(ay, ax);
    double start = r.m_start, end = r.m_end;
    if (IsFlippedExtrusion(r.m_extrusion)) {
        start = kTurn - r.m_end;
        end = kTurn - r.m_start;
    }
    if (!(a > 0.0) || b == 0.0 || !std::isfinite(a) || !std::isfinite(b) || !std::isfinite(cx) ||
        !std::isfinite(cy) || !std::isfinite(start) || !std::isfinite(end))
        return nullptr;
    end = EndAfterStart(start, end);
    DOCNODE* nodes = BuildImportCurves(cx, cy, a, b, start, end, rotation, m_dCurveTol);
    if (nodes == nullptr)
        return nullptr;
    return new CDocDataBezier(nodes, true, ctx);
}

// Sampled at the spline's own degree with de Boor's algorithm on the points
// in homogeneous form (x w, y w, w), so that rational splines keep their
// weights. Each knot span starts at kSplineSteps steps (kSplineCoarseSteps
// with flag 16), halved while the curve at a chord's middle parameter lies
// farther than kSplineChordTol from it; a spline that would need more
// points than its share of kMaxSplineWork is sampled evenly at that share
// instead (at most three times the share evaluated in all).
CDocData* CFileTransDxf::ConvertSpline(DOCCONTEXT* ctx)
{
    // Only the values the file gave count, whatever its counts promised.
    DXFSPLINE& r = m_data.m_spline;
    r.m_knots.resize(r.m_nKnots);
    r.m_controls.resize(std::min(r.m_controls.size(), r.m_nControls + (r.m_bControlX ? 1 : 0)));
    const std::vector<double>& k = r.m_knots;
    const std::size_t n = r.m_controls.size();
    const int p = r.m_bDegreeRead ? r.m_degree : 3;
    // The order p + 1 must fit; compared as the degree, so that the
    // largest degree a file can give does not overflow.
    if (n == 0 || p < 1 || p >= kMaxSplineOrder)
        return nullptr;
    for (std::size_t j = 0; j < k.size(); ++j) {
        if (!std::isfinite(k[j]) || (j > 0 && k[j] < k[j - 1]))
            return nullptr;
    }
    const std::size_t deg = static_cast<std::size_t>(p);
    const double f = m_dUnit;

    // Control points in micrometres, times their weights. A weight that is
    // not a positive number counts as 1; the others are kept within a range
    // where the sums stay numbers.
    std::vector<SplineHom> points(n);
    bool rational = false;
    for (std::size_t j = 0; j < n; ++j) {
        double w = j < r.m_weights.size() ? r.m_weights[j] : 1.0;
        w = w > 0.0 && std::isfinite(w) ? std::clamp(w, 1e-9, 1e9) : 1.0;
        rational = rational || w != 1.0;
        points[j] = SplineHom{f * r.m_controls[j].x * w, f * r.m_controls[j].y * w, w};
    }
    SplineSpan curve(k, points, deg, rational);
    std::size_t current = 0;
    auto eval = [&](std::size_t i, double t) {
        if (i != current) {
            curve.Start(i);
            current = i;
        }
        return curve.At(t);
    };

    // The spans with a length and the knots de Boor needs about them.
    std::vector<std::size_t> spans;
    for (std::size_t i = deg; i < n && i + deg < k.size(); ++i) {
        if (k[i] < k[i + 1])
            spans.push_back(i);
    }
    const std::size_t cost = (deg + 1) * (deg + 1);
    const std::size_t budget = std::min(kMaxSplinePoints, kMaxSplineWork / cost);
    const int steps = (r.m_flags & 16) != 0 ? kSplineCoarseSteps : kSplineSteps;

    std::vector<CGeoPoint> samples;
    std::size_t evaluated = 0;
    bool even = false;
    std::vector<CGeoPoint> span, finer;
    for (std::size_t i : spans) {
        // The span's points at `count` steps, both ends included.
        std::size_t count = static_cast<std::size_t>(steps);
        const double t0 = k[i], t1 = k[i + 1];
        auto tAt = [&](std::size_t q, std::size_t of) {
            return q == of ? t1 : t0 + (t1 - t0) * static_cast<double>(q) / static_cast<double>(of);
        };
        span.clear();
        for (std::size_t q = 0; q <= count; ++q)
            span.push_back(eval(i, tAt(q, count)));
        evaluated += count + 1;
        for (;;) {
            // The middles of the chords are the points of the next halving;
            // looking at them costs about as much as the points themselves.
            if (evaluated + count > 2 * budget) {
                even = true;
                break;
            }
            finer.clear();
            bool far = false;
            for (std::size_t q = 0; q < count; ++q) {
                const CGeoPoint mid = eval(i, tAt(2 * q + 1, 2 * count));
                far = far || SegmentDistance(span[q], span[q + 1], mid) > kSplineChordTol;
                finer.push_back(span[q]);
                finer.push_back(mid);
            }
            finer.push_back(span[count]);
            evaluated += count;
            if (!far)
                break;
            if (samples.size() + 2 * count > budget) {
                even = true;
                break;
            }
            span.swap(finer);
            count *= 2;
        }
        if (even || samples.size() + count > budget) {
            even = true;
            break;
        }
        samples.insert(samples.end(), span.begin(), span.end() - 1);
    }
    if (even) {
        // Evenly over the whole parameter range, at the budget.
        samples.clear();
        const double t0 = k[spans.front()], t1 = k[spans.back() + 1];
        std::size_t s = 0;
        for (std::size_t q = 0; q < budget; ++q) {
            const double t = t0 + (t1 - t0) * static_cast<double>(q) / static_cast<double>(budget);
            while (s + 1 < spans.size() && t >= k[spans[s] + 1])
                ++s;
            samples.push_back(eval(spans[s], std::clamp(t, k[spans[s]], k[spans[s] + 1])));
        }
    }

    NodeChain nodes(m_nodeStock);
    bool clamped = (r.m_flags & 1) != 0;
    if (!clamped && k.size() >= deg) {
        clamped = true;
        for (std::size_t j = 1; j < deg; ++j)
            clamped = clamped && std::fabs(k[0] - k[j]) < 1e-9;
    }
    if (clamped)
        nodes.Add(f * r.m_controls[0].x, f * r.m_controls[0].y, NODE_ANCHOR);
    for (const CGeoPoint& q : samples)
        nodes.Add(q.m_x, q.m_y, NODE_ANCHOR);
    nodes.Add(f * r.m_controls[n - 1].x, f * r.m_controls[n - 1].y, NODE_ANCHOR);
    return new CDocDataLine(nodes.head, 1, ctx);
}

// Straight vertices add an anchor with its two controls on it; a bulge adds
// the arc to the next vertex as Bezier pieces. A mirrored polyline is
// mirrored whole, its arcs turning the other way.
CDocData* CFileTransDxf::ConvertPolyline(DOCCONTEXT* ctx)
{
    std::vector<DXFVERTEX>& vertices = m_data.m_polyline.m_vertices;
    if (vertices.empty())
        return nullptr;
    if ((m_data.m_polyline.m_flags & 1) != 0)
        vertices.push_back(vertices.front());
    const double sx = IsFlippedExtrusion(m_data.m_polyline.m_extrusion) ? -m_dUnit : m_dUnit;
    const double bulgeSign = sx < 0.0 ? -1.0 : 1.0;
    const double f = m_dUnit;
    const std::size_t n = vertices.size();

    // Without arcs the controls would all sit on their anchors: anchors only.
    bool arcs = false;
    for (std::size_t i = 0; i + 1 < n && !arcs; ++i)
        arcs = std::fabs(vertices[i].bulge) >= kMinBulge;
    NodeChain nodes(m_nodeStock);
    if (!arcs) {
        for (const DXFVERTEX& v : vertices)
            nodes.Add(sx * v.x, f * v.y, NODE_ANCHOR);
        return ::new (m_objectStock.Take(sizeof(CDocDataLine))) CDocDataLine(nodes.head, 1, ctx);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double b = i + 1 < n ? bulgeSign * vertices[i].bulge : 0.0;
        const double px = sx * vertices[i].x, py = f * vertices[i].y;
        if (std::fabs(b) >= kMinBulge) {
            const double qx = sx * vertices[i + 1].x, qy = f * vertices[i + 1].y;
            if (Distance(px, py, qx, qy) >= kMinArcChord) {
                const DXFARCGEOM arc = BulgeToArc(px, py, qx, qy, b);
                DOCNODE* piece = EllipseToBeziers(arc.cx, arc.cy, arc.r, arc.start, arc.end, m_dCurveTol * 0.1);
                if (piece == nullptr) {
                    nodes.Free();
                    return nullptr;
                }
                DOCNODE* last = LastNode(piece);
                nodes.Add(piece->m_x, piece->m_y, NODE_CONTROL_IN);
                nodes.tail->m_pNext = piece;
                piece->m_pPrev = nodes.tail;
                nodes.tail = last;
                nodes.Add(last->m_x, last->m_y, NODE_CONTROL_OUT);
                if (i + 2 == n)
                    break;
            }
            continue;
        }
        nodes.Add(px, py, NODE_CONTROL_IN);
        nodes.Add(px, py, NODE_ANCHOR);
        nodes.Add(px, py, NODE_CONTROL_OUT);
    }
    if (nodes.head == nullptr)
        return nullptr;
    // The first and last nodes are the controls around the ends.
    DOCNODE* head = nodes.head;
    if (head->m_nKind != NODE_ANCHOR && head->m_pNext != nullptr) {
        head = head->m_pNext;
        delete head->m_pPrev;
        head->m_pPrev = nullptr;
    }
    DOCNODE* last = nodes.tail;
    if (last->m_nKind != NODE_ANCHOR && last != head) {
        last = last->m_pPrev;
        delete last->m_pNext;
        last->m_pNext = nullptr;
    }
    if (CompactNodeList(head))
        return new CDocDataLine(head, 1, ctx);
    return new CDocDataBezier(head, true, ctx);
}

// DXF places a block by moving its base point onto the insertion point,
// scaling and then rotating it about that point. With column and row counts
// the copies make a grid whose spacings, not scaled, turn with the rotation.
// Seen from below (extrusion 0, 0, -1) the placed copies are mirrored in x.
CFileTransDxf::Chain CFileTransDxf::InsertBlock(const DXFENTITY& e, DOCCONTEXT* ctx)
{
    m_insertAttrs.clear();
    const DXFINSERT& r = m_data.m_insert;
    const auto found = m_blockIndex.find(std::string(r.m_block));
    if (found == m_blockIndex.end())
        return {};
    const DXFBLOCK& block = m_blocks[found->second];
    const double f = m_dUnit;
    const CGeoPoint from(block.m_baseX, block.m_baseY);
    const CGeoPoint at(f * r.m_at.x, f * r.m_at.y);
    const double dx = f * r.m_dColumnSpacing, dy = f * r.m_dRowSpacing;
    if (!std::isfinite(at.m_x) || !std::isfinite(at.m_y) || !std::isfinite(r.m_sx) || !std::isfinite(r.m_sy) ||
        !std::isfinite(r.m_rotation) || !std::isfinite(dx) || !std::isfinite(dy))
        return {};
    // Counts below 1 mean one; every copy counts against the limits.
    const std::size_t columns = static_cast<std::size_t>(std::max(r.m_nColumns, 1));
    const std::size_t rows = static_cast<std::size_t>(std::max(r.m_nRows, 1));
    if (columns > kMaxInsertObjects || rows > kMaxInsertObjects / columns)
        return {};
    const std::size_t copies = columns * rows;
    if (block.m_nDepth + 1 > kMaxInsertDepth || block.m_nObjects > (kMaxInsertObjects - m_nInsertedObjects) / copies ||
        block.m_nNodes > (kMaxInsertNodes - m_nInsertedNodes) / copies)
        return {};
    m_nInsertedObjects += block.m_nObjects * copies;
    m_nInsertedNodes += block.m_nNodes * copies;
    m_nBlockDepth = std::max(m_nBlockDepth, block.m_nDepth + 1);

    // Where each object's layer and colour come from, seen through this
    // INSERT: layer 0 is its layer, "by block" its colour, "by layer" on
    // layer 0 its layer's colour.
    const DXFATTR own{e.m_layer, e.m_nColor, e.m_layer};
    std::vector<DXFATTR> resolved;
    resolved.reserve(block.m_attrs.size());
    for (const DXFATTR& a : block.m_attrs) {
        DXFATTR out = a;
        if (a.m_layer == "0")
            out.m_layer = own.m_layer;
        if (a.m_nColor == 0) {
            out.m_nColor = own.m_nColor;
            out.m_colourLayer = own.m_colourLayer;
        } else if (a.m_nColor == 256 && a.m_colourLayer == "0") {
            out.m_colourLayer = own.m_layer;
        }
        resolved.push_back(out);
    }

    const bool mirrored = IsFlippedExtrusion(r.m_extrusion);
    const double c = std::cos(r.m_rotation), s = std::sin(r.m_rotation);
    const auto& palette = CDocData::SettingsOf(ctx).m_palette;
    Chain chain{};
    for (std::size_t row = 0; row < rows; ++row) {
        for (std::size_t column = 0; column < columns; ++column) {
            const double ox = static_cast<double>(column) * dx, oy = static_cast<double>(row) * dy;
            const CGeoPoint to(at.m_x + ox * c - oy * s, at.m_y + ox * s + oy * c);
            CDocData* first = CloneDocData(block.m_pFirst, true);
            Append(chain, Chain{first, first});
            std::size_t k = 0;
            for (CDocData* o = first; o != nullptr; o = o->m_pNext, ++k) {
                chain.second = o;
                o->Move(from, to, ctx);
                if (r.m_sx != 1.0 || r.m_sy != 1.0)
                    o->Scale(to.m_x, to.m_y, r.m_sx, r.m_sy, ctx);
                o->Rotate(to, r.m_rotation, ctx);
                if (mirrored)
                    o->Scale(0.0, 0.0, -1.0, 1.0, ctx);
                if (k < resolved.size()) {
                    const std::uint32_t index = PaletteIndexOf(resolved[k].m_colourLayer, resolved[k].m_nColor, ctx);
                    o->SetColor(static_cast<std::int32_t>(index), palette[index]);
                    m_insertAttrs.push_back(resolved[k]);
                }
            }
        }
    }
    return chain;
}
