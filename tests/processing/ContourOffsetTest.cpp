// Contour offset: squares out and in (and in past their middle), the open
// corner path on both sides, the cut mitre of a one-degree spike on a closed
// and an open outline, spikes turning either way, and the selection command.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace plat {
namespace {

void ExpectPoints(const DOCNODE* head, const std::vector<XY>& expected, double tol = 1e-9)
{
    const std::vector<XY> got = NodePositions(head);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].first, expected[i].first, tol) << "node " << i;
        EXPECT_NEAR(got[i].second, expected[i].second, tol) << "node " << i;
    }
}

CDocData* ClosedSquare(double side)
{
    return MakeLine({{0, 0}, {side, 0}, {side, side}, {0, side}, {0, 0}});
}

TEST(OffsetContour, SquareMovesOutAndInAndAnOffsetPastItsMiddleGivesNothing)
{
    CDocData* square = ClosedSquare(100);
    ASSERT_EQ(square->m_bClosed, 1);
    CDocData* out = CPathProc::OffsetContour(square, 10, 1, nullptr);
    ASSERT_NE(out, nullptr);
    ExpectPoints(out->m_pNodes, {{-10, -10}, {110, -10}, {110, 110}, {-10, 110}, {-10, -10}});
    EXPECT_NEAR(out->m_rcBound.m_xmax, 110.0, 1e-9);
    CDocData* in = CPathProc::OffsetContour(square, 10, 0, nullptr);
    ASSERT_NE(in, nullptr);
    ExpectPoints(in->m_pNodes, {{10, 10}, {90, 10}, {90, 90}, {10, 90}, {10, 10}});
    // 60 inwards would give the square (60,60)-(40,40) run the other way
    // round: the outline has collapsed.
    EXPECT_EQ(CPathProc::OffsetContour(square, 60, 0, nullptr), nullptr);
    // An open outline has no inside.
    square->m_bClosed = 0;
    EXPECT_EQ(CPathProc::OffsetContour(square, 10, 1, nullptr), nullptr);
    delete out;
    delete in;
    delete square;
}

TEST(OffsetOpenPath, CornerPathOnBothSides)
{
    // (0,0)-(100,0)-(100,50) by 10. The ends are lengthened by 10 for the
    // offset and shortened again after it: left (the inside of the turn)
    // (0,10)-(90,10)-(90,50), right (0,-10)-(110,-10)-(110,50).
    CDocData* path = MakeLine({{0, 0}, {100, 0}, {100, 50}});
    EXPECT_TRUE(CPathProc::IsOpenPathLeft(path));
    CDocData* left = CPathProc::OffsetOpenPath(path, 10, 1, 100, nullptr);
    ExpectPoints(left->m_pNodes, {{0, 10}, {90, 10}, {90, 50}});
    CDocData* right = CPathProc::OffsetOpenPath(path, 10, 0, 100, nullptr);
    ExpectPoints(right->m_pNodes, {{0, -10}, {110, -10}, {110, 50}});
    EXPECT_EQ(NodePositions(path->m_pNodes), (std::vector<XY>{{0, 0}, {100, 0}, {100, 50}}));
    delete left;
    delete right;
    delete path;
}

// A spike with a one-degree tip at (100, 0), symmetric about the x axis.
const double kHalf = 0.5 * std::numbers::pi / 180.0;
const double kA = 100.0 * std::tan(kHalf);
const double kC = 10.0 / std::cos(kHalf); // how far the offset lines lie off the legs along y

TEST(OffsetContour, OneDegreeSpikeIsCutSquareFourDistancesBeyondItsTip)
{
    // The crossing of the two offset lines lies 10 / sin(0.5 deg) = 1146
    // beyond the tip. It is cut at x = 100 + 4 x 10 by two nodes on the
    // offset lines y = -a + a x / 100 -/+ c. The base corners keep their
    // crossings with x = -10.
    CDocData* spike = MakeLine({{0, -kA}, {100, 0}, {0, kA}, {0, -kA}});
    CDocData* out = CPathProc::OffsetContour(spike, 10, 1, nullptr);
    ASSERT_NE(out, nullptr);
    ExpectPoints(out->m_pNodes, {{-10, -1.1 * kA - kC},
                                 {140, 0.4 * kA - kC},
                                 {140, kC - 0.4 * kA},
                                 {-10, 1.1 * kA + kC},
                                 {-10, -1.1 * kA - kC}},
                 1e-9);
    delete out;
    delete spike;
}

TEST(OffsetOpenPath, OneDegreeSpikeKeepsItsTipWithinFourDistances)
{
    CDocData* spike = MakeLine({{0, -kA}, {100, 0}, {0, kA}});
    // Outside (right of the way in): the ends sit on the normals at the
    // ends, the tip is cut square at x = 140.
    CDocData* outside = CPathProc::OffsetOpenPath(spike, 10, 0, 100, nullptr);
    const double s = std::sin(kHalf), c = std::cos(kHalf);
    ExpectPoints(outside->m_pNodes,
                 {{10 * s, -kA - 10 * c}, {140, 0.4 * kA - kC}, {140, kC - 0.4 * kA}, {10 * s, kA + 10 * c}});
    delete outside;
    delete spike;
}

TEST(OffsetOpenPath, SpikesTurningEitherWayAreRemoved)
{
    // The turn at the middle node is a hair short of pi, once clockwise and
    // once counter-clockwise; both are spikes.
    for (bool flip : {false, true}) {
        DOCNODE* nodes = flip ? MakeNodes({{0, 0.02}, {100, 0.01}, {0, 0}}) : MakeNodes({{0, 0}, {100, 0.01}, {0, 0.02}});
        CPathProc::RemoveSpikes(nodes, 0.2);
        EXPECT_EQ(NodePositions(nodes).size(), 2u) << flip;
        CDocState::FreeNodeList(nodes);
    }
    // A right angle stays.
    DOCNODE* corner = MakeNodes({{0, 0}, {10, 0}, {10, 10}});
    CPathProc::RemoveSpikes(corner, 0.2);
    EXPECT_EQ(NodePositions(corner).size(), 3u);
    CDocState::FreeNodeList(corner);
}

TEST(OffsetSelection, SquareGetsItsOffsetRightAfterItAndTextsAndGroupsStay)
{
    CDocListNode document;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &document;
    CDocData* square = ClosedSquare(100);
    square->m_nLayer = 4;
    square->m_nColor = 0x00FF00;
    square->m_bOutput = 1;
    CDocData* group = new CDocDataGroup(LinkObjects({MakeLine({{200, 0}, {300, 0}})}), nullptr);
    CDocData* other = MakeLine({{0, 500}, {10, 500}});
    square->SetSelected(1);
    group->SetSelected(1);
    other->SetSelected(0);
    document.m_pFirst = LinkObjects({square, group, other});
    CPathProc::OffsetSelection(&ctx, 10, 1, 0);
    ASSERT_EQ(CountObjects(document.m_pFirst), 4);
    EXPECT_EQ(document.m_pFirst, square);
    CDocData* added = square->m_pNext;
    EXPECT_EQ(added->m_pNext, group);
    EXPECT_EQ(group->m_pNext, other);
    EXPECT_EQ(added->m_pPrev, square);
    EXPECT_EQ(square->IsSelected(), 0);
    EXPECT_EQ(added->IsSelected(), 1);
    EXPECT_EQ(added->m_nLayer, 4);
    EXPECT_EQ(added->m_nColor, 0x00FF00u);
    ExpectPoints(added->m_pNodes, {{-10, -10}, {110, -10}, {110, 110}, {-10, 110}, {-10, -10}});
    EXPECT_NEAR(ctx.m_rcSelect.m_xmin, -10.0, 1e-9);
    EXPECT_NEAR(ctx.m_rcSelect.m_ymax, 110.0, 1e-9);

    // Deleting the source: the offset takes its place.
    added->SetSelected(0);
    square->SetSelected(1);
    CPathProc::OffsetSelection(&ctx, 5, 0, 1);
    ASSERT_EQ(CountObjects(document.m_pFirst), 4);
    ExpectPoints(document.m_pFirst->m_pNodes, {{5, 5}, {95, 5}, {95, 95}, {5, 95}, {5, 5}});
    EXPECT_EQ(document.m_pFirst->m_pNext, added);
}

} // namespace
} // namespace plat
