#include "PolylineGeometry.h"

#include "DocData.h"
#include "GeoFunctions.h"

#include <algorithm>

#include <cmath>
#include <vector>

namespace {

struct Pt {
    double x;
    double y;
};

bool Coincide(const Pt& a, const Pt& b)
{
    return std::fabs(a.x - b.x) <= kGeoCoincideTol && std::fabs(a.y - b.y) <= kGeoCoincideTol;
}

// Nodes in order, stopping at a null link or back at the head.
std::vector<Pt> Collect(const DOCNODE* head, bool* ring = nullptr)
{
    std::vector<Pt> pts;
    bool isRing = false;
    for (const DOCNODE* n = head; n != nullptr;) {
        pts.push_back({n->m_x, n->m_y});
        n = n->m_pNext;
        if (n == head) {
            isRing = true;
            break;
        }
    }
    if (ring != nullptr)
        *ring = isRing;
    return pts;
}

// Index of the vertex that is leftmost, on equal x the highest: a hull
// vertex, so the turn there gives the orientation of the whole outline.
std::size_t ExtremeVertex(const std::vector<Pt>& pts)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < pts.size(); ++i) {
        if (pts[i].x < pts[best].x || (pts[i].x == pts[best].x && pts[i].y > pts[best].y))
            best = i;
    }
    return best;
}

// 1 when the turn at the extreme vertex of a cyclic point sequence is not
// counter-clockwise, else 0; neighbours that coincide with it are skipped.
std::uint32_t CyclicOrientation(const std::vector<Pt>& pts)
{
    const std::size_t n = pts.size();
    const std::size_t m = ExtremeVertex(pts);
    std::size_t ip = m;
    std::size_t in = m;
    for (std::size_t k = 1; k < n; ++k) {
        ip = (m + n - k) % n;
        if (!Coincide(pts[ip], pts[m]))
            break;
    }
    for (std::size_t k = 1; k < n; ++k) {
        in = (m + k) % n;
        if (!Coincide(pts[in], pts[m]))
            break;
    }
    const Pt& a = pts[ip];
    const Pt& b = pts[m];
    const Pt& c = pts[in];
    const double cross = (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
    return cross <= 0.0 ? 1u : 0u;
}

} // namespace

double PolylineLength(const DOCNODE* pNodes, const LEADINOUT* pLead)
{
    const bool bLeadIn = pLead != nullptr && pLead->m_bLeadIn != 0;
    const bool bLeadOut = pLead != nullptr && pLead->m_bLeadOut != 0;
    if (pNodes == nullptr)
        return 0.0;
    // Lengths of the segments, first to last.
    std::vector<double> seg;
    for (const DOCNODE* n = pNodes; n->m_pNext != nullptr && n->m_pNext != pNodes; n = n->m_pNext)
        seg.push_back(std::hypot(n->m_pNext->m_x - n->m_x, n->m_pNext->m_y - n->m_y));
    std::size_t from = bLeadIn ? 1 : 0;
    std::size_t to = seg.size();
    if (bLeadOut && to > 0)
        --to;
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += seg[i];
    return sum;
}

std::uint8_t PolylinePointAt(const DOCNODE* pNodes, double dist, double& x, double& y)
{
    if (pNodes == nullptr || pNodes->m_pNext == nullptr || pNodes->m_pNext == pNodes)
        return 0;
    if (std::fabs(dist) < kGeoCoincideTol) {
        x = pNodes->m_x;
        y = pNodes->m_y;
        return 1;
    }
    if (dist < 0.0) {
        x = pNodes->m_x;
        y = pNodes->m_y;
        return 0;
    }
    double walked = 0.0;
    const DOCNODE* n = pNodes;
    for (; n->m_pNext != nullptr && n->m_pNext != pNodes; n = n->m_pNext) {
        const DOCNODE* m = n->m_pNext;
        const double len = std::hypot(m->m_x - n->m_x, m->m_y - n->m_y);
        const double end = walked + len;
        if (dist == end) {
            x = m->m_x;
            y = m->m_y;
            return 1;
        }
        if (dist < end) {
            const double t = (dist - walked) / len;
            x = n->m_x + t * (m->m_x - n->m_x);
            y = n->m_y + t * (m->m_y - n->m_y);
            return 2;
        }
        walked = end;
    }
    x = n->m_x;
    y = n->m_y;
    return 0;
}

bool PolylineContainsPoint(const DOCNODE* pNodes, double x, double y)
{
    bool ring = false;
    const std::vector<Pt> pts = Collect(pNodes, &ring);
    if (pts.size() < 3)
        return false;
    // The centroid of every node that has a successor.
    const std::size_t withNext = ring ? pts.size() : pts.size() - 1;
    double gx = 0.0, gy = 0.0;
    for (std::size_t i = 0; i < withNext; ++i) {
        gx += pts[i].x;
        gy += pts[i].y;
    }
    gx /= static_cast<double>(withNext);
    gy /= static_cast<double>(withNext);
    for (std::size_t i = 0; i < withNext; ++i) {
        const Pt& a = pts[i];
        const Pt& b = pts[(i + 1) % pts.size()];
        const double ex = b.x - a.x, ey = b.y - a.y;
        const double sg = ex * (gy - a.y) - ey * (gx - a.x);
        const double sp = ex * (y - a.y) - ey * (x - a.x);
        if ((sg > 0.0 && sp < 0.0) || (sg < 0.0 && sp > 0.0))
            return false;
    }
    return true;
}

std::uint8_t PolylineClassifyPoint(const DOCNODE* pNodes, double x, double y)
{
    if (pNodes == nullptr)
        return 255;
    const std::vector<Pt> pts = Collect(pNodes);
    if (pts.size() < 3)
        return 255;

    const std::size_t n = pts.size();
    const bool closedByRepeat = pts.front().x == pts.back().x && pts.front().y == pts.back().y;
    const std::size_t edges = closedByRepeat ? n - 1 : n;

    // On the outline.
    for (const Pt& p : pts) {
        if (p.x == x && p.y == y)
            return 1;
    }
    for (std::size_t i = 0; i < edges; ++i) {
        const Pt& a = pts[i];
        const Pt& b = pts[(i + 1) % n];
        if (a.x == b.x) {
            if (x == a.x && y > std::min(a.y, b.y) && y < std::max(a.y, b.y))
                return 1;
            continue;
        }
        if (x > std::min(a.x, b.x) && x < std::max(a.x, b.x)) {
            const double edgeSlope = (b.y - a.y) / (b.x - a.x);
            const double pointSlope = (y - a.y) / (x - a.x);
            if (std::fabs(edgeSlope - pointSlope) < 1e-11)
                return 1;
        }
    }

    // Winding along the ray towards smaller y. Each edge covers its x span
    // half-open (lower end in, upper end out), so a ray through a vertex, or
    // along a vertical edge, counts the outline exactly once there.
    int rightward = 0;
    int leftward = 0;
    for (std::size_t i = 0; i < edges; ++i) {
        const Pt& a = pts[i];
        const Pt& b = pts[(i + 1) % n];
        if (a.x == b.x)
            continue;
        const bool right = a.x < b.x;
        const double lo = right ? a.x : b.x;
        const double hi = right ? b.x : a.x;
        if (!(x >= lo && x < hi))
            continue;
        // Positive when the point lies above the edge's line.
        const double side = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
        if (right && side > 0.0)
            ++rightward;
        else if (!right && side < 0.0)
            ++leftward;
    }
    return rightward == leftward ? 0 : 2;
}

std::uint32_t PolylineOrientation(const DOCNODE* pNodes)
{
    if (pNodes == nullptr)
        return kGeoAllOnes;
    bool ring = false;
    std::vector<Pt> pts = Collect(pNodes, &ring);
    if (pts.size() < 3)
        return kGeoAllOnes & ~1u;
    const bool endsMeet = Coincide(pts.front(), pts.back());
    if (!ring && !endsMeet)
        return kGeoAllOnes & ~2u;
    if (endsMeet)
        pts.pop_back();
    return CyclicOrientation(pts);
}

std::uint32_t PathRingOrientation(const PATHREC* pPath)
{
    if (pPath == nullptr || pPath->m_pSegs == nullptr)
        return kGeoAllOnes;
    std::vector<Pt> pts;
    for (const SEGNODE* s = pPath->m_pSegs; s != nullptr;) {
        pts.push_back({s->m_x0, s->m_y0});
        s = s->m_pNext;
        if (s == pPath->m_pSegs)
            break;
    }
    return CyclicOrientation(pts);
}

void ReverseRing(PATHREC* pPath)
{
    if (pPath == nullptr || pPath->m_pSegs == nullptr)
        return;
    SEGNODE* first = pPath->m_pSegs;
    const bool ring = first->m_pPrev != nullptr;
    if (ring) {
        first->m_pPrev->m_pNext = nullptr;
        first->m_pPrev = nullptr;
    }
    SEGNODE* last = first;
    for (SEGNODE* s = first; s != nullptr;) {
        SEGNODE* next = s->m_pNext;
        std::swap(s->m_x0, s->m_x1);
        std::swap(s->m_y0, s->m_y1);
        std::swap(s->m_z0, s->m_z1);
        std::swap(s->m_nGrey0, s->m_nGrey1);
        std::swap(s->m_pPrev, s->m_pNext);
        last = s;
        s = next;
    }
    pPath->m_pSegs = last;
    if (ring) {
        last->m_pPrev = first;
        first->m_pNext = last;
    }
}

DOCNODE* OffsetPolyline(DOCNODE* pOut, const DOCNODE* p, const DOCNODE* q, const DOCNODE* r, bool bSide,
                        double d)
{
    if (pOut == nullptr)
        return nullptr;
    pOut->m_x = 0.0;
    pOut->m_y = 0.0;
    pOut->m_nKind = NODE_ANCHOR;
    pOut->m_nSelect = NODE_UNSELECTED;
    if (p == nullptr || q == nullptr || r == nullptr)
        return pOut;

    const double px = p->m_x, py = p->m_y, qx = q->m_x, qy = q->m_y, rx = r->m_x, ry = r->m_y;
    const bool collinear = GeoPointLineDistance(qx, qy, rx, ry, px, py) < kGeoCoincideTol &&
                           GeoPointLineDistance(px, py, rx, ry, qx, qy) < kGeoCoincideTol &&
                           GeoPointLineDistance(px, py, qx, qy, rx, ry) < kGeoCoincideTol;
    double x = qx, y = qy;
    if (collinear) {
        double ax, ay, bx, by;
        GeoPerpendicularPoint(px, py, qx, qy, true, bSide, d, ax, ay);
        GeoPerpendicularPoint(qx, qy, rx, ry, false, bSide, d, bx, by);
        GeoPointAlong(ax, ay, bx, by, std::hypot(qx - px, qy - py), x, y);
    } else {
        double a0x, a0y, a1x, a1y, b0x, b0y, b1x, b1y;
        GeoPerpendicularPoint(px, py, qx, qy, true, bSide, d, a0x, a0y);
        GeoPerpendicularPoint(px, py, qx, qy, false, bSide, d, a1x, a1y);
        GeoPerpendicularPoint(qx, qy, rx, ry, true, bSide, d, b0x, b0y);
        GeoPerpendicularPoint(qx, qy, rx, ry, false, bSide, d, b1x, b1y);
        if (GeoLineIntersection(a0x, a0y, a1x, a1y, b0x, b0y, b1x, b1y, x, y) != 0) {
            // A zero-length leg leaves no line to cross: offset Q along the
            // normal of the other leg.
            if (!GeoPerpendicularPoint(qx, qy, rx, ry, true, bSide, d, x, y))
                GeoPerpendicularPoint(px, py, qx, qy, false, bSide, d, x, y);
        }
    }
    pOut->m_x = x;
    pOut->m_y = y;
    return pOut;
}
