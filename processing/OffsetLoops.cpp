// The clean-up of a closed contour's raw offset ring: the ring split into
// simple loops wherever it crosses, touches or runs along itself (segments
// found against each other over a grid, meeting points within a hair taken
// as one), and of those loops the outlines that run the source's way round
// and keep the offset distance from it everywhere.
#include "OffsetLoops.h"
#include "SpatialGrid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

namespace plat::offset {

namespace {

constexpr std::uint32_t kNoPoint = std::numeric_limits<std::uint32_t>::max();
// A kept loop may come this much closer to the source than the distance.
constexpr double kOffsetKeepTol = 0.001;

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

// The raw offset ring split where it meets itself, in three steps: the
// meetings found segment against segment over a grid of the segments, the
// ring walked with every meeting point in place, and the walk cut into
// simple loops wherever it comes back to a point.
class RingSplitter {
public:
    RingSplitter(const std::vector<RingPoint>& ring, double eps) : m_ring(ring), m_n(ring.size()), m_eps(eps)
    {
        m_points = ring;
        m_same.resize(m_n);
        for (std::uint32_t k = 0; k < m_n; ++k)
            m_same[k] = k;
        m_inserts.reserve(m_n / 4);
        m_lengths.resize(m_n);
        for (std::size_t k = 0; k < m_n; ++k) {
            const double dx = ring[(k + 1) % m_n].x - ring[k].x, dy = ring[(k + 1) % m_n].y - ring[k].y;
            m_lengths[k] = std::sqrt(dx * dx + dy * dy);
        }
    }

    // Every point where two segments meet; true when there is any.
    bool FindMeetings()
    {
        const std::vector<RingPoint>& ring = m_ring;
        const std::size_t n = m_n;
        const double eps = m_eps;
        plat::SpatialGrid grid = SegmentGrid(ring);
        for (std::uint32_t i = 0; i < n; ++i) {
            const RingPoint& a0 = ring[i];
            const RingPoint& a1 = ring[(i + 1) % n];
            const double la = m_lengths[i];
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
                    const double lb = m_lengths[j];
                    Meet m[2];
                    const int count = SegmentsMeet(a0, a1, la, b0, b1, lb, eps, m);
                    for (int k = 0; k < count; ++k)
                        AddMeeting(i, j, m[k]);
                });
        }
        return m_met;
    }

    // The ring that never meets itself as one loop, from its first point.
    Loops Whole()
    {
        Loops out;
        out.points = std::move(m_points);
        out.ids.resize(m_n);
        for (std::uint32_t k = 0; k < m_n; ++k)
            out.ids[k] = k;
        out.at = {0, m_n};
        return out;
    }

    // The ring with every meeting point in place, each point by the one
    // that stands for it.
    std::vector<std::uint32_t> Walk()
    {
        std::vector<std::uint32_t> walk;
        walk.reserve(m_n + m_points.size());
        auto visit = [&](std::uint32_t k) {
            const std::uint32_t r = Find(k);
            if (walk.empty() || walk.back() != r)
                walk.push_back(r);
        };
        std::sort(m_inserts.begin(), m_inserts.end(), [](const Insert& a, const Insert& b) {
            return a.segment != b.segment ? a.segment < b.segment : a.t < b.t;
        });
        auto next = m_inserts.begin();
        for (std::uint32_t i = 0; i < m_n; ++i) {
            visit(i);
            for (; next != m_inserts.end() && next->segment == i; ++next)
                visit(next->point);
        }
        while (walk.size() > 1 && walk.back() == walk.front())
            walk.pop_back();
        return walk;
    }

    // The walk cut into simple loops: a point met again closes the loop
    // since its first visit. The loops come in the order of their first
    // point along the walk.
    Loops LoopsOf(const std::vector<std::uint32_t>& walk)
    {
        Loops out;
        out.points = std::move(m_points);
        struct Found {
            std::size_t since; // walk position of its first point
            std::size_t begin, end;
        };
        std::vector<Found> found;
        std::vector<std::uint32_t> ids;
        std::vector<std::uint32_t> stack;
        std::vector<std::size_t> since; // walk position of each stacked point
        constexpr std::uint32_t kNotStacked = std::numeric_limits<std::uint32_t>::max();
        std::vector<std::uint32_t> at(out.points.size(), kNotStacked);
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

private:
    // A meeting point to be put into a segment, at t along it.
    struct Insert {
        std::uint32_t segment;
        double t;
        std::uint32_t point;
    };

    // The point that stands for point k (union-find, halving its path).
    std::uint32_t Find(std::uint32_t k)
    {
        while (m_same[k] != k)
            k = m_same[k] = m_same[m_same[k]];
        return k;
    }

    std::uint64_t CellKey(double x, double y) const
    {
        const auto cx = static_cast<std::int64_t>(std::floor(x / (4.0 * m_eps)));
        const auto cy = static_cast<std::int64_t>(std::floor(y / (4.0 * m_eps)));
        return (static_cast<std::uint64_t>(cx) * 0x9E3779B97F4A7C15ull) ^ static_cast<std::uint64_t>(cy);
    }

    // A new crossing point, or the one made before that lies this close.
    std::uint32_t CrossingAt(double x, double y, const DOCNODE* like)
    {
        const double eps = m_eps;
        for (double ox : {-4.0 * eps, 0.0, 4.0 * eps})
            for (double oy : {-4.0 * eps, 0.0, 4.0 * eps}) {
                const auto it = m_crossings.find(CellKey(x + ox, y + oy));
                if (it != m_crossings.end() && std::fabs(m_points[it->second].x - x) <= eps &&
                    std::fabs(m_points[it->second].y - y) <= eps)
                    return it->second;
            }
        const auto id = static_cast<std::uint32_t>(m_points.size());
        m_points.push_back({x, y, like});
        m_same.push_back(id);
        m_crossings.emplace(CellKey(x, y), id);
        return id;
    }

    // Segments i and j meet at m: two ring points made one, a ring point
    // put into the other segment, or a new crossing put into both.
    void AddMeeting(std::uint32_t i, std::uint32_t j, const Meet& m)
    {
        const std::size_t n = m_n;
        const double eps = m_eps;
        const double la = m_lengths[i], lb = m_lengths[j];
        // An end of either segment is that ring point itself.
        const bool aStart = m.t * la <= eps, aEnd = (1.0 - m.t) * la <= eps;
        const bool bStart = m.u * lb <= eps, bEnd = (1.0 - m.u) * lb <= eps;
        const std::uint32_t aPoint = aStart ? i : aEnd ? (i + 1) % n : kNoPoint;
        const std::uint32_t bPoint = bStart ? j : bEnd ? (j + 1) % n : kNoPoint;
        if (aPoint != kNoPoint && bPoint != kNoPoint) {
            const std::uint32_t ra = Find(aPoint), rb = Find(bPoint);
            if (ra != rb) {
                m_same[std::max(ra, rb)] = std::min(ra, rb);
                m_met = true;
            }
        } else if (aPoint != kNoPoint) {
            m_inserts.push_back({j, m.u, aPoint});
            m_met = true;
        } else if (bPoint != kNoPoint) {
            m_inserts.push_back({i, m.t, bPoint});
            m_met = true;
        } else {
            const RingPoint& a0 = m_ring[i];
            const RingPoint& a1 = m_ring[(i + 1) % n];
            const std::uint32_t c = CrossingAt(a0.x + m.t * (a1.x - a0.x), a0.y + m.t * (a1.y - a0.y), a0.like);
            m_inserts.push_back({i, m.t, c});
            m_inserts.push_back({j, m.u, c});
            m_met = true;
        }
    }

    const std::vector<RingPoint>& m_ring;
    const std::size_t m_n;
    const double m_eps;
    std::vector<RingPoint> m_points;   // the ring's points, then the crossings
    std::vector<std::uint32_t> m_same; // union-find of points that are one
    std::vector<Insert> m_inserts;
    std::vector<double> m_lengths;
    // New crossing points close to one made before are that one.
    std::unordered_map<std::uint64_t, std::uint32_t> m_crossings;
    bool m_met = false;
};

// The raw offset ring split at every point where it meets itself (crossings,
// touches, overlapping spans) into simple loops, in the order of their first
// point along the ring; a ring that never meets itself (`met` false) comes
// back whole, from its first point. Points within `eps` are one.
Loops SplitAtSelfIntersections(const std::vector<RingPoint>& ring, double eps, bool& met)
{
    RingSplitter splitter(ring, eps);
    met = splitter.FindMeetings();
    if (!met)
        return splitter.Whole();
    return splitter.LoopsOf(splitter.Walk());
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

} // namespace

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

bool RingMeetsItself(const std::vector<RingPoint>& ring)
{
    bool met = false;
    SplitAtSelfIntersections(ring, MeetTolerance(ring), met);
    return met;
}

} // namespace plat::offset
