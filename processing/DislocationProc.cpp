#include "DislocationProc.h"

#include "JobRecords.h"
#include "model/GeoFunctions.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kMoveTol = 1e-5;
// Runs of at least this length (mm) take the play out.
constexpr double kLongRun = 1.0;

int SenseOf(double d)
{
    return d > kMoveTol ? 1 : d < -kMoveTol ? -1 : 0;
}

// The senses of a move, an axis without movement keeping its sense.
void Carry(double dx, double dy, int& senseX, int& senseY)
{
    if (const int s = SenseOf(dx); s != 0)
        senseX = s;
    if (const int s = SenseOf(dy); s != 0)
        senseY = s;
}

std::vector<SEGNODE*> SegmentsOf(PATHREC& path)
{
    std::vector<SEGNODE*> segs;
    ForEachSegment(path, [&](SEGNODE& s) { segs.push_back(&s); });
    return segs;
}

} // namespace

// A run into segment s is the longest stretch before it, at most once round,
// in which all segments moving along x share one sense and all moving along
// y share one: walking back, the first movers give the arrival senses, and
// the walk stops at the first segment against them. So one pass forward over
// the ring laid out twice finds, for every end j, where the longest such
// stretch ending at j starts, from the last segment of each opposite sense
// before it; its lengths are kept as the stretch grows and shrinks.
std::vector<ARRIVALRUN> CDislocationProc::ArrivalRuns(const std::vector<SEGNODE*>& segs, int senseX, int senseY)
{
    const std::size_t n = segs.size();
    std::vector<ARRIVALRUN> out(n);
    // Last segment moving each way along each axis, and where the longest
    // consistent stretch ending at the current one starts.
    std::ptrdiff_t lastPlusX = -1, lastMinusX = -1, lastPlusY = -1, lastMinusY = -1;
    std::ptrdiff_t lastX = -1, lastY = -1;
    int lastSenseX = 0, lastSenseY = 0;
    std::size_t from = 0;
    // The lengths of the stretch [window, j], in a wider type so that adding
    // and taking off segments loses nothing that matters.
    std::size_t window = 0;
    long double runX = 0.0L, runY = 0.0L;
    for (std::size_t j = 0; j + 1 < 2 * n; ++j) {
        const SEGNODE& s = *segs[j % n];
        const int sx = SenseOf(s.m_x1 - s.m_x0), sy = SenseOf(s.m_y1 - s.m_y0);
        const auto after = [](std::ptrdiff_t i) { return static_cast<std::size_t>(i + 1); };
        const auto at = static_cast<std::ptrdiff_t>(j);
        runX += std::fabs(s.m_x1 - s.m_x0);
        runY += std::fabs(s.m_y1 - s.m_y0);
        if (sx != 0) {
            from = std::max(from, after(sx > 0 ? lastMinusX : lastPlusX));
            (sx > 0 ? lastPlusX : lastMinusX) = at;
            lastX = at;
            lastSenseX = sx;
        }
        if (sy != 0) {
            from = std::max(from, after(sy > 0 ? lastMinusY : lastPlusY));
            (sy > 0 ? lastPlusY : lastMinusY) = at;
            lastY = at;
            lastSenseY = sy;
        }
        if (j + 1 < n)
            continue;
        // j ends the run into segment s = j + 1 - n, which may reach back
        // once round the ring, to s itself.
        const std::size_t first = j + 1 - n;
        for (const std::size_t k = std::max(from, first); window < k; ++window) {
            const SEGNODE& gone = *segs[window % n];
            runX -= std::fabs(gone.m_x1 - gone.m_x0);
            runY -= std::fabs(gone.m_y1 - gone.m_y0);
        }
        const auto lap = static_cast<std::ptrdiff_t>(first);
        ARRIVALRUN& a = out[first];
        a.senseX = lastX >= lap ? lastSenseX : senseX;
        a.senseY = lastY >= lap ? lastSenseY : senseY;
        a.runX = static_cast<double>(runX);
        a.runY = static_cast<double>(runY);
    }
    return out;
}

namespace {

// Whether a candidate (turn a, runs x and y) replaces the best so far.
bool Prefer(double a, double x, double y, double bestA, double bestX, double bestY)
{
    const bool longRuns = x >= kLongRun && y >= kLongRun;
    const bool bestShort = bestX < kLongRun && bestY < kLongRun;
    if (a < bestA && (longRuns || bestShort))
        return true;
    return !(a < bestA) && x > kLongRun && y > kLongRun && (bestX < kLongRun || bestY < kLongRun);
}

void Restart(PATHREC& path, const std::vector<SEGNODE*>& segs, double refX, double refY, int senseX, int senseY)
{
    // Senses 0 where the ring never moves along an axis: there the arrival
    // keeps each candidate's own approach sense.
    const std::vector<ARRIVALRUN> arrivals = CDislocationProc::ArrivalRuns(segs, 0, 0);
    SEGNODE* best = nullptr;
    double bestA = 0.0, bestX = 0.0, bestY = 0.0;
    for (std::size_t i = 0; i < segs.size(); ++i) {
        const SEGNODE& s = *segs[i];
        int ax = senseX, ay = senseY;
        Carry(s.m_x0 - refX, s.m_y0 - refY, ax, ay);
        const ARRIVALRUN& arrival = arrivals[i];
        if (ax == 0 || ay == 0 || (arrival.senseX != 0 && ax != arrival.senseX) ||
            (arrival.senseY != 0 && ay != arrival.senseY))
            continue;
        const double a = GeoTurnAngle(refX, refY, s.m_x0, s.m_y0, s.m_x1, s.m_y1);
        if (best == nullptr || Prefer(a, arrival.runX, arrival.runY, bestA, bestX, bestY)) {
            best = segs[i];
            bestA = a;
            bestX = arrival.runX;
            bestY = arrival.runY;
        }
    }
    if (best != nullptr)
        path.m_pSegs = best;
}

} // namespace

void CDislocationProc::Process(WORKLAYER* layers)
{
    double refX = 0.0, refY = 0.0;
    int senseX = 0, senseY = 0;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) { ChooseStart(&layer, refX, refY, senseX, senseY); });
}

void CDislocationProc::ChooseStart(WORKLAYER* layer, double& refX, double& refY, int& senseX, int& senseY)
{
    if (layer == nullptr)
        return;
    ForEachPath(*layer, [&](PATHREC& path) {
        if (path.m_pSegs == nullptr)
            return;
        std::vector<SEGNODE*> segs = SegmentsOf(path);
        const bool ring = path.m_pSegs->m_pPrev != nullptr;
        if (ring && path.m_closed != 0 && path.m_kind == PATH_KIND_PATH) {
            Restart(path, segs, refX, refY, senseX, senseY);
            std::rotate(segs.begin(), std::find(segs.begin(), segs.end(), path.m_pSegs), segs.end());
        }
        const SEGNODE& first = *segs.front();
        Carry(first.m_x0 - refX, first.m_y0 - refY, senseX, senseY);
        // The arrival senses at the first segment: those of the last
        // segments moving along each axis.
        bool foundX = false, foundY = false;
        for (auto it = segs.rbegin(); it != segs.rend() && !(foundX && foundY); ++it) {
            const int sx = SenseOf((*it)->m_x1 - (*it)->m_x0), sy = SenseOf((*it)->m_y1 - (*it)->m_y0);
            if (!foundX && sx != 0) {
                senseX = sx;
                foundX = true;
            }
            if (!foundY && sy != 0) {
                senseY = sy;
                foundY = true;
            }
        }
        refX = segs.back()->m_x1;
        refY = segs.back()->m_y1;
    });
}

void CDislocationProc::ArrivalRun(const SEGNODE* seg, int& senseX, int& senseY, double& runX, double& runY)
{
    runX = runY = 0.0;
    if (seg == nullptr)
        return;
    for (const SEGNODE* s = seg; s != nullptr;) {
        Carry(s->m_x1 - s->m_x0, s->m_y1 - s->m_y0, senseX, senseY);
        s = s->m_pNext;
        if (s == seg)
            break;
    }
    // Back from the segment before: once round at most, so that a path
    // that never turns against itself (a dot, a straight line) ends.
    int curX = senseX, curY = senseY;
    for (const SEGNODE* s = seg->m_pPrev; s != nullptr;) {
        Carry(s->m_x1 - s->m_x0, s->m_y1 - s->m_y0, curX, curY);
        if (curX != senseX || curY != senseY)
            break;
        runX += std::fabs(s->m_x1 - s->m_x0);
        runY += std::fabs(s->m_y1 - s->m_y0);
        if (s == seg)
            break;
        s = s->m_pPrev;
    }
}
