// Image buffer turns and mirrors on a 3 x 2 image whose rows are padded to
// 4 bytes: row 0 = 1 2 3 pad, row 1 = 4 5 6 pad (pad 0).
#include "model/BitmapBuffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<std::uint8_t> Image()
{
    return {1, 2, 3, 0, 4, 5, 6, 0};
}
} // namespace

TEST(BitmapRotateBuffer, QuarterTurnPutsColumnsIntoRows)
{
    auto buf = Image();
    ASSERT_TRUE(BitmapRotateBuffer(3, 2, buf, 90));
    // Pixel (x, y) goes to row 2 - x, column y; rows of 2 pixels pad to 4.
    const std::vector<std::uint8_t> expect = {3, 6, 255, 255, 2, 5, 255, 255, 1, 4, 255, 255};
    EXPECT_EQ(buf, expect);
}

TEST(BitmapRotateBuffer, HalfTurnAndThreeQuarterTurn)
{
    auto half = Image();
    ASSERT_TRUE(BitmapRotateBuffer(3, 2, half, 180));
    EXPECT_EQ(half, (std::vector<std::uint8_t>{6, 5, 4, 255, 3, 2, 1, 255}));
    auto three = Image();
    ASSERT_TRUE(BitmapRotateBuffer(3, 2, three, 270));
    EXPECT_EQ(three, (std::vector<std::uint8_t>{4, 1, 255, 255, 5, 2, 255, 255, 6, 3, 255, 255}));
    // 90 then 270 gives the image back, padding now 255.
    auto back = Image();
    BitmapRotateBuffer(3, 2, back, 90);
    BitmapRotateBuffer(2, 3, back, 270);
    EXPECT_EQ(back, (std::vector<std::uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}));
}

TEST(BitmapRotateBuffer, ShortBufferOrEmptySizeIsRefusedUntouched)
{
    std::vector<std::uint8_t> shortBuf = {1, 2, 3, 0, 4, 5};
    EXPECT_FALSE(BitmapRotateBuffer(3, 2, shortBuf, 90));
    EXPECT_EQ(shortBuf.size(), 6u);
    auto buf = Image();
    EXPECT_FALSE(BitmapRotateBuffer(0, 2, buf, 90));
    EXPECT_FALSE(BitmapRotateBuffer(3, -1, buf, 90));
    EXPECT_EQ(buf, Image());
}

TEST(BitmapMirrorBuffer, HorizontalKeepsPaddingVerticalSwapsRows)
{
    auto h = Image();
    ASSERT_TRUE(BitmapMirrorBuffer(3, 2, h, true, false));
    EXPECT_EQ(h, (std::vector<std::uint8_t>{3, 2, 1, 0, 6, 5, 4, 0}));
    auto v = Image();
    ASSERT_TRUE(BitmapMirrorBuffer(3, 2, v, false, true));
    EXPECT_EQ(v, (std::vector<std::uint8_t>{4, 5, 6, 0, 1, 2, 3, 0}));
    auto both = Image();
    ASSERT_TRUE(BitmapMirrorBuffer(3, 2, both, true, true));
    EXPECT_EQ(both, (std::vector<std::uint8_t>{6, 5, 4, 0, 3, 2, 1, 0}));
    std::vector<std::uint8_t> shortBuf = {1, 2, 3};
    EXPECT_FALSE(BitmapMirrorBuffer(3, 2, shortBuf, true, true));
}
