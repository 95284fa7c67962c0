// The work-area outline behind the drawing, recorded call by call: axes
// through the origin corner across the whole view, the shadow of each corner
// code, the outline, and the grid with its line count rule. Positions are
// worked out by hand at zoom 0.1 with the view scrolled to (49990, 49990),
// which puts the machine origin (world 500000) at client pixel 10.
#include "app/CoverGrid.h"
#include "model/DocContext.h"
#include "platform/RecordingDC.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using plat::RecordingDC;

namespace {

constexpr int kClientWidth = 1000;
constexpr int kClientHeight = 700;
const plat::Pen kAxisPen{plat::PS_DOT, 1, 0xFF8000};
const plat::Pen kShadowPen{plat::PS_SOLID, 2, 0x808080};
const plat::Pen kOutlinePen{plat::PS_SOLID, 1, 0x000000};
const plat::Pen kGridPen{plat::PS_DOT, 1, 0xDCDCDC};

// A move or a line: op, x, y, pen.
struct Step {
    RecordingDC::Op op;
    int x;
    int y;
    plat::Pen pen;
    friend bool operator==(const Step&, const Step&) = default;
};

class CoverGridTest : public ::testing::Test {
protected:
    CoverGridTest()
    {
        m_settings.SetPaletteAndInterfaceDefaults();
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_dZoom = 0.1;
        m_ctx.m_ptScroll = {49990, 49990};
    }
    void UseMachine(int widthMm, int heightMm, int origin)
    {
        m_machine.m_xsize = widthMm;
        m_machine.m_ysize = heightMm;
        m_machine.m_orign = static_cast<std::uint8_t>(origin);
        m_settings.m_pMachines = &m_machine;
        m_settings.m_nCurMachine = 0;
    }
    std::vector<Step> Draw()
    {
        RecordingDC dc;
        CCoverGrid().Draw(&dc, &m_ctx, kClientWidth, kClientHeight);
        EXPECT_EQ(dc.CurrentPen(), plat::Pen{});
        std::vector<Step> steps;
        for (const RecordingDC::Call& c : dc.DrawCalls())
            steps.push_back({c.op, c.args[0], c.args[1], c.pen});
        return steps;
    }
    std::vector<Step> WithPen(const std::vector<Step>& steps, const plat::Pen& pen)
    {
        std::vector<Step> out;
        for (const Step& s : steps) {
            if (s.op == RecordingDC::Op::LineTo && s.pen == pen)
                out.push_back(s);
        }
        return out;
    }
    ~CoverGridTest() override { m_settings.m_pMachines = nullptr; }

    SoftwareSettings m_settings;
    MachineNode m_machine;
    DOCCONTEXT m_ctx;
};

constexpr auto Move = RecordingDC::Op::MoveTo;
constexpr auto Line = RecordingDC::Op::LineTo;

} // namespace

TEST_F(CoverGridTest, WithoutAMachineThe900By600AreaIsDrawnWithItsOriginTopLeft)
{
    // L = T = 10, R = 10 + 900, B = 10 + 600.
    const std::vector<Step> steps = Draw();
    EXPECT_EQ(steps, (std::vector<Step>{{Move, 10, 0, kAxisPen},
                                        {Line, 10, 700, kAxisPen},
                                        {Move, 0, 10, kAxisPen},
                                        {Line, 1000, 10, kAxisPen},
                                        {Move, 911, 13, kShadowPen},
                                        {Line, 911, 612, kShadowPen},
                                        {Line, 13, 612, kShadowPen},
                                        {Move, 10, 10, kOutlinePen},
                                        {Line, 910, 10, kOutlinePen},
                                        {Line, 910, 610, kOutlinePen},
                                        {Line, 10, 610, kOutlinePen},
                                        {Line, 10, 10, kOutlinePen}}));

    // A current-machine index past the end of the list draws the same.
    UseMachine(2000, 2000, 3);
    m_settings.m_nCurMachine = 1;
    EXPECT_EQ(Draw(), steps);
}

TEST_F(CoverGridTest, EachOriginCornerPutsTheAxesAndTheShadowOnItsOwnEdges)
{
    struct Expected {
        int origin;
        int axisX, axisY;
        std::vector<int> shadow; // three corners
    };
    const Expected cases[] = {
        {0, 910, 10, {10, 13, 10, 612, 907, 612}},
        {1, 10, 10, {911, 13, 911, 612, 13, 612}},
        {2, 910, 610, {907, 10, 9, 10, 9, 607}},
        {3, 10, 610, {13, 10, 912, 10, 912, 607}},
    };
    for (const Expected& e : cases) {
        UseMachine(900, 600, e.origin);
        const std::vector<Step> steps = Draw();
        ASSERT_EQ(steps.size(), 12u) << e.origin;
        EXPECT_EQ(steps[0].x, e.axisX) << e.origin;
        EXPECT_EQ(steps[1], (Step{Line, e.axisX, kClientHeight, kAxisPen})) << e.origin;
        EXPECT_EQ(steps[2].y, e.axisY) << e.origin;
        EXPECT_EQ(steps[3], (Step{Line, kClientWidth, e.axisY, kAxisPen})) << e.origin;
        EXPECT_EQ((std::vector<int>{steps[4].x, steps[4].y, steps[5].x, steps[5].y, steps[6].x, steps[6].y}), e.shadow)
            << e.origin;
        EXPECT_EQ(steps[5].pen, kShadowPen);
    }
    // Any other code draws the outline alone.
    UseMachine(900, 600, 4);
    const std::vector<Step> steps = Draw();
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(WithPen(steps, kOutlinePen).size(), 4u);
}

TEST_F(CoverGridTest, AGridLineIsAddedForARemainderOfAtLeastOneMillimetre)
{
    m_settings.show_net = 1;
    m_settings.net_interval = 100.0;
    // 900 mm: 8 inner lines at 100 .. 800 mm, x = 10 + 100 i, from T + 1 to B;
    // 600 mm: 5 at y = 10 + 100 j, from L + 1 to R.
    std::vector<Step> grid = WithPen(Draw(), kGridPen);
    ASSERT_EQ(grid.size(), 13u);
    for (int i = 1; i <= 8; ++i)
        EXPECT_EQ(grid[static_cast<std::size_t>(i - 1)], (Step{Line, 10 + 100 * i, 610, kGridPen}));
    for (int j = 1; j <= 5; ++j)
        EXPECT_EQ(grid[static_cast<std::size_t>(7 + j)], (Step{Line, 910, 10 + 100 * j, kGridPen}));

    // 920 mm: 9 lines, the last at 900 mm.
    UseMachine(920, 600, 1);
    grid = WithPen(Draw(), kGridPen);
    ASSERT_EQ(grid.size(), 14u);
    EXPECT_EQ(grid[8], (Step{Line, 910, 610, kGridPen}));

    m_settings.show_net = 0;
    EXPECT_TRUE(WithPen(Draw(), kGridPen).empty());
}

TEST_F(CoverGridTest, AnIntervalThatIsNotAPositiveNumberDrawsNoGridAndATinyOneStaysBounded)
{
    m_settings.show_net = 1;
    for (double g : {0.0, -100.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        m_settings.net_interval = g;
        EXPECT_TRUE(WithPen(Draw(), kGridPen).empty()) << g;
    }
    // 1e-6 mm: 900 million lines across 900 pixels. One line per pixel
    // column from 10 to 910 and per row from 10 to 610 is what shows.
    m_settings.net_interval = 1e-6;
    const std::vector<Step> grid = WithPen(Draw(), kGridPen);
    ASSERT_EQ(grid.size(), 901u + 601u);
    // Columns first (ending on B = 610), then rows (ending on R = 910).
    for (std::size_t k = 0; k < 901; ++k)
        EXPECT_EQ(grid[k], (Step{Line, 10 + static_cast<int>(k), 610, kGridPen}));
    for (std::size_t k = 0; k < 601; ++k)
        EXPECT_EQ(grid[901 + k], (Step{Line, 910, 10 + static_cast<int>(k), kGridPen}));
}

TEST_F(CoverGridTest, AtHighZoomTheAxesStillSpanTheWholeViewAndOnlyVisibleGridLinesAreWalked)
{
    m_settings.show_net = 1;
    m_settings.net_interval = 1.0;
    m_ctx.m_dZoom = 100.0;
    // The origin at client (-500, -600); the area's far corner at
    // (900000 - 500, 600000 - 600).
    m_ctx.m_ptScroll = {50000500, 50000600};
    const std::vector<Step> steps = Draw();
    EXPECT_EQ(steps[1], (Step{Line, -500, kClientHeight, kAxisPen}));
    EXPECT_EQ(steps[3], (Step{Line, kClientWidth, -600, kAxisPen}));
    // Grid lines every 10 world units = 1000 pixels: columns x = -500 + 1000 i
    // (only i = 1 falls in the view), rows y = -600 + 1000 j (only j = 1).
    const std::vector<Step> grid = WithPen(steps, kGridPen);
    EXPECT_EQ(grid, (std::vector<Step>{{Line, 500, 599400, kGridPen}, {Line, 899500, 400, kGridPen}}));
}
