// Lead building over many selected outlines passes over the outlines that
// cannot matter by their boxes instead of copying every one. On random
// drawings of every outline class, the enclosing count and the clipping of
// leads at crossings must come out as when every outline is copied and
// measured.
#include "TestDocData.h"

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
#include <random>
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
