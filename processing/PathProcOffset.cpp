// Contour offset: closed outlines and open paths moved parallel to
// themselves, with the clean-up that keeps a closed offset to the outlines
// at the distance and the passes that keep an open offset from folding over
// itself.
#include "PathProc.h"
#include "SpatialGrid.h"

#include "model/CurveGeometry.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "model/PolylineGeometry.h"
#include "settings/ShowProcess.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <unordered_map>
#include <vector>

namespace {

constexpr double kRingDuplicateTol = 0.001;
constexpr double kNearNodeTol = 1e-5;
constexpr double kTurnBackTol = 0.1;
constexpr double kSpikeTol = 0.2;
constexpr double kEndNormalFactor = 2.1;
constexpr double kShortLoopFactor = 2.0;
// A corner that turns away from the offset side (on an open path, any
// corner) keeps its mitre point only while that point lies within this many
// offset distances of the corner; beyond, the mitre is cut square at that
// distance (two nodes).
constexpr double kMitreLimit = 4.0;

bool IsCurveType(const CDocData* o)
{
    const std::uint32_t t = o->GetType();
    return t == MT_BEZIER || t == MT_NURBS || t == MT_CHAR;
}

bool HasControlNodes(const DOCNODE* head)
{
    for (const DOCNODE* n = head; n != nullptr;) {
        if (n->m_nKind != NODE_ANCHOR)
            return true;
        n = n->m_pNext;
        if (n == head)
            break;
    }
    return false;
}

bool Near(const DOCNODE* a, const DOCNODE* b, double tol)
{
    return std::fabs(a->m_x - b->m_x) <= tol && std::fabs(a->m_y - b->m_y) <= tol;
}

int CountRing(const DOCNODE* ring)
{
    int n = 0;
    for (const DOCNODE* x = ring; x != nullptr;) {
        ++n;
        x = x->m_pNext;
        if (x == ring)
            break;
    }
    return n;
}

DOCNODE* NewNode(double x, double y, const DOCNODE* like)
{
    DOCNODE* n = new DOCNODE;
    n->m_x = x;
    n->m_y = y;
    if (like != nullptr) {
        n->m_nKind = like->m_nKind;
        n->m_nSelect = like->m_nSelect;
    }
    return n;
}

void Append(DOCNODE*& head, DOCNODE*& tail, DOCNODE* n)
{
    n->m_pPrev = tail;
    n->m_pNext = nullptr;
    if (tail != nullptr)
        tail->m_pNext = n;
    else
        head = n;
    tail = n;
}

// Unlinks and frees a node of an open list; returns its successor.
DOCNODE* Unlink(DOCNODE*& head, DOCNODE* n)
{
    DOCNODE* next = n->m_pNext;
    if (n->m_pPrev != nullptr)
        n->m_pPrev->m_pNext = next;
    else
        head = next;
    if (next != nullptr)
        next->m_pPrev = n->m_pPrev;
    delete n;
    return next;
}

// Frees the nodes strictly between a and b of an open list and links a to b.
void FreeBetween(DOCNODE* a, DOCNODE* b)
{
    for (DOCNODE* n = a->m_pNext; n != nullptr && n != b;) {
        DOCNODE* next = n->m_pNext;
        delete n;
        n = next;
    }
    a->m_pNext = b;
    if (b != nullptr)
        b->m_pPrev = a;
}


// The offset of the corner P->Q->R as one node (OffsetPolyline) or, when
// `mayCut` allows it and the corner's mitre reaches too far, two nodes: on
// a corner that turns away from the offset side, and with `innerToo` on one
// that turns towards it as well. Returns the number of nodes written to xs,
// ys.
int OffsetCorner(const DOCNODE* p, const DOCNODE* q, const DOCNODE* r, bool side, double d, bool mayCut,
                 bool innerToo, double xs[2], double ys[2])
{
    DOCNODE m;
    OffsetPolyline(&m, p, q, r, side, d);
    xs[0] = m.m_x;
    ys[0] = m.m_y;
    const double e = std::fabs(d);
    if (!mayCut || !(e > 0.0) || !std::isfinite(e))
        return 1;
    double u1x = q->m_x - p->m_x, u1y = q->m_y - p->m_y;
    double u2x = r->m_x - q->m_x, u2y = r->m_y - q->m_y;
    const double l1 = std::hypot(u1x, u1y), l2 = std::hypot(u2x, u2y);
    if (!(l1 >= kGeoCoincideTol) || !(l2 >= kGeoCoincideTol))
        return 1;
    u1x /= l1;
    u1y /= l1;
    u2x /= l2;
    u2y /= l2;
    // The unit normals towards the offset (the left when `side` is set and
    // the distance positive).
    const double s = (side ? 1.0 : -1.0) * (d > 0.0 ? 1.0 : -1.0);
    const double n1x = -u1y * s, n1y = u1x * s, n2x = -u2y * s, n2y = u2x * s;
    const double cross = u1x * u2y - u1y * u2x;
    const double dot = u1x * u2x + u1y * u2y;
    // The path turns away from the offset side (or straight back).
    const bool outer = cross * s < 0.0 || (std::fabs(cross) < 1e-12 && dot < 0.0);
    const double reach = kMitreLimit * e;
    if ((!outer && !innerToo) || std::hypot(xs[0] - q->m_x, ys[0] - q->m_y) <= reach)
        return 1;
    double bx = n1x + n2x, by = n1y + n2y;
    const double bl = std::hypot(bx, by);
    if (bl < 1e-9) {
        bx = u1x; // straight back: the cut lies ahead of the turn
        by = u1y;
    } else {
        bx /= bl;
        by /= bl;
    }
    // The two offset lines cross the cut from either side: the way in runs
    // towards it and the way out away (outer), or the other way (inner).
    const double a1 = u1x * bx + u1y * by, a2 = u2x * bx + u2y * by;
    if (!(std::fabs(a1) > 1e-9) || !(std::fabs(a2) > 1e-9) || (a1 > 0.0) == (a2 > 0.0))
        return 1;
    // Where each offset line (Q + e n + t u) meets the cut across the
    // corner at distance `reach` along the bisector.
    const double t1 = (reach - e * (n1x * bx + n1y * by)) / a1;
    const double t2 = (reach - e * (n2x * bx + n2y * by)) / a2;
    xs[0] = q->m_x + e * n1x + t1 * u1x;
    ys[0] = q->m_y + e * n1y + t1 * u1y;
    xs[1] = q->m_x + e * n2x + t2 * u2x;
    ys[1] = q->m_y + e * n2y + t2 * u2y;
    return 2;
}

// True when the turn at Q along P->Q->R lies within tol of a full reversal,
// whichever way round it turns.
bool TurnsBack(const DOCNODE* p, const DOCNODE* q, const DOCNODE* r, double tol)
{
    return std::numbers::pi - GeoTurnAngle(p->m_x, p->m_y, q->m_x, q->m_y, r->m_x, r->m_y) < tol;
}

bool Crossing(const DOCNODE* a0, const DOCNODE* a1, double bx0, double by0, double bx1, double by1, double& x,
              double& y)
{
    return GeoSegmentIntersection(a0->m_x, a0->m_y, a1->m_x, a1->m_y, bx0, by0, bx1, by1, x, y) != 0;
}

// ---- closed offsets: the raw ring split at its self-intersections ----------

constexpr std::uint32_t kNoPoint = std::numeric_limits<std::uint32_t>::max();
// A kept loop may come this much closer to the source than the distance.
constexpr double kOffsetKeepTol = 0.001;

struct RingPoint {
    double x, y;
    const DOCNODE* like; // the node whose kind and selection a new node takes
};

// Where two segments meet: t along the first, u along the second (0 to 1).
struct Meet {
    double t, u;
};

// The points two segments (of lengths la, lb) share, within `eps` (world
// units): a crossing, an end of one on the other, or the ends of a collinear
// overlap.
int SegmentsMeet(const RingPoint& a0, const RingPoint& a1, double la, const RingPoint& b0, const RingPoint& b1,
                 double lb, double eps, Meet out[2])
{
    const double dax = a1.x - a0.x, day = a1.y - a0.y, dbx = b1.x - b0.x, dby = b1.y - b0.y;
    if (!(la > eps) || !(lb > eps))
        return 0;
    const double wx = b0.x - a0.x, wy = b0.y - a0.y;
    const double denom = dax * dby - day * dbx;
    // How far b's ends lie off a's line.
    const double off0 = (dax * wy - day * wx) / la;
    const double off1 = (dax * (b1.y - a0.y) - day * (b1.x - a0.x)) / la;
    if (std::fabs(off0) <= eps && std::fabs(off1) <= eps) {
        // Collinear: the overlap's ends, as parameters on both.
        const double s0 = (wx * dax + wy * day) / (la * la);
        const double s1 = ((b1.x - a0.x) * dax + (b1.y - a0.y) * day) / (la * la);
        const double lo = std::max(0.0, std::min(s0, s1)), hi = std::min(1.0, std::max(s0, s1));
        if (hi < lo - eps / la)
            return 0;
        auto on = [&](double t) {
            const double px = a0.x + t * dax, py = a0.y + t * day;
            return Meet{t, ((px - b0.x) * dbx + (py - b0.y) * dby) / (lb * lb)};
        };
        out[0] = on(lo);
        if (hi - lo <= eps / la)
            return 1;
        out[1] = on(hi);
        return 2;
    }
    if (std::fabs(denom) <= 1e-12 * la * lb)
        return 0; // parallel, apart
    const double t = (wx * dby - wy * dbx) / denom;
    const double u = (wx * day - wy * dax) / denom;
    if (t < -eps / la || t > 1.0 + eps / la || u < -eps / lb || u > 1.0 + eps / lb)
        return 0;
    out[0] = {std::clamp(t, 0.0, 1.0), std::clamp(u, 0.0, 1.0)};
    return 1;
}

double PointSegmentDistance(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double l2 = dx * dx + dy * dy;
    double t = l2 > 0.0 ? ((px - ax) * dx + (py - ay) * dy) / l2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = px - (ax + t * dx), ey = py - (ay + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

// A grid of a closed polygon's segments (segment k from point k to k + 1).
plat::SpatialGrid SegmentGrid(const std::vector<RingPoint>& ring)
{
    const std::size_t n = ring.size();
    std::vector<double> lengths;
    lengths.reserve(n);
    for (std::size_t k = 0; k < n; ++k)
        lengths.push_back(std::max(std::fabs(ring[(k + 1) % n].x - ring[k].x), std::fabs(ring[(k + 1) % n].y - ring[k].y)));
    plat::SpatialGrid grid(plat::SpatialGrid::MedianCell(std::move(lengths)), n);
    for (std::size_t k = 0; k < n; ++k) {
        const RingPoint& a = ring[k];
        const RingPoint& b = ring[(k + 1) % n];
        grid.AddBox(std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y),
                    static_cast<std::uint32_t>(k));
    }
    grid.Build();
    return grid;
}

// Points this close are one: far below any drawing's precision, far above
// the rounding of coordinates of this size.
double MeetTolerance(const std::vector<RingPoint>& ring)
{
    double extent = 0.0;
    for (const RingPoint& p : ring)
        extent = std::max({extent, std::fabs(p.x), std::fabs(p.y)});
    return 1e-6 + extent * 1e-12;
}

double SignedArea(const std::vector<RingPoint>& ring)
{
    double a = 0.0;
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const RingPoint& p = ring[k];
        const RingPoint& q = ring[(k + 1) % ring.size()];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2.0;
}

// Simple loops of points: loop k is points[ids[at[k]]] .. points[ids[at[k + 1] - 1]].
struct Loops {
    std::vector<RingPoint> points;
    std::vector<std::uint32_t> ids;
    std::vector<std::size_t> at;
    std::size_t Count() const { return at.size() - 1; }
};

// The raw offset ring split at every point where it meets itself (crossings,
// touches, overlapping spans) into simple loops, in the order of their first
// point along the ring; a ring that never meets itself (`met` false) comes
// back whole, from its first point. Points within `eps` are one.
Loops SplitAtSelfIntersections(const std::vector<RingPoint>& ring, double eps, bool& met)
{
    const std::size_t n = ring.size();
    Loops out;
    std::vector<RingPoint>& points = out.points; // the ring's points, then the crossings
    points = ring;
    std::vector<std::uint32_t> same(n);   // union-find of points that are one
    for (std::uint32_t k = 0; k < n; ++k)
        same[k] = k;
    auto find = [&](std::uint32_t k) {
        while (same[k] != k)
            k = same[k] = same[same[k]];
        return k;
    };
    // Meeting points to be put into a segment, at t along it.
    struct Insert {
        std::uint32_t segment;
        double t;
        std::uint32_t point;
    };
    std::vector<Insert> inserts;
    inserts.reserve(n / 4);
    std::vector<double> lengths(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double dx = ring[(k + 1) % n].x - ring[k].x, dy = ring[(k + 1) % n].y - ring[k].y;
        lengths[k] = std::sqrt(dx * dx + dy * dy);
    }
    // New crossing points close to one made before are that one.
    std::unordered_map<std::uint64_t, std::uint32_t> crossings;
    auto cellKey = [&](double x, double y) {
        const auto cx = static_cast<std::int64_t>(std::floor(x / (4.0 * eps)));
        const auto cy = static_cast<std::int64_t>(std::floor(y / (4.0 * eps)));
        return (static_cast<std::uint64_t>(cx) * 0x9E3779B97F4A7C15ull) ^ static_cast<std::uint64_t>(cy);
    };
    auto crossingAt = [&](double x, double y, const DOCNODE* like) {
        for (double ox : {-4.0 * eps, 0.0, 4.0 * eps})
            for (double oy : {-4.0 * eps, 0.0, 4.0 * eps}) {
                const auto it = crossings.find(cellKey(x + ox, y + oy));
                if (it != crossings.end() && std::fabs(points[it->second].x - x) <= eps &&
                    std::fabs(points[it->second].y - y) <= eps)
                    return it->second;
            }
        const auto id = static_cast<std::uint32_t>(points.size());
        points.push_back({x, y, like});
        same.push_back(id);
        crossings.emplace(cellKey(x, y), id);
        return id;
    };
    plat::SpatialGrid grid = SegmentGrid(ring);
    met = false;
    for (std::uint32_t i = 0; i < n; ++i) {
        const RingPoint& a0 = ring[i];
        const RingPoint& a1 = ring[(i + 1) % n];
        const double la = lengths[i];
        const double xmin = std::min(a0.x, a1.x) - eps, xmax = std::max(a0.x, a1.x) + eps;
        const double ymin = std::min(a0.y, a1.y) - eps, ymax = std::max(a0.y, a1.y) + eps;
        grid.ForEachInRect(
            xmin, xmax, ymin, ymax, [](std::uint32_t) { return true; },
            [&](std::uint32_t j) {
                if (j <= i)
                    return;
                const RingPoint& b0 = ring[j];
                const RingPoint& b1 = ring[(j + 1) % n];
                if (std::max(b0.x, b1.x) < xmin || std::min(b0.x, b1.x) > xmax || std::max(b0.y, b1.y) < ymin ||
                    std::min(b0.y, b1.y) > ymax)
                    return;
                const double lb = lengths[j];
                Meet m[2];
                const int count = SegmentsMeet(a0, a1, la, b0, b1, lb, eps, m);
                for (int k = 0; k < count; ++k) {
                    // An end of either segment is that ring point itself.
                    const bool aStart = m[k].t * la <= eps, aEnd = (1.0 - m[k].t) * la <= eps;
                    const bool bStart = m[k].u * lb <= eps, bEnd = (1.0 - m[k].u) * lb <= eps;
                    const std::uint32_t aPoint = aStart ? i : aEnd ? (i + 1) % n : kNoPoint;
                    const std::uint32_t bPoint = bStart ? j : bEnd ? (j + 1) % n : kNoPoint;
                    if (aPoint != kNoPoint && bPoint != kNoPoint) {
                        const std::uint32_t ra = find(aPoint), rb = find(bPoint);
                        if (ra != rb) {
                            same[std::max(ra, rb)] = std::min(ra, rb);
                            met = true;
                        }
                    } else if (aPoint != kNoPoint) {
                        inserts.push_back({j, m[k].u, aPoint});
                        met = true;
                    } else if (bPoint != kNoPoint) {
                        inserts.push_back({i, m[k].t, bPoint});
                        met = true;
                    } else {
                        const std::uint32_t c =
                            crossingAt(a0.x + m[k].t * (a1.x - a0.x), a0.y + m[k].t * (a1.y - a0.y), a0.like);
                        inserts.push_back({i, m[k].t, c});
                        inserts.push_back({j, m[k].u, c});
                        met = true;
                    }
                }
            });
    }
    if (!met) {
        out.ids.resize(n);
        for (std::uint32_t k = 0; k < n; ++k)
            out.ids[k] = k;
        out.at = {0, n};
        return out;
    }

    // The ring with every meeting point in place, each point by the one
    // that stands for it.
    std::vector<std::uint32_t> walk;
    walk.reserve(n + points.size());
    auto visit = [&](std::uint32_t k) {
        const std::uint32_t r = find(k);
        if (walk.empty() || walk.back() != r)
            walk.push_back(r);
    };
    std::sort(inserts.begin(), inserts.end(), [](const Insert& a, const Insert& b) {
        return a.segment != b.segment ? a.segment < b.segment : a.t < b.t;
    });
    auto next = inserts.begin();
    for (std::uint32_t i = 0; i < n; ++i) {
        visit(i);
        for (; next != inserts.end() && next->segment == i; ++next)
            visit(next->point);
    }
    while (walk.size() > 1 && walk.back() == walk.front())
        walk.pop_back();
    // A point met again closes the loop since its first visit.
    struct Found {
        std::size_t since; // walk position of its first point
        std::size_t begin, end;
    };
    std::vector<Found> found;
    std::vector<std::uint32_t> ids;
    std::vector<std::uint32_t> stack;
    std::vector<std::size_t> since; // walk position of each stacked point
    constexpr std::uint32_t kNotStacked = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> at(points.size(), kNotStacked);
    for (std::size_t w = 0; w <= walk.size(); ++w) {
        const std::uint32_t k = walk[w % walk.size()];
        if (at[k] == kNotStacked) {
            at[k] = static_cast<std::uint32_t>(stack.size());
            stack.push_back(k);
            since.push_back(w);
            continue;
        }
        const std::size_t from = at[k];
        for (std::size_t s = from + 1; s < stack.size(); ++s)
            at[stack[s]] = kNotStacked;
        if (stack.size() - from >= 3) {
            found.push_back({since[from], ids.size(), ids.size() + stack.size() - from});
            ids.insert(ids.end(), stack.begin() + static_cast<std::ptrdiff_t>(from), stack.end());
        }
        stack.resize(from + 1);
        since.resize(from + 1);
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.since < b.since; });
    out.ids.reserve(ids.size());
    out.at.push_back(0);
    for (const Found& f : found) {
        out.ids.insert(out.ids.end(), ids.begin() + static_cast<std::ptrdiff_t>(f.begin),
                       ids.begin() + static_cast<std::ptrdiff_t>(f.end));
        out.at.push_back(out.ids.size());
    }
    return out;
}

// True when every point of loop k, and the middle of every edge, lies at
// least `reach` from the source outline (its segments filed in `grid`).
bool KeepsDistance(const Loops& loops, std::size_t k, const std::vector<RingPoint>& source, plat::SpatialGrid& grid,
                   double reach)
{
    const std::size_t n = source.size();
    auto far = [&](double x, double y) {
        bool ok = true;
        grid.ForEachInRect(
            x - reach, x + reach, y - reach, y + reach, [](std::uint32_t) { return true; },
            [&](std::uint32_t s) {
                const RingPoint& a = source[s];
                const RingPoint& b = source[(s + 1) % n];
                ok = ok && PointSegmentDistance(x, y, a.x, a.y, b.x, b.y) >= reach;
            });
        return ok;
    };
    const std::size_t begin = loops.at[k], end = loops.at[k + 1];
    for (std::size_t i = begin; i < end; ++i) {
        const RingPoint& p = loops.points[loops.ids[i]];
        const RingPoint& q = loops.points[loops.ids[i + 1 < end ? i + 1 : begin]];
        if (!far(p.x, p.y) || !far((p.x + q.x) / 2.0, (p.y + q.y) / 2.0))
            return false;
    }
    return true;
}

double LoopArea(const Loops& loops, std::size_t k)
{
    const std::size_t begin = loops.at[k], end = loops.at[k + 1];
    double a = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
        const RingPoint& p = loops.points[loops.ids[i]];
        const RingPoint& q = loops.points[loops.ids[i + 1 < end ? i + 1 : begin]];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2.0;
}

// The loops of a raw offset ring that are outlines at distance d from the
// source: split at the ring's self-intersections, those that run the
// source's way round and keep the distance (to within a hair) everywhere.
std::vector<std::vector<RingPoint>> CleanOffsetLoops(const std::vector<RingPoint>& source,
                                                      const std::vector<RingPoint>& raw, double d)
{
    const double reach = std::fabs(d) - std::max(kOffsetKeepTol, std::fabs(d) * 1e-9);
    const double sourceArea = SignedArea(source);
    plat::SpatialGrid grid = SegmentGrid(source);
    bool met = false;
    const Loops loops = SplitAtSelfIntersections(raw, MeetTolerance(raw), met);
    std::vector<std::vector<RingPoint>> kept;
    for (std::size_t k = 0; k < loops.Count(); ++k) {
        const double area = LoopArea(loops, k);
        if ((area > 0.0) != (sourceArea > 0.0) || area == 0.0 || !KeepsDistance(loops, k, source, grid, reach))
            continue;
        std::vector<RingPoint>& loop = kept.emplace_back();
        for (std::size_t i = loops.at[k]; i < loops.at[k + 1]; ++i)
            loop.push_back(loops.points[loops.ids[i]]);
    }
    return kept;
}

// The points of a node ring (every node once).
std::vector<RingPoint> RingPointsOf(const DOCNODE* ring)
{
    std::vector<RingPoint> out;
    for (const DOCNODE* n = ring;;) {
        out.push_back({n->m_x, n->m_y, n});
        n = n->m_pNext;
        if (n == nullptr || n == ring)
            break;
    }
    return out;
}

// A closed node list of a loop, its first node repeated at its end.
DOCNODE* NodesOf(const std::vector<RingPoint>& loop)
{
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    for (const RingPoint& p : loop)
        Append(head, tail, NewNode(p.x, p.y, p.like));
    Append(head, tail, NewNode(head->m_x, head->m_y, head));
    return head;
}

// True when the outline of a curve's node list, flattened as it is cut,
// meets itself.
bool FlattenedMeetsItself(const DOCNODE* nodes)
{
    DOCNODE* flat = SamplePolyline(nodes, kOutputFlattenTol);
    if (flat == nullptr)
        return false;
    std::vector<RingPoint> ring = RingPointsOf(flat);
    if (ring.size() > 1 && std::fabs(ring.back().x - ring.front().x) <= kRingDuplicateTol &&
        std::fabs(ring.back().y - ring.front().y) <= kRingDuplicateTol)
        ring.pop_back();
    bool met = false;
    if (ring.size() >= 3)
        SplitAtSelfIntersections(ring, MeetTolerance(ring), met);
    CDocState::FreeNodeList(flat);
    return met;
}

} // namespace

void CPathProc::RemoveNearNodes(DOCNODE*& head)
{
    if (head == nullptr)
        return;
    for (DOCNODE* n = head->m_pNext; n != nullptr;) {
        if (Near(n, n->m_pPrev, kNearNodeTol))
            n = Unlink(head, n);
        else
            n = n->m_pNext;
    }
}

void CPathProc::TrimAtEndNormals(DOCNODE*& head, double d, double k, std::uint8_t side)
{
    if (head == nullptr || head->m_pNext == nullptr)
        return;
    double nx, ny, x, y;
    // The start: the normal at the first node against the second segment on.
    GeoPerpendicularPoint(head->m_x, head->m_y, head->m_pNext->m_x, head->m_pNext->m_y, true, side != 0, d * k, nx,
                          ny);
    for (DOCNODE* s = head->m_pNext; s != nullptr && s->m_pNext != nullptr; s = s->m_pNext) {
        if (Crossing(s, s->m_pNext, head->m_x, head->m_y, nx, ny, x, y)) {
            // The crossed segment's start takes the crossing and comes first.
            s->m_x = x;
            s->m_y = y;
            DOCNODE* old = head;
            head = s;
            s->m_pPrev->m_pNext = nullptr;
            s->m_pPrev = nullptr;
            CDocState::FreeNodeList(old);
            break;
        }
    }
    if (head->m_pNext == nullptr)
        return;
    DOCNODE* last = LastNode(head);
    GeoPerpendicularPoint(last->m_pPrev->m_x, last->m_pPrev->m_y, last->m_x, last->m_y, false, side != 0, d * k, nx,
                          ny);
    for (DOCNODE* e = last->m_pPrev; e != nullptr && e->m_pPrev != nullptr; e = e->m_pPrev) {
        if (Crossing(e->m_pPrev, e, last->m_x, last->m_y, nx, ny, x, y)) {
            // The crossed segment's end takes the crossing and comes last.
            e->m_x = x;
            e->m_y = y;
            DOCNODE* rest = e->m_pNext;
            e->m_pNext = nullptr;
            rest->m_pPrev = nullptr;
            CDocState::FreeNodeList(rest);
            break;
        }
    }
}

void CPathProc::CutShortLoops(DOCNODE*& head, double d, double k, std::uint32_t limit)
{
    if (head == nullptr)
        return;
    const double reach = d * k;
    double x, y;
    // Forwards: each segment A->B prolonged beyond B against the segments
    // that start after B, closer than `limit` nodes to A.
    for (bool cut = true; cut;) {
        cut = false;
        std::uint32_t ia = 0;
        for (DOCNODE* a = head; a != nullptr && a->m_pNext != nullptr && !cut; a = a->m_pNext, ++ia) {
            DOCNODE* b = a->m_pNext;
            double ex, ey;
            GeoPointAlong(b->m_x, b->m_y, a->m_x, a->m_y, -reach, ex, ey);
            std::uint32_t ic = ia + 2;
            for (DOCNODE* c = b->m_pNext; c != nullptr && c->m_pNext != nullptr && ic - ia < limit; c = c->m_pNext, ++ic) {
                if (Crossing(c, c->m_pNext, b->m_x, b->m_y, ex, ey, x, y)) {
                    b->m_x = x;
                    b->m_y = y;
                    FreeBetween(b, c->m_pNext);
                    cut = true;
                    break;
                }
            }
        }
    }
    // Backwards: each segment prolonged beyond its earlier node.
    for (bool cut = true; cut;) {
        cut = false;
        DOCNODE* last = LastNode(head);
        std::uint32_t ia = 0;
        for (DOCNODE* a = last; a != nullptr && a->m_pPrev != nullptr && !cut; a = a->m_pPrev, ++ia) {
            DOCNODE* b = a->m_pPrev;
            double ex, ey;
            GeoPointAlong(b->m_x, b->m_y, a->m_x, a->m_y, -reach, ex, ey);
            std::uint32_t ic = ia + 2;
            for (DOCNODE* c = b->m_pPrev; c != nullptr && c->m_pPrev != nullptr && ic - ia < limit; c = c->m_pPrev, ++ic) {
                if (Crossing(c->m_pPrev, c, b->m_x, b->m_y, ex, ey, x, y)) {
                    b->m_x = x;
                    b->m_y = y;
                    DOCNODE* keep = c->m_pPrev;
                    FreeBetween(keep, b);
                    cut = true;
                    break;
                }
            }
        }
    }
}

void CPathProc::ExtendOrTrimEnds(DOCNODE*& head, double d, double k, bool extend)
{
    if (head == nullptr || head->m_pNext == nullptr)
        return;
    if (extend) {
        DOCNODE* first = head;
        DOCNODE* last = LastNode(head);
        double x, y;
        GeoPointAlong(first->m_x, first->m_y, first->m_pNext->m_x, first->m_pNext->m_y, -d * k, x, y);
        DOCNODE* n = NewNode(x, y, first);
        n->m_pNext = first;
        first->m_pPrev = n;
        head = n;
        GeoPointAlong(last->m_x, last->m_y, last->m_pPrev->m_x, last->m_pPrev->m_y, -d * k, x, y);
        n = NewNode(x, y, last);
        n->m_pPrev = last;
        last->m_pNext = n;
        return;
    }
    // Trim: the end node goes, and the one before it too where the path
    // turns straight back there; two nodes always stay.
    auto trimStart = [&]() {
        const bool back = CountNodes(head) > 3 && TurnsBack(head, head->m_pNext, head->m_pNext->m_pNext, kTurnBackTol);
        Unlink(head, head);
        if (back)
            Unlink(head, head);
    };
    if (CountNodes(head) > 2)
        trimStart();
    if (CountNodes(head) > 2) {
        DOCNODE* last = LastNode(head);
        const bool back = CountNodes(head) > 3 && TurnsBack(last, last->m_pPrev, last->m_pPrev->m_pPrev, kTurnBackTol);
        DOCNODE* before = last->m_pPrev;
        Unlink(head, last);
        if (back)
            Unlink(head, before);
    }
}

void CPathProc::CutSelfLoops(DOCNODE*& head, std::uint32_t limit)
{
    double x, y;
    for (bool cut = true; cut && head != nullptr;) {
        cut = false;
        std::uint32_t in = 2;
        for (DOCNODE* n = head->m_pNext != nullptr ? head->m_pNext->m_pNext : nullptr; n != nullptr && !cut;
             n = n->m_pNext, ++in) {
            DOCNODE* m = n->m_pPrev;
            // Earlier segments j -> j + 1, from three nodes before n back.
            DOCNODE* j = m->m_pPrev != nullptr ? m->m_pPrev->m_pPrev : nullptr;
            for (std::uint32_t ij = in - 3; j != nullptr && (in - 1) - ij <= limit; j = j->m_pPrev, --ij) {
                if (Crossing(j, j->m_pNext, m->m_x, m->m_y, n->m_x, n->m_y, x, y)) {
                    DOCNODE* end = j->m_pNext;
                    end->m_x = x;
                    end->m_y = y;
                    FreeBetween(end, n);
                    RemoveNearNodes(head);
                    cut = true;
                    break;
                }
                if (ij == 0)
                    break;
            }
        }
    }
}

void CPathProc::RemoveSpikes(DOCNODE*& head, double tol)
{
    if (head == nullptr)
        return;
    DOCNODE* p1 = head->m_pNext;
    while (p1 != nullptr && p1->m_pNext != nullptr) {
        if (TurnsBack(p1->m_pPrev, p1, p1->m_pNext, tol)) {
            DOCNODE* back = p1->m_pPrev;
            Unlink(head, p1);
            // Only the corner before the removed node changed.
            p1 = back->m_pPrev != nullptr ? back : back->m_pNext;
        } else {
            p1 = p1->m_pNext;
        }
    }
}

int CPathProc::RemoveRingDuplicates(DOCNODE*& ring)
{
    if (ring == nullptr)
        return 1;
    if (ring->m_pPrev == nullptr)
        return 2;
    int count = CountRing(ring);
    if (count < 3)
        return 3;
    // Every node once, the first one last; after a removal the predecessor
    // is looked at again.
    int toVisit = count;
    DOCNODE* x = ring->m_pNext;
    while (toVisit > 0 && count >= 3) {
        DOCNODE* pred = x->m_pPrev;
        DOCNODE* succ = x->m_pNext;
        if (Near(x, pred, kRingDuplicateTol) || Near(pred, succ, kRingDuplicateTol)) {
            pred->m_pNext = succ;
            succ->m_pPrev = pred;
            if (x == ring)
                ring = succ;
            delete x;
            --count;
            x = pred;
        } else {
            x = succ;
            --toVisit;
        }
    }
    return count < 3 ? 4 : 0;
}

CDocData* CPathProc::OffsetContour(CDocData* object, double distance, std::uint8_t outward, DOCCONTEXT* ctx)
{
    if (object == nullptr || object->m_pNodes == nullptr || object->m_bClosed == 0)
        return nullptr;
    CDocData* k = CloneDocData(object, false);
    if (k == nullptr || k->m_pNodes == nullptr || k->m_pNodes->m_pNext == nullptr) {
        delete k;
        return nullptr;
    }
    // The ring of the outline without its closing copy.
    DOCNODE* ring = k->m_pNodes;
    k->m_pNodes = nullptr;
    if (ring->m_pPrev == nullptr) {
        DOCNODE* last = LastNode(ring);
        DOCNODE* before = last->m_pPrev;
        delete last;
        before->m_pNext = ring;
        ring->m_pPrev = before;
    }
    const std::uint32_t o = PolylineOrientation(ring);
    const bool curve = IsCurveType(k);
    if (o > 1) {
        CDocState::FreeNodeList(ring);
        delete k;
        return nullptr;
    }
    if (!curve)
        RemoveRingDuplicates(ring);
    const bool side = o != 0 ? outward != 0 : outward == 0;
    // A mitre is cut only where nodes may be added: lists of anchors alone.
    const bool mayCut = !HasControlNodes(ring);
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    // Each ring node with the first and last offset node made for it.
    struct Made {
        double x, y;
        DOCNODE* first;
        DOCNODE* last;
    };
    std::vector<Made> made;
    for (DOCNODE* n = ring;;) {
        double xs[2], ys[2];
        const int count = OffsetCorner(n->m_pPrev, n, n->m_pNext, side, distance, mayCut, false, xs, ys);
        DOCNODE* firstMade = nullptr;
        for (int i = 0; i < count; ++i) {
            Append(head, tail, NewNode(xs[i], ys[i], n));
            if (firstMade == nullptr)
                firstMade = tail;
        }
        made.push_back({n->m_x, n->m_y, firstMade, tail});
        n = n->m_pNext;
        if (n == ring)
            break;
    }
    CDocState::FreeNodeList(ring);
    tail->m_pNext = head;
    head->m_pPrev = tail;
    if (!curve)
        RemoveRingDuplicates(head);
    if (!mayCut) {
        // Control points are no points of the outline: a curve keeps its
        // offset nodes unless the offset turns it inside out (every edge
        // against its source, or the turning sense flipped). One whose
        // offset, flattened as it is cut, meets itself is offset as the
        // polyline it is cut as, and gives polylines.
        bool anyEdge = false, allAgainst = true;
        for (std::size_t i = 0; i < made.size(); ++i) {
            const Made& a = made[i];
            const Made& b = made[(i + 1) % made.size()];
            const double sx = b.x - a.x, sy = b.y - a.y;
            const double ox = b.first->m_x - a.last->m_x, oy = b.first->m_y - a.last->m_y;
            if (std::hypot(sx, sy) <= kRingDuplicateTol || std::hypot(ox, oy) <= kRingDuplicateTol)
                continue;
            anyEdge = true;
            if (sx * ox + sy * oy >= 0.0)
                allAgainst = false;
        }
        const bool insideOut = !anyEdge || allAgainst || PolylineOrientation(head) != o;
        DOCNODE* last = head->m_pPrev;
        last->m_pNext = nullptr;
        head->m_pPrev = nullptr;
        Append(head, last, NewNode(head->m_x, head->m_y, head));
        if (!insideOut && !FlattenedMeetsItself(head)) {
            k->m_pNodes = head;
            k->RecalcBoundRect(ctx);
            return k;
        }
        CDocState::FreeNodeList(head);
        delete k;
        if (insideOut)
            return nullptr;
        CDocDataLine flat(SamplePolyline(object->m_pNodes, kOutputFlattenTol), 1, ctx);
        flat.m_bClosed = 1;
        return OffsetContour(&flat, distance, outward, ctx);
    }
    // The raw ring is split where it meets itself; of its loops, the
    // outlines that run the source's way round and keep the distance are
    // the result (an inward offset across a neck gives an outline on either
    // side of it, one past the outline's middle none).
    std::vector<RingPoint> source;
    source.reserve(made.size());
    for (const Made& m : made)
        source.push_back({m.x, m.y, nullptr});
    std::vector<std::vector<RingPoint>> loops = CleanOffsetLoops(source, RingPointsOf(head), distance);
    CDocData* first = nullptr;
    CDocData* prev = nullptr;
    for (std::size_t i = 0; i < loops.size(); ++i) {
        CDocData* piece = k;
        if (i > 0) {
            piece = CloneDocData(k, false);
            if (piece == nullptr)
                break;
            CDocState::FreeNodeList(piece->m_pNodes);
        }
        piece->m_pNodes = NodesOf(loops[i]);
        piece->RecalcBoundRect(ctx);
        piece->m_pPrev = prev;
        piece->m_pNext = nullptr;
        if (prev != nullptr)
            prev->m_pNext = piece;
        else
            first = piece;
        prev = piece;
    }
    CDocState::FreeNodeList(head);
    if (first == nullptr)
        delete k;
    return first;
}

bool CPathProc::IsOpenPathLeft(const CDocData* object)
{
    if (object == nullptr || object->m_pNodes == nullptr)
        return true;
    const DOCNODE* p0 = object->m_pNodes;
    const DOCNODE* pn = p0;
    while (pn->m_pNext != nullptr && pn->m_pNext != p0)
        pn = pn->m_pNext;
    double left = 0.0, right = 0.0;
    for (const DOCNODE* pi = p0->m_pNext; pi != nullptr && pi != pn; pi = pi->m_pNext) {
        const double dist = GeoPointLineDistance(p0->m_x, p0->m_y, pn->m_x, pn->m_y, pi->m_x, pi->m_y);
        const double c = (pi->m_x - p0->m_x) * (pi->m_y - pn->m_y) - (pi->m_y - p0->m_y) * (pi->m_x - pn->m_x);
        (c > 0.0 ? left : right) += dist;
    }
    return left <= right;
}

CDocData* CPathProc::OffsetOpenPath(CDocData* object, double distance, std::uint8_t side, std::uint32_t limit,
                                    DOCCONTEXT* ctx)
{
    if (object == nullptr)
        return nullptr;
    const bool curve = IsCurveType(object);
    CDocData* k;
    if (curve) {
        k = CloneDocData(object, false);
        if (k == nullptr)
            return nullptr;
    } else {
        k = new CDocDataLine(CopyPointList(object->m_pNodes), 1, ctx);
        k->m_bClosed = 0;
        RemoveNearNodes(k->m_pNodes);
        TrimAtEndNormals(k->m_pNodes, distance, kEndNormalFactor, side);
        CutShortLoops(k->m_pNodes, distance, kShortLoopFactor, limit);
        ExtendOrTrimEnds(k->m_pNodes, distance, 1.0, true);
    }
    DOCNODE* src = k->m_pNodes;
    if (src == nullptr || src->m_pNext == nullptr)
        return k; // nothing to move a single node along
    const bool left = side != 0;
    const bool mayCut = !HasControlNodes(src);
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    double x, y;
    GeoPerpendicularPoint(src->m_x, src->m_y, src->m_pNext->m_x, src->m_pNext->m_y, true, left, distance, x, y);
    Append(head, tail, NewNode(x, y, src));
    DOCNODE* n = src->m_pNext;
    for (; n->m_pNext != nullptr; n = n->m_pNext) {
        double xs[2], ys[2];
        const int made = OffsetCorner(n->m_pPrev, n, n->m_pNext, left, distance, mayCut, true, xs, ys);
        for (int i = 0; i < made; ++i)
            Append(head, tail, NewNode(xs[i], ys[i], n));
    }
    GeoPerpendicularPoint(n->m_pPrev->m_x, n->m_pPrev->m_y, n->m_x, n->m_y, false, left, distance, x, y);
    Append(head, tail, NewNode(x, y, n));
    CDocState::FreeNodeList(k->m_pNodes);
    k->m_pNodes = head;
    k->RecalcBoundRect(ctx);
    if (!curve) {
        CutSelfLoops(k->m_pNodes, limit);
        ExtendOrTrimEnds(k->m_pNodes, distance, 1.0, false);
        RemoveSpikes(k->m_pNodes, kSpikeTol);
        CutShortLoops(k->m_pNodes, distance, kShortLoopFactor, limit);
        k->RecalcBoundRect(ctx);
    }
    return k;
}

void CPathProc::OffsetSelection(DOCCONTEXT* ctx, double distance, std::uint8_t outward, std::uint8_t deleteSource)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    ctx->m_rcSelect = CGeoBox();
    CShowProcess progress;
    CDocState* tool = CurrentTool(ctx);
    progress.Start(tool != nullptr ? static_cast<std::int32_t>(tool->CountSelected(ctx)) : 0);
    CDocData*& list = ctx->m_pCurrent->m_pFirst;
    for (CDocData* o = list; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (o->IsSelected() == 0) {
            o = next;
            continue;
        }
        const std::uint32_t type = o->GetType();
        if (type == MT_BITMAP || type == MT_GROUP || type == MT_CHAR) {
            progress.Step();
            o = next;
            continue;
        }
        CDocData* prev = o->m_pPrev;
        o->m_pPrev = o->m_pNext = nullptr;
        CDocData* result;
        if (o->m_bClosed != 0) {
            result = OffsetContour(o, distance, outward, ctx);
        } else {
            const bool left = IsOpenPathLeft(o) != (outward != 0);
            result = OffsetOpenPath(o, distance, left ? 1 : 0, 100, ctx);
        }
        CDocData* first = o;
        CDocData* last = o;
        if (result != nullptr) {
            o->SetSelected(0);
            CDocData* resultLast = result;
            for (CDocData* r = result; r != nullptr; r = r->m_pNext) {
                r->m_nColor = o->m_nColor;
                r->m_nLayer = o->m_nLayer;
                r->m_bOutput = o->m_bOutput;
                r->SetSelected(1);
                r->m_bNodesSelected = 0;
                ctx->m_rcSelect.Union(r->GetBoundRect());
                resultLast = r;
            }
            if (deleteSource != 0) {
                delete o;
                first = result;
            } else {
                o->m_pNext = result;
                result->m_pPrev = o;
            }
            last = resultLast;
        }
        first->m_pPrev = prev;
        if (prev != nullptr)
            prev->m_pNext = first;
        else
            list = first;
        last->m_pNext = next;
        if (next != nullptr)
            next->m_pPrev = last;
        progress.Step();
        o = next;
    }
}
