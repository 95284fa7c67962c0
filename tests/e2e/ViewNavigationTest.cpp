// Finding one's way on the opened sample plate (120 x 80 mm, drawn from the
// machine origin): the status bar names the selection and the mouse point in
// millimetres, the wheel zooms a step in and out keeping the point under the
// mouse, the zoom tool's rectangle fills the view with a quarter of the
// plate, and the pan tool drags the drawing and both rulers with the mouse.
#include "E2eCanvas.h"
#include "qtplatform/CommandRouter.h"
#include "app/HyRulerBar.h"

#include <QLabel>
#include <QRegularExpression>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr plat::UINT kZoomTool = 32788;
constexpr plat::UINT kPanTool = 32937;

// The mouse point of status pane 3, in millimetres; NaN when the text is
// not in the form "X=%0.4f, Y=%0.4f".
QPointF StatusPoint(const QString& text)
{
    static const QRegularExpression form(QStringLiteral(R"(^X=(-?\d+\.\d{4}), Y=(-?\d+\.\d{4})$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {qQNaN(), qQNaN()};
    return {match.captured(1).toDouble(), match.captured(2).toDouble()};
}

void Wheel(plat::E2eCanvas& canvas, QPoint at, int delta)
{
    QWidget* port = canvas.View()->viewport();
    QWheelEvent event(QPointF(at), port->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(port, &event);
}

} // namespace

TEST(ViewNavigation, WheelKeepsThePointZoomRectangleFillsPanMovesTheRulersStatusShowsTheMouse)
{
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        DOCCONTEXT& ctx = canvas.Ctx();
        CMainFrame& frame = *app.MainFrame();
        CommandRouter& router = frame.Router();
        const CGeoBox plateBox = ctx.m_rcSelect;
        ASSERT_NEAR(plateBox.Width(), 1200.0, 0.5);
        ASSERT_NEAR(plateBox.Height(), 800.0, 0.5);
        const QSize client = canvas.View()->ClientSize();

        ASSERT_EQ(plateBox.m_xmin, 500000.0);
        ASSERT_EQ(plateBox.m_ymin, 500000.0);

        // The mouse over the point 30 mm right of and 20 mm below the
        // origin: the five opened objects are selected.
        const CGeoPoint aim(500300.0, 500200.0);
        const QPoint at = canvas.At(aim.m_x, aim.m_y);
        canvas.Hover(at);
        // Both rulers mark the mouse: the line one pixel past it along the
        // top ruler, past its 23-pixel corner down the left one.
        EXPECT_EQ(canvas.Child()->HorizontalRuler()->MarkerLine(), at.x() + 1);
        EXPECT_EQ(canvas.Child()->VerticalRuler()->MarkerLine(), at.y() + 24);
        EXPECT_EQ(frame.StatusPane(2)->text(), QStringLiteral("Objects: 5 in the drawing, 5 selected"));
        const double zoom = ctx.m_dZoom;
        const QPointF shown = StatusPoint(frame.StatusPane(3)->text());
        // Within the tenth of a millimetre a pixel spans at this zoom.
        EXPECT_NEAR(shown.x(), 30.0, 0.1 / zoom) << frame.StatusPane(3)->text().toStdString();
        EXPECT_NEAR(shown.y(), 20.0, 0.1 / zoom) << frame.StatusPane(3)->text().toStdString();

        // A wheel turn away from the operator zooms in by 1.2, towards him
        // out again; the world point under the mouse stays at its pixel.
        const CGeoPoint under = ctx.m_ptMouse;
        Wheel(canvas, at, 120);
        EXPECT_DOUBLE_EQ(ctx.m_dZoom, zoom * 1.2);
        EXPECT_EQ(ctx.m_dZoomPrev, zoom);
        QPoint now = canvas.At(under.m_x, under.m_y);
        EXPECT_LE((now - at).manhattanLength(), 2) << now.x() << "," << now.y();
        Wheel(canvas, at, -120);
        EXPECT_DOUBLE_EQ(ctx.m_dZoom, zoom);
        now = canvas.At(under.m_x, under.m_y);
        EXPECT_LE((now - at).manhattanLength(), 2) << now.x() << "," << now.y();
        EXPECT_EQ(canvas.Settled(), canvas.Fresh());

        // The zoom tool's band round the plate's upper left quarter (60 x
        // 40 mm) fills the view less a fifteenth, its centre in the middle.
        ASSERT_TRUE(router.Execute(kZoomTool));
        const CGeoPoint quarterCentre(500300.0, 500200.0);
        canvas.DragFromTo(canvas.At(500000.0, 500000.0), canvas.At(500600.0, 500400.0));
        const double fitted = std::min(client.width() / 600.0, client.height() / 400.0) * 14.0 / 15.0;
        EXPECT_NEAR(ctx.m_dZoom, fitted, fitted * 0.01);
        const QPoint middle = canvas.At(quarterCentre.m_x, quarterCentre.m_y);
        EXPECT_LE(std::abs(middle.x() - client.width() / 2), 3);
        EXPECT_LE(std::abs(middle.y() - client.height() / 2), 3);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh()) << "the band is gone";

        // The pan tool dragged 100 pixels right and 50 down: the drawing
        // follows the mouse, the scroll bars go back as far, and the rulers
        // take the new positions at once.
        ASSERT_TRUE(router.Execute(kPanTool));
        QScrollBar* horizontal = canvas.View()->horizontalScrollBar();
        QScrollBar* vertical = canvas.View()->verticalScrollBar();
        const int h0 = horizontal->value();
        const int v0 = vertical->value();
        const QPoint from(client.width() / 2, client.height() / 2);
        canvas.DragFromTo(from, from + QPoint(100, 50));
        EXPECT_EQ(horizontal->value(), h0 - 100);
        EXPECT_EQ(vertical->value(), v0 - 50);
        EXPECT_EQ(canvas.At(quarterCentre.m_x, quarterCentre.m_y), middle + QPoint(100, 50));
        CHyRulerBar* top = canvas.Child()->HorizontalRuler();
        CHyRulerBar* left = canvas.Child()->VerticalRuler();
        EXPECT_EQ(top->Offset(), h0 - 100 - 1);
        EXPECT_EQ(left->Offset(), v0 - 50 - 1);
        EXPECT_EQ(canvas.Settled(), canvas.Fresh());

        // Each labelled tick of the top ruler stands over the view's pixel
        // of its millimetre value from the machine origin.
        int labelled = 0;
        for (const CHyRulerBar::Tick& tick : top->CurrentLayout().ticks) {
            if (!tick.labelled)
                continue;
            ++labelled;
            const int view = canvas.View()->viewport()->mapToGlobal(canvas.At(500000.0 + 10.0 * tick.value, 0)).x();
            const int ruler = top->mapToGlobal(QPoint(tick.x + 1, 0)).x();
            EXPECT_LE(std::abs(view - ruler), 1) << tick.value << " mm";
        }
        EXPECT_GE(labelled, 2);
        canvas.View()->GetDocument()->SetModifiedFlag(false);
    });
    EXPECT_EQ(status, 0);
}
