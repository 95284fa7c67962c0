// The drawing object base class: construction, the base bodies, boxes with
// array extents per origin corner, the origin helpers, the arrow head and the
// object-list functions.
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

#include <cmath>

using plat::LinkObjects;
using plat::RecordingDC;
using plat::ScopedMachine;
using plat::TestDocData;

namespace {

void ExpectBox(const CGeoBox& box, double xmin, double xmax, double ymin, double ymax)
{
    EXPECT_DOUBLE_EQ(box.m_xmin, xmin);
    EXPECT_DOUBLE_EQ(box.m_xmax, xmax);
    EXPECT_DOUBLE_EQ(box.m_ymin, ymin);
    EXPECT_DOUBLE_EQ(box.m_ymax, ymax);
}

// A base object with nodes and records, as a class without overrides.
struct BareObject : CDocData {
    BareObject()
    {
        DOCNODE* n = AppendNode(nullptr, 10, 20);
        m_pNodes = n;
        AppendNode(n, 30, 40);
        m_pLeadInOut = new LEADINOUT;
        m_pLeadInOut->m_dInX = 5;
        m_pEndGap = new ENDGAP;
        m_pEndGap->m_dMarkX = 7;
        m_rcBound = CGeoBox(10, 30, 20, 40);
    }
};

} // namespace

TEST(DocData, ConstructionGivesOutputOnTypeZeroAndNoRecords)
{
    CDocData obj;
    EXPECT_EQ(obj.m_bOutput, 1);
    EXPECT_EQ(obj.m_nType, MT_UNKNOWN);
    EXPECT_EQ(obj.m_bSelected, 0);
    EXPECT_EQ(obj.m_bNodesSelected, 0);
    EXPECT_EQ(obj.m_bClosed, 0);
    EXPECT_TRUE(obj.m_rcBound.IsEmpty());
    EXPECT_EQ(LEADINOUT().m_nKind, 2);
    EXPECT_EQ(ENDGAP().m_dGap, 0.3);
}

TEST(DocData, BaseBodiesGiveNoOutputAndLeaveTheObjectUnchanged)
{
    BareObject obj;
    DOCCONTEXT ctx;
    RecordingDC dc;
    EXPECT_EQ(obj.MakeOutputPath(), nullptr);
    EXPECT_EQ(obj.CopyNodes(), nullptr);
    EXPECT_FALSE(obj.SelectAllNodes());
    EXPECT_FALSE(obj.DeselectNodes());
    EXPECT_FALSE(obj.SelectInRect(CGeoBox(0, 100, 0, 100)));
    EXPECT_EQ(obj.SelectNodeAt(10, 20, 1, 2), 0);
    EXPECT_FALSE(obj.HitSegment(20, 30, 5, 2));
    EXPECT_FALSE(obj.HitTest(20, 30, 5));
    CGeoBox box;
    EXPECT_FALSE(obj.UnionSelectedNodesRect(box, true, true));
    EXPECT_FALSE(obj.Reverse());
    EXPECT_FALSE(obj.SetStartPoint(30, 40, 1));
    CGeoPoint p(-1, -1);
    EXPECT_FALSE(obj.GetStartPoint(p));
    EXPECT_FALSE(obj.GetEndPoint(p));
    EXPECT_FALSE(obj.Close());
    EXPECT_FALSE(obj.InsertNodeAt(20, 30, 5));
    EXPECT_FALSE(obj.DeleteSelectedNodes());
    EXPECT_FALSE(obj.Reserved5());

    obj.SetColor(4, 0x123456);
    obj.Move(CGeoPoint(0, 0), CGeoPoint(100, 100), &ctx);
    obj.Scale(0, 0, 2, 2, &ctx);
    obj.ScaleNodes(0, 0, 2, 2, &ctx);
    obj.Skew(10, 0, 100, 0, &ctx);
    obj.Rotate(CGeoPoint(0, 0), 1.0, &ctx);
    obj.RotateBy3Points(CGeoPoint(0, 0), CGeoPoint(10, 0), CGeoPoint(0, 10), &ctx);
    obj.Flip(CGeoPoint(0, 0), true, true, &ctx);
    obj.MoveSelectedNodes(CGeoPoint(0, 0), CGeoPoint(5, 5), 1, &ctx);
    obj.ExplodeArray(&ctx);
    EXPECT_EQ(obj.MirrorAbout(0, 0, 1, 1, true, false, &ctx), nullptr);
    EXPECT_EQ(obj.MirrorAbout(0, 0, 1, 1, false, false, &ctx), nullptr);

    EXPECT_EQ(obj.m_pNodes->m_x, 10.0);
    EXPECT_EQ(obj.m_pNodes->m_y, 20.0);
    EXPECT_EQ(obj.m_pNodes->m_pNext->m_x, 30.0);
    EXPECT_EQ(obj.m_pNodes->m_pNext->m_y, 40.0);
    EXPECT_EQ(obj.m_nLayer, 0);
    EXPECT_EQ(obj.m_nColor, 0u);
    EXPECT_EQ(obj.m_pLeadInOut->m_dInX, 5.0);
    EXPECT_EQ(obj.m_pEndGap->m_dMarkX, 7.0);
    ExpectBox(obj.m_rcBound, 10, 30, 20, 40);

    obj.Draw(&dc, &ctx);
    obj.DrawNodes(&dc, &ctx);
    obj.DrawStartPoint(&dc, &ctx);
    obj.DrawIndex(&dc, &ctx, 3);
    obj.DrawDirection(&dc, &ctx);
    obj.DrawArrayCopies(&dc, &ctx);
    ARRAYREC array;
    array.m_nCols = 2;
    obj.DrawArrayPreview(&dc, &ctx, &array);
    obj.DrawMovePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(1, 1));
    obj.DrawScalePreview(&ctx, &dc, 0, 0, 2, 2);
    obj.DrawSkewPreview(&ctx, &dc, 1, 0, 10, 0);
    obj.DrawRotatePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(1, 0), CGeoPoint(0, 1));
    obj.DrawNodeMovePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(1, 1), 1);
    obj.DrawMirrorPreview(&ctx, &dc, 0, 0, 1, 1);
    EXPECT_TRUE(dc.Calls().empty());
}

TEST(DocData, SelectionFlagIsWhatSetSelectedStored)
{
    TestDocData obj;
    EXPECT_EQ(obj.IsSelected(), 0);
    obj.SetSelected(1);
    EXPECT_EQ(obj.IsSelected(), 1);
    obj.SetSelected(0);
    EXPECT_EQ(obj.IsSelected(), 0);
}

TEST(DocData, SelectedNodesRectStartsFreshOnlyWhenAskedAndSkipsUnselectedNodes)
{
    TestDocData obj;
    obj.WithNodes({{0, 0}, {10, 5}, {20, -5}, {30, 0}});
    obj.m_pNodes->m_pNext->m_nSelect = NODE_SELECTED;             // (10, 5)
    obj.m_pNodes->m_pNext->m_pNext->m_nSelect = NODE_ACTIVE;       // (20, -5)

    CGeoBox grown(100, 110, 100, 110);
    EXPECT_TRUE(obj.GetSelectedNodesRect(grown, false));
    ExpectBox(grown, 10, 110, -5, 110);

    CGeoBox fresh(100, 110, 100, 110);
    EXPECT_TRUE(obj.GetSelectedNodesRect(fresh, true));
    ExpectBox(fresh, 10, 20, -5, 5);
}

TEST(DocData, SnapToNodeIgnoresUnselectedNodesAndScalesTheDistance)
{
    TestDocData obj;
    obj.WithNodes({{100, 100}, {104, 100}});
    CGeoBox box;
    // The first node is nearer but unselected.
    obj.m_pNodes->m_pNext->m_nSelect = NODE_SELECTED;
    EXPECT_TRUE(obj.SnapToNode(box, CGeoPoint(101, 100), 1.0, 5.0));
    ExpectBox(box, 104, 104, 100, 100);
    // Three units at zoom 2 are six pixels: outside a tolerance of 5.
    EXPECT_FALSE(obj.SnapToNode(box, CGeoPoint(101, 100), 2.0, 5.0));
    obj.m_pNodes->m_pNext->m_nSelect = NODE_UNSELECTED;
    EXPECT_FALSE(obj.SnapToNode(box, CGeoPoint(100, 100), 1.0, 5.0));
}

class ArrayBoxTest : public ::testing::Test {
protected:
    ArrayBoxTest()
    {
        m_obj.WithNodes({{0, 0}, {100, 50}});
        m_obj.m_pArray = new ARRAYREC;
        m_obj.m_pArray->m_nCols = 3;
        m_obj.m_pArray->m_nRows = 2;
        m_obj.m_pArray->m_dDx = 150;
        m_obj.m_pArray->m_dDy = 80;
    }
    TestDocData m_obj;
};

TEST_F(ArrayBoxTest, CornerOneExtendsTowardsPositiveXAndY)
{
    ScopedMachine machine(1, 0);
    m_obj.RecalcBoundRect(nullptr);
    ExpectBox(m_obj.m_rcBound, 0, 400, 0, 130);
}

TEST_F(ArrayBoxTest, CornerZeroExtendsTowardsNegativeX)
{
    ScopedMachine machine(0, 0);
    m_obj.RecalcBoundRect(nullptr);
    ExpectBox(m_obj.m_rcBound, -300, 100, 0, 130);
}

TEST_F(ArrayBoxTest, CornerTwoExtendsTowardsNegativeXAndY)
{
    ScopedMachine machine(2, 0);
    m_obj.RecalcBoundRect(nullptr);
    ExpectBox(m_obj.m_rcBound, -300, 100, -80, 50);
}

TEST_F(ArrayBoxTest, CornerThreeExtendsTowardsNegativeY)
{
    ScopedMachine machine(3, 0);
    m_obj.RecalcBoundRect(nullptr);
    ExpectBox(m_obj.m_rcBound, 0, 400, -80, 50);
}

TEST_F(ArrayBoxTest, NoMachineKeepsThePitchesAsStored)
{
    ScopedMachine none;
    m_obj.RecalcBoundRect(nullptr);
    ExpectBox(m_obj.m_rcBound, 0, 400, 0, 130);
}

TEST_F(ArrayBoxTest, MachineIndexBeyondTheListMeansNoMachine)
{
    ScopedMachine machine(0, 0);
    g_settings.m_nCurMachine = 1;
    m_obj.RecalcBoundRect(nullptr);
    ExpectBox(m_obj.m_rcBound, 0, 400, 0, 130);
}

TEST_F(ArrayBoxTest, SingleCopyArrayLeavesTheBoxToTheNodes)
{
    ScopedMachine machine(0, 0);
    m_obj.m_pArray->m_nCols = 1;
    m_obj.m_pArray->m_nRows = 1;
    m_obj.RecalcBoundRect(nullptr);
    ExpectBox(m_obj.m_rcBound, 0, 100, 0, 50);
}

TEST(DocData, BoundRectCountsControlsAndAcceptsARing)
{
    TestDocData obj;
    obj.WithNodes({{0, 0}, {50, 80}, {100, 0}});
    obj.m_pNodes->m_pNext->m_nKind = NODE_CONTROL_OUT;
    obj.RecalcBoundRect(nullptr);
    ExpectBox(obj.m_rcBound, 0, 100, 0, 80);
    // The anchor box leaves the control out.
    ExpectBox(obj.GetAnchorRect(), 0, 100, 0, 0);

    DOCNODE* last = LastNode(obj.m_pNodes);
    last->m_pNext = obj.m_pNodes;
    obj.m_pNodes->m_pPrev = last;
    obj.RecalcBoundRect(nullptr);
    ExpectBox(obj.m_rcBound, 0, 100, 0, 80);
    ExpectBox(obj.GetAnchorRect(), 0, 100, 0, 0);
}

TEST(DocData, EmptyOutlinesGiveTheEmptyBoxNotTheSearchSeeds)
{
    TestDocData none;
    none.m_rcBound = CGeoBox(1, 2, 3, 4);
    none.RecalcBoundRect(nullptr);
    EXPECT_TRUE(none.m_rcBound.IsEmpty());
    EXPECT_TRUE(none.GetAnchorRect().IsEmpty());

    TestDocData controlsOnly;
    controlsOnly.WithNodes({{5, 5}});
    controlsOnly.m_pNodes->m_nKind = NODE_CONTROL_IN;
    EXPECT_TRUE(controlsOnly.GetAnchorRect().IsEmpty());
}

TEST(DocData, ApplyOriginSignPerCorner)
{
    const struct { std::uint8_t corner; double dx, dy; } cases[] = {
        {0, -150, 80}, {1, 150, 80}, {2, -150, -80}, {3, 150, -80}};
    for (const auto& c : cases) {
        ScopedMachine machine(c.corner, 0);
        double dx = 150, dy = 80;
        CDocData::ApplyOriginSign(dx, dy);
        EXPECT_EQ(dx, c.dx) << "corner " << int(c.corner);
        EXPECT_EQ(dy, c.dy) << "corner " << int(c.corner);
    }
}

TEST(DocData, OriginFlagsFollowTheCornerAndThePositioningGrid)
{
    int x = -1, y = -1;
    {
        ScopedMachine none;
        CDocData::GetOriginFlags(nullptr, x, y);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
    }
    const struct { std::uint8_t corner, dot; int x, y; } cases[] = {
        {0, 6, 1, 1}, // column 0, row 2
        {0, 4, 0, 0}, // the centre
        {0, 2, 0, 0}, // column 2, row 0
        {1, 8, 1, 1}, // column 2, row 2
        {1, 0, 0, 0},
        {2, 0, 1, 1}, // column 0, row 0
        {2, 8, 0, 0},
        {3, 2, 1, 1}, // column 2, row 0
        {3, 6, 0, 0},
    };
    for (const auto& c : cases) {
        ScopedMachine machine(c.corner, c.dot);
        CDocData::GetOriginFlags(nullptr, x, y);
        EXPECT_EQ(x, c.x) << "corner " << int(c.corner) << " dot " << int(c.dot);
        EXPECT_EQ(y, c.y) << "corner " << int(c.corner) << " dot " << int(c.dot);
    }
}

TEST(DocData, ArrowHeadWingsLieEightPixelsBackAtThirtyDegrees)
{
    RecordingDC dc;
    CDocData::DrawArrowHead(&dc, 100, 100, 140, 100);
    // Middle (120, 100); back point (112, 100); wings (120 - 8 cos 30, 100 -+ 4).
    const auto calls = dc.DrawCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].op, RecordingDC::Op::MoveTo);
    EXPECT_EQ(calls[0].args, (std::vector<int>{113, 96}));
    EXPECT_EQ(calls[1].op, RecordingDC::Op::LineTo);
    EXPECT_EQ(calls[1].args, (std::vector<int>{120, 100}));
    EXPECT_EQ(calls[2].op, RecordingDC::Op::LineTo);
    EXPECT_EQ(calls[2].args, (std::vector<int>{113, 104}));
}

TEST(DocData, ArrowHeadOnAPointDrawsAtThePointWithoutGarbageCoordinates)
{
    RecordingDC dc;
    CDocData::DrawArrowHead(&dc, 50, 60, 50, 60);
    for (const auto& call : dc.DrawCalls())
        EXPECT_EQ(call.args, (std::vector<int>{50, 60}));
}

TEST(DocData, CopyLeadInOutCarriesTheDoneFlagAndIgnoresANullSource)
{
    LEADINOUT src;
    src.m_nKind = 1;
    src.m_bDone = 1;
    src.m_dInAngle = 45;
    src.m_dOutY = 4;
    LEADINOUT dst;
    CDocData::CopyLeadInOut(&dst, &src);
    EXPECT_EQ(dst.m_nKind, 1);
    EXPECT_EQ(dst.m_bDone, 1);
    EXPECT_EQ(dst.m_dInAngle, 45);
    EXPECT_EQ(dst.m_dOutY, 4);

    CDocData::CopyLeadInOut(&dst, nullptr);
    EXPECT_EQ(dst.m_nKind, 1);
    EXPECT_EQ(dst.m_bDone, 1);
}

TEST(ObjectList, DeleteObjectListDestroysEveryObjectAndItsOwnedParts)
{
    auto* a = new TestDocData;
    a->WithNodes({{0, 0}, {1, 1}});
    a->m_pLeadInOut = new LEADINOUT;
    a->m_pArray = new ARRAYREC;
    a->m_pEndGap = new ENDGAP;
    a->m_pAttached = new TestDocData;
    auto* group = new TestDocData(MT_GROUP);
    group->WithChild(&(new TestDocData)->WithNodes({{2, 2}}));
    CDocData* head = LinkObjects({a, group, new TestDocData});
    DeleteObjectList(head);
    EXPECT_EQ(head, nullptr);
    // The leak checker of the sanitizer build sees anything left behind.
}

TEST(ObjectList, DeleteEmptyObjectsRemovesNodelessObjectsAtEveryLevelAndKeepsEmptiedGroups)
{
    auto* emptyHead = new TestDocData;
    auto* full = &(new TestDocData)->WithNodes({{0, 0}, {1, 0}});
    auto* innerEmpty = new TestDocData;
    auto* innerFull = &(new TestDocData)->WithNodes({{5, 5}});
    auto* text = new TestDocData(MT_CHAR);
    text->WithChild(new TestDocData).WithChild(innerFull).WithChild(innerEmpty);
    auto* emptiedGroup = new TestDocData(MT_GROUP);
    emptiedGroup->WithChild(new TestDocData).WithChild(new TestDocData);
    auto* nested = new TestDocData(MT_GROUP);
    nested->WithChild(emptiedGroup).WithChild(new TestDocData(MT_BEZIER));
    auto* emptyTail = new TestDocData;

    CDocData* head = LinkObjects({emptyHead, text, full, new TestDocData(MT_POINT), nested, emptyTail});
    DeleteEmptyObjects(head);

    // Left: text{innerFull}, full, nested{emptiedGroup{}}.
    ASSERT_EQ(head, text);
    EXPECT_EQ(text->m_pPrev, nullptr);
    EXPECT_EQ(text->m_pNext, full);
    EXPECT_EQ(full->m_pPrev, text);
    EXPECT_EQ(full->m_pNext, nested);
    EXPECT_EQ(nested->m_pPrev, full);
    EXPECT_EQ(nested->m_pNext, nullptr);

    ASSERT_EQ(text->m_pChildren, innerFull);
    EXPECT_EQ(innerFull->m_pPrev, nullptr);
    EXPECT_EQ(innerFull->m_pNext, nullptr);

    ASSERT_EQ(nested->m_pChildren, emptiedGroup);
    EXPECT_EQ(emptiedGroup->m_pNext, nullptr);
    EXPECT_EQ(emptiedGroup->m_pChildren, nullptr);

    DeleteObjectList(head);
}

TEST(ObjectList, DeleteEmptyObjectsOnAListOfOnlyEmptyObjectsLeavesNull)
{
    CDocData* head = LinkObjects({new TestDocData, new TestDocData, new TestDocData});
    DeleteEmptyObjects(head);
    EXPECT_EQ(head, nullptr);
    CDocData* none = nullptr;
    DeleteEmptyObjects(none);
    EXPECT_EQ(none, nullptr);
}
