// Bezier paths whose control nodes sit on their anchors become polylines in
// their place; the import's last clean-up step runs it on the whole
// document.
//
// Faults these catch: a curve with a real control flattened to its chord, a
// straight curve losing its array or lead record or its output switch (an
// object on a layer switched off would be cut), the list head left on a
// freed object, groups entered.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocDataGroup.h"
#include "model/DocData.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

TEST(BezierToPolyline, StraightCurvesBecomePolylinesInPlaceWithTheirRecords)
{
    // First: controls within 0.001 of their anchors; second: a control 0.002
    // off; third: a straight curve inside a group.
    CDocDataBezier* straight =
        MakeBezier({{0, 0}, {0.0005, 0}, {9.9995, 0.0009}, {10, 0}, {10, 0.0004}, {10, 4.9991}, {10, 5}}, 7);
    straight->m_nColor = 0x123456;
    straight->m_bSelected = 0;
    straight->m_bOutput = 0x80;
    straight->m_pArray = new ARRAYREC;
    straight->m_pArray->m_nCols = 2;
    straight->m_pArray->m_dDx = 20.0;
    straight->m_pLeadInOut = new LEADINOUT;
    CDocDataBezier* curved = MakeBezier({{0, 0}, {0.002, 0}, {10, 0}, {10, 0}}, 1);
    CDocData* inGroup = new CDocDataGroup(MakeBezier({{0, 0}, {0, 0}, {3, 0}, {3, 0}}), nullptr);
    CDocData* list = LinkObjects({straight, curved, inGroup});

    CPathProc::BezierToPolyline(list, nullptr);

    ASSERT_EQ(CountObjects(list), 3);
    ASSERT_EQ(list->GetType(), MT_LINE);
    EXPECT_EQ(list->m_pPrev, nullptr);
    EXPECT_EQ(list->m_pNext, curved);
    EXPECT_EQ(curved->m_pPrev, list);
    EXPECT_EQ(NodePositions(list->m_pNodes), (std::vector<XY>{{0, 0}, {10, 0}, {10, 5}}));
    EXPECT_EQ(NodeKinds(list->m_pNodes), (std::vector<std::uint8_t>{NODE_ANCHOR, NODE_ANCHOR, NODE_ANCHOR}));
    EXPECT_EQ(list->m_nLayer, 7);
    EXPECT_EQ(list->m_nColor, 0x123456u);
    EXPECT_EQ(list->m_bSelected, 0);
    EXPECT_EQ(list->m_bOutput, 0x80);
    ASSERT_NE(list->m_pArray, nullptr);
    EXPECT_EQ(list->m_pArray->m_nCols, 2);
    EXPECT_NE(list->m_pLeadInOut, nullptr);
    // The box spans the array copy: 0 .. 10 + 20.
    EXPECT_EQ(list->m_rcBound.m_xmax, 30.0);

    EXPECT_EQ(curved->GetType(), MT_BEZIER);
    EXPECT_EQ(CountNodes(curved->m_pNodes), 4);
    EXPECT_EQ((*inGroup->ChildList())->GetType(), MT_BEZIER);
    DeleteObjectList(list);
}

} // namespace
} // namespace plat
