#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

using namespace plat;

TEST(RecordingDC, RecordsPenAndModeInForceWithEachCall)
{
    RecordingDC dc;
    {
        ScopedPen pen(dc, Pen{PS_DOT, 1, 0x00FF00FF}, R2_XORPEN);
        dc.MoveTo(1, 2);
        dc.LineTo(3, 4);
    }
    dc.LineTo(5, 6);
    const auto draws = dc.DrawCalls();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[1].op, RecordingDC::Op::LineTo);
    EXPECT_EQ(draws[1].args, (std::vector<int>{3, 4}));
    EXPECT_EQ(draws[1].rop, R2_XORPEN);
    EXPECT_EQ(draws[1].pen.style, PS_DOT);
    // The scope restored the default pen and mode.
    EXPECT_EQ(draws[2].rop, R2_COPYPEN);
    EXPECT_EQ(draws[2].pen, Pen{});
    EXPECT_EQ(dc.CurrentPosition(), (POINT{5, 6}));
}

TEST(RecordingDC, PolyBezierKeepsEveryPoint)
{
    RecordingDC dc;
    const POINT pts[4] = {{0, 0}, {1, 2}, {3, 4}, {5, 6}};
    dc.PolyBezier(pts, 4);
    ASSERT_EQ(dc.Count(RecordingDC::Op::PolyBezier), 1u);
    EXPECT_EQ(dc.Calls()[0].args, (std::vector<int>{0, 0, 1, 2, 3, 4, 5, 6}));
}
