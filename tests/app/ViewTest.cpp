// The drawing view at a fixed client size of 800 x 600 pixels: the first
// display of an empty document worked out by hand, the painted work area
// and objects read back from the screen image at mapped points, the screen
// image's behaviour under previews, invalidations and resizing, and the
// zoom's limits.
#include "AppTestSupport.h"
#include "app/OrvelDoc.h"
#include "app/OrvelView.h"
#include "qtplatform/QtDeviceContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "settings/SoftwareSettings.h"

#include <QScrollBar>
#include <QTest>

namespace {

using plat::kWhite;
constexpr QRgb kBlack = 0x000000;
constexpr QRgb kAxis = 0x0080FF;   // COLORREF 0xFF8000
constexpr QRgb kShadow = 0x808080;

// Draws, while shown, an XOR rectangle in logical coordinates 100 to 400
// across and 80 to 300 down from the view's corner, as a drag preview does.
class PreviewTool : public CDocState {
public:
    void DrawFeedback(DOCCONTEXT* ctx) override
    {
        if (m_shown)
            Draw(ctx->m_pDC, ctx->m_pView->GetScrollPosition());
    }
    static void Draw(CDC* dc, plat::POINT scroll)
    {
        const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 0, 0x00FF00}, plat::R2_XORPEN);
        dc->MoveTo(scroll.x + 100, scroll.y + 80);
        dc->LineTo(scroll.x + 400, scroll.y + 80);
        dc->LineTo(scroll.x + 400, scroll.y + 300);
        dc->LineTo(scroll.x + 100, scroll.y + 300);
        dc->LineTo(scroll.x + 100, scroll.y + 80);
    }
    bool m_shown = false;
};
PreviewTool* g_preview = nullptr;
CDocState* MakeTool(int index)
{
    if (index != 0)
        return new CDocState;
    g_preview = new PreviewTool;
    return g_preview;
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedMachines = g_settings.m_pMachines;
        g_settings.m_pMachines = nullptr;
        g_settings.SetPaletteAndInterfaceDefaults();
        COrvelDoc::SetToolFactory(&MakeTool);
        m_doc = std::make_unique<COrvelDoc>();
        m_view = std::make_unique<COrvelView>(m_doc.get());
        m_view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_view.get()));
        m_chrome = m_view->size() - m_view->viewport()->size();
        Resize(QSize(800, 600));
    }
    void TearDown() override
    {
        m_view.reset();
        m_doc.reset();
        COrvelDoc::SetToolFactory(nullptr);
        g_settings.m_pMachines = m_savedMachines;
    }
    void Resize(const QSize& client)
    {
        m_view->resize(client + m_chrome);
        QCoreApplication::processEvents();
        ASSERT_EQ(m_view->ClientSize(), client);
    }
    QRgb Pixel(int x, int y) const { return m_view->ScreenImage().pixel(x, y) & 0xFFFFFF; }
    void Repaint()
    {
        m_view->InvalidateRect(nullptr, true);
        m_view->UpdateWindow();
    }
    DOCCONTEXT& Ctx() { return m_doc->Context(); }

    MachineNode* m_savedMachines = nullptr;
    std::unique_ptr<COrvelDoc> m_doc;
    std::unique_ptr<COrvelView> m_view;
    QSize m_chrome;
};

} // namespace

TEST_F(ViewTest, AnEmptyDocumentIsFittedToTheWorkAreaAsWorkedOutByHand)
{
    m_view->OnInitialUpdate();
    // Box 9000 x 6000 world units into 800 x 600: s = min(800/9000, 600/6000)
    // = 4/45, less a fifteenth: 56/675. Centre (504500, 503000); half the
    // client is 400/s = 4821.43 and 300/s = 3616.07 world units, so the
    // corner is (trunc(499679.07), trunc(499384.43)); in logical units
    // trunc(499679 x 56/675 + 0.5) = 41455 and 41430; E = 82962.
    EXPECT_DOUBLE_EQ(Ctx().m_dZoom, 56.0 / 675.0);
    EXPECT_EQ(Ctx().m_dZoomPrev, 1.0);
    EXPECT_EQ(Ctx().m_ptScroll, (plat::POINT{499679, 499384}));
    EXPECT_EQ(m_view->GetScrollPosition(), (plat::POINT{41455, 41430}));
    EXPECT_EQ(m_view->horizontalScrollBar()->maximum(), 82961);
    EXPECT_EQ(m_view->verticalScrollBar()->maximum(), 82961);
    EXPECT_EQ(Ctx().m_pView, m_view.get());
    EXPECT_EQ(Ctx().m_nTool, 0);
    EXPECT_EQ(m_view->m_nToolCommand, 32772);
    EXPECT_EQ(m_doc->GetTitle(), Ctx().m_strTitle);
}

TEST_F(ViewTest, ThePaintShowsTheWorkAreaAxesShadowAndObjectsAtTheirMappedPixels)
{
    // A red line at world y 502000 from x 501000 to 503000.
    DOCNODE* nodes = AppendNode(nullptr, 501000, 502000);
    AppendNode(nodes, 503000, 502000);
    auto* line = new CDocDataLine(nodes, 1, nullptr);
    line->m_nColor = 0x0000FF;
    Ctx().m_pCurrent->m_pFirst = line;
    m_view->OnInitialUpdate();
    m_view->ZoomToWorkArea();
    Repaint();

    // Outline corners from the mapping: L = 26, T = 51, R = 773, B = 549.
    for (const QPoint p : {QPoint(26, 51), QPoint(773, 51), QPoint(773, 549), QPoint(26, 549), QPoint(400, 51)})
        EXPECT_EQ(Pixel(p.x(), p.y()), kBlack) << p.x() << "," << p.y();
    // Shadow of origin code 1 along the right and bottom edges.
    EXPECT_EQ(Pixel(774, 300), kShadow);
    EXPECT_EQ(Pixel(400, 551), kShadow);
    // Dotted axes through the origin corner, across the whole view.
    EXPECT_EQ(Pixel(26, 10), kAxis);
    EXPECT_EQ(Pixel(26, 11), kWhite);
    EXPECT_EQ(Pixel(26, 590), kAxis);
    EXPECT_EQ(Pixel(10, 51), kAxis);
    EXPECT_EQ(Pixel(11, 51), kWhite);
    EXPECT_EQ(Pixel(790, 51), kAxis);
    // The object in its colour where the context maps it; white elsewhere.
    const plat::POINT p = Ctx().WorldToClientPixel(502000, 502000);
    EXPECT_EQ(p, (plat::POINT{192, 217}));
    EXPECT_EQ(Pixel(p.x, p.y), 0xFF0000u);
    EXPECT_EQ(Pixel(400, 300), kWhite);
    EXPECT_EQ(Pixel(5, 5), kWhite);
    EXPECT_EQ(m_view->ScreenImage(), m_view->BackBuffer());
}

TEST_F(ViewTest, APreviewDrawnTwiceOutsidePaintRestoresTheScreenImage)
{
    m_view->OnInitialUpdate();
    Repaint();
    const QImage before = m_view->ScreenImage();
    for (int k = 0; k < 2; ++k) {
        COrvelView::EventDC dc(*m_view);
        EXPECT_EQ(Ctx().m_pDC, dc.dc());
        PreviewTool::Draw(Ctx().m_pDC, m_view->GetScrollPosition());
        if (k == 0) {
            EXPECT_NE(m_view->ScreenImage(), before);
        }
    }
    EXPECT_EQ(Ctx().m_pDC, nullptr);
    EXPECT_EQ(m_view->ScreenImage(), before);
}

TEST_F(ViewTest, AnInvalidationMidDragLeavesTheBufferWithExactlyOnePreview)
{
    m_view->OnInitialUpdate();
    Repaint();
    g_preview->m_shown = true;
    {
        COrvelView::EventDC dc(*m_view);
        PreviewTool::Draw(dc.dc(), m_view->GetScrollPosition());
    }
    // A repaint of a band across the preview's top and bottom edges.
    const plat::RECT band{150, 50, 250, 400};
    m_view->InvalidateRect(&band, true);
    m_view->UpdateWindow();

    QImage expected = m_view->BackBuffer();
    {
        QtDeviceContext dc(expected);
        const plat::POINT scroll = m_view->GetScrollPosition();
        dc.SetViewportOrg(-scroll.x, -scroll.y);
        PreviewTool::Draw(&dc, scroll);
    }
    EXPECT_EQ(m_view->ScreenImage(), expected);
    EXPECT_NE(m_view->ScreenImage(), m_view->BackBuffer());
}

TEST_F(ViewTest, AResizeRecreatesTheBufferAndASameSizePaintReusesIt)
{
    m_view->OnInitialUpdate();
    Repaint();
    const int made = m_view->BufferCreations();
    EXPECT_GE(made, 1);
    Repaint();
    Repaint();
    EXPECT_EQ(m_view->BufferCreations(), made);

    Resize(QSize(640, 480));
    Repaint();
    EXPECT_EQ(m_view->BufferCreations(), made + 1);
    EXPECT_EQ(m_view->BackBuffer().size(), QSize(640, 480));
    EXPECT_EQ(m_view->ScreenImage().size(), QSize(640, 480));

    // A view without a client area paints nothing and makes no buffer.
    m_view->resize(m_chrome);
    QCoreApplication::processEvents();
    Repaint();
    EXPECT_EQ(m_view->BufferCreations(), made + 1);
    EXPECT_TRUE(m_view->ScreenImage().isNull());
    m_view->ZoomToWorkArea();
}

TEST_F(ViewTest, ZoomIsHeldToItsRangeAndDegenerateBoxesChangeNothing)
{
    m_view->OnInitialUpdate();
    // A drawing 2e9 world units wide needs a scale of 4e-7: the smallest
    // zoom, 1e-5, not the largest.
    ZoomPlacement placement;
    ASSERT_TRUE(FitPlacement(CGeoBox(0.0, 2e9, 0.0, 10.0), 800, 600, placement));
    EXPECT_EQ(placement.zoom, 1e-5);
    EXPECT_EQ(placement.extent, 10);
    ASSERT_TRUE(FitPlacement(CGeoBox(500000.0, 500001.0, 500000.0, 500001.0), 800, 600, placement));
    EXPECT_EQ(placement.zoom, 100.0);
    // A horizontal line fits its width alone: 800 / 1000 less a fifteenth.
    ASSERT_TRUE(FitPlacement(CGeoBox(500000.0, 501000.0, 500000.0, 500000.0), 800, 600, placement));
    EXPECT_DOUBLE_EQ(placement.zoom, 0.8 * 14.0 / 15.0);
    // A point fits nothing.
    EXPECT_FALSE(FitPlacement(CGeoBox(5.0, 5.0, 5.0, 5.0), 800, 600, placement));

    const double zoom = Ctx().m_dZoom;
    Ctx().m_dZoomPrev = 0.0;
    const plat::RECT thin{500000, 500000, 500000, 510000};
    m_view->SendMessage(COrvelView::kMsgZoomRect, reinterpret_cast<plat::WPARAM>(&thin), 0);
    EXPECT_EQ(Ctx().m_dZoom, zoom);
    EXPECT_EQ(Ctx().m_dZoomPrev, zoom) << "a refused zoom still records the previous one";

    // Zoom to 800 x 600 world units about (500400, 500300): s = 1 less a
    // fifteenth; corner (500400 - 400/s, 500300 - 300/s) + 0.5, truncated.
    const plat::RECT rect{500000, 500000, 500800, 500600};
    m_view->OnZoomRect(rect);
    EXPECT_DOUBLE_EQ(Ctx().m_dZoom, 14.0 / 15.0);
    EXPECT_EQ(Ctx().m_ptScroll, (plat::POINT{499971, 499979}));
    EXPECT_EQ(m_view->GetScrollPosition(), (plat::POINT{466640, 466647}));
}
