// A rectangle dragged on the first empty document, taken back by Ctrl+Z and
// brought again by Redo: the drawing holds 1, 0, 1 objects, and the pixel
// its corner maps to shows the layer colour, the white paper, the layer
// colour again, each time as a repaint of the whole view draws it.
#include "E2eCanvas.h"
#include "qtplatform/CommandRouter.h"
#include "model/DocData.h"

namespace {

constexpr plat::UINT kRectangleTool = 32793;
constexpr int kLayer = 2;
// Palette entry 2 of the default palette (COLORREF 0x006F1628).
constexpr QRgb kLayerRgb = 0x28166F;
using plat::kWhite;

} // namespace

TEST(DrawRectangle, DragUndoRedoShowTheCornerInTheLayerColourThenWhiteThenAgain)
{
    plat::E2eProgram program;
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        DOCCONTEXT& ctx = canvas.Ctx();
        CommandRouter& router = app.MainFrame()->Router();
        ASSERT_EQ(canvas.Objects(), 0u);
        // The palette's message, as a click on its third cell sends it.
        canvas.Child()->SendMessage(CChildFrame::kMsgPaletteIndex, 0, kLayer);
        ASSERT_EQ(ctx.m_pSettings->m_nCurLayer, kLayer);

        // From 100 mm, 100 mm to 400 mm, 300 mm on the 900 x 600 mm table,
        // at the fitted zoom (under a pixel per 0.1 mm: a pixel is 1 / zoom
        // world units).
        ASSERT_TRUE(router.Execute(kRectangleTool));
        canvas.DragFromTo(canvas.At(501000, 501000), canvas.At(504000, 503000));
        ASSERT_EQ(canvas.Objects(), 1u);
        const CDocData* rect = ctx.m_pCurrent->m_pFirst;
        EXPECT_EQ(rect->m_nType, MT_RECT);
        EXPECT_EQ(rect->m_nLayer, kLayer);
        const double pixel = 1.0 / ctx.m_dZoom;
        const CGeoBox box = rect->GetBoundRect();
        EXPECT_NEAR(box.m_xmin, 501000.0, pixel);
        EXPECT_NEAR(box.m_ymin, 501000.0, pixel);
        EXPECT_NEAR(box.Width(), 3000.0, 2 * pixel);
        EXPECT_NEAR(box.Height(), 2000.0, 2 * pixel);
        // The corner the rectangle starts from, where the release left the
        // screen and where a repaint puts it.
        const QPoint corner = canvas.At(box.m_xmin, box.m_ymin);
        EXPECT_EQ(canvas.Pixel(corner), kLayerRgb);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh()) << "no band left after the release";

        canvas.Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(canvas.Objects(), 0u);
        EXPECT_EQ(canvas.Pixel(corner), kWhite);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh());

        ASSERT_TRUE(router.Execute(cmd::EditRedo));
        ASSERT_EQ(canvas.Objects(), 1u);
        EXPECT_NEAR(ctx.m_pCurrent->m_pFirst->GetBoundRect().m_xmin, box.m_xmin, 1e-9);
        EXPECT_EQ(canvas.Pixel(corner), kLayerRgb);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh());
        canvas.View()->GetDocument()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
