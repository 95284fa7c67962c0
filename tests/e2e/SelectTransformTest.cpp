// The select tool on the opened sample plate (120 x 80 mm, five objects),
// shown on the whole table: a rubber band selects it, a drag inside moves
// it, a drag on the lower right corner handle doubles it about the upper
// left corner, a second click inside turns the handles into rotate marks
// and a drag on a corner mark turns it a quarter. After each release the
// screen shows what a repaint of the whole view draws.
#include "E2eCanvas.h"
#include "qtplatform/CommandRouter.h"
#include "model/DocData.h"

#include <cmath>

namespace {

constexpr plat::UINT kZoomToWorkArea = 32789;

int SelectedObjects(const DOCCONTEXT& ctx)
{
    int n = 0;
    for (const CDocData* data = ctx.m_pCurrent->m_pFirst; data != nullptr; data = data->m_pNext)
        n += data->IsSelected() != 0 ? 1 : 0;
    return n;
}

// The client point of a world point, unrounded.
QPointF Client(const DOCCONTEXT& ctx, double x, double y)
{
    CGeoPoint out;
    ctx.WorldToClientPoint(CGeoPoint(x, y), out);
    return {out.m_x, out.m_y};
}

} // namespace

TEST(SelectTransform, BandMoveScaleSecondClickAndRotateLeaveWhatAFreshRepaintDraws)
{
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        DOCCONTEXT& ctx = canvas.Ctx();
        CommandRouter& router = app.MainFrame()->Router();
        ASSERT_TRUE(router.Execute(kZoomToWorkArea));
        const CDocState& tool = *ctx.m_pTools[TOOL_SELECT];
        ASSERT_EQ(ctx.m_nTool, TOOL_SELECT);
        const int steps = canvas.UndoSteps();
        const double pixel = 1.0 / ctx.m_dZoom;
        const CGeoBox start = ctx.m_rcSelect;
        ASSERT_NEAR(start.Width(), 1200.0, 0.5);
        ASSERT_NEAR(start.Height(), 800.0, 0.5);
        const auto expectFresh = [&](const char* after) {
            const QImage settled = canvas.Settled();
            EXPECT_EQ(settled, canvas.Fresh()) << "after the " << after;
        };

        // A press 30 pixels beyond the upper left corner lets go of the
        // opened selection; the band to 30 pixels beyond the lower right
        // one selects all five objects again.
        const QPoint topLeft = canvas.At(start.m_xmin, start.m_ymin);
        const QPoint bottomRight = canvas.At(start.m_xmax, start.m_ymax);
        canvas.Press(topLeft - QPoint(30, 30));
        EXPECT_EQ(SelectedObjects(ctx), 0);
        EXPECT_EQ(tool.m_nMode, 0u);
        canvas.Drag(topLeft + QPoint(20, 10));
        canvas.Drag(bottomRight + QPoint(30, 30));
        canvas.Release(bottomRight + QPoint(30, 30));
        EXPECT_EQ(SelectedObjects(ctx), 5);
        EXPECT_EQ(tool.m_nMode, 1u);
        EXPECT_NEAR(ctx.m_rcSelect.m_xmin, start.m_xmin, 1e-9);
        EXPECT_NEAR(ctx.m_rcSelect.m_ymax, start.m_ymax, 1e-9);
        expectFresh("rubber band");

        // A drag from a quarter of the way in, 60 pixels right and 30 down:
        // the plate moves by exactly that many pixels' worth of world units.
        const QPoint inside = topLeft + (bottomRight - topLeft) / 4;
        canvas.DragFromTo(inside, inside + QPoint(60, 30));
        EXPECT_NEAR(ctx.m_rcSelect.m_xmin - start.m_xmin, 60 * pixel, 1e-6);
        EXPECT_NEAR(ctx.m_rcSelect.m_ymin - start.m_ymin, 30 * pixel, 1e-6);
        EXPECT_NEAR(ctx.m_rcSelect.Width(), 1200.0, 0.5);
        EXPECT_EQ(canvas.UndoSteps(), steps + 1);
        expectFresh("move");

        // The lower right handle sits 4 pixels out from the corner on both
        // axes. Dragged by the plate's width in pixels and half its height,
        // both factors become the larger, 2: 240 x 160 mm about the upper
        // left corner.
        const CGeoBox moved = ctx.m_rcSelect;
        const QPointF corner = Client(ctx, moved.m_xmax, moved.m_ymax) + QPointF(4, 4);
        const QPoint handle9(static_cast<int>(std::lround(corner.x())), static_cast<int>(std::lround(corner.y())));
        const int wide = static_cast<int>(std::lround(1200.0 / pixel));
        canvas.DragFromTo(handle9, handle9 + QPoint(wide, wide / 3));
        EXPECT_NEAR(ctx.m_rcSelect.m_xmin, moved.m_xmin, 1e-6);
        EXPECT_NEAR(ctx.m_rcSelect.m_ymin, moved.m_ymin, 1e-6);
        EXPECT_NEAR(ctx.m_rcSelect.Width(), 2400.0, 2 * pixel);
        EXPECT_NEAR(ctx.m_rcSelect.Height(), 1600.0, 2 * pixel);
        EXPECT_EQ(tool.m_nMode, 1u);
        EXPECT_EQ(canvas.UndoSteps(), steps + 2);
        expectFresh("scale");

        // A click inside the selection: rotate and skew marks, no step.
        const CGeoBox scaled = ctx.m_rcSelect;
        const QPoint scaledInside = canvas.At(scaled.m_xmin + scaled.Width() / 4, scaled.m_ymin + scaled.Height() / 4);
        canvas.Click(scaledInside);
        EXPECT_EQ(tool.m_nMode, 2u);
        EXPECT_EQ(canvas.UndoSteps(), steps + 2);
        expectFresh("second click");

        // The upper right mark dragged a quarter turn clockwise on screen
        // about the box's centre: 160 x 240 mm about the same centre.
        const QPointF centre = Client(ctx, scaled.Center().m_x, scaled.Center().m_y);
        const QPointF upperRight = Client(ctx, scaled.m_xmax, scaled.m_ymin) + QPointF(4, -5);
        const QPoint mark(static_cast<int>(std::lround(upperRight.x())), static_cast<int>(std::lround(upperRight.y())));
        const QPointF arm = QPointF(mark) - centre;
        const QPointF turned = centre + QPointF(-arm.y(), arm.x());
        const QPoint to(static_cast<int>(std::lround(turned.x())), static_cast<int>(std::lround(turned.y())));
        ASSERT_TRUE(QRect(QPoint(0, 0), canvas.View()->ClientSize()).contains(to));
        canvas.Press(mark);
        canvas.Drag(mark + QPoint(0, 20));
        canvas.Drag(to);
        canvas.Release(to);
        EXPECT_NEAR(ctx.m_rcSelect.Width(), 1600.0, 3 * pixel);
        EXPECT_NEAR(ctx.m_rcSelect.Height(), 2400.0, 3 * pixel);
        EXPECT_NEAR(ctx.m_rcSelect.Center().m_x, scaled.Center().m_x, 2 * pixel);
        EXPECT_NEAR(ctx.m_rcSelect.Center().m_y, scaled.Center().m_y, 2 * pixel);
        EXPECT_EQ(tool.m_nMode, 2u);
        EXPECT_EQ(canvas.UndoSteps(), steps + 3);
        expectFresh("rotation");
        canvas.View()->GetDocument()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
