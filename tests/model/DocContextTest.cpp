#include "model/DocContext.h"
#include "model/DocState.h"
#include "platform/RecordingDC.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

TEST(DocContext, WorldToClientUsesZoomAndTheViewsScrollAtEachCall)
{
    DOCCONTEXT ctx;
    ctx.m_dZoom = 1.0;
    ctx.m_ptScroll = {499950, 499950};
    CGeoPoint out;
    ctx.WorldToClientPoint(CGeoPoint(500000.0, 500000.0), out);
    EXPECT_EQ(out.m_x, 50.0);
    EXPECT_EQ(out.m_y, 50.0);

    plat::RecordingView view;
    view.m_scroll = {100, 200};
    ctx.m_pView = &view;
    ctx.m_dZoom = 0.5;
    ctx.WorldToClientPoint(CGeoPoint(1000.5, 600.0), out);
    EXPECT_EQ(out.m_x, 400.25);
    EXPECT_EQ(out.m_y, 100.0);
    view.m_scroll = {0, 0};
    EXPECT_EQ(ctx.WorldToClientPixel(1000.5, 600.0), (plat::POINT{500, 300}));

    CGeoBox r;
    ctx.WorldToClientRect(CGeoBox(10, 20, 30, 40), r);
    EXPECT_EQ(r.m_xmin, 5.0);
    EXPECT_EQ(r.m_ymax, 20.0);
    EXPECT_EQ(ctx.WorldToClientRectInt({3, 5, 7, 9}), (plat::RECT{2, 3, 4, 5}));
    EXPECT_EQ(ctx.LogicalToWorld({3, 5}), (plat::POINT{6, 10}));
}

TEST(DocContext, DrawBezierNodesDrawsOnePieceperGroupAndSkipsLeadingControls)
{
    DOCNODE* head = AppendNode(nullptr, 5, 5, NODE_CONTROL_IN);
    DOCNODE* n = AppendNode(head, 0, 0);
    n = AppendNode(n, 10.2, 0, NODE_CONTROL_OUT);
    n = AppendNode(n, 20, 10.6, NODE_CONTROL_IN);
    n = AppendNode(n, 30, 10);
    n = AppendNode(n, 40, 10, NODE_CONTROL_OUT);
    n = AppendNode(n, 50, 10, NODE_CONTROL_IN); // one node short of a piece
    plat::RecordingDC dc;
    DrawBezierNodes(head, &dc, 2.0);
    ASSERT_EQ(dc.Count(plat::RecordingDC::Op::PolyBezier), 1u);
    EXPECT_EQ(dc.Calls()[0].args, (std::vector<int>{0, 0, 20, 0, 40, 21, 60, 20}));
    CDocState::FreeNodeList(head);
}

// A far object at a high zoom, or a broken coordinate, must never reach an
// undefined double-to-int conversion, nor leave a device coordinate so near
// the end of 32 bits that a handle's few pixels overflow it: pixels are
// held to +-2^29.
TEST(DocContext, PixelConversionsSaturateAndTakeNaNAsZero)
{
    constexpr std::int32_t kFar = 536870912; // 2^29
    EXPECT_EQ(plat::RoundPixel(2.5), 3);
    EXPECT_EQ(plat::RoundPixel(-2.5), -2); // trunc(-2.0)
    EXPECT_EQ(plat::RoundPixel(-0.7), 0);  // trunc(-0.2)
    EXPECT_EQ(plat::RoundPixel(536870910.4), 536870910);
    EXPECT_EQ(plat::RoundPixel(2147483646.4), kFar);
    EXPECT_EQ(plat::RoundPixel(1e300), kFar);
    EXPECT_EQ(plat::RoundPixel(-1e300), -kFar);
    EXPECT_EQ(plat::RoundPixel(std::numeric_limits<double>::infinity()), kFar);
    EXPECT_EQ(plat::RoundPixel(std::numeric_limits<double>::quiet_NaN()), 0);

    DOCCONTEXT ctx;
    ctx.m_dZoom = 100.0;
    ctx.m_ptScroll = {-2000000000, 2000000000};
    // The scroll is taken away from the whole logical value, so a far
    // corner keeps its side: 2e11 + 2e9 right, -2e11 + 2e9 left.
    EXPECT_EQ(ctx.WorldToClientRectInt({2000000000, 0, -2000000000, -2000000000}),
              (plat::RECT{kFar, -kFar, -kFar, -kFar}));
    ctx.m_ptScroll = {100, 200};
    EXPECT_EQ(ctx.WorldToClientRectInt({3, 4, 5, 6}), (plat::RECT{200, 200, 400, 400}));
    EXPECT_EQ(ctx.WorldToClientPixel(1e12, std::numeric_limits<double>::quiet_NaN()), (plat::POINT{kFar, 0}));
    ctx.m_dZoom = 1e-5;
    // World units are no pixels: they keep the 32-bit range.
    EXPECT_EQ(ctx.LogicalToWorld({INT32_MAX, -5}), (plat::POINT{INT32_MAX, -499999}));
}

// A context without settings (a test's, a headless run's) falls back on the
// process-wide block; a tool index outside the table or an empty slot gives
// no tool, and the caller's base stands in.
TEST(DocContext, SettingsAndToolFallBackWhereTheContextHasNone)
{
    EXPECT_EQ(&SettingsOf(nullptr), &g_settings);
    DOCCONTEXT ctx;
    EXPECT_EQ(&SettingsOf(ctx), &g_settings);
    SoftwareSettings own;
    ctx.m_pSettings = &own;
    EXPECT_EQ(&SettingsOf(&ctx), &own);

    CDocState base;
    CDocState select;
    ctx.m_pTools[TOOL_SELECT] = &select;
    ctx.m_nTool = TOOL_SELECT;
    EXPECT_EQ(CurrentTool(&ctx), &select);
    EXPECT_EQ(&CurrentToolOr(&ctx, base), &select);
    for (std::int32_t index : {std::int32_t{TOOL_PAN}, -1, kToolCount}) {
        ctx.m_nTool = index;
        EXPECT_EQ(CurrentTool(&ctx), nullptr) << index;
        EXPECT_EQ(&CurrentToolOr(&ctx, base), &base) << index;
    }
    EXPECT_EQ(&CurrentToolOr(nullptr, base), &base);
}
