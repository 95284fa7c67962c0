#include "CurveGeometry.h"

#include "DocState.h"
#include "GeoFunctions.h"
#include "PolylineGeometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
// Halving stops here whatever the tolerance: 2^18 pieces per segment cover
// far more than any table at the output tolerance, and a hostile coordinate
// cannot make the flattening run away.
constexpr int kMaxHalvings = 18;
constexpr double kSplitStep = 0.0001;
// An elliptical arc's rest shorter than this times the caller's unit joins its
// last piece.
constexpr double kImportRestTol = 0.1;
constexpr double kSplineStep = 0.05;
constexpr double kSplineKnotTol = 1e-5;
constexpr double kMaxArcTurns = 64.0;

struct Pt {
    double x;
    double y;
};

struct Cubic {
    Pt p[4];
};

Pt Mid(const Pt& a, const Pt& b)
{
    return {(a.x + b.x) * 0.5, (a.y + b.y) * 0.5};
}

Pt Lerp(const Pt& a, const Pt& b, double t)
{
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
}

Pt BezierPoint(const Cubic& c, double t)
{
    const double u = 1.0 - t;
    const double b0 = u * u * u, b1 = 3.0 * u * u * t, b2 = 3.0 * u * t * t, b3 = t * t * t;
    return {b0 * c.p[0].x + b1 * c.p[1].x + b2 * c.p[2].x + b3 * c.p[3].x,
            b0 * c.p[0].y + b1 * c.p[1].y + b2 * c.p[2].y + b3 * c.p[3].y};
}

// The next node of a list that may be a ring; null at its end.
const DOCNODE* Next(const DOCNODE* n, const DOCNODE* head)
{
    const DOCNODE* m = n->m_pNext;
    return m == head ? nullptr : m;
}

// The cubic starting at anchor n, when n has three successors.
bool SegmentAt(const DOCNODE* n, const DOCNODE* head, Cubic& c, const DOCNODE** end)
{
    const DOCNODE* c1 = Next(n, head);
    const DOCNODE* c2 = c1 ? Next(c1, head) : nullptr;
    const DOCNODE* e = c2 ? Next(c2, head) : nullptr;
    if (e == nullptr)
        return false;
    c.p[0] = {n->m_x, n->m_y};
    c.p[1] = {c1->m_x, c1->m_y};
    c.p[2] = {c2->m_x, c2->m_y};
    c.p[3] = {e->m_x, e->m_y};
    *end = e;
    return true;
}

bool IsFinite(const Cubic& c)
{
    for (const Pt& p : c.p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
    }
    return true;
}

// Builds an open list node by node.
struct ListBuilder {
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;

    void Add(double x, double y, std::uint8_t kind = NODE_ANCHOR)
    {
        tail = AppendNode(tail, x, y, kind);
        if (head == nullptr)
            head = tail;
    }
    void Add(const Pt& p, std::uint8_t kind = NODE_ANCHOR) { Add(p.x, p.y, kind); }
};

} // namespace

namespace {

// True when the control points run one way in x and one way in y: every
// point the halving makes of such a piece lies between its ends (a midpoint
// of two numbers lies between them), so its ends bound all its samples.
bool Monotone(const Cubic& c)
{
    auto oneWay = [](double a, double b, double d, double e) {
        return (a <= b && b <= d && d <= e) || (a >= b && b >= d && d >= e);
    };
    return oneWay(c.p[0].x, c.p[1].x, c.p[2].x, c.p[3].x) && oneWay(c.p[0].y, c.p[1].y, c.p[2].y, c.p[3].y);
}

// The points SamplePolyline lists, in order, to add(x, y); the caller has
// checked the list and the tolerance. With `extremesOnly` a piece running
// one way in x and y gives only its end (its start is the point before):
// the bounds of the samples stay the same, and a curve far larger than the
// tolerance is not halved into a million pieces to measure it.
template <bool extremesOnly = false, typename Add>
void ForEachSample(const DOCNODE* pNodes, double tol, Add add)
{
    add(pNodes->m_x, pNodes->m_y);

    // Depth-first halving with an explicit stack: the pending second halves,
    // one per level, so nothing is allocated but the output nodes.
    struct Piece {
        Cubic c;
        int depth;
    };
    std::array<Piece, kMaxHalvings + 2> stack;
    bool firstPiece = true;

    const DOCNODE* n = pNodes;
    Cubic seg;
    const DOCNODE* end = nullptr;
    while (n != nullptr && SegmentAt(n, pNodes, seg, &end)) {
        const bool finite = IsFinite(seg);
        int top = 0;
        stack[top++] = {seg, 0};
        while (top > 0) {
            const Piece cur = stack[--top];
            const Cubic& c = cur.c;
            if constexpr (extremesOnly) {
                if (finite && Monotone(c)) {
                    firstPiece = false;
                    add(c.p[3].x, c.p[3].y);
                    continue;
                }
            }
            bool halve = firstPiece || !(std::fabs(c.p[3].x - c.p[0].x) < tol && std::fabs(c.p[3].y - c.p[0].y) < tol);
            firstPiece = false;
            if (!finite || cur.depth >= kMaxHalvings)
                halve = false;
            if (!halve) {
                add(c.p[3].x, c.p[3].y);
                continue;
            }
            // de Casteljau at t = 0.5.
            const Pt ab = Mid(c.p[0], c.p[1]), bc = Mid(c.p[1], c.p[2]), cd = Mid(c.p[2], c.p[3]);
            const Pt abc = Mid(ab, bc), bcd = Mid(bc, cd);
            const Pt m = Mid(abc, bcd);
            stack[top++] = {{{m, bcd, cd, c.p[3]}}, cur.depth + 1};
            stack[top++] = {{{c.p[0], ab, abc, m}}, cur.depth + 1};
        }
        n = end;
    }
}

} // namespace

DOCNODE* SamplePolyline(const DOCNODE* pNodes, double tol)
{
    if (pNodes == nullptr || !(tol > 0.0))
        return nullptr;
    ListBuilder out;
    ForEachSample(pNodes, tol, [&out](double x, double y) { out.Add(x, y); });
    return out.head;
}

bool SamplePolylineBounds(const DOCNODE* pNodes, double tol, double& xmin, double& ymin, double& xmax, double& ymax)
{
    if (pNodes == nullptr || !(tol > 0.0))
        return false;
    xmin = ymin = HUGE_VAL;
    xmax = ymax = -HUGE_VAL;
    // Compared as a walk over the list's nodes compares them: a coordinate
    // that is not a number is passed over, an equal one keeps the first.
    ForEachSample<true>(pNodes, tol, [&](double x, double y) {
        xmin = x < xmin ? x : xmin;
        xmax = x > xmax ? x : xmax;
        ymin = y < ymin ? y : ymin;
        ymax = y > ymax ? y : ymax;
    });
    // An axis without a number: nothing a walk would take.
    if (xmin > xmax)
        xmin = xmax = std::nan("");
    if (ymin > ymax)
        ymin = ymax = std::nan("");
    return true;
}

DOCNODE* SampleBezierByStep(const DOCNODE* pNodes, double step, bool bAllSegments, CGeoBox& box)
{
    box.SetEmpty();
    if (pNodes == nullptr)
        return nullptr;
    // The bounds are kept here rather than grown through CGeoBox::AddPoint,
    // which takes a degenerate box at negative coordinates (file units
    // before placement) for the empty marker and would drop it.
    double xmin = pNodes->m_x, xmax = pNodes->m_x, ymin = pNodes->m_y, ymax = pNodes->m_y;
    auto grow = [&](const Pt& p) {
        xmin = std::min(xmin, p.x);
        xmax = std::max(xmax, p.x);
        ymin = std::min(ymin, p.y);
        ymax = std::max(ymax, p.y);
    };
    auto setBox = [&] { box = CGeoBox(xmin, xmax, ymin, ymax); };
    setBox();
    if (!(step > 0.0))
        return nullptr;

    ListBuilder out;
    const DOCNODE* n = pNodes;
    Cubic seg;
    const DOCNODE* end = nullptr;
    while (n != nullptr && SegmentAt(n, pNodes, seg, &end)) {
        // Parameters i x step while below 1 + step / 2: the last sample falls
        // on or just short of 1 and is then put on the end anchor.
        for (long i = 0;; ++i) {
            const double t = static_cast<double>(i) * step;
            if (!(t < step * 0.5 + 1.0))
                break;
            const Pt p = BezierPoint(seg, t);
            out.Add(p);
            grow(p);
        }
        out.tail->m_x = seg.p[3].x;
        out.tail->m_y = seg.p[3].y;
        grow(seg.p[3]);
        if (!bAllSegments)
            break;
        n = end;
    }
    setBox();
    return out.head;
}

bool SampleBezierStepBounds(const DOCNODE* pNodes, double step, CGeoBox& bounds)
{
    if (pNodes == nullptr || !(step > 0.0))
        return false;
    // The points of SampleBezierByStep's list, walked without making it.
    double xmin = std::numeric_limits<double>::infinity(), ymin = xmin;
    double xmax = -xmin, ymax = -xmin;
    auto grow = [&](const Pt& p) {
        xmin = std::fmin(xmin, p.x);
        xmax = std::fmax(xmax, p.x);
        ymin = std::fmin(ymin, p.y);
        ymax = std::fmax(ymax, p.y);
    };
    bool any = false;
    const DOCNODE* n = pNodes;
    Cubic seg;
    const DOCNODE* end = nullptr;
    while (n != nullptr && SegmentAt(n, pNodes, seg, &end)) {
        any = true;
        for (long i = 0;; ++i) {
            const double t = static_cast<double>(i) * step;
            if (!(t < step * 0.5 + 1.0))
                break;
            // The segment's last sample is put on its end anchor.
            const bool last = !(static_cast<double>(i + 1) * step < step * 0.5 + 1.0);
            grow(last ? seg.p[3] : BezierPoint(seg, t));
        }
        n = end;
    }
    if (!any)
        return false;
    bounds = CGeoBox(xmin, xmax, ymin, ymax);
    return true;
}

DOCNODE* SplitBezierAt(const DOCNODE* pStart, double x, double y, double tol)
{
    if (pStart == nullptr)
        return nullptr;
    Cubic c;
    const DOCNODE* end = nullptr;
    if (!SegmentAt(pStart, pStart, c, &end))
        return nullptr;
    double found = -1.0;
    for (int i = 0; i <= 10000; ++i) {
        const double t = i * kSplitStep;
        const Pt p = BezierPoint(c, t);
        if (std::fabs(p.x - x) < tol && std::fabs(p.y - y) < tol) {
            found = t;
            break;
        }
    }
    if (found < 0.0)
        return nullptr;
    const double t = found;
    const Pt ab = Lerp(c.p[0], c.p[1], t), bc = Lerp(c.p[1], c.p[2], t), cd = Lerp(c.p[2], c.p[3], t);
    const Pt abc = Lerp(ab, bc, t), bcd = Lerp(bc, cd, t);
    const Pt m = Lerp(abc, bcd, t);
    ListBuilder out;
    out.Add(c.p[0], NODE_ANCHOR);
    out.Add(ab, NODE_CONTROL_OUT);
    out.Add(abc, NODE_CONTROL_IN);
    out.Add(m, NODE_ANCHOR);
    out.Add(bcd, NODE_CONTROL_OUT);
    out.Add(cd, NODE_CONTROL_IN);
    out.Add(c.p[3], NODE_ANCHOR);
    return out.head;
}

DOCNODE* EllipseToBeziers(double cx, double cy, double r, double a0, double a1, double tol)
{
    if (!std::isfinite(a0) || !std::isfinite(a1) || std::fabs(a1 - a0) > kMaxArcTurns * 2.0 * kPi)
        return nullptr;
    const double dir = a0 <= a1 ? 1.0 : -1.0;
    const double quarter = kPi / 2.0;
    auto at = [&](double a) { return Pt{cx + r * std::cos(a), cy + r * std::sin(a)}; };
    // Unit tangent in the direction of travel.
    auto tangent = [&](double a) { return Pt{-dir * std::sin(a), dir * std::cos(a)}; };

    ListBuilder out;
    out.Add(at(a0), NODE_ANCHOR);
    double a = a0;
    int pieces = 0;
    const double h = r * kBezierQuarterFactor;
    while (std::fabs(a1 - a) >= quarter) {
        const double b = a0 + dir * quarter * (pieces + 1);
        const Pt pa = at(a), pb = at(b), ta = tangent(a), tb = tangent(b);
        out.Add(Pt{pa.x + h * ta.x, pa.y + h * ta.y}, NODE_CONTROL_OUT);
        out.Add(Pt{pb.x - h * tb.x, pb.y - h * tb.y}, NODE_CONTROL_IN);
        out.Add(pb, NODE_ANCHOR);
        a = b;
        ++pieces;
    }

    const Pt e = at(a1);
    DOCNODE* last = out.tail;
    if (pieces > 0 && std::fabs(last->m_x - e.x) <= tol && std::fabs(last->m_y - e.y) <= tol) {
        // Close enough: pull the last anchor and its incoming control onto
        // the end instead of adding a tiny piece.
        const double dx = e.x - last->m_x, dy = e.y - last->m_y;
        last->m_x += dx;
        last->m_y += dy;
        last->m_pPrev->m_x += dx;
        last->m_pPrev->m_y += dy;
    } else {
        // The rest of the arc as one piece; also an arc shorter than a quarter
        // whose ends nearly meet, which has no earlier piece to pull. The
        // control distance 4/3 tan(sweep / 4) puts the piece's middle on the
        // circle; its error stays below 0.03 % of r.
        const double hl = 4.0 / 3.0 * r * std::tan(std::fabs(a1 - a) / 4.0);
        const Pt pa = at(a), ta = tangent(a), te = tangent(a1);
        out.Add(Pt{pa.x + hl * ta.x, pa.y + hl * ta.y}, NODE_CONTROL_OUT);
        out.Add(Pt{e.x - hl * te.x, e.y - hl * te.y}, NODE_CONTROL_IN);
        out.Add(e, NODE_ANCHOR);
    }
    return out.head;
}

DOCNODE* MakeEllipseNodes(double cx, double cy, double rx, double ry)
{
    const double k = kBezierQuarterFactor;
    ListBuilder out;
    out.Add(cx - rx, cy, NODE_ANCHOR);
    out.Add(cx - rx, cy - k * ry, NODE_CONTROL_OUT);
    out.Add(cx - k * rx, cy - ry, NODE_CONTROL_IN);
    out.Add(cx, cy - ry, NODE_ANCHOR);
    out.Add(cx + k * rx, cy - ry, NODE_CONTROL_OUT);
    out.Add(cx + rx, cy - k * ry, NODE_CONTROL_IN);
    out.Add(cx + rx, cy, NODE_ANCHOR);
    out.Add(cx + rx, cy + k * ry, NODE_CONTROL_OUT);
    out.Add(cx + k * rx, cy + ry, NODE_CONTROL_IN);
    out.Add(cx, cy + ry, NODE_ANCHOR);
    out.Add(cx - k * rx, cy + ry, NODE_CONTROL_OUT);
    out.Add(cx - rx, cy + k * ry, NODE_CONTROL_IN);
    out.Add(cx - rx, cy, NODE_ANCHOR);
    return out.head;
}

DOCNODE* ReverseBezierList(DOCNODE* head)
{
    DOCNODE* last = head;
    for (DOCNODE* n = head; n != nullptr;) {
        DOCNODE* next = n->m_pNext;
        std::swap(n->m_pPrev, n->m_pNext);
        if (n->m_nKind == NODE_CONTROL_IN)
            n->m_nKind = NODE_CONTROL_OUT;
        else if (n->m_nKind == NODE_CONTROL_OUT)
            n->m_nKind = NODE_CONTROL_IN;
        last = n;
        n = next;
    }
    return last;
}

DOCNODE* BuildImportCurves(double cx, double cy, double rx, double ry, double a0, double a1, double rotation,
                           double unit)
{
    if (!(unit > 0.0) || !std::isfinite(unit) || !std::isfinite(rotation))
        return nullptr;
    // The arc of the unit circle over the parameters, mapped onto the axes:
    // an affine image of the circle's pieces, so the ends lie exactly on the
    // points of the two parameters. A rest within 0.1 x unit of the end (in
    // the caller's coordinates) is pulled onto it rather than made a piece.
    const double reach = std::max(std::fabs(rx), std::fabs(ry));
    const double tol = reach > 0.0 && std::isfinite(reach) ? kImportRestTol * unit / reach : 0.0;
    DOCNODE* head = EllipseToBeziers(0.0, 0.0, 1.0, a0, a1, tol);
    const double c = std::cos(rotation), s = std::sin(rotation);
    for (DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
        const double u = rx * n->m_x, v = ry * n->m_y;
        n->m_x = cx + u * c - v * s;
        n->m_y = cy + u * s + v * c;
    }
    return head;
}

std::uint32_t SplineKnots(int k, int n, double* knots)
{
    if (k < 1 || n < k - 1 || knots == nullptr)
        return 0;
    for (int i = 0; i <= n + k; ++i) {
        if (i < k)
            knots[i] = 0.0;
        else if (i <= n)
            knots[i] = 0.5 * ((i - k) / 2 + 1);
        else
            knots[i] = knots[n];
    }
    return static_cast<std::uint32_t>(k);
}

namespace {

// Cox-de Boor for N(i, k) with i = lo .. hi into out[0 .. hi - lo]; `closedAt`
// (an interval index, or -1) takes that interval as closed at its upper end,
// which gives the curve's limit at the top knot. Worked bottom-up (de Boor's
// triangle): level r holds N(j, r) for j = lo .. hi + k - r, each made once
// from two values of level r - 1 by the same terms in the same order as the
// recursive definition, so the values are the same while the work is k^2
// instead of 2^k per basis. At most kMaxSplineOrder bases at a time.
void Bases(int lo, int hi, int k, double t, const double* knots, int closedAt, double* out)
{
    std::array<double, 2 * kMaxSplineOrder> w{};
    const int top = hi + k - 1; // last index of order 1
    for (int j = lo; j <= top; ++j) {
        double v = 0.0;
        if (knots[j] <= t && t < knots[j + 1])
            v = 1.0;
        else if (j == closedAt && t == knots[j + 1])
            v = 1.0;
        w[static_cast<std::size_t>(j - lo)] = v;
    }
    for (int r = 2; r <= k; ++r) {
        for (int j = lo; j <= hi + k - r; ++j) {
            double v = 0.0;
            const double d1 = knots[j + r - 1] - knots[j];
            if (std::fabs(d1) > kSplineKnotTol)
                v += (t - knots[j]) / d1 * w[static_cast<std::size_t>(j - lo)];
            const double d2 = knots[j + r] - knots[j + 1];
            if (std::fabs(d2) > kSplineKnotTol)
                v += (knots[j + r] - t) / d2 * w[static_cast<std::size_t>(j - lo + 1)];
            w[static_cast<std::size_t>(j - lo)] = v;
        }
    }
    for (int j = lo; j <= hi; ++j)
        out[j - lo] = w[static_cast<std::size_t>(j - lo)];
}

} // namespace

double SplineBasis(int i, int k, double t, const double* knots)
{
    if (knots == nullptr || i < 0 || k < 1 || k > kMaxSplineOrder)
        return 0.0;
    double value = 0.0;
    Bases(i, i, k, t, knots, -1, &value);
    return value;
}

DOCNODE* EvaluateSpline(const DOCNODE* pControls, int order)
{
    if (pControls == nullptr)
        return nullptr;
    std::vector<Pt> ctrl;
    for (const DOCNODE* c = pControls; c != nullptr;) {
        ctrl.push_back({c->m_x, c->m_y});
        c = Next(c, pControls);
    }
    const int n = static_cast<int>(ctrl.size()) - 1;
    const int k = order;
    if (k < 1 || k > kMaxSplineOrder || n < k - 1)
        return nullptr;
    std::vector<double> knots(static_cast<std::size_t>(n + k + 1));
    if (SplineKnots(k, n, knots.data()) == 0)
        return nullptr;

    ListBuilder out;
    if (n == k - 1) {
        // Every knot is 0: no parameter range, no curve to sample.
        for (const Pt& p : ctrl)
            out.Add(p);
        return out.head;
    }

    // The interval that ends at the top knot.
    const double topKnot = knots[static_cast<std::size_t>(n + k)];
    int lastSpan = k - 1;
    for (int j = 0; j < n + k; ++j) {
        if (knots[static_cast<std::size_t>(j)] < knots[static_cast<std::size_t>(j + 1)])
            lastSpan = j;
    }

    // The knot interval holding t: the first one from k - 1 whose upper
    // knot lies above t, else the last. The samples come in rising t, so
    // the interval only ever moves on and the whole walk costs one pass
    // over the knots instead of one per sample.
    int span = k - 1;
    auto point = [&](double t, int closedAt) {
        while (span < lastSpan && !(t < knots[static_cast<std::size_t>(span + 1)]))
            ++span;
        // Only the bases of the k control points around t are not zero.
        Pt p{0.0, 0.0};
        const int lo = std::max(0, span - k + 1);
        const int hi = std::min(span, n);
        std::array<double, kMaxSplineOrder> b{};
        Bases(lo, hi, k, t, knots.data(), closedAt, b.data());
        for (int i = lo; i <= hi; ++i) {
            p.x += b[static_cast<std::size_t>(i - lo)] * ctrl[static_cast<std::size_t>(i)].x;
            p.y += b[static_cast<std::size_t>(i - lo)] * ctrl[static_cast<std::size_t>(i)].y;
        }
        return p;
    };

    for (long i = 0;; ++i) {
        const double t = static_cast<double>(i) * kSplineStep;
        if (!(t < topKnot))
            break;
        out.Add(point(t, -1));
    }
    out.Add(point(topKnot, lastSpan));
    return out.head;
}
