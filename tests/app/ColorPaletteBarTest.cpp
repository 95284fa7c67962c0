// The colour bar: pages of cells for the bar's width (the partial last page,
// a narrow bar), paging that wraps and keeps the sunken mark with its page,
// the painted swatch, cells and labels, and clicks between cells.
#include "app/ColorPaletteBar.h"
#include "settings/SoftwareSettings.h"

#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

namespace {

class ColorPaletteBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_settings.m_palette;
        g_settings.m_palette = kDefaultPalette;
        m_bar.resize(650, CColorPaletteBar::kHeight);
        // Shown once, so that grabs deliver no pending resize that lays it out again.
        m_bar.show();
        m_bar.RecalcLayout(QRect(0, 0, 650, CColorPaletteBar::kHeight));
    }
    void TearDown() override { g_settings.m_palette = m_saved; }
    QImage Grab() { return m_bar.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    std::array<COLORREF, kPaletteSize> m_saved{};
    CColorPaletteBar m_bar;
};

TEST_F(ColorPaletteBarTest, FifteenCellsLeaveAPartialPageWithIndex255ThatPagingReachesAndWrapsPast)
{
    EXPECT_EQ(m_bar.CellsPerPage(), 15);
    EXPECT_EQ(m_bar.PageCount(), 17);
    EXPECT_EQ(m_bar.CellsOnLastPage(), 1);

    m_bar.OnPrevPage(); // wraps below page 0 to the partial page
    EXPECT_EQ(m_bar.ShownPage(), 17);
    EXPECT_EQ(m_bar.CellsShown(), 1);
    m_bar.OnNextPage(); // and past it back to page 0
    EXPECT_EQ(m_bar.ShownPage(), 0);
    for (int i = 0; i < 17; ++i)
        m_bar.OnNextPage();
    EXPECT_EQ(m_bar.ShownPage(), 17);

    // The only cell of the partial page is index 255.
    ASSERT_TRUE(m_bar.ClickAt(QPoint(115, 22)));
    EXPECT_EQ(m_bar.CurrentIndex(), 255);
    // A click where the page has no cell changes nothing.
    EXPECT_FALSE(m_bar.ClickAt(QPoint(147, 22)));
    EXPECT_EQ(m_bar.CurrentIndex(), 255);
}

TEST_F(ColorPaletteBarTest, ANarrowBarStillShowsOneCellAndAWideOneNeverMoreThanThePalette)
{
    m_bar.RecalcLayout(QRect(0, 0, 100, CColorPaletteBar::kHeight));
    EXPECT_EQ(m_bar.CellsPerPage(), 1);
    EXPECT_EQ(m_bar.PageCount(), 256);
    EXPECT_EQ(m_bar.CellsOnLastPage(), 0);
    // Without a partial page, previous from page 0 goes to page 255.
    m_bar.OnPrevPage();
    EXPECT_EQ(m_bar.ShownPage(), 255);
    m_bar.OnNextPage();
    EXPECT_EQ(m_bar.ShownPage(), 0);

    m_bar.RecalcLayout(QRect(0, 0, 20000, CColorPaletteBar::kHeight));
    EXPECT_EQ(m_bar.CellsPerPage(), 256);
    EXPECT_EQ(m_bar.PageCount(), 1);
}

TEST_F(ColorPaletteBarTest, SwatchCellsAndLabelsPaintThePaletteColours)
{
    const QImage image = Grab();
    EXPECT_EQ(image.pixel(22, 22), qRgb(0, 0, 0));       // swatch: palette 0
    EXPECT_EQ(image.pixel(147, 22), qRgb(0xDD, 0x13, 0x7B)); // cell 1
    // Cell 0 is black, labelled "1" in white.
    int white = 0;
    int black = 0;
    for (int y = 11; y < 34; ++y) {
        for (int x = 101; x < 129; ++x) {
            white += image.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
            black += image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
        }
    }
    EXPECT_GT(white, 3);
    EXPECT_GT(black, 400);
}

TEST_F(ColorPaletteBarTest, PagingAwayLeavesNoSunkenCellAndPagingBackMarksItAgain)
{
    const QRgb sunken = m_bar.palette().color(QPalette::Dark).rgb();
    ASSERT_NE(sunken, m_bar.palette().color(QPalette::Light).rgb());
    ASSERT_TRUE(m_bar.ClickAt(QPoint(147, 22)));
    EXPECT_EQ(m_bar.CurrentIndex(), 1);
    QImage image = Grab();
    EXPECT_EQ(image.pixel(m_bar.CellRect(1).topLeft()), sunken);
    EXPECT_NE(image.pixel(m_bar.CellRect(0).topLeft()), sunken);

    m_bar.OnNextPage();
    EXPECT_EQ(m_bar.ShownSelectedCell(), -1);
    image = Grab();
    for (int i = 0; i < m_bar.CellsShown(); ++i)
        EXPECT_NE(image.pixel(m_bar.CellRect(i).topLeft()), sunken) << i;

    m_bar.OnPrevPage();
    EXPECT_EQ(m_bar.ShownSelectedCell(), 1);
    EXPECT_EQ(Grab().pixel(m_bar.CellRect(1).topLeft()), sunken);

    // Between cells 0 and 1 nothing is hit.
    EXPECT_FALSE(m_bar.ClickAt(QPoint(131, 22)));
    EXPECT_EQ(m_bar.CurrentIndex(), 1);
}

} // namespace
