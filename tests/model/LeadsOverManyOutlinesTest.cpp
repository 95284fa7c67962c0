// Lead building over many selected outlines passes over the outlines that
// cannot matter by their boxes instead of copying every one. On random
// drawings of every outline class, the enclosing count and the clipping of
// leads at crossings must come out as when every outline is copied and
// measured, and building the leads of a whole selection at once (through a
// box index of the drawing) as when each object is built in turn.
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocDataBezier.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataGroup.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
#include "model/DocDataRect.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "model/LeadInOut.h"
#include "model/PolylineGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

namespace {

bool IsComposite(const CDocData* o)
{
    return o->m_nType == MT_GROUP || o->m_nType == MT_CHAR;
}

// The enclosing count with every selected outline copied and classified.
int CountEnclosingByCopying(CDocData* list, const CDocData* obj)
{
    int count = 0;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        if (IsComposite(o)) {
            count += CountEnclosingByCopying(*o->ChildList(), obj);
            continue;
        }
        if (o == obj || !o->IsSelected())
            continue;
        DOCNODE* copy = o->CopyNodes();
        if (copy == nullptr)
            continue;
        if (PolylineClassifyPoint(copy, obj->m_pNodes->m_x, obj->m_pNodes->m_y) != 0)
            ++count;
        CDocState::FreeNodeList(copy);
    }
    return count;
}

// One lead line and the nearest crossing on it, every middle segment of
// every selected outline tested.
struct Probe {
    bool on = false;
    double sx = 0, sy = 0, px = 0, py = 0, best = 0, kx = 0, ky = 0;
    bool found = false;
};

void CrossByCopying(CDocData* list, Probe& in, Probe& out)
{
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        if (IsComposite(o)) {
            CrossByCopying(*o->ChildList(), in, out);
            continue;
        }
        if (!o->IsSelected())
            continue;
        DOCNODE* copy = o->CopyNodes();
        if (copy != nullptr && copy->m_pNext != nullptr) {
            for (const DOCNODE* a = copy->m_pNext; a->m_pNext != nullptr && a->m_pNext->m_pNext != nullptr;
                 a = a->m_pNext) {
                for (Probe* p : {&in, &out}) {
                    double x = 0, y = 0;
                    if (!p->on || GeoSegmentIntersection(p->sx, p->sy, p->px, p->py, a->m_x, a->m_y, a->m_pNext->m_x,
                                                         a->m_pNext->m_y, x, y) == 0)
                        continue;
                    const double d = std::fabs(x - p->sx) + std::fabs(y - p->sy);
                    if (d < p->best) {
                        p->best = d;
                        p->kx = x;
                        p->ky = y;
                        p->found = true;
                    }
                }
            }
        }
        CDocState::FreeNodeList(copy);
    }
}

// The clipped lead points, as (in x, in y, out x, out y).
std::vector<double> ClipByCopying(CDocData* list, const CDocData& obj)
{
    const LEADINOUT& rec = *obj.m_pLeadInOut;
    Probe in, out;
    const DOCNODE* first = obj.m_pNodes;
    const DOCNODE* last = LastNode(obj.m_pNodes);
    if (rec.m_bLeadIn != 0 && rec.m_dInLength > kMinLeadLength)
        in = {true, first->m_x, first->m_y, rec.m_dInX, rec.m_dInY};
    if (rec.m_bLeadOut != 0 && rec.m_dOutLength > kMinLeadLength)
        out = {true, last->m_x, last->m_y, rec.m_dOutX, rec.m_dOutY};
    for (Probe* p : {&in, &out})
        p->best = std::fabs(p->px - p->sx) + std::fabs(p->py - p->sy);
    CrossByCopying(list, in, out);
    std::vector<double> result{rec.m_dInX, rec.m_dInY, rec.m_dOutX, rec.m_dOutY};
    if (in.found) {
        result[0] = in.sx + 0.7 * (in.kx - in.sx);
        result[1] = in.sy + 0.7 * (in.ky - in.sy);
    }
    if (out.found) {
        result[2] = out.sx + 0.7 * (out.kx - out.sx);
        result[3] = out.sy + 0.7 * (out.ky - out.sy);
    }
    return result;
}

// A random outline of any class near the others: rectangles, open and
// closed polylines (some of two nodes), points, Bezier paths and ellipses.
CDocData* RandomOutline(std::mt19937& gen)
{
    std::uniform_real_distribution<double> pos(0.0, 1000.0), size(5.0, 400.0), unit(0.0, 1.0);
    const double x = pos(gen), y = pos(gen), w = size(gen), h = size(gen);
    const int kind = std::uniform_int_distribution<int>(0, 5)(gen);
    // Nodes in the box; kinds of a Bezier path when asked.
    auto nodes = [&](int n, bool bezier) {
        DOCNODE* head = nullptr;
        DOCNODE* last = nullptr;
        for (int i = 0; i < n; ++i) {
            const std::uint8_t k =
                !bezier || i % 3 == 0 ? NODE_ANCHOR : i % 3 == 1 ? NODE_CONTROL_OUT : NODE_CONTROL_IN;
            last = AppendNode(last, x + w * unit(gen), y + h * unit(gen), k);
            head = head != nullptr ? head : last;
        }
        return head;
    };
    CDocData* o = nullptr;
    if (kind == 0) {
        o = new CDocDataRect(CGeoBox(x, x + w, y, y + h), nullptr, 255);
    } else if (kind <= 2) {
        const int n = std::uniform_int_distribution<int>(2, 8)(gen);
        DOCNODE* head = nodes(n, false);
        if (n > 2 && unit(gen) < 0.5)
            AppendNode(LastNode(head), head->m_x, head->m_y);
        o = new CDocDataLine(head, 1, nullptr);
    } else if (kind == 3) {
        o = new CDocDataPoint(x, y, nullptr);
    } else if (kind == 4) {
        o = new CDocDataBezier(nodes(3 * std::uniform_int_distribution<int>(1, 4)(gen) + 1, true), true, nullptr);
    } else {
        o = new CDocDataEllipse(x, y, x + w, y + h);
    }
    o->SetSelected(1);
    return o;
}


// A closed Bezier path of two to four random segments in the square of side
// `size` at (x, y).
CDocData* RandomClosedCurve(std::mt19937& gen, double x, double y, double size)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int segments = std::uniform_int_distribution<int>(2, 4)(gen);
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (int i = 0; i < 3 * segments; ++i) {
        const std::uint8_t k = i % 3 == 0 ? NODE_ANCHOR : i % 3 == 1 ? NODE_CONTROL_OUT : NODE_CONTROL_IN;
        const double px = x + size * unit(gen);
        last = AppendNode(last, px, y + size * unit(gen), k);
        head = head != nullptr ? head : last;
    }
    AppendNode(last, head->m_x, head->m_y, NODE_ANCHOR);
    return new CDocDataBezier(head, true, nullptr);
}

// The same, at a random place of the drawing.
CDocData* RandomCurveIn(std::mt19937& gen, double size)
{
    std::uniform_real_distribution<double> pos(0.0, 1000.0);
    const double x = pos(gen);
    return RandomClosedCurve(gen, x, pos(gen), size);
}

// A random lead record: mostly automatic side, leads long enough to reach
// the neighbours, a few across the whole drawing.
LEADINOUT* RandomLead(std::mt19937& gen)
{
    std::uniform_real_distribution<double> near(1.0, 250.0), far(2000.0, 6000.0), angle(0.0, 90.0);
    std::bernoulli_distribution often(0.8), seldom(0.1);
    auto length = [&](std::mt19937& g) { return seldom(g) ? far(g) : near(g); };
    auto* lead = new LEADINOUT;
    lead->m_nKind = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 5)(gen) % 3 == 0 ? 0 : 2);
    lead->m_bLeadIn = often(gen) ? 1 : 0;
    lead->m_dInLength = length(gen);
    lead->m_dInAngle = angle(gen);
    lead->m_bLeadOut = often(gen) ? 1 : 0;
    lead->m_dOutLength = length(gen);
    lead->m_dOutAngle = angle(gen);
    return lead;
}

// A drawing of forty outlines of every class, closed curves among them, a
// few groups (with or without a record for their children), one outline
// far larger than the rest and one far away; most are selected and most
// have a lead record.
CDocData* RandomLeadDrawing(std::mt19937& gen)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<CDocData*> top;
    for (int i = 0; i < 40; ++i) {
        CDocData* o = nullptr;
        if (i == 7)
            o = new CDocDataRect(CGeoBox(-2000, 3000, -2000, 3000), nullptr, 255);
        else if (i == 23)
            o = new CDocDataRect(CGeoBox(9e5, 9e5 + 50, 9e5, 9e5 + 50), nullptr, 255);
        else if (unit(gen) < 0.2)
            o = RandomCurveIn(gen, 50.0 + 350.0 * unit(gen));
        else
            o = RandomOutline(gen);
        if (unit(gen) < 0.1) {
            CDocData* partner = unit(gen) < 0.5 ? RandomCurveIn(gen, 200.0) : RandomOutline(gen);
            partner->m_pLeadInOut = unit(gen) < 0.5 ? RandomLead(gen) : nullptr;
            o = new CDocDataGroup(plat::LinkObjects({o, partner}), nullptr);
        }
        o->SetSelected(unit(gen) < 0.85 ? 1 : 0);
        if (unit(gen) < 0.85)
            o->m_pLeadInOut = RandomLead(gen);
        top.push_back(o);
    }
    for (std::size_t i = 0; i < top.size(); ++i) {
        top[i]->m_pPrev = i > 0 ? top[i - 1] : nullptr;
        top[i]->m_pNext = i + 1 < top.size() ? top[i + 1] : nullptr;
    }
    return top.front();
}

// Everything a lead build may change in a drawing, in document order: the
// nodes of every outline and every field of every lead record.
void Contents(const CDocData* list, std::vector<double>& out)
{
    for (const CDocData* o = list; o != nullptr; o = o->m_pNext) {
        out.push_back(o->m_nType);
        for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext)
            out.insert(out.end(), {n->m_x, n->m_y, double(n->m_nKind), double(n->m_nSelect)});
        if (const LEADINOUT* r = o->m_pLeadInOut) {
            out.insert(out.end(), {double(r->m_nKind), double(r->m_bDone), double(r->m_bLeadIn), r->m_dInX,
                                   r->m_dInY, double(r->m_bLeadOut), r->m_dOutX, r->m_dOutY});
        }
        if (IsComposite(o))
            Contents(*const_cast<CDocData*>(o)->ChildList(), out);
    }
}

// 0 counter-clockwise, 1 otherwise, as the lead build takes it.
std::uint32_t Orientation(CDocData* o)
{
    DOCNODE* copy = o->CopyNodes();
    const std::uint32_t turn = PolylineOrientation(copy) == 0 ? 0 : 1;
    CDocState::FreeNodeList(copy);
    return turn;
}

plat::CurveStartPlacer g_curvePlacer = nullptr;
int g_curvesMoved = 0;

// The curve start placement, then the curve moved by (180, 120): an outline
// that leaves the box it had when the drawing was indexed.
void PlaceAndMoveCurve(DOCCONTEXT* ctx, CDocData* obj)
{
    g_curvePlacer(ctx, obj);
    ++g_curvesMoved;
    for (DOCNODE* n = obj->m_pNodes; n != nullptr; n = n->m_pNext) {
        n->m_x += 180.0;
        n->m_y += 120.0;
    }
}

} // namespace

TEST(LeadsOverManyOutlines, CountAndClipMatchCopyingEveryOutline)
{
    std::mt19937 gen(2024);
    std::uniform_real_distribution<double> reach(-300.0, 300.0);
    std::bernoulli_distribution unselected(0.2);
    int enclosed = 0, clipped = 0;
    for (int drawing = 0; drawing < 25; ++drawing) {
        // Thirty outlines, every fifth one put into a group with the next.
        std::vector<CDocData*> leaves;
        std::vector<CDocData*> top;
        for (int i = 0; i < 30; ++i) {
            CDocData* o = RandomOutline(gen);
            if (unselected(gen))
                o->SetSelected(0);
            leaves.push_back(o);
            if (i % 5 == 4) {
                CDocData* partner = RandomOutline(gen);
                leaves.push_back(partner);
                top.push_back(new CDocDataGroup(plat::LinkObjects({o, partner}), nullptr));
            } else {
                top.push_back(o);
            }
        }
        CDocData* list = top.front();
        for (std::size_t i = 0; i < top.size(); ++i) {
            top[i]->m_pPrev = i > 0 ? top[i - 1] : nullptr;
            top[i]->m_pNext = i + 1 < top.size() ? top[i + 1] : nullptr;
        }
        for (CDocData* obj : leaves) {
            const int expected = CountEnclosingByCopying(list, obj);
            EXPECT_EQ(CountEnclosingObjects(list, obj), expected) << "drawing " << drawing;
            enclosed += expected;

            LEADINOUT* lead = new LEADINOUT;
            lead->m_bLeadIn = 1;
            lead->m_dInLength = 50;
            lead->m_dInX = obj->m_pNodes->m_x + reach(gen);
            lead->m_dInY = obj->m_pNodes->m_y + reach(gen);
            lead->m_bLeadOut = std::bernoulli_distribution(0.7)(gen) ? 1 : 0;
            lead->m_dOutLength = 50;
            const DOCNODE* end = LastNode(obj->m_pNodes);
            lead->m_dOutX = end->m_x + reach(gen);
            lead->m_dOutY = end->m_y + reach(gen);
            delete obj->m_pLeadInOut;
            obj->m_pLeadInOut = lead;
            const std::vector<double> want = ClipByCopying(list, *obj);
            const std::vector<double> before{lead->m_dInX, lead->m_dInY, lead->m_dOutX, lead->m_dOutY};
            ClipLeadsAtCrossings(list, obj);
            const std::vector<double> got{lead->m_dInX, lead->m_dInY, lead->m_dOutX, lead->m_dOutY};
            EXPECT_EQ(got, want) << "drawing " << drawing;
            clipped += got != before ? 1 : 0;
        }
        DeleteObjectList(list);
    }
    // The drawings are dense enough that both rules have work to do.
    EXPECT_GT(enclosed, 1000);
    EXPECT_GT(clipped, 300);
}

// A lead-in from (0, 0) down to (0, -50), and an outline whose middle
// segment is dragged from y = 110 down to y = -25 across it: the next build
// must see the outline where it now is, so the lead ends at 0.7 x 25. Had
// the outline kept the box from before the drag, it would be passed over.
TEST(LeadsOverManyOutlines, OutlineDraggedIntoALeadIsSeenAtItsNewPlace)
{
    DOCNODE* bar = AppendNode(nullptr, -10, 100);
    AppendNode(AppendNode(AppendNode(bar, -10, 110, NODE_ANCHOR, NODE_ACTIVE), 10, 110, NODE_ANCHOR, NODE_ACTIVE),
               10, 100);
    auto* moved = new CDocDataLine(bar, 1, nullptr);
    DOCNODE* stub = AppendNode(nullptr, 0, 0);
    AppendNode(stub, 1, 0);
    auto* obj = new CDocDataLine(stub, 1, nullptr);
    LEADINOUT* lead = new LEADINOUT;
    lead->m_bLeadIn = 1;
    lead->m_dInLength = 50;
    lead->m_dInY = -50;
    obj->m_pLeadInOut = lead;
    CDocData* list = plat::LinkObjects({moved, obj});

    moved->MoveSelectedNodes(CGeoPoint(0, 0), CGeoPoint(0, -135), 1, nullptr);
    ClipLeadsAtCrossings(list, obj);
    EXPECT_DOUBLE_EQ(lead->m_dInX, 0.0);
    EXPECT_DOUBLE_EQ(lead->m_dInY, -17.5);
    DeleteObjectList(list);
}

// One command over the selection against building each selected object in
// turn, every step of the latter checked against copying every outline: the
// side taken by automatic leads against the enclosing count, and the lead
// points against the clipping of the unclipped leads. Curves move away on
// their start placement, once with the real placement alone; the drawings
// must come out the same to the last bit.
TEST(LeadsOverManyOutlines, OneCommandOverTheSelectionBuildsWhatBuildingEachInTurnBuilds)
{
    g_curvePlacer = plat::SetCurveStartPlacer(nullptr);
    plat::SetCurveStartPlacer(g_curvePlacer);
    std::mt19937 gen(77);
    int resolved = 0, odd = 0, clipped = 0, turned = 0;
    g_curvesMoved = 0;
    for (int drawing = 0; drawing < 24; ++drawing) {
        const bool moving = drawing % 2 == 0;
        plat::SetCurveStartPlacer(moving ? &PlaceAndMoveCurve : g_curvePlacer);
        CDocData* source = RandomLeadDrawing(gen);
        CDocListNode fast, slow;
        fast.m_pFirst = CloneDocData(source, true);
        slow.m_pFirst = CloneDocData(source, true);
        DOCCONTEXT fastCtx, slowCtx, nothing;
        fastCtx.m_pCurrent = &fast;
        slowCtx.m_pCurrent = &slow;

        const bool fastResult = ApplyLeadInOutToSelected(&fastCtx, fast.m_pFirst);
        bool slowResult = false;
        for (CDocData* o = slow.m_pFirst; o != nullptr; o = o->m_pNext) {
            if (!o->IsSelected() || o->m_pLeadInOut == nullptr)
                continue;
            LEADINOUT& rec = *o->m_pLeadInOut;
            const bool leaf = !IsComposite(o) && o->m_pNodes != nullptr;
            const bool automatic = leaf && rec.m_nKind == 2 && o->m_bClosed != 0;
            const int around = automatic ? CountEnclosingByCopying(slow.m_pFirst, o) : 0;
            const std::uint32_t turnBefore = Orientation(o);
            slowResult = ApplyLeadInOut(&slowCtx, o) || slowResult;
            if (automatic) {
                EXPECT_EQ(rec.m_nKind, around % 2 != 0 ? 0 : 1) << "drawing " << drawing;
                ++resolved;
                odd += around % 2;
            }
            if (!leaf || rec.m_bDone == 0)
                continue;
            // Built again in an empty document: the same leads, unclipped,
            // unless the new start changed the orientation found on the
            // flattened curve (a curve crossing itself).
            if (Orientation(o) != turnBefore) {
                ++turned;
                continue;
            }
            const LEADINOUT built = rec;
            ApplyLeadInOut(&nothing, o);
            const std::vector<double> want = ClipByCopying(slow.m_pFirst, *o);
            EXPECT_EQ((std::vector<double>{built.m_dInX, built.m_dInY, built.m_dOutX, built.m_dOutY}), want)
                << "drawing " << drawing;
            clipped += built.m_dInX != rec.m_dInX || built.m_dOutX != rec.m_dOutX ? 1 : 0;
            rec = built;
        }
        EXPECT_EQ(fastResult, slowResult) << "drawing " << drawing;
        std::vector<double> fastContents, slowContents;
        Contents(fast.m_pFirst, fastContents);
        Contents(slow.m_pFirst, slowContents);
        EXPECT_EQ(fastContents, slowContents) << "drawing " << drawing;
        DeleteObjectList(source);
    }
    plat::SetCurveStartPlacer(g_curvePlacer);
    // Both rules and the moving outlines have work to do.
    EXPECT_GT(resolved, 200);
    EXPECT_GT(odd, 60);
    EXPECT_GT(clipped, 200);
    EXPECT_GT(g_curvesMoved, 40);
    EXPECT_LT(turned, 5);
}

// Only selected objects with a lead record are built: an unselected one
// keeps its record unbuilt, a group without a record leaves its children's
// records alone, and nothing to build gives false.
TEST(LeadsOverManyOutlines, OneCommandBuildsOnlySelectedObjectsWithALeadRecord)
{
    std::vector<CDocDataRect*> rects;
    for (double x : {0.0, 200.0, 400.0, 600.0}) {
        rects.push_back(new CDocDataRect(CGeoBox(x, x + 100, 0, 50), nullptr, 255));
        rects.back()->m_pLeadInOut = new LEADINOUT{1, 0, 1, 0.0, 10.0}; // outer, straight lead-in of 10
        rects.back()->SetSelected(1);
    }
    auto [built, unselected, bare, child] = std::tuple(rects[0], rects[1], rects[2], rects[3]);
    delete bare->m_pLeadInOut;
    bare->m_pLeadInOut = nullptr;
    unselected->SetSelected(0);
    CDocListNode doc;
    doc.m_pFirst = plat::LinkObjects({built, unselected, bare, new CDocDataGroup(plat::LinkObjects({child}), nullptr)});
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &doc;

    EXPECT_TRUE(ApplyLeadInOutToSelected(&ctx, doc.m_pFirst));
    EXPECT_EQ(built->m_pLeadInOut->m_bDone, 1);
    // Started mid a long side, the lead-in runs 10 straight back along it.
    EXPECT_DOUBLE_EQ(std::fabs(built->m_pLeadInOut->m_dInX - built->m_pNodes->m_x), 10.0);
    EXPECT_EQ(unselected->m_pLeadInOut->m_bDone, 0);
    EXPECT_EQ(bare->m_pLeadInOut, nullptr);
    EXPECT_EQ(child->m_pLeadInOut->m_bDone, 0);

    built->SetSelected(0);
    EXPECT_FALSE(ApplyLeadInOutToSelected(&ctx, doc.m_pFirst));
}
