#include "NestEngine.h"

#include "OutlineIndex.h"
#include "SpatialGrid.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "model/PolylineGeometry.h"
#include "platform/Messages.h"
#include "platform/TickCount.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <system_error>

namespace {

void FreeOutlines(std::vector<DOCNODE*>& outlines)
{
    for (DOCNODE*& n : outlines)
        CDocState::FreeNodeList(n);
    outlines.clear();
}

// ---- Parts ----------------------------------------------------------------

// The outlines of an object as the nesting sees them: a group's or text's
// children's, an image's box, otherwise the object's point list (curves
// flattened), each a new open list of anchors with x and y only.
void CollectOutlines(CDocData* o, std::vector<DOCNODE*>& out, bool& turns)
{
    if (CDocData** children = o->ChildList()) {
        for (CDocData* c = *children; c != nullptr; c = c->m_pNext)
            CollectOutlines(c, out, turns);
        return;
    }
    if (o->GetType() == MT_BITMAP) {
        // An image turns only by quarter turns, rewriting its file: it keeps
        // its orientation here.
        turns = false;
        const CGeoBox b = o->GetBoundRect();
        if (b.IsEmpty())
            return;
        DOCNODE* head = AppendNode(nullptr, b.m_xmin, b.m_ymin);
        DOCNODE* n = AppendNode(head, b.m_xmax, b.m_ymin);
        n = AppendNode(n, b.m_xmax, b.m_ymax);
        n = AppendNode(n, b.m_xmin, b.m_ymax);
        AppendNode(n, b.m_xmin, b.m_ymin);
        out.push_back(head);
        return;
    }
    DOCNODE* raw = o->CopyNodes();
    DOCNODE* list = CopyPointList(raw);
    CDocState::FreeNodeList(raw);
    if (list == nullptr)
        return;
    for (DOCNODE* n = list; n != nullptr; n = n->m_pNext) {
        n->m_nKind = NODE_ANCHOR;
        n->m_nSelect = NODE_UNSELECTED;
    }
    out.push_back(list);
}

// Half the absolute sum over consecutive node pairs (no closing pair).
double ListArea(const DOCNODE* head)
{
    double sum = 0.0;
    for (const DOCNODE* n = head; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext)
        sum += n->m_x * n->m_pNext->m_y - n->m_pNext->m_x * n->m_y;
    return std::fabs(sum) / 2.0;
}

NestPart MakePart(CDocData* object)
{
    NestPart part;
    part.m_pObject = CloneDocData(object, false);
    CollectOutlines(object, part.m_pOutline, part.m_bTurns);
    bool any = false;
    CGeoBox box(0.0, 0.0, 0.0, 0.0);
    for (DOCNODE* head : part.m_pOutline) {
        for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
            if (!std::isfinite(n->m_x) || !std::isfinite(n->m_y))
                part.m_bUsable = false;
            if (!any)
                box = CGeoBox(n->m_x, n->m_x, n->m_y, n->m_y);
            box.m_xmin = std::min(box.m_xmin, n->m_x);
            box.m_xmax = std::max(box.m_xmax, n->m_x);
            box.m_ymin = std::min(box.m_ymin, n->m_y);
            box.m_ymax = std::max(box.m_ymax, n->m_y);
            any = true;
        }
    }
    if (!part.m_bUsable) {
        FreeOutlines(part.m_pOutline);
        part.m_rcBound = CGeoBox(0.0, 0.0, 0.0, 0.0);
        return part;
    }
    part.m_ptCentre = box.Center();
    const double cx = part.m_ptCentre.m_x, cy = part.m_ptCentre.m_y;
    any = false;
    for (DOCNODE* head : part.m_pOutline) {
        for (DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
            n->m_x -= cx;
            n->m_y -= cy;
            if (!any)
                box = CGeoBox(n->m_x, n->m_x, n->m_y, n->m_y);
            box.m_xmin = std::min(box.m_xmin, n->m_x);
            box.m_xmax = std::max(box.m_xmax, n->m_x);
            box.m_ymin = std::min(box.m_ymin, n->m_y);
            box.m_ymax = std::max(box.m_ymax, n->m_y);
            any = true;
        }
    }
    part.m_rcBound = any ? box : CGeoBox(0.0, 0.0, 0.0, 0.0);
    // Of several outlines only those inside no other one count: a hole, or
    // a letter's inner contour, covers no sheet of its own.
    const std::vector<DOCNODE*>& outlines = part.m_pOutline;
    for (std::size_t i = 0; i < outlines.size(); ++i) {
        bool inner = false;
        for (std::size_t j = 0; j < outlines.size() && !inner && outlines.size() > 1; ++j) {
            if (j != i && CountNodes(outlines[j]) >= 3)
                inner = PolylineClassifyPoint(outlines[j], outlines[i]->m_x, outlines[i]->m_y) == 2;
        }
        if (!inner)
            part.m_dArea += ListArea(outlines[i]);
    }
    return part;
}

// ---- Placing --------------------------------------------------------------

struct Pt {
    double x;
    double y;
};

// One outline of a gene as the collision tests read it.
struct Contour {
    std::vector<Pt> pts;
    double xmin = 0.0;
    double xmax = 0.0;
    double ymin = 0.0;
    double ymax = 0.0;
    std::unique_ptr<plat::OutlineIndex> index; // answers as PolylineClassifyPoint
};

struct Shape {
    std::vector<Contour> contours;
};

Shape MakeShape(const std::vector<DOCNODE*>& outlines)
{
    Shape shape;
    for (const DOCNODE* head : outlines) {
        if (head == nullptr)
            continue;
        Contour c;
        for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext)
            c.pts.push_back({n->m_x, n->m_y});
        c.xmin = c.xmax = c.pts.front().x;
        c.ymin = c.ymax = c.pts.front().y;
        for (const Pt& p : c.pts) {
            c.xmin = std::min(c.xmin, p.x);
            c.xmax = std::max(c.xmax, p.x);
            c.ymin = std::min(c.ymin, p.y);
            c.ymax = std::max(c.ymax, p.y);
        }
        c.index = std::make_unique<plat::OutlineIndex>(head);
        shape.contours.push_back(std::move(c));
    }
    return shape;
}

// A margin far above the rounding of coordinates of this size.
double Margin(double a, double b, double c)
{
    return 1e-9 * (1.0 + std::fabs(a) + std::fabs(b) + std::fabs(c));
}

// Whether the point, in the outline's frame, is on or inside the outline.
// When it lies inside clearly apart from the edges above and below it,
// `rise` (moving the point up) or `fall` (down) becomes how far it can move
// that way and still be inside: the point keeps hitting over that run.
bool PointHits(const Contour& c, double x, double y, bool up, double& run)
{
    if (c.pts.size() < 3)
        return true; // an outline of fewer than three nodes counts as hit
    const double my = Margin(c.ymin, c.ymax, c.xmax - c.xmin);
    if (y > c.ymax + my || y < c.ymin - my)
        return false;
    const std::uint8_t k = c.index->Classify(x, y);
    if (k == 0)
        return false;
    if (k == 2) {
        double above = 0.0, below = 0.0;
        c.index->VerticalGaps(x, y, above, below);
        const double ahead = up ? above : below, behind = up ? below : above;
        const double m = Margin(y, ahead, c.ymax - c.ymin);
        if (std::isfinite(ahead) && ahead > m && behind > m)
            run = std::max(run, ahead - m);
    }
    return true;
}

// Whether a placed gene's outlines collide with a candidate's moved by
// (dx, dy): a node of one on or inside the other, or two edges meeting
// (touching counts). `skip` becomes how much further up the candidate can
// move and still collide.
bool Collides(const Shape& a, const Shape& b, double dx, double dy, double& skip)
{
    skip = 0.0;
    for (const Contour& ca : a.contours) {
        for (const Contour& cb : b.contours) {
            if (ca.xmin > cb.xmax + dx || cb.xmin + dx > ca.xmax || ca.ymin > cb.ymax + dy || cb.ymin + dy > ca.ymax)
                continue;
            // A hit decides; the first hit that also gives a run up decides
            // the skip.
            bool hit = false;
            for (const Pt& p : cb.pts) {
                hit = PointHits(ca, p.x + dx, p.y + dy, true, skip) || hit;
                if (skip > 0.0)
                    return true;
            }
            for (const Pt& p : ca.pts) {
                hit = PointHits(cb, p.x - dx, p.y - dy, false, skip) || hit;
                if (skip > 0.0)
                    return true;
            }
            if (hit)
                return true;
            // Two edges can meet only inside the overlap of the two boxes.
            const double rx0 = std::max(ca.xmin, cb.xmin + dx), rx1 = std::min(ca.xmax, cb.xmax + dx);
            const double ry0 = std::max(ca.ymin, cb.ymin + dy), ry1 = std::min(ca.ymax, cb.ymax + dy);
            auto meets = [&](double x0, double y0, double x1, double y1) {
                return !(std::max(x0, x1) < rx0 || std::min(x0, x1) > rx1 || std::max(y0, y1) < ry0 ||
                         std::min(y0, y1) > ry1);
            };
            std::vector<std::size_t> ea;
            for (std::size_t i = 0; i + 1 < ca.pts.size(); ++i) {
                if (meets(ca.pts[i].x, ca.pts[i].y, ca.pts[i + 1].x, ca.pts[i + 1].y))
                    ea.push_back(i);
            }
            if (ea.empty())
                continue;
            for (std::size_t j = 0; j + 1 < cb.pts.size(); ++j) {
                const double q0x = cb.pts[j].x + dx, q0y = cb.pts[j].y + dy;
                const double q1x = cb.pts[j + 1].x + dx, q1y = cb.pts[j + 1].y + dy;
                if (!meets(q0x, q0y, q1x, q1y))
                    continue;
                for (std::size_t i : ea) {
                    double x = 0.0, y = 0.0;
                    if (GeoSegmentIntersection(ca.pts[i].x, ca.pts[i].y, ca.pts[i + 1].x, ca.pts[i + 1].y, q0x, q0y,
                                               q1x, q1y, x, y) != 0)
                        return true;
                }
            }
        }
    }
    return false;
}

void MoveOutlines(NestGene& g, double dx, double dy)
{
    for (DOCNODE* head : g.m_pOutline) {
        for (DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
            n->m_x += dx;
            n->m_y += dy;
        }
    }
    g.m_rcBound.m_xmin += dx;
    g.m_rcBound.m_xmax += dx;
    g.m_rcBound.m_ymin += dy;
    g.m_rcBound.m_ymax += dy;
    g.m_dShiftX += dx;
    g.m_dShiftY += dy;
}

plat::LPARAM RatioParam(double ratio)
{
    if (!(ratio > 0.0))
        return 0;
    return static_cast<plat::LPARAM>(std::min(ratio, 100.0));
}

} // namespace

// ---- Records --------------------------------------------------------------

NestPart::NestPart(NestPart&& other) noexcept
{
    *this = std::move(other);
}

NestPart& NestPart::operator=(NestPart&& other) noexcept
{
    if (this != &other) {
        FreeOutlines(m_pOutline);
        delete m_pObject;
        m_pOutline = std::move(other.m_pOutline);
        other.m_pOutline.clear();
        m_dArea = other.m_dArea;
        m_rcBound = other.m_rcBound;
        m_ptCentre = other.m_ptCentre;
        m_pObject = other.m_pObject;
        other.m_pObject = nullptr;
        m_bTurns = other.m_bTurns;
        m_bUsable = other.m_bUsable;
    }
    return *this;
}

NestPart::~NestPart()
{
    FreeOutlines(m_pOutline);
    delete m_pObject;
}

NestGene::NestGene(NestGene&& other) noexcept
{
    *this = std::move(other);
}

NestGene& NestGene::operator=(NestGene&& other) noexcept
{
    if (this != &other) {
        FreeOutline();
        m_nPart = other.m_nPart;
        m_nRotation = other.m_nRotation;
        m_pOutline = std::move(other.m_pOutline);
        other.m_pOutline.clear();
        m_rcBound = other.m_rcBound;
        m_dShiftX = other.m_dShiftX;
        m_dShiftY = other.m_dShiftY;
        m_bPlaced = other.m_bPlaced;
    }
    return *this;
}

NestGene::~NestGene()
{
    FreeOutline();
}

void NestGene::FreeOutline()
{
    FreeOutlines(m_pOutline);
}

// ---- Engine ---------------------------------------------------------------

CNestEngine::CNestEngine() : m_rng(plat::GetTickCount())
{
}

CNestEngine::~CNestEngine()
{
    Stop();
}

bool CNestEngine::SettingsUsable() const
{
    const NestSettings& s = m_settings;
    return s.m_sizex > 0.0 && std::isfinite(s.m_sizex) && s.m_sizey > 0.0 && std::isfinite(s.m_sizey) &&
           s.m_step > 0.0 && std::isfinite(s.m_step) && !(s.m_rot_allow != 0 && s.m_rot_sum == 0);
}

void CNestEngine::FreeAll()
{
    m_pParts.reset();
    m_pBest.reset();
    m_pCurrent.reset();
    m_nCount = 0;
    m_dTotalArea = 0.0;
    m_dBestRatio = 0.0;
    m_dCurRatio = 0.0;
}

void CNestEngine::Join()
{
    if (m_hThread.joinable())
        m_hThread.join();
    m_bEnded = true;
}

void CNestEngine::StopWorker()
{
    m_bStop = 1;
    Join();
}

void CNestEngine::Stop()
{
    StopWorker();
    FreeAll();
}

bool CNestEngine::IsRunning() const
{
    return m_hThread.joinable() && !m_bEnded.load();
}

std::uint32_t CNestEngine::UnplacedCount() const
{
    if (m_pBest == nullptr)
        return static_cast<std::uint32_t>(m_nCount);
    std::uint32_t count = 0;
    for (std::int32_t k = 0; k < m_nCount; ++k)
        count += m_pBest[k].m_bPlaced == 0 ? 1 : 0;
    return count;
}

bool CNestEngine::BuildParts(DOCCONTEXT* ctx)
{
    FreeAll();
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    std::int32_t n = 0;
    for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        n += o->IsSelected() != 0 ? 1 : 0;
    if (n == 0)
        return false;
    std::vector<NestPart> parts;
    parts.reserve(static_cast<std::size_t>(n));
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr && parts.size() < static_cast<std::size_t>(n);
         o = o->m_pNext) {
        if (o->IsSelected() != 0)
            parts.push_back(MakePart(o));
    }
    // Largest area first, by the designed exchange order (equal areas keep
    // the order this gives them).
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (std::size_t j = i; j < parts.size(); ++j) {
            if (parts[j].m_dArea > parts[i].m_dArea)
                std::swap(parts[i], parts[j]);
        }
    }
    m_nCount = n;
    m_pParts = std::make_unique<NestPart[]>(static_cast<std::size_t>(n));
    m_pCurrent = std::make_unique<NestGene[]>(static_cast<std::size_t>(n));
    for (std::int32_t k = 0; k < n; ++k) {
        m_dTotalArea += parts[static_cast<std::size_t>(k)].m_dArea;
        m_pParts[k] = std::move(parts[static_cast<std::size_t>(k)]);
        m_pCurrent[k].m_nPart = static_cast<std::uint32_t>(k);
    }
    return true;
}

double CNestEngine::RotationAngle(std::uint32_t position) const
{
    if (position == 0 || m_settings.m_rot_sum == 0)
        return 0.0;
    const double degrees = position * 360.0 / m_settings.m_rot_sum;
    return degrees * std::numbers::pi / 180.0;
}

void CNestEngine::Decode(NestGene* genes) const
{
    for (std::int32_t k = 0; k < m_nCount; ++k) {
        NestGene& g = genes[k];
        g.FreeOutline();
        g.m_bPlaced = 0;
        g.m_dShiftX = g.m_dShiftY = 0.0;
        const NestPart& part = m_pParts[g.m_nPart];
        if (!part.m_bUsable) {
            g.m_rcBound = CGeoBox(0.0, 0.0, 0.0, 0.0);
            continue;
        }
        const double angle = part.m_bTurns ? RotationAngle(g.m_nRotation) : 0.0;
        bool any = false;
        CGeoBox box(0.0, 0.0, 0.0, 0.0);
        for (const DOCNODE* head : part.m_pOutline) {
            DOCNODE* copy = nullptr;
            DOCNODE* tail = nullptr;
            for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
                double x = n->m_x, y = n->m_y;
                if (angle != 0.0)
                    GeoRotatePoint(0.0, 0.0, n->m_x, n->m_y, angle, x, y);
                tail = AppendNode(tail, x, y);
                if (copy == nullptr)
                    copy = tail;
                if (!any)
                    box = CGeoBox(x, x, y, y);
                box.m_xmin = std::min(box.m_xmin, x);
                box.m_xmax = std::max(box.m_xmax, x);
                box.m_ymin = std::min(box.m_ymin, y);
                box.m_ymax = std::max(box.m_ymax, y);
                any = true;
            }
            if (copy != nullptr)
                g.m_pOutline.push_back(copy);
        }
        // The box's minimum corner onto (0, 0).
        const double sx = -box.m_xmin, sy = -box.m_ymin;
        CGeoBox moved(0.0, 0.0, 0.0, 0.0);
        any = false;
        for (DOCNODE* head : g.m_pOutline) {
            for (DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
                n->m_x += sx;
                n->m_y += sy;
                if (!any)
                    moved = CGeoBox(n->m_x, n->m_x, n->m_y, n->m_y);
                moved.m_xmin = std::min(moved.m_xmin, n->m_x);
                moved.m_xmax = std::max(moved.m_xmax, n->m_x);
                moved.m_ymin = std::min(moved.m_ymin, n->m_y);
                moved.m_ymax = std::max(moved.m_ymax, n->m_y);
                any = true;
            }
        }
        g.m_rcBound = moved;
        g.m_dShiftX = sx;
        g.m_dShiftY = sy;
    }
}

bool CNestEngine::Place(NestGene* genes) const
{
    const double step = m_settings.m_step;
    const double sizex = m_settings.m_sizex;
    const double sizey = m_settings.m_sizey;
    if (m_nCount <= 0 || !SettingsUsable())
        return true;

    // The placed genes, indexed by their boxes. A column of candidate places
    // asks the index once for the genes its strip meets; each place then
    // looks only at those whose boxes reach it, lowest first.
    std::vector<double> sizes;
    for (std::int32_t k = 0; k < m_nCount; ++k)
        sizes.push_back(std::max(genes[k].m_rcBound.Width(), genes[k].m_rcBound.Height()));
    plat::SpatialGrid grid(plat::SpatialGrid::MedianCell(std::move(sizes)), static_cast<std::size_t>(m_nCount));
    std::vector<Shape> shapes;
    std::vector<CGeoBox> boxes;
    std::vector<std::uint32_t> column;
    double beside = sizex + step;

    for (std::int32_t k = 0; k < m_nCount; ++k) {
        if (m_bStop.load(std::memory_order_relaxed) != 0)
            return false;
        NestGene& g = genes[k];
        g.m_bPlaced = 0;
        if (!m_pParts[g.m_nPart].m_bUsable)
            continue;
        const CGeoBox b = g.m_rcBound;
        const double w = b.Width(), h = b.Height();
        const Shape shape = MakeShape(g.m_pOutline);
        bool placed = false;
        for (std::uint64_t i = 0; !placed; ++i) {
            const double dx = static_cast<double>(i) * step;
            if (!(w + dx < sizex))
                break;
            if (m_bStop.load(std::memory_order_relaxed) != 0)
                return false;
            column.clear();
            grid.ForEachInRect(
                b.m_xmin + dx, b.m_xmax + dx, b.m_ymin, b.m_ymax + sizey, [](std::uint32_t) { return true; },
                [&](std::uint32_t p) {
                    const CGeoBox& a = boxes[p];
                    if (!(a.m_xmin > b.m_xmax + dx || b.m_xmin + dx > a.m_xmax))
                        column.push_back(p);
                });
            std::sort(column.begin(), column.end(),
                      [&](std::uint32_t p, std::uint32_t q) { return boxes[p].m_ymin < boxes[q].m_ymin; });
            std::size_t first = 0;
            for (std::uint64_t j = 0;;) {
                const double dy = static_cast<double>(j) * step;
                if (!(h + dy < sizey))
                    break;
                while (first < column.size() && boxes[column[first]].m_ymax < b.m_ymin + dy)
                    ++first;
                bool hit = false;
                double skip = 0.0;
                for (std::size_t c = first; c < column.size() && !hit; ++c) {
                    const CGeoBox& a = boxes[column[c]];
                    if (a.m_ymin > b.m_ymax + dy)
                        break;
                    if (b.m_ymin + dy > a.m_ymax)
                        continue;
                    hit = Collides(shapes[column[c]], shape, dx, dy, skip);
                }
                if (!hit) {
                    MoveOutlines(g, dx, dy);
                    g.m_bPlaced = 1;
                    placed = true;
                    break;
                }
                // Every place up to dy + skip collides as well.
                std::uint64_t next = j + 1;
                if (skip > 0.0) {
                    const double last = std::floor((dy + skip) / step);
                    if (last >= static_cast<double>(next) && last < 1e18)
                        next = static_cast<std::uint64_t>(last) + 1;
                }
                j = next;
            }
        }
        if (placed) {
            const CGeoBox& a = g.m_rcBound;
            grid.AddBox(a.m_xmin, a.m_xmax, a.m_ymin, a.m_ymax, static_cast<std::uint32_t>(boxes.size()));
            boxes.push_back(a);
            shapes.push_back(MakeShape(g.m_pOutline));
        } else {
            // Beside the sheet, in a row to its right.
            MoveOutlines(g, beside - b.m_xmin, -b.m_ymin);
            beside += w + step;
        }
    }
    return true;
}

double CNestEngine::Score(const NestGene* genes) const
{
    double area = 0.0;
    double right = 0.0;
    double top = 0.0;
    for (std::int32_t k = 0; k < m_nCount; ++k) {
        const NestGene& g = genes[k];
        if (g.m_bPlaced == 0)
            continue;
        area += m_pParts[g.m_nPart].m_dArea;
        right = std::max(right, g.m_rcBound.m_xmax);
        top = std::max(top, g.m_rcBound.m_ymax);
    }
    const double whole = right * top;
    if (!(whole > 0.0) || !std::isfinite(whole))
        return 0.0;
    const double ratio = area * 100.0 / whole;
    return std::isfinite(ratio) ? ratio : 0.0;
}

bool CNestEngine::RunGeneration()
{
    if (m_pCurrent == nullptr)
        return false;
    Decode(m_pCurrent.get());
    if (!Place(m_pCurrent.get()))
        return false;
    m_dCurRatio = Score(m_pCurrent.get());
    if (m_pBest == nullptr || m_dCurRatio > m_dBestRatio) {
        if (m_pBest == nullptr)
            m_pBest = std::make_unique<NestGene[]>(static_cast<std::size_t>(m_nCount));
        for (std::int32_t k = 0; k < m_nCount; ++k) {
            NestGene& from = m_pCurrent[k];
            NestGene& to = m_pBest[k];
            to.FreeOutline();
            to.m_nPart = from.m_nPart;
            to.m_nRotation = from.m_nRotation;
            to.m_rcBound = from.m_rcBound;
            to.m_dShiftX = from.m_dShiftX;
            to.m_dShiftY = from.m_dShiftY;
            to.m_bPlaced = from.m_bPlaced;
            to.m_pOutline = std::move(from.m_pOutline);
            from.m_pOutline.clear();
        }
        m_dBestRatio = m_dCurRatio;
    }
    return true;
}

void CNestEngine::Mutate()
{
    const std::uint32_t n = static_cast<std::uint32_t>(m_nCount);
    if (n == 0 || m_pCurrent == nullptr)
        return;
    const std::uint32_t rate = m_dBestRatio > m_dCurRatio ? 30 : 15;
    auto draw = [&] { return m_rng() % 100 < rate; };
    if (m_settings.m_rot_allow == 0) {
        for (std::uint32_t t = 0; t < n; ++t) {
            if (!draw())
                continue;
            const std::uint32_t i = m_rng() % n;
            const std::uint32_t j = m_rng() % n;
            std::swap(m_pCurrent[i].m_nPart, m_pCurrent[j].m_nPart);
            std::swap(m_pCurrent[i].m_nRotation, m_pCurrent[j].m_nRotation);
            std::swap(m_pCurrent[i].m_rcBound, m_pCurrent[j].m_rcBound);
        }
    } else if (m_settings.m_rot_sum > 0) {
        for (std::uint32_t k = 0; k < n; ++k) {
            if (draw())
                m_pCurrent[k].m_nRotation = (m_pCurrent[k].m_nRotation + 1) % m_settings.m_rot_sum;
        }
    }
}

void CNestEngine::Work()
{
    for (;;) {
        if (!RunGeneration())
            break;
        plat::PostMessage(m_hOwner, WM_NEST_PROGRESS, 0, RatioParam(m_dBestRatio));
        if (m_dBestRatio >= static_cast<double>(m_settings.m_limit_ratio))
            break;
        const std::uint32_t elapsed = plat::GetTickCount() - m_settings.m_start_time;
        if (static_cast<std::uint64_t>(elapsed) > static_cast<std::uint64_t>(m_settings.m_limit_time) * 1000u)
            break;
        if (m_bStop.load() != 0)
            break;
        Mutate();
    }
    m_bEnded.store(true);
    plat::PostMessage(m_hOwner, WM_NEST_DONE, 0, 0);
}

void CNestEngine::Start(plat::HWND owner, DOCCONTEXT* ctx)
{
    Stop();
    m_hOwner = owner;
    m_bStop = 0;
    bool usable = BuildParts(ctx) && SettingsUsable();
    // Parts that cover nothing (no nodes, a point, a bar) keep the
    // utilisation at 0 whatever the layout: without one part of some area
    // no generation could ever improve on the first, so the run ends here.
    if (usable) {
        usable = false;
        for (std::int32_t k = 0; k < m_nCount; ++k)
            usable = usable || (m_pParts[k].m_bUsable && m_pParts[k].m_dArea > 0.0);
    }
    if (usable) {
        m_bEnded = false;
        try {
            m_hThread = std::thread([this] { Work(); });
            return;
        } catch (const std::system_error&) {
            m_bEnded = true;
        }
    }
    plat::PostMessage(owner, WM_NEST_DONE, 0, 0);
}

CDocData* CNestEngine::ApplyResult(DOCCONTEXT* ctx)
{
    if (m_hThread.joinable()) {
        if (!m_bEnded.load())
            return nullptr;
        m_hThread.join();
    }
    if (m_pBest == nullptr)
        return nullptr;
    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    for (std::int32_t k = 0; k < m_nCount; ++k) {
        const NestGene& g = m_pBest[k];
        const NestPart& part = m_pParts[g.m_nPart];
        if (part.m_pObject == nullptr)
            continue;
        CDocData* copy = CloneDocData(part.m_pObject, false);
        if (copy == nullptr)
            continue;
        if (part.m_bUsable) {
            // The placed outline is the part's outline (centred on its box
            // centre), turned about (0, 0) and moved by the gene's shift.
            const double angle = part.m_bTurns ? RotationAngle(g.m_nRotation) : 0.0;
            if (angle != 0.0)
                copy->Rotate(part.m_ptCentre, angle, ctx);
            copy->Move(part.m_ptCentre, CGeoPoint(g.m_dShiftX + kWorldOrigin, g.m_dShiftY + kWorldOrigin), ctx);
            copy->RecalcBoundRect(ctx);
        }
        AppendObject(head, tail, copy);
    }
    return head;
}
