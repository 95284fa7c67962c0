// Polylines and curves on the first empty document: with Ctrl held a
// segment drawn at 50 degrees comes out at 45 with its length kept, Esc
// finishes it and goes back to the select tool; a curve placed by two
// presses (the first dragged) is made by Enter, one undo step, the tool kept.
#include "E2eCanvas.h"
#include "qtplatform/CommandRouter.h"
#include "model/DocData.h"
#include "model/NodeList.h"

#include <cmath>

namespace {

constexpr plat::UINT kPolylineTool = 32792;
constexpr plat::UINT kBezierTool = 32909;
// Layer 0 of the default palette.
constexpr QRgb kBlack = 0x000000;

} // namespace

TEST(DrawCurves, CtrlSnapsAPolylineTo45DegreesEscSelectsAndEnterMakesABezier)
{
    plat::E2eProgram program;
    const int status = program.Run({QStringLiteral("brenvik")}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        DOCCONTEXT& ctx = canvas.Ctx();
        CommandRouter& router = app.MainFrame()->Router();
        const double pixel = 1.0 / ctx.m_dZoom; // world units of one pixel

        // From 100 mm, 100 mm a segment 300 mm long at 50 degrees (world y
        // runs down the screen): (+1928.4, +2298.1). With Ctrl it turns to
        // 45 degrees: (+2121.3, +2121.3).
        ASSERT_TRUE(router.Execute(kPolylineTool));
        CMainFrame& frame = *app.MainFrame();
        EXPECT_TRUE(plat::WaitFor([&frame] { return frame.Action(kPolylineTool)->isChecked(); }, 2000));
        canvas.Click(canvas.At(501000, 501000));
        const QPoint end = canvas.At(501000 + 1928.4, 501000 + 2298.1);
        QTest::keyPress(canvas.View(), Qt::Key_Control);
        ASSERT_EQ(ctx.m_bCtrl, 1);
        canvas.Mouse(QEvent::MouseMove, end, Qt::NoButton, Qt::NoButton, Qt::ControlModifier);
        canvas.Mouse(QEvent::MouseButtonPress, end, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        canvas.Mouse(QEvent::MouseButtonRelease, end, Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
        QTest::keyRelease(canvas.View(), Qt::Key_Control);
        EXPECT_EQ(ctx.m_bCtrl, 0);
        canvas.Key(Qt::Key_Escape);
        ASSERT_EQ(canvas.Objects(), 1u);
        const CDocData* polyline = ctx.m_pCurrent->m_pFirst;
        EXPECT_EQ(polyline->m_nType, MT_LINE);
        ASSERT_EQ(CountNodes(polyline->m_pNodes), 2);
        const DOCNODE* a = polyline->m_pNodes;
        const DOCNODE* b = a->m_pNext;
        EXPECT_NEAR(b->m_x - a->m_x, b->m_y - a->m_y, 1e-6) << "45 degrees";
        EXPECT_NEAR(b->m_x - a->m_x, 2121.3, 2 * pixel);
        EXPECT_NEAR(std::hypot(b->m_x - a->m_x, b->m_y - a->m_y), 3000.0, 2 * pixel);
        // Esc is the select tool's command: tool 0, its button.
        EXPECT_EQ(ctx.m_nTool, TOOL_SELECT);
        EXPECT_EQ(canvas.View()->m_nToolCommand, COrvelView::kSelectToolCommand);
        EXPECT_TRUE(plat::WaitFor([&frame] {
            return frame.Action(COrvelView::kSelectToolCommand)->isChecked() && !frame.Action(kPolylineTool)->isChecked();
        }, 2000)) << "the select tool's button is the one down";
        EXPECT_EQ(canvas.UndoSteps(), 1);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh()) << "no rubber line left";

        // Two presses 200 mm apart, 400 mm down; the first dragged 10
        // pixels right pulls its outgoing control there and the incoming
        // one as far left. Enter drops the outer controls: anchor, control,
        // control, anchor.
        ASSERT_TRUE(router.Execute(kBezierTool));
        const QPoint first = canvas.At(501000, 505000);
        const QPoint second = canvas.At(503000, 505000);
        canvas.Press(first);
        canvas.Drag(first + QPoint(5, 0));
        canvas.Drag(first + QPoint(10, 0));
        canvas.Release(first + QPoint(10, 0));
        canvas.Press(second);
        canvas.Release(second);
        EXPECT_EQ(canvas.Objects(), 1u) << "nothing made before Enter";
        canvas.Key(Qt::Key_Return);
        ASSERT_EQ(canvas.Objects(), 2u);
        EXPECT_EQ(canvas.UndoSteps(), 2);
        EXPECT_EQ(ctx.m_nTool, TOOL_BEZIER);
        const CDocData* curve = polyline->m_pNext;
        ASSERT_NE(curve, nullptr);
        EXPECT_EQ(curve->m_nType, MT_BEZIER);
        EXPECT_EQ(curve->m_bClosed, 0);
        ASSERT_EQ(CountNodes(curve->m_pNodes), 4);
        const DOCNODE* anchor = curve->m_pNodes;
        const DOCNODE* out = anchor->m_pNext;
        const DOCNODE* in = out->m_pNext;
        const DOCNODE* last = in->m_pNext;
        EXPECT_EQ(anchor->m_nKind, NODE_ANCHOR);
        EXPECT_EQ(last->m_nKind, NODE_ANCHOR);
        EXPECT_NEAR(anchor->m_x, 501000.0, pixel);
        EXPECT_NEAR(anchor->m_y, 505000.0, pixel);
        EXPECT_NEAR(out->m_x - anchor->m_x, 10 * pixel, 1e-6);
        EXPECT_NEAR(out->m_y, anchor->m_y, 1e-6);
        EXPECT_NEAR(last->m_x - anchor->m_x, 2000.0, 2 * pixel);
        EXPECT_EQ(in->m_x, last->m_x) << "a press without a drag keeps its controls on the anchor";
        EXPECT_EQ(in->m_y, last->m_y);
        // The curve runs straight along its controls: its middle shows in
        // the layer colour, and nothing of the placing is left.
        EXPECT_EQ(canvas.Pixel(canvas.At(502000, anchor->m_y)), kBlack);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh());

        router.Execute(cmd::EditUndo);
        EXPECT_EQ(canvas.Objects(), 1u);
        canvas.View()->GetDocument()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
