// The ordering by direction: bands swept across the job, touching open paths
// joined, closed paths oriented and started by the work position.
#include "PathProc.h"
#include "PathUnits.h"
#include "SpatialGrid.h"

#include "JobRecords.h"
#include "model/DocData.h"
#include "model/PolylineGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <vector>

using plat::PathUnit;

namespace {

constexpr double kJoinTolerance = 0.1; // band joins, mm
constexpr double kStartTieTol = 0.001;
// Empty sweep steps walked one band height at a time before the line jumps
// straight to the next path (a band height tiny against the job).
constexpr long kSweepStepBudget = 1L << 22;

bool IsValidCode(int code) { return code >= 0 && code <= 3; }
bool AcrossIsX(int code) { return code == 0 || code == 1; } // bands along y

struct Point {
    double x;
    double y;
};

Point PathStart(const PATHREC* p) { return {p->m_pSegs->m_x0, p->m_pSegs->m_y0}; }
Point PathEnd(const PATHREC* p)
{
    const SEGNODE* last = plat::LastSegmentOf(p->m_pSegs);
    return {last->m_x1, last->m_y1};
}

bool Finite(const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool EndsMeet(const Point& a, const Point& b, double tol)
{
    return Finite(a) && Finite(b) && std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol;
}

bool IsJoinable(const PathUnit& u)
{
    return plat::IsSinglePath(u) && u.first->m_kind == PATH_KIND_PATH && u.first->m_closed == 0;
}

bool HasFiniteExtents(const PATHREC* p)
{
    return std::isfinite(p->m_xmin) && std::isfinite(p->m_xmax) && std::isfinite(p->m_ymin) &&
           std::isfinite(p->m_ymax);
}

// The join key, larger is better; a key that is not a number ranks last.
double JoinKey(const PATHREC* p, int code, int alternate)
{
    double v;
    if (AcrossIsX(code))
        v = alternate == 0 ? p->m_xmin : -p->m_xmax;
    else
        v = alternate == 0 ? p->m_ymin : -p->m_ymax;
    return std::isnan(v) ? -std::numeric_limits<double>::infinity() : v;
}

void GrowExtents(PATHREC* to, const PATHREC* from)
{
    to->m_xmin = std::min(to->m_xmin, from->m_xmin);
    to->m_ymin = std::min(to->m_ymin, from->m_ymin);
    to->m_zmin = std::min(to->m_zmin, from->m_zmin);
    to->m_xmax = std::max(to->m_xmax, from->m_xmax);
    to->m_ymax = std::max(to->m_ymax, from->m_ymax);
    to->m_zmax = std::max(to->m_zmax, from->m_zmax);
}

// JoinTouchingPaths on a band held as units; joined units leave the vector.
void JoinUnits(std::vector<PathUnit>& band, int code, int alternate, double tol)
{
    if (!(tol >= 0.0))
        return; // nothing lies within a negative distance
    const std::size_t n = band.size();
    std::vector<std::uint8_t> alive(n, 0);
    std::size_t joinable = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (IsJoinable(band[i])) {
            alive[i] = 1;
            ++joinable;
        }
    }
    if (joinable == 0)
        return;

    // Cells twice the tolerance, and query rectangles reaching twice the
    // tolerance: every end that passes the rounded test lies inside.
    const double reach = 2.0 * tol;
    plat::SpatialGrid grid(reach > 0.0 ? reach : 1.0, 2 * joinable);
    if (joinable > 1) {
        for (std::size_t i = 0; i < n; ++i) {
            if (alive[i] == 0)
                continue;
            const Point s = PathStart(band[i].first), e = PathEnd(band[i].first);
            grid.AddPoint(s.x, s.y, static_cast<std::uint32_t>(i));
            grid.AddPoint(e.x, e.y, static_cast<std::uint32_t>(i));
        }
    }

    std::size_t current = 0;
    auto later = [&](std::uint32_t j) { return j > current && alive[j] != 0; };
    for (std::size_t i = 0; i < n; ++i) {
        if (alive[i] == 0)
            continue;
        current = i;
        PATHREC* p = band[i].first;
        for (;;) {
            const Point ps = PathStart(p), pe = PathEnd(p);
            std::size_t best = n;
            double bestKey = 0.0;
            auto consider = [&](std::uint32_t j) {
                const PATHREC* c = band[j].first;
                const Point cs = PathStart(c), ce = PathEnd(c);
                if (!EndsMeet(pe, cs, tol) && !EndsMeet(pe, ce, tol) && !EndsMeet(ps, cs, tol) &&
                    !EndsMeet(ps, ce, tol))
                    return;
                const double key = JoinKey(c, code, alternate);
                if (best == n || key > bestKey || (key == bestKey && j < best)) {
                    best = j;
                    bestKey = key;
                }
            };
            if (joinable > 1) {
                for (const Point& q : {pe, ps}) {
                    if (Finite(q))
                        grid.ForEachInRect(q.x - reach, q.x + reach, q.y - reach, q.y + reach, later, consider);
                }
            }
            if (best == n)
                break;
            PATHREC* c = band[best].first;
            const Point cs = PathStart(c), ce = PathEnd(c);
            if (EndsMeet(pe, cs, tol)) {
                // end to start: as they are
            } else if (EndsMeet(pe, ce, tol)) {
                ReverseRing(c);
            } else if (EndsMeet(ps, cs, tol)) {
                ReverseRing(p);
            } else {
                ReverseRing(p);
                ReverseRing(c);
            }
            plat::AppendSegments(p, c);
            GrowExtents(p, c);
            alive[best] = 0;
            band[best].first = band[best].last = nullptr;
            c->m_pPrev = c->m_pNext = nullptr;
            delete c;
        }
        alive[i] = 0;
        if (EndsMeet(PathStart(p), PathEnd(p), tol))
            p->m_closed = 1;
    }
    band.erase(std::remove_if(band.begin(), band.end(), [](const PathUnit& u) { return u.first == nullptr; }),
               band.end());
}

// Units with their values along the sweep: lo and hi along the band axis,
// turned round for a sweep that starts at the low side so that every sweep
// runs from high to low; `across` is min + max of the other axis.
struct SweepItem {
    double lo;
    double hi;
    double across;
};

void SortUnitsIntoBands(std::vector<PathUnit>& units, int code, double height, int corner, int workPos)
{
    int d = 1, t = 1;
    CPathProc::BandStartSide(code, corner, workPos, d, t);
    const bool alternating = code == 1 || code == 3;
    // A height of 0 or below (or NaN) is taken as the limit of ever thinner
    // bands: the line then moves straight onto the next path.
    const double h = height > 0.0 ? height : 0.0;

    std::vector<PathUnit> aside;
    std::vector<PathUnit> items;
    std::vector<SweepItem> values;
    for (const PathUnit& u : units) {
        const PATHREC* p = u.first;
        if (!HasFiniteExtents(p)) {
            aside.push_back(u);
            continue;
        }
        const bool alongY = AcrossIsX(code);
        const double lo = alongY ? p->m_ymin : p->m_xmin;
        const double hi = alongY ? p->m_ymax : p->m_xmax;
        const double across = alongY ? p->m_xmin + p->m_xmax : p->m_ymin + p->m_ymax;
        // Negation is exact, so the mirrored sweep computes the same lines.
        values.push_back(d == 0 ? SweepItem{lo, hi, across} : SweepItem{-hi, -lo, across});
        items.push_back(u);
    }
    const std::size_t n = items.size();
    std::vector<PathUnit> result;
    result.reserve(units.size());

    if (n > 0) {
        // Items by falling lo: those beyond the line are always the next run
        // of this order. A heap of the remaining hi gives the remaining extent.
        std::vector<std::uint32_t> order(n);
        for (std::uint32_t i = 0; i < n; ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return values[a].lo > values[b].lo || (values[a].lo == values[b].lo && a < b);
        });
        using HeapItem = std::pair<double, std::uint32_t>;
        std::priority_queue<HeapItem> remainingHi;
        double high = values[0].hi;
        for (std::uint32_t i = 0; i < n; ++i) {
            remainingHi.push({values[i].hi, i});
            high = std::max(high, values[i].hi);
        }
        std::vector<std::uint8_t> taken(n, 0);
        double line = high - h;
        std::size_t next = 0;
        long budget = kSweepStepBudget;
        std::vector<std::uint32_t> bandIdx;
        std::vector<PathUnit> band;
        while (next < n) {
            bandIdx.clear();
            while (next < n && values[order[next]].lo >= line) {
                taken[order[next]] = 1;
                bandIdx.push_back(order[next++]);
            }
            if (!bandIdx.empty()) {
                // Largest centre first (t 0) or smallest first (t 1); the
                // earlier path of the list wins a tie.
                std::sort(bandIdx.begin(), bandIdx.end(), [&](std::uint32_t a, std::uint32_t b) {
                    const double ca = values[a].across, cb = values[b].across;
                    if (ca != cb)
                        return t == 0 ? ca > cb : ca < cb;
                    return a < b;
                });
                band.clear();
                for (std::uint32_t k : bandIdx)
                    band.push_back(items[k]);
                JoinUnits(band, code, t, kJoinTolerance);
                result.insert(result.end(), band.begin(), band.end());
            }
            if (next >= n)
                break;
            while (taken[remainingHi.top().second] != 0)
                remainingHi.pop();
            const double remHi = remainingHi.top().first;
            double moved = std::min(line - h, remHi - h);
            if (bandIdx.empty()) {
                const double nextLo = values[order[next]].lo;
                if (h == 0.0) {
                    moved = nextLo;
                } else if (!(moved < line) || budget <= 0) {
                    // The line would not move (absorbed by a huge value) or
                    // the gap is vast against the band height: jump to the
                    // first line of its steps that reaches the next path.
                    const double steps = std::ceil((line - nextLo) / h);
                    moved = line - steps * h;
                    if (!(moved <= nextLo) || !std::isfinite(moved))
                        moved = nextLo;
                } else {
                    --budget;
                }
            }
            line = moved;
            if (!bandIdx.empty() && alternating)
                t ^= 1;
        }
    }
    result.insert(result.end(), aside.begin(), aside.end());
    units.swap(result);
}

// Segment whose start wins by the primary value (larger is better) with ties
// within 0.001 decided by the secondary value (larger is better).
template <typename Primary, typename Secondary>
SEGNODE* PickStartSegment(PATHREC* p, Primary primary, Secondary secondary)
{
    SEGNODE* best = p->m_pSegs;
    for (SEGNODE* s = best->m_pNext; s != nullptr && s != p->m_pSegs; s = s->m_pNext) {
        const double a = primary(s), b = primary(best);
        if (a > b + kStartTieTol || (std::fabs(a - b) <= kStartTieTol && secondary(s) > secondary(best)))
            best = s;
    }
    return best;
}

bool IsClosedSingle(const PathUnit& u) { return plat::IsSinglePath(u) && u.first->m_closed != 0; }

} // namespace

void CPathProc::BandStartSide(int code, int corner, int workPos, int& d, int& t)
{
    d = 1;
    t = 1;
    if (corner < 0 || corner > 3 || workPos < 0 || workPos > 3)
        return;
    // E and F: the entries that depend on the code.
    const bool vertical = code == 2 || code == 3;
    const bool horizontal = code == 0 || code == 1;
    enum Cell { E, F, D1T1, D0T0 };
    static constexpr Cell kTable[4][4] = {
        {E, D1T1, D0T0, F},
        {D1T1, E, F, D0T0},
        {D0T0, F, E, D1T1},
        {F, D0T0, D1T1, E},
    };
    switch (kTable[corner][workPos]) {
    case E:
        d = vertical ? 0 : 1;
        t = vertical ? 1 : 0;
        break;
    case F:
        d = horizontal ? 0 : 1;
        t = horizontal ? 1 : 0;
        break;
    case D1T1:
        d = 1;
        t = 1;
        break;
    case D0T0:
        d = 0;
        t = 0;
        break;
    }
}

void CPathProc::SortIntoBands(PATHREC*& paths, int code, double height, int corner, int workPos)
{
    if (paths == nullptr || !IsValidCode(code))
        return;
    bool ring = false;
    std::vector<PathUnit> units = plat::TakeUnits(paths, ring);
    SortUnitsIntoBands(units, code, height, corner, workPos);
    paths = plat::LinkUnits(units, ring);
}

void CPathProc::JoinTouchingPaths(PATHREC*& band, int code, int alternate, double tol)
{
    if (band == nullptr || !IsValidCode(code))
        return;
    bool ring = false;
    std::vector<PathUnit> units = plat::TakeUnits(band, ring);
    JoinUnits(units, code, alternate, tol);
    band = plat::LinkUnits(units, ring);
}

void CPathProc::OrientClosedPaths(WORKLAYER* layer, std::uint32_t wanted)
{
    if (layer == nullptr || layer->m_paths == nullptr)
        return;
    bool ring = false;
    std::vector<PathUnit> units = plat::TakeUnits(layer->m_paths, ring);
    for (const PathUnit& u : units) {
        if (IsClosedSingle(u)) {
            const std::uint32_t o = PathRingOrientation(u.first);
            if (o <= 1 && o != wanted)
                ReverseRing(u.first);
        }
    }
    layer->m_paths = plat::LinkUnits(units, ring);
}

void CPathProc::SetClosedPathStarts(WORKLAYER* layer, int code, int workPos, int f)
{
    if (layer == nullptr || layer->m_paths == nullptr || !IsValidCode(code) || workPos < 0 || workPos > 3)
        return;
    const bool evenPos = workPos == 0 || workPos == 2;
    const std::uint32_t wanted = AcrossIsX(code) && evenPos ? (f == 0 ? 1u : 0u) : (f != 0 ? 1u : 0u);
    OrientClosedPaths(layer, wanted);

    bool ring = false;
    std::vector<PathUnit> units = plat::TakeUnits(layer->m_paths, ring);
    for (const PathUnit& u : units) {
        if (!IsClosedSingle(u))
            continue;
        PATHREC* p = u.first;
        SEGNODE* start;
        if (AcrossIsX(code)) {
            const double sx = evenPos ? 1.0 : -1.0; // larger x, or smaller
            start = PickStartSegment(
                p, [](const SEGNODE* s) { return s->m_y0; }, [sx](const SEGNODE* s) { return sx * s->m_x0; });
        } else {
            const double sy = workPos == 0 || workPos == 3 ? -1.0 : 1.0; // smaller y, or larger
            start = PickStartSegment(
                p, [](const SEGNODE* s) { return s->m_x0; }, [sy](const SEGNODE* s) { return sy * s->m_y0; });
        }
        plat::RotateRingTo(p, start);
    }
    layer->m_paths = plat::LinkUnits(units, ring);
}

void CPathProc::NormaliseBandStarts(WORKLAYER* layer, int code, double height, int workPos)
{
    if (layer == nullptr || layer->m_paths == nullptr || (code != 1 && code != 3))
        return;
    bool ring = false;
    std::vector<PathUnit> units = plat::TakeUnits(layer->m_paths, ring);
    bool reverse = true;
    bool pastFirstBand = false;
    double previous = 0.0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const PATHREC* head = units[i].first;
        const double centre = code == 1 ? (head->m_ymin + head->m_ymax) / 2.0 : (head->m_xmin + head->m_xmax) / 2.0;
        if (i > 0 && std::fabs(centre - previous) >= height) {
            pastFirstBand = true;
            reverse = !reverse;
        }
        previous = centre;
        if (!pastFirstBand || !IsClosedSingle(units[i]))
            continue;
        PATHREC* p = units[i].first;
        SEGNODE* start;
        if (code == 1) {
            const double sx = workPos == 0 || workPos == 1 ? -1.0 : 1.0; // smaller x, or larger
            start = PickStartSegment(
                p, [](const SEGNODE* s) { return -s->m_y0; }, [sx](const SEGNODE* s) { return sx * s->m_x0; });
        } else {
            const double sy = workPos == 0 || workPos == 3 ? 1.0 : -1.0; // larger y, or smaller
            start = PickStartSegment(
                p, [](const SEGNODE* s) { return -s->m_x0; }, [sy](const SEGNODE* s) { return sy * s->m_y0; });
        }
        plat::RotateRingTo(p, start);
        if (reverse)
            ReverseRing(p);
    }
    layer->m_paths = plat::LinkUnits(units, ring);
}

void CPathProc::OrderPathsSimple(WORKLAYER* layers, int code, double height, int corner, int workPos)
{
    if (!IsValidCode(code))
        return;
    const int f = code == 1 || code == 3 ? 0 : 1;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        if (layer.m_mode != 1 || layer.m_paths == nullptr)
            return;
        SortIntoBands(layer.m_paths, code, height, corner, workPos);
        SetClosedPathStarts(&layer, code, workPos, f);
        NormaliseBandStarts(&layer, code, height, workPos);
    });
}

void CPathProc::OrientOpenPaths(WORKLAYER* layers)
{
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        if (layer.m_mode != 1 || layer.m_paths == nullptr)
            return;
        bool ring = false;
        std::vector<PathUnit> units = plat::TakeUnits(layer.m_paths, ring);
        Point at{0.0, 0.0};
        auto dist2 = [&](const Point& p) { return (p.x - at.x) * (p.x - at.x) + (p.y - at.y) * (p.y - at.y); };
        for (const PathUnit& u : units) {
            if (plat::IsSinglePath(u) && u.first->m_closed == 0 && dist2(PathEnd(u.first)) < dist2(PathStart(u.first)))
                ReverseRing(u.first);
            // Every path with segments, bracket members too, moves the point.
            for (PATHREC* p = u.first; p != nullptr; p = p == u.last ? nullptr : p->m_pNext) {
                if (p->m_pSegs != nullptr)
                    at = PathEnd(p);
            }
        }
        layer.m_paths = plat::LinkUnits(units, ring);
    });
}

bool CPathProc::HasLeadRecords(CDocData* objects)
{
    auto hasLead = [](const CDocData* o) {
        const LEADINOUT* lead = o->m_pLeadInOut;
        return lead != nullptr && (lead->m_dInLength > kMinLeadLength || lead->m_dOutLength > kMinLeadLength);
    };
    // The top list is walked in place (it may hold millions of objects);
    // only groups' members wait on a stack.
    std::vector<CDocData*> pending;
    for (CDocData* top = objects; top != nullptr; top = top->m_pNext) {
        if (hasLead(top))
            return true;
        CDocData** children = top->ChildList();
        if (children == nullptr)
            continue;
        for (CDocData* c = *children; c != nullptr; c = c->m_pNext)
            pending.push_back(c);
        while (!pending.empty()) {
            CDocData* o = pending.back();
            pending.pop_back();
            if (hasLead(o))
                return true;
            if (CDocData** inner = o->ChildList()) {
                for (CDocData* c = *inner; c != nullptr; c = c->m_pNext)
                    pending.push_back(c);
            }
        }
    }
    return false;
}
