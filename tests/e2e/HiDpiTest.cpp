// The drawing view on a screen of device pixel ratio 2 (the run that sets
// BRENVIK_E2E_DPR=2; skipped on other screens): the view's images hold the
// screen's pixels, a line one pixel wide is one screen pixel wide, the
// window shows the image pixel for pixel, and clicks still hit in logical
// pixels.
#include "E2eCanvas.h"

#include <QGuiApplication>
#include <QScreen>

TEST(HiDpi, TheViewDrawsOneScreenPixelLinesAndHitsInLogicalPixels)
{
    if (QGuiApplication::primaryScreen()->devicePixelRatio() != 2.0)
        GTEST_SKIP() << "needs a screen of device pixel ratio 2";
    plat::E2eProgram program;
    const QString plate = QStringLiteral(BRENVIK_SOURCE_DIR "/samples/plate.plt");
    const int status = program.Run({QStringLiteral("brenvik"), plate}, [&](COrvelApp& app) {
        plat::E2eCanvas canvas(app);
        ASSERT_TRUE(canvas.Ok());
        COrvelView* view = canvas.View();
        DOCCONTEXT& ctx = canvas.Ctx();
        const QImage screen = canvas.Settled();
        EXPECT_EQ(screen.devicePixelRatio(), 2.0);
        EXPECT_EQ(screen.size(), view->ClientSize() * 2);

        // A point a quarter along the outline's top edge: the line lies in
        // image row 2y alone, black between white rows.
        const CGeoBox all = ctx.m_rcSelect;
        const QPoint edge = canvas.At(all.m_xmin + all.Width() / 4, all.m_ymin);
        auto rgb = [](const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; };
        EXPECT_EQ(rgb(screen, 2 * edge.x(), 2 * edge.y()), 0u);
        EXPECT_EQ(rgb(screen, 2 * edge.x(), 2 * edge.y() - 1), plat::kWhite);
        EXPECT_EQ(rgb(screen, 2 * edge.x(), 2 * edge.y() + 1), plat::kWhite);
        // The window shows the same pixels, not an enlarged half-size image.
        const QImage shown = view->viewport()->grab().toImage();
        ASSERT_EQ(shown.size(), screen.size());
        EXPECT_EQ(rgb(shown, 2 * edge.x(), 2 * edge.y()), 0u);
        EXPECT_EQ(rgb(shown, 2 * edge.x(), 2 * edge.y() + 1), plat::kWhite);

        // A click 5 logical pixels above the edge (beyond the tolerance of 3)
        // hits nothing; one on the edge selects the outline again.
        canvas.Click(edge - QPoint(0, 5));
        EXPECT_TRUE(ctx.m_rcSelect.IsEmpty());
        canvas.Click(edge);
        EXPECT_FALSE(ctx.m_rcSelect.IsEmpty());
        EXPECT_DOUBLE_EQ(ctx.m_rcSelect.m_ymin, all.m_ymin);
    });
    EXPECT_EQ(status, 0);
}
