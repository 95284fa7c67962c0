// The rectangle object: its box order and start corners, and the bodies
// where it differs from the polyline, with values worked out by hand.
#include "LineTestSupport.h"
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/PathRecord.h"
#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using plat::AddLead;
using plat::MakeLine;
using plat::MakeNodes;
using plat::PointList;
using plat::PointsOf;
using plat::RecordingDC;
using plat::StatesOf;

namespace {

using RectPtr = std::unique_ptr<CDocDataRect>;

// Box (x-min, x-max, y-min, y-max) = (10, 30, 20, 50).
RectPtr Rect(std::uint8_t start)
{
    return RectPtr(new CDocDataRect(CGeoBox(10, 30, 20, 50), nullptr, start));
}

std::vector<std::string> Trace(const RecordingDC& dc)
{
    std::vector<std::string> out;
    for (const RecordingDC::Call& c : dc.DrawCalls()) {
        std::string s = c.op == RecordingDC::Op::MoveTo   ? "M"
                        : c.op == RecordingDC::Op::LineTo ? "L"
                        : c.op == RecordingDC::Op::Rectangle ? "R"
                                                             : "?";
        for (std::size_t i = 0; i < c.args.size(); ++i)
            s += (i == 0 ? " " : ",") + std::to_string(c.args[i]);
        out.push_back(s);
    }
    return out;
}

} // namespace

TEST(RectConstruct, BoxIsReadAsXMinXMaxYMinYMax)
{
    RectPtr rect = Rect(255);
    EXPECT_EQ(PointsOf(*rect), (PointList{{10, 20}, {30, 20}, {30, 50}, {10, 50}, {10, 20}}));
    EXPECT_EQ(StatesOf(*rect), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(rect->m_bClosed, 1);
    EXPECT_EQ(rect->m_bSelected, 0);
    EXPECT_EQ(rect->m_bNodesSelected, 0);
    EXPECT_EQ(rect->m_nType, MT_RECT);
    EXPECT_EQ(rect->m_rcBound.m_xmin, 10.0);
    EXPECT_EQ(rect->m_rcBound.m_xmax, 30.0);
    EXPECT_EQ(rect->m_rcBound.m_ymin, 20.0);
    EXPECT_EQ(rect->m_rcBound.m_ymax, 50.0);
}

TEST(RectConstruct, PositioningPointPicksTheStartCorner)
{
    const PointList fromMin{{10, 20}, {30, 20}, {30, 50}, {10, 50}, {10, 20}};
    const PointList fromLowRight{{30, 20}, {30, 50}, {10, 50}, {10, 20}, {30, 20}};
    const PointList fromTopLeft{{10, 50}, {10, 20}, {30, 20}, {30, 50}, {10, 50}};
    const PointList fromMax{{30, 50}, {10, 50}, {10, 20}, {30, 20}, {30, 50}};
    const PointList expected[] = {fromMin,     fromMin,     fromLowRight, fromMin, fromMin,
                                  fromLowRight, fromTopLeft, fromTopLeft,  fromMax, fromMin};
    for (std::uint8_t code = 0; code <= 9; ++code) {
        RectPtr rect = Rect(code);
        EXPECT_EQ(PointsOf(*rect), expected[code]) << int(code);
        EXPECT_EQ(StatesOf(*rect), (std::vector<int>{0, 0, 0, 0, 0})) << int(code);
        EXPECT_EQ(rect->m_bNodesSelected, 0);
    }
}

TEST(RectConstruct, DefaultRectangleIsOpenEmptyAndCannotBeClosed)
{
    CDocDataRect rect;
    EXPECT_EQ(rect.m_nType, MT_RECT);
    EXPECT_EQ(rect.m_bClosed, 0);
    EXPECT_TRUE(rect.m_rcBound.IsEmpty());
    EXPECT_EQ(rect.m_pNodes, nullptr);
    EXPECT_FALSE(rect.Close());
    EXPECT_EQ(rect.MakeOutputPath(), nullptr);
}

TEST(RectEdit, InsertedNodeStaysWithinASideAndTriesTheNextSide)
{
    RectPtr rect(new CDocDataRect(CGeoBox(0, 100, 0, 50), nullptr, 255));
    // Near the first corner but past the end of the bottom side: the left
    // side takes the node.
    EXPECT_TRUE(rect->InsertNodeAt(-0.5, 0.3, 1));
    const PointList pts = PointsOf(*rect);
    ASSERT_EQ(pts.size(), 6u);
    EXPECT_EQ(pts[3], (std::pair<double, double>{0, 50}));
    EXPECT_NEAR(pts[4].first, 0, 1e-9);
    EXPECT_NEAR(pts[4].second, 0.3, 1e-9);
    EXPECT_EQ(pts[5], (std::pair<double, double>{0, 0}));
    EXPECT_EQ(StatesOf(*rect), (std::vector<int>{1, 1, 1, 1, 1, 1}));
    EXPECT_FALSE(rect->InsertNodeAt(50, 25, 1));

    // The polyline inserts on the first side it hits, past its end.
    std::unique_ptr<CDocDataLine> line(MakeLine({{0, 0}, {100, 0}, {100, 50}, {0, 50}, {0, 0}}));
    EXPECT_TRUE(line->InsertNodeAt(-0.5, 0.3, 1));
    EXPECT_EQ(PointsOf(*line)[1], (std::pair<double, double>{-0.5, 0}));
}

TEST(RectEdit, NodeHitMarksEveryOtherNodeShownAndTheClosingNodeFollowsTheFirst)
{
    RectPtr rect = Rect(255);
    EXPECT_EQ(rect->SelectNodeAt(30, 20, 0.5, NODE_ACTIVE), 1);
    EXPECT_EQ(StatesOf(*rect), (std::vector<int>{1, 2, 1, 1, 1}));
    EXPECT_EQ(rect->SelectNodeAt(30, 20, 0.5, NODE_SELECTED), 1);
    EXPECT_EQ(StatesOf(*rect), (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(rect->SelectNodeAt(10, 20, 0.5, NODE_ACTIVE), 1);
    EXPECT_EQ(StatesOf(*rect), (std::vector<int>{2, 1, 1, 1, 2}));
    EXPECT_EQ(rect->SelectNodeAt(30, 50, 0.5, 255), 1);
    EXPECT_EQ(StatesOf(*rect), (std::vector<int>{2, 1, 1, 1, 2}));
    EXPECT_EQ(rect->SelectNodeAt(20, 35, 0.5, NODE_UNSELECTED), 0);
    EXPECT_EQ(StatesOf(*rect), (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST(RectEdit, DeleteUsesTheClosedRulesAndReportsNothingDeleted)
{
    RectPtr rect = Rect(255);
    rect->SelectAllNodes();
    EXPECT_FALSE(rect->DeleteSelectedNodes());
    EXPECT_EQ(PointsOf(*rect).size(), 5u);
    rect->SelectNodeAt(10, 20, 0.5, NODE_ACTIVE);
    EXPECT_TRUE(rect->DeleteSelectedNodes());
    EXPECT_EQ(PointsOf(*rect), (PointList{{30, 20}, {30, 50}, {10, 50}, {30, 20}}));

    // Filled in by a reader with the flag still clear: still closed rules,
    // so the closing node is kept and the first node goes.
    CDocDataRect read;
    read.m_pNodes = MakeNodes({{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}});
    read.m_bNodesSelected = 1;
    LastNode(read.m_pNodes)->m_nSelect = NODE_ACTIVE;
    EXPECT_TRUE(read.DeleteSelectedNodes());
    EXPECT_EQ(PointsOf(read), (PointList{{5, 0}, {5, 5}, {0, 5}, {5, 0}}));
    // And a new start is found on it as on a closed outline.
    EXPECT_TRUE(read.SetStartPoint(0, 5, 0.1));
    EXPECT_EQ(PointsOf(read), (PointList{{0, 5}, {5, 0}, {5, 5}, {0, 5}}));
}

TEST(RectTransform, FlippedLeadAngleJustBelowZeroWrapsRound)
{
    RectPtr rect = Rect(255);
    LEADINOUT* lead = AddLead(*rect, 1, 180.000001, 5, 30, 5);
    rect->Flip(CGeoPoint(20, 35), true, false, nullptr);
    EXPECT_NEAR(lead->m_dInAngle, 359.999999, 1e-9);
    EXPECT_NEAR(lead->m_dOutAngle, 150, 1e-9);
    // The box is recomputed; mirrored about x = 20 the rectangle is unchanged
    // in extent but now runs the other way round.
    EXPECT_NEAR(rect->m_rcBound.m_xmin, 10, 1e-9);
    EXPECT_NEAR(rect->m_pNodes->m_x, 30, 1e-9);
}

TEST(RectTransform, MoveRecomputesTheBoxAndExplodeMakesRectangles)
{
    plat::ScopedMachine noMachine;
    DOCCONTEXT ctx;
    auto* rect = new CDocDataRect(CGeoBox(0, 10, 0, 10), nullptr, 255);
    rect->m_rcBound = CGeoBox(-99, 99, -99, 99);
    rect->Move(CGeoPoint(0, 0), CGeoPoint(5, 0), &ctx);
    EXPECT_EQ(rect->m_rcBound.m_xmin, 5.0);
    EXPECT_EQ(rect->m_rcBound.m_xmax, 15.0);
    rect->m_pArray = new ARRAYREC;
    rect->m_pArray->m_nCols = 2;
    rect->m_pArray->m_dDx = 20;
    CDocData* list = rect;
    rect->ExplodeArray(&ctx);
    ASSERT_NE(rect->m_pNext, nullptr);
    EXPECT_NE(dynamic_cast<CDocDataRect*>(rect->m_pNext), nullptr);
    EXPECT_EQ(rect->m_pNext->m_pNodes->m_x, 25.0);
    DeleteObjectList(list);
}

TEST(RectOutput, LightGuideRectangleMarksItsPathButNotItsBrackets)
{
    plat::ScopedMachine noMachine;
    RectPtr rect = Rect(255);
    rect->m_bOutput = 0x81;
    PATHREC* single = rect->MakeOutputPath();
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->m_subkind, 3);
    EXPECT_EQ(single->m_closed, 1u);
    EXPECT_EQ(plat::SegmentsOf(single).size(), 4u);
    FreePathRecordList(single);

    rect->m_pArray = new ARRAYREC;
    rect->m_pArray->m_nCols = 3;
    rect->m_pArray->m_dDx = 40;
    PATHREC* chain = rect->MakeOutputPath();
    ASSERT_NE(chain, nullptr);
    ASSERT_NE(chain->m_pNext, nullptr);
    ASSERT_NE(chain->m_pNext->m_pNext, nullptr);
    EXPECT_EQ(chain->m_kind, PATH_KIND_GROUP);
    EXPECT_EQ(chain->m_subkind, 0);
    EXPECT_EQ(chain->m_pNext->m_subkind, 3);
    EXPECT_EQ(chain->m_pNext->m_pNext->m_subkind, 0);
    EXPECT_EQ(chain->m_xmin, 10.0);
    EXPECT_EQ(chain->m_xmax, 110.0); // 30 + 2 x 40
    FreePathRecordList(chain);
}

TEST(RectDraw, DirectionArrowSitsOnTheFirstSideWhateverTheSideLengths)
{
    // Sides 10, 100, 10, 100: a polyline would take the second side.
    RectPtr rect(new CDocDataRect(CGeoBox(100, 110, 100, 200), nullptr, 255));
    DOCCONTEXT ctx;
    RecordingDC dc;
    rect->DrawDirection(&dc, &ctx);
    EXPECT_EQ(Trace(dc), (std::vector<std::string>{"M 100,96", "L 107,100", "L 100,104"}));

    CDocDataRect empty;
    dc.Clear();
    empty.DrawDirection(&dc, &ctx);
    empty.m_pNodes = MakeNodes({{1, 1}});
    empty.DrawDirection(&dc, &ctx);
    EXPECT_TRUE(dc.Calls().empty());
}

TEST(RectDraw, NodeMarksOnlyForStatesOneAndTwo)
{
    RectPtr rect = Rect(255);
    rect->SelectAllNodes();
    DOCNODE* n = rect->m_pNodes;
    n->m_nSelect = 3;
    n->m_pNext->m_nSelect = NODE_ACTIVE;
    n->m_pNext->m_pNext->m_nSelect = NODE_UNSELECTED;
    n->m_pNext->m_pNext->m_pNext->m_nSelect = NODE_UNSELECTED;
    LastNode(n)->m_nSelect = NODE_UNSELECTED;
    DOCCONTEXT ctx;
    RecordingDC dc;
    rect->DrawNodes(&dc, &ctx);
    EXPECT_EQ(Trace(dc), (std::vector<std::string>{"M 27,17", "L 33,17", "L 33,23", "L 27,23", "L 27,16"}));
}

TEST(RectPreview, MovingTheFirstCornerDragsBothOfItsSides)
{
    RectPtr rect(new CDocDataRect(CGeoBox(100, 200, 100, 150), nullptr, 255));
    rect->m_bNodesSelected = 1;
    rect->SelectNodeAt(100, 100, 0.5, NODE_ACTIVE);
    DOCCONTEXT ctx;
    RecordingDC dc;
    rect->DrawNodeMovePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(10, 10), 0);
    EXPECT_EQ(Trace(dc), (std::vector<std::string>{"M 110,110", "L 200,100", "M 100,150", "L 110,110"}));
    EXPECT_EQ(dc.DrawCalls().front().rop, plat::R2_XORPEN);
    EXPECT_EQ(dc.GetROP2(), plat::R2_COPYPEN);
    EXPECT_EQ(PointsOf(*rect).front(), (std::pair<double, double>{100, 100}));
}
