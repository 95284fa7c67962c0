// Place on table: the three modes on the current machine's table (not the
// first machine of the list), selecting everything when nothing is selected,
// and the answers without a context, a machine or anything to move.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

class PlaceOnTable : public testing::Test {
protected:
    void SetUp() override
    {
        // The first machine of the list is 900 x 600 mm; the current one,
        // the second, 1300 x 900 mm.
        m_first.m_xsize = 900;
        m_first.m_ysize = 600;
        m_current.m_xsize = 1300;
        m_current.m_ysize = 900;
        m_first.m_next = &m_current;
        m_current.m_prev = &m_first;
        m_settings.m_pMachines = &m_first;
        m_settings.m_nCurMachine = 1;
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pCurrent = &m_doc;
    }
    void TearDown() override
    {
        m_first.m_next = nullptr;
        m_current.m_prev = nullptr;
        m_settings.m_pMachines = nullptr;
    }

    // Two rectangles spanning x 500100..500300 and y 499000..499500
    // together, both selected, with the selection box set.
    void TwoSelected()
    {
        m_a = new CDocDataRect(CGeoBox(500100, 500200, 499000, 499200), nullptr, 255);
        m_b = new CDocDataRect(CGeoBox(500250, 500300, 499300, 499500), nullptr, 255);
        m_a->m_bSelected = m_b->m_bSelected = 1;
        m_doc.m_pFirst = LinkObjects({m_a, m_b});
        m_ctx.m_rcSelect = CGeoBox(500100, 500300, 499000, 499500);
    }

    SoftwareSettings m_settings;
    MachineNode m_first;
    MachineNode m_current;
    CDocListNode m_doc;
    DOCCONTEXT m_ctx;
    CDocData* m_a = nullptr;
    CDocData* m_b = nullptr;
};

TEST_F(PlaceOnTable, EachModeMovesTheSelectionOnTheCurrentMachinesTable)
{
    TwoSelected();
    // Mode 0: bottom 499000 onto the origin line, a move of (0, +1000).
    EXPECT_EQ(CPathProc::PlaceOnTable(&m_ctx, 0), 1u);
    EXPECT_EQ(m_a->m_rcBound.m_xmin, 500100.0);
    EXPECT_EQ(m_a->m_rcBound.m_ymin, 500000.0);
    EXPECT_EQ(m_b->m_rcBound.m_ymax, 500500.0);
    EXPECT_EQ(m_ctx.m_rcSelect.m_ymin, 500000.0);
    EXPECT_EQ(m_ctx.m_rcSelect.m_ymax, 500500.0);

    // Mode 1: the box's centre (500200, 500250) onto the centre of the
    // 1300 x 900 mm table, (506500, 504500): a move of (+6300, +4250). The
    // first machine's table would have put it on (504500, 503000).
    EXPECT_EQ(CPathProc::PlaceOnTable(&m_ctx, 1), 1u);
    EXPECT_EQ(m_a->m_rcBound.m_xmin, 506400.0);
    EXPECT_EQ(m_a->m_rcBound.m_ymin, 504250.0);
    EXPECT_EQ(m_ctx.m_rcSelect.Center().m_x, 506500.0);
    EXPECT_EQ(m_ctx.m_rcSelect.Center().m_y, 504500.0);

    // Mode 2: top 504750 onto the far edge 509000.
    EXPECT_EQ(CPathProc::PlaceOnTable(&m_ctx, 2), 1u);
    EXPECT_EQ(m_b->m_rcBound.m_ymax, 509000.0);
    EXPECT_EQ(m_a->m_rcBound.m_ymin, 508500.0);
    EXPECT_EQ(m_a->m_rcBound.m_xmin, 506400.0);

    // Any other mode moves nothing.
    EXPECT_EQ(CPathProc::PlaceOnTable(&m_ctx, 7), 1u);
    EXPECT_EQ(m_a->m_rcBound.m_ymin, 508500.0);
    DeleteObjectList(m_doc.m_pFirst);
}

TEST_F(PlaceOnTable, NothingSelectedSelectsAllAndAnEmptyDocumentOrNoMachineMovesNothing)
{
    TwoSelected();
    m_a->m_bSelected = m_b->m_bSelected = 0;
    m_ctx.m_rcSelect.SetEmpty();
    EXPECT_EQ(CPathProc::PlaceOnTable(&m_ctx, 0), 1u);
    EXPECT_EQ(m_a->m_bSelected, 1);
    EXPECT_EQ(m_b->m_bSelected, 1);
    EXPECT_EQ(m_a->m_rcBound.m_ymin, 500000.0);

    // Something to move but no machine: 0, nothing moved.
    m_settings.m_pMachines = nullptr;
    EXPECT_EQ(CPathProc::PlaceOnTable(&m_ctx, 2), 0u);
    EXPECT_EQ(m_a->m_rcBound.m_ymin, 500000.0);
    DeleteObjectList(m_doc.m_pFirst);

    // An empty document answers 1 before the machine is looked for.
    m_ctx.m_rcSelect.SetEmpty();
    EXPECT_EQ(CPathProc::PlaceOnTable(&m_ctx, 1), 1u);
    EXPECT_TRUE(m_ctx.m_rcSelect.IsEmpty());
    EXPECT_EQ(CPathProc::PlaceOnTable(nullptr, 1), 0u);
}

} // namespace
} // namespace plat
