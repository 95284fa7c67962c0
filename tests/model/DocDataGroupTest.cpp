// Groups and texts: operations passed to every child in order, queries that
// stop at the first child answering true, the composite's own box rules, its
// bracketed output, deep copies, and where a text differs from a group.
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocDataChar.h"
#include "model/DocDataGroup.h"
#include "model/DocDataNurbs.h"
#include "model/DocDataPoint.h"
#include "model/DocListNode.h"
#include "model/PathRecord.h"
#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

#include <vector>

using plat::LinkObjects;
using plat::RecordingDC;
using plat::ScopedMachine;
using plat::TestDocData;

namespace {

CDocDataPoint* Pt(double x, double y)
{
    return new CDocDataPoint(x, y, nullptr);
}

void ExpectBox(const CGeoBox& box, double xmin, double xmax, double ymin, double ymax)
{
    EXPECT_NEAR(box.m_xmin, xmin, 1e-9);
    EXPECT_NEAR(box.m_xmax, xmax, 1e-9);
    EXPECT_NEAR(box.m_ymin, ymin, 1e-9);
    EXPECT_NEAR(box.m_ymax, ymax, 1e-9);
}

void ExpectAt(const CDocData* p, double x, double y)
{
    ASSERT_NE(p, nullptr);
    ASSERT_NE(p->m_pNodes, nullptr);
    EXPECT_NEAR(p->m_pNodes->m_x, x, 1e-9);
    EXPECT_NEAR(p->m_pNodes->m_y, y, 1e-9);
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

std::vector<int> Kinds(const PATHREC* head)
{
    std::vector<int> out;
    for (const PATHREC* r = head; r != nullptr; r = r->m_pNext)
        out.push_back(r->m_kind);
    return out;
}

} // namespace

TEST(DocDataGroup, ListConstructorAdoptsTheListTakesTheFirstColourAndSelectsAll)
{
    DOCCONTEXT ctx;
    CDocDataPoint* a = Pt(10, 20);
    CDocDataPoint* b = Pt(30, -5);
    a->SetColor(4, 0x00FF00);
    b->SetColor(7, 0xFF0000);
    CDocDataGroup group(LinkObjects({a, b}), &ctx);
    EXPECT_EQ(group.m_nType, MT_GROUP);
    EXPECT_EQ(group.m_pChildren, a);
    EXPECT_EQ(a->m_pNext, b);
    EXPECT_EQ(group.m_nLayer, 4);
    EXPECT_EQ(group.m_nColor, 0x00FF00u);
    ExpectBox(group.m_rcBound, 10, 30, -5, 20);
    EXPECT_EQ(group.m_bSelected, 1);
    EXPECT_EQ(a->m_bSelected, 1);
    EXPECT_EQ(b->m_bSelected, 1);
    EXPECT_EQ(group.m_pNodes, nullptr);

    CGeoPoint p;
    EXPECT_TRUE(group.GetStartPoint(p));
    EXPECT_EQ(p.m_x, 10.0);
    EXPECT_TRUE(group.GetEndPoint(p));
    EXPECT_EQ(p.m_x, 30.0);

    // Colour and selection are pushed down to every child.
    group.SetColor(9, 0x123456);
    EXPECT_EQ(b->m_nLayer, 9);
    EXPECT_EQ(b->m_nColor, 0x123456u);
    group.SetSelected(0);
    EXPECT_EQ(a->m_bSelected, 0);
    EXPECT_EQ(b->m_bSelected, 0);

    CDocDataGroup empty;
    EXPECT_EQ(empty.m_bSelected, 1);
    EXPECT_TRUE(empty.m_rcBound.IsEmpty());
}

TEST(DocDataGroup, HitAndNodeQueriesStopAtTheFirstChildThatAnswers)
{
    // Two points on the same spot: only the first hears a query it answers.
    CDocDataPoint* first = Pt(50, 50);
    CDocDataPoint* second = Pt(50, 50);
    CDocDataGroup group(LinkObjects({first, second}), nullptr);
    second->m_pNodes->m_nSelect = NODE_SELECTED;

    EXPECT_EQ(group.SelectNodeAt(51, 49, 5, NODE_ACTIVE), 1);
    EXPECT_EQ(first->m_pNodes->m_nSelect, NODE_ACTIVE);
    EXPECT_EQ(second->m_pNodes->m_nSelect, NODE_SELECTED); // never asked
    EXPECT_TRUE(group.HitSegment(52, 52, 5, NODE_SELECTED));
    EXPECT_EQ(first->m_pNodes->m_nSelect, NODE_SELECTED);
    EXPECT_EQ(second->m_pNodes->m_nSelect, NODE_SELECTED);

    // A miss asks every child.
    EXPECT_EQ(group.SelectNodeAt(500, 500, 5, NODE_UNSELECTED), 0);
    EXPECT_EQ(second->m_pNodes->m_nSelect, NODE_UNSELECTED);

    // In node mode SelectInRect is true for the first point inside the box.
    first->m_bNodesSelected = second->m_bNodesSelected = 1;
    EXPECT_TRUE(group.SelectInRect(CGeoBox(0, 300, 0, 100)));
    EXPECT_EQ(first->m_pNodes->m_nSelect, NODE_ACTIVE);
    EXPECT_EQ(second->m_pNodes->m_nSelect, NODE_UNSELECTED);
}

TEST(DocDataGroup, DeleteSelectedNodesDeletesInTheFirstChildOnlyPerCall)
{
    CDocDataPoint* a = Pt(0, 0);
    CDocDataPoint* b = Pt(10, 0);
    auto* group = new CDocDataGroup(LinkObjects({a, b}), nullptr);
    a->m_pNodes->m_nSelect = NODE_ACTIVE;
    b->m_pNodes->m_nSelect = NODE_ACTIVE;
    EXPECT_TRUE(group->DeleteSelectedNodes());
    EXPECT_EQ(a->m_pNodes, nullptr);
    ASSERT_NE(b->m_pNodes, nullptr);
    EXPECT_TRUE(group->DeleteSelectedNodes());
    EXPECT_EQ(b->m_pNodes, nullptr);
    EXPECT_FALSE(group->DeleteSelectedNodes());

    // Every child removed: the group stays, with the empty box.
    CDocData* head = LinkObjects({Pt(1, 1), group});
    DeleteEmptyObjects(head);
    ASSERT_NE(head, nullptr);
    ASSERT_EQ(head->m_pNext, group);
    EXPECT_EQ(group->m_pChildren, nullptr);
    group->m_pArray = Array(2, 3, 100, 100);
    group->RecalcBoundRect(nullptr);
    EXPECT_TRUE(group->m_rcBound.IsEmpty());
    group->ScaleNodes(0, 0, 2, 2, nullptr);
    EXPECT_TRUE(group->m_rcBound.IsEmpty());
    EXPECT_EQ(group->m_pArray->m_dDx, 100.0);
    DeleteObjectList(head);
}

TEST(DocDataGroup, SelectAllDeselectAndSelectedBoxVisitEveryChild)
{
    CDocDataPoint* a = Pt(0, 5);
    CDocDataPoint* b = Pt(40, 25);
    CDocDataGroup group(LinkObjects({a, b}), nullptr);
    EXPECT_TRUE(group.SelectAllNodes());
    EXPECT_EQ(group.m_bNodesSelected, 1);
    EXPECT_EQ(a->m_pNodes->m_nSelect, NODE_SELECTED);
    EXPECT_EQ(b->m_pNodes->m_nSelect, NODE_SELECTED);

    CGeoBox box(100, 200, 100, 200);
    EXPECT_TRUE(group.UnionSelectedNodesRect(box, false, true));
    ExpectBox(box, 0, 40, 5, 25);

    a->m_pNodes->m_nSelect = NODE_UNSELECTED;
    EXPECT_TRUE(group.DeselectNodes()); // b was selected
    EXPECT_EQ(b->m_pNodes->m_nSelect, NODE_UNSELECTED);
    EXPECT_EQ(group.m_bNodesSelected, 0);
    EXPECT_FALSE(group.DeselectNodes());
    CGeoBox kept(1, 2, 1, 2);
    EXPECT_FALSE(group.UnionSelectedNodesRect(kept, false, false));
    ExpectBox(kept, 1, 2, 1, 2);
}

TEST(DocDataGroup, ChildlessCompositeAnswersFalseExceptReverseAndSelectAll)
{
    CDocDataGroup group;
    CDocDataChar text;
    for (CDocData* c : {static_cast<CDocData*>(&group), static_cast<CDocData*>(&text)}) {
        CGeoPoint p(3, 4);
        CGeoBox box;
        EXPECT_FALSE(c->HitTest(0, 0, 10));
        EXPECT_EQ(c->SelectNodeAt(0, 0, 10, 2), 0);
        EXPECT_FALSE(c->SelectInRect(CGeoBox(0, 10, 0, 10)));
        EXPECT_FALSE(c->GetStartPoint(p));
        EXPECT_FALSE(c->GetEndPoint(p));
        EXPECT_FALSE(c->UnionSelectedNodesRect(box, false, true));
        EXPECT_FALSE(c->Close());
        EXPECT_TRUE(c->Reverse());
        EXPECT_TRUE(c->SelectAllNodes());
        EXPECT_TRUE(c->GetAnchorRect().IsEmpty());
        // No child yields a path, so neither does the composite.
        EXPECT_EQ(c->MakeOutputPath(), nullptr);
    }
    DOCCONTEXT ctx;
    group.m_pArray = new ARRAYREC;
    group.m_pArray->m_nCols = 2;
    group.ExplodeArray(&ctx);
    EXPECT_NE(group.m_pArray, nullptr);
    EXPECT_EQ(group.m_pNext, nullptr);
}

TEST(DocDataGroup, WithAnArrayRecordMoveSkewFlipAndMirrorAddTheArrayExtentBack)
{
    ScopedMachine machine(1, 4);
    CDocDataPoint* a = Pt(110, 100);
    CDocDataPoint* b = Pt(130, 120);
    CDocDataGroup group(LinkObjects({a, b}), nullptr);
    group.m_pArray = Array(2, 1, 0, 100);
    group.Move(CGeoPoint(0, 0), CGeoPoint(10, 0), nullptr);
    ExpectBox(group.m_rcBound, 120, 140, 100, 220);
    // x += y * 10 / 100.
    group.Skew(10, 0, 100, 1, nullptr);
    ExpectAt(b, 152, 120);
    ExpectBox(group.m_rcBound, 130, 152, 100, 220);
    // y -> 220 - y.
    group.Flip(CGeoPoint(0, 110), false, true, nullptr);
    ExpectAt(a, 130, 120);
    ExpectBox(group.m_rcBound, 130, 152, 100, 220);
    // About y = x.
    EXPECT_EQ(group.MirrorAbout(0, 0, 1, 1, false, false, nullptr), nullptr);
    ExpectAt(b, 100, 152);
    ExpectBox(group.m_rcBound, 100, 120, 130, 252);
}

TEST(DocDataGroup, MirrorAsCopyReturnsAReflectedCopyOfTheSameClass)
{
    auto* line = &(new TestDocData)->WithNodes({{0, 0}, {10, 0}});
    plat::ScopedTestCopiers copiers({MT_LINE});
    CDocDataGroup group(LinkObjects({line}), nullptr);
    CDocDataChar text(LinkObjects({Pt(5, 0)}), true, nullptr);

    CDocData* g = group.MirrorAbout(0, 0, 0, 1, true, true, nullptr);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->m_nType, MT_GROUP);
    EXPECT_NE(dynamic_cast<CDocDataGroup*>(g), nullptr);
    CDocData* gl = *g->ChildList();
    ASSERT_NE(gl, nullptr);
    // Reversed, then reflected about x = 0.
    EXPECT_EQ(gl->m_pNodes->m_x, -10.0);
    EXPECT_EQ(gl->m_pNodes->m_pNext->m_x, 0.0);
    EXPECT_EQ(line->m_pNodes->m_x, 0.0);
    ExpectBox(g->m_rcBound, -10, 0, 0, 0);
    delete g;

    CDocData* t = text.MirrorAbout(0, 0, 0, 1, true, false, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->m_nType, MT_CHAR);
    EXPECT_NE(dynamic_cast<CDocDataChar*>(t), nullptr);
    ExpectAt(*t->ChildList(), -5, 0);
    ExpectAt(text.m_pChildren, 5, 0);
    delete t;
}

TEST(DocDataGroup, OutputBracketsTheChildrenWithAOneByOneRecordOfTheBoxSize)
{
    ScopedMachine machine(1, 4);
    CDocDataGroup inner(LinkObjects({Pt(100, 50)}), nullptr);
    CDocDataGroup* nested = new CDocDataGroup(LinkObjects({Pt(60, 30)}), nullptr);
    CDocDataGroup group(LinkObjects({Pt(0, 0), nested, Pt(100, 50)}), nullptr);

    PATHREC* chain = group.MakeOutputPath();
    EXPECT_EQ(Kinds(chain), (std::vector<int>{2, 1, 2, 1, 2, 1, 2}));
    ASSERT_NE(chain->m_pArray, nullptr);
    EXPECT_EQ(chain->m_pArray->m_nRows, 1);
    EXPECT_EQ(chain->m_pArray->m_nCols, 1);
    EXPECT_EQ(chain->m_pArray->m_dDx, 100.0);
    EXPECT_EQ(chain->m_pArray->m_dDy, 50.0);
    EXPECT_EQ(chain->m_pArray->m_bFlag, 0);
    ExpectBox(CGeoBox(chain->m_xmin, chain->m_xmax, chain->m_ymin, chain->m_ymax), 0, 100, 0, 50);
    // The nested group's own bracket bounds its single dot.
    const PATHREC* nestedOpen = chain->m_pNext->m_pNext;
    ExpectBox(CGeoBox(nestedOpen->m_xmin, nestedOpen->m_xmax, nestedOpen->m_ymin, nestedOpen->m_ymax), 60, 60,
              30, 30);
    const PATHREC* last = chain;
    while (last->m_pNext != nullptr) {
        EXPECT_EQ(last->m_pNext->m_pPrev, last);
        last = last->m_pNext;
    }
    EXPECT_EQ(last->m_pArray, nullptr);
    FreePathRecordList(chain);

    // An own array record goes on the bracket and widens its bounds.
    group.m_pArray = Array(2, 1, 0, 80);
    group.m_pArray->m_dAreaW = 9000;
    group.m_pArray->m_dAreaH = 6000;
    group.m_pArray->m_bFlag = 1;
    chain = group.MakeOutputPath();
    ASSERT_NE(chain->m_pArray, nullptr);
    EXPECT_EQ(chain->m_pArray->m_nRows, 2);
    EXPECT_EQ(chain->m_pArray->m_dDy, 80.0);
    EXPECT_EQ(chain->m_pArray->m_dDx, 0.0);
    EXPECT_EQ(chain->m_pArray->m_dAreaW, 9000.0);
    EXPECT_EQ(chain->m_pArray->m_dAreaH, 6000.0);
    EXPECT_EQ(chain->m_pArray->m_bFlag, 0);
    EXPECT_EQ(chain->m_ymax, 130.0);
    FreePathRecordList(chain);
}

TEST(DocDataGroup, CopyIsADeepCopyOfTheWholeTree)
{
    auto* nurbs = new CDocDataNurbs;
    nurbs->m_nType = MT_NURBS;
    auto* nested = new CDocDataGroup(LinkObjects({Pt(1, 1), nurbs}), nullptr);
    CDocDataGroup src(LinkObjects({Pt(0, 0), nested}), nullptr);
    src.m_pLeadInOut = new LEADINOUT;
    src.m_pLeadInOut->m_dInLength = 35;
    src.m_pEndGap = new ENDGAP;
    src.m_pArray = Array(2, 2, 10, 10);
    src.m_pAttached = Pt(9, 9);
    src.m_bOutput = 0x81;
    src.m_bClosed = 1;
    src.m_bNodesSelected = 1;
    src.SetSelected(0);

    CDocData* copy = CloneDocData(&src, false);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(dynamic_cast<CDocDataGroup*>(copy), nullptr);
    EXPECT_EQ(copy->m_nType, MT_GROUP);
    EXPECT_EQ(copy->m_bOutput, 0x81);
    EXPECT_EQ(copy->m_bClosed, 0); // not copied
    EXPECT_EQ(copy->m_bNodesSelected, 1);
    EXPECT_EQ(copy->m_bSelected, 0);
    ASSERT_NE(copy->m_pLeadInOut, nullptr);
    EXPECT_NE(copy->m_pLeadInOut, src.m_pLeadInOut);
    EXPECT_EQ(copy->m_pLeadInOut->m_dInLength, 35.0);
    EXPECT_NE(copy->m_pEndGap, nullptr);
    EXPECT_NE(copy->m_pEndGap, src.m_pEndGap);
    ASSERT_NE(copy->m_pArray, nullptr);
    EXPECT_NE(copy->m_pArray, src.m_pArray);
    ASSERT_NE(copy->m_pAttached, nullptr);
    EXPECT_NE(copy->m_pAttached, src.m_pAttached);
    ExpectBox(copy->m_rcBound, src.m_rcBound.m_xmin, src.m_rcBound.m_xmax, src.m_rcBound.m_ymin,
              src.m_rcBound.m_ymax);

    CDocData* g0 = *(*copy->ChildList())->m_pNext->ChildList();
    ExpectAt(g0, 1, 1);
    // The NURBS object comes back empty, with type id 0.
    ASSERT_NE(g0->m_pNext, nullptr);
    EXPECT_EQ(g0->m_pNext->m_nType, MT_UNKNOWN);
    EXPECT_EQ(g0->m_pNext->m_pNodes, nullptr);

    // Moving the source leaves the copy where it was.
    src.Move(CGeoPoint(0, 0), CGeoPoint(5, 5), nullptr);
    ExpectAt(g0, 1, 1);
    DeleteObjectList(copy);

    // CloneList is the object-list clone: whole list or the first only.
    CDocData* list = LinkObjects({Pt(1, 2), Pt(3, 4)});
    CDocData* one = CDocDataGroup::CloneList(list, false);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->m_pNext, nullptr);
    CDocData* all = CDocDataGroup::CloneList(list, true);
    ASSERT_NE(all, nullptr);
    ExpectAt(all->m_pNext, 3, 4);
    EXPECT_EQ(CDocDataGroup::CloneList(nullptr, true), nullptr);
    DeleteObjectList(one);
    DeleteObjectList(all);
    DeleteObjectList(list);
}

TEST(DocDataChar, ListConstructorCopiesUnlessToldToAdopt)
{
    CDocData* list = LinkObjects({Pt(1, 2), Pt(3, 4)});
    list->SetColor(5, 0x0000AA);
    CDocDataChar copied(list, false, nullptr);
    EXPECT_EQ(copied.m_nType, MT_CHAR);
    ASSERT_NE(copied.m_pChildren, nullptr);
    EXPECT_NE(copied.m_pChildren, list);
    ExpectAt(copied.m_pChildren, 1, 2);
    ExpectAt(copied.m_pChildren->m_pNext, 3, 4);
    EXPECT_EQ(copied.m_nLayer, 5);
    EXPECT_EQ(copied.m_bSelected, 1);
    EXPECT_EQ(list->m_bSelected, 0); // the caller's list is left alone
    ExpectBox(copied.m_rcBound, 1, 3, 2, 4);

    CDocDataChar adopted(list, true, nullptr);
    EXPECT_EQ(adopted.m_pChildren, list);
    EXPECT_EQ(list->m_bSelected, 1);

    // A text copy is a text with copied outlines.
    CDocData* copy = CloneDocData(&adopted, true);
    ASSERT_NE(dynamic_cast<CDocDataChar*>(copy), nullptr);
    EXPECT_NE(*copy->ChildList(), list);
    ExpectAt((*copy->ChildList())->m_pNext, 3, 4);
    DeleteObjectList(copy);
}

TEST(DocDataGroup, DrawPreviewsTheGroupArrayThroughEveryChildBeforeTheirOwnDrawing)
{
    ScopedMachine machine(1, 4);
    CDocListNode snapshot;
    snapshot.m_pArray = Array(1, 2, 10, 0);
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &snapshot;
    CDocDataGroup group(LinkObjects({Pt(5, 5)}), &ctx);

    RecordingDC dc;
    // Draw: the group's array preview through every child, then the
    // children's own drawing (with their document copies).
    group.m_pArray = Array(2, 1, 0, 20);
    group.Draw(&dc, &ctx);
    std::vector<std::vector<int>> fills;
    for (const auto& c : dc.DrawCalls())
        fills.push_back(c.args);
    const std::vector<std::vector<int>> expected = {
        {4, 24, 6, 26, 0}, {4, 4, 6, 6, 0}, {14, 4, 16, 6, 0}};
    EXPECT_EQ(fills, expected);
}

TEST(UngroupAll, DissolvesGroupsThroughEveryLevelInOrderButKeepsTextsAndArrayedGroups)
{
    // G1 { a, G2 { b, c }, T { d } }, e, G3 {}, G4 { f } repeated 2 x 1.
    CDocDataPoint* a = Pt(1, 0);
    CDocDataPoint* b = Pt(2, 0);
    CDocDataPoint* c = Pt(3, 0);
    CDocDataPoint* d = Pt(4, 0);
    CDocDataPoint* e = Pt(5, 0);
    CDocDataPoint* f = Pt(6, 0);
    auto* g2 = new CDocDataGroup(LinkObjects({b, c}), nullptr);
    auto* text = new CDocDataChar(d, true, nullptr);
    auto* g1 = new CDocDataGroup(LinkObjects({a, g2, text}), nullptr);
    auto* g3 = new CDocDataGroup();
    auto* g4 = new CDocDataGroup(f, nullptr);
    g4->m_pArray = Array(2, 1, 0, 100);
    CDocData* list = LinkObjects({g1, e, g3, g4});

    UngroupAll(list);

    std::vector<CDocData*> order;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        order.push_back(o);
        if (o->m_pNext != nullptr) {
            EXPECT_EQ(o->m_pNext->m_pPrev, o);
        }
    }
    const std::vector<CDocData*> expected{a, b, c, text, e, g4};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(list->m_pPrev, nullptr);
    EXPECT_EQ(text->m_pChildren, d);
    EXPECT_EQ(g4->m_pChildren, f);
    DeleteObjectList(list);
}
