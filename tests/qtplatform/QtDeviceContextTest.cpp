#include "qtplatform/QtDeviceContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

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

namespace {

QImage White(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(255, 255, 255));
    return img;
}

// Pixels that are not white, as (x, y) pairs in row order.
std::vector<std::pair<int, int>> Marked(const QImage& img)
{
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                out.emplace_back(x, y);
    return out;
}

} // namespace

// A line reaching far outside the image (a far object at a high zoom) is cut
// to the image first: the same pixels as its visible part, the dotted
// pattern counted from its real start, and no work for the pixels outside.
TEST(QtDeviceContext, FarLinesAreCutToTheImageKeepingTheirPixelsAndDottedPhase)
{
    QImage img = White(64, 48);
    {
        QtDeviceContext dc(img);
        dc.SelectPen(plat::Pen{plat::PS_DOT, 1, 0});
        // From x = -1001: every other pixel from there, so the odd columns.
        dc.MoveTo(-1001, 5);
        dc.LineTo(100, 5);
        dc.SelectPen(plat::Pen{plat::PS_SOLID, 0, 0});
        // A diagonal across four billion pixels: exactly (10 + k, k) inside.
        dc.MoveTo(-2000000000, -2000000010);
        dc.LineTo(2000000000, 1999999990);
    }
    std::vector<std::pair<int, int>> want;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            if ((y == 5 && x % 2 == 1) || x == y + 10)
                want.emplace_back(x, y);
        }
    }
    EXPECT_EQ(Marked(img), want);
}

TEST(QtDeviceContext, ClipRegionHoldsLinesFillsAndXorRestoresInsideIt)
{
    const QImage original = Background();
    QImage img = original;
    {
        QtDeviceContext dc(img);
        dc.SetClipRegion(QRegion(QRect(8, 8, 10, 10)) + QRegion(QRect(40, 0, 4, 48)));
        dc.SetViewportOrg(-100, -100); // the clip stays in image pixels
        dc.SelectPen(plat::Pen{plat::PS_SOLID, 0, 0x000000});
        dc.MoveTo(100, 112);
        dc.LineTo(164, 112);
    }
    // Row 12 only within x 8..17 and 40..43.
    std::vector<std::pair<int, int>> changed;
    for (int x = 0; x < 64; ++x) {
        if (img.pixel(x, 12) != original.pixel(x, 12))
            changed.emplace_back(x, 12);
    }
    std::vector<std::pair<int, int>> want;
    for (int x : {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 40, 41, 42, 43})
        want.emplace_back(x, 12);
    EXPECT_EQ(changed, want);

    img = original;
    for (int k = 0; k < 2; ++k) {
        QtDeviceContext dc(img);
        dc.SetClipRegion(QRegion(QRect(8, 8, 10, 10)));
        dc.SetROP2(plat::R2_XORPEN);
        DrawPreview(dc);
        dc.FillRect(plat::RECT{0, 0, 64, 48}, 0x00FFFFFF);
        if (k == 0) {
            EXPECT_EQ(img.pixel(30, 30), original.pixel(30, 30)) << "outside the clip";
            EXPECT_NE(img.pixel(10, 10), original.pixel(10, 10));
        }
    }
    EXPECT_EQ(img, original);
}

TEST(QtDeviceContext, WideLinesShapesAndTextFarOutsideOrOnANullImageDrawSafely)
{
    QImage img = White(64, 48);
    {
        QtDeviceContext dc(img);
        dc.SelectPen(plat::Pen{plat::PS_SOLID, 2, 0});
        dc.MoveTo(-2000000000, 20);
        dc.LineTo(2000000000, 20);
        dc.SelectPen(plat::Pen{plat::PS_SOLID, 0, 0});
        dc.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);
        const plat::POINT curve[4] = {{-2000000000, 0}, {0, 2000000000}, {2000000000, 0}, {0, -2000000000}};
        dc.PolyBezier(curve, 4);
        dc.Rectangle(-2000000000, -2000000000, 2000000000, 2000000000);
    }
    // The wide line covers row 20 from edge to edge.
    for (int x = 0; x < 64; ++x)
        EXPECT_EQ(img.pixel(x, 20) & 0xFFFFFF, 0u) << x;

    QImage null;
    QtDeviceContext dc(null);
    dc.SelectPen(plat::Pen{plat::PS_SOLID, 2, 0});
    dc.MoveTo(0, 0);
    dc.LineTo(10, 10);
    dc.SelectPen(plat::Pen{plat::PS_DOT, 1, 0});
    dc.LineTo(0, 10);
    dc.SetPixel(1, 1, 0);
    dc.FillRect(plat::RECT{0, 0, 5, 5}, 0);
    dc.Rectangle(0, 0, 5, 5);
    dc.TextOut(0, 0, u"x");
    EXPECT_FALSE(dc.DrawBmpFile("/nonexistent/picture.bmp", plat::RECT{0, 0, 5, 5}));
    EXPECT_TRUE(null.isNull());
}

// The stepping of a one-pixel line: pixel i of n = max(|dx|, |dy|) steps is
// start + round(d x i / n), halves away from zero, end pixel left out (a
// dotted pen: the even i). Lines of every slope and direction, many of them
// through halves, must land on exactly those pixels.
TEST(QtDeviceContext, LinePixelsFollowTheRoundedSteppingInEveryDirection)
{
    std::vector<std::array<int, 4>> lines;
    for (int dx = -9; dx <= 9; ++dx)
        for (int dy = -9; dy <= 9; ++dy)
            if (dx != 0 || dy != 0)
                lines.push_back({20, 20, 20 + 2 * dx, 20 + 2 * dy});
    for (const bool dotted : {false, true}) {
        for (const auto& [x0, y0, x1, y1] : lines) {
            QImage img = White(48, 48);
            {
                QtDeviceContext dc(img);
                dc.SelectPen(plat::Pen{dotted ? plat::PS_DOT : plat::PS_SOLID, 0, 0});
                dc.MoveTo(x0, y0);
                dc.LineTo(x1, y1);
            }
            const int n = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
            std::vector<std::pair<int, int>> want;
            for (int i = 0; i < n; i += dotted ? 2 : 1) {
                const double fx = static_cast<double>(x1 - x0) * i / n;
                const double fy = static_cast<double>(y1 - y0) * i / n;
                want.emplace_back(x0 + static_cast<int>(fx < 0 ? -std::floor(-fx + 0.5) : std::floor(fx + 0.5)),
                                  y0 + static_cast<int>(fy < 0 ? -std::floor(-fy + 0.5) : std::floor(fy + 0.5)));
            }
            std::sort(want.begin(), want.end(), [](const auto& a, const auto& b) {
                return a.second != b.second ? a.second < b.second : a.first < b.first;
            });
            EXPECT_EQ(Marked(img), want) << x0 << "," << y0 << " to " << x1 << "," << y1 << (dotted ? " dotted" : "");
        }
    }
}

// A thin solid curve is drawn as one-pixel lines along it: a quarter of a
// circle of radius 40 about (50, 50), from (10, 50) to (50, 10), marks
// pixels within a pixel of the circle only, in every row and column it
// spans but for the end pixel's, which is left out as a line's is.
TEST(QtDeviceContext, ThinCurvesAreDrawnAlongTheCurve)
{
    QImage img = White(64, 64);
    {
        QtDeviceContext dc(img);
        dc.SelectPen(plat::Pen{plat::PS_SOLID, 1, 0});
        const plat::POINT quarter[4] = {{10, 50}, {10, 28}, {28, 10}, {50, 10}};
        dc.PolyBezier(quarter, 4);
    }
    const auto marked = Marked(img);
    std::set<int> rows, columns;
    for (const auto& [x, y] : marked) {
        EXPECT_NEAR(std::hypot(x - 50.0, y - 50.0), 40.0, 1.0) << x << "," << y;
        rows.insert(y);
        columns.insert(x);
    }
    EXPECT_EQ(rows.size(), 41u);    // 10 .. 50: row 50 holds the start pixel
    EXPECT_EQ(columns.size(), 40u); // 10 .. 49: column 50 only the end pixel
    EXPECT_EQ(std::count(marked.begin(), marked.end(), std::pair<int, int>(50, 10)), 0);

    // Two image pixels per logical one: the same quarter is as fine as the
    // image, within an image pixel of the circle of radius 80 about (100, 100).
    QImage fine = White(128, 128);
    fine.setDevicePixelRatio(2.0);
    {
        QtDeviceContext dc(fine);
        dc.SelectPen(plat::Pen{plat::PS_SOLID, 1, 0});
        const plat::POINT quarter[4] = {{10, 50}, {10, 28}, {28, 10}, {50, 10}};
        dc.PolyBezier(quarter, 4);
    }
    rows.clear();
    for (const auto& [x, y] : Marked(fine)) {
        EXPECT_NEAR(std::hypot(x - 100.0, y - 100.0), 80.0, 1.0) << x << "," << y;
        rows.insert(y);
    }
    EXPECT_EQ(rows.size(), 81u); // 20 .. 100
}

// A tool may open a context of its own over the screen image while the view
// draws on it (a repaint, a key): both draw, each with its own origin, pen
// and clip, whichever drew last.
TEST(QtDeviceContext, TwoContextsOpenOverOneImageBothDrawWithTheirOwnStateAndClip)
{
    QImage img = White(20, 20);
    QtDeviceContext first(img);
    first.SetClipRegion(QRegion(0, 0, 10, 20));
    first.FillRect(plat::RECT{0, 0, 20, 2}, 0x0000FF);
    {
        QtDeviceContext second(img);
        second.SetViewportOrg(5, 5);
        second.FillRect(plat::RECT{8, 0, 12, 2}, 0xFF0000);
        first.FillRect(plat::RECT{0, 4, 20, 5}, 0x00FF00);
        second.FillRect(plat::RECT{8, 10, 9, 11}, 0xFF0000);
    }
    first.FillRect(plat::RECT{0, 18, 20, 19}, 0x00FF00);
    const auto at = [&](int x, int y) { return img.pixel(x, y) & 0xFFFFFF; };
    EXPECT_EQ(at(9, 0), 0xFF0000u);
    EXPECT_EQ(at(10, 0), 0xFFFFFFu) << "outside the first one's clip";
    EXPECT_EQ(at(13, 5), 0x0000FFu);
    EXPECT_EQ(at(16, 6), 0x0000FFu) << "the second one is not clipped";
    EXPECT_EQ(at(12, 5), 0xFFFFFFu);
    EXPECT_EQ(at(9, 4), 0x00FF00u);
    EXPECT_EQ(at(10, 4), 0xFFFFFFu);
    EXPECT_EQ(at(13, 15), 0x0000FFu);
    EXPECT_EQ(at(9, 18), 0x00FF00u);
    EXPECT_EQ(at(10, 18), 0xFFFFFFu);
}
