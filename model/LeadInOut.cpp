#include "LeadInOut.h"

#include "DocContext.h"
#include "DocListNode.h"
#include "DocState.h"
#include "GeoFunctions.h"
#include "PolylineGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <unordered_map>
#include <vector>

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
// Share of the way to the nearest crossing that a clipped lead keeps.
constexpr double kClipShare = 0.7;
// Tolerances of the start placement: the curve placer's and the polyline's.
constexpr double kPlaceTol = 0.001;
// The end-gap marker sits 5 % of the outline before its end, at least 50
// units on outlines longer than 200 units.
constexpr double kMarkShare = 0.05;
constexpr double kMarkMinBack = 50.0;
constexpr double kMarkMinLength = 200.0;
// Share of the size of its coordinates (plus one unit) by which a start
// point is grown before an outline's box rules out enclosing it: far above
// the rounding of the point-in-polygon test's on-the-outline check.
constexpr double kReachMargin = 1e-6;

plat::CurveStartPlacer g_curveStartPlacer = nullptr;

bool IsComposite(const CDocData* obj)
{
    return obj->m_nType == MT_GROUP || obj->m_nType == MT_CHAR;
}

CDocData* ChildrenOf(CDocData* obj)
{
    CDocData** children = obj->ChildList();
    return children != nullptr ? *children : nullptr;
}

CDocData* DocumentObjects(const DOCCONTEXT* ctx)
{
    return ctx != nullptr && ctx->m_pCurrent != nullptr ? ctx->m_pCurrent->m_pFirst : nullptr;
}

bool LeadInOn(const LEADINOUT& rec)
{
    return rec.m_bLeadIn != 0 && rec.m_dInLength > kMinLeadLength;
}

bool LeadOutOn(const LEADINOUT& rec)
{
    return rec.m_bLeadOut != 0 && rec.m_dOutLength > kMinLeadLength;
}

double Distance(const DOCNODE* a, const DOCNODE* b)
{
    return std::hypot(b->m_x - a->m_x, b->m_y - a->m_y);
}

// One lead line and the nearest crossing found on it so far.
struct LeadProbe {
    bool on = false;
    double sx = 0.0, sy = 0.0; // outline end
    double px = 0.0, py = 0.0; // lead point as built
    double best = 0.0;         // |dx| + |dy| of the candidate from the end
    double kx = 0.0, ky = 0.0;
    bool found = false;

    void Start(double endX, double endY, double leadX, double leadY)
    {
        on = true;
        sx = endX;
        sy = endY;
        px = leadX;
        py = leadY;
        best = std::fabs(px - sx) + std::fabs(py - sy);
    }
    void Test(const DOCNODE* a, const DOCNODE* b)
    {
        if (!on)
            return;
        double x = 0.0, y = 0.0;
        if (GeoSegmentIntersection(sx, sy, px, py, a->m_x, a->m_y, b->m_x, b->m_y, x, y) == 0)
            return;
        const double d = std::fabs(x - sx) + std::fabs(y - sy);
        if (d < best) {
            best = d;
            kx = x;
            ky = y;
            found = true;
        }
    }
};

bool BoxMisses(const CGeoBox& query, double xmin, double xmax, double ymin, double ymax)
{
    return xmax < query.m_xmin || xmin > query.m_xmax || ymax < query.m_ymin || ymin > query.m_ymax;
}

// The box that holds every point of the object's point list (CopyNodes),
// found without making the list, and whether the list has three points or
// more. Polylines and rectangles list their nodes, which their kept box
// holds (their operations keep it up to date; the empty box is not
// trusted). Curves list points of their cubics, which stay inside the box of
// their control points; a whole segment flattens into three points at
// least. Other classes are not known here. False when the box is not known
// or not a box of numbers: such outlines are measured in full.
bool OutlineReach(const CDocData* o, CGeoBox& box, bool& three)
{
    const DOCNODE* head = o->m_pNodes;
    if (head == nullptr)
        return false;
    if (o->m_nType == MT_LINE || o->m_nType == MT_RECT) {
        box = o->m_rcBound;
        three = head->m_pNext != nullptr && head->m_pNext->m_pNext != nullptr;
    } else if (o->m_nType == MT_BEZIER || o->m_nType == MT_ELLIPSE) {
        box = CGeoBox(head->m_x, head->m_x, head->m_y, head->m_y);
        int count = 0;
        for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
            box.m_xmin = std::fmin(box.m_xmin, n->m_x);
            box.m_xmax = std::fmax(box.m_xmax, n->m_x);
            box.m_ymin = std::fmin(box.m_ymin, n->m_y);
            box.m_ymax = std::fmax(box.m_ymax, n->m_y);
            if (!std::isfinite(n->m_x) || !std::isfinite(n->m_y))
                return false;
            ++count;
            if (n->m_pNext == head)
                break;
        }
        three = count >= 4;
        return true;
    } else {
        return false;
    }
    return std::isfinite(box.m_xmin) && std::isfinite(box.m_xmax) && std::isfinite(box.m_ymin) &&
           std::isfinite(box.m_ymax) && !box.IsEmpty();
}

// True when every point of the object's point list lies outside the query
// box; with `needThree` the list must also have three points or more.
bool OutlineMisses(const CDocData* o, const CGeoBox& query, bool needThree)
{
    CGeoBox box;
    bool three = false;
    return OutlineReach(o, box, three) && BoxMisses(query, box.m_xmin, box.m_xmax, box.m_ymin, box.m_ymax) &&
           (!needThree || three);
}

bool HasNaN(const CGeoBox& b)
{
    return std::isnan(b.m_xmin) || std::isnan(b.m_xmax) || std::isnan(b.m_ymin) || std::isnan(b.m_ymax);
}

// The selected outlines of a document (groups and texts searched through),
// in document order, indexed by the boxes that hold their point lists: a
// grid of square cells about as large as the outlines usually are, which
// keeps only the cells that hold something, and a list of the outlines
// every query visits (those of unknown box, and those over too many cells).
// A lead build that asks it measures only the outlines that may reach its
// start or its leads; every other one would be passed over by its box
// anyway, so the results are those of a walk over the whole document. Made
// once for the builds of one command; the built object's own outline
// changes with its start placement, so it is looked at again then.
class OutlineIndex {
public:
    explicit OutlineIndex(CDocData* list)
    {
        Collect(list);
        m_seen.assign(m_entries.size(), 0);
        MakeGrid();
    }

    // Calls `visit` once for every outline that may have a point in the box;
    // for the enclosing count (`forCount`) also for the outlines that may
    // list fewer than three points, which count wherever they are. With
    // `inOrder` the visits follow the document order. A box that is not a
    // box of numbers visits everything.
    template <class Visit> void ForEachNear(const CGeoBox& query, bool forCount, bool inOrder, Visit&& visit)
    {
        if (HasNaN(query)) {
            for (const Entry& e : m_entries)
                visit(e.obj);
            return;
        }
        if (++m_round == 0) {
            std::fill(m_seen.begin(), m_seen.end(), 0U);
            m_round = 1;
        }
        m_found.clear();
        TakeCells(Index(query.m_xmin), Index(query.m_xmax), Index(query.m_ymin, m_y0),
                  Index(query.m_ymax, m_y0));
        for (const std::uint32_t id : m_everywhere)
            Take(id);
        if (forCount) {
            for (const std::uint32_t id : m_short)
                Take(id);
        }
        if (inOrder)
            std::sort(m_found.begin(), m_found.end());
        for (const std::uint32_t id : m_found)
            visit(m_entries[id].obj);
    }

    // Called after an outline of the document changed: when it no longer
    // lies inside the box it was indexed by, or may now list fewer than three
    // points, every query visits it from now on.
    void Changed(const CDocData* obj)
    {
        const auto it = m_ids.find(obj);
        if (it == m_ids.end())
            return;
        Entry& e = m_entries[it->second];
        if (e.everywhere)
            return;
        CGeoBox now;
        bool three = false;
        if (OutlineReach(obj, now, three) && now.IsInside(e.box) && (three || !e.three))
            return;
        e.everywhere = true;
        m_everywhere.push_back(it->second);
        m_short.push_back(it->second);
    }

private:
    struct Entry {
        CDocData* obj = nullptr;
        CGeoBox box;
        bool three = false;
        bool everywhere = false; // not in the grid, or moved out of its cells
    };

    // An outline over more cells than this is visited by every query
    // instead: a few large outlines must not fill the grid.
    static constexpr double kMaxCells = 64.0;
    // Cell numbers are clamped to this, so that far-off coordinates share
    // the outermost cells instead of overflowing.
    static constexpr double kMaxIndex = 2147483647.0;

    void Collect(CDocData* list)
    {
        for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
            if (IsComposite(o)) {
                Collect(ChildrenOf(o));
                continue;
            }
            if (!o->IsSelected())
                continue;
            Entry e;
            e.obj = o;
            e.everywhere = !OutlineReach(o, e.box, e.three);
            m_ids.emplace(o, static_cast<std::uint32_t>(m_entries.size()));
            m_entries.push_back(e);
        }
    }

    // The cell side is the median size of the outlines, so that a stray
    // outline far away or a few large ones do not coarsen the grid; each
    // outline is listed in every cell its box meets.
    void MakeGrid()
    {
        std::vector<double> sizes;
        for (const Entry& e : m_entries) {
            if (e.everywhere)
                continue;
            sizes.push_back(std::fmax(e.box.Width(), e.box.Height()));
            m_x0 = sizes.size() == 1 ? e.box.m_xmin : std::fmin(m_x0, e.box.m_xmin);
            m_y0 = sizes.size() == 1 ? e.box.m_ymin : std::fmin(m_y0, e.box.m_ymin);
        }
        if (!sizes.empty()) {
            std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
            const double median = sizes[sizes.size() / 2];
            // Mostly single points: cells of one unit.
            m_cell = median > 0.0 && std::isfinite(median) ? median : 1.0;
        }

        std::vector<std::pair<std::uint64_t, std::uint32_t>> listed; // (cell, outline)
        for (std::uint32_t id = 0; id < m_entries.size(); ++id) {
            Entry& e = m_entries[id];
            if (!e.everywhere) {
                const std::uint32_t c0 = Index(e.box.m_xmin), c1 = Index(e.box.m_xmax);
                const std::uint32_t r0 = Index(e.box.m_ymin, m_y0), r1 = Index(e.box.m_ymax, m_y0);
                e.everywhere = (c1 - c0 + 1.0) * (r1 - r0 + 1.0) > kMaxCells;
                if (!e.everywhere) {
                    for (std::uint32_t r = r0; r <= r1; ++r) {
                        for (std::uint32_t c = c0; c <= c1; ++c)
                            listed.emplace_back(Key(c, r), id);
                    }
                    if (!e.three)
                        m_short.push_back(id);
                }
            }
            if (e.everywhere)
                m_everywhere.push_back(id);
        }
        // Sorted by cell and, within a cell, by document order.
        std::sort(listed.begin(), listed.end());
        for (std::size_t i = 0; i < listed.size(); ++i) {
            if (i == 0 || listed[i].first != listed[i - 1].first) {
                m_cellKeys.push_back(listed[i].first);
                m_cellFirst.push_back(i);
            }
            m_cellItems.push_back(listed[i].second);
        }
        m_cellFirst.push_back(listed.size());
    }

    // Cell number of a coordinate, clamped. Monotone in the coordinate, so
    // boxes that meet always share a cell.
    std::uint32_t Index(double v) const { return Index(v, m_x0); }
    std::uint32_t Index(double v, double origin) const
    {
        const double t = std::floor((v - origin) / m_cell);
        return static_cast<std::uint32_t>(std::clamp(t, 0.0, kMaxIndex));
    }
    static std::uint64_t Key(std::uint32_t column, std::uint32_t row)
    {
        return (static_cast<std::uint64_t>(row) << 32) | column;
    }

    // The outlines of the cells in columns c0..c1 and rows r0..r1: looked up
    // cell by cell, or, when the range has more cells than the grid holds,
    // by a pass over the cells held.
    void TakeCells(std::uint32_t c0, std::uint32_t c1, std::uint32_t r0, std::uint32_t r1)
    {
        const auto takeCell = [this](std::size_t cell) {
            for (std::size_t i = m_cellFirst[cell]; i < m_cellFirst[cell + 1]; ++i)
                Take(m_cellItems[i]);
        };
        if ((c1 - c0 + 1.0) * (r1 - r0 + 1.0) > static_cast<double>(m_cellKeys.size())) {
            for (std::size_t cell = 0; cell < m_cellKeys.size(); ++cell) {
                const std::uint64_t key = m_cellKeys[cell];
                const auto c = static_cast<std::uint32_t>(key), r = static_cast<std::uint32_t>(key >> 32);
                if (c >= c0 && c <= c1 && r >= r0 && r <= r1)
                    takeCell(cell);
            }
            return;
        }
        for (std::uint32_t r = r0; r <= r1; ++r) {
            const auto from = std::lower_bound(m_cellKeys.begin(), m_cellKeys.end(), Key(c0, r));
            for (auto it = from; it != m_cellKeys.end() && *it <= Key(c1, r); ++it)
                takeCell(static_cast<std::size_t>(it - m_cellKeys.begin()));
        }
    }

    void Take(std::uint32_t id)
    {
        if (m_seen[id] == m_round)
            return;
        m_seen[id] = m_round;
        m_found.push_back(id);
    }

    std::vector<Entry> m_entries; // document order
    std::unordered_map<const CDocData*, std::uint32_t> m_ids;
    double m_x0 = 0.0, m_y0 = 0.0, m_cell = 1.0;
    std::vector<std::uint64_t> m_cellKeys;  // cells that hold outlines, ascending
    std::vector<std::size_t> m_cellFirst;   // outlines of cell i: m_cellItems[first[i], first[i + 1])
    std::vector<std::uint32_t> m_cellItems;
    std::vector<std::uint32_t> m_everywhere; // visited by every query
    std::vector<std::uint32_t> m_short;      // visited by every enclosing count
    std::vector<std::uint32_t> m_seen;       // round of the last visit, one per outline
    std::uint32_t m_round = 0;
    std::vector<std::uint32_t> m_found;
};

// Crossings of one outline with the lead lines. A segment crosses a lead
// only where their boxes meet: an outline wholly outside the leads' box
// needs no copy.
void CrossOutline(CDocData* o, LeadProbe& in, LeadProbe& out, const CGeoBox& leads)
{
    if (OutlineMisses(o, leads, false) || !o->IsSelected())
        return;
    DOCNODE* copy = o->CopyNodes();
    // The first and the last segment meet the outline's own ends, so they
    // are left out.
    const DOCNODE* first = copy;
    if (first != nullptr && first->m_pNext != nullptr) {
        for (const DOCNODE* a = first->m_pNext; a->m_pNext != nullptr && a->m_pNext->m_pNext != nullptr;
             a = a->m_pNext) {
            in.Test(a, a->m_pNext);
            out.Test(a, a->m_pNext);
        }
    }
    CDocState::FreeNodeList(copy);
}

// Every crossing of the whole tree is measured on the lead lines as built,
// so a nearer crossing found inside a group is never replaced by a farther
// one found at an outer level, and the lead is shortened only once.
void FindCrossings(CDocData* list, LeadProbe& in, LeadProbe& out, const CGeoBox& leads)
{
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        if (IsComposite(o))
            FindCrossings(ChildrenOf(o), in, out, leads);
        else
            CrossOutline(o, in, out, leads);
    }
}

// The start of an object and the box around it that an enclosing outline
// must reach.
struct StartProbe {
    const CDocData* obj = nullptr;
    double x = 0.0, y = 0.0;
    bool finite = false;
    CGeoBox around;

    explicit StartProbe(const CDocData* object) : obj(object), x(obj->m_pNodes->m_x), y(obj->m_pNodes->m_y)
    {
        // The start grown by far more than the rounding of the test on the
        // outline; not a number, it is measured against everything.
        const double margin = kReachMargin * (1.0 + std::fabs(x) + std::fabs(y));
        finite = std::isfinite(x) && std::isfinite(y);
        around = finite ? CGeoBox(x - margin, x + margin, y - margin, y + margin)
                        : CGeoBox(std::nan(""), std::nan(""), std::nan(""), std::nan(""));
    }

    // One outline's part of the count. Three points or more and the start
    // outside their box: outside, found without copying them. Shorter lists
    // count whatever their place, so they are measured.
    bool EnclosedBy(CDocData* o) const
    {
        if (o == obj || (finite && OutlineMisses(o, around, true)) || !o->IsSelected())
            return false;
        DOCNODE* copy = o->CopyNodes();
        if (copy == nullptr)
            return false;
        const bool enclosed = PolylineClassifyPoint(copy, x, y) != 0;
        CDocState::FreeNodeList(copy);
        return enclosed;
    }
};

int CountEnclosing(CDocData* list, const StartProbe& start)
{
    int count = 0;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        if (IsComposite(o))
            count += CountEnclosing(ChildrenOf(o), start);
        else if (start.EnclosedBy(o))
            ++count;
    }
    return count;
}

// Links a new anchor between a node and its successor.
void InsertBetween(DOCNODE* a, double x, double y)
{
    AppendNode(a, x, y, NODE_ANCHOR, NODE_UNSELECTED);
}

// Polyline and rectangle start placement.
void PlaceStartOnPolyline(CDocData* obj)
{
    const LEADINOUT& rec = *obj->m_pLeadInOut;
    const double needLength = rec.m_dInLength + rec.m_dOutLength;
    const double needTurn = (rec.m_dInAngle + rec.m_dOutAngle) * kDegToRad;
    DOCNODE* head = obj->m_pNodes;
    if (head == nullptr || head->m_pNext == nullptr)
        return;

    DOCNODE* longest = nullptr;
    double longest2 = -1.0;
    for (DOCNODE* n = head; n->m_pNext != nullptr && n->m_pNext != head; n = n->m_pNext) {
        const double dx = n->m_pNext->m_x - n->m_x;
        const double dy = n->m_pNext->m_y - n->m_y;
        const double d2 = dx * dx + dy * dy;
        if (d2 > longest2) {
            longest2 = d2;
            longest = n;
        }
    }
    if (obj->m_nType == MT_RECT || std::sqrt(longest2) > needLength) {
        const double mx = (longest->m_x + longest->m_pNext->m_x) * 0.5;
        const double my = (longest->m_y + longest->m_pNext->m_y) * 0.5;
        InsertBetween(longest, mx, my);
        obj->SetStartPoint(mx, my, kPlaceTol);
        return;
    }

    // Every side is short: look for a stretch longer than both leads that
    // turns less than both lead angles together.
    DOCNODE* window = head;
    double length = 0.0;
    double turn = 0.0;
    DOCNODE* bestWindow = nullptr;
    double bestLength = 0.0;
    bool placed = false;
    for (DOCNODE* n = head; n->m_pNext != nullptr && n->m_pNext != head; n = n->m_pNext) {
        DOCNODE* next = n->m_pNext;
        length += Distance(n, next);
        if (n != head)
            turn += GeoTurnAngle(n->m_pPrev->m_x, n->m_pPrev->m_y, n->m_x, n->m_y, next->m_x, next->m_y);
        if (length > needLength && turn < needTurn) {
            placed = true;
            break;
        }
        if (turn > needTurn) {
            if (length > bestLength) {
                bestWindow = window;
                bestLength = length;
            }
            window = n;
            length = 0.0;
            turn = 0.0;
        }
    }
    if (!placed && bestWindow != nullptr) {
        window = bestWindow;
        length = bestLength;
    }
    double x = window->m_x, y = window->m_y;
    PolylinePointAt(window, length / 2.0, x, y);
    // A place on an existing node needs no new node: a second one there
    // would give the output a segment of zero length.
    bool onNode = false;
    for (const DOCNODE* n = head; n != nullptr && !onNode; n = n->m_pNext)
        onNode = std::fabs(n->m_x - x) < kPlaceTol && std::fabs(n->m_y - y) < kPlaceTol;
    if (!onNode)
        obj->InsertNodeAt(x, y, kPlaceTol);
    obj->SetStartPoint(x, y, kPlaceTol);
}

// The lead build proper. The outlines of the document are walked, or, when
// an index is given, asked of it; both give the same results.

int CountEnclosingIn(CDocData* list, const CDocData* obj, OutlineIndex* index)
{
    if (obj == nullptr || obj->m_pNodes == nullptr)
        return 0;
    const StartProbe start(obj);
    if (index == nullptr)
        return CountEnclosing(list, start);
    int count = 0;
    index->ForEachNear(start.around, true, false, [&](CDocData* o) {
        if (start.EnclosedBy(o))
            ++count;
    });
    return count;
}

bool ResolveSide(DOCCONTEXT* ctx, CDocData* obj, double& inAngle, double& outAngle, std::uint32_t orientation,
                 OutlineIndex* index)
{
    LEADINOUT& rec = *obj->m_pLeadInOut;
    inAngle = rec.m_dInAngle;
    outAngle = -rec.m_dOutAngle;
    if (obj->m_bClosed == 0) {
        // The side is kept as the fixed kind that gives these same signs on
        // the orientation in force (inner for the usual open code 1), so
        // that later builds do not flip the leads to the other side.
        rec.m_nKind = orientation == 0 ? 1 : 0;
        return false;
    }
    const int count = CountEnclosingIn(DocumentObjects(ctx), obj, index);
    const bool odd = (count % 2) != 0;
    rec.m_nKind = odd ? 0 : 1;
    const bool ccw = orientation == 0;
    if ((odd && !ccw) || (!odd && ccw)) {
        inAngle = std::fabs(rec.m_dInAngle);
        outAngle = -std::fabs(rec.m_dOutAngle);
    } else {
        inAngle = -std::fabs(rec.m_dInAngle);
        outAngle = std::fabs(rec.m_dOutAngle);
    }
    return true;
}

LEADINOUT* ClipLeads(CDocData* list, CDocData* obj, OutlineIndex* index)
{
    if (obj == nullptr || obj->m_pLeadInOut == nullptr)
        return nullptr;
    LEADINOUT& rec = *obj->m_pLeadInOut;
    if (obj->m_pNodes == nullptr)
        return &rec;
    LeadProbe in, out;
    if (LeadInOn(rec))
        in.Start(obj->m_pNodes->m_x, obj->m_pNodes->m_y, rec.m_dInX, rec.m_dInY);
    if (LeadOutOn(rec)) {
        const DOCNODE* last = LastNode(obj->m_pNodes);
        out.Start(last->m_x, last->m_y, rec.m_dOutX, rec.m_dOutY);
    }
    if (!in.on && !out.on)
        return &rec;
    // The box of both lead lines, kept by hand: a box of one point below
    // zero would pass for the empty box in a union.
    const LeadProbe& first = in.on ? in : out;
    CGeoBox leads(std::fmin(first.sx, first.px), std::fmax(first.sx, first.px), std::fmin(first.sy, first.py),
                  std::fmax(first.sy, first.py));
    if (in.on && out.on) {
        leads.m_xmin = std::fmin(leads.m_xmin, std::fmin(out.sx, out.px));
        leads.m_xmax = std::fmax(leads.m_xmax, std::fmax(out.sx, out.px));
        leads.m_ymin = std::fmin(leads.m_ymin, std::fmin(out.sy, out.py));
        leads.m_ymax = std::fmax(leads.m_ymax, std::fmax(out.sy, out.py));
    }
    if (index == nullptr) {
        FindCrossings(list, in, out, leads);
    } else {
        // In document order: of two crossings equally near, the first found
        // is kept, as in the walk.
        index->ForEachNear(leads, false, true, [&](CDocData* o) { CrossOutline(o, in, out, leads); });
    }
    if (in.found) {
        rec.m_dInX = in.sx + kClipShare * (in.kx - in.sx);
        rec.m_dInY = in.sy + kClipShare * (in.ky - in.sy);
    }
    if (out.found) {
        rec.m_dOutX = out.sx + kClipShare * (out.kx - out.sx);
        rec.m_dOutY = out.sy + kClipShare * (out.ky - out.sy);
    }
    return &rec;
}

bool BuildLeads(DOCCONTEXT* ctx, CDocData* obj, OutlineIndex* index)
{
    if (obj == nullptr || obj->m_nType == MT_BITMAP || obj->m_nType == MT_POINT)
        return false;

    bool result = false;
    if (IsComposite(obj)) {
        for (CDocData* c = ChildrenOf(obj); c != nullptr; c = c->m_pNext) {
            if (c->m_pLeadInOut == nullptr && obj->m_pLeadInOut != nullptr) {
                c->m_pLeadInOut = new LEADINOUT(*obj->m_pLeadInOut);
                c->m_pLeadInOut->m_bDone = 0;
            }
            if (BuildLeads(ctx, c, index))
                result = true;
        }
        if (obj->m_pLeadInOut != nullptr)
            obj->m_pLeadInOut->m_bDone = 1;
    } else {
        if (obj->m_pLeadInOut == nullptr || obj->m_pNodes == nullptr)
            return false;
        LEADINOUT& rec = *obj->m_pLeadInOut;
        DOCNODE* copy = obj->CopyNodes();
        const std::uint32_t orientation = PolylineOrientation(copy) == 0 ? 0 : 1;
        CDocState::FreeNodeList(copy);

        double inAngle = 0.0, outAngle = 0.0;
        const double a = rec.m_dInAngle;
        const double b = rec.m_dOutAngle;
        switch (rec.m_nKind) {
        case 0:
            inAngle = orientation == 0 ? -a : a;
            outAngle = orientation == 0 ? b : -b;
            break;
        case 1:
            inAngle = orientation == 0 ? a : -a;
            outAngle = orientation == 0 ? -b : b;
            break;
        default:
            ResolveSide(ctx, obj, inAngle, outAngle, orientation, index);
            break;
        }

        if ((rec.m_bLeadIn != 0 || rec.m_bLeadOut != 0) && rec.m_bDone == 0) {
            PlaceStartForLeads(ctx, obj);
            // The outline itself is measured for crossings below, and by
            // the builds that follow.
            if (index != nullptr)
                index->Changed(obj);
        }

        // A lead at an end without a direction (every node on one spot) has
        // no point to run from: it is not built, and the record stays
        // unbuilt so that a later build on a real outline places it.
        bool inLost = false, outLost = false;
        CGeoPoint end, dir;
        if (LeadInOn(rec)) {
            inLost = !GetEndTangent(obj->m_pNodes, true, end, dir);
            if (!inLost) {
                double x = end.m_x, y = end.m_y;
                GeoPointAlong(end.m_x, end.m_y, dir.m_x, dir.m_y, -rec.m_dInLength, x, y);
                GeoRotatePoint(end.m_x, end.m_y, x, y, inAngle * kDegToRad, rec.m_dInX, rec.m_dInY);
            }
        }
        if (LeadOutOn(rec)) {
            outLost = !GetEndTangent(obj->m_pNodes, false, end, dir);
            if (!outLost) {
                double x = end.m_x, y = end.m_y;
                GeoPointAlong(end.m_x, end.m_y, dir.m_x, dir.m_y, -rec.m_dOutLength, x, y);
                GeoRotatePoint(end.m_x, end.m_y, x, y, outAngle * kDegToRad, rec.m_dOutX, rec.m_dOutY);
            }
        }
        ClipLeads(DocumentObjects(ctx), obj, index);
        if (!inLost && !outLost)
            rec.m_bDone = 1;
        result = (rec.m_bLeadIn != 0 && !inLost) || (rec.m_bLeadOut != 0 && !outLost);
    }

    if (result && obj->m_pEndGap != nullptr)
        SetEndGap(obj, obj->m_pEndGap->m_dGap, obj->m_pEndGap->m_bOn);
    return result;
}

} // namespace

plat::CurveStartPlacer plat::SetCurveStartPlacer(CurveStartPlacer placer)
{
    const CurveStartPlacer old = g_curveStartPlacer;
    g_curveStartPlacer = placer;
    return old;
}

void SetLeadInOut(CDocData* obj, const LEADINOUT* tmpl)
{
    if (obj == nullptr)
        return;
    if (obj->m_pLeadInOut == nullptr)
        obj->m_pLeadInOut = new LEADINOUT;
    if (tmpl != nullptr && tmpl != obj->m_pLeadInOut) {
        const std::uint8_t done = obj->m_pLeadInOut->m_bDone;
        *obj->m_pLeadInOut = *tmpl;
        obj->m_pLeadInOut->m_bDone = done;
    }
    if (IsComposite(obj)) {
        for (CDocData* c = ChildrenOf(obj); c != nullptr; c = c->m_pNext)
            SetLeadInOut(c, tmpl);
    }
}

void SetEndGap(CDocData* obj, double gap, std::uint8_t on)
{
    if (obj == nullptr)
        return;
    if (obj->m_pEndGap == nullptr) {
        if (on == 0)
            return;
        obj->m_pEndGap = new ENDGAP; // off, 0.3 mm, marker at 0, 0
    }
    obj->m_pEndGap->m_dGap = gap;
    obj->m_pEndGap->m_bOn = on;
    if (IsComposite(obj)) {
        for (CDocData* c = ChildrenOf(obj); c != nullptr; c = c->m_pNext)
            SetEndGap(c, gap, on);
        return;
    }
    if (on != 1)
        return;
    DOCNODE* copy = obj->CopyNodes();
    if (copy == nullptr)
        return;
    const double len = PolylineLength(copy);
    double back = len * kMarkShare;
    if (back < kMarkMinBack && len > kMarkMinLength)
        back = kMarkMinBack;
    double x = copy->m_x, y = copy->m_y;
    PolylinePointAt(copy, len - back, x, y);
    obj->m_pEndGap->m_dMarkX = x;
    obj->m_pEndGap->m_dMarkY = y;
    CDocState::FreeNodeList(copy);
}

void CutEndGap(DOCNODE* nodes, const ENDGAP* gap)
{
    // Written so that a gap that is not a number cuts nothing either.
    if (nodes == nullptr || gap == nullptr || !(gap->m_dGap >= kMinLeadLength))
        return;
    // A list closed into a ring is opened first, so that its end is its
    // last node.
    if (nodes->m_pPrev != nullptr) {
        nodes->m_pPrev->m_pNext = nullptr;
        nodes->m_pPrev = nullptr;
    }
    const double cut = gap->m_dGap * kWorldPerMm;
    DOCNODE* cur = LastNode(nodes);
    double removed = 0.0;
    while (cur != nodes) {
        DOCNODE* prev = cur->m_pPrev;
        const double len = Distance(prev, cur);
        if (cut > removed + len) {
            removed += len;
            cur = prev;
            continue;
        }
        DOCNODE* newLast = cur;
        if (removed + len == cut) {
            newLast = prev;
        } else {
            double x = cur->m_x, y = cur->m_y;
            GeoPointAlong(cur->m_x, cur->m_y, prev->m_x, prev->m_y, cut - removed, x, y);
            cur->m_x = x;
            cur->m_y = y;
        }
        DOCNODE* drop = newLast->m_pNext;
        newLast->m_pNext = nullptr;
        while (drop != nullptr) {
            DOCNODE* next = drop->m_pNext;
            delete drop;
            drop = next;
        }
        return;
    }
    // The outline is shorter than the cut: it stays as it is.
}

CGeoBox GetObjectsBounds(CDocData* list)
{
    CGeoBox box; // empty
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        if (!o->IsSelected())
            continue;
        box.Union(o->m_rcBound);
        if (IsComposite(o)) {
            box.Union(GetObjectsBounds(ChildrenOf(o)));
            continue;
        }
        if (const LEADINOUT* rec = o->m_pLeadInOut) {
            if (rec->m_bLeadIn != 0)
                box.AddPoint(CGeoPoint(rec->m_dInX, rec->m_dInY));
            if (rec->m_bLeadOut != 0)
                box.AddPoint(CGeoPoint(rec->m_dOutX, rec->m_dOutY));
        }
    }
    return box;
}

void InheritGroupLead(CDocData* obj)
{
    if (obj == nullptr || obj->m_nType != MT_GROUP || obj->m_pLeadInOut != nullptr)
        return;
    for (CDocData* c = ChildrenOf(obj); c != nullptr; c = c->m_pNext) {
        if (c->m_nType == MT_GROUP)
            InheritGroupLead(c);
    }
    const LEADINOUT* chosen = nullptr;
    double longest = -std::numeric_limits<double>::infinity();
    for (CDocData* c = ChildrenOf(obj); c != nullptr; c = c->m_pNext) {
        const LEADINOUT* rec = c->m_pLeadInOut;
        if (rec == nullptr)
            continue;
        const double len = std::fmax(rec->m_dInLength, rec->m_dOutLength);
        if (len > longest) {
            longest = len;
            chosen = rec;
        }
    }
    if (chosen == nullptr)
        return;
    obj->m_pLeadInOut = new LEADINOUT(*chosen);
    obj->m_pLeadInOut->m_bDone = 0;
}

bool LeadShownOn(const LEADINOUT* rec, const DOCNODE* nodes, bool atStart)
{
    if (rec == nullptr || !(atStart ? LeadInOn(*rec) : LeadOutOn(*rec)))
        return false;
    CGeoPoint end, dir;
    return GetEndTangent(nodes, atStart, end, dir);
}

bool GetEndTangent(const DOCNODE* nodes, bool atStart, CGeoPoint& end, CGeoPoint& direction)
{
    if (nodes == nullptr)
        return false;
    const DOCNODE* e = atStart ? nodes : LastNode(const_cast<DOCNODE*>(nodes));
    end.Set(e->m_x, e->m_y);
    for (const DOCNODE* n = atStart ? e->m_pNext : e->m_pPrev; n != nullptr && n != e;
         n = atStart ? n->m_pNext : n->m_pPrev) {
        if (n->m_x != e->m_x || n->m_y != e->m_y) {
            direction.Set(n->m_x, n->m_y);
            return true;
        }
    }
    return false;
}

int CountEnclosingObjects(CDocData* list, const CDocData* obj)
{
    return CountEnclosingIn(list, obj, nullptr);
}

bool ResolveAutoLeadSide(DOCCONTEXT* ctx, CDocData* obj, double& inAngle, double& outAngle,
                         std::uint32_t orientation)
{
    return ResolveSide(ctx, obj, inAngle, outAngle, orientation, nullptr);
}

void PlaceStartForLeads(DOCCONTEXT* ctx, CDocData* obj)
{
    if (obj == nullptr || obj->m_pLeadInOut == nullptr || obj->m_bClosed == 0)
        return;
    switch (obj->m_nType) {
    case MT_ELLIPSE:
        return;
    case MT_LINE:
    case MT_RECT:
        PlaceStartOnPolyline(obj);
        return;
    default:
        if (g_curveStartPlacer != nullptr)
            g_curveStartPlacer(ctx, obj);
        return;
    }
}

LEADINOUT* ClipLeadsAtCrossings(CDocData* list, CDocData* obj)
{
    return ClipLeads(list, obj, nullptr);
}

bool ApplyLeadInOut(DOCCONTEXT* ctx, CDocData* obj)
{
    return BuildLeads(ctx, obj, nullptr);
}

bool ApplyLeadInOutToSelected(DOCCONTEXT* ctx, CDocData* list)
{
    OutlineIndex index(DocumentObjects(ctx));
    bool result = false;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() && o->m_pLeadInOut != nullptr && BuildLeads(ctx, o, &index))
            result = true;
    }
    return result;
}
