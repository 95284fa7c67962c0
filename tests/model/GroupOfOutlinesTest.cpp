// A group of a polyline, an ellipse and a nested group, and a text of such
// outlines: every child follows the composite's transformations, queries
// stop at the first child that answers, copies take the whole tree, and the
// lead and end-gap operations reach through groups and texts.
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocDataChar.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataGroup.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
#include "model/DocListNode.h"
#include "model/LeadInOut.h"
#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <numbers>
#include <utility>

using plat::LinkObjects;
using plat::RecordingDC;
using plat::ScopedMachine;

namespace {

constexpr double kTol = 1e-6;

CDocDataLine* Line(std::initializer_list<std::pair<double, double>> points)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (const auto& [x, y] : points) {
        last = AppendNode(last, x, y);
        if (head == nullptr)
            head = last;
    }
    return new CDocDataLine(head, 1, nullptr);
}

void ExpectBox(const CGeoBox& box, double xmin, double xmax, double ymin, double ymax)
{
    EXPECT_NEAR(box.m_xmin, xmin, kTol);
    EXPECT_NEAR(box.m_xmax, xmax, kTol);
    EXPECT_NEAR(box.m_ymin, ymin, kTol);
    EXPECT_NEAR(box.m_ymax, ymax, kTol);
}

void ExpectNode(const DOCNODE* n, double x, double y)
{
    ASSERT_NE(n, nullptr);
    EXPECT_NEAR(n->m_x, x, kTol);
    EXPECT_NEAR(n->m_y, y, kTol);
}

ARRAYREC* Array(int rows, int cols, double dx, double dy)
{
    auto* a = new ARRAYREC;
    a->m_nRows = static_cast<std::uint16_t>(rows);
    a->m_nCols = static_cast<std::uint16_t>(cols);
    a->m_dDx = dx;
    a->m_dDy = dy;
    return a;
}

// Line L (100,100)-(300,100), ellipse E in 400..500 x 100..200, and a nested
// group N holding the line M (200,300)-(250,350).
struct Tree {
    ScopedMachine machine{1, 4};
    CDocDataLine* L = Line({{100, 100}, {300, 100}});
    CDocDataEllipse* E = new CDocDataEllipse(400, 100, 500, 200);
    CDocDataLine* M = Line({{200, 300}, {250, 350}});
    CDocDataGroup* N = new CDocDataGroup(M, nullptr);
    CDocDataGroup G{LinkObjects({L, E, N}), nullptr};
};

} // namespace

TEST(GroupOfOutlines, MoveScaleRotateFlipAndMirrorReachEveryChild)
{
    Tree t;
    ExpectBox(t.G.m_rcBound, 100, 500, 100, 350);

    t.G.Move(CGeoPoint(0, 0), CGeoPoint(10, 20), nullptr);
    ExpectNode(t.L->m_pNodes, 110, 120);
    ExpectBox(t.E->m_rcBound, 410, 510, 120, 220);
    ExpectNode(t.M->m_pNodes, 210, 320);
    ExpectBox(t.N->m_rcBound, 210, 260, 320, 370);
    ExpectBox(t.G.m_rcBound, 110, 510, 120, 370);
    t.G.Move(CGeoPoint(10, 20), CGeoPoint(0, 0), nullptr);

    // About (500, 500) by +90 degrees: (x, y) -> (1000 - y, x).
    t.G.Rotate(CGeoPoint(500, 500), std::numbers::pi / 2, nullptr);
    ExpectNode(t.L->m_pNodes, 900, 100);
    ExpectNode(t.L->m_pNodes->m_pNext, 900, 300);
    ExpectBox(t.E->m_rcBound, 800, 900, 400, 500);
    ExpectNode(t.M->m_pNodes, 700, 200);
    ExpectBox(t.G.m_rcBound, 650, 900, 100, 500);
    t.G.RotateBy3Points(CGeoPoint(500, 500), CGeoPoint(510, 500), CGeoPoint(500, 490), nullptr);
    ExpectNode(t.L->m_pNodes, 100, 100);
    ExpectBox(t.G.m_rcBound, 100, 500, 100, 350);

    // Horizontal flip about x = 300: x -> 600 - x.
    t.G.Flip(CGeoPoint(300, 0), true, false, nullptr);
    ExpectNode(t.L->m_pNodes, 500, 100);
    ExpectBox(t.E->m_rcBound, 100, 200, 100, 200);
    ExpectNode(t.M->m_pNodes, 400, 300);
    ExpectBox(t.G.m_rcBound, 100, 500, 100, 350);

    // Mirror about y = x: (x, y) -> (y, x).
    EXPECT_EQ(t.G.MirrorAbout(0, 0, 1, 1, false, false, nullptr), nullptr);
    ExpectNode(t.L->m_pNodes, 100, 500);
    ExpectBox(t.E->m_rcBound, 100, 200, 100, 200);
    ExpectNode(t.M->m_pNodes, 300, 400);
    ExpectBox(t.G.m_rcBound, 100, 350, 100, 500);

    // Double about (100, 100).
    t.G.Scale(100, 100, 2, 2, nullptr);
    ExpectNode(t.L->m_pNodes, 100, 900);
    ExpectBox(t.E->m_rcBound, 100, 300, 100, 300);
    ExpectNode(t.M->m_pNodes, 500, 700);
    ExpectBox(t.G.m_rcBound, 100, 600, 100, 900);
}

TEST(GroupOfOutlines, RotatedBoxLeavesOutTheArrayAndScaledBoxIsTheBoxOfTheScaledCopies)
{
    Tree t;
    t.G.m_pArray = Array(1, 3, 600, 0);
    t.G.RecalcBoundRect(nullptr);
    ExpectBox(t.G.m_rcBound, 100, 1700, 100, 350);

    t.G.Rotate(CGeoPoint(500, 500), std::numbers::pi / 2, nullptr);
    ExpectBox(t.G.m_rcBound, 650, 900, 100, 500);
    t.G.RecalcBoundRect(nullptr);
    ExpectBox(t.G.m_rcBound, 650, 2100, 100, 500);

    // Children 250 wide with copies 600 apart: the 350 gap stays while the
    // copies double to 500, so the three copies end at 1150 + 2 x 850, not
    // at the old box doubled (3550).
    t.G.ScaleNodes(650, 100, 2, 2, nullptr);
    ExpectBox(t.G.m_rcBound, 650, 2850, 100, 900);
    EXPECT_NEAR(t.G.m_pArray->m_dDx, 850, kTol);
    ExpectNode(t.L->m_pNodes, 1150, 100);
}

TEST(GroupOfOutlines, HitAndNodeSelectionStopAtTheFirstChildThatAnswers)
{
    Tree t;
    // A line whose first anchor lies on the ellipse's start anchor.
    ExpectNode(t.E->m_pNodes, 450, 100);
    CDocDataLine* spoke = Line({{450, 100}, {450, 50}, {350, 50}});
    CDocDataEllipse* ring = new CDocDataEllipse(400, 100, 500, 200);
    CDocDataGroup group(LinkObjects({spoke, ring}), nullptr);
    for (DOCNODE* n = ring->m_pNodes; n != nullptr; n = n->m_pNext)
        n->m_nSelect = NODE_ACTIVE;

    // The ellipse's rightmost anchor: the line misses, the ellipse answers.
    EXPECT_TRUE(group.HitTest(500, 150, 2));
    EXPECT_FALSE(group.HitTest(600, 600, 2));

    // Both have an anchor at (450, 100): the line takes the state and the
    // ellipse, never asked, keeps every node as it was.
    EXPECT_EQ(group.SelectNodeAt(450, 100, 2, NODE_SELECTED), 1);
    EXPECT_EQ(spoke->m_pNodes->m_nSelect, NODE_SELECTED);
    for (DOCNODE* n = ring->m_pNodes; n != nullptr; n = n->m_pNext)
        EXPECT_EQ(n->m_nSelect, NODE_ACTIVE);

    // Deleting: one child per call, in list order.
    const int ringNodes = CountNodes(ring->m_pNodes);
    spoke->m_bNodesSelected = ring->m_bNodesSelected = 1;
    spoke->m_pNodes->m_pNext->m_nSelect = NODE_ACTIVE;
    for (DOCNODE* n = ring->m_pNodes; n != nullptr; n = n->m_pNext)
        n->m_nSelect = NODE_UNSELECTED;
    ring->m_pNodes->m_pNext->m_pNext->m_pNext->m_nSelect = NODE_ACTIVE; // second anchor
    EXPECT_TRUE(group.DeleteSelectedNodes());
    EXPECT_EQ(CountNodes(spoke->m_pNodes), 2);
    EXPECT_EQ(CountNodes(ring->m_pNodes), ringNodes);
    EXPECT_TRUE(group.DeleteSelectedNodes());
    EXPECT_EQ(CountNodes(ring->m_pNodes), ringNodes - 3);
}

TEST(GroupOfOutlines, CloneCopiesTheWholeTree)
{
    Tree t;
    t.G.m_pArray = Array(2, 2, 500, 300);
    t.G.RecalcBoundRect(nullptr);
    CDocData* copy = CloneDocData(&t.G, false);
    ASSERT_NE(dynamic_cast<CDocDataGroup*>(copy), nullptr);
    CDocData* c = *copy->ChildList();
    ASSERT_NE(dynamic_cast<CDocDataLine*>(c), nullptr);
    EXPECT_NE(c, t.L);
    ASSERT_NE(dynamic_cast<CDocDataEllipse*>(c->m_pNext), nullptr);
    EXPECT_EQ(CountNodes(c->m_pNext->m_pNodes), CountNodes(t.E->m_pNodes));
    CDocData* n = c->m_pNext->m_pNext;
    ASSERT_NE(dynamic_cast<CDocDataGroup*>(n), nullptr);
    EXPECT_EQ(n->m_pNext, nullptr);
    CDocData* m = *n->ChildList();
    ASSERT_NE(dynamic_cast<CDocDataLine*>(m), nullptr);
    EXPECT_NE(m, t.M);
    EXPECT_NE(m->m_pNodes, t.M->m_pNodes);

    t.G.Move(CGeoPoint(0, 0), CGeoPoint(1000, 0), nullptr);
    ExpectNode(m->m_pNodes, 200, 300);
    ExpectBox(copy->m_rcBound, 100, 1000, 100, 650);
    DeleteObjectList(copy);
}

TEST(GroupOfOutlines, TextIsNeitherExplodedNorClosedAndDrawsItsOutlinesDocumentCopies)
{
    ScopedMachine machine(1, 4);
    CDocListNode snapshot;
    snapshot.m_pArray = Array(3, 1, 0, 100); // one column
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &snapshot;
    CDocDataLine* open = Line({{100, 100}, {200, 100}, {200, 200}});
    CDocDataChar text(LinkObjects({open}), true, &ctx);
    text.m_pArray = Array(1, 2, 300, 0);
    CDocData* head = &text;

    EXPECT_FALSE(text.Close());
    EXPECT_EQ(open->m_bClosed, 0);
    text.ExplodeArray(&ctx);
    EXPECT_NE(text.m_pArray, nullptr);
    EXPECT_EQ(head->m_pNext, nullptr);
    RecordingDC dc;
    text.DrawArrayCopies(&dc, &ctx);
    EXPECT_FALSE(dc.DrawCalls().empty());

    CDocDataLine* open2 = Line({{100, 100}, {200, 100}, {200, 200}});
    auto* group = new CDocDataGroup(LinkObjects({open2}), &ctx);
    group->m_pArray = Array(1, 2, 300, 0);
    dc.Clear();
    group->DrawArrayCopies(&dc, &ctx);
    EXPECT_TRUE(dc.DrawCalls().empty());
    EXPECT_TRUE(group->Close());
    EXPECT_EQ(open2->m_bClosed, 1);
    CDocData* list = group;
    group->ExplodeArray(&ctx);
    ASSERT_NE(group->m_pNext, nullptr);
    ExpectNode((*group->m_pNext->ChildList())->m_pNodes, 400, 100);
    DeleteObjectList(list);
}

TEST(GroupLeads, TemplatesAndEndGapsReachEveryDescendant)
{
    Tree t;
    CDocDataChar text(LinkObjects({Line({{0, 100}, {1000, 100}})}), true, nullptr);
    CDocData* outline = text.m_pChildren;

    LEADINOUT tmpl;
    tmpl.m_bLeadIn = 1;
    tmpl.m_dInLength = 25;
    tmpl.m_bDone = 1;
    SetLeadInOut(&t.G, &tmpl);
    for (CDocData* o : {static_cast<CDocData*>(&t.G), static_cast<CDocData*>(t.L),
                        static_cast<CDocData*>(t.E), static_cast<CDocData*>(t.N),
                        static_cast<CDocData*>(t.M)}) {
        ASSERT_NE(o->m_pLeadInOut, nullptr);
        EXPECT_EQ(o->m_pLeadInOut->m_dInLength, 25.0);
        EXPECT_EQ(o->m_pLeadInOut->m_bDone, 0); // the done flag is not copied
    }

    // Marker 5 % before the end of a 1000 long outline.
    SetEndGap(&text, 0.5, 1);
    ASSERT_NE(outline->m_pEndGap, nullptr);
    EXPECT_EQ(outline->m_pEndGap->m_dGap, 0.5);
    EXPECT_EQ(outline->m_pEndGap->m_bOn, 1);
    EXPECT_NEAR(outline->m_pEndGap->m_dMarkX, 950, kTol);
    EXPECT_NEAR(outline->m_pEndGap->m_dMarkY, 100, kTol);
}

TEST(GroupLeads, GroupTakesTheLongestChildLeadAndHandsItsOwnToChildrenWithout)
{
    ScopedMachine machine(1, 4);
    CDocDataLine* shorter = Line({{0, 0}, {100, 0}});
    CDocDataLine* longer = Line({{0, 50}, {100, 50}});
    shorter->m_pLeadInOut = new LEADINOUT;
    shorter->m_pLeadInOut->m_dInLength = 20;
    longer->m_pLeadInOut = new LEADINOUT;
    longer->m_pLeadInOut->m_dOutLength = 35;
    longer->m_pLeadInOut->m_bDone = 1;
    auto* inner = new CDocDataGroup(LinkObjects({shorter, longer}), nullptr);
    CDocDataGroup outer(LinkObjects({inner}), nullptr);
    InheritGroupLead(&outer);
    ASSERT_NE(inner->m_pLeadInOut, nullptr);
    EXPECT_EQ(inner->m_pLeadInOut->m_dOutLength, 35.0);
    EXPECT_EQ(inner->m_pLeadInOut->m_bDone, 0);
    ASSERT_NE(outer.m_pLeadInOut, nullptr);
    EXPECT_EQ(outer.m_pLeadInOut->m_dOutLength, 35.0);

    // A closed square without a record gets the group's; its start moves to
    // the middle of the first longest side and the lead-in lies 10 before it.
    CDocDataLine* square = Line({{100, 100}, {300, 100}, {300, 300}, {100, 300}, {100, 100}});
    CDocDataGroup group(LinkObjects({square}), nullptr);
    group.m_pLeadInOut = new LEADINOUT;
    group.m_pLeadInOut->m_nKind = 1;
    group.m_pLeadInOut->m_bLeadIn = 1;
    group.m_pLeadInOut->m_dInLength = 10;
    EXPECT_TRUE(ApplyLeadInOut(nullptr, &group));
    EXPECT_EQ(group.m_pLeadInOut->m_bDone, 1);
    ASSERT_NE(square->m_pLeadInOut, nullptr);
    EXPECT_EQ(square->m_pLeadInOut->m_bDone, 1);
    ExpectNode(square->m_pNodes, 200, 100);
    EXPECT_NEAR(square->m_pLeadInOut->m_dInX, 190, kTol);
    EXPECT_NEAR(square->m_pLeadInOut->m_dInY, 100, kTol);
    // Points get no lead lines.
    CDocDataPoint dot(50.0, 50.0, nullptr);
    dot.m_pLeadInOut = new LEADINOUT(*group.m_pLeadInOut);
    dot.m_pLeadInOut->m_bDone = 0;
    EXPECT_FALSE(ApplyLeadInOut(nullptr, &dot));
    EXPECT_EQ(dot.m_pLeadInOut->m_bDone, 0);

    // The selected group's area takes in its children's lead points.
    group.SetSelected(1);
    ExpectBox(GetObjectsBounds(&group), 100, 300, 100, 300);
    square->m_pLeadInOut->m_dInX = 20;
    square->m_pLeadInOut->m_dInY = 400;
    ExpectBox(GetObjectsBounds(&group), 20, 300, 100, 400);
}

TEST(GroupLeads, OutlinesInsideGroupsCountAsEnclosing)
{
    CDocDataLine* square = Line({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}});
    CDocDataGroup group(LinkObjects({square}), nullptr);
    CDocDataLine* inner = Line({{40, 40}, {60, 40}, {60, 60}, {40, 60}, {40, 40}});
    CDocDataChar text(LinkObjects({inner}), true, nullptr);
    group.m_pNext = &text;
    text.m_pPrev = &group;
    EXPECT_EQ(CountEnclosingObjects(&group, inner), 1);
    EXPECT_EQ(CountEnclosingObjects(&group, square), 0);
    group.SetSelected(0);
    EXPECT_EQ(CountEnclosingObjects(&group, inner), 0);
    group.m_pNext = nullptr;
    text.m_pPrev = nullptr;
}
