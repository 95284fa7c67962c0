// Cut repair: the play of the axes taken up where the head reverses, between
// paths and within them, and the merging of runs of short segments.
#include "PathProc.h"

#include "JobRecords.h"
#include "model/GeoFunctions.h"
#include "model/PolylineGeometry.h"
#include "model/SegNodePool.h"
#include "settings/MachineTech.h"

#include <cmath>

namespace {

constexpr std::uint8_t kCutMode = 1;
constexpr double kMoveTol = 1e-5;
constexpr double kOpenTol = 1e-5;
constexpr double kMinMergeLength = 0.001;
// A segment shorter than this along both axes has no direction to turn from.
constexpr double kTinySegment = 0.001;

int DirectionOf(double d)
{
    return d > kMoveTol ? 1 : d < -kMoveTol ? -1 : 0;
}

// The row of the first speed above the given one, else the last row.
const CUTREPAIR* CutRepairRow(const CUTREPAIR* table, double speed)
{
    const CUTREPAIR* row = table;
    // A list closed into a ring is walked once.
    while (!(row->speed > speed) && row->next != nullptr && row->next != table)
        row = row->next;
    return row;
}

const SEGNODE* LastSegment(const SEGNODE* first)
{
    const SEGNODE* last = first;
    while (last->m_pNext != nullptr && last->m_pNext != first)
        last = last->m_pNext;
    return last;
}

// One axis of CompensateInPath: `at(s, start)` is the segment's coordinate
// on that axis. Every reversal adds its amount to the offset that all later
// segments carry.
template <typename At>
void CompensateAxis(PATHREC& path, double amount, bool clockwise, At at)
{
    int direction = 0;
    double offset = 0.0;
    SEGNODE* previous = nullptr;
    for (SEGNODE* s = path.m_pSegs; s != nullptr;) {
        double& a0 = at(*s, true);
        double& a1 = at(*s, false);
        a0 += offset;
        a1 += offset;
        const int d = DirectionOf(a1 - a0);
        if (d != 0) {
            if (direction != 0 && d != direction) {
                const double step = (d > 0) == clockwise ? amount : -amount;
                offset += step;
                a1 += step;
                a0 = at(*previous, false);
            }
            direction = d;
        }
        previous = s;
        s = s->m_pNext;
        if (s == path.m_pSegs)
            break;
    }
}

double Length(const SEGNODE& s)
{
    return std::hypot(s.m_x1 - s.m_x0, s.m_y1 - s.m_y0);
}

bool Tiny(const SEGNODE& s)
{
    return std::fabs(s.m_x1 - s.m_x0) < kTinySegment && std::fabs(s.m_y1 - s.m_y0) < kTinySegment;
}

} // namespace

void CPathProc::ApplyCutRepair(WORKLAYER* layers, const CUTREPAIR* table)
{
    if (layers == nullptr || table == nullptr)
        return;
    double posX = 0.0, posY = 0.0;
    int dirX = 0, dirY = 0;
    // The shifts made so far, which every path after them carries.
    double offX = 0.0, offY = 0.0;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        if (layer.m_paths == nullptr)
            return;
        const bool cut = layer.m_mode == kCutMode;
        const CUTREPAIR* row = cut ? CutRepairRow(table, layer.m_speed) : nullptr;
        ForEachPath(layer, [&](PATHREC& p) {
            if (offX != 0.0 || offY != 0.0)
                ShiftPath(&p, offX, offY);
            if (p.m_pSegs == nullptr)
                return;
            if (row != nullptr) {
                const int dx = DirectionOf(p.m_pSegs->m_x0 - posX);
                const int dy = DirectionOf(p.m_pSegs->m_y0 - posY);
                double sx = 0.0, sy = 0.0;
                if (dx != 0) {
                    if (dirX != 0 && dx != dirX)
                        sx = dx > 0 ? row->x_rt : -row->x_rt;
                    dirX = dx;
                }
                if (dy != 0) {
                    if (dirY != 0 && dy != dirY)
                        sy = dy > 0 ? row->y_rt : -row->y_rt;
                    dirY = dy;
                }
                if (sx != 0.0 || sy != 0.0) {
                    ShiftPath(&p, sx, sy);
                    offX += sx;
                    offY += sy;
                }
                CompensateInPath(&p, row->x_rt, row->y_rt);
            }
            const SEGNODE* last = LastSegment(p.m_pSegs);
            posX = last->m_x1;
            posY = last->m_y1;
        });
    });
}

void CPathProc::ShiftPath(PATHREC* path, double dx, double dy)
{
    if (path == nullptr)
        return;
    path->m_xmin += dx;
    path->m_xmax += dx;
    path->m_ymin += dy;
    path->m_ymax += dy;
    ForEachSegment(*path, [&](SEGNODE& s) {
        s.m_x0 += dx;
        s.m_x1 += dx;
        s.m_y0 += dy;
        s.m_y1 += dy;
    });
}

int CPathProc::PathOrientation(const SEGNODE* first)
{
    if (first == nullptr)
        return -1;
    std::size_t count = 1;
    for (const SEGNODE* s = first->m_pNext; s != nullptr && s != first && count < 3; s = s->m_pNext)
        ++count;
    if (count < 3)
        return -1;
    const SEGNODE* last = LastSegment(first);
    if (std::fabs(last->m_x1 - first->m_x0) > kOpenTol || std::fabs(last->m_y1 - first->m_y0) > kOpenTol)
        return -3;
    PATHREC ring;
    ring.m_pSegs = const_cast<SEGNODE*>(first);
    return static_cast<int>(PathRingOrientation(&ring));
}

void CPathProc::CompensateInPath(PATHREC* path, double ax, double ay)
{
    if (path == nullptr || path->m_pSegs == nullptr)
        return;
    // Only a counter-clockwise closed path turns the amounts round.
    const bool clockwise = PathOrientation(path->m_pSegs) != 0;
    CompensateAxis(*path, ax, clockwise, [](SEGNODE& s, bool start) -> double& { return start ? s.m_x0 : s.m_x1; });
    CompensateAxis(*path, ay, clockwise, [](SEGNODE& s, bool start) -> double& { return start ? s.m_y0 : s.m_y1; });
}

void CPathProc::MergeShortSegments(WORKLAYER* layers, double length, double angle)
{
    if (!(length >= kMinMergeLength))
        return;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        if (layer.m_mode != kCutMode)
            return;
        ForEachPath(layer, [&](PATHREC& p) { MergeShortSegmentsInPath(&p, length, angle); });
    });
}

void CPathProc::MergeShortSegmentsInPath(PATHREC* path, double length, double angle)
{
    PathRecordBin bin;
    MergeShortSegmentsInPath(path, length, angle, bin);
}

void CPathProc::MergeShortSegmentsInPath(PATHREC* path, double length, double angle, PathRecordBin& bin)
{
    if (path == nullptr || path->m_pSegs == nullptr || !(length >= kMinMergeLength) || !(angle > 0.0))
        return;
    SEGNODE* const first = path->m_pSegs;
    for (SEGNODE* s = first; s != nullptr;) {
        // Walk on from s while the run stays short and straight enough.
        SEGNODE* t = s;
        double run = Length(*s);
        double turn = 0.0;
        bool ranOff = false;
        while (run < length) {
            SEGNODE* next = t->m_pNext;
            if (next == nullptr) {
                ranOff = true;
                break;
            }
            if (next == first)
                break;
            if (!Tiny(*t) && !Tiny(*next))
                turn += GeoTurnAngle(t->m_x0, t->m_y0, next->m_x0, next->m_y0, next->m_x1, next->m_y1);
            run += Length(*next);
            t = next;
            if (turn >= angle)
                break;
        }
        // The segments strictly between s and t are taken over by s; off
        // the end of an open list, t too.
        SEGNODE* keep = ranOff ? nullptr : t;
        SEGNODE* lastTaken = ranOff ? t : t->m_pPrev;
        if (t != s && lastTaken != s) {
            s->m_x1 = lastTaken->m_x1;
            s->m_y1 = lastTaken->m_y1;
            s->m_z1 = lastTaken->m_z1;
            for (SEGNODE* d = s->m_pNext; d != keep;) {
                SEGNODE* following = d->m_pNext;
                bin.Free(d);
                d = following;
            }
            s->m_pNext = keep;
            if (keep != nullptr)
                keep->m_pPrev = s;
        }
        s = s->m_pNext;
        if (s == first)
            break;
    }
}
