#include "app/QtDeviceContext.h"

#include <gtest/gtest.h>

namespace {

QImage Background()
{
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(QColor(255, 255, 255));
    for (int y = 10; y < 30; ++y)
        for (int x = 5; x < 40; ++x)
            img.setPixel(x, y, qRgb(x * 4, y * 5, 200));
    return img;
}

void DrawPreview(QtDeviceContext& dc)
{
    // A solid and a dotted line in XOR mode, as a drag preview draws them.
    dc.SelectPen(plat::Pen{plat::PS_SOLID, 0, 0x00FF00FF});
    dc.MoveTo(2, 3);
    dc.LineTo(60, 40);
    dc.LineTo(10, 44);
    dc.SelectPen(plat::Pen{plat::PS_DOT, 1, 0x0000FFFF});
    dc.MoveTo(0, 20);
    dc.LineTo(63, 20);
    dc.MoveTo(30, 0);
    dc.LineTo(30, 47);
}

} // namespace

TEST(QtDeviceContext, XorDrawnTwiceRestoresTheImage)
{
    const QImage original = Background();
    QImage img = original;
    {
        QtDeviceContext dc(img);
        dc.SetROP2(plat::R2_XORPEN);
        DrawPreview(dc);
    }
    EXPECT_NE(img, original);
    // The start pixel is XOR-ed with the pen colour.
    EXPECT_EQ(img.pixel(2, 3) & 0xFFFFFF, (original.pixel(2, 3) ^ 0xFF00FFu) & 0xFFFFFF);
    {
        QtDeviceContext dc(img);
        dc.SetROP2(plat::R2_XORPEN);
        DrawPreview(dc);
    }
    EXPECT_EQ(img, original);
}

TEST(QtDeviceContext, LineToLeavesOutItsEndPixel)
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(QColor(255, 255, 255));
    QtDeviceContext dc(img);
    dc.SelectPen(plat::Pen{plat::PS_SOLID, 0, 0});
    dc.MoveTo(1, 1);
    dc.LineTo(8, 1);
    EXPECT_EQ(img.pixel(1, 1) & 0xFFFFFF, 0u);
    EXPECT_EQ(img.pixel(7, 1) & 0xFFFFFF, 0u);
    EXPECT_EQ(img.pixel(8, 1) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(QtDeviceContext, XorFillRectTogglesPixels)
{
    const QImage original = Background();
    QImage img = original;
    QtDeviceContext dc(img);
    dc.SetROP2(plat::R2_XORPEN);
    dc.FillRect(plat::RECT{4, 4, 20, 20}, 0x00123456);
    EXPECT_EQ(img.pixel(10, 12) & 0xFFFFFF, (original.pixel(10, 12) ^ 0x563412u) & 0xFFFFFF);
    dc.FillRect(plat::RECT{4, 4, 20, 20}, 0x00123456);
    EXPECT_EQ(img, original);
}
